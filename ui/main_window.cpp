#include "ui/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenuBar>
#include <QFileInfo>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "document/document_file.h"
#include "document/preferences.h"
#include "document/text_file_io.h"
#include "engine/render_pipeline.h"
#include "ui/app_state.h"
#include "ui/background_page.h"
#include "ui/batch_page.h"
#include "ui/bullet_page.h"
#include "ui/dib_qimage.h"
#include "ui/document_history.h"
#include "ui/drop_handler.h"
#include "ui/examples_page.h"
#include "ui/help_window.h"
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

// The platform's key for a standard command; some platforms leave Save As or Quit without one.
QKeySequence StandardKeys(QKeySequence::StandardKey key, const char* fallback) {
  const QKeySequence keys(key);
  return keys.isEmpty() ? QKeySequence(fallback) : keys;
}
}  // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setWindowTitle("Quorbel 1.4");
  history_ = new DocumentHistory(state.doc, this);
  connect(history_, &DocumentHistory::restored, this, &MainWindow::OnHistoryRestored);
  recent_ = LoadRecentFiles(state.preferencesPath);
  tabs_ = new QTabWidget;
  tabs_->setObjectName("pages");
  messagePage_ = new MessagePage(state, *this);
  savePage_ = new SavePage(state, *this);
  batchPage_ = new BatchPage(state, *this);
  pages_ = {
      new ExamplesPage(state, *this),
      messagePage_,
      new BackgroundPage(state, *this),
      new BulletPage(state, *this),
      savePage_,
      batchPage_,
      new ToImagePage(state, *this),
  };
  const char* titles[kPageCount] = {"Examples", "Message", "Background", "Bullet",
                                    "Save Plaquet", "Batch Creation", "to Image"};
  for (int i = 0; i < kPageCount; ++i) {
    // A page taller than a small (or doubly scaled) screen scrolls instead of growing the window.
    auto* scroll = new QScrollArea;
    scroll->setWidget(pages_[size_t(i)]);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    tabs_->addTab(scroll, titles[i]);
  }

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
  // The start size, kept within the screen's free area (a title bar and a panel take some too).
  QSize size(660, 760);
  if (const QScreen* shown = screen()) {
    const QSize room = shown->availableGeometry().size() - QSize(16, 48);
    size = size.boundedTo(room).expandedTo(minimumSizeHint());
  }
  resize(size);
  splitter->setSizes({size.height() * 47 / 76, size.height() * 29 / 76});
  new DropHandler(*this);

  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::OnPageChanged);
  static_cast<ExamplesPage*>(pages_[kExamples])->ClearSelection();
  pages_[0]->OnSetActive();
  preview_->SelectPreviewTab(PreviewWindow::kImage);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("File");
  file->addAction("New", StandardKeys(QKeySequence::New, "Ctrl+N"), this, &MainWindow::NewDocument);
  file->addAction("Open Plq. File", StandardKeys(QKeySequence::Open, "Ctrl+O"), this, &MainWindow::OpenDocument);
  recentMenu_ = file->addMenu("Recent Files");
  recentMenu_->setObjectName("recentFiles");
  FillRecentMenu();
  file->addAction("Save Plq. File", StandardKeys(QKeySequence::Save, "Ctrl+S"), this, &MainWindow::SaveDocument);
  file->addAction("Save Plq. File As", StandardKeys(QKeySequence::SaveAs, "Ctrl+Shift+S"), this, &MainWindow::SaveDocumentAs);
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
  file->addAction("Exit", StandardKeys(QKeySequence::Quit, "Ctrl+Q"), this, &MainWindow::ExitProgram);

  QMenu* edit = menuBar()->addMenu("Edit");
  QAction* undo = history_->stack().createUndoAction(this, "Undo");
  undo->setShortcuts(QKeySequence::Undo);
  if (undo->shortcut().isEmpty()) undo->setShortcut(QKeySequence("Ctrl+Z"));
  QAction* redo = history_->stack().createRedoAction(this, "Redo");
  redo->setShortcuts(QKeySequence::Redo);
  if (redo->shortcut().isEmpty()) redo->setShortcut(QKeySequence("Ctrl+Shift+Z"));
  edit->addAction(undo);
  edit->addAction(redo);
  edit->addSeparator();
  edit->addAction("Copy", StandardKeys(QKeySequence::Copy, "Ctrl+C"), this, &MainWindow::CopyImage);
  edit->addSeparator();
  edit->addAction("Preferences", this, &MainWindow::ShowPreferences);

  QMenu* help = menuBar()->addMenu("Help");
  help->addAction("Contents", StandardKeys(QKeySequence::HelpContents, "F1"), this, &MainWindow::ShowHelpContents);
  help->addAction("More fonts && textures", this, [] { QDesktopServices::openUrl(QUrl(kLinkPage)); });
  help->addAction("More example files", this, [] { QDesktopServices::openUrl(QUrl(kGalleryPage)); });
  help->addSeparator();
  help->addAction("About", this, &MainWindow::ShowAbout);
}

