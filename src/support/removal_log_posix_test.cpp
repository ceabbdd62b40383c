// The removal log against failures only the Linux layer can stage: a temporary folder that refuses
// the file, a disk that fills while the log is written.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/posix/core/test_controls.h"
#include "support/removal_log.h"
#include "tests/support/scratch_log.h"

namespace {

using ovlayer::Call;
using ovlayer::FailNextCall;

TEST(RemovalLogFaults, AFolderThatRefusesTheFileGivesNoLog) {
    FailNextCall(Call::_creat, EACCES);
    testsupport::ScratchLog log;
    EXPECT_FALSE(IsRemovalLogOpen());
    LogAction(LV_Removed, LT_File, "C:\\x");
    EXPECT_TRUE(log.Lines().empty());
}

// A full disk ends the log where it stood; the calls after it do nothing and report nothing.
TEST(RemovalLogFaults, AFullDiskDropsTheLogSilently) {
    testsupport::ScratchLog log;
    const std::string name(3000, 'n');
    FailNextCall(Call::_write, ENOSPC);
    for (int i = 0; i < 4; ++i) { // the third line fills the block: the write fails
        LogAction(LV_Removed, LT_File, name.c_str());
    }
    EXPECT_FALSE(IsRemovalLogOpen());
    errno = 0;
    LogAction(LV_Removed, LT_File, "after");
    CloseRemovalLog();
    EXPECT_EQ(errno, 0);
    EXPECT_TRUE(log.Lines().empty());
}

} // namespace
