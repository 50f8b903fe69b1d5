// The Batch Creation page: building a list, keeping it in a file, and a run over three strings.
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "document/batch_list.h"
#include "support/test_support.h"
#include "ui/batch_page.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace fs = std::filesystem;

class BatchTests : public QObject {
  Q_OBJECT
 private slots:
  void listEditingAndFiles() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kBatch);
    QWidget* page = sheet.tabs().widget(MainWindow::kBatch);
    auto* edit = page->findChild<QPlainTextEdit*>("batchString");
    auto* list = page->findChild<QListWidget*>("batchList");
    auto* add = page->findChild<QPushButton*>("add");
    QVERIFY(edit && list && add);

    for (const char* s : {"one", "two", "three"}) {
      edit->setPlainText(s);
      QCOMPARE(app.state->doc.message().text, std::string(s));  // the preview follows the box
      add->click();
      QVERIFY(edit->toPlainText().isEmpty());
    }
    QCOMPARE(list->count(), 3);

    // Double-click edits a string in place.
    hooks.onDialog = [](QDialog& d) {
      d.findChild<QPlainTextEdit*>("editString")->setPlainText("TWO\nlines");
      return int(QDialog::Accepted);
    };
    sheet.batchPage().EditString(1);
    QCOMPARE(app.state->batchList[1], std::string("TWO\r\nlines"));

    // An untitled list always asks for a name; ".blt" is put on it.
    hooks.fileNames = {QString::fromStdString(dir.file("My List"))};
    QVERIFY(sheet.batchPage().Save());
    QCOMPARE(app.state->batchListPath, dir.file("My List.blt"));
    std::vector<std::string> stored;
    QVERIFY(ReadBatchList(dir.file("My List.blt"), stored));
    QCOMPARE(stored, app.state->batchList);
    // Save As keeps the name as typed.
    hooks.fileNames = {QString::fromStdString(dir.file("Other"))};
    QVERIFY(sheet.batchPage().SaveAs());
    QVERIFY(fs::exists(dir.file("Other")));

    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    page->findChild<QPushButton*>("delete")->click();
    QCOMPARE(app.state->batchList, std::vector<std::string>({"TWO\r\nlines"}));

    hooks.answers = {QMessageBox::No};
    page->findChild<QPushButton*>("new")->click();
    QCOMPARE(hooks.asked.last(), "Save changes to " + QString::fromStdString(dir.file("Other")) + "?");
    QCOMPARE(app.state->batchListPath, std::string("untitled.blt"));
    QCOMPARE(list->count(), 0);

    hooks.fileNames = {QString::fromStdString(dir.file("My List.blt"))};
    page->findChild<QPushButton*>("load")->click();
    QCOMPARE(list->count(), 3);
    QCOMPARE(app.state->batchList, stored);
  }

  void runOverThreeStrings() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kBatch);
    QWidget* page = sheet.tabs().widget(MainWindow::kBatch);
    auto* combo = page->findChild<QComboBox*>("fileType");
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    QCOMPARE(int(app.state->outputFileType), int(Bmp));
    app.state->batchList = {"A", "AAAA", "AAAAAAAAA"};
    app.state->doc.message().text = "Kept";

    hooks.fileNames = {QString::fromStdString(dir.file("card.bmp"))};
    page->findChild<QPushButton*>("saveImages")->click();
    QVERIFY(hooks.asked.isEmpty());
    int lastWidth = 0;
    for (int i = 0; i < 3; ++i) {
      const QImage img(QString::fromStdString(dir.file("card" + std::to_string(i) + ".bmp")));
      QVERIFY(!img.isNull());
      QVERIFY(img.width() > lastWidth);  // longer strings, wider pictures
      lastWidth = img.width();
    }
    QCOMPARE(app.state->doc.message().text, std::string("Kept"));
    QVERIFY(hooks.told.isEmpty());

    // Existing files: declining writes nothing.
    fs::remove(dir.file("card2.bmp"));
    hooks.fileNames = {QString::fromStdString(dir.file("card"))};
    hooks.answers = {QMessageBox::Cancel};
    page->findChild<QPushButton*>("saveImages")->click();
    QCOMPARE(hooks.asked.size(), 1);
    QVERIFY(hooks.asked.front().contains("This file already exists. \nOverwrite all existing files?"));
    QVERIFY(!fs::exists(dir.file("card2.bmp")));

    // An empty first file asks nothing.
    testsupport::WriteFileBytes(dir.file("card0.bmp"), {});
    hooks.fileNames = {QString::fromStdString(dir.file("card"))};
    page->findChild<QPushButton*>("saveImages")->click();
    QCOMPARE(hooks.asked.size(), 1);
    QVERIFY(fs::file_size(dir.file("card0.bmp")) > 0);
    QVERIFY(fs::exists(dir.file("card2.bmp")));

    // Unwritable folder: every file is reported.
    hooks.fileNames = {QString::fromStdString(dir.file("gone/card"))};
    page->findChild<QPushButton*>("saveImages")->click();
    QCOMPARE(hooks.told.size(), 1);
    QCOMPARE(hooks.told.front().count('\n'), 3);  // one line per file after the heading
  }
};

std::unique_ptr<QObject> MakeBatchTests() { return std::make_unique<BatchTests>(); }

#include "batch_page_test.moc"
