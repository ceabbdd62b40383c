#include "support/buffer.h"

#include "support/result_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A buffer holding its creator's one reference, released at the end of the test.
class BufferTest : public testing::Test {
protected:
    void SetUp() override {
        buffer_ = Buffer::Create();
        ASSERT_NE(buffer_, nullptr);
        ASSERT_EQ(buffer_->AddRef(), 1u);
    }
    void TearDown() override {
        if (buffer_ != nullptr) {
            EXPECT_EQ(buffer_->Release(), 0u);
        }
    }

    bool DataInsideObject() {
        const BYTE* object = reinterpret_cast<const BYTE*>(buffer_);
        const BYTE* data = buffer_->GetData();
        return data >= object && data < object + sizeof(Buffer);
    }
    // The storage area follows the dispatch table pointer and the 32-bit count.
    BYTE Marker() {
        return reinterpret_cast<const BYTE*>(buffer_)[sizeof(void*) + sizeof(LONG) + 15];
    }
    std::string Contents() {
        return std::string(reinterpret_cast<const char*>(buffer_->GetData()), buffer_->GetSize());
    }

    Buffer* buffer_ = nullptr;
};

const char kText[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

TEST_F(BufferTest, NewBufferIsEmptyAndInline) {
    EXPECT_EQ(buffer_->GetSize(), 0u);
    EXPECT_TRUE(DataInsideObject());
    EXPECT_EQ(Marker(), 0);
    BYTE* data = nullptr;
    DWORD size = 99;
    EXPECT_EQ(buffer_->Get(&data, &size), S_OK);
    EXPECT_EQ(data, buffer_->GetData());
    EXPECT_EQ(size, 0u);
}

TEST_F(BufferTest, SetStaysInlineUpToFifteenBytesAndMovesToTheHeapAtSixteen) {
    ASSERT_EQ(buffer_->Set(kText, 15), S_OK);
    EXPECT_TRUE(DataInsideObject());
    EXPECT_EQ(Marker(), 15);
    EXPECT_EQ(Contents(), std::string(kText, 15));

    ASSERT_EQ(buffer_->Set(kText + 1, 16), S_OK);
    EXPECT_FALSE(DataInsideObject());
    EXPECT_EQ(Marker(), Buffer::kHeapMarker);
    EXPECT_EQ(buffer_->GetSize(), 16u);
    EXPECT_EQ(Contents(), std::string(kText + 1, 16));

    BYTE* data = nullptr;
    DWORD size = 0;
    buffer_->Get(&data, &size);
    EXPECT_EQ(data, buffer_->GetData());
    EXPECT_EQ(size, 16u);
}

TEST_F(BufferTest, SetOnAHeapBufferReplacesTheContents) {
    ASSERT_EQ(buffer_->Set(kText, 20), S_OK);
    ASSERT_EQ(buffer_->Set(kText + 30, 30), S_OK);
    EXPECT_EQ(Contents(), std::string(kText + 30, 30));
    ASSERT_EQ(buffer_->Set(kText + 5, 3), S_OK);
    EXPECT_EQ(Contents(), std::string(kText + 5, 3));
}

TEST_F(BufferTest, SetSizeKeepsTheContentsAcrossEveryTransition) {
    ASSERT_EQ(buffer_->Set(kText, 10), S_OK);
    ASSERT_EQ(buffer_->SetSize(40), S_OK);
    EXPECT_FALSE(DataInsideObject());
    EXPECT_EQ(buffer_->GetSize(), 40u);
    EXPECT_EQ(Contents().substr(0, 10), std::string(kText, 10));

    memcpy(buffer_->GetData(), kText, 40);
    BYTE* const block = buffer_->GetData();
    ASSERT_EQ(buffer_->SetSize(5), S_OK);
    EXPECT_EQ(buffer_->GetData(), block) << "a heap block never shrinks";
    EXPECT_EQ(buffer_->GetSize(), 5u);
    EXPECT_EQ(Marker(), Buffer::kHeapMarker);

    ASSERT_EQ(buffer_->SetSize(12), S_OK);
    EXPECT_TRUE(DataInsideObject());
    EXPECT_EQ(Marker(), 12);
    EXPECT_EQ(Contents(), std::string(kText, 12));

    ASSERT_EQ(buffer_->SetSize(50), S_OK);
    ASSERT_EQ(buffer_->SetSize(30), S_OK);
    ASSERT_EQ(buffer_->SetSize(60), S_OK);
    EXPECT_EQ(buffer_->GetSize(), 60u);
    EXPECT_EQ(Contents().substr(0, 12), std::string(kText, 12));
}

TEST_F(BufferTest, ANullSourceIsRefusedUnlessItIsEmpty) {
    ASSERT_EQ(buffer_->Set(kText, 20), S_OK);
    EXPECT_EQ(buffer_->Set(nullptr, 30), E_POINTER);
    EXPECT_EQ(Contents(), std::string(kText, 20));
    EXPECT_EQ(buffer_->Set(nullptr, 0), S_OK);
    EXPECT_EQ(buffer_->GetSize(), 0u);
}

TEST_F(BufferTest, ASharedBufferRefusesEveryResize) {
    ASSERT_EQ(buffer_->Set(kText, 20), S_OK);
    EXPECT_EQ(buffer_->AddRef(), 2u);
    EXPECT_EQ(buffer_->Set(kText + 40, 4), E_WRONG_STATE);
    EXPECT_EQ(buffer_->SetSize(100), E_WRONG_STATE);
    EXPECT_EQ(buffer_->SetSize(2), E_WRONG_STATE);
    EXPECT_EQ(Contents(), std::string(kText, 20));

    EXPECT_EQ(buffer_->Release(), 1u);
    EXPECT_EQ(buffer_->Set(kText + 40, 4), S_OK);
    EXPECT_EQ(Contents(), std::string(kText + 40, 4));
}

TEST_F(BufferTest, QueryInterfaceAnswersTheBufferAndUnknownOnly) {
    void* out = nullptr;
    EXPECT_EQ(buffer_->QueryInterface(kBufferInterfaceId, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(buffer_));
    EXPECT_EQ(buffer_->AddRef(), 3u) << "QueryInterface took a reference";
    EXPECT_EQ(buffer_->Release(), 2u);

    out = nullptr;
    EXPECT_EQ(buffer_->QueryInterface(kUnknownInterfaceId, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(buffer_));
    EXPECT_EQ(buffer_->Release(), 2u);
    EXPECT_EQ(buffer_->Release(), 1u);

    IID other = kBufferInterfaceId;
    other.Data4[7] ^= 1;
    out = buffer_;
    EXPECT_EQ(buffer_->QueryInterface(other, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(buffer_->AddRef(), 2u) << "a refused QueryInterface took no reference";
    EXPECT_EQ(buffer_->Release(), 1u);
}

// The maker's libraries call the buffer through its dispatch table, slot by slot.
TEST_F(BufferTest, DispatchTableSlotsAreInContractOrder) {
    typedef HRESULT(STDMETHODCALLTYPE * SetFn)(void*, const void*, DWORD);
    typedef DWORD(STDMETHODCALLTYPE * GetSizeFn)(void*);
    typedef BYTE*(STDMETHODCALLTYPE * GetDataFn)(void*);
    typedef ULONG(STDMETHODCALLTYPE * CountFn)(void*);
    typedef void*(STDMETHODCALLTYPE * DestroyFn)(void*, unsigned);
    void** table = *reinterpret_cast<void***>(buffer_);

    EXPECT_EQ(reinterpret_cast<CountFn>(table[1])(buffer_), 2u);
    EXPECT_EQ(reinterpret_cast<CountFn>(table[2])(buffer_), 1u);
    EXPECT_EQ(reinterpret_cast<SetFn>(table[4])(buffer_, kText, 17), S_OK);
    EXPECT_EQ(reinterpret_cast<GetSizeFn>(table[6])(buffer_), 17u);
    EXPECT_EQ(reinterpret_cast<GetDataFn>(table[7])(buffer_), buffer_->GetData());

    // Slot 8 with bit 0 set destroys and frees the object, as the last Release does.
    void* destroyed = reinterpret_cast<DestroyFn>(table[8])(buffer_, 1);
    EXPECT_EQ(destroyed, static_cast<void*>(buffer_));
    buffer_ = nullptr;
}

TEST(Buffer, LastReleaseReturnsZero) {
    Buffer* buffer = Buffer::Create();
    ASSERT_NE(buffer, nullptr);
    buffer->AddRef();
    ASSERT_EQ(buffer->Set(kText, 40), S_OK);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
}

} // namespace
