#pragma once
// The preview below the pages: a "Text" tab showing the bare message at its measured size and an
// "Image" tab showing the rendered picture 1:1 (rendering first when the document changed).
#include <QWidget>

struct AppState;
class QTabBar;
class QStackedWidget;

class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr) : QWidget(parent) {}
  void setPicture(const QImage& image);
  const QImage& picture() const { return image_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage image_;
};

class PreviewWindow : public QWidget {
  Q_OBJECT
 public:
  enum Mode { kText = 0, kImage = 1 };
  explicit PreviewWindow(AppState& state, QWidget* parent = nullptr);
  // Refreshes the view of the current tab.
  void UpdatePreview();
  // Selects tab mode, then refreshes.
  void SelectPreviewTab(int mode);
  int mode() const { return mode_; }
  // What the shown view holds (for the window's own checks and screenshots).
  const QImage& shownPicture() const;

 private:
  void OnTabChange(int index);
  QImage TextPicture();
  // Tells the user, once per set, which characters no installed face has.
  void ReportMissingCharacters();
  AppState& state_;
  QTabBar* tabs_;
  QStackedWidget* views_;
  PictureView* textView_;
  PictureView* imageView_;
  int mode_ = kText;
  bool tabLock_ = false;
};
