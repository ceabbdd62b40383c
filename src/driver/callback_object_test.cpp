#include "driver/callback_object.h"

#include "driver/deferred_removals.h"
#include "support/string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The callback with its creator's one reference, as the driver holds it.
class CallbackObjectTest : public testing::Test {
protected:
    void SetUp() override {
        object_ = CallbackObject::Create();
        ASSERT_NE(object_, nullptr);
        callback_ = object_;
        ASSERT_EQ(callback_->AddRef(), 1u);
    }
    void TearDown() override {
        ClearList(deferredFiles);
        ClearList(deferredFolders);
    }

    static std::vector<std::string> Listed(const PointerArray& list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list.GetCount(); ++i) {
            texts.push_back(static_cast<String*>(list[i])->Text());
        }
        return texts;
    }
    static void ClearList(PointerArray& list) {
        for (int i = 0; i < list.GetCount(); ++i) {
            delete static_cast<String*>(list[i]);
        }
        list.SetSize(0);
    }

    CallbackObject* object_ = nullptr;
    UninstallCallback* callback_ = nullptr;
};

// Slot n of an interface, called as a separately built library calls it: through the table.
template <typename Result, typename... Args> Result CallSlot(void* object, int slot, Args... args) {
    typedef Result(STDMETHODCALLTYPE * Slot)(void*, Args...);
    Slot function = reinterpret_cast<Slot*>(*static_cast<void**>(object))[slot];
    return function(object, args...);
}

TEST_F(CallbackObjectTest, BothInterfacesCountTowardsOneObject) {
    void* unknown = nullptr;
    void* asked = nullptr;
    ASSERT_EQ(callback_->QueryInterface(kUnknownInterfaceId, &unknown), S_OK);
    ASSERT_EQ(callback_->QueryInterface(kUninstallCallbackId, &asked), S_OK);
    EXPECT_NE(unknown, static_cast<void*>(callback_));
    EXPECT_EQ(asked, static_cast<void*>(callback_));
    EXPECT_EQ(unknown, static_cast<void*>(static_cast<AggregatableBase*>(object_)));
    EXPECT_EQ(object_->RefCount(), 3);

    // Through either pointer's own table: the counts are one.
    EXPECT_EQ(CallSlot<ULONG>(unknown, 1), 4u);
    EXPECT_EQ(CallSlot<ULONG>(asked, 2), 3u);
    EXPECT_EQ(CallSlot<ULONG>(unknown, 2), 2u);
    EXPECT_EQ(CallSlot<ULONG>(unknown, 2), 1u);
    EXPECT_EQ(CallSlot<ULONG>(asked, 2), 0u);
}

TEST_F(CallbackObjectTest, RefusesOtherInterfacesAndNullOut) {
    void* out = &out;
    EXPECT_EQ(callback_->QueryInterface(kSetupEngineId, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(callback_->QueryInterface(kUninstallCallbackId, nullptr), E_POINTER);
    EXPECT_EQ(object_->RefCount(), 1);
    EXPECT_EQ(callback_->Release(), 0u);
}

TEST_F(CallbackObjectTest, OperationsAnswerBySlot) {
    testing::internal::CaptureStdout();
    EXPECT_EQ((CallSlot<HRESULT, Opaque>(callback_, 4, 7)), S_OK);
    EXPECT_EQ((CallSlot<HRESULT, Opaque>(callback_, 4, 0)), S_OK);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "..");
    EXPECT_EQ((CallSlot<HRESULT, Opaque>(callback_, 3, 0)), E_NOTIMPL);
    EXPECT_EQ(CallSlot<HRESULT>(callback_, 5), 1);
    EXPECT_EQ(CallSlot<HRESULT>(callback_, 6), E_NOTIMPL);
    EXPECT_EQ((CallSlot<HRESULT, Opaque, Opaque, Opaque>(callback_, 9, 1, 2, 3)), S_OK);
    EXPECT_EQ(CallSlot<HRESULT>(callback_, 15), E_NOTIMPL);
    EXPECT_EQ(callback_->Release(), 0u);
}

TEST_F(CallbackObjectTest, DeferredPathsAreListedEachTime) {
    const char* nothing = nullptr;
    EXPECT_EQ((CallSlot<HRESULT, const char*>(callback_, 13, "ovgu3263.dll")), S_OK);
    EXPECT_EQ((CallSlot<HRESULT, const char*>(callback_, 13, "ovgu3263.dll")), S_OK);
    EXPECT_EQ((CallSlot<HRESULT, const char*>(callback_, 13, nothing)), S_OK);
    EXPECT_EQ((CallSlot<HRESULT, const char*>(callback_, 14, "C:\\Lumo\\Crate")), S_OK);
    EXPECT_EQ(Listed(deferredFiles),
              (std::vector<std::string>{"ovgu3263.dll", "ovgu3263.dll", ""}));
    EXPECT_EQ(Listed(deferredFolders), std::vector<std::string>{"C:\\Lumo\\Crate"});
    // The lists own copies: the engine's texts may go.
    EXPECT_EQ(callback_->Release(), 0u);
    EXPECT_EQ(deferredFiles.GetCount(), 3);
}

TEST_F(CallbackObjectTest, AggregationOnlyBeforeTheFirstReference) {
    Unknown* out = callback_;
    EXPECT_EQ(object_->Aggregate(nullptr, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object_->Aggregate(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(callback_->Release(), 0u);
}

TEST(CallbackObjectAggregate, WithoutOuterHandsOutItsOwnUnknown) {
    CallbackObject* object = CallbackObject::Create();
    ASSERT_NE(object, nullptr);
    Unknown* inner = nullptr;
    ASSERT_EQ(object->Aggregate(nullptr, &inner), S_OK);
    EXPECT_EQ(inner, static_cast<Unknown*>(static_cast<AggregatableBase*>(object)));
    EXPECT_EQ(object->InnerObject(), inner);
    EXPECT_EQ(object->RefCount(), 1);
    EXPECT_EQ(inner->Release(), 0u);
}

// A controlling object that counts what reaches it.
struct Outer : Unknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        ++queries;
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    int queries = 0;
    ULONG count = 1;
};

TEST(CallbackObjectAggregate, UnderOuterDelegatesAndTheProxyOwnsTheObject) {
    CallbackObject* object = CallbackObject::Create();
    ASSERT_NE(object, nullptr);
    Outer outer;
    Unknown* proxy = nullptr;
    ASSERT_EQ(object->Aggregate(&outer, &proxy), S_OK);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(object->OuterObject(), &outer);
    EXPECT_EQ(object->InnerObject(), proxy);

    // The engine's calls on the callback reach the outer object.
    UninstallCallback* callback = object;
    EXPECT_EQ(callback->AddRef(), 2u);
    void* out = nullptr;
    EXPECT_EQ(callback->QueryInterface(kUninstallCallbackId, &out), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 1);
    EXPECT_EQ(callback->Release(), 1u);
    EXPECT_EQ(object->RefCount(), 0);

    // The outer object reaches the callback's own interfaces through the proxy; the reference
    // that query takes lands on the outer object.
    ASSERT_EQ(proxy->QueryInterface(kUninstallCallbackId, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(callback));
    EXPECT_EQ(outer.count, 2u);
    EXPECT_EQ(proxy->AddRef(), 2u);
    EXPECT_EQ(proxy->Release(), 1u);
    EXPECT_EQ(proxy->Release(), 0u); // destroys the callback with the proxy
}

} // namespace
