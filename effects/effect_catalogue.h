#pragma once
// The one table of effect parameters: keys, names, dialog texts, scales, ranges and start values.
// Style files, the dispatcher, the dialogs and the command line all read it.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "effects/effect_record.h"

enum class ParamKind {
  Integer,  // slider / edit box within [minValue, maxValue]
  Colour,   // COLORREF, chosen with the colour dialog
  Choice,   // one of `choices`, stored as its value
  Angle,    // whole degrees, edit box and direction picker
};

// What a parameter's value measures, once scaled. Scaling a picture by S multiplies every
// PixelLength by S and divides every PerPixel by S; the other units do not change with size.
enum class ParamUnit {
  PixelLength,  // offsets, thickness, blur radius, wavelengths, amplitudes: pixels
  PerPixel,     // noise lattice cells per pixel (Fog and Space "Size")
  Percent,      // share of a whole, in percent or a finer fraction (scale tells)
  Angle,        // degrees
  Colour,       // COLORREF 0x00BBGGRR
  Choice,       // one of `choices`
  Count,        // a plain number of things (star density)
  Factor,       // a multiplier: opacity, intensity, heights of the 3D profile
};

using ParamChoice = std::pair<int, const char*>;

struct EffectParam {
  int slot;              // index into EffectRecord::p
  const char* name;      // parameter name, e.g. "offsetX"
  const char* label;     // dialog label, e.g. "Holizontal"
  ParamKind kind;
  ParamUnit unit;
  int minValue;
  int maxValue;
  int startValue;
  double scale;          // the stored integer times scale is the value the effect works with
  std::span<const ParamChoice> choices;  // for ParamKind::Choice
  int page = 1;            // slider page size (page-up/page-down step)
  const char* group = "";  // dialog group box the control sits in, "" for none
};

// A slot no parameter reads that new records still carry a value in (kept so that saved styles
// stay as they always were).
struct StoredOnlySlot {
  int slot;
  int startValue;
};

struct EffectInfo {
  EffectType type;
  const char* key;          // word in style files, e.g. "3dSingleColor"
  const char* displayName;  // e.g. "3D Single Color"
  const char* dialogTitle;  // e.g. "Effect : 3D Single Color"
  bool usesFileName;        // Draw (bitmap fills) and Tile read EffectRecord::fileName
  std::span<const EffectParam> params;      // in slot order
  std::span<const StoredOnlySlot> storedOnly;
};

// nullptr when type is outside 0 .. kEffectTypeCount - 1.
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
// The parameter of the type called name; throws std::logic_error when there is none (a body
// asking for a parameter its kind does not have is a programming error).
const EffectParam& EffectParamNamed(int type, std::string_view name);

// Reads a record's parameters by name, as the effect bodies take them.
class ParamReader {
 public:
  explicit ParamReader(const EffectRecord& record) : record_(record) {}
  // The integer as stored.
  int32_t Stored(std::string_view name) const {
    return record_.p[size_t(EffectParamNamed(record_.type, name).slot)];
  }
  // The stored integer times the parameter's scale.
  double Scaled(std::string_view name) const {
    const EffectParam& p = EffectParamNamed(record_.type, name);
    return record_.p[size_t(p.slot)] * p.scale;
  }

 private:
  const EffectRecord& record_;
};

// The per-type start records in the order they are held: CutOut, Space, Fog, RoundBox,
// 3dSingleColor, Tile, StarFilter, DisturbTemplet, DepthField, LinearGradient, DropShadow,
// SingleColor, OutLine, then the layer-style kinds in type order.
using EffectTemplates = std::array<EffectRecord, kEffectTypeCount>;
EffectTemplates StartEffectTemplates();
// Position of a type in EffectTemplates; -1 for an unknown type.
int EffectTemplateIndex(int type);
