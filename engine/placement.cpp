// Sizes the round boxes of the background and the bullet and puts both around the message.
#include <string>

#include "document/plaquet_document.h"
#include "raster/engine_context.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"

namespace {

bool Present(const PlaquetDocument& doc, int index) {
  return index < doc.itemCount() && doc.items[size_t(index)].kind != kKindNone;
}

// trunc(integer product × 0.001)
int32_t Thousandths(int64_t product) { return int32_t(double(product) * 0.001); }

void PlaceBackground(PlaquetDocument& doc, EngineContext& ctx, int32_t mw, int32_t mh, int32_t mmx,
                     int32_t mmy) {
  PlaquetItem& bg = doc.items[kBackgroundItem];
  switch (bg.kind) {
    case kKindRoundBox:
    case kKindFixedRoundBox: {
      int32_t bw, bh;
      if (bg.kind == kKindRoundBox) {
        bw = Thousandths(int64_t(mw - 2 * mmx) * doc.boxParams[2]);
        bh = Thousandths(int64_t(mh - 2 * mmy) * doc.boxParams[3]);
        // The fixed box starts from the last size the sized box had.
        doc.boxParams[0] = bw;
        doc.boxParams[1] = bh;
      } else {
        bw = doc.boxParams[0];
        bh = doc.boxParams[1];
      }
      bg.boxParams[0] = bw;
      bg.boxParams[1] = bh;
      bg.boxParams[2] = Thousandths(int64_t(doc.boxParams[4]) * bw);
      bg.boxParams[3] = Thousandths(int64_t(doc.boxParams[5]) * bh);
      bg.width = bg.layoutExtra[2] + bw;
      bg.height = bg.layoutExtra[3] + bh;
      break;
    }
    case kKindFont:
    case kKindStretchedFont: {
      // An empty text has no character width to stretch to; its font is left alone.
      if (!bg.text.empty()) {
        const int32_t perChar = int32_t(double(mw) / double(bg.text.size()));
        bg.moreInfo[1] = perChar;
        if (bg.kind == kKindStretchedFont) bg.font.width = perChar;
      }
      LoadRenderInputs(doc, bg, ctx);
      ComputeWorkArea(ctx);
      bg.layoutExtra[0] = ctx.layout.textOffsetX;
      bg.layoutExtra[1] = ctx.layout.textOffsetY;
      bg.width = ctx.layout.workWidth;
      bg.height = ctx.layout.workHeight;
      break;
    }
    default:
      return;
  }
  bg.x = mw / 2 - bg.width / 2;
  bg.y = mh / 2 - bg.height / 2;
}

void PlaceBullet(PlaquetDocument& doc, int32_t mh) {
  PlaquetItem& bullet = doc.items[kBulletItem];
  if (bullet.kind == kKindRoundBox) {
    const int32_t bw = Thousandths(int64_t(doc.bulletBoxParams[0]) * mh);
    const int32_t bh = Thousandths(int64_t(doc.bulletBoxParams[1]) * mh);
    bullet.boxParams[0] = bw;
    bullet.boxParams[1] = bh;
    bullet.boxParams[2] = Thousandths(int64_t(doc.bulletBoxParams[2]) * bw);
    bullet.boxParams[3] = Thousandths(int64_t(doc.bulletBoxParams[3]) * bh);
    const int32_t mx = bullet.layoutExtra[0], my = bullet.layoutExtra[1];
    // The box ends a tenth of the message height left of the message.
    bullet.x = int32_t(-double(bw + mx) - mh * 0.1);
    bullet.width = bw + 2 * mx;
    bullet.y = mh / 2 - bh / 2 - my;
    bullet.height = bh + 2 * my;
  } else if (bullet.kind != kKindNone) {
    bullet.x = -bullet.width;
    bullet.y = mh / 2 - bullet.height / 2;
  }
}

}  // namespace

void PlaceBackgroundAndBullet(PlaquetDocument& doc, EngineContext& ctx) {
  if (doc.itemCount() <= kMessageItem) return;
  PlaquetItem& message = doc.items[kMessageItem];
  message.x = 0;
  message.y = 0;
  const int32_t mw = message.width, mh = message.height;
  const int32_t mmx = message.layoutExtra[0], mmy = message.layoutExtra[1];
  if (Present(doc, kBackgroundItem)) PlaceBackground(doc, ctx, mw, mh, mmx, mmy);
  if (Present(doc, kBulletItem)) PlaceBullet(doc, mh);
}
