// USER's popup menus: CreatePopupMenu, AppendMenuA, EnableMenuItem,
// DestroyMenu and TrackPopupMenu, drawn in the classic flat-item look (a
// raised frame, a highlight bar, embossed grey text for disabled items).
// This is what a control needs for its right-click menu.
// Left out: menu bars, submenus, check marks, owner-drawn and bitmap items,
// TrackPopupMenuEx, WM_MENUSELECT and WM_MENUCHAR, menu animation.
// Start reading at TrackPopupMenu: it runs a message loop of its own until
// an item is chosen or the menu is dismissed, as Windows' does.
#include "user/user_internal.h"

#include "core/handle_table.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace win32::user {

namespace {

constexpr uintptr_t firstMenuHandle = 0x50000010;
constexpr uintptr_t menuHandleStep = 8;
constexpr const char* menuClassName = "#32768";

// Classic metrics at the 8-point dialog font: 2 px of raised edge and 1 px
// of face around the items, room for a check mark left and right of the text.
constexpr int border = 3;
constexpr int textIndent = 17;
constexpr int rightSpace = 17;
constexpr int separatorHeight = 9;

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;

    bool separator() const { return (flags & MF_SEPARATOR) != 0; }
    bool enabled() const { return (flags & (MF_GRAYED | MF_DISABLED)) == 0; }
};

struct Menu {
    std::vector<MenuItem> items;
};

core::HandleTable<Menu>& menus()
{
    static core::HandleTable<Menu> table{firstMenuHandle, menuHandleStep};
    return table;
}

Menu* findMenu(HMENU handle)
{
    Menu* menu = menus().find(reinterpret_cast<uintptr_t>(handle));
    if (menu == nullptr)
        SetLastError(ERROR_INVALID_MENU_HANDLE);
    return menu;
}

// The one menu being tracked: Windows, too, allows one at a time.
struct Tracking {
    Menu* menu = nullptr;
    HWND popup = nullptr;
    UINT flags = 0;
    std::vector<RECT> itemRects; // client coordinates of the popup
    int hot = -1;
    bool done = false;
    UINT_PTR chosen = 0;
    int textHeight = 13;
};
Tracking* tracking = nullptr;

HFONT menuFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

char mnemonicOf(const std::string& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        ++i;
    }
    return 0;
}

// Lays the items out in one column; returns the popup's size.
SIZE layOut(Tracking& t)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, menuFont());
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    t.textHeight = metrics.tmHeight > 0 ? metrics.tmHeight : 13;
    int itemHeight = t.textHeight + 4;
    int widest = 0;
    int y = border;
    t.itemRects.clear();
    for (const MenuItem& item : t.menu->items) {
        int height = item.separator() ? separatorHeight : itemHeight;
        if (!item.separator()) {
            RECT measure{0, 0, 0, 0};
            DrawTextA(dc, item.text.c_str(), -1, &measure, DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
            widest = std::max(widest, static_cast<int>(measure.right));
        }
        t.itemRects.push_back(RECT{border, y, 0, y + height});
        y += height;
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    int width = border + textIndent + widest + rightSpace + border;
    for (RECT& r : t.itemRects)
        r.right = width - border;
    return SIZE{width, y + border};
}

void paintMenu(HWND popup, const Tracking& t)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(popup, &paint);
    RECT client;
    GetClientRect(popup, &client);
    FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    HGDIOBJ oldFont = SelectObject(dc, menuFont());
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < t.menu->items.size() && i < t.itemRects.size(); ++i) {
        const MenuItem& item = t.menu->items[i];
        RECT r = t.itemRects[i];
        if (item.separator()) {
            int middle = (r.top + r.bottom) / 2;
            RECT line{r.left + 1, middle - 1, r.right - 1, middle + 1};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            continue;
        }
        bool hot = static_cast<int>(i) == t.hot;
        if (hot)
            FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1));
        RECT text{r.left + textIndent, r.top, r.right - rightSpace, r.bottom};
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
        if (!item.enabled() && !hot) {
            // Engraved, as classic menus draw what cannot be chosen.
            RECT shadow = text;
            OffsetRect(&shadow, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
            DrawTextA(dc, item.text.c_str(), -1, &shadow, format);
        }
        SetTextColor(dc, !item.enabled() ? GetSysColor(COLOR_GRAYTEXT)
                         : hot           ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                         : GetSysColor(COLOR_MENUTEXT));
        DrawTextA(dc, item.text.c_str(), -1, &text, format);
    }
    SelectObject(dc, oldFont);
    EndPaint(popup, &paint);
}

