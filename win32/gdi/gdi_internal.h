// What the rest of the layer (USER, common controls, common dialogs) needs
// from GDI beyond the public Win32 calls: device contexts on window backing
// stores, bitmaps made from decoded pixels, and drawing of transparent images.
#pragma once

#include <windows.h>

#include "core/pixels.h"

#include <string>
#include <vector>

namespace win32::gdi {

// A device context drawing into `target` (a window's backing store): logical
// (0, 0) is at `origin` in target coordinates and drawing is clipped to `clip`
// (target coordinates). Released with releaseWindowDC, not DeleteDC.
HDC createWindowDC(core::PixelBuffer* target, POINT origin, const RECT& clip);
void releaseWindowDC(HDC dc);
// Moves an existing window DC (the backing store was resized or the window moved).
void retargetWindowDC(HDC dc, core::PixelBuffer* target, POINT origin, const RECT& clip);

// A bitmap that owns `pixels` (32 bits a pixel, as the display).
HBITMAP createBitmapFromPixels(core::PixelBuffer pixels);
// The pixels of a bitmap, or null for anything else.
const core::PixelBuffer* bitmapPixels(HBITMAP bitmap);

// Draws `image` at (x, y) of the DC, blending by its alpha.
void drawImage(HDC dc, int x, int y, const core::Image& image);

// The default GUI font (what "MS Shell Dlg" 8 pt becomes), a stock object.
HFONT defaultGuiFont();
// The font for a face name, point size and weight as a dialog template gives them.
HFONT createDialogFont(const std::string& face, int pointSize, int weight, bool italic);

// The advance of each character of `text` in the DC's current font, the
// widths GetTextExtentPoint32A adds up; for layout that measures as it goes
// (DrawTextA's word wrapping). False for a bad DC or arguments.
bool characterAdvances(HDC dc, const char* text, int length, std::vector<int>& advances);

size_t liveObjectCount();
size_t liveDeviceContextCount();

} // namespace win32::gdi
