// ADVAPI32's registry calls (RegCreateKeyExA, RegOpenKeyExA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA, RegDeleteKeyA, RegCloseKey, RegFlushKey)
// on HKEY_CURRENT_USER, which lives in one REGEDIT4 file (registry_file.h).
//
// A key handle holds a snapshot of its key's values taken when it was opened,
// with the changes made through it applied on top; RegCloseKey and RegFlushKey
// commit those changes to the file in one step and report whether that
// worked. Creating and deleting a key go to the file at once, as on Windows,
// so that every handle and every process sees the key exist or vanish.
// Values set on the predefined HKEY_CURRENT_USER itself have no handle to
// wait for, so they are committed at once too.
//
// Left out: the other roots (they fail with ERROR_ACCESS_DENIED), key
// enumeration, classes, security, notifications, links; volatile keys are
// stored like the others; a handle does not see values other handles commit
// after it was opened.
#include "registry/registry.h"

#include "core/handle_table.h"
#include "registry/registry_file.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace win32::registry {

namespace {

constexpr std::string_view currentUserRoot = "HKEY_CURRENT_USER";
constexpr uintptr_t firstKeyHandle = 0x52470000;
constexpr uintptr_t keyHandleStep = 4;
// The predefined keys are 0x80000000 and a few after it, sign-extended.
constexpr uintptr_t predefinedKeyRange = 0x100;
// Windows' limit on the length of one level of a key's name.
constexpr size_t maximumKeyNameLength = 255;

struct StagedChange {
    bool remove = false;
    std::string name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct OpenKey {
    std::string file; // the registry file this handle reads and commits to
    std::string path; // full path, root included
    REGSAM access = 0;
    std::vector<Value> values; // the snapshot with `staged` applied
    std::vector<StagedChange> staged;
    bool deleted = false;
};

std::mutex registryMutex;

core::HandleTable<OpenKey>& openKeys()
{
    static core::HandleTable<OpenKey> table(firstKeyHandle, keyHandleStep);
    return table;
}

bool isPredefinedKey(HKEY key)
{
    return reinterpret_cast<uintptr_t>(key) - reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) < predefinedKeyRange;
}

bool hasLineBreak(std::string_view name) { return name.find_first_of("\r\n") != std::string_view::npos; }

// The key hKey names. HKEY_CURRENT_USER has no object of its own, so
// `scratch` stands in for it for the length of one call.
LONG resolveKey(HKEY hKey, OpenKey& scratch, OpenKey*& key)
{
    if (hKey == HKEY_CURRENT_USER) {
        scratch.file = registryFilePath();
        scratch.path = currentUserRoot;
        scratch.access = KEY_ALL_ACCESS;
        key = &scratch;
        return ERROR_SUCCESS;
    }
    if (isPredefinedKey(hKey))
        return ERROR_ACCESS_DENIED;
    key = openKeys().find(reinterpret_cast<uintptr_t>(hKey));
    return key ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::vector<Value> valuesOf(const Document& document, std::string_view path)
{
    const Key* key = findKey(document, path);
    return key ? key->values : std::vector<Value>{};
}

// The handle's values, for a call that reads or changes them. The scratch
// key of HKEY_CURRENT_USER is read from the file each time.
LONG prepareValues(OpenKey& key, const OpenKey& scratch)
{
    if (key.deleted)
        return ERROR_KEY_DELETED;
    if (&key != &scratch)
        return ERROR_SUCCESS;
    Document document;
    if (LONG status = loadDocument(key.file, document); status != ERROR_SUCCESS)
        return status;
    key.values = valuesOf(document, key.path);
    return ERROR_SUCCESS;
}

// parent + "\" + subKey, checked: no empty levels (one trailing backslash is
// tolerated, as Windows does), no level longer than Windows allows, and no
// line break, which the file could not hold.
LONG childPath(const std::string& parent, const char* subKey, std::string& path)
{
    std::string_view sub = subKey ? subKey : "";
    if (!sub.empty() && sub.back() == '\\')
        sub.remove_suffix(1);
    path = parent;
    if (sub.empty())
        return ERROR_SUCCESS;
    if (hasLineBreak(sub))
        return ERROR_INVALID_PARAMETER;
    size_t start = 0;
    while (start <= sub.size()) {
        size_t end = sub.find('\\', start);
        if (end == std::string_view::npos)
            end = sub.size();
        if (end == start || end - start > maximumKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        start = end + 1;
    }
    path += '\\';
    path += sub;
    return ERROR_SUCCESS;
}

// What RegCreateKeyExA and RegOpenKeyExA share before they look at the
// file: the parent hKey names (in `scratch` for HKEY_CURRENT_USER, which
// must outlive the call) and a new handle's object for its subkey.
LONG prepareChildKey(HKEY hKey, LPCSTR subKey, REGSAM access, OpenKey& scratch, OpenKey*& parent,
                     std::unique_ptr<OpenKey>& key)
{
    if (LONG status = resolveKey(hKey, scratch, parent); status != ERROR_SUCCESS)
        return status;
    if (parent->deleted)
        return ERROR_KEY_DELETED;
    key = std::make_unique<OpenKey>();
    key->file = parent->file;
    key->access = access;
    return childPath(parent->path, subKey, key->path);
}

HKEY addHandle(std::unique_ptr<OpenKey> key)
{
    return reinterpret_cast<HKEY>(openKeys().add(std::move(key)));
}

void stageChange(OpenKey& key, StagedChange change)
{
    // A later change to the same value replaces an earlier one.
    std::erase_if(key.staged, [&](const StagedChange& old) { return namesEqual(old.name, change.name); });
    if (change.remove)
        removeValue(key.values, change.name);
    else
        setValue(key.values, change.name, change.type, change.data);
    key.staged.push_back(std::move(change));
}

// Values committed for a key that another process removed meanwhile bring
// the key back: the handle still names it, and losing the values silently
// would be worse.
LONG commitStaged(OpenKey& key)
{
    if (key.deleted || key.staged.empty())
        return ERROR_SUCCESS;
    std::vector<Value> committed;
    LONG status = commitDocument(key.file, [&](Document& document, bool& changed) -> LONG {
        Key* section = findKey(document, key.path);
        if (!section)
            section = &addKey(document, key.path);
        for (const StagedChange& change : key.staged) {
            if (change.remove)
                removeValue(section->values, change.name);
            else
                setValue(section->values, change.name, change.type, change.data);
        }
        committed = section->values;
        changed = true;
        return ERROR_SUCCESS;
    });
    if (status == ERROR_SUCCESS) {
        key.staged.clear();
        key.values = std::move(committed);
    }
    return status;
}

void markDeleted(const std::string& file, std::string_view path)
{
    openKeys().forEach([&](uintptr_t, OpenKey* key) {
        if (key->file == file && namesEqual(key->path, path)) {
            key->deleted = true;
            key->staged.clear();
            key->values.clear();
        }
    });
}

} // namespace

size_t liveKeyCount()
{
    std::lock_guard guard(registryMutex);
    return openKeys().size();
}

} // namespace win32::registry

using namespace win32::registry;

extern "C" LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                          REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                          PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* parent = nullptr;
    std::unique_ptr<OpenKey> key;
    if (LONG status = prepareChildKey(hKey, lpSubKey, samDesired, scratch, parent, key); status != ERROR_SUCCESS)
        return status;

