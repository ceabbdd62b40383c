// A reference-counted block of bytes, the carrier of values across interface boundaries. Other
// components receive it, so its dispatch table is a fixed contract: slots 0-7 are
// `BufferInterface`, slot 8 is the object's own destroy operation.
//
// Storage: contents of up to 15 bytes live in a 16-byte area inside the object, whose last byte
// (the marker) holds their size; larger contents live in a malloc'ed block whose pointer and
// 32-bit size sit at the start of the area, with the marker 0xEE.
#pragma once

#include "platform/win32api.h"
#include "support/unknown.h"

// "{00001300-0901-11D1-8B06-00A024406D59}"
inline constexpr IID kBufferInterfaceId = {
    0x00001300, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

struct BufferInterface : Unknown {
    virtual HRESULT STDMETHODCALLTYPE Get(BYTE** data, DWORD* size) = 0;
    // Fails with E_WRONG_STATE while the buffer is shared, E_OUTOFMEMORY when no block is had,
    // E_POINTER for a null source of a size other than 0 (the buffer is then left alone).
    virtual HRESULT STDMETHODCALLTYPE Set(const void* bytes, DWORD size) = 0;
    // Keeps the first min(old, new) bytes.
    virtual HRESULT STDMETHODCALLTYPE SetSize(DWORD size) = 0;
    virtual DWORD STDMETHODCALLTYPE GetSize() = 0;
    virtual BYTE* STDMETHODCALLTYPE GetData() = 0;
};

class Buffer final : public BufferInterface {
public:
    // A new, empty buffer with no reference yet (the creator takes the first), or null when
    // there is no memory for it.
    static Buffer* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Get(BYTE** data, DWORD* size) override;
    HRESULT STDMETHODCALLTYPE Set(const void* bytes, DWORD size) override;
    HRESULT STDMETHODCALLTYPE SetSize(DWORD size) override;
    DWORD STDMETHODCALLTYPE GetSize() override;
    BYTE* STDMETHODCALLTYPE GetData() override;
    // Runs the destructor and, when bit 0 of `flags` is set, frees the object.
    virtual Buffer* STDMETHODCALLTYPE Destroy(unsigned flags);

    static constexpr DWORD kInlineRoom = 15;
    static constexpr BYTE kHeapMarker = 0xEE;

private:
    Buffer();
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    HRESULT Resize(DWORD size, bool keep);
    bool IsHeap() const { return storage_[kInlineRoom] == kHeapMarker; }
    BYTE* HeapBlock() const;
    DWORD HeapSize() const;
    void SetHeap(BYTE* block, DWORD size);
    void MoveInline(DWORD size);

    LONG refCount_ = 0;
    BYTE storage_[16] = {};
};
