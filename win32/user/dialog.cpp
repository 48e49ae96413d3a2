// The dialog manager: dialogs from templates (classic and extended), dialog
// units from the template font, DS_CENTER, the modal loop with its owner
// disabled, EndDialog, DefDlgProc, and the dialog keyboard interface of
// IsDialogMessage (Tab and Shift+Tab over WS_TABSTOP controls, arrow keys within
// groups, Enter to the default button or IDOK, Escape to IDCANCEL, mnemonics).
// Left out: menus in templates, WS_EX_CONTROLPARENT nesting, help (F1).
#include "user/user_internal.h"

#include "gdi/gdi_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace win32::user {

ATOM registerSystemClass(const WNDCLASSEXA& description);

namespace {

// The procedure of the dialog being created: DefDlgProc needs it from the
// very first message, before CreateWindowEx returns.
DLGPROC pendingProcedure = nullptr;

const char* classNameForOrdinal(uint16_t ordinal)
{
    switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    }
    return nullptr;
}

bool isSpecialResultMessage(UINT message)
{
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_INITDIALOG ||
           message == 0x0037 /* WM_QUERYDRAGICON */ || message == 0x002E /* WM_VKEYTOITEM */ ||
           message == 0x002F /* WM_CHARTOITEM */ || message == 0x0039 /* WM_COMPAREITEM */;
}

DialogData* ensureDialogData(Window* window)
{
    if (!window->dialog) {
        window->dialog = std::make_unique<DialogData>();
        window->dialog->procedure = pendingProcedure;
        pendingProcedure = nullptr;
    }
    return window->dialog.get();
}

bool isPushButton(HWND control)
{
    LRESULT code = SendMessageA(control, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

bool isTabCandidate(const Window* control)
{
    return control->visible() && control->enabled() && (control->style & WS_TABSTOP);
}

Window* originalDefaultButton(Window* dialog)
{
    DialogData* data = dialog->dialog.get();
    if (data && data->defaultId)
        return findWindow(GetDlgItem(dialog->handle, static_cast<int>(data->defaultId)));
    return nullptr;
}

// Focus moves to a control the way the dialog manager moves it: push buttons
// become the default button while they hold the focus, and an edit control
// gets all its text selected.
void setDialogFocus(Window* dialog, HWND control)
{
    if (control == nullptr)
        return;
    HWND old = GetFocus();
    Window* defaultButton = originalDefaultButton(dialog);
    if (old && old != control && isPushButton(old) && IsChild(dialog->handle, old))
        SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (isPushButton(control)) {
        if (defaultButton && defaultButton->handle != control)
            SendMessageA(defaultButton->handle, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        SendMessageA(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    } else if (defaultButton) {
        SendMessageA(defaultButton->handle, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
    SetFocus(control);
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(control, EM_SETSEL, 0, -1);
}

HWND firstTabItem(Window* dialog)
{
    for (Window* control : dialog->children) {
        if (isTabCandidate(control))
            return control->handle;
    }
    return dialog->children.empty() ? nullptr : dialog->children.front()->handle;
}

// The control whose text marks `key` as its mnemonic ("&x"), searching from the
// one after the focus and wrapping.
Window* findMnemonic(Window* dialog, char key)
{
    auto& controls = dialog->children;
    if (controls.empty())
        return nullptr;
    Window* focus = focusWindow();
    size_t start = 0;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i] == focus)
            start = i + 1;
    }
    for (size_t n = 0; n < controls.size(); ++n) {
        Window* control = controls[(start + n) % controls.size()];
        if (!control->visible() || !control->enabled())
            continue;
        bool isStatic = strcasecmp(control->windowClass->name.c_str(), "Static") == 0;
        if (isStatic && (control->style & SS_NOPREFIX))
            continue;
        const std::string& text = control->text;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&')
                continue;
            if (text[i + 1] == '&') {
                ++i;
                continue;
            }
            if (std::tolower(static_cast<unsigned char>(text[i + 1])) == std::tolower(static_cast<unsigned char>(key)))
                return control;
            break;
        }
    }
    return nullptr;
}

bool handleMnemonic(Window* dialog, char key)
{
    Window* control = findMnemonic(dialog, key);
    if (control == nullptr)
        return false;
    bool isStatic = strcasecmp(control->windowClass->name.c_str(), "Static") == 0;
    if (isStatic) {
        // A label's mnemonic moves the focus to the control after it.
        auto& controls = dialog->children;
        auto it = std::find(controls.begin(), controls.end(), control);
        for (++it; it != controls.end(); ++it) {
            if (isTabCandidate(*it)) {
                setDialogFocus(dialog, (*it)->handle);
                break;
            }
        }
        return true;
    }
    LRESULT code = SendMessageA(control->handle, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_BUTTON) {
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
            setDialogFocus(dialog, control->handle);
            SendMessageA(control->handle, BM_CLICK, 0, 0);
        } else {
            SetFocus(control->handle);
            SendMessageA(control->handle, BM_CLICK, 0, 0);
        }
        return true;
    }
    setDialogFocus(dialog, control->handle);
    return true;
}

} // namespace

