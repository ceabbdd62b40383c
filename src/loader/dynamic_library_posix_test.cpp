// The system calls DynamicLibrary makes, seen in the Linux layer's journal.
#include "loader/dynamic_library.h"

#include "loader/library_access_paths.h"
#include "platform/posix/core/test_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class DynamicLibraryCalls : public testing::Test {
protected:
    void TearDown() override {
        ovlayer::StopJournal();
        ovlayer::ClearInjectedFailures();
    }
};

TEST_F(DynamicLibraryCalls, LoadSuppressesCriticalErrorsAroundTheLoadOnly) {
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    DynamicLibrary library;
    ovlayer::StartJournal();
    ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    EXPECT_EQ(ovlayer::TakeJournal(),
              (Lines{"SetErrorMode(1)", "LoadLibraryA(recorder.dll)", "SetErrorMode(2)",
                     "GetProcAddress(recorder.dll, SetDLLAccessPath)"}));
    ASSERT_EQ(library.Unload(), 0);
    EXPECT_EQ(ovlayer::TakeJournal(), Lines{"FreeLibrary(recorder.dll)"});
}

TEST_F(DynamicLibraryCalls, TheErrorModeIsRestoredWhenTheLoadFails) {
    SetErrorMode(0);
    ovlayer::FailNextCall(ovlayer::Call::LoadLibraryA, ERROR_MOD_NOT_FOUND);
    DynamicLibrary library;
    ovlayer::StartJournal();
    EXPECT_EQ(library.Load("recorder.dll", DT_NotDef), 1);
    EXPECT_STREQ(library.LastErrorText(), "Unable to load library");
    EXPECT_EQ(ovlayer::TakeJournal(),
              (Lines{"SetErrorMode(1)", "LoadLibraryA(recorder.dll)", "SetErrorMode(0)"}));
    EXPECT_EQ(SetErrorMode(0), 0u);
}

TEST_F(DynamicLibraryCalls, AKindFolderReachesLoadLibraryAsOnePath) {
    LibraryAccessPaths::Instance().SetKindPath(DT_Update_OB, "C:\\Program Files\\Orvane");
    DynamicLibrary library;
    ovlayer::StartJournal();
    EXPECT_EQ(library.Load("setu3260.dll", DT_Update_OB), 1);
    const Lines journal = ovlayer::TakeJournal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal[1], "LoadLibraryA(C:\\Program Files\\Orvane\\setu3260.dll)");
}

} // namespace
