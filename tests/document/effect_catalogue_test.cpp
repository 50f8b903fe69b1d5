#include "effects/effect_catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>

TEST(EffectCatalogue, LineStartFindsTheTypeByKeyPrefix) {
  for (int t = 0; t < kEffectTypeCount; ++t)
    EXPECT_EQ(EffectTypeFromLineStart(std::string(EffectKey(t)) + " 0 0 2 0 255"), t);
  // Only the key's own length is compared, and the comparison is case-sensitive.
  EXPECT_EQ(EffectTypeFromLineStart("OutLineWide 1"), OutLine);
  EXPECT_EQ(EffectTypeFromLineStart("3dSingleColor"), ThreeDSingleColor);
  EXPECT_EQ(EffectTypeFromLineStart("outline 1"), -1);
  EXPECT_EQ(EffectTypeFromLineStart(" SingleColor"), -1);
  EXPECT_EQ(EffectTypeFromLineStart("Til"), -1);
  EXPECT_EQ(EffectTypeFromLineStart(""), -1);
}

TEST(EffectCatalogue, StartTemplatesInHeldOrderWithStartValues) {
  const EffectTemplates t = StartEffectTemplates();
  const int order[kEffectTypeCount] = {CutOut, Space, Fog, RoundBox, ThreeDSingleColor,
                                       Tile, StarFilter, DisturbTemplet, DepthField,
                                       LinearGradient, DropShadow, SingleColor, OutLine,
                                       OuterGlow, InnerGlow, InnerShadow, Stroke, BevelEmboss,
                                       Satin, GradientOverlay};
  for (int i = 0; i < kEffectTypeCount; ++i) {
    EXPECT_EQ(t[i].type, order[i]);
    EXPECT_EQ(EffectTemplateIndex(order[i]), i);
    EXPECT_TRUE(t[i].fileName.empty());
  }
  EXPECT_EQ(EffectTemplateIndex(99), -1);
  auto rec = [&](int type) { return t[EffectTemplateIndex(type)].p; };
  using P = std::array<int32_t, 12>;
  EXPECT_EQ(rec(Space), (P{0, 0, 0, 0, 200, 200, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rec(Fog), (P{0, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 100, 100}));
  EXPECT_EQ(rec(RoundBox), (P{0, 0, 0, 0, 1, 1, 100, 100, 0, 0, 0, 0}));
  EXPECT_EQ(rec(ThreeDSingleColor), (P{0, 0, 0, 0, 0, 200, 25, 1000, 100, 0, 0, 0}));
  EXPECT_EQ(rec(StarFilter), (P{0xFFFFFF, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rec(DisturbTemplet), (P{0, 0, 100, 0, 1, 100, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rec(LinearGradient), (P{0x0000FF, 0xFFFF00, 0, 0, 20, 20, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rec(DropShadow), (P{0, 0, 0, 0, 50, 2, 0, 0, 0, 0, 0, 0}));
  for (int type : {CutOut, Tile, DepthField, SingleColor, OutLine}) EXPECT_EQ(rec(type), P{});
}

TEST(EffectCatalogue, ParameterTableAgreesWithStartRecordsAndIsWellFormed) {
  for (int t = 0; t < kEffectTypeCount; ++t) {
    const EffectRecord start = EffectStartRecord(t);
    EXPECT_EQ(start.type, t);
    std::set<int> slots;
    for (const EffectParam& p : FindEffectInfo(t)->params) {
      SCOPED_TRACE(std::string(EffectKey(t)) + " " + p.name);
      ASSERT_GE(p.slot, 0);
      ASSERT_LT(p.slot, 12);
      EXPECT_TRUE(slots.insert(p.slot).second) << "slot listed twice";
      EXPECT_EQ(p.startValue, start.p[p.slot]);
      EXPECT_LE(p.minValue, p.maxValue);
      EXPECT_EQ(FindEffectParam(t, p.slot), &p);
      if (p.kind == ParamKind::Choice) {
        EXPECT_FALSE(p.choices.empty());
        EXPECT_EQ(p.unit, ParamUnit::Choice);
      }
      // The kind of control and the unit agree, and every name finds its own parameter.
      EXPECT_EQ(p.kind == ParamKind::Colour, p.unit == ParamUnit::Colour);
      EXPECT_EQ(p.kind == ParamKind::Angle, p.unit == ParamUnit::Angle);
      EXPECT_EQ(&EffectParamNamed(t, p.name), &p);
    }
    EXPECT_THROW(EffectParamNamed(t, "noSuchParameter"), std::logic_error);
    // Every offset is the -20..20 pair in slots 2 and 3.
    if (const EffectParam* x = FindEffectParam(t, 2); x && std::string(x->name) == "offsetX") {
      EXPECT_EQ(x->minValue, -20);
      EXPECT_EQ(x->maxValue, 20);
      ASSERT_NE(FindEffectParam(t, 3), nullptr);
      EXPECT_STREQ(FindEffectParam(t, 3)->label, "Vertical");
    }
  }
  EXPECT_EQ(FindEffectParam(Tile, 0), nullptr);
  EXPECT_EQ(FindEffectParam(DisturbTemplet, 2), nullptr);  // starts at 100, unused
  EXPECT_TRUE(FindEffectInfo(Tile)->usesFileName);
  EXPECT_TRUE(FindEffectInfo(SingleColor)->usesFileName);
  EXPECT_FALSE(FindEffectInfo(OutLine)->usesFileName);
}

TEST(EffectCatalogue, FogSharesTheThreeDProfile) {
  for (int slot = 4; slot <= 9; ++slot) {
    const EffectParam *a = FindEffectParam(ThreeDSingleColor, slot), *b = FindEffectParam(Fog, slot);
    ASSERT_TRUE(a && b) << slot;
    EXPECT_STREQ(a->name, b->name);
    EXPECT_EQ(a->scale, b->scale);
    EXPECT_EQ(a->startValue, b->startValue);
  }
}

// The lengths that follow the picture's size: what scaling multiplies (PixelLength) and divides
// (PerPixel). Listed by hand from what each body does with the value.
TEST(EffectCatalogue, LengthUnitsAreExactlyTheSizeDependentParameters) {
  const std::map<int, std::set<std::string>> pixels = {
      {SingleColor, {"offsetX", "offsetY"}},
      {OutLine, {"offsetX", "offsetY", "thickness"}},
      {DropShadow, {"offsetX", "offsetY", "blur"}},
      {LinearGradient, {"offsetX", "offsetY", "size"}},
      {DepthField, {"blur"}},
      {DisturbTemplet, {"amplitude"}},
      {StarFilter, {"offsetX", "offsetY"}},
      {ThreeDSingleColor, {"offsetX", "offsetY"}},
      {Fog, {"offsetX", "offsetY"}},
      {Space, {"offsetX", "offsetY"}},
      {CutOut, {"offsetX", "offsetY", "blur", "locationX", "locationY"}},
      {OuterGlow, {"size"}},
      {InnerGlow, {"size"}},
      {InnerShadow, {"distance", "size"}},
      {Stroke, {"size"}},
      {BevelEmboss, {"size", "soften"}},
      {Satin, {"distance", "size"}}};
  const std::map<int, std::set<std::string>> perPixel = {{Fog, {"size"}}, {Space, {"size"}}};
  for (int t = 0; t < kEffectTypeCount; ++t) {
    std::set<std::string> gotPixels, gotPerPixel;
    for (const EffectParam& p : FindEffectInfo(t)->params) {
      if (p.unit == ParamUnit::PixelLength) gotPixels.insert(p.name);
      if (p.unit == ParamUnit::PerPixel) gotPerPixel.insert(p.name);
    }
    EXPECT_EQ(gotPixels, pixels.count(t) ? pixels.at(t) : std::set<std::string>{}) << EffectKey(t);
    EXPECT_EQ(gotPerPixel, perPixel.count(t) ? perPixel.at(t) : std::set<std::string>{}) << EffectKey(t);
  }
}
