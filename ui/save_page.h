#pragma once
// "Save Plaquet": the output type (shown in the preview at its colour depth), the file size it
// would have, the JPEG options and saving the picture.
#include <string>

#include "ui/plaquet_page.h"

class QComboBox;
class QPushButton;
class QLineEdit;

class SavePage : public PlaquetPage {
  Q_OBJECT
 public:
  SavePage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnKillActive() override;

  // Sets the output type and renders the picture for it (types 2..7), then the size and the
  // extension of outputPath follow.
  void SelectType(int type);
  void OnComboChanged(int row);
  void Calculate();
  void FileOption();
  void SaveImage();
  // Writes the picture under outputPath (and its pressed variant); reports a failure to the
  // user. True when every file was written.
  bool WriteOutputFiles();

  std::string outputPath;
  long long fileSize() const { return fileSize_; }

 private:
  void CalculateFileSize();
  void ShowSize();
  QComboBox* combo_;
  QPushButton* calculate_;
  QPushButton* fileOption_;
  QPushButton* save_;
  QLineEdit* size_;
  long long fileSize_ = 0;
  bool initialised_ = false;
};
