// Screenshots of the headless screen as PNG files, through libpng's simplified
// interface (it reports errors by return value, so no setjmp is needed here).
// Writes 8-bit RGB only: the screen has no transparency.
#pragma once

#include "core/pixels.h"

#include <string>

namespace win32::backend {

// False when the image is empty or the file cannot be written.
bool writePngFile(const std::string& path, const core::PixelBuffer& image);

} // namespace win32::backend
