// What the stress tests share: a settings file of their own, reading the 16
// slots back from it, and running the program in a child process that
// reports what happened through a pipe (the parent never starts a copy of
// the program itself, so it stays free of threads and can fork again).
#pragma once

#include "Huevane.h"
#include "app_driver.h"

#include "registry/registry_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace huevane::stress {

inline constexpr const char* settingsPath = "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane";
inline constexpr const char* saveFailure = "Failed to save/create the registry settings!\n\n"
                                           "Probable cause: you don't have privileges to create registry subkeys.";
// The message box's text control (win32/user/messagebox.cpp).
inline constexpr int boxTextId = 0xFFFF;

inline std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The store file as the program writes it, holding these 16 slots.
inline std::string storeTextOf(const std::vector<COLORREF>& slots)
{
    std::string text = std::string("REGEDIT4\n\n[") + settingsPath + "]\n";
    for (size_t i = 0; i < slots.size(); ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "\"%zu\"=dword:%08x\n", i, static_cast<unsigned>(slots[i]));
        text += line;
    }
    return text + "\n";
}

inline std::vector<COLORREF> slotsOf(std::vector<COLORREF> colours)
{
    colours.resize(NUM_CUSTOM_COLOURS, EMPTY_SLOT);
    return colours;
}

// The 16 slots the file holds; nothing when it does not parse or any of the
// 16 values is missing or not a 4-byte REG_DWORD (a half-written store).
inline std::optional<std::vector<COLORREF>> storedSlots(const std::string& text)
{
    win32::registry::ParseResult parsed = win32::registry::parseRegistryText(text);
    if (!parsed.ok)
        return std::nullopt;
    const win32::registry::Key* key = win32::registry::findKey(parsed.document, settingsPath);
    if (!key || key->values.size() != NUM_CUSTOM_COLOURS)
        return std::nullopt;
    std::vector<COLORREF> slots;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i) {
        const win32::registry::Value* value = win32::registry::findValue(key->values, std::to_string(i));
        if (!value || value->type != REG_DWORD || value->data.size() != 4)
            return std::nullopt;
        slots.push_back(static_cast<COLORREF>(value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
                                              static_cast<uint32_t>(value->data[3]) << 24));
    }
    return slots;
}

// A fresh folder for the store, named for the test, removed at the end.
class StoreFolder {
public:
    StoreFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "huevane-stress-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        folder_ = pattern;
        file_ = folder_ + "/huevane/registry.reg";
        std::filesystem::create_directories(folder_ + "/huevane");
        setenv("HUEVANE_REGISTRY_FILE", file_.c_str(), 1);
    }
    ~StoreFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        unsetenv("HUEVANE_REGISTRY_FILE");
    }
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;

    const std::string& file() const { return file_; }
    std::string text() const { return readWholeFile(file_); }
    bool temporaryLeft() const { return std::filesystem::exists(file_ + ".tmp"); }

private:
    std::string folder_;
    std::string file_;
};

// A child process and the words it wrote to its report pipe.
struct ChildResult {
    int status = 0;
    std::string report;

    bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
    bool killedBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
    std::string describe() const
    {
        std::string how = WIFEXITED(status)     ? "exit " + std::to_string(WEXITSTATUS(status))
                          : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                : "status " + std::to_string(status);
        return how + ", report: " + report;
    }
};

class Child {
public:
    // Runs body(reportFd) in a child process; the child ends when it returns.
    template <typename Body>
    explicit Child(Body body)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            ADD_FAILURE() << "pipe failed";
            return;
        }
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            body(fds[1]);
            std::fflush(nullptr);
            _exit(0);
        }
        close(fds[1]);
        reportFd_ = fds[0];
    }
    ~Child()
    {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    ChildResult wait()
    {
        ChildResult result;
        char buffer[512];
        ssize_t n;
        while ((n = read(reportFd_, buffer, sizeof buffer)) > 0)
            result.report.append(buffer, static_cast<size_t>(n));
        close(reportFd_);
        waitpid(pid_, &result.status, 0);
        waited_ = true;
        return result;
    }

private:
    pid_t pid_ = -1;
    int reportFd_ = -1;
    bool waited_ = false;
};

// Reports are lines of name=value; a value's own line breaks become '|'.
inline std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n')
            c = '|';
    }
    return text;
}

inline void report(int fd, const std::string& text)
{
    [[maybe_unused]] ssize_t written = write(fd, text.data(), text.size());
}

// In a child: makes `colour` current and clicks Add, as a sampling would.
inline void addColour(huevane::testing::AppDriver& app, COLORREF colour)
{
    g_cRef = colour;
    app.click(app.control(IDC_ADD));
}

// In a child: clicks Exit and answers any message box the save puts up.
// Reports "box=<its text>" for each box and "exit=<WinMain's code>".
inline void exitAndReport(huevane::testing::AppDriver& app, int fd)
{
    app.click(app.control(IDC_EXIT));
    for (int boxes = 0; boxes < 3 && !app.finished(); ++boxes) {
        HWND box = app.topLevel(PRODUCT_TITLE);
        if (!box)
            break;
        report(fd, "box=" + oneLine(app.text(GetDlgItem(box, boxTextId))) + "\n");
        app.key(VK_RETURN, '\r');
    }
    report(fd, "exit=" + std::to_string(app.waitForExit()) + "\n");
}

} // namespace huevane::stress
