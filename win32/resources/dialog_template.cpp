// RT_DIALOG: the in-memory dialog templates DialogBoxParam reads, classic
// (DLGTEMPLATE + DLGITEMTEMPLATE) and extended (DLGTEMPLATEEX +
// DLGITEMTEMPLATEEX), turned into a DialogTemplate for the dialog manager.
// Every field is read through a bounds-checked reader; the item count only
// says how many items to read, never how much to allocate up front.
// Left out: nothing of the layout; predefined class ordinals beyond 0x85 are
// refused as damage.
#include "resources/byte_reader.h"
#include "resources/resources.h"

#include "core/text_encoding.h"

#include <array>

namespace win32::resources {

namespace {

constexpr uint16_t ordinalMarker = 0xFFFF;

// The predefined window classes a template names by ordinal.
constexpr std::array<const char*, 6> predefinedClasses = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
                                                          "COMBOBOX"};
constexpr uint16_t firstPredefinedClass = 0x0080;

std::string readText(const std::vector<uint16_t>& units) { return core::ansiFromUtf16(units.data(), units.size()); }

// A sz_Or_Ord field: 0x0000 (none), 0xFFFF and an ordinal, or a string.
// `text` gets the string as written.
bool readNameOrOrdinal(ByteReader& reader, ResourceId& id, std::string& text)
{
    uint16_t first;
    if (!reader.u16(first))
        return false;
    text.clear();
    if (first == 0) {
        id = ResourceId::fromOrdinal(0);
        return true;
    }
    if (first == ordinalMarker) {
        uint16_t ordinal;
        if (!reader.u16(ordinal))
            return false;
        id = ResourceId::fromOrdinal(ordinal);
        return true;
    }
    reader.seek(reader.offset() - 2);
    std::vector<uint16_t> units;
    if (!reader.utf16z(units))
        return false;
    text = readText(units);
    id = ResourceId::fromName(text);
    return true;
}

bool readString(ByteReader& reader, std::string& text)
{
    std::vector<uint16_t> units;
    if (!reader.utf16z(units))
        return false;
    text = readText(units);
    return true;
}

// The class a control is created with. Resource compilers differ in how they
// store the predefined classes (an ordinal, or the name in any case), so a
// name that matches one case-insensitively becomes the canonical upper-case
// name; other class names stay as written.
std::optional<std::string> controlClassName(const ResourceId& id, const std::string& written)
{
    if (id.isOrdinal) {
        size_t index = static_cast<size_t>(id.ordinal) - firstPredefinedClass;
        if (id.ordinal < firstPredefinedClass || index >= predefinedClasses.size())
            return std::nullopt;
        return std::string(predefinedClasses[index]);
    }
    for (const char* name : predefinedClasses)
        if (id.name == name)
            return std::string(name);
    return written;
}

std::string itemPlace(size_t index, size_t count)
{
    return "item " + std::to_string(index + 1) + " of " + std::to_string(count);
}

bool readItem(ByteReader& reader, bool extended, DialogItem& item, std::string& problem)
{
    reader.alignTo4();
    bool fixed;
    if (extended) {
        uint32_t id = 0;
        fixed = reader.u32(item.helpId) && reader.u32(item.exStyle) && reader.u32(item.style) &&
                reader.i16(item.x) && reader.i16(item.y) && reader.i16(item.cx) && reader.i16(item.cy) &&
                reader.u32(id);
        item.id = id;
    } else {
        uint16_t id = 0;
        fixed = reader.u32(item.style) && reader.u32(item.exStyle) && reader.i16(item.x) && reader.i16(item.y) &&
                reader.i16(item.cx) && reader.i16(item.cy) && reader.u16(id);
        item.id = id;
    }
    if (!fixed) {
        problem = "the fixed part runs past the end of the template";
        return false;
    }
    std::string writtenClass;
    if (!readNameOrOrdinal(reader, item.windowClass, writtenClass)) {
        problem = "the class runs past the end of the template";
        return false;
    }
    if (item.windowClass.isOrdinal && item.windowClass.ordinal == 0 && writtenClass.empty()) {
        problem = "no window class";
        return false;
    }
    auto className = controlClassName(item.windowClass, writtenClass);
    if (!className) {
        problem = "unknown predefined class ordinal " + std::to_string(item.windowClass.ordinal);
        return false;
    }
    item.className = *className;

    ResourceId title;
    if (!readNameOrOrdinal(reader, title, item.title)) {
        problem = "the title runs past the end of the template";
        return false;
    }
    // 0x0000 is an empty title; 0xFFFF + ordinal names a resource (an icon for SS_ICON).
    item.titleIsOrdinal = title.isOrdinal && title.ordinal != 0;
    item.titleOrdinal = item.titleIsOrdinal ? title.ordinal : 0;

    // Creation data: a count of the bytes that follow, then those bytes.
    uint16_t extra;
    const uint8_t* bytes = nullptr;
    if (!reader.u16(extra)) {
        problem = "the creation data size runs past the end of the template";
        return false;
    }
    if (extra > 0 && !reader.bytes(extra, bytes)) {
        problem = "creation data of " + std::to_string(extra) + " bytes runs past the end of the template";
        return false;
    }
    item.creationData.assign(bytes, bytes + (bytes ? extra : 0));
    return true;
}

} // namespace

