#include "test_machine.h"

#include "platform/posix/test_controls.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
std::string machineFolder;
}

void PrepareTestMachine() {
    char pattern[] = "/tmp/ovuninst-test-machine-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        abort();
    }
    machineFolder = pattern;
    setenv("OVUNINST_MACHINE", (machineFolder + "/machine").c_str(), 1);
}

void RemoveTestMachine() {
    // Written now, so that nothing is left to write back at exit into a folder that is gone.
    ovlayer::FlushRegistry();
    if (!machineFolder.empty() && getenv("OVUNINST_KEEP_TEST_MACHINE") == nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(machineFolder, ignored);
    }
}
