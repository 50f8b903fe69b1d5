// The style editor, the Background and Bullet pages, the Examples page and the to Image page.
#include <QImage>
#include <QListWidget>
#include <QTest>
#include <filesystem>

#include "document/document_file.h"
#include "document/style_file.h"
#include "ui/dialogs/effect_dialog.h"
#include "effects/effect_catalogue.h"
#include "engine/render_pipeline.h"
#include "support/test_support.h"
#include "ui/background_page.h"
#include "ui/bullet_page.h"
#include "ui/dib_qimage.h"
#include "ui/examples_page.h"
#include "ui/style_pages.h"
#include "ui/to_image_page.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace fs = std::filesystem;

namespace {
EffectRecord Draw(int32_t colour) {
  EffectRecord r = EffectStartRecord(SingleColor);
  r.p[0] = colour;
  return r;
}

QImage Picture(AppState& state) {
  RenderPreview(state.doc, *state.ctx);
  return DibToQImage(state.ctx->image);
}

// Accepts the effect dialogs; runs `editor` on the style editor, then ends it with `result`.
void AnswerEditor(TestHooks& hooks, std::function<void(StyleEditorDialog&)> editor, int result) {
  hooks.onDialog = [editor, result](QDialog& d) {
    if (auto* e = dynamic_cast<StyleEditorDialog*>(&d)) {
      editor(*e);
      return result;
    }
    return int(QDialog::Accepted);
  };
}

std::vector<int> Types(const PlaquetDocument& doc) {
  std::vector<int> t;
  for (const EffectRecord& r : doc.currentStyle.effects) t.push_back(r.type);
  return t;
}
}  // namespace

class PagesTests : public QObject {
  Q_OBJECT
 private slots:
  void editorAddsArrangesAndRefusesTheFortyFirst() {
    TestHooks hooks;
    TestApp app;
    PlaquetDocument& doc = app.state->doc;
    doc.ResetCurrentStyle();
    hooks.onDialog = [](QDialog&) { return int(QDialog::Accepted); };
    StyleEditorDialog editor(*app.state, &app.sheet->preview(), kMessageItem);
    QCOMPARE(editor.effectList().count(), kEffectTypeCount);
    QCOMPARE(editor.effectList().item(8)->text(), QString("3D Single Color"));

    QVERIFY(editor.AddEffect(SingleColor));
    QVERIFY(editor.AddEffect(OutLine));
    QVERIFY(editor.AddEffect(DropShadow));
    // Draw keeps only the colour, offsets, two values and the file name of its template.
    doc.effectTemplates[size_t(EffectTemplateIndex(SingleColor))].p[9] = 77;
    QVERIFY(editor.AddEffect(SingleColor));
    QCOMPARE(doc.currentStyle.effects.back().p[9], 0);
    editor.DeleteSelected();  // the new last one is selected
    QCOMPARE(Types(doc), (std::vector<int>{SingleColor, OutLine, DropShadow}));

    // Dragging the third onto the first shifts the others down; Go Up on the first does nothing.
    editor.MoveRecord(0, 2);
    QCOMPARE(Types(doc), (std::vector<int>{DropShadow, SingleColor, OutLine}));
    QCOMPARE(editor.appliedList().item(0)->text(), QString("Drop Shadow"));
    editor.appliedList().setCurrentRow(0);
    editor.GoUp();
    editor.appliedList().setCurrentRow(2);
    editor.GoDown();
    QCOMPARE(Types(doc), (std::vector<int>{DropShadow, SingleColor, OutLine}));
    editor.GoUp();
    QCOMPARE(Types(doc), (std::vector<int>{DropShadow, OutLine, SingleColor}));
    QCOMPARE(editor.appliedList().currentRow(), 1);

    // A cancelled add changes nothing.
    hooks.onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    QVERIFY(!editor.AddEffect(Fog));
    QCOMPARE(doc.currentStyle.effectCount(), 3);

    hooks.onDialog = [](QDialog&) { return int(QDialog::Accepted); };
    while (doc.currentStyle.effectCount() < kMaxEffects) QVERIFY(editor.AddEffect(CutOut));
    const auto before = doc.currentStyle.effects;
    QVERIFY(!editor.AddEffect(CutOut));
    QCOMPARE(doc.currentStyle.effectCount(), kMaxEffects);
    QVERIFY(doc.currentStyle.effects == before);
    QCOMPARE(editor.appliedList().count(), kMaxEffects);

    // New on an edited style asks; Cancel keeps it, No drops it.
    hooks.answers = {QMessageBox::Cancel, QMessageBox::No};
    editor.NewStyle();
    QCOMPARE(doc.currentStyle.effectCount(), kMaxEffects);
    editor.NewStyle();
    QCOMPARE(doc.currentStyle.effectCount(), 0);
    QCOMPARE(editor.appliedList().count(), 0);
    QCOMPARE(hooks.asked.size(), 2);
    editor.NewStyle();  // nothing edited: no question
    QCOMPARE(hooks.asked.size(), 2);
  }

