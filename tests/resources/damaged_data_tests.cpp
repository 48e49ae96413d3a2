// Damaged resources: every parser, given truncated or corrupted copies of
// the program's real resources, fails with an error message and never reads
// outside its bytes. Each input is copied into a buffer of exactly its size,
// so an overread is caught by AddressSanitizer (HUEVANE_SANITIZE=ON).
#include "resource_fixture.h"

#include <memory>
#include <set>

using namespace resource_tests;
namespace res = win32::resources;

namespace {

enum class Kind { ResFile, Dialog, Bitmap, IconImage, CursorImage, IconGroup, CursorGroup, Version };

bool parse(Kind kind, const uint8_t* data, size_t size, std::string* error)
{
    switch (kind) {
    case Kind::ResFile:
        return res::parseResFile(data, size, error).has_value();
    case Kind::Dialog:
        return res::parseDialogTemplate(data, size, error).has_value();
    case Kind::Bitmap:
        return res::parseDib(data, size, error).has_value();
    case Kind::IconImage:
        return res::parseIconImage(data, size, false, error).has_value();
    case Kind::CursorImage:
        return res::parseIconImage(data, size, true, error).has_value();
    case Kind::IconGroup:
        return res::parseGroup(data, size, false, error).has_value();
    case Kind::CursorGroup:
        return res::parseGroup(data, size, true, error).has_value();
    case Kind::Version:
        return res::parseVersion(data, size, error).has_value();
    }
    return false;
}

// Parses the first `size` bytes of `bytes` from a buffer of exactly that size.
bool parseExact(Kind kind, const std::vector<uint8_t>& bytes, size_t size, std::string* error)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(size), copy.get());
    return parse(kind, size ? copy.get() : nullptr, size, error);
}

struct Sample {
    const char* name;
    Kind kind;
    std::vector<uint8_t> bytes;
};

const std::vector<Sample>& samples()
{
    static const std::vector<Sample> all = {
        {"the .res file", Kind::ResFile, realResFile()},
        {"dialog 100", Kind::Dialog, realResource(5, 100)},
        {"dialog 200", Kind::Dialog, realResource(5, 200)},
        {"bitmap 210", Kind::Bitmap, realResource(2, 210)},
        {"bitmap 211", Kind::Bitmap, realResource(2, 211)},
        {"bitmap 1103", Kind::Bitmap, realResource(2, 1103)},
        {"icon image of 1107", Kind::IconImage, realGroupImage(14, 1107)},
        {"icon image of 1122", Kind::IconImage, realGroupImage(14, 1122)},
        {"cursor image of 1106", Kind::CursorImage, realGroupImage(12, 1106)},
        {"icon group 1107", Kind::IconGroup, realResource(14, 1107)},
        {"icon group 1122", Kind::IconGroup, realResource(14, 1122)},
        {"cursor group 1106", Kind::CursorGroup, realResource(12, 1106)},
        {"version 1105", Kind::Version, realResource(16, 1105)},
    };
    return all;
}

const Sample& sample(const char* name)
{
    for (const Sample& s : samples())
        if (std::string(s.name) == name)
            return s;
    throw std::runtime_error(name);
}

// Where a .res file may end: after any entry's data, or in the padding up
// to the next entry.
std::set<size_t> resFileEnds(const std::vector<uint8_t>& file)
{
    std::set<size_t> ends;
    for (size_t offset = 0; offset + 8 <= file.size();) {
        uint32_t dataSize = readU32At(file, offset), headerSize = readU32At(file, offset + 4);
        size_t dataEnd = offset + headerSize + dataSize;
        size_t next = (dataEnd + 3) & ~static_cast<size_t>(3);
        for (size_t end = dataEnd; end <= next && end <= file.size(); ++end)
            ends.insert(end);
        offset = next;
    }
    return ends;
}

TEST(DamagedData, RealResourcesParseWhole)
{
    for (const Sample& s : samples()) {
        std::string error;
        ASSERT_FALSE(s.bytes.empty()) << s.name;
        EXPECT_TRUE(parseExact(s.kind, s.bytes, s.bytes.size(), &error)) << s.name << ": " << error;
    }
}

TEST(DamagedData, EveryTruncationFailsWithAnError)
{
    std::set<size_t> resEnds = resFileEnds(realResFile());
    for (const Sample& s : samples()) {
        for (size_t length = 0; length < s.bytes.size(); ++length) {
            std::string error;
            bool parsed = parseExact(s.kind, s.bytes, length, &error);
            bool mayParse = s.kind == Kind::ResFile && resEnds.count(length);
            if (mayParse)
                continue;
            ASSERT_FALSE(parsed) << s.name << " cut to " << length << " of " << s.bytes.size() << " bytes";
            ASSERT_NE(error, "") << s.name << " cut to " << length;
        }
    }
}

struct Patch {
    size_t offset;
    int width; // 2 or 4 bytes
    uint32_t value;
};

struct Corruption {
    const char* sample;
    const char* what;
    std::vector<Patch> patches;
};

