// TerminateMakerProcesses on a system that lacks psapi.dll or some of its entries, and on one
// where some processes refuse to be opened, observed through the Linux layer's journal. The
// journal, not the processes' survival, is what is checked: other tests running at the same time
// may stop processes of the maker's names themselves.
#include "userdata/maker_processes.h"

#include "platform/posix/processes/builtin_modules.h"
#include "platform/posix/core/test_controls.h"
#include "tests/support/maker_process_lock.h"
#include "tests/support/sleeping_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::SleepingProcess;

class TerminateWithoutPsapi : public testing::Test {
protected:
    testsupport::MakerProcessLock lock_;

    void TearDown() override {
        ovlayer::StopJournal();
        ovlayer::RestoreBuiltins();
    }

    // The journal lines of one run of TerminateMakerProcesses.
    std::vector<std::string> Run() {
        ovlayer::StartJournal();
        EXPECT_EQ(0, TerminateMakerProcesses());
        ovlayer::StopJournal();
        return ovlayer::TakeJournal();
    }
};

size_t CountCalls(const std::vector<std::string>& journal, const std::string& prefix) {
    return static_cast<size_t>(
        std::count_if(journal.begin(), journal.end(),
                      [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

std::string TerminateLine(unsigned long processId) {
    return "TerminateProcess(" + std::to_string(processId) + ", 0)";
}

TEST_F(TerminateWithoutPsapi, AMissingLibraryTouchesNoProcess) {
    SleepingProcess player("lumoplay.exe");
    ASSERT_TRUE(player.Started());
    ovlayer::SetBuiltinAbsent("psapi.dll");
    const std::vector<std::string> journal = Run();
    EXPECT_EQ(0u, CountCalls(journal, "OpenProcess("));
    EXPECT_EQ(0u, CountCalls(journal, "TerminateProcess("));
}

TEST_F(TerminateWithoutPsapi, WithoutEnumProcessesNoProcessIsOpened) {
    SleepingProcess player("lumoplay.exe");
    ASSERT_TRUE(player.Started());
    ovlayer::SetBuiltinAbsent("psapi.dll", "EnumProcesses");
    EXPECT_EQ(0u, CountCalls(Run(), "OpenProcess("));
}

// Without either entry that finds a process's name, every process is opened and closed again but
// none is known to be the maker's.
TEST_F(TerminateWithoutPsapi, WithoutTheNameEntriesNothingIsTerminated) {
    SleepingProcess player("lumoplay.exe");
    ASSERT_TRUE(player.Started());
    for (const char* entry : {"EnumProcessModules", "GetModuleBaseNameA"}) {
        ovlayer::RestoreBuiltins();
        ovlayer::SetBuiltinAbsent("psapi.dll", entry);
        const std::vector<std::string> journal = Run();
        const std::string openPlayer = ", 0, " + std::to_string(player.Id()) + ")";
        EXPECT_EQ(1, std::count_if(journal.begin(), journal.end(),
                                   [&](const std::string& line) {
                                       return line.rfind("OpenProcess(", 0) == 0 &&
                                              line.size() > openPlayer.size() &&
                                              line.compare(line.size() - openPlayer.size(),
                                                           openPlayer.size(), openPlayer) == 0;
                                   }))
            << entry;
        EXPECT_EQ(0u, CountCalls(journal, "TerminateProcess(")) << entry;
    }
    ovlayer::RestoreBuiltins();
    EXPECT_EQ(1u, CountCalls(Run(), TerminateLine(player.Id())));
    EXPECT_TRUE(player.EndsWithin(20));
}

// The child's side: 0 when the walk tried root's player, spared it and stopped the child's own
// event process; 1 when not; 3 when the child could not be set up.
int WalkAsAnotherUser(unsigned long rootsPlayer) {
    if (setgid(65534) != 0 || setuid(65534) != 0) {
        return 3;
    }
    SleepingProcess ownEvent("lumoevent.exe");
    if (!ownEvent.Started()) {
        return 3;
    }
    ovlayer::StartJournal();
    TerminateMakerProcesses();
    ovlayer::StopJournal();
    const std::vector<std::string> journal = ovlayer::TakeJournal();
    const bool triedRoots =
        CountCalls(journal, "OpenProcess(2035711, 0, " + std::to_string(rootsPlayer) + ")") == 1;
    const bool spared = CountCalls(journal, TerminateLine(rootsPlayer)) == 0;
    const bool stoppedOwn =
        CountCalls(journal, TerminateLine(ownEvent.Id())) == 1 && ownEvent.EndsWithin(20);
    return triedRoots && spared && stoppedOwn ? 0 : 1;
}

// A process this user may not signal refuses OpenProcess; the walk goes on to the next one.
// The refused process is the test's own copy of the player, started as root; the walk runs in a
// child process that has given up root and started a copy of the event process of its own.
TEST(TerminateMakerProcessesRefused, ARefusedProcessIsSkippedAndTheWalkGoesOn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the walk as a user with fewer rights";
    }
    testsupport::MakerProcessLock lock;
    SleepingProcess rootsPlayer("lumoplay.exe");
    ASSERT_TRUE(rootsPlayer.Started());
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        _exit(WalkAsAnotherUser(rootsPlayer.Id()));
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "could not start a process as another user";
    }
    EXPECT_EQ(0, WEXITSTATUS(status));
}

} // namespace
