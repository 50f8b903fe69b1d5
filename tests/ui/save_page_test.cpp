// The Save page: type selection, names, sizes against the files written, JPEG options, failures.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "imaging/dib_image.h"
#include "imaging/transparency.h"
#include "support/test_support.h"
#include "ui/save_page.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace fs = std::filesystem;

namespace {

void UseGoldenStyle(MainWindow& sheet) {
  sheet.SetActivePage(MainWindow::kMessage);
  auto* styles = sheet.findChild<QListWidget*>("styles");
  styles->setCurrentItem(styles->findItems("golden.sty", Qt::MatchFixedString).front());
}

QComboBox* SaveCombo(MainWindow& sheet) {
  return sheet.tabs().widget(MainWindow::kSave)->findChild<QComboBox*>("fileType");
}

void ChooseRow(QComboBox* combo, int row) {
  combo->setCurrentIndex(row);
  emit combo->activated(row);
}

}  // namespace

class SaveTests : public QObject {
  Q_OBJECT
 private slots:
  void typesNamesAndSizes() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    UseGoldenStyle(sheet);
    sheet.SetActivePage(MainWindow::kSave);
    SavePage& page = sheet.savePage();
    QComboBox* combo = SaveCombo(sheet);
    auto* size = page.findChild<QLineEdit*>("size");
    auto* fileOption = page.findChild<QPushButton*>("fileOption");
    QCOMPARE(combo->currentIndex(), 2);  // JPEG at start
    QVERIFY(fileOption->isEnabled());

    // An empty name stays empty.
    ChooseRow(combo, 0);
    QCOMPARE(page.outputPath, std::string());

    struct Case { int row; ImageFileType type; const char* ext; int bits; };
    const Case cases[] = {{0, Png256, ".png", 8}, {1, PngTrueColor, ".png", 24}, {2, Jpeg, ".jpg", 24},
                          {3, Bmp, ".bmp", 24}};
    for (const Case& c : cases) {
      page.outputPath = dir.file("card.xyz");
      ChooseRow(combo, c.row);
      QCOMPARE(int(app.state->outputFileType), int(c.type));
      QCOMPARE(fileOption->isEnabled(), c.type == Jpeg);
      QCOMPARE(page.outputPath, dir.file(std::string("card") + c.ext));
      QCOMPARE(app.state->ctx->image.BitCount(), c.bits);
      const long long shown = size->text().toLongLong();
      QVERIFY(shown > 0);

      hooks.fileNames = {QString::fromStdString(dir.file(std::string("out_") + std::to_string(c.row)))};
      page.SaveImage();
      const std::string written = dir.file(std::string("out_") + std::to_string(c.row) + c.ext);
      QVERIFY2(fs::exists(written), written.c_str());
      QCOMPARE((long long)fs::file_size(written), shown);
      // Qt's own readers decode what we wrote.
      QImage decoded(QString::fromStdString(written));
      QVERIFY(!decoded.isNull());
      QCOMPARE(decoded.width(), app.state->ctx->image.Width());
      QCOMPARE(decoded.height(), app.state->ctx->image.Height());
      // Lossless types hold the picture exactly; the golden style's backdrop is transparent, so
      // the true-colour PNG carries the alpha picture (colours only where not clear).
      if (c.type != PngTrueColor && c.type != Bmp) continue;
      const RgbaPicture& rgba = app.state->ctx->rgba;
      const bool alpha = c.type == PngTrueColor && !rgba.Empty();
      const DibRowTable rows(app.state->ctx->image);
      for (int y = 0; y < decoded.height(); ++y)
        for (int x = 0; x < decoded.width(); ++x) {
          const uint8_t* s = rows[y] + 3 * x;
          const uint8_t* a = alpha ? &rgba.pixels[(size_t(y) * size_t(rgba.width) + size_t(x)) * 4] : nullptr;
          const QRgb want = alpha ? (a[3] ? qRgba(a[0], a[1], a[2], a[3]) : 0u) : qRgb(s[2], s[1], s[0]);
          const QRgb got = alpha && !a[3] ? QRgb(qAlpha(decoded.pixel(x, y))) : decoded.pixel(x, y);
          if (got != want) QFAIL(qPrintable(QString("pixel %1,%2 differs").arg(x).arg(y)));
        }
    }
    QVERIFY(hooks.told.isEmpty());

