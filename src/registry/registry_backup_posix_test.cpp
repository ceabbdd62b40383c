// The undo file when things go wrong, on the Linux layer: a key that cannot be read whole is left
// out and deleted all the same; a file that cannot be written keeps whole trees only, and the
// deletions go on without it.
#include "registry/registry_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "platform/posix/core/test_controls.h"
#include "registry/delete_registry_tree.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

namespace ovlayer {
namespace {

using ::testing::ElementsAre;
using testsupport::ScratchKey;
using testsupport::ScratchUndo;

void SetBinary(const std::string& path, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "v", 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())));
    RegCloseKey(key);
}

TEST(RegistryBackupFaults, AKeyThatCannotBeReadWholeIsLeftOutAndDeletedAllTheSame) {
    ScratchKey scratch;
    const std::string top = scratch / "Top";
    ASSERT_TRUE(ScratchKey::Make(top + "\\Child"));
    SetBinary(top, "x");
    ScratchUndo undo;
    FailNextCall(Call::RegEnumValueA, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    EXPECT_FALSE(ScratchKey::Exists(top));
    EXPECT_EQ(undo.Text(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + top + "\\Child]\n\n");
    const std::string key = "HKEY_CURRENT_USER\\" + top;
    EXPECT_THAT(undo.Actions(),
                ElementsAre("failed   backup    " + key +
                                "  (its values could not be read whole (status 5): it is not in "
                                "the undo file)",
                            "removed  key       " + key + "\\Child", "removed  key       " + key));
}

// A write cut short by the file size the host allows, as by a full disk: the tree it was writing
// is cut off again, the file given up, and every tree is deleted.
TEST(RegistryBackupFaults, AFileThatCannotBeWrittenKeepsWholeTreesAndTheDeletionsGoOn) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "First"));
    for (const char* name : {"A", "B", "C"}) {
        ASSERT_TRUE(ScratchKey::Make(scratch / "Second\\" + name));
        SetBinary(scratch / "Second\\" + name, std::string(20000, 'z'));
    }
    ASSERT_TRUE(ScratchKey::Make(scratch / "Third"));
    ScratchUndo undo;
    DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "First").c_str());
    const std::string first = testsupport::ReadBytes(undo.Path(kUndoRegistryName));

    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = first.size() + 100000; // the second tree's text is about 120 KB
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Second").c_str());
    DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Third").c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    for (const char* name : {"First", "Second", "Third"}) {
        EXPECT_FALSE(ScratchKey::Exists(scratch / name)) << name;
    }
    EXPECT_EQ(testsupport::ReadBytes(undo.Path(kUndoRegistryName)), first);
    const std::vector<std::string> lines = undo.Lines();
    EXPECT_EQ(lines[ScratchUndo::kHeaderLines + 1],
              "failed   backup    " + undo.Path(kUndoRegistryName) +
                  "  (it could not be written (errno 28): it holds the keys removed before this "
                  "line, not those removed after it)");
    EXPECT_EQ(lines[lines.size() - 4],
              "undo      1 keys in " + undo.Path(kUndoRegistryName) +
                  ", given up when it could not be written (above); to restore them: regedit /S "
                  "\"%TEMP%\\ovuninst-undo.reg\"");
}

// The file cannot be made (held by another program, or the folder refuses it): logged, and the
// deletion goes on as without an undo file.
TEST(RegistryBackupFaults, AFileThatCannotBeMadeIsLoggedAndNothingIsSaved) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "Top"));
    testsupport::ScratchLog log;
    FailNextCall(Call::_creat, EACCES);
    OpenUndoFile();
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, (scratch / "Top").c_str()));
    CloseUndoFile();
    EXPECT_FALSE(ScratchKey::Exists(scratch / "Top"));
    const std::string file = log.Path(kUndoRegistryName);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_EQ(lines[ScratchUndo::kHeaderLines],
              "failed   backup    " + file +
                  "  (it could not be made (errno 13): keys are removed without a backup)");
    EXPECT_EQ(lines[lines.size() - 4],
              "undo      no undo file: " + file +
                  " could not be made (above); keys were removed without a backup");
}

} // namespace
} // namespace ovlayer
