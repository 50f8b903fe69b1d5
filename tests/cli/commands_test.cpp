// The quorbel executable driven as users script it: every output type opened by the peer
// decoders, the size command against the file written, batches, errors and exit statuses.
#include <gtest/gtest.h>
#include <webp/decode.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/gif_peer.h"
#include "imaging/jpeg_peer_support.h"
#include "imaging/png_peer_support.h"
#include "platform/process.h"
#include "cli/quorbel_runner.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

using testsupport::Quorbel;
using testsupport::RunResult;

std::string Style(const std::string& name) { return testsupport::DataFolder() + "/" + name; }

// A style whose Space effect draws random stars, so the seed shows in the picture.
std::string RandomStyle(const TempDir& dir) {
  const std::string path = dir.file("random.sty");
  testsupport::WriteFileText(path,
                             ";Number of Effect : 2\r\nBackground 1 16777215 \r\n"
                             "SingleColor 0 0 2 0 255 0 0 0 0 0 0 0\r\n\r\n"
                             "Space 0 0 200 150 0 0 0 0 0 0 0 0\r\n\r\nend\r\n");
  return path;
}

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// Opens a file with the independent decoder of its kind and gives its size.
Size PeerSize(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const std::string ext = fs::path(path).extension().string();
  if (ext == ".png") {
    pngpeer::Decoded d = pngpeer::Decode(bytes);
    EXPECT_TRUE(d.ok) << path << ": " << d.error;
    return {int(d.width), int(d.height)};
  }
  if (ext == ".jpg") {
    jpegpeer::Decoded d = jpegpeer::Decode(bytes);
    return {d.picture.width, d.picture.height};
  }
  if (ext == ".gif") {
    const gifpeer::PeerGif gif = gifpeer::Read(path);
    return {gif.width, gif.height};
  }
  if (ext == ".webp") {
    Size s;
    EXPECT_TRUE(WebPGetInfo(bytes.data(), bytes.size(), &s.width, &s.height)) << path;
    return s;
  }
  // BMP: no peer library; check the headers by hand.
  EXPECT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  uint32_t fileSize, w, h;
  std::memcpy(&fileSize, &bytes[2], 4);
  std::memcpy(&w, &bytes[18], 4);
  std::memcpy(&h, &bytes[22], 4);
  EXPECT_EQ(fileSize, bytes.size());
  return {int(w), int(h)};
}

const std::vector<std::pair<std::string, std::string>> kTypes{
    {"png", ".png"}, {"png256", ".png"}, {"jpeg", ".jpg"}, {"bmp", ".bmp"},
    {"gif16", ".gif"}, {"gif256", ".gif"}, {"gif", ".gif"}, {"webp", ".webp"}};

RunResult Shell(const std::string& command) {
  platform::ProcessResult r = platform::RunProcess({"/bin/sh", "-c", command});
  EXPECT_TRUE(r.started);
  return {r.exitStatus, r.output};
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

// Every type by render, size and batch: the peer decoders open each file, size says the bytes render
// writes, and a batch writes one numbered file a string.
TEST(Commands, EveryTypeByRenderSizeAndBatch) {
  TempDir dir;
  const std::string list = dir.file("names.blt");
  testsupport::WriteFileText(list, "One\r\n<<br>>\r\nTwo\r\nlines\r\n<<br>>\r\nThree\r\n<<br>>\r\n<<end>>\r\n");
  const std::vector<std::string> common{"--style", Style("golden.sty"), "--seed", "5"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), common.begin(), common.end());
    return Quorbel(args);
  };
  Size first;
  for (const auto& [type, ext] : kTypes) {
    SCOPED_TRACE(type);
    const std::string out = dir.file("pic_" + type);
    RunResult r = with({"render", "-o", out, "--type", type});
    ASSERT_EQ(r.status, 0) << r.output;
    const Size s = PeerSize(out + ext);
    EXPECT_GT(s.width, 20);
    EXPECT_GT(s.height, 10);
    if (first.width == 0) first = s;
    EXPECT_EQ(s, first);
    r = with({"size", "--type", type});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(std::stoll(r.output), int64_t(fs::file_size(out + ext)));

    const std::string base = dir.file(type + "_card");
    r = with({"batch", list, "-o", base, "--type", type, "--jobs", "2"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("3 files written"), std::string::npos) << r.output;
    for (int i = 0; i < 3; ++i) EXPECT_GT(PeerSize(base + std::to_string(i) + ext).width, 0) << i;
    // The two-line string makes a taller picture than the one-line ones.
    EXPECT_GT(PeerSize(base + "1" + ext).height, PeerSize(base + "0" + ext).height);
  }
  // The extension alone chooses the type, as the export does.
  ASSERT_EQ(with({"render", "-o", dir.file("by_name.jpg")}).status, 0);
  EXPECT_EQ(PeerSize(dir.file("by_name.jpg")), first);
}

