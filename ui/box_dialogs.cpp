#include "ui/box_dialogs.h"

#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "document/plaquet_document.h"
#include "effects/effect_catalogue.h"
#include "engine/text_rasterizer.h"
#include "ui/app_state.h"
#include "ui/preview_window.h"
#include "ui/style_pages.h"
#include "ui/text_convert.h"
#include "ui/ui_hooks.h"

MessageTextDialog::MessageTextDialog(AppState& state, PreviewWindow* preview, QWidget* parent)
    : QDialog(parent), state_(state), preview_(preview) {
  setWindowTitle("Message");
  edit_ = new QPlainTextEdit(ToEditText(state.ctx->in.renderText));
  edit_->setObjectName("templateText");
  auto* font = new QPushButton("Font");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edit_);
  auto* row = new QHBoxLayout;
  row->addWidget(font);
  row->addStretch();
  row->addWidget(buttons);
  layout->addLayout(row);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(font, &QPushButton::clicked, this, &MessageTextDialog::OnFont);
  connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
    state_.ctx->in.renderText = FromEditText(edit_->toPlainText(), kMaxText);
    ShowText();
  });
  ShowText();
}

void MessageTextDialog::SetText(const QString& text) { edit_->setPlainText(text); }

void MessageTextDialog::ShowText() {
  MeasureText(*state_.ctx);
  state_.ctx->imageWidth = state_.ctx->layout.workWidth;
  state_.ctx->imageHeight = state_.ctx->layout.workHeight;
  if (preview_) preview_->SelectPreviewTab(PreviewWindow::kText);
}

void MessageTextDialog::OnFont() {
  LogFont& lf = state_.ctx->in.renderFont;
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, LogFontToQFont(lf), this, "Font");
  if (!ok) return;
  lf = QFontToLogFont(chosen, lf);
  ShowText();
}

bool RunAbsoluteRoundBoxDialog(QWidget* parent, EffectRecord& record, int32_t& messageAlign) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Absolute Size Round Box");
  struct Row {
    const char* label;
    int32_t* value;
    int max, page;
    bool tenths;
  };
  int32_t align = messageAlign;
  EffectRecord edited = record;
  const Row rows[] = {{"Text Loc.(%)", &align, 100, 10, false},
                      {"Size X(dot)", &edited.p[4], 500, 100, false},
                      {"Size Y(dot)", &edited.p[5], 500, 10, false},
                      {"Round X(%)", &edited.p[6], 1000, 2, true},
                      {"Round Y(%)", &edited.p[7], 1000, 2, true}};
  auto* grid = new QGridLayout;
  int r = 0;
  for (const Row& row : rows) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(row.label);
    slider->setRange(0, row.max);
    slider->setPageStep(row.page);
    slider->setValue(std::clamp(*row.value, 0, row.max));
    auto* shown = new QLineEdit;
    shown->setReadOnly(true);
    shown->setMaximumWidth(60);
    const auto show = [shown, tenths = row.tenths](int v) {
      shown->setText(tenths ? QString::number(v / 10.0, 'f', 1) : QString::number(v));
    };
    show(*row.value);
    int32_t* target = row.value;
    QObject::connect(slider, &QSlider::valueChanged, &dialog, [target, show](int v) {
      *target = v;
      show(v);
    });
    grid->addWidget(new QLabel(row.label), r, 0);
    grid->addWidget(slider, r, 1);
    grid->addWidget(shown, r, 2);
    ++r;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  dialog.resize(380, 220);
  if (Hooks().Exec(dialog) != QDialog::Accepted) return false;
  record = edited;
  messageAlign = align;
  return true;
}

bool RunRoundBoxDialog(AppState& state, QWidget* parent, EffectRecord& record) {
  record.type = RoundBox;
  return RunEffectParameterDialog(state, parent, record);
}
