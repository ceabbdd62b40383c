#include "fs/folder_name.h"

#include <gtest/gtest.h>

namespace {

TEST(EndsWithFolderName, TheLastComponentMustBeTheNameExactly) {
    EXPECT_EQ(1, EndsWithFolderName("C:\\Lumo\\A\\db", "db"));
    EXPECT_EQ(1, EndsWithFolderName("\\db", "db"));
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\A\\DB", "db")) << "case matters";
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\A\\xdb", "db")) << "a longer name";
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\db\\x", "db")) << "an earlier component";
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\db\\", "db"));
    EXPECT_EQ(0, EndsWithFolderName("C:/Lumo/db", "db")) << "only a backslash separates";
}

TEST(EndsWithFolderName, APathNoLongerThanTheNameNeverMatches) {
    EXPECT_EQ(0, EndsWithFolderName("db", "db"));
    EXPECT_EQ(0, EndsWithFolderName("b", "db"));
    EXPECT_EQ(0, EndsWithFolderName("", "db"));
}

} // namespace
