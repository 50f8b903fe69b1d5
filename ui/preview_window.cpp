#include "ui/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/save_rules.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "imaging/error.h"
#include "raster/engine_context.h"
#include "ui/app_state.h"
#include "ui/dib_qimage.h"
#include "ui/text_convert.h"
#include "ui/ui_hooks.h"

namespace {

QString TypeLabel(ImageFileType type) {
  switch (type) {
    case Gif16: return "GIF 16 colours";
    case Gif256: return "GIF 256 colours";
    case Jpeg: return "JPEG";
    case Bmp: return "BMP";
    case Png256: return "PNG 256 colours";
    case PngTrueColor: return "PNG";
    case GifThroughConverter: return "GIF";
    case Webp: return "WebP";
  }
  return "file";
}

}  // namespace

QColor PictureView::CheckerColour(bool dark) { return dark ? QColor(204, 204, 204) : QColor(255, 255, 255); }

QSize PictureView::pictureSize() const {
  if (image_.isNull()) return QSize(0, 0);
  const QSizeF logical = image_.deviceIndependentSize();
  return QSize(int(std::ceil(logical.width())), int(std::ceil(logical.height())));
}

void PictureView::setPicture(const QImage& image) {
  image_ = image;
  Resize();
}

void PictureView::setZoom(int zoom) {
  if (zoom == zoom_) return;
  zoom_ = zoom;
  Resize();
}

void PictureView::Resize() {
  setFixedSize(sizeHint());
  update();
}

QSize PictureView::sizeHint() const {
  const QSize s = pictureSize() * zoom_;
  return QSize(std::max(10, s.width() + 2 * kBorder), std::max(10, s.height() + 2 * kBorder));
}

void PictureView::paintEvent(QPaintEvent* event) {
  if (image_.isNull()) return;
  QPainter p(this);
  const QRect area(QPoint(kBorder, kBorder), pictureSize() * zoom_);
  const QRect dirty = area & event->rect();
  if (dirty.isEmpty()) return;
  if (image_.hasAlphaChannel()) {
    // Transparent pixels show a checkerboard, as image editors draw them; opaque pixels cover it.
    p.fillRect(dirty, CheckerColour(false));
    const int first = (dirty.top() - area.top()) / kCheckerSquare;
    const int last = (dirty.bottom() - area.top()) / kCheckerSquare;
    const int firstX = (dirty.left() - area.left()) / kCheckerSquare;
    const int lastX = (dirty.right() - area.left()) / kCheckerSquare;
    const QColor dark = CheckerColour(true);
    for (int row = first; row <= last; ++row)
      for (int col = firstX; col <= lastX; ++col)
        if ((row + col) % 2)
          p.fillRect(QRect(area.left() + col * kCheckerSquare, area.top() + row * kCheckerSquare, kCheckerSquare,
                           kCheckerSquare) &
                         dirty,
                     dark);
  }
  // No smoothing: each picture pixel becomes a sharp block of whole device pixels.
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(area, image_);
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
  int at = 0;
  for (PictureView* view : {textView_, imageView_}) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(view);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);
    scroll->viewport()->installEventFilter(this);
    scrolls_[at++] = scroll;
    views_->addWidget(scroll);
  }

  // Zoom: the buttons and the window-wide keys share the actions.
  auto makeAction = [this](const QString& text, const QString& tip, const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setToolTip(tip);
    // The platform's zoom keys and the plain ones may coincide; a key bound twice would be ambiguous.
    QList<QKeySequence> unique;
    for (const QKeySequence& key : keys)
      if (!key.isEmpty() && !unique.contains(key)) unique << key;
    action->setShortcuts(unique);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
  };
  QAction* zoomOut = makeAction(QString::fromUtf8("\u2212"), "Zoom out (Ctrl+\u2212)",
                                QKeySequence::keyBindings(QKeySequence::ZoomOut) << QKeySequence(Qt::CTRL | Qt::Key_Minus));
  QAction* zoomIn = makeAction("+", "Zoom in (Ctrl++)",
                               QKeySequence::keyBindings(QKeySequence::ZoomIn) << QKeySequence(Qt::CTRL | Qt::Key_Plus)
                                   << QKeySequence(Qt::CTRL | Qt::Key_Equal));
  QAction* actual = makeAction("100 %", "Actual size (Ctrl+0)", {QKeySequence(Qt::CTRL | Qt::Key_0)});
  QAction* fit = makeAction("Fit", "Largest whole zoom that fits the view", {});
  fit->setCheckable(true);
  zoomOut->setObjectName("zoomOut");
  zoomIn->setObjectName("zoomIn");
  fit->setObjectName("zoomFit");
  connect(zoomOut, &QAction::triggered, this, &PreviewWindow::ZoomOut);
  connect(zoomIn, &QAction::triggered, this, &PreviewWindow::ZoomIn);
  connect(actual, &QAction::triggered, this, [this] { SetZoom(1); });
  connect(fit, &QAction::toggled, this, &PreviewWindow::SetFit);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(0, 0, 4, 0);
  bar->setSpacing(2);
  bar->addWidget(tabs_);
  bar->addStretch(1);
  for (QAction* action : {zoomOut, zoomIn}) {
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    bar->addWidget(button);
    if (action == zoomOut) {
      zoomLabel_ = new QLabel;
      zoomLabel_->setObjectName("zoomLevel");
      zoomLabel_->setAlignment(Qt::AlignCenter);
      zoomLabel_->setMinimumWidth(zoomLabel_->fontMetrics().horizontalAdvance("800 %") + 6);
      bar->addWidget(zoomLabel_);
    }
  }
  fitButton_ = new QToolButton;
  fitButton_->setDefaultAction(fit);
  fitButton_->setAutoRaise(true);
  bar->addWidget(fitButton_);

  status_ = new QLabel;
  status_->setObjectName("previewStatus");
  status_->setContentsMargins(4, 1, 4, 1);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long message must not widen the window past a small screen.
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(bar);
  layout->addWidget(views_, 1);
  layout->addWidget(status_);

  followTimer_ = new QTimer(this);
  followTimer_->setObjectName("followTimer");
  followTimer_->setSingleShot(true);
  connect(followTimer_, &QTimer::timeout, this, [this] {
    if (mode_ == kImage) UpdatePreview();
  });
  // Measuring the file size encodes the picture: done once the picture has settled.
  sizeTimer_ = new QTimer(this);
  sizeTimer_->setSingleShot(true);
  sizeTimer_->setInterval(250);
  connect(sizeTimer_, &QTimer::timeout, this, &PreviewWindow::MeasureFileSize);
  connect(tabs_, &QTabBar::currentChanged, this, &PreviewWindow::OnTabChange);
  ShowZoom();
}

