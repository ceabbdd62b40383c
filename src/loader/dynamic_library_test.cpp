// Loading the maker's stand-in libraries (maker/) on both builds: folders, the access-path
// hand-over seen from inside the library, and the results and texts of each operation.
#include "loader/dynamic_library.h"

#include "loader/library_access_paths.h"
#include "tests/support/maker_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    return std::string(path, GetModuleFileNameA(module, path, MAX_PATH));
}

class DynamicLibraryTest : public testing::Test {
protected:
    LibraryAccessPaths& table = LibraryAccessPaths::Instance();
    makerfixture::Trace trace;
};

TEST_F(DynamicLibraryTest, ABareNameIsFoundBesideTheProgramAndAnEmptyTableIsNotHandedOver) {
    if (table.GetCount() != 0) {
        GTEST_SKIP() << "needs a fresh table: run on its own, as ctest does";
    }
    DynamicLibrary library;
    ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    EXPECT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.LastError(), 0);
    EXPECT_STREQ(library.LastErrorText(), "");
    EXPECT_STREQ(library.LoadedPath(), "recorder.dll");
    EXPECT_TRUE(EndsWith(ModulePath(library.ModuleHandle()),
                         makerfixture::ProgramFolder().substr(2) + "recorder.dll"))
        << ModulePath(library.ModuleHandle());
    EXPECT_EQ(trace.Take(), Lines{"recorder: load"});
}

TEST_F(DynamicLibraryTest, AKindFolderIsPrefixedWithItsOwnBackslash) {
    std::string folder = makerfixture::BuildFolder();
    folder.pop_back();
    table.SetKindPath(DT_Common, folder.c_str());
    DynamicLibrary library;
    ASSERT_EQ(library.Load("recorder.dll", DT_Common), 0);
    EXPECT_EQ(library.LoadedPath(), folder + "\\recorder.dll");
    EXPECT_TRUE(EndsWith(ModulePath(library.ModuleHandle()), "\\maker\\recorder.dll"))
        << ModulePath(library.ModuleHandle());
}

TEST_F(DynamicLibraryTest, AKindWithoutAFolderAndDT_NotDefLoadByBareName) {
    table.SetKindPath(DT_NotDef, "C:\\never used\\");
    DynamicLibrary library;
    ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    EXPECT_STREQ(library.LoadedPath(), "recorder.dll");
    ASSERT_EQ(library.Unload(), 0);
    ASSERT_EQ(library.Load("recorder.dll", DT_LCAPlugins), 0);
    EXPECT_STREQ(library.LoadedPath(), "recorder.dll");
    ASSERT_EQ(library.Unload(), 0);

    // Only the kind's low 16 bits count.
    table.SetKindPath(DT_Common, makerfixture::BuildFolder().c_str());
    ASSERT_EQ(library.Load("recorder.dll", 0x10000 | DT_Common), 0);
    EXPECT_EQ(library.LoadedPath(), makerfixture::BuildFolder() + "recorder.dll");
    ASSERT_EQ(library.Unload(), 0);
    ASSERT_EQ(library.Load("recorder.dll", 0x10000), 0);
    EXPECT_STREQ(library.LoadedPath(), "recorder.dll");
}

TEST_F(DynamicLibraryTest, AFolderWithoutTheFileFailsAndTheObjectStaysUsable) {
    table.SetKindPath(DT_Plugins, (makerfixture::BuildFolder() + "absent").c_str());
    DynamicLibrary library;
    EXPECT_EQ(library.Load("recorder.dll", DT_Plugins), 1);
    EXPECT_EQ(library.LastError(), 1);
    EXPECT_STREQ(library.LastErrorText(), "Unable to load library");
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.LoadedPath(), nullptr);
    EXPECT_EQ(trace.Take(), Lines{});

    EXPECT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    EXPECT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.LastError(), 0);
}

