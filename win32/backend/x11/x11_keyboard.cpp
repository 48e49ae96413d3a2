// Keysym -> Win32 virtual key and typed character. Virtual-key values are the
// documented Win32 codes; the ones our windows.h does not name yet are named
// here. Punctuation keys get the US-layout OEM codes, as Windows gives them
// for a US keyboard.
#include "backend/x11/x11_keyboard.h"

#include <windows.h>

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <utility>

namespace win32::backend::x11 {

namespace {

constexpr unsigned leftWindowsKey = 0x5B;
constexpr unsigned rightWindowsKey = 0x5C;
constexpr unsigned printScreenKey = 0x2C;
constexpr unsigned numpad0Key = 0x60;
constexpr unsigned multiplyKey = 0x6A;
constexpr unsigned addKey = 0x6B;
constexpr unsigned separatorKey = 0x6C;
constexpr unsigned subtractKey = 0x6D;
constexpr unsigned decimalKey = 0x6E;
constexpr unsigned divideKey = 0x6F;
constexpr unsigned numLockKey = 0x90;
constexpr unsigned scrollLockKey = 0x91;

// Keys whose code does not depend on the layout's letters.
constexpr std::pair<KeySym, unsigned> fixedKeys[] = {
    {XK_BackSpace, VK_BACK},     {XK_Tab, VK_TAB},           {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},      {XK_KP_Enter, VK_RETURN},   {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},        {XK_KP_Space, VK_SPACE},    {XK_Delete, VK_DELETE},
    {XK_KP_Delete, VK_DELETE},   {XK_Insert, VK_INSERT},     {XK_KP_Insert, VK_INSERT},
    {XK_Home, VK_HOME},          {XK_KP_Home, VK_HOME},      {XK_End, VK_END},
    {XK_KP_End, VK_END},         {XK_Prior, VK_PRIOR},       {XK_KP_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},          {XK_KP_Next, VK_NEXT},      {XK_Left, VK_LEFT},
    {XK_KP_Left, VK_LEFT},       {XK_Up, VK_UP},             {XK_KP_Up, VK_UP},
    {XK_Right, VK_RIGHT},        {XK_KP_Right, VK_RIGHT},    {XK_Down, VK_DOWN},
    {XK_KP_Down, VK_DOWN},       {XK_KP_Begin, VK_CLEAR},    {XK_Clear, VK_CLEAR},
    {XK_Shift_L, VK_SHIFT},      {XK_Shift_R, VK_SHIFT},     {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},  {XK_Alt_L, VK_MENU},        {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},        {XK_Meta_R, VK_MENU},       {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Super_L, leftWindowsKey}, {XK_Super_R, rightWindowsKey}, {XK_Menu, VK_APPS},
    {XK_Caps_Lock, VK_CAPITAL},  {XK_Num_Lock, numLockKey},  {XK_Scroll_Lock, scrollLockKey},
    {XK_Pause, VK_PAUSE},        {XK_Print, printScreenKey}, {XK_KP_Multiply, multiplyKey},
    {XK_KP_Add, addKey},         {XK_KP_Separator, separatorKey}, {XK_KP_Subtract, subtractKey},
    {XK_KP_Decimal, decimalKey}, {XK_KP_Divide, divideKey},
};

// Punctuation keys, by their unshifted symbol on a US layout.
constexpr std::pair<KeySym, unsigned> punctuationKeys[] = {
    {XK_semicolon, 0xBA}, {XK_equal, 0xBB},        {XK_comma, 0xBC},        {XK_minus, 0xBD},
    {XK_period, 0xBE},    {XK_slash, 0xBF},        {XK_grave, 0xC0},        {XK_bracketleft, 0xDB},
    {XK_backslash, 0xDC}, {XK_bracketright, 0xDD}, {XK_apostrophe, 0xDE},   {XK_less, 0xE2},
};

unsigned lookUp(const auto& table, KeySym keysym)
{
    for (const auto& [symbol, virtualKey] : table) {
        if (symbol == keysym)
            return virtualKey;
    }
    return 0;
}

} // namespace

unsigned virtualKeyFromKeysyms(KeySym produced, KeySym unshifted)
{
    if (produced >= XK_F1 && produced <= XK_F24)
        return VK_F1 + static_cast<unsigned>(produced - XK_F1);
    if (produced >= XK_KP_0 && produced <= XK_KP_9)
        return numpad0Key + static_cast<unsigned>(produced - XK_KP_0);
    if (unsigned key = lookUp(fixedKeys, produced))
        return key;
    if (unshifted >= XK_a && unshifted <= XK_z)
        return 'A' + static_cast<unsigned>(unshifted - XK_a);
    if (unshifted >= XK_A && unshifted <= XK_Z)
        return 'A' + static_cast<unsigned>(unshifted - XK_A);
    if (unshifted >= XK_0 && unshifted <= XK_9)
        return '0' + static_cast<unsigned>(unshifted - XK_0);
    if (unsigned key = lookUp(punctuationKeys, unshifted))
        return key;
    return lookUp(fixedKeys, unshifted);
}

char32_t characterFromKeysym(KeySym produced, bool control)
{
    if (produced == XK_Delete || produced == XK_KP_Delete)
        return 0;
    // Shift+Tab types a tab on Windows; X gives the shifted key its own symbol.
    char32_t c = produced == XK_ISO_Left_Tab ? U'\t' : xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(produced));
    if (!control)
        return c;
    // Windows' keyboard layouts map Control+key to the ASCII control codes.
    if ((c >= 'a' && c <= 'z') || (c >= '@' && c <= '_'))
        return c & 0x1F;
    if (c == ' ' || produced == XK_Escape)
        return c;
    if (produced == XK_BackSpace)
        return 0x7F;
    if (produced == XK_Return || produced == XK_KP_Enter)
        return '\n';
    return 0;
}

} // namespace win32::backend::x11
