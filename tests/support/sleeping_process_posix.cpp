#include "tests/support/sleeping_process.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {
namespace {

std::filesystem::path SleeperPath() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "sleeper";
}

// A process just spawned may not have mapped its program yet; the sleeper says when it runs.
bool WaitUntilReady(const std::string& readyFile) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::error_code error;
    while (!std::filesystem::exists(readyFile, error)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::filesystem::remove(readyFile, error);
    return true;
}

} // namespace

SleepingProcess::SleepingProcess(const std::string& fileName) : folder_(NewSleeperFolder()) {
    if (folder_.empty()) {
        return;
    }
    filePath_ = (std::filesystem::path(folder_) / fileName).string();
    std::error_code error;
    if (!std::filesystem::copy_file(SleeperPath(), filePath_, error)) {
        return;
    }
    const std::string ready = filePath_ + ".ready";
    char seconds[] = "120";
    char* argv[] = {const_cast<char*>(filePath_.c_str()), seconds, const_cast<char*>(ready.c_str()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, filePath_.c_str(), nullptr, nullptr, argv, environ) == 0) {
        id_ = static_cast<unsigned long>(pid);
        started_ = WaitUntilReady(ready);
    }
}

SleepingProcess::~SleepingProcess() {
    if (id_ != 0 && !ended_) {
        kill(static_cast<pid_t>(id_), SIGKILL);
        waitpid(static_cast<pid_t>(id_), nullptr, 0);
    }
    std::error_code error;
    std::filesystem::remove(filePath_, error);
    RemoveSleeperFolder(folder_);
}

bool SleepingProcess::EndsWithin(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (started_ && !ended_) {
        int status = 0;
        if (waitpid(static_cast<pid_t>(id_), &status, WNOHANG) == static_cast<pid_t>(id_)) {
            ended_ = true;
            killed_ = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return ended_;
}

} // namespace testsupport
