// Undo and redo of every kind of change, the standard shortcuts, the Recent Files menu and the
// shipped files that must never be written.
#include <QScrollArea>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFontDialog>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUndoStack>
#include <filesystem>
#include <functional>

#include "document/document_file.h"
#include "document/preferences.h"
#include "document/style_file.h"
#include "effects/effect_catalogue.h"
#include "support/test_support.h"
#include "ui/background_page.h"
#include "ui/document_history.h"
#include "ui/help_window.h"
#include "ui/message_page.h"
#include "ui/style_pages.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

// The document as its file holds it, plus what only the window keeps (transparency, pressed
// picture, templates): both must come back exactly.
struct Saved {
  std::string file;
  PlaquetDocument whole;
  bool operator==(const Saved&) const = default;
};
Saved Save(const PlaquetDocument& doc) {
  PlaquetDocument copy = doc;
  Saved s;
  WriteDocumentTo(copy, s.file);
  s.whole = DocumentHistory::Snapshot(doc);
  return s;
}

// Answers the next modal dialog the application opens itself (the Qt font and colour choosers).
void AnswerNextModal(std::function<void(QDialog&)> answer, int tries = 100) {
  QTimer::singleShot(0, [answer, tries] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      answer(*d);
      d->accept();
    } else if (tries > 0) {
      AnswerNextModal(answer, tries - 1);
    }
  });
}

// Turns the first slider of an effect or box dialog one page and accepts.
int NudgeFirstSlider(QDialog& d) {
  if (auto* s = d.findChild<QSlider*>()) QTest::keyClick(s, Qt::Key_PageUp);
  return int(QDialog::Accepted);
}

QAction* ActionWith(QMenuBar* bar, const QKeySequence& keys) {
  for (QAction* menu : bar->actions())
    for (QAction* a : menu->menu()->actions())
      if (a->shortcuts().contains(keys)) return a;
  return nullptr;
}

// Every file of the folder with its bytes, to see that nothing in it changed.
std::map<std::string, std::vector<uint8_t>> FolderBytes(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.is_regular_file()) out[e.path().string()] = testsupport::ReadFileBytes(e.path().string());
  return out;
}

struct ConfigHome {
  testsupport::TempDir dir;
  QByteArray old = qgetenv("XDG_CONFIG_HOME");
  ConfigHome() { qputenv("XDG_CONFIG_HOME", dir.path().string().c_str()); }
  ~ConfigHome() { qputenv("XDG_CONFIG_HOME", old); }
};

}  // namespace

