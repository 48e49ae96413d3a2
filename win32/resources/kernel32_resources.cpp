// KERNEL32's resource calls (FindResourceA, LoadResource, LockResource,
// SizeofResource) and GetModuleHandleA, over the program's one module.
// Left out: other modules (only NULL and the program's instance handle name a
// module), FindResourceEx's explicit language, FreeResource (a no-op on
// Win32 too).
//
// HRSRC and the HGLOBAL of a loaded resource are opaque values that encode
// the entry's index and the generation of the resource set, so a stale or
// forged handle fails instead of reaching the wrong bytes.
#include "resources/resources.h"

namespace {

using namespace win32::resources;

constexpr uintptr_t resourceInfoBase = 0x61000000;
constexpr uintptr_t loadedResourceBase = 0x62000000;
constexpr uintptr_t kindMask = 0xFF000000;
constexpr uintptr_t maximumIndex = 0xFFFE;

uintptr_t encode(uintptr_t base, size_t index)
{
    return base | ((moduleGeneration() & 0xFF) << 16) | (index + 1);
}

// The entry a handle of kind `base` names, or null (last error set).
const ResEntry* decode(uintptr_t base, uintptr_t handle)
{
    const std::vector<ResEntry>& entries = moduleEntries();
    uintptr_t slot = handle & 0xFFFF;
    bool valid = (handle & kindMask) == base && ((handle >> 16) & 0xFF) == (moduleGeneration() & 0xFF) && slot != 0 &&
                 slot <= entries.size();
    if (!valid) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &entries[slot - 1];
}

bool checkModule(HMODULE module)
{
    if (isProgramModule(module))
        return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (lpModuleName == nullptr)
        return programInstance();
    // The program is the only module; system libraries are not modules here.
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

extern "C" HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    if (!checkModule(hModule))
        return nullptr;
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD failure = 0;
    const ResEntry* entry = findEntry(ResourceId::fromWin32(lpType), ResourceId::fromWin32(lpName), 0, &failure);
    if (!entry) {
        SetLastError(failure);
        return nullptr;
    }
    size_t index = static_cast<size_t>(entry - moduleEntries().data());
    if (index > maximumIndex) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(encode(resourceInfoBase, index));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    if (!checkModule(hModule))
        return nullptr;
    const ResEntry* entry = decode(resourceInfoBase, reinterpret_cast<uintptr_t>(hResInfo));
    if (!entry)
        return nullptr;
    return reinterpret_cast<HGLOBAL>(encode(loadedResourceBase, static_cast<size_t>(entry - moduleEntries().data())));
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    const ResEntry* entry = decode(loadedResourceBase, reinterpret_cast<uintptr_t>(hResData));
    if (!entry)
        return nullptr;
    // Resources are read-only, as in a module's image; the signature is Win32's.
    return const_cast<uint8_t*>(entry->data.data);
}

extern "C" DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    if (!checkModule(hModule))
        return 0;
    const ResEntry* entry = decode(resourceInfoBase, reinterpret_cast<uintptr_t>(hResInfo));
    if (!entry)
        return 0;
    return static_cast<DWORD>(entry->data.size);
}
