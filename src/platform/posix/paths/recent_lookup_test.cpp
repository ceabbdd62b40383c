#include "platform/posix/paths/recent_lookup.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "platform/win32api.h"
#include "tests/support/scratch_machine.h"

namespace ovlayer {
namespace {

// Lists C:\Folder and stops at `name`, the entry whose look-up is then kept.
HANDLE ListUpTo(const char* name) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("C:\\Folder\\*", &found);
    while (find != INVALID_HANDLE_VALUE && strcmp(found.cFileName, name) != 0) {
        if (!FindNextFileA(find, &found)) {
            FindClose(find);
            return INVALID_HANDLE_VALUE;
        }
    }
    return find;
}

// A kept look-up serves only the call it was kept for, with what that call changed: the
// deletion never acts on an older look-up than the attribute change just before it.
TEST(RecentLookup, TheDeletionSeesTheAttributeChangeAndNeverTheListing) {
    testsupport::ScratchMachine machine;
    const std::string a = testsupport::DriveC(machine, "Folder/a.txt");
    const std::string b = testsupport::DriveC(machine, "Folder/b.txt");
    testsupport::HostFile(a, "a");
    testsupport::HostFile(b, "b");

    HANDLE find = ListUpTo("a.txt");
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(0, _chmod("C:\\Folder\\a.txt", _S_IREAD));
    EXPECT_EQ(-1, _unlink("C:\\Folder\\a.txt")) << "read-only since the attribute change";
    EXPECT_EQ(EACCES, errno);
    EXPECT_TRUE(std::filesystem::exists(a));

    // Made read-only on the host after the listing: the listing's look-up does not serve the
    // deletion, which looks again and refuses.
    FindClose(find);
    find = ListUpTo("b.txt");
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    chmod(b.c_str(), 0444);
    EXPECT_EQ(-1, _unlink("C:\\Folder\\b.txt"));
    EXPECT_EQ(EACCES, errno);
    // Cleared and deleted as a program deleting what it listed does it.
    EXPECT_EQ(0, _chmod("C:\\Folder\\b.txt", _S_IREAD | _S_IWRITE));
    EXPECT_EQ(0, _unlink("C:\\Folder\\b.txt"));
    EXPECT_FALSE(std::filesystem::exists(b));
    FindClose(find);
}

} // namespace
} // namespace ovlayer
