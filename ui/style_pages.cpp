#include "ui/style_pages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "document/line_fields.h"
#include "document/style_file.h"
#include "document/text_file_io.h"
#include "ui/dialogs/effect_dialogs.h"
#include "effects/blend_modes.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "imaging/dib_image.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/document_history.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

namespace {
const char* kStyleFilter = "Style File(*.sty) (*.sty);;All Files(*.*) (*)";

// The four effects whose dialogs keep only colour, offsets, two values and the file name.
bool AddsPartialRecord(int type) {
  return type == SingleColor || type == OutLine || type == DropShadow || type == DepthField;
}

QIcon SampleIcon(const std::string& folder, int type) {
  DibImage image;
  if (!image.Load(folder + "samples/" + EffectKey(type) + ".png")) return QIcon();
  // Drawn from the top-left corner of a fixed cell, so that the names line up beside them.
  QPixmap cell(160, 24);
  cell.fill(Qt::white);
  QPainter painter(&cell);
  painter.drawImage(0, 0, DibToQImage(image));
  painter.end();
  return QIcon(cell);
}
}  // namespace

bool RunEffectParameterDialog(AppState& state, QWidget* parent, EffectRecord& record,
                              std::function<void()> refresh) {
  const EffectInfo* info = FindEffectInfo(record.type);
  if (!info) return false;
  if (std::unique_ptr<EffectDialog> own = MakeEffectDialog(record.type, record, state, parent, refresh))
    return Hooks().Exec(*own) == QDialog::Accepted;
  // A type without a dialog of its own still gets its values edited, one box each.
  QDialog dialog(parent);
  dialog.setWindowTitle(info->dialogTitle);
  auto* form = new QFormLayout;
  std::vector<std::pair<int, QSpinBox*>> boxes;
  for (const EffectParam& param : info->params) {
    auto* box = new QSpinBox;
    if (param.kind == ParamKind::Colour) {
      box->setRange(0, 0xFFFFFF);
      box->setDisplayIntegerBase(16);
      box->setPrefix("0x");
    } else {
      box->setRange(std::min(param.minValue, param.maxValue), std::max(param.minValue, param.maxValue));
    }
    box->setValue(record.p[size_t(param.slot)]);
    form->addRow(QString(param.label), box);
    boxes.emplace_back(param.slot, box);
  }
  QLineEdit* file = nullptr;
  if (info->usesFileName) {
    file = new QLineEdit(QString::fromStdString(record.fileName));
    file->setMaxLength(int(kMaxEffectFileName));
    form->addRow("Bitmap", file);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return false;
  for (auto& [slot, box] : boxes) record.p[size_t(slot)] = box->value();
  if (file) record.fileName = CutTo(file->text().toStdString(), kMaxEffectFileName);
  return true;
}

bool AppendStyleRecord(AppState& state, const EffectRecord& record) {
  PlaquetStyle& style = state.doc.currentStyle;
  if (style.effectCount() >= int32_t(kMaxEffects)) return false;
  style.effects.push_back(record);
  state.doc.currentStyleModified = true;
  return true;
}

AppliedEffectList::AppliedEffectList(QWidget* parent) : QListWidget(parent) {}

void AppliedEffectList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    emit deleteRequested();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void AppliedEffectList::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  QListWidgetItem* under = itemAt(event->position().toPoint());
  pressedRow_ = under ? row(under) : -1;
  if (pressedRow_ >= 0) setCursor(Qt::SizeVerCursor);
}

void AppliedEffectList::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  unsetCursor();
  const int from = pressedRow_;
  pressedRow_ = -1;
  QListWidgetItem* under = itemAt(event->position().toPoint());
  const int to = under ? row(under) : -1;
  if (from >= 0 && to >= 0 && to != from) emit moveRequested(to, from);
}

