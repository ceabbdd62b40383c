#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "platform/win32api.h"
#include "tests/support/test_machine.h"

namespace {

using ovlayer::Call;

TEST(InjectedFault, IsTakenByTheNextCallOnlyAndThenPassesAsTaken) {
    ovlayer::FailNextCall(Call::GetFileAttributesA, ERROR_SHARING_VIOLATION);
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\"));
    EXPECT_TRUE(ovlayer::TakeUnconsumedFailures().empty());
}

TEST(InjectedFault, ThatNoCallTookFailsTheTestThatArmedIt) {
    ovlayer::FailNextCall(Call::RegDeleteValueA, ERROR_ACCESS_DENIED);
    ovlayer::ClearInjectedFailures(); // dropping it does not excuse it
    EXPECT_NONFATAL_FAILURE(ExpectEveryFaultTaken(), "RegDeleteValueA was never taken");
}

// Run on its own by the test "unconsumed_fault_fails_its_test", which expects this program to
// fail: the check after each test, not the test itself, is what fails it.
TEST(InjectedFault, DISABLED_ArmedAndNeverTaken) {
    ovlayer::FailNextCall(Call::_rmdir, EACCES);
}

} // namespace
