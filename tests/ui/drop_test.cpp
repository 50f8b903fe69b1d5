// Files dropped on the window: each kind reaches its page, told by content where the command line
// tells it so, and anything else is refused by name.
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "document/batch_list.h"
#include "document/document_file.h"
#include "document/style_file.h"
#include "support/test_support.h"
#include "ui/batch_page.h"
#include "ui/to_image_page.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

// Drops the files on target as a file manager would, then lets the queued opening run.
void Drop(QWidget* target, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  mime.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QVERIFY(drop.isAccepted());
  QCoreApplication::processEvents();
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class DropTests : public QObject {
  Q_OBJECT
 private slots:
  void eachKindReachesItsPage() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    PlaquetDocument& doc = app.state->doc;
    testsupport::TempDir dir;

    // A document: the question as File > Open asks it; Cancel keeps the edited one.
    PlaquetDocument written = doc;
    written.message().text = "Dropped";
    QVERIFY(WriteDocument(written, dir.file("d.plq"), nullptr) == 0);
    doc.message().text = "Edited";
    doc.documentModified = true;
    hooks.answers = {QMessageBox::Cancel};
    Drop(&sheet, {Q(dir.file("d.plq"))});
    QCOMPARE(hooks.asked.size(), 1);
    QCOMPARE(doc.message().text, std::string("Edited"));
    hooks.answers = {QMessageBox::No};
    Drop(&sheet, {Q(dir.file("d.plq"))});
    QCOMPARE(doc.message().text, std::string("Dropped"));
    QCOMPARE(doc.documentModified, false);

    // A style becomes the message's, as reading it into the message item gives.
    const std::string style = doc.programFolder + "golden.sty";
    PlaquetDocument expected = doc;
    QVERIFY(LoadStyleIntoItemChecked(expected, kMessageItem, style, nullptr));
    Drop(&sheet, {Q(style)});
    QCOMPARE(sheet.tabs().currentIndex(), int(MainWindow::kMessage));
    QCOMPARE(doc.message().effects.size(), expected.message().effects.size());
    QCOMPARE(doc.styleFile[kMessageItem], style);

    // A batch list and a plain list, dropped on the message box: loaded, not pasted.
    QVERIFY(WriteBatchList(dir.file("l.blt"), {"one", "two\r\nlines"}));
    testsupport::WriteFileText(dir.file("plain.txt"), "first\r\n\r\nsecond\n");
    auto* edit = sheet.findChild<QPlainTextEdit*>("message");
    Drop(edit->viewport(), {Q(dir.file("l.blt"))});
    QCOMPARE(doc.message().text, std::string("Dropped"));
    QCOMPARE(sheet.tabs().currentIndex(), int(MainWindow::kBatch));
    QCOMPARE(app.state->batchList, std::vector<std::string>({"one", "two\r\nlines"}));
    QCOMPARE(app.state->batchListPath, dir.file("l.blt"));
    Drop(&sheet, {Q(dir.file("plain.txt"))});
    QCOMPARE(app.state->batchList, std::vector<std::string>({"first", "second"}));
    QCOMPARE(app.state->batchListPath, std::string("untitled.blt"));  // saving asks, never rewrites the text

    // A picture, told by its bytes (no extension), goes to the to Image page.
    QImage picture(21, 9, QImage::Format_RGB888);
    picture.fill(QColor(10, 120, 230));
    QVERIFY(picture.save(Q(dir.file("photo")), "PNG"));
    Drop(&sheet, {Q(dir.file("photo"))});
    QCOMPARE(sheet.tabs().currentIndex(), int(MainWindow::kToImage));
    auto* toImage = sheet.findChild<ToImagePage*>();
    QCOMPARE(toImage->loadedPicture().Width(), 21);
    QCOMPARE(toImage->loadedPicture().Height(), 9);

    // Anything else: a message naming the file, nothing changed.
    testsupport::WriteFileText(dir.file("x.bin"), std::string("\0\1\2", 3));
    hooks.told.clear();
    Drop(&sheet, {Q(dir.file("x.bin")), Q(dir.path().string())});
    QCOMPARE(hooks.told.size(), 2);
    QVERIFY(hooks.told[0].startsWith("Error!|" + Q(dir.file("x.bin")) + ": not a document"));
    QVERIFY(hooks.told[1].contains("folder"));
    QCOMPARE(doc.message().text, std::string("Dropped"));
  }
};

std::unique_ptr<QObject> MakeDropTests() { return std::make_unique<DropTests>(); }

#include "drop_test.moc"
