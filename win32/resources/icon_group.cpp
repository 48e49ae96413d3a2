// RT_GROUP_ICON and RT_GROUP_CURSOR: the directories that list the images of
// one icon or cursor (each an RT_ICON / RT_CURSOR resource of its own id), and
// the choice of the image that fits a size, as LookupIconIdFromDirectoryEx
// makes it. Left out: the system's colour-depth preference (we always prefer
// the most colours, as a true-colour display does).
#include "resources/byte_reader.h"
#include "resources/resources.h"

#include <cstdlib>

namespace win32::resources {

namespace {

constexpr uint16_t iconKind = 1;
constexpr uint16_t cursorKind = 2;
constexpr size_t entrySize = 14;

int colourDepth(const GroupEntry& entry)
{
    if (entry.bitCount > 0)
        return entry.bitCount;
    // Old directories give only a colour count (0 = 256 or more).
    int depth = 0;
    while (depth < 8 && (1 << depth) < (entry.colorCount ? entry.colorCount : 256))
        ++depth;
    return depth;
}

} // namespace

std::optional<std::vector<GroupEntry>> parseGroup(const uint8_t* data, size_t size, bool isCursor, std::string* error)
{
    ByteReader reader(data, size);
    uint16_t reserved, kind, count;
    if (!reader.u16(reserved) || !reader.u16(kind) || !reader.u16(count))
        return fail(error, "only " + std::to_string(size) + " bytes, too few for a directory header");
    if (reserved != 0)
        return fail(error, "the directory's reserved field is " + std::to_string(reserved) + ", not 0");
    uint16_t expected = isCursor ? cursorKind : iconKind;
    if (kind != expected)
        return fail(error, "directory of kind " + std::to_string(kind) + " where " + std::to_string(expected) +
                               (isCursor ? " (cursor)" : " (icon)") + " was expected");
    if (count == 0)
        return fail(error, "the directory lists no images");
    if (reader.remaining() / entrySize < count)
        return fail(error, "the directory lists " + std::to_string(count) + " images but has room for only " +
                               std::to_string(reader.remaining() / entrySize));

    std::vector<GroupEntry> entries;
    entries.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        GroupEntry entry;
        uint16_t planes = 0, bitCount = 0, id = 0;
        uint32_t bytes = 0;
        if (isCursor) {
            uint16_t width = 0, height = 0;
            reader.u16(width);
            reader.u16(height);
            entry.width = width;
            // Resource compilers store a cursor's height doubled, as in the
            // image's own header (colour image plus mask).
            entry.height = height == 2 * width ? width : height;
        } else {
            uint8_t width = 0, height = 0, colours = 0, unused = 0;
            reader.u8(width);
            reader.u8(height);
            reader.u8(colours);
            reader.u8(unused);
            entry.width = width ? width : 256;
            entry.height = height ? height : 256;
            entry.colorCount = colours;
        }
        reader.u16(planes);
        reader.u16(bitCount);
        reader.u32(bytes);
        reader.u16(id);
        entry.planes = planes;
        entry.bitCount = bitCount;
        entry.bytesInRes = bytes;
        entry.id = id;
        entries.push_back(entry);
    }
    return entries;
}

const GroupEntry* bestGroupEntry(const std::vector<GroupEntry>& entries, int width, int height)
{
    const GroupEntry* best = nullptr;
    long bestDistance = 0;
    for (const GroupEntry& entry : entries) {
        long distance = std::labs(static_cast<long>(entry.width) - width) + std::labs(static_cast<long>(entry.height) - height);
        if (!best || distance < bestDistance ||
            (distance == bestDistance && colourDepth(entry) > colourDepth(*best))) {
            best = &entry;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace win32::resources