    // A name without extension gets one; the pressed-button picture is written beside it.
    app.state->doc.pressedButton = true;
    app.state->doc.previewDirty = true;
    hooks.fileNames = {QString::fromStdString(dir.file("logo"))};
    page.SaveImage();
    QVERIFY(fs::exists(dir.file("logo.bmp")));
    QVERIFY(fs::exists(dir.file("logo_.bmp")));
  }

  void jpegOptionsReachTheFile() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    UseGoldenStyle(sheet);
    sheet.SetActivePage(MainWindow::kSave);
    SavePage& page = sheet.savePage();
    QCOMPARE(app.state->jpegQuality, 20);
    QCOMPARE(app.state->jpegProgressive, 1);

    auto sizeAt = [&](int slider, bool progressive) {
      hooks.onDialog = [&](QDialog& d) {
        d.findChild<QSlider*>("compression")->setValue(slider);
        for (QAbstractButton* r : d.findChildren<QAbstractButton*>())
            if (r->text() == (progressive ? "Progressive encoding" : "Standard encoding")) r->click();
        return int(QDialog::Rejected);  // Cancel keeps the changes too
      };
      page.FileOption();
      hooks.fileNames = {QString::fromStdString(dir.file("q" + std::to_string(slider) + (progressive ? "p" : "s")))};
      page.SaveImage();
      return page.fileSize();
    };
    const long long fine = sizeAt(0, false);
    QCOMPARE(app.state->jpegQuality, 0);
    QCOMPARE(app.state->jpegProgressive, 0);
    const long long coarse = sizeAt(7, false);
    QCOMPARE(app.state->jpegQuality, 70);
    QVERIFY2(coarse < fine, "more compression, smaller file");
    QCOMPARE((long long)fs::file_size(dir.file("q7s.jpg")), coarse);
    sizeAt(7, true);
    QCOMPARE(app.state->jpegProgressive, 1);
    // Progressive files carry an SOF2 marker.
    const auto bytes = testsupport::ReadFileBytes(dir.file("q7p.jpg"));
    bool sof2 = false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) sof2 |= bytes[i] == 0xFF && bytes[i + 1] == 0xC2;
    QVERIFY(sof2);
  }

  void failuresAndMissingConverter() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    UseGoldenStyle(sheet);
    sheet.SetActivePage(MainWindow::kSave);
    SavePage& page = sheet.savePage();
    ChooseRow(SaveCombo(sheet), 1);

    const std::string bad = dir.file("no/such/folder/pic");
    hooks.fileNames = {QString::fromStdString(bad)};
    page.SaveImage();
    QCOMPARE(hooks.told.size(), 1);
    QVERIFY(hooks.told.front().startsWith("Error!|Cannot save file!"));
    QVERIFY(fs::is_empty(dir.path()));
  }

  void alsoHiDpiWritesTheLargerSizesBeside() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    UseGoldenStyle(sheet);
    sheet.SetActivePage(MainWindow::kSave);
    ChooseRow(SaveCombo(sheet), 4);
    SavePage& page = sheet.savePage();
    page.SetAlsoHiDpi(true);
    const int width = app.state->ctx->image.Width();
    hooks.fileNames = {QString::fromStdString(dir.file("button"))};
    page.SaveImage();
    QVERIFY2(hooks.told.isEmpty(), qPrintable(hooks.told.join("; ")));
    for (int s : {1, 2, 3}) {
      const std::string name = s == 1 ? "button.gif" : "button@" + std::to_string(s) + "x.gif";
      const QImage gif(QString::fromStdString(dir.file(name)));
      QVERIFY2(!gif.isNull(), name.c_str());
      QVERIFY2(std::abs(gif.width() - s * width) <= 4 * s + 4, name.c_str());
    }
    // The preview keeps its own size.
    QCOMPARE(app.state->ctx->image.Width(), width);
  }

  void gifWrittenInProcess() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    MainWindow& sheet = *app.sheet;
    UseGoldenStyle(sheet);
    sheet.SetActivePage(MainWindow::kSave);
    ChooseRow(SaveCombo(sheet), 4);
    hooks.fileNames = {QString::fromStdString(dir.file("button"))};
    sheet.savePage().SaveImage();
    QVERIFY2(hooks.told.isEmpty(), qPrintable(hooks.told.join("; ")));
    const QImage gif(QString::fromStdString(dir.file("button.gif")));
    QVERIFY(!gif.isNull());
    QCOMPARE(gif.width(), app.state->ctx->image.Width());
    QCOMPARE(gif.height(), app.state->ctx->image.Height());
    QCOMPARE(testsupport::FolderNames(dir.path()), std::vector<std::string>{"button.gif"});

    // A blue matte: the partly covered edges are blended onto it, and still no glyph pixel is
    // transparent; the pixels no item painted stay the transparent ones.
    SavePage& page = sheet.savePage();
    page.SetMatte(true, 0xFF0000);
    QVERIFY(page.findChild<QCheckBox*>("matte")->isChecked());
    QCOMPARE(app.state->CurrentSaveSettings().matte, std::optional<int32_t>(0xFF0000));
    hooks.fileNames = {QString::fromStdString(dir.file("matte"))};
    page.SaveImage();
    QVERIFY2(hooks.told.isEmpty(), qPrintable(hooks.told.join("; ")));
    const QImage plain = gif.convertToFormat(QImage::Format_ARGB32);
    const QImage matte = QImage(QString::fromStdString(dir.file("matte.gif"))).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(matte.size(), plain.size());
    const RgbaPicture& rgba = app.state->ctx->rgba;
    QVERIFY(!rgba.Empty());
    int edges = 0, edgesChanged = 0;
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x) {
        const uint8_t alpha = rgba.pixels[(size_t(y) * size_t(rgba.width) + size_t(x)) * 4 + 3];
        QCOMPARE(qAlpha(matte.pixel(x, y)) == 0, alpha == 0);
        if (alpha == 0 || alpha == 255) continue;
        ++edges;
        edgesChanged += plain.pixel(x, y) != matte.pixel(x, y);
      }
    QVERIFY(edges > 0);
    QVERIFY2(edgesChanged * 2 > edges, "most edge pixels take the matte");

    // Off again: the settings carry no matte.
    page.findChild<QCheckBox*>("matte")->setChecked(false);
    QVERIFY(!app.state->CurrentSaveSettings().matte);
  }
};

std::unique_ptr<QObject> MakeSaveTests() { return std::make_unique<SaveTests>(); }

#include "save_page_test.moc"
