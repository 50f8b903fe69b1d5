// The preview: whole-step zoom with exact pixels and a checkerboard only under transparency,
// following typing, the status bar's file size, refused renders, the start-up example and a
// window that fits a 1280 x 800 screen at scale 1 and 2.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>

#include "app/save_rules.h"
#include "app/session.h"
#include "document/document_file.h"
#include "document/preferences.h"
#include "engine/render_pipeline.h"
#include "support/test_support.h"
#include "ui/dib_qimage.h"
#include "ui/examples_page.h"
#include "ui/preview_window.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

// What a checkerboard square under view position (x, y) shows.
QRgb Checker(int x, int y) {
  const int col = (x - PictureView::kBorder) / PictureView::kCheckerSquare;
  const int row = (y - PictureView::kBorder) / PictureView::kCheckerSquare;
  return PictureView::CheckerColour((row + col) % 2).rgb();
}

// Straight alpha over an opaque colour, per channel.
bool Blends(QRgb got, QRgb src, QRgb under) {
  const int a = qAlpha(src);
  for (int shift : {0, 8, 16})
    if (std::abs(int(got >> shift & 255) - int(((src >> shift & 255) * a + (under >> shift & 255) * (255 - a)) / 255)) > 2)
      return false;
  return true;
}

QImage Argb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

// A render's picture: with its alpha when the backdrop is transparent.
QImage Rendered(const EngineContext& ctx) {
  return Argb(ctx.rgba.Empty() ? DibToQImage(ctx.image) : RgbaToQImage(ctx.rgba));
}

}  // namespace

class PreviewTests : public QObject {
  Q_OBJECT
 private slots:
  void zoomKeepsPixelsExactAndCheckersOnlyTransparency() {
    // Opaque colours, clear pixels and half-covered ones, in a picture wider than a checker square.
    QImage picture(13, 9, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const int alpha = (x + y) % 3 == 0 ? 255 : (x + y) % 3 == 1 ? 0 : 128;
        picture.setPixel(x, y, qRgba(x * 19, y * 28, 200 - x * 7, alpha));
      }
    PictureView view;
    view.setPicture(picture);
    for (const int zoom : {1, 2, 4}) {
      view.setZoom(zoom);
      QCOMPARE(view.size(), picture.size() * zoom + QSize(2, 2));
      const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
      for (int y = 0; y < picture.height() * zoom; ++y)
        for (int x = 0; x < picture.width() * zoom; ++x) {
          const QRgb src = picture.pixel(x / zoom, y / zoom);
          const int vx = x + PictureView::kBorder, vy = y + PictureView::kBorder;
          const QRgb got = shot.pixel(vx, vy) | 0xFF000000u;
          if (qAlpha(src) == 255) QCOMPARE(got, src);
          else if (qAlpha(src) == 0) QCOMPARE(got, Checker(vx, vy));
          else QVERIFY2(Blends(got, src, Checker(vx, vy)), qPrintable(QString("%1,%2").arg(x).arg(y)));
        }
    }
  }

  void zoomControlsStepClampAndFit() {
    TestApp app;
    PreviewWindow& preview = app.sheet->preview();
    app.sheet->show();
    QVERIFY(QTest::qWaitForWindowExposed(app.sheet.get()));
    preview.SelectPreviewTab(PreviewWindow::kImage);
    QCOMPARE(preview.zoom(), 1);
    QWidget* port = preview.shownView().parentWidget();
    auto wheel = [port](int delta, Qt::KeyboardModifiers mods) {
      QWheelEvent event(QPointF(5, 5), port->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                        mods, Qt::NoScrollPhase, false);
      QApplication::sendEvent(port, &event);
    };
    wheel(120, Qt::ControlModifier);
    QCOMPARE(preview.zoom(), 2);
    wheel(120, Qt::NoModifier);  // a plain wheel scrolls
    QCOMPARE(preview.zoom(), 2);
    for (int i = 0; i < 10; ++i) preview.ZoomIn();
    QCOMPARE(preview.zoom(), PreviewWindow::kMaxZoom);
    for (int i = 0; i < 10; ++i) wheel(-120, Qt::ControlModifier);
    QCOMPARE(preview.zoom(), 1);
    // Fit: the largest whole step that fits the view, at least 100 %.
    preview.SetFit(true);
    const QSize room = port->size() - QSize(2, 2), pic = preview.shownView().pictureSize();
    QCOMPARE(preview.zoom(), std::clamp(std::min(room.width() / pic.width(), room.height() / pic.height()), 1, 8));
    preview.ZoomOut();
    QVERIFY(!preview.fitting());
  }

  void followsTypingWithOneRenderAfterTheKeys() {
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    sheet.SetActivePage(MainWindow::kMessage);
    sheet.preview().SelectPreviewTab(PreviewWindow::kImage);
    auto* edit = sheet.findChild<QPlainTextEdit*>("message");
    edit->selectAll();
    QTest::keyClicks(edit, "Following");
    // The keys came faster than any timer: no render yet, one pending within 100 ms.
    QVERIFY(app.state->doc.previewDirty);
    QCOMPARE(sheet.preview().mode(), int(PreviewWindow::kImage));
    QTimer* follow = sheet.preview().findChild<QTimer*>("followTimer");
    QVERIFY(follow && follow->isActive());
    QVERIFY(follow->remainingTime() <= 100);
    QTRY_VERIFY_WITH_TIMEOUT(!app.state->doc.previewDirty, 3000);
    QCOMPARE(Argb(sheet.preview().shownPicture()), Rendered(*app.state->ctx));
  }

