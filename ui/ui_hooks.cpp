#include "ui/ui_hooks.h"

#include <QDialog>
#include <QFileDialog>

namespace {
UiHooks g_defaultHooks;
UiHooks* g_hooks = &g_defaultHooks;
}  // namespace

UiHooks& Hooks() { return *g_hooks; }
void SetHooks(UiHooks* hooks) { g_hooks = hooks ? hooks : &g_defaultHooks; }

QString UiHooks::GetOpenFileName(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString UiHooks::GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultName, bool overwritePrompt) {
  return QFileDialog::getSaveFileName(parent, title, defaultName, filter, nullptr,
                                      overwritePrompt ? QFileDialog::Options()
                                                      : QFileDialog::DontConfirmOverwrite);
}

QMessageBox::StandardButton UiHooks::Ask(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
  QMessageBox box(icon, title, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void UiHooks::Tell(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

int UiHooks::Exec(QDialog& dialog) { return dialog.exec(); }
