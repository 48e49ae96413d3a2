// The tip bar: a status bar that shows the product banner, and every 30
// seconds a text drawn at random from a table of 17.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include "Huevane.h"

#define BANNER_TEXT " Korvell Software - Huevane 1.0 [" HUEVANE_WEB_ADDRESS "]"

char g_szHints[NUM_HINTS][256] = {
    BANNER_TEXT,
    "Tip: Click on the colour box to choose a specific colour.",
    "Tip: Drag the target icon over any area on the screen.",
    "Tip: For more Korvell Software programs, visit " HUEVANE_WEB_HOST,
    "Tip: Use the 'HTML code' to apply the colour on your web pages.",
    "Tip: For more detailed help with Huevane 1.0, read the help file.",
    "Tip: You can choose your own colours in the colour-picker.",
    "Tip: Like this program? Send me a comment: " HUEVANE_AUTHOR_EMAIL,
    "Tip: Found a bug in this program? Please tell me about it! " HUEVANE_BUGS_EMAIL,
    "Tip: This program was made in May, 2003.",
    "Tip: You can save up to 16 'custom colours'.",
    "Tip: 'Custom colours' will be saved when you quit.",
    "Tip: This tip-bar will change every 30 seconds.",
    "Tip: Visit " HUEVANE_WEB_ADDRESS " for updates.",
    "Tip: You can save frequently used colours in Huevane.",
    "Tip: Want to ask a specific question? " HUEVANE_AUTHOR_EMAIL,
    "Tip: Keep an eye on the Bug Watch at our web site for updates.",
};

void StartTipBar(HWND hWnd)
{
    g_hWndStatusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, BANNER_TEXT, hWnd, IDC_STATUSBAR);
    // The tips are sent as the simple-mode text, which a status bar shows only
    // in simple mode: switch to it, and show the banner there too.
    SendMessageA(g_hWndStatusBar, SB_SIMPLE, TRUE, 0);
    SendMessageA(g_hWndStatusBar, SB_SETTEXTA, SB_SIMPLEID, (LPARAM)BANNER_TEXT);
    SetTimer(hWnd, IDT_TIPS, 30000, NULL);
}

void ShowNextTip(void)
{
    int n = rand() % NUM_HINTS;

    SendMessageA(g_hWndStatusBar, SB_SETTEXTA, SB_SIMPLEID, (LPARAM)g_szHints[n]);
}
