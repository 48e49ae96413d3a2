// The program's save at exit, broken at each system call it makes on the
// store: the process killed just before the call, or the call failing with a
// full disk or an I/O error. The registry's own tests stop a commit at its
// named steps; these go through the program (its Add, its Exit, its message
// box) and through every call, the lock and the rename included. Afterwards
// the file is always the old store or the new one, whole, the next run of the
// program reads it and saves again, and a failure is told to the user.
#include "stress_support.h"

#include "registry/registry_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>

using namespace huevane::stress;
using huevane::testing::AppDriver;
using win32::registry::FileCall;

namespace {

constexpr COLORREF red = 0x000000FF;
constexpr COLORREF green = 0x0000FF00;
constexpr COLORREF blue = 0x00FF0000;

const char* callName(FileCall call)
{
    switch (call) {
    case FileCall::makeFolder: return "makeFolder";
    case FileCall::openLock: return "openLock";
    case FileCall::lock: return "lock";
    case FileCall::openForReading: return "openForReading";
    case FileCall::read: return "read";
    case FileCall::openTemporary: return "openTemporary";
    case FileCall::write: return "write";
    case FileCall::sync: return "sync";
    case FileCall::close: return "close";
    case FileCall::rename: return "rename";
    case FileCall::openFolder: return "openFolder";
    case FileCall::syncFolder: return "syncFolder";
    }
    return "?";
}

// The hook lives in the child; these say what it does there.
enum class Breakage { none, kill, fail };
Breakage breakage = Breakage::none;
int breakAt = 0;      // 1-based index of the call to break
int breakError = 0;   // the errno a failing call gets
int reportFd = -1;
std::atomic<int> callsSeen{0};
std::string callsMade;

int breakingHook(FileCall call)
{
    int index = ++callsSeen;
    callsMade += std::string(callsMade.empty() ? "" : ",") + callName(call);
    if (breakage == Breakage::none || index != breakAt)
        return 0;
    report(reportFd, std::string("broken=") + callName(call) + "\n");
    if (breakage == Breakage::kill)
        raise(SIGKILL);
    return breakError;
}

std::vector<std::string> split(const std::string& list)
{
    std::vector<std::string> names;
    std::stringstream in(list);
    for (std::string name; std::getline(in, name, ',');)
        names.push_back(name);
    return names;
}

std::string field(const std::string& report, const std::string& name)
{
    size_t at = report.find(name + "=");
    if (at == std::string::npos)
        return "";
    size_t end = report.find('\n', at);
    return report.substr(at + name.size() + 1, end - at - name.size() - 1);
}

class SaveBrokenAtEachCall : public ::testing::Test {
protected:
    const std::vector<COLORREF> oldSlots = slotsOf({red, green});
    const std::vector<COLORREF> newSlots = slotsOf({red, green, blue});
    const std::string oldText = storeTextOf(oldSlots);

    // The program loads the old store, the user adds blue and clicks Exit;
    // the hook is set just before the click, so it sees the save alone.
    ChildResult saveInChild(Breakage how, int at, int error)
    {
        writeWholeFile(store.file(), oldText);
        Child child([&](int fd) {
            breakage = how;
            breakAt = at;
            breakError = error;
            reportFd = fd;
            AppDriver app;
            app.start();
            if (!app.mainWindow())
                _exit(30);
            addColour(app, blue);
            if (g_nNumberOfCustomColours != 3)
                _exit(31);
            win32::registry::setFileCallHookForTesting(breakingHook);
            exitAndReport(app, fd);
            win32::registry::setFileCallHookForTesting(nullptr);
            report(fd, "calls=" + callsMade + "\n");
        });
        return child.wait();
    }

    // Broken up to the rename the old store is there byte for byte; after it
    // the new one, whole. Either way the next run works with it.
    void expectAWholeStore(bool beforeTheRename)
    {
        if (beforeTheRename) {
            EXPECT_EQ(store.text(), oldText);
            expectTheNextRunToWork(oldSlots);
        } else {
            EXPECT_EQ(storedSlots(store.text()), newSlots) << store.text();
            expectTheNextRunToWork(newSlots);
        }
    }

