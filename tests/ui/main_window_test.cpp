// The main window: pages in order, menus, Copy, and the document New / Open / Save questions.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "document/document_file.h"
#include "imaging/dib_image.h"
#include "support/test_support.h"
#include "ui/preview_window.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

QStringList MenuLabels(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
  return out;
}

}  // namespace

class WindowTests : public QObject {
  Q_OBJECT
 private slots:
  void pagesAndMenus() {
    TestApp app;
    QCOMPARE(app.sheet->windowTitle(), QString("Quorbel 1.4"));
    QTabWidget& tabs = app.sheet->tabs();
    QStringList titles;
    for (int i = 0; i < tabs.count(); ++i) titles << tabs.tabText(i);
    QCOMPARE(titles, QStringList({"Examples", "Message", "Background", "Bullet", "Save Plaquet",
                                  "Batch Creation", "to Image"}));
    QList<QMenu*> menus;
    for (QAction* a : app.sheet->menuBar()->actions()) menus << a->menu();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(MenuLabels(menus[0]),
             QStringList({"New", "Open Plq. File", "Recent Files", "Save Plq. File", "Save Plq. File As", "-", "Save Image", "-",
                          "Open Batch Text List", "Save Batch Text List", "Save As Batch Text List", "-", "Exit"}));
    QCOMPARE(MenuLabels(menus[1]), QStringList({"Undo", "Redo", "-", "Copy", "-", "Preferences"}));
    QCOMPARE(MenuLabels(menus[2]),
             QStringList({"Contents", "More fonts && textures", "More example files", "-", "About"}));
    QVERIFY(!menus[1]->actions().front()->isEnabled());  // nothing to undo yet
    // "Save Image" brings the Save page forward.
    menus[0]->actions()[6]->trigger();
    QCOMPARE(tabs.currentIndex(), int(MainWindow::kSave));
  }

  void copyPutsThePictureOnTheClipboard() {
    TestHooks hooks;
    TestApp app;
    app.sheet->SetActivePage(MainWindow::kMessage);
    app.state->doc.message().text = "Clip";
    app.sheet->RenderAndRefresh();
    app.sheet->CopyImage();
    const QImage got = QGuiApplication::clipboard()->image();
    const DibImage& dib = app.state->ctx->image;
    QCOMPARE(got.width(), dib.Width());
    QCOMPARE(got.height(), dib.Height());
    // Compare against the picture's own bytes: top row first, blue green red.
    const DibRowTable rows(dib);
    for (int y = 0; y < dib.Height(); ++y)
      for (int x = 0; x < dib.Width(); ++x) {
        const QRgb p = got.pixel(x, y);
        const uint8_t* s = rows[y] + 3 * x;
        if (qRed(p) != s[2] || qGreen(p) != s[1] || qBlue(p) != s[0])
          QFAIL(qPrintable(QString("pixel %1,%2 differs").arg(x).arg(y)));
      }
  }

  void newOpenSaveQuestions() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    PlaquetDocument& doc = app.state->doc;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kBatch);
    doc.message().text = "Kept";
    doc.documentModified = true;

    // Cancel leaves everything, the page too.
    hooks.answers = {QMessageBox::Cancel};
    sheet.NewDocument();
    QCOMPARE(hooks.asked.last(), QString("Save change to Untitled.plq"));
    QCOMPARE(doc.message().text, std::string("Kept"));
    QCOMPARE(sheet.tabs().currentIndex(), int(MainWindow::kBatch));

    // Yes saves through Save As, then the new document starts on the Examples page.
    const std::string saved = dir.file("first.plq");
    hooks.answers = {QMessageBox::Yes};
    hooks.fileNames = {QString::fromStdString(dir.file("first"))};
    sheet.NewDocument();
    QVERIFY(std::filesystem::exists(saved));
    QCOMPARE(doc.message().text, std::string("Quorbel!"));
    QCOMPARE(doc.documentModified, false);
    QCOMPARE(sheet.tabs().currentIndex(), int(MainWindow::kExamples));
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kText));

    // No, then a cancelled file dialog: unchanged but no longer modified.
    doc.message().text = "Draft";
    doc.documentModified = true;
    hooks.answers = {QMessageBox::No};
    sheet.OpenDocument();
    QCOMPARE(doc.message().text, std::string("Draft"));
    QCOMPARE(doc.documentModified, false);

    // Opening the saved file brings its text back and shows the picture.
    hooks.fileNames = {QString::fromStdString(saved)};
    sheet.OpenDocument();
    QCOMPARE(doc.message().text, std::string("Kept"));
    QCOMPARE(doc.documentPath, saved);
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kImage));
    QVERIFY(!app.state->ctx->image.Empty());

    // With a path the question names it; a save that fails is reported and keeps the document.
    doc.documentPath = dir.file("missing/folder/x.plq");
    doc.documentModified = true;
    hooks.answers = {QMessageBox::Yes};
    sheet.NewDocument();
    QCOMPARE(hooks.asked.last(), "Save change to " + QString::fromStdString(doc.documentPath));
    QVERIFY(hooks.told.last().startsWith("Error!|Cannot save file!"));
    QCOMPARE(doc.message().text, std::string("Kept"));
    QCOMPARE(doc.documentModified, true);
  }
};

std::unique_ptr<QObject> MakeWindowTests() { return std::make_unique<WindowTests>(); }

#include "main_window_test.moc"
