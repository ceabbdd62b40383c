// Run-time linking, error mode and system version, checked on both builds: natively against the
// Linux layer, as an exe under Wine against a real Win32. The maker's stand-ins (maker/) are
// built beside the test programs.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const DWORD kMarker = 0xDEADBEEF;

std::string FileName(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    return std::string(path, GetModuleFileNameA(module, path, MAX_PATH));
}

std::string Folder(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

TEST(ModuleConformance, AMissingModuleIsError126) {
    for (const char* name : {"ovuninst-absent.dll", "C:\\ovuninst-absent\\recorder.dll"}) {
        SetLastError(kMarker);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
    }
}

TEST(ModuleConformance, BareNamesTakeDotDllAndFindTheProgramsFolder) {
    HMODULE module = LoadLibraryA("RECORDER");
    ASSERT_NE(module, nullptr);
    const std::string path = FileName(module);
    EXPECT_EQ(Folder(path), Folder(FileName(nullptr)));
    EXPECT_EQ(_stricmp(path.c_str() + path.rfind('\\') + 1, "recorder.dll"), 0) << path;
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleConformance, ExportsAreFoundByTheirExactUndecoratedName) {
    HMODULE module = LoadLibraryA("objb3201.dll");
    ASSERT_NE(module, nullptr);
    for (const char* name : {"OVSetupObjectBroker", "OVShutdownObjectBroker", "SetDLLAccessPath"}) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }
    for (const char* name : {"OVSetupObjectBroker@4", "_SetDLLAccessPath@4", "setdllaccesspath",
                             "OVGetRootObjectFactory"}) {
        SetLastError(kMarker);
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
    }
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleConformance, LoadsOfOneModuleAreCounted) {
    HMODULE first = LoadLibraryA("recorder.dll");
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryA("recorder.dll");
    EXPECT_EQ(second, first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(first, "SetDLLAccessPath"), nullptr) << "one load is still held";
    EXPECT_TRUE(FreeLibrary(second));
}

TEST(ModuleConformance, ModuleFileNameThatFitsExactlyIsTerminated) {
    const std::string program = FileName(nullptr);
    ASSERT_FALSE(program.empty());
    char buffer[MAX_PATH + 2];
    memset(buffer, '#', sizeof buffer);
    SetLastError(kMarker);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(program.size() + 1)),
              program.size());
    EXPECT_EQ(std::string(buffer), program);
    EXPECT_EQ(buffer[program.size() + 1], '#');
}

TEST(ModuleConformance, SetErrorModeReturnsThePreviousMode) {
    const UINT original = SetErrorMode(SEM_FAILCRITICALERRORS);
    EXPECT_EQ(SetErrorMode(original), static_cast<UINT>(SEM_FAILCRITICALERRORS));
}

TEST(ModuleConformance, VersionIsOfTheNtFamilyAndNeedsTheRecordsSize) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_GE(version.dwMajorVersion, 5u);

    OSVERSIONINFOA wrong;
    memset(&wrong, 0x5A, sizeof wrong);
    wrong.dwOSVersionInfoSize = sizeof wrong - 4;
    SetLastError(kMarker);
    EXPECT_FALSE(GetVersionExA(&wrong));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wrong.dwMajorVersion, 0x5A5A5A5Au) << "untouched on failure";
}

} // namespace
