// Output name templates and the near names offered for a mistyped style or example.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/name_template.h"
#include "app/names_lookup.h"

namespace {

using Strings = std::vector<std::string>;

TEST(NameTemplate, SlugsAreFileNameSafe) {
  const std::pair<std::string, std::string> cases[] = {
      {"Hello World!", "hello-world"},
      {"  --Caf\xC3\xA9 au lait--", "caf\xC3\xA9-au-lait"},
      {"a/b\\c:d", "a-b-c-d"},
      {"../..", "string"},
      {"!!!", "string"},
  };
  for (const auto& [text, slug] : cases) EXPECT_EQ(Slug(text), slug) << text;
  // Long text stops at 60 bytes, between characters.
  std::string many;
  for (int i = 0; i < 40; ++i) many += "\xC3\xA9";
  EXPECT_EQ(Slug(many).size(), 60u);
  EXPECT_EQ(Slug(std::string(100, 'x')).size(), 60u);
}

TEST(NameTemplate, PlaceholdersExpandAndTextNamesStayUnique) {
  const Strings strings{"Home", "home", "Contact", "Home"};
  EXPECT_EQ(ExpandNameTemplate("{index}", strings), (Strings{"0", "1", "2", "3"}));
  EXPECT_EQ(ExpandNameTemplate("{index:03}-{text}", strings),
            (Strings{"000-home", "001-home-2", "002-contact", "003-home-3"}));
  EXPECT_EQ(ExpandNameTemplate("{text}_{text}", {"A"}), (Strings{"a_a"}));
  EXPECT_EQ(ExpandNameTemplate("{{x}}{index:2}", {"a"}), (Strings{"{x}00"}));
  // A plain name is expanded as asked; the command refuses the clash before writing.
  EXPECT_EQ(ExpandNameTemplate("same", {"a", "b"}), (Strings{"same", "same"}));

  for (const char* bad : {"{nope}", "{index", "a}", "{index:x}", "dir/{index}", ""})
    EXPECT_THROW(ExpandNameTemplate(bad, {"a"}), NameTemplateError) << bad;
}

TEST(NamesLookup, NearNamesPreferSmallEditsAndPrefixes) {
  const Strings known{"golden", "ocean", "plain", "neon", "marble"};
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(EditDistance("Neon", "neon"), 0u);
  EXPECT_EQ(NearNames("goldn", known), (Strings{"golden"}));
  EXPECT_EQ(NearNames("gold", known), (Strings{"golden"}));
  EXPECT_EQ(NearNames("noen", known), (Strings{"neon"}));
  EXPECT_TRUE(NearNames("xylophone", known).empty());
}

}  // namespace
