// The Message page: typing, margins and styles, with the preview following.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "document/document_file.h"
#include "support/test_support.h"
#include "ui/live_slider.h"
#include "ui/preview_window.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

class MessageTests : public QObject {
  Q_OBJECT
 private slots:
  void typingShowsTextThenLeavingRendersOnce() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    auto* edit = sheet.findChild<QPlainTextEdit*>("message");
    QVERIFY(edit);
    QCOMPARE(edit->toolTip(), QString("Add your message here"));
    sheet.preview().SelectPreviewTab(PreviewWindow::kText);  // the Image tab would follow the typing
    const int widthBefore = app.state->ctx->image.Width();
    const QImage textBefore = sheet.preview().shownPicture();

    edit->selectAll();
    QTest::keyClicks(edit, "Wide message");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "two");
    QCOMPARE(app.state->doc.message().text, std::string("Wide message\r\ntwo"));
    QCOMPARE(app.state->doc.documentModified, true);
    // Text tab, no render yet.
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kText));
    QCOMPARE(app.state->doc.previewDirty, true);
    QCOMPARE(app.state->ctx->image.Width(), widthBefore);
    const QImage textAfter = sheet.preview().shownPicture();
    QVERIFY(textAfter.width() > textBefore.width());
    QVERIFY(textAfter.height() > textBefore.height());  // two lines

    sheet.SetActivePage(MainWindow::kBullet);
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kImage));
    QCOMPARE(app.state->doc.previewDirty, false);
    QVERIFY(app.state->ctx->image.Width() > widthBefore);
    QCOMPARE(sheet.preview().shownPicture().width(), app.state->ctx->image.Width());
  }

  void textInAnyScriptReachesTheEngineAsUtf8() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    auto* edit = sheet.findChild<QPlainTextEdit*>("message");
    QVERIFY(edit);
    edit->setPlainText(QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442\n\u65e5\u672c \U0001F44D"));
    QCOMPARE(app.state->doc.message().text,
             std::string("\u041f\u0440\u0438\u0432\u0435\u0442\r\n\u65e5\u672c \U0001F44D"));
    // Past the limit the text is cut at a whole character: 150 two-byte letters keep 149.
    edit->setPlainText(QString(150, QChar(0xE9)));
    QCOMPARE(app.state->doc.message().text.size(), size_t(298));
    QCOMPARE(QString::fromStdString(app.state->doc.message().text), QString(149, QChar(0xE9)));
  }

  void marginsFollowEditsAndSliders() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    auto* editX = sheet.findChild<QLineEdit*>("editX");
    auto* sliderX = sheet.findChild<LiveSlider*>("sliderX");
    auto* sliderY = sheet.findChild<LiveSlider*>("sliderY");
    auto* editY = sheet.findChild<QLineEdit*>("editY");
    QVERIFY(editX && sliderX && sliderY && editY);
    QCOMPARE(sliderX->toolTip(), QString("Increase/Decrease your Bitmap horizontal size"));
    QCOMPARE(sliderX->maximum(), 100);
    QCOMPARE(sliderX->pageStep(), 5);

    editX->setFocus();
    editX->selectAll();
    QTest::keyClicks(editX, "30");
    QCOMPARE(sliderX->value(), 30);
    QCOMPARE(app.state->doc.extensionX, 30);
    QCOMPARE(app.state->doc.documentModified, true);

    // A key press on the slider is reported at once.
    QSignalSpy spy(sliderY, &LiveSlider::SliderMoved);
    sliderY->setFocus();
    QTest::keyClick(sliderY, Qt::Key_PageUp);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(app.state->doc.extensionY, 5);
    QCOMPARE(editY->text(), QString("5"));

    // The margins widen the picture by twice their value and are kept in the document.
    sheet.SetActivePage(MainWindow::kSave);
    const int imageWidth = app.state->ctx->image.Width();
    editX->setText("0");
    app.state->doc.extensionX = 0;
    app.state->doc.previewDirty = true;
    sheet.preview().SelectPreviewTab(PreviewWindow::kImage);
    QCOMPARE(imageWidth - app.state->ctx->image.Width(), 60);

    app.state->doc.extensionX = 30;
    QCOMPARE(WriteDocument(app.state->doc, dir.file("m.plq")), 0);
    PlaquetDocument back = MakeStartUpDocument();
    QCOMPARE(ReadDocument(back, dir.file("m.plq")), 0);
    QCOMPARE(back.extensionX, 30);
    QCOMPARE(back.extensionY, 5);
  }

  void stylesAndColour() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    auto* styles = sheet.findChild<QListWidget*>("styles");
    auto* color = sheet.findChild<QPushButton*>("color");
    QVERIFY(styles && color);
    QVERIFY(styles->count() >= 2);
    for (int i = 1; i < styles->count(); ++i)
      QVERIFY(styles->item(i - 1)->text().compare(styles->item(i)->text(), Qt::CaseInsensitive) <= 0);
    // The start document's message has no paint effect.
    QVERIFY(!color->isEnabled());

    // plain.sty paints with a colour, golden.sty with a gradient only.
    const int blankWidth = app.state->ctx->image.Width();
    styles->setCurrentItem(styles->findItems("plain.sty", Qt::MatchFixedString).front());
    QVERIFY(color->isEnabled());
    const auto found = styles->findItems("golden.sty", Qt::MatchFixedString);
    QVERIFY(!found.isEmpty());
    styles->setCurrentItem(found.front());
    QVERIFY(app.state->doc.message().effectCount() > 0);
    QVERIFY(!color->isEnabled());
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kImage));
    QVERIFY(app.state->ctx->image.Width() > blankWidth);  // the shadow and outline take room

    // Unsaved edits of the style, Cancel: the old style stays and the document is not touched.
    app.state->doc.styleChanged[kMessageItem] = true;
    app.state->doc.documentModified = false;
    const auto effects = app.state->doc.message().effects;
    hooks.answers = {QMessageBox::Cancel};
    styles->setCurrentRow(styles->currentRow() == 0 ? 1 : 0);
    QCOMPARE(hooks.asked.size(), 1);
    QCOMPARE(app.state->doc.documentModified, false);
    QCOMPARE(app.state->doc.message().effects.size(), effects.size());
    QCOMPARE(styles->currentItem()->text(), QString("golden.sty"));
  }

  void charactersNoFaceHasAreReportedOnce() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    sheet.preview().SelectPreviewTab(PreviewWindow::kText);  // measured at each change, as typed
    auto* edit = sheet.findChild<QPlainTextEdit*>("message");
    const QString unknown = QString::fromUcs4(U"\U0010FFFD");
    edit->setPlainText("Hi " + unknown);
    QCOMPARE(hooks.told, QStringList{"Warning|No installed font has the characters \"" + unknown +
                                     "\" (U+10FFFD); they are drawn as boxes."});
    // More of the same characters, and a change in between without any: no second message.
    edit->setPlainText("Hi " + unknown + unknown);
    edit->setPlainText("Hi");
    edit->setPlainText(unknown + " there");
    QCOMPARE(hooks.told.size(), 1);
  }
};

std::unique_ptr<QObject> MakeMessageTests() { return std::make_unique<MessageTests>(); }

#include "message_page_test.moc"
