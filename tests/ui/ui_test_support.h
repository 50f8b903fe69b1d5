#pragma once
// Answers the application's dialogs for the tests and records what it was asked.
#include <QAbstractButton>
#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/ui_hooks.h"

class TestHooks : public UiHooks {
 public:
  TestHooks() { SetHooks(this); }
  ~TestHooks() override { SetHooks(nullptr); }

  std::deque<QString> fileNames;                       // answers to open and save dialogs
  std::deque<QMessageBox::StandardButton> answers;     // answers to questions
  std::function<int(QDialog&)> onDialog;               // runs modal dialogs; default: reject
  QStringList asked, told, dialogTitles, fileDialogTitles;

  QString GetOpenFileName(QWidget*, const QString& title, const QString&) override { return NextName(title); }
  QString GetSaveFileName(QWidget*, const QString& title, const QString&, const QString&, bool) override {
    return NextName(title);
  }
  QMessageBox::StandardButton Ask(QWidget*, const QString&, const QString& text, QMessageBox::StandardButtons,
                                  QMessageBox::Icon) override {
    asked << text;
    if (answers.empty()) return QMessageBox::Cancel;
    const auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void Tell(QWidget*, const QString& title, const QString& text, QMessageBox::Icon) override {
    told << title + "|" + text;
  }
  int Exec(QDialog& dialog) override {
    dialogTitles << dialog.windowTitle();
    return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
  }

 private:
  QString NextName(const QString& title) {
    fileDialogTitles << title;
    if (fileNames.empty()) return QString();
    QString n = fileNames.front();
    fileNames.pop_front();
    return n;
  }
};

// The button or check box showing this text, or null.
inline QAbstractButton* ButtonNamed(QWidget& parent, const QString& text) {
  for (QAbstractButton* b : parent.findChildren<QAbstractButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// The application as it starts, with a fixed seed.
struct TestApp {
  std::unique_ptr<AppState> state = MakeStartUpState(7);
  std::unique_ptr<MainWindow> sheet = std::make_unique<MainWindow>(*state);
};
