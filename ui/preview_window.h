#pragma once
// The preview below the pages: a "Text" tab showing the bare message at its measured size and an
// "Image" tab showing the rendered picture (rendering first when the document changed). Both can
// be zoomed in whole steps with sharp pixels; a status bar gives the picture's size and the size
// of the file the chosen output type would write.
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

struct AppState;
class QTabBar;
class QStackedWidget;
class QScrollArea;
class QLabel;
class QToolButton;
class QTimer;

// Draws a picture magnified by a whole factor, nearest neighbour, on a checkerboard where the
// picture is not opaque. Pictures with a device pixel ratio above 1 are drawn at their logical size.
class PictureView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kBorder = 1;
  static constexpr int kCheckerSquare = 8;
  explicit PictureView(QWidget* parent = nullptr) : QWidget(parent) {}
  void setPicture(const QImage& image);
  const QImage& picture() const { return image_; }
  void setZoom(int zoom);
  int zoom() const { return zoom_; }
  // The picture's size in logical pixels at zoom 1.
  QSize pictureSize() const;
  QSize sizeHint() const override;
  // The two colours of the checkerboard.
  static QColor CheckerColour(bool dark);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Resize();
  QImage image_;
  int zoom_ = 1;
};

class PreviewWindow : public QWidget {
  Q_OBJECT
 public:
  enum Mode { kText = 0, kImage = 1 };
  static constexpr int kMinZoom = 1, kMaxZoom = 8;
  // A change is shown this long after the key press at the latest when rendering is quick.
  static constexpr int kFollowDelayMs = 40;
  // Renders slower than this wait for a pause in the typing instead of running at every key.
  static constexpr int kSlowRenderMs = 60;

  explicit PreviewWindow(AppState& state, QWidget* parent = nullptr);
  // Refreshes the view of the current tab.
  void UpdatePreview();
  // Selects tab mode, then refreshes.
  void SelectPreviewTab(int mode);
  int mode() const { return mode_; }
  // What the shown view holds (for the window's own checks and screenshots).
  const QImage& shownPicture() const;
  // The view of the current tab.
  PictureView& shownView() const;

  // The document changed in a way the current tab should follow: the Text tab at once, the Image
  // tab with a short delay so that quick typing costs one render, not one per key.
  void DocumentEdited();
  // Renders the whole picture now; a render the engine refuses is reported, not thrown.
  bool Render();

  // Zoom in whole steps (1 = 100 %); setting a zoom ends fitting.
  void SetZoom(int zoom);
  int zoom() const { return zoom_; }
  void ZoomIn() { SetZoom(zoom_ + 1); }
  void ZoomOut() { SetZoom(zoom_ - 1); }
  // Fit: the largest whole zoom at which the picture fits the view, kept as the view resizes.
  void SetFit(bool on);
  bool fitting() const { return fit_; }
  QString statusText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnTabChange(int index);
  QImage TextPicture();
  void ShowPicture(PictureView* view, const QImage& image);
  void ApplyZoom();
  void ShowZoom();
  void ShowStatus();
  void MeasureFileSize();
  void ReportRenderError(const QString& message);
  // Tells the user, once per set, which characters no installed face has.
  void ReportMissingCharacters();
  AppState& state_;
  QTabBar* tabs_;
  QStackedWidget* views_;
  QScrollArea* scrolls_[2];
  PictureView* textView_;
  PictureView* imageView_;
  QToolButton* fitButton_;
  QLabel* zoomLabel_;
  QLabel* status_;
  QTimer* followTimer_;
  QTimer* sizeTimer_;
  int mode_ = kText;
  bool tabLock_ = false;
  int zoom_ = 1;
  bool fit_ = false;
  qint64 lastRenderMs_ = 0;
  qint64 fileSize_ = -1;  // of the chosen type for the shown picture; -1 while not measured
  QString renderError_;   // the last refused render's message, reported once
};
