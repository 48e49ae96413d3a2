// The custom colour list (Add, Remove, selection) and the settings store that
// keeps it between runs: what the user sees in the list, what the program
// holds in its slots, and what the registry file holds after the program ends.
#include "Huevane.h"
#include "app_driver.h"

#include "registry/registry_document.h"
#include "registry/registry_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using huevane::testing::AppDriver;

namespace {

constexpr COLORREF red = 0x000000FF;
constexpr COLORREF green = 0x0000FF00;
constexpr COLORREF blue = 0x00FF0000;
constexpr COLORREF empty = EMPTY_SLOT;
constexpr const char* settingsSection = "[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n";
// Another program's key in the same file: the store must never lose it.
constexpr const char* neighbourSection = "[HKEY_CURRENT_USER\\Software\\Neighbour]\n\"keep\"=\"me\"\n";
constexpr const char* readFailure = "Failed to read/create the registry settings!\n\n"
                                    "Probable cause: you don't have privileges to create registry subkeys.";
constexpr const char* saveFailure = "Failed to save/create the registry settings!\n\n"
                                    "Probable cause: you don't have privileges to create registry subkeys.";
// The message box's own control identifiers (win32/user/messagebox.cpp).
constexpr int boxTextId = 0xFFFF;
constexpr int boxIconId = 0x14;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    ASSERT_TRUE(out) << "could not write " << path;
}

std::string storeText(const std::string& values)
{
    return std::string("REGEDIT4\n\n") + neighbourSection + "\n" + settingsSection + values;
}

std::string html(COLORREF c)
{
    char line[8];
    std::snprintf(line, sizeof line, "#%.2X%.2X%.2X", GetRValue(c), GetGValue(c), GetBValue(c));
    return line;
}

std::vector<std::string> htmlLines(const std::vector<COLORREF>& colours)
{
    std::vector<std::string> lines;
    for (COLORREF c : colours)
        lines.push_back(html(c));
    return lines;
}

// The 16 slots as they should be: the colours in front, the rest empty.
std::vector<COLORREF> slotsOf(std::vector<COLORREF> colours)
{
    colours.resize(NUM_CUSTOM_COLOURS, empty);
    return colours;
}

std::vector<COLORREF> programSlots() { return {g_cCustomColours, g_cCustomColours + NUM_CUSTOM_COLOURS}; }

// The stored values "0".."15", each checked to be a 4-byte REG_DWORD.
std::vector<COLORREF> storedSlots(const std::string& path)
{
    win32::registry::ParseResult parsed = win32::registry::parseRegistryText(readFile(path));
    EXPECT_TRUE(parsed.ok) << parsed.errorMessage;
    const win32::registry::Key* key =
        win32::registry::findKey(parsed.document, "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane");
    if (!key) {
        ADD_FAILURE() << "the settings key is not in the file";
        return {};
    }
    EXPECT_EQ(key->values.size(), size_t{NUM_CUSTOM_COLOURS});
    std::vector<COLORREF> slots;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i) {
        const win32::registry::Value* value = win32::registry::findValue(key->values, std::to_string(i));
        if (!value || value->type != REG_DWORD || value->data.size() != 4) {
            ADD_FAILURE() << "value " << i << " is missing or not a 4-byte REG_DWORD";
            slots.push_back(0xDEADBEEF);
            continue;
        }
        slots.push_back(static_cast<COLORREF>(value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
                                              static_cast<uint32_t>(value->data[3]) << 24));
    }
    return slots;
}

bool neighbourKept(const std::string& path)
{
    win32::registry::ParseResult parsed = win32::registry::parseRegistryText(readFile(path));
    const win32::registry::Key* key =
        parsed.ok ? win32::registry::findKey(parsed.document, "HKEY_CURRENT_USER\\Software\\Neighbour") : nullptr;
    const win32::registry::Value* value = key ? win32::registry::findValue(key->values, "keep") : nullptr;
    return value && value->type == REG_SZ &&
           std::string(value->data.begin(), value->data.end()).c_str() == std::string("me");
}

