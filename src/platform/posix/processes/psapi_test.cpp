#include "platform/win32api.h"
#include "platform/posix/processes/builtin_modules.h"
#include "tests/support/sleeping_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using testsupport::SleepingProcess;

typedef BOOL(WINAPI* EnumProcessesFn)(DWORD*, DWORD, DWORD*);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* GetModuleBaseNameFn)(HANDLE, HMODULE, LPSTR, DWORD);

const DWORD kReadAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

template <typename Function> Function EntryAs(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

class Psapi : public ::testing::Test {
protected:
    void SetUp() override {
        const ovlayer::BuiltinModule* psapi = ovlayer::FindBuiltinModule("psapi.dll");
        ASSERT_NE(nullptr, psapi);
        enumProcesses =
            EntryAs<EnumProcessesFn>(ovlayer::FindBuiltinEntry(*psapi, "EnumProcesses"));
        enumModules =
            EntryAs<EnumProcessModulesFn>(ovlayer::FindBuiltinEntry(*psapi, "EnumProcessModules"));
        baseName =
            EntryAs<GetModuleBaseNameFn>(ovlayer::FindBuiltinEntry(*psapi, "GetModuleBaseNameA"));
        ASSERT_TRUE(enumProcesses && enumModules && baseName);
    }
    void TearDown() override { ovlayer::RestoreBuiltins(); }

    std::vector<DWORD> Processes() {
        std::vector<DWORD> ids(4096);
        DWORD bytes = 0;
        EXPECT_TRUE(
            enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes));
        ids.resize(bytes / sizeof(DWORD));
        return ids;
    }

    std::vector<HMODULE> Modules(HANDLE process) {
        std::vector<HMODULE> modules(1024);
        DWORD needed = 0;
        if (!enumModules(process, modules.data(),
                         static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
            return {};
        }
        modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
        return modules;
    }

    std::string BaseName(HANDLE process, HMODULE module) {
        char name[1024] = {};
        const DWORD length = baseName(process, module, name, sizeof name);
        return std::string(name, length);
    }

    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumModules = nullptr;
    GetModuleBaseNameFn baseName = nullptr;
};

TEST(BuiltinModules, NamesAsLoadLibraryTakesThem) {
    EXPECT_NE(nullptr, ovlayer::FindBuiltinModule("psapi.dll"));
    EXPECT_NE(nullptr, ovlayer::FindBuiltinModule("PSAPI.DLL"));
    EXPECT_NE(nullptr, ovlayer::FindBuiltinModule("psapi"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinModule("psapi.exe"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinModule("xpsapi.dll"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinModule("C:\\Windows\\System32\\psapi.dll"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinModule(nullptr));

    const ovlayer::BuiltinModule& psapi = *ovlayer::FindBuiltinModule("psapi");
    EXPECT_NE(nullptr, ovlayer::FindBuiltinEntry(psapi, "GetModuleBaseNameA"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinEntry(psapi, "getmodulebasenamea"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinEntry(psapi, "GetModuleBaseNameW"));
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinEntry(psapi, reinterpret_cast<LPCSTR>(1)));

    EXPECT_EQ(&psapi, ovlayer::BuiltinModuleOfHandle(ovlayer::BuiltinModuleHandle(psapi)));
    EXPECT_EQ(nullptr, ovlayer::BuiltinModuleOfHandle(nullptr));
    EXPECT_EQ(nullptr, ovlayer::BuiltinModuleOfHandle(reinterpret_cast<HMODULE>(0x10000)));
}

TEST(BuiltinModules, TestsCanTakeAModuleOrAnEntryAway) {
    ovlayer::SetBuiltinAbsent("PSAPI.DLL", "EnumProcessModules");
    const ovlayer::BuiltinModule* psapi = ovlayer::FindBuiltinModule("psapi.dll");
    ASSERT_NE(nullptr, psapi);
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinEntry(*psapi, "EnumProcessModules"));
    EXPECT_NE(nullptr, ovlayer::FindBuiltinEntry(*psapi, "EnumProcesses"));

    ovlayer::SetBuiltinAbsent("psapi.dll");
    EXPECT_EQ(nullptr, ovlayer::FindBuiltinModule("psapi.dll"));
    ovlayer::RestoreBuiltins();
    ASSERT_NE(nullptr, ovlayer::FindBuiltinModule("psapi.dll"));
    EXPECT_NE(nullptr, ovlayer::FindBuiltinEntry(*psapi, "EnumProcessModules"));
}

// The program reaches psapi.dll only through run-time linking, as on Windows.
TEST(BuiltinModules, LoadLibraryFindsThemAndTestsCanTakeThemAway) {
    const HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    ASSERT_NE(nullptr, psapi);
    EXPECT_NE(nullptr, GetProcAddress(psapi, "EnumProcesses"));
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(psapi, "EnumProcessesW"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    ovlayer::SetBuiltinAbsent("psapi.dll", "EnumProcesses");
    EXPECT_EQ(nullptr, GetProcAddress(psapi, "EnumProcesses"));
    EXPECT_TRUE(FreeLibrary(psapi));

    ovlayer::SetBuiltinAbsent("psapi.dll");
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA("psapi.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    ovlayer::RestoreBuiltins();
    const HMODULE again = LoadLibraryA("psapi");
    EXPECT_NE(nullptr, again);
    EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(Psapi, EnumProcessesListsRunningProcessesAndFillsWhatFits) {
    SleepingProcess sleeper("sleeper-a.exe");
    ASSERT_TRUE(sleeper.Started());
    const std::vector<DWORD> ids = Processes();
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), GetCurrentProcessId()));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), sleeper.Id()));

    DWORD two[3] = {0, 0, 0xDEADBEEF};
    DWORD bytes = 0;
    EXPECT_TRUE(enumProcesses(two, 2 * sizeof(DWORD) + 3, &bytes));
    EXPECT_EQ(2 * sizeof(DWORD), bytes);
    EXPECT_EQ(0xDEADBEEFu, two[2]);
}

TEST_F(Psapi, TheFirstModuleIsTheExecutableAndSharedObjectsFollow) {
    const HANDLE self = OpenProcess(kReadAccess, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, self);
    const std::vector<HMODULE> modules = Modules(self);
    ASSERT_GT(modules.size(), 1u);
    EXPECT_EQ("unit_tests", BaseName(self, modules[0]));
    EXPECT_EQ("unit_tests", BaseName(self, nullptr));
    std::vector<std::string> names;
    for (HMODULE module : modules) {
        names.push_back(BaseName(self, module));
    }
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "libovplatform.so"));

    // Too small a list: filled as far as it goes, the size of the whole reported.
    HMODULE one[2] = {nullptr, reinterpret_cast<HMODULE>(0x1234)};
    DWORD needed = 0;
    EXPECT_TRUE(enumModules(self, one, sizeof(HMODULE), &needed));
    EXPECT_EQ(modules[0], one[0]);
    EXPECT_EQ(reinterpret_cast<HMODULE>(0x1234), one[1]);
    EXPECT_EQ(modules.size() * sizeof(HMODULE), needed);
    EXPECT_TRUE(CloseHandle(self));
}

