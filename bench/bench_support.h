// What the benchmarks share: a machine of their own, a clock, and a child process to time.
#pragma once

#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/posix/core/machine.h"

extern char** environ;

namespace bench {

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A fresh machine folder under OVBENCH_DIR (default /tmp), removed at the end.
class BenchMachine {
public:
    BenchMachine() {
        const char* base = getenv("OVBENCH_DIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/ovbench-XXXXXX";
        folder_ = mkdtemp(&pattern[0]) != nullptr ? pattern : "";
        if (folder_.empty()) {
            perror("mkdtemp");
            exit(1);
        }
        ovlayer::UseMachine(folder_);
        ovlayer::MachineFolder(); // makes drive_c and the registry
    }
    ~BenchMachine() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};

inline double CpuSeconds(const struct rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time (user and system) this process has used so far.
inline double OwnCpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// Runs a program to its end; false when it could not run or failed. `cpu`, when given, receives
// the processor time the program used.
inline bool Run(const std::vector<std::string>& arguments, double* cpu = nullptr) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    if (cpu != nullptr) {
        *cpu = CpuSeconds(usage);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