LRESULT CALLBACK menuProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        if (tracking && tracking->popup == window && tracking->menu) {
            paintMenu(window, *tracking);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerMenuClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    WNDCLASSEXA description{};
    description.cbSize = sizeof(description);
    description.style = CS_SAVEBITS | CS_DBLCLKS;
    description.lpfnWndProc = menuProcedure;
    description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    description.lpszClassName = menuClassName;
    registerSystemClass(description);
}

int itemAt(const Tracking& t, POINT client)
{
    for (size_t i = 0; i < t.itemRects.size(); ++i) {
        if (PtInRect(&t.itemRects[i], client))
            return t.menu->items[i].separator() ? -1 : static_cast<int>(i);
    }
    return -1;
}

void setHot(Tracking& t, int hot)
{
    if (hot == t.hot)
        return;
    auto redrawItem = [&](int index) {
        if (index >= 0 && index < static_cast<int>(t.itemRects.size()))
            InvalidateRect(t.popup, &t.itemRects[static_cast<size_t>(index)], FALSE);
    };
    redrawItem(t.hot);
    t.hot = hot;
    redrawItem(t.hot);
}

void choose(Tracking& t, int index)
{
    if (index < 0 || index >= static_cast<int>(t.menu->items.size()))
        return;
    const MenuItem& item = t.menu->items[static_cast<size_t>(index)];
    if (item.separator() || !item.enabled())
        return; // Windows keeps the menu open over an item that cannot be chosen
    t.chosen = item.id;
    t.done = true;
}

void moveHot(Tracking& t, int step)
{
    int count = static_cast<int>(t.menu->items.size());
    int index = t.hot;
    for (int tried = 0; tried < count; ++tried) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
        if (!t.menu->items[static_cast<size_t>(index)].separator()) {
            setHot(t, index);
            return;
        }
    }
}

// A letter picks the item it is the mnemonic of: at once when only one
// item has it, otherwise it steps through them, as Windows does.
void pressMnemonic(Tracking& t, char letter)
{
    std::vector<int> matches;
    for (size_t i = 0; i < t.menu->items.size(); ++i) {
        const MenuItem& item = t.menu->items[i];
        if (!item.separator() && mnemonicOf(item.text) == letter)
            matches.push_back(static_cast<int>(i));
    }
    if (matches.size() == 1) {
        setHot(t, matches[0]);
        choose(t, matches[0]);
    } else if (!matches.empty()) {
        auto next = std::upper_bound(matches.begin(), matches.end(), t.hot);
        setHot(t, next == matches.end() ? matches.front() : *next);
    }
}

bool handleKey(Tracking& t, WPARAM key)
{
    switch (key) {
    case VK_UP: moveHot(t, -1); break;
    case VK_DOWN: moveHot(t, 1); break;
    case VK_HOME: setHot(t, -1); moveHot(t, 1); break;
    case VK_END: setHot(t, -1); moveHot(t, -1); break;
    case VK_RETURN: choose(t, t.hot); break;
    case VK_ESCAPE:
    case VK_MENU:
    case VK_F10: t.done = true; break;
    default:
        if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
            pressMnemonic(t, static_cast<char>(key));
        break;
    }
    return true;
}

// Everything the menu takes for itself while it is open: the pointer (it
// holds the capture) and the keyboard. The rest is dispatched as usual, so
// the program goes on painting and running its timers.
bool handleMenuMessage(Tracking& t, const MSG& message)
{
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return handleKey(t, message.wParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        return true;
    }
    if (message.hwnd != t.popup || message.message < WM_MOUSEFIRST || message.message > WM_MOUSELAST)
        return false;

    POINT point{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
    RECT client;
    GetClientRect(t.popup, &client);
    bool inside = PtInRect(&client, point) != FALSE;
    bool rightCounts = (t.flags & TPM_RIGHTBUTTON) != 0;
    switch (message.message) {
    case WM_MOUSEMOVE:
        setHot(t, inside ? itemAt(t, point) : -1);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        // A press anywhere else closes the menu and is not passed on.
        if (!inside)
            t.done = true;
        else
            setHot(t, itemAt(t, point));
        break;
    case WM_LBUTTONUP:
        if (inside)
            choose(t, itemAt(t, point));
        break;
    case WM_RBUTTONUP:
        if (inside && rightCounts)
            choose(t, itemAt(t, point));
        break;
    }
    return true;
}

POINT placement(UINT flags, int x, int y, SIZE size)
{
    POINT at{x, y};
    if (flags & TPM_RIGHTALIGN)
        at.x -= size.cx;
    else if (flags & TPM_CENTERALIGN)
        at.x -= size.cx / 2;
    if (flags & TPM_BOTTOMALIGN)
        at.y -= size.cy;
    else if (flags & TPM_VCENTERALIGN)
        at.y -= size.cy / 2;
    // A menu that would run off the screen opens towards the other side of
    // the point instead, as near the screen's edge as it fits.
    RECT area = backend::current().workArea(POINT{x, y});
    if (at.x + size.cx > area.right)
        at.x = std::max<int>(area.left, std::min<int>(x, area.right) - size.cx);
    if (at.y + size.cy > area.bottom)
        at.y = std::max<int>(area.top, std::min<int>(y, area.bottom) - size.cy);
    at.x = std::max<int>(at.x, area.left);
    at.y = std::max<int>(at.y, area.top);
    return at;
}

} // namespace

