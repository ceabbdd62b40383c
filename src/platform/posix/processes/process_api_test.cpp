#include "platform/win32api.h"
#include "platform/posix/core/test_controls.h"
#include "tests/support/sleeping_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::SleepingProcess;

const DWORD kAllAccess = 0x1F0FFF;

// An identifier no process can have: the kernel hands out numbers below pid_max.
DWORD UnusedProcessId() {
    std::ifstream file("/proc/sys/kernel/pid_max");
    unsigned long pidMax = 4194304;
    file >> pidMax;
    return static_cast<DWORD>(pidMax);
}

TEST(ProcessApi, OpenRefusesUnknownProcessesAsWindowsDoes) {
    SetLastError(0xDEAD);
    EXPECT_EQ(nullptr, OpenProcess(kAllAccess, FALSE, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xDEAD);
    EXPECT_EQ(nullptr, OpenProcess(kAllAccess, FALSE, UnusedProcessId()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// A user who may not signal a process may not open it. Run as an unprivileged user: as root,
// a child process gives up its rights first and then tries the parent.
TEST(ProcessApi, OpenRefusesAProcessTheUserMayNotSignal) {
    if (geteuid() != 0) {
        SetLastError(0);
        EXPECT_EQ(nullptr, OpenProcess(kAllAccess, FALSE, 1));
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        return;
    }
    const DWORD parent = GetCurrentProcessId();
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(3);
        }
        SetLastError(0);
        const HANDLE handle = OpenProcess(kAllAccess, FALSE, parent);
        _exit(handle == nullptr && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "1: opened or wrong status; 3: could not drop rights";
}

TEST(ProcessApi, TerminateKillsTheProcessAndNeedsTheRight) {
    SleepingProcess sleeper("victim.exe");
    ASSERT_TRUE(sleeper.Started());

    const HANDLE readOnly = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, readOnly);
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(readOnly, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(CloseHandle(readOnly));

    const HANDLE handle = OpenProcess(kAllAccess, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(TerminateProcess(handle, 0));
    ASSERT_TRUE(sleeper.EndsWithin(20));
    EXPECT_TRUE(sleeper.WasKilled());

    // Once the process is gone (and its number free for another), the handle still names it.
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(handle, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(CloseHandle(handle));
}

TEST(ProcessApi, CloseHandleAcceptsEachOpenHandleOnce) {
    const HANDLE handle = OpenProcess(kAllAccess, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(CloseHandle(handle));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(TerminateProcess(handle, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(ProcessApi, InjectedFailuresAndJournal) {
    ovlayer::StartJournal();
    ovlayer::FailNextCall(ovlayer::Call::OpenProcess, ERROR_ACCESS_DENIED);
    EXPECT_EQ(nullptr, OpenProcess(kAllAccess, FALSE, GetCurrentProcessId()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    const HANDLE handle = OpenProcess(kAllAccess, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, handle);
    ovlayer::FailNextCall(ovlayer::Call::TerminateProcess, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(TerminateProcess(handle, 0)); // not this process: the failure comes first
    EXPECT_TRUE(CloseHandle(handle));
    ovlayer::StopJournal();
    const std::string open = "OpenProcess(2035711, 0, " + std::to_string(getpid()) + ")";
    EXPECT_EQ((std::vector<std::string>{open, open}), ovlayer::TakeJournal());
}

} // namespace
