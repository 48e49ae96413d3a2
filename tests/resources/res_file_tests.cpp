// The .res reader, resource lookup and the KERNEL32 resource calls, on the
// program's real compiled resources and on small hand-made ones.
#include "resource_fixture.h"

#include <cstring>
#include <fstream>

using namespace resource_tests;
namespace res = win32::resources;

namespace {

struct Needed {
    uint16_t type;
    uint16_t name;
    const char* what;
};

// Every resource the program loads, by type and name.
const Needed programResources[] = {
    {5, 100, "main dialog"},         {5, 200, "About box"},          {2, 210, "product logo"},
    {2, 211, "maker's logo"},        {2, 1103, "banner"},            {12, 1106, "crosshair cursor"},
    {14, 1107, "application icon"},  {14, 1122, "target icon"},      {16, 1105, "version block"},
    {24, 1, "manifest"},
};

TEST(ResFile, HoldsEveryProgramResourceInUsEnglish)
{
    ASSERT_FALSE(realEntries().empty());
    for (const Needed& needed : programResources) {
        bool found = false;
        for (const ResEntry& entry : realEntries())
            if (entry.type == ResourceId::fromOrdinal(needed.type) && entry.name == ResourceId::fromOrdinal(needed.name))
                found = entry.language == 0x0409 && entry.data.size > 0;
        EXPECT_TRUE(found) << needed.what << " (" << needed.type << "/" << needed.name << ")";
    }
}

TEST(ResFile, ManifestIsTheScriptsManifestFile)
{
    std::ifstream file(HUEVANE_SOURCE_DIR "/res/Huevane.manifest", std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> manifest = realResource(24, 1);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(std::string(manifest.begin(), manifest.end()), expected);
}

TEST(ResFile, EmbeddedResourcesAreTheCompiledFile)
{
    res::setModuleResources(nullptr, 0);
    ASSERT_EQ(res::moduleError(), "");
    const auto& embedded = res::moduleEntries();
    ASSERT_EQ(embedded.size(), realEntries().size());
    for (size_t i = 0; i < embedded.size(); ++i) {
        EXPECT_EQ(embedded[i].type, realEntries()[i].type);
        EXPECT_EQ(embedded[i].name, realEntries()[i].name);
        ASSERT_EQ(embedded[i].data.size, realEntries()[i].data.size);
        EXPECT_EQ(std::memcmp(embedded[i].data.data, realEntries()[i].data.data, embedded[i].data.size), 0);
    }
}

TEST(ResFile, NamedEntriesAndPaddingAreRead)
{
    // Odd-length names and data make the reader honour the DWORD alignment
    // of headers and records.
    std::vector<uint8_t> file = makeRes({{{0, "MYTYPE"}, {7}, 0x0409, {1, 2, 3}},
                                         {{10}, {0, "ab"}, 0x0000, {4, 5, 6, 7, 8}},
                                         {{10}, {9}, 0x0809, {}}});
    std::string error;
    auto entries = res::parseResFile(file.data(), file.size(), &error);
    ASSERT_TRUE(entries) << error;
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[0].type, ResourceId::fromName("mytype"));
    EXPECT_EQ((*entries)[0].data.size, 3u);
    EXPECT_EQ((*entries)[0].data.data[2], 3);
    EXPECT_EQ((*entries)[1].name, ResourceId::fromName("AB"));
    EXPECT_EQ((*entries)[1].language, 0);
    EXPECT_EQ((*entries)[1].data.data[4], 8);
    EXPECT_EQ((*entries)[2].data.size, 0u);
    EXPECT_EQ((*entries)[2].language, 0x0809);
}

TEST(ResFile, RejectsFilesThatAreNotResFiles)
{
    // A real entry first, without the empty entry that marks the 32-bit format.
    std::vector<uint8_t> unmarked = makeRes({{{10}, {1}, 0, {1, 2, 3, 4}}});
    unmarked.erase(unmarked.begin(), unmarked.begin() + 32);
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0},
        unmarked,
    };
    for (const auto& bytes : bad) {
        std::string error;
        EXPECT_FALSE(res::parseResFile(bytes.data(), bytes.size(), &error));
        EXPECT_NE(error, "");
    }
}

TEST(ResourceId, FromWin32Names)
{
    struct Case {
        LPCSTR value;
        ResourceId expected;
    };
    const Case cases[] = {
        {MAKEINTRESOURCEA(1103), ResourceId::fromOrdinal(1103)},
        {"#100", ResourceId::fromOrdinal(100)},
        {"#65535", ResourceId::fromOrdinal(65535)},
        {"#65536", ResourceId::fromName("#65536")},
        {"#12a", ResourceId::fromName("#12A")},
        {"#", ResourceId::fromName("#")},
        {"Logo", ResourceId::fromName("LOGO")},
    };
    for (const Case& c : cases) {
        ResourceId id = ResourceId::fromWin32(c.value);
        EXPECT_EQ(id, c.expected) << (IS_INTRESOURCE(c.value) ? "ordinal" : c.value);
    }
    EXPECT_EQ(ResourceId::fromName("mIxEd").name, "MIXED");
    EXPECT_FALSE(ResourceId::fromOrdinal(5) == ResourceId::fromName("5"));
}