size_t liveMenuCount() { return menus().size(); }

bool isMenuWindow(const Window* window)
{
    return window && window->windowClass && window->windowClass->system &&
           window->windowClass->name == menuClassName;
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

HMENU WINAPI CreatePopupMenu(void)
{
    return reinterpret_cast<HMENU>(menus().add(std::make_unique<Menu>()));
}

BOOL WINAPI DestroyMenu(HMENU handle)
{
    Menu* menu = findMenu(handle);
    if (menu == nullptr)
        return FALSE;
    if (tracking && tracking->menu == menu)
        tracking->menu = nullptr; // ends the menu loop, which must not read it after this
    menus().remove(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU handle)
{
    return menus().find(reinterpret_cast<uintptr_t>(handle)) != nullptr;
}

BOOL WINAPI AppendMenuA(HMENU handle, UINT flags, UINT_PTR id, LPCSTR text)
{
    Menu* menu = findMenu(handle);
    if (menu == nullptr)
        return FALSE;
    MenuItem item;
    item.flags = flags;
    item.id = id;
    if (!(flags & MF_SEPARATOR))
        item.text = text ? text : "";
    menu->items.push_back(std::move(item));
    return TRUE;
}

UINT WINAPI EnableMenuItem(HMENU handle, UINT which, UINT enable)
{
    Menu* menu = findMenu(handle);
    if (menu == nullptr)
        return static_cast<UINT>(-1);
    MenuItem* item = nullptr;
    if (enable & MF_BYPOSITION) {
        if (which < menu->items.size())
            item = &menu->items[which];
    } else {
        for (MenuItem& candidate : menu->items) {
            if (!candidate.separator() && candidate.id == which) {
                item = &candidate;
                break;
            }
        }
    }
    if (item == nullptr)
        return static_cast<UINT>(-1);
    constexpr UINT stateBits = MF_GRAYED | MF_DISABLED;
    UINT previous = item->flags & stateBits;
    item->flags = (item->flags & ~stateBits) | (enable & stateBits);
    return previous;
}

int WINAPI GetMenuItemCount(HMENU handle)
{
    Menu* menu = findMenu(handle);
    return menu ? static_cast<int>(menu->items.size()) : -1;
}

BOOL WINAPI TrackPopupMenu(HMENU handle, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    Menu* menu = findMenu(handle);
    if (menu == nullptr)
        return FALSE;
    if (findWindow(owner) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (tracking) {
        SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
        return FALSE;
    }
    bool notify = (flags & TPM_NONOTIFY) == 0;
    if (notify) {
        SendMessageA(owner, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(handle), 0);
        menu = findMenu(handle); // the owner may have destroyed it
        if (menu == nullptr || !IsWindow(owner))
            return FALSE;
    }
    if (menu->items.empty()) {
        if (notify)
            SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
        return FALSE;
    }

    registerMenuClass();
    Tracking t;
    t.menu = menu;
    t.flags = flags;
    SIZE size = layOut(t);
    POINT at = placement(flags, x, y, size);
    Window* ownerTop = topLevelOf(findWindow(owner));
    t.popup = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, menuClassName, "", WS_POPUP, at.x, at.y, size.cx,
                              size.cy, ownerTop ? ownerTop->handle : nullptr, nullptr, nullptr, nullptr);
    if (t.popup == nullptr) {
        if (notify)
            SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
        return FALSE;
    }
    tracking = &t;
    ShowWindow(t.popup, SW_SHOWNA);
    UpdateWindow(t.popup);
    SetCapture(t.popup);

    MSG message{};
    while (!t.done && t.menu != nullptr) {
        // Losing the capture (another program took the pointer, or the
        // owner called ReleaseCapture) dismisses the menu, as on Windows.
        if (GetCapture() != t.popup || !IsWindow(t.popup))
            break;
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(message.wParam)); // for the loop that owns it
            break;
        }
        if (!handleMenuMessage(t, message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    tracking = nullptr;
    if (GetCapture() == t.popup)
        ReleaseCapture();
    if (IsWindow(t.popup))
        DestroyWindow(t.popup);
    if (notify && IsWindow(owner))
        SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
    UINT_PTR chosen = t.menu ? t.chosen : 0;
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen != 0 && notify)
        PostMessageA(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
    return TRUE;
}

} // extern "C"