TEST_F(Psapi, BaseNameIsTheExecutableFileNameAsWritten) {
    SleepingProcess sleeper("MixedCase.EXE");
    ASSERT_TRUE(sleeper.Started());
    const HANDLE process = OpenProcess(kReadAccess, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, process);
    const std::vector<HMODULE> modules = Modules(process);
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ("MixedCase.EXE", BaseName(process, modules[0]));

    // Cut to the size given, terminated only when there is room, as Windows does.
    char name[8];
    memset(name, '#', sizeof name);
    EXPECT_EQ(4u, baseName(process, modules[0], name, 4));
    EXPECT_EQ("Mixe####", std::string(name, 8));
    SetLastError(0);
    EXPECT_EQ(0u, baseName(process, modules[0], name, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    SetLastError(0);
    EXPECT_EQ(0u, baseName(process, reinterpret_cast<HMODULE>(0x10), name, sizeof name));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(CloseHandle(process));
}

TEST_F(Psapi, ADeletedExecutableKeepsItsName) {
    SleepingProcess sleeper("deleted.exe");
    ASSERT_TRUE(sleeper.Started());
    const HANDLE process = OpenProcess(kReadAccess, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, process);
    ASSERT_FALSE(Modules(process).empty()); // the sleeper has started running its own file
    ASSERT_EQ(0, std::remove(sleeper.FilePath().c_str()));
    EXPECT_EQ("deleted.exe", BaseName(process, nullptr));
    EXPECT_TRUE(CloseHandle(process));
}

TEST_F(Psapi, ReadingNeedsTheRightsAndARunningProcess) {
    SleepingProcess sleeper("short.exe");
    ASSERT_TRUE(sleeper.Started());
    HMODULE module = nullptr;
    DWORD needed = 0;
    const HANDLE terminateOnly = OpenProcess(PROCESS_TERMINATE, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, terminateOnly);
    SetLastError(0);
    EXPECT_FALSE(enumModules(terminateOnly, &module, sizeof module, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    const HANDLE process = OpenProcess(kReadAccess | PROCESS_TERMINATE, FALSE, sleeper.Id());
    ASSERT_NE(nullptr, process);
    ASSERT_TRUE(TerminateProcess(process, 0));
    ASSERT_TRUE(sleeper.EndsWithin(20));
    SetLastError(0);
    EXPECT_FALSE(enumModules(process, &module, sizeof module, &needed));
    EXPECT_EQ(299u, GetLastError()); // ERROR_PARTIAL_COPY
    char name[16] = {};
    EXPECT_EQ(0u, baseName(process, nullptr, name, sizeof name));
    EXPECT_TRUE(CloseHandle(terminateOnly));
    EXPECT_TRUE(CloseHandle(process));
}

} // namespace
