#include "document/plaquet_document.h"

#include "document/line_fields.h"

namespace {

// Index of the last record of the item that is one of the two colour-painting types (or only
// SingleColor when alsoThreeD is false); -1 when there is none.
int LastPaintRecord(const PlaquetItem& item, bool alsoThreeD) {
  for (int i = item.effectCount() - 1; i >= 0; --i) {
    const int32_t t = item.effects[i].type;
    if (t == SingleColor || (alsoThreeD && t == ThreeDSingleColor)) return i;
  }
  return -1;
}

bool ValidIndex(const PlaquetDocument& doc, int index) {
  return index >= 0 && index < doc.itemCount();
}

}  // namespace

int PlaquetDocument::AppendItem(const PlaquetItem& item) {
  if (itemCount() >= kMaxItems) return -1;
  items.push_back(item);
  return 0;
}

int32_t PlaquetDocument::MainColour(int index) const {
  if (!ValidIndex(*this, index)) return -2;
  const PlaquetItem& item = items[index];
  const int i = LastPaintRecord(item, true);
  if (i < 0) return -2;
  const EffectRecord& r = item.effects[i];
  // A Draw record with fill kind 3 or more paints a bitmap, not a colour.
  if (r.type == SingleColor && r.p[4] >= 3) return -1;
  return r.p[0];
}

void PlaquetDocument::SetMainColour(int index, int32_t colour) {
  if (!ValidIndex(*this, index)) return;
  PlaquetItem& item = items[index];
  const int i = LastPaintRecord(item, true);
  if (i >= 0) item.effects[i].p[0] = colour;
}

void PlaquetDocument::SetMainTexture(int index, const std::string& name) {
  if (!ValidIndex(*this, index)) return;
  PlaquetItem& item = items[index];
  const int i = LastPaintRecord(item, false);
  if (i >= 0) item.effects[i].fileName = CutTo(name, kMaxEffectFileName);
}

void PlaquetDocument::ResetCurrentStyle() {
  currentStyle.effects.clear();
  currentStyleModified = false;
  currentStyleFile.clear();
  styleChanged = {};
}

void PlaquetDocument::NewDocumentDefaults() {
  // The three items are always there after start-up; make sure of it for a hand-built document.
  while (itemCount() < 3) items.emplace_back();
  for (int i : {kBackgroundItem, kBulletItem}) {
    PlaquetItem& item = items[i];
    item.kind = kKindNone;
    item.text = "a";
    item.styleName.clear();
    item.effects.clear();
  }
  PlaquetItem& msg = message();
  msg.kind = 0;
  msg.text = "Quorbel!";
  msg.styleName.clear();
  msg.effects.clear();
  msg.font.height = 20;
  msg.font.width = 10;
  msg.font.faceName = "Arial";
  documentPath.clear();
  documentModified = false;
  for (std::string& f : styleFile) f.clear();
  backdropColour = 0xFFFFFF;
  currentStyle.backdropColour = 0xFFFFFF;
}

LogFont StartFont() {
  LogFont f;
  f.height = 20;
  f.width = 10;
  f.faceName = "Arial";
  return f;
}

PlaquetDocument MakeStartUpDocument() {
  PlaquetDocument doc;
  doc.currentStyle.backdropColour = 0xFFFFFF;
  doc.backdropColour = 0xFFFFFF;
  doc.effectTemplates = StartEffectTemplates();
  doc.currentStyleFile.clear();
  for (std::string& f : doc.styleFile) f.clear();

  struct Start {
    int32_t kind;
    const char* text;
    const char* styleName;
    int32_t x;
  };
  for (const Start& s : {Start{kKindNone, "a", "test1.sty", 0}, Start{kKindNone, "a", "test1.sty", -20},
                         Start{0, "Quorbel!", "ttt.sty", 0}}) {
    PlaquetItem item;
    item.kind = s.kind;
    item.text = s.text;
    item.styleName = s.styleName;
    item.font = StartFont();
    item.x = s.x;
    doc.AppendItem(item);
  }
  doc.ResetCurrentStyle();
  return doc;
}
