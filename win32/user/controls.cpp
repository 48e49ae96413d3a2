// The predefined control classes Static, Button, Edit and ListBox, as USER
// registers them for every process, and the helpers the controls share.
// Left out: ComboBox, ScrollBar controls, MDIClient and the owner-drawn
// variants of the classes here.
#include "user/controls.h"

#include "user/user_internal.h"

namespace win32::user {

namespace {

void registerControlClass(const char* name, WNDPROC procedure, UINT style, LPCSTR cursor)
{
    WNDCLASSEXA description{};
    description.cbSize = sizeof(description);
    description.style = style;
    description.lpfnWndProc = procedure;
    description.cbWndExtra = sizeof(void*);
    description.hCursor = LoadCursorA(nullptr, cursor);
    // No class brush: every control paints its own background in WM_PAINT
    // (or, like frames and group boxes, deliberately leaves it alone).
    description.hbrBackground = nullptr;
    description.lpszClassName = name;
    registerSystemClass(description);
}

} // namespace

void registerStandardControlClasses()
{
    registerControlClass("Static", staticProcedure, CS_DBLCLKS, IDC_ARROW);
    registerControlClass("Button", buttonProcedure, CS_DBLCLKS, IDC_ARROW);
    registerControlClass("Edit", editProcedure, CS_DBLCLKS, IDC_IBEAM);
    registerControlClass("ListBox", listBoxProcedure, CS_DBLCLKS, IDC_ARROW);
}

void notifyParent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (parent == nullptr)
        return;
    WPARAM command = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code);
    SendMessageA(parent, WM_COMMAND, command, reinterpret_cast<LPARAM>(control));
}

HBRUSH askParentForColours(HWND control, HDC dc, UINT message)
{
    HWND parent = GetParent(control);
    HWND asked = parent ? parent : control;
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(asked, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    if (brush == nullptr || GetObjectType(brush) != OBJ_BRUSH)
        brush = reinterpret_cast<HBRUSH>(
            DefWindowProcA(asked, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    return brush;
}

HFONT fontOrDefault(HFONT font)
{
    return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

TEXTMETRICA metricsOf(HFONT font)
{
    TEXTMETRICA metrics{};
    HDC measure = CreateCompatibleDC(nullptr);
    if (measure == nullptr) {
        metrics.tmHeight = 13;
        return metrics;
    }
    HGDIOBJ old = SelectObject(measure, fontOrDefault(font));
    if (!GetTextMetricsA(measure, &metrics) || metrics.tmHeight <= 0)
        metrics.tmHeight = 13;
    SelectObject(measure, old);
    DeleteDC(measure);
    return metrics;
}

ControlPaint::ControlPaint(HWND window, WPARAM suppliedDC) : window_(window)
{
    if (suppliedDC) {
        dc_ = reinterpret_cast<HDC>(suppliedDC);
    } else {
        dc_ = BeginPaint(window, &paint_);
        began_ = true;
    }
    if (dc_)
        saved_ = SaveDC(dc_);
}

ControlPaint::~ControlPaint()
{
    if (dc_ && saved_)
        RestoreDC(dc_, saved_);
    if (began_)
        EndPaint(window_, &paint_);
}

} // namespace win32::user
