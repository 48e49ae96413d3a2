// The .reg reader and writer on their own: what the registry editor and hand
// editing produce is read, bad files are refused with the right line, and
// every value comes back exactly from what is written.
#include "registry_fixture.h"

#include <functional>
#include <sstream>

using namespace win32::registry;

namespace {

std::vector<uint8_t> bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

Value dword(std::string name, uint32_t n)
{
    return Value{std::move(name), REG_DWORD, {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}};
}

Value string(std::string name, std::string_view text)
{
    std::vector<uint8_t> data = bytes(text);
    data.push_back(0);
    return Value{std::move(name), REG_SZ, data};
}

constexpr const char* huevaneKey = "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane";

struct ReadCase {
    const char* name;
    std::string text;
    Document expected;
};

class RegistryTextReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RegistryTextReads, GivesTheDocument)
{
    SCOPED_TRACE(GetParam().name);
    ParseResult result = parseRegistryText(GetParam().text);
    ASSERT_TRUE(result.ok) << "line " << result.errorLine << ": " << result.errorMessage;
    EXPECT_EQ(describeDocument(result.document), describeDocument(GetParam().expected));
}

const std::string utf16Export = [] {
    // "Windows Registry Editor Version 5.00" exported by regedit: UTF-16LE
    // with a byte order mark, CRLF, and string types in hex as UTF-16LE.
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
                       "\"s\"=\"caf\xC3\xA9\"\r\n\"e\"=hex(2):25,00,50,00,00,00\r\n";
    std::string out = "\xFF\xFE";
    // The test text is UTF-8; widen it by hand for the one non-ASCII letter.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\xC3\xA9") == 0) {
            out += '\xE9';
            out += '\0';
            ++i;
            continue;
        }
        out += text[i];
        out += '\0';
    }
    return out;
}();

INSTANTIATE_TEST_SUITE_P(
    Lenient, RegistryTextReads,
    ::testing::Values(
        ReadCase{"canonical",
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\"0\"=dword:00ff8040\n\n",
                 Document{{Key{huevaneKey, {dword("0", 0x00ff8040)}}}}},
        ReadCase{"crlf, bom, comments, blanks, short and upper-case dword",
                 "\xEF\xBB\xBFREGEDIT4\r\n; written by hand\r\n\r\n  [HKEY_CURRENT_USER\\A]  \r\n\r\n"
                 "  ; a comment\r\n\"x\" = DWORD:FF\r\n@=\"default\"\r\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A", {dword("x", 0xff), string("", "default")}}}}},
        ReadCase{"utf-8 text becomes ANSI when the file says it is utf-8",
                 "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"s\"=\"caf\xC3\xA9\"\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A", {string("s", "caf\xE9")}}}}},
        ReadCase{"utf-16 export of the registry editor", utf16Export,
                 Document{{Key{"HKEY_CURRENT_USER\\A",
                               {string("s", "caf\xE9"), Value{"e", REG_EXPAND_SZ, {'%', 'P', 0}}}}}}},
        ReadCase{"escapes, and a lone backslash kept as written",
                 "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"q\\\"\\\\\"=\"a\\\"b\\\\c\"\n\"p\"=\"C:\\temp\"\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A", {string("q\"\\", "a\"b\\c"), string("p", "C:\\temp")}}}}},
        ReadCase{"hex continued over lines, hex(N), empty hex",
                 "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,02,\\\n  03,\\\n  04\n\"q\"=hex(b):01,00,00,00,00,00,00,00\n"
                 "\"n\"=hex(0):\n\"t\"=hex(12345678):ff,\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A",
                               {Value{"b", REG_BINARY, {1, 2, 3, 4}}, Value{"q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
                                Value{"n", REG_NONE, {}}, Value{"t", 0x12345678, {0xff}}}}}}},
        ReadCase{"a key named twice in any case is one key; a later value wins",
                 "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n[HKEY_CURRENT_USER\\B]\n[hkey_current_user\\a]\n\"X\"=dword:2\n"
                 "\"y\"=dword:3\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A", {dword("x", 2), dword("y", 3)}}, Key{"HKEY_CURRENT_USER\\B", {}}}}},
        ReadCase{"deletions apply as an import applies them",
                 "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n\"y\"=dword:2\n[HKEY_CURRENT_USER\\A\\Sub]\n"
                 "[HKEY_CURRENT_USER\\B]\n[HKEY_CURRENT_USER\\A]\n\"x\"=-\n[-HKEY_CURRENT_USER\\B]\n\"ignored\"=dword:5\n",
                 Document{{Key{"HKEY_CURRENT_USER\\A", {dword("y", 2)}}, Key{"HKEY_CURRENT_USER\\A\\Sub", {}}}}},
        ReadCase{"keys after a deletion, a deleted key made again, a value removed and set again",
                 "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n[HKEY_CURRENT_USER\\B]\n\"y\"=dword:2\n"
                 "[HKEY_CURRENT_USER\\C]\n\"z\"=dword:3\n[-HKEY_CURRENT_USER\\A]\n[hkey_current_user\\c]\n\"Z\"=dword:4\n"
                 "\"w\"=dword:5\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:6\n[HKEY_CURRENT_USER\\B]\n\"y\"=-\n\"u\"=dword:7\n"
                 "\"Y\"=dword:8\n",
                 Document{{Key{"HKEY_CURRENT_USER\\B", {dword("u", 7), dword("Y", 8)}},
                           Key{"HKEY_CURRENT_USER\\C", {dword("z", 4), dword("w", 5)}},
                           Key{"HKEY_CURRENT_USER\\A", {dword("v", 6)}}}}},
        ReadCase{"empty file", "", Document{}},
        ReadCase{"version 5 header only", "Windows Registry Editor Version 5.00\r\n", Document{}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return "case" + std::to_string(info.index); });

