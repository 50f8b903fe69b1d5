// Disturbing Font, Star Filtering and Rectangle (Round Box).
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/dialogs/effect_dialogs.h"
#include "effects/effect_catalogue.h"
#include "effects/star_filter.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "ui/app_state.h"
#include "ui/live_slider.h"

namespace {

constexpr int kEnlarge = 8;  // the template whose amplitude is a percentage

}  // namespace

// ---- Disturbing Font ----

DisturbDialog::DisturbDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(DisturbTemplet, record, state, std::move(refresh), parent) {
  glyphCopy_ = ctx().work.glyphMask;
  SetBody(LayOut());
  if (record_.p[4] == kEnlarge) RowFor(6)->slider->setMaximum(100);
  Start();
}

void DisturbDialog::OnChosen(int slot) {
  Preview();
  if (slot != 4) return;
  Row& amplitude = *RowFor(6);
  if (record_.p[4] == kEnlarge) {
    const QSignalBlocker block(amplitude.slider);
    amplitude.slider->setMaximum(100);  // also lowers a higher position to 100
    amplitude.member = 100;
  } else {
    amplitude.slider->setMaximum(FindEffectParam(DisturbTemplet, 6)->maxValue);
  }
}

void DisturbDialog::Preview() {
  WorkSet& work = ctx().work;
  if (work.PixelCount() <= 0 || glyphCopy_.size() != work.glyphMask.size()) return;
  // Each preview distorts the glyphs as they were when the dialog opened.
  work.glyphMask = glyphCopy_;
  work.BuildEdgePlane();
  work.glyphChanged = true;
  PreviewRecord();
  PaintGlyphsWhite();
}

// ---- Star Filtering ----

StarFilterDialog::StarFilterDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh,
                                   QWidget* parent)
    : EffectDialog(StarFilter, record, state, std::move(refresh), parent) {
  SetBody(LayOut());
  // The preview is a stroke of light that the offsets do not move.
  RowFor(2)->typedPreviews = RowFor(3)->typedPreviews = false;
  Start();
}

void StarFilterDialog::Preview() {
  // A short horizontal stroke of light on black shows the star better than the glyphs would.
  WorkSet& work = ctx().work;
  const int W = work.workWidth, H = work.workHeight;
  if (W <= 0 || H <= 0) return;
  work.ClearColor(false);
  const int starType = record_.p[1];
  if (starType >= 0 && starType < 3) {
    const StarKernel kernel =
        PrepareStarKernel(ctx().lightPatterns[size_t(starType)], record_.p[0], float(int64_t(record_.p[5]) * 1000));
    std::vector<uint8_t> marks(size_t(W) * size_t(H), 0);
    std::vector<const uint8_t*> rows(static_cast<size_t>(H));
    for (int y = 0; y < H; ++y) rows[size_t(y)] = marks.data() + size_t(y) * size_t(W);
    const int h = H / 2;
    for (int x = 25; x <= 74 && x < W; ++x) marks[size_t(h) * size_t(W) + size_t(x)] = 255;
    StampStars(kernel, rows.data(), work.effectColorRows.data(), work.effectCoverage.data(), W, H, 0, 0);
  }
  CopyWorkToImage(ctx());
  ShowPicture();
}

// ---- Rectangle ----

RoundBoxDialog::RoundBoxDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(RoundBox, record, state, std::move(refresh), parent) {
  SetBody(LayOut());
  for (Row& row : rows_) {
    // Tenths: the box shows the slot / 10 and stores trunc(box x 10).
    row.divisor = 10;
    row.decimal = true;
    row.edit->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,5}(\\.\\d{0,3})?"), row.edit));
  }
  Start();
}

void RoundBoxDialog::OnEdited(Row&) {
  for (Row& r : rows_) {
    r.member = TypedValue(r);
    record_.p[size_t(r.slot)] = r.member;
    SetSliderPosition(r, r.member);
  }
  Preview();
}

void RoundBoxDialog::Preview() {
  PreviewRecord();
  PaintGlyphsWhite();
}
