#include "platform/posix/core/test_controls.h"

#include <cstdio>
#include <map>
#include <set>
#include <utility>

namespace ovlayer {
namespace {

struct Failure {
    long status;
    int remaining;
};

std::map<Call, Failure>& Failures() {
    static std::map<Call, Failure> failures;
    return failures;
}

// Armed faults of which no call has taken one yet.
std::set<Call>& Untaken() {
    static std::set<Call> untaken;
    return untaken;
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

const char* CallName(Call call) {
    switch (call) {
#define OVLAYER_CALL_NAME(name)                                                                    \
    case Call::name:                                                                               \
        return #name;
        OVLAYER_FAILABLE_CALLS(OVLAYER_CALL_NAME)
#undef OVLAYER_CALL_NAME
    }
    return "?";
}

void FailNextCall(Call call, long status, int times) {
    Failures()[call] = Failure{status, times};
    Untaken().insert(call);
}

void ClearInjectedFailures() {
    Failures().clear();
}

bool TakeInjectedFailure(Call call, long* status) {
    auto& failures = Failures();
    if (failures.empty()) {
        return false;
    }
    auto it = failures.find(call);
    if (it == failures.end()) {
        return false;
    }
    Untaken().erase(call);
    *status = it->second.status;
    if (--it->second.remaining <= 0) {
        failures.erase(it);
    }
    return true;
}

std::vector<std::string> TakeUnconsumedFailures() {
    std::vector<std::string> names;
    for (Call call : std::exchange(Untaken(), {})) {
        names.push_back(CallName(call));
    }
    return names;
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

std::string JournalText(const char* text) {
    return text != nullptr ? text : "(null)";
}

std::string JournalHex(unsigned long number, bool upperCase) {
    char text[24];
    snprintf(text, sizeof text, upperCase ? "0x%lX" : "0x%lx", number);
    return text;
}

} // namespace ovlayer
