#include "ui/batch_page.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/session.h"
#include "document/batch_list.h"
#include "document/string_list.h"
#include "document/text_file_io.h"
#include "document/style_file.h"
#include "app/batch_run.h"
#include "engine/render_pipeline.h"
#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/save_dialogs.h"
#include "ui/text_convert.h"
#include "ui/ui_hooks.h"

namespace {
const char* kListFilter = "Text List file(*.BLT) (*.BLT *.blt);;All Files(*.*) (*)";

QPushButton* Button(const char* label, const char* name) {
  auto* b = new QPushButton(label);
  b->setObjectName(name);
  return b;
}

}  // namespace

BatchPage::BatchPage(AppState& state, MainWindow& sheet) : PlaquetPage(state, sheet) {
  edit_ = new QPlainTextEdit;
  edit_->setObjectName("batchString");
  edit_->setMaximumHeight(70);
  list_ = new QListWidget;
  list_->setObjectName("batchList");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  combo_ = new QComboBox;
  combo_->setObjectName("fileType");
  FillFileTypeCombo(*combo_);
  fileOption_ = Button("File Option", "fileOption");
  QPushButton* add = Button("Add to Batch List", "add");
  QPushButton* newList = Button("New", "new");
  QPushButton* load = Button("Load", "load");
  QPushButton* save = Button("Save", "save");
  QPushButton* saveAs = Button("Save As", "saveAs");
  QPushButton* remove = Button("Delete", "delete");
  QPushButton* saveImages = Button("Save Images", "saveImages");

  for (const char* label : {"16 Color GIF", "256 Color GIF", "JPG(true color)", "Windows BMP", "PNG(true color)",
                            "PNG(256color)"}) {
    auto* r = new QRadioButton(label, this);
    r->setEnabled(false);
    r->hide();
  }

  auto* stringBox = new QGroupBox("Batch String Creation");
  auto* stringLayout = new QHBoxLayout(stringBox);
  stringLayout->addWidget(edit_, 1);
  stringLayout->addWidget(add, 0, Qt::AlignTop);

  auto* listButtons = new QVBoxLayout;
  for (QPushButton* b : {newList, load, save, saveAs, remove}) listButtons->addWidget(b);
  listButtons->addStretch(1);
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(listButtons);

  auto* typeBox = new QGroupBox("File type");
  auto* typeLayout = new QHBoxLayout(typeBox);
  typeLayout->addWidget(combo_, 1);
  typeLayout->addWidget(fileOption_);
  typeLayout->addWidget(saveImages);

  auto* batchBox = new QGroupBox("Batch Creation");
  auto* batchLayout = new QVBoxLayout(batchBox);
  batchLayout->addWidget(stringBox);
  batchLayout->addLayout(listRow, 1);
  batchLayout->addWidget(typeBox);
  (new QVBoxLayout(this))->addWidget(batchBox);

  edit_->setPlainText(ToEditText(state.doc.message().text));
  connect(edit_, &QPlainTextEdit::textChanged, this, &BatchPage::OnStringEdited);
  connect(add, &QPushButton::clicked, this, &BatchPage::AddToList);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { EditString(list_->row(item)); });
  connect(remove, &QPushButton::clicked, this, &BatchPage::DeleteSelected);
  connect(newList, &QPushButton::clicked, this, &BatchPage::NewList);
  connect(load, &QPushButton::clicked, this, &BatchPage::Load);
  connect(save, &QPushButton::clicked, this, &BatchPage::Save);
  connect(saveAs, &QPushButton::clicked, this, &BatchPage::SaveAs);
  connect(combo_, &QComboBox::activated, this, &BatchPage::OnComboChanged);
  connect(fileOption_, &QPushButton::clicked, this, &BatchPage::FileOption);
  connect(saveImages, &QPushButton::clicked, this, &BatchPage::SaveImages);
}

void BatchPage::ShowList() {
  list_->clear();
  for (const std::string& s : state_.batchList) list_->addItem(ToEditText(s));
}

void BatchPage::OnSetActive() {
  {
    const QSignalBlocker block(edit_);
    edit_->setPlainText(ToEditText(state_.doc.message().text));
  }
  const int row = ComboRowForType(state_.outputFileType);
  if (row >= 0) {
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(row);
  }
  fileOption_->setEnabled(state_.outputFileType == Jpeg);
  ShowList();
}

void BatchPage::OnKillActive() {
  if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
  sheet_.preview().UpdatePreview();
}

void BatchPage::OnStringEdited() {
  state_.doc.message().text = FromEditText(edit_->toPlainText(), kMaxText);
  state_.ctx->in.renderText = state_.doc.message().text;
  state_.doc.previewDirty = true;
  sheet_.preview().UpdatePreview();
}

void BatchPage::AddToList() {
  state_.batchList.push_back(FromEditText(edit_->toPlainText(), kMaxBatchString));
  ShowList();
  edit_->clear();
  edit_->setFocus();
}

void BatchPage::EditString(int row) {
  if (row < 0 || size_t(row) >= state_.batchList.size()) return;
  QDialog dialog(this);
  dialog.setWindowTitle("Edit String");
  auto* edit = new QPlainTextEdit(ToEditText(state_.batchList[size_t(row)]));
  edit->setObjectName("editString");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return;
  state_.batchList[size_t(row)] = FromEditText(edit->toPlainText(), kMaxBatchString);
  ShowList();
}

