#include "ui/background_page.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/style_file.h"
#include "effects/effect_catalogue.h"
#include "ui/app_state.h"
#include "ui/box_dialogs.h"
#include "ui/document_history.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/style_pages.h"
#include "ui/ui_hooks.h"

namespace {
QColor FromColorRef(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
int32_t ToColorRef(const QColor& c) { return int32_t(c.red() | (c.green() << 8) | (c.blue() << 16)); }
}  // namespace

DecorationPage::DecorationPage(AppState& state, MainWindow& sheet, int itemIndex)
    : PlaquetPage(state, sheet), itemIndex_(itemIndex) {
  styles_ = new QListWidget;
  styles_->setSortingEnabled(false);  // ListFilesMatching already sorts as the list showed them
  editStyle_ = new QPushButton("Edit Style");
  connect(styles_, &QListWidget::currentRowChanged, this, [this] {
    if (!filling_) OnStyleSelected();
  });
  connect(editStyle_, &QPushButton::clicked, this, &DecorationPage::OnEditStyle);
}

QGroupBox* DecorationPage::MakeTemplateGroup(const std::vector<std::pair<int, const char*>>& kinds) {
  auto* group = new QGroupBox("Template");
  auto* layout = new QVBoxLayout(group);
  for (const auto& [kind, label] : kinds) {
    auto* radio = new QRadioButton(label);
    radios_[kind] = radio;
    layout->addWidget(radio);
    connect(radio, &QRadioButton::clicked, this, [this, k = kind] { SelectKind(k); });
  }
  return group;
}

void DecorationPage::FillStyleList() {
  filling_ = true;
  styles_->clear();
  const std::vector<std::string> names = ListFilesMatching(state_.doc.programFolder + "*.sty");
  for (const std::string& n : names) styles_->addItem(QString::fromStdString(n));
  const int at = ReselectIndex(names, rememberedStyle_);
  if (at >= 0) styles_->setCurrentRow(at);
  filling_ = false;
}

void DecorationPage::ShowKind() {
  const int kind = state_.doc.items[size_t(itemIndex_)].kind;
  for (auto& [k, radio] : radios_) radio->setChecked(k == kind);
  const bool on = kind != kKindNone;
  styles_->setEnabled(on);
  if (properties_) properties_->setEnabled(on);
  editStyle_->setEnabled(on);
}

QString DecorationPage::ItemName() const { return itemIndex_ == kBackgroundItem ? "Background" : "Bullet"; }

void DecorationPage::RenderAndRefresh() {
  state_.doc.previewDirty = true;
  sheet_.RenderAndRefresh();
}

void DecorationPage::SelectKind(int kind) {
  state_.doc.items[size_t(itemIndex_)].kind = kind;
  AfterKindChange(kind);
  ShowKind();
  state_.doc.documentModified = true;
  sheet_.history().Record(ItemName() + " Template");
  RenderAndRefresh();
}

void DecorationPage::OnStyleSelected() {
  PlaquetDocument& doc = state_.doc;
  QListWidgetItem* item = styles_->currentItem();
  if (!item) return;
  if (doc.styleChanged[size_t(itemIndex_)]) {
    const std::string& file = doc.styleFile[size_t(itemIndex_)];
    const auto answer = Hooks().Ask(this, "Warning!",
                                    QString::fromStdString(SaveChangesQuestion(file.empty() ? "Untitled.sty" : file)),
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) {
      FillStyleList();
      return;
    }
    if (answer == QMessageBox::Yes) {
      // The item's edited effects are what gets saved, so they go into the current style first;
      // a shipped or untitled style asks for a name.
      doc.currentStyle.effects = doc.items[size_t(itemIndex_)].effects;
      doc.currentStyleFile = file;
      if (!SaveStyleTo(state_, this, file)) {
        FillStyleList();
        return;
      }
    }
  }
  doc.documentModified = true;
  doc.styleChanged[size_t(itemIndex_)] = false;
  rememberedStyle_ = item->text().toStdString();
  const std::string path = doc.programFolder + rememberedStyle_;
  std::string error;
  if (!LoadStyleIntoItemChecked(doc, itemIndex_, path, &error)) {
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": " + QString::fromStdString(error));
  } else {
    doc.styleFile[size_t(itemIndex_)] = path;
    AfterStyleLoaded();
  }
  sheet_.history().Record(ItemName() + " Style");
  RenderAndRefresh();
  sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
}

