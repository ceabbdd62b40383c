// Real processes: copies of the sleeper program under the maker's names and others, each in a
// folder of its own (names that differ only in case are one file on Windows).
#include "userdata/maker_processes.h"

#include "tests/support/maker_process_lock.h"
#include "tests/support/sleeping_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::SleepingProcess;

struct Sleeper {
    explicit Sleeper(const std::string& name) : process(new SleepingProcess(name)) {}
    std::unique_ptr<SleepingProcess> process;
};

std::vector<Sleeper> Start(const std::vector<std::string>& names) {
    std::vector<Sleeper> sleepers;
    for (const std::string& name : names) {
        sleepers.emplace_back(name);
        EXPECT_TRUE(sleepers.back().process->Started()) << name;
    }
    return sleepers;
}

TEST(TerminateMakerProcesses, StopsEveryCopyOfTheMakersProcessesWhateverTheCase) {
    testsupport::MakerProcessLock lock;
    std::vector<Sleeper> makers =
        Start({"lumoplay.exe", "LUMOPLAY.EXE", "lumoevent.exe", "lumoevent.exe", "LumoSched.exe"});
    std::vector<Sleeper> others = Start({"xlumoplay.exe", "lumoplay.exe.exe", "lumoplay.com"});

    EXPECT_EQ(0, TerminateMakerProcesses());

    for (Sleeper& maker : makers) {
        EXPECT_TRUE(maker.process->EndsWithin(20)) << maker.process->FilePath();
        EXPECT_TRUE(maker.process->WasKilled()) << maker.process->FilePath();
    }
    // Ended with the others if they had been picked: a name must match whole.
    for (Sleeper& other : others) {
        EXPECT_FALSE(other.process->EndsWithin(0.2)) << other.process->FilePath();
    }
}

TEST(TerminateMakerProcesses, WithNothingToStopItLeavesEverythingRunning) {
    testsupport::MakerProcessLock lock;
    std::vector<Sleeper> others = Start({"player.exe"});
    EXPECT_EQ(0, TerminateMakerProcesses());
    EXPECT_FALSE(others[0].process->EndsWithin(0.2));
}

} // namespace
