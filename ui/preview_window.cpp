#include "ui/preview_window.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/text_convert.h"

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
  QPainter p(&out);
  p.setFont(LogFontToQFont(ctx.in.renderFont));
  p.setPen(Qt::black);
  QString text = QString::fromStdString(ctx.in.renderText);
  text.replace("\r\n", "\n");
  p.drawText(QRect(0, 0, out.width(), out.height()), Qt::AlignCenter, text);
  return out;
}

void PreviewWindow::UpdatePreview() {
  if (mode_ == kText) {
    textView_->setPicture(TextPicture());
    views_->setCurrentIndex(0);
    return;
  }
  if (state_.doc.previewDirty) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    RenderPreview(state_.doc, *state_.ctx);
    QApplication::restoreOverrideCursor();
  }
  imageView_->setPicture(DibToQImage(state_.ctx->g_image));
  views_->setCurrentIndex(1);
}
