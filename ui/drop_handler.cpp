#include "ui/drop_handler.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ui/batch_page.h"
#include "ui/main_window.h"
#include "ui/message_page.h"
#include "ui/to_image_page.h"
#include "ui/ui_hooks.h"

namespace {

bool HasExtension(const std::string& path, const char* extension) {
  const std::string name = std::filesystem::path(path).extension().string();
  return name.size() == std::strlen(extension) &&
         std::equal(name.begin(), name.end(), extension,
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

bool StartsWith(const std::string& head, const char* magic, size_t at = 0) {
  const size_t n = std::strlen(magic);
  return head.size() >= at + n && head.compare(at, n, magic) == 0;
}

}  // namespace

DropHandler::DropHandler(MainWindow& sheet) : QObject(&sheet), sheet_(sheet) {
  // The window accepts drops so that they reach it from every child; the filter takes the file
  // drops before a text box would paste the file's name.
  sheet.setAcceptDrops(true);
  qApp->installEventFilter(this);
}

DropHandler::Kind DropHandler::KindOf(const std::string& path, std::string* pictureType) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return Kind::Folder;
  if (HasExtension(path, ".plq")) return Kind::Document;
  if (HasExtension(path, ".sty")) return Kind::Style;
  if (HasExtension(path, ".blt")) return Kind::List;
  // Only regular files are read: a FIFO or device would block the window.
  if (!std::filesystem::is_regular_file(path, ec)) return Kind::Unknown;
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(size_t(std::max<std::streamsize>(0, in.gcount())));
  const char* type = StartsWith(head, "BM")                                   ? "bmp"
                     : StartsWith(head, "\x89PNG\r\n\x1a\n")                   ? "png"
                     : StartsWith(head, "\xff\xd8\xff")                         ? "jpg"
                     : StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a") ? "gif"
                     : StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8)  ? "webp"
                                                                                : nullptr;
  if (type) {
    if (pictureType) *pictureType = type;
    return Kind::Picture;
  }
  // Text has no NUL bytes (UTF-16 lists are not read); an empty file is an empty list.
  if (in.bad() || head.find('\0') != std::string::npos) return Kind::Unknown;
  return Kind::List;
}

void DropHandler::OpenFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    const std::string file = path.toStdString();
    std::string pictureType;
    switch (KindOf(file, &pictureType)) {
      case Kind::Document:
        if (!sheet_.AskSaveChanges()) return;
        sheet_.OpenDocumentFile(path);
        break;
      case Kind::Style:
        sheet_.SetActivePage(MainWindow::kMessage);
        if (!sheet_.messagePage().ApplyStyleFile(file)) return;
        break;
      case Kind::List:
        sheet_.SetActivePage(MainWindow::kBatch);
        sheet_.batchPage().LoadFile(file);
        break;
      case Kind::Picture:
        sheet_.SetActivePage(MainWindow::kToImage);
        if (auto* page = sheet_.findChild<ToImagePage*>()) page->LoadPicture(file, pictureType);
        break;
      case Kind::Folder:
        Hooks().Tell(&sheet_, "Error!", path + ": a folder; drop the files themselves");
        break;
      case Kind::Unknown:
        Hooks().Tell(&sheet_, "Error!",
                     path + ": not a document (.plq), style (.sty), text list or picture (BMP, PNG, JPEG, GIF, "
                            "WebP)");
        break;
    }
  }
}

bool DropHandler::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != &sheet_) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  const QMimeData* mime = drop->mimeData();
  if (!mime || !mime->hasUrls()) return false;  // dragged text goes to the text boxes as before
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type != QEvent::Drop) return true;
  QStringList paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
    else Hooks().Tell(&sheet_, "Error!", url.toString() + ": only files on this computer can be opened");
  }
  // Taken after the drop has finished: a question asked inside it would hold up the program the
  // files were dragged from.
  QMetaObject::invokeMethod(this, [this, paths] { OpenFiles(paths); }, Qt::QueuedConnection);
  return true;
}