bool isDialogWindow(const Window* window) { return window && window->dialog != nullptr; }

void registerDialogClass()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "#32770";
    registerSystemClass(wc);
}

INT_PTR runDialogFromTemplate(HINSTANCE instance, const resources::DialogTemplate& dialogTemplate, HWND ownerHandle,
                              DLGPROC procedure, LPARAM parameter, bool modal, HWND* createdWindow)
{
    Window* owner = findWindow(ownerHandle);
    if (owner)
        owner = topLevelOf(owner);

    // The dialog font and the base units it gives.
    HFONT font = nullptr;
    bool ownsFont = false;
    if (dialogTemplate.hasFont) {
        font = gdi::createDialogFont(dialogTemplate.typeface, dialogTemplate.pointSize, dialogTemplate.weight,
                                     dialogTemplate.italic != 0);
        ownsFont = font != nullptr;
    }
    if (font == nullptr)
        font = gdi::defaultGuiFont();
    int baseX = 6, baseY = 13;
    if (HDC measure = CreateCompatibleDC(nullptr)) {
        HGDIOBJ old = SelectObject(measure, font);
        SIZE extent{};
        TEXTMETRICA metrics{};
        static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextExtentPoint32A(measure, letters, 52, &extent) && extent.cx > 0)
            baseX = (extent.cx / 26 + 1) / 2;
        if (GetTextMetricsA(measure, &metrics) && metrics.tmHeight > 0)
            baseY = metrics.tmHeight;
        SelectObject(measure, old);
        DeleteDC(measure);
    }

    DWORD style = dialogTemplate.style;
    DWORD exStyle = dialogTemplate.exStyle;
    if (style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    if (style & DS_SYSMODAL)
        exStyle |= WS_EX_TOPMOST;
    if (style & DS_CONTROL) {
        style &= ~(WS_CAPTION | WS_SYSMENU);
        style |= WS_CHILD;
    }
    bool showAtEnd = modal || (style & WS_VISIBLE);
    style &= ~WS_VISIBLE;

    int clientWidth = MulDiv(dialogTemplate.cx, baseX, 4);
    int clientHeight = MulDiv(dialogTemplate.cy, baseY, 8);

    std::string className = dialogTemplate.className.empty() ? "#32770" : dialogTemplate.className;
    pendingProcedure = procedure;
    HWND handle = CreateWindowExA(exStyle, className.c_str(), dialogTemplate.title.c_str(), style, 0, 0, clientWidth,
                                  clientHeight, ownerHandle, nullptr, instance, nullptr);
    pendingProcedure = nullptr;
    Window* dialog = findWindow(handle);
    if (dialog == nullptr) {
        if (ownsFont)
            DeleteObject(font);
        return -1;
    }
    DialogData* data = ensureDialogData(dialog);
    data->procedure = procedure;
    data->font = font;
    data->ownsFont = ownsFont;
    data->baseUnitX = baseX;
    data->baseUnitY = baseY;
    data->modal = modal;
    dialog->font = font;

    // The window size from the client size, now that the frame is known.
    RECT insets = nonClientInsets(dialog);
    int width = clientWidth + insets.left + insets.right;
    int height = clientHeight + insets.top + insets.bottom;
    POINT position{MulDiv(dialogTemplate.x, baseX, 4), MulDiv(dialogTemplate.y, baseY, 8)};
    if (style & (DS_CENTER | DS_CENTERMOUSE)) {
        POINT reference = cursorPosition();
        if (owner && !(style & DS_CENTERMOUSE))
            reference = POINT{(owner->windowRect.left + owner->windowRect.right) / 2,
                              (owner->windowRect.top + owner->windowRect.bottom) / 2};
        RECT area = backend::current().workArea(reference);
        if (style & DS_CENTERMOUSE)
            area = RECT{reference.x - width, reference.y - height, reference.x + width, reference.y + height};
        position = POINT{area.left + (core::width(area) - width) / 2, area.top + (core::height(area) - height) / 2};
        RECT screen = backend::current().workArea(reference);
        position.x = std::max<LONG>(screen.left, std::min<LONG>(position.x, screen.right - width));
        position.y = std::max<LONG>(screen.top, std::min<LONG>(position.y, screen.bottom - height));
    } else if (owner && !(style & DS_ABSALIGN) && !(style & WS_CHILD)) {
        POINT origin = clientOriginOnScreen(owner);
        position.x += origin.x;
        position.y += origin.y;
    }
    SetWindowPos(handle, nullptr, position.x, position.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    for (const resources::DialogItem& item : dialogTemplate.items) {
        std::string itemClass = item.className;
        if (item.windowClass.isOrdinal) {
            if (const char* known = classNameForOrdinal(item.windowClass.ordinal))
                itemClass = known;
        }
        // A title given as an ordinal names a resource (an icon for SS_ICON),
        // which the control loads by the "#id" form of its name.
        std::string title = item.title;
        if (item.titleIsOrdinal)
            title = "#" + std::to_string(item.titleOrdinal);
        int x = MulDiv(item.x, baseX, 4);
        int y = MulDiv(item.y, baseY, 8);
        int cx = MulDiv(item.cx, baseX, 4);
        int cy = MulDiv(item.cy, baseY, 8);
        const void* creationData = item.creationData.empty() ? nullptr : item.creationData.data();
        HWND control = CreateWindowExA(item.exStyle | WS_EX_NOPARENTNOTIFY, itemClass.c_str(), title.c_str(),
                                       (item.style | WS_CHILD) & ~WS_POPUP, x, y, cx, cy, handle,
                                       reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id & 0xFFFF)), instance,
                                       const_cast<void*>(creationData));
        if (control == nullptr) {
            std::fprintf(stderr, "huevane: dialog control %u of class \"%s\" could not be created\n",
                         static_cast<unsigned>(item.id), itemClass.c_str());
            if (!(style & DS_NOFAILCREATE)) {
                DestroyWindow(handle);
                if (ownsFont)
                    DeleteObject(font);
                return -1;
            }
            continue;
        }
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if ((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            strcasecmp(itemClass.c_str(), "Button") == 0 && data->defaultId == 0)
            data->defaultId = item.id & 0xFFFF;
    }

    HWND focusCandidate = firstTabItem(dialog);
    bool ownerDisabledHere = false;
    if (modal && owner && owner->enabled()) {
        // Whoever holds the capture loses it before a modal dialog shows.
        if (HWND capture = GetCapture())
            SendMessageA(capture, WM_CANCELMODE, 0, 0);
        EnableWindow(owner->handle, FALSE);
        ownerDisabledHere = true;
    }

    LRESULT setFocus = SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focusCandidate), parameter);
    dialog = findWindow(handle);
    if (dialog && !dialog->dialog->ended) {
        if (showAtEnd)
            ShowWindow(handle, SW_SHOWNORMAL);
        if (setFocus) {
            HWND target = focusCandidate;
            Window* candidate = findWindow(target);
            if (candidate == nullptr || !isTabCandidate(candidate))
                target = GetNextDlgTabItem(handle, target, FALSE);
            if (target)
                setDialogFocus(dialog, target);
        }
    }
    if (createdWindow)
        *createdWindow = handle;
    if (!modal)
        return reinterpret_cast<INT_PTR>(handle);

    INT_PTR result = 0;
    while ((dialog = findWindow(handle)) && !dialog->dialog->ended) {
        MSG message;
        if (!GetMessageA(&message, nullptr, 0, 0)) {
            // WM_QUIT ends the dialog and goes on to the loop outside it.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!IsDialogMessageA(handle, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (dialog)
        result = dialog->dialog->result;
    // The owner is enabled again before the dialog goes, so it takes the activation back.
    if (ownerDisabledHere && owner && findWindow(owner->handle))
        EnableWindow(owner->handle, TRUE);
    if (findWindow(handle))
        DestroyWindow(handle);
    if (owner && findWindow(owner->handle) && reallyVisible(owner))
        activateWindow(owner);
    return result;
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

namespace {

bool loadTemplate(HINSTANCE, LPCSTR name, resources::DialogTemplate& out)
{
    resources::ResourceId id = resources::ResourceId::fromWin32(name);
    auto blob = resources::find(resources::ResourceId::fromOrdinal(5), id);
    if (!blob) {
        std::fprintf(stderr, "huevane: dialog resource %s is missing\n", id.describe().c_str());
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    std::string error;
    auto parsed = resources::parseDialogTemplate(blob->data, blob->size, &error);
    if (!parsed) {
        std::fprintf(stderr, "huevane: dialog resource %s is damaged: %s\n", id.describe().c_str(), error.c_str());
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    out = std::move(*parsed);
    return true;
}

bool parseIndirect(LPCDLGTEMPLATEA pointer, resources::DialogTemplate& out)
{
    if (pointer == nullptr)
        return false;
    // The caller's template has no stated size; the parser stops at its end.
    std::string error;
    auto parsed = resources::parseDialogTemplate(reinterpret_cast<const uint8_t*>(pointer), 65536, &error);
    if (!parsed)
        return false;
    out = std::move(*parsed);
    return true;
}

} // namespace

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    resources::DialogTemplate dialogTemplate;
    if (!loadTemplate(instance, name, dialogTemplate))
        return -1;
    if (owner && !IsWindow(owner))
        return 0;
    return runDialogFromTemplate(instance, dialogTemplate, owner, procedure, parameter, true, nullptr);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA pointer, HWND owner, DLGPROC procedure,
                                       LPARAM parameter)
{
    resources::DialogTemplate dialogTemplate;
    if (!parseIndirect(pointer, dialogTemplate))
        return -1;
    return runDialogFromTemplate(instance, dialogTemplate, owner, procedure, parameter, true, nullptr);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    resources::DialogTemplate dialogTemplate;
    if (!loadTemplate(instance, name, dialogTemplate))
        return nullptr;
    HWND created = nullptr;
    runDialogFromTemplate(instance, dialogTemplate, owner, procedure, parameter, false, &created);
    return created;
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA pointer, HWND owner, DLGPROC procedure,
                                       LPARAM parameter)
{
    resources::DialogTemplate dialogTemplate;
    if (!parseIndirect(pointer, dialogTemplate))
        return nullptr;
    HWND created = nullptr;
    runDialogFromTemplate(instance, dialogTemplate, owner, procedure, parameter, false, &created);
    return created;
}

BOOL WINAPI EndDialog(HWND handle, INT_PTR result)
{
    Window* window = findWindow(handle);
    if (window == nullptr || !window->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->dialog->ended = true;
    window->dialog->result = result;
    if (!window->dialog->modal)
        ShowWindow(handle, SW_HIDE);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return 0;
    DialogData* data = ensureDialogData(window);
    if (data->procedure) {
        data->messageResult = 0;
        INT_PTR handled = data->procedure(handle, message, wParam, lParam);
        window = findWindow(handle);
        if (window == nullptr)
            return handled;
        if (handled)
            return isSpecialResultMessage(message) ? handled : window->dialog->messageResult;
        if (isSpecialResultMessage(message) && message == WM_INITDIALOG)
            return 0;
        data = window->dialog.get();
    }

    switch (message) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(handle, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(handle)));
        if (brush == nullptr)
            brush = GetSysColorBrush(COLOR_3DFACE);
        RECT client;
        GetClientRect(handle, &client);
        FillRect(dc, &client, brush);
        return 1;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(handle, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) {
            MessageBeep(0);
            return 0;
        }
        PostMessageA(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_SETFONT:
        data->font = reinterpret_cast<HFONT>(wParam);
        window->font = data->font;
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data->font);
    case DM_GETDEFID: {
        if (data->defaultId)
            return MAKELONG(data->defaultId, DC_HASDEFID);
        return 0;
    }
    case DM_SETDEFID:
        data->defaultId = static_cast<UINT>(wParam);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND target = data->savedFocus && IsWindow(data->savedFocus) && IsChild(handle, data->savedFocus)
                              ? data->savedFocus
                              : firstTabItem(window);
            if (target)
                SetFocus(target);
        } else if (HWND focus = GetFocus(); focus && IsChild(handle, focus)) {
            data->savedFocus = focus;
        }
        return 0;
    case WM_SETFOCUS: {
        HWND target = data->savedFocus && IsWindow(data->savedFocus) ? data->savedFocus : firstTabItem(window);
        if (target && target != handle)
            SetFocus(target);
        return 0;
    }
    case WM_SHOWWINDOW:
        if (HWND focus = GetFocus(); focus && IsChild(handle, focus))
            data->savedFocus = focus;
        return DefWindowProcA(handle, message, wParam, lParam);
    case WM_NEXTDLGCTL: {
        HWND target = lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(handle, GetFocus(), wParam != 0);
        if (target)
            setDialogFocus(window, target);
        return 0;
    }
    case WM_NCDESTROY:
        if (data->ownsFont && data->font) {
            DeleteObject(data->font);
            data->font = nullptr;
        }
        return DefWindowProcA(handle, message, wParam, lParam);
    case WM_INITDIALOG:
    case 0x002E: // WM_VKEYTOITEM
    case 0x002F: // WM_CHARTOITEM
    case 0x0039: // WM_COMPAREITEM
        return 0;
    }
    return DefWindowProcA(handle, message, wParam, lParam);
}

BOOL WINAPI IsDialogMessageA(HWND dialogHandle, LPMSG message)
{
    Window* dialog = findWindow(dialogHandle);
    if (dialog == nullptr || message == nullptr)
        return FALSE;
    if (message->hwnd != dialogHandle && !IsChild(dialogHandle, message->hwnd))
        return FALSE;

    UINT id = message->message;
    if (id == WM_KEYDOWN || id == WM_CHAR || id == WM_SYSCHAR) {
        LRESULT code = SendMessageA(message->hwnd, WM_GETDLGCODE, message->wParam, reinterpret_cast<LPARAM>(message));
        if (!findWindow(dialogHandle))
            return TRUE;
        if (id == WM_KEYDOWN && !(code & DLGC_WANTMESSAGE)) {
            bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            switch (message->wParam) {
            case VK_TAB:
                if (code & DLGC_WANTTAB)
                    break;
                setDialogFocus(dialog, GetNextDlgTabItem(dialogHandle, GetFocus(), shift));
                return TRUE;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN: {
                if (code & DLGC_WANTARROWS)
                    break;
                bool previous = message->wParam == VK_LEFT || message->wParam == VK_UP;
                HWND current = GetFocus();
                HWND next = GetNextDlgGroupItem(dialogHandle, current, previous);
                if (next && next != current) {
                    setDialogFocus(dialog, next);
                    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
                        SendMessageA(next, BM_CLICK, 0, 0);
                }
                return TRUE;
            }
            case VK_RETURN: {
                HWND focus = GetFocus();
                UINT command = IDOK;
                HWND from = nullptr;
                if (focus && IsChild(dialogHandle, focus) && isPushButton(focus)) {
                    command = static_cast<UINT>(GetDlgCtrlID(focus));
                    from = focus;
                } else {
                    LRESULT definition = SendMessageA(dialogHandle, DM_GETDEFID, 0, 0);
                    if (HIWORD(definition) == DC_HASDEFID)
                        command = LOWORD(definition);
                    from = GetDlgItem(dialogHandle, static_cast<int>(command));
                }
                if (from && !IsWindowEnabled(from)) {
                    MessageBeep(0);
                    return TRUE;
                }
                SendMessageA(dialogHandle, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(from));
                return TRUE;
            }
            case VK_ESCAPE:
                SendMessageA(dialogHandle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialogHandle, IDCANCEL)));
                return TRUE;
            }
        }
        if ((id == WM_SYSCHAR || (id == WM_CHAR && !(code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)))) &&
            message->wParam > ' ') {
            if (handleMnemonic(dialog, static_cast<char>(message->wParam)))
                return TRUE;
            if (id == WM_SYSCHAR) {
                MessageBeep(0);
                return TRUE;
            }
        }
    }
    TranslateMessage(message);
    DispatchMessageA(message);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialogHandle, int id)
{
    Window* dialog = findWindow(dialogHandle);
    if (dialog == nullptr)
        return nullptr;
    for (Window* child : dialog->children) {
        if (static_cast<int>(child->id & 0xFFFF) == (id & 0xFFFF))
            return child->handle;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND handle)
{
    Window* window = findWindow(handle);
    return window && window->isChild() ? static_cast<int>(window->id) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, buffer, size));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof(text), "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    char text[64];
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    const char* p = text;
    while (*p == ' ')
        ++p;
    bool negative = false;
    if (isSigned && *p == '-') {
        negative = true;
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p))) {
        if (translated)
            *translated = FALSE;
        return 0;
    }
    unsigned long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            if (translated)
                *translated = FALSE;
            return 0;
        }
        ++p;
    }
    while (*p == ' ')
        ++p;
    bool ok = *p == '\0' && (!isSigned || value <= (negative ? 0x80000000ull : 0x7FFFFFFFull));
    if (translated)
        *translated = ok;
    if (!ok)
        return 0;
    return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