// Drives the list as a user does, and reads what it shows.
class CustomColourFixture : public ::testing::Test {
protected:
    void SetUp() override { storePath = std::getenv("HUEVANE_REGISTRY_FILE"); }
    void TearDown() override { win32::registry::setCommitHookForTesting(nullptr); }

    void startWith(const std::string& storedText)
    {
        writeFile(storePath, storedText);
        start();
    }

    void start()
    {
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
    }

    HWND list() const { return app.control(IDC_CUSTOM_LIST); }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        int count = static_cast<int>(SendMessageA(list(), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char line[64] = {};
            SendMessageA(list(), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
            result.push_back(line);
        }
        return result;
    }

    int selection() const { return static_cast<int>(SendMessageA(list(), LB_GETCURSEL, 0, 0)); }

    void add(COLORREF current)
    {
        g_cRef = current;
        app.click(app.control(IDC_ADD));
    }

    // Scrolls the line into view as the scroll bar would, then clicks it.
    void clickLine(int index)
    {
        SendMessageA(list(), LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
        app.pump();
        RECT item{};
        ASSERT_NE(SendMessageA(list(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)),
                  LB_ERR);
        POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ClientToScreen(list(), &centre);
        app.click(centre);
    }

    bool enabled(int id) const { return IsWindowEnabled(app.control(id)); }

    // Checks the box that is up, then answers it with Enter.
    void answerBox(const char* text, UINT icon, HWND owner)
    {
        HWND box = app.topLevel(PRODUCT_TITLE);
        ASSERT_NE(box, nullptr) << "no message box";
        EXPECT_EQ(app.text(GetDlgItem(box, boxTextId)), text);
        EXPECT_EQ(static_cast<UINT>(GetWindowLongPtrA(GetDlgItem(box, boxIconId), GWLP_USERDATA)), icon);
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
        app.key(VK_RETURN, '\r');
        EXPECT_EQ(app.topLevel(PRODUCT_TITLE), nullptr) << "Enter did not close the box";
    }

    void exitProgram()
    {
        app.click(app.control(IDC_EXIT));
    }

    AppDriver app;
    std::string storePath;
    HWND main = nullptr;
};

class CustomColours : public CustomColourFixture {};
class Settings : public CustomColourFixture {};

} // namespace

// ---- the list -------------------------------------------------------------

TEST_F(CustomColours, AddStoresTheCurrentColourInTheNextSlotAndSelectsIt)
{
    struct AddCase {
        COLORREF current;
        COLORREF stored;
    };
    const AddCase cases[] = {
        {red, red},
        {0x00000000, 0x00000000},
        {0x00123456, 0x00123456},
        // A failed screen read leaves the empty-slot marker as the current
        // colour; the slot gets the white the readout shows instead.
        {0xFFFFFFFF, 0x00FFFFFF},
        {red, red}, // the same colour again is a second line
    };
    start();
    ASSERT_FALSE(enabled(IDC_REMOVE));
    std::vector<COLORREF> expected;
    for (const AddCase& c : cases) {
        SCOPED_TRACE(html(c.stored));
        add(c.current);
        expected.push_back(c.stored);
        EXPECT_EQ(lines(), htmlLines(expected));
        EXPECT_EQ(selection(), static_cast<int>(expected.size()) - 1);
        EXPECT_EQ(programSlots(), slotsOf(expected));
        EXPECT_EQ(g_nNumberOfCustomColours, static_cast<int>(expected.size()));
        EXPECT_EQ(g_cRef, c.current) << "Add must not change the current colour";
        EXPECT_TRUE(enabled(IDC_REMOVE));
        EXPECT_TRUE(enabled(IDC_ADD));
    }
}

TEST_F(CustomColours, TheSixteenthAddDisablesAddAndARemoveEnablesItAgain)
{
    start();
    std::vector<COLORREF> added;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i) {
        EXPECT_TRUE(enabled(IDC_ADD)) << "before colour " << i;
        COLORREF c = RGB(i * 16, 255 - i * 16, i);
        add(c);
        added.push_back(c);
    }
    EXPECT_FALSE(enabled(IDC_ADD));
    // A click on the disabled button stores nothing.
    add(0x00ABCDEF);
    EXPECT_EQ(lines(), htmlLines(added));
    EXPECT_EQ(g_nNumberOfCustomColours, NUM_CUSTOM_COLOURS);

