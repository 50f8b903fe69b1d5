// Draw, Outline, Drop Shadow, Gradient, Depth of field, Tile and Stroke.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>

#include "ui/dialogs/effect_dialogs.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "effects/fill_effects.h"
#include "effects/stroke.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/live_slider.h"
#include "ui/open_bitmap_dialog.h"
#include "ui/ui_hooks.h"

namespace {

// The textures the Draw and Tile dialogs pick from; the record keeps the bare name.
std::string TextureFolder(const AppState& state) { return state.ctx->programFolder + "texture/"; }

std::string PickTexture(const AppState& state, const std::string& pattern, const std::string& current,
                        QWidget* parent, const std::string& firstPrefix = {}) {
  OpenBitmapDialog dialog(TextureFolder(state), pattern, current, parent, firstPrefix);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return {};
  std::string name = dialog.selectedName();
  if (name.size() > kMaxEffectFileName) return {};  // the record cannot hold it
  return name;
}

}  // namespace

// ---- Draw ----

DrawDialog::DrawDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(SingleColor, record, state, std::move(refresh), parent) {
  QVBoxLayout* body = LayOut();  // the offsets
  // The fill kinds as radio buttons with the colour and the texture picker they enable.
  QGridLayout* texture = nullptr;
  QGroupBox* textureBox = Group(QString::fromUtf8(FindEffectParam(SingleColor, 4)->group), texture);
  kinds_ = new QButtonGroup(this);
  int gridRow = 0;
  for (const auto& [value, name] : FindEffectParam(SingleColor, 4)->choices) {
    auto* radio = new QRadioButton(QString::fromUtf8(name), this);
    kinds_->addButton(radio, value);
    texture->addWidget(radio, gridRow++, 0, 1, 3);
  }
  AddColour(texture, gridRow++, 0, QString::fromUtf8(FindEffectParam(SingleColor, 0)->label));
  bitmapButton_ = new QPushButton("Bitmap", this);
  fileEdit_ = new QLineEdit(this);
  fileEdit_->setReadOnly(true);
  texture->addWidget(bitmapButton_, gridRow, 0);
  texture->addWidget(fileEdit_, gridRow, 1, 1, 2);
  body->addWidget(textureBox);
  SetBody(body);

  if (record_.p[4] != 4 && record_.p[4] != 5) record_.p[4] = 2;
  kinds_->button(record_.p[4])->setChecked(true);
  fileEdit_->setText(QString::fromStdString(record_.fileName));
  EnableButtons();
  connect(kinds_, &QButtonGroup::idClicked, this, &DrawDialog::SelectKind);
  connect(bitmapButton_, &QPushButton::clicked, this, &DrawDialog::ChooseBitmap);
  Start();
}

QRadioButton* DrawDialog::kindButton(int fillKind) const {
  return qobject_cast<QRadioButton*>(kinds_->button(fillKind));
}

void DrawDialog::EnableButtons() {
  const bool single = record_.p[4] == 2;
  colourButtonFor(0)->setEnabled(single);
  bitmapButton_->setEnabled(!single);
}

void DrawDialog::SelectKind(int kind) {
  record_.p[4] = kind;
  EnableButtons();
  Preview();
}

void DrawDialog::ChooseBitmap() {
  const std::string name = PickTexture(state_, "*.*", record_.fileName, this);
  if (name.empty()) return;
  record_.fileName = name;
  fileEdit_->setText(QString::fromStdString(name));
  Preview();
}

// ---- Drop Shadow ----

DropShadowDialog::DropShadowDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh,
                                   QWidget* parent)
    : EffectDialog(DropShadow, record, state, std::move(refresh), parent) {
  SetBody(LayOut());
  Start();
}

void DropShadowDialog::OnEdited(Row& row) {
  if (row.slot == 5 && TypedValue(row) >= 32) {
    // The blur box holds at most 31; the box shows what is kept.
    const QSignalBlocker block(row.edit);
    row.edit->setText("31");
  }
  EffectDialog::OnEdited(row);
}

// ---- Gradient ----

DirectionPicker::DirectionPicker(AppState& state, const EffectRecord& record, QWidget* parent)
    : QWidget(parent), state_(state), record_(record) {
  // 75 x 50 dialog units.
  const QFontMetrics fm = fontMetrics();
  setFixedSize(75 * fm.averageCharWidth() / 4, 50 * fm.height() / 8);
}

