// Stand-in of the maker's object broker, "objb3201.dll". OVSetupObjectBroker hands out a root
// object that answers BrokerFactory, PropertyNameRegistry and SetupSettings. The settings receive
// the setup library's folder; CreateInstance of the setup engine's class loads "setu3270.dll"
// from that folder and returns the engine its LMACreateInstance makes. The shutdown entry unloads
// that library again.
//
// Switch words (OVUNINST_MAKER_FAIL): "broker-setup" makes OVSetupObjectBroker fail with E_FAIL;
// "broker-null-root" makes it succeed without a root object; "broker-no-factory" makes the root
// object refuse BrokerFactory; "broker-no-engine" makes CreateInstance fail.
#include "common/contract.h"
#include "common/trace.h"

#include <cstring>
#include <set>
#include <string>

namespace {

const char kLibrary[] = "objb3201";
// REGDB_E_CLASSNOTREG: the class is not known to this broker.
const HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154);

maker::LifetimeTrace lifetime(kLibrary);
int liveObjects = 0;
// The setup library's folder as the settings received it, and the library once loaded.
std::string setupFolder;
bool folderGiven = false;
HMODULE setupLibrary = nullptr;

void Say(const std::string& line) {
    maker::Trace(kLibrary, line);
}

HMODULE LoadSetupLibrary() {
    if (setupLibrary == nullptr) {
        const std::string path =
            setupFolder.empty() ? "setu3270.dll" : setupFolder + "\\setu3270.dll";
        setupLibrary = LoadLibraryA(path.c_str());
        Say("loaded " + path + (setupLibrary ? "" : " failed"));
    }
    return setupLibrary;
}

class RootObject final : public maker::BrokerFactory,
                         public maker::PropertyNameRegistry,
                         public maker::SetupSettings {
public:
    RootObject() {
        ++liveObjects;
        Live().insert(this);
    }

    // The broker's objects go with it: the ones the program still holds are freed at shutdown.
    static void FreeTheLiving() {
        while (!Live().empty()) {
            delete *Live().begin();
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        void* answer = nullptr;
        if (id == kUnknownInterfaceId ||
            (id == maker::kBrokerFactoryId && !maker::Switched("broker-no-factory"))) {
            answer = static_cast<maker::BrokerFactory*>(this);
        } else if (id == maker::kPropertyNameRegistryId) {
            answer = static_cast<maker::PropertyNameRegistry*>(this);
        } else if (id == maker::kSetupSettingsId) {
            answer = static_cast<maker::SetupSettings*>(this);
        }
        Say("QueryInterface(" + maker::GuidText(id) + ")" + (answer ? "" : " refused"));
        *out = answer;
        if (answer == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
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
    HRESULT STDMETHODCALLTYPE CreateInstance(REFCLSID classId, Unknown** out) override;
    HRESULT STDMETHODCALLTYPE RegisterName(const char* name, int kind, int zero) override {
        Say("RegisterName(" + std::string(name) + ", " + std::to_string(kind) + ", " +
            std::to_string(zero) + ")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBufferValue(int a, int key, int c,
                                             maker::ValueBuffer* value) override;

private:
    ~RootObject() {
        --liveObjects;
        Live().erase(this);
    }
    static std::set<RootObject*>& Live() {
        static std::set<RootObject*> live;
        return live;
    }

    ULONG references_ = 0;
};

// Key 6 is the setup library's folder: a terminated text without a trailing backslash.
HRESULT STDMETHODCALLTYPE RootObject::SetBufferValue(int a, int key, int c,
                                                     maker::ValueBuffer* value) {
    BYTE* data = nullptr;
    DWORD size = 0;
    if (value == nullptr || FAILED(value->Get(&data, &size)) || size == 0 ||
        data[size - 1] != '\0') {
        Say("contract: SetBufferValue without a terminated text");
        return E_INVALIDARG;
    }
    const std::string text(reinterpret_cast<const char*>(data), size - 1);
    Say("SetBufferValue(" + std::to_string(a) + ", " + std::to_string(key) + ", " +
        std::to_string(c) + ", " + text + ")");
    if (strlen(text.c_str()) != text.size() || (!text.empty() && text.back() == '\\')) {
        Say("contract: the folder is not one text without a trailing backslash");
    }
    if (key == 6) {
        setupFolder = text;
        folderGiven = true;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RootObject::CreateInstance(REFCLSID classId, Unknown** out) {
    Say("CreateInstance(" + maker::GuidText(classId) + ")");
    *out = nullptr;
    if (!(classId == maker::kSetupEngineClassId) || maker::Switched("broker-no-engine")) {
        return kClassNotRegistered;
    }
    if (!folderGiven) {
        Say("contract: CreateInstance before the settings received the setup folder");
    }
    HMODULE library = LoadSetupLibrary();
    // Through a function type without arguments, which any function pointer converts to.
    SetupFactoryEntry create =
        library ? reinterpret_cast<SetupFactoryEntry>(
                      reinterpret_cast<void (*)()>(GetProcAddress(library, "LMACreateInstance")))
                : nullptr;
    maker::SetupEngine* engine = nullptr;
    if (create == nullptr || FAILED(create(&engine)) || engine == nullptr) {
        return kClassNotRegistered;
    }
    *out = engine;
    return S_OK;
}

} // namespace

extern "C" HRESULT WINAPI OVSetupObjectBroker(Unknown** root) {
    Say("OVSetupObjectBroker");
    if (maker::Switched("broker-setup")) {
        return E_FAIL;
    }
    if (maker::Switched("broker-null-root")) {
        return S_OK;
    }
    RootObject* object = new RootObject;
    object->AddRef();
    *root = static_cast<maker::BrokerFactory*>(object);
    return S_OK;
}

// The trace tells how many of the broker's objects the program still holds; the setup library
// goes with the broker.
extern "C" HRESULT WINAPI OVShutdownObjectBroker() {
    Say("OVShutdownObjectBroker(live objects: " + std::to_string(liveObjects) + ")");
    RootObject::FreeTheLiving();
    if (setupLibrary != nullptr) {
        FreeLibrary(setupLibrary);
        setupLibrary = nullptr;
    }
    setupFolder.clear();
    folderGiven = false;
    return S_OK;
}

extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block) {
    Say("SetDLLAccessPath(" + maker::BlockText(block) + ")");
    return S_OK;
}
