// For tests that load the maker's stand-in libraries (maker/), on both builds: where the test
// program finds them, and their call trace. The build puts a copy of each beside the test
// programs, so bare names find them; the originals stay in the build's maker folder.
#pragma once

#include "loader/library_access_paths.h"
#include "platform/win32api.h"
#include "tests/support/machine_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace makerfixture {

// The folder of the test program, ending in a backslash.
inline std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string text(path, length);
    return text.substr(0, text.rfind('\\') + 1);
}

// The folder the stand-ins are built in, ending in a backslash.
inline std::string BuildFolder() {
    return ProgramFolder() + "..\\maker\\";
}

// The trace line of `library` receiving the process-wide table as it stands now.
inline std::string& HandedOver() {
    static std::string text;
    return text;
}
inline HRESULT WINAPI CaptureHandOver(const char* block) {
    HandedOver().clear();
    for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) {
        HandedOver() += (HandedOver().empty() ? "" : "|") + std::string(entry);
    }
    return S_OK;
}
inline std::string HandOverLine(const char* library) {
    LibraryAccessPaths::Instance().PassAccessPaths(CaptureHandOver);
    return std::string(library) + ": SetDLLAccessPath(" + HandedOver() + ")";
}

// Switch words of the stand-ins (maker/README.md), comma-separated; "" for none.
inline void SetSwitches(const std::string& words) {
    testsupport::SetVariable("OVUNINST_MAKER_FAIL", words);
}

// A trace file of the running test's own, in the working folder, for the test's life.
class Trace {
public:
    Trace() : path_("maker-trace-" + TestName() + ".txt") {
        remove(path_.c_str());
        testsupport::SetVariable("OVUNINST_MAKER_TRACE", path_);
    }
    ~Trace() {
        testsupport::SetVariable("OVUNINST_MAKER_TRACE", "");
        SetSwitches("");
        remove(path_.c_str());
    }
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // The lines written since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> lines;
        std::ifstream file(path_);
        std::string line;
        while (std::getline(file, line)) {
            lines.push_back(line);
        }
        file.close();
        remove(path_.c_str());
        return lines;
    }

private:
    static std::string TestName() {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        return std::string(test->test_suite_name()) + "." + test->name();
    }

    std::string path_;
};

} // namespace makerfixture
