// Writes one small picture per effect type into <data folder>/samples/<key>.png: the effect's
// name lettered with a plain fill followed by the effect at its start values, so that the style
// editor can show what each effect does.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "document/plaquet_document.h"
#include "effects/effect_catalogue.h"
#include "effects/effect_bodies.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "imaging/dib_image.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate_effect_samples <data folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.empty() || folder.back() != '/') folder += '/';
  int failures = 0;
  for (int type = 0; type < kEffectTypeCount; ++type) {
    const std::string out = folder + "samples/" + EffectKey(type) + ".png";
    try {
      PlaquetDocument doc = MakeStartUpDocument();
      doc.programFolder = folder;
      EngineContext ctx(uint32_t(1234 + type));  // fixed seeds: the same pictures every build
      ctx.programFolder = folder;
      ctx.settings = ProgramSettings{};
      LoadLightPatterns(ctx);
      PlaquetItem& message = doc.message();
      // A single "&" is drawn as a mnemonic prefix; the name's own "&" is doubled to be drawn.
      message.text.clear();
      for (const char* c = EffectDisplayName(type); *c; ++c) message.text += *c == '&' ? std::string("&&") : std::string(1, *c);
      message.font.height = 20;
      message.font.weight = 700;
      EffectRecord fill = EffectStartRecord(SingleColor);
      fill.p[0] = 0x00A04010;  // a blue that reads on white
      message.effects = {fill};
      if (type != SingleColor) message.effects.push_back(EffectStartRecord(type));
      if (type == StarFilter) {
        // Its start colour is white, which vanishes on the white ground.
        message.effects.back().p[0] = 0x0030A0FF;
        message.effects.back().p[1] = 1;
      }
      if (type == OuterGlow) message.effects.back().p[0] = 0x0000A5FF;  // the pale start colour vanishes on white
      if (type == OuterGlow) message.effects.back().p[5] = 4;  // room in the sample's rows
      // Thin strokes: sizes and distances of a few pixels; Satin light on the dark fill.
      if (type == InnerShadow || type == InnerGlow) message.effects.back().p[5] = message.effects.back().p[6] = 2;
      if (type == InnerGlow) {
        message.effects.back().p[0] = 0x000060FF;  // an orange rim reads on the blue
        message.effects.back().p[6] = 0;
      }
      if (type == InnerShadow) message.effects.front().p[0] = 0x00F0C890;  // a shadow shows on a light fill
      if (type == Satin) {
        message.effects.back().p[0] = 0x00FFE0B0;
        message.effects.back().p[5] = message.effects.back().p[6] = 3;
      }
      if (type == BevelEmboss) {
        // Strokes of a few pixels: a full-strength chisel shows the relief best.
        EffectRecord& bevel = message.effects.back();
        bevel.p[3] = 1;                   // chisel
        bevel.p[4] = 150;                 // depth
        bevel.p[6] = 3;                   // size
        bevel.p[8] = 135;                 // light from the upper left
        bevel.p[10] = bevel.p[11] = 100;  // opacities
      }
      if (type == RoundBox) {
        // A box alone is blank without a fill after it, and the name on top tells what it is.
        message.effects.back().p[4] = message.effects.back().p[5] = 1000;
        message.effects.back().p[6] = message.effects.back().p[7] = 300;
        EffectRecord box = fill;
        box.p[0] = 0x0040C0F0;
        message.effects.push_back(box);
      }
      doc.backdropColour = 0xFFFFFF;
      doc.currentStyle.backdropColour = 0xFFFFFF;
      doc.previewDirty = true;
      RenderPreview(doc, ctx);
      if (ctx.image.Empty()) throw std::runtime_error("nothing was drawn");
      if (!ctx.image.SaveAs(out, -1, 24)) throw std::runtime_error("unknown file type");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "generate_effect_samples: %s: %s\n", out.c_str(), e.what());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
