// Device-independent bitmaps as resources store them: RT_BITMAP (a packed
// DIB, that is a .bmp file less its 14-byte file header) and the images of
// RT_ICON and RT_CURSOR (a DIB of twice the height: the XOR colour image, then
// the 1-bit AND mask; a cursor puts its hotspot in front).
//
// Reproduces BITMAPCOREHEADER and BITMAPINFOHEADER (and the larger V2-V5
// headers, whose extra fields are ignored but for the masks), 1, 4, 8, 16, 24
// and 32 bits a pixel, BI_RGB, BI_RLE8, BI_RLE4 and BI_BITFIELDS, bottom-up and
// top-down rows. Leaves out JPEG/PNG-compressed DIBs, PNG icon images, colour
// profiles, and the alpha channel of plain bitmaps (GDI ignores it too).
//
// Every size is checked against the data before anything is read or
// allocated, and decoded images are limited in size, so a damaged or hostile
// header gives an error, never a huge allocation or a read past the end.
#include "resources/byte_reader.h"
#include "resources/resources.h"

#include <algorithm>

namespace win32::resources {

namespace {

constexpr uint32_t compressionRgb = 0;
constexpr uint32_t compressionRle8 = 1;
constexpr uint32_t compressionRle4 = 2;
constexpr uint32_t compressionBitfields = 3;

constexpr uint32_t coreHeaderSize = 12;
constexpr uint32_t infoHeaderSize = 40;
constexpr uint32_t largestHeaderSize = 124; // BITMAPV5HEADER

constexpr int64_t maximumDimension = 32768;
constexpr int64_t maximumPixels = int64_t{1} << 24; // 64 MB decoded
constexpr int maximumIconDimension = 256;

struct ChannelMask {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static ChannelMask from(uint32_t mask)
    {
        ChannelMask channel;
        channel.mask = mask;
        if (mask == 0)
            return channel;
        while (!((mask >> channel.shift) & 1))
            ++channel.shift;
        for (uint32_t rest = mask >> channel.shift; rest & 1; rest >>= 1)
            ++channel.bits;
        return channel;
    }

    uint32_t extract(uint32_t value) const
    {
        if (bits == 0)
            return 0;
        uint32_t v = (value & mask) >> shift;
        if (bits >= 8)
            return v >> (bits - 8);
        uint32_t maximum = (1u << bits) - 1;
        return (v * 255 + maximum / 2) / maximum;
    }
};

struct DibLayout {
    int width = 0;
    int height = 0; // rows of the colour image (half the header's height for icons)
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = compressionRgb;
    uint32_t imageSize = 0;
    std::vector<core::Pixel> colours;
    ChannelMask red, green, blue;
    size_t bitsOffset = 0; // where the pixel bits start in the data
};

std::string dimensions(int64_t width, int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// Zero (the channel is absent) or set bits with no gap between them.
bool isOneRunOfBits(uint32_t mask)
{
    uint32_t lowest = mask & (~mask + 1);
    return ((mask + lowest) & mask) == 0;
}

std::string hex(uint32_t value)
{
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 0xF];
    return text;
}

size_t rowStride(int width, int bitCount)
{
    return static_cast<size_t>((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount) + 31) / 32 * 4);
}

std::optional<DibLayout> readLayout(const uint8_t* data, size_t size, bool icon, std::string* error)
{
    ByteReader reader(data, size);
    uint32_t headerSize;
    if (!reader.u32(headerSize))
        return fail(error, "only " + std::to_string(size) + " bytes, too few for a bitmap header");
    // BITMAPCOREHEADER, BITMAPINFOHEADER and its V2, V3, V4 and V5 extensions.
    if (headerSize != coreHeaderSize && headerSize != infoHeaderSize && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != largestHeaderSize)
        return fail(error, "unknown bitmap header size " + std::to_string(headerSize));
    if (headerSize > size)
        return fail(error, "bitmap header of " + std::to_string(headerSize) + " bytes but only " +
                               std::to_string(size) + " bytes of data");

    DibLayout layout;
    int64_t width = 0, height = 0;
    uint16_t planes = 0, bitCount = 0;
    uint32_t coloursUsed = 0;
    bool core = headerSize == coreHeaderSize;
    if (core) {
        uint16_t w = 0, h = 0;
        reader.u16(w);
        reader.u16(h);
        reader.u16(planes);
        reader.u16(bitCount);
        width = w;
        height = h;
    } else {
        int32_t w = 0, h = 0;
        uint32_t compression = 0, imageSize = 0, important = 0;
        int32_t xDensity = 0, yDensity = 0;
        reader.i32(w);
        reader.i32(h);
        reader.u16(planes);
        reader.u16(bitCount);
        reader.u32(compression);
        reader.u32(imageSize);
        reader.i32(xDensity);
        reader.i32(yDensity);
        reader.u32(coloursUsed);
        reader.u32(important);
        width = w;
        height = h;
        layout.compression = compression;
        layout.imageSize = imageSize;
    }
    if (planes != 1)
        return fail(error, std::to_string(planes) + " colour planes (a DIB has one)");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return fail(error, "unsupported bit count " + std::to_string(bitCount));
    if (core && (bitCount == 16 || bitCount == 32))
        return fail(error, std::to_string(bitCount) + " bits a pixel with a core header");
    layout.bitCount = bitCount;

    switch (layout.compression) {
    case compressionRgb:
        break;
    case compressionRle8:
    case compressionRle4:
        if (bitCount != (layout.compression == compressionRle8 ? 8 : 4))
            return fail(error, "run-length compression that does not match " + std::to_string(bitCount) +
                                   " bits a pixel");
        if (height < 0)
            return fail(error, "a top-down bitmap cannot be compressed");
        break;
    case compressionBitfields:
        if (bitCount != 16 && bitCount != 32)
            return fail(error, "colour masks with " + std::to_string(bitCount) + " bits a pixel");
        break;
    default:
        return fail(error, "unsupported compression " + std::to_string(layout.compression));
    }
    if (icon && layout.compression != compressionRgb)
        return fail(error, "a compressed icon or cursor image");

    layout.topDown = height < 0;
    if (layout.topDown)
        height = -height;
    if (icon) {
        // The header's height covers the colour image and the mask.
        if (layout.topDown)
            return fail(error, "a top-down icon or cursor image");
        height /= 2;
        if (width > maximumIconDimension || height > maximumIconDimension)
            return fail(error, "icon or cursor image of " + dimensions(width, height) + " pixels (at most 256 x 256)");
    }
    if (width <= 0 || height <= 0)
        return fail(error, "empty image of " + dimensions(width, height) + " pixels");
    if (width > maximumDimension || height > maximumDimension || width * height > maximumPixels)
        return fail(error, "image of " + dimensions(width, height) + " pixels is too large");
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);