const QImage& PreviewWindow::shownPicture() const { return shownView().picture(); }

PictureView& PreviewWindow::shownView() const { return mode_ == kText ? *textView_ : *imageView_; }

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
  const int width = std::max(1, ctx.layout.workWidth + 2 * state_.doc.extensionX);
  const int height = std::max(1, ctx.layout.workHeight + 2 * state_.doc.extensionY);
  // Drawn at the screen's own resolution so that the text stays crisp on a high-density screen.
  const qreal dpr = std::clamp(devicePixelRatioF(), 1.0, 4.0);
  QImage out(int(std::ceil(width * dpr)), int(std::ceil(height * dpr)), QImage::Format_RGB32);
  out.setDevicePixelRatio(dpr);
  out.fill(Qt::white);
  // Qt draws the face at its natural width; the engine's text may be narrower or wider, so the
  // drawn text is fitted into the measured box.
  const QFont font = LogFontToQFont(ctx.in.renderFont);
  QString text = QString::fromStdString(ctx.in.renderText);
  text.replace("\r\n", "\n");
  const QRect natural = QFontMetrics(font).boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, text);
  if (natural.width() > 0 && natural.height() > 0 && ctx.layout.workWidth > 0 && ctx.layout.workHeight > 0) {
    QImage drawn(int(std::ceil(natural.width() * dpr)), int(std::ceil(natural.height() * dpr)), QImage::Format_RGB32);
    drawn.setDevicePixelRatio(dpr);
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

bool PreviewWindow::Render() {
  QElapsedTimer clock;
  clock.start();
  QApplication::setOverrideCursor(Qt::BusyCursor);
  bool ok = true;
  try {
    RenderPreview(state_.doc, *state_.ctx);
    renderError_.clear();
  } catch (const quorbel::Error& e) {
    ok = false;
    // The picture is not current: the next chance renders again.
    state_.doc.previewDirty = true;
    ReportRenderError(QString::fromStdString(e.what()));
  }
  QApplication::restoreOverrideCursor();
  lastRenderMs_ = clock.elapsed();
  fileSize_ = -1;
  return ok;
}

void PreviewWindow::ReportRenderError(const QString& message) {
  // Typing on re-renders the same refusal: tell the user once, the status bar keeps saying it.
  if (message == renderError_) return;
  renderError_ = message;
  Hooks().Tell(this, "Error!", "Cannot render the picture: " + message);
}

void PreviewWindow::ShowPicture(PictureView* view, const QImage& image) {
  view->setPicture(image);
  ApplyZoom();
}

void PreviewWindow::UpdatePreview() {
  followTimer_->stop();
  if (mode_ == kText) {
    ShowPicture(textView_, TextPicture());
    views_->setCurrentIndex(0);
    ReportMissingCharacters();
    ShowStatus();
    return;
  }
  const bool ok = !state_.doc.previewDirty || Render();
  const RgbaPicture& rgba = state_.ctx->rgba;
  ShowPicture(imageView_, !ok ? QImage() : rgba.Empty() ? DibToQImage(state_.ctx->image) : RgbaToQImage(rgba));
  views_->setCurrentIndex(1);
  ReportMissingCharacters();
  fileSize_ = -1;
  if (ok) sizeTimer_->start();
  ShowStatus();
}

void PreviewWindow::DocumentEdited() {
  fileSize_ = -1;
  if (mode_ == kText) {
    UpdatePreview();
    return;
  }
  // Quick renders run at most every kFollowDelayMs while keys arrive; slow ones wait for a pause.
  if (lastRenderMs_ > kSlowRenderMs) followTimer_->start(kFollowDelayMs + int(std::min<qint64>(lastRenderMs_, 400)));
  else if (!followTimer_->isActive()) followTimer_->start(kFollowDelayMs);
}

void PreviewWindow::SetZoom(int zoom) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (fit_) {
    fit_ = false;
    const QSignalBlocker block(fitButton_->defaultAction());
    fitButton_->defaultAction()->setChecked(false);
  }
  if (zoom == zoom_ && textView_->zoom() == zoom && imageView_->zoom() == zoom) return;
  // Keep the middle of the shown part in the middle.
  QScrollArea* scroll = scrolls_[mode_ == kText ? 0 : 1];
  const QSize port = scroll->viewport()->size();
  const double cx = (scroll->horizontalScrollBar()->value() + port.width() / 2.0) / zoom_;
  const double cy = (scroll->verticalScrollBar()->value() + port.height() / 2.0) / zoom_;
  zoom_ = zoom;
  ApplyZoom();
  scroll->horizontalScrollBar()->setValue(int(cx * zoom_ - port.width() / 2.0));
  scroll->verticalScrollBar()->setValue(int(cy * zoom_ - port.height() / 2.0));
}

