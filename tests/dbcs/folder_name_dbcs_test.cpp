// The spared-folder name test on a double-byte system (code page 932): "\x95\x5C" is one
// character whose trail byte has the value of a backslash, not a separator.
#include "fs/folder_name.h"

#include "support/mb_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EndsWithFolderNameDoubleByte, ATrailByteIsNotTheSeparatorBeforeTheName) {
    ASSERT_NE(IsDbcsEnabled(), 0) << "needs a double-byte code page";
    // The last folder's name is "\x95\x5C" followed by "db": another folder than "db".
    EXPECT_EQ(0, EndsWithFolderName("C:\\Lumo\\\x95\x5C"
                                    "db",
                                    "db"));
    EXPECT_EQ(1, EndsWithFolderName("C:\\\x95\x5C\\db", "db"));
}

} // namespace
