#include "ui/to_image_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "engine/render_pipeline.h"
#include "app/save_rules.h"
#include "imaging/color_reduction.h"
#include "imaging/graphics_exception.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/ui_hooks.h"

namespace {
const ImageFileType kRowTypes[] = {Png256, PngTrueColor, Jpeg, Bmp, GifThroughConverter};

QString FilterFor(ImageFileType type) {
  switch (type) {
    case Gif16: return "16 color Gif file(*.GIF) (*.GIF *.gif)";
    case Gif256: return "256 color Gif file(*.GIF) (*.GIF *.gif)";
    case Jpeg: return "Jpeg file(*.JPG) (*.JPG *.jpg)";
    case Bmp: return "Windows Bitmap(*.BMP) (*.BMP *.bmp)";
    case Png256:
    case PngTrueColor: return "Portable Network Graphics(*.PNG) (*.PNG *.png)";
    case GifThroughConverter: return "Gif file(*.GIF) (*.GIF *.gif)";
    case Webp: return "WebP file(*.WEBP) (*.WEBP *.webp)";
  }
  return "All Files(*.*) (*)";
}

// Any picture we can read, as 24 bits a pixel (an 8-bit one through its colour table).
bool ToTrueColour(const DibImage& in, DibImage& out) {
  const QImage rgb = DibToQImage(in).convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull() || !out.Create(rgb.width(), rgb.height(), 24)) return false;
  DibRowTable rows(out);
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* s = rgb.constScanLine(y);
    uint8_t* d = rows[y];
    for (int x = 0; x < rgb.width(); ++x) {
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
  }
  return true;
}
}  // namespace

ToImagePage::ToImagePage(AppState& state, MainWindow& sheet) : PlaquetPage(state, sheet) {
  editX_ = new QLineEdit("0");
  editY_ = new QLineEdit("0");
  editX_->setObjectName("x");
  editY_->setObjectName("y");
  for (QLineEdit* e : {editX_, editY_}) e->setValidator(new QIntValidator(-100000, 100000, e));
  file_ = new QLineEdit;
  file_->setObjectName("imageFile");
  file_->setReadOnly(true);
  auto* load = new QPushButton("Load");
  auto* setMessage = new QPushButton("Set Message");
  type_ = new QComboBox;
  type_->addItems({"PNG(256 color)", "PNG(true color)", "JPG(true color)", "BMP(true color)", "GIF(256 color)"});
  auto* save = new QPushButton("Save");

  auto* location = new QGroupBox("Location");
  auto* ll = new QFormLayout(location);
  ll->addRow("X:", editX_);
  ll->addRow("Y:", editY_);
  auto* loadGroup = new QGroupBox("Load Image");
  auto* lg = new QVBoxLayout(loadGroup);
  lg->addWidget(new QLabel("Image file"));
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(load);
  lg->addLayout(fileRow);
  lg->addWidget(setMessage);
  auto* saveGroup = new QGroupBox("Save Image");
  auto* sg = new QFormLayout(saveGroup);
  sg->addRow("File type", type_);
  sg->addRow(save);
  auto* option = new QGroupBox("Image Option");
  auto* ol = new QHBoxLayout(option);
  ol->addWidget(location);
  ol->addWidget(loadGroup, 1);
  ol->addWidget(saveGroup);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(option);
  layout->addStretch();

  connect(load, &QPushButton::clicked, this, &ToImagePage::OnLoad);
  connect(setMessage, &QPushButton::clicked, this, &ToImagePage::SetMessage);
  connect(save, &QPushButton::clicked, this, &ToImagePage::OnSave);
  connect(type_, &QComboBox::activated, this, &ToImagePage::OnTypeRow);
  connect(editX_, &QLineEdit::textEdited, this, &ToImagePage::OnLocationEdited);
  connect(editY_, &QLineEdit::textEdited, this, &ToImagePage::OnLocationEdited);
}

bool ToImagePage::LoadPicture(const std::string& path, const std::string& type) {
  DibImage read, picture;
  std::string error;
  if (!(type.empty() ? read.Load(path, &error) : read.LoadAs(path, type, &error))) {
    // Said aloud: a picture that silently does not appear looks like a fault of the program.
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": " + QString::fromStdString(error));
    return false;
  }
  if (!ToTrueColour(read, picture)) {
    Hooks().Tell(this, "Error!", QString::fromStdString(path) + ": the picture cannot be held in memory");
    return false;
  }
  loaded_ = std::move(picture);
  loadedPath_ = path;
  file_->setText(QString::fromStdString(path));
  PlaceAt(0, 0);
  return true;
}

void ToImagePage::OnLoad() {
  const QString path = Hooks().GetOpenFileName(
      this, "Load", "Windows Bitmap(*.BMP) (*.BMP *.bmp);;JPG file(*.JPG) (*.JPG *.jpg);;WebP file(*.WEBP) (*.WEBP *.webp);;"
      "All Files(*.*) (*)");
  if (!path.isEmpty()) LoadPicture(path.toStdString());
}

