// Effect parameter dialogs: controls write the record at once and preview that one effect; typed
// numbers outside a slider's range are kept; the profile dialog.
#include <QColorDialog>
#include <QApplication>
#include <QComboBox>
#include <QDial>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <fstream>

#include "ui/dialogs/effect_dialogs.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_dispatcher.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "imaging/dib_image.h"
#include "support/test_support.h"
#include "ui/dib_qimage.h"
#include "ui/live_slider.h"
#include "ui/open_bitmap_dialog.h"
#include "ui/preview_window.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

// The work set of the dialogs: the message rasterized on its own, as the style editor leaves it.
void PrepareGlyphs(TestApp& app, const char* text = "Quorbel!") {
  EngineContext& ctx = *app.state->ctx;
  LoadRenderInputs(app.state->doc, app.state->doc.message(), ctx);
  ctx.in.renderText = text;
  ctx.in.renderFont.faceName = "DejaVu Sans";
  ctx.in.renderFont.height = 48;
  ctx.in.renderFont.weight = 700;
  ctx.in.effects.clear();
  RasterizeItem(ctx);
}

QImage Picture(const TestApp& app) { return DibToQImage(app.state->ctx->image); }

EffectRecord& Template(TestApp& app, int type) {
  return app.state->doc.effectTemplates[size_t(EffectTemplateIndex(type))];
}

std::unique_ptr<EffectDialog> Open(TestApp& app, int type) {
  return MakeEffectDialog(type, Template(app, type), *app.state, app.sheet.get());
}

void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Answers the texture chooser with its first file.
int ChooseFirstImage(QDialog& dlg) {
  auto* list = dlg.findChild<QListWidget*>("imageFiles");
  if (!list || list->count() == 0) return QDialog::Rejected;
  list->setCurrentRow(0);
  return QDialog::Accepted;
}

// Every slider row of a dialog: the slots the catalogue lists with a range.
std::vector<int> SliderSlots(const EffectDialog& d, int type) {
  std::vector<int> slots_;
  for (const EffectParam& p : FindEffectInfo(type)->params)
    if (d.sliderFor(p.slot)) slots_.push_back(p.slot);
  return slots_;
}

}  // namespace

