// GetTempPathA and GetTickCount, as the removal log calls them: the order of the variables, the
// trailing backslash, the sizes reported and the buffer left alone when it is too small.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "platform/win32api.h"
#include "tests/support/machine_files.h"

namespace {

using testsupport::ScopedEnvironment;

std::string TempPath() {
    char buffer[300];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "(failed)";
}

// Each test chooses every variable the choice depends on; the process's own are restored after.
class TempPathConformance : public ::testing::Test {
protected:
    ScopedEnvironment tmp_{"TMP", ""};
    ScopedEnvironment temp_{"TEMP", ""};
    ScopedEnvironment profile_{"USERPROFILE", ""};
};

TEST_F(TempPathConformance, TmpThenTempThenProfileThenTheWindowsFolder) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(TempPath(), std::string(windows, length) + "\\");
    testsupport::SetVariable("USERPROFILE", "C:\\ovprofile");
    EXPECT_EQ(TempPath(), "C:\\ovprofile\\");
    testsupport::SetVariable("TEMP", "C:\\ovtemp");
    EXPECT_EQ(TempPath(), "C:\\ovtemp\\");
    testsupport::SetVariable("TMP", "C:\\ovtmp\\deeper\\");
    EXPECT_EQ(TempPath(), "C:\\ovtmp\\deeper\\"); // one trailing backslash, never two
}

TEST_F(TempPathConformance, ASmallBufferGetsTheSizeNeededAndNothingWritten) {
    testsupport::SetVariable("TMP", "C:\\abcdefgh"); // "C:\abcdefgh\" is 12 bytes
    char buffer[16];
    for (DWORD size : {0u, 8u, 12u}) {
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetTempPathA(size, buffer), 13u) << "size " << size;
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
    }
    EXPECT_EQ(GetTempPathA(0, nullptr), 13u);
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetTempPathA(13, buffer), 12u);
    EXPECT_EQ(std::string(buffer, 14), std::string("C:\\abcdefgh\\\0#", 14));
}

// The tick count follows the wall clock: spinning for a tenth of a second moves it that far.
TEST(TickCountConformance, AdvancesWithTime) {
    const DWORD first = GetTickCount();
    const clock_t start = clock();
    while (GetTickCount() - first < 100 && clock() - start < 5 * CLOCKS_PER_SEC) {
    }
    const DWORD moved = GetTickCount() - first;
    EXPECT_GE(moved, 100u);
    EXPECT_LT(moved, 5000u);
}

} // namespace
