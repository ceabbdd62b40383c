// Real processes for tests: a copy of the sleeper program (built beside the test program) under a
// chosen file name, in a folder of its own (names that differ only in case are one file on
// Windows), started and, unless something stopped it, stopped again at destruction.
#pragma once

#include <string>

namespace testsupport {

// A new, empty folder of the host's temporary folder (one every user may write in), for one copy
// of the sleeper; "" when none could be made.
std::string NewSleeperFolder();
void RemoveSleeperFolder(const std::string& folder);

class SleepingProcess {
public:
    // Copies the sleeper to a new folder under `fileName` and starts it.
    explicit SleepingProcess(const std::string& fileName);
    ~SleepingProcess();
    SleepingProcess(const SleepingProcess&) = delete;
    SleepingProcess& operator=(const SleepingProcess&) = delete;

    bool Started() const { return started_; }
    unsigned long Id() const { return id_; }
    const std::string& FilePath() const { return filePath_; }
    // Waits up to `seconds` for the process to end; true when it has ended.
    bool EndsWithin(double seconds);
    // True when the process ended through a kill rather than by returning from main.
    bool WasKilled() const { return killed_; }

private:
    std::string folder_;
    std::string filePath_;
    bool started_ = false;
    bool ended_ = false;
    bool killed_ = false;
    unsigned long id_ = 0;
    [[maybe_unused]] void* handle_ = nullptr; // Windows only
    [[maybe_unused]] unsigned long startTicks_ = 0;
};

} // namespace testsupport
