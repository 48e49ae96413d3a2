// Writes a PixelBuffer as an 8-bit RGB PNG file.
#include "backend/headless/png_writer.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace win32::backend {

bool writePngFile(const std::string& path, const core::PixelBuffer& image)
{
    if (image.width <= 0 || image.height <= 0
        || image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return false;

    // Our pixels are 0x00RRGGBB words; libpng wants bytes in R, G, B order.
    const size_t stride = static_cast<size_t>(image.width) * 3;
    std::vector<uint8_t> rgb(stride * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        const core::Pixel* source = image.row(y);
        uint8_t* target = rgb.data() + stride * static_cast<size_t>(y);
        for (int x = 0; x < image.width; ++x) {
            target[0] = static_cast<uint8_t>(source[x] >> 16);
            target[1] = static_cast<uint8_t>(source[x] >> 8);
            target[2] = static_cast<uint8_t>(source[x]);
            target += 3;
        }
    }

    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    const int written = png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), static_cast<png_int_32>(stride), nullptr);
    png_image_free(&png);
    return written != 0;
}

} // namespace win32::backend