void MainWindow::FillRecentMenu() {
  // The entries are made once and relabelled: an entry may be the one being triggered.
  if (recentMenu_->actions().isEmpty()) {
    for (size_t i = 0; i < kMaxRecentFiles; ++i) {
      QAction* a = recentMenu_->addAction(QString());
      connect(a, &QAction::triggered, this, [this, a] { OpenRecentFile(a->data().toString()); });
    }
  }
  const QList<QAction*> entries = recentMenu_->actions();
  for (qsizetype i = 0; i < entries.size(); ++i) {
    QAction* a = entries[i];
    const bool used = size_t(i) < recent_.size();
    const QString path = used ? QString::fromStdString(recent_[size_t(i)]) : QString();
    a->setText(QFileInfo(path).fileName());
    a->setData(path);
    a->setToolTip(path);
    a->setStatusTip(path);
    a->setVisible(used);
  }
  recentMenu_->setEnabled(!recent_.empty());
}

void MainWindow::AddRecentFile(const std::string& path) {
  std::error_code ec;
  const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
  const std::string& kept = ec ? path : full;
  std::erase(recent_, kept);
  recent_.insert(recent_.begin(), kept);
  if (recent_.size() > kMaxRecentFiles) recent_.resize(kMaxRecentFiles);
  // The list is a convenience: a profile that can't be written must not stop the work.
  StoreRecentFiles(recent_, state_.preferencesPath);
  FillRecentMenu();
}

void MainWindow::OpenRecentFile(const QString& path) {
  if (!AskSaveChanges()) return;
  if (!QFileInfo(path).isFile()) {
    Hooks().Tell(this, "Error!", path + ": the file no longer exists");
    std::erase(recent_, path.toStdString());
    StoreRecentFiles(recent_, state_.preferencesPath);
    FillRecentMenu();
    return;
  }
  OpenDocumentFile(path);
}

void MainWindow::OnHistoryRestored() {
  // The style editor shows its own picture of the one item it edits.
  if (history_->pageRefreshHeld()) return;
  if (currentPage_ >= 0 && currentPage_ < kPageCount) pages_[size_t(currentPage_)]->OnSetActive();
  RenderAndRefresh();
}

void MainWindow::DocumentOpened() {
  PlaquetDocument& doc = state_.doc;
  const bool shipped = IsInsideFolder(doc.documentPath, doc.programFolder);
  if (shipped) doc.documentPath.clear();
  history_->Reset();
  if (!shipped && !doc.documentPath.empty()) AddRecentFile(doc.documentPath);
}

void MainWindow::SetActivePage(int index) { tabs_->setCurrentIndex(index); }

void MainWindow::OnPageChanged(int index) {
  if (currentPage_ >= 0 && currentPage_ < kPageCount) pages_[size_t(currentPage_)]->OnKillActive();
  currentPage_ = index;
  if (index >= 0 && index < kPageCount) pages_[size_t(index)]->OnSetActive();
}

void MainWindow::RenderAndRefresh() {
  preview_->Render();
  preview_->UpdatePreview();
}

