// Windows-1252 <-> Unicode, the conversion the ANSI entry points make: 8-bit
// text in the program, UTF-16 in resources, UTF-8 towards the desktop.
#pragma once

#include <cstdint>
#include <string>

namespace win32::core {

char32_t unicodeFromAnsiChar(unsigned char c);
// Characters outside Windows-1252 become '?', as the system's conversion does.
unsigned char ansiCharFromUnicode(char32_t c);

std::string ansiFromUtf16(const uint16_t* text, size_t length);
std::u32string unicodeFromAnsi(const std::string& ansi);
std::string utf8FromAnsi(const std::string& ansi);
std::string ansiFromUtf8(const std::string& utf8);
std::string utf8FromUnicode(char32_t c);

} // namespace win32::core
