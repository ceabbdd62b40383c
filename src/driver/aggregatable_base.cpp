#include "driver/aggregatable_base.h"

#include <new>

AggregatableBase::AggregatableBase() : innerObject(this) {}

HRESULT STDMETHODCALLTYPE AggregatableBase::QueryInterface(REFIID id, void** out) {
    if (outerObject != nullptr) {
        return outerObject->QueryInterface(id, out);
    }
    return NonDelegatingQueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE AggregatableBase::AddRef() {
    if (outerObject != nullptr) {
        return outerObject->AddRef();
    }
    return NonDelegatingAddRef();
}

ULONG STDMETHODCALLTYPE AggregatableBase::Release() {
    if (outerObject != nullptr) {
        return outerObject->Release();
    }
    return NonDelegatingRelease();
}

HRESULT STDMETHODCALLTYPE AggregatableBase::Aggregate(Unknown* outer, Unknown** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    // Once someone holds a reference, its calls could no longer be redirected to the outer object.
    if (refCount != 0) {
        return E_FAIL;
    }
    if (outer != nullptr) {
        // Without its proxy the object stays on its own: nobody would own it under the outer.
        InnerObjectProxy* proxy = new (std::nothrow) InnerObjectProxy(this);
        if (proxy == nullptr) {
            return E_OUTOFMEMORY;
        }
        outerObject = outer;
        innerObject = proxy;
        proxy->AddRef();
        *out = proxy;
        return S_OK;
    }
    const HRESULT result =
        QueryInterface(kUnknownInterfaceId, reinterpret_cast<void**>(&innerObject));
    if (SUCCEEDED(result)) {
        *out = innerObject;
    }
    return result;
}

ULONG STDMETHODCALLTYPE AggregatableBase::NonDelegatingAddRef() {
    return ++refCount;
}

ULONG STDMETHODCALLTYPE AggregatableBase::NonDelegatingRelease() {
    if (--refCount > 0) {
        return refCount;
    }
    FinalRelease();
    Destroy(1);
    return 0;
}

HRESULT STDMETHODCALLTYPE AggregatableBase::Hook() {
    return S_OK;
}

void STDMETHODCALLTYPE AggregatableBase::FinalRelease() {}

HRESULT STDMETHODCALLTYPE InnerObjectProxy::QueryInterface(REFIID id, void** out) {
    return owner->NonDelegatingQueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE InnerObjectProxy::AddRef() {
    return ++refCount;
}

ULONG STDMETHODCALLTYPE InnerObjectProxy::Release() {
    if (--refCount > 0) {
        return refCount;
    }
    Destroy(1);
    return 0;
}

void STDMETHODCALLTYPE InnerObjectProxy::Destroy(unsigned flags) {
    owner->Destroy(1);
    this->~InnerObjectProxy();
    if (flags & 1) {
        ::operator delete(this);
    }
}
