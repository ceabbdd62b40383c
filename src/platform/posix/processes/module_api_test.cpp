#include "platform/posix/processes/module_api.h"

#include "platform/posix/files/file_api.h"
#include "tests/support/scratch_machine.h"
#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The maker's stand-ins are built beside the test program (maker/CMakeLists.txt).
fs::path BesideProgram(const std::string& name) {
    return fs::read_symlink("/proc/self/exe").parent_path() / name;
}

// A host path outside the machine as Windows sees it, on drive Z: as in a Wine prefix.
std::string OnDriveZ(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
        c = c == '/' ? '\\' : c;
    }
    return text;
}

std::string ModuleFileName(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    return std::string(path, GetModuleFileNameA(module, path, MAX_PATH));
}

class ModuleApi : public testing::Test {
protected:
    void SetUp() override {
        trace_ = machine.Path("trace.txt");
        setenv("OVUNINST_MAKER_TRACE", trace_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("OVUNINST_MAKER_TRACE");
        ovlayer::ClearInjectedFailures();
        ovlayer::StopJournal();
    }
    // Installs a stand-in in the machine's system folder under the given name.
    void InstallInSystem(const std::string& name, const std::string& as) {
        const fs::path folder = machine.Path("drive_c/windows/system32");
        fs::create_directories(folder);
        fs::copy_file(BesideProgram(name), folder / as, fs::copy_options::overwrite_existing);
    }
    Lines Trace() {
        Lines lines;
        std::ifstream file(trace_);
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        file.close();
        fs::remove(trace_);
        return lines;
    }

    testsupport::ScratchMachine machine;

private:
    std::string trace_;
};

TEST_F(ModuleApi, BareNamesAreSearchedBesideTheProgramThenInTheSystemFolder) {
    InstallInSystem("recorder.dll", "Silent.DLL");
    InstallInSystem("silent.dll", "OnlyHere.dll");
    HMODULE beside = LoadLibraryA("SILENT.dll");
    ASSERT_NE(beside, nullptr);
    EXPECT_EQ(ModuleFileName(beside), OnDriveZ(BesideProgram("silent.dll")));

    HMODULE system = LoadLibraryA("onlyhere");
    ASSERT_NE(system, nullptr) << "the default extension is .dll";
    EXPECT_EQ(ModuleFileName(system), "C:\\windows\\system32\\OnlyHere.dll");
    EXPECT_NE(GetProcAddress(system, "Ping"), nullptr);
    EXPECT_TRUE(FreeLibrary(system));
    EXPECT_TRUE(FreeLibrary(beside));
}

TEST_F(ModuleApi, PathsAreMappedIntoTheMachineIgnoringCaseAndDotDot) {
    InstallInSystem("recorder.dll", "recorder.dll");
    HMODULE module = LoadLibraryA("c:/WINDOWS\\Fonts\\..\\.\\System32\\RECORDER.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ModuleFileName(module), "C:\\windows\\system32\\recorder.dll");
    EXPECT_EQ(Trace(), Lines{"recorder: load"});
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(Trace(), Lines{"recorder: unload"});
}

TEST_F(ModuleApi, MissingAndForeignFilesAreRefusedWithWindowsStatuses) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("C:\\windows\\system32\\absent.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("absent.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("C:\\windows"), nullptr) << "a folder is no module";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    machine.Write("drive_c/windows/system32/text.dll", "not a library");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("text.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 193u) << "ERROR_BAD_EXE_FORMAT";
}

TEST_F(ModuleApi, LoadsAreCountedAndABareNameFindsTheLoadedModuleFirst) {
    InstallInSystem("recorder.dll", "recorder.dll");
    HMODULE first = LoadLibraryA("C:\\windows\\system32\\recorder.dll");
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryA("recorder.dll");
    EXPECT_EQ(second, first) << "the loaded module, not the copy beside the program";
    EXPECT_EQ(Trace(), Lines{"recorder: load"});

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(Trace(), Lines{});
    EXPECT_NE(GetProcAddress(first, "SetDLLAccessPath"), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(Trace(), Lines{"recorder: unload"});

    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(first, "SetDLLAccessPath"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleFileNameA(first, nullptr, 0), 0u);
}

TEST_F(ModuleApi, GetProcAddressFindsOnlyTheModulesOwnExportsByName) {
    HMODULE module = LoadLibraryA("recorder.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "SetDLLAccessPath"), nullptr);
    for (const char* name : {"Ping", "RegOpenKeyA", "malloc", "setdllaccesspath"}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
    }
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(1)), nullptr) << "no ordinals";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(nullptr, "main"), nullptr) << "the program exports nothing";
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleApi, ModuleFileNameIsCutToTheBufferAndTerminated) {
    InstallInSystem("recorder.dll", "recorder.dll");
    HMODULE module = LoadLibraryA("C:\\windows\\system32\\recorder.dll");
    ASSERT_NE(module, nullptr);
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module, buffer, 5), 5u);
    EXPECT_STREQ(buffer, "C:\\w");
    EXPECT_EQ(buffer[5], '#');
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // 32 characters: a size of 33 holds them and the terminator, 32 does not.
    char whole[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module, whole, 33), 32u);
    EXPECT_STREQ(whole, "C:\\windows\\system32\\recorder.dll");
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(GetModuleFileNameA(module, whole, 32), 32u);
    EXPECT_STREQ(whole, "C:\\windows\\system32\\recorder.dl");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    FreeLibrary(module);

    EXPECT_EQ(ModuleFileName(nullptr), OnDriveZ(fs::read_symlink("/proc/self/exe")));
}

TEST_F(ModuleApi, TheVersionIsWindowsSevenServicePackOne) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 7601u);
    EXPECT_STREQ(version.szCSDVersion, "Service Pack 1");

    version.dwOSVersionInfoSize = sizeof version - 1;
    version.dwMajorVersion = 99;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(&version));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(version.dwMajorVersion, 99u) << "untouched on failure";
}

TEST_F(ModuleApi, InjectedFailuresAndTheJournal) {
    ovlayer::StartJournal();
    ovlayer::FailNextCall(ovlayer::Call::LoadLibraryA, ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("recorder.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HMODULE module = LoadLibraryA("recorder.dll");
    ASSERT_NE(module, nullptr);
    ovlayer::FailNextCall(ovlayer::Call::GetProcAddress, ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, "SetDLLAccessPath"), nullptr);
    ovlayer::FailNextCall(ovlayer::Call::FreeLibrary, ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module)) << "an injected failure frees nothing";
    EXPECT_EQ(SetErrorMode(1), 0u);
    EXPECT_EQ(SetErrorMode(0), 1u);
    EXPECT_EQ(ovlayer::TakeJournal(),
              (Lines{"LoadLibraryA(recorder.dll)", "LoadLibraryA(recorder.dll)",
                     "GetProcAddress(recorder.dll, SetDLLAccessPath)", "FreeLibrary(recorder.dll)",
                     "FreeLibrary(recorder.dll)", "SetErrorMode(1)", "SetErrorMode(0)"}));
}

} // namespace
