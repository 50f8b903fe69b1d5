#include "ui/message_page.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "document/style_file.h"
#include "ui/app_state.h"
#include "ui/document_history.h"
#include "ui/live_slider.h"
#include "ui/main_window.h"
#include "ui/open_bitmap_dialog.h"
#include "ui/preview_window.h"
#include "ui/style_pages.h"
#include "ui/text_convert.h"
#include "ui/ui_hooks.h"

namespace {

LiveSlider* MakeMarginSlider(const char* name, const char* tip) {
  auto* s = new LiveSlider(Qt::Horizontal);
  s->setObjectName(name);
  s->setRange(0, 100);
  s->setPageStep(5);
  s->setToolTip(tip);
  return s;
}

QLineEdit* MakeDigitsEdit(const char* name) {
  auto* e = new QLineEdit;
  e->setObjectName(name);
  e->setValidator(new QIntValidator(0, 100, e));
  e->setMaximumWidth(50);
  return e;
}

}  // namespace

MessagePage::MessagePage(AppState& state, MainWindow& sheet) : PlaquetPage(state, sheet) {
  message_ = new QPlainTextEdit;
  message_->setObjectName("message");
  message_->setToolTip("Add your message here");
  sliderY_ = MakeMarginSlider("sliderY", "Increase/Decrease your Bitmap vertical size");
  sliderX_ = MakeMarginSlider("sliderX", "Increase/Decrease your Bitmap horizontal size");
  editY_ = MakeDigitsEdit("editY");
  editX_ = MakeDigitsEdit("editX");
  face_ = new QLineEdit;
  face_->setObjectName("face");
  face_->setReadOnly(true);
  font_ = new QPushButton("Font");
  font_->setObjectName("font");
  font_->setToolTip("Click to change font type, size and attribute");
  color_ = new QPushButton("Color");
  color_->setObjectName("color");
  styles_ = new QListWidget;
  styles_->setObjectName("styles");
  styles_->setSortingEnabled(true);
  editStyle_ = new QPushButton("Edit Style");
  editStyle_->setObjectName("editStyle");

  auto* messageBox = new QGroupBox("Message");
  (new QVBoxLayout(messageBox))->addWidget(message_);

  auto* margin = new QGroupBox("Margin");
  auto* marginGrid = new QGridLayout(margin);
  marginGrid->addWidget(new QLabel("X:"), 0, 0);
  marginGrid->addWidget(sliderX_, 0, 1);
  marginGrid->addWidget(editX_, 0, 2);
  marginGrid->addWidget(new QLabel("Y:"), 1, 0);
  marginGrid->addWidget(sliderY_, 1, 1);
  marginGrid->addWidget(editY_, 1, 2);

  auto* fontColor = new QGroupBox("Font && Color");
  auto* fcLayout = new QHBoxLayout(fontColor);
  fcLayout->addWidget(face_, 1);
  fcLayout->addWidget(font_);
  fcLayout->addWidget(color_);

  auto* styleColumn = new QVBoxLayout;
  styleColumn->addWidget(new QLabel("Plaquet Style"));
  styleColumn->addWidget(styles_, 1);
  styleColumn->addWidget(editStyle_);

  auto* left = new QVBoxLayout;
  left->addWidget(messageBox, 1);
  left->addWidget(margin);
  left->addWidget(fontColor);
  auto* option = new QGroupBox("Message Option");
  auto* optionLayout = new QHBoxLayout(option);
  optionLayout->addLayout(left, 3);
  optionLayout->addLayout(styleColumn, 2);
  (new QVBoxLayout(this))->addWidget(option);

  // Start values as the page is created.
  const PlaquetDocument& doc = state.doc;
  message_->setPlainText(ToEditText(doc.message().text));
  face_->setText(QString::fromStdString(doc.message().font.faceName));
  sliderX_->setValue(doc.extensionX);
  sliderY_->setValue(doc.extensionY);
  editX_->setText(QString::number(doc.extensionX));
  editY_->setText(QString::number(doc.extensionY));
  FillStyleList();
  state.doc.previewDirty = true;

  connect(message_, &QPlainTextEdit::textChanged, this, &MessagePage::OnMessageChanged);
  connect(font_, &QPushButton::clicked, this, &MessagePage::OnFont);
  connect(color_, &QPushButton::clicked, this, &MessagePage::OnColor);
  for (LiveSlider* s : {sliderX_, sliderY_}) {
    connect(s, &LiveSlider::SliderMoved, this, &MessagePage::OnSliderMoved);
    connect(s, &QSlider::sliderReleased, this, &MessagePage::OnSliderMoved);
    connect(s, &QSlider::valueChanged, this, [this] {
      if (!filling_) OnSliderMoved();
    });
  }
  connect(editX_, &QLineEdit::textEdited, this, [this] { OnMarginEdited(true); });
  connect(editY_, &QLineEdit::textEdited, this, [this] { OnMarginEdited(false); });
  connect(styles_, &QListWidget::currentRowChanged, this, [this] {
    if (!filling_) OnStyleSelected();
  });
  connect(editStyle_, &QPushButton::clicked, this, &MessagePage::OnEditStyle);
}