void PreviewWindow::SetFit(bool on) {
  fit_ = on;
  {
    const QSignalBlocker block(fitButton_->defaultAction());
    fitButton_->defaultAction()->setChecked(on);
  }
  ApplyZoom();
}

void PreviewWindow::ApplyZoom() {
  if (fit_) {
    const PictureView& view = shownView();
    const QSize picture = view.pictureSize();
    const QSize port = scrolls_[mode_ == kText ? 0 : 1]->viewport()->size() -
                       QSize(2 * PictureView::kBorder, 2 * PictureView::kBorder);
    int zoom = kMinZoom;
    if (!picture.isEmpty())
      zoom = std::clamp(std::min(port.width() / picture.width(), port.height() / picture.height()), kMinZoom,
                        kMaxZoom);
    zoom_ = zoom;
  }
  textView_->setZoom(zoom_);
  imageView_->setZoom(zoom_);
  ShowZoom();
}

void PreviewWindow::ShowZoom() {
  zoomLabel_->setText(QString("%1 %").arg(zoom_ * 100));
  for (QAction* action : actions()) {
    if (action->objectName() == "zoomIn") action->setEnabled(fit_ || zoom_ < kMaxZoom);
    if (action->objectName() == "zoomOut") action->setEnabled(fit_ || zoom_ > kMinZoom);
  }
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier) {
      const int delta = wheel->angleDelta().y();
      if (delta > 0) ZoomIn();
      if (delta < 0) ZoomOut();
      return true;
    }
  } else if (event->type() == QEvent::Resize && fit_) {
    ApplyZoom();
  }
  return QWidget::eventFilter(watched, event);
}

void PreviewWindow::MeasureFileSize() {
  if (mode_ != kImage || state_.doc.previewDirty || state_.ctx->image.Empty()) return;
  EngineContext& ctx = *state_.ctx;
  SaveSettings settings = state_.CurrentSaveSettings();
  // The converter's GIF is measured as the 256-colour GIF it is made from.
  if (settings.type == GifThroughConverter) settings.type = Gif256;
  // The type's render replaces the pictures; the shown ones are put back afterwards.
  DibImage image = ctx.image, pressed = ctx.pressedImage;
  RgbaPicture rgba = ctx.rgba, pressedRgba = ctx.pressedRgba;
  try {
    RenderForType(state_.doc, ctx, settings);
    fileSize_ = ::CalculateFileSize(state_.doc, ctx, settings);
  } catch (const std::exception&) {
    fileSize_ = -2;
  }
  ctx.image = std::move(image);
  ctx.pressedImage = std::move(pressed);
  ctx.rgba = std::move(rgba);
  ctx.pressedRgba = std::move(pressedRgba);
  state_.doc.previewDirty = false;
  ShowStatus();
}

QString PreviewWindow::statusText() const { return status_->text(); }

void PreviewWindow::ShowStatus() {
  const QSize size = shownView().pictureSize();
  if (mode_ == kText) {
    status_->setText(QString("Text %1 \u00d7 %2 pixels").arg(size.width()).arg(size.height()));
    return;
  }
  if (!renderError_.isEmpty() && state_.doc.previewDirty) {
    status_->setText("Cannot render the picture: " + renderError_);
    return;
  }
  QString text = QString("%1 \u00d7 %2 pixels").arg(size.width()).arg(size.height());
  const QString type = TypeLabel(state_.outputFileType);
  if (fileSize_ >= 0) text += QString("   %1 file: %2 bytes").arg(type).arg(fileSize_);
  else if (fileSize_ == -2) text += QString("   %1 file: size unknown").arg(type);
  status_->setText(text);
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
