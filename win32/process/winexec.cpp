// KERNEL32's WinExec: split the command line as Windows does, find the
// program on PATH and start it detached, without a shell, so no character of
// the command line is ever interpreted by anything but splitCommandLine.
// `explorer <address or path>` (how Windows programs open a web page or a
// folder) goes to the desktop's opener, xdg-open.
// Left out: uCmdShow (the started program chooses how to show itself), the
// search of the program's and the current folder before PATH (unsafe here),
// Explorer's own switches (/select, /e, ...), and waiting until the started
// program first calls GetMessage: WinExec returns once the program is running.
#include "process/process.h"

#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace win32::process {

namespace {

// WinExec's documented success values are anything above 31.
constexpr UINT startedValue = 33;
constexpr std::string_view defaultOpener = "xdg-open";
constexpr std::string_view defaultSearchPath = "/usr/local/bin:/usr/bin:/bin";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

bool endsWithExe(std::string_view name) { return name.size() > 4 && equalsNoCase(name.substr(name.size() - 4), ".exe"); }

// The name without its folder, Windows or POSIX separators alike.
std::string_view baseName(std::string_view name)
{
    size_t separator = name.find_last_of("\\/");
    return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

bool isExplorer(std::string_view program)
{
    std::string_view base = baseName(program);
    return equalsNoCase(base, "explorer") || equalsNoCase(base, "explorer.exe");
}

// Windows programs are named with ".exe"; the same program here has no
// extension, so the plain name is tried after the one given.
void addCandidate(std::vector<std::string>& candidates, const std::string& path)
{
    candidates.push_back(path);
    if (endsWithExe(path))
        candidates.push_back(path.substr(0, path.size() - 4));
}

// The files to try in order, as execvp would search them; worked out before
// fork because the child may only make async-signal-safe calls.
std::vector<std::string> programCandidates(const std::string& program)
{
    std::vector<std::string> candidates;
    if (program.find('/') != std::string::npos) {
        addCandidate(candidates, program);
        return candidates;
    }
    const char* pathVariable = std::getenv("PATH");
    std::string_view searchPath = pathVariable ? std::string_view(pathVariable) : defaultSearchPath;
    while (true) {
        size_t colon = searchPath.find(':');
        std::string folder(searchPath.substr(0, colon));
        addCandidate(candidates, (folder.empty() ? std::string(".") : folder) + "/" + program);
        if (colon == std::string_view::npos)
            break;
        searchPath.remove_prefix(colon + 1);
    }
    return candidates;
}

// In the grandchild, after fork: only async-signal-safe calls from here on.
[[noreturn]] void execute(const std::vector<char*>& candidates, char* const* argv, int reportFd)
{
    // The started program is a process of its own, as on Windows: its own
    // session, default signal handling, none of our descriptors.
    setsid();
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    struct sigaction defaultAction{};
    defaultAction.sa_handler = SIG_DFL;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        sigaction(signalNumber, &defaultAction, nullptr);
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    // execve, not execvp: execvp hands a file it cannot execute to /bin/sh.
    int error = ENOENT;
    bool deniedSomewhere = false;
    for (char* candidate : candidates) {
        execve(candidate, argv, environ);
        if (errno == EACCES) {
            deniedSomewhere = true;
        } else if (errno != ENOENT && errno != ENOTDIR) {
            error = errno;
            break;
        } else {
            error = errno;
        }
    }
    if (deniedSomewhere && (error == ENOENT || error == ENOTDIR))
        error = EACCES;
    while (write(reportFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
}

// Starts the program through a double fork, so it is reparented at once and
// never left for us to reap, and learns through a close-on-exec pipe whether
// the exec worked: end of file means it did, an errno value means it did not.
int startDetached(const std::vector<std::string>& candidates, const std::vector<std::string>& arguments)
{
    std::vector<char*> candidatePointers;
    for (const std::string& candidate : candidates)
        candidatePointers.push_back(const_cast<char*>(candidate.c_str()));
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return errno;
    pid_t child = fork();
    if (child < 0) {
        int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        close(report[0]);
        pid_t grandchild = fork();
        if (grandchild == 0)
            execute(candidatePointers, argv.data(), report[1]);
        if (grandchild < 0) {
            int error = errno;
            while (write(report[1], &error, sizeof error) < 0 && errno == EINTR) {
            }
        }
        _exit(0);
    }
    close(report[1]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// WinExec's documented failures: 2 no such file, 3 no such folder, 11 not a
// program, 0 out of resources.
UINT failureValue(int error, const std::string& program, const std::vector<std::string>& candidates)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        // A file that is there but fails with ENOENT names a missing
        // interpreter: it is the file that cannot run.
        for (const std::string& candidate : candidates) {
            if (exists(candidate))
                return ERROR_BAD_FORMAT;
        }
        if (program.find('/') != std::string::npos) {
            size_t slash = program.rfind('/');
            std::string folder = slash == 0 ? "/" : program.substr(0, slash);
            if (!isFolder(folder))
                return ERROR_PATH_NOT_FOUND;
        }
        return ERROR_FILE_NOT_FOUND;
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
        return 0;
    default:
        return ERROR_BAD_FORMAT;
    }
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i == line.size())
        return arguments;

    // The program name is a path: quotes only group, backslashes are literal.
    std::string program;
    bool quoted = false;
    for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            program += line[i];
    }
    arguments.push_back(std::move(program));

    while (true) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        std::string argument;
        bool inQuotes = false;
        while (i < line.size() && (inQuotes || !isBlank(line[i]))) {
            char c = line[i];
            if (c == '\\') {
                size_t backslashes = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    argument.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(backslashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                // The C runtime keeps quoting after "" inside quotes; shell32's
                // CommandLineToArgvW ends it there. The started program's own
                // runtime is what splits its line on Windows, so follow it.
                if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
                    argument += '"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            argument += c;
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

} // namespace win32::process

extern "C" UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow)
{
    using namespace win32::process;
    std::vector<std::string> arguments = splitCommandLine(lpCmdLine ? lpCmdLine : "");
    if (arguments.empty() || arguments[0].empty())
        return ERROR_FILE_NOT_FOUND;

    if (isExplorer(arguments[0]) && arguments.size() >= 2 && !arguments[1].empty()) {
        const char* opener = std::getenv("HUEVANE_OPENER");
        std::string target = arguments[1];
        arguments = {opener && *opener ? std::string(opener) : std::string(defaultOpener), target};
    }

    std::vector<std::string> candidates = programCandidates(arguments[0]);
    int error = startDetached(candidates, arguments);
    if (error == 0)
        return startedValue;
    return failureValue(error, arguments[0], candidates);
}