StyleEditorDialog::StyleEditorDialog(AppState& state, PreviewWindow* preview, int itemIndex, QWidget* parent)
    : QDialog(parent), state_(state), preview_(preview), itemIndex_(itemIndex) {
  setWindowTitle("Edit Style");
  effects_ = new QListWidget;
  effects_->setObjectName("effectTypes");
  effects_->setToolTip("Font Effect you can add to your plaquet");
  effects_->setIconSize(QSize(160, 24));
  for (int type = 0; type < kEffectTypeCount; ++type) {
    auto* entry = new QListWidgetItem(SampleIcon(state.doc.programFolder, type), EffectDisplayName(type));
    effects_->addItem(entry);
  }
  auto* add = new QPushButton("Add to Applied Effect");
  add->setToolTip("Add current selected effect to your font");
  applied_ = new AppliedEffectList;
  applied_->setObjectName("appliedEffects");
  applied_->setToolTip("Currently applied effect. These effects will be applied sequentially");
  auto* up = new QPushButton("Go Up");
  up->setToolTip("Click to move up a selected effect in the applied list box");
  auto* down = new QPushButton("Go Down");
  down->setToolTip("Click to move down a selected effect in the applied list box");
  auto* del = new QPushButton("Delete");
  auto* fresh = new QPushButton("New");
  auto* save = new QPushButton("Save");
  auto* saveAs = new QPushButton("Save As");
  saveAs->setToolTip("Click to Save current effect style");
  undo_ = new QPushButton("Undo");
  undo_->setObjectName("undo");
  redo_ = new QPushButton("Redo");
  redo_->setObjectName("redo");
  undo_->setEnabled(false);
  redo_->setEnabled(false);
  auto* ok = new QPushButton("OK");
  auto* cancel = new QPushButton("Cancel");
  ok->setDefault(true);

  auto* left = new QGroupBox("Plaquet Effect");
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->addWidget(effects_);
  leftLayout->addWidget(add);
  auto* right = new QGroupBox("Applied Effect");
  auto* rightLayout = new QGridLayout(right);
  rightLayout->addWidget(applied_, 0, 0, 1, 2);
  rightLayout->addWidget(up, 1, 0);
  rightLayout->addWidget(down, 1, 1);
  rightLayout->addWidget(del, 2, 0);
  rightLayout->addWidget(fresh, 2, 1);
  rightLayout->addWidget(save, 3, 0);
  rightLayout->addWidget(saveAs, 3, 1);
  auto* wizard = new QGroupBox("Effect Wizard");
  auto* wizardLayout = new QHBoxLayout(wizard);
  wizardLayout->addWidget(left, 3);
  wizardLayout->addWidget(right, 2);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(undo_);
  bottom->addWidget(redo_);
  bottom->addStretch();
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(wizard);
  layout->addLayout(bottom);
  resize(660, 440);

  connect(effects_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* i) { AddEffect(effects_->row(i)); });
  connect(add, &QPushButton::clicked, this, [this] {
    if (effects_->currentRow() >= 0) AddEffect(effects_->currentRow());
  });
  connect(applied_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* i) { EditApplied(applied_->row(i)); });
  connect(applied_, &AppliedEffectList::deleteRequested, this, &StyleEditorDialog::DeleteSelected);
  connect(applied_, &AppliedEffectList::moveRequested, this, &StyleEditorDialog::MoveRecord);
  connect(up, &QPushButton::clicked, this, &StyleEditorDialog::GoUp);
  connect(down, &QPushButton::clicked, this, &StyleEditorDialog::GoDown);
  connect(del, &QPushButton::clicked, this, &StyleEditorDialog::DeleteSelected);
  connect(fresh, &QPushButton::clicked, this, &StyleEditorDialog::NewStyle);
  connect(save, &QPushButton::clicked, this, &StyleEditorDialog::SaveStyle);
  connect(saveAs, &QPushButton::clicked, this, &StyleEditorDialog::SaveStyleAs);
  connect(undo_, &QPushButton::clicked, this, &StyleEditorDialog::UndoStep);
  connect(redo_, &QPushButton::clicked, this, &StyleEditorDialog::RedoStep);
  auto* undoKey = new QAction(this);
  undoKey->setShortcut(QKeySequence::Undo);
  connect(undoKey, &QAction::triggered, this, &StyleEditorDialog::UndoStep);
  auto* redoKey = new QAction(this);
  redoKey->setShortcut(QKeySequence::Redo);
  connect(redoKey, &QAction::triggered, this, &StyleEditorDialog::RedoStep);
  addActions({undoKey, redoKey});
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The item's text is rasterized once; each change only runs the style again over it.
  EngineContext& ctx = *state_.ctx;
  if (itemIndex_ >= 0 && itemIndex_ < state_.doc.itemCount())
    LoadRenderInputs(state_.doc, state_.doc.items[size_t(itemIndex_)], ctx);
  ctx.pressedButton = state_.doc.pressedButton;
  RasterizeItem(ctx);
  if (preview_) preview_->SelectPreviewTab(PreviewWindow::kImage);
  FillApplied(-1);
  Rerun();
}

