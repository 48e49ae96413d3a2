// The module's resources: a standard compiled .res file embedded in the
// executable, read the way Windows reads a module's resources (by type, name
// and language), and the parsers for each resource format. Every parser checks
// every size and offset against its data and reports damage as an error
// message; none reads outside the bytes it is given.
#pragma once

#include <windows.h>

#include "core/pixels.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32::resources {

// A resource type or name: an ordinal or a string (upper-cased, as Windows
// compares names case-insensitively).
struct ResourceId {
    bool isOrdinal = true;
    uint16_t ordinal = 0;
    std::string name;

    static ResourceId fromWin32(LPCSTR value); // MAKEINTRESOURCE, "#123" or a name
    static ResourceId fromOrdinal(uint16_t value) { return ResourceId{true, value, {}}; }
    static ResourceId fromName(const std::string& value); // upper-cases it
    bool operator==(const ResourceId& other) const;
    std::string describe() const; // "100" or "NAME", for messages
};

struct Blob {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct ResEntry {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    Blob data;
};

// Parses a whole .res file (a sequence of RESOURCEHEADER + data records).
std::optional<std::vector<ResEntry>> parseResFile(const uint8_t* data, size_t size, std::string* error);

// The module's resources. The embedded .res is parsed on first use; tests may
// install other bytes (they must outlive their use); null restores the
// embedded ones.
void setModuleResources(const uint8_t* data, size_t size);
// Finds a resource; language 0 means "any", preferring US English (0x0409),
// then neutral, then the first found. On failure *failure (when given) is the
// Win32 error: ERROR_RESOURCE_DATA_NOT_FOUND (no readable resources),
// ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND.
std::optional<Blob> find(const ResourceId& type, const ResourceId& name, uint16_t language = 0,
                         DWORD* failure = nullptr);
// The same lookup, giving the entry itself (an element of moduleEntries()).
const ResEntry* findEntry(const ResourceId& type, const ResourceId& name, uint16_t language = 0,
                          DWORD* failure = nullptr);
// Why the module's resources could not be read, or empty.
std::string moduleError();
// Every resource of the module, in file order (empty when unreadable).
const std::vector<ResEntry>& moduleEntries();
// Changes whenever setModuleResources installs other bytes, so handles into
// the old entries can be told from handles into the new ones.
uint32_t moduleGeneration();

// The program's instance handle (what GetModuleHandleA(NULL) returns), and
// whether a module handle names the program (NULL does, as in FindResourceA).
HINSTANCE programInstance();
bool isProgramModule(HMODULE module);

// For the loaders (LoadIconA, DialogBoxParamA, ...): finds a resource of the
// program; when it is missing sets the last error and writes one line to
// stderr ("huevane: icon resource 1107 was not found: ..."). `what` names the
// kind of resource for that line.
std::optional<Blob> findForLoader(const char* what, const ResourceId& type, const ResourceId& name);
// Reports a resource that exists but cannot be used: sets ERROR_INVALID_DATA
// and writes "huevane: <what> resource <name> is damaged: <error>".
void reportDamaged(const char* what, const ResourceId& name, const std::string& error);

// Dialog templates, classic and extended.
struct DialogItem {
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    ResourceId windowClass;        // ordinal 0x80..0x85 or a class name (as written)
    std::string className;         // the class name for CreateWindowEx ("BUTTON", "EDIT", ...)
    bool titleIsOrdinal = false;
    uint16_t titleOrdinal = 0;
    std::string title;             // UTF-16 converted to Windows-1252
    std::vector<uint8_t> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;               // ordinal 0 = none
    ResourceId windowClass;        // ordinal 0 = the dialog class
    std::string className;         // empty = the dialog class
    std::string title;
    bool hasFont = false;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::string typeface;
    std::vector<DialogItem> items;
};

std::optional<DialogTemplate> parseDialogTemplate(const uint8_t* data, size_t size, std::string* error);

// A packed DIB (RT_BITMAP: a .bmp less its file header), 1, 4, 8, 24 or 32
// bits a pixel, uncompressed or RLE; decoded to 32-bit top-down pixels.
std::optional<core::PixelBuffer> parseDib(const uint8_t* data, size_t size, std::string* error);

// One RT_ICON or RT_CURSOR image (a cursor starts with its hotspot), decoded
// with its AND mask into alpha. For monochrome cursors, pixels that invert the
// screen become opaque black with a white outline look (alpha 255).
struct IconImage {
    core::Image image;
    int hotspotX = 0;
    int hotspotY = 0;
    int bitCount = 0;
};
std::optional<IconImage> parseIconImage(const uint8_t* data, size_t size, bool isCursor, std::string* error);

// RT_GROUP_ICON / RT_GROUP_CURSOR directories.
struct GroupEntry {
    int width = 0;
    int height = 0;
    int colorCount = 0;
    int planes = 0;
    int bitCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t id = 0;
};
std::optional<std::vector<GroupEntry>> parseGroup(const uint8_t* data, size_t size, bool isCursor,
                                                  std::string* error);
// The entry that best fits width x height (exact size first, then most colours).
const GroupEntry* bestGroupEntry(const std::vector<GroupEntry>& entries, int width, int height);

// RT_VERSION: the fixed part and the string tables.
struct VersionInfo {
    DWORD fileVersionMS = 0, fileVersionLS = 0;
    DWORD productVersionMS = 0, productVersionLS = 0;
    DWORD fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
    DWORD fileDateMS = 0, fileDateLS = 0;
    struct StringTable {
        std::string key; // "080904E4"
        std::vector<std::pair<std::string, std::string>> entries; // in order
    };
    std::vector<StringTable> stringTables;
    std::vector<uint32_t> translations; // LOWORD language, HIWORD code page
};
std::optional<VersionInfo> parseVersion(const uint8_t* data, size_t size, std::string* error);

} // namespace win32::resources
