// The program's callback for the setup engine: made once per run, placed in every component's
// record. It prints a progress dot when the engine reports progress, and lists the files and
// folders the engine cannot remove yet for the residue sweep (deferred_removals.h). Its other
// operations answer with fixed results.
//
// UninstallCallback is its primary base, first in the object; AggregatableBase, second, is the
// part handed out for IUnknown.
#pragma once

#include "driver/aggregatable_base.h"
#include "driver/setup_interfaces.h"

class CallbackObject final : public UninstallCallback, public AggregatableBase {
public:
    // A new object with no reference yet (the creator takes the first), or null when there is
    // no memory for it.
    static CallbackObject* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE NotifyA(Opaque a) override;
    HRESULT STDMETHODCALLTYPE ReportProgress(Opaque step) override;
    HRESULT STDMETHODCALLTYPE NotifyB() override;
    HRESULT STDMETHODCALLTYPE NotifyC() override;
    HRESULT STDMETHODCALLTYPE NotifyD(Opaque a) override;
    HRESULT STDMETHODCALLTYPE NotifyE(Opaque a, Opaque b) override;
    HRESULT STDMETHODCALLTYPE NotifyF(Opaque a, Opaque b, Opaque c) override;
    HRESULT STDMETHODCALLTYPE NotifyG() override;
    HRESULT STDMETHODCALLTYPE NotifyH(Opaque a, Opaque b) override;
    HRESULT STDMETHODCALLTYPE NotifyI(Opaque a) override;
    HRESULT STDMETHODCALLTYPE DeferFileRemoval(const char* path) override;
    HRESULT STDMETHODCALLTYPE DeferFolderRemoval(const char* path) override;
    HRESULT STDMETHODCALLTYPE NotifyJ() override;

    void STDMETHODCALLTYPE Destroy(unsigned flags) override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID id, void** out) override;

private:
    CallbackObject() = default;
    ~CallbackObject() = default;
};