void BatchPage::DeleteSelected() {
  for (int i = list_->count() - 1; i >= 0; --i)
    if (list_->item(i)->isSelected() && size_t(i) < state_.batchList.size())
      state_.batchList.erase(state_.batchList.begin() + i);
  ShowList();
}

void BatchPage::NewList() {
  const auto answer = Hooks().Ask(this, "Warning!",
                                  QString("Save changes to %1?").arg(QString::fromStdString(state_.batchListPath)),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return;
  // An unsaved list is named through Save, and a failed save keeps the list.
  if (answer == QMessageBox::Yes && !Save()) return;
  state_.batchListPath = "untitled.blt";
  state_.batchList.clear();
  ShowList();
}

void BatchPage::Load() {
  const QString path = Hooks().GetOpenFileName(this, "Open Batch Text List", kListFilter);
  if (!path.isEmpty()) LoadFile(path.toStdString());
}

bool BatchPage::LoadFile(const std::string& path) {
  constexpr std::streamoff kMaxListBytes = 64 << 20;
  std::string error;
  std::ifstream in;
  std::string text;
  if (OpenTextFile(path, in, &error)) {
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > kMaxListBytes) error = "the list is larger than 64 MiB";
    else text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (error.empty() && in.bad()) error = "cannot read the list";
  }
  std::vector<std::string> list;
  // Told by content, as the command line does: a batch list, or plain text with one string a line.
  const bool batchFormat = error.empty() && LooksLikeBatchList(text);
  if (batchFormat) ReadBatchList(path, list, &error, nullptr, state_.doc.message().font.charSet);
  else if (error.empty()) list = ParseStringList(text).strings;
  if (!error.empty()) {
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": " + QString::fromStdString(error));
    return false;
  }
  // A plain list keeps its own format: saving asks for a batch list name instead of replacing it.
  state_.batchListPath = batchFormat ? path : "untitled.blt";
  state_.batchList = std::move(list);
  ShowList();
  return true;
}

bool BatchPage::WriteList(const std::string& path) {
  if (!sheet_.RefuseShipped(path)) return false;
  std::string error;
  if (!WriteBatchList(path, state_.batchList, &error)) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + QString::fromStdString(path) + ": " +
                                     QString::fromStdString(error));
    return false;
  }
  state_.batchListPath = path;
  sheet_.ShowSaved(path);
  return true;
}

bool BatchPage::Save() {
  std::string path = state_.batchListPath;
  if (path == "untitled.blt") {
    const QString chosen = Hooks().GetSaveFileName(this, "Save Batch Text List", kListFilter, QString(), true);
    if (chosen.isEmpty()) return false;
    path = WithExtension(chosen.toStdString(), ".blt");
  }
  return WriteList(path);
}

bool BatchPage::SaveAs() {
  const QString chosen = Hooks().GetSaveFileName(this, "Save As Batch Text List", kListFilter, QString(), true);
  if (chosen.isEmpty()) return false;
  return WriteList(chosen.toStdString());
}

void BatchPage::OnComboChanged(int row) {
  const int type = TypeForComboRow(row);
  state_.outputFileType = ImageFileType(type);
  fileOption_->setEnabled(type == Jpeg);
  if (type == GifThroughConverter) return;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
  RenderForType(state_.doc, *state_.ctx, state_.CurrentSaveSettings());
  QApplication::restoreOverrideCursor();
  sheet_.preview().UpdatePreview();
}

void BatchPage::FileOption() {
  FileOptionDialog dialog(state_, this);
  Hooks().Exec(dialog);
}

void BatchPage::SaveImages() {
  const std::string keptText = state_.doc.message().text;
  const int type = state_.outputFileType;
  const QString chosen = Hooks().GetSaveFileName(this, "Save Images", QString(), QString(), false);
  if (chosen.isEmpty()) return;

  BatchOptions options;
  options.base = BaseName(chosen.toStdString());
  options.save = state_.CurrentSaveSettings();
  options.seed = state_.ctx->random.Next();
  options.jobs = int(std::max(1u, std::thread::hardware_concurrency()));
  const ProgramSettings prefs = state_.ctx->settings;
  const PlaquetDocument& doc = state_.doc;
  options.prepareContext = [&doc, prefs](EngineContext& ctx) { PrepareContext(ctx, doc, prefs); };

  const std::string check = WithExtension(options.base + "0", ExtensionFor(ImageFileType(type)));
  if (FileExists(check) > 0) {
    const auto answer = Hooks().Ask(
        this, "Warning!",
        QString::fromStdString(check) + " \nThis file already exists. \nOverwrite all existing files?",
        QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) return;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const BatchResult result = RunBatch(state_.doc, state_.batchList, options);
  state_.doc.message().text = keptText;
  RenderPreview(state_.doc, *state_.ctx);
  QApplication::restoreOverrideCursor();
  sheet_.preview().UpdatePreview();
  if (!result.failures.empty()) {
    QString text = "Cannot save file!";
    for (const BatchFailure& f : result.failures)
      text += "\n" + QString::fromStdString(f.file) + ": " + QString::fromStdString(f.reason);
    Hooks().Tell(this, "Error!", text);
  }
}