    clickLine(7);
    app.click(app.control(IDC_REMOVE));
    added.erase(added.begin() + 7);
    EXPECT_TRUE(enabled(IDC_ADD));
    EXPECT_EQ(lines(), htmlLines(added));
    EXPECT_EQ(programSlots(), slotsOf(added));
    EXPECT_EQ(g_nNumberOfCustomColours, NUM_CUSTOM_COLOURS - 1);
}

TEST_F(CustomColours, RemoveTakesOutTheSelectedLineAndKeepsItsIndexSelected)
{
    const COLORREF a = 0x00112233, b = 0x00445566, c = 0x00778899, d = 0x00AABBCC;
    struct RemoveStep {
        int line; // clicked, then removed
        std::vector<COLORREF> after;
        int selectionAfter;
    };
    const RemoveStep steps[] = {
        {1, {a, c, d}, 1},  // a middle line: the next one moves up into its place
        {2, {a, c}, -1},    // the bottom line: nothing is left selected
        {0, {c}, 0},        // the top line
        {0, {}, -1},        // the only line
    };
    start();
    for (COLORREF colour : {a, b, c, d})
        add(colour);
    std::vector<COLORREF> before = {a, b, c, d};
    for (const RemoveStep& step : steps) {
        SCOPED_TRACE("removing line " + std::to_string(step.line) + " of " + std::to_string(before.size()));
        clickLine(step.line);
        ASSERT_EQ(selection(), step.line);
        COLORREF current = g_cRef;
        app.click(app.control(IDC_REMOVE));
        EXPECT_EQ(app.topLevel(PRODUCT_TITLE), nullptr) << "unexpected message box";
        EXPECT_EQ(lines(), htmlLines(step.after));
        EXPECT_EQ(selection(), step.selectionAfter);
        EXPECT_EQ(programSlots(), slotsOf(step.after));
        EXPECT_EQ(g_nNumberOfCustomColours, static_cast<int>(step.after.size()));
        EXPECT_EQ(g_cRef, current) << "Remove must not change the current colour";
        EXPECT_EQ(app.text(IDC_HTML_CODE), html(current));
        EXPECT_EQ(enabled(IDC_REMOVE), !step.after.empty());
        EXPECT_TRUE(enabled(IDC_ADD));
        before = step.after;
    }
}