    DWORD disposition = REG_OPENED_EXISTING_KEY;
    LONG status;
    if (key->path == parent->path) {
        Document document;
        status = loadDocument(key->file, document);
        key->values = valuesOf(document, key->path);
    } else {
        status = commitDocument(key->file, [&](Document& document, bool& changed) -> LONG {
            if (keyExists(document, key->path)) {
                key->values = valuesOf(document, key->path);
                return ERROR_SUCCESS;
            }
            if (!(parent->access & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            addKey(document, key->path);
            disposition = REG_CREATED_NEW_KEY;
            changed = true;
            return ERROR_SUCCESS;
        });
    }
    if (status != ERROR_SUCCESS)
        return status;
    *phkResult = addHandle(std::move(key));
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* parent = nullptr;
    std::unique_ptr<OpenKey> key;
    if (LONG status = prepareChildKey(hKey, lpSubKey, samDesired, scratch, parent, key); status != ERROR_SUCCESS)
        return status;
    Document document;
    if (LONG status = loadDocument(key->file, document); status != ERROR_SUCCESS)
        return status;
    if (!keyExists(document, key->path))
        return ERROR_FILE_NOT_FOUND;
    key->values = valuesOf(document, key->path);
    *phkResult = addHandle(std::move(key));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* key = nullptr;
    if (LONG status = resolveKey(hKey, scratch, key); status != ERROR_SUCCESS)
        return status;
    if (!(key->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (LONG status = prepareValues(*key, scratch); status != ERROR_SUCCESS)
        return status;
    const Value* value = findValue(key->values, lpValueName ? lpValueName : "");
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpType)
        *lpType = value->type;
    if (lpData) {
        // Too small: only the size is reported; the buffer is left as it was.
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size > 0)
            std::memcpy(lpData, value->data.data(), size);
    }
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                         DWORD cbData)
{
    if (!lpData && cbData != 0)
        return ERROR_INVALID_PARAMETER;
    std::string_view name = lpValueName ? lpValueName : "";
    if (hasLineBreak(name))
        return ERROR_INVALID_PARAMETER; // the file has no way to write it
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* key = nullptr;
    if (LONG status = resolveKey(hKey, scratch, key); status != ERROR_SUCCESS)
        return status;
    if (!(key->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (LONG status = prepareValues(*key, scratch); status != ERROR_SUCCESS)
        return status;
    StagedChange change;
    change.name = name;
    change.type = dwType;
    if (cbData > 0)
        change.data.assign(lpData, lpData + cbData);
    stageChange(*key, std::move(change));
    return key == &scratch ? commitStaged(*key) : ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* key = nullptr;
    if (LONG status = resolveKey(hKey, scratch, key); status != ERROR_SUCCESS)
        return status;
    if (!(key->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (LONG status = prepareValues(*key, scratch); status != ERROR_SUCCESS)
        return status;
    std::string_view name = lpValueName ? lpValueName : "";
    if (!findValue(key->values, name))
        return ERROR_FILE_NOT_FOUND;
    StagedChange change;
    change.remove = true;
    change.name = name;
    stageChange(*key, std::move(change));
    return key == &scratch ? commitStaged(*key) : ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(registryMutex);
    OpenKey scratch;
    OpenKey* parent = nullptr;
    if (LONG status = resolveKey(hKey, scratch, parent); status != ERROR_SUCCESS)
        return status;
    if (parent->deleted)
        return ERROR_KEY_DELETED;
    std::string path;
    if (LONG status = childPath(parent->path, lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    size_t lastSlash = path.rfind('\\');
    if (lastSlash == std::string::npos)
        return ERROR_ACCESS_DENIED; // a root cannot be deleted
    std::string file = parent->file;
    LONG status = commitDocument(file, [&](Document& document, bool& changed) -> LONG {
        if (!keyExists(document, path))
            return ERROR_FILE_NOT_FOUND;
        // Windows deletes only keys without subkeys.
        if (hasSubkeys(document, path))
            return ERROR_ACCESS_DENIED;
        removeKeyTree(document, path);
        // The parent may have existed only through this key's section; it
        // stays, with an empty section of its own.
        std::string parentPath = path.substr(0, lastSlash);
        if (!keyExists(document, parentPath))
            addKey(document, parentPath);
        changed = true;
        return ERROR_SUCCESS;
    });
    if (status == ERROR_SUCCESS)
        markDeleted(file, path);
    return status;
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    if (isPredefinedKey(hKey))
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(registryMutex);
    std::unique_ptr<OpenKey> key = openKeys().remove(reinterpret_cast<uintptr_t>(hKey));
    if (!key)
        return ERROR_INVALID_HANDLE;
    // The handle is gone whatever happens; the caller learns whether the
    // values reached the file.
    return commitStaged(*key);
}

extern "C" LSTATUS WINAPI RegFlushKey(HKEY hKey)
{
    if (hKey == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    if (isPredefinedKey(hKey))
        return ERROR_ACCESS_DENIED;
    std::lock_guard guard(registryMutex);
    OpenKey* key = openKeys().find(reinterpret_cast<uintptr_t>(hKey));
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    // On failure the changes stay staged, so that closing can try again.
    return commitStaged(*key);
}
