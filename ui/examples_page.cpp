#include "ui/examples_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "document/document_file.h"
#include "document/style_file.h"
#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

ExamplesPage::ExamplesPage(AppState& state, MainWindow& sheet) : PlaquetPage(state, sheet) {
  list_ = new QListWidget;
  list_->setObjectName("examples");
  auto* group = new QGroupBox("Select Example");
  auto* gl = new QVBoxLayout(group);
  gl->addWidget(new QLabel("Example list"));
  gl->addWidget(list_, 1);
  for (const char* text : {"Select your favorite PLQ file. The appropriate preview will appear window below.",
                           "If you want to change message, background, bullet goto Message, Background, Bullet "
                           "page respectively.",
                           "And then goto Save page to select file type and save."}) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    gl->addWidget(label);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    if (!filling_) OnSelected();
  });
  FillList();
}

void ExamplesPage::FillList() {
  filling_ = true;
  list_->clear();
  const std::vector<std::string> names = ListFilesMatching(state_.doc.programFolder + "*.plq");
  for (const std::string& n : names) list_->addItem(QString::fromStdString(n));
  const int at = showNone_ ? -1 : ReselectIndex(names, remembered_);
  if (at >= 0) list_->setCurrentRow(at);
  filling_ = false;
}

void ExamplesPage::ClearSelection() {
  showNone_ = true;
  const QSignalBlocker block(list_);
  list_->setCurrentRow(-1);
}

void ExamplesPage::OnSetActive() { FillList(); }

void ExamplesPage::OpenStartExample() {
  showNone_ = false;
  FillList();
  if (list_->currentItem() && !state_.doc.documentModified) OnSelected();
}

void ExamplesPage::OnSelected() {
  QListWidgetItem* item = list_->currentItem();
  if (!item) return;
  PlaquetDocument& doc = state_.doc;
  if (doc.documentModified) {
    const QString name = doc.documentPath.empty() ? QString("Untitled.plq") : QString::fromStdString(doc.documentPath);
    const auto answer = Hooks().Ask(this, "Warning!", "Save change to " + name,
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    // Cancel, or a save that did not happen, keeps the document and its unsaved mark.
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !sheet_.SaveDocument())) {
      FillList();
      return;
    }
  }
  remembered_ = item->text().toStdString();
  showNone_ = false;
  const std::string path = doc.programFolder + remembered_;
  // Read into a copy: a broken file must leave the open document as it was.
  PlaquetDocument read = doc;
  std::string error;
  if (!ReadDocumentFileChecked(read, path, &error)) {
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": " + QString::fromStdString(error));
    return;
  }
  doc = std::move(read);
  doc.documentModified = false;
  sheet_.DocumentOpened();
  doc.previewDirty = true;
  // The preview renders, and reports a render the engine refuses.
  sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
}
