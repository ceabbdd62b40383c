// Starting and stopping the object broker stand-in (maker/objbrokr) on both builds.
#include "loader/object_broker_loader.h"

#include "loader/dynamic_library.h"
#include "loader/library_access_paths.h"
#include "tests/support/maker_fixture.h"
#include "support/result_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// "{00000000-0901-11D1-8B06-00A024406D59}"
const IID kBrokerFactoryId = {
    0x00000000, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

class ObjectBrokerTest : public testing::Test {
protected:
    void TearDown() override {
        StopObjectBroker();
        EXPECT_EQ(ObjectBrokerLoader::Instance()->Library(), nullptr);
    }

    void UseFolder(const std::string& folder) {
        LibraryAccessPaths::Instance().SetKindPath(DT_Objbrokr, folder.c_str());
        handOver = makerfixture::HandOverLine("objb3201");
    }

    // Start, ask the root for the factory, release both: the driver's use of the broker.
    void StartAndUse() {
        Unknown* root = nullptr;
        ASSERT_EQ(StartObjectBroker(&root), S_OK);
        ASSERT_NE(root, nullptr);
        void* factory = nullptr;
        ASSERT_EQ(root->QueryInterface(kBrokerFactoryId, &factory), S_OK);
        ASSERT_NE(factory, nullptr);
        root->Release();
        static_cast<Unknown*>(factory)->Release();
    }

    makerfixture::Trace trace;
    std::string handOver;
};

TEST_F(ObjectBrokerTest, StartsStopsAndStartsAgain) {
    if (LibraryAccessPaths::Instance().GetCount() != 0) {
        GTEST_SKIP() << "needs a fresh table: run on its own, as ctest does";
    }
    UseFolder(makerfixture::BuildFolder());
    ASSERT_EQ(handOver,
              "objb3201: SetDLLAccessPath(DT_Objbrokr=" + makerfixture::BuildFolder() + ")");
    StartAndUse();
    const DynamicLibrary* library = ObjectBrokerLoader::Instance()->Library();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->LoadedPath(), makerfixture::BuildFolder() + "objb3201.dll");
    EXPECT_EQ(StopObjectBroker(), 0);
    const Lines cycle = {
        "objb3201: load",
        handOver,
        "objb3201: OVSetupObjectBroker",
        "objb3201: QueryInterface({00000000-0901-11D1-8B06-00A024406D59})",
        "objb3201: OVShutdownObjectBroker(live objects: 0)",
        "objb3201: unload",
    };
    EXPECT_EQ(trace.Take(), cycle);

    StartAndUse();
    EXPECT_EQ(StopObjectBroker(), 0);
    EXPECT_EQ(trace.Take(), cycle);
}

TEST_F(ObjectBrokerTest, ASecondStartIsRefusedWithoutCallingTheBroker) {
    UseFolder(makerfixture::BuildFolder());
    StartAndUse();
    trace.Take();
    Unknown* root = nullptr;
    EXPECT_EQ(StartObjectBroker(&root), E_WRONG_STATE);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(trace.Take(), Lines{});
}

TEST_F(ObjectBrokerTest, StopCallsTheShutdownEntryOnceBeforeUnloadingAndThenNothing) {
    UseFolder(makerfixture::BuildFolder());
    Unknown* root = nullptr;
    ASSERT_EQ(StartObjectBroker(&root), S_OK);
    trace.Take();
    EXPECT_EQ(StopObjectBroker(), 0);
    // The root object was not released: the broker sees it at shutdown.
    EXPECT_EQ(trace.Take(),
              (Lines{"objb3201: OVShutdownObjectBroker(live objects: 1)", "objb3201: unload"}));
    EXPECT_EQ(StopObjectBroker(), 0);
    EXPECT_EQ(trace.Take(), Lines{});
}

TEST_F(ObjectBrokerTest, WithoutAFolderTheBrokerIsLoadedByBareName) {
    if (LibraryAccessPaths::Instance().GetCount() != 0) {
        GTEST_SKIP() << "needs a fresh table: run on its own, as ctest does";
    }
    StartAndUse();
    EXPECT_STREQ(ObjectBrokerLoader::Instance()->Library()->LoadedPath(), "objb3201.dll");
    EXPECT_EQ(StopObjectBroker(), 0);
    const Lines lines = trace.Take();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "objb3201: load");
    EXPECT_EQ(lines[1], "objb3201: OVSetupObjectBroker") << "an empty table is not handed over";
}

