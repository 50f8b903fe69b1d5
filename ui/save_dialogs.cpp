#include "ui/save_dialogs.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/save_rules.h"
#include "ui/app_state.h"

void FillFileTypeCombo(QComboBox& combo) {
  combo.addItems({"PNG(256 color)", "PNG(true color)", "JPG(true color)", "BMP(true color)", "GIF(256 color)"});
}

int ComboRowForType(int type) {
  switch (type) {
    case Png256: return 0;
    case PngTrueColor: return 1;
    case Jpeg: return 2;
    case Bmp: return 3;
    case GifThroughConverter: return 4;
    default: return -1;
  }
}

int TypeForComboRow(int row) {
  static constexpr int kTypes[] = {Png256, PngTrueColor, Jpeg, Bmp, GifThroughConverter};
  return row >= 0 && row < 5 ? kTypes[row] : Jpeg;
}

FileOptionDialog::FileOptionDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowTitle("File Option");
  setMinimumWidth(380);
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setObjectName("compression");
  slider_->setRange(0, 10);
  slider_->setPageStep(1);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setValue(state.jpegQuality / 10);
  edit_ = new QLineEdit(QString::number(state.jpegQuality));
  edit_->setObjectName("quality");
  edit_->setValidator(new QIntValidator(0, 100, edit_));
  edit_->setMaximumWidth(50);
  auto* standard = new QRadioButton("Standard encoding");
  auto* progressive = new QRadioButton("Progressive encoding");
  (state.jpegProgressive ? progressive : standard)->setChecked(true);

  auto* box = new QGroupBox("Compression");
  auto* grid = new QGridLayout(box);
  grid->addWidget(slider_, 0, 0);
  grid->addWidget(edit_, 0, 1);
  auto* ends = new QHBoxLayout;
  ends->addWidget(new QLabel("Lowest compression,\nbest quality"), 0, Qt::AlignLeft | Qt::AlignTop);
  ends->addStretch(1);
  ends->addWidget(new QLabel("Highest compression."), 0, Qt::AlignRight | Qt::AlignTop);
  grid->addLayout(ends, 1, 0);
  auto* encoding = new QGroupBox("Encoding");
  auto* encLayout = new QVBoxLayout(encoding);
  encLayout->addWidget(standard);
  encLayout->addWidget(progressive);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(encoding);
  layout->addWidget(buttons);

  connect(slider_, &QSlider::valueChanged, this, [this](int pos) {
    state_.jpegQuality = pos * 10;
    edit_->setText(QString::number(state_.jpegQuality));
  });
  // A typed value is taken as it stands; the slider only shows its tenth.
  connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok) return;
    state_.jpegQuality = std::clamp(v, 0, 100);
    const QSignalBlocker block(slider_);
    slider_->setValue(state_.jpegQuality / 10);
  });
  connect(standard, &QRadioButton::toggled, this, [this](bool on) {
    if (on) state_.jpegProgressive = 0;
  });
  connect(progressive, &QRadioButton::toggled, this, [this](bool on) {
    if (on) state_.jpegProgressive = 1;
  });
}

GifHelpDialog::GifHelpDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("How to save gif file in Quorbel");
  auto* text = new QLabel(
      "Quorbel does not write GIF files itself: it writes a bitmap and runs the converter program "
      "bmp2gif, which was not found beside the program.\n\n"
      "1. Download the converter archive bmp2gif.zip.\n"
      "2. Extract it into the program's folder.\n"
      "3. Restart Quorbel.");
  text->setWordWrap(true);
  auto* download = new QPushButton("Download bmp2gif.zip");
  connect(download, &QPushButton::clicked, this,
          [] { QDesktopServices::openUrl(QUrl("https://github.com/topics/gif")); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->addButton(download, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(buttons);
}