  void styleSavedAndReopenedRendersTheSame() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    AppState& state = *app.state;
    BulletPage bulletPage(state, *app.sheet);
    state.doc.bullet().kind = kKindFont;
    const std::vector<EffectRecord> original = state.doc.bullet().effects;
    const QImage start = Picture(state);

    // Cancel: the bullet keeps its style although the editor showed the added effects.
    AnswerEditor(hooks, [](StyleEditorDialog& e) { e.AddEffect(Fog); }, QDialog::Rejected);
    bulletPage.OnEditStyle();
    QVERIFY(state.doc.bullet().effects == original);
    QCOMPARE(Picture(state), start);

    const std::string path = dir.file("built");
    hooks.fileNames = {QString::fromStdString(path)};
    AnswerEditor(hooks, [](StyleEditorDialog& e) {
      e.NewStyle();
      e.AddEffect(SingleColor);
      e.AddEffect(OutLine);
      e.AddEffect(DropShadow);
      e.AddEffect(LinearGradient);
      e.MoveRecord(0, 3);
      QVERIFY(e.SaveStyleAs());
    }, QDialog::Accepted);
    bulletPage.OnEditStyle();
    QCOMPARE(state.doc.bullet().effectCount(), 4);
    QVERIFY(fs::exists(path + ".sty"));  // the extension is added
    const QImage built = Picture(state);
    QVERIFY(built != start);

    // Reopened into a fresh program the file gives the same picture.
    TestApp other;
    other.state->doc.bullet().kind = kKindFont;
    QVERIFY(LoadStyleIntoItemChecked(other.state->doc, kBulletItem, path + ".sty"));
    QVERIFY(other.state->doc.bullet().effects == state.doc.bullet().effects);
    QCOMPARE(Picture(*other.state), built);

