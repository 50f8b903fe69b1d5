#include "ui/preview_window.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/text_convert.h"
#include "ui/ui_hooks.h"

void PictureView::setPicture(const QImage& image) {
  image_ = image;
  setFixedSize(std::max(10, image.width() + 2), std::max(10, image.height() + 2));
  update();
}

QSize PictureView::sizeHint() const {
  return QSize(std::max(10, image_.width() + 2), std::max(10, image_.height() + 2));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (image_.hasAlphaChannel()) {
    // Transparent pixels show a checkerboard, as image editors draw them.
    constexpr int kSquare = 8;
    const QRect area(1, 1, image_.width(), image_.height());
    p.fillRect(area, QColor(255, 255, 255));
    p.setClipRect(area);
    for (int y = 0; y < image_.height(); y += kSquare)
      for (int x = (y / kSquare) % 2 ? 0 : kSquare; x < image_.width(); x += 2 * kSquare)
        p.fillRect(1 + x, 1 + y, kSquare, kSquare, QColor(204, 204, 204));
    p.setClipping(false);
  }
  p.drawImage(1, 1, image_);
}

PreviewWindow::PreviewWindow(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
  tabs_ = new QTabBar;
  tabs_->setObjectName("previewTabs");
  tabs_->addTab("Text");
  tabs_->addTab("Image");
  tabs_->setExpanding(false);
  views_ = new QStackedWidget;
  textView_ = new PictureView;
  textView_->setObjectName("textView");
  imageView_ = new PictureView;
  imageView_->setObjectName("imageView");
  for (PictureView* view : {textView_, imageView_}) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(view);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);
    views_->addWidget(scroll);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tabs_);
  layout->addWidget(views_, 1);
  connect(tabs_, &QTabBar::currentChanged, this, &PreviewWindow::OnTabChange);
}

const QImage& PreviewWindow::shownPicture() const {
  return mode_ == kText ? textView_->picture() : imageView_->picture();
}

void PreviewWindow::OnTabChange(int index) {
  if (tabLock_) return;
  mode_ = index;
  UpdatePreview();
}

void PreviewWindow::SelectPreviewTab(int mode) {
  tabLock_ = true;
  tabs_->setCurrentIndex(mode);
  tabLock_ = false;
  mode_ = mode;
  UpdatePreview();
}

QImage PreviewWindow::TextPicture() {
  EngineContext& ctx = *state_.ctx;
  MeasureText(ctx);
  // Kept local: the page size of the last full render must survive for Recompose.
  const int width = ctx.layout.workWidth + 2 * state_.doc.extensionX;
  const int height = ctx.layout.workHeight + 2 * state_.doc.extensionY;
  QImage out(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  out.fill(Qt::white);
  // Qt draws the face at its natural width; the engine's text may be narrower or wider, so the
  // drawn text is fitted into the measured box.
  const QFont font = LogFontToQFont(ctx.in.renderFont);
  QString text = QString::fromStdString(ctx.in.renderText);
  text.replace("\r\n", "\n");
  const QRect natural = QFontMetrics(font).boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, text);
  if (natural.width() > 0 && natural.height() > 0 && ctx.layout.workWidth > 0 && ctx.layout.workHeight > 0) {
    QImage drawn(natural.size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter tp(&drawn);
    tp.setFont(font);
    tp.setPen(Qt::black);
    tp.drawText(QRect(QPoint(0, 0), natural.size()), Qt::AlignLeft | Qt::AlignTop, text);
    tp.end();
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(state_.doc.extensionX, state_.doc.extensionY, ctx.layout.workWidth, ctx.layout.workHeight),
                drawn);
  }
  return out;
}

void PreviewWindow::UpdatePreview() {
  if (mode_ == kText) {
    textView_->setPicture(TextPicture());
    views_->setCurrentIndex(0);
    ReportMissingCharacters();
    return;
  }
  if (state_.doc.previewDirty) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    RenderPreview(state_.doc, *state_.ctx);
    QApplication::restoreOverrideCursor();
  }
  const RgbaPicture& rgba = state_.ctx->rgba;
  imageView_->setPicture(rgba.Empty() ? DibToQImage(state_.ctx->image) : RgbaToQImage(rgba));
  views_->setCurrentIndex(1);
  ReportMissingCharacters();
}

void PreviewWindow::ReportMissingCharacters() {
  const QString missing = QString::fromStdString(state_.ctx->fonts.TakeMissingCharacters());
  if (missing.isEmpty()) return;
  const QList<uint> points = missing.toUcs4();
  std::u32string set(points.begin(), points.end());
  std::sort(set.begin(), set.end());
  // Every render finds the same characters again: tell the user once, not at each key press.
  if (set == state_.reportedMissingCharacters) return;
  state_.reportedMissingCharacters = set;
  QStringList codes;
  for (uint cp : points) codes << QString("U+%1").arg(cp, 4, 16, QChar('0')).toUpper();
  Hooks().Tell(this, "Warning",
               QString("No installed font has the characters \"%1\" (%2); they are drawn as boxes.")
                   .arg(missing, codes.join(' ')),
               QMessageBox::Warning);
}
