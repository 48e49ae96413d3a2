// Screen sampling: press on the target, drag the crosshair anywhere on the
// screen, and read the pixel under it on every movement.
#include <windows.h>

#include "Huevane.h"

void GetPixelInfo(HWND hWnd)
{
    POINT pt;

    GetCursorPos(&pt);
    g_cRef = GetPixel(g_hMainDC, pt.x, pt.y);
    UpdateColourInfo(hWnd);
}

void BeginColourCapture(HWND hWnd)
{
    RECT rc;

    GetWindowRect(g_hWndDragIcon, &rc);
    if (!IsCursorInRect(&rc))
        return;

    // Hiding the icon makes it look as if the icon itself is carried away.
    ShowWindow(g_hWndTargetCursor, SW_HIDE);
    SetCursor(g_hCursor);
    g_bColourCapMode = 1;
    SetCapture(hWnd);
    g_hMainDC = CreateDCA("DISPLAY", "display", NULL, NULL);
}

void EndColourCapture(HWND hWnd)
{
    ShowWindow(g_hWndTargetCursor, SW_SHOWNORMAL);
    GetPixelInfo(hWnd);
    g_bColourCapMode = 0;
    ReleaseCapture();
    DeleteDC(g_hMainDC);
    g_hMainDC = NULL;
}
