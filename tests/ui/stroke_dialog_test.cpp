// The Stroke dialog: the fill type enables the controls it uses, the texture picker names the
// record's texture, and every change previews over the glyphs.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "effects/effect_catalogue.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "ui/dialogs/effect_dialogs.h"
#include "ui/dib_qimage.h"
#include "ui/ui_test_groups.h"
#include "ui/ui_test_support.h"

namespace {

class StrokeDialogTests : public QObject {
  Q_OBJECT
 private slots:
  void fillTypeEnablesItsControlsAndTheTexturePreviews() {
    TestHooks hooks;
    TestApp app;
    EngineContext& ctx = *app.state->ctx;
    LoadRenderInputs(app.state->doc, app.state->doc.message(), ctx);
    ctx.in.renderFont.faceName = "DejaVu Sans";
    ctx.in.renderFont.height = 40;
    ctx.in.effects.clear();
    RasterizeItem(ctx);
    EffectRecord& record = app.state->doc.effectTemplates[size_t(EffectTemplateIndex(Stroke))];
    auto d = MakeEffectDialog(Stroke, record, *app.state, app.sheet.get());
    auto* stroke = dynamic_cast<StrokeDialog*>(d.get());
    QVERIFY(stroke);
    const QImage colour = DibToQImage(ctx.image);
    QVERIFY(stroke->colourButtonFor(0)->isEnabled());
    QVERIFY(!stroke->colourButtonFor(1)->isEnabled());
    QVERIFY(!stroke->textureButton()->isEnabled());

    const int fillSlot = EffectParamNamed(Stroke, "fill").slot;
    QComboBox* fill = stroke->choiceFor(fillSlot);
    const auto choose = [fill](int value) {
      fill->setCurrentIndex(fill->findData(value));
      emit fill->activated(fill->currentIndex());
    };
    choose(1);  // gradient
    QCOMPARE(record.p[size_t(fillSlot)], 1);
    QVERIFY(stroke->colourButtonFor(1)->isEnabled());
    QVERIFY(stroke->choiceFor(EffectParamNamed(Stroke, "gradientShape").slot)->isEnabled());
    QVERIFY(DibToQImage(ctx.image) != colour);

    choose(2);  // texture
    QVERIFY(!stroke->colourButtonFor(0)->isEnabled());
    QVERIFY(stroke->textureButton()->isEnabled());
    hooks.onDialog = [](QDialog& dlg) -> int {
      auto* list = dlg.findChild<QListWidget*>("imageFiles");
      if (!list || list->count() == 0) return int(QDialog::Rejected);
      list->setCurrentRow(0);
      return int(QDialog::Accepted);
    };
    const QImage before = DibToQImage(ctx.image);
    stroke->textureButton()->click();
    QVERIFY(!record.fileName.empty());
    QCOMPARE(stroke->fileNameEdit()->text(), QString::fromStdString(record.fileName));
    QVERIFY(DibToQImage(ctx.image) != before);
  }
};

}  // namespace

std::unique_ptr<QObject> MakeStrokeDialogTests() { return std::make_unique<StrokeDialogTests>(); }

#include "stroke_dialog_test.moc"
