// The colour dialog's own window classes and how the dialog talks to them:
// the grids of colour boxes, the hue/saturation spectrum, the luminosity bar
// and the preview box. Each is a plain Win32 window class (one file each);
// the dialog sets their state with the private messages below and hears
// about the user's choices through WM_COMMAND notifications, the way the
// standard controls report to their parent.
#pragma once

#include <windows.h>

#include "comdlg/hsl.h"

namespace win32::comdlg {

constexpr const char* colourGridClass = "HuevaneColourGrid";
constexpr const char* colourSpectrumClass = "HuevaneColourSpectrum";
constexpr const char* luminosityBarClass = "HuevaneLuminosityBar";
constexpr const char* colourPreviewClass = "HuevaneColourPreview";

// Registered once, as system classes, before the first dialog is made.
void registerColourControlClasses();
// For each control's file: registers its class unless it already exists.
void registerControlClass(const WNDCLASSEXA& description);
void registerColourGridClass();
void registerColourSpectrumClass();
void registerLuminosityBarClass();
void registerColourPreviewClass();

// Messages to the controls. They are private to these classes, so WM_USER
// values cannot collide with anything else the controls hear.
enum ControlMessage : UINT {
    gridSetColours = WM_USER + 0x100, // wParam count, lParam const COLORREF* (copied)
    gridSetColour,                    // wParam index, lParam colour
    gridSetSelection,                 // wParam index, or (WPARAM)-1 for none
    gridGetSelection,                 // returns the index or -1
    spectrumSetHueSaturation,         // wParam hue, lParam saturation
    spectrumGetHueSaturation,         // returns MAKELONG(hue, saturation)
    luminositySetHueSaturation,       // wParam hue, lParam saturation: the colours of the bar
    luminositySetLevel,               // wParam luminosity: where the arrow points
    luminosityGetLevel,
    previewSetColour,                 // wParam colour
};

// Notification codes (HIWORD of WM_COMMAND's wParam), sent only for the
// user's own clicks, drags and keys, never for the messages above.
constexpr WORD gridSelected = 1;
constexpr WORD trackChanged = 2;

// Grid style: boxes are numbered down each column before the next column
// (the custom colours), instead of along each row (the basic colours).
constexpr DWORD gridColumnMajor = 0x0001;
constexpr int gridColumns = 8;

// A COLORREF with a high byte is not a colour; the caller's unused custom
// slots hold 0xFFFFFFFF and show as plain white boxes.
inline bool isEmptySlot(COLORREF value) { return (value & 0xFF000000) != 0; }

// The spectrum and the luminosity bar draw inside a sunken 3-D edge of this
// width and share one vertical scale: 240 on the inner top row, 0 on the
// inner bottom row. Hue runs 0..239 from the left inner column to the right.
constexpr int edgeWidth = 2;
int hueAtColumn(int x, int innerWidth);
int columnForHue(int hue, int innerWidth);
int levelAtRow(int y, int innerHeight);
int rowForLevel(int level, int innerHeight);

} // namespace win32::comdlg