class HistoryTests : public QObject {
  Q_OBJECT
 private slots:
  void everyChangeUndoesToTheSameDocument() {
    using Act = std::function<void(TestApp&, TestHooks&)>;
    // Each tab holds its page inside a scroll area.
    auto page = [](TestApp& a, int i) {
      return static_cast<DecorationPage*>(static_cast<QScrollArea*>(a.sheet->tabs().widget(i))->widget());
    };
    auto styles = [](TestApp& a) { return a.sheet->messagePage().findChild<QListWidget*>("styles"); };
    auto answer = [](std::function<void(QDialog&)> f, std::function<void(TestApp&)> open) -> Act {
      return [f, open](TestApp& a, TestHooks&) { AnswerNextModal(f), open(a); };
    };
    auto kind = [&](int i) -> Act { return [=](TestApp& a, TestHooks&) { page(a, i)->SelectKind(kKindRoundBox); }; };
    auto style = [&](int i) -> Act { return [=](TestApp& a, TestHooks&) { page(a, i)->styleList().setCurrentRow(0); }; };
    auto box = [&](int i) -> Act {
      return [=](TestApp& a, TestHooks& h) { h.onDialog = NudgeFirstSlider, page(a, i)->OnProperties(); };
    };
    const Act plain = [&](TestApp& a, TestHooks&) { styles(a)->setCurrentItem(styles(a)->findItems("plain.sty", {}).value(0)); };
    const struct { QString step; Act prepare, change; } rows[] = {
        {"Typing", {}, [](TestApp& a, TestHooks&) { a.sheet->messagePage().findChild<QPlainTextEdit*>("message")->setPlainText("Undo me"); }},
        {"Font", {}, answer([](QDialog& d) { static_cast<QFontDialog&>(d).setCurrentFont(QFont("DejaVu Sans", 31)); },
                            [](TestApp& a) { a.sheet->messagePage().OnFont(); })},
        {"Color", plain, answer([](QDialog& d) { static_cast<QColorDialog&>(d).setCurrentColor(QColor(12, 34, 56)); },
                                [](TestApp& a) { a.sheet->messagePage().OnColor(); })},
        {"Margin", {}, [](TestApp& a, TestHooks&) { a.sheet->messagePage().findChild<QSlider*>("sliderX")->setValue(37); }},
        {"Choose Style", {}, [&](TestApp& a, TestHooks&) { styles(a)->setCurrentRow(0); }},
        {"Background Template", {}, kind(MainWindow::kBackground)},
        {"Background Style", {}, style(MainWindow::kBackground)},
        {"Background Box", kind(MainWindow::kBackground), box(MainWindow::kBackground)},
        {"Bullet Template", {}, kind(MainWindow::kBullet)},
        {"Bullet Style", {}, style(MainWindow::kBullet)},
        {"Bullet Box", kind(MainWindow::kBullet), box(MainWindow::kBullet)},
        {"Page Color", {}, answer([](QDialog& d) { static_cast<QColorDialog&>(d).setCurrentColor(QColor(200, 10, 90)); },
                                  [&](TestApp& a) { static_cast<BackgroundPage*>(page(a, MainWindow::kBackground))->OnColor(); })},
        {"Transparency", {}, [&](TestApp& a, TestHooks&) {
           const bool clear = a.state->doc.currentStyle.backdropKind == kBackdropTransparent;
           static_cast<BackgroundPage*>(page(a, MainWindow::kBackground))->OnTransparent(!clear);
         }},
    };
    for (const auto& row : rows) {
      TestHooks hooks;
      TestApp app;
      if (row.prepare) row.prepare(app, hooks);
      app.sheet->history().Reset();
      const Saved before = Save(app.state->doc);
      row.change(app, hooks);
      const Saved after = Save(app.state->doc);
      QUndoStack& stack = app.sheet->history().stack();
      QVERIFY2(!(after == before) && stack.count() == 1 && app.state->doc.documentModified, qPrintable(row.step));
      QCOMPARE(stack.undoText(), row.step);
      stack.undo();
      QVERIFY2(Save(app.state->doc) == before && !app.state->doc.documentModified, qPrintable(row.step));
      stack.redo();
      QVERIFY2(Save(app.state->doc) == after, qPrintable(row.step));
    }
  }

