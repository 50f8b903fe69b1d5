#include "ui/main_property.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenuBar>
#include <QSplitter>
#include <QTabWidget>
#include <QUrl>

#include "document/document_file.h"
#include "document/preferences.h"
#include "engine/render_pipeline.h"
#include "ui/app_state.h"
#include "ui/background_page.h"
#include "ui/batch_page.h"
#include "ui/bullet_page.h"
#include "ui/dib_qimage.h"
#include "ui/examples_page.h"
#include "ui/message_page.h"
#include "ui/preferences_dialog.h"
#include "ui/preview_window.h"
#include "ui/save_page.h"
#include "ui/to_image_page.h"
#include "ui/ui_hooks.h"

namespace {
const char* kDocumentFilter = "Plaquet File(*.plq) (*.plq);;All Files(*.*) (*)";
const char* kLinkPage = "https://github.com/topics/font-rendering";
const char* kGalleryPage = "https://github.com/topics/text-effects";
}  // namespace

CMainProperty::CMainProperty(AppState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setWindowTitle("Quorbel 1.4");
  tabs_ = new QTabWidget;
  tabs_->setObjectName("pages");
  messagePage_ = new CCPlaqFont(state, *this);
  savePage_ = new CCPlaqSave(state, *this);
  batchPage_ = new CBatchPage(state, *this);
  pages_ = {
      new CPlaqExample(state, *this),
      messagePage_,
      new CPlaqBgd(state, *this),
      new CPlaqBulletin(state, *this),
      savePage_,
      batchPage_,
      new CPlaqImage(state, *this),
  };
  const char* titles[kPageCount] = {"Examples", "Message", "Background", "Bullet",
                                    "Save Plaquet", "Batch Creation", "to Image"};
  for (int i = 0; i < kPageCount; ++i) tabs_->addTab(pages_[size_t(i)], titles[i]);

  preview_ = new PreviewWindow(state);
  preview_->setObjectName("preview");
  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(tabs_);
  splitter->addWidget(preview_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  setCentralWidget(splitter);
  BuildMenus();
  resize(660, 760);
  splitter->setSizes({470, 290});

  connect(tabs_, &QTabWidget::currentChanged, this, &CMainProperty::OnPageChanged);
  pages_[0]->OnSetActive();
  preview_->SelectPreviewTab(PreviewWindow::kImage);
}

void CMainProperty::BuildMenus() {
  QMenu* file = menuBar()->addMenu("File");
  file->addAction("New", this, &CMainProperty::NewDocument);
  file->addAction("Open Plq. File", this, &CMainProperty::OpenDocument);
  file->addAction("Save Plq. File", this, &CMainProperty::SaveDocument);
  file->addAction("Save Plq. File As", this, &CMainProperty::SaveDocumentAs);
  file->addSeparator();
  file->addAction("Save Image", this, [this] { SetActivePage(kSave); });
  file->addSeparator();
  file->addAction("Open Batch Text List", this, [this] {
    SetActivePage(kBatch);
    batchPage_->Load();
  });
  file->addAction("Save Batch Text List", this, [this] {
    SetActivePage(kBatch);
    batchPage_->Save();
  });
  file->addAction("Save As Batch Text List", this, [this] {
    SetActivePage(kBatch);
    batchPage_->SaveAs();
  });
  file->addSeparator();
  file->addAction("Exit", this, &CMainProperty::ExitProgram);

  QMenu* edit = menuBar()->addMenu("Edit");
  QAction* undo = edit->addAction("Undo");
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  undo->setEnabled(false);
  edit->addSeparator();
  edit->addAction("Copy", this, &CMainProperty::CopyImage);
  edit->addSeparator();
  edit->addAction("Preferences", this, &CMainProperty::ShowPreferences);

  QMenu* help = menuBar()->addMenu("Help");
  help->addAction("Contents", this, &CMainProperty::ShowHelpContents);
  help->addAction("More fonts && textures", this, [] { QDesktopServices::openUrl(QUrl(kLinkPage)); });
  help->addAction("More example files", this, [] { QDesktopServices::openUrl(QUrl(kGalleryPage)); });
  help->addSeparator();
  help->addAction("About", this, &CMainProperty::ShowAbout);
}

void CMainProperty::SetActivePage(int index) { tabs_->setCurrentIndex(index); }

void CMainProperty::OnPageChanged(int index) {
  if (currentPage_ >= 0 && currentPage_ < kPageCount) pages_[size_t(currentPage_)]->OnKillActive();
  currentPage_ = index;
  if (index >= 0 && index < kPageCount) pages_[size_t(index)]->OnSetActive();
}

void CMainProperty::RenderAndRefresh() {
  QApplication::setOverrideCursor(Qt::BusyCursor);
  RenderPreview(state_.doc, *state_.ctx);
  QApplication::restoreOverrideCursor();
  preview_->UpdatePreview();
}

bool CMainProperty::AskSaveChanges() {
  if (!state_.doc.documentModified) return true;
  const QString name = state_.doc.documentPath.empty() ? QString("Untitled.plq")
                                                       : QString::fromStdString(state_.doc.documentPath);
  const auto answer = Hooks().Ask(this, "Warning!", "Save change to " + name,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Warning);
  if (answer == QMessageBox::Cancel) return false;
  // A save that did not happen keeps the document: dropping it would lose the user's work.
  if (answer == QMessageBox::Yes) return SaveDocument();
  return true;
}

void CMainProperty::NewDocument() {
  if (!AskSaveChanges()) return;
  PlaquetDocument& doc = state_.doc;
  doc.backdropColour = 0xFFFFFF;
  doc.currentStyle.backdropColour = 0xFFFFFF;
  doc.documentModified = 0;
  doc.message().font = StartFont();
  doc.ResetCurrentStyle();
  doc.NewDocumentDefaults();
  doc.documentPath.clear();
  RenderAndRefresh();
  preview_->SelectPreviewTab(PreviewWindow::kText);
  SetActivePage(kExamples);
}

void CMainProperty::OpenDocument() {
  if (!AskSaveChanges()) return;
  state_.doc.documentModified = 0;
  const QString path = Hooks().GetOpenFileName(this, "Open Plq. File", kDocumentFilter);
  if (path.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  std::string error;
  const bool ok = ReadDocumentFileChecked(state_.doc, path.toStdString(), &error);
  state_.doc.previewDirty = 1;
  RenderPreview(state_.doc, *state_.ctx);
  QApplication::restoreOverrideCursor();
  preview_->SelectPreviewTab(PreviewWindow::kImage);
  SetActivePage(kExamples);
  if (!ok) Hooks().Tell(this, "Error!", path + ": " + QString::fromStdString(error));
}

bool CMainProperty::SaveDocument() {
  if (state_.doc.documentPath.empty()) return SaveDocumentAs();
  std::string error;
  if (WriteDocument(state_.doc, state_.doc.documentPath, &error) != 0) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + QString::fromStdString(state_.doc.documentPath) +
                                     ": " + QString::fromStdString(error));
    return false;
  }
  return true;
}