    // Colour masks: inside the larger headers, or three DWORDs after the 40-byte one.
    reader.seek(headerSize);
    if (layout.compression == compressionBitfields) {
        uint32_t masks[3];
        ByteReader maskReader(data, size);
        maskReader.seek(infoHeaderSize);
        if (!maskReader.u32(masks[0]) || !maskReader.u32(masks[1]) || !maskReader.u32(masks[2]))
            return fail(error, "the colour masks run past the end of the data");
        // A mask with a gap would spread a channel's value over the bits of
        // the others; the format asks for one run of bits each.
        for (uint32_t mask : masks)
            if (!isOneRunOfBits(mask))
                return fail(error, "colour mask " + hex(mask) + " is not one run of bits");
        if (headerSize == infoHeaderSize)
            reader.skip(12);
        layout.red = ChannelMask::from(masks[0]);
        layout.green = ChannelMask::from(masks[1]);
        layout.blue = ChannelMask::from(masks[2]);
    } else if (bitCount == 16) {
        layout.red = ChannelMask::from(0x7C00);
        layout.green = ChannelMask::from(0x03E0);
        layout.blue = ChannelMask::from(0x001F);
    } else {
        layout.red = ChannelMask::from(0xFF0000);
        layout.green = ChannelMask::from(0x00FF00);
        layout.blue = ChannelMask::from(0x0000FF);
    }

    // The colour table: all 2^n entries unless the header says fewer; for
    // more than 8 bits a pixel an optional table the pixels do not use.
    uint64_t entries = 0;
    if (bitCount <= 8) {
        uint64_t full = uint64_t{1} << bitCount;
        if (coloursUsed > full)
            return fail(error, "colour table of " + std::to_string(coloursUsed) + " entries for " +
                                   std::to_string(bitCount) + " bits a pixel");
        entries = coloursUsed ? coloursUsed : full;
    } else {
        entries = coloursUsed;
    }
    size_t entrySize = core ? 3 : 4;
    if (entries > reader.remaining() / entrySize)
        return fail(error, "colour table of " + std::to_string(entries) + " entries runs past the end of the data");
    if (bitCount <= 8) {
        layout.colours.reserve(static_cast<size_t>(entries));
        for (uint64_t i = 0; i < entries; ++i) {
            const uint8_t* entry = reader.here() + i * entrySize;
            layout.colours.push_back((static_cast<core::Pixel>(entry[2]) << 16) |
                                     (static_cast<core::Pixel>(entry[1]) << 8) | entry[0]);
        }
    }
    reader.skip(static_cast<size_t>(entries) * entrySize);
    layout.bitsOffset = reader.offset();
    return layout;
}

