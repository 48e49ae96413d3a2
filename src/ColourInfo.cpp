// The colour readout: the current colour as decimal components, an HTML code
// and a solid fill inside the colour box.
#include <windows.h>
#include <stdio.h>

#include "Huevane.h"

void UpdateColourInfo(HWND hWnd)
{
    char szRed[4], szGreen[4], szBlue[4];
    char szHtml[12];
    int nRed = GetRValue(g_cRef);
    int nGreen = GetGValue(g_cRef);
    int nBlue = GetBValue(g_cRef);

    sprintf(szRed, "%d", nRed);
    sprintf(szGreen, "%d", nGreen);
    sprintf(szBlue, "%d", nBlue);
    sprintf(szHtml, "#%.2X%.2X%.2X", nRed, nGreen, nBlue);

    SetDlgItemTextA(hWnd, IDC_RED, szRed);
    SetDlgItemTextA(hWnd, IDC_GREEN, szGreen);
    SetDlgItemTextA(hWnd, IDC_BLUE, szBlue);
    SetDlgItemTextA(hWnd, IDC_HTML_CODE, szHtml);

    // The first call comes from the dialog's initialisation, before the box is known.
    if (g_hWndColorBox != NULL) {
        RECT rc;
        HDC hdc;
        HBRUSH hbr;

        GetClientRect(g_hWndColorBox, &rc);
        hdc = GetDC(g_hWndColorBox);
        // Inside the box's one-pixel black frame, so the frame stays visible.
        rc.left += 1;
        rc.top += 1;
        rc.right -= 1;
        rc.bottom -= 1;
        hbr = CreateSolidBrush(g_cRef);
        FillRect(hdc, &rc, hbr);
        DeleteObject(hbr);
        ReleaseDC(g_hWndColorBox, hdc);
    }
}
