// Bitmaps, icons and cursors: the program's real artwork as the resource
// compiler stored it, and hand-made DIBs for every pixel format the decoder
// accepts.
#include "resource_fixture.h"

using namespace resource_tests;
namespace res = win32::resources;

namespace {

constexpr uint32_t black = 0x000000, white = 0xFFFFFF, red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;

struct DibFields {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0; // negative: top-down
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    std::vector<uint32_t> palette; // 0xRRGGBB
    uint32_t coloursUsed = 0;
    std::vector<uint32_t> masks; // red, green, blue
    std::vector<uint8_t> bits;
    uint32_t imageSize = 0;
};

std::vector<uint8_t> makeDib(const DibFields& fields)
{
    Bytes b;
    if (fields.headerSize == 12) {
        b.u32(12).u16(fields.width).u16(fields.height).u16(1).u16(fields.bitCount);
        for (uint32_t c : fields.palette)
            b.u8(c).u8(c >> 8).u8(c >> 16);
    } else {
        b.u32(fields.headerSize).i32(fields.width).i32(fields.height).u16(1).u16(fields.bitCount).u32(fields.compression);
        b.u32(fields.imageSize).i32(2835).i32(2835).u32(fields.coloursUsed).u32(0);
        for (uint32_t m : fields.masks)
            b.u32(m);
        while (b.size() < fields.headerSize)
            b.u8(0);
        for (uint32_t c : fields.palette)
            b.u8(c).u8(c >> 8).u8(c >> 16).u8(0);
    }
    return b.append(fields.bits).data;
}

const std::vector<uint32_t> fourColours = {black, red, green, blue};

struct DibCase {
    const char* what;
    DibFields fields;
    int width, height;
    std::vector<uint32_t> expected; // top-down
};

TEST(Dib, DecodesEveryAcceptedFormat)
{
    const DibCase cases[] = {
        {"1 bit, bottom-up rows",
         {40, 3, 2, 1, 0, {black, white}, 0, {}, {0xA0, 0, 0, 0, 0x60, 0, 0, 0}},
         3, 2, {black, white, white, white, black, white}},
        {"4 bits, top-down, short colour table (index 5 shows black)",
         {40, 3, -2, 4, 0, {black, red, green}, 3, {}, {0x12, 0x50, 0, 0, 0x01, 0x20, 0, 0}},
         3, 2, {red, green, black, black, red, green}},
        {"8 bits",
         {40, 2, 2, 8, 0, fourColours, 4, {}, {3, 2, 0, 0, 1, 0, 0, 0}},
         2, 2, {red, black, blue, green}},
        {"8 bits with a core header",
         {12, 2, 2, 8, 0, std::vector<uint32_t>(256, white), 0, {}, {0, 0, 0, 0, 0, 0, 0, 0}},
         2, 2, {white, white, white, white}},
        {"16 bits, 5-5-5",
         {40, 2, 1, 16, 0, {}, 0, {}, {0x00, 0x7C, 0x1F, 0x00}},
         2, 1, {red, blue}},
        {"16 bits, 5-6-5 masks after the header",
         {40, 2, 1, 16, 3, {}, 0, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0x1F, 0x00}},
         2, 1, {green, blue}},
        {"24 bits with row padding",
         {40, 2, 2, 24, 0, {}, 0, {}, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0}},
         2, 2, {green, white, blue, red}},
        {"32 bits, the fourth byte ignored",
         {40, 2, 1, 32, 0, {}, 0, {}, {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x80}},
         2, 1, {red, blue}},
        {"32 bits, masks inside a V4 header",
         {108, 2, 1, 32, 3, {}, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}, {0xFF, 0, 0, 0, 0, 0, 0xFF, 0}},
         2, 1, {red, blue}},
        {"RLE8: runs, a delta, an absolute stretch",
         {40, 4, 2, 8, 1, fourColours, 4, {},
          {2, 1, 0, 2, 1, 0, 1, 2, 0, 0, 0, 4, 3, 2, 1, 3, 0, 1}},
         4, 2, {blue, green, red, blue, red, red, black, green}},
        {"RLE4: a run of two alternating indices",
         {40, 4, 1, 4, 2, fourColours, 4, {}, {4, 0x12, 0, 1}},
         4, 1, {red, green, red, green}},
    };
    for (const DibCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = makeDib(c.fields);
        std::string error;
        auto pixels = res::parseDib(bytes.data(), bytes.size(), &error);
        ASSERT_TRUE(pixels) << error;
        EXPECT_EQ(pixels->width, c.width);
        EXPECT_EQ(pixels->height, c.height);
        EXPECT_EQ(pixels->pixels, c.expected);
    }
}

