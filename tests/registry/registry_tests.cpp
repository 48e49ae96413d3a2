// The Reg* calls as the program uses them, on a registry file of each test's
// own: creating the key, the values round-trip, the file as the registry
// editor would read it, and the failures the program must be told about.
#include "registry_fixture.h"

#include <gmock/gmock.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace win32::registry;

namespace {

using RegistryApi = RegistryFixture;

LONG createKey(const char* subKey, HKEY& hKey, DWORD* disposition = nullptr, HKEY parent = HKEY_CURRENT_USER)
{
    return RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &hKey,
                           disposition);
}

std::vector<uint8_t> queryBytes(HKEY hKey, const char* name, DWORD& type)
{
    DWORD size = 0;
    if (RegQueryValueExA(hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {0xEE}; // a marker no test value equals
    std::vector<uint8_t> data(size);
    DWORD capacity = size;
    EXPECT_EQ(RegQueryValueExA(hKey, name, nullptr, &type, data.data(), &capacity), ERROR_SUCCESS);
    EXPECT_EQ(capacity, size);
    return data;
}

TEST_F(RegistryApi, FirstCreateMakesTheKeyAndLaterOnesOpenIt)
{
    HKEY hKey = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(createKey(settingsKey, hKey, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\n");
    for (const std::string& folder : {folder_ + "/config", folder_ + "/config/huevane"}) {
        struct stat info;
        ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }

    // The same key in another case, and the levels above it, exist now.
    for (const char* existing : {settingsKey, "SOFTWARE\\korvell software\\HUEVANE", "Software\\Korvell Software",
                                 "Software\\Korvell Software\\Huevane\\"}) {
        SCOPED_TRACE(existing);
        disposition = 0;
        ASSERT_EQ(createKey(existing, hKey, &disposition), ERROR_SUCCESS);
        EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
        EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    }
    EXPECT_EQ(readFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\n");
}

TEST_F(RegistryApi, TheProgramsSixteenColoursAreWrittenAsTheRegistryEditorWritesThem)
{
    DWORD colours[16];
    fillSixteen(colours, 0xffffffff);
    colours[0] = 0x00ff8040;
    colours[1] = 0x00000000;
    colours[2] = 0x0012abcd;
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), "REGEDIT4\n"
                          "\n"
                          "[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n"
                          "\"0\"=dword:00ff8040\n"
                          "\"1\"=dword:00000000\n"
                          "\"2\"=dword:0012abcd\n"
                          "\"3\"=dword:ffffffff\n"
                          "\"4\"=dword:ffffffff\n"
                          "\"5\"=dword:ffffffff\n"
                          "\"6\"=dword:ffffffff\n"
                          "\"7\"=dword:ffffffff\n"
                          "\"8\"=dword:ffffffff\n"
                          "\"9\"=dword:ffffffff\n"
                          "\"10\"=dword:ffffffff\n"
                          "\"11\"=dword:ffffffff\n"
                          "\"12\"=dword:ffffffff\n"
                          "\"13\"=dword:ffffffff\n"
                          "\"14\"=dword:ffffffff\n"
                          "\"15\"=dword:ffffffff\n"
                          "\n");

    DWORD loaded[16];
    ASSERT_TRUE(loadSixteen(loaded));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(loaded[i], colours[i]) << "slot " << i;

    // Saving again keeps the order and changes only what changed.
    colours[1] = 0x00c0ffee;
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    EXPECT_THAT(readFile(), ::testing::HasSubstr("\"0\"=dword:00ff8040\n\"1\"=dword:00c0ffee\n\"2\"=dword:0012abcd\n"));
}

struct TypedValue {
    const char* name; // nullptr is the default value
    DWORD type;
    std::vector<uint8_t> data;
};

TEST_F(RegistryApi, ValuesOfEveryTypeComeBackExactlyAfterGoingThroughTheFile)
{
    std::vector<uint8_t> everyByte;
    for (int i = 0; i < 300; ++i)
        everyByte.push_back(uint8_t(255 - i % 256));
    const std::vector<TypedValue> values = {
        {"text", REG_SZ, {'h', 'i', ' ', '"', '\\', 0}},
        {"no terminator", REG_SZ, {'a', 'b'}},
        {"line breaks", REG_SZ, {'a', '\r', '\n', 'b', 0}},
        {"expand", REG_EXPAND_SZ, {'%', 'A', '%', 0}},
        {"multi", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
        {"binary", REG_BINARY, everyByte},
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"two-byte dword", REG_DWORD, {1, 2}},
        {"big endian", REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"none", REG_NONE, {}},
        {"own type", 0x7fffffff, {0, 1}},
        {"ansi \xE9\xA4", REG_SZ, {0xE9, 0x80, 0}},
        {nullptr, REG_SZ, {'d', 0}},
    };
    HKEY hKey = nullptr;
    ASSERT_EQ(createKey(settingsKey, hKey), ERROR_SUCCESS);
    for (const TypedValue& value : values)
        ASSERT_EQ(RegSetValueExA(hKey, value.name, 0, value.type, value.data.data(), DWORD(value.data.size())),
                  ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    for (const TypedValue& value : values) {
        SCOPED_TRACE(value.name ? value.name : "(default)");
        DWORD type = 0xdead;
        EXPECT_EQ(queryBytes(hKey, value.name, type), value.data);
        EXPECT_EQ(type, value.type);
    }
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
}

TEST_F(RegistryApi, QueryFollowsTheDocumentedBufferRules)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(createKey(settingsKey, hKey), ERROR_SUCCESS);
    const BYTE hello[] = "hello";
    ASSERT_EQ(RegSetValueExA(hKey, "Greeting", 0, REG_SZ, hello, sizeof hello), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_QUERY_VALUE, &hKey), ERROR_SUCCESS);

    // Too small: the size needed, the type, and the buffer left as it was.
    BYTE small[3] = {'x', 'x', 'x'};
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(hKey, "Greeting", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 3), "xxx");

    // No buffer: the size alone.
    size = 1;
    EXPECT_EQ(RegQueryValueExA(hKey, "greeting", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);

    // Exactly big enough, and bigger: the data and its own size.
    for (DWORD capacity : {6u, 64u}) {
        BYTE buffer[64] = {};
        size = capacity;
        EXPECT_EQ(RegQueryValueExA(hKey, "GREETING", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
        EXPECT_EQ(size, 6u);
        EXPECT_STREQ(reinterpret_cast<char*>(buffer), "hello");
    }

    size = 4;
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(hKey, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(hKey, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(hKey, "Greeting", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(hKey, "Greeting", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
}

TEST_F(RegistryApi, ChangesReachTheFileWhenTheKeyIsClosedOrFlushed)
{
    HKEY writer = nullptr;
    ASSERT_EQ(createKey(settingsKey, writer), ERROR_SUCCESS);
    const std::string created = readFile();
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(writer, "a", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), created);

    // The writing handle sees its change; one opened meanwhile holds the
    // key as it was when it was opened.
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &reader), ERROR_SUCCESS);
    DWORD type;
    EXPECT_EQ(queryBytes(writer, "a", type), (std::vector<uint8_t>{1, 0, 0, 0}));
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(reader, "a", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegFlushKey(writer), ERROR_SUCCESS);
    EXPECT_THAT(readFile(), ::testing::HasSubstr("\"a\"=dword:00000001\n"));

    ASSERT_EQ(RegDeleteValueA(writer, "A"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(writer, "a"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(writer, "a", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_THAT(readFile(), ::testing::HasSubstr("\"a\"=dword:00000001\n"));
    ASSERT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), created);

    // A handle with nothing staged writes nothing when it closes.
    writeFile(created + "; touched by hand\n");
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), created + "; touched by hand\n");
}

TEST_F(RegistryApi, ValuesOnTheRootKeyGoToTheFileAtOnce)
{
    const BYTE data[] = "x";
    ASSERT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "Root value", 0, REG_SZ, data, sizeof data), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\"Root value\"=\"x\"\n\n");
    DWORD type;
    EXPECT_EQ(queryBytes(HKEY_CURRENT_USER, "root VALUE", type), (std::vector<uint8_t>{'x', 0}));
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "Root value"), ERROR_SUCCESS);
    EXPECT_EQ(readFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\n");
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryApi, WhatOthersWroteIsKept)
{
    writeFile("Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; kept by another tool\r\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
              "\"Size\"=dword:00000010\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\r\n"
              "\"Foreign\"=\"left by hand\"\r\n"
              "\"3\"=dword:00000003\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane\\Sub]\r\n"
              "@=hex:01,02\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Whatever]\r\n"
              "\"x\"=dword:00000001\r\n");
    DWORD colours[16];
    fillSixteen(colours, 7);
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);

    Document expected{{
        Key{"HKEY_CURRENT_USER\\Software\\Other", {Value{"Size", REG_DWORD, {16, 0, 0, 0}}}},
        Key{settingsPath, {}},
        Key{std::string(settingsPath) + "\\Sub", {Value{"", REG_BINARY, {1, 2}}}},
        Key{"HKEY_LOCAL_MACHINE\\Software\\Whatever", {Value{"x", REG_DWORD, {1, 0, 0, 0}}}},
    }};
    expected.keys[1].values.push_back(Value{"Foreign", REG_SZ, {'l', 'e', 'f', 't', ' ', 'b', 'y', ' ', 'h', 'a', 'n', 'd', 0}});
    expected.keys[1].values.push_back(Value{"3", REG_DWORD, {7, 0, 0, 0}});
    for (int i = 0; i < 16; ++i) {
        if (i != 3)
            expected.keys[1].values.push_back(Value{std::to_string(i), REG_DWORD, {7, 0, 0, 0}});
    }
    EXPECT_EQ(describeDocument(readDocument()), describeDocument(expected));
}

TEST_F(RegistryApi, AnUnparsableFileIsReportedAndNeverOverwritten)
{
    const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\"0\"=dword:1\n";
    writeFile(good);
    HKEY early = nullptr;
    ASSERT_EQ(createKey(settingsKey, early), ERROR_SUCCESS);
    DWORD two = 2;
    ASSERT_EQ(RegSetValueExA(early, "0", 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4), ERROR_SUCCESS);

    const std::string corrupt = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\"0\"=dword:xyz\n";
    writeFile(corrupt);
    HKEY hKey = reinterpret_cast<HKEY>(1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(createKey(settingsKey, hKey), ERROR_BADDB);
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(hKey, nullptr);
    EXPECT_THAT(report, ::testing::HasSubstr(file_ + ":4:"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &hKey), ERROR_BADDB);
    EXPECT_EQ(createKey("Software\\Somewhere new", hKey), ERROR_BADDB);
    // The handle opened before the damage cannot commit over it either.
    EXPECT_EQ(RegCloseKey(early), ERROR_BADDB);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(), corrupt);
    EXPECT_FALSE(temporaryFileLeft());
}

TEST_F(RegistryApi, AHugeFileIsReadAndKeptWholeByAChange)
{
    // Thousands of other programs' keys and a 4 MiB value of our own.
    Document document;
    for (int i = 0; i < 5000; ++i)
        document.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Vendor " + std::to_string(i), {}});
    std::vector<uint8_t> blob(4 << 20);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = uint8_t(i * 7 + (i >> 12));
    document.keys.push_back(Key{settingsPath, {Value{"blob", REG_BINARY, blob}}});
    writeFile(formatRegistryText(document));

    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ | KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_TRUE(queryBytes(hKey, "blob", type) == blob);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(hKey, "0", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);

    document.keys.back().values.push_back(Value{"0", REG_DWORD, {1, 0, 0, 0}});
    EXPECT_TRUE(readDocument() == document);
}

struct BlockedLayout {
    const char* name;
    const char* blocker; // a plain file, relative to the test folder
    const char* registryFile;
};

class RegistryBlockedFolder : public RegistryFixture, public ::testing::WithParamInterface<BlockedLayout> {};

TEST_P(RegistryBlockedFolder, CreateFailsAndTouchesNothing)
{
    const BlockedLayout& layout = GetParam();
    std::string blocker = folder_ + "/" + layout.blocker;
    writeWholeFile(blocker, "not a folder");
    std::string registryFile = folder_ + "/" + layout.registryFile;
    setenv("HUEVANE_REGISTRY_FILE", registryFile.c_str(), 1);

    HKEY hKey = reinterpret_cast<HKEY>(1);
    LONG status = createKey(settingsKey, hKey);
    EXPECT_THAT(status, ::testing::AnyOf(ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED));
    EXPECT_EQ(hKey, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readWholeFile(blocker), "not a folder");
}

INSTANTIATE_TEST_SUITE_P(Layouts, RegistryBlockedFolder,
                         ::testing::Values(BlockedLayout{"config", "config", "config/huevane/registry.reg"},
                                           BlockedLayout{"huevane", "config/huevane", "config/huevane/registry.reg"}),
                         [](const ::testing::TestParamInfo<BlockedLayout>& info) { return std::string(info.param.name); });

TEST_F(RegistryApi, AFolderWithoutWriteAccessIsAccessDenied)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    DWORD colours[16];
    fillSixteen(colours, 1);
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    const std::string before = readFile();
    std::string folder = folder_ + "/config/huevane";
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    fillSixteen(colours, 2);
    EXPECT_EQ(saveSixteen(colours), ERROR_ACCESS_DENIED);
    chmod(folder.c_str(), 0700);
    EXPECT_EQ(readFile(), before);
}