struct BadCase {
    std::string text;
    size_t line;
};

class RegistryTextRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(RegistryTextRefuses, NamesTheLine)
{
    ParseResult result = parseRegistryText(GetParam().text);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorLine, GetParam().line) << result.errorMessage;
    EXPECT_FALSE(result.errorMessage.empty());
    EXPECT_TRUE(result.document.keys.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RegistryTextRefuses,
    ::testing::Values(BadCase{"[HKEY_CURRENT_USER\\A]\n", 1}, BadCase{"\n\nREGEDIT 4\n", 3},
                      BadCase{"REGEDIT4\n\"x\"=dword:1\n", 2},
                      BadCase{"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A\r\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\\\A]\n", 2},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:12g4\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n  0x2\n\"c\"=dword:1\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n  02\nrubbish\n", 5},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex(zz):01\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"b\"=hex:123\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"s\"=\"open\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"s\"=\"a\" b\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"name=\"a\"\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\" dword:1\n", 3},
                      BadCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=word:1\n", 3}));

// Values that need each of the writer's forms, and the ones only hex keeps
// exact: a string without its NUL, with one inside, with a line break.
Document everyValueForm()
{
    std::vector<uint8_t> longBinary;
    for (int i = 0; i < 200; ++i)
        longBinary.push_back(uint8_t(i * 7));
    return Document{{
        Key{"HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane",
            {
                dword("0", 0xffffffff),
                string("", "default"),
                string("quote\" and \\ name", "C:\\Program Files\\\"x\""),
                Value{"unterminated", REG_SZ, bytes("abc")},
                Value{"inner nul", REG_SZ, {'a', 0, 'b', 0}},
                Value{"line break", REG_SZ, {'a', '\n', 'b', 0}},
                Value{"empty sz", REG_SZ, {}},
                Value{"expand", REG_EXPAND_SZ, {'%', 'H', '%', 0}},
                Value{"multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}},
                Value{"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
                Value{"short dword", REG_DWORD, {1, 2, 3}},
                Value{"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
                Value{"none", REG_NONE, {}},
                Value{"odd type", 0xfedcba98, {9}},
                Value{"binary", REG_BINARY, longBinary},
                Value{"high ansi \xE9\x80", REG_SZ, {0xE9, 0x80, 0xFF, 0}},
            }},
        Key{"HKEY_LOCAL_MACHINE\\Foreign]Name", {dword("x", 1)}},
        Key{"HKEY_CURRENT_USER\\Empty", {}},
    }};
}

TEST(RegistryText, EveryValueComesBackExactlyFromTheText)
{
    Document original = everyValueForm();
    std::string text = formatRegistryText(original);
    ParseResult result = parseRegistryText(text);
    ASSERT_TRUE(result.ok) << "line " << result.errorLine << ": " << result.errorMessage << "\n" << text;
    EXPECT_EQ(describeDocument(result.document), describeDocument(original));
    EXPECT_EQ(formatRegistryText(result.document), text);
}

// Where two documents first differ, short enough to print when they hold MiBs.
std::string firstDifference(const Document& a, const Document& b)
{
    if (a.keys.size() != b.keys.size())
        return std::to_string(a.keys.size()) + " keys, not " + std::to_string(b.keys.size());
    for (size_t k = 0; k < a.keys.size(); ++k) {
        const Key &x = a.keys[k], &y = b.keys[k];
        if (x.path != y.path || x.values.size() != y.values.size())
            return "key " + std::to_string(k) + " '" + x.path.substr(0, 80) + "'";
        for (size_t v = 0; v < x.values.size(); ++v)
            if (!(x.values[v] == y.values[v]))
                return "value '" + x.values[v].name.substr(0, 80) + "' of key '" + x.path.substr(0, 80) + "'";
    }
    return "none";
}

std::vector<uint8_t> pattern(size_t size)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = uint8_t(i * 131 + (i >> 9));
    return data;
}

struct HostileDocument {
    const char* what;
    std::function<Document()> make;
};

// What a hostile or careless writer can put through the Reg* calls: the file
// holds it exactly, however big or odd (line breaks in names aside, which
// the calls refuse because the format has no way to write them).
TEST(RegistryText, HostileDocumentsComeBackExactlyFromTheText)
{
    const HostileDocument cases[] = {
        {"a 4 MiB binary value over some 50000 continuation lines",
         [] { return Document{{Key{"HKEY_CURRENT_USER\\A", {Value{"blob", REG_BINARY, pattern(4 << 20)}}}}}; }},
        {"a 4 MiB string on one line, full of quotes and backslashes",
         [] {
             std::string text;
             while (text.size() < (4u << 20))
                 text += "C:\\\"x\\\\\" ;[]@=-";
             return Document{{Key{"HKEY_CURRENT_USER\\A", {string("s", text), Value{"u", REG_EXPAND_SZ, bytes(text)}}}}};
         }},
        {"20000 keys of one value, then one key of 20000 values",
         [] {
             Document document;
             for (int i = 0; i < 20000; ++i)
                 document.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Many\\Key " + std::to_string(i), {dword("v", i)}});
             Key wide{"HKEY_CURRENT_USER\\Software\\Wide", {}};
             for (int i = 0; i < 20000; ++i)
                 wide.values.push_back(dword("value " + std::to_string(i), i));
             document.keys.push_back(wide);
             return document;
         }},
        {"names with quotes, backslashes, brackets and the format's other marks",
         [] {
             return Document{{Key{"HKEY_CURRENT_USER\\[x]\\;not a comment\\\"quoted\"\\-dash\\@\\a=b\\ends]",
                                  {dword("\"", 1), dword("\\", 2), dword("\\\"", 3), dword("[x]", 4),
                                   dword(";not a comment", 5), dword("@", 6), dword("a\"=b", 7), dword("\"=-", 8),
                                   dword("=-", 9), dword(" padded ", 10), dword("ends\\", 11)}},
                              Key{"HKEY_CURRENT_USER\\ spaced \\\ttab", {string("-", "-")}}}};
         }},
        {"NUL, control and high bytes in names and data",
         [] {
             std::string odd("a\0b\x01\x1f\x7f\x80\xff", 8);
             return Document{{Key{"HKEY_CURRENT_USER\\" + odd.substr(1),
                                  {Value{odd, REG_SZ, bytes(odd)}, Value{"nuls", REG_SZ, std::vector<uint8_t>(9, 0)},
                                   Value{"cr", REG_SZ, {'a', '\r', 0}}, Value{"multi", REG_MULTI_SZ, {0, 0}},
                                   Value{"odd dword", REG_DWORD, {1, 2, 3, 4, 5}}}}}};
         }},
    };
    for (const HostileDocument& c : cases) {
        SCOPED_TRACE(c.what);
        Document original = c.make();
        std::string text = formatRegistryText(original);
        ParseResult result = parseRegistryText(text);
        ASSERT_TRUE(result.ok) << "line " << result.errorLine << ": " << result.errorMessage;
        EXPECT_TRUE(result.document == original) << "first difference: " << firstDifference(result.document, original);
        EXPECT_TRUE(formatRegistryText(result.document) == text);
    }
}

struct HostileText {
    const char* what;
    std::string text;
    size_t line;
};

TEST(RegistryText, HostileTextIsRefusedAtItsLine)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char(i * 37);
    const std::string header = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
    const HostileText cases[] = {
        {"binary garbage", garbage, 1},
        {"a NUL before the header", std::string("\0REGEDIT4\n", 10), 1},
        {"old Mac line ends", "REGEDIT4\r[HKEY_CURRENT_USER\\A]\r\"x\"=dword:1\r", 1},
        {"a NUL after a dword", header + std::string("\"x\"=dword:1\0\n", 13), 3},
        {"a NUL in a hex list", header + std::string("\"b\"=hex:01,\0,02\n", 16), 3},
        {"a 4 MiB line of garbage", "REGEDIT4\n" + std::string(4 << 20, 'x') + "\n", 2},
        {"a 4 MiB key line without its ]", "REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(4 << 20, 'k') + "\n", 2},
        {"a 4 MiB string without its closing quote", header + "\"s\"=\"" + std::string(4 << 20, 's') + "\n", 3},
        {"a 4 MiB value name without its closing quote", header + "\"" + std::string(4 << 20, 'n') + "=dword:1\n", 3},
        {"garbage inside 3000 continuation lines",
         [&] {
             std::string text = header + "\"b\"=hex:00,\\\n";
             for (int i = 0; i < 3000; ++i)
                 text += "  01,02,\\\n";
             return text + "  zz\n\"c\"=dword:1\n";
         }(),
         3},
        {"a UTF-16 file of garbage", std::string("\xFF\xFE", 2) + garbage, 1},
    };
    for (const HostileText& c : cases) {
        SCOPED_TRACE(c.what);
        ParseResult result = parseRegistryText(c.text);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.errorLine, c.line) << result.errorMessage;
        EXPECT_FALSE(result.errorMessage.empty());
    }

    // A NUL inside quotes is only a byte of the string.
    ParseResult nul = parseRegistryText(header + std::string("\"a\0b\"=\"c\0d\"\n", 12));
    ASSERT_TRUE(nul.ok) << nul.errorMessage;
    EXPECT_EQ(describeDocument(nul.document),
              describeDocument(Document{{Key{"HKEY_CURRENT_USER\\A",
                                             {Value{std::string("a\0b", 3), REG_SZ, {'c', 0, 'd', 0}}}}}}));
}

TEST(RegistryText, WritesTheCanonicalForms)
{
    Document document{{Key{"HKEY_CURRENT_USER\\A",
                           {dword("d", 0x2a), string("", "x\\\"y"), Value{"u", REG_SZ, bytes("abc")},
                            Value{"b", REG_BINARY, {0xde, 0xad}}, Value{"m", REG_MULTI_SZ, {'a', 0, 0}}}},
                       Key{"HKEY_CURRENT_USER\\B", {}}}};
    EXPECT_EQ(formatRegistryText(document), "REGEDIT4\n"
                                            "\n"
                                            "[HKEY_CURRENT_USER\\A]\n"
                                            "\"d\"=dword:0000002a\n"
                                            "@=\"x\\\\\\\"y\"\n"
                                            "\"u\"=hex(1):61,62,63\n"
                                            "\"b\"=hex:de,ad\n"
                                            "\"m\"=hex(7):61,00,00\n"
                                            "\n"
                                            "[HKEY_CURRENT_USER\\B]\n"
                                            "\n");
}

TEST(RegistryText, WrapsLongHexLinesAsTheRegistryEditorDoes)
{
    Document document{{Key{"HKEY_CURRENT_USER\\A", {Value{"blob", REG_BINARY, std::vector<uint8_t>(100, 0xab)}}}}};
    std::string text = formatRegistryText(document);
    std::istringstream lines(text.substr(text.find("\"blob\"")));
    std::string line;
    std::vector<std::string> valueLines;
    while (std::getline(lines, line) && !line.empty())
        valueLines.push_back(line);
    ASSERT_GT(valueLines.size(), 1u);
    EXPECT_EQ(valueLines[0].rfind("\"blob\"=hex:ab,ab,", 0), 0u);
    for (size_t i = 0; i < valueLines.size(); ++i) {
        SCOPED_TRACE(valueLines[i]);
        EXPECT_LE(valueLines[i].size(), 80u);
        if (i > 0)
            EXPECT_EQ(valueLines[i].rfind("  ab", 0), 0u);
        bool last = i + 1 == valueLines.size();
        EXPECT_EQ(valueLines[i].ends_with(",\\"), !last);
        // Lines are filled: the next byte would not have fitted.
        if (!last)
            EXPECT_GT(valueLines[i].size() + 3, 80u);
    }
}

TEST(RegistryText, NamesCompareWithoutCaseInTheAnsiCodePage)
{
    EXPECT_TRUE(namesEqual("Software\\Korvell", "SOFTWARE\\korvell"));
    EXPECT_TRUE(namesEqual("caf\xE9 \x9A\xFF", "CAF\xC9 \x8A\x9F"));
    EXPECT_FALSE(namesEqual("\xF7", "\xD7")); // division and multiplication signs are not a pair
    EXPECT_FALSE(namesEqual("ab", "abc"));
}

TEST(RegistryText, KeysExistThroughTheSectionsBelowThem)
{
    Document document{{Key{"HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane", {}}}};
    EXPECT_TRUE(keyExists(document, "HKEY_CURRENT_USER"));
    EXPECT_TRUE(keyExists(document, "hkey_current_user\\SOFTWARE"));
    EXPECT_TRUE(keyExists(document, "HKEY_CURRENT_USER\\Software\\Korvell Software"));
    EXPECT_FALSE(keyExists(document, "HKEY_CURRENT_USER\\Soft"));
    EXPECT_FALSE(keyExists(document, "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane\\Sub"));
    EXPECT_TRUE(hasSubkeys(document, "HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(hasSubkeys(document, "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane"));
}

} // namespace