void MessagePage::FillStyleList() {
  filling_ = true;
  styles_->clear();
  const std::vector<std::string> names = ListFilesMatching(state_.doc.programFolder + "*.sty");
  for (const std::string& n : names) styles_->addItem(QString::fromStdString(n));
  if (!rememberedStyle_.empty()) {
    std::vector<std::string> shown;
    for (int i = 0; i < styles_->count(); ++i) shown.push_back(styles_->item(i)->text().toStdString());
    const int at = ReselectIndex(shown, rememberedStyle_);
    if (at >= 0) styles_->setCurrentRow(at);
  }
  filling_ = false;
}

void MessagePage::UpdateColorButton() { color_->setEnabled(state_.doc.MainColour(kMessageItem) != -2); }

void MessagePage::OnSetActive() {
  UpdateColorButton();
  FillStyleList();
  filling_ = true;
  const QString text = ToEditText(state_.doc.message().text);
  if (message_->toPlainText() != text) {
    const QSignalBlocker block(message_);
    message_->setPlainText(text);
  }
  sliderX_->setValue(state_.doc.extensionX);
  sliderY_->setValue(state_.doc.extensionY);
  editX_->setText(QString::number(state_.doc.extensionX));
  editY_->setText(QString::number(state_.doc.extensionY));
  filling_ = false;
  state_.ctx->in.renderFont = state_.doc.message().font;
  state_.ctx->in.renderText = state_.doc.message().text;
  face_->setText(QString::fromStdString(state_.doc.message().font.faceName));
}

void MessagePage::OnKillActive() { sheet_.preview().SelectPreviewTab(PreviewWindow::kImage); }

void MessagePage::OnMessageChanged() {
  PlaquetDocument& doc = state_.doc;
  doc.previewDirty = true;
  doc.message().text = FromEditText(message_->toPlainText(), kMaxText);
  state_.ctx->in.renderText = doc.message().text;
  state_.ctx->in.renderFont = doc.message().font;
  doc.documentModified = true;
  sheet_.history().Record("Typing", DocumentHistory::kMergeText);
  sheet_.preview().DocumentEdited();
}

void MessagePage::OnFont() {
  LogFont& lf = state_.doc.message().font;
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, LogFontToQFont(lf), this, "Font");
  if (!ok) return;
  state_.doc.documentModified = true;
  lf = QFontToLogFont(chosen, lf);
  face_->setText(QString::fromStdString(lf.faceName));
  state_.ctx->in.renderFont = lf;
  state_.doc.previewDirty = true;
  sheet_.history().Record("Font");
  sheet_.preview().DocumentEdited();
}

void MessagePage::OnColor() {
  PlaquetDocument& doc = state_.doc;
  const int32_t c = doc.MainColour(kMessageItem);
  if (c == -2) return;
  if (c >= 0) {
    const QColor start(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(start, this, "Color");
    if (!chosen.isValid()) return;
    doc.SetMainColour(kMessageItem, int32_t(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16)));
  } else {
    const int at = EffectTemplateIndex(SingleColor);
    EffectRecord& templ = doc.effectTemplates[size_t(at)];
    OpenBitmapDialog dialog(doc.programFolder + "texture/", "*.*", templ.fileName, this);
    if (Hooks().Exec(dialog) != QDialog::Accepted || dialog.selectedName().empty()) return;
    templ.fileName = dialog.selectedName().substr(0, kMaxEffectFileName);
    doc.SetMainTexture(kMessageItem, templ.fileName);
  }
  doc.documentModified = true;
  doc.previewDirty = true;
  sheet_.history().Record(c >= 0 ? "Color" : "Texture");
  sheet_.RenderAndRefresh();
}

