// The spared-folder name test on a double-byte system (code page 932): "\x95\x5C" is one
// character whose trail byte has the value of a backslash.
#include "fs/folder_name.h"

#include "support/mb_text.h"

#include <gtest/gtest.h>

namespace {

// Telling the trail byte from a separator would make a sparing removal take the folder "\x95\x5C"
// "db", which the sparing removal always kept: a mend never removes more, so it stays spared.
TEST(EndsWithFolderNameDoubleByte, ATrailByte5CBeforeTheNameStillSparesTheFolder) {
    ASSERT_NE(IsDbcsEnabled(), 0) << "needs a double-byte code page";
    EXPECT_EQ(1, EndsWithFolderName("C:\\Lumo\\\x95\x5C"
                                    "db",
                                    "db"));
    EXPECT_EQ(1, EndsWithFolderName("C:\\\x95\x5C\\db", "db"));
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\\x95\x5C"
                                    "xdb",
                                    "db"));
}

} // namespace