TEST(Commands, PressedButtonPictureGoesBesideUnderTheUnderscoreName) {
  TempDir dir;
  RunResult r = Quorbel({"render", "-o", dir.file("photo.bmp"), "--style", Style("golden.sty"), "--pressed"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(PeerSize(dir.file("photo.bmp")), PeerSize(dir.file("photo_.bmp")));
  EXPECT_NE(ReadFileBytes(dir.file("photo.bmp")), ReadFileBytes(dir.file("photo_.bmp")));
  // Without an extension the type's own is added: logo -> logo.bmp and logo_.bmp.
  r = Quorbel({"render", "-o", dir.file("logo"), "--type", "bmp", "--style", Style("golden.sty"), "--pressed"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(fs::exists(dir.file("logo.bmp")));
  EXPECT_TRUE(fs::exists(dir.file("logo_.bmp")));
}

TEST(Commands, PaletteFilesAgreeBetweenCommands) {
  TempDir dir;
  // A few-colour picture as a 256-colour GIF still has a 256-entry table.
  const std::string plain = dir.file("plain.sty");
  testsupport::WriteFileText(plain, ";Number of Effect : 1\r\nBackground 1 16777215 \r\n"
                                    "SingleColor 255 0 0 0 0 0 0 0 0 0 0 0\r\n\r\nend\r\n");
  const std::vector<std::string> common{"--type", "gif256", "--style", plain, "--text", "Few"};
  std::vector<std::string> render{"render", "-o", dir.file("few")};
  render.insert(render.end(), common.begin(), common.end());
  ASSERT_EQ(Quorbel(render).status, 0);
  const gifpeer::PeerGif gif = gifpeer::Read(dir.file("few.gif"));
  EXPECT_EQ(gif.table.size(), 256u);
  ASSERT_FALSE(gif.indexes.empty());
  EXPECT_LT(*std::max_element(gif.indexes.begin(), gif.indexes.end()), 16);  // few colours indeed

  // render and a one-string batch write the same 256-colour PNG.
  testsupport::WriteFileText(dir.file("one.blt"), "Same\r\n<<br>>\r\n<<end>>\r\n");
  ASSERT_EQ(Quorbel({"render", "-o", dir.file("single.png"), "--type", "png256", "--text", "Same", "--seed", "3"}).status, 0);
  ASSERT_EQ(Quorbel({"batch", dir.file("one.blt"), "-o", dir.file("batch"), "--type", "png256", "--seed", "3"}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("single.png")), ReadFileBytes(dir.file("batch0.png")));
}

TEST(Commands, SameSeedSamePictureOtherSeedOther) {
  TempDir dir;
  const std::string style = RandomStyle(dir);
  for (const char* name : {"a", "b", "c"}) {
    const char* seed = std::string(name) == "c" ? "8" : "7";
    ASSERT_EQ(Quorbel({"render", "-o", dir.file(std::string(name) + ".bmp"), "--style", style, "--seed", seed}).status, 0);
  }
  EXPECT_EQ(ReadFileBytes(dir.file("a.bmp")), ReadFileBytes(dir.file("b.bmp")));
  EXPECT_NE(ReadFileBytes(dir.file("a.bmp")), ReadFileBytes(dir.file("c.bmp")));
}

TEST(Commands, ErrorsNameTheFileAndFailWithoutLeavingFiles) {
  TempDir dir;
  RunResult r = Quorbel({"render", dir.file("missing.plq"), "-o", dir.file("x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("quorbel: " + dir.file("missing.plq") + ": "), std::string::npos) << r.output;

  testsupport::WriteFileText(dir.file("not_a_document.plq"), "hello\r\n");
  r = Quorbel({"render", dir.file("not_a_document.plq"), "-o", dir.file("x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find(dir.file("not_a_document.plq")), std::string::npos) << r.output;

  r = Quorbel({"render", "-o", dir.file("x.png"), "--style", dir.file("missing.sty")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find(dir.file("missing.sty")), std::string::npos) << r.output;

  r = Quorbel({"render", "-o", dir.file("no_such_folder/x.png"), "--style", Style("golden.sty")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("no_such_folder"), std::string::npos) << r.output;

  r = Quorbel({"render", "-o", dir.file("x.tiff"), "--style", Style("golden.sty")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("x.tiff"), std::string::npos) << r.output;

  EXPECT_EQ(Quorbel({"render"}).status, 2);                      // -o is required
  EXPECT_EQ(Quorbel({"render", "-o", "x.png", "--colors", "17"}).status, 2);
  EXPECT_EQ(Quorbel({"frobnicate"}).status, 2);

  r = Quorbel({"convert", dir.file("missing.png"), dir.file("y.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find(dir.file("missing.png")), std::string::npos) << r.output;

  // No stray output or temporary files were left behind.
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.ends_with(".plq") || name.ends_with(".sty")) << name;
  }
}

TEST(Commands, HelpForEveryCommand) {
  for (const char* cmd : {"render", "batch", "size", "convert"}) {
    RunResult r = Quorbel({cmd, "--help"});
    EXPECT_EQ(r.status, 0) << cmd;
    EXPECT_NE(r.output.find("Usage"), std::string::npos) << cmd;
  }
}

// The command line must start without loading Qt: the dynamic loader, which lists every library
// the process would map, names none of Qt's.
TEST(Commands, CommandLineLinksNoQt) {
  const platform::ProcessResult r = platform::RunProcess({"/usr/bin/ldd", testsupport::BinFolder() + "/quorbel"});
  if (!r.started) GTEST_SKIP() << "no ldd: " << r.error;
  ASSERT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_NE(r.output.find("libc.so"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("libQt"), std::string::npos) << r.output;
}

// A bare quorbel hands over to quorbel-desktop beside it, with the arguments, or shows the help.
TEST(Commands, BareCommandStartsTheDesktopBesideItElseShowsHelp) {
  TempDir dir;
  const std::string copy = dir.file("quorbel");
  fs::copy_file(testsupport::BinFolder() + "/quorbel", copy);
  platform::ProcessResult alone = platform::RunProcess({copy});
  EXPECT_EQ(alone.exitStatus, 0);
  EXPECT_NE(alone.output.find("render"), std::string::npos) << alone.output;

  const std::string desktop = dir.file("quorbel-desktop");
  testsupport::WriteFileText(desktop, "#!/bin/sh\necho \"desktop:$0:$*\"\nexit 7\n");
  fs::permissions(desktop, fs::perms::owner_all);
  const struct {
    std::vector<std::string> args;
    std::string shows;
    int status;
  } cases[] = {
      {{copy}, "desktop:" + desktop + ":\n", 7},
      {{copy, "-platform", "offscreen"}, "desktop:" + desktop + ":-platform offscreen\n", 7},
      {{copy, "render", "--help"}, "Usage", 0},  // commands never start the window
  };
  for (const auto& c : cases) {
    platform::ProcessResult r = platform::RunProcess(c.args);
    EXPECT_EQ(r.exitStatus, c.status) << c.args.back();
    EXPECT_NE(r.output.find(c.shows), std::string::npos) << c.args.back() << ": " << r.output;
  }
}

TEST(Commands, ConvertRoundTripsThroughOurReadersAndWriters) {
  TempDir dir;
  ASSERT_EQ(Quorbel({"render", "-o", dir.file("src.bmp"), "--style", Style("golden.sty")}).status, 0);
  ASSERT_EQ(Quorbel({"convert", dir.file("src.bmp"), dir.file("a.png")}).status, 0);
  ASSERT_EQ(Quorbel({"convert", dir.file("a.png"), dir.file("b.bmp")}).status, 0);
  // PNG is lossless: the BMP made from it holds the same pixels as the source.
  EXPECT_EQ(ReadFileBytes(dir.file("src.bmp")), ReadFileBytes(dir.file("b.bmp")));
  ASSERT_EQ(Quorbel({"convert", dir.file("a.png"), dir.file("c.gif"), "--colors", "16"}).status, 0);
  EXPECT_EQ(PeerSize(dir.file("c.gif")), PeerSize(dir.file("src.bmp")));
  ASSERT_EQ(Quorbel({"convert", dir.file("c.gif"), dir.file("d.jpg")}).status, 0);
  EXPECT_EQ(PeerSize(dir.file("d.jpg")), PeerSize(dir.file("src.bmp")));
}

// A document whose message style runs Random Dot, Fog, Space, a fractal template and 3D shading:
// every string must come out the same however many workers share the list.
TEST(Commands, BatchIsTheSameWithOneJobOrSeveral) {
  TempDir dir;
  const std::string doc = testsupport::TestSourceFolder() + "/cli/pinned/random_effects.plq";
  const std::string list = dir.file("l.blt");
  std::string text;
  for (int i = 0; i < 8; ++i) text += "Item " + std::string(size_t(i % 3 + 1), char('A' + i)) + "\r\n<<br>>\r\n";
  testsupport::WriteFileText(list, text + "<<end>>\r\n");
  for (const char* jobs : {"1", "2", "3"})
    ASSERT_EQ(Quorbel({"batch", list, doc, "-o", dir.file(std::string("j") + jobs + "_"), "--type", "bmp",
                       "--jobs", jobs, "--seed", "11", "--pressed"}).status, 0);
  for (int i = 0; i < 8; ++i) {
    for (const char* suffix : {".bmp", "_.bmp"}) {
      const std::string n = std::to_string(i) + suffix;
      const auto serial = ReadFileBytes(dir.file("j1_" + n));
      ASSERT_FALSE(serial.empty()) << n;
      EXPECT_TRUE(serial == ReadFileBytes(dir.file("j2_" + n))) << n;
      EXPECT_TRUE(serial == ReadFileBytes(dir.file("j3_" + n))) << n;
    }
  }
}

TEST(Commands, BatchRefusesToOverwriteWithoutForceAndHandlesEmptyLists) {
  TempDir dir;
  const std::string list = dir.file("l.blt");
  testsupport::WriteFileText(list, "A\r\n<<br>>\r\nB\r\n<<br>>\r\n<<end>>\r\n");
  // Even an empty file counts as existing, and any name of the series is checked.
  testsupport::WriteFileText(dir.file("card1.png"), "");
  RunResult r = Quorbel({"batch", list, "-o", dir.file("card"), "--type", "png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("card1.png"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(dir.file("card0.png")));
  r = Quorbel({"batch", list, "-o", dir.file("card"), "--type", "png", "--force"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_GT(fs::file_size(dir.file("card1.png")), 0u);

  testsupport::WriteFileText(dir.file("empty.blt"), "<<end>>\r\n");
  r = Quorbel({"batch", dir.file("empty.blt"), "-o", dir.file("none"), "--type", "png"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("no strings"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(dir.file("none0.png")));

  r = Quorbel({"batch", list, "-o", dir.file("missing_folder/card"), "--type", "png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("missing_folder"), std::string::npos) << r.output;
}

TEST(Commands, TextInAnyScriptIsTheSameByEveryRoute) {
  TempDir dir;
  // Each sample as UTF-8 and, where one exists, in the Windows code page of its font charset.
  struct Sample {
    std::string utf8;
    std::string codePage;
    int charset;
  } samples[] = {
      {"Caf\u00e9 M\u00fcller", "Caf\xE9 M\xFCller", 0},
      {"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", 204},
      {"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd", "\xF9\xEC\xE5\xED \xF2\xE5\xEC\xED", 177},
      {"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8", "", 0},
  };
  auto document = [](const std::string& text, int charset) {
    std::string item = "type 0\r\nmessage\r\n" + text + "\r\n<br>\r\nparam 0 0 0 0 0 0\r\nfont -30 0 400 0 " +
                       std::to_string(charset) + " 0 0 0\r\nDejaVu Sans\r\nend\r\nend\r\n";
    return ";save draw plaquet list\r\n" + item + item + item;
  };
  int n = 0;
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.utf8);
    const std::string id = std::to_string(n++);
    const std::string doc = dir.file("utf8_" + id + ".plq"), list = dir.file("l" + id + ".blt");
    testsupport::WriteFileText(doc, document(s.utf8, s.charset));
    testsupport::WriteFileText(list, s.utf8 + "\r\n<<br>>\r\n<<end>>\r\n");
    ASSERT_EQ(Quorbel({"render", doc, "-o", dir.file("doc" + id + ".bmp"), "--seed", "1"}).status, 0);
    ASSERT_EQ(Quorbel({"render", doc, "--text", s.utf8, "-o", dir.file("arg" + id + ".bmp"), "--seed", "1"}).status, 0);
    ASSERT_EQ(Quorbel({"batch", list, doc, "-o", dir.file("list" + id + "_"), "--type", "bmp", "--seed", "1"}).status, 0);
    const auto picture = ReadFileBytes(dir.file("doc" + id + ".bmp"));
    EXPECT_EQ(ReadFileBytes(dir.file("arg" + id + ".bmp")), picture);
    EXPECT_EQ(ReadFileBytes(dir.file("list" + id + "_0.bmp")), picture);
    if (s.codePage.empty()) continue;
    // Files written on the original platform keep their letters.
    const std::string old = dir.file("old" + id + ".plq");
    testsupport::WriteFileText(old, document(s.codePage, s.charset));
    ASSERT_EQ(Quorbel({"render", old, "-o", dir.file("old" + id + ".bmp"), "--seed", "1"}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.file("old" + id + ".bmp")), picture);
  }
  // An argument that is not UTF-8 is read as Windows-1252, with one warning.
  RunResult r = Quorbel({"render", "--text", "Caf\xE9", "-o", dir.file("bad.bmp"), "--seed", "1"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("not valid UTF-8"), std::string::npos) << r.output;
  ASSERT_EQ(Quorbel({"render", "--text", "Caf\u00e9", "-o", dir.file("good.bmp"), "--seed", "1"}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("bad.bmp")), ReadFileBytes(dir.file("good.bmp")));
  // A character no installed face has is named in a warning; the picture is still written.
  r = Quorbel({"render", "--text", "a\U0010FFFD", "-o", dir.file("box.bmp"), "--seed", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("U+10FFFD"), std::string::npos) << r.output;
  testsupport::WriteFileText(dir.file("box.blt"), "a\U0010FFFD\r\n<<br>>\r\nb\U0010FFFD\r\n<<br>>\r\n<<end>>\r\n");
  r = Quorbel({"batch", dir.file("box.blt"), "-o", dir.file("box_"), "--type", "bmp", "--jobs", "2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("(U+10FFFD)"), std::string::npos) << r.output;  // named once
}

TEST(Commands, TransparentBackdropGivesAlphaAndStandardOutputCarriesTheSameFile) {
  TempDir dir;
  const std::string bin = testsupport::BinFolder() + "/quorbel";
  const std::vector<std::string> common{"--style", Style("golden.sty"), "--seed", "3", "--transparent"};
  std::vector<std::string> render{"render", "-o", dir.file("t.png")};
  render.insert(render.end(), common.begin(), common.end());
  ASSERT_EQ(Quorbel(render).status, 0);
  const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(dir.file("t.png")));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.colorType, 6);
  bool clear = false, solid = false;
  for (size_t i = 3; i < d.rgba.size(); i += 4) clear |= d.rgba[i] == 0, solid |= d.rgba[i] == 255;
  EXPECT_TRUE(clear && solid);

  // The same picture through a pipe; nothing else appears in the folder.
  RunResult r = Shell(bin + " render -o - --type png --style " + Style("golden.sty") + " --seed 3 --transparent > " +
                      dir.file("piped.png"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(ReadFileBytes(dir.file("piped.png")), ReadFileBytes(dir.file("t.png")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

  // A page colour makes the picture opaque again.
  ASSERT_EQ(Quorbel({"render", "-o", dir.file("o.png"), "--style", Style("golden.sty"), "--page-color", "navy"}).status, 0);
  EXPECT_EQ(pngpeer::Decode(ReadFileBytes(dir.file("o.png"))).colorType, 2);
}

TEST(Commands, BackdropAndQualityMistakesAreUsageErrorsAndAMatteOnAnOpaquePageIsSaidOnce) {
  TempDir dir;
  const std::string out = dir.file("x.png");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"render", "-o", dir.file("x.webp"), "--quality", "101"},
           {"render", "-o", out, "--quality", "-1"},
           {"render", "-o", out, "--page-color", "#12345"},
           {"render", "-o", out, "--matte", "nocolour"},
           {"render", "-o", out, "--transparent", "--page-color", "red"},
           {"render", "-o", "-"},
       }) {
    const RunResult r = Quorbel(args);
    EXPECT_EQ(r.status, 2) << args.back() << ": " << r.output;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
  const RunResult r = Quorbel({"render", "-o", dir.file("m.gif"), "--page-color", "white", "--matte", "rgb(0,0,255)",
                               "--pressed"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Count(r.output, "--matte ignored"), 1u) << r.output;
  // A terminal never receives picture bytes.
  if (fs::exists("/usr/bin/script")) {
    const RunResult t = Shell("/usr/bin/script -qec '" + testsupport::BinFolder() +
                              "/quorbel render -o - --type png' /dev/null");
    EXPECT_EQ(t.status, 2) << t.output;
    EXPECT_NE(t.output.find("terminal"), std::string::npos) << t.output;
  }
}

namespace {

// Bounding box and count of the pixels that differ from the top-left (page) pixel.
struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int width = 0, height = 0;  // of the picture
  size_t count = 0;
  int inkHeight() const { return bottom - top + 1; }
};

Ink MeasureInk(const std::string& png) {
  const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(png));
  EXPECT_TRUE(d.ok) << png << ": " << d.error;
  Ink ink;
  ink.width = int(d.width);
  ink.height = int(d.height);
  for (int y = 0; y < ink.height; ++y)
    for (int x = 0; x < ink.width; ++x)
      if (std::memcmp(&d.rgba[(size_t(y) * d.width + x) * 4], d.rgba.data(), 3) != 0) {
        ++ink.count;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
      }
  return ink;
}

// Pixels within 2 of the colour in every channel (the fill's own rounding).
size_t CountColour(const std::string& png, int r, int g, int b) {
  const pngpeer::Decoded d = pngpeer::Decode(ReadFileBytes(png));
  size_t n = 0;
  for (size_t i = 0; i + 3 < d.rgba.size(); i += 4)
    n += std::abs(d.rgba[i] - r) <= 2 && std::abs(d.rgba[i + 1] - g) <= 2 && std::abs(d.rgba[i + 2] - b) <= 2;
  return n;
}

// A black message on a white page in a named face, so the ink is the letters themselves.
std::vector<std::string> Plain(const std::string& out, std::vector<std::string> more) {
  std::vector<std::string> args{"render", "--style", "plain", "--page-color", "white", "--font", "DejaVu Sans",
                                "--seed", "1", "-o", out};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// One record per line of a JSON array: the fields read back by hand.
struct Record {
  std::string path, type;
  int index = -1, width = 0, height = 0;
  long bytes = -1;
};

std::string Field(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\": ");
  if (at == std::string::npos) return {};
  size_t start = at + key.size() + 4, end = start;
  if (line[start] == '"') {
    end = line.find('"', ++start);
  } else {
    end = line.find_first_of(",}", start);
  }
  return line.substr(start, end - start);
}

std::vector<Record> ParseRecords(const std::string& json) {
  std::vector<Record> out;
  std::istringstream in(json);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"index\"") == std::string::npos) continue;
    Record r;
    r.index = std::stoi(Field(line, "index"));
    r.path = Field(line, "path");
    r.type = Field(line, "type");
    r.width = std::stoi(Field(line, "width"));
    r.height = std::stoi(Field(line, "height"));
    r.bytes = std::stol(Field(line, "bytes"));
    out.push_back(r);
  }
  return out;
}

}  // namespace

TEST(Commands, MessageOptionsChangeThePictureAsMeasured) {
  TempDir dir;
  // Letters from ascender to descender span about one em: within 10 % of --size.
  for (int size : {24, 60, 120}) {
    const std::string out = dir.file("size" + std::to_string(size) + ".png");
    RunResult r = Quorbel(Plain(out, {"--text", "dp", "--size", std::to_string(size)}));
    ASSERT_EQ(r.status, 0) << r.output;
    const Ink ink = MeasureInk(out);
    EXPECT_NEAR(ink.inkHeight(), size, size * 0.1) << size;
  }
  // Margins add their pixels on both sides (the letters may move by one pixel as the width is
  // rounded).
  ASSERT_EQ(Quorbel(Plain(dir.file("m0.png"), {"--text", "Hi", "--size", "40", "--margin", "0"})).status, 0);
  ASSERT_EQ(Quorbel(Plain(dir.file("m.png"), {"--text", "Hi", "--size", "40", "--margin", "30,10"})).status, 0);
  const Ink m0 = MeasureInk(dir.file("m0.png")), m = MeasureInk(dir.file("m.png"));
  EXPECT_EQ(m.width - m0.width, 60);
  EXPECT_EQ(m.height - m0.height, 20);
  EXPECT_NEAR(m.left - m0.left, 30, 1);
  EXPECT_NEAR(m.top - m0.top, 10, 1);
  // The colour lands on the letters; bold paints more of them; italic changes them.
  ASSERT_EQ(Quorbel(Plain(dir.file("c.png"), {"--text", "Hi", "--size", "40", "--color", "rgb(0,192,0)"})).status, 0);
  EXPECT_GT(CountColour(dir.file("c.png"), 0, 192, 0), MeasureInk(dir.file("c.png")).count / 4);
  EXPECT_EQ(CountColour(dir.file("m0.png"), 0, 192, 0), 0u);
  ASSERT_EQ(Quorbel(Plain(dir.file("b.png"), {"--text", "Hi", "--size", "40", "--margin", "0", "--bold"})).status, 0);
  EXPECT_GT(MeasureInk(dir.file("b.png")).count, m0.count * 11 / 10);
  ASSERT_EQ(Quorbel(Plain(dir.file("i.png"), {"--text", "Hi", "--size", "40", "--margin", "0", "--italic"})).status, 0);
  EXPECT_NE(ReadFileBytes(dir.file("i.png")), ReadFileBytes(dir.file("m0.png")));

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--size", "0"}, {"--size", "4097"}, {"--margin", "101"}, {"--margin", "1,2,3"},
        {"--color", "nocolour"}}) {
    RunResult r = Quorbel(Plain(dir.file("bad.png"), bad));
    EXPECT_EQ(r.status, 2) << bad[0] << " " << bad[1] << ": " << r.output;
  }
  EXPECT_FALSE(fs::exists(dir.file("bad.png")));
}

TEST(Commands, StylesAndExamplesByNameWithNearNamesForMistakes) {
  TempDir dir;
  const std::string styleFile = testsupport::DataFolder() + "/golden.sty";
  for (const std::string& style : {std::string("golden"), std::string("golden.sty"), styleFile}) {
    RunResult r = Quorbel({"render", "--style", style, "--text", "A", "--seed", "3", "-o", dir.file(style == styleFile ? "path.png" : style + ".png")});
    ASSERT_EQ(r.status, 0) << style << ": " << r.output;
  }
  EXPECT_EQ(ReadFileBytes(dir.file("golden.png")), ReadFileBytes(dir.file("path.png")));
  EXPECT_EQ(ReadFileBytes(dir.file("golden.sty.png")), ReadFileBytes(dir.file("path.png")));
  ASSERT_EQ(Quorbel({"render", "neon", "--seed", "3", "-o", dir.file("neon.png")}).status, 0);

  RunResult r = Quorbel({"render", "--style", "goldn", "-o", dir.file("x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("quorbel: goldn: "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("did you mean golden"), std::string::npos) << r.output;
  r = Quorbel({"render", "noen", "-o", dir.file("x.png")});
  EXPECT_NE(r.output.find("did you mean neon"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(dir.file("x.png")));

  r = Quorbel({"list", "styles"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("golden\n"), std::string::npos) << r.output;
  r = Quorbel({"list", "effects"});
  EXPECT_NE(r.output.find("SingleColor"), std::string::npos);
  EXPECT_NE(r.output.find("degrees"), std::string::npos);
  r = Quorbel({"list", "fonts"});
  EXPECT_NE(r.output.find("DejaVu Sans\n"), std::string::npos) << r.output;
  EXPECT_EQ(Quorbel({"list", "colours"}).status, 2);

  r = Quorbel(Plain(dir.file("f.png"), {"--font", "No Such Face Anywhere", "--verbose"}));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("fontconfig's best match"), std::string::npos) << r.output;
}

TEST(Commands, PlainListsBatchListsAndStandardInputGiveTheSameFiles) {
  TempDir dir;
  testsupport::WriteFileText(dir.file("names.txt"), "Home\n\nAbout us\r\n  \nCaf\xC3\xA9\n");
  testsupport::WriteFileText(dir.file("names.blt"),
                             "Home\r\n<<br>>\r\nAbout us\r\n<<br>>\r\nCaf\xC3\xA9\r\n<<br>>\r\n<<end>>\r\n");
  const std::vector<std::string> common{"--style", "plain", "--seed", "5", "--type", "png"};
  auto batch = [&](const std::string& list, const std::string& base) {
    std::vector<std::string> args{"batch", list, "-o", dir.file(base)};
    args.insert(args.end(), common.begin(), common.end());
    return Quorbel(args);
  };
  ASSERT_EQ(batch(dir.file("names.txt"), "plain").status, 0);
  ASSERT_EQ(batch(dir.file("names.blt"), "blt").status, 0);
  RunResult r = Shell(testsupport::BinFolder() + "/quorbel batch - -o " + dir.file("stdin") +
                      " --style plain --seed 5 --type png < " + dir.file("names.txt"));
  ASSERT_EQ(r.status, 0) << r.output;
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i) + ".png";
    EXPECT_EQ(ReadFileBytes(dir.file("plain" + n)), ReadFileBytes(dir.file("blt" + n))) << n;
    EXPECT_EQ(ReadFileBytes(dir.file("plain" + n)), ReadFileBytes(dir.file("stdin" + n))) << n;
  }
  EXPECT_FALSE(fs::exists(dir.file("plain3.png")));

  // Windows-1252 text is said once and read as the letters it holds.
  testsupport::WriteFileText(dir.file("old.txt"), "Caf\xE9\nNa\xEFve\n");
  fs::create_directory(dir.file("old"));
  r = Quorbel({"batch", dir.file("old.txt"), "-o", dir.file("old/"), "--name", "{text}", "--style", "plain",
               "--type", "png"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Count(r.output, "Windows-1252"), 1u) << r.output;
  EXPECT_TRUE(fs::exists(dir.file("old/caf\xC3\xA9.png")));
  EXPECT_TRUE(fs::exists(dir.file("old/na\xC3\xAFve.png")));
}

TEST(Commands, NameTemplatesAndTheManifestAgreeWithTheFilesOnDisk) {
  TempDir dir;
  testsupport::WriteFileText(dir.file("names.txt"), "Home\nhome\nAbout us\n");
  fs::create_directory(dir.file("out"));
  RunResult r = Quorbel({"batch", dir.file("names.txt"), "-o", dir.file("out/b-"), "--name", "{index:03}-{text}",
                         "--style", "golden", "--pressed", "--type", "png", "--manifest", dir.file("out/m.json")});
  ASSERT_EQ(r.status, 0) << r.output;
  const std::vector<Record> records = ParseRecords(testsupport::ReadFileText(dir.file("out/m.json")));
  const std::vector<std::string> expected{"b-000-home.png", "b-000-home_.png", "b-001-home-2.png",
                                          "b-001-home-2_.png", "b-002-about-us.png", "b-002-about-us_.png"};
  ASSERT_EQ(records.size(), expected.size());
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir.file("out"))) files += e.path().extension() == ".png";
  EXPECT_EQ(files, expected.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& rec = records[i];
    EXPECT_EQ(rec.path, dir.file("out/" + expected[i]));
    EXPECT_EQ(rec.index, int(i / 2));
    EXPECT_EQ(rec.type, "png");
    EXPECT_EQ(rec.bytes, long(fs::file_size(rec.path)));
    EXPECT_EQ((Size{rec.width, rec.height}), PeerSize(rec.path)) << rec.path;
  }

  // render --json and size --json print the same fields, for the same picture.
  r = Quorbel({"render", "--style", "golden", "--text", "Home", "--seed", "1", "-o", dir.file("one.png"), "--json"});
  ASSERT_EQ(r.status, 0);
  const std::vector<Record> one = ParseRecords(r.output);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].bytes, long(fs::file_size(dir.file("one.png"))));
  EXPECT_EQ((Size{one[0].width, one[0].height}), PeerSize(dir.file("one.png")));
  r = Quorbel({"size", "--style", "golden", "--text", "Home", "--seed", "1", "--type", "png", "--json"});
  const std::vector<Record> measured = ParseRecords(r.output);
  ASSERT_EQ(measured.size(), 1u) << r.output;
  EXPECT_EQ(measured[0].bytes, one[0].bytes);
  EXPECT_EQ(measured[0].width, one[0].width);

  // Clashing names and a manifest in a missing folder are refused before anything is written.
  TempDir empty;
  r = Quorbel({"batch", dir.file("names.txt"), "-o", empty.file("x"), "--name", "same", "--type", "png"});
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("would both be written"), std::string::npos) << r.output;
  r = Quorbel({"batch", dir.file("names.txt"), "-o", empty.file("x"), "--type", "png", "--manifest",
               empty.file("missing/m.json")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("missing/m.json"), std::string::npos) << r.output;
  EXPECT_TRUE(fs::is_empty(empty.path()));
}

TEST(Commands, WarningsForBlankMessagesAndOptionsTheTypeIgnoresAndQuietSilencesThem) {
  TempDir dir;
  RunResult r = Quorbel({"render", "--text", "Hello", "-o", dir.file("blank.png"), "--jpeg-compression", "30"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("give --style"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("--jpeg-compression ignored"), std::string::npos) << r.output;
  r = Quorbel({"render", "--style", "plain", "-o", dir.file("c.jpg"), "--colors", "256"});
  EXPECT_NE(r.output.find("--colors ignored"), std::string::npos) << r.output;
  r = Quorbel({"render", "--text", "Hello", "-o", dir.file("quiet.png"), "--jpeg-compression", "30", "--quiet"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, dir.file("quiet.png") + "\n");
  r = Quorbel({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("Quorbel"), std::string::npos);
}
