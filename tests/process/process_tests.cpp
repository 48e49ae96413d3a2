// WinExec: the command line split as Windows splits it, the program started
// with exactly those arguments and no shell in between, the documented
// failure values, and `explorer <address>` handed to the desktop's opener.
// The started program is a stand-in script that records its arguments.
#include <windows.h>

#include "process/process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using win32::process::splitCommandLine;
using Arguments = std::vector<std::string>;

namespace {

struct SplitCase {
    std::string line;
    Arguments expected;
};

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, GivesTheArguments)
{
    EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    WindowsRules, CommandLineSplit,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{" \t ", {}}, SplitCase{"prog", {"prog"}},
        SplitCase{"  prog \t a   b  ", {"prog", "a", "b"}},
        // The program name: quotes group anywhere in it, backslashes are literal.
        SplitCase{"\"C:\\Program Files\\App\\app.exe\" x", {"C:\\Program Files\\App\\app.exe", "x"}},
        SplitCase{"C:\\dir\\\"quoted part\"\\app.exe x", {"C:\\dir\\quoted part\\app.exe", "x"}},
        SplitCase{"\"a\\\" b", {"a\\", "b"}}, SplitCase{"\"\" x", {"", "x"}},
        // The C runtime's documented examples.
        SplitCase{"p \"a b c\" d e", {"p", "a b c", "d", "e"}},
        SplitCase{"p \"ab\\\"c\" \"\\\\\" d", {"p", "ab\"c", "\\", "d"}},
        SplitCase{"p a\\\\\\b d\"e f\"g h", {"p", "a\\\\\\b", "de fg", "h"}},
        SplitCase{"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
        SplitCase{"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
        SplitCase{"p a\"b\"\" c d", {"p", "ab\" c d"}},
        // Empty arguments, quotes inside words, unterminated quotes.
        SplitCase{"p \"\" \"\"", {"p", "", ""}}, SplitCase{"p a\"\"b", {"p", "ab"}},
        SplitCase{"p \"\"\"\"", {"p", "\""}}, SplitCase{"p \"open to the end ", {"p", "open to the end "}},
        SplitCase{"p \\\"", {"p", "\""}}, SplitCase{"p trailing\\\\", {"p", "trailing\\\\"}},
        SplitCase{"p a\\b\\c", {"p", "a\\b\\c"}},
        // Only space and tab separate; nothing else means anything.
        SplitCase{"p a\nb\r\nc", {"p", "a\nb\r\nc"}},
        SplitCase{"p ; | & $(touch x) `ls` $HOME > out < in 'q r'",
                  {"p", ";", "|", "&", "$(touch", "x)", "`ls`", "$HOME", ">", "out", "<", "in", "'q", "r'"}}));

class WinExecTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "huevane-process-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        bin_ = folder_ + "/bin";
        std::filesystem::create_directories(bin_);
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "/usr/bin:/bin";
        setenv("PATH", (bin_ + ":" + savedPath_).c_str(), 1);
        unsetenv("HUEVANE_OPENER");
        recorder_ = writeRecorder(bin_ + "/recorder");
    }

    void TearDown() override
    {
        // Nothing the calls started is left for this process to reap.
        int status;
        EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
        setenv("PATH", savedPath_.c_str(), 1);
        unsetenv("HUEVANE_OPENER");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // A stand-in program: writes its arguments, each followed by a NUL, and
    // renames the record into place when it is complete.
    std::string writeRecorder(const std::string& path)
    {
        std::string record = folder_ + "/record";
        writeFile(path,
                  "#!/bin/sh\n"
                  ": > '" + record + ".partial'\n"
                  "for a in \"$@\"; do printf '%s\\0' \"$a\" >> '" + record + ".partial'; done\n"
                  "mv '" + record + ".partial' '" + record + "'\n",
                  0755);
        return path;
    }

    static void writeFile(const std::string& path, std::string_view text, mode_t mode)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
        chmod(path.c_str(), mode);
    }

    // The stand-in runs on its own; this waits for its record, giving up
    // (and failing) only when it never comes.
    Arguments recordedArguments()
    {
        std::string record = folder_ + "/record";
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ifstream in(record, std::ios::binary);
        EXPECT_TRUE(in.good()) << "the started program never wrote its record";
        std::stringstream text;
        text << in.rdbuf();
        std::filesystem::remove(record);
        Arguments arguments;
        std::string argument;
        while (std::getline(text, argument, '\0'))
            arguments.push_back(argument);
        return arguments;
    }

    std::string folder_;
    std::string bin_;
    std::string recorder_;
    std::string savedPath_;
};