  void aSliderDragIsOneStep() {
    TestApp app;
    app.sheet->SetActivePage(MainWindow::kMessage);
    app.sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(app.sheet.get()));
    auto* slider = app.sheet->messagePage().findChild<QSlider*>("sliderX");
    const Saved start = Save(app.state->doc);
    auto drag = [&](int fromX, int toX) {
      const int y = slider->height() / 2;
      auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(x, y), slider->mapToGlobal(QPointF(x, y)), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(slider, &e);
      };
      send(QEvent::MouseButtonPress, fromX, Qt::LeftButton);
      for (int x = fromX; x <= toX; x += 4) send(QEvent::MouseMove, x, Qt::LeftButton);
      send(QEvent::MouseButtonRelease, toX, Qt::NoButton);
    };
    drag(slider->width() / 3, slider->width() / 2);
    QCOMPARE(app.sheet->history().stack().count(), 1);
    const Saved first = Save(app.state->doc);
    QVERIFY(!(first == start));
    drag(slider->width() / 2, slider->width() * 3 / 4);
    QCOMPARE(app.sheet->history().stack().count(), 2);
    QCOMPARE(app.sheet->history().stack().undoText(), QString("Margin"));
    app.sheet->history().stack().undo();
    QVERIFY(Save(app.state->doc) == first);
    QCOMPARE(slider->value(), app.state->doc.extensionX);  // the page shows what was restored
    app.sheet->history().stack().undo();
    QVERIFY(Save(app.state->doc) == start);
  }

  void styleEditorStepsUndoOneByOne() {
    TestHooks hooks;
    TestApp app;
    const Saved start = Save(app.state->doc);
    QStringList steps;
    std::vector<Saved> states;
    hooks.onDialog = [&](QDialog& d) -> int {
      auto* editor = dynamic_cast<StyleEditorDialog*>(&d);
      if (!editor) return NudgeFirstSlider(d);  // an effect's own dialog
      auto note = [&] {
        steps << app.sheet->history().stack().undoText();
        states.push_back(Save(app.state->doc));
      };
      editor->AddEffect(OutLine), note();
      editor->AddEffect(DropShadow), note();
      editor->EditApplied(0), note();
      editor->MoveRecord(1, 0), note();
      editor->appliedList().setCurrentRow(0);
      editor->DeleteSelected(), note();
      // Undo inside the editor stops where it opened.
      for (int i = 0; i < 6; ++i) editor->UndoStep();
      if (!(Save(app.state->doc) == start)) return int(QDialog::Rejected);
      for (int i = 0; i < 5; ++i) editor->RedoStep();
      return int(QDialog::Accepted);
    };
    app.sheet->messagePage().OnEditStyle();
    QCOMPARE(steps, QStringList({"Add Outline", "Add Drop Shadow", "Outline offset y", "Move Outline",
                                 "Delete Drop Shadow"}));
    QCOMPARE(app.state->doc.message().effects.size(), size_t(1));
    // After the editor closed, the window's Undo walks the same steps back.
    QUndoStack& stack = app.sheet->history().stack();
    for (int i = int(states.size()) - 1; i >= 0; --i) {
      QVERIFY(Save(app.state->doc).file == states[size_t(i)].file);
      stack.undo();
    }
    QVERIFY(Save(app.state->doc) == start);

    // Cancel takes back every step the editor made.
    hooks.onDialog = [&](QDialog& d) -> int {
      auto* editor = dynamic_cast<StyleEditorDialog*>(&d);
      if (!editor) return int(QDialog::Accepted);
      editor->AddEffect(Fog);
      return int(QDialog::Rejected);
    };
    app.sheet->messagePage().OnEditStyle();
    QVERIFY(Save(app.state->doc) == start);
  }

  void standardShortcutsTriggerTheirActions() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    QVERIFY(QTest::qWaitForWindowActive(&sheet));
    // The menus show the platform's standard keys.
    for (auto [keys, action] : {std::pair{"Ctrl+N", "New"}, {"Ctrl+O", "Open Plq. File"}, {"Ctrl+S", "Save Plq. File"},
                                {"Ctrl+Shift+S", "Save Plq. File As"}, {"Ctrl+Q", "Exit"}, {"Ctrl+C", "Copy"},
                                {"Ctrl+Z", "Undo"}, {"Ctrl+Shift+Z", "Redo"}}) {
      QAction* a = ActionWith(sheet.menuBar(), QKeySequence(keys));
      QVERIFY2(a && a->text().startsWith(action), keys);
    }
    // Each key does what its menu entry does.
    app.state->doc.message().text = "Keys";
    sheet.history().Record("Typing");
    QTest::keySequence(&sheet, QKeySequence("Ctrl+Z"));
    QCOMPARE(app.state->doc.message().text, std::string("Quorbel!"));
    QTest::keySequence(&sheet, QKeySequence("Ctrl+Shift+Z"));
    QCOMPARE(app.state->doc.message().text, std::string("Keys"));
    QTest::keySequence(&sheet, QKeySequence("Ctrl+S"));  // untitled: asks for a name
    QTest::keySequence(&sheet, QKeySequence("Ctrl+Shift+S"));
    QTest::keySequence(&sheet, QKeySequence("Ctrl+O"));  // modified: asks first (Cancel)
    QCOMPARE(hooks.fileDialogTitles, QStringList({"Save Plq. File As", "Save Plq. File As"}));
    QCOMPARE(hooks.asked.size(), 1);
    QTest::keySequence(&sheet, QKeySequence("Ctrl+N"));
    QCOMPARE(hooks.asked.size(), 2);
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(&sheet, QKeySequence("Ctrl+C"));
    QCOMPARE(QGuiApplication::clipboard()->image().width(), app.state->ctx->image.Width());
    QTest::keySequence(&sheet, QKeySequence("Ctrl+Q"));  // asks; Cancel keeps the window
    QCOMPARE(hooks.asked.size(), 3);
    QVERIFY(sheet.isVisible());
  }

  void recentFilesAreKeptAcrossRuns() {
    ConfigHome home;
    testsupport::TempDir dir;
    TestHooks hooks;
    ProgramSettings prefs;
    prefs.reduceColorMethod = 1;
    QVERIFY(StorePreferences(prefs, PreferencesPath()));
    {
      TestApp app;
      for (const char* name : {"a", "b", "a"}) {
        hooks.fileNames = {QString::fromStdString(dir.file(name))};
        QVERIFY(app.sheet->SaveDocumentAs());
      }
      QVERIFY(app.sheet->statusBar()->currentMessage().startsWith("Saved "));
    }
    TestApp next;
    const std::vector<std::string> want = {dir.file("a.plq"), dir.file("b.plq")};
    QCOMPARE(next.sheet->recentFiles(), want);
    QCOMPARE(LoadPreferences(PreferencesPath()).reduceColorMethod, 1);  // the old keys stay
    auto* menu = next.sheet->menuBar()->findChild<QMenu*>("recentFiles");
    auto shown = [menu] {
      QList<QAction*> out;
      for (QAction* a : menu->actions())
        if (a->isVisible()) out << a;
      return out;
    };
    QCOMPARE(shown().size(), 2);
    QCOMPARE(shown()[1]->text(), QString("b.plq"));
    shown()[1]->trigger();
    QCOMPARE(next.state->doc.documentPath, dir.file("b.plq"));
    QCOMPARE(next.sheet->recentFiles().front(), dir.file("b.plq"));
    // A file that went away is told and dropped.
    std::filesystem::remove(dir.file("a.plq"));
    shown()[1]->trigger();
    QVERIFY(hooks.told.last().contains("a.plq"));
    QCOMPARE(next.sheet->recentFiles().size(), size_t(1));

    // The stored list: newest first, no repeats, at most eight, other keys kept.
    std::vector<std::string> many;
    for (int i = 0; i < 10; ++i) many.push_back("/f" + std::to_string(i % 9));
    QVERIFY(StoreRecentFiles(many, PreferencesPath()));
    const std::vector<std::string> kept = LoadRecentFiles(PreferencesPath());
    QCOMPARE(kept.size(), kMaxRecentFiles);
    QCOMPARE(kept.front(), std::string("/f0"));
    QCOMPARE(LoadPreferences(PreferencesPath()).reduceColorMethod, 1);
  }

  void shippedFilesAreNeverWritten() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    PlaquetDocument& doc = app.state->doc;
    const auto shipped = FolderBytes(doc.programFolder);
    QVERIFY(!shipped.empty());

    // An example opens as an untitled copy; Save asks for a name.
    auto* examples = app.sheet->tabs().widget(MainWindow::kExamples)->findChild<QListWidget*>();
    QVERIFY(examples && examples->count() > 0);
    examples->setCurrentRow(0);
    QVERIFY(doc.documentPath.empty());
    QCOMPARE(app.sheet->history().stack().count(), 0);
    app.sheet->messagePage().findChild<QPlainTextEdit*>("message")->setPlainText("Changed");
    hooks.fileNames = {QString::fromStdString(doc.programFolder + "neon.plq"), QString::fromStdString(dir.file("mine"))};
    QVERIFY(!app.sheet->SaveDocument());  // a name inside the program folder is refused
    QVERIFY(hooks.told.last().contains("read-only"));
    hooks.answers = {QMessageBox::Yes};   // Exit's question: Yes asks for a name too
    app.sheet->ExitProgram();
    QCOMPARE(hooks.asked.last(), QString("Save change to Untitled.plq"));
    QCOMPARE(doc.documentPath, dir.file("mine.plq"));

    // A shipped style chosen for the message and edited: saving it asks for a name.
    const std::string style = doc.programFolder + "golden.sty";
    QVERIFY(LoadStyleIntoItemChecked(doc, kMessageItem, style));
    doc.currentStyleFile = style;
    hooks.fileNames.clear();
    QVERIFY(!SaveStyleTo(*app.state, nullptr, style));
    QCOMPARE(hooks.fileDialogTitles.last(), QString("Save Style As"));
    // The writers themselves refuse the folder, whatever asks them.
    std::string error;
    QCOMPARE(WriteDocument(doc, doc.programFolder + "neon.plq", &error), -1);
    QCOMPARE(WriteStyleFile(doc, doc.programFolder + "../quorbel/golden.sty", &error), 0);
    QCOMPARE(FolderBytes(doc.programFolder), shipped);
  }

  void helpShowsInTheWindow() {
    TestApp app;
    app.sheet->ShowHelpContents();
    HelpWindow* help = app.sheet->helpWindow();
    QVERIFY(help && help->isVisible());
    QVERIFY(help->browser().toPlainText().contains("Quorbel makes small decorated pictures of text"));
  }
};

std::unique_ptr<QObject> MakeHistoryTests() { return std::make_unique<HistoryTests>(); }

#include "history_test.moc"