void DirectionPicker::setAngle(float angle) {
  angle_ = angle;
  update();
}

float DirectionPicker::AngleAt(int x, int y, int w, int h) {
  const int cx = w / 2, cy = h / 2;
  if (x == cx) return y <= cy ? 270.0f : 90.0f;
  float a = float(std::atan(double(y - cy) / double(x - cx)) * 180 * 0.3184713375796178);
  if (x < cx) a += 180;
  return a;
}

void DirectionPicker::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int w = width(), h = height();
  // The gradient as the effect paints it, over a glyph that covers the whole control.
  WorkSet work;
  const int aw = (w + 3) / 4 * 4, ah = (h + 3) / 4 * 4;
  work.Allocate(aw, ah);
  std::fill(work.glyphMask.begin(), work.glyphMask.end(), uint8_t(255));
  const EffectTarget t{*state_.ctx, work, work.glyphRows.data(), work.effectColorRows.data(),
                       work.effectCoverage.data(), aw, ah, false};
  GradientFill(t, aw / 2, ah / 2, 0, 0, int(angle_), record_.p[0], record_.p[1], record_.p[5]);
  QImage picture(aw, ah, QImage::Format_RGB888);
  for (int y = 0; y < ah; ++y) {
    const uint8_t* src = work.effectColorRows[size_t(y)];
    uchar* dst = picture.scanLine(y);
    for (int x = 0; x < aw; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  painter.drawImage(0, 0, picture);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, w - 1, h - 1);
  const double a = angle_ * 0.017444444444444446;
  const int cx = w / 2, cy = h / 2;
  painter.drawLine(cx, cy, int(cx + std::cos(a) * 40), int(cy + std::sin(a) * 40));
}

void DirectionPicker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  held_ = true;
  emit Clicked(int(angle_));
}

void DirectionPicker::mouseMoveEvent(QMouseEvent* event) {
  if (!held_) return;
  setAngle(AngleAt(int(event->position().x()), int(event->position().y()), width(), height()));
  emit AngleDragged(int(angle_));
}

void DirectionPicker::mouseReleaseEvent(QMouseEvent* event) {
  if (!held_ || event->button() != Qt::LeftButton) return;
  held_ = false;
  setAngle(AngleAt(int(event->position().x()), int(event->position().y()), width(), height()));
  emit AngleReleased(int(angle_));
}

GradientDialog::GradientDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(LinearGradient, record, state, std::move(refresh), parent) {
  QVBoxLayout* body = LayOut();
  // The angle: a box for any number and the picker that shows the gradient.
  auto* angleRow = new QGridLayout;
  angleEdit_ = new QLineEdit(this);
  angleEdit_->setMaxLength(9);
  angleEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("-?\\d{0,4}(\\.\\d{0,3})?"), angleEdit_));
  auto* angleLabel = new QLabel(QString::fromUtf8(FindEffectParam(LinearGradient, 4)->label), this);
  angleLabel->setBuddy(angleEdit_);
  picker_ = new DirectionPicker(state, record_, this);
  angleRow->addWidget(angleLabel, 0, 0);
  angleRow->addWidget(angleEdit_, 0, 1);
  angleRow->addWidget(new QLabel("Direction", this), 1, 0, Qt::AlignTop);
  angleRow->addWidget(picker_, 1, 1);
  angleRow->setColumnStretch(2, 1);

  body->addLayout(angleRow);
  SetBody(body);

  picker_->setAngle(float(record_.p[4]));
  ShowAngle();
  connect(angleEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    record_.p[4] = int(std::clamp(std::trunc(text.toDouble()), -1e9, 1e9));
    picker_->setAngle(float(record_.p[4]));
    Preview();
  });
  connect(picker_, &DirectionPicker::AngleDragged, this, [this](int a) { record_.p[4] = a; });
  connect(picker_, &DirectionPicker::AngleReleased, this, [this](int a) {
    record_.p[4] = a;
    Preview();
  });
  connect(picker_, &DirectionPicker::Clicked, this, [this](int) { ShowAngle(); });
  Start();
}