TEST_F(WinExecTest, TheProgramGetsExactlyTheArgumentsOfTheCommandLine)
{
    UINT result = WinExec("recorder plain \"two words\" \"\" a\\\\\\\"b \"tab\there\" \"line\nbreak\" '' *", SW_SHOWNORMAL);
    EXPECT_GT(result, 31u);
    EXPECT_EQ(recordedArguments(), (Arguments{"plain", "two words", "", "a\\\"b", "tab\there", "line\nbreak", "''", "*"}));
}

TEST_F(WinExecTest, NoShellEverSeesTheCommandLine)
{
    std::string witness = folder_ + "/witness";
    std::vector<std::string> attacks = {"$(touch " + witness + ")", "`touch " + witness + "`", "; touch " + witness,
                                        "| touch " + witness, "&& touch " + witness, "\n touch " + witness};
    for (const std::string& attack : attacks) {
        SCOPED_TRACE(attack);
        std::string line = "recorder \"" + attack + "\"";
        EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
        EXPECT_EQ(recordedArguments(), Arguments{attack});
        EXPECT_FALSE(std::filesystem::exists(witness));
    }
}

TEST_F(WinExecTest, HostileLinesStartNothingButTheNamedProgram)
{
    // Shell syntax in the program's name names no program; in an argument
    // (or the opener's target) it is text; an argument too long for the
    // system fails as "out of resources". No case may make the witness.
    setenv("HUEVANE_OPENER", recorder_.c_str(), 1);
    const std::string witness = folder_ + "/witness";
    const std::string touch = "touch " + witness;
    struct Case {
        std::string line;
        UINT result; // 0 and the failure values, or 33 for started
        Arguments arguments;
    };
    const Case cases[] = {
        {"recorder;" + touch, ERROR_FILE_NOT_FOUND, {}},
        {"$(" + touch + ")", ERROR_FILE_NOT_FOUND, {}},
        {"`" + touch + "`", ERROR_FILE_NOT_FOUND, {}},
        {"\"recorder; " + touch + "\"", ERROR_PATH_NOT_FOUND, {}}, // a path, for the slashes in it
        {"recorder\n" + touch, ERROR_FILE_NOT_FOUND, {}},
        {"recorder > " + witness, 33, {">", witness}},
        {"recorder \"unclosed; " + touch, 33, {"unclosed; " + touch}},
        {"explorer \"https://example.org/\n" + touch + "\"", 33, {"https://example.org/\n" + touch}},
        {"recorder " + std::string(1 << 20, 'a'), 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 80));
        UINT result = WinExec(c.line.c_str(), SW_SHOWNORMAL);
        if (c.result > 31) {
            EXPECT_GT(result, 31u);
            EXPECT_EQ(recordedArguments(), c.arguments);
        } else {
            EXPECT_EQ(result, c.result);
        }
        EXPECT_FALSE(std::filesystem::exists(witness));
    }
}

TEST_F(WinExecTest, ProgramsAreFoundByPathByQuotedPathAndWithoutTheirExeSuffix)
{
    std::string spaced = writeRecorder(folder_ + "/folder with spaces/stand in");
    for (const std::string& line : {"\"" + spaced + "\" x", recorder_ + " x", std::string("recorder.exe x")}) {
        SCOPED_TRACE(line);
        EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
        EXPECT_EQ(recordedArguments(), Arguments{"x"});
    }
}

