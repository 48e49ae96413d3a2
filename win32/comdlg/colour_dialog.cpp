// COMDLG32's colour dialog, ChooseColorA, and CommDlgExtendedError: a modal
// dialog over its owner (disabled while it is open) with 48 basic colours, the
// caller's 16 custom colours, and, opened at once with CC_FULLOPEN or later
// with "Define Custom Colors >>", the hue/saturation spectrum, the luminosity
// bar, the Color|Solid preview and the Hue/Sat/Lum and Red/Green/Blue fields.
// "Add to Custom Colors" writes into the caller's array at once, so colours
// added stay added even when the user then cancels, as on Windows.
//
// Left out: hooks and custom templates (CC_ENABLEHOOK, CC_ENABLETEMPLATE,
// CC_ENABLETEMPLATEHANDLE are ignored, and so are the registered messages
// COLOROKSTRING and SETRGBSTRING), the Help button (CC_SHOWHELP adds nothing),
// and palettes: the display is true colour, so every colour is solid and
// CC_SOLIDCOLOR and CC_ANYCOLOR change nothing.
//
// Start reading at ChooseColorA, then colourDialogProcedure.
#include <windows.h>
#include <commdlg.h>

#include "comdlg/colour_controls.h"
#include "comdlg/colour_dialog.h"
#include "user/user_internal.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace win32::user {
ATOM registerSystemClass(const WNDCLASSEXA& description);
}

