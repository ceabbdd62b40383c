#include "platform/posix/test_controls.h"

#include <map>
#include <utility>

namespace ovlayer {
namespace {

struct Failure {
    long status;
    int remaining;
};

std::map<std::string, Failure>& Failures() {
    static std::map<std::string, Failure> failures;
    return failures;
}

struct Journal {
    bool running = false;
    std::vector<std::string> lines;
};

Journal& TheJournal() {
    static Journal journal;
    return journal;
}

} // namespace

void FailNextCall(const std::string& function, long status, int times) {
    Failures()[function] = Failure{status, times};
}

void ClearInjectedFailures() {
    Failures().clear();
}

bool TakeInjectedFailure(const char* function, long* status) {
    auto& failures = Failures();
    if (failures.empty()) {
        return false;
    }
    auto it = failures.find(function);
    if (it == failures.end()) {
        return false;
    }
    *status = it->second.status;
    if (--it->second.remaining <= 0) {
        failures.erase(it);
    }
    return true;
}

void StartJournal() {
    TheJournal().lines.clear();
    TheJournal().running = true;
}

void StopJournal() {
    TheJournal().running = false;
}

std::vector<std::string> TakeJournal() {
    return std::exchange(TheJournal().lines, {});
}

bool JournalRunning() {
    return TheJournal().running;
}

void Record(const std::string& line) {
    if (TheJournal().running) {
        TheJournal().lines.push_back(line);
    }
}

} // namespace ovlayer
