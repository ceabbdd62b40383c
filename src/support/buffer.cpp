#include "support/buffer.h"

#include "support/result_codes.h"

#include <new>

static_assert(sizeof(void*) + sizeof(DWORD) <= Buffer::kInlineRoom,
              "the heap form's pointer and size fit before the marker");

Buffer* Buffer::Create() {
    return new (std::nothrow) Buffer;
}

Buffer::Buffer() = default;

Buffer::~Buffer() {
    if (IsHeap()) {
        free(HeapBlock());
    }
}

HRESULT STDMETHODCALLTYPE Buffer::QueryInterface(REFIID id, void** out) {
    if (id == kUnknownInterfaceId || id == kBufferInterfaceId) {
        AddRef();
        *out = this;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Buffer::AddRef() {
    return ++refCount_;
}

ULONG STDMETHODCALLTYPE Buffer::Release() {
    if (--refCount_ > 0) {
        return refCount_;
    }
    Destroy(1);
    return 0;
}

Buffer* STDMETHODCALLTYPE Buffer::Destroy(unsigned flags) {
    this->~Buffer();
    if (flags & 1) {
        ::operator delete(this);
    }
    return this;
}

HRESULT STDMETHODCALLTYPE Buffer::Get(BYTE** data, DWORD* size) {
    *data = GetData();
    *size = GetSize();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Buffer::Set(const void* bytes, DWORD size) {
    if (bytes == nullptr && size != 0) {
        return E_POINTER;
    }
    const HRESULT result = Resize(size, false);
    if (FAILED(result)) {
        return result;
    }
    if (size != 0) {
        memcpy(GetData(), bytes, size);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Buffer::SetSize(DWORD size) {
    return Resize(size, true);
}

DWORD STDMETHODCALLTYPE Buffer::GetSize() {
    return IsHeap() ? HeapSize() : storage_[kInlineRoom];
}

BYTE* STDMETHODCALLTYPE Buffer::GetData() {
    return IsHeap() ? HeapBlock() : storage_;
}

BYTE* Buffer::HeapBlock() const {
    BYTE* block;
    memcpy(&block, storage_, sizeof block);
    return block;
}

DWORD Buffer::HeapSize() const {
    DWORD size;
    memcpy(&size, storage_ + sizeof(BYTE*), sizeof size);
    return size;
}

void Buffer::SetHeap(BYTE* block, DWORD size) {
    memcpy(storage_, &block, sizeof block);
    memcpy(storage_ + sizeof(BYTE*), &size, sizeof size);
    storage_[kInlineRoom] = kHeapMarker;
}

// A heap buffer shrunk earlier comes back inside the object; its block is at least 16 bytes long.
void Buffer::MoveInline(DWORD size) {
    BYTE kept[sizeof storage_];
    BYTE* block = HeapBlock();
    memcpy(kept, block, size);
    free(block);
    memcpy(storage_, kept, size);
}

// A heap block never shrinks; a shared buffer is never resized.
HRESULT Buffer::Resize(DWORD size, bool keep) {
    if (refCount_ > 1) {
        return E_WRONG_STATE;
    }
    const DWORD current = GetSize();
    if (size <= current) {
        if (IsHeap()) {
            SetHeap(HeapBlock(), size);
        } else {
            storage_[kInlineRoom] = static_cast<BYTE>(size);
        }
        return S_OK;
    }
    if (size <= kInlineRoom) {
        if (IsHeap()) {
            MoveInline(size);
        }
        storage_[kInlineRoom] = static_cast<BYTE>(size);
        return S_OK;
    }
    BYTE* block;
    if (!IsHeap()) {
        block = static_cast<BYTE*>(malloc(size));
        if (block == nullptr) {
            return E_OUTOFMEMORY;
        }
        if (keep) {
            memcpy(block, storage_, current);
        }
    } else if (keep) {
        block = static_cast<BYTE*>(realloc(HeapBlock(), size));
        if (block == nullptr) {
            return E_OUTOFMEMORY;
        }
    } else {
        block = static_cast<BYTE*>(malloc(size));
        if (block == nullptr) {
            return E_OUTOFMEMORY;
        }
        free(HeapBlock());
    }
    SetHeap(block, size);
    return S_OK;
}