void MessagePage::ApplyMargins(int x, int y) {
  state_.doc.extensionX = x;
  state_.doc.extensionY = y;
  state_.ctx->in.extensionX = x;
  state_.ctx->in.extensionY = y;
}

void MessagePage::OnSliderMoved() {
  const int x = sliderX_->value(), y = sliderY_->value();
  if (x == state_.doc.extensionX && y == state_.doc.extensionY) return;
  editX_->setText(QString::number(x));
  editY_->setText(QString::number(y));
  ApplyMargins(x, y);
  state_.doc.documentModified = true;
  state_.doc.previewDirty = true;
  sheet_.history().Record("Margin", DocumentHistory::kMergeMargin);
  sheet_.preview().DocumentEdited();
}

void MessagePage::OnMarginEdited(bool xChanged) {
  state_.doc.documentModified = true;
  const int x = std::clamp(editX_->text().toInt(), 0, 100);
  const int y = std::clamp(editY_->text().toInt(), 0, 100);
  filling_ = true;
  if (xChanged) sliderX_->setValue(x);
  else sliderY_->setValue(y);
  filling_ = false;
  ApplyMargins(x, y);
  state_.doc.previewDirty = true;
  sheet_.history().Record("Margin", DocumentHistory::kMergeMarginEdit);
  sheet_.preview().UpdatePreview();
}

void MessagePage::OnStyleSelected() {
  QListWidgetItem* item = styles_->currentItem();
  if (!item) return;
  const std::string name = item->text().toStdString();
  if (!ApplyStyleFile(state_.doc.programFolder + name)) {
    FillStyleList();  // back to the remembered selection
    return;
  }
  rememberedStyle_ = name;
}

bool MessagePage::ApplyStyleFile(const std::string& path) {
  PlaquetDocument& doc = state_.doc;
  if (doc.styleChanged[kMessageItem]) {
    const std::string name = doc.styleFile[kMessageItem].empty() ? "Untitled.sty" : doc.styleFile[kMessageItem];
    const auto answer = Hooks().Ask(this, "Warning!", QString::fromStdString(SaveChangesQuestion(name)),
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) {
      // The item's edited effects are what gets saved; a shipped or untitled style asks for a name.
      doc.currentStyle.effects = doc.message().effects;
      doc.currentStyleFile = doc.styleFile[kMessageItem];
      if (!SaveStyleTo(state_, this, doc.currentStyleFile)) return false;
    }
  }
  doc.documentModified = true;
  doc.styleChanged[kMessageItem] = false;
  std::string error;
  if (!LoadStyleIntoItemChecked(doc, kMessageItem, path, &error))
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": " + QString::fromStdString(error));
  else
    doc.styleFile[kMessageItem] = path;
  if (doc.background().kind == kKindNone && doc.bullet().kind == kKindNone)
    doc.backdropColour = doc.currentStyle.backdropColour;
  doc.previewDirty = true;
  sheet_.history().Record("Choose Style");
  sheet_.RenderAndRefresh();
  sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
  UpdateColorButton();
  return true;
}

void MessagePage::OnEditStyle() {
  PlaquetDocument& doc = state_.doc;
  doc.currentStyle.effects = doc.message().effects;
  {
    StyleEditorDialog dialog(state_, &sheet_.preview(), kMessageItem, this);
    dialog.SetHistory(&sheet_.history());
    if (Hooks().Exec(dialog) == QDialog::Accepted) {
      doc.currentStyleFile = doc.styleFile[kMessageItem];
      doc.message().effects = doc.currentStyle.effects;
      doc.styleChanged[kMessageItem] = doc.currentStyleModified;
      doc.documentModified = true;
      sheet_.history().Record("Edit Style");
    } else {
      dialog.TakeBackSteps();
    }
  }
  state_.doc.previewDirty = true;
  sheet_.RenderAndRefresh();
  FillStyleList();
  UpdateColorButton();
}
