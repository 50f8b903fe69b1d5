#include "ui/dialogs/effect_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "ui/app_state.h"
#include "ui/live_slider.h"
#include "ui/main_property.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

namespace {

// Six characters are enough for every range and keep a typed number within int.
constexpr int kEditLength = 7;

QString SwatchStyle(int32_t colour) {
  const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  return QString("background-color: rgb(%1,%2,%3); border: 1px solid black;").arg(r).arg(g).arg(b);
}

}  // namespace

EffectDialog::EffectDialog(int type, EffectRecord& record, AppState& state, PreviewRefresh refresh,
                           QWidget* parent)
    : QDialog(parent), record_(record), state_(state), type_(type), refresh_(std::move(refresh)) {
  if (const EffectInfo* info = FindEffectInfo(type)) setWindowTitle(info->dialogTitle);
  setModal(true);
}

EngineContext& EffectDialog::ctx() { return *state_.ctx; }

LiveSlider* EffectDialog::sliderFor(int slot) const {
  for (const Row& r : rows_)
    if (r.slot == slot) return r.slider;
  return nullptr;
}

QLineEdit* EffectDialog::editFor(int slot) const {
  for (const Row& r : rows_)
    if (r.slot == slot) return r.edit;
  return nullptr;
}

QPushButton* EffectDialog::colourButtonFor(int slot) const {
  for (const ColourButton& c : colours_)
    if (c.slot == slot) return c.button;
  return nullptr;
}

EffectDialog::Row* EffectDialog::RowFor(int slot) {
  for (Row& r : rows_)
    if (r.slot == slot) return &r;
  return nullptr;
}

EffectDialog::Row& EffectDialog::AddRow(QGridLayout* grid, int gridRow, int slot) {
  const EffectParam* param = FindEffectParam(type_, slot);
  if (!param) return AddRow(grid, gridRow, slot, QString(), 0, 0, 1);
  return AddRow(grid, gridRow, slot, QString::fromUtf8(param->label), param->minValue, param->maxValue,
                param->page);
}

EffectDialog::Row& EffectDialog::AddRow(QGridLayout* grid, int gridRow, int slot, const QString& label,
                                        int minValue, int maxValue, int page, Qt::Orientation orientation) {
  Row& row = rows_.emplace_back();
  row.slot = slot;
  row.slider = new LiveSlider(orientation, this);
  row.slider->setPageStep(page);
  row.slider->setSingleStep(1);
  row.slider->setRange(minValue, maxValue);
  row.edit = new QLineEdit(this);
  row.edit->setMaxLength(kEditLength);
  row.edit->setAlignment(Qt::AlignRight);
  row.edit->setMaximumWidth(row.edit->fontMetrics().horizontalAdvance("00000000") + 12);
  // Negative numbers only where the range has them.
  const int bottom = minValue < 0 ? -999999 : 0;
  row.edit->setValidator(new QIntValidator(bottom, 999999, row.edit));
  if (orientation == Qt::Horizontal) {
    row.slider->setMinimumWidth(160);
    auto* text = new QLabel(label, this);
    text->setBuddy(row.edit);
    grid->addWidget(text, gridRow, 0);
    grid->addWidget(row.slider, gridRow, 1);
    grid->addWidget(row.edit, gridRow, 2);
  }
  // LiveSlider reports each key, press and drag step; the release reads the final position too.
  Row* self = &row;
  connect(row.slider, &LiveSlider::SliderMoved, this, [this] { OnSliderMoved(); });
  connect(row.slider, &QSlider::sliderReleased, this, [this] { OnSliderMoved(); });
  connect(row.edit, &QLineEdit::textEdited, this, [this, self] {
    if (!self->displayOnly) OnEdited(*self);
  });
  return row;
}

EffectDialog::ColourButton& EffectDialog::AddColour(QGridLayout* grid, int gridRow, int slot,
                                                    const QString& label) {
  ColourButton& c = colours_.emplace_back();
  c.slot = slot;
  c.button = new QPushButton(label, this);
  c.swatch = new QLabel(this);
  c.swatch->setFixedSize(40, 20);
  grid->addWidget(c.swatch, gridRow, 0, Qt::AlignRight);
  grid->addWidget(c.button, gridRow, 1, 1, 2, Qt::AlignLeft);
  connect(c.button, &QPushButton::clicked, this, [this, slot] {
    if (ChooseColour(slot)) {
      ShowSwatches();
      Preview();
    }
  });
  return c;
}

