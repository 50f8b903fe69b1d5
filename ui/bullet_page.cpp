#include "ui/bullet_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "effects/effect_catalogue.h"
#include "ui/app_state.h"
#include "ui/box_dialogs.h"
#include "ui/document_history.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

BulletPage::BulletPage(AppState& state, MainWindow& sheet) : DecorationPage(state, sheet, kBulletItem) {
  QGroupBox* templ = MakeTemplateGroup({{kKindNone, "None"}, {kKindFont, "Font"}, {kKindRoundBox, "Round Box"}});
  styles_->setObjectName("bulletStyles");
  properties_ = new QPushButton("Properties");
  templ->layout()->addWidget(properties_);
  static_cast<QVBoxLayout*>(templ->layout())->addStretch();
  auto* style = new QGroupBox("Plaquet Style");
  auto* sl = new QVBoxLayout(style);
  sl->addWidget(styles_);
  sl->addWidget(editStyle_);
  auto* option = new QGroupBox("Bullet Option");
  auto* ol = new QHBoxLayout(option);
  ol->addWidget(templ);
  ol->addWidget(style, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(option);
  connect(properties_, &QPushButton::clicked, this, &BulletPage::OnProperties);
  FillStyleList();
  ShowKind();
}

void BulletPage::OnSetActive() {
  FillStyleList();
  ShowKind();
}

void BulletPage::OnProperties() {
  PlaquetDocument& doc = state_.doc;
  PlaquetItem& bullet = doc.bullet();
  if (bullet.kind == kKindRoundBox) {
    EffectRecord& templ = doc.effectTemplates[size_t(EffectTemplateIndex(RoundBox))];
    for (size_t i = 0; i < 4; ++i) templ.p[4 + i] = doc.bulletBoxParams[i];
    if (RunRoundBoxDialog(state_, this, templ)) {
      for (size_t i = 0; i < 4; ++i) doc.bulletBoxParams[i] = templ.p[4 + i];
      doc.documentModified = true;
      sheet_.history().Record("Bullet Box");
    }
    RenderAndRefresh();
  } else if (bullet.kind == kKindFont) {
    state_.ctx->in.renderText = bullet.text;
    state_.ctx->in.renderFont = bullet.font;
    MessageTextDialog dialog(state_, &sheet_.preview(), this);
    if (Hooks().Exec(dialog) == QDialog::Accepted) {
      doc.documentModified = true;
      bullet.text = state_.ctx->in.renderText;
      bullet.font = state_.ctx->in.renderFont;
      sheet_.history().Record("Bullet Text");
    }
    doc.previewDirty = true;
    sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
  }
}

void BulletPage::AfterEditStyleOk() {
  state_.doc.currentStyleFile = state_.doc.styleFile[kBulletItem];
  // An edited bullet style is part of the document: without this the edit could be lost unasked.
  state_.doc.documentModified = true;
}
