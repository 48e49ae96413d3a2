// The registry's contents as the REGEDIT4 text that holds them: reading and
// writing the .reg format the Windows registry editor imports and exports.
// Pure functions on text, no files: the disk side is registry_file.h.
// Left out: the editor's UTF-16 output (it is read, never written) and
// `hex(N)` data in other code pages than the one the ANSI calls use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win32::registry {

struct Value {
    std::string name; // "" is the key's default value, written `@`
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;

    bool operator==(const Value&) const = default;
};

// One `[...]` section. The path is the full one, root included
// ("HKEY_CURRENT_USER\Software\..."), spelt as it was first written.
struct Key {
    std::string path;
    std::vector<Value> values; // in the order they were first set

    bool operator==(const Key&) const = default;
};

// Keys in the order they were read, new keys appended. A key without its own
// section still exists when a section below it does: importing a .reg file
// creates every missing level, so writing the levels out would add nothing.
struct Document {
    std::vector<Key> keys;

    bool operator==(const Document&) const = default;
};

struct ParseResult {
    bool ok = false;
    Document document;
    size_t errorLine = 0; // 1-based, counted in the file as stored
    std::string errorMessage;
};

// Accepts REGEDIT4 and "Windows Registry Editor Version 5.00" files, CRLF or
// LF line ends, a UTF-8 or UTF-16LE byte order mark (the text is then turned
// into the ANSI code page, as the A calls see it), blank lines and `;`
// comments. Deletions (`[-key]`, `"name"=-`) are applied as an import would.
ParseResult parseRegistryText(std::string_view text);

// Canonical REGEDIT4: LF line ends, dwords as 8 lower-case hex digits, hex
// lists wrapped at 80 columns. Parsing the result gives the same document.
std::string formatRegistryText(const Document& document);

// Key and value names compare without regard to case, as Windows compares
// them; letters of the ANSI code page (Windows-1252) fold too.
bool namesEqual(std::string_view a, std::string_view b);

Key* findKey(Document& document, std::string_view path);
const Key* findKey(const Document& document, std::string_view path);
// True for a key with its own section, one with sections below it, and a root.
bool keyExists(const Document& document, std::string_view path);
bool hasSubkeys(const Document& document, std::string_view path);
Key& addKey(Document& document, std::string_view path);
// Removes the key's section and every section below it.
void removeKeyTree(Document& document, std::string_view path);

Value* findValue(std::vector<Value>& values, std::string_view name);
const Value* findValue(const std::vector<Value>& values, std::string_view name);
// Replaces a value in place (keeping its position and the spelling of its
// name) or appends it.
void setValue(std::vector<Value>& values, std::string_view name, DWORD type, std::vector<uint8_t> data);
bool removeValue(std::vector<Value>& values, std::string_view name);

} // namespace win32::registry