TEST_F(ObjectBrokerTest, AFileThatCannotBeLoadedIsHeldUntilStop) {
    UseFolder(makerfixture::BuildFolder() + "absent\\");
    Unknown* root = nullptr;
    EXPECT_EQ(StartObjectBroker(&root), E_FAIL);
    EXPECT_EQ(root, nullptr);
    ASSERT_NE(ObjectBrokerLoader::Instance()->Library(), nullptr);
    EXPECT_FALSE(ObjectBrokerLoader::Instance()->Library()->IsLoaded());
    EXPECT_EQ(StartObjectBroker(&root), E_WRONG_STATE);

    EXPECT_EQ(StopObjectBroker(), 1);
    EXPECT_EQ(ObjectBrokerLoader::Instance()->Library(), nullptr);
    EXPECT_EQ(trace.Take(), Lines{});

    UseFolder(makerfixture::BuildFolder());
    StartAndUse();
}

TEST_F(ObjectBrokerTest, AFailingSetUpEntryGivesItsResultAndKeepsTheLibrary) {
    UseFolder(makerfixture::BuildFolder());
    makerfixture::SetSwitches("broker-setup");
    Unknown* root = nullptr;
    EXPECT_EQ(StartObjectBroker(&root), E_FAIL);
    EXPECT_EQ(root, nullptr);
    ASSERT_NE(ObjectBrokerLoader::Instance()->Library(), nullptr);
    EXPECT_TRUE(ObjectBrokerLoader::Instance()->Library()->IsLoaded());
    EXPECT_EQ(StopObjectBroker(), 0);
    const Lines lines = trace.Take();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "objb3201: OVSetupObjectBroker");
    EXPECT_EQ(lines[3], "objb3201: OVShutdownObjectBroker(live objects: 0)");
}

// A library without the set-up entry yields no root object: the start must not look like a
// success, or the caller would use a null root.
TEST_F(ObjectBrokerTest, ALibraryWithoutTheSetUpEntryFailsToStart) {
    UseFolder(makerfixture::BuildFolder() + "without-setup\\");
    Unknown* root = nullptr;
    EXPECT_EQ(StartObjectBroker(&root), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(root, nullptr);
    ASSERT_NE(ObjectBrokerLoader::Instance()->Library(), nullptr);
    EXPECT_TRUE(ObjectBrokerLoader::Instance()->Library()->IsLoaded());
    EXPECT_EQ(StopObjectBroker(), 0);
    EXPECT_EQ(trace.Take(), (Lines{"recorder: load", makerfixture::HandOverLine("recorder"),
                                   "recorder: unload"}));
}

TEST_F(ObjectBrokerTest, ASetUpEntryThatSucceedsWithoutARootFails) {
    UseFolder(makerfixture::BuildFolder());
    makerfixture::SetSwitches("broker-null-root");
    Unknown* root = nullptr;
    EXPECT_EQ(StartObjectBroker(&root), E_POINTER);
    EXPECT_EQ(root, nullptr);
}

TEST_F(ObjectBrokerTest, TheRootCanRefuseTheFactory) {
    UseFolder(makerfixture::BuildFolder());
    makerfixture::SetSwitches("broker-no-factory");
    Unknown* root = nullptr;
    ASSERT_EQ(StartObjectBroker(&root), S_OK);
    void* factory = this;
    EXPECT_EQ(root->QueryInterface(kBrokerFactoryId, &factory), E_NOINTERFACE);
    EXPECT_EQ(factory, nullptr);
    root->Release();
}

TEST(ObjectBrokerStop, WithNothingHeldReturnsZeroAndCallsNothing) {
    makerfixture::Trace trace;
    EXPECT_EQ(StopObjectBroker(), 0);
    EXPECT_EQ(trace.Take(), Lines{});
}

} // namespace
