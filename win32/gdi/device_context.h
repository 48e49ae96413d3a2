// Device contexts inside the layer: what a DC draws into, its attributes, its
// clip region and its saved states. Shared by the files of win32/gdi only.
//
// Three coordinate spaces: logical (what the program passes), device
// (logical + viewport origin; the clip region lives here, as in GDI) and
// target (device + the DC's origin in the pixels it draws into; only window
// DCs have a non-zero origin).
#pragma once

#include <windows.h>

#include "core/pixels.h"

#include <optional>
#include <vector>

namespace win32::gdi {

enum class DeviceKind {
    Window,  // a window's backing store, from createWindowDC
    Memory,  // CreateCompatibleDC: draws into the selected bitmap
    Display, // CreateDCA("DISPLAY"): reads the screen, draws nothing
};

// What SaveDC keeps and RestoreDC brings back.
struct DeviceState {
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    HBITMAP bitmap = nullptr; // memory DCs only
    COLORREF backgroundColour = 0x00FFFFFF;
    COLORREF textColour = 0x00000000;
    COLORREF dcBrushColour = 0x00FFFFFF;
    COLORREF dcPenColour = 0x00000000;
    int backgroundMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT viewportOrigin{0, 0};
    POINT position{0, 0}; // the current position of MoveToEx/LineTo
    // Device coordinates; nullopt = no clip region (the whole surface).
    std::optional<std::vector<RECT>> clip;
};

struct DeviceContext {
    DeviceKind kind = DeviceKind::Memory;
    core::PixelBuffer* target = nullptr; // window DCs
    POINT origin{0, 0};                  // window DCs: device (0, 0) in target coordinates
    RECT visible{0, 0, 0, 0};            // window DCs: what may be drawn, target coordinates
    DeviceState state;
    std::vector<DeviceState> saved;
};

// Fails with ERROR_INVALID_HANDLE set when `handle` is not a live DC.
DeviceContext* findDeviceContext(HDC handle);
// OBJ_DC or OBJ_MEMDC for a live DC, 0 (and no error set) for anything else.
DWORD deviceContextObjectType(HGDIOBJ handle);

// The area a DC can draw on without any clip region, in device coordinates
// (a window DC's clip rectangle, a memory DC's bitmap, the display's screen).
RECT deviceBounds(const DeviceContext& dc);

// The screen the display DC stands for: the backend's, or 1280x800 before
// there is one.
RECT displayRect();
// One screen pixel through the backend; nullopt off the screen.
std::optional<core::Pixel> readDisplayPixel(int x, int y);

// The clip region as disjoint device rectangles, already limited to
// deviceBounds(); empty when nothing can be drawn.
std::vector<RECT> effectiveClip(const DeviceContext& dc);

// Selects into a DC's current state, keeping selection counts; returns the
// previous object, or null if `object` cannot be selected there.
HGDIOBJ selectInto(HDC handle, DeviceContext& dc, HGDIOBJ object);

} // namespace win32::gdi
