// The colour dialog's hue/saturation/luminosity scale and its conversion to
// and from RGB: every component is an integer, hue 0..239 (it wraps at 240),
// saturation and luminosity 0..240, with the rounded integer arithmetic of
// Microsoft's "Converting Colors Between RGB and HLS" note, so that the six
// pure colours land exactly on the documented values (red 0/240/120, yellow
// 40/240/120, ... blue 160/240/120).
//
// Greys have no hue; we report 160, the note's "undefined" hue, which is also
// what the Windows dialog shows for black, white and greys (the documented
// table writes 0, a value the dialog never shows for them).
#pragma once

#include <windows.h>

namespace win32::comdlg {

constexpr int hslScale = 240;               // saturation and luminosity run 0..240
constexpr int hueLimit = hslScale - 1;      // hue runs 0..239
constexpr int rgbScale = 255;
constexpr int greyHue = hslScale * 2 / 3;   // 160

struct Hsl {
    int hue = 0;
    int saturation = 0;
    int luminosity = 0;

    bool operator==(const Hsl&) const = default;
};

// The high byte of a COLORREF is ignored.
Hsl hslFromRgb(COLORREF colour);
// Components outside their ranges are clamped to them first.
COLORREF rgbFromHsl(Hsl hsl);

} // namespace win32::comdlg
