// The common controls' status bar (msctls_statusbar32) and the calls that
// make it available: InitCommonControls, InitCommonControlsEx and
// CreateStatusWindowA. It docks itself at the bottom (or, with CCS_TOP, the
// top) of its parent's client area at full width, whatever size it is given,
// on creation and on every WM_SIZE, as documented. It shows either its parts
// or, in simple mode, one separately kept simple-mode text.
// Left out: owner-drawn parts, icons, tooltips, SB_SETBKCOLOR, WM_NOTIFY
// notifications, and resizing the parent from the size grip (it is drawn).
#include <windows.h>
#include <commctrl.h>

#include "gdi/gdi_internal.h"
#include "user/controls.h"
#include "user/user_internal.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace win32::comctl {

namespace {

// What SB_GETBORDERS reports: no border left and right, two pixels above the
// parts and two between them.
constexpr int horizontalBorder = 0;
constexpr int verticalBorder = 2;
constexpr int gapBetweenParts = 2;
// Inside a part: its one-pixel edge and a pixel of air above and below the
// text, so the default GUI font (13 pixels) gives a bar 20 pixels high.
constexpr int partInset = 2;
constexpr int gapBelowParts = 1;
constexpr int textIndent = 2;
constexpr int maximumParts = 256;
constexpr int gripSquare = 12;

struct Part {
    std::string text;
    UINT drawing = 0; // SBT_NOBORDERS, SBT_POPOUT, SBT_NOTABPARSING ...
};

struct StatusBar {
    std::vector<Part> parts = std::vector<Part>(1);
    std::vector<int> edges = {-1}; // right edge of each part, -1 = to the end
    Part simple;
    bool simpleMode = false;
    HFONT font = nullptr;
    int minimumHeight = 0;
    bool docking = false;
};

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }
HFONT fontOf(const StatusBar& bar) { return bar.font ? bar.font : gdi::defaultGuiFont(); }

int barHeight(const StatusBar& bar)
{
    int text = std::max<int>(user::metricsOf(fontOf(bar)).tmHeight, bar.minimumHeight);
    return verticalBorder + text + 2 * partInset + gapBelowParts;
}