bool MainWindow::AskSaveChanges() {
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

void MainWindow::NewDocument() {
  if (!AskSaveChanges()) return;
  PlaquetDocument& doc = state_.doc;
  doc.backdropColour = 0xFFFFFF;
  doc.currentStyle.backdropColour = 0xFFFFFF;
  doc.documentModified = false;
  doc.message().font = StartFont();
  doc.ResetCurrentStyle();
  doc.NewDocumentDefaults();
  doc.documentPath.clear();
  history_->Reset();
  static_cast<ExamplesPage*>(pages_[kExamples])->ClearSelection();
  RenderAndRefresh();
  preview_->SelectPreviewTab(PreviewWindow::kText);
  SetActivePage(kExamples);
}

void MainWindow::OpenDocument() {
  if (!AskSaveChanges()) return;
  state_.doc.documentModified = false;
  const QString path = Hooks().GetOpenFileName(this, "Open Plq. File", kDocumentFilter);
  if (path.isEmpty()) return;
  OpenDocumentFile(path);
}

void MainWindow::OpenDocumentFile(const QString& path) {
  // Read into a copy: a broken file (or one naming a refused texture) leaves the open document as it was.
  PlaquetDocument read = state_.doc;
  std::string error;
  if (!ReadDocumentFileChecked(read, path.toStdString(), &error)) {
    Hooks().Tell(this, "Error!", path + ": " + QString::fromStdString(error));
    return;
  }
  state_.doc = std::move(read);
  state_.doc.documentModified = false;
  state_.doc.previewDirty = true;
  static_cast<ExamplesPage*>(pages_[kExamples])->ClearSelection();
  preview_->SelectPreviewTab(PreviewWindow::kImage);
  SetActivePage(kExamples);
  DocumentOpened();
}

bool MainWindow::SaveDocument() {
  const std::string& path = state_.doc.documentPath;
  // A shipped file is never written back: it gets a name of the user's first.
  if (path.empty() || IsInsideFolder(path, state_.doc.programFolder)) return SaveDocumentAs();
  return WriteDocumentAt(QString::fromStdString(path));
}

bool MainWindow::SaveDocumentAs() {
  const QString path = Hooks().GetSaveFileName(this, "Save Plq. File As", kDocumentFilter, "Untitled.plq", true);
  if (path.isEmpty()) return false;
  return WriteDocumentAt(path);
}

bool MainWindow::WriteDocumentAt(const QString& path) {
  std::string error;
  if (WriteDocument(state_.doc, path.toStdString(), &error) != 0) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + path + ": " + QString::fromStdString(error));
    return false;
  }
  history_->MarkSaved();
  state_.doc.documentModified = false;
  AddRecentFile(state_.doc.documentPath);
  ShowSaved(state_.doc.documentPath);
  return true;
}

void MainWindow::ShowSaved(const std::string& path) {
  statusBar()->showMessage("Saved " + QString::fromStdString(path), 5000);
}

bool MainWindow::RefuseShipped(const std::string& path) {
  if (!IsInsideFolder(path, state_.doc.programFolder)) return true;
  Hooks().Tell(this, "Error!", "Cannot save file!\n" + QString::fromStdString(path) + ": " + kShippedFileReason);
  return false;
}

void MainWindow::ExitProgram() {
  if (!AskSaveChanges()) return;
  closing_ = true;
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window asks as Exit does, so that an edited document is not lost unasked.
  if (!closing_ && !AskSaveChanges()) {
    event->ignore();
    return;
  }
  closing_ = true;
  event->accept();
}

void MainWindow::CopyImage() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  clipboard->setImage(DibToQImage(state_.ctx->image));
  QApplication::restoreOverrideCursor();
}

void MainWindow::ShowPreferences() {
  PreferencesDialog dialog(state_, this);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return;
  state_.doc.previewDirty = true;
  preview_->SelectPreviewTab(PreviewWindow::kImage);
}

void MainWindow::ShowHelpContents() {
  // Our own window rather than a web browser: it works where none is installed, and the help
  // sits beside the program it explains.
  if (!help_) {
    help_ = new HelpWindow(QString::fromStdString(state_.doc.programFolder + "help/main.htm"), this);
    help_->setObjectName("helpWindow");
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void MainWindow::ShowAbout() {
  QMessageBox box(QMessageBox::Information, "About Quorbel",
                  "Quorbel\nVersion 1.4.00\n\nDecorated pictures of text: headings, web buttons and banners.",
                  QMessageBox::Ok, this);
  Hooks().Exec(box);
}
