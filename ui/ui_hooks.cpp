#include "ui/ui_hooks.h"

#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace {
UiHooks g_defaultHooks;
UiHooks* g_hooks = &g_defaultHooks;
}  // namespace

namespace {
// Qt's own file dialog opens at a size where the detail columns cut the names off: give it room
// and let the name column take what is left.
QString RunFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, false);
  dialog.resize(dialog.sizeHint().expandedTo(QSize(780, 460)));
  if (auto* tree = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}
}  // namespace

UiHooks& Hooks() { return *g_hooks; }
void SetHooks(UiHooks* hooks) { g_hooks = hooks ? hooks : &g_defaultHooks; }

QString UiHooks::GetOpenFileName(QWidget* parent, const QString& title, const QString& filter) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog);
}

QString UiHooks::GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultName, bool overwritePrompt) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.selectFile(defaultName);
  return RunFileDialog(dialog);
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
