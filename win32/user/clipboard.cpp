// The clipboard, text only: what a program puts there with CF_TEXT goes to
// the desktop's clipboard (through the backend, as UTF-8). Also the KERNEL32
// global memory calls that clipboard data is handed over in.
#include "user/user_internal.h"

#include "core/handle_table.h"
#include "core/text_encoding.h"

#include <cstring>
#include <string>
#include <vector>

using namespace win32;

namespace {

struct GlobalBlock {
    std::vector<unsigned char> bytes;
    int locks = 0;
};

core::HandleTable<GlobalBlock>& globals()
{
    static auto* table = new core::HandleTable<GlobalBlock>(0x40000010, 8);
    return *table;
}

struct ClipboardState {
    bool open = false;
    std::string text;
    bool hasText = false;
    HGLOBAL handedOut = nullptr; // what GetClipboardData returned: the clipboard owns it

};

ClipboardState& clipboard()
{
    static ClipboardState state;
    return state;
}

} // namespace

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, size_t bytes)
{
    auto block = std::make_unique<GlobalBlock>();
    block->bytes.assign(bytes, 0);
    (void)flags;
    return reinterpret_cast<HGLOBAL>(globals().add(std::move(block)));
}

LPVOID WINAPI GlobalLock(HGLOBAL memory)
{
    GlobalBlock* block = globals().find(reinterpret_cast<uintptr_t>(memory));
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    return block->bytes.empty() ? static_cast<void*>(block) : block->bytes.data();
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory)
{
    GlobalBlock* block = globals().find(reinterpret_cast<uintptr_t>(memory));
    if (block == nullptr || block->locks == 0)
        return FALSE;
    return --block->locks > 0;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory)
{
    return globals().remove(reinterpret_cast<uintptr_t>(memory)) ? nullptr : memory;
}

BOOL WINAPI OpenClipboard(HWND)
{
    if (clipboard().open)
        return FALSE;
    clipboard().open = true;
    return TRUE;
}

BOOL WINAPI EmptyClipboard(void)
{
    if (!clipboard().open)
        return FALSE;
    clipboard().text.clear();
    clipboard().hasText = false;
    if (clipboard().handedOut) {
        GlobalFree(clipboard().handedOut);
        clipboard().handedOut = nullptr;
    }
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data)
{
    if (!clipboard().open || format != CF_TEXT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GlobalBlock* block = globals().find(reinterpret_cast<uintptr_t>(data));
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(block->bytes.data());
    clipboard().text.assign(text, strnlen(text, block->bytes.size()));
    clipboard().hasText = true;
    if (clipboard().handedOut) {
        GlobalFree(clipboard().handedOut);
        clipboard().handedOut = nullptr;
    }
    // The system owns the data from now on.
    globals().remove(reinterpret_cast<uintptr_t>(data));
    return data;
}

HANDLE WINAPI GetClipboardData(UINT format)
{
    if (!clipboard().open || format != CF_TEXT || !clipboard().hasText)
        return nullptr;
    // The caller must not free what it gets; one copy is kept until the clipboard changes.
    if (clipboard().handedOut == nullptr) {
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, clipboard().text.size() + 1);
        std::memcpy(GlobalLock(copy), clipboard().text.c_str(), clipboard().text.size() + 1);
        GlobalUnlock(copy);
        clipboard().handedOut = copy;
    }
    return clipboard().handedOut;
}

// Needs no OpenClipboard, as documented. Only what this process put there is
// known: text copied in other programs is not read back from the desktop.
BOOL WINAPI IsClipboardFormatAvailable(UINT format)
{
    return format == CF_TEXT && clipboard().hasText;
}

BOOL WINAPI CloseClipboard(void)
{
    if (!clipboard().open)
        return FALSE;
    clipboard().open = false;
    if (clipboard().hasText)
        backend::current().setClipboardText(core::utf8FromAnsi(clipboard().text));
    return TRUE;
}

} // extern "C"
