#pragma once
// Blend mode and opacity of an effect, applied around its body for every kind alike.
//
// "Below" is what the colour and coverage buffers held before the effect ran: colour Cb (painted
// over black, so premultiplied by its coverage) and coverage Ab. The body then runs exactly as in
// normal mode, giving Cn and An. From the two the blend reads, per pixel:
//   - the effect's coverage w: the coverage it added, min(An - Ab, 255) / 255; 1 where it added
//     none but changed the colour (a body that repaints: tile, blur); 0 where nothing changed;
//   - the effect's colour Cs: the colour whose mix by w over below gives Cn,
//     Cs = Cb + (Cn - Cb) / w, clamped to 0..1;
//   - below's opacity ab = min(Ab, 255) / 255 and its straight colour Cb / ab.
// The blended source is (1 - ab) Cs + ab B(Cb / ab, Cs) (the effect paints as normal where
// nothing lies below), and the result is mix(Cb, blended source, opacity x w); the coverage
// becomes Ab + opacity x (An - Ab). Normal at 100 % never reaches this pass: the body's own
// arithmetic stands. Changes of shape (a distortion of the glyphs) are not blended.
#include "effects/effect_record.h"

struct EffectTarget;

// The separable blend function B(below, source) of a mode, on values 0..1 (the formulas of the
// W3C compositing and blending recommendation). An unknown mode is normal.
float BlendChannel(int mode, float below, float source);

// Copies the colour and coverage the effect is about to paint onto into the work set's scratch.
void TakeBelow(const EffectTarget& t);
// Replaces what the effect painted over that copy with its blend by mode at opacity percent.
void BlendOntoBelow(const EffectTarget& t, int mode, int opacity);