StyleEditorDialog::~StyleEditorDialog() {
  if (history_) history_->HoldPageRefresh(false);
}

void StyleEditorDialog::SetHistory(DocumentHistory* history) {
  if (history_ || !history) return;
  history_ = history;
  startIndex_ = history->stack().index();
  opened_ = state_.doc;
  history->HoldPageRefresh(true);
  QUndoStack& stack = history->stack();
  auto enable = [this] {
    undo_->setEnabled(history_->stack().index() > startIndex_);
    redo_->setEnabled(madeStep_ && history_->stack().canRedo());
    undo_->setToolTip(history_->stack().undoText());
    redo_->setToolTip(history_->stack().redoText());
  };
  connect(&stack, &QUndoStack::indexChanged, this, enable);
  connect(history, &DocumentHistory::restored, this, [this] {
    FillApplied(applied_->currentRow());
    Rerun();
  });
  enable();
}

void StyleEditorDialog::Step(const QString& text) {
  if (!history_) return;
  PlaquetDocument& doc = state_.doc;
  if (itemIndex_ >= 0 && itemIndex_ < doc.itemCount()) {
    doc.items[size_t(itemIndex_)].effects = doc.currentStyle.effects;
    doc.styleChanged[size_t(itemIndex_)] = doc.currentStyleModified;
  }
  if (history_->Record(text)) madeStep_ = true;
}

void StyleEditorDialog::UndoStep() {
  // Steps made before the editor opened are the window's to undo once it is closed.
  if (history_ && history_->stack().index() > startIndex_) history_->stack().undo();
}

void StyleEditorDialog::RedoStep() {
  if (history_ && madeStep_) history_->stack().redo();
}

void StyleEditorDialog::TakeBackSteps() {
  if (!history_) return;
  history_->stack().setIndex(startIndex_);
  // Also what the window changed unrecorded (the editor opened on the item's effects) stays.
  state_.doc = opened_;
  state_.doc.previewDirty = true;
}

void StyleEditorDialog::FillApplied(int select) {
  applied_->clear();
  for (const EffectRecord& r : state_.doc.currentStyle.effects) {
    QString text = QString::fromUtf8(EffectDisplayName(r.type));
    // A blended effect says how, so that two records of one kind can be told apart.
    if (r.Blended())
      text += QString(" (%1 %2%)")
                  .arg(QString::fromUtf8(BlendModeNameOf(r.blendMode).displayName))
                  .arg(std::clamp<int>(r.opacity, 0, 100));
    applied_->addItem(text);
  }
  if (select >= 0 && select < applied_->count()) applied_->setCurrentRow(select);
}

void StyleEditorDialog::Rerun() {
  EngineContext& ctx = *state_.ctx;
  ctx.in.effects = state_.doc.currentStyle.effects;
  ctx.in.styleBackdropColour = state_.doc.currentStyle.backdropColour;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QuickPreview(ctx);
  QApplication::restoreOverrideCursor();
  ShowPicture();
}

void StyleEditorDialog::ShowPicture() {
  // The picture now shows this item alone; the whole image is rendered again when the editor
  // closes.
  state_.doc.previewDirty = false;
  if (preview_) preview_->UpdatePreview();
  state_.doc.previewDirty = true;
}

bool StyleEditorDialog::AddEffect(int type) {
  if (!FindEffectInfo(type)) return false;
  if (state_.doc.currentStyle.effectCount() >= int32_t(kMaxEffects)) {
    Hooks().Tell(this, "Warning!", QString("A style holds at most %1 effects.").arg(kMaxEffects),
                 QMessageBox::Warning);
    return false;
  }
  EffectRecord& templ = state_.doc.effectTemplates[size_t(EffectTemplateIndex(type))];
  templ.type = type;
  EffectRecord edited = templ;
  if (!RunEffectParameterDialog(state_, this, edited, [this] { ShowPicture(); })) return false;
  templ = edited;
  EffectRecord added = edited;
  if (AddsPartialRecord(type)) {
    added = EffectRecord{};
    added.type = type;
    for (size_t i = 0; i < 6; ++i) added.p[i] = edited.p[i];
    added.fileName = edited.fileName;
  }
  AppendStyleRecord(state_, added);
  Step(QString("Add ") + EffectDisplayName(type));
  FillApplied(applied_->count());
  Rerun();
  return true;
}

