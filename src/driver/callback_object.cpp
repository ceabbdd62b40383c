#include "driver/callback_object.h"

#include "driver/deferred_removals.h"
#include "support/removal_log.h"

#include <cstdio>
#include <new>

CallbackObject* CallbackObject::Create() {
    return new (std::nothrow) CallbackObject;
}

// The first three slots of both parts behave alike: to the outer object when aggregated.
HRESULT STDMETHODCALLTYPE CallbackObject::QueryInterface(REFIID id, void** out) {
    return AggregatableBase::QueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE CallbackObject::AddRef() {
    return AggregatableBase::AddRef();
}

ULONG STDMETHODCALLTYPE CallbackObject::Release() {
    return AggregatableBase::Release();
}

HRESULT STDMETHODCALLTYPE CallbackObject::NonDelegatingQueryInterface(REFIID id, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (id == kUnknownInterfaceId) {
        static_cast<UninstallCallback*>(this)->AddRef();
        *out = static_cast<Unknown*>(static_cast<AggregatableBase*>(this));
        return S_OK;
    }
    if (id == kUninstallCallbackId) {
        static_cast<UninstallCallback*>(this)->AddRef();
        *out = static_cast<UninstallCallback*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void STDMETHODCALLTYPE CallbackObject::Destroy(unsigned flags) {
    this->~CallbackObject();
    if (flags & 1) {
        ::operator delete(this);
    }
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyA(Opaque) {
    return E_NOTIMPL;
}

// One dot on the component's progress line, which has no line end yet.
HRESULT STDMETHODCALLTYPE CallbackObject::ReportProgress(Opaque) {
    printf(".");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyB() {
    return 1;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyC() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyD(Opaque) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyE(Opaque, Opaque) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyF(Opaque, Opaque, Opaque) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyG() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyH(Opaque, Opaque) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyI(Opaque) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::DeferFileRemoval(const char* path) {
    DeferRemoval(deferredFiles, path);
    LogAction(LV_Deferred, LT_File, path, "handed back by the setup library, for the sweep");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::DeferFolderRemoval(const char* path) {
    DeferRemoval(deferredFolders, path);
    LogAction(LV_Deferred, LT_Folder, path, "handed back by the setup library, for the sweep");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CallbackObject::NotifyJ() {
    return E_NOTIMPL;
}