std::optional<DialogTemplate> parseDialogTemplate(const uint8_t* data, size_t size, std::string* error)
{
    ByteReader reader(data, size);
    DialogTemplate result;
    uint16_t count = 0;

    uint16_t version, signature;
    if (!reader.u16(version) || !reader.u16(signature))
        return fail(error, "the header runs past the end of the template (" + std::to_string(size) + " bytes)");
    result.extended = signature == ordinalMarker;
    if (result.extended) {
        if (version != 1)
            return fail(error, "unknown extended template version " + std::to_string(version));
        if (!reader.u32(result.helpId) || !reader.u32(result.exStyle) || !reader.u32(result.style) ||
            !reader.u16(count) || !reader.i16(result.x) || !reader.i16(result.y) || !reader.i16(result.cx) ||
            !reader.i16(result.cy))
            return fail(error, "the header runs past the end of the template (" + std::to_string(size) + " bytes)");
    } else {
        reader.seek(0);
        if (!reader.u32(result.style) || !reader.u32(result.exStyle) || !reader.u16(count) ||
            !reader.i16(result.x) || !reader.i16(result.y) || !reader.i16(result.cx) || !reader.i16(result.cy))
            return fail(error, "the header runs past the end of the template (" + std::to_string(size) + " bytes)");
    }

    std::string menuName, className;
    if (!readNameOrOrdinal(reader, result.menu, menuName))
        return fail(error, "the menu name runs past the end of the template");
    if (!readNameOrOrdinal(reader, result.windowClass, className))
        return fail(error, "the class name runs past the end of the template");
    result.className = className;
    if (result.windowClass.isOrdinal && result.windowClass.ordinal != 0) {
        // Rare, but documented: a predefined class by ordinal.
        auto predefined = controlClassName(result.windowClass, className);
        if (!predefined)
            return fail(error, "unknown predefined dialog class ordinal " + std::to_string(result.windowClass.ordinal));
        result.className = *predefined;
    }
    {
        uint16_t first;
        if (!reader.u16(first))
            return fail(error, "the title runs past the end of the template");
        if (first == ordinalMarker)
            return fail(error, "the dialog title is an ordinal, which templates do not allow");
        reader.seek(reader.offset() - 2);
        if (!readString(reader, result.title))
            return fail(error, "the title runs past the end of the template");
    }

    // DS_SETFONT (DS_SHELLFONT contains it) says a font follows.
    if (result.style & DS_SETFONT) {
        result.hasFont = true;
        bool font = reader.u16(result.pointSize);
        if (font && result.extended)
            font = reader.u16(result.weight) && reader.u8(result.italic) && reader.u8(result.charset);
        if (!font || !readString(reader, result.typeface))
            return fail(error, "the font runs past the end of the template");
    }

    for (size_t i = 0; i < count; ++i) {
        DialogItem item;
        std::string problem;
        if (!readItem(reader, result.extended, item, problem))
            return fail(error, itemPlace(i, count) + ": " + problem);
        result.items.push_back(std::move(item));
    }
    return result;
}

} // namespace win32::resources