TEST_F(CustomColours, RemoveWithNothingSelectedWarnsAndChangesNothing)
{
    start();
    for (COLORREF colour : {red, green, blue})
        add(colour);
    // Removing the bottom line leaves no line selected: the natural way there.
    clickLine(2);
    app.click(app.control(IDC_REMOVE));
    ASSERT_EQ(selection(), -1);
    g_cRef = 0x00345678;

    app.click(app.control(IDC_REMOVE));
    EXPECT_FALSE(IsWindowEnabled(main)) << "the warning is modal to the main window";
    answerBox("Please select a colour to delete.", MB_ICONWARNING, main);
    EXPECT_EQ(lines(), htmlLines({red, green}));
    EXPECT_EQ(programSlots(), slotsOf({red, green}));
    EXPECT_EQ(g_nNumberOfCustomColours, 2);
    EXPECT_EQ(selection(), -1);
    EXPECT_EQ(g_cRef, 0x00345678u);
    EXPECT_TRUE(enabled(IDC_REMOVE));
    EXPECT_TRUE(enabled(IDC_ADD));
    EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(CustomColours, ClickingALineOrMovingWithTheArrowKeysMakesItTheCurrentColour)
{
    start();
    for (COLORREF colour : {red, green, blue})
        add(colour);
    g_cRef = 0x00FFFFFF;
    clickLine(0);
    EXPECT_EQ(g_cRef, red);
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#FF0000");

    struct KeyStep {
        unsigned key;
        COLORREF current;
    };
    const KeyStep steps[] = {{VK_DOWN, green}, {VK_DOWN, blue}, {VK_DOWN, blue}, {VK_UP, green}, {VK_UP, red}};
    for (const KeyStep& step : steps) {
        app.key(step.key);
        EXPECT_EQ(g_cRef, step.current) << html(step.current);
        EXPECT_EQ(app.text(IDC_HTML_CODE), html(step.current));
        EXPECT_EQ(app.text(IDC_RED), std::to_string(GetRValue(step.current)));
        EXPECT_EQ(app.text(IDC_BLUE), std::to_string(GetBValue(step.current)));
    }
    // The colour box shows it too.
    RECT box = AppDriver::windowRect(app.control(IDC_COLOUR_BOX));
    EXPECT_EQ(app.pixelAt(POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2}),
              win32::core::pixelFromColorref(red));
}

// ---- the store ------------------------------------------------------------

TEST_F(Settings, FirstRunCreatesTheKeyAndTheExitWritesAllSixteenValues)
{
    ASSERT_FALSE(std::filesystem::exists(storePath));
    start();
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(g_nNumberOfCustomColours, 0);
    // The key is there from the start, still without values.
    win32::registry::ParseResult parsed = win32::registry::parseRegistryText(readFile(storePath));
    ASSERT_TRUE(parsed.ok);
    const auto* key =
        win32::registry::findKey(parsed.document, "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->values.empty());

    add(red);
    add(0x00123456);
    exitProgram();
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(storedSlots(storePath), slotsOf({red, 0x00123456}));
}

struct StoredSet {
    const char* name;
    std::string values; // the lines under the settings key
    std::vector<COLORREF> listed;
};

void PrintTo(const StoredSet& set, std::ostream* out) { *out << set.name; }

class SettingsLoad : public CustomColourFixture, public ::testing::WithParamInterface<StoredSet> {};

// Loads the set, shows it, and writes it back compacted at exit, with the
// neighbouring key untouched.
TEST_P(SettingsLoad, ListsWhatCanBeReadAndWritesItBackCompacted)
{
    const StoredSet& set = GetParam();
    startWith(storeText(set.values));
    EXPECT_EQ(lines(), htmlLines(set.listed));
    EXPECT_EQ(programSlots(), slotsOf(set.listed));
    EXPECT_EQ(g_nNumberOfCustomColours, static_cast<int>(set.listed.size()));
    EXPECT_EQ(enabled(IDC_ADD), set.listed.size() < NUM_CUSTOM_COLOURS);
    EXPECT_EQ(enabled(IDC_REMOVE), !set.listed.empty());
    if (!set.listed.empty()) {
        size_t last = set.listed.size() - 1;
        clickLine(static_cast<int>(last));
        EXPECT_EQ(g_cRef, set.listed[last]);
    }
    exitProgram();
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(storedSlots(storePath), slotsOf(set.listed));
    EXPECT_TRUE(neighbourKept(storePath));
}

std::string sixteen(const std::string& first, const std::string& second, const std::string& third)
{
    std::string text = "\"0\"=" + first + "\n\"1\"=" + second + "\n\"2\"=" + third + "\n";
    for (int i = 3; i < NUM_CUSTOM_COLOURS; ++i)
        text += "\"" + std::to_string(i) + "\"=dword:ffffffff\n";
    return text;
}

std::string full()
{
    std::string text;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "\"%d\"=dword:%08x\n", i, static_cast<unsigned>(RGB(i, 2 * i, 3 * i)));
        text += line;
    }
    return text;
}

