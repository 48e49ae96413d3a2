#include "app_driver.h"

#include "user/user_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace huevane::testing {

using win32::backend::HeadlessBackend;

AppDriver::AppDriver(const HeadlessBackend::Options& options)
{
    auto backend = std::make_unique<HeadlessBackend>(options);
    backend_ = backend.get();
    backend_->attachDriver();
    win32::backend::install(std::move(backend));
    // Each scenario stores its settings in a fresh place of its own.
    if (!std::getenv("HUEVANE_REGISTRY_FILE")) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scenario";
        // Parameterised cases have slashes in their names; keep one flat file.
        std::replace(name.begin(), name.end(), '/', '_');
        auto folder = std::filesystem::temp_directory_path() / ("huevane-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::string file = (folder / (name + ".reg")).string();
        setenv("HUEVANE_REGISTRY_FILE", file.c_str(), 1);
    }
}

AppDriver::~AppDriver()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info && info->result()->Failed())
        saveScreenshot(std::string(info->test_suite_name()) + "." + info->name());
    // A program still running is closed the way a user would: the close box of
    // the topmost window, again and again, until WinMain returns.
    for (int attempt = 0; started_ && !backend_->finished() && attempt < 20; ++attempt) {
        const auto& tops = win32::user::topLevelWindows();
        for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
            if (IsWindowVisible((*it)->handle) && IsWindowEnabled((*it)->handle) && (*it)->backing) {
                win32::backend::Event close;
                close.type = win32::backend::EventType::CloseRequest;
                close.surface = (*it)->backing->surface;
                backend_->injectEvent(close);
                break;
            }
        }
        backend_->resume();
        backend_->waitUntilIdle(std::chrono::seconds(5));
    }
    if (program_.joinable()) {
        if (backend_->finished()) {
            program_.join();
        } else {
            // It could not be ended: leave the process without waiting for it.
            std::fflush(nullptr);
            std::_Exit(info && info->result()->Failed() ? 1 : 2);
        }
    }
}

void AppDriver::start()
{
    started_ = true;
    program_ = std::thread([this] {
        exitCode_ = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT);
        backend_->markFinished();
    });
    ASSERT_TRUE(backend_->waitUntilIdle()) << "the program did not become idle";
}

bool AppDriver::finished() const { return backend_->finished(); }

int AppDriver::waitForExit()
{
    if (!backend_->finished()) {
        backend_->resume();
        backend_->waitUntilIdle();
    }
    if (!backend_->finished())
        return -1;
    if (program_.joinable())
        program_.join();
    return exitCode_;
}

void AppDriver::pump()
{
    if (backend_->finished())
        return;
    // The test may have changed windows directly; the wake makes the program's
    // loop look again (paint, present) instead of parking at once.
    backend_->wake();
    backend_->resume();
    EXPECT_TRUE(backend_->waitUntilIdle()) << "the program did not become idle";
}

void AppDriver::present() { win32::user::presentAll(); }

void AppDriver::moveTo(POINT p)
{
    backend_->movePointer(p.x, p.y);
    pump();
}

void AppDriver::press()
{
    backend_->pressButton(1);
    pump();
}

void AppDriver::release()
{
    backend_->releaseButton(1);
    pump();
}

void AppDriver::click(POINT p)
{
    backend_->movePointer(p.x, p.y);
    backend_->pressButton(1);
    backend_->releaseButton(1);
    pump();
}

void AppDriver::key(unsigned virtualKey, char32_t text, unsigned modifiers)
{
    backend_->pressKey(virtualKey, text, modifiers);
    backend_->releaseKey(virtualKey, modifiers);
    pump();
}

void AppDriver::advanceClock(uint64_t ms)
{
    backend_->advanceClock(ms);
    pump();
}

HWND AppDriver::mainWindow() const { return topLevel("Korvell Software - Huevane 1.0"); }

HWND AppDriver::topLevel(const std::string& title) const
{
    const auto& tops = win32::user::topLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if ((*it)->text == title && IsWindowVisible((*it)->handle))
            return (*it)->handle;
    }
    return nullptr;
}

std::string AppDriver::text(HWND window) const
{
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

POINT AppDriver::centreOf(HWND window)
{
    RECT r = windowRect(window);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

RECT AppDriver::windowRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

POINT AppDriver::pointWithHitCode(HWND window, LRESULT hitCode) const
{
    RECT r = windowRect(window);
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.right - 1; x >= r.left; --x) {
            if (SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == hitCode)
                return POINT{x, y};
        }
    }
    ADD_FAILURE() << "no point with hit-test code " << hitCode;
    return POINT{r.left, r.top};
}

win32::core::Pixel AppDriver::pixelAt(POINT p) { return backend_->readScreenPixel(p.x, p.y).value_or(0xFFFFFFFF); }

void AppDriver::saveScreenshot(const std::string& name)
{
    std::filesystem::path folder = std::filesystem::current_path() / "artifacts";
    std::filesystem::create_directories(folder);
    backend_->writePng((folder / (name + ".png")).string());
}

} // namespace huevane::testing
