// What a deletion saves first into the undo file: the REGEDIT4 text regedit imports, every value
// as stored, parents before children; a sub-key deletion saved once, from its top; the rights
// probe's own key not at all.
#include "registry/registry_backup.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/delete_registry_tree.h"
#include "registry/registry_key.h"
#include "tests/support/scratch.h"
#include "tests/support/scratch_log.h"

namespace {

using testsupport::ScratchKey;
using testsupport::ScratchUndo;

// Stores `size` bytes of `data`; the byte after them is not a terminator to count.
void Set(const std::string& path, const char* name, DWORD type, const char* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

TEST(RegistryBackup, ATreeIsSavedParentsFirstWithEveryValueAsStoredBeforeItGoes) {
    ScratchKey scratch;
    const std::string top = scratch / "Top";
    ASSERT_TRUE(ScratchKey::Make(top + "\\B\\Deep"));
    ASSERT_TRUE(ScratchKey::Make(top + "\\A"));
    Set(top, "", REG_SZ, "default", 8);
    Set(top, "q\"uo\\te", REG_SZ, "a\\b\"c", 6);
    Set(top, "open", REG_SZ, "abcX", 3);
    Set(top, "line\nend", REG_SZ, "x\r\ny", 5);
    Set(top, "multi", REG_MULTI_SZ, "a\0b\0\0X", 5);
    Set(top, "zeros", REG_BINARY, "\0\1\0", 3);
    Set(top, "number", REG_DWORD, "\x1F\0\0\x80", 4);
    Set(top, "short", REG_DWORD, "\1\2", 2);
    std::string counting;
    for (char c = 0; c < 40; ++c) {
        counting += c;
    }
    Set(top + "\\B\\Deep", "long", REG_BINARY, counting.data(), 40);

    ScratchUndo undo;
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, top.c_str()));
    EXPECT_FALSE(ScratchKey::Exists(top));
    const std::string key = "[HKEY_CURRENT_USER\\" + top;
    EXPECT_EQ(undo.Text(),
              "REGEDIT4\n\n" + key +
                  "]\n"
                  "@=\"default\"\n"
                  "\"line\\nend\"=hex(1):78,0d,0a,79,00\n"
                  "\"multi\"=hex(7):61,00,62,00,00\n"
                  "\"number\"=dword:8000001f\n"
                  "\"open\"=hex(1):61,62,63\n"
                  "\"q\\\"uo\\\\te\"=\"a\\\\b\\\"c\"\n"
                  "\"short\"=hex(4):01,02\n"
                  "\"zeros\"=hex:00,01,00\n\n" +
                  key + "\\A]\n\n" + key + "\\B]\n\n" + key +
                  "\\B\\Deep]\n"
                  "\"long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,"
                  "\\\n  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n\n");
    const std::vector<std::string> lines = undo.Lines();
    EXPECT_EQ(lines[lines.size() - 4], "undo      4 keys in " + undo.Path(kUndoRegistryName) +
                                           "; to restore them: regedit /S "
                                           "\"%TEMP%\\ovuninst-undo.reg\"");
}

TEST(RegistryBackup, ASubKeyDeletionIsSavedOnceButNotTheProbesOwnKeyAndThePreviousRunsIsKept) {
    ScratchKey scratch;
    ASSERT_TRUE(ScratchKey::Make(scratch / "Kept\\Child"));
    ASSERT_TRUE(ScratchKey::Make(scratch / "Probe"));
    ScratchUndo undo;
    RegistryKey parent;
    parent.SetRootKey(HKEY_CURRENT_USER);
    parent.SetSubKey(scratch.Path().c_str());
    parent.SetAccessMask(KEY_READ | KEY_WRITE);
    ASSERT_EQ(S_OK, parent.Open());
    {
        const RegistryBackupPause probe;
        EXPECT_EQ(S_OK, parent.DeleteSubKey("Probe"));
    }
    EXPECT_EQ(S_OK, parent.DeleteSubKey("Kept"));
    const std::string key = "[HKEY_CURRENT_USER\\" + scratch / "Kept";
    const std::string saved = "REGEDIT4\n\n" + key + "]\n\n" + key + "\\Child]\n\n";
    EXPECT_EQ(undo.Text(), saved);
    OpenUndoFile();
    EXPECT_EQ(undo.Text(), "REGEDIT4\n\n");
    EXPECT_EQ(undo.Text("ovuninst-undo.1.reg"), saved);
}

} // namespace
