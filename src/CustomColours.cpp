// The 16 custom colour slots, their list box, and Add, Remove and selection.
// Occupied slots are always slots 0 to count - 1, so a list index is a slot index.
#include <windows.h>
#include <stdio.h>

#include "Huevane.h"

void FixColourList(void)
{
    int nTo = 0;

    for (int nFrom = 0; nFrom < NUM_CUSTOM_COLOURS; nFrom++) {
        if (g_cCustomColours[nFrom] != EMPTY_SLOT)
            g_cCustomColours[nTo++] = g_cCustomColours[nFrom];
    }
    while (nTo < NUM_CUSTOM_COLOURS)
        g_cCustomColours[nTo++] = EMPTY_SLOT;
}

int CountCustomColours(void)
{
    int nCount = 0;

    for (int i = 0; i < NUM_CUSTOM_COLOURS; i++) {
        if (g_cCustomColours[i] != EMPTY_SLOT)
            nCount++;
    }
    return nCount;
}

void RefreshColourList(HWND hWnd)
{
    char szLine[8];
    int nSel = (int)SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_GETCURSEL, 0, 0);

    SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < NUM_CUSTOM_COLOURS; i++) {
        COLORREF c = g_cCustomColours[i];
        if (c == EMPTY_SLOT)
            continue;
        sprintf(szLine, "#%.2X%.2X%.2X", GetRValue(c), GetGValue(c), GetBValue(c));
        SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_ADDSTRING, 0, (LPARAM)szLine);
    }
    if (nSel >= 0)
        SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_SETCURSEL, (WPARAM)nSel, 0);
}

void SelectCustomColour(HWND hWnd)
{
    int nSel = (int)SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_GETCURSEL, 0, 0);

    if (nSel < 0 || nSel >= NUM_CUSTOM_COLOURS)
        return;
    g_cRef = g_cCustomColours[nSel];
    UpdateColourInfo(hWnd);
}

void AddCustomColour(HWND hWnd)
{
    if (g_nNumberOfCustomColours <= 15) {
        // A failed screen read leaves 0xFFFFFFFF, which is also the empty-slot
        // marker; store the white the readout shows, so no slot is occupied but
        // shown as empty.
        COLORREF c = (g_cRef == EMPTY_SLOT) ? 0x00FFFFFF : g_cRef;

        g_cCustomColours[g_nNumberOfCustomColours] = c;
        g_nNumberOfCustomColours++;
        FixColourList();
        UpdateColourInfo(hWnd);
        RefreshColourList(hWnd);
        SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_SETCURSEL, (WPARAM)(g_nNumberOfCustomColours - 1), 0);
    }
    if (g_nNumberOfCustomColours > 15)
        EnableWindow(GetDlgItem(hWnd, IDC_ADD), FALSE);
    if (!IsWindowEnabled(GetDlgItem(hWnd, IDC_REMOVE)))
        EnableWindow(GetDlgItem(hWnd, IDC_REMOVE), TRUE);
}

void RemoveCustomColour(HWND hWnd)
{
    if (g_nNumberOfCustomColours > 0) {
        int nSel = (int)SendDlgItemMessageA(hWnd, IDC_CUSTOM_LIST, LB_GETCURSEL, 0, 0);

        if (nSel < 0 || nSel >= NUM_CUSTOM_COLOURS) {
            MessageBoxA(hWnd, "Please select a colour to delete.", PRODUCT_TITLE, MB_ICONWARNING);
            return;
        }
        g_cCustomColours[nSel] = EMPTY_SLOT;
        g_nNumberOfCustomColours--;
        FixColourList();
        UpdateColourInfo(hWnd);
        RefreshColourList(hWnd);
    }
    if (g_nNumberOfCustomColours <= 0)
        EnableWindow(GetDlgItem(hWnd, IDC_REMOVE), FALSE);
    if (!IsWindowEnabled(GetDlgItem(hWnd, IDC_ADD)))
        EnableWindow(GetDlgItem(hWnd, IDC_ADD), TRUE);
}
