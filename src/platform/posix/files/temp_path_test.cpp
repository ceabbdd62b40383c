#include <gtest/gtest.h>

#include "platform/win32api.h"
#include "tests/support/machine_files.h"

namespace {

using testsupport::ScopedEnvironment;

// The host's own variables name host folders, which the program could not reach as named: they
// are passed over for the next variable, as if unset.
TEST(TempPath, HostPathsArePassedOver) {
    ScopedEnvironment tmp("TMP", "/tmp");
    ScopedEnvironment temp("TEMP", "/var/tmp");
    ScopedEnvironment profile("USERPROFILE", "\\\\server\\profiles\\ann");
    char buffer[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    EXPECT_EQ(std::string(buffer, length), "\\\\server\\profiles\\ann\\");
}

} // namespace