TEST(DamagedData, FieldsThatPointOutsideAreRefused)
{
    // Offsets: a .res entry is DataSize, HeaderSize, ...; the first real one
    // follows the 32-byte empty entry. A DIB header: size 0, width 4, height
    // 8, planes 12, bit count 14, compression 16, image size 20, colours used
    // 32. A cursor image starts with its 4-byte hotspot. A directory: reserved
    // 0, kind 2, count 4.
    const Corruption corruptions[] = {
        {"the .res file", "data size past the end", {{32, 4, 0xFFFFFFF0}}},
        {"the .res file", "header size 0", {{36, 4, 0}}},
        {"the .res file", "header size past the end", {{36, 4, 0xFFFFFFFF}}},
        {"the .res file", "header too small for its fields", {{36, 4, 12}}},
        {"dialog 100", "65535 items", {{8, 2, 0xFFFF}}},
        {"dialog 200", "65535 items", {{16, 2, 0xFFFF}}},
        {"bitmap 1103", "header size 64 (OS/2)", {{0, 4, 64}}},
        {"bitmap 1103", "header size past the end", {{0, 4, 100000}}},
        {"bitmap 1103", "header size 11", {{0, 4, 11}}},
        {"bitmap 1103", "width 2^31 - 1", {{4, 4, 0x7FFFFFFF}}},
        {"bitmap 1103", "width 0", {{4, 4, 0}}},
        {"bitmap 1103", "negative width", {{4, 4, 0xFFFFFFF0}}},
        {"bitmap 1103", "height -2^31", {{8, 4, 0x80000000}}},
        {"bitmap 1103", "height 0", {{8, 4, 0}}},
        {"bitmap 1103", "30000 x 30000", {{4, 4, 30000}, {8, 4, 30000}}},
        {"bitmap 1103", "more rows than the data holds", {{8, 4, 61}}},
        {"bitmap 1103", "two planes", {{12, 2, 2}}},
        {"bitmap 1103", "bit count 3", {{14, 2, 3}}},
        {"bitmap 1103", "bit count 0", {{14, 2, 0}}},
        {"bitmap 1103", "24 bits without the data for them", {{14, 2, 24}}},
        {"bitmap 1103", "compression 7", {{16, 2, 7}}},
        {"bitmap 1103", "run-length with 4 bits a pixel", {{16, 4, 2}}},
        {"bitmap 1103", "masks with 8 bits a pixel", {{16, 4, 3}}},
        {"bitmap 1103", "compressed size past the end", {{16, 4, 1}, {20, 4, 0xFFFFFFF0}}},
        {"bitmap 1103", "colour table of 2^32 - 1 entries", {{32, 4, 0xFFFFFFFF}}},
        {"bitmap 1103", "colour table of 257 entries", {{32, 4, 257}}},
        {"bitmap 210", "colour table of 17 entries", {{32, 4, 17}}},
        {"icon image of 1107", "512 pixels high", {{8, 4, 1024}}},
        {"icon image of 1107", "top-down", {{8, 4, 0xFFFFFFC0}}},
        {"icon image of 1107", "32 bits without the data", {{14, 2, 32}}},
        {"icon image of 1107", "compressed", {{16, 4, 2}}},
        {"cursor image of 1106", "hotspot outside the image", {{0, 2, 40}}},
        {"cursor image of 1106", "header size past the end", {{4, 4, 5000}}},
        {"icon group 1107", "reserved field set", {{0, 2, 1}}},
        {"icon group 1107", "a cursor directory", {{2, 2, 2}}},
        {"icon group 1107", "no images", {{4, 2, 0}}},
        {"icon group 1107", "more images than entries", {{4, 2, 200}}},
        {"cursor group 1106", "an icon directory", {{2, 2, 1}}},
    };
    for (const Corruption& c : corruptions) {
        const Sample& s = sample(c.sample);
        std::vector<uint8_t> bytes = s.bytes;
        for (const Patch& p : c.patches) {
            if (p.width == 2)
                patch16(bytes, p.offset, static_cast<uint16_t>(p.value));
            else
                patch32(bytes, p.offset, p.value);
        }
        std::string error;
        EXPECT_FALSE(parseExact(s.kind, bytes, bytes.size(), &error)) << c.sample << ": " << c.what;
        EXPECT_NE(error, "") << c.sample << ": " << c.what;
    }
}

TEST(DamagedData, OverwrittenBytesNeverCrash)
{
    // Whether the result parses does not matter here, only that every byte
    // value is survived; bitmaps are swept over their headers and colour
    // tables only, where the sizes and offsets are.
    for (const Sample& s : samples()) {
        size_t sweep = s.kind == Kind::Bitmap ? std::min<size_t>(s.bytes.size(), 40 + 16 * 4 + 8) : s.bytes.size();
        for (size_t offset = 0; offset < sweep; ++offset) {
            for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x80}}) {
                std::vector<uint8_t> bytes = s.bytes;
                bytes[offset] = value;
                std::string error;
                if (!parseExact(s.kind, bytes, bytes.size(), &error))
                    ASSERT_NE(error, "") << s.name << " with byte " << offset << " = " << int(value);
            }
        }
    }
}

} // namespace
