#include "ui/application.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>

#include "engine/checked_alloc.h"
#include "ui/app_state.h"
#include "ui/main_property.h"
#include "ui/preview_window.h"

namespace {

void ShowOutOfMemory(const char* text) {
  QMessageBox::critical(nullptr, "System Error", text, QMessageBox::Ok | QMessageBox::Cancel);
}

// Developer aid: with QUORBEL_SCREENSHOT_DIR set, every page is grabbed into that folder (with the
// preview on its "Image" tab) and the program ends.
void SaveScreenshots(CMainProperty& sheet, const QString& folder) {
  // A styled message makes the preview worth looking at.
  if (auto* styles = sheet.findChild<QListWidget*>("styles")) {
    const auto found = styles->findItems("golden.sty", Qt::MatchFixedString);
    if (!found.isEmpty()) styles->setCurrentItem(found.front());
  }
  const char* names[] = {"examples", "message", "background", "bullet", "save", "batch", "to_image"};
  for (int i = 0; i < CMainProperty::kPageCount; ++i) {
    sheet.SetActivePage(i);
    if (i != CMainProperty::kMessage) sheet.preview().SelectPreviewTab(PreviewWindow::kImage);
    QApplication::processEvents();
    sheet.grab().save(folder + "/" + names[i] + ".png");
  }
  sheet.SetActivePage(CMainProperty::kMessage);
  sheet.preview().SelectPreviewTab(PreviewWindow::kText);
  QApplication::processEvents();
  sheet.grab().save(folder + "/message_text_preview.png");
}

}  // namespace

int RunDesktopApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorbel");
  SetOutOfMemoryReporter(&ShowOutOfMemory);
  InstallOutOfMemoryHandler();
  std::unique_ptr<AppState> state = MakeStartUpState();
  CMainProperty sheet(*state);
  sheet.show();
  if (const char* dir = std::getenv("QUORBEL_SCREENSHOT_DIR")) {
    const QString folder = QString::fromLocal8Bit(dir);
    QTimer::singleShot(200, &sheet, [&sheet, folder] {
      SaveScreenshots(sheet, folder);
      QApplication::quit();
    });
  }
  return app.exec();
}
