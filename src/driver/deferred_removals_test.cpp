#include "driver/deferred_removals.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

TEST(DeferredPaths, ARelativePathThatClimbsAboveItsStartClimbsOut) {
    for (const char* path : {"..\\x.dll", "..\\..\\..\\Other Vendor\\app.exe", "a\\..\\..\\x",
                             "a/../../x", "..", "\\..\\x", "C:..\\x", "a\\...\\..\\x",
                             "a\\.. \\..\\x", ". \\..\\x", "a\\.\\..\\.\\..\\x"}) {
        EXPECT_TRUE(ClimbsOutOfItsFolder(path)) << path;
    }
    for (const char* path : std::initializer_list<const char*>{
             "x.dll", "skins\\night.skn", "a\\..\\b", "a\\b\\..\\..\\c", ".\\x", "...x\\y",
             "a\\..x", "a\\. \\x", "a\\ \\..\\x", "C:\\..\\..\\x", "\\\\server\\share\\..\\x", "",
             nullptr}) {
        EXPECT_FALSE(ClimbsOutOfItsFolder(path)) << (path != nullptr ? path : "(null)");
    }
}

} // namespace
