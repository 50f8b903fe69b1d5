// Pinned renders: every shipped example and a hand-made style for every effect kind and its
// variants, rendered by the command line with a fixed seed, normal and pressed picture. The
// checksums were taken before the effects were reorganised and taken again once, when lines came
// to be shaped (advances as the face defines them, kerning); any difference means the look
// changed. An intended change of look must update this table (and say why).
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
    {Shipped, "bullets", 0x47ed7a453104c6baull, 0x022730eff202786full},
    {Shipped, "button3d", 0x1397111dd2aba076ull, 0xada402b2a51d9d8aull},
    {Shipped, "chrome", 0x6da39e648a0efcf6ull, 0xb9ee4f8dd6bd8282ull},
    {Shipped, "fire", 0xf4d2a9d474025537ull, 0xf4d2a9d474025537ull},
    {Shipped, "fog", 0xfe2eb0209d1986baull, 0x4746403d098208b7ull},
    {Shipped, "glow", 0x524104571c3f7ee4ull, 0xda96c3d4693b269bull},
    {Shipped, "funky", 0x35d6646cfaab2f49ull, 0x0773c9d7838b3e75ull},
    {Shipped, "gold_bevel", 0xb652a6f3fb21a20eull, 0x4578a30e21157a34ull},
    {Shipped, "gifbutton", 0xba25c5c78680e753ull, 0xba25c5c78680e753ull},
    {Shipped, "letterpress", 0x4e471ac0eb5a6a34ull, 0xd87bdc44e0a11d23ull},
    {Shipped, "marble", 0x32bd251098e34a03ull, 0xef6d2f6467558994ull},
    {Shipped, "neon", 0x88b7aa6daad17726ull, 0x88b7aa6daad17726ull},
    {Shipped, "stamped", 0x8f631fe6636a0020ull, 0x8f631fe6636a0020ull},
    {Shipped, "starry", 0x0bf81b06f1092179ull, 0x64e20a8aa15103f5ull},
    {Shipped, "sticker", 0x52b17f0541b40746ull, 0xa8a86b9d30f35a99ull},
    {Shipped, "stone", 0x7a9b0310a2cd1b12ull, 0x7a5e4f9687ea15dcull},
    {Shipped, "sunset", 0x5b56e98b3eb3a804ull, 0xd0351b49d41ec362ull},
    {Shipped, "wood", 0xe4c6ee29bdecd950ull, 0x18084c05856a0ab7ull},
    {Own, "random_effects", 0x85f717a36df5a857ull, 0xfd3ee5035941e31dull},
    {Style, "cut_out", 0x5137757cd72494cbull, 0x9fcc73f9f862b352ull},
    {Style, "depth_field", 0xd64e431bf2917b9dull, 0xd64e431bf2917b9dull},
    {Style, "distort_1", 0x39f447b61d695388ull, 0x39f447b61d695388ull},
    {Style, "distort_2", 0x26eb53d0dd1a8f06ull, 0x26eb53d0dd1a8f06ull},
    {Style, "distort_3", 0xc4a524e9cd3955e6ull, 0xc4a524e9cd3955e6ull},
    {Style, "distort_4", 0x52f0f8b73410f59cull, 0x52f0f8b73410f59cull},
    {Style, "distort_5", 0xdff41c2eae24a576ull, 0xdff41c2eae24a576ull},
    {Style, "distort_6", 0xd0fa1f8b24b6be53ull, 0xd0fa1f8b24b6be53ull},
    {Style, "distort_7", 0xf3c1471b669f5f0bull, 0xe8f0be6fa005b657ull},
    {Style, "distort_8", 0x03154e9dd1703cdeull, 0x03154e9dd1703cdeull},
    {Style, "distort_undo", 0x69b25284d1fa3a91ull, 0x69b25284d1fa3a91ull},
    {Style, "draw_solid_outline", 0x758ba08df130e04eull, 0x758ba08df130e04eull},
    {Style, "draw_textures", 0x7043b82034cfcd95ull, 0x373556cd74183c8dull},
    {Style, "fog", 0x871b771869bfa91full, 0x1a3352e844b186dfull},
    {Style, "gradients", 0x08b1278ce688649cull, 0x4e1bd1758aa200b4ull},
    {Style, "layer_styles", 0x2fecd8c3218af79cull, 0x26b78209aaadf969ull},
    {Style, "random_mix", 0x88b1fdde4766c71full, 0xa877f151b4b07dfcull},
    {Style, "round_box", 0x0ad6ed4f7704a945ull, 0x0ad6ed4f7704a945ull},
    {Style, "round_box_text", 0xdb65b3a5e2884d07ull, 0xdb65b3a5e2884d07ull},
    {Style, "shade3d_0", 0xe103f02371a5ea5dull, 0xa7a7d21dc38803a7ull},
    {Style, "shade3d_1", 0xa81ce7c408ead1a8ull, 0x67c084fe1f6e76b6ull},
    {Style, "shade3d_2", 0xd4eebf297e095e3eull, 0x95e035f9a6831af5ull},
    {Style, "shade3d_negative", 0x60a8876ca1b09adcull, 0x60a8876ca1b09adcull},
    {Style, "shadows", 0xbae788ccbca311c1ull, 0x14a4fd48abd69d83ull},
    {Style, "space", 0x841e0d6295b5a036ull, 0xaa26f8d2d9154810ull},
    {Style, "stars", 0x7edb0ef5acdeb5ccull, 0xc4e4398f828b671full},
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
