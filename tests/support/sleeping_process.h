// Real processes for tests: a copy of the sleeper program (built beside the test program) under a
// chosen file name, started and, unless something stopped it, stopped again at destruction.
#pragma once

#include <string>

namespace testsupport {

// A new, empty folder for the copies; removed with its files when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class SleepingProcess {
public:
    // Copies the sleeper to `folder`/`fileName` and starts it.
    SleepingProcess(const std::string& folder, const std::string& fileName);
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
    std::string filePath_;
    bool started_ = false;
    bool ended_ = false;
    bool killed_ = false;
    unsigned long id_ = 0;
    void* handle_ = nullptr;
    unsigned long startTicks_ = 0;
};

} // namespace testsupport