std::vector<COLORREF> fullColours()
{
    std::vector<COLORREF> colours;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i)
        colours.push_back(RGB(i, 2 * i, 3 * i));
    return colours;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsLoad,
    ::testing::Values(
        StoredSet{"ValuesZeroToFourOnly",
                  "\"0\"=dword:000000ff\n\"1\"=dword:0000ff00\n\"2\"=dword:ffffffff\n\"3\"=dword:00ff0000\n"
                  "\"4\"=dword:00000000\n",
                  {red, green, blue, 0x00000000}},
        StoredSet{"EmptySlotBetweenTwoColours", sixteen("dword:000000ff", "dword:ffffffff", "dword:00ff0000"),
                  {red, blue}},
        StoredSet{"KeyWithoutValues", "", {}},
        StoredSet{"AllSixteen", full(), fullColours()},
        StoredSet{"ValueTooLong", sixteen("dword:000000ff", "hex:01,02,03,04,05", "dword:00ff0000"), {red, blue}},
        StoredSet{"StringValue", sixteen("dword:000000ff", "\"not a colour\"", "dword:00ff0000"), {red, blue}},
        StoredSet{"QwordValue", sixteen("dword:000000ff", "hex(b):01,00,00,00,00,00,00,00", "dword:00ff0000"),
                  {red, blue}},
        // Fewer than 4 bytes fill the low bytes; the rest are zero, never
        // what the buffer held before.
        StoredSet{"ValueTooShort", sixteen("dword:000000ff", "hex:01,02", "dword:00ff0000"),
                  {red, 0x00000201, blue}},
        StoredSet{"FirstValueMissing", "\"1\"=dword:0000ff00\n\"2\"=dword:00ff0000\n", {green, blue}}),
    [](const ::testing::TestParamInfo<StoredSet>& info) { return std::string(info.param.name); });

struct UnreadableFile {
    const char* name;
    const char* content;
};

void PrintTo(const UnreadableFile& file, std::ostream* out) { *out << file.name; }

class SettingsUnreadable : public CustomColourFixture, public ::testing::WithParamInterface<UnreadableFile> {};

// A file the store cannot parse is someone's data: it is reported, never
// overwritten, and the program still runs with an empty list.
TEST_P(SettingsUnreadable, ReportsBothWaysAndLeavesTheFileByteForByte)
{
    const std::string content = GetParam().content;
    writeFile(storePath, content);
    app.start();
    EXPECT_EQ(app.mainWindow(), nullptr) << "the main window opened before the error was answered";
    answerBox(readFailure, MB_ICONERROR, nullptr);
    main = app.mainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(g_nNumberOfCustomColours, 0);
    EXPECT_FALSE(enabled(IDC_REMOVE));

    add(red);
    exitProgram();
    answerBox(saveFailure, MB_ICONERROR, nullptr);
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(readFile(storePath), content);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsUnreadable,
    ::testing::Values(UnreadableFile{"NoHeader", "not a registry file at all\n"},
                      UnreadableFile{"BadDword",
                                     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n"
                                     "\"0\"=dword:zz\n"},
                      UnreadableFile{"UnclosedSection",
                                     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane\n"
                                     "\"0\"=dword:000000ff\n"}),
    [](const ::testing::TestParamInfo<UnreadableFile>& info) { return std::string(info.param.name); });

TEST_F(Settings, APlainFileWhereTheFolderShouldBeIsReportedAndKept)
{
    std::filesystem::path blocker = std::filesystem::path(storePath).parent_path() / "blocker";
    writeFile(blocker.string(), "a plain file");
    std::string inside = (blocker / "registry.reg").string();
    setenv("HUEVANE_REGISTRY_FILE", inside.c_str(), 1);
    app.start();
    answerBox(readFailure, MB_ICONERROR, nullptr);
    main = app.mainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(lines().empty());
    add(red);
    exitProgram();
    answerBox(saveFailure, MB_ICONERROR, nullptr);
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(blocker));
    EXPECT_EQ(readFile(blocker.string()), "a plain file");
}

