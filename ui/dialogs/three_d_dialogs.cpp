// 3D Single Color, Fog and the "3D Shape" profile dialog they open; the factory.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>

#include "ui/dialogs/effect_dialogs.h"
#include "effects/effect_catalogue.h"
#include "effects/three_d_model.h"
#include "raster/engine_context.h"
#include "ui/app_state.h"
#include "ui/live_slider.h"
#include "ui/ui_hooks.h"

// ---- 3D Shape ----

// The profile over the distance 0..1: 0 at mid-height, the profile's height at the top.
class ThreeDShapeDialog::Curve : public QWidget {
 public:
  Curve(const ProfileSettings& profile, QWidget* parent) : QWidget(parent), profile_(profile) {
    setMinimumSize(200, 120);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawRect(0, 0, w - 1, h - 1);
    const double height = profile_.height != 0 ? profile_.height : 1.0;
    QPoint last(0, h);
    for (int x = 0; x < w; ++x) {
      const double v = (1 - Profile(profile_, double(x) / w) / height) * h * 0.5;
      const QPoint next(x, std::isfinite(v) ? int(std::clamp(v, -1e6, 1e6)) : h);
      p.drawLine(last, next);
      last = next;
    }
  }

 private:
  const ProfileSettings& profile_;
};

ThreeDShapeDialog::ThreeDShapeDialog(EffectRecord& target, AppState& state, QWidget* parent)
    : EffectDialog(ThreeDSingleColor, target, state, {}, parent) {
  setWindowTitle("3D Shape");
  auto* grid = new QGridLayout;
  grid->setColumnStretch(1, 1);
  auto* shapes = new QComboBox(this);  // no shapes are offered: the profile kind stays as it is
  grid->addWidget(new QLabel("3D Shape", this), 0, 0);
  grid->addWidget(shapes, 0, 1, 1, 2);
  AddRow(grid, 1, 6);
  AddRow(grid, 2, 5);
  for (Row& r : rows_) r.displayOnly = true;

  auto* previewBox = new QGroupBox("Preview", this);
  auto* previewGrid = new QGridLayout(previewBox);
  Row& ceiling = AddRow(previewGrid, 0, 7, QString(), -1000, 1000, 5, Qt::Vertical);
  curve_ = new Curve(ctx().threeD.profile, this);
  Row& plateau = AddRow(previewGrid, 0, 9, QString(), -1000, 1000, 10, Qt::Vertical);
  Row& waveEnd = AddRow(previewGrid, 1, 8, QString(), 1, std::max(1, record_.p[6]), 10, Qt::Horizontal);
  // The plain rows put label, slider and box in columns 0..2; these sit around the curve.
  for (Row* r : {&ceiling, &plateau, &waveEnd}) {
    r->edit->hide();
    r->displayOnly = true;
  }
  ceiling.negated = plateau.negated = true;
  previewGrid->addWidget(ceiling.slider, 0, 0);
  previewGrid->addWidget(curve_, 0, 1);
  previewGrid->addWidget(plateau.slider, 0, 2);
  previewGrid->addWidget(waveEnd.slider, 1, 1);
  ceiling_ = ceiling.slider;
  plateau_ = plateau.slider;
  waveEnd_ = waveEnd.slider;

  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  body->addWidget(previewBox);
  SetBody(body);

  // The sliders start from the profile settings, which hold the opener's record.
  StoreProfile(ctx().threeD.profile, record_);
  waveEnd_->setMaximum(std::max(1, record_.p[6]));
  Start(false);
}

void ThreeDShapeDialog::OnSliderMoved() {
  EffectDialog::OnSliderMoved();
  waveEnd_->setMaximum(std::max(1, record_.p[6]));
  LoadProfile(ctx().threeD.profile, record_);
  curve_->update();
}

// ---- 3D Single Color ----

ThreeDColorDialog::ThreeDColorDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh,
                                     QWidget* parent)
    : EffectDialog(ThreeDSingleColor, record, state, std::move(refresh), parent) {
  LoadProfile(ctx().threeD.profile, record_);
  QVBoxLayout* body = LayOut();
  RowFor(2)->displayOnly = RowFor(3)->displayOnly = true;
  QGridLayout* option = SectionGrid(QString::fromUtf8(FindEffectParam(ThreeDSingleColor, 0)->group));
  shapeButton_ = new QPushButton("Change 3D Modeling Option", this);
  option->addWidget(shapeButton_, option->rowCount(), 0, 1, 3);
  SetBody(body);
  connect(shapeButton_, &QPushButton::clicked, this, [this] {
    ThreeDShapeDialog shape(record_, state_, this);
    if (Hooks().Exec(shape) != QDialog::Accepted) return;
    StoreProfile(ctx().threeD.profile, record_);
    Preview();
  });
  Start();
}

// ---- Fog ----

FogDialog::FogDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent)
    : EffectDialog(Fog, record, state, std::move(refresh), parent) {
  LoadProfile(ctx().threeD.profile, record_);
  QVBoxLayout* body = LayOut();
  for (int slot : {11, 10}) {
    Row& row = *RowFor(slot);
    row.decimal = true;
    row.edit->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,5}(\\.\\d{0,3})?"), row.edit));
  }
  QGridLayout* grid = SectionGrid(QString());
  densityButton_ = new QPushButton("Change Fog General Density", this);
  grid->addWidget(densityButton_, grid->rowCount(), 0, 1, 3);
  SetBody(body);
  connect(densityButton_, &QPushButton::clicked, this, [this] {
    // The shape dialog edits a scratch copy: moving its sliders must not rewrite the profile of
    // the 3D Single Color template, and the fog takes the profile only on OK.
    EffectRecord scratch = record_;
    ThreeDShapeDialog shape(scratch, state_, this);
    if (Hooks().Exec(shape) != QDialog::Accepted) return;
    StoreProfile(ctx().threeD.profile, record_);
    Preview();
  });
  Start();
}

// ---- Factory ----

std::unique_ptr<EffectDialog> MakeEffectDialog(int type, EffectRecord& record, AppState& state,
                                               QWidget* parent, PreviewRefresh refresh) {
  switch (type) {
    case SingleColor: return std::make_unique<DrawDialog>(record, state, std::move(refresh), parent);
    case OutLine:
    case DepthField:  // seen only in the full render: no preview
    case Space:
    case CutOut:
    case OuterGlow:
    case InnerGlow:
    case InnerShadow:
    case BevelEmboss:
    case Satin:
    case GradientOverlay: {
      auto dialog = std::make_unique<EffectDialog>(type, record, state, std::move(refresh), parent);
      dialog->LayOutAndStart(type != DepthField);
      return dialog;
    }
    case Stroke: return std::make_unique<StrokeDialog>(record, state, std::move(refresh), parent);
    case DropShadow: return std::make_unique<DropShadowDialog>(record, state, std::move(refresh), parent);
    case LinearGradient: return std::make_unique<GradientDialog>(record, state, std::move(refresh), parent);
    case DisturbTemplet: return std::make_unique<DisturbDialog>(record, state, std::move(refresh), parent);
    case StarFilter: return std::make_unique<StarFilterDialog>(record, state, std::move(refresh), parent);
    case Tile: return std::make_unique<TileDialog>(record, state, std::move(refresh), parent);
    case ThreeDSingleColor: return std::make_unique<ThreeDColorDialog>(record, state, std::move(refresh), parent);
    case RoundBox: return std::make_unique<RoundBoxDialog>(record, state, std::move(refresh), parent);
    case Fog: return std::make_unique<FogDialog>(record, state, std::move(refresh), parent);
    default: return nullptr;
  }
}
