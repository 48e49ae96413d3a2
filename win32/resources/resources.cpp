// The module's resource directory: the compiled .res file embedded in the
// executable, looked up by type, name and language as Windows looks up the
// resource section of a module. Reproduces FindResource's matching (ordinals,
// case-insensitive names, "#123" names); leaves out multiple modules and the
// thread's UI language (US English, then neutral, then any is the order).
//
// The .res is reached through two weak symbols that cmake/Resources.cmake
// defines; a program linked without them has no resources, and every lookup
// fails with ERROR_RESOURCE_DATA_NOT_FOUND and a message saying so.
#include "resources/resources.h"

#include "core/text_encoding.h"
#include "resources/byte_reader.h"

#include <cstdio>

extern "C" {
extern const uint8_t win32_module_resources[] __attribute__((weak));
extern const uint8_t win32_module_resources_end[] __attribute__((weak));
}

namespace win32::resources {

namespace {

constexpr uint16_t usEnglish = 0x0409;
// The classic default load address of a Windows executable; any fixed
// non-null value would do.
const HINSTANCE instanceHandle = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));

struct ModuleState {
    bool parsed = false;
    bool overridden = false;
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<ResEntry> entries;
    std::string error;
    uint32_t generation = 0;
};

ModuleState& moduleState()
{
    static ModuleState state;
    return state;
}

std::string upperCase(std::string text)
{
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        // ASCII and the Windows-1252 accented letters (0xE0-0xFE but the division sign).
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
            c = static_cast<char>(u - 0x20);
    }
    return text;
}

// A type or name field of a resource header: 0xFFFF and an ordinal, or a
// NUL-terminated UTF-16 name.
bool readHeaderId(ByteReader& reader, ResourceId& id)
{
    uint16_t first;
    if (!reader.u16(first))
        return false;
    if (first == 0xFFFF) {
        uint16_t ordinal;
        if (!reader.u16(ordinal))
            return false;
        id = ResourceId::fromOrdinal(ordinal);
        return true;
    }
    reader.seek(reader.offset() - 2);
    std::vector<uint16_t> text;
    if (!reader.utf16z(text))
        return false;
    id = ResourceId::fromName(core::ansiFromUtf16(text.data(), text.size()));
    return true;
}

void ensureParsed()
{
    ModuleState& state = moduleState();
    if (state.parsed)
        return;
    state.parsed = true;
    state.entries.clear();
    state.error.clear();
    if (!state.overridden) {
        uintptr_t begin = reinterpret_cast<uintptr_t>(win32_module_resources);
        uintptr_t end = reinterpret_cast<uintptr_t>(win32_module_resources_end);
        if (begin == 0 || end < begin) {
            state.error = "the program was built without resources (no compiled .res is embedded)";
            return;
        }
        state.data = win32_module_resources;
        state.size = end - begin;
    }
    std::string error;
    auto entries = parseResFile(state.data, state.size, &error);
    if (!entries) {
        state.error = "the embedded .res is damaged: " + error;
        return;
    }
    state.entries = std::move(*entries);
}

} // namespace

ResourceId ResourceId::fromWin32(LPCSTR value)
{
    if (IS_INTRESOURCE(value))
        return fromOrdinal(LOWORD(value));
    // "#123" names resource 123, as FindResource documents.
    if (value[0] == '#' && value[1] != '\0') {
        unsigned number = 0;
        bool digits = true;
        for (const char* p = value + 1; *p; ++p) {
            if (*p < '0' || *p > '9' || number > 0xFFFF) {
                digits = false;
                break;
            }
            number = number * 10 + static_cast<unsigned>(*p - '0');
        }
        if (digits && number <= 0xFFFF)
            return fromOrdinal(static_cast<uint16_t>(number));
    }
    return fromName(value);
}

ResourceId ResourceId::fromName(const std::string& value) { return ResourceId{false, 0, upperCase(value)}; }

bool ResourceId::operator==(const ResourceId& other) const
{
    if (isOrdinal != other.isOrdinal)
        return false;
    return isOrdinal ? ordinal == other.ordinal : name == other.name;
}

std::string ResourceId::describe() const { return isOrdinal ? std::to_string(ordinal) : name; }

