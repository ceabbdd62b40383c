// Platform detection when the system's version query fails, reached through the Linux layer.
#include "loader/common_preferences.h"
#include "loader/platform_detection.h"
#include "platform/posix/core/test_controls.h"
#include "registry/registry_preference_store.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class FailingVersion : public testing::Test {
protected:
    void TearDown() override {
        ovlayer::ClearInjectedFailures();
        ovlayer::StopJournal();
    }
};

TEST_F(FailingVersion, AFailedQueryClassifiesAsWin32s) {
    ovlayer::FailNextCall(ovlayer::Call::GetVersionExA, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DetectPlatform(), 2);
    EXPECT_EQ(DetectPlatform(), 8) << "the system is asked afresh on every call";
}

TEST_F(FailingVersion, OnWin32sTheCommonPreferencePathHasUnderscores) {
    ovlayer::FailNextCall(ovlayer::Call::GetVersionExA, ERROR_INVALID_PARAMETER);
    std::unique_ptr<PreferenceStore> store(OpenCommonPreferences("Orvane Media Group, Inc."));
    ASSERT_NE(store, nullptr);
    EXPECT_STREQ(static_cast<RegistryPreferenceStore*>(store.get())->KeyPath(),
                 "Software\\Orvane_Media_Group\\Preferences");
}

TEST_F(FailingVersion, TheQueryAsksWithTheRecordsFullSize) {
    ovlayer::StartJournal();
    DetectPlatform();
    EXPECT_EQ(ovlayer::TakeJournal(), std::vector<std::string>{"GetVersionExA()"});
}

} // namespace
