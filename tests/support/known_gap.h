// Known gaps: where a Win32 the tests run against differs from Windows, declared for the one
// platform the gap belongs to. There the test is skipped, saying why; everywhere else it runs
// and its checks hold, so a platform that drifts into the gap fails the test. The skip never
// depends on what the call under test answered.
#pragma once

#include <gtest/gtest.h>

namespace testsupport {

// The tests run under Wine: its ntdll exports wine_get_version. Asked once, at run time.
bool RunsUnderWine();
// The tests run on the Linux layer: the build for it.
bool RunsOnTheLinuxLayer();

} // namespace testsupport

#define OV_KNOWN_GAP_IF(platform, where, reason)                                                   \
    if (!(platform)) {                                                                             \
    } else                                                                                         \
        GTEST_SKIP() << "known gap " where ": " << (reason)

#define KNOWN_GAP_UNDER_WINE(reason)                                                               \
    OV_KNOWN_GAP_IF(::testsupport::RunsUnderWine(), "under Wine", reason)
#define KNOWN_GAP_ON_THE_LINUX_LAYER(reason)                                                       \
    OV_KNOWN_GAP_IF(::testsupport::RunsOnTheLinuxLayer(), "on the Linux layer", reason)