class SettingsKeyGone : public CustomColourFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(SettingsKeyGone, TheKeyDeletedWhileRunningIsWrittenAgainAtExit)
{
    bool wholeFile = GetParam();
    startWith(storeText(sixteen("dword:000000ff", "dword:00ff0000", "dword:ffffffff")));
    ASSERT_EQ(lines(), htmlLines({red, blue}));
    if (wholeFile)
        std::filesystem::remove(storePath);
    else
        writeFile(storePath, std::string("REGEDIT4\n\n") + neighbourSection);
    add(green);
    exitProgram();
    EXPECT_EQ(app.topLevel(PRODUCT_TITLE), nullptr) << "unexpected message box";
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(storedSlots(storePath), slotsOf({red, blue, green}));
    if (!wholeFile)
        EXPECT_TRUE(neighbourKept(storePath));
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsKeyGone, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "FileRemoved" : "SectionRemoved");
                         });

struct FailedSave {
    const char* name;
    win32::registry::CommitHook hook;
};

void PrintTo(const FailedSave& failure, std::ostream* out) { *out << failure.name; }

class SettingsSaveFails : public CustomColourFixture, public ::testing::WithParamInterface<FailedSave> {};

// The store fails at one point of writing the file: at opening the key (the
// lock) or at closing it (writing the values). Either way the user is told,
// the old file stays whole, and the program still ends with code 0.
TEST_P(SettingsSaveFails, IsReportedLeavesTheOldFileAndExitsWithZero)
{
    const std::string stored = storeText(sixteen("dword:000000ff", "dword:ffffffff", "dword:ffffffff"));
    startWith(stored);
    add(blue);
    win32::registry::setCommitHookForTesting(GetParam().hook);
    exitProgram();
    answerBox(saveFailure, MB_ICONERROR, nullptr);
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(readFile(storePath), stored);
}

using win32::registry::CommitStep;

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsSaveFails,
    ::testing::Values(FailedSave{"LockRefused",
                                 [](CommitStep step) { return step == CommitStep::locked ? EACCES : 0; }},
                      FailedSave{"DiskFullHalfway",
                                 [](CommitStep step) { return step == CommitStep::halfWritten ? ENOSPC : 0; }},
                      FailedSave{"SyncFails", [](CommitStep step) { return step == CommitStep::synced ? EIO : 0; }}),
    [](const ::testing::TestParamInfo<FailedSave>& info) { return std::string(info.param.name); });

TEST_F(Settings, TheFolderReplacedByAFileMidRunIsReportedAndTheExitCodeIsZero)
{
    startWith(storeText(""));
    add(red);
    std::filesystem::path folder = std::filesystem::path(storePath).parent_path();
    std::filesystem::remove_all(folder);
    writeFile(folder.string(), "in the way");
    exitProgram();
    answerBox(saveFailure, MB_ICONERROR, nullptr);
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(readFile(folder.string()), "in the way");
    std::filesystem::remove(folder);
}

// The session end never returns to WinMain (the process ends inside the
// layer), so the program runs in a child process and the parent reads the file.
TEST_F(Settings, TheEndOfTheSessionKeepsTheColoursAddedInIt)
{
    writeFile(storePath, storeText(sixteen("dword:000000ff", "dword:ffffffff", "dword:ffffffff")));
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        app.start();
        HWND window = app.mainWindow();
        if (!window || SendDlgItemMessageA(window, IDC_CUSTOM_LIST, LB_GETCOUNT, 0, 0) != 1)
            _exit(20);
        add(green);
        add(blue);
        if (g_nNumberOfCustomColours != 3)
            _exit(21);
        win32::backend::Event end;
        end.type = win32::backend::EventType::SessionEnd;
        app.screen().injectEvent(end);
        app.pump();
        _exit(22); // the program should have ended the process by now
    }
    // The parent never starts its own copy of the program.
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(storedSlots(storePath), slotsOf({red, green, blue}));
    EXPECT_TRUE(neighbourKept(storePath));
}