void DecorationPage::OnEditStyle() {
  PlaquetDocument& doc = state_.doc;
  doc.backdropKind = doc.currentStyle.backdropKind;
  doc.backdropColour = doc.currentStyle.backdropColour;
  doc.backdropBitmap = doc.currentStyle.backdropBitmap;
  PlaquetItem& item = doc.items[size_t(itemIndex_)];
  doc.currentStyle.effects = item.effects;
  BeforeEditStyle();
  {
    StyleEditorDialog dialog(state_, &sheet_.preview(), itemIndex_, this);
    dialog.SetHistory(&sheet_.history());
    if (Hooks().Exec(dialog) == QDialog::Accepted) {
      item.effects = doc.currentStyle.effects;
      doc.styleChanged[size_t(itemIndex_)] = doc.currentStyleModified;
      AfterEditStyleOk();
      sheet_.history().Record("Edit " + ItemName() + " Style");
    } else {
      dialog.TakeBackSteps();
    }
  }
  RenderAndRefresh();
  FillStyleList();
}

BackgroundPage::BackgroundPage(AppState& state, MainWindow& sheet) : DecorationPage(state, sheet, kBackgroundItem) {
  QGroupBox* templ = MakeTemplateGroup({{kKindNone, "None"},
                                        {kKindFont, "with Font"},
                                        {kKindStretchedFont, "Stretched Font"},
                                        {kKindRoundBox, "Round Box"},
                                        {kKindFixedRoundBox, "Fixed Round Box"}});
  styles_->setObjectName("backgroundStyles");
  properties_ = new QPushButton("Properties");
  templ->layout()->addWidget(properties_);
  static_cast<QVBoxLayout*>(templ->layout())->addStretch();
  swatch_ = new QLabel;
  swatch_->setObjectName("swatch");
  swatch_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  swatch_->setFixedSize(40, 22);
  swatch_->setAutoFillBackground(true);
  color_ = new QPushButton("Color");
  color_->setToolTip("Click to change the background color");
  transparent_ = new QCheckBox("Transparent");
  button_ = new QCheckBox("Button");
  button_->setToolTip("Check to generate pressed image for button");
  auto* backdrop = new QGroupBox("Background Options");
  auto* bl = new QGridLayout(backdrop);
  bl->addWidget(swatch_, 0, 0);
  bl->addWidget(color_, 0, 1);
  bl->addWidget(transparent_, 1, 0, 1, 2);
  bl->addWidget(button_, 2, 0, 1, 2);
  bl->setRowStretch(3, 1);
  auto* style = new QGroupBox("Plaquet Style");
  auto* sl = new QVBoxLayout(style);
  sl->addWidget(styles_);
  sl->addWidget(editStyle_);
  auto* option = new QGroupBox("Background Option");
  auto* ol = new QHBoxLayout(option);
  ol->addWidget(templ);
  ol->addWidget(backdrop);
  ol->addWidget(style, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(option);

  connect(properties_, &QPushButton::clicked, this, &BackgroundPage::OnProperties);
  connect(color_, &QPushButton::clicked, this, &BackgroundPage::OnColor);
  connect(transparent_, &QCheckBox::clicked, this, &BackgroundPage::OnTransparent);
  connect(button_, &QCheckBox::clicked, this, &BackgroundPage::OnButton);

  FillStyleList();
  ShowSwatch();
  transparent_->setChecked(true);
  button_->setChecked(state.doc.pressedButton);
  ShowKind();
}

void BackgroundPage::ShowSwatch() {
  QPalette pal = swatch_->palette();
  pal.setColor(QPalette::Window, FromColorRef(state_.doc.backdropColour));
  swatch_->setPalette(pal);
  swatch_->update();
}

void BackgroundPage::OnSetActive() {
  ShowSwatch();
  FillStyleList();
  transparent_->setChecked(state_.doc.currentStyle.backdropKind == kBackdropTransparent);
  button_->setChecked(state_.doc.pressedButton);
  ShowKind();
}

void BackgroundPage::AfterKindChange(int kind) {
  PlaquetItem& bg = state_.doc.background();
  if (kind == kKindFont) bg.font.width = bg.moreInfo[0];
  if (kind == kKindStretchedFont) bg.font.width = bg.moreInfo[1];
}

void BackgroundPage::OnProperties() {
  PlaquetDocument& doc = state_.doc;
  PlaquetItem& bg = doc.background();
  EffectRecord& templ = doc.effectTemplates[size_t(EffectTemplateIndex(RoundBox))];
  switch (bg.kind) {
    case kKindFont:
    case kKindStretchedFont: {
      state_.ctx->in.renderText = bg.text;
      bg.font.width = bg.moreInfo[0];
      state_.ctx->in.renderFont = bg.font;
      MessageTextDialog dialog(state_, &sheet_.preview(), this);
      if (Hooks().Exec(dialog) == QDialog::Accepted) {
        doc.documentModified = true;
        bg.text = state_.ctx->in.renderText;
        bg.moreInfo[0] = state_.ctx->in.renderFont.width;
        bg.font = state_.ctx->in.renderFont;
        sheet_.history().Record("Background Text");
      }
      doc.previewDirty = true;
      sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
      return;
    }
    case kKindRoundBox:
      templ.p[4] = doc.boxParams[2];
      templ.p[5] = doc.boxParams[3];
      templ.p[6] = doc.boxParams[4];
      templ.p[7] = doc.boxParams[5];
      if (RunRoundBoxDialog(state_, this, templ)) {
        for (size_t i = 0; i < 4; ++i) doc.boxParams[2 + i] = templ.p[4 + i];
        doc.documentModified = true;
      }
      break;
    case kKindFixedRoundBox:
      templ.p[4] = doc.boxParams[0];
      templ.p[5] = doc.boxParams[1];
      templ.p[6] = doc.boxParams[4];
      templ.p[7] = doc.boxParams[5];
      if (RunAbsoluteRoundBoxDialog(this, templ, doc.messageAlign)) {
        doc.boxParams[0] = templ.p[4];
        doc.boxParams[1] = templ.p[5];
        doc.boxParams[4] = templ.p[6];
        doc.boxParams[5] = templ.p[7];
        doc.documentModified = true;
      }
      break;
    default:
      return;
  }
  sheet_.history().Record("Background Box");
  RenderAndRefresh();
}

void BackgroundPage::OnColor() {
  PlaquetDocument& doc = state_.doc;
  const QColor chosen = QColorDialog::getColor(FromColorRef(doc.currentStyle.backdropColour), this, "Color");
  if (!chosen.isValid()) return;
  doc.documentModified = true;
  doc.currentStyle.backdropColour = ToColorRef(chosen);
  doc.backdropColour = doc.currentStyle.backdropColour;
  ShowSwatch();
  sheet_.history().Record("Page Color");
  RenderAndRefresh();
}

void BackgroundPage::OnTransparent(bool checked) {
  PlaquetDocument& doc = state_.doc;
  transparent_->setChecked(checked);
  doc.currentStyle.backdropKind = checked ? kBackdropTransparent : kBackdropColour;
  color_->setEnabled(true);
  doc.documentModified = true;
  sheet_.history().Record("Transparency");
  RenderAndRefresh();
}

void BackgroundPage::OnButton(bool checked) {
  button_->setChecked(checked);
  state_.doc.pressedButton = checked;
  sheet_.history().Record("Button");
  // Turning it off must drop the pressed picture too, or a stale one would still be saved.
  RenderAndRefresh();
}

void BackgroundPage::AfterStyleLoaded() {
  PlaquetDocument& doc = state_.doc;
  doc.backdropKind = doc.currentStyle.backdropKind;
  doc.backdropColour = doc.currentStyle.backdropColour;
  doc.backdropBitmap = doc.currentStyle.backdropBitmap;
  ShowSwatch();
}

void BackgroundPage::BeforeEditStyle() { state_.doc.currentStyleFile = state_.doc.styleFile[kBackgroundItem]; }

void BackgroundPage::AfterEditStyleOk() { state_.doc.documentModified = true; }
