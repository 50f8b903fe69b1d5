#pragma once
// The one table of effect parameters: keys, names, dialog texts, scales, ranges and start values.
// Style files, the dispatcher, the dialogs and the command line all read it.
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "effects/effect_record.h"

enum class ParamKind {
  Integer,  // slider / edit box within [minValue, maxValue]
  Colour,   // COLORREF, chosen with the colour dialog
  Choice,   // one of `choices`, stored as its value
  Angle,    // whole degrees, edit box and direction picker
};

struct EffectParam {
  int slot;              // index into EffectRecord::p
  const char* name;      // parameter name, e.g. "offsetX"
  const char* label;     // dialog label, e.g. "Holizontal"
  ParamKind kind;
  int minValue;
  int maxValue;
  int startValue;
  double scale;          // the stored integer times scale is the value the effect works with
  std::vector<std::pair<int, const char*>> choices;  // for ParamKind::Choice
  int page = 1;            // slider page size (page-up/page-down step)
  const char* group = "";  // dialog group box the control sits in, "" for none
};

struct EffectInfo {
  EffectType type;
  const char* key;          // word in style files, e.g. "3dSingleColor"
  const char* displayName;  // e.g. "3D Single Color"
  const char* dialogTitle;  // e.g. "Effect : 3D Single Color"
  bool usesFileName;        // Draw (bitmap fills) and Tile read EffectRecord::fileName
  std::vector<EffectParam> params;
};

// nullptr when type is outside 0..12.
const EffectInfo* FindEffectInfo(int type);
// Key and display name; "" for an unknown type.
const char* EffectKey(int type);
const char* EffectDisplayName(int type);
// The type whose key the line starts with, tried in type order over each key's length; -1 if none.
int EffectTypeFromLineStart(std::string_view line);
// A fresh record of the type with the start values (all zero for an unknown type).
EffectRecord EffectStartRecord(int type);
// The parameter of the type that lives in slot; nullptr when the type does not use the slot.
const EffectParam* FindEffectParam(int type, int slot);

// The per-type start records in the order they are held: CutOut, Space, Fog, RoundBox,
// 3dSingleColor, Tile, StarFilter, DisturbTemplet, DepthField, LinearGradient, DropShadow,
// SingleColor, OutLine.
using EffectTemplates = std::array<EffectRecord, kEffectTypeCount>;
EffectTemplates StartEffectTemplates();
// Position of a type in EffectTemplates; -1 for an unknown type.
int EffectTemplateIndex(int type);
