// Windows-1252 conversions. Bytes 0x80-0x9F are the code page's own
// characters; the rest match Latin-1.
#include "core/text_encoding.h"

namespace win32::core {

namespace {
// 0x80..0x9F; 0 marks the five bytes the code page leaves undefined (they map
// to the C1 control of the same number, as the system's table does).
const char16_t highControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
} // namespace

char32_t unicodeFromAnsiChar(unsigned char c)
{
    if (c >= 0x80 && c <= 0x9F && highControls[c - 0x80] != 0)
        return highControls[c - 0x80];
    return c;
}

unsigned char ansiCharFromUnicode(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i) {
        if (highControls[i] == c)
            return static_cast<unsigned char>(0x80 + i);
        if (highControls[i] == 0 && c == static_cast<char32_t>(0x80 + i))
            return static_cast<unsigned char>(c);
    }
    return '?';
}

std::string ansiFromUtf16(const uint16_t* text, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out += static_cast<char>(ansiCharFromUnicode(c));
    }
    return out;
}

std::u32string unicodeFromAnsi(const std::string& ansi)
{
    std::u32string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi)
        out += unicodeFromAnsiChar(c);
    return out;
}

std::string utf8FromUnicode(char32_t c)
{
    std::string out;
    appendUtf8(out, c);
    return out;
}

std::string utf8FromAnsi(const std::string& ansi)
{
    std::string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi)
        appendUtf8(out, unicodeFromAnsiChar(c));
    return out;
}

std::string ansiFromUtf8(const std::string& utf8)
{
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        char32_t c = lead;
        int extra = 0;
        if (lead >= 0xF0 && lead < 0xF8) {
            c = lead & 0x07;
            extra = 3;
        } else if (lead >= 0xE0) {
            c = lead & 0x0F;
            extra = 2;
        } else if (lead >= 0xC0) {
            c = lead & 0x1F;
            extra = 1;
        } else if (lead >= 0x80) {
            out += '?'; // a stray continuation byte
            ++i;
            continue;
        }
        ++i;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        }
        out += valid ? static_cast<char>(ansiCharFromUnicode(c)) : '?';
    }
    return out;
}

} // namespace win32::core
