// Twenty copies of the program on one store, started at once on a store that
// does not exist yet (so they race to create the key), each filling all 16
// slots with colours of its own and all closing at once. Every save re-reads
// the file under the lock and writes all 16 values, so the store must end up
// as valid REGEDIT4 holding exactly one copy's 16 colours: a mix would mean
// a save read or wrote outside the lock.
#include "stress_support.h"

#include <poll.h>

#include <memory>

using namespace huevane::stress;
using huevane::testing::AppDriver;

namespace {

constexpr int copies = 20;

COLORREF colourOf(int copy, int slot) { return RGB(copy + 1, slot * 15, 0x5A); }

// A pipe as a starting gate: readers wait until the parent closes its end.
struct Gate {
    int fds[2] = {-1, -1};
    Gate() { EXPECT_EQ(pipe(fds), 0); }
    ~Gate()
    {
        close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
    }
    void waitInChild() const
    {
        close(fds[1]);
        char byte;
        while (read(fds[0], &byte, 1) < 0 && errno == EINTR) {
        }
    }
    void open()
    {
        close(fds[1]);
        fds[1] = -1;
    }
};

TEST(ConcurrentCopies, TwentyCopiesEndingAtOnceLeaveTheSixteenColoursOfOne)
{
    StoreFolder store;
    Gate start, finish;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);

    std::vector<std::unique_ptr<Child>> children;
    for (int copy = 0; copy < copies; ++copy) {
        children.push_back(std::make_unique<Child>([&, copy](int fd) {
            close(ready[0]);
            start.waitInChild();
            AppDriver app;
            app.start();
            // A box at the start (the store unreadable) leaves no main window yet.
            report(fd, std::string("main=") + (app.mainWindow() ? "shown" : "missing") + "\n");
            HWND list = app.control(IDC_CUSTOM_LIST);
            report(fd, "listed=" + std::to_string(SendMessageA(list, LB_GETCOUNT, 0, 0)) + "\n");
            [[maybe_unused]] ssize_t written = write(ready[1], "r", 1);
            finish.waitInChild();
            for (int slot = 0; slot < NUM_CUSTOM_COLOURS; ++slot)
                addColour(app, colourOf(copy, slot));
            report(fd, "colours=" + std::to_string(g_nNumberOfCustomColours) + "\n");
            exitAndReport(app, fd);
        }));
    }
    close(ready[1]);
    start.open();
    // All have loaded the store before any saves, so each saves its own 16.
    int loaded = 0;
    pollfd readable{ready[0], POLLIN, 0};
    while (loaded < copies && poll(&readable, 1, 60000) > 0) {
        char bytes[copies];
        ssize_t n = read(ready[0], bytes, sizeof bytes);
        if (n <= 0)
            break;
        loaded += static_cast<int>(n);
    }
    close(ready[0]);
    EXPECT_EQ(loaded, copies) << "not every copy started";
    finish.open();

    for (int copy = 0; copy < copies; ++copy) {
        ChildResult result = children[copy]->wait();
        SCOPED_TRACE("copy " + std::to_string(copy) + ": " + result.describe());
        EXPECT_TRUE(result.exitedWith(0));
        EXPECT_NE(result.report.find("main=shown\n"), std::string::npos) << "it could not read the store";
        EXPECT_NE(result.report.find("listed=0\n"), std::string::npos) << "it did not start from an empty store";
        EXPECT_NE(result.report.find("colours=16\n"), std::string::npos);
        EXPECT_EQ(result.report.find("box="), std::string::npos) << "a save failed";
        EXPECT_NE(result.report.find("exit=0\n"), std::string::npos);
    }

    const std::string text = store.text();
    ASSERT_EQ(text.rfind("REGEDIT4\n", 0), 0u) << text;
    win32::registry::ParseResult parsed = win32::registry::parseRegistryText(text);
    ASSERT_TRUE(parsed.ok) << "line " << parsed.errorLine << ": " << parsed.errorMessage << "\n" << text;
    EXPECT_EQ(parsed.document.keys.size(), 1u) << text;
    std::optional<std::vector<COLORREF>> slots = storedSlots(text);
    ASSERT_TRUE(slots.has_value()) << text;
    int owner = static_cast<int>(GetRValue((*slots)[0])) - 1;
    ASSERT_TRUE(owner >= 0 && owner < copies) << text;
    for (int slot = 0; slot < NUM_CUSTOM_COLOURS; ++slot)
        EXPECT_EQ((*slots)[slot], colourOf(owner, slot)) << "slot " << slot << " is not copy " << owner << "'s";
    EXPECT_FALSE(store.temporaryLeft());
}

} // namespace
