// Stand-in of the maker's setup library, "setu3260.dll" (also installed as "setu3270.dll", the
// name the broker loads). LMACreateInstance yields the engine; the engine answers ComponentList,
// ComponentLocation and ComponentUninstaller with objects of their own, so that the trace tells
// through which interface each call came. Every call the program makes is one trace line, and the
// contract is checked as the calls come: a breach is a line "contract: ...".
#include "common/contract.h"
#include "common/trace.h"
#include "setup/installed_components.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kLibrary[] = "setu3260";

int liveObjects = 0;

void Say(const std::string& line) {
    maker::Trace(kLibrary, line);
}

void Breach(const std::string& what) {
    Say("contract: " + what);
}

// Writes "load" when mapped and, when unmapped, how many of its objects are still held.
struct Census {
    Census() { Say("load"); }
    ~Census() { Say("unload (live objects: " + std::to_string(liveObjects) + ")"); }
} census;

// An identifier the engine knows by its interface name, any other in the registry notation.
std::string InterfaceName(REFIID id) {
    const struct {
        const IID* id;
        const char* name;
    } known[] = {{&kUnknownInterfaceId, "IUnknown"},
                 {&maker::kSetupEngineId, "SetupEngine"},
                 {&maker::kComponentListId, "ComponentList"},
                 {&maker::kComponentLocationId, "ComponentLocation"},
                 {&maker::kComponentUninstallerId, "ComponentUninstaller"}};
    for (const auto& entry : known) {
        if (*entry.id == id) {
            return entry.name;
        }
    }
    return maker::GuidText(id);
}

struct EngineState;

// One interface of the engine: its own count, traced under the interface's name.
template <typename Interface> class Facet : public Interface {
public:
    Facet(const char* name, EngineState* state);
    virtual ~Facet();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override {
        Say(std::string(name_) + ".AddRef");
        return Adjust(1);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Say(std::string(name_) + ".Release");
        return Adjust(-1);
    }
    // The count changed from inside the library: not a call of the program's, so not traced.
    ULONG Adjust(int delta) {
        references_ += delta;
        if (references_ > 0) {
            return references_;
        }
        delete this;
        return 0;
    }

protected:
    const char* name_;
    EngineState* state_;
    LONG references_ = 1;
};

// What the engine's facets share; it lives as long as the engine object.
struct EngineState {
    std::vector<maker::Component> listed; // as of the last Refresh
    const maker::Component* current = nullptr;
    maker::UninstallCallback* callback = nullptr;
    std::vector<std::string> protectedFiles;
    Facet<maker::SetupEngine>* engine = nullptr; // the engine facet, which owns this state
};

Unknown* NewFacet(REFIID id, EngineState* state);

template <typename Interface>
Facet<Interface>::Facet(const char* name, EngineState* state) : name_(name), state_(state) {
    ++liveObjects;
    if (state_->engine != nullptr) {
        state_->engine->Adjust(1); // every other facet keeps the engine
    }
}

template <typename Interface> Facet<Interface>::~Facet() {
    --liveObjects;
}

template <typename Interface>
HRESULT STDMETHODCALLTYPE Facet<Interface>::QueryInterface(REFIID id, void** out) {
    Unknown* facet = NewFacet(id, state_);
    Say(std::string(name_) + ".QueryInterface(" + InterfaceName(id) + ")" +
        (facet ? "" : " refused"));
    *out = facet;
    return facet ? S_OK : E_NOINTERFACE;
}

template <typename Interface> class EngineFacet : public Facet<Interface> {
public:
    EngineFacet(const char* name, EngineState* state) : Facet<Interface>(name, state) {}
    ~EngineFacet() override { this->state_->engine->Adjust(-1); }
};