void ToImagePage::PlaceAt(int x, int y) {
  x_ = x;
  y_ = y;
  if (editX_->text().toInt() != x || editX_->text().isEmpty()) editX_->setText(QString::number(x));
  if (editY_->text().toInt() != y || editY_->text().isEmpty()) editY_->setText(QString::number(y));
  if (loaded_.Empty()) return;
  EngineContext& ctx = *state_.ctx;
  DibImage& image = ctx.image;
  const int w = loaded_.Width(), h = loaded_.Height();
  if (!image.Create(w, h, 24)) return;
  DibRowTable to(image);
  DibRowTable from(loaded_);
  for (int row = 0; row < h; ++row) std::memcpy(to[row], from[row], size_t(w) * 3);
  ctx.pageCanvas.BlendOntoImage(image, x_, y_);
  // The composition is opaque: no alpha picture stands in for it.
  ctx.rgba.Clear();
  ctx.pressedRgba.Clear();
  // The picture shown is the composition, not a stale render to be redone.
  state_.doc.previewDirty = false;
  sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
}

void ToImagePage::OnLocationEdited() { PlaceAt(editX_->text().toInt(), editY_->text().toInt()); }

void ToImagePage::SetMessage() {
  const DibImage& image = state_.ctx->image;
  if (loaded_.Empty() || image.Width() != loaded_.Width() || image.Height() != loaded_.Height() ||
      image.BitCount() != 24)
    return;
  DibRowTable to(loaded_);
  DibRowTable from(image);
  for (int row = 0; row < loaded_.Height(); ++row) std::memcpy(to[row], from[row], size_t(loaded_.Width()) * 3);
}

void ToImagePage::OnTypeRow(int row) {
  if (row >= 0 && row < int(std::size(kRowTypes))) state_.outputFileType = kRowTypes[row];
}

bool ToImagePage::SaveTo(const std::string& chosen) {
  const ImageFileType type = state_.outputFileType;
  const SaveSettings settings = state_.CurrentSaveSettings();
  const std::string path = WithExtension(chosen, ExtensionFor(type));
  DibImage& image = state_.ctx->image;
  const ExportOptions options = ExportOptionsFor(settings, 0);
  try {
    if (image.Empty() || image.Width() <= 0 || image.Height() <= 0)
      throw GraphicsException(path + ": the picture is empty (nothing to draw)");
    int ok = 0;
    if (type == Gif16 || type == Gif256 || type == GifThroughConverter) {
      // Reduced here: the save page's reduction would render the plain picture again and lose
      // the composition.
      const int colours = type == Gif16 ? 16 : 256;
      DibImage reduced;
      BgrPalette palette{};
      std::vector<uint8_t> indexes(size_t(image.Width()) * size_t(image.Height()));
      std::vector<uint8_t*> outRows(size_t(image.Height()));
      for (int y = 0; y < image.Height(); ++y) outRows[size_t(y)] = indexes.data() + size_t(y) * size_t(image.Width());
      DibRowTable in(image);
      ReduceColors(outRows.data(), in.Rows(), palette, colours, image.Width(), image.Height(),
                   state_.doc.backdropColour, state_.ctx->settings.reduceColorMethod,
                   state_.ctx->settings.dithering);
      if (!reduced.Create(image.Width(), image.Height(), 8, palette.data()))
        throw GraphicsException(path + ": not enough memory");
      DibRowTable out(reduced);
      for (int y = 0; y < image.Height(); ++y) std::memcpy(out[y], outRows[size_t(y)], size_t(image.Width()));
      ok = reduced.SaveAs(path, -1, 8, options);
    } else {
      ok = image.SaveAs(path, -1, type == Png256 ? 8 : 24, options);
    }
    if (!ok) throw GraphicsException(path + ": unknown file type");
  } catch (const GraphicsException& e) {
    Hooks().Tell(this, "Error!", "Cannot save file!\n" + QString::fromStdString(e.what()));
    return false;
  }
  return true;
}

void ToImagePage::OnSave() {
  const ImageFileType type = state_.outputFileType;
  const QString path = Hooks().GetSaveFileName(this, "Save", FilterFor(type), QString(), true);
  if (!path.isEmpty()) SaveTo(path.toStdString());
}

void ToImagePage::OnSetActive() {
  active_ = true;
  if (state_.doc.previewDirty) RenderPreview(state_.doc, *state_.ctx);
  for (int row = 0; row < int(std::size(kRowTypes)); ++row)
    if (kRowTypes[row] == state_.outputFileType) type_->setCurrentIndex(row);
  if (!loaded_.Empty()) PlaceAt(x_, y_);
}

void ToImagePage::OnKillActive() {
  active_ = false;
  // Back to the plain picture for the other pages.
  state_.doc.previewDirty = true;
  RenderPreview(state_.doc, *state_.ctx);
  sheet_.preview().SelectPreviewTab(PreviewWindow::kImage);
}
