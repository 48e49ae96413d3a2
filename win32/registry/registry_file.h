// The registry file on disk: where it lives, reading it, and committing a
// change to it so that a crash or a second process never leaves a file that
// is half one thing and half another.
// Left out: following a symbolic link at the file's place (a commit replaces
// the link with a plain file) and any sharing beyond advisory flock.
#pragma once

#include "registry/registry_document.h"

#include <functional>
#include <string>

namespace win32::registry {

// HUEVANE_REGISTRY_FILE when set; else $XDG_CONFIG_HOME/huevane/registry.reg
// ($HOME/.config when XDG_CONFIG_HOME is unset or relative). Empty when there
// is no home to put it in.
std::string registryFilePath();

// Reads without the lock: a commit replaces the file by renaming, so a reader
// sees either the old or the new file whole. A missing file (or folder) is an
// empty registry. A file that cannot be parsed gives ERROR_BADDB and one line
// on stderr naming the file and the line.
LONG loadDocument(const std::string& path, Document& document);

// Changes the file as one step: under an exclusive lock on `path`.lock, reads
// the current file, lets `change` edit it (it sets `changed` when there is
// something to write, and returns an error to give up), writes `path`.tmp,
// syncs it, renames it over the file and syncs the folder. Missing folders
// are made (mode 0700). On any failure up to the rename the old file is left
// as it was; a failure to sync the folder after it leaves the new file in
// place, whole, and is still reported, since the rename may not last.
LONG commitDocument(const std::string& path, const std::function<LONG(Document&, bool& changed)>& change);

// The points in a commit where a test can make it fail or stop the process.
enum class CommitStep {
    locked,
    read,
    temporaryOpened,
    halfWritten,
    written,
    synced,
    renamed,
    folderSynced,
};

// The hook returns 0 to go on or an errno value the step then fails with.
using CommitHook = int (*)(CommitStep step);
void setCommitHookForTesting(CommitHook hook);

// Finer than the steps: each system call that touches the file, its folder
// or its lock, so a test can fail any one of them or end the process just
// before it. Loads outside a commit go through the same calls.
enum class FileCall {
    makeFolder,
    openLock,
    lock,
    openForReading,
    read,
    openTemporary,
    write,
    sync,
    close,
    rename,
    openFolder,
    syncFolder,
};

// The hook returns 0 to make the call or an errno value the call then fails
// with (a failed close has still released its descriptor, as on Linux).
using FileCallHook = int (*)(FileCall call);
void setFileCallHookForTesting(FileCallHook hook);

} // namespace win32::registry
