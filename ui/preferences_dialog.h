#pragma once
// "Preferences": anti-aliasing, blank-area clipping, supersampling and the colour-reduction method. The method
// takes effect when clicked; the two check boxes only with OK, which also stores all three.
#include <QDialog>

struct AppState;
class QCheckBox;
class QComboBox;
class QRadioButton;

class PreferencesDialog : public QDialog {
  Q_OBJECT
 public:
  PreferencesDialog(AppState& state, QWidget* parent = nullptr);
  void accept() override;

 private:
  AppState& state_;
  QCheckBox* antiAliasing_;
  QCheckBox* dithering_ = nullptr;
  QCheckBox* clipBlank_;
  QComboBox* supersample_ = nullptr;
  QRadioButton* popularity_;
  QRadioButton* medianCut_;
};