    // Saving again over the existing file asks first; Cancel leaves it alone.
    hooks.fileNames = {QString::fromStdString(path + ".sty")};
    hooks.answers = {QMessageBox::Cancel};
    const std::string before = testsupport::ReadFileText(path + ".sty");
    AnswerEditor(hooks, [](StyleEditorDialog& e) {
      e.AddEffect(Fog);
      QVERIFY(!e.SaveStyleAs());
    }, QDialog::Rejected);
    bulletPage.OnEditStyle();
    QVERIFY(hooks.asked.last().contains("This file already exists."));
    QCOMPARE(testsupport::ReadFileText(path + ".sty"), before);
  }

  void backgroundAndBulletKindsChangeThePicture() {
    TestHooks hooks;
    TestApp app;
    AppState& state = *app.state;
    state.doc.background().effects = {Draw(0x00FF00)};
    state.doc.bullet().effects = {Draw(0xFF0000)};
    state.doc.message().effects = {Draw(0)};
    BackgroundPage background(state, *app.sheet);
    BulletPage bullet(state, *app.sheet);
    background.OnSetActive();
    background.SelectKind(kKindNone);
    bullet.SelectKind(kKindNone);
    QVERIFY(!background.styleList().isEnabled());
    const QImage plain = DibToQImage(state.ctx->image);
    std::vector<QImage> seen{plain};
    for (int kind : {kKindFont, kKindStretchedFont, kKindRoundBox, kKindFixedRoundBox}) {
      background.SelectKind(kind);
      QVERIFY(background.styleList().isEnabled());
      const QImage now = DibToQImage(state.ctx->image);
      // Both round boxes may cover the whole page, so the fixed one need only differ from none.
      const size_t compared = kind == kKindFixedRoundBox ? 1 : seen.size();
      for (size_t i = 0; i < compared; ++i)
        QVERIFY2(now != seen[i], qPrintable(QString("background kind %1 same as %2").arg(kind).arg(i)));
      seen.push_back(now);
    }
    background.SelectKind(kKindNone);
    QCOMPARE(DibToQImage(state.ctx->image), plain);
    for (int kind : {kKindFont, kKindRoundBox}) {
      bullet.SelectKind(kind);
      QVERIFY(DibToQImage(state.ctx->image) != plain);
    }

    // "with Font" takes back its own width after the stretched one.
    PlaquetItem& bg = state.doc.background();
    bg.moreInfo = {11, 23};
    background.SelectKind(kKindFont);
    QCOMPARE(bg.font.width, 11);
    background.SelectKind(kKindStretchedFont);  // the render stretches it to the message
    QVERIFY(bg.font.width != 11);
    background.SelectKind(kKindFont);
    QCOMPARE(bg.font.width, 11);

    // Round box properties accepted unchanged keep the geometry; the bullet's box is its own.
    hooks.onDialog = [](QDialog&) { return int(QDialog::Accepted); };
    background.SelectKind(kKindRoundBox);
    const auto box = state.doc.boxParams;
    background.OnProperties();
    QVERIFY(state.doc.boxParams == box);
    QCOMPARE(hooks.dialogTitles.last(), QString("Effect : Rectangle"));
    hooks.onDialog = [](QDialog& d) {
      if (auto* e = dynamic_cast<EffectDialog*>(&d)) e->record().p[4] = 321;
      return int(QDialog::Accepted);
    };
    bullet.OnProperties();
    QCOMPARE(state.doc.bulletBoxParams[0], 321);
    QVERIFY(state.doc.boxParams == box);
    background.SelectKind(kKindFixedRoundBox);
    hooks.onDialog = [](QDialog&) { return int(QDialog::Accepted); };
    background.OnProperties();
    QCOMPARE(hooks.dialogTitles.last(), QString("Absolute Size Round Box"));
    QVERIFY(state.doc.boxParams == box);

    // The page colour shows when the backdrop is not transparent.
    background.SelectKind(kKindNone);
    state.doc.backdropColour = 0x0000FF;
    background.OnTransparent(false);
    const QImage red = DibToQImage(state.ctx->image);
    QCOMPARE(red.pixelColor(0, 0), QColor(255, 0, 0));
    background.OnButton(true);
    QVERIFY(!state.ctx->pressedImage.Empty());
  }

  void examplesOpenAndBrokenOnesLeaveTheDocument() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    AppState& state = *app.state;
    const std::string data = testsupport::DataFolder();
    std::vector<std::string> names = ListFilesMatching(data + "/*.plq");
    QVERIFY(names.size() >= 5);
    for (const auto& e : fs::directory_iterator(data))
      fs::copy(e.path(), dir.path() / e.path().filename(), fs::copy_options::recursive);
    testsupport::WriteFileText(dir.file("aaa_broken.plq"), "this is not a document\n");
    state.doc.programFolder = dir.path().string() + "/";
    state.ctx->programFolder = state.doc.programFolder;
    ExamplesPage page(state, *app.sheet);
    page.OnSetActive();
    QCOMPARE(page.list().count(), int(names.size()) + 1);
    QCOMPARE(page.list().item(0)->text(), QString("aaa_broken.plq"));

    const QImage start = Picture(state);
    // Row 1 is selected already (the list re-selects the second entry), so go from the end.
    for (int row = page.list().count() - 1; row >= 1; --row) {
      page.list().setCurrentRow(row);
      QVERIFY2(hooks.told.isEmpty(), qPrintable(hooks.told.join("\n")));
      QVERIFY(!state.ctx->image.Empty());
      QVERIFY2(DibToQImage(state.ctx->image) != start, qPrintable(page.list().item(row)->text()));
      QCOMPARE(state.doc.documentModified, false);
    }

    // A modified document asks first; Cancel keeps it and its unsaved mark.
    const std::string text = state.doc.message().text;
    state.doc.documentModified = true;
    hooks.answers = {QMessageBox::Cancel};
    page.list().setCurrentRow(2);
    QCOMPARE(hooks.asked.size(), 1);
    QCOMPARE(state.doc.documentModified, true);
    QCOMPARE(state.doc.message().text, text);

    // A broken file is reported and the open document stays as it was.
    state.doc.documentModified = false;
    const QImage shown = Picture(state);
    page.list().setCurrentRow(0);
    QCOMPARE(hooks.told.size(), 1);
    QVERIFY(hooks.told[0].contains("aaa_broken.plq"));
    QCOMPARE(state.doc.message().text, text);
    QCOMPARE(Picture(state), shown);
  }

  void toImagePlacesTheMessageAndSaves() {
    testsupport::TempDir dir;
    TestHooks hooks;
    TestApp app;
    AppState& state = *app.state;
    state.doc.message().text = "Hi";
    state.doc.message().effects = {Draw(0x0000FF)};
    RenderPreview(state.doc, *state.ctx);
    const int mw = state.ctx->imageWidth, mh = state.ctx->imageHeight;

    DibImage ground;
    QVERIFY(ground.Create(200, 100, 24));
    {
      DibRowTable rows(ground);
      for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
          rows[y][3 * x] = uint8_t(x);  // blue follows x, green follows y
          rows[y][3 * x + 1] = uint8_t(2 * y);
          rows[y][3 * x + 2] = 40;
        }
    }
    QVERIFY(ground.SaveAs(dir.file("ground.bmp"), -1, 24));
    const QImage groundImage = DibToQImage(ground);

    ToImagePage page(state, *app.sheet);
    QVERIFY(!page.LoadPicture(dir.file("missing.png")));
    QVERIFY(hooks.told.last().contains("missing.png"));
    QVERIFY(page.loadedPicture().Empty());
    QVERIFY(page.LoadPicture(dir.file("ground.bmp")));
    page.OnSetActive();
    page.PlaceAt(50, 20);
    const QImage placed = DibToQImage(state.ctx->image);
    QCOMPARE(placed.size(), QSize(200, 100));
    // Outside the message's rectangle the picture is untouched; inside, something changed.
    bool changedInside = false;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        const bool inside = x >= 50 && x < 50 + mw && y >= 20 && y < 20 + mh;
        if (!inside) QCOMPARE(placed.pixel(x, y), groundImage.pixel(x, y));
        else if (placed.pixel(x, y) != groundImage.pixel(x, y)) changedInside = true;
      }
    QVERIFY(changedInside);

    // Set Message keeps the placement; placing elsewhere now shows both.
    page.SetMessage();
    page.PlaceAt(0, 0);
    const QImage both = DibToQImage(state.ctx->image);
    QCOMPARE(both.pixel(50 + mw / 2, 20 + mh / 2), placed.pixel(50 + mw / 2, 20 + mh / 2));

    // What is saved is the placed picture (the writers by type are checked on the Save page).
    page.OnTypeRow(1);
    QCOMPARE(state.outputFileType, PngTrueColor);
    QVERIFY(page.SaveTo(dir.file("out")));
    QImage read(QString::fromStdString(dir.file("out.png")));
    QCOMPARE(read.convertToFormat(QImage::Format_RGB32), both.convertToFormat(QImage::Format_RGB32));
    page.OnTypeRow(0);  // the 256-colour PNG reduces the placed picture itself
    QVERIFY(page.SaveTo(dir.file("small")));
    QCOMPARE(QImage(QString::fromStdString(dir.file("small.png"))).size(), QSize(200, 100));

    // Leaving the page brings the plain picture back.
    page.OnKillActive();
    QCOMPARE(state.ctx->image.Width(), mw);
  }
};

std::unique_ptr<QObject> MakePagesTests() { return std::make_unique<PagesTests>(); }

#include "pages_test.moc"
