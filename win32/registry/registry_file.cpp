// The registry file: locating it, reading it, and the crash-safe commit
// (lock, re-read, temporary file, fsync, rename, fsync of the folder).
// A commit re-reads the file under the lock so that values another process
// or another editor wrote in the meantime are kept.
#include "registry/registry_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win32::registry {

namespace {

constexpr std::string_view lockSuffix = ".lock";
constexpr std::string_view temporarySuffix = ".tmp";

std::atomic<CommitHook> commitHook{nullptr};
std::atomic<FileCallHook> fileCallHook{nullptr};

int stepFailure(CommitStep step)
{
    CommitHook hook = commitHook.load();
    return hook ? hook(step) : 0;
}

// True, with errno set, when a test has this call fail instead of being made.
bool injectedFailure(FileCall call)
{
    FileCallHook hook = fileCallHook.load();
    int error = hook ? hook(call) : 0;
    if (error)
        errno = error;
    return error != 0;
}

LONG errorFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case ENOMEM:
        return ERROR_OUTOFMEMORY;
    default:
        return ERROR_WRITE_FAULT;
    }
}

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// mkdir -p: every missing level with mode 0700, so the settings stay private.
int makeFolders(const std::string& folder)
{
    struct stat info;
    if (stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    size_t position = 0;
    while (position != std::string::npos) {
        position = folder.find('/', position + 1);
        std::string level = folder.substr(0, position);
        if (!injectedFailure(FileCall::makeFolder) && mkdir(level.c_str(), 0700) == 0)
            continue;
        if (errno != EEXIST)
            return errno;
        if (stat(level.c_str(), &info) != 0)
            return errno;
        if (!S_ISDIR(info.st_mode))
            return ENOTDIR;
    }
    return 0;
}

int readWhole(const std::string& path, std::string& text)
{
    int fd = injectedFailure(FileCall::openForReading) ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    text.clear();
    char buffer[65536];
    while (true) {
        ssize_t n = injectedFailure(FileCall::read) ? -1 : read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int error = errno;
            close(fd);
            return error;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return 0;
}

int writeWhole(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = injectedFailure(FileCall::write) ? -1 : write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Writes the new file beside the old one; the caller renames it into place.
int writeTemporary(const std::string& temporaryPath, const std::string& path, const std::string& text)
{
    int fd = injectedFailure(FileCall::openTemporary)
                 ? -1
                 : open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    // Someone who loosened or tightened the file's mode keeps it.
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        fchmod(fd, info.st_mode & 07777);
    int error = stepFailure(CommitStep::temporaryOpened);
    size_t half = text.size() / 2;
    if (!error)
        error = writeWhole(fd, text.data(), half);
    if (!error)
        error = stepFailure(CommitStep::halfWritten);
    if (!error)
        error = writeWhole(fd, text.data() + half, text.size() - half);
    if (!error)
        error = stepFailure(CommitStep::written);
    if (!error && (injectedFailure(FileCall::sync) || fsync(fd) != 0))
        error = errno;
    if (!error)
        error = stepFailure(CommitStep::synced);
    bool closed = close(fd) == 0;
    if (closed && injectedFailure(FileCall::close))
        closed = false;
    if (!closed && !error)
        error = errno;
    return error;
}

int syncFolder(const std::string& folder)
{
    int fd = injectedFailure(FileCall::openFolder) ? -1 : open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = !injectedFailure(FileCall::syncFolder) && fsync(fd) == 0 ? 0 : errno;
    close(fd);
    // Some file systems cannot sync a folder; the rename is then as durable
    // as they make it.
    return error == EINVAL ? 0 : error;
}

// The lock lives in its own file: the registry file itself is replaced by
// each commit, and a lock on the replaced file would lock nothing.
class FileLock {
public:
    explicit FileLock(const std::string& lockPath)
    {
        fd_ = injectedFailure(FileCall::openLock) ? -1 : open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (injectedFailure(FileCall::lock) || flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

} // namespace

std::string registryFilePath()
{
    const char* overridePath = std::getenv("HUEVANE_REGISTRY_FILE");
    if (overridePath && *overridePath)
        return overridePath;
    std::string base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home && *home) {
            base = home;
        } else {
            struct passwd entry;
            struct passwd* found = nullptr;
            char buffer[4096];
            if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found || !found->pw_dir)
                return std::string();
            base = found->pw_dir;
        }
        base += "/.config";
    }
    return base + "/huevane/registry.reg";
}

LONG loadDocument(const std::string& path, Document& document)
{
    document = Document{};
    std::string text;
    int error = readWhole(path, text);
    if (error == ENOENT || error == ENOTDIR)
        return ERROR_SUCCESS;
    if (error)
        return error == EACCES || error == EPERM || error == EISDIR ? ERROR_ACCESS_DENIED : ERROR_CANTREAD;
    ParseResult parsed = parseRegistryText(text);
    if (!parsed.ok) {
        std::fprintf(stderr, "huevane: %s:%zu: %s; the registry file is left unchanged\n", path.c_str(),
                     parsed.errorLine, parsed.errorMessage.c_str());
        return ERROR_BADDB;
    }
    document = std::move(parsed.document);
    return ERROR_SUCCESS;
}

LONG commitDocument(const std::string& path, const std::function<LONG(Document&, bool& changed)>& change)
{
    if (path.empty())
        return ERROR_PATH_NOT_FOUND;
    std::string folder = folderOf(path);
    if (int error = makeFolders(folder))
        return error == EEXIST ? ERROR_PATH_NOT_FOUND : errorFromErrno(error);

    FileLock lock(path + std::string(lockSuffix));
    if (lock.error())
        return errorFromErrno(lock.error());
    if (int error = stepFailure(CommitStep::locked))
        return errorFromErrno(error);

    Document document;
    if (LONG status = loadDocument(path, document); status != ERROR_SUCCESS)
        return status;
    if (int error = stepFailure(CommitStep::read))
        return errorFromErrno(error);

    bool changed = false;
    if (LONG status = change(document, changed); status != ERROR_SUCCESS)
        return status;
    if (!changed)
        return ERROR_SUCCESS;

    // Only a lock holder writes the temporary file, so a fixed name is safe,
    // and the next commit simply overwrites one a crash left behind.
    std::string temporaryPath = path + std::string(temporarySuffix);
    std::string text = formatRegistryText(document);
    if (int error = writeTemporary(temporaryPath, path, text)) {
        unlink(temporaryPath.c_str());
        return errorFromErrno(error);
    }
    int error = !injectedFailure(FileCall::rename) && rename(temporaryPath.c_str(), path.c_str()) == 0 ? 0 : errno;
    if (!error)
        error = stepFailure(CommitStep::renamed);
    else
        unlink(temporaryPath.c_str());
    if (!error)
        error = syncFolder(folder);
    if (!error)
        error = stepFailure(CommitStep::folderSynced);
    return error ? errorFromErrno(error) : ERROR_SUCCESS;
}

void setCommitHookForTesting(CommitHook hook) { commitHook.store(hook); }
void setFileCallHookForTesting(FileCallHook hook) { fileCallHook.store(hook); }

} // namespace win32::registry
