// Test support (header only): a machine of the test's own in a fresh temporary folder, used for
// as long as the object lives and deleted afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/posix/machine.h"

namespace ovlayer {

class ScratchMachine {
public:
    ScratchMachine() : previous_(MachineFolder()) {
        char pattern[] = "/tmp/ovuninst-machine-XXXXXX";
        folder_ = mkdtemp(pattern) != nullptr ? pattern : "";
        UseMachine(folder_);
    }
    ~ScratchMachine() {
        UseMachine(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    const std::string& Folder() const { return folder_; }
    // The host path of a path below drive_c, given with "/" separators.
    std::string DriveC(const std::string& below = "") const {
        return folder_ + "/drive_c" + (below.empty() ? "" : "/" + below);
    }
    // Makes a host file (and its folders) holding `content`.
    static void HostFile(const std::string& path, const std::string& content = "") {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << content;
    }

private:
    std::string previous_;
    std::string folder_;
};

} // namespace ovlayer
