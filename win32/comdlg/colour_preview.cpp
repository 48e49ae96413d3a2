// The colour dialog's "Color|Solid" box: the current colour on the left and
// the nearest solid colour on the right, inside a sunken edge. On a true-colour
// display every colour is solid, so both halves show the colour itself.
// Left out: choosing the solid colour by clicking the box.
#include "comdlg/colour_controls.h"

namespace win32::comdlg {

namespace {

LRESULT CALLBACK previewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT inside;
        GetClientRect(window, &inside);
        DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        auto colour = static_cast<COLORREF>(GetWindowLongPtrA(window, GWLP_USERDATA));
        RECT colourHalf = inside, solidHalf = inside;
        colourHalf.right = solidHalf.left = inside.left + (inside.right - inside.left) / 2;
        SetDCBrushColor(dc, colour);
        FillRect(dc, &colourHalf, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        FillRect(dc, &solidHalf, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    case previewSetColour:
        if (static_cast<COLORREF>(GetWindowLongPtrA(window, GWLP_USERDATA)) != static_cast<COLORREF>(wParam)) {
            SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void registerColourPreviewClass()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = previewProcedure;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = colourPreviewClass;
    registerControlClass(wc);
}

} // namespace win32::comdlg