    // A later run of the program: it lists what the store holds and saves it
    // again without complaint (no lock left held, no leftover in the way).
    void expectTheNextRunToWork(const std::vector<COLORREF>& slots)
    {
        size_t colours = 0;
        while (colours < slots.size() && slots[colours] != EMPTY_SLOT)
            ++colours;
        Child child([&](int fd) {
            AppDriver app;
            app.start();
            HWND list = app.control(IDC_CUSTOM_LIST);
            report(fd, "listed=" + std::to_string(SendMessageA(list, LB_GETCOUNT, 0, 0)) + "\n");
            exitAndReport(app, fd);
        });
        ChildResult result = child.wait();
        EXPECT_TRUE(result.exitedWith(0)) << result.describe();
        EXPECT_EQ(field(result.report, "listed"), std::to_string(colours)) << result.describe();
        EXPECT_EQ(field(result.report, "box"), "") << result.describe();
        EXPECT_EQ(field(result.report, "exit"), "0") << result.describe();
        EXPECT_EQ(storedSlots(store.text()), slots) << store.text();
        EXPECT_FALSE(store.temporaryLeft());
    }

    // The calls of an unbroken save, in order.
    std::vector<std::string> callsOfASave()
    {
        ChildResult result = saveInChild(Breakage::none, 0, 0);
        EXPECT_TRUE(result.exitedWith(0)) << result.describe();
        EXPECT_EQ(field(result.report, "box"), "") << result.describe();
        EXPECT_EQ(storedSlots(store.text()), newSlots);
        return split(field(result.report, "calls"));
    }

    StoreFolder store;
};

size_t positionOf(const std::vector<std::string>& calls, const std::string& name)
{
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] == name)
            return i + 1;
    }
    return 0;
}

TEST_F(SaveBrokenAtEachCall, AKillBeforeAnyCallLeavesTheOldOrTheNewStoreWhole)
{
    const std::vector<std::string> calls = callsOfASave();
    // The save must really go through the lock, a write, a sync and a rename,
    // or this test would prove nothing about them.
    for (const char* needed : {"lock", "write", "sync", "rename", "syncFolder"})
        ASSERT_NE(positionOf(calls, needed), 0u) << needed << " is not among the calls of a save";
    const size_t rename = positionOf(calls, "rename");

    for (size_t at = 1; at <= calls.size(); ++at) {
        SCOPED_TRACE("killed before call " + std::to_string(at) + ", " + calls[at - 1]);
        ChildResult result = saveInChild(Breakage::kill, static_cast<int>(at), 0);
        ASSERT_TRUE(result.killedBy(SIGKILL)) << result.describe();
        EXPECT_EQ(field(result.report, "broken"), calls[at - 1]);
        expectAWholeStore(at <= rename);
    }
}

struct InjectedError {
    const char* name;
    int error;
};

void PrintTo(const InjectedError& e, std::ostream* out) { *out << e.name; }

class SaveFailingAtEachCall : public SaveBrokenAtEachCall, public ::testing::WithParamInterface<InjectedError> {};

// A call that fails is told to the user with the save-failure box, WinMain
// still returns 0, and a failure up to the rename leaves the old file byte for
// byte. After the rename the new store is in place, only its folder entry may
// not be on the disk yet; the user is told all the same.
TEST_P(SaveFailingAtEachCall, IsToldToTheUserAndLeavesAWholeStore)
{
    const std::vector<std::string> calls = callsOfASave();
    const size_t rename = positionOf(calls, "rename");
    ASSERT_NE(rename, 0u);

    for (size_t at = 1; at <= calls.size(); ++at) {
        SCOPED_TRACE(std::string(GetParam().name) + " at call " + std::to_string(at) + ", " + calls[at - 1]);
        ChildResult result = saveInChild(Breakage::fail, static_cast<int>(at), GetParam().error);
        ASSERT_TRUE(result.exitedWith(0)) << result.describe();
        EXPECT_EQ(field(result.report, "broken"), calls[at - 1]);
        EXPECT_EQ(field(result.report, "box"), oneLine(saveFailure))
            << result.describe();
        EXPECT_EQ(field(result.report, "exit"), "0");
        EXPECT_FALSE(store.temporaryLeft());
        expectAWholeStore(at <= rename);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, SaveFailingAtEachCall,
                         ::testing::Values(InjectedError{"DiskFull", ENOSPC}, InjectedError{"QuotaFull", EDQUOT},
                                           InjectedError{"InputOutputError", EIO}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