bool SameText(const std::string& a, const std::string& b) {
    return _stricmp(a.c_str(), b.c_str()) == 0;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

HRESULT NotImplemented() {
    return E_NOTIMPL;
}

class Engine final : public Facet<maker::SetupEngine> {
public:
    Engine() : Facet("SetupEngine", new EngineState) { state_->engine = this; }
    ~Engine() override {
        if (state_->callback != nullptr) {
            Breach("the engine went with a component still begun");
        }
        delete state_;
    }

    HRESULT STDMETHODCALLTYPE BeginComponent(maker::ComponentRecord* record) override;
    HRESULT STDMETHODCALLTYPE EndComponent() override;
    HRESULT STDMETHODCALLTYPE Reserved5() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SendCommand(const char* command, int flag) override {
        Say("SetupEngine.SendCommand(" + std::string(command) + ", " + std::to_string(flag) + ")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE ProtectFile(const char* path) override {
        Say("SetupEngine.ProtectFile(" + std::string(path) + ")");
        state_->protectedFiles.push_back(path);
        return S_OK;
    }

private:
    void CheckCallback(maker::UninstallCallback* callback);
};

// The program's callback must answer both of its interfaces, and count them as one object.
void Engine::CheckCallback(maker::UninstallCallback* callback) {
    void* asked = nullptr;
    void* unknown = nullptr;
    if (callback->QueryInterface(maker::kUninstallCallbackId, &asked) != S_OK ||
        asked != callback) {
        Breach("the callback does not answer UninstallCallback with itself");
    }
    if (callback->QueryInterface(kUnknownInterfaceId, &unknown) != S_OK || unknown == nullptr) {
        Breach("the callback does not answer IUnknown");
    }
    void* other = &other;
    if (callback->QueryInterface(maker::kSetupEngineId, &other) != E_NOINTERFACE ||
        other != nullptr) {
        Breach("the callback answers an interface it does not have");
    }
    if (unknown != nullptr) {
        static_cast<Unknown*>(unknown)->Release();
    }
    if (asked != nullptr) {
        static_cast<Unknown*>(asked)->Release();
    }
}

HRESULT STDMETHODCALLTYPE Engine::BeginComponent(maker::ComponentRecord* record) {
    if (record == nullptr || record->makerName == nullptr) {
        Breach("BeginComponent without a record or a maker's name");
        return E_POINTER;
    }
    const std::string name = record->componentName ? record->componentName : "(null)";
    Say("SetupEngine.BeginComponent(" + std::string(record->makerName) + ", " + name + ", " +
        std::to_string(record->valueA) + ", " + std::to_string(record->valueB) + ", " +
        (record->callback ? "callback" : "no callback") + ")");
    if (state_->callback != nullptr) {
        Breach("BeginComponent before the last component ended");
    }
    if (strcmp(record->makerName, "Orvane") != 0) {
        Breach("the maker's name is not Orvane");
    }
    state_->current = nullptr;
    for (const maker::Component& component : state_->listed) {
        if (component.name == name && component.valueA == record->valueA &&
            component.valueB == record->valueB) {
            state_->current = &component;
        }
    }
    if (state_->current == nullptr) {
        Breach("the record names no listed component with these values");
    }
    state_->protectedFiles.clear();
    if (record->callback != nullptr) {
        CheckCallback(record->callback);
        record->callback->AddRef(); // held until EndComponent
        state_->callback = record->callback;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Engine::EndComponent() {
    Say("SetupEngine.EndComponent");
    if (state_->current == nullptr) {
        Breach("EndComponent without a component begun");
    }
    if (state_->callback != nullptr) {
        state_->callback->Release();
        state_->callback = nullptr;
    }
    state_->current = nullptr;
    return S_OK;
}

class List final : public EngineFacet<maker::ComponentList> {
public:
    explicit List(EngineState* state) : EngineFacet("ComponentList", state) {}
    HRESULT STDMETHODCALLTYPE Refresh() override {
        state_->listed = maker::ReadInstalledComponents();
        Say("ComponentList.Refresh (" + std::to_string(state_->listed.size()) + " components)");
        return S_OK;
    }
    WORD STDMETHODCALLTYPE GetCount() override {
        Say("ComponentList.GetCount = " + std::to_string(state_->listed.size()));
        return static_cast<WORD>(state_->listed.size());
    }
    const char* STDMETHODCALLTYPE GetName(UINT index) override {
        const maker::Component* component = At(index, "GetName");
        const char* name = component ? component->name.c_str() : "";
        Say("ComponentList.GetName(" + std::to_string(index) + ") = " + name);
        return name;
    }
    WORD STDMETHODCALLTYPE GetValueA(UINT index) override {
        const maker::Component* component = At(index, "GetValueA");
        return Answer("GetValueA", index, component ? component->valueA : 0);
    }
    WORD STDMETHODCALLTYPE GetValueB(UINT index) override {
        const maker::Component* component = At(index, "GetValueB");
        return Answer("GetValueB", index, component ? component->valueB : 0);
    }

private:
    const maker::Component* At(UINT index, const char* call) {
        if (index >= state_->listed.size()) {
            Breach(std::string(call) + " with an index beyond the list");
            return nullptr;
        }
        return &state_->listed[index];
    }
    static WORD Answer(const char* call, UINT index, WORD value) {
        Say("ComponentList." + std::string(call) + "(" + std::to_string(index) +
            ") = " + std::to_string(value));
        return value;
    }
};

class Location final : public EngineFacet<maker::ComponentLocation> {
public:
    explicit Location(EngineState* state) : EngineFacet("ComponentLocation", state) {}
    HRESULT STDMETHODCALLTYPE Reserved3() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return NotImplemented(); }
    const char* STDMETHODCALLTYPE GetPath() override {
        Say("ComponentLocation.GetPath");
        if (state_->current == nullptr) {
            Breach("GetPath without a component begun");
            return "";
        }
        return state_->current->location.c_str();
    }
};

class Uninstaller final : public EngineFacet<maker::ComponentUninstaller> {
public:
    explicit Uninstaller(EngineState* state) : EngineFacet("ComponentUninstaller", state) {}
    HRESULT STDMETHODCALLTYPE Uninstall(int flag) override;

private:
    bool IsProtected(const std::string& path) const;
};

bool Uninstaller::IsProtected(const std::string& path) const {
    for (const std::string& file : state_->protectedFiles) {
        const bool bare = file.find('\\') == std::string::npos;
        if (bare ? SameText(file, BaseName(path)) : SameText(file, path)) {
            return true;
        }
    }
    return false;
}

HRESULT STDMETHODCALLTYPE Uninstaller::Uninstall(int flag) {
    const maker::Component* component = state_->current;
    const HRESULT result = component ? static_cast<HRESULT>(component->result) : E_FAIL;
    Say("ComponentUninstaller.Uninstall(" + std::to_string(flag) +
        ") = " + std::to_string(static_cast<long>(result)));
    if (component == nullptr) {
        Breach("Uninstall without a component begun");
        return result;
    }
    if (result != S_OK) {
        return result;
    }
    maker::UninstallCallback* callback = state_->callback;
    maker::RemovalReport report;
    report.progress = [callback] {
        if (callback) {
            callback->ReportProgress(0);
        }
    };
    report.deferFile = [callback](const std::string& path) {
        Say("deferred file " + path);
        if (callback) {
            callback->DeferFileRemoval(path.c_str());
        }
    };
    report.deferFolder = [callback](const std::string& path) {
        Say("deferred folder " + path);
        if (callback) {
            callback->DeferFolderRemoval(path.c_str());
        }
    };
    report.isProtected = [this](const std::string& path) { return IsProtected(path); };
    maker::RemoveComponent(*component, report);
    return S_OK;
}

Unknown* NewFacet(REFIID id, EngineState* state) {
    if (id == kUnknownInterfaceId || id == maker::kSetupEngineId) {
        state->engine->Adjust(1);
        return state->engine;
    }
    if (id == maker::kComponentListId) {
        return new List(state);
    }
    if (id == maker::kComponentLocationId) {
        return new Location(state);
    }
    if (id == maker::kComponentUninstallerId) {
        return new Uninstaller(state);
    }
    return nullptr;
}

} // namespace

extern "C" HRESULT WINAPI LMACreateInstance(maker::SetupEngine** engine) {
    Say("LMACreateInstance");
    if (engine == nullptr) {
        Breach("LMACreateInstance without an out argument");
        return E_POINTER;
    }
    *engine = new Engine;
    return S_OK;
}

extern "C" HRESULT WINAPI SetDLLAccessPath(const char* block) {
    Say("SetDLLAccessPath(" + maker::BlockText(block) + ")");
    return S_OK;
}
