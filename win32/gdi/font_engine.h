// Fonts behind GDI's HFONT: a LOGFONTA resolved to a font file (Windows face
// names mapped to the Liberation families, anything else through
// fontconfig), opened with FreeType at one pixel size, with Windows-style
// metrics and a glyph cache. Shared by the files of win32/gdi only.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace win32::gdi {

// In whole pixels, as TEXTMETRIC reports them.
struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int averageWidth = 0;
    int maximumWidth = 0;
    int underlinePosition = 1;  // below the baseline
    int underlineThickness = 1;
    int strikeoutPosition = 3;  // above the baseline
    int strikeoutThickness = 1;
    bool fixedPitch = false;
    BYTE family = 0x20; // FF_SWISS
    int height() const { return ascent + descent; }
};

// A rendered glyph: 8-bit coverage, placed relative to the pen position on
// the baseline.
struct Glyph {
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<uint8_t> coverage; // rows * width
};

class FontInstance {
public:
    virtual ~FontInstance() = default;
    virtual const FontMetrics& metrics() const = 0;
    // Text is Windows-1252; glyphs are cached by byte.
    virtual const Glyph& glyph(unsigned char character) = 0;
    int advance(unsigned char character) { return glyph(character).advance; }
};

// The instance for a logical font; instances are shared between fonts of
// the same face, size and style.
std::shared_ptr<FontInstance> fontInstanceFor(const LOGFONTA& font);

} // namespace win32::gdi