struct Misuse {
    const char* name;
    std::function<LONG(HKEY settings, HKEY closed)> call;
    LONG expected;
};

TEST_F(RegistryApi, BadHandlesRootsAndArgumentsFailCleanly)
{
    HKEY settings = nullptr;
    HKEY closed = nullptr;
    ASSERT_EQ(createKey(settingsKey, settings), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &closed), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    const BYTE data[4] = {};
    HKEY result = nullptr;
    DWORD size = 4;
    const HKEY forged = reinterpret_cast<HKEY>(0x1234);

    const std::vector<Misuse> misuses = {
        {"query a forged handle", [&](HKEY, HKEY) { return RegQueryValueExA(forged, "0", nullptr, nullptr, nullptr, &size); }, ERROR_INVALID_HANDLE},
        {"set a closed handle", [&](HKEY, HKEY c) { return RegSetValueExA(c, "0", 0, REG_DWORD, data, 4); }, ERROR_INVALID_HANDLE},
        {"close a closed handle", [&](HKEY, HKEY c) { return RegCloseKey(c); }, ERROR_INVALID_HANDLE},
        {"flush a forged handle", [&](HKEY, HKEY) { return RegFlushKey(forged); }, ERROR_INVALID_HANDLE},
        {"create under a closed handle", [&](HKEY, HKEY c) { return createKey("x", result, nullptr, c); }, ERROR_INVALID_HANDLE},
        {"create under HKEY_LOCAL_MACHINE", [&](HKEY, HKEY) { return createKey("Software\\x", result, nullptr, HKEY_LOCAL_MACHINE); }, ERROR_ACCESS_DENIED},
        {"open under HKEY_USERS", [&](HKEY, HKEY) { return RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &result); }, ERROR_ACCESS_DENIED},
        {"open a missing key", [&](HKEY, HKEY) { return RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nowhere", 0, KEY_READ, &result); }, ERROR_FILE_NOT_FOUND},
        {"create without a subkey name", [&](HKEY, HKEY) { return createKey(nullptr, result); }, ERROR_INVALID_PARAMETER},
        {"create with an empty level", [&](HKEY, HKEY) { return createKey("Software\\\\x", result); }, ERROR_INVALID_PARAMETER},
        {"create with a leading backslash", [&](HKEY, HKEY) { return createKey("\\Software", result); }, ERROR_INVALID_PARAMETER},
        {"create with a line break", [&](HKEY, HKEY) { return createKey("Software\\a\nb", result); }, ERROR_INVALID_PARAMETER},
        {"create with a 256-character level", [&](HKEY, HKEY) { return createKey(std::string(256, 'k').c_str(), result); }, ERROR_INVALID_PARAMETER},
        {"set data from nowhere", [&](HKEY s, HKEY) { return RegSetValueExA(s, "0", 0, REG_DWORD, nullptr, 4); }, ERROR_INVALID_PARAMETER},
        {"set a name with a line break", [&](HKEY s, HKEY) { return RegSetValueExA(s, "a\r\nb", 0, REG_DWORD, data, 4); }, ERROR_INVALID_PARAMETER},
        {"delete a missing value", [&](HKEY s, HKEY) { return RegDeleteValueA(s, "missing"); }, ERROR_FILE_NOT_FOUND},
        {"delete a value of HKEY_LOCAL_MACHINE", [&](HKEY, HKEY) { return RegDeleteValueA(HKEY_LOCAL_MACHINE, "x"); }, ERROR_ACCESS_DENIED},
    };
    for (const Misuse& misuse : misuses) {
        SCOPED_TRACE(misuse.name);
        result = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(misuse.call(settings, closed), misuse.expected);
        if (result != reinterpret_cast<HKEY>(1))
            EXPECT_EQ(result, nullptr) << "a failed open must not hand out a handle";
    }
    EXPECT_EQ(liveKeyCount(), 1u);
    EXPECT_EQ(RegCloseKey(settings), ERROR_SUCCESS);
}

TEST_F(RegistryApi, AccessRightsOfAHandleAreEnforced)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(createKey(settingsKey, hKey), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    const BYTE data[4] = {};
    DWORD size = 4;

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(hKey, "0", 0, REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(hKey, "0"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(createKey("Sub", sub, nullptr, hKey), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(hKey, "0", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(hKey, "0", 0, REG_DWORD, data, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
}

TEST_F(RegistryApi, DeletingAKey)
{
    HKEY huevane = nullptr;
    HKEY sub = nullptr;
    ASSERT_EQ(createKey(settingsKey, huevane), ERROR_SUCCESS);
    ASSERT_EQ(createKey("Sub", sub, nullptr, huevane), ERROR_SUCCESS);
    const BYTE data[4] = {1};
    ASSERT_EQ(RegSetValueExA(sub, "staged", 0, REG_DWORD, data, 4), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey), ERROR_ACCESS_DENIED); // it has a subkey
    EXPECT_EQ(RegDeleteKeyA(huevane, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteKeyA(huevane, "SUB"), ERROR_SUCCESS);

    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(sub, "staged", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(sub, "other", 0, REG_DWORD, data, 4), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS); // and the staged value does not bring it back
    EXPECT_EQ(RegOpenKeyExA(huevane, "Sub", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(huevane), ERROR_SUCCESS);

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);
    // The level above existed only through the deleted key's section; it stays.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvell Software", 0, KEY_READ, &sub), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);
}

struct PathCase {
    const char* overridePath;
    const char* configHome;
    const char* home;
    const char* expected;
};

TEST(RegistryPath, FollowsTheEnvironment)
{
    const PathCase cases[] = {
        {"/tmp/x/own.reg", "/cfg", "/home/u", "/tmp/x/own.reg"},
        {nullptr, "/cfg", "/home/u", "/cfg/huevane/registry.reg"},
        {"", "/cfg", "/home/u", "/cfg/huevane/registry.reg"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/huevane/registry.reg"},
        {nullptr, "relative/cfg", "/home/u", "/home/u/.config/huevane/registry.reg"},
        {nullptr, "", "/home/u", "/home/u/.config/huevane/registry.reg"},
    };
    auto setOrClear = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    const char* savedHome = getenv("HOME");
    std::string home = savedHome ? savedHome : "";
    const char* savedConfig = getenv("XDG_CONFIG_HOME");
    std::string config = savedConfig ? savedConfig : "";
    bool hadConfig = savedConfig != nullptr;
    for (const PathCase& c : cases) {
        setOrClear("HUEVANE_REGISTRY_FILE", c.overridePath);
        setOrClear("XDG_CONFIG_HOME", c.configHome);
        setOrClear("HOME", c.home);
        EXPECT_EQ(registryFilePath(), c.expected);
    }
    unsetenv("HUEVANE_REGISTRY_FILE");
    setOrClear("XDG_CONFIG_HOME", hadConfig ? config.c_str() : nullptr);
    setenv("HOME", home.c_str(), 1);
}

} // namespace
