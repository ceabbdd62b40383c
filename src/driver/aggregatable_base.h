// Reference counting for the program's objects that cross a library boundary, with support for
// aggregation under a controlling (outer) object. AggregatableBase is the non-delegating part:
// its first three slots forward to the outer object when there is one, otherwise to its own
// non-delegating operations. The counts are plain integers: the objects are used from the
// program's one thread only.
#pragma once

#include "platform/win32api.h"
#include "support/unknown.h"

class AggregatableBase : public Unknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override; // 0
    ULONG STDMETHODCALLTYPE AddRef() override;                                // 1
    ULONG STDMETHODCALLTYPE Release() override;                               // 2
    // 3: runs the destructor and, when bit 0 of `flags` is set, frees the object. A derived
    // object overrides it to destroy itself whole.
    virtual void STDMETHODCALLTYPE Destroy(unsigned flags) = 0;
    // 4: places this object under `outer` before its first reference; `out` receives the part
    // the outer object keeps to reach this object's own interfaces.
    virtual HRESULT STDMETHODCALLTYPE Aggregate(Unknown* outer, Unknown** out);
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID id, void** out) = 0; // 5
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef();                                    // 6
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease();                                   // 7
    virtual HRESULT STDMETHODCALLTYPE Hook();                                                 // 8
    virtual void STDMETHODCALLTYPE FinalRelease();                                            // 9

    LONG RefCount() const { return refCount; }
    Unknown* OuterObject() const { return outerObject; }
    Unknown* InnerObject() const { return innerObject; }

protected:
    AggregatableBase();
    // Objects are destroyed only through Destroy.
    ~AggregatableBase() = default;

    LONG refCount = 0;
    Unknown* outerObject = nullptr;
    Unknown* innerObject;

private:
    AggregatableBase(const AggregatableBase&) = delete;
    AggregatableBase& operator=(const AggregatableBase&) = delete;
};

// What an aggregated object hands its outer object: a count of its own, queries answered by the
// owner's own interfaces, and the owner's destruction when the outer object lets it go.
class InnerObjectProxy final : public Unknown {
public:
    explicit InnerObjectProxy(AggregatableBase* owner) : owner(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override; // 0
    ULONG STDMETHODCALLTYPE AddRef() override;                                // 1
    ULONG STDMETHODCALLTYPE Release() override;                               // 2
    // 3: destroys and frees the owner, then frees the proxy when bit 0 of `flags` is set.
    virtual void STDMETHODCALLTYPE Destroy(unsigned flags);

private:
    ~InnerObjectProxy() = default;
    InnerObjectProxy(const InnerObjectProxy&) = delete;
    InnerObjectProxy& operator=(const InnerObjectProxy&) = delete;

    LONG refCount = 0;
    AggregatableBase* owner;
};
