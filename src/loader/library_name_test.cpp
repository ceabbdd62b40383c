#include "loader/library_name.h"

#include "loader/common_preferences.h"
#include "registry/registry_preference_store.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct Named {
    DWORD result;
    DWORD size;
    std::string text;
};

Named Make(const char* shortName, DWORD capacity, int major, int minor) {
    char buffer[300];
    memset(buffer, 'x', sizeof buffer);
    DWORD size = capacity;
    const DWORD result =
        MakeVersionedLibraryName(shortName, "long name", buffer, &size, major, minor);
    return Named{result, size, buffer};
}

TEST(LibraryName, TheSystemsThreeNames) {
    char buffer[261];
    DWORD size = 260;
    EXPECT_EQ(MakeLibraryName("setu", "setuplib", buffer, &size), 12u);
    EXPECT_STREQ(buffer, "setu3260.dll");
    EXPECT_EQ(size, 12u);

    const Named broker = Make("objb", 260, 0, 1);
    EXPECT_EQ(broker.text, "objb3201.dll");
    EXPECT_EQ(broker.size, 12u);
    EXPECT_EQ(Make("setu", 260, 7, 0).text, "setu3270.dll");
}

TEST(LibraryName, NumbersFollowEachOtherWithoutSeparator) {
    const Named name = Make("setu", 260, 10, 2);
    EXPECT_EQ(name.text, "setu32102.dll");
    EXPECT_EQ(name.result, 13u);
    EXPECT_EQ(name.size, 13u);
    EXPECT_EQ(Make("setu", 260, -1, 5).text, "setu32-15.dll");
    EXPECT_EQ(Make("setu", 260, -2147483647 - 1, -2147483647 - 1).text,
              "setu32-2147483648-2147483648.dll");
}

TEST(LibraryName, CapacityMustHoldTheShortNamePlusThirtyTwo) {
    const Named fits = Make("setu", 36, -2147483647 - 1, -2147483647 - 1);
    EXPECT_EQ(fits.text, "setu32-2147483648-2147483648.dll");
    EXPECT_EQ(fits.size, 32u);

    const Named refused = Make("setu", 35, 6, 0);
    EXPECT_EQ(refused.result, 35u);
    EXPECT_EQ(refused.size, 0u);
    EXPECT_EQ(refused.text, "");
}

// A buffer of no room has no first byte of the caller's to terminate.
TEST(LibraryName, AZeroCapacityWritesNothing) {
    char sentinel = 'x';
    DWORD size = 0;
    EXPECT_EQ(0u, MakeVersionedLibraryName("setu", "long name", &sentinel, &size, 6, 0));
    EXPECT_EQ('x', sentinel);
    EXPECT_EQ(0u, size);
}

std::string KeyPathOf(const char* company) {
    std::unique_ptr<PreferenceStore> store(OpenCommonPreferences(company));
    if (!store) {
        return "(none)";
    }
    EXPECT_EQ(store->GetRootFlag(), 1);
    auto* registry = dynamic_cast<RegistryPreferenceStore*>(store.get());
    EXPECT_NE(registry, nullptr);
    EXPECT_EQ(registry->Root(), HKEY_CLASSES_ROOT);
    return registry->KeyPath();
}

TEST(CommonPreferences, KeyPathIsBelowTheCompanysKey) {
    EXPECT_EQ(KeyPathOf("Orvane"), "Software\\Orvane\\Preferences");
    EXPECT_EQ(KeyPathOf("Orvane, Inc."), "Software\\Orvane\\Preferences");
    EXPECT_EQ(KeyPathOf("Orvane Media,Inc, Ltd"), "Software\\Orvane Media\\Preferences")
        << "spaces stay on the NT family";
}

TEST(CommonPreferences, AKeyPathBeyondItsRoomIsRefused) {
    const std::string fits(511 - strlen("Software\\\\Preferences"), 'c');
    EXPECT_EQ(KeyPathOf(fits.c_str()), "Software\\" + fits + "\\Preferences");
    EXPECT_EQ(KeyPathOf((fits + "c").c_str()), "(none)");
    EXPECT_EQ(KeyPathOf((fits + ", " + fits).c_str()), "Software\\" + fits + "\\Preferences")
        << "what follows the comma does not count";
}

} // namespace