void GradientDialog::ShowAngle() {
  const QSignalBlocker block(angleEdit_);
  angleEdit_->setText(QString::number(double(picker_->angle())));
}

// ---- Tile ----

TileDialog::TileDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(Tile, record, state, std::move(refresh), parent) {
  colourCopy_ = ctx().work.effectColor;
  auto* grid = new QGridLayout;
  textureButton_ = new QPushButton("Texture", this);
  fileEdit_ = new QLineEdit(this);
  fileEdit_->setEnabled(false);
  fileEdit_->setText(QString::fromStdString(record_.fileName));
  grid->addWidget(textureButton_, 0, 0);
  grid->addWidget(fileEdit_, 0, 1, 1, 3);
  for (int i = 0; i < 2; ++i) {
    auto* size = new QLineEdit(this);
    size->setEnabled(false);
    size->setMaximumWidth(60);
    grid->addWidget(new QLabel(i == 0 ? "Size X" : "Size Y", this), 1, 2 * i);
    grid->addWidget(size, 1, 2 * i + 1);
  }
  picture_ = new QLabel(this);
  picture_->setMinimumSize(160, 60);
  picture_->setFrameShape(QFrame::Box);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setPixmap(QPixmap::fromImage(DibToQImage(ctx().image)));
  grid->addWidget(picture_, 2, 0, 1, 4);
  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  SetBody(body);
  connect(textureButton_, &QPushButton::clicked, this, &TileDialog::ChooseTexture);
}

void TileDialog::ChooseTexture() {
  // Textures of any picture type: a single file pattern would hide the ones the effect can read.
  const std::string name = PickTexture(state_, "*.*", record_.fileName, this, "tile_");  // the small cells first
  if (name.empty()) return;
  record_.fileName = name;
  fileEdit_->setText(QString::fromStdString(name));
  Preview();
}

void TileDialog::Preview() {
  WorkSet& work = ctx().work;
  if (work.PixelCount() <= 0 || colourCopy_.size() != work.effectColor.size()) return;
  work.effectColor = colourCopy_;
  DispatchEffect(ctx(), record_, false);
  CopyWorkToImage(ctx());
  picture_->setPixmap(QPixmap::fromImage(DibToQImage(ctx().image)));
  ShowPicture();
}

// ---- Stroke ----

StrokeDialog::StrokeDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(Stroke, record, state, std::move(refresh), parent) {
  QVBoxLayout* body = LayOut();
  QGridLayout* fill = SectionGrid(QString::fromUtf8(EffectParamNamed(Stroke, "fill").group));
  textureButton_ = new QPushButton("Texture", this);
  fileEdit_ = new QLineEdit(this);
  fileEdit_->setReadOnly(true);
  fileEdit_->setText(QString::fromStdString(record_.fileName));
  const int row = fill ? fill->rowCount() : 0;
  if (fill) {
    fill->addWidget(textureButton_, row, 0);
    fill->addWidget(fileEdit_, row, 1, 1, 2);
  }
  SetBody(body);
  connect(textureButton_, &QPushButton::clicked, this, &StrokeDialog::ChooseTexture);
  Start();
  EnableControls();
}

void StrokeDialog::EnableControls() {
  const int fill = record_.p[size_t(EffectParamNamed(Stroke, "fill").slot)];
  const bool gradient = fill == StrokeParams::FillGradient;
  const auto enable = [this](const char* name, bool on) {
    const int slot = EffectParamNamed(Stroke, name).slot;
    // Sliders stay live: every slider of a dialog moves and previews.
    QWidget* const widgets[] = {colourButtonFor(slot), choiceFor(slot)};
    for (QWidget* w : widgets)
      if (w) w->setEnabled(on);
  };
  enable("color", fill != StrokeParams::FillTexture);
  enable("color2", gradient);
  enable("gradientShape", gradient);
  textureButton_->setEnabled(fill == StrokeParams::FillTexture);
}

void StrokeDialog::OnChosen(int slot) {
  EnableControls();
  EffectDialog::OnChosen(slot);
}

void StrokeDialog::ChooseTexture() {
  const std::string name = PickTexture(state_, "*.*", record_.fileName, this);
  if (name.empty()) return;
  record_.fileName = name;
  fileEdit_->setText(QString::fromStdString(name));
  Preview();
}