TEST_F(DynamicLibraryTest, EachLoadHandsTheTableOverOnceAndUnloadUnmaps) {
    table.SetKindPath(DT_Common, makerfixture::BuildFolder().c_str());
    table.SetKindPath(DT_Update_OB, "C:\\Program Files\\Orvane\\Setup");
    const std::string handOver = makerfixture::HandOverLine("recorder");
    ASSERT_NE(handOver.find("DT_Update_OB=C:\\Program Files\\Orvane\\Setup\\"), std::string::npos);

    DynamicLibrary library;
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_EQ(library.Load("recorder.dll", DT_Common), 0) << cycle;
        EXPECT_STREQ(library.LastErrorText(), "");
        EXPECT_EQ(library.LoadedPath(), makerfixture::BuildFolder() + "recorder.dll");
        EXPECT_EQ(trace.Take(), (Lines{"recorder: load", handOver})) << cycle;

        ASSERT_EQ(library.Unload(), 0) << cycle;
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_EQ(library.LastError(), 0);
        EXPECT_STREQ(library.LastErrorText(), "");
        EXPECT_STREQ(library.LoadedPath(), "");
        EXPECT_EQ(trace.Take(), Lines{"recorder: unload"}) << cycle;
    }
}

TEST_F(DynamicLibraryTest, ALoadedObjectRefusesASecondLoadAndKeepsItsModule) {
    table.SetKindPath(DT_Common, makerfixture::BuildFolder().c_str());
    DynamicLibrary library;
    ASSERT_EQ(library.Load("recorder.dll", DT_Common), 0);
    trace.Take();
    EXPECT_EQ(library.Load("silent.dll", DT_Common), 1);
    EXPECT_EQ(library.LastError(), 1);
    EXPECT_STREQ(library.LastErrorText(), "DLL already open");
    EXPECT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.LoadedPath(), makerfixture::BuildFolder() + "recorder.dll");
    EXPECT_NE(library.FindSymbol("SetDLLAccessPath"), nullptr);
    EXPECT_EQ(trace.Take(), Lines{}) << "nothing else was loaded";
}

TEST_F(DynamicLibraryTest, UnloadAndFindSymbolWithoutAModuleReportDllNotLoaded) {
    DynamicLibrary library;
    EXPECT_EQ(library.Unload(), 1);
    EXPECT_EQ(library.LastError(), 1);
    EXPECT_STREQ(library.LastErrorText(), "DLL not loaded");

    ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    ASSERT_EQ(library.Unload(), 0);
    EXPECT_EQ(library.Unload(), 1);
    EXPECT_STREQ(library.LastErrorText(), "DLL not loaded");
    EXPECT_EQ(library.FindSymbol("SetDLLAccessPath"), nullptr);
    EXPECT_EQ(library.LastError(), 2);
    EXPECT_STREQ(library.LastErrorText(), "DLL not loaded");
}

TEST_F(DynamicLibraryTest, AMissingSymbolIsRecordedAndAFoundOneLeavesTheRecord) {
    DynamicLibrary library;
    ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
    EXPECT_EQ(library.FindSymbol("OVSetupObjectBroker"), nullptr);
    EXPECT_EQ(library.LastError(), 2);
    EXPECT_STREQ(library.LastErrorText(), "Symbol not found");
    EXPECT_NE(library.FindSymbol("SetDLLAccessPath"), nullptr);
    EXPECT_EQ(library.LastError(), 2);
    EXPECT_STREQ(library.LastErrorText(), "Symbol not found");
}

TEST_F(DynamicLibraryTest, ALibraryWithoutTheAccessPathExportLoadsAllTheSame) {
    table.SetKindPath(DT_Common, makerfixture::BuildFolder().c_str());
    DynamicLibrary library;
    ASSERT_EQ(library.Load("silent.dll", DT_Common), 0);
    EXPECT_EQ(library.LastError(), 0);
    EXPECT_STREQ(library.LastErrorText(), "Symbol not found");
    typedef HRESULT(WINAPI * Ping)();
    Ping ping = library.FindSymbolAs<Ping>("Ping");
    ASSERT_NE(ping, nullptr);
    EXPECT_EQ(ping(), S_OK);
    EXPECT_EQ(trace.Take(), (Lines{"silent: load", "silent: Ping"}));
}

TEST_F(DynamicLibraryTest, DestroyingALoadedObjectFreesTheModule) {
    {
        DynamicLibrary library;
        ASSERT_EQ(library.Load("recorder.dll", DT_NotDef), 0);
        trace.Take();
    }
    EXPECT_EQ(trace.Take(), Lines{"recorder: unload"});
}

} // namespace
