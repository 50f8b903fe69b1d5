#pragma once
// "Save Plaquet": the output type (shown in the preview at its colour depth), the file size it
// would have, the JPEG options and saving the picture.
#include <cstdint>
#include <string>

#include "ui/plaquet_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
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
  // The matte the saved pictures are blended onto (colour as 0x00BBGGRR); off = the page colour.
  void SetMatte(bool on, int32_t colour);
  // "Also save @2x and @3x": the picture is written at 1x, 2x and 3x (name@2x.ext, name@3x.ext).
  void SetAlsoHiDpi(bool on);
  bool alsoHiDpi() const;

  std::string outputPath;
  long long fileSize() const { return fileSize_; }

 private:
  void CalculateFileSize();
  void ShowSize();
  void ShowMatte();
  void OnMatteColour();
  QComboBox* combo_;
  QPushButton* calculate_;
  QPushButton* fileOption_;
  QPushButton* save_;
  QLineEdit* size_;
  QCheckBox* matte_;
  QCheckBox* alsoHiDpi_;
  QLabel* matteSwatch_;
  QPushButton* matteColourButton_;
  int32_t matteColour_ = 0xFFFFFF;
  long long fileSize_ = 0;
  bool initialised_ = false;
};