TEST_F(WinExecTest, FailuresGiveTheDocumentedValues)
{
    writeFile(folder_ + "/not-executable", "#!/bin/sh\n", 0644);
    writeFile(folder_ + "/no-format", "\x7f\x01garbage, no interpreter line\n", 0755);
    writeFile(folder_ + "/missing-interpreter", "#!/nonexistent/interpreter\n", 0755);
    writeFile(bin_ + "/on-path-not-executable", "#!/bin/sh\n", 0644);
    const std::vector<std::pair<std::string, UINT>> cases = {
        {"huevane-no-such-program x", ERROR_FILE_NOT_FOUND},
        {"", ERROR_FILE_NOT_FOUND},
        {"   ", ERROR_FILE_NOT_FOUND},
        {"\"\" x", ERROR_FILE_NOT_FOUND},
        {folder_ + "/missing", ERROR_FILE_NOT_FOUND},
        {folder_ + "/no-such-folder/program", ERROR_PATH_NOT_FOUND},
        {folder_ + "/not-executable/program", ERROR_PATH_NOT_FOUND},
        {folder_ + "/not-executable", ERROR_BAD_FORMAT},
        {folder_ + "/no-format", ERROR_BAD_FORMAT},
        {folder_ + "/missing-interpreter", ERROR_BAD_FORMAT},
        {"on-path-not-executable", ERROR_BAD_FORMAT},
        {folder_, ERROR_BAD_FORMAT},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), expected);
    }
    EXPECT_EQ(WinExec(nullptr, SW_SHOWNORMAL), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
}

TEST_F(WinExecTest, ExplorerWithAnAddressOrPathGoesToTheOpener)
{
    setenv("HUEVANE_OPENER", recorder_.c_str(), 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"explorer https://www.example.org/huevane?from=about&x=1", "https://www.example.org/huevane?from=about&x=1"},
        {"EXPLORER.EXE http://example.org/", "http://example.org/"},
        {"C:\\Windows\\explorer.exe \"https://example.org/a b\"", "https://example.org/a b"},
        {"explorer https://example.org/$(touch nothing) more arguments", "https://example.org/$(touch"},
        {"Explorer \"" + folder_ + "\"", folder_},
    };
    for (const auto& [line, target] : cases) {
        SCOPED_TRACE(line);
        EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
        EXPECT_EQ(recordedArguments(), Arguments{target});
    }
}

TEST_F(WinExecTest, TheOpenerIsXdgOpenOnThePathUnlessOverridden)
{
    writeRecorder(bin_ + "/xdg-open");
    EXPECT_GT(WinExec("explorer https://example.org/", SW_SHOWNORMAL), 31u);
    EXPECT_EQ(recordedArguments(), Arguments{"https://example.org/"});

    setenv("HUEVANE_OPENER", "huevane-no-such-opener", 1);
    EXPECT_EQ(WinExec("explorer https://example.org/", SW_SHOWNORMAL), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
    setenv("HUEVANE_OPENER", (folder_ + "/no-such-folder/opener").c_str(), 1);
    EXPECT_EQ(WinExec("explorer https://example.org/", SW_SHOWNORMAL), static_cast<UINT>(ERROR_PATH_NOT_FOUND));
}

TEST_F(WinExecTest, TheStartedProgramIsNotOurChildAndDoesNotHoldOurFiles)
{
    // A descriptor without close-on-exec, as a library might leave one.
    std::string probe = folder_ + "/probe";
    writeFile(probe, "x", 0644);
    int fd = open(probe.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string script = bin_ + "/inspect";
    writeFile(script,
              "#!/bin/sh\n"
              "if [ -e /proc/$$/fd/" + std::to_string(fd) + " ]; then state=open; else state=closed; fi\n"
              "read -r _ _ _ parent _ < /proc/$$/stat\n"
              "echo \"$state $parent\" > '" + folder_ + "/record.partial'\n"
              "mv '" + folder_ + "/record.partial' '" + folder_ + "/record'\n",
              0755);
    EXPECT_GT(WinExec("inspect", SW_SHOWNORMAL), 31u);
    Arguments lines = recordedArguments();
    close(fd);
    ASSERT_FALSE(lines.empty());
    std::istringstream report(lines[0]);
    std::string descriptor, parent;
    report >> descriptor >> parent;
    EXPECT_EQ(descriptor, "closed");
    EXPECT_NE(parent, std::to_string(getpid()));
}

} // namespace
