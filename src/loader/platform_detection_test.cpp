#include "loader/platform_detection.h"

#include <gtest/gtest.h>

namespace {

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    version.dwPlatformId = platform;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    return version;
}

TEST(PlatformDetection, TheNtFamilyIsCodeEightWhateverItsVersion) {
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_NT, 4, 0)), 8);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_NT, 5, 0)), 8);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_NT, 5, 1)), 8);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_NT, 3, 51)), 8);
}

TEST(PlatformDetection, TheOtherFamiliesByVersion) {
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32s, 3, 11)), 2);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0)), 4);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 4, 9)), 4);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10)), 1024);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90)), 1024);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 5, 0)), -1);
}

TEST(PlatformDetection, OnlyTheLowSixteenBitsOfTheVersionCount) {
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 0x10004, 0x1000A)), 1024);
    EXPECT_EQ(ClassifyPlatform(Version(VER_PLATFORM_WIN32_WINDOWS, 0x70003, 0)), 2);
}

TEST(PlatformDetection, AZeroedRecordIsWin32s) {
    OSVERSIONINFOA zeroed;
    memset(&zeroed, 0, sizeof zeroed);
    EXPECT_EQ(ClassifyPlatform(zeroed), 2);
}

TEST(PlatformDetection, TheRunningSystemIsOfTheNtFamily) {
    EXPECT_EQ(DetectPlatform(), 8);
}

} // namespace