class Lookup : public ModuleResources {};

TEST_F(Lookup, PrefersUsEnglishThenNeutralThenFirst)
{
    install(makeRes({{{10}, {1}, 0x0809, {'g'}},
                     {{10}, {1}, 0x0000, {'n'}},
                     {{10}, {1}, 0x0409, {'u'}},
                     {{10}, {2}, 0x0809, {'g'}},
                     {{10}, {2}, 0x0400, {'n'}},
                     {{10}, {3}, 0x0809, {'g'}},
                     {{10}, {3}, 0x0407, {'d'}}}));
    struct Case {
        uint16_t name;
        uint16_t language;
        char expected; // 0: not found
    };
    const Case cases[] = {{1, 0, 'u'}, {2, 0, 'n'}, {3, 0, 'g'}, {1, 0x0809, 'g'}, {3, 0x0407, 'd'}, {2, 0x0409, 0}};
    for (const Case& c : cases) {
        auto blob = res::find(ResourceId::fromOrdinal(10), ResourceId::fromOrdinal(c.name), c.language);
        if (c.expected == 0) {
            EXPECT_FALSE(blob) << c.name;
        } else {
            ASSERT_TRUE(blob) << c.name << " " << c.language;
            EXPECT_EQ(static_cast<char>(blob->data[0]), c.expected) << c.name << " " << c.language;
        }
    }
}

TEST_F(Lookup, NamesMatchWithoutRegardToCase)
{
    install(makeRes({{{0, "Pictures"}, {0, "SkyLine"}, 0x0409, {42}}}));
    HRSRC found = FindResourceA(nullptr, "skyline", "PICTURES");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*static_cast<uint8_t*>(LockResource(LoadResource(nullptr, found))), 42);
}

TEST_F(Lookup, FailuresTellTypeFromName)
{
    install(realResFile());
    DWORD failure = 0;
    EXPECT_FALSE(res::find(ResourceId::fromOrdinal(2), ResourceId::fromOrdinal(4242), 0, &failure));
    EXPECT_EQ(failure, static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_FALSE(res::find(ResourceId::fromOrdinal(9), ResourceId::fromOrdinal(1), 0, &failure));
    EXPECT_EQ(failure, static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));

    std::vector<uint8_t> damaged = realResFile();
    patch32(damaged, 32, 0x7FFFFFFF); // the first real entry's data size
    install(damaged);
    EXPECT_FALSE(res::find(ResourceId::fromOrdinal(5), ResourceId::fromOrdinal(100), 0, &failure));
    EXPECT_EQ(failure, static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_NE(res::moduleError().find("damaged"), std::string::npos) << res::moduleError();
}

class Kernel32 : public ModuleResources {
protected:
    void SetUp() override { install(realResFile()); }
};

TEST_F(Kernel32, FindLoadLockAndSizeGiveTheResourceBytes)
{
    HMODULE module = GetModuleHandleA(nullptr);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, GetModuleHandleA(nullptr));
    for (LPCSTR name : {static_cast<LPCSTR>(MAKEINTRESOURCEA(100)), static_cast<LPCSTR>("#100")}) {
        HRSRC info = FindResourceA(module, name, RT_DIALOG);
        ASSERT_NE(info, nullptr);
        HGLOBAL loaded = LoadResource(module, info);
        ASSERT_NE(loaded, nullptr);
        const void* bytes = LockResource(loaded);
        std::vector<uint8_t> expected = realResource(5, 100);
        ASSERT_EQ(SizeofResource(module, info), expected.size());
        EXPECT_EQ(std::memcmp(bytes, expected.data(), expected.size()), 0);
    }
    // NULL names the program's module too.
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr);
}

TEST_F(Kernel32, ErrorsAreReportedAsWin32Does)
{
    HMODULE module = GetModuleHandleA(nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(999), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(1), RT_MENU), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(0x1234), MAKEINTRESOURCEA(100), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    // Forged handles and handles of the wrong kind fail cleanly.
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(100), RT_DIALOG);
    ASSERT_NE(info, nullptr);
    HGLOBAL loaded = LoadResource(module, info);
    EXPECT_EQ(LockResource(reinterpret_cast<HGLOBAL>(info)), nullptr);
    EXPECT_EQ(SizeofResource(module, reinterpret_cast<HRSRC>(loaded)), 0u);
    EXPECT_EQ(LoadResource(module, reinterpret_cast<HRSRC>(static_cast<uintptr_t>(0xDEADBEEF))), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Kernel32, HandlesFromAnEarlierResourceSetGoStale)
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(100), RT_DIALOG);
    HGLOBAL loaded = LoadResource(nullptr, info);
    ASSERT_NE(loaded, nullptr);
    install(makeRes({{{5}, {100}, 0x0409, {1, 2, 3, 4}}}));
    EXPECT_EQ(LockResource(loaded), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), 0u);
    EXPECT_EQ(SizeofResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(100), RT_DIALOG)), 4u);
}

} // namespace
