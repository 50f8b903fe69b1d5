#include "platform/font_list.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <set>
#include <strings.h>

namespace platform {
namespace {

struct ConfigDeleter {
  void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
using Config = std::unique_ptr<FcConfig, ConfigDeleter>;

Config LoadConfig() { return Config(FcInitLoadConfigAndFonts()); }

// Every family name of every scalable face, in all the languages the fonts give.
std::vector<std::string> AllFamilyNames(FcConfig* config, bool firstNameOnly) {
  std::set<std::string> names;
  if (!config) return {};
  FcPattern* pat = FcPatternCreate();
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(config, pat, os);
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n) {
        names.insert(reinterpret_cast<const char*>(family));
        if (firstNameOnly) break;
      }
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(os);
  FcPatternDestroy(pat);
  return {names.begin(), names.end()};
}

}  // namespace

std::vector<std::string> FontFamilies() {
  Config config = LoadConfig();
  return AllFamilyNames(config.get(), true);
}

bool FamilyIsInstalled(const std::string& face) {
  Config config = LoadConfig();
  const auto names = AllFamilyNames(config.get(), false);
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return strcasecmp(n.c_str(), face.c_str()) == 0; });
}

std::string BestMatchingFamily(const std::string& face) {
  Config config = LoadConfig();
  if (!config) return {};
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config.get(), pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  std::string family;
  if (FcPattern* match = FcFontMatch(config.get(), pat, &result)) {
    FcChar8* name = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) family = reinterpret_cast<const char*>(name);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  return family;
}

}  // namespace platform