QGroupBox* EffectDialog::Group(const QString& title, QGridLayout*& grid) {
  auto* box = new QGroupBox(title, this);
  grid = new QGridLayout(box);
  grid->setColumnStretch(1, 1);
  return box;
}

void EffectDialog::SetBody(QBoxLayout* body) {
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(body);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  outer->addWidget(buttons);
}

void EffectDialog::Start(bool preview) {
  for (Row& r : rows_) {
    r.member = r.slot >= 0 && r.slot < 12 ? record_.p[size_t(r.slot)] : 0;
    SetSliderPosition(r, r.member);
  }
  MembersToControls();
  ShowSwatches();
  if (preview) Preview();
}

void EffectDialog::SetSliderPosition(Row& row, int value) {
  // QSlider clamps to its range, which is what the position should show.
  const QSignalBlocker block(row.slider);
  row.slider->setValue(row.negated ? -value : value);
}

void EffectDialog::MembersToControls() {
  for (Row& r : rows_) {
    QString text;
    if (r.divisor != 1)
      text = QString::number(double(r.member) / r.divisor, 'f', 1);
    else
      text = QString::number(r.member);
    if (r.edit->text() != text) {
      const QSignalBlocker block(r.edit);
      r.edit->setText(text);
    }
  }
}

void EffectDialog::ShowSwatches() {
  for (ColourButton& c : colours_) c.swatch->setStyleSheet(SwatchStyle(record_.p[size_t(c.slot)]));
}

void EffectDialog::OnSliderMoved() {
  for (Row& r : rows_) {
    if (r.slot < 0 || r.slot >= 12) continue;
    const int v = r.negated ? -r.slider->value() : r.slider->value();
    r.member = v;
    record_.p[size_t(r.slot)] = v;
  }
  MembersToControls();
  Preview();
}

int EffectDialog::TypedValue(const Row& row) const {
  const QString text = row.edit->text().trimmed();
  bool ok = false;
  double v = row.decimal ? text.toDouble(&ok) : double(text.toLongLong(&ok));
  if (!ok) return 0;  // an empty box or a lone minus sign counts as 0
  // A typed decimal is exact to a few places: nudge before truncating so that 2.3 x 10 is 23.
  v *= row.divisor;
  if (row.decimal) v += v < 0 ? -1e-7 : 1e-7;
  v = std::trunc(v);
  const double lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
  return int(std::clamp(v, lo, hi));
}

void EffectDialog::OnEdited(Row& row) {
  const int v = TypedValue(row);
  row.member = v;
  if (row.slot >= 0 && row.slot < 12) record_.p[size_t(row.slot)] = v;
  SetSliderPosition(row, v);
  if (row.typedPreviews) Preview();
}

bool EffectDialog::ChooseColour(int slot) {
  const int32_t c = record_.p[size_t(slot)];
  QColorDialog dialog(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF), this);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return false;
  const QColor chosen = dialog.selectedColor().isValid() ? dialog.selectedColor() : dialog.currentColor();
  record_.p[size_t(slot)] = int32_t(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
  return true;
}

void EffectDialog::Preview() { PreviewRecord(); }

void EffectDialog::PreviewRecord() {
  if (ctx().work.PixelCount() <= 0) return;  // nothing rendered yet
  PreviewOneEffect(ctx(), record_);
  ShowPicture();
}

void EffectDialog::PaintGlyphsWhite() {
  if (ctx().work.PixelCount() <= 0) return;
  SolidFill(EffectTarget::For(ctx(), false), 0, 0, 0xFFFFFF);
  CopyWorkToImage(ctx());
  ShowPicture(false);  // the second half of the same preview
}

void EffectDialog::ShowPicture(bool newPreview) {
  if (newPreview) ++previewCount_;
  if (refresh_) {
    refresh_();
    return;
  }
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* sheet = qobject_cast<CMainProperty*>(w)) {
      sheet->preview().UpdatePreview();
      return;
    }
  }
}

void EffectDialog::SetSlidersAndColour(std::initializer_list<int> paramSlots) {
  auto* grid = new QGridLayout;
  grid->setColumnStretch(1, 1);
  int gridRow = 0;
  for (int slot : paramSlots) AddRow(grid, gridRow++, slot);
  QGridLayout* colour = nullptr;
  QGroupBox* colourBox = Group("Color", colour);
  AddColour(colour, 0, 0, "Change");
  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  body->addWidget(colourBox);
  SetBody(body);
}
