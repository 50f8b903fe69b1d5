// Pinned renders: every shipped example and a hand-made style for every effect kind and its
// variants, rendered by the command line with a fixed seed, normal and pressed picture. The
// checksums were taken from the program before the effects were reorganised; any difference
// means the look changed. An intended change of look must update this table (and say why).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/test_support.h"

namespace {

// FNV-1a over the whole file: header and pixels.
uint64_t Checksum(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

enum Source { Shipped, Own, Style };
struct Pin {
  Source source;
  const char* name;
  uint64_t normal, pressed;
};

// Shipped: DATA/name.plq. Own: pinned/name.plq. Style: pinned/pin.plq with --style pinned/name.sty
// (lines hold p2 p3 p4 p5 p0 p1 p6 .. p11).
const Pin kPins[] = {
    {Shipped, "bullets", 0xe4ce6324d0dc3070ull, 0xf844b001aa620929ull},
    {Shipped, "button3d", 0xdafb6273febde93cull, 0x552fda9cbcbc3f87ull},
    {Shipped, "chrome", 0x5e9b66886fe03337ull, 0x5d585b31f7d69ac0ull},
    {Shipped, "fire", 0x1ed84f1240218943ull, 0x1ed84f1240218943ull},
    {Shipped, "fog", 0xfed3ee4bc249ed24ull, 0x54e99d2e713df3cfull},
    {Shipped, "funky", 0xce2445f3373c7222ull, 0x61150d5974f79ee8ull},
    {Shipped, "gifbutton", 0x930392f11098783full, 0x930392f11098783full},
    {Shipped, "marble", 0x13555444c1de9550ull, 0x0f5eb8258e24a6fcull},
    {Shipped, "neon", 0x92f4f5f8b703db59ull, 0x92f4f5f8b703db59ull},
    {Shipped, "starry", 0x0bf81b06f1092179ull, 0x64e20a8aa15103f5ull},
    {Shipped, "stone", 0xccfed5e1cbde3e3full, 0xe46af836119c8dd7ull},
    {Shipped, "sunset", 0x168febfeb5f33500ull, 0xbef3b376da17231eull},
    {Shipped, "wood", 0xeb0a97a143d4b5f6ull, 0x1bee3ac9a724cfa2ull},
    {Own, "random_effects", 0x5808ea8a7c611c73ull, 0x882f15f4fd8a9927ull},
    {Style, "cut_out", 0x305dfef582a1ee43ull, 0x4142c197b3b14e58ull},
    {Style, "depth_field", 0xc6214b424ba52caaull, 0xc6214b424ba52caaull},
    {Style, "distort_1", 0xe9a4c8ed106e4cf3ull, 0xe9a4c8ed106e4cf3ull},
    {Style, "distort_2", 0x5cd772df2826b0b0ull, 0x5cd772df2826b0b0ull},
    {Style, "distort_3", 0x16f960d2c750ab77ull, 0x16f960d2c750ab77ull},
    {Style, "distort_4", 0x9d7ae5aaa268e79eull, 0x9d7ae5aaa268e79eull},
    {Style, "distort_5", 0xd7e5280cf66feb26ull, 0xd7e5280cf66feb26ull},
    {Style, "distort_6", 0x49e77ea3544e5fc7ull, 0x49e77ea3544e5fc7ull},
    {Style, "distort_7", 0xda9fc8ea0719a859ull, 0xe12a1c603ca3d1d3ull},
    {Style, "distort_8", 0x0a5fd20cd81cb592ull, 0x0a5fd20cd81cb592ull},
    {Style, "distort_undo", 0x9f4284e14da1c54bull, 0x9f4284e14da1c54bull},
    {Style, "draw_solid_outline", 0xd66344d726887d1aull, 0xd66344d726887d1aull},
    {Style, "draw_textures", 0xd933cea39d5a756bull, 0x1b2c979b29089f47ull},
    {Style, "fog", 0xd6e6ff9c719e5a53ull, 0x2254087e44ba81b2ull},
    {Style, "gradients", 0x9ddbb5c463eb6eefull, 0x9a478e71747fa014ull},
    {Style, "random_mix", 0xd25312886652c1f9ull, 0xf4bf8e387271510full},
    {Style, "round_box", 0x523405c02cd2019aull, 0x523405c02cd2019aull},
    {Style, "round_box_text", 0xdb65b3a5e2884d07ull, 0xdb65b3a5e2884d07ull},
    {Style, "shade3d_0", 0xca18f199516e0af7ull, 0x1c69c090acfbaf94ull},
    {Style, "shade3d_1", 0x4d22b39d53a776b9ull, 0x2a6737c2193d4dd7ull},
    {Style, "shade3d_2", 0xb1ad9f698ebb1ae5ull, 0xff2946cea091b2d1ull},
    {Style, "shade3d_negative", 0x5305f7afe8baee10ull, 0x5305f7afe8baee10ull},
    {Style, "shadows", 0x694aa3fdd795ab8eull, 0xb9d57f43a4b2c386ull},
    {Style, "space", 0x15a2a33b28081fc1ull, 0xd7724ed61a31e279ull},
    {Style, "stars", 0x97c019a0bb4262aeull, 0x00b8111f55a330a7ull},
    {Style, "tile", 0x60d622cae088e1f9ull, 0x60d622cae088e1f9ull},
};

TEST(RenderPins, EveryExampleAndEffectVariantRendersAsPinned) {
  testsupport::TempDir dir;
  const std::string pinned = testsupport::TestSourceFolder() + "/cli/pinned/";
  for (const Pin& pin : kPins) {
    std::vector<std::string> args{testsupport::BinFolder() + "/quorbel", "render"};
    if (pin.source == Shipped) args.push_back(testsupport::DataFolder() + "/" + pin.name + ".plq");
    if (pin.source == Own) args.push_back(pinned + pin.name + ".plq");
    if (pin.source == Style) args.insert(args.end(), {pinned + "pin.plq", "--style", pinned + pin.name + ".sty"});
    const std::string out = dir.file(std::string(pin.name) + ".bmp");
    args.insert(args.end(), {"-o", out, "--seed", "7", "--pressed"});
    const platform::ProcessResult r = platform::RunProcess(args);
    ASSERT_EQ(r.exitStatus, 0) << pin.name << ": " << r.output;
    EXPECT_EQ(Checksum(testsupport::ReadFileBytes(out)), pin.normal) << pin.name;
    EXPECT_EQ(Checksum(testsupport::ReadFileBytes(dir.file(std::string(pin.name) + "_.bmp"))), pin.pressed)
        << pin.name << " pressed";
  }
}

}  // namespace
