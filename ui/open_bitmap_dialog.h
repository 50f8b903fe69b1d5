#pragma once
// "Open Bitmap": picks an image file from one folder, showing the selected one.
#include <QDialog>
#include <string>

class QListWidget;
class QLabel;

class OpenBitmapDialog : public QDialog {
  Q_OBJECT
 public:
  // folder ends with '/'; pattern "*.*" when empty; current is selected when listed. Names that
  // start with firstPrefix (when given) are listed before the others.
  OpenBitmapDialog(const std::string& folder, const std::string& pattern, const std::string& current,
                   QWidget* parent = nullptr, const std::string& firstPrefix = {});
  // The chosen name without folder (valid after Accepted).
  std::string selectedName() const;

 private:
  void ShowSelected();
  std::string folder_;
  QListWidget* list_;
  QLabel* preview_;
};