namespace win32::comdlg {

namespace {

// ---- the basic colours ----------------------------------------------------

constexpr std::array<COLORREF, basicColourCount> basicPalette = {
    RGB(255, 192, 192), RGB(255, 224, 192), RGB(255, 255, 192), RGB(192, 255, 192),
    RGB(192, 255, 255), RGB(192, 192, 255), RGB(255, 192, 255), RGB(255, 255, 255),
    RGB(255, 128, 128), RGB(255, 192, 128), RGB(255, 255, 128), RGB(128, 255, 128),
    RGB(128, 255, 255), RGB(128, 128, 255), RGB(255, 128, 255), RGB(224, 224, 224),
    RGB(255, 0, 0),     RGB(255, 128, 0),   RGB(255, 255, 0),   RGB(0, 255, 0),
    RGB(0, 255, 255),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(192, 192, 192),
    RGB(192, 0, 0),     RGB(192, 96, 0),    RGB(192, 192, 0),   RGB(0, 192, 0),
    RGB(0, 192, 192),   RGB(0, 0, 192),     RGB(192, 0, 192),   RGB(128, 128, 128),
    RGB(128, 0, 0),     RGB(128, 64, 0),    RGB(128, 128, 0),   RGB(0, 128, 0),
    RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(64, 64, 64),
    RGB(64, 0, 0),      RGB(64, 32, 0),     RGB(64, 64, 0),     RGB(0, 64, 0),
    RGB(0, 64, 64),     RGB(0, 0, 64),      RGB(64, 0, 64),     RGB(0, 0, 0),
};

// ---- the layout, in dialog units -------------------------------------------

constexpr DWORD labelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD fieldLabelStyle = WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP;
constexpr DWORD fieldStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL;
constexpr DWORD buttonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// Controls from here on in the template form the right part.
constexpr int firstRightItem = spectrumId;

struct ItemLayout {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

// Template order is tab order: the grids, the buttons under them, then the right part.
constexpr ItemLayout layout[] = {
    {basicLabelId, "Static", "&Basic colors:", labelStyle, 0, 6, 5, 136, 9},
    {basicGridId, colourGridClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP, 0, 4, 15, 140, 84},
    {customLabelId, "Static", "&Custom colors:", labelStyle | WS_GROUP, 0, 6, 103, 136, 9},
    {customGridId, colourGridClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | gridColumnMajor, 0, 4, 113,
     140, 28},
    {defineCustomId, "Button", "&Define Custom Colors >>", buttonStyle | WS_GROUP, 0, 6, 146, 136, 14},
    {IDOK, "Button", "OK", buttonStyle | BS_DEFPUSHBUTTON | WS_GROUP, 0, 6, 166, 44, 14},
    {IDCANCEL, "Button", "Cancel", buttonStyle, 0, 54, 166, 44, 14},
    {spectrumId, colourSpectrumClass, "", WS_CHILD | WS_VISIBLE | WS_GROUP, 0, 152, 6, 118, 112},
    {luminosityBarId, luminosityBarClass, "", WS_CHILD | WS_VISIBLE, 0, 274, 6, 18, 112},
    {previewId, colourPreviewClass, "", WS_CHILD | WS_VISIBLE | WS_GROUP, 0, 152, 122, 42, 26},
    {previewLabelId, "Static", "Color|S&olid", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 150, 150, 46, 9},
    {hueLabelId, "Static", "Hu&e:", fieldLabelStyle, 0, 196, 124, 22, 9},
    {hueFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 220, 122, 20, 12},
    {saturationLabelId, "Static", "&Sat:", fieldLabelStyle, 0, 196, 138, 22, 9},
    {saturationFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 220, 136, 20, 12},
    {luminosityLabelId, "Static", "&Lum:", fieldLabelStyle, 0, 196, 152, 22, 9},
    {luminosityFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 220, 150, 20, 12},
    {redLabelId, "Static", "&Red:", fieldLabelStyle, 0, 244, 124, 26, 9},
    {redFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 272, 122, 20, 12},
    {greenLabelId, "Static", "&Green:", fieldLabelStyle, 0, 244, 138, 26, 9},
    {greenFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 272, 136, 20, 12},
    {blueLabelId, "Static", "Bl&ue:", fieldLabelStyle, 0, 244, 152, 26, 9},
    {blueFieldId, "Edit", "", fieldStyle, WS_EX_CLIENTEDGE, 272, 150, 20, 12},
    {addCustomId, "Button", "&Add to Custom Colors", buttonStyle | WS_GROUP, 0, 152, 166, 140, 14},
};

// ---- the six fields ----------------------------------------------------------

enum class Field { hue, saturation, luminosity, red, green, blue, none };

struct FieldInfo {
    Field field;
    int id;
    int maximum;
};

constexpr FieldInfo fields[] = {
    {Field::hue, hueFieldId, hueLimit},
    {Field::saturation, saturationFieldId, hslScale},
    {Field::luminosity, luminosityFieldId, hslScale},
    {Field::red, redFieldId, rgbScale},
    {Field::green, greenFieldId, rgbScale},
    {Field::blue, blueFieldId, rgbScale},
};

constexpr int fieldTextLimit = 3;

const FieldInfo* fieldForId(int id)
{
    for (const FieldInfo& info : fields) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

bool isHslField(Field field) { return field == Field::hue || field == Field::saturation || field == Field::luminosity; }

// ---- the dialog's state ------------------------------------------------------

struct ColourDialog {
    CHOOSECOLORA* request = nullptr;
    COLORREF colour = 0;
    // Kept beside the RGB value rather than derived from it, so that the hue
    // the user chose survives a trip through grey (saturation or luminosity 0).
    Hsl hsl;
    bool fullOpen = false;
    int writingFields = 0; // our own SetWindowText calls raise EN_CHANGE too
};

thread_local DWORD lastError = 0;

ColourDialog* stateOf(HWND dialog) { return reinterpret_cast<ColourDialog*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// ---- the template ------------------------------------------------------------

resources::DialogTemplate buildTemplate(bool fullOpen)
{
    resources::DialogTemplate dialog;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | DS_CENTER;
    dialog.title = colourDialogTitle;
    dialog.hasFont = true;
    dialog.pointSize = 8;
    dialog.typeface = "MS Shell Dlg";
    dialog.cx = fullOpen ? fullWidthUnits : halfWidthUnits;
    dialog.cy = heightUnits;
    for (const ItemLayout& entry : layout) {
        resources::DialogItem item;
        item.id = static_cast<DWORD>(entry.id);
        item.className = entry.className;
        item.windowClass.isOrdinal = false;
        item.title = entry.text;
        item.style = entry.style;
        // The right part is made hidden until the dialog opens fully, so it takes no tab stops.
        if (entry.id >= firstRightItem && !fullOpen)
            item.style &= ~WS_VISIBLE;
        item.exStyle = entry.exStyle;
        item.x = entry.x;
        item.y = entry.y;
        item.cx = entry.cx;
        item.cy = entry.cy;
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

// ---- showing the current colour -------------------------------------------------

int fieldValue(const ColourDialog& state, Field field)
{
    switch (field) {
    case Field::hue: return state.hsl.hue;
    case Field::saturation: return state.hsl.saturation;
    case Field::luminosity: return state.hsl.luminosity;
    case Field::red: return GetRValue(state.colour);
    case Field::green: return GetGValue(state.colour);
    case Field::blue: return GetBValue(state.colour);
    case Field::none: break;
    }
    return 0;
}

// What a field's text stands for: its leading digits, at most the field's
// maximum; an empty field (or one without digits, e.g. pasted text) is 0.
int readField(HWND dialog, const FieldInfo& info)
{
    char text[32] = {};
    GetDlgItemTextA(dialog, info.id, text, sizeof(text));
    int value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p)
        value = std::min(value * 10 + (*p - '0'), info.maximum + 1);
    return std::min(value, info.maximum);
}

void writeField(HWND dialog, ColourDialog& state, const FieldInfo& info, int value)
{
    char wanted[16], current[32] = {};
    std::snprintf(wanted, sizeof(wanted), "%d", value);
    GetDlgItemTextA(dialog, info.id, current, sizeof(current));
    if (std::string_view(current) == wanted)
        return; // rewriting an unchanged field would only move its caret
    ++state.writingFields;
    SetDlgItemTextA(dialog, info.id, wanted);
    --state.writingFields;
}

// Brings every control but the field being typed in (`typing`) to the current colour.
void showColour(HWND dialog, ColourDialog& state, Field typing)
{
    for (const FieldInfo& info : fields) {
        if (info.field != typing)
            writeField(dialog, state, info, fieldValue(state, info.field));
    }
    SendDlgItemMessageA(dialog, spectrumId, spectrumSetHueSaturation, static_cast<WPARAM>(state.hsl.hue),
                        state.hsl.saturation);
    SendDlgItemMessageA(dialog, luminosityBarId, luminositySetHueSaturation, static_cast<WPARAM>(state.hsl.hue),
                        state.hsl.saturation);
    SendDlgItemMessageA(dialog, luminosityBarId, luminositySetLevel, static_cast<WPARAM>(state.hsl.luminosity), 0);
    SendDlgItemMessageA(dialog, previewId, previewSetColour, state.colour, 0);
    // The basic box stays marked only while it is the current colour.
    auto basic = static_cast<int>(SendDlgItemMessageA(dialog, basicGridId, gridGetSelection, 0, 0));
    if (basic >= 0 && basicPalette[static_cast<size_t>(basic)] != state.colour)
        SendDlgItemMessageA(dialog, basicGridId, gridSetSelection, static_cast<WPARAM>(-1), 0);
}

void chooseRgb(HWND dialog, ColourDialog& state, COLORREF colour)
{
    state.colour = colour & 0x00FFFFFF;
    state.hsl = hslFromRgb(state.colour);
    showColour(dialog, state, Field::none);
}

void chooseHsl(HWND dialog, ColourDialog& state, Hsl hsl, Field typing)
{
    state.hsl = hsl;
    state.colour = rgbFromHsl(hsl);
    showColour(dialog, state, typing);
}

// ---- what the user does ------------------------------------------------------------

void fieldChanged(HWND dialog, ColourDialog& state, const FieldInfo& info)
{
    int value = readField(dialog, info);
    if (isHslField(info.field)) {
        Hsl hsl = state.hsl;
        if (info.field == Field::hue)
            hsl.hue = value;
        else if (info.field == Field::saturation)
            hsl.saturation = value;
        else
            hsl.luminosity = value;
        chooseHsl(dialog, state, hsl, info.field);
        return;
    }
    int red = GetRValue(state.colour), green = GetGValue(state.colour), blue = GetBValue(state.colour);
    if (info.field == Field::red)
        red = value;
    else if (info.field == Field::green)
        green = value;
    else
        blue = value;
    state.colour = RGB(red, green, blue);
    state.hsl = hslFromRgb(state.colour);
    showColour(dialog, state, info.field);
}

// Leaving a field shows the value it stood for: over-large values clamped, empty as 0.
void fieldLeft(HWND dialog, ColourDialog& state, const FieldInfo& info)
{
    writeField(dialog, state, info, readField(dialog, info));
}

void basicChosen(HWND dialog, ColourDialog& state)
{
    auto index = static_cast<int>(SendDlgItemMessageA(dialog, basicGridId, gridGetSelection, 0, 0));
    if (index >= 0)
        chooseRgb(dialog, state, basicPalette[static_cast<size_t>(index)]);
}

void customChosen(HWND dialog, ColourDialog& state)
{
    auto index = static_cast<int>(SendDlgItemMessageA(dialog, customGridId, gridGetSelection, 0, 0));
    if (index < 0)
        return;
    SendDlgItemMessageA(dialog, basicGridId, gridSetSelection, static_cast<WPARAM>(-1), 0);
    // An empty box holds no colour to take; it is only chosen as the place for the next Add.
    COLORREF colour = state.request->lpCustColors[index];
    if (!isEmptySlot(colour))
        chooseRgb(dialog, state, colour);
}

void spectrumTracked(HWND dialog, ColourDialog& state)
{
    auto position = static_cast<DWORD>(SendDlgItemMessageA(dialog, spectrumId, spectrumGetHueSaturation, 0, 0));
    Hsl hsl = state.hsl;
    hsl.hue = LOWORD(position);
    hsl.saturation = HIWORD(position);
    chooseHsl(dialog, state, hsl, Field::none);
    // A drag keeps the loop busy with input; paint now so everything follows the pointer.
    UpdateWindow(dialog);
}

void luminosityTracked(HWND dialog, ColourDialog& state)
{
    Hsl hsl = state.hsl;
    hsl.luminosity = static_cast<int>(SendDlgItemMessageA(dialog, luminosityBarId, luminosityGetLevel, 0, 0));
    chooseHsl(dialog, state, hsl, Field::none);
    UpdateWindow(dialog);
}

// Writes the current colour into the chosen custom box, in the caller's array
// at once, and moves the choice on to the next box for the next Add.
void addToCustom(HWND dialog, ColourDialog& state)
{
    auto index = static_cast<int>(SendDlgItemMessageA(dialog, customGridId, gridGetSelection, 0, 0));
    if (index < 0 || index >= customColourCount)
        index = 0;
    state.request->lpCustColors[index] = state.colour;
    SendDlgItemMessageA(dialog, customGridId, gridSetColour, static_cast<WPARAM>(index),
                        static_cast<LPARAM>(state.colour));
    SendDlgItemMessageA(dialog, customGridId, gridSetSelection, static_cast<WPARAM>((index + 1) % customColourCount),
                        0);
}

// Opens the right part: the dialog grows to the right (staying on the work
// area), the right part's controls appear and the button that opened it is disabled.
void openFully(HWND dialog, ColourDialog& state)
{
    if (state.fullOpen)
        return;
    state.fullOpen = true;
    for (const ItemLayout& entry : layout) {
        if (entry.id >= firstRightItem)
            ShowWindow(GetDlgItem(dialog, entry.id), SW_SHOWNA);
    }
    HWND define = GetDlgItem(dialog, defineCustomId);
    if (GetFocus() == define)
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, hueFieldId)), TRUE);
    EnableWindow(define, FALSE);

    RECT full{0, 0, fullWidthUnits, heightUnits};
    MapDialogRect(dialog, &full);
    RECT frame, client;
    GetWindowRect(dialog, &frame);
    GetClientRect(dialog, &client);
    int width = (frame.right - frame.left) - client.right + full.right;
    int height = frame.bottom - frame.top;
    RECT area = backend::current().workArea(POINT{frame.left, frame.top});
    int left = std::max<int>(area.left, std::min<int>(frame.left, area.right - width));
    SetWindowPos(dialog, nullptr, left, frame.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void initialise(HWND dialog, ColourDialog& state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    CHOOSECOLORA& request = *state.request;
    SendDlgItemMessageA(dialog, basicGridId, gridSetColours, basicPalette.size(),
                        reinterpret_cast<LPARAM>(basicPalette.data()));
    SendDlgItemMessageA(dialog, customGridId, gridSetColours, customColourCount,
                        reinterpret_cast<LPARAM>(request.lpCustColors));
    for (const FieldInfo& info : fields)
        SendDlgItemMessageA(dialog, info.id, EM_LIMITTEXT, fieldTextLimit, 0);
    if (request.Flags & (CC_FULLOPEN | CC_PREVENTFULLOPEN))
        EnableWindow(GetDlgItem(dialog, defineCustomId), FALSE);

    // Start at the caller's colour, marked in the grid that holds it.
    COLORREF start = (request.Flags & CC_RGBINIT) ? request.rgbResult & 0x00FFFFFF : RGB(0, 0, 0);
    auto basic = std::find(basicPalette.begin(), basicPalette.end(), start);
    if (basic != basicPalette.end()) {
        SendDlgItemMessageA(dialog, basicGridId, gridSetSelection, static_cast<WPARAM>(basic - basicPalette.begin()),
                            0);
    } else {
        for (int index = 0; index < customColourCount; ++index) {
            if (request.lpCustColors[index] == start) {
                SendDlgItemMessageA(dialog, customGridId, gridSetSelection, static_cast<WPARAM>(index), 0);
                break;
            }
        }
    }
    chooseRgb(dialog, state, start);
}

void command(HWND dialog, ColourDialog& state, int id, int code)
{
    if (const FieldInfo* info = fieldForId(id)) {
        if (code == EN_CHANGE && state.writingFields == 0)
            fieldChanged(dialog, state, *info);
        else if (code == EN_KILLFOCUS)
            fieldLeft(dialog, state, *info);
        return;
    }
    switch (id) {
    case basicGridId:
        if (code == gridSelected)
            basicChosen(dialog, state);
        return;
    case customGridId:
        if (code == gridSelected)
            customChosen(dialog, state);
        return;
    case spectrumId:
        if (code == trackChanged)
            spectrumTracked(dialog, state);
        return;
    case luminosityBarId:
        if (code == trackChanged)
            luminosityTracked(dialog, state);
        return;
    case defineCustomId:
        if (code == BN_CLICKED)
            openFully(dialog, state);
        return;
    case addCustomId:
        if (code == BN_CLICKED)
            addToCustom(dialog, state);
        return;
    case IDOK:
        state.request->rgbResult = state.colour;
        EndDialog(dialog, TRUE);
        return;
    case IDCANCEL:
        EndDialog(dialog, FALSE);
        return;
    }
}

INT_PTR CALLBACK colourDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<ColourDialog*>(lParam);
        initialise(dialog, *state);
        return TRUE;
    }
    ColourDialog* state = stateOf(dialog);
    if (state == nullptr)
        return FALSE;
    if (message == WM_COMMAND) {
        command(dialog, *state, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

const std::array<COLORREF, basicColourCount>& basicColours() { return basicPalette; }

void registerControlClass(const WNDCLASSEXA& description)
{
    WNDCLASSA existing{};
    if (!GetClassInfoA(nullptr, description.lpszClassName, &existing))
        user::registerSystemClass(description);
}

void registerColourControlClasses()
{
    registerColourGridClass();
    registerColourSpectrumClass();
    registerLuminosityBarClass();
    registerColourPreviewClass();
}

} // namespace win32::comdlg

using namespace win32;
using namespace win32::comdlg;

extern "C" {

BOOL WINAPI ChooseColorA(LPCHOOSECOLORA request)
{
    lastError = 0;
    if (request == nullptr) {
        lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (request->lStructSize != sizeof(CHOOSECOLORA)) {
        lastError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (request->lpCustColors == nullptr) {
        lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (request->hwndOwner && !IsWindow(request->hwndOwner)) {
        lastError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    registerColourControlClasses();
    ColourDialog state;
    state.request = request;
    state.fullOpen = (request->Flags & CC_FULLOPEN) != 0;
    INT_PTR result = user::runDialogFromTemplate(nullptr, buildTemplate(state.fullOpen), request->hwndOwner,
                                                 colourDialogProcedure, reinterpret_cast<LPARAM>(&state), true,
                                                 nullptr);
    if (result == -1) {
        lastError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    return result == TRUE;
}

DWORD WINAPI CommDlgExtendedError(void) { return lastError; }

} // extern "C"
