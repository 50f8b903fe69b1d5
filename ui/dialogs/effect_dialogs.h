#pragma once
// The effect dialogs that need widgets or previews of their own, the "3D Shape" profile dialog,
// and the factory. Each edits the record it is given (normally the type's entry of the
// document's effect templates) as the user moves its controls, previewing that one effect over
// the current glyphs. Outline, Depth of field, Space and Cut Out are the plain EffectDialog.
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogs/effect_dialog.h"

class QButtonGroup;
class QRadioButton;

// The dialog of an effect type, or nullptr for an unknown type.
std::unique_ptr<EffectDialog> MakeEffectDialog(int type, EffectRecord& record, AppState& state,
                                               QWidget* parent, PreviewRefresh refresh = {});

class DrawDialog : public EffectDialog {
  Q_OBJECT
 public:
  DrawDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QRadioButton* kindButton(int fillKind) const;
  QPushButton* bitmapButton() const { return bitmapButton_; }
  QLineEdit* fileNameEdit() const { return fileEdit_; }

 private:
  void SelectKind(int kind);
  void ChooseBitmap();
  void EnableButtons();
  QButtonGroup* kinds_;
  QPushButton* bitmapButton_;
  QLineEdit* fileEdit_;
};

class DropShadowDialog : public EffectDialog {
  Q_OBJECT
 public:
  DropShadowDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);

 protected:
  void OnEdited(Row& row) override;
};

// Shows the gradient at the current angle with a line from the centre; the left button sets the
// angle from the pointer.
class DirectionPicker : public QWidget {
  Q_OBJECT
 public:
  DirectionPicker(AppState& state, const EffectRecord& record, QWidget* parent);
  float angle() const { return angle_; }
  void setAngle(float angle);
  // The angle the picker takes for a pointer at (x, y) in a w x h control.
  static float AngleAt(int x, int y, int w, int h);

 signals:
  void AngleDragged(int angle);
  void AngleReleased(int angle);
  void Clicked(int angle);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  AppState& state_;
  const EffectRecord& record_;
  float angle_ = 0;
  bool held_ = false;
};

class GradientDialog : public EffectDialog {
  Q_OBJECT
 public:
  GradientDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QLineEdit* angleEdit() const { return angleEdit_; }
  DirectionPicker* picker() const { return picker_; }

 private:
  void ShowAngle();
  QLineEdit* angleEdit_;
  DirectionPicker* picker_;
};

class DisturbDialog : public EffectDialog {
  Q_OBJECT
 public:
  DisturbDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);

 protected:
  void Preview() override;
  void OnChosen(int slot) override;

 private:
  std::vector<uint8_t> glyphCopy_;  // the undistorted glyphs, so that each preview distorts once
};

class StarFilterDialog : public EffectDialog {
  Q_OBJECT
 public:
  StarFilterDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);

 protected:
  void Preview() override;
};

class TileDialog : public EffectDialog {
  Q_OBJECT
 public:
  TileDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QPushButton* textureButton() const { return textureButton_; }
  QLineEdit* fileNameEdit() const { return fileEdit_; }
  QLabel* picture() const { return picture_; }

 protected:
  void Preview() override;

 private:
  void ChooseTexture();
  QPushButton* textureButton_;
  QLineEdit* fileEdit_;
  QLabel* picture_;
  std::vector<uint8_t> colourCopy_;  // the colour painted before the dialog opened
};

// Stroke: the catalogue's controls and a texture picker in the fill group; the fill type enables
// the controls it uses.
class StrokeDialog : public EffectDialog {
  Q_OBJECT
 public:
  StrokeDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QPushButton* textureButton() const { return textureButton_; }
  QLineEdit* fileNameEdit() const { return fileEdit_; }

 protected:
  void OnChosen(int slot) override;

 private:
  void ChooseTexture();
  void EnableControls();
  QPushButton* textureButton_;
  QLineEdit* fileEdit_;
};

// Edits the profile (shape3d .. plateau) of target, loading it into the context's profile
// settings at each move.
class ThreeDShapeDialog : public EffectDialog {
  Q_OBJECT
 public:
  ThreeDShapeDialog(EffectRecord& target, AppState& state, QWidget* parent);
  LiveSlider* ceilingSlider() const { return ceiling_; }
  LiveSlider* waveEndSlider() const { return waveEnd_; }
  LiveSlider* plateauSlider() const { return plateau_; }

 protected:
  void OnSliderMoved() override;
  void Preview() override {}

 private:
  class Curve;
  LiveSlider* ceiling_ = nullptr;
  LiveSlider* waveEnd_ = nullptr;
  LiveSlider* plateau_ = nullptr;
  QWidget* curve_ = nullptr;
};

class ThreeDColorDialog : public EffectDialog {
  Q_OBJECT
 public:
  ThreeDColorDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QPushButton* shapeButton() const { return shapeButton_; }

 private:
  QPushButton* shapeButton_;
};

class RoundBoxDialog : public EffectDialog {
  Q_OBJECT
 public:
  RoundBoxDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);

 protected:
  void OnEdited(Row& row) override;
  void Preview() override;
};

class FogDialog : public EffectDialog {
  Q_OBJECT
 public:
  FogDialog(EffectRecord& record, AppState& state, PreviewRefresh refresh, QWidget* parent);
  QPushButton* densityButton() const { return densityButton_; }

 private:
  QPushButton* densityButton_;
};