core::Pixel colourAt(const DibLayout& layout, unsigned index)
{
    // An index past a short colour table shows as black.
    return index < layout.colours.size() ? layout.colours[index] : 0;
}

// Decodes uncompressed rows into top-down pixels; `alpha` (when given) gets
// the fourth byte of 32-bit pixels.
void decodeRows(const DibLayout& layout, const uint8_t* bits, std::vector<core::Pixel>& pixels,
                std::vector<uint8_t>* alpha)
{
    size_t stride = rowStride(layout.width, layout.bitCount);
    size_t width = static_cast<size_t>(layout.width);
    pixels.assign(width * static_cast<size_t>(layout.height), 0);
    if (alpha)
        alpha->assign(pixels.size(), 0);
    for (int row = 0; row < layout.height; ++row) {
        const uint8_t* source = bits + stride * static_cast<size_t>(row);
        int y = layout.topDown ? row : layout.height - 1 - row;
        core::Pixel* out = pixels.data() + width * static_cast<size_t>(y);
        for (size_t x = 0; x < width; ++x) {
            switch (layout.bitCount) {
            case 1:
                out[x] = colourAt(layout, (source[x / 8] >> (7 - x % 8)) & 1);
                break;
            case 4:
                out[x] = colourAt(layout, (source[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
                break;
            case 8:
                out[x] = colourAt(layout, source[x]);
                break;
            case 16: {
                uint32_t v = readU16(source + 2 * x);
                out[x] = (layout.red.extract(v) << 16) | (layout.green.extract(v) << 8) | layout.blue.extract(v);
                break;
            }
            case 24: {
                const uint8_t* p = source + 3 * x;
                out[x] = (static_cast<core::Pixel>(p[2]) << 16) | (static_cast<core::Pixel>(p[1]) << 8) | p[0];
                break;
            }
            case 32: {
                uint32_t v = readU32(source + 4 * x);
                out[x] = (layout.red.extract(v) << 16) | (layout.green.extract(v) << 8) | layout.blue.extract(v);
                if (alpha)
                    (*alpha)[width * static_cast<size_t>(y) + x] = static_cast<uint8_t>(v >> 24);
                break;
            }
            }
        }
    }
}

// BI_RLE8 / BI_RLE4: runs of one index, absolute stretches, end-of-line,
// delta and end-of-bitmap escapes. Pixels the runs skip keep colour 0.
// Every step consumes input, so damaged data ends the loop; drawing outside
// the image is dropped.
bool decodeRunLength(const DibLayout& layout, const uint8_t* bits, size_t available, std::vector<core::Pixel>& pixels,
                     std::string& problem)
{
    const bool four = layout.compression == compressionRle4;
    const int64_t width = layout.width, height = layout.height;
    pixels.assign(static_cast<size_t>(width * height), colourAt(layout, 0));
    int64_t x = 0, y = 0; // y counts rows from the bottom
    auto put = [&](unsigned index) {
        if (x < width && y < height)
            pixels[static_cast<size_t>((height - 1 - y) * width + x)] = colourAt(layout, index);
        if (x <= width)
            ++x;
    };
    ByteReader reader(bits, available);
    for (;;) {
        uint8_t count, value;
        if (!reader.u8(count) || !reader.u8(value)) {
            if (y >= height)
                return true; // every row was drawn; only the end mark is missing
            problem = "the run-length data ends before its end mark";
            return false;
        }
        if (count > 0) {
            for (unsigned k = 0; k < count; ++k)
                put(four ? (k % 2 ? value & 0xF : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            if (y <= height)
                ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: { // delta
            uint8_t dx, dy;
            if (!reader.u8(dx) || !reader.u8(dy)) {
                problem = "a run-length delta runs past the end of the data";
                return false;
            }
            x = std::min(x + dx, width);
            y = std::min(y + dy, height);
            break;
        }
        default: { // an absolute stretch of `value` pixels, padded to a WORD
            size_t byteCount = four ? (value + 1u) / 2 : value;
            const uint8_t* stretch;
            if (!reader.bytes(byteCount, stretch)) {
                problem = "a run-length stretch runs past the end of the data";
                return false;
            }
            for (unsigned k = 0; k < value; ++k)
                put(four ? (k % 2 ? stretch[k / 2] & 0xF : stretch[k / 2] >> 4) : stretch[k]);
            if (byteCount % 2)
                reader.skip(1);
            break;
        }
        }
    }
}

core::PixelBuffer makeBuffer(int width, int height, std::vector<core::Pixel> pixels)
{
    core::PixelBuffer buffer;
    buffer.width = width;
    buffer.height = height;
    buffer.pixels = std::move(pixels);
    return buffer;
}

} // namespace

std::optional<core::PixelBuffer> parseDib(const uint8_t* data, size_t size, std::string* error)
{
    auto layout = readLayout(data, size, false, error);
    if (!layout)
        return std::nullopt;
    const uint8_t* bits = data + layout->bitsOffset;
    size_t available = size - layout->bitsOffset;
    std::vector<core::Pixel> pixels;
    if (layout->compression == compressionRle8 || layout->compression == compressionRle4) {
        // The header's image size is the compressed size; 0 means "the rest".
        if (layout->imageSize > available)
            return fail(error, "compressed image of " + std::to_string(layout->imageSize) + " bytes but only " +
                                   std::to_string(available) + " bytes of data");
        if (layout->imageSize)
            available = layout->imageSize;
        std::string problem;
        if (!decodeRunLength(*layout, bits, available, pixels, problem))
            return fail(error, problem);
    } else {
        size_t stride = rowStride(layout->width, layout->bitCount);
        if (stride * static_cast<size_t>(layout->height) > available)
            return fail(error, "pixel data of " + dimensions(layout->width, layout->height) + " x " +
                                   std::to_string(layout->bitCount) + " bits needs " +
                                   std::to_string(stride * static_cast<size_t>(layout->height)) + " bytes, only " +
                                   std::to_string(available) + " present");
        decodeRows(*layout, bits, pixels, nullptr);
    }
    return makeBuffer(layout->width, layout->height, std::move(pixels));
}

std::optional<IconImage> parseIconImage(const uint8_t* data, size_t size, bool isCursor, std::string* error)
{
    ByteReader reader(data, size);
    IconImage result;
    if (isCursor) {
        uint16_t x, y;
        if (!reader.u16(x) || !reader.u16(y))
            return fail(error, "the cursor's hotspot runs past the end of the data");
        result.hotspotX = x;
        result.hotspotY = y;
    }
    const uint8_t* image = reader.here();
    size_t imageSize = reader.remaining();
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (imageSize >= 8 && std::equal(pngSignature, pngSignature + 8, image))
        return fail(error, "a PNG-compressed image, which this layer does not decode");

    auto layout = readLayout(image, imageSize, true, error);
    if (!layout)
        return std::nullopt;
    size_t width = static_cast<size_t>(layout->width), height = static_cast<size_t>(layout->height);
    size_t colourBytes = rowStride(layout->width, layout->bitCount) * height;
    size_t maskStride = rowStride(layout->width, 1);
    size_t available = imageSize - layout->bitsOffset;
    if (colourBytes > available)
        return fail(error, "the colour image of " + dimensions(layout->width, layout->height) + " x " +
                               std::to_string(layout->bitCount) + " bits runs past the end of the data");
    // A 32-bit image with an alpha channel may leave the mask out.
    bool hasMask = maskStride * height <= available - colourBytes;
    if (!hasMask && layout->bitCount != 32)
        return fail(error, "the AND mask runs past the end of the data");

    std::vector<core::Pixel> colours;
    std::vector<uint8_t> alpha;
    decodeRows(*layout, image + layout->bitsOffset, colours, layout->bitCount == 32 ? &alpha : nullptr);
    bool useAlpha = std::any_of(alpha.begin(), alpha.end(), [](uint8_t a) { return a != 0; });
    if (!hasMask && !useAlpha)
        return fail(error, "the AND mask runs past the end of the data");

    const uint8_t* mask = image + layout->bitsOffset + colourBytes;
    result.image.width = layout->width;
    result.image.height = layout->height;
    result.image.argb.resize(width * height);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* maskRow = hasMask ? mask + maskStride * (height - 1 - y) : nullptr;
        for (size_t x = 0; x < width; ++x) {
            size_t i = y * width + x;
            core::Pixel colour = colours[i];
            if (useAlpha) {
                result.image.argb[i] = (static_cast<uint32_t>(alpha[i]) << 24) | colour;
                continue;
            }
            bool screenShows = (maskRow[x / 8] >> (7 - x % 8)) & 1;
            if (!screenShows)
                result.image.argb[i] = 0xFF000000u | colour;
            else if (colour == 0)
                result.image.argb[i] = 0; // transparent
            else
                // The colour XORs the screen: shown as opaque black, which
                // is what an inverted pixel looks like over a light window.
                result.image.argb[i] = 0xFF000000u;
        }
    }
    result.bitCount = layout->bitCount;
    if (isCursor) {
        if (result.hotspotX >= layout->width || result.hotspotY >= layout->height)
            return fail(error, "hotspot (" + std::to_string(result.hotspotX) + ", " + std::to_string(result.hotspotY) +
                                   ") lies outside the " + dimensions(layout->width, layout->height) + " image");
    } else {
        result.hotspotX = layout->width / 2;
        result.hotspotY = layout->height / 2;
    }
    return result;
}

} // namespace win32::resources
