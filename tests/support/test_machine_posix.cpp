#include "test_machine.h"

#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string machineFolder;

// Runs before the result printer reports the test (test-end listeners run last-added first).
class FaultCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override { ExpectEveryFaultTaken(); }
};

} // namespace

void ExpectEveryFaultTaken() {
    for (const std::string& name : ovlayer::TakeUnconsumedFailures()) {
        ADD_FAILURE() << "a fault armed for " << name << " was never taken by a call";
    }
    ovlayer::ClearInjectedFailures();
}

void PrepareTestMachine() {
    char pattern[] = "/tmp/ovuninst-test-machine-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        abort();
    }
    machineFolder = pattern;
    const std::string machine = machineFolder + "/machine";
    setenv("OVUNINST_MACHINE", machine.c_str(), 1);
    // The test programs and the maker's libraries beside them lie outside the machine: as in a
    // Wine prefix, the machine names the host's root Z:, so that they have Windows paths.
    std::filesystem::create_directory(machine);
    std::ofstream(machine + "/host-root") << "z\n";
    testing::UnitTest::GetInstance()->listeners().Append(new FaultCheck);
}

void RemoveTestMachine() {
    // Written now, so that nothing is left to write back at exit into a folder that is gone.
    ovlayer::FlushRegistry();
    if (!machineFolder.empty() && getenv("OVUNINST_KEEP_TEST_MACHINE") == nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(machineFolder, ignored);
    }
}
