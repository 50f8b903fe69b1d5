#pragma once
// "to Image": places the rendered picture onto a picture read from a file, at X, Y, and saves
// the result.
#include <string>

#include "imaging/dib_image.h"
#include "ui/plaquet_page.h"

class QLineEdit;
class QComboBox;

class ToImagePage : public PlaquetPage {
  Q_OBJECT
 public:
  ToImagePage(AppState& state, MainWindow& sheet);
  void OnSetActive() override;
  void OnKillActive() override;

  // Handlers, also driven by tests.
  // Reads the picture at path, of the type its extension names unless type ("png", "jpg", ...) is
  // given; false (and nothing changed) when it cannot be read.
  bool LoadPicture(const std::string& path, const std::string& type = std::string());
  void OnLoad();
  void PlaceAt(int x, int y);
  void SetMessage();
  void OnTypeRow(int row);
  // Writes the composition under path with the output type's extension; true when written.
  bool SaveTo(const std::string& path);
  void OnSave();

  const DibImage& loadedPicture() const { return loaded_; }
  int x() const { return x_; }
  int y() const { return y_; }

 private:
  void OnLocationEdited();
  DibImage loaded_;  // 24 bits, empty until a picture is loaded
  std::string loadedPath_;
  int x_ = 0, y_ = 0;
  QLineEdit* editX_;
  QLineEdit* editY_;
  QLineEdit* file_;
  QComboBox* type_;
  bool active_ = false;
};
