// The version block: the program's real one, and a hand-made tree with the
// layouts resource compilers disagree on.
#include "resource_fixture.h"

using namespace resource_tests;
namespace res = win32::resources;

namespace {

TEST(Version, ProgramVersionBlock)
{
    std::vector<uint8_t> bytes = realResource(16, 1105);
    std::string error;
    auto info = res::parseVersion(bytes.data(), bytes.size(), &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->fileVersionMS, 0x00010000u);
    EXPECT_EQ(info->fileVersionLS, 0x00000001u);
    EXPECT_EQ(info->productVersionMS, 0x00010000u);
    EXPECT_EQ(info->productVersionLS, 0x00000001u);
    EXPECT_EQ(info->fileFlagsMask, 0x17u);
    EXPECT_EQ(info->fileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(info->fileType, static_cast<DWORD>(VFT_APP));

    ASSERT_EQ(info->stringTables.size(), 1u);
    EXPECT_EQ(info->stringTables[0].key, "080904E4");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"CompanyName", "Korvell Software Ltd."},
        {"FileDescription", "A colour finding tool."},
        {"FileVersion", "1.0"},
        {"InternalName", "Huev"},
        {"OriginalFilename", ""},
        {"ProductName", "Huevane"},
        {"ProductVersion", "1.0"},
        {"Comments", "http://www.korvell.example/"},
        {"LegalCopyright", "Copyright (C) 2003 Korvell Software Ltd."},
    };
    EXPECT_EQ(info->stringTables[0].entries, expected);
    EXPECT_EQ(info->translations, (std::vector<uint32_t>{0x04E40809}));
}

// One node of a version tree: header, key, aligned value, aligned children.
std::vector<uint8_t> node(const std::string& key, uint16_t type, const std::vector<uint8_t>& value,
                          uint16_t valueLength, const std::vector<std::vector<uint8_t>>& children)
{
    Bytes body;
    body.u16(0).u16(valueLength).u16(type).text(key).align4().append(value);
    for (const auto& child : children)
        body.align4().append(child);
    patch16(body.data, 0, static_cast<uint16_t>(body.size()));
    return body.data;
}

std::vector<uint8_t> utf16(const std::string& text, bool terminated)
{
    Bytes b;
    for (char c : text)
        b.u16(static_cast<unsigned char>(c));
    if (terminated)
        b.u16(0);
    return b.data;
}

TEST(Version, ValueLengthsWithAndWithoutTheNul)
{
    // One string counts its NUL, one does not, one claims more than its block
    // holds; an unknown block is skipped; there is no fixed part.
    std::vector<uint8_t> tree = node(
        "VS_VERSION_INFO", 0, {}, 0,
        {node("Unknown", 1, utf16("zz", true), 3, {}),
         node("StringFileInfo", 1, {}, 0,
              {node("040904B0", 1, {}, 0,
                    {node("A", 1, utf16("one", true), 4, {}), node("B", 1, utf16("two", false), 3, {}),
                     node("C", 1, utf16("six", true), 40, {})})}),
         node("VarFileInfo", 1, {}, 0, {node("Translation", 0, Bytes().u16(0x0409).u16(0x04B0).data, 4, {})})});
    std::string error;
    auto info = res::parseVersion(tree.data(), tree.size(), &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->fileVersionMS, 0u);
    ASSERT_EQ(info->stringTables.size(), 1u);
    EXPECT_EQ(info->stringTables[0].key, "040904B0");
    EXPECT_EQ(info->stringTables[0].entries,
              (std::vector<std::pair<std::string, std::string>>{{"A", "one"}, {"B", "two"}, {"C", "six"}}));
    EXPECT_EQ(info->translations, (std::vector<uint32_t>{0x04B00409}));
}

TEST(Version, RefusesDamagedTrees)
{
    std::vector<uint8_t> real = realResource(16, 1105);
    struct Case {
        const char* what;
        size_t offset;
        uint16_t value;
    };
    // The fixed part follows the 38-byte root header and key, aligned to 40;
    // the first child starts after its 52 bytes.
    const Case cases[] = {
        {"root longer than the data", 0, 0xFFF0},
        {"root shorter than a header", 0, 4},
        {"fixed part too short", 2, 20},
        {"binary fixed part past the end of the root", 2, 0xFFF0},
        {"wrong signature", 40, 0x1234},
        {"child longer than its parent", 92, 0x7FF0},
        {"child shorter than a header", 92, 2},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = real;
        patch16(bytes, c.offset, c.value);
        std::string error;
        EXPECT_FALSE(res::parseVersion(bytes.data(), bytes.size(), &error)) << c.what;
        EXPECT_NE(error, "") << c.what;
    }
    std::vector<uint8_t> renamed = real;
    renamed[6] = 'X'; // the root key
    EXPECT_FALSE(res::parseVersion(renamed.data(), renamed.size(), nullptr));
}

} // namespace
