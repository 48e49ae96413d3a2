// Program-wide state (defined in Main.cpp) and the helpers the dialog procedures share.
#ifndef HUEVANE_H
#define HUEVANE_H

#include <windows.h>

#include "resource.h"

#define EMPTY_SLOT ((COLORREF)0xFFFFFFFF)
#define NUM_CUSTOM_COLOURS 16
#define NUM_HINTS 17
#define PRODUCT_TITLE "Huevane 1.0"

extern HINSTANCE g_hInstance;
extern HBRUSH g_hbrWindowBrush;
extern int g_nCaptionHeight;
extern COLORREF g_cRef;
extern HBITMAP g_hbmTopLogo;
extern HCURSOR g_hCursor;
extern HWND g_hWndColorBox;
extern HWND g_hWndDragIcon;
extern HWND g_hWndTargetCursor;
extern BOOL g_bColourCapMode;
extern HDC g_hMainDC;
extern BOOL g_bCursorOverColour;
extern BOOL g_bHandArrow;
extern HBITMAP g_hbmHuevLogo;
extern HBITMAP g_hbmKWSLogo;
extern COLORREF g_cCustomColours[NUM_CUSTOM_COLOURS];
extern int g_nNumberOfCustomColours;
extern HWND g_hWndStatusBar;
extern char g_szHints[NUM_HINTS][256];

// Main dialog
INT_PTR CALLBACK DlgProc_Main(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Colour readout
void UpdateColourInfo(HWND hWnd);

// Screen sampling
void GetPixelInfo(HWND hWnd);
void BeginColourCapture(HWND hWnd);
void EndColourCapture(HWND hWnd);

// Colour box and colour picker
void TrackColourBoxHover(HWND hWnd);
void ShowColourPicker(HWND hWnd);

// Custom colours
void FixColourList(void);
int CountCustomColours(void);
void RefreshColourList(HWND hWnd);
void SelectCustomColour(HWND hWnd);
void AddCustomColour(HWND hWnd);
void RemoveCustomColour(HWND hWnd);

// Settings store
int LoadRegistrySettings(void);
int SaveRegistrySettings(void);

// Tip bar
void StartTipBar(HWND hWnd);
void ShowNextTip(void);

// About box
INT_PTR CALLBACK DlgProc_About(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Screen hit test: is the cursor inside rc, all four edges included?
BOOL IsCursorInRect(const RECT* rc);

#endif
