#include "ui/application.h"

#include <QApplication>
#include <QIcon>
#include <QListWidget>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <new>

#include "imaging/error.h"
#include "ui/app_state.h"
#include "ui/ui_hooks.h"
#include "document/plaquet_document.h"
#include "effects/effect_catalogue.h"
#include "ui/dialogs/effect_dialogs.h"
#include "ui/examples_page.h"
#include "ui/main_window.h"
#include "ui/open_bitmap_dialog.h"
#include "ui/preferences_dialog.h"
#include "ui/save_dialogs.h"
#include "ui/preview_window.h"

namespace {

// Exhausted memory that no action caught ends the program with this box, as it always has.
void ShowOutOfMemory() {
  QMessageBox::critical(nullptr, "System Error", "Out of memory! \nSystem will be terminated.",
                        QMessageBox::Ok | QMessageBox::Cancel);
}

// Exceptions may not cross Qt's event handling, so exhausted memory in any action is caught
// here, where each event is delivered, and ends the program after the box.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  AppState* state = nullptr;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
      ShowOutOfMemory();
      QCoreApplication::exit(1);
      return false;
    } catch (const quorbel::Error& e) {
      // A render the engine refused in an action that did not catch it: the user hears why, the
      // picture counts as not current, and the program goes on.
      while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
      if (state) state->doc.previewDirty = true;
      Hooks().Tell(nullptr, "Error!", QString::fromStdString(e.what()));
      return false;
    }
  }
};

// Developer aid: with QUORBEL_SCREENSHOT_DIR set, every page is grabbed into that folder (with the
// preview on its "Image" tab) and the program ends.
void SaveScreenshots(MainWindow& sheet, const QString& folder) {
  // A larger, styled message makes the preview worth looking at.
  sheet.state().doc.message().font.height = 48;
  sheet.state().doc.message().font.width = 0;
  sheet.state().doc.previewDirty = true;
  if (auto* styles = sheet.findChild<QListWidget*>("styles")) {
    const auto found = styles->findItems("golden.sty", Qt::MatchFixedString);
    if (!found.isEmpty()) styles->setCurrentItem(found.front());
  }
  const char* names[] = {"examples", "message", "background", "bullet", "save", "batch", "to_image"};
  for (int i = 0; i < MainWindow::kPageCount; ++i) {
    sheet.SetActivePage(i);
    if (i != MainWindow::kMessage) sheet.preview().SelectPreviewTab(PreviewWindow::kImage);
    QApplication::processEvents();
    sheet.grab().save(folder + "/" + names[i] + ".png");
  }
  sheet.SetActivePage(MainWindow::kMessage);
  sheet.preview().SelectPreviewTab(PreviewWindow::kText);
  QApplication::processEvents();
  sheet.grab().save(folder + "/message_text_preview.png");
  // The dialogs.
  auto grabDialog = [&folder](QDialog& dialog, const char* name) {
    dialog.show();
    QApplication::processEvents();
    dialog.grab().save(folder + "/" + name + ".png");
    dialog.hide();
  };
  PreferencesDialog preferences(sheet.state(), &sheet);
  grabDialog(preferences, "dialog_preferences");
  FileOptionDialog fileOption(sheet.state(), &sheet);
  grabDialog(fileOption, "dialog_file_option");
  GifHelpDialog gifHelp(&sheet);
  grabDialog(gifHelp, "dialog_gif_help");
  OpenBitmapDialog openBitmap(sheet.state().doc.programFolder + "texture/", "*.*", "wood.png", &sheet);
  grabDialog(openBitmap, "dialog_open_bitmap");
  // Every effect kind's dialog on its start values.
  for (int type = 0; type < kEffectTypeCount; ++type) {
    EffectRecord record = EffectStartRecord(type);
    if (auto dialog = MakeEffectDialog(type, record, sheet.state(), &sheet)) {
      dialog->adjustSize();
      grabDialog(*dialog, ("dialog_" + QString(EffectKey(type)).toLower()).toUtf8().constData());
    }
  }
  // The layouts at other window sizes.
  for (const QSize size : {QSize(560, 620), QSize(900, 900)}) {
    sheet.resize(size);
    QApplication::processEvents();
    sheet.grab().save(QString("%1/message_%2x%3.png").arg(folder).arg(size.width()).arg(size.height()));
  }
}

}  // namespace

int RunDesktopApplication(int argc, char** argv) {
  GuardedApplication app(argc, argv);
  QApplication::setApplicationName("Quorbel");
  // The installed menu entry and icon (share/applications/quorbel.desktop, the hicolor theme).
  QGuiApplication::setDesktopFileName("quorbel");
  QApplication::setWindowIcon(QIcon::fromTheme("quorbel"));
  std::unique_ptr<AppState> state = MakeStartUpState();
  app.state = state.get();
  MainWindow sheet(*state);
  sheet.show();
  // quorbel-desktop [FILE]: QApplication has taken its own options out of the arguments.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) sheet.OpenDocumentFile(arguments.at(1));
  else if (auto* examples = sheet.findChild<ExamplesPage*>()) examples->OpenStartExample();
  if (const char* dir = std::getenv("QUORBEL_SCREENSHOT_DIR")) {
    const QString folder = QString::fromLocal8Bit(dir);
    QTimer::singleShot(200, &sheet, [&sheet, folder] {
      SaveScreenshots(sheet, folder);
      QApplication::quit();
    });
  }
  return app.exec();
}
