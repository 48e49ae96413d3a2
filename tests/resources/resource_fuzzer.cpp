// libFuzzer target for the module's resources. The input is read as a
// compiled .res and everything in it is walked as the loaders walk it: each
// entry goes to the parser of its type, group directories lead to the images
// they list, and the KERNEL32 calls find every entry again. An input that is
// no .res is taken as one bare resource and given to every parser, so the
// pieces of the corpus reach the parsers without the container around them.
//
// What must hold: a parser gives a result or says why not; a result keeps
// the bounds its format promises (sizes, pixel values, hotspots); the bytes
// KERNEL32 hands out are those of an entry of the asked type and name, and
// its handles go stale when other resources are installed.
#include "resources/resources.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace res = win32::resources;

namespace {

constexpr uint16_t typeCursor = 1;
constexpr uint16_t typeBitmap = 2;
constexpr uint16_t typeIcon = 3;
constexpr uint16_t typeDialog = 5;
constexpr uint16_t typeGroupCursor = 12;
constexpr uint16_t typeGroupIcon = 14;
constexpr uint16_t typeVersion = 16;
// Enough entries to reach every kind of lookup, few enough that one input
// stays quick however many entries it holds.
constexpr size_t lookedUpEntries = 64;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <typename T>
bool succeeded(const std::optional<T>& result, const std::string& error)
{
    check(result.has_value() || !error.empty());
    return result.has_value();
}

void dialog(const uint8_t* data, size_t size)
{
    std::string error;
    auto parsed = res::parseDialogTemplate(data, size, &error);
    if (!succeeded(parsed, error))
        return;
    for (const res::DialogItem& item : parsed->items)
        check(!item.className.empty());
}

void bitmap(const uint8_t* data, size_t size)
{
    std::string error;
    auto parsed = res::parseDib(data, size, &error);
    if (!succeeded(parsed, error))
        return;
    check(parsed->width > 0 && parsed->height > 0 && parsed->width <= 32768 && parsed->height <= 32768);
    check(parsed->pixels.size() == static_cast<size_t>(parsed->width) * static_cast<size_t>(parsed->height));
    for (win32::core::Pixel pixel : parsed->pixels)
        check(pixel <= 0xFFFFFF);
}

void iconImage(const uint8_t* data, size_t size, bool isCursor)
{
    std::string error;
    auto parsed = res::parseIconImage(data, size, isCursor, &error);
    if (!succeeded(parsed, error))
        return;
    const win32::core::Image& image = parsed->image;
    check(image.width > 0 && image.height > 0 && image.width <= 256 && image.height <= 256);
    check(image.argb.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    check(parsed->hotspotX >= 0 && parsed->hotspotX < image.width);
    check(parsed->hotspotY >= 0 && parsed->hotspotY < image.height);
}

// A directory and, when the module's resources are installed, the images it
// lists: the best fit first, as LoadIcon and LoadCursor choose it.
void group(const uint8_t* data, size_t size, bool isCursor, bool lookUpImages)
{
    std::string error;
    auto entries = res::parseGroup(data, size, isCursor, &error);
    if (!succeeded(entries, error))
        return;
    check(!entries->empty() && 6 + 14 * entries->size() <= size);
    const res::GroupEntry* best = res::bestGroupEntry(*entries, 32, 32);
    check(best != nullptr && best >= entries->data() && best < entries->data() + entries->size());
    if (!lookUpImages)
        return;
    res::ResourceId imageType = res::ResourceId::fromOrdinal(isCursor ? typeCursor : typeIcon);
    for (const res::GroupEntry& entry : *entries) {
        if (auto image = res::find(imageType, res::ResourceId::fromOrdinal(entry.id)))
            iconImage(image->data, image->size, isCursor);
    }
}

void version(const uint8_t* data, size_t size)
{
    std::string error;
    auto parsed = res::parseVersion(data, size, &error);
    succeeded(parsed, error);
}

void everyParser(const uint8_t* data, size_t size)
{
    dialog(data, size);
    bitmap(data, size);
    iconImage(data, size, false);
    iconImage(data, size, true);
    group(data, size, false, false);
    group(data, size, true, false);
    version(data, size);
}

// What FindResourceA is given for an id, or null for ids it cannot be
// asked for by that spelling (ordinal 0 is a null pointer; "#12" means 12).
const char* win32Spelling(const res::ResourceId& id)
{
    if (id.isOrdinal)
        return id.ordinal == 0 ? nullptr : MAKEINTRESOURCEA(id.ordinal);
    if (id.name.find('\0') != std::string::npos || (!id.name.empty() && id.name[0] == '#'))
        return nullptr;
    return id.name.c_str();
}

void kernel32Lookups(const uint8_t* data, size_t size, const std::vector<res::ResEntry>& entries)
{
    HRSRC kept = nullptr;
    for (size_t i = 0; i < entries.size() && i < lookedUpEntries; ++i) {
        const char* type = win32Spelling(entries[i].type);
        const char* name = win32Spelling(entries[i].name);
        if (!type || !name)
            continue;
        HRSRC info = FindResourceA(nullptr, name, type);
        check(info != nullptr);
        const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
        DWORD length = SizeofResource(nullptr, info);
        bool fromAnEntryOfThatId = false;
        for (const res::ResEntry& entry : res::moduleEntries())
            fromAnEntryOfThatId = fromAnEntryOfThatId ||
                                  (entry.type == entries[i].type && entry.name == entries[i].name &&
                                   entry.data.data == bytes && entry.data.size == length);
        check(fromAnEntryOfThatId);
        check(length == 0 || (bytes >= data && bytes + length <= data + size));
        kept = info;
    }
    if (!kept)
        return;
    // The same bytes installed again are another resource set.
    res::setModuleResources(data, size);
    check(LoadResource(nullptr, kept) == nullptr && GetLastError() == ERROR_INVALID_HANDLE);
    check(SizeofResource(nullptr, kept) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;
    auto entries = res::parseResFile(data, size, &error);
    if (!succeeded(entries, error)) {
        everyParser(data, size);
        return 0;
    }
    for (const res::ResEntry& entry : *entries)
        check(entry.data.size == 0 || (entry.data.data >= data && entry.data.data + entry.data.size <= data + size));

    res::setModuleResources(data, size);
    check(res::moduleError().empty() && res::moduleEntries().size() == entries->size());
    for (const res::ResEntry& entry : *entries) {
        if (!entry.type.isOrdinal)
            continue;
        const uint8_t* bytes = entry.data.data;
        size_t length = entry.data.size;
        switch (entry.type.ordinal) {
        case typeDialog:
            dialog(bytes, length);
            break;
        case typeBitmap:
            bitmap(bytes, length);
            break;
        case typeIcon:
        case typeCursor:
            iconImage(bytes, length, entry.type.ordinal == typeCursor);
            break;
        case typeGroupIcon:
        case typeGroupCursor:
            group(bytes, length, entry.type.ordinal == typeGroupCursor, true);
            break;
        case typeVersion:
            version(bytes, length);
            break;
        default:
            break;
        }
    }
    kernel32Lookups(data, size, *entries);
    // Null puts back the embedded resources; the input's bytes are not kept.
    res::setModuleResources(nullptr, 0);
    return 0;
}