void StyleEditorDialog::EditApplied(int row) {
  std::vector<EffectRecord>& effects = state_.doc.currentStyle.effects;
  if (row < 0 || row >= int(effects.size())) return;
  state_.doc.currentStyleModified = true;
  const int at = EffectTemplateIndex(effects[size_t(row)].type);
  if (at < 0) return;
  EffectRecord& templ = state_.doc.effectTemplates[size_t(at)];
  templ = effects[size_t(row)];
  const EffectRecord before = effects[size_t(row)];
  if (RunEffectParameterDialog(state_, this, templ, [this] { ShowPicture(); })) {
    effects[size_t(row)] = templ;
    Step(EffectChangeName(before, templ));
  }
  FillApplied(row);
  Rerun();
}

void StyleEditorDialog::MoveRecord(int to, int from) {
  std::vector<EffectRecord>& effects = state_.doc.currentStyle.effects;
  const int n = int(effects.size());
  if (from < 0 || from >= n || to < 0 || to >= n || to == from) return;
  const EffectRecord moved = effects[size_t(from)];
  effects.erase(effects.begin() + from);
  effects.insert(effects.begin() + to, moved);
  state_.doc.currentStyleModified = true;
  Step(QString("Move ") + EffectDisplayName(moved.type));
  FillApplied(to);
  Rerun();
}

void StyleEditorDialog::GoUp() {
  const int i = applied_->currentRow();
  if (i > 0) MoveRecord(i - 1, i);
}

void StyleEditorDialog::GoDown() {
  const int i = applied_->currentRow();
  if (i >= 0 && i + 1 < applied_->count()) MoveRecord(i + 1, i);
}

void StyleEditorDialog::DeleteSelected() {
  std::vector<EffectRecord>& effects = state_.doc.currentStyle.effects;
  const int i = applied_->currentRow();
  if (i < 0 || i >= int(effects.size())) return;
  const int type = effects[size_t(i)].type;
  effects.erase(effects.begin() + i);
  state_.doc.currentStyleModified = true;
  Step(QString("Delete ") + EffectDisplayName(type));
  FillApplied(std::min(i, int(effects.size()) - 1));
  Rerun();
}

void StyleEditorDialog::NewStyle() {
  PlaquetDocument& doc = state_.doc;
  if (doc.currentStyleModified) {
    const std::string name = doc.currentStyleFile.empty() ? "Untitled.sty" : doc.currentStyleFile;
    const auto answer = Hooks().Ask(this, "Warning!", QString::fromStdString(SaveChangesQuestion(name)),
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    // A save that did not happen keeps the style: dropping it would lose the edits.
    if (answer == QMessageBox::Yes && !SaveStyle()) return;
  }
  doc.ResetCurrentStyle();
  Step("New Style");
  FillApplied(-1);
  Rerun();
}

bool StyleEditorDialog::SaveStyle() { return SaveStyleTo(state_, this, state_.doc.currentStyleFile); }

bool StyleEditorDialog::SaveStyleAs() { return SaveStyleAsAsking(state_, this); }

bool SaveStyleTo(AppState& state, QWidget* parent, const std::string& path) {
  PlaquetDocument& doc = state.doc;
  // A shipped style is never written back: it gets a name of the user's first.
  if (path.empty() || IsInsideFolder(path, doc.programFolder)) return SaveStyleAsAsking(state, parent);
  std::string error;
  if (!WriteStyleFile(doc, path, &error)) {
    // Reported, unlike a silent failure: the user would otherwise think the style was kept.
    Hooks().Tell(parent, "Error!", "Cannot save file!\n" + QString::fromStdString(path) + ": " +
                                       QString::fromStdString(error));
    return false;
  }
  return true;
}

bool SaveStyleAsAsking(AppState& state, QWidget* parent) {
  const QString chosen = Hooks().GetSaveFileName(parent, "Save Style As", kStyleFilter, "untitled.sty", false);
  if (chosen.isEmpty()) return false;
  const std::string path = StyleSaveAsPath(chosen.toStdString());
  if (FileExists(path) > 0) {
    const auto answer = Hooks().Ask(
        parent, "Warning!", QString::fromStdString(path) + " \nThis file already exists. \nOverwrite this file?",
        QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) return false;
  }
  std::string error;
  if (!WriteStyleFile(state.doc, path, &error)) {
    Hooks().Tell(parent, "Error!", "Cannot save file!\n" + QString::fromStdString(path) + ": " +
                                       QString::fromStdString(error));
    return false;
  }
  return true;
}
