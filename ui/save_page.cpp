#include "ui/save_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <exception>

#include "engine/render_pipeline.h"
#include "app/save_rules.h"
#include "platform/program_folder.h"
#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/save_dialogs.h"
#include "ui/ui_hooks.h"

namespace {

QString FilterFor(int type) {
  switch (type) {
    case Gif16: return "16 color Gif file(*.GIF) (*.GIF *.gif)";
    case Gif256: return "256 color Gif file(*.GIF) (*.GIF *.gif)";
    case Jpeg: return "Jpeg file(*.JPG) (*.JPG *.jpg)";
    case Bmp: return "Windows Bitmap(*.BMP) (*.BMP *.bmp)";
    case Png256:
    case PngTrueColor: return "Portable Network Graphics(*.PNG) (*.PNG *.png)";
    default: return "Gif file(*.GIF) (*.GIF *.gif)";
  }
}

QColor FromColorRef(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
int32_t ToColorRef(const QColor& c) { return int32_t(c.red() | (c.green() << 8) | (c.blue() << 16)); }

}  // namespace

SavePage::SavePage(AppState& state, MainWindow& sheet) : PlaquetPage(state, sheet) {
  combo_ = new QComboBox;
  combo_->setObjectName("fileType");
  FillFileTypeCombo(*combo_);
  calculate_ = new QPushButton("Calculate");
  calculate_->setObjectName("calculate");
  fileOption_ = new QPushButton("File Option");
  fileOption_->setObjectName("fileOption");
  save_ = new QPushButton("Save Image");
  save_->setObjectName("saveImage");
  save_->setToolTip("Click to save the image you have made");
  size_ = new QLineEdit("0");
  size_->setObjectName("size");
  size_->setReadOnly(true);
  size_->setToolTip("It specify your image file length");

  matte_ = new QCheckBox("Matte");
  matte_->setObjectName("matte");
  matte_->setToolTip("Blend the edges of a transparent picture onto this colour where the file cannot hold transparency");
  matteSwatch_ = new QLabel;
  matteSwatch_->setObjectName("matteSwatch");
  matteSwatch_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  matteSwatch_->setFixedSize(40, 22);
  matteSwatch_->setAutoFillBackground(true);
  matteColourButton_ = new QPushButton("Color");
  matteColourButton_->setObjectName("matteColor");
  matteColourButton_->setToolTip("Click to change the matte color");

  alsoHiDpi_ = new QCheckBox("Also save @2x and @3x");
  alsoHiDpi_->setObjectName("alsoHiDpi");
  alsoHiDpi_->setToolTip("Also write the picture at twice and three times the size, for high-resolution screens");

  // The single-type radios of older versions stay, hidden: the combo box replaced them.
  const std::pair<const char*, const char*> radios[] = {
      {"16 Color GIF", "16 color GIF image"},     {"256 Color GIF", "256 color GIF image"},
      {"JPG(24bit color)", "True color JPG image"}, {"Windows BMP", "True color BMP image"},
      {"PNG(24bit color)", "True color PNG image"}, {"PNG(256color)", "256 color PNG image"}};
  for (const auto& [label, tip] : radios) {
    auto* r = new QRadioButton(label, this);
    r->setToolTip(tip);
    r->setEnabled(false);
    r->hide();
  }

  auto* typeBox = new QGroupBox("File type");
  auto* typeLayout = new QHBoxLayout(typeBox);
  typeLayout->addWidget(combo_, 1);
  typeLayout->addWidget(fileOption_);

  auto* matteLayout = new QHBoxLayout;
  matteLayout->addWidget(matte_);
  matteLayout->addWidget(matteSwatch_);
  matteLayout->addWidget(matteColourButton_);
  matteLayout->addStretch(1);

  auto* sizeBox = new QGroupBox("Current file size(byte)");
  auto* sizeLayout = new QHBoxLayout(sizeBox);
  sizeLayout->addWidget(new QLabel("Size"));
  sizeLayout->addWidget(size_, 1);
  sizeLayout->addWidget(calculate_);

  auto* note = new QLabel(
      "If you finish creating font image, select image file type and press 'Save Image' Button.");
  note->setWordWrap(true);

  auto* property = new QGroupBox("Bitmap File property");
  auto* propLayout = new QVBoxLayout(property);
  propLayout->addWidget(note);
  propLayout->addWidget(typeBox);
  propLayout->addLayout(matteLayout);
  propLayout->addWidget(alsoHiDpi_);
  propLayout->addWidget(sizeBox);
  propLayout->addWidget(save_, 0, Qt::AlignRight);
  propLayout->addStretch(1);

  auto* picture = new QLabel;
  picture->setPixmap(QApplication::style()->standardPixmap(QStyle::SP_DialogSaveButton).scaled(48, 48));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(picture);
  layout->addWidget(property, 1);

  connect(combo_, &QComboBox::activated, this, &SavePage::OnComboChanged);
  connect(calculate_, &QPushButton::clicked, this, &SavePage::Calculate);
  connect(fileOption_, &QPushButton::clicked, this, &SavePage::FileOption);
  connect(save_, &QPushButton::clicked, this, &SavePage::SaveImage);
  connect(matte_, &QCheckBox::toggled, this, [this](bool on) { SetMatte(on, matteColour_); });
  connect(matteColourButton_, &QPushButton::clicked, this, &SavePage::OnMatteColour);
  ShowMatte();
}

void SavePage::ShowMatte() {
  if (state_.matte) matteColour_ = *state_.matte;
  {
    const QSignalBlocker block(matte_);
    matte_->setChecked(state_.matte.has_value());
  }
  QPalette pal = matteSwatch_->palette();
  pal.setColor(QPalette::Window, FromColorRef(matteColour_));
  matteSwatch_->setPalette(pal);
  matteSwatch_->update();
}

void SavePage::SetMatte(bool on, int32_t colour) {
  matteColour_ = colour & 0xFFFFFF;
  const std::optional<int32_t> matte = on ? std::optional<int32_t>(matteColour_) : std::nullopt;
  const bool changed = matte != state_.matte;
  state_.matte = matte;
  ShowMatte();
  // The shown size is that of the file the new settings would write.
  if (changed && fileSize_ != 0) CalculateFileSize();
}

void SavePage::OnMatteColour() {
  const QColor chosen = QColorDialog::getColor(FromColorRef(matteColour_), this, "Color");
  if (!chosen.isValid()) return;
  // Choosing a colour means the user wants it used.
  SetMatte(true, ToColorRef(chosen));
}

void SavePage::ShowSize() { size_->setText(QString::number(fileSize_)); }

void SavePage::OnSetActive() {
  if (!initialised_) {
    initialised_ = true;
    if (state_.outputFileType >= Gif256 && state_.outputFileType <= PngTrueColor) SelectType(state_.outputFileType);
  }
  fileSize_ = 0;
  ShowSize();
  const int row = ComboRowForType(state_.outputFileType);
  if (row >= 0) {
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(row);
  }
  fileOption_->setEnabled(state_.outputFileType == Jpeg);
  ShowMatte();
}

void SavePage::OnKillActive() {
  // Other pages show the full-colour picture.
  if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
  else Recompose(state_.doc, *state_.ctx);
  sheet_.preview().UpdatePreview();
}

void SavePage::SelectType(int type) {
  state_.outputFileType = ImageFileType(type);
  if (type == GifThroughConverter) return;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  // The type's render recomposes the last full render: make sure there is a current one.
  if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
  RenderForType(state_.doc, *state_.ctx, state_.CurrentSaveSettings());
  QApplication::restoreOverrideCursor();
  sheet_.preview().UpdatePreview();
  CalculateFileSize();
  if (type != Gif256) outputPath = ChangeExtensionIfNamed(outputPath, ExtensionFor(ImageFileType(type)));
}

void SavePage::OnComboChanged(int row) {
  const int type = TypeForComboRow(row);
  fileOption_->setEnabled(type == Jpeg);
  SelectType(type);
}

void SavePage::CalculateFileSize() {
  try {
    fileSize_ = ::CalculateFileSize(state_.doc, *state_.ctx, state_.CurrentSaveSettings());
  } catch (const std::exception& e) {
    fileSize_ = 0;
    Hooks().Tell(this, "Error!", QString("Cannot calculate the file size: ") + e.what());
  }
  ShowSize();
}

void SavePage::Calculate() {
  const int type = state_.outputFileType;
  if (type == Gif16 || type == Gif256 || type == Jpeg || type == Bmp) {
    if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
    RenderForType(state_.doc, *state_.ctx, state_.CurrentSaveSettings());
    sheet_.preview().UpdatePreview();
  }
  CalculateFileSize();
}

void SavePage::FileOption() {
  FileOptionDialog dialog(state_, this);
  Hooks().Exec(dialog);
  CalculateFileSize();
}

void SavePage::SaveImage() {
  const int type = state_.outputFileType;
  const QString path = Hooks().GetSaveFileName(this, "Save Image", FilterFor(type), QString(), true);
  if (path.isEmpty()) return;
  outputPath = path.toStdString();
  WriteOutputFiles();
}

void SavePage::SetAlsoHiDpi(bool on) { alsoHiDpi_->setChecked(on); }
bool SavePage::alsoHiDpi() const { return alsoHiDpi_->isChecked(); }

bool SavePage::WriteOutputFiles() {
  if (!sheet_.RefuseShipped(outputPath)) return false;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  std::string failure;
  try {
    if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
    SaveSettings settings = state_.CurrentSaveSettings();
    if (alsoHiDpi_->isChecked()) settings.scales = {1, 2, 3};
    ::WriteOutputFiles(state_.doc, *state_.ctx, outputPath, settings);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  QApplication::restoreOverrideCursor();
  sheet_.preview().UpdatePreview();
  if (!failure.empty()) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + QString::fromStdString(failure));
    return false;
  }
  sheet_.ShowSaved(outputPath);
  return true;
}
