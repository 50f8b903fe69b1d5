// Disturbing Font, Star Filtering, Rectangle (Round Box), Space and Cut Out.
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

QComboBox* ChoiceBox(int type, int slot, QWidget* parent) {
  auto* box = new QComboBox(parent);
  if (const EffectParam* param = FindEffectParam(type, slot))
    for (const auto& [value, name] : param->choices) box->addItem(name, value);
  return box;
}

}  // namespace

// ---- Disturbing Font ----

DisturbDialog::DisturbDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(DisturbTemplet, record, state, std::move(refresh), parent) {
  glyphCopy_ = ctx().work.glyphMask;
  auto* grid = new QGridLayout;
  grid->setColumnStretch(1, 1);
  typeBox_ = ChoiceBox(DisturbTemplet, 4, this);
  grid->addWidget(new QLabel("Type", this), 0, 0);
  grid->addWidget(typeBox_, 0, 1, 1, 2);
  AddRow(grid, 1, 5);
  Row& amplitude = AddRow(grid, 2, 6);
  if (record_.p[4] == kEnlarge) amplitude.slider->setMaximum(100);
  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  SetBody(body);
  typeBox_->setCurrentIndex(typeBox_->findData(record_.p[4]));
  connect(typeBox_, &QComboBox::activated, this, &DisturbDialog::SelectType);
  Start();
}

void DisturbDialog::SelectType(int index) {
  record_.p[4] = typeBox_->itemData(index).toInt();
  Preview();
  Row& amplitude = *RowFor(6);
  if (record_.p[4] == kEnlarge) {
    const QSignalBlocker block(amplitude.slider);
    amplitude.slider->setMaximum(100);  // also lowers a higher position to 100
    amplitude.member = 100;
  } else {
    amplitude.slider->setMaximum(1000);
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
  QGridLayout* offset = nullptr;
  QGroupBox* offsetBox = Group("Offset", offset);
  AddRow(offset, 0, 3).typedPreviews = false;
  AddRow(offset, 1, 2).typedPreviews = false;
  QGridLayout* option = nullptr;
  QGroupBox* optionBox = Group("Star Filter Option", option);
  AddRow(option, 0, 5);
  typeBox_ = ChoiceBox(StarFilter, 1, this);
  option->addWidget(new QLabel("Type", this), 1, 0);
  option->addWidget(typeBox_, 1, 1, 1, 2);
  AddColour(option, 2, 0, "Color");
  auto* body = new QVBoxLayout;
  body->addWidget(offsetBox);
  body->addWidget(optionBox);
  SetBody(body);
  typeBox_->setCurrentIndex(typeBox_->findData(record_.p[1]));
  connect(typeBox_, &QComboBox::activated, this, [this](int index) {
    record_.p[1] = typeBox_->itemData(index).toInt();
    Preview();
  });
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
  auto* grid = new QGridLayout;
  grid->setColumnStretch(1, 1);
  const int boxSlots[] = {4, 5, 6, 7};
  for (int i = 0; i < 4; ++i) {
    Row& row = AddRow(grid, i, boxSlots[i]);
    // Tenths: the box shows the slot / 10 and stores trunc(box x 10).
    row.divisor = 10;
    row.decimal = true;
    row.edit->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,5}(\\.\\d{0,3})?"), row.edit));
  }
  // Present in the layout of this dialog but not offered.
  AddColour(grid, 4, 0, "Color");
  colours_.back().button->hide();
  colours_.back().swatch->hide();
  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  SetBody(body);
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

// ---- Space ----

SpaceDialog::SpaceDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(Space, record, state, std::move(refresh), parent) {
  QGridLayout* location = nullptr;
  QGroupBox* locationBox = Group("Location", location);
  AddRow(location, 0, 3);
  AddRow(location, 1, 2);
  QGridLayout* option = nullptr;
  QGroupBox* optionBox = Group("Star Option", option);
  AddRow(option, 0, 5);
  AddRow(option, 1, 4);
  auto* body = new QVBoxLayout;
  body->addWidget(locationBox);
  body->addWidget(optionBox);
  SetBody(body);
  Start();
}

// ---- Cut Out ----

CutOutDialog::CutOutDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(CutOut, record, state, std::move(refresh), parent) {
  QGridLayout* location = nullptr;
  QGroupBox* locationBox = Group("Location", location);
  AddRow(location, 0, 7);
  AddRow(location, 1, 6);
  QGridLayout* offset = nullptr;
  QGroupBox* offsetBox = Group("Offset", offset);
  AddRow(offset, 0, 3);
  AddRow(offset, 1, 2);
  QGridLayout* option = nullptr;
  QGroupBox* optionBox = Group("Option", option);
  AddRow(option, 0, 4);
  AddRow(option, 1, 5);
  AddColour(option, 2, 0, "Change");
  auto* body = new QVBoxLayout;
  body->addWidget(locationBox);
  body->addWidget(offsetBox);
  body->addWidget(optionBox);
  SetBody(body);
  Start();
}
