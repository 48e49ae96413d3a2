// Reading and writing REGEDIT4 text. The reader is lenient in what the
// registry editor and hand editing produce; the writer always produces the
// one canonical form, so that a file written twice is the same file.
// Start with parseRegistryText; the value syntax is in parseValueData.
#include "registry/registry_document.h"

#include "core/text_encoding.h"

#include <cstdio>
#include <optional>
#include <unordered_map>

namespace win32::registry {

namespace {

constexpr std::string_view headerVersion4 = "REGEDIT4";
constexpr std::string_view headerVersion5 = "Windows Registry Editor Version 5.00";
// The registry editor keeps hex lines within 80 columns, the backslash included.
constexpr size_t maximumLineWidth = 80;
constexpr std::string_view continuationIndent = "  ";

struct Line {
    std::string_view text;
    size_t number;
};

struct Failure {
    size_t line;
    std::string message;
};

unsigned char upperAnsi(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A; // s with caron
    case 0x9C: return 0x8C; // oe
    case 0x9E: return 0x8E; // z with caron
    case 0xFF: return 0x9F; // y with diaeresis
    default: return c;
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && namesEqual(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to maximumDigits hex digits and nothing else.
std::optional<uint32_t> parseHexNumber(std::string_view s, size_t maximumDigits)
{
    if (s.empty() || s.size() > maximumDigits)
        return std::nullopt;
    uint32_t n = 0;
    for (char c : s) {
        int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = (n << 4) | static_cast<uint32_t>(d);
    }
    return n;
}

// The file as the ANSI calls see it. Without a byte order mark the bytes are
// the ANSI code page already, which is what REGEDIT4 means.
std::string decodeText(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::vector<uint16_t> units;
        units.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            units.push_back(static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        return core::ansiFromUtf16(units.data(), units.size());
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return core::ansiFromUtf8(std::string(bytes.substr(3)));
    return std::string(bytes);
}

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    size_t number = 1;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(Line{line, number++});
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A quoted name or string starting after its opening quote. The editor
// escapes only backslash and quote; any other backslash is kept as written,
// which is what a hand-written Windows path needs.
std::optional<std::string> parseQuoted(std::string_view& rest)
{
    std::string out;
    while (!rest.empty()) {
        char c = rest.front();
        rest.remove_prefix(1);
        if (c == '"')
            return out;
        if (c == '\\' && !rest.empty() && (rest.front() == '\\' || rest.front() == '"')) {
            out += rest.front();
            rest.remove_prefix(1);
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// "de,ad,be,ef", possibly ending in a comma; whitespace around bytes allowed.
std::optional<std::vector<uint8_t>> parseByteList(std::string_view list)
{
    std::vector<uint8_t> bytes;
    list = trim(list);
    if (list.empty())
        return bytes;
    while (true) {
        size_t comma = list.find(',');
        std::string_view item = trim(list.substr(0, comma));
        std::optional<uint32_t> byte = parseHexNumber(item, 2);
        if (!byte)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(*byte));
        if (comma == std::string_view::npos)
            return bytes;
        list = trim(list.substr(comma + 1));
        if (list.empty())
            return bytes;
    }
}

struct ParsedData {
    bool remove = false;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// The part after `=`, continuation lines of hex data already joined.
std::optional<ParsedData> parseValueData(std::string_view data, bool unicodeFile, std::string& message)
{
    ParsedData parsed;
    data = trimRight(data);
    if (data == "-") {
        parsed.remove = true;
        return parsed;
    }
    if (!data.empty() && data.front() == '"') {
        data.remove_prefix(1);
        std::optional<std::string> text = parseQuoted(data);
        if (!text || !trim(data).empty()) {
            message = text ? "unexpected text after a string value" : "string value without its closing quote";
            return std::nullopt;
        }
        parsed.type = REG_SZ;
        parsed.data.assign(text->begin(), text->end());
        parsed.data.push_back(0);
        return parsed;
    }
    if (startsWithNoCase(data, "dword:")) {
        std::optional<uint32_t> number = parseHexNumber(trim(data.substr(6)), 8);
        if (!number) {
            message = "a dword needs 1 to 8 hex digits";
            return std::nullopt;
        }
        parsed.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8)
            parsed.data.push_back(static_cast<uint8_t>(*number >> shift));
        return parsed;
    }
    if (startsWithNoCase(data, "hex")) {
        std::string_view rest = data.substr(3);
        parsed.type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            size_t close = rest.find(')');
            std::optional<uint32_t> type = close == std::string_view::npos ? std::nullopt : parseHexNumber(rest.substr(1, close - 1), 8);
            if (!type) {
                message = "hex(N) needs a hex type number";
                return std::nullopt;
            }
            parsed.type = *type;
            rest = rest.substr(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            message = "hex data needs a colon";
            return std::nullopt;
        }
        std::optional<std::vector<uint8_t>> bytes = parseByteList(rest.substr(1));
        if (!bytes) {
            message = "hex data must be two-digit hex bytes separated by commas";
            return std::nullopt;
        }
        parsed.data = std::move(*bytes);
        // A version 5 file holds string types as UTF-16LE; the ANSI calls
        // see them converted, as regedit's import would store them.
        if (unicodeFile && isStringType(parsed.type) && parsed.data.size() % 2 == 0) {
            std::vector<uint16_t> units(parsed.data.size() / 2);
            for (size_t i = 0; i < units.size(); ++i)
                units[i] = static_cast<uint16_t>(parsed.data[2 * i] | (parsed.data[2 * i + 1] << 8));
            std::string ansi = core::ansiFromUtf16(units.data(), units.size());
            parsed.data.assign(ansi.begin(), ansi.end());
        }
        return parsed;
    }
    message = "unknown value data (expected \"string\", dword:, hex: or hex(N):)";
    return std::nullopt;
}

// Full key paths: non-empty levels separated by single backslashes.
bool isValidKeyPath(std::string_view path)
{
    if (path.empty())
        return false;
    size_t start = 0;
    while (true) {
        size_t slash = path.find('\\', start);
        if (slash == start || start == path.size())
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

bool isBelow(std::string_view path, std::string_view ancestor)
{
    return path.size() > ancestor.size() + 1 && path[ancestor.size()] == '\\' &&
           namesEqual(path.substr(0, ancestor.size()), ancestor);
}

// The name as namesEqual sees it: two names are equal when these are.
std::string folded(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        c = static_cast<char>(upperAnsi(static_cast<unsigned char>(c)));
    return out;
}

// The document being read, its keys and each key's values found by folded
// name through hash tables, so that a file of many thousands of keys or
// values reads in linear time. Lookups match what findKey and findValue
// would find, new keys and values are appended as addKey and setValue
// append them, and a deletion rebuilds the tables whose positions it shifts.
class IndexedDocument {
public:
    explicit IndexedDocument(Document& document) : document_(document) { rebuild(); }

    // The key's position, added when it is new.
    size_t keyFor(std::string_view path)
    {
        auto [found, added] = keys_.try_emplace(folded(path), document_.keys.size());
        if (added) {
            addKey(document_, path);
            values_.emplace_back();
        }
        return found->second;
    }

    void removeTree(std::string_view path)
    {
        size_t before = document_.keys.size();
        removeKeyTree(document_, path);
        if (document_.keys.size() != before)
            rebuild();
    }

    void setValue(size_t key, std::string_view name, DWORD type, std::vector<uint8_t> data)
    {
        std::vector<Value>& values = document_.keys[key].values;
        auto [found, added] = values_[key].try_emplace(folded(name), values.size());
        if (added) {
            values.push_back(Value{std::string(name), type, std::move(data)});
            return;
        }
        values[found->second].type = type;
        values[found->second].data = std::move(data);
    }

    void removeValue(size_t key, std::string_view name)
    {
        if (registry::removeValue(document_.keys[key].values, name))
            indexValues(key);
    }

private:
    void rebuild()
    {
        keys_.clear();
        values_.assign(document_.keys.size(), {});
        for (size_t key = 0; key < document_.keys.size(); ++key) {
            keys_.try_emplace(folded(document_.keys[key].path), key);
            indexValues(key);
        }
    }

    void indexValues(size_t key)
    {
        values_[key].clear();
        const std::vector<Value>& values = document_.keys[key].values;
        for (size_t value = 0; value < values.size(); ++value)
            values_[key].try_emplace(folded(values[value].name), value);
    }

    Document& document_;
    std::unordered_map<std::string, size_t> keys_;
    std::vector<std::unordered_map<std::string, size_t>> values_;
};

std::optional<Failure> parseLines(const std::vector<Line>& lines, Document& document)
{
    size_t index = 0;
    while (index < lines.size() && trim(lines[index].text).empty())
        ++index;
    if (index == lines.size())
        return std::nullopt; // an empty file is an empty registry
    std::string_view header = trim(lines[index].text);
    bool unicodeFile = namesEqual(header, headerVersion5);
    if (!unicodeFile && !namesEqual(header, headerVersion4))
        return Failure{lines[index].number, "the first line must be REGEDIT4"};

    // -1: no section yet; -2: inside a deleted section, whose values are
    // checked and dropped as an import drops them.
    long current = -1;
    IndexedDocument indexed(document);
    for (++index; index < lines.size(); ++index) {
        const Line& line = lines[index];
        std::string_view text = trim(line.text);
        if (text.empty() || text.front() == ';')
            continue;

        if (text.front() == '[') {
            size_t close = text.rfind(']');
            if (close == std::string_view::npos || close + 1 != text.size())
                return Failure{line.number, "a key line must end with ]"};
            std::string_view path = text.substr(1, close - 1);
            bool remove = !path.empty() && path.front() == '-';
            if (remove)
                path.remove_prefix(1);
            if (!isValidKeyPath(path))
                return Failure{line.number, "invalid key path"};
            if (remove) {
                indexed.removeTree(path);
                current = -2;
                continue;
            }
            current = static_cast<long>(indexed.keyFor(path));
            continue;
        }

        if (text.front() != '"' && text.front() != '@')
            return Failure{line.number, "unexpected text (expected [key], \"name\"=... or @=...)"};

        std::string name;
        std::string_view rest = text.substr(1);
        if (text.front() == '"') {
            std::optional<std::string> quoted = parseQuoted(rest);
            if (!quoted)
                return Failure{line.number, "value name without its closing quote"};
            name = std::move(*quoted);
        }
        rest = trimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Failure{line.number, "a value name must be followed by ="};
        rest = trimLeft(rest.substr(1));

        // Hex data may go on over lines that end in a backslash. Each line is
        // appended once, so a value of many MiB joins in linear time.
        std::string joined(trimRight(rest));
        size_t firstLine = line.number;
        while (!joined.empty() && joined.back() == '\\' && startsWithNoCase(rest, "hex")) {
            joined.pop_back();
            if (index + 1 == lines.size())
                break;
            joined += trim(lines[++index].text);
        }

        std::string message;
        std::optional<ParsedData> parsed = parseValueData(joined, unicodeFile, message);
        if (!parsed)
            return Failure{firstLine, message};
        if (current == -1)
            return Failure{firstLine, "a value before the first [key]"};
        if (current == -2)
            continue;
        if (parsed->remove)
            indexed.removeValue(static_cast<size_t>(current), name);
        else
            indexed.setValue(static_cast<size_t>(current), name, parsed->type, std::move(parsed->data));
    }
    return std::nullopt;
}

void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// A REG_SZ goes in quotes only when quoting keeps it exact: one terminating
// NUL, none inside, and no line break that would end the line.
bool fitsInQuotes(const Value& value)
{
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        uint8_t c = value.data[i];
        if (c == 0 || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

void appendHexList(std::string& out, size_t lineStart, const std::vector<uint8_t>& data)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0) {
            // Room for ",xx" and a possible ",\" after it.
            if (out.size() - lineStart + 3 + 2 > maximumLineWidth) {
                out += ",\\\n";
                lineStart = out.size();
                out += continuationIndent;
            } else {
                out += ',';
            }
        }
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
}

void appendValue(std::string& out, const Value& value)
{
    size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        appendQuoted(out, value.name);
    out += '=';
    if (fitsInQuotes(value)) {
        appendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        char number[16];
        uint32_t n = static_cast<uint32_t>(value.data[0]) | (static_cast<uint32_t>(value.data[1]) << 8) |
                     (static_cast<uint32_t>(value.data[2]) << 16) | (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(number, sizeof number, "dword:%08x", n);
        out += number;
    } else {
        if (value.type == REG_BINARY) {
            out += "hex:";
        } else {
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            out += prefix;
        }
        appendHexList(out, lineStart, value.data);
    }
    out += '\n';
}

} // namespace

bool namesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upperAnsi(static_cast<unsigned char>(a[i])) != upperAnsi(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

ParseResult parseRegistryText(std::string_view text)
{
    ParseResult result;
    std::string decoded = decodeText(text);
    std::optional<Failure> failure = parseLines(splitLines(decoded), result.document);
    if (failure) {
        result.document = Document{};
        result.errorLine = failure->line;
        result.errorMessage = std::move(failure->message);
        return result;
    }
    result.ok = true;
    return result;
}

std::string formatRegistryText(const Document& document)
{
    std::string out;
    out += headerVersion4;
    out += "\n\n";
    for (const Key& key : document.keys) {
        out += '[';
        out += key.path;
        out += "]\n";
        for (const Value& value : key.values)
            appendValue(out, value);
        out += '\n';
    }
    return out;
}

Key* findKey(Document& document, std::string_view path)
{
    for (Key& key : document.keys) {
        if (namesEqual(key.path, path))
            return &key;
    }
    return nullptr;
}

const Key* findKey(const Document& document, std::string_view path)
{
    return findKey(const_cast<Document&>(document), path);
}

bool keyExists(const Document& document, std::string_view path)
{
    if (path.find('\\') == std::string_view::npos)
        return true; // the roots always exist
    return findKey(document, path) || hasSubkeys(document, path);
}

bool hasSubkeys(const Document& document, std::string_view path)
{
    for (const Key& key : document.keys) {
        if (isBelow(key.path, path))
            return true;
    }
    return false;
}

Key& addKey(Document& document, std::string_view path)
{
    document.keys.push_back(Key{std::string(path), {}});
    return document.keys.back();
}

void removeKeyTree(Document& document, std::string_view path)
{
    std::erase_if(document.keys, [&](const Key& key) { return namesEqual(key.path, path) || isBelow(key.path, path); });
}

Value* findValue(std::vector<Value>& values, std::string_view name)
{
    for (Value& value : values) {
        if (namesEqual(value.name, name))
            return &value;
    }
    return nullptr;
}

const Value* findValue(const std::vector<Value>& values, std::string_view name)
{
    return findValue(const_cast<std::vector<Value>&>(values), name);
}

void setValue(std::vector<Value>& values, std::string_view name, DWORD type, std::vector<uint8_t> data)
{
    if (Value* existing = findValue(values, name)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back(Value{std::string(name), type, std::move(data)});
}

bool removeValue(std::vector<Value>& values, std::string_view name)
{
    return std::erase_if(values, [&](const Value& value) { return namesEqual(value.name, name); }) > 0;
}

} // namespace win32::registry
