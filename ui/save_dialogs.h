#pragma once
// Dialogs of the Save and Batch Creation pages: the JPEG "File Option" dialog and the help shown
// when the GIF converter is missing.
#include <QDialog>

struct AppState;
class QSlider;
class QLineEdit;

// Every change takes effect at once, so OK and Cancel behave alike.
class FileOptionDialog : public QDialog {
  Q_OBJECT
 public:
  FileOptionDialog(AppState& state, QWidget* parent = nullptr);

 private:
  AppState& state_;
  QSlider* slider_;
  QLineEdit* edit_;
};

class GifHelpDialog : public QDialog {
  Q_OBJECT
 public:
  explicit GifHelpDialog(QWidget* parent = nullptr);
};

// The combo rows shared by both pages and the type each row stands for.
class QComboBox;
void FillFileTypeCombo(QComboBox& combo);
int ComboRowForType(int type);   // -1 when no row shows the type
int TypeForComboRow(int row);