TEST(Dib, ColourMasksMustEachBeOneRunOfBits)
{
    // A mask with a gap would spread its channel over the bits of the others.
    const std::vector<uint32_t> refused[] = {{0x00F700FF, 0x0000FF00, 0x000000FF}, {0x00FF0000, 0x0000FF00, 0x15}};
    for (const auto& masks : refused) {
        std::vector<uint8_t> bytes = makeDib({40, 1, 1, 32, 3, {}, 0, masks, {0xFF, 0xFF, 0xFF, 0xFF}});
        std::string error;
        EXPECT_FALSE(res::parseDib(bytes.data(), bytes.size(), &error));
        EXPECT_NE(error.find("is not one run of bits"), std::string::npos) << error;
    }
    // Every bit, or none (the channel is absent), is one run.
    std::vector<uint8_t> bytes = makeDib({40, 1, 1, 32, 3, {}, 0, {0xFFFFFFFF, 0, 0x000000FF}, {0x80, 0, 0, 0xFF}});
    std::string error;
    auto pixels = res::parseDib(bytes.data(), bytes.size(), &error);
    ASSERT_TRUE(pixels) << error;
    EXPECT_EQ(pixels->pixels, std::vector<uint32_t>{0xFF0080});
}

double rowBrightness(const win32::core::PixelBuffer& image, int y)
{
    double total = 0;
    for (int x = 0; x < image.width; ++x) {
        uint32_t p = image.row(y)[x];
        total += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    }
    return total / image.width;
}

TEST(Dib, ProgramBitmapsDecodeAtTheirSizes)
{
    struct Case {
        uint16_t name;
        int width, height;
    };
    for (Case c : {Case{1103, 400, 60}, Case{210, 200, 60}, Case{211, 200, 60}}) {
        std::vector<uint8_t> bytes = realResource(2, c.name);
        std::string error;
        auto image = res::parseDib(bytes.data(), bytes.size(), &error);
        ASSERT_TRUE(image) << c.name << ": " << error;
        EXPECT_EQ(image->width, c.width) << c.name;
        EXPECT_EQ(image->height, c.height) << c.name;
    }
    // The logos are on white; the banner's sky darkens upwards, which also
    // shows the rows came out the right way up.
    std::vector<uint8_t> logo = realResource(2, 211);
    EXPECT_EQ(res::parseDib(logo.data(), logo.size(), nullptr)->row(0)[0], white);
    std::vector<uint8_t> banner = realResource(2, 1103);
    auto sky = res::parseDib(banner.data(), banner.size(), nullptr);
    EXPECT_LT(rowBrightness(*sky, 0) + 60, rowBrightness(*sky, 50));
}

// A 2 x 2 icon image in 32 bits with an explicit AND mask.
std::vector<uint8_t> smallIcon(const std::vector<uint32_t>& argbBottomUp, uint8_t maskBottom, uint8_t maskTop)
{
    Bytes b;
    b.u32(40).i32(2).i32(4).u16(1).u16(32).u32(0).u32(0).i32(0).i32(0).u32(0).u32(0);
    for (uint32_t p : argbBottomUp)
        b.u32(p);
    b.u8(maskBottom).u8(0).u8(0).u8(0).u8(maskTop).u8(0).u8(0).u8(0);
    return b.data;
}

TEST(IconImage, MaskAndAlphaGiveTransparency)
{
    // No alpha: the AND mask decides. Masked black is clear; masked colour
    // would invert the screen, shown as black.
    std::vector<uint8_t> masked = smallIcon({0x0000FF, 0x000000, 0xFF0000, 0x00FF00}, 0x40, 0x80);
    std::string error;
    auto image = res::parseIconImage(masked.data(), masked.size(), false, &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->image.argb, (std::vector<uint32_t>{0xFF000000, 0xFF00FF00, 0xFF0000FF, 0x00000000}));
    EXPECT_EQ(image->hotspotX, 1);
    EXPECT_EQ(image->bitCount, 32);

    // Alpha present: it wins over the mask.
    std::vector<uint8_t> alpha = smallIcon({0x800000FF, 0xFF000000, 0x00FF0000, 0x4000FF00}, 0xC0, 0xC0);
    image = res::parseIconImage(alpha.data(), alpha.size(), false, &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->image.argb, (std::vector<uint32_t>{0x00FF0000, 0x4000FF00, 0x800000FF, 0xFF000000}));
}

