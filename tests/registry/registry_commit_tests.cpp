// Committing to the registry file when things go wrong: a process killed at
// any point of a commit, a disk that fills up, and several processes
// committing at once. The file must always be the old one or the new one,
// whole, and a commit's 16 values must never mix with another's.
#include "registry_fixture.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

using namespace win32::registry;

namespace {

using RegistryCommit = RegistryFixture;

const CommitStep everyStep[] = {CommitStep::locked,      CommitStep::read,   CommitStep::temporaryOpened,
                                CommitStep::halfWritten, CommitStep::written, CommitStep::synced,
                                CommitStep::renamed,     CommitStep::folderSynced};

const char* stepName(CommitStep step)
{
    switch (step) {
    case CommitStep::locked: return "locked";
    case CommitStep::read: return "read";
    case CommitStep::temporaryOpened: return "temporaryOpened";
    case CommitStep::halfWritten: return "halfWritten";
    case CommitStep::written: return "written";
    case CommitStep::synced: return "synced";
    case CommitStep::renamed: return "renamed";
    case CommitStep::folderSynced: return "folderSynced";
    }
    return "?";
}

bool replacesTheFile(CommitStep step) { return step == CommitStep::renamed || step == CommitStep::folderSynced; }

std::atomic<CommitStep> hookStep{CommitStep::locked};
std::atomic<int> hookError{0};

int killAtStep(CommitStep step)
{
    if (step == hookStep.load())
        raise(SIGKILL);
    return 0;
}

int failAtStep(CommitStep step) { return step == hookStep.load() ? hookError.load() : 0; }

// Runs `body` in a child process and returns its wait status.
template <typename Body>
int inChild(Body body)
{
    pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// All 16 slots hold `value`: one commit's batch, whole.
void expectOneBatch(DWORD value, const char* key = settingsKey)
{
    DWORD loaded[16];
    ASSERT_TRUE(loadSixteen(loaded, key));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(loaded[i], value) << "slot " << i;
}

// The batch the file holds, when it holds one whole batch; 0 otherwise.
DWORD batchInFile(const char* key = settingsKey)
{
    DWORD loaded[16];
    if (!loadSixteen(loaded, key))
        return 0;
    for (DWORD c : loaded) {
        if (c != loaded[0])
            return 0;
    }
    return loaded[0];
}

TEST_F(RegistryCommit, AProcessKilledAtAnyStepLeavesTheOldOrTheNewFile)
{
    for (bool fileExisted : {true, false}) {
        for (CommitStep step : everyStep) {
            SCOPED_TRACE(std::string(stepName(step)) + (fileExisted ? ", replacing a file" : ", first file"));
            std::filesystem::remove_all(folder_ + "/config");
            DWORD colours[16];
            if (fileExisted) {
                fillSixteen(colours, 0x01010101);
                ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
            }
            const std::string before = fileExisted ? readFile() : std::string();

            hookStep = step;
            int status = inChild([] {
                setCommitHookForTesting(killAtStep);
                DWORD fresh[16];
                fillSixteen(fresh, 0x02020202);
                saveSixteen(fresh);
                _exit(3); // the step was never reached
            });
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;

            if (!replacesTheFile(step)) {
                EXPECT_EQ(fileExists(), fileExisted);
                if (fileExisted)
                    EXPECT_EQ(readFile(), before);
            } else if (fileExisted) {
                expectOneBatch(0x02020202);
            } else {
                // A first file is written when the key is created, before any value.
                EXPECT_EQ(readFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n\n");
            }

            // The lock died with the process, and what it left is cleared up.
            fillSixteen(colours, 0x03030303);
            ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
            expectOneBatch(0x03030303);
            EXPECT_FALSE(temporaryFileLeft());
        }
    }
}

TEST_F(RegistryCommit, AProcessKilledAtRandomMomentsNeverLeavesAMixedFile)
{
    DWORD colours[16];
    fillSixteen(colours, 1);
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    std::mt19937 random(20240531);
    std::uniform_int_distribution<int> delay(0, 3000);
    for (int round = 0; round < 25; ++round) {
        pid_t child = fork();
        if (child == 0) {
            DWORD batch[16];
            for (DWORD iteration = 2;; ++iteration) {
                fillSixteen(batch, iteration);
                saveSixteen(batch);
            }
        }
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_NE(batchInFile(), 0u) << readFile();
    }
}

struct InjectedFailure {
    CommitStep step;
    int error;
    LONG expected;
};

TEST_F(RegistryCommit, AFailedCommitLeavesTheOldFileAndSaysWhy)
{
    const InjectedFailure failures[] = {
        {CommitStep::locked, EIO, ERROR_WRITE_FAULT},
        {CommitStep::read, EACCES, ERROR_ACCESS_DENIED},
        {CommitStep::temporaryOpened, ENOSPC, ERROR_DISK_FULL},
        {CommitStep::halfWritten, ENOSPC, ERROR_DISK_FULL},
        {CommitStep::written, EDQUOT, ERROR_DISK_FULL},
        {CommitStep::synced, EIO, ERROR_WRITE_FAULT},
    };
    DWORD colours[16];
    fillSixteen(colours, 0x11111111);
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    const std::string before = readFile();

    for (const InjectedFailure& failure : failures) {
        SCOPED_TRACE(stepName(failure.step));
        hookStep = failure.step;
        hookError = failure.error;
        HKEY hKey = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
        DWORD fresh = 0x22222222;
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(RegSetValueExA(hKey, std::to_string(i).c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&fresh), 4),
                      ERROR_SUCCESS);
        setCommitHookForTesting(failAtStep);
        // Flushing fails and keeps the changes; closing fails the same way.
        EXPECT_EQ(RegFlushKey(hKey), failure.expected);
        EXPECT_EQ(RegCloseKey(hKey), failure.expected);
        setCommitHookForTesting(nullptr);
        EXPECT_EQ(readFile(), before);
        EXPECT_FALSE(temporaryFileLeft());
    }

    // Nothing was left locked or half done: the next commit goes through.
    fillSixteen(colours, 0x33333333);
    ASSERT_EQ(saveSixteen(colours), ERROR_SUCCESS);
    expectOneBatch(0x33333333);
}

TEST_F(RegistryCommit, AFailedFlushIsRetriedByTheClose)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    DWORD value = 5;
    ASSERT_EQ(RegSetValueExA(hKey, "0", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_SUCCESS);
    hookStep = CommitStep::halfWritten;
    hookError = ENOSPC;
    setCommitHookForTesting(failAtStep);
    EXPECT_EQ(RegFlushKey(hKey), ERROR_DISK_FULL);
    setCommitHookForTesting(nullptr);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_THAT(readFile(), ::testing::HasSubstr("\"0\"=dword:00000005\n"));
}

// Two processes save the program's 16 slots over and over while a third
// saves another program's key: every commit re-reads the file under the
// lock, so no batch mixes with another and no key is lost.
TEST_F(RegistryCommit, ProcessesCommittingAtOnceEachLeaveWholeBatches)
{
    constexpr DWORD iterations = 80;
    constexpr char otherKey[] = "Software\\Other Program";
    auto writer = [&](DWORD id, const char* key) {
        return [=] {
            DWORD batch[16];
            for (DWORD iteration = 0; iteration < iterations; ++iteration) {
                fillSixteen(batch, (id << 24) | iteration);
                if (LONG e = saveSixteen(batch, key); e != ERROR_SUCCESS) {
                    std::fprintf(stderr, "writer %u: commit failed with %ld\n", unsigned(id), long(e));
                    _exit(1);
                }
                DWORD seen = batchInFile(key);
                if (seen == 0)
                    _exit(2); // a mixed batch
            }
        };
    };
    pid_t children[3];
    const std::function<void()> bodies[3] = {writer(1, settingsKey), writer(2, settingsKey), writer(3, otherKey)};
    for (int i = 0; i < 3; ++i) {
        children[i] = fork();
        if (children[i] == 0) {
            bodies[i]();
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    }

    DWORD settings = batchInFile();
    EXPECT_THAT(settings >> 24, ::testing::AnyOf(1u, 2u));
    EXPECT_EQ(settings & 0xffffff, iterations - 1);
    expectOneBatch((3u << 24) | (iterations - 1), otherKey);
    EXPECT_FALSE(temporaryFileLeft());
    Document document = readDocument();
    EXPECT_EQ(document.keys.size(), 2u);
}

} // namespace