bool CMainProperty::SaveDocumentAs() {
  const QString path = Hooks().GetSaveFileName(this, "Save Plq. File As", kDocumentFilter, "Untitled.plq", true);
  if (path.isEmpty()) return false;
  std::string error;
  if (WriteDocument(state_.doc, path.toStdString(), &error) != 0) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + path + ": " + QString::fromStdString(error));
    return false;
  }
  return true;
}

void CMainProperty::ExitProgram() {
  if (!AskSaveChanges()) return;
  closing_ = true;
  close();
}

void CMainProperty::closeEvent(QCloseEvent* event) {
  // Closing the window asks as Exit does, so that an edited document is not lost unasked.
  if (!closing_ && !AskSaveChanges()) {
    event->ignore();
    return;
  }
  closing_ = true;
  event->accept();
}

void CMainProperty::CopyImage() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  clipboard->setImage(DibToQImage(state_.ctx->image));
  QApplication::restoreOverrideCursor();
}

void CMainProperty::ShowPreferences() {
  PreferencesDialog dialog(state_, this);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return;
  state_.doc.previewDirty = 1;
  preview_->SelectPreviewTab(PreviewWindow::kImage);
}

void CMainProperty::ShowHelpContents() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(state_.doc.programFolder + "help/main.htm")));
}

void CMainProperty::ShowAbout() {
  QMessageBox box(QMessageBox::Information, "About Quorbel",
                  "Quorbel\nVersion 1.4.00\n\nDecorated pictures of text: headings, web buttons and banners.",
                  QMessageBox::Ok, this);
  Hooks().Exec(box);
}