uint32_t at(const res::IconImage& image, int x, int y)
{
    return image.image.argb[static_cast<size_t>(y * image.image.width + x)];
}

res::IconImage firstImageOf(uint16_t groupType, uint16_t name)
{
    std::vector<uint8_t> bytes = realGroupImage(groupType, name);
    std::string error;
    auto image = res::parseIconImage(bytes.data(), bytes.size(), groupType == 12, &error);
    EXPECT_TRUE(image) << name << ": " << error;
    return image ? *image : res::IconImage{};
}

TEST(IconImage, ProgramIconsAndCursor)
{
    struct Case {
        uint16_t groupType, name;
        int bitCount;
    };
    for (Case c : {Case{14, 1107, 4}, Case{14, 1122, 1}, Case{12, 1106, 1}}) {
        std::vector<uint8_t> group = realResource(c.groupType, c.name);
        std::string error;
        auto entries = res::parseGroup(group.data(), group.size(), c.groupType == 12, &error);
        ASSERT_TRUE(entries) << c.name << ": " << error;
        ASSERT_EQ(entries->size(), 1u) << c.name;
        EXPECT_EQ((*entries)[0].width, 32) << c.name;
        EXPECT_EQ((*entries)[0].height, 32) << c.name;
        EXPECT_EQ((*entries)[0].bitCount, c.bitCount) << c.name;
        res::IconImage image = firstImageOf(c.groupType, c.name);
        EXPECT_EQ(image.image.width, 32) << c.name;
        EXPECT_EQ(image.image.height, 32) << c.name;
        EXPECT_EQ(image.bitCount, c.bitCount) << c.name;
        EXPECT_EQ(at(image, 0, 0) >> 24, 0u) << c.name << ": the corner is clear";
    }

    // The crosshair: hotspot at the centre, which stays clear inside the
    // black ring and cross, all outlined in white.
    res::IconImage cursor = firstImageOf(12, 1106);
    EXPECT_EQ(cursor.hotspotX, 15);
    EXPECT_EQ(cursor.hotspotY, 15);
    EXPECT_EQ(at(cursor, 15, 15) >> 24, 0u);
    EXPECT_EQ(at(cursor, 15, 10), 0xFF000000u); // the top of the ring
    EXPECT_EQ(at(cursor, 15, 5), 0xFF000000u);  // the end of the vertical arm
    EXPECT_EQ(at(cursor, 15, 4), 0xFFFFFFFFu);  // its white outline
    EXPECT_EQ(at(cursor, 25, 15), 0xFF000000u);
    EXPECT_EQ(at(cursor, 26, 15), 0xFFFFFFFFu);
    EXPECT_EQ(at(cursor, 15, 27) >> 24, 0u);

    res::IconImage application = firstImageOf(14, 1107);
    EXPECT_EQ(at(application, 3, 11), 0xFF000080u); // the caption of the little window
    EXPECT_EQ(at(application, 3, 20), 0xFFFFFFFFu); // its client area
}

TEST(IconGroup, BestEntryPrefersExactSizeThenMostColours)
{
    std::vector<res::GroupEntry> entries = {
        {16, 16, 16, 1, 4, 0, 1}, {32, 32, 16, 1, 4, 0, 2}, {32, 32, 0, 1, 8, 0, 3}, {48, 48, 0, 1, 32, 0, 4}};
    struct Case {
        int width, height;
        uint16_t expected;
    };
    for (Case c : {Case{32, 32, 3}, Case{16, 16, 1}, Case{24, 24, 3}, Case{64, 64, 4}, Case{40, 40, 4}}) {
        const res::GroupEntry* best = res::bestGroupEntry(entries, c.width, c.height);
        ASSERT_NE(best, nullptr);
        EXPECT_EQ(best->id, c.expected) << c.width << " x " << c.height;
    }
    EXPECT_EQ(res::bestGroupEntry({}, 32, 32), nullptr);
}

TEST(IconGroup, CursorDirectoryHeightIsTheImageHeight)
{
    // Compilers store the cursor's doubled DIB height; either way it reads as 32.
    for (uint16_t stored : {64, 32}) {
        std::vector<uint8_t> bytes =
            Bytes().u16(0).u16(2).u16(1).u16(32).u16(stored).u16(1).u16(1).u32(308).u16(1).data;
        std::string error;
        auto entries = res::parseGroup(bytes.data(), bytes.size(), true, &error);
        ASSERT_TRUE(entries) << error;
        EXPECT_EQ((*entries)[0].height, 32);
    }
}

} // namespace
