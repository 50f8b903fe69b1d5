#pragma once
// Files dropped anywhere on the main window: a document opens (asking about unsaved changes as
// File > Open does), a style becomes the message's style, a batch list or plain list loads into
// the Batch Creation page and a picture goes to the to Image page. Anything else is refused
// with a message naming the file.
#include <QObject>
#include <QStringList>
#include <string>

class MainWindow;

class DropHandler : public QObject {
  Q_OBJECT
 public:
  enum class Kind { Document, Style, List, Picture, Folder, Unknown };
  // Parented to the sheet; watches the drops on every widget of its window.
  explicit DropHandler(MainWindow& sheet);
  // Documents and styles by their extension; pictures by their first bytes; batch lists (by name
  // or content) and any other text as lists; binary files and folders are not taken.
  // *pictureType receives a picture's type as its bytes tell it ("png", "jpg", "gif", "bmp", "webp").
  static Kind KindOf(const std::string& path, std::string* pictureType = nullptr);
  // Takes the files in order; a cancelled question stops there.
  void OpenFiles(const QStringList& paths);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MainWindow& sheet_;
};
