// Stand-in of the maker's object broker, "objb3201.dll". OVSetupObjectBroker hands out a root
// object that answers BrokerFactory; the factory does not create the setup engine yet.
//
// Switch words (OVUNINST_MAKER_FAIL): "broker-setup" makes OVSetupObjectBroker fail with E_FAIL;
// "broker-null-root" makes it succeed without a root object; "broker-no-factory" makes the root
// object refuse BrokerFactory.
#include "common/contract.h"
#include "common/trace.h"

namespace {

const char kLibrary[] = "objb3201";
// REGDB_E_CLASSNOTREG: the class is not known to this broker.
const HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154);

maker::LifetimeTrace lifetime(kLibrary);
int liveObjects = 0;

class RootObject final : public maker::BrokerFactory {
public:
    RootObject() { ++liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        const bool answered = id == kUnknownInterfaceId || (id == maker::kBrokerFactoryId &&
                                                            !maker::Switched("broker-no-factory"));
        maker::Trace(kLibrary,
                     "QueryInterface(" + maker::GuidText(id) + ")" + (answered ? "" : " refused"));
        if (!answered) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<maker::BrokerFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--references_ > 0) {
            return references_;
        }
        delete this;
        return 0;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID classId, Unknown** out) override {
        maker::Trace(kLibrary, "CreateInstance(" + maker::GuidText(classId) + ")");
        *out = nullptr;
        return kClassNotRegistered;
    }

private:
    ~RootObject() { --liveObjects; }

    ULONG references_ = 0;
};

} // namespace

extern "C" HRESULT WINAPI OVSetupObjectBroker(Unknown** root) {
    maker::Trace(kLibrary, "OVSetupObjectBroker");
    if (maker::Switched("broker-setup")) {
        return E_FAIL;
    }
    if (maker::Switched("broker-null-root")) {
        return S_OK;
    }
    RootObject* object = new RootObject;
    object->AddRef();
    *root = object;
    return S_OK;
}

// The trace tells how many of the broker's objects the program still holds.
extern "C" HRESULT WINAPI OVShutdownObjectBroker() {
    maker::Trace(kLibrary,
                 "OVShutdownObjectBroker(live objects: " + std::to_string(liveObjects) + ")");
    return S_OK;
}

extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block) {
    maker::Trace(kLibrary, "SetDLLAccessPath(" + maker::BlockText(block) + ")");
    return S_OK;
}