std::optional<std::vector<ResEntry>> parseResFile(const uint8_t* data, size_t size, std::string* error)
{
    ByteReader reader(data, size);
    std::vector<ResEntry> entries;
    bool first = true;
    while (reader.remaining() > 0) {
        size_t start = reader.offset();
        std::string where = "entry at offset " + std::to_string(start);
        uint32_t dataSize, headerSize;
        if (!reader.u32(dataSize) || !reader.u32(headerSize))
            return fail(error, where + ": truncated header");
        if (headerSize < 8 || headerSize > size - start)
            return fail(error, where + ": header size " + std::to_string(headerSize) + " does not fit (" +
                                   std::to_string(size - start) + " bytes left)");
        ByteReader header(data + start, headerSize);
        header.skip(8);
        ResEntry entry;
        if (!readHeaderId(header, entry.type) || !readHeaderId(header, entry.name))
            return fail(error, where + ": type or name runs past the header");
        header.alignTo4();
        uint32_t dataVersion, version, characteristics;
        uint16_t memoryFlags;
        if (!header.u32(dataVersion) || !header.u16(memoryFlags) || !header.u16(entry.language) ||
            !header.u32(version) || !header.u32(characteristics))
            return fail(error, where + ": header size " + std::to_string(headerSize) + " is too small for its fields");
        size_t dataStart = start + headerSize;
        if (dataSize > size - dataStart)
            return fail(error, where + ": data size " + std::to_string(dataSize) + " runs past the end (" +
                                   std::to_string(size - dataStart) + " bytes left)");
        // A 32-bit .res starts with an empty entry, which tells it from the
        // 16-bit format; it names no resource.
        bool empty = entry.type.isOrdinal && entry.type.ordinal == 0 && entry.name.isOrdinal &&
                     entry.name.ordinal == 0 && dataSize == 0;
        if (first && !empty)
            return fail(error, "not a 32-bit .res file: it does not start with the empty entry");
        first = false;
        if (!empty) {
            entry.data = Blob{data + dataStart, dataSize};
            entries.push_back(std::move(entry));
        }
        reader.seek(dataStart + dataSize);
        reader.alignTo4();
    }
    if (first)
        return fail(error, "not a 32-bit .res file: it is empty");
    return entries;
}

void setModuleResources(const uint8_t* data, size_t size)
{
    ModuleState& state = moduleState();
    uint32_t generation = state.generation + 1;
    state = ModuleState{};
    state.generation = generation;
    state.overridden = data != nullptr;
    state.data = data;
    state.size = data ? size : 0;
}

std::string moduleError()
{
    ensureParsed();
    return moduleState().error;
}

const std::vector<ResEntry>& moduleEntries()
{
    ensureParsed();
    return moduleState().entries;
}

std::optional<Blob> find(const ResourceId& type, const ResourceId& name, uint16_t language, DWORD* failure)
{
    const ResEntry* entry = findEntry(type, name, language, failure);
    if (!entry)
        return std::nullopt;
    return entry->data;
}

const ResEntry* findEntry(const ResourceId& type, const ResourceId& name, uint16_t language, DWORD* failure)
{
    ensureParsed();
    const ModuleState& state = moduleState();
    if (!state.error.empty()) {
        if (failure)
            *failure = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    bool typeSeen = false;
    const ResEntry* english = nullptr;
    const ResEntry* neutral = nullptr;
    const ResEntry* any = nullptr;
    const ResEntry* exact = nullptr;
    for (const ResEntry& entry : state.entries) {
        if (!(entry.type == type))
            continue;
        typeSeen = true;
        if (!(entry.name == name))
            continue;
        if (language != 0) {
            if (entry.language == language && !exact)
                exact = &entry;
            continue;
        }
        if (entry.language == usEnglish && !english)
            english = &entry;
        // LANG_NEUTRAL with any sublanguage (neutral, default, system default).
        if ((entry.language & 0x3FF) == LANG_NEUTRAL && !neutral)
            neutral = &entry;
        if (!any)
            any = &entry;
    }
    const ResEntry* chosen = language != 0 ? exact : english ? english : neutral ? neutral : any;
    if (!chosen && failure)
        *failure = typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return chosen;
}

uint32_t moduleGeneration() { return moduleState().generation; }

HINSTANCE programInstance() { return instanceHandle; }

bool isProgramModule(HMODULE module) { return module == nullptr || module == instanceHandle; }

std::optional<Blob> findForLoader(const char* what, const ResourceId& type, const ResourceId& name)
{
    DWORD failure = 0;
    auto blob = find(type, name, 0, &failure);
    if (blob)
        return blob;
    std::string reason;
    if (failure == ERROR_RESOURCE_DATA_NOT_FOUND)
        reason = moduleError();
    else
        reason = failure == ERROR_RESOURCE_TYPE_NOT_FOUND ? "the program has no resources of that type"
                                                          : "no resource of that type has that name";
    std::fprintf(stderr, "huevane: %s resource %s was not found: %s\n", what, name.describe().c_str(),
                 reason.c_str());
    SetLastError(failure);
    return std::nullopt;
}

void reportDamaged(const char* what, const ResourceId& name, const std::string& error)
{
    std::fprintf(stderr, "huevane: %s resource %s is damaged: %s\n", what, name.describe().c_str(), error.c_str());
    SetLastError(ERROR_INVALID_DATA);
}

} // namespace win32::resources