  void statusGivesTheSizeOfTheWrittenFile() {
    TestHooks hooks;
    TestApp app;
    testsupport::TempDir dir;
    PreviewWindow& preview = app.sheet->preview();
    for (const ImageFileType type : {Jpeg, Gif16, Png256}) {
      app.state->outputFileType = type;
      app.state->doc.previewDirty = true;
      preview.SelectPreviewTab(PreviewWindow::kImage);
      const std::vector<uint8_t> shown = app.state->ctx->image.Packed();
      QTRY_VERIFY(preview.statusText().contains("bytes"));
      // Measuring leaves the shown picture alone.
      QVERIFY(app.state->ctx->image.Packed() == shown);
      const std::vector<std::string> written =
          WriteOutputFiles(app.state->doc, *app.state->ctx, dir.file("out"), app.state->CurrentSaveSettings());
      const QString expected = QString("%1 \u00d7 %2 pixels").arg(app.state->ctx->image.Width())
                                   .arg(app.state->ctx->image.Height());
      QVERIFY2(preview.statusText().startsWith(expected), qPrintable(preview.statusText()));
      QVERIFY2(preview.statusText().endsWith(
                   QString(": %1 bytes").arg(std::filesystem::file_size(written.front()))),
               qPrintable(preview.statusText()));
    }
  }

  void refusedRenderIsToldNotThrown() {
    TestHooks hooks;
    TestApp app;
    app.state->ctx->limits.maxWidth = 8;
    app.state->doc.message().text = "Too wide for the limits";
    app.state->doc.previewDirty = true;
    app.sheet->preview().SelectPreviewTab(PreviewWindow::kImage);
    app.sheet->RenderAndRefresh();
    QCOMPARE(hooks.told.size(), 1);  // once, not at every refresh
    QVERIFY2(hooks.told.front().startsWith("Error!|Cannot render the picture: ") && hooks.told.front().contains("limit"),
             qPrintable(hooks.told.front()));
    QVERIFY(app.sheet->preview().statusText().startsWith("Cannot render the picture"));
    QVERIFY(app.state->doc.previewDirty);
  }

  void theHighlightedExampleIsTheOneShown() {
    TestHooks hooks;
    TestApp app;
    auto* page = app.sheet->findChild<ExamplesPage*>();
    // A document rendered on its own with the same seed.
    auto renderAlone = [&app](const std::string& name) {
      PlaquetDocument doc = MakeStartUpDocument();
      doc.programFolder = app.state->doc.programFolder;
      if (!name.empty()) ReadDocumentFileChecked(doc, doc.programFolder + name, nullptr);
      EngineContext ctx(7);
      PrepareContext(ctx, doc, LoadPreferences(PreferencesPath()));
      RenderPreview(doc, ctx);
      return Rendered(ctx);
    };
    auto shown = [&app] { return Argb(app.sheet->preview().shownPicture()); };
    // Before start-up opens an example, the start-up document is shown and no example claims to be.
    QCOMPARE(app.sheet->preview().mode(), int(PreviewWindow::kImage));
    QCOMPARE(page->list().currentItem(), nullptr);
    QCOMPARE(shown(), renderAlone(""));
    page->OpenStartExample();
    QVERIFY(page->list().currentItem());
    QCOMPARE(shown(), renderAlone(page->list().currentItem()->text().toStdString()));
    page->list().setCurrentRow(3);
    QCOMPARE(shown(), renderAlone(page->list().item(3)->text().toStdString()));
    // A document from elsewhere leaves no example highlighted.
    PlaquetDocument doc = app.state->doc;
    testsupport::TempDir dir;
    QVERIFY(WriteDocument(doc, dir.file("mine.plq"), nullptr) == 0);
    app.sheet->OpenDocumentFile(QString::fromStdString(dir.file("mine.plq")));
    QCOMPARE(page->list().currentItem(), nullptr);
  }

  void windowFitsA1280x800ScreenAtScaleOneAndTwo() {
    TestApp app;
    // Layouts are in logical pixels, which QT_SCALE_FACTOR=2 halves: the window must shrink to a
    // 640 x 400 screen with room for a title bar, every page scrolling where it is taller.
    const QSize least = app.sheet->minimumSizeHint();
    QVERIFY2(least.width() <= 640 - 16 && least.height() <= 400 - 48,
             qPrintable(QString("%1x%2").arg(least.width()).arg(least.height())));
    app.sheet->resize(640 - 16, 400 - 48);
    QCOMPARE(app.sheet->size(), QSize(640 - 16, 400 - 48));
    // The start size stays within the screen.
    const QSize room = app.sheet->screen()->availableGeometry().size();
    TestApp fresh;
    QVERIFY(fresh.sheet->width() <= room.width() && fresh.sheet->height() <= room.height());
  }
};

std::unique_ptr<QObject> MakePreviewTests() { return std::make_unique<PreviewTests>(); }

#include "preview_test.moc"
