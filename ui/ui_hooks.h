#pragma once
// The file dialogs and questions of the application go through one object, so that a test can
// answer them without a person at the screen.
#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

class UiHooks {
 public:
  virtual ~UiHooks() = default;
  // Empty when cancelled. filter uses Qt's ";;" form.
  virtual QString GetOpenFileName(QWidget* parent, const QString& title, const QString& filter);
  // overwritePrompt: the dialog asks before replacing an existing file.
  virtual QString GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& defaultName, bool overwritePrompt);
  virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::Icon icon = QMessageBox::Warning);
  // Runs a modal dialog of the application: its result code.
  virtual int Exec(QDialog& dialog);
  virtual void Tell(QWidget* parent, const QString& title, const QString& text,
                    QMessageBox::Icon icon = QMessageBox::Critical);
};

// The hooks in use; the real dialogs unless a test installed its own (not owned).
UiHooks& Hooks();
void SetHooks(UiHooks* hooks);