class EffectDialogTests : public QObject {
  Q_OBJECT
 private slots:
  void slidersWriteTheRecordAndPreview() {
    TestHooks hooks;
    for (int type = 0; type < kEffectTypeCount; ++type) {
      TestApp app;
    PrepareGlyphs(app);
      auto dialog = Open(app, type);
      QVERIFY(dialog);
      QCOMPARE(dialog->windowTitle(), QString(FindEffectInfo(type)->dialogTitle));
      const std::vector<int> slotList = SliderSlots(*dialog, type);
      bool pictureChanged = false;
      for (int slot : slotList) {
        LiveSlider* s = dialog->sliderFor(slot);
        // Ranges and page sizes come from the catalogue.
        const EffectParam* p = FindEffectParam(type, slot);
        QCOMPARE(s->minimum(), p->minValue);
        QCOMPARE(s->pageStep(), p->page);
        const QImage before = Picture(app);
        const int previews = dialog->previewCount();
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_PageDown : Qt::Key_PageUp);
        QCOMPARE(dialog->record().p[size_t(slot)], s->value());
        QCOMPARE(dialog->editFor(slot)->text().toDouble() * (type == RoundBox ? 10 : 1), double(s->value()));
        if (type == DepthField) continue;
        QVERIFY2(dialog->previewCount() == previews + 1, FindEffectInfo(type)->key);
        pictureChanged |= Picture(app) != before;
      }
      if (!slotList.empty() && type != DepthField) QVERIFY2(pictureChanged, FindEffectInfo(type)->key);
      if (type == DepthField) QCOMPARE(dialog->previewCount(), 0);
      // Both endings leave the values in the record; the style editor decides what to keep.
      const EffectRecord edited = dialog->record();
      dialog->reject();
      QCOMPARE(Template(app, type), edited);
    }
  }

  void typedNumbers() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    {
      auto d = Open(app, OutLine);
      QLineEdit* offset = d->editFor(2);
      Type(offset, "-35");  // outside -20..20: kept as typed, the slider shows the end
      QCOMPARE(d->record().p[2], -35);
      QCOMPARE(d->sliderFor(2)->value(), -20);
      Type(offset, "abc");  // refused by the box
      QCOMPARE(offset->text(), QString("-35"));
      QCOMPARE(d->record().p[2], -35);
      QLineEdit* thickness = d->editFor(4);
      Type(thickness, "-3");  // no minus where the range has no negatives
      QCOMPARE(thickness->text(), QString("3"));
      Type(thickness, "999");
      QCOMPARE(d->record().p[4], 999);
      QCOMPARE(d->sliderFor(4)->value(), 10);
    }
    {
      auto d = Open(app, DropShadow);
      Type(d->editFor(5), "40");
      QCOMPARE(d->record().p[5], 31);
      QCOMPARE(d->editFor(5)->text(), QString("31"));
      Type(d->editFor(5), "12");
      QCOMPARE(d->record().p[5], 12);
    }
    {
      auto d = Open(app, RoundBox);
      Type(d->editFor(6), "5");  // tenths: 5 means 50
      QCOMPARE(d->record().p[6], 50);
      QCOMPARE(d->sliderFor(6)->value(), 50);
      Type(d->editFor(7), "2.3");  // 2.3 x 10 is 22.999.. in binary: still 23
      QCOMPARE(d->record().p[7], 23);
      Type(d->editFor(4), "12.34");
      QCOMPARE(d->record().p[4], 123);
      QCOMPARE(d->record().p[7], 23);
      QCOMPARE(d->record().p[6], 50);  // all four stored, unchanged ones as shown
      QVERIFY(!d->colourButtonFor(0));  // the catalogue gives the box no colour
    }
    {
      auto d = Open(app, Fog);
      Type(d->editFor(11), "12.7");
      QCOMPARE(d->record().p[11], 12);
      Type(d->editFor(10), "4000");
      QCOMPARE(d->record().p[10], 4000);
      QCOMPARE(d->sliderFor(10)->value(), 300);
    }
    // A style made of the out-of-range values still renders.
    app.state->doc.message().effects = {Template(app, OutLine), Template(app, DropShadow),
                                             Template(app, Fog), Template(app, RoundBox)};
    app.state->doc.previewDirty = true;
    RenderPreview(app.state->doc, *app.state->ctx);
    QVERIFY(!app.state->ctx->image.Empty());
  }

  void drawFillKindsColourAndTexture() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    testsupport::TempDir folder;
    QDir().mkpath(QString::fromStdString((folder.path() / "texture").string()));
    std::ofstream((folder.path() / "texture" / "stripes.bmp").string()) << "x";
    app.state->ctx->programFolder = folder.path().string() + "/";
    EffectRecord& t = Template(app, SingleColor);
    t.p[4] = 0;
    auto d = Open(app, SingleColor);
    auto* draw = static_cast<DrawDialog*>(d.get());
    QVERIFY(draw->kindButton(2)->isChecked());
    QCOMPARE(t.p[4], 2);
    QVERIFY(draw->colourButtonFor(0)->isEnabled());
    QVERIFY(!draw->bitmapButton()->isEnabled());

    // The colour dialog starts at the record's colour; red as COLORREF is 0x0000FF.
    QColor initial;
    hooks.onDialog = [&initial](QDialog& dlg) -> int {
      auto& c = dynamic_cast<QColorDialog&>(dlg);
      initial = c.currentColor();
      c.setCurrentColor(QColor(255, 0, 0));
      return int(QDialog::Accepted);
    };
    draw->colourButtonFor(0)->click();
    QCOMPARE(initial, QColor(0, 0, 0));
    QCOMPARE(t.p[0], 0x0000FF);
    const QImage red = Picture(app);
    bool anyRed = false;
    for (int y = 0; y < red.height() && !anyRed; ++y)
      for (int x = 0; x < red.width(); ++x) {
        const QRgb c = red.pixel(x, y);
        anyRed |= qRed(c) >= 250 && qGreen(c) < 5 && qBlue(c) < 5;
      }
    QVERIFY(anyRed);

    draw->kindButton(4)->click();
    QCOMPARE(t.p[4], 4);
    QVERIFY(draw->bitmapButton()->isEnabled());
    QVERIFY(!draw->colourButtonFor(0)->isEnabled());
    hooks.onDialog = ChooseFirstImage;
    draw->bitmapButton()->click();
    QCOMPARE(t.fileName, std::string("stripes.bmp"));
    QCOMPARE(draw->fileNameEdit()->text(), QString("stripes.bmp"));
    // A texture that cannot be read paints nothing rather than failing.
    draw->kindButton(5)->click();
    QCOMPARE(t.p[4], 5);
  }

  void distortPreviewsFromTheOpeningGlyphs() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    EffectRecord& t = Template(app, DisturbTemplet);
    t.p[4] = 1;  // sin(x)
    t.p[6] = 500;
    auto d = Open(app, DisturbTemplet);
    auto* dialog = static_cast<DisturbDialog*>(d.get());
    const QImage first = Picture(app);
    LiveSlider* wavelength = dialog->sliderFor(5);
    QTest::keyClick(wavelength, Qt::Key_PageUp);
    QVERIFY(Picture(app) != first);
    QTest::keyClick(wavelength, Qt::Key_PageDown);
    QCOMPARE(Picture(app), first);  // distorted once, not twice
    // The preview paints the distorted shape white: every lit pixel of the glyph mask.
    const WorkSet& work = app.state->ctx->work;
    int lit = 0;
    for (int y = 0; y < work.workHeight; ++y)
      for (int x = 0; x < work.workWidth; ++x)
        if (work.glyphRows[size_t(y)][3 * x] == 255) {
          ++lit;
          QVERIFY(qBlue(first.pixel(x, y)) >= 254);  // the white fill, as effects read byte 0
        }
    QVERIFY(lit > 0);

    // "Enlarge" narrows the amplitude to 1..100; the record follows at the next change.
    QComboBox* type = dialog->choiceFor(4);
    QCOMPARE(type->count(), 9);
    QCOMPARE(type->itemText(8), QString("Enlarge"));
    emit type->activated(8);
    QCOMPARE(t.p[4], 8);
    QCOMPARE(dialog->sliderFor(6)->maximum(), 100);
    QCOMPARE(dialog->sliderFor(6)->value(), 100);
    QCOMPARE(t.p[6], 500);
    QTest::keyClick(wavelength, Qt::Key_PageUp);
    QCOMPARE(t.p[6], 100);
    emit type->activated(1);
    QCOMPARE(dialog->sliderFor(6)->maximum(), 1000);
  }

  void starFilterPreviewIsAStroke() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    auto d = Open(app, StarFilter);
    const QImage img = Picture(app);
    const int h = app.state->ctx->work.workHeight / 2;
    QVERIFY(img.width() > 74);
    const QRgb centre = img.pixel(50, h);
    QVERIFY(qRed(centre) + qGreen(centre) + qBlue(centre) > 3 * 128);  // white light by default
    QCOMPARE(img.pixel(img.width() - 1, 0), qRgb(0, 0, 0));
    // Offsets store without previewing (the stroke does not use them).
    const int previews = d->previewCount();
    Type(d->editFor(2), "7");
    QCOMPARE(d->record().p[2], 7);
    QCOMPARE(d->previewCount(), previews);
  }

  void gradientAngle() {
    // Hand-computed angles of the picker: right 0, up 270, left 180, down-right ~45.
    QCOMPARE(DirectionPicker::AngleAt(60, 25, 100, 50), 0.0f);
    QCOMPARE(DirectionPicker::AngleAt(50, 10, 100, 50), 270.0f);
    QCOMPARE(DirectionPicker::AngleAt(50, 40, 100, 50), 90.0f);
    QCOMPARE(DirectionPicker::AngleAt(40, 25, 100, 50), 180.0f);
    QVERIFY(std::fabs(DirectionPicker::AngleAt(60, 35, 100, 50) - 45.0228f) < 1e-3f);
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    auto d = Open(app, LinearGradient);
    auto* g = static_cast<GradientDialog*>(d.get());
    const QImage before = Picture(app);
    Type(g->angleEdit(), "123.9");
    QCOMPARE(d->record().p[4], 123);
    QCOMPARE(g->picker()->angle(), 123.0f);
    QVERIFY(Picture(app) != before);
    // Dragging over the picker sets the angle; the release previews.
    const QPoint c(g->picker()->width() / 2, g->picker()->height() / 2);
    QTest::mousePress(g->picker(), Qt::LeftButton, {}, c + QPoint(0, 10));
    QTest::mouseRelease(g->picker(), Qt::LeftButton, {}, c + QPoint(0, 10));
    QCOMPARE(d->record().p[4], 90);
  }

  void profileDialog() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    EffectRecord& solid = Template(app, ThreeDSingleColor);
    EffectRecord& fog = Template(app, Fog);
    const EffectRecord solidBefore = solid;
    // From Fog: moving the shape sliders leaves the 3D Single Color template alone; OK stores
    // the profile into the fog.
    {
      auto d = Open(app, Fog);
      QString title;
      int ceilingShown = 0, waveEndMax = 0;
      bool solidUntouched = false;
      hooks.onDialog = [&](QDialog& dlg) -> int {
        auto& shape = dynamic_cast<ThreeDShapeDialog&>(dlg);
        title = shape.windowTitle();
        ceilingShown = shape.ceilingSlider()->value();
        QTest::keyClick(shape.ceilingSlider(), Qt::Key_PageUp);  // +5 on the slider: ceiling -5
        QTest::keyClick(shape.sliderFor(6), Qt::Key_PageDown);   // wavelength 25 -> 15
        waveEndMax = shape.waveEndSlider()->maximum();
        solidUntouched = solid == solidBefore;
        return QDialog::Accepted;
      };
      const int ceilingBefore = fog.p[7];
      ButtonNamed(*d, "Change Fog General Density")->click();
      QCOMPARE(title, QString("3D Shape"));
      QCOMPARE(ceilingShown, -ceilingBefore);
      QCOMPARE(waveEndMax, 15);
      QVERIFY(solidUntouched);
      QCOMPARE(fog.p[7], ceilingBefore - 5);
      QCOMPARE(fog.p[6], 15);
      QCOMPARE(solid, solidBefore);
      // Cancel: the fog keeps its profile.
      hooks.onDialog = [](QDialog& dlg) -> int {
        QTest::keyClick(static_cast<ThreeDShapeDialog&>(dlg).plateauSlider(), Qt::Key_PageUp);
        return int(QDialog::Rejected);
      };
      const EffectRecord fogBefore = fog;
      ButtonNamed(*d, "Change Fog General Density")->click();
      QCOMPARE(fog, fogBefore);
    }
    // From 3D Single Color the template follows the sliders as they move.
    {
      auto d = Open(app, ThreeDSingleColor);
      int whileOpen = 0;
      hooks.onDialog = [&](QDialog& dlg) -> int {
        QTest::keyClick(dynamic_cast<ThreeDShapeDialog&>(dlg).plateauSlider(), Qt::Key_PageUp);
        whileOpen = solid.p[9];
        return QDialog::Accepted;
      };
      ButtonNamed(*d, "Change 3D Modeling Option")->click();
      QCOMPARE(whileOpen, solidBefore.p[9] - 10);
      QCOMPARE(solid.p[9], solidBefore.p[9] - 10);
    }
  }

  void tileStartsFromTheOpeningColour() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    testsupport::TempDir folder;
    QDir().mkpath(QString::fromStdString((folder.path() / "texture").string()));
    DibImage texture;
    texture.Create(4, 4, 24);
    for (int i = 0; i < 4 * 12; ++i) texture.Bits()[i] = uint8_t(i % 3 == 0 ? 40 * (i / 12) : 200);
    QCOMPARE(WriteBmp(texture, (folder.path() / "texture" / "check.bmp").string()), 1);
    app.state->ctx->programFolder = folder.path().string() + "/";
    // Some colour to tile: the glyphs drawn in red.
    EffectRecord red = EffectStartRecord(SingleColor);
    red.p[0] = 0x0000FF;
    PreviewOneEffect(*app.state->ctx, red);
    const QImage drawn = Picture(app);

    auto d = Open(app, Tile);
    auto* tile = static_cast<TileDialog*>(d.get());
    QCOMPARE(d->previewCount(), 0);  // nothing happens until a texture is chosen
    hooks.onDialog = ChooseFirstImage;
    tile->textureButton()->click();
    QCOMPARE(d->record().fileName, std::string("check.bmp"));
    QCOMPARE(tile->fileNameEdit()->text(), QString("check.bmp"));
    QVERIFY(!tile->fileNameEdit()->isEnabled());
    const QImage once = Picture(app);
    QVERIFY(once != drawn);
    QCOMPARE(tile->picture()->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             once.convertToFormat(QImage::Format_RGB32));
    tile->textureButton()->click();
    QCOMPARE(Picture(app), once);  // tiled from the opening colour again, not over the mosaic
  }

  // The blend group opens on the record's mode and opacity and writes both back at once.
  void blendControlsWriteTheRecord() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    for (int type : {int(OutLine), int(DropShadow)}) {
      Template(app, type).blendMode = BlendMultiply;
      Template(app, type).opacity = 40;
      auto d = Open(app, type);
      QCOMPARE(d->blendModeBox()->currentText(), QString("Multiply"));
      QCOMPARE(d->opacitySlider()->value(), 40);
      QCOMPARE(d->opacityEdit()->text(), QString("40"));
      const int previews = d->previewCount();
      const int screen = d->blendModeBox()->findText("Screen");
      d->blendModeBox()->setCurrentIndex(screen);
      emit d->blendModeBox()->activated(screen);
      QCOMPARE(d->record().blendMode, int(BlendScreen));
      Type(d->opacityEdit(), "0");
      QCOMPARE(d->record().opacity, 0);
      QCOMPARE(d->opacitySlider()->value(), 0);
      const QImage none = Picture(app);
      QTest::keyClick(d->opacitySlider(), Qt::Key_PageUp);
      QCOMPARE(d->record().opacity, 10);
      QCOMPARE(d->opacityEdit()->text(), QString("10"));
      QVERIFY(Picture(app) != none);  // a tenth of the effect shows over the backdrop
      QCOMPARE(d->previewCount(), previews + 3);
    }
  }

  // What each dialog shows, read off the laid-out window top to bottom, left to right: group box
  // titles in brackets, labels and buttons, "|" where the controls leave a group box. The texts are the ones users know; the table was
  // taken from the dialogs as they were before they were built from the catalogue.
  void layoutShowsTheKnownTexts() {
    const std::pair<int, const char*> expected[] = {
        {SingleColor, "[Offset] Vertical Holizontal [Select Texture] SingleColor Bitmap(tile) Bitmap(streach) Color Bitmap"},
        {OutLine, "Vertical Holizontal Thickness [Color] Change"},
        {DropShadow, "Vertical Horizontal &Opacity Blur [Color] Change"},
        {LinearGradient, "Vertical Holizontal Size Color1 Color2 Angle Direction"},
        {DepthField, "&Opacity Blur"},
        {DisturbTemplet, "Type Wavelength Amplitude"},
        {StarFilter, "[Offset] Vertical Holizontal [Star Filter Option] Intensity Type Color"},
        {Tile, "Texture Size X Size Y"},
        {ThreeDSingleColor, "[Location] Vertical Holizontal [3D Option] Color Change 3D Modeling Option"},
        {RoundBox, "Size X(dot) Size Y(dot) Round X(%) Round Y(%)"},
        {Fog, "[Location] Vertical Holizontal | Intensity Size Color Change Fog General Density"},
        {Space, "[Location] Vertical Holizontal [Star Option] Intensity Size"},
        {CutOut, "[Location] Vertical Horizontal [Offset] Vertical Horizontal [Option] &Opacity Blur Change"},
    };
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    for (const auto& [type, texts] : expected) {
      auto d = Open(app, type);
      d->show();
      QApplication::processEvents();
      struct Seen {
        int y, x;
        QString text;
        const QWidget* box;  // the group box the control sits in
      };
      std::vector<Seen> seen;
      for (QWidget* w : d->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(d.get()) || qobject_cast<QDialogButtonBox*>(w->parentWidget())) continue;
        QString text;
        if (auto* box = qobject_cast<QGroupBox*>(w)) text = "[" + box->title() + "]";
        else if (auto* label = qobject_cast<QLabel*>(w)) text = label->objectName() == "unit" ? QString() : label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
        if (text.isEmpty()) continue;
        // Group boxes by their top edge, so that the title comes before what the box holds.
        const QRect r(w->mapTo(d.get(), QPoint(0, 0)), w->size());
        const QWidget* box = w->parentWidget();
        while (box && !qobject_cast<const QGroupBox*>(box)) box = box->parentWidget();
        if (qobject_cast<QGroupBox*>(w)) box = w;
        seen.push_back({qobject_cast<QGroupBox*>(w) ? r.top() : r.center().y(), r.left(), text, box});
      }
      std::stable_sort(seen.begin(), seen.end(),
                       [](const Seen& a, const Seen& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
      QStringList shown;
      for (size_t i = 0; i < seen.size(); ++i) {
        if (i > 0 && seen[i - 1].box && !seen[i].box) shown << "|";
        shown << seen[i].text;
      }
      // Every dialog ends with the same blend controls.
      QCOMPARE(shown.join(' '), QString(texts) + " [Blend] Mode Opacity %");
      // Pixel lengths say their unit beside the box; the catalogue decides which.
      QStringList units;
      for (QLabel* l : d->findChildren<QLabel*>("unit")) units << l->text();
      if (type == OutLine) QCOMPARE(units.count("px"), 3);  // both offsets and the thickness
      if (type == RoundBox) QVERIFY(units.isEmpty());          // thousandths of the area, not pixels
      d->hide();
    }
  }

  // An angle's dial and its slider and box show one value; turning the dial previews.
  void angleDialFollowsTheSlider() {
    TestHooks hooks;
    TestApp app;
    PrepareGlyphs(app);
    auto dialog = Open(app, InnerShadow);
    const int slot = EffectParamNamed(InnerShadow, "angle").slot;
    QDial* dial = dialog->dialFor(slot);
    QVERIFY(dial);
    QVERIFY(!dialog->dialFor(EffectParamNamed(InnerShadow, "size").slot));
    // QDial's 0 is at the bottom, growing clockwise: light from above (90) is at 180.
    const std::pair<int, int> turns[] = {{180, 90}, {270, 0}, {0, -90}, {90, 180}, {135, 135}};
    for (const auto& [position, angle] : turns) {
      const int previews = dialog->previewCount();
      dial->setValue(position);
      QCOMPARE(dialog->record().p[size_t(slot)], angle);
      QCOMPARE(dialog->sliderFor(slot)->value(), angle);
      QCOMPARE(dialog->editFor(slot)->text(), QString::number(angle));
      QCOMPARE(dialog->previewCount(), previews + 1);
    }
    Type(dialog->editFor(slot), "-45");
    QCOMPARE(dial->value(), 315);
  }
};

std::unique_ptr<QObject> MakeDialogTests() { return std::make_unique<EffectDialogTests>(); }

#include "effect_dialogs_test.moc"
