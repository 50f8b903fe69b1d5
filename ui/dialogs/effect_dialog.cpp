#include "ui/dialogs/effect_dialog.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDial>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/blend_modes.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "ui/app_state.h"
#include "ui/live_slider.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

namespace {

// Six characters are enough for every range and keep a typed number within int.
constexpr int kEditLength = 7;

// The slots each dialog shows, in its order (the vertical offset above the horizontal one, as
// users know them); labels, ranges, kinds and groups come from the catalogue. Parameters missing
// here (the 3D profile, Draw's fill kind, the gradient angle) have widgets of their own.
std::vector<int> DisplayOrder(int type) {
  switch (type) {
    case SingleColor: return {3, 2};
    case OutLine: return {3, 2, 4, 0};
    case DropShadow: return {3, 2, 4, 5, 0};
    case LinearGradient: return {3, 2, 5, 0, 1};
    case DepthField: return {4, 5};
    case DisturbTemplet: return {4, 5, 6};
    case StarFilter: return {3, 2, 5, 1, 0};
    case ThreeDSingleColor: return {3, 2, 0};
    case RoundBox: return {4, 5, 6, 7};
    case Fog: return {3, 2, 11, 10, 0};
    case Space: return {3, 2, 5, 4};
    case CutOut: return {7, 6, 3, 2, 4, 5, 0};
    case OuterGlow: return {0, 1, 4, 7, 5, 6};
    case Stroke: return {4, 5, 6, 0, 1, 8, 7};
    case BevelEmboss: return {2, 3, 4, 5, 6, 7, 8, 9, 0, 10, 1, 11};
    case GradientOverlay: return {4, 0, 1, 5, 6, 7};
    case InnerGlow: return {0, 1, 4, 7, 8, 5, 6};
    case InnerShadow: return {0, 8, 4, 5, 7, 6};
    case Satin: return {0, 7, 4, 5, 6, 8};
    default: {
      // Every parameter in the catalogue's order.
      std::vector<int> order;
      if (const EffectInfo* info = FindEffectInfo(type))
        for (const EffectParam& p : info->params) order.push_back(p.slot);
      return order;
    }
  }
}

// The unit shown after a number's box. The catalogue has no per-parameter unit yet; when it
// does, its short form goes here (labels such as "Size X(dot)" already name theirs).
// The unit shown after a slider's edit box, from the catalogue: only where the number shown is
// the unit itself (pixels, degrees); scaled fractions keep their label's wording.
QString UnitSuffix(const EffectParam& p) {
  if (p.scale != 1.0) return {};
  switch (p.unit) {
    case ParamUnit::PixelLength: return "px";
    case ParamUnit::Angle: return QString::fromUtf8("\u00B0");
    default: return {};
  }
}

// QDial's 0 is at the bottom and grows clockwise; angles run anticlockwise from the right.
int DialPosition(int angle) { return ((270 - angle) % 360 + 360) % 360; }
// The angle of a dial position, in -179..180.
int DialAngle(int position) {
  const int a = ((270 - position) % 360 + 360) % 360;
  return a > 180 ? a - 360 : a;
}

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

void EffectDialog::LayOutAndStart(bool preview) {
  previews_ = preview;
  SetBody(LayOut());
  Start(preview);
}

QVBoxLayout* EffectDialog::LayOut() {
  auto* body = new QVBoxLayout;
  const QString none;
  for (int slot : DisplayOrder(type_)) {
    const EffectParam* param = FindEffectParam(type_, slot);
    if (!param) continue;
    const QString group = QString::fromUtf8(param->group);
    QGridLayout* grid = sections_.empty() || sections_.back().first != group ? nullptr : sections_.back().second;
    if (!grid) {
      if (group.isEmpty()) {
        grid = new QGridLayout;
        grid->setColumnStretch(1, 1);
        body->addLayout(grid);
      } else {
        body->addWidget(Group(group, grid));
      }
      sections_.emplace_back(group, grid);
    }
    const int gridRow = grid->rowCount() == 1 && grid->count() == 0 ? 0 : grid->rowCount();
    switch (param->kind) {
      case ParamKind::Colour: AddColour(grid, gridRow, slot, QString::fromUtf8(param->label)); break;
      case ParamKind::Choice: AddChoice(grid, gridRow, slot); break;
      default: AddRow(grid, gridRow, slot); break;
    }
  }
  return body;
}

QGridLayout* EffectDialog::SectionGrid(const QString& group) const {
  for (const auto& [title, grid] : sections_)
    if (title == group) return grid;
  return nullptr;
}

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

QComboBox* EffectDialog::choiceFor(int slot) const {
  for (const Choice& c : choices_)
    if (c.slot == slot) return c.box;
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
  Row& row = AddRow(grid, gridRow, slot, QString::fromUtf8(param->label), param->minValue, param->maxValue,
                    param->page);
  const QString unit = UnitSuffix(*param);
  if (!unit.isEmpty()) {
    auto* suffix = new QLabel(unit, this);
    suffix->setObjectName("unit");
    grid->addWidget(suffix, gridRow, 3);
  }
  if (param->kind == ParamKind::Angle) {
    row.dial = new QDial(this);
    row.dial->setRange(0, 359);
    row.dial->setWrapping(true);
    row.dial->setNotchesVisible(true);
    row.dial->setNotchTarget(15);
    row.dial->setFixedSize(48, 48);
    row.dial->setToolTip("Direction");
    grid->addWidget(row.dial, gridRow, 4);
    Row* self = &row;
    connect(row.dial, &QDial::valueChanged, this, [this, self](int position) {
      SetSliderPosition(*self, DialAngle(position));
      OnSliderMoved();
    });
  }
  return row;
}

QDial* EffectDialog::dialFor(int slot) const {
  for (const Row& r : rows_)
    if (r.slot == slot) return r.dial;
  return nullptr;
}

void EffectDialog::ShowDial(Row& row) {
  if (!row.dial) return;
  const QSignalBlocker block(row.dial);
  row.dial->setValue(DialPosition(row.member));
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

EffectDialog::Choice& EffectDialog::AddChoice(QGridLayout* grid, int gridRow, int slot) {
  Choice& c = choices_.emplace_back();
  c.slot = slot;
  c.box = new QComboBox(this);
  const EffectParam* param = FindEffectParam(type_, slot);
  if (param)
    for (const auto& [value, name] : param->choices) c.box->addItem(QString::fromUtf8(name), value);
  grid->addWidget(new QLabel(param ? QString::fromUtf8(param->label) : QString(), this), gridRow, 0);
  grid->addWidget(c.box, gridRow, 1, 1, 2);
  connect(c.box, &QComboBox::activated, this, [this, slot, box = c.box](int index) {
    record_.p[size_t(slot)] = box->itemData(index).toInt();
    OnChosen(slot);
  });
  return c;
}

void EffectDialog::OnChosen(int) { Preview(); }

QGroupBox* EffectDialog::Group(const QString& title, QGridLayout*& grid) {
  auto* box = new QGroupBox(title, this);
  grid = new QGridLayout(box);
  grid->setColumnStretch(1, 1);
  return box;
}

void EffectDialog::SetBody(QBoxLayout* body) {
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(body);
  outer->addWidget(BlendGroup());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  outer->addWidget(buttons);
}

QGroupBox* EffectDialog::BlendGroup() {
  QGridLayout* grid = nullptr;
  QGroupBox* box = Group(tr("Blend"), grid);
  blendMode_ = new QComboBox(this);
  for (const BlendModeName& n : kBlendModeNames) blendMode_->addItem(QString::fromUtf8(n.displayName), int(n.mode));
  auto* modeLabel = new QLabel(tr("Mode"), this);
  modeLabel->setBuddy(blendMode_);
  grid->addWidget(modeLabel, 0, 0);
  grid->addWidget(blendMode_, 0, 1, 1, 2);
  opacitySlider_ = new LiveSlider(Qt::Horizontal, this);
  opacitySlider_->setRange(0, 100);
  opacitySlider_->setPageStep(10);
  opacitySlider_->setMinimumWidth(160);
  opacityEdit_ = new QLineEdit(this);
  opacityEdit_->setMaxLength(3);
  opacityEdit_->setAlignment(Qt::AlignRight);
  opacityEdit_->setMaximumWidth(opacityEdit_->fontMetrics().horizontalAdvance("00000000") + 12);
  opacityEdit_->setValidator(new QIntValidator(0, 100, opacityEdit_));
  auto* opacityLabel = new QLabel(tr("Opacity"), this);
  opacityLabel->setBuddy(opacityEdit_);
  grid->addWidget(opacityLabel, 1, 0);
  grid->addWidget(opacitySlider_, 1, 1);
  grid->addWidget(opacityEdit_, 1, 2);
  grid->addWidget(new QLabel("%", this), 1, 3);
  ShowBlend();
  connect(blendMode_, &QComboBox::activated, this, [this](int index) {
    record_.blendMode = blendMode_->itemData(index).toInt();
    Preview();
  });
  connect(opacitySlider_, &LiveSlider::SliderMoved, this, [this] { SetOpacity(opacitySlider_->value(), true); });
  connect(opacitySlider_, &QSlider::sliderReleased, this, [this] { SetOpacity(opacitySlider_->value(), true); });
  connect(opacityEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    // An empty box counts as 0, as the parameter boxes do.
    SetOpacity(std::clamp(text.trimmed().toInt(), 0, 100), false);
  });
  return box;
}

void EffectDialog::ShowBlend() {
  if (!blendMode_) return;
  const QSignalBlocker blockMode(blendMode_), blockSlider(opacitySlider_), blockEdit(opacityEdit_);
  blendMode_->setCurrentIndex(blendMode_->findData(BlendModeNameOf(record_.blendMode).mode));
  const int opacity = std::clamp<int>(record_.opacity, 0, 100);
  opacitySlider_->setValue(opacity);
  opacityEdit_->setText(QString::number(opacity));
}

void EffectDialog::SetOpacity(int opacity, bool fromSlider) {
  if (record_.opacity == opacity) return;
  record_.opacity = opacity;
  if (fromSlider) {
    const QSignalBlocker block(opacityEdit_);
    opacityEdit_->setText(QString::number(opacity));
  } else {
    const QSignalBlocker block(opacitySlider_);
    opacitySlider_->setValue(opacity);
  }
  Preview();
}

void EffectDialog::Start(bool preview) {
  ShowBlend();
  for (Row& r : rows_) {
    r.member = r.slot >= 0 && r.slot < 12 ? record_.p[size_t(r.slot)] : 0;
    SetSliderPosition(r, r.member);
  }
  for (Choice& c : choices_) {
    const QSignalBlocker block(c.box);
    c.box->setCurrentIndex(c.box->findData(record_.p[size_t(c.slot)]));
  }
  MembersToControls();
  ShowSwatches();
  if (preview) Preview();
}

void EffectDialog::SetSliderPosition(Row& row, int value) {
  // QSlider clamps to its range, which is what the position should show.
  {
    const QSignalBlocker block(row.slider);
    row.slider->setValue(row.negated ? -value : value);
  }
  if (row.dial) {
    const QSignalBlocker block(row.dial);
    row.dial->setValue(DialPosition(value));
  }
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
    ShowDial(r);
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

void EffectDialog::Preview() {
  if (previews_) PreviewRecord();
}

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
    if (auto* sheet = qobject_cast<MainWindow*>(w)) {
      sheet->preview().UpdatePreview();
      return;
    }
  }
}