void dock(HWND window, StatusBar& bar)
{
    DWORD style = styleOf(window);
    HWND parent = GetParent(window);
    if (bar.docking || (style & CCS_NORESIZE) || parent == nullptr)
        return;
    RECT area;
    GetClientRect(parent, &area);
    int height = barHeight(bar);
    int y = area.bottom - height;
    if ((style & (CCS_TOP | CCS_NOMOVEY)) == CCS_TOP) {
        y = 0;
    } else if ((style & (CCS_TOP | CCS_NOMOVEY)) == CCS_NOMOVEY || (style & CCS_NOPARENTALIGN)) {
        RECT now;
        GetWindowRect(window, &now);
        POINT corner{now.left, now.top};
        ScreenToClient(parent, &corner);
        y = corner.y;
    }
    bar.docking = true;
    SetWindowPos(window, nullptr, 0, y, area.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
    bar.docking = false;
    InvalidateRect(window, nullptr, TRUE);
}

RECT gripRect(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    if (!(styleOf(window) & SBARS_SIZEGRIP))
        return RECT{client.right, 0, client.right, client.bottom};
    return RECT{client.right - gripSquare - 2, 0, client.right, client.bottom};
}

RECT partRect(HWND window, const StatusBar& bar, size_t index)
{
    RECT client;
    GetClientRect(window, &client);
    auto resolved = [&](size_t i) {
        int edge = bar.edges[i];
        return edge < 0 ? client.right - horizontalBorder : std::min<int>(edge, client.right);
    };
    int left = index == 0 ? horizontalBorder : resolved(index - 1) + gapBetweenParts;
    int right = std::max(left, resolved(index));
    return RECT{left, verticalBorder, right, client.bottom - gapBelowParts};
}

RECT simpleRect(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return RECT{horizontalBorder, verticalBorder, client.right - horizontalBorder, client.bottom - gapBelowParts};
}

// ---- painting ----

void drawPartText(HDC dc, const Part& part, RECT area)
{
    InflateRect(&area, -1, -1);
    area.left += textIndent;
    area.right -= textIndent;
    if (area.right <= area.left)
        return;
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (part.drawing & SBT_NOTABPARSING) {
        DrawTextA(dc, part.text.c_str(), static_cast<int>(part.text.size()), &area, format | DT_LEFT);
        return;
    }
    // After one tab the text is centred, after a second right-aligned.
    static const UINT alignments[3] = {DT_LEFT, DT_CENTER, DT_RIGHT};
    size_t start = 0;
    for (int segment = 0; segment < 3 && start <= part.text.size(); ++segment) {
        size_t tab = segment < 2 ? part.text.find('\t', start) : std::string::npos;
        size_t end = tab == std::string::npos ? part.text.size() : tab;
        RECT piece = area;
        DrawTextA(dc, part.text.c_str() + start, static_cast<int>(end - start), &piece, format | alignments[segment]);
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
}

void drawPart(HDC dc, const Part& part, RECT area, const RECT& grip)
{
    if (!(part.drawing & SBT_NOBORDERS))
        DrawEdge(dc, &area, (part.drawing & SBT_POPOUT) ? BDR_RAISEDOUTER : BDR_SUNKENOUTER, BF_RECT);
    area.right = std::min(area.right, grip.left);
    drawPartText(dc, part, area);
}

// The classic grip: three diagonal ridges, each a highlight line and two shadow lines.
void drawGrip(HDC dc, const RECT& grip)
{
    int left = grip.right - gripSquare - 1;
    int top = grip.bottom - gripSquare - 1;
    COLORREF highlight = GetSysColor(COLOR_3DHIGHLIGHT);
    COLORREF shadow = GetSysColor(COLOR_3DSHADOW);
    for (int ridge = 0; ridge < 3; ++ridge) {
        for (int line = 0; line < 3; ++line) {
            int diagonal = gripSquare - 1 + 4 * ridge + 1 + line;
            for (int x = 0; x < gripSquare; ++x) {
                int y = diagonal - x;
                if (y >= 0 && y < gripSquare)
                    SetPixel(dc, left + x, top + y, line == 0 ? highlight : shadow);
            }
        }
    }
}

void paintStatusBar(HWND window, WPARAM suppliedDC, const StatusBar& bar)
{
    user::ControlPaint paint(window, suppliedDC);
    HDC dc = paint.dc();
    if (dc == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
    SelectObject(dc, fontOf(bar));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT grip = gripRect(window);
    if (bar.simpleMode) {
        drawPart(dc, bar.simple, simpleRect(window), grip);
    } else {
        for (size_t i = 0; i < bar.parts.size(); ++i)
            drawPart(dc, bar.parts[i], partRect(window, bar, i), grip);
    }
    if (styleOf(window) & SBARS_SIZEGRIP)
        drawGrip(dc, grip);
}

// ---- messages ----

void storePartZeroAsWindowText(HWND window, const StatusBar& bar)
{
    DefWindowProcA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(bar.parts[0].text.c_str()));
}

LRESULT setText(HWND window, StatusBar& bar, WPARAM wParam, const char* text)
{
    size_t index = LOBYTE(LOWORD(wParam));
    UINT drawing = LOWORD(wParam) & 0xFF00;
    Part part;
    // Owner-drawn parts carry data, not text; they are drawn empty here.
    part.text = (text && !(drawing & SBT_OWNERDRAW)) ? text : "";
    part.drawing = drawing;
    if (index == SB_SIMPLEID) {
        // Kept apart from the parts; it shows only in simple mode.
        bar.simple = part;
        if (bar.simpleMode)
            InvalidateRect(window, nullptr, TRUE);
        return TRUE;
    }
    if (index >= bar.parts.size())
        return FALSE;
    bar.parts[index] = part;
    if (index == 0)
        storePartZeroAsWindowText(window, bar);
    if (!bar.simpleMode) {
        RECT area = partRect(window, bar, index);
        InvalidateRect(window, &area, TRUE);
    }
    return TRUE;
}

const Part* partFor(const StatusBar& bar, WPARAM wParam)
{
    size_t index = LOBYTE(LOWORD(wParam));
    if (index == SB_SIMPLEID)
        return &bar.simple;
    return index < bar.parts.size() ? &bar.parts[index] : nullptr;
}

LRESULT getText(const StatusBar& bar, WPARAM wParam, LPARAM lParam)
{
    const Part* part = partFor(bar, wParam);
    if (part == nullptr)
        return 0;
    if (auto* buffer = reinterpret_cast<char*>(lParam))
        std::memcpy(buffer, part->text.c_str(), part->text.size() + 1);
    return MAKELONG(part->text.size(), part->drawing);
}

LRESULT getTextLength(const StatusBar& bar, WPARAM wParam)
{
    const Part* part = partFor(bar, wParam);
    return part ? MAKELONG(part->text.size(), part->drawing) : 0;
}

LRESULT setParts(HWND window, StatusBar& bar, WPARAM wParam, LPARAM lParam)
{
    auto count = static_cast<int>(wParam);
    const auto* edges = reinterpret_cast<const int*>(lParam);
    if (count <= 0 || count > maximumParts || edges == nullptr)
        return FALSE;
    bar.parts.resize(static_cast<size_t>(count));
    bar.edges.assign(edges, edges + count);
    InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

LRESULT getParts(const StatusBar& bar, WPARAM wParam, LPARAM lParam)
{
    if (auto* out = reinterpret_cast<int*>(lParam)) {
        size_t copied = std::min(static_cast<size_t>(wParam), bar.edges.size());
        std::copy(bar.edges.begin(), bar.edges.begin() + static_cast<long>(copied), out);
    }
    return static_cast<LRESULT>(bar.edges.size());
}

LRESULT getRect(HWND window, const StatusBar& bar, WPARAM wParam, LPARAM lParam)
{
    auto* out = reinterpret_cast<RECT*>(lParam);
    if (out == nullptr || wParam >= bar.parts.size())
        return FALSE;
    *out = bar.simpleMode ? simpleRect(window) : partRect(window, bar, wParam);
    return TRUE;
}

LRESULT setSimple(HWND window, StatusBar& bar, bool simple)
{
    bar.simpleMode = simple;
    // Documented to redraw at once rather than on the next paint.
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    return 0;
}

LRESULT createStatusBar(HWND window, StatusBar& bar, const CREATESTRUCTA* create)
{
    if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
        bar.parts[0].text = create->lpszName;
    dock(window, bar);
    return 0;
}

LRESULT CALLBACK statusBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        user::attachControlState<StatusBar>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    StatusBar* bar = user::controlState<StatusBar>(window);
    if (bar == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return createStatusBar(window, *bar, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_NCDESTROY:
        user::releaseControlState<StatusBar>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_SIZE:
        // The size asked for is ignored: the bar always lies along its parent.
        dock(window, *bar);
        return 0;
    case WM_PAINT:
        paintStatusBar(window, wParam, *bar);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SETTEXT:
        return setText(window, *bar, 0, reinterpret_cast<const char*>(lParam));
    case WM_SETFONT:
        bar->font = reinterpret_cast<HFONT>(wParam);
        dock(window, *bar);
        if (LOWORD(lParam))
            InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(bar->font);
    case SB_SETTEXTA:
        return setText(window, *bar, wParam, reinterpret_cast<const char*>(lParam));
    case SB_GETTEXTA:
        return getText(*bar, wParam, lParam);
    case SB_GETTEXTLENGTHA:
        return getTextLength(*bar, wParam);
    case SB_SETPARTS:
        return setParts(window, *bar, wParam, lParam);
    case SB_GETPARTS:
        return getParts(*bar, wParam, lParam);
    case SB_GETBORDERS:
        if (auto* borders = reinterpret_cast<int*>(lParam)) {
            borders[0] = horizontalBorder;
            borders[1] = verticalBorder;
            borders[2] = gapBetweenParts;
            return TRUE;
        }
        return FALSE;
    case SB_SETMINHEIGHT:
        // Takes effect with the next WM_SIZE, as documented.
        bar->minimumHeight = static_cast<int>(wParam);
        return 0;
    case SB_GETRECT:
        return getRect(window, *bar, wParam, lParam);
    case SB_SIMPLE:
        return setSimple(window, *bar, wParam != 0);
    case SB_ISSIMPLE:
        return bar->simpleMode;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerStatusBarClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    WNDCLASSEXA description{};
    description.cbSize = sizeof(description);
    description.style = CS_DBLCLKS;
    description.lpfnWndProc = statusBarProcedure;
    description.cbWndExtra = sizeof(void*);
    description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    description.lpszClassName = STATUSCLASSNAMEA;
    user::registerSystemClass(description);
}

} // namespace

} // namespace win32::comctl

using namespace win32;

extern "C" {

void WINAPI InitCommonControls(void) { comctl::registerStatusBarClass(); }

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls)
{
    if (controls == nullptr || controls->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    comctl::registerStatusBarClass();
    return TRUE;
}

HWND WINAPI CreateStatusWindowA(LONG style, LPCSTR text, HWND parent, UINT id)
{
    // The class may be used before InitCommonControls, as a loaded COMCTL32 allows.
    comctl::registerStatusBarClass();
    return CreateWindowExA(0, STATUSCLASSNAMEA, text, static_cast<DWORD>(style), 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
}

} // extern "C"