HWND WINAPI GetNextDlgTabItem(HWND dialogHandle, HWND controlHandle, BOOL previous)
{
    Window* dialog = findWindow(dialogHandle);
    if (dialog == nullptr || dialog->children.empty())
        return nullptr;
    auto& controls = dialog->children;
    Window* control = findWindow(controlHandle);
    size_t count = controls.size();
    size_t start = 0;
    auto it = std::find(controls.begin(), controls.end(), control);
    bool known = it != controls.end();
    if (known)
        start = static_cast<size_t>(it - controls.begin());
    for (size_t n = 1; n <= count; ++n) {
        size_t index;
        if (!known)
            index = previous ? (count - n) % count : (n - 1) % count;
        else
            index = previous ? (start + count - n) % count : (start + n) % count;
        if (isTabCandidate(controls[index]))
            return controls[index]->handle;
    }
    return controlHandle;
}

HWND WINAPI GetNextDlgGroupItem(HWND dialogHandle, HWND controlHandle, BOOL previous)
{
    Window* dialog = findWindow(dialogHandle);
    if (dialog == nullptr || dialog->children.empty())
        return nullptr;
    auto& controls = dialog->children;
    auto it = std::find(controls.begin(), controls.end(), findWindow(controlHandle));
    if (it == controls.end())
        return controls.front()->handle;
    size_t index = static_cast<size_t>(it - controls.begin());
    // The group: from the WS_GROUP control at or before this one up to the next WS_GROUP control.
    size_t first = index;
    while (first > 0 && !(controls[first]->style & WS_GROUP))
        --first;
    size_t last = index;
    while (last + 1 < controls.size() && !(controls[last + 1]->style & WS_GROUP))
        ++last;
    size_t size = last - first + 1;
    for (size_t n = 1; n < size + 1; ++n) {
        size_t offset = index - first;
        size_t candidate = first + (previous ? (offset + size - n % size) % size : (offset + n) % size);
        Window* w = controls[candidate];
        bool isStatic = (SendMessageA(w->handle, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) != 0;
        if (w->visible() && w->enabled() && !isStatic)
            return w->handle;
    }
    return controlHandle;
}

BOOL WINAPI MapDialogRect(HWND dialogHandle, LPRECT rect)
{
    Window* dialog = findWindow(dialogHandle);
    if (dialog == nullptr || !dialog->dialog || rect == nullptr)
        return FALSE;
    int x = dialog->dialog->baseUnitX, y = dialog->dialog->baseUnitY;
    rect->left = MulDiv(rect->left, x, 4);
    rect->right = MulDiv(rect->right, x, 4);
    rect->top = MulDiv(rect->top, y, 8);
    rect->bottom = MulDiv(rect->bottom, y, 8);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(8, 16); }

} // extern "C"
