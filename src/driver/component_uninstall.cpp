#include "driver/component_uninstall.h"

#include "driver/callback_object.h"
#include "fs/directory.h"
#include "loader/library_access_paths.h"
#include "loader/library_name.h"
#include "loader/object_broker_loader.h"
#include "registry/registry_value_text.h"
#include "support/removal_log.h"

#include <cstdio>
#include <cstring>

namespace {

const char kPlayerKey[] = "Software\\Orvane\\LumoDeck\\6.0\\Preferences\\MainApp";
const char* const kStandardPlayerFolders[] = {"Lumora Deck", "LumoraDeck", "LumoDeck", "Lumo Deck"};

char makerName[7];

// QueryInterface into a typed pointer; null unless the object answered with one.
template <typename Interface> Interface* Ask(Unknown* object, REFIID id) {
    void* answer = nullptr;
    if (FAILED(object->QueryInterface(id, &answer))) {
        return nullptr;
    }
    return static_cast<Interface*>(answer);
}

BrokerFactory* StartBroker() {
    Unknown* root = nullptr;
    if (FAILED(StartObjectBroker(&root))) {
        return nullptr;
    }
    BrokerFactory* factory = Ask<BrokerFactory>(root, kBrokerFactoryId);
    root->Release();
    return factory;
}

void RegisterPropertyNames(BrokerFactory* factory) {
    if (PropertyNameRegistry* names = Ask<PropertyNameRegistry>(factory, kPropertyNameRegistryId)) {
        names->RegisterName("ComponentCLSID", 2, 0);
        names->RegisterName("ComponentName", 0, 0);
        names->Release();
    }
}

// The settings receive the setup library's folder without its trailing backslash.
void PassSetupFolder(BrokerFactory* factory) {
    SetupSettings* settings = Ask<SetupSettings>(factory, kSetupSettingsId);
    if (settings == nullptr) {
        return;
    }
    if (Buffer* buffer = Buffer::Create()) {
        buffer->AddRef();
        // A kind without a folder gives the empty text, never a cut of nothing.
        String folder(LibraryAccessPaths::Instance().GetKindPath(DT_Update_OB));
        if (folder.Length() != 0) {
            folder = folder.Left(folder.Length() - 1);
        }
        buffer->Set(folder.Text(), folder.Length() + 1);
        settings->SetBufferValue(0, 6, 0, buffer);
        buffer->Release();
    }
    settings->Release();
}

void BuildLibraryName(String& name, int major) {
    DWORD size = kPathRoom;
    MakeVersionedLibraryName("setu", "setuplib", name.GetBuffer(kPathRoom + 1), &size, major, 0);
    name.ReleaseBuffer(-1);
}

// The engine from the broker's factory, or null when it makes none.
SetupEngine* EngineFromBroker(RunState& state, SetupRoad& road) {
    RegisterPropertyNames(road.brokerFactory);
    PassSetupFolder(road.brokerFactory);
    Unknown* object = nullptr;
    const HRESULT created = road.brokerFactory->CreateInstance(kSetupEngineClassId, &object);
    if (created != S_OK || object == nullptr) {
        return nullptr;
    }
    road.usedBroker = 1;
    SetupEngine* engine = Ask<SetupEngine>(object, kSetupEngineId);
    object->Release();
    BuildLibraryName(state.setupLibraryName, 7);
    return engine;
}

SetupEngine* EngineFromLibrary(RunState& state, SetupRoad& road) {
    BuildLibraryName(state.setupLibraryName, 6);
    if (road.setupLibrary.Load(state.setupLibraryName, DT_Update_OB) != 0) {
        state.errorOccurred = 1;
        printf("\nCannot load %s.\n", state.setupLibraryName.Text());
        LogAction(LV_Failed, LT_File, state.setupLibraryName,
                  "the setup library cannot be loaded: no component is uninstalled");
        return nullptr;
    }
    SetupEngine* engine = nullptr;
    if (SetupFactoryEntry create =
            road.setupLibrary.FindSymbolAs<SetupFactoryEntry>("LMACreateInstance")) {
        create(&engine);
    }
    return engine;
}

bool IsStandardPlayerFolder(const String& name) {
    for (const char* standard : kStandardPlayerFolders) {
        if (_stricmp(name, standard) == 0) {
            return true;
        }
    }
    return false;
}

// The folder of the registered player program, and whether it is one of the product folders.
void ReadPlayerRegistration(RunState& state) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, kPlayerKey, &key) != ERROR_SUCCESS) {
        return;
    }
    state.playerFolder = ReadRegistryText(key, nullptr);
    int slash = state.playerFolder.ReverseFind('\\');
    if (slash >= 0) {
        state.playerFolder = state.playerFolder.Left(static_cast<unsigned>(slash));
        slash = state.playerFolder.ReverseFind('\\');
        if (slash >= 0 &&
            IsStandardPlayerFolder(state.playerFolder.Mid(static_cast<unsigned>(slash) + 1))) {
            state.standardPlayerFolder = 1;
        }
    }
    RegCloseKey(key);
}

void ReadSystemFolder(RunState& state) {
    char* buffer = state.systemFolder.GetBuffer(kPathRoom + 1);
    const UINT length = GetSystemDirectoryA(buffer, kPathRoom);
    state.systemFolder.ReleaseBuffer(length <= kPathRoom ? static_cast<int>(length) : 0);
}

void ProtectRuntimeAndLibrary(SetupEngine* engine, const RunState& state) {
    String path;
    engine->ProtectFile(path.Format("%s\\ovcrt.dll", state.systemFolder.Text()));
    engine->ProtectFile(path.Format("%s\\ovcrtd.dll", state.systemFolder.Text()));
    engine->ProtectFile(state.setupLibraryName);
}

// Tells the maker's running programs to close, once per run.
void SendShutdownCommands(SetupEngine* engine) {
    engine->SendCommand("SHUTDOWN \"OVAdminNotifWndClass\" \"\" 1", 1);
    engine->SendCommand("SHUTDOWN \"OVAdminEventSingleInstance\" \"\" 1", 1);
}

// Works in the component's folder; the jukebox also keeps its plug-in there.
void EnterComponentFolder(SetupEngine* engine, const String& name) {
    String location;
    if (ComponentLocation* where = Ask<ComponentLocation>(engine, kComponentLocationId)) {
        location = where->GetPath();
        where->Release();
    }
    if (location.Length() == 0) {
        return;
    }
    location = location.Left(static_cast<unsigned>(location.ReverseFind('\\') + 1));
    Directory folder;
    folder.SetPath(location);
    folder.MakeCurrent();
    if (_stricmp(name, "LumoCrate") == 0) {
        engine->ProtectFile(Concat(location, "ovgu3263.dll"));
    }
}

void LogUninstall(const String& name, HRESULT result) {
    if (IsRemovalLogOpen()) {
        String why;
        LogAction(
            result == 0 ? LV_Removed : LV_Failed, LT_Component, name,
            why.Format("the setup library's uninstall answered %d", static_cast<int>(result)));
    }
}

void RunUninstaller(SetupEngine* engine, RunState& state, const String& name) {
    ComponentUninstaller* uninstaller = Ask<ComponentUninstaller>(engine, kComponentUninstallerId);
    if (uninstaller == nullptr) {
        LogAction(LV_Skipped, LT_Component, name, "the setup library gave no uninstaller");
        return;
    }
    const HRESULT result = uninstaller->Uninstall(1);
    LogUninstall(name, result);
    if (result != 0) {
        state.errorOccurred = 1;
        if (result == 5) {
            printf("\nNot enough virtual memory to perform uninstallation.\n");
        } else {
            printf("\nUnexpected error %d occurred.\n", static_cast<int>(result));
        }
    }
    uninstaller->Release();
}

struct Loop {
    RunState& state;
    SetupEngine* engine;
    ComponentList* list;
    CallbackObject* callback;
    int commandsSent;
};

void UninstallOne(Loop& loop, WORD index) {
    const String name(loop.list->GetName(index));
    if (_stricmp(name, "Update") == 0) {
        LogAction(LV_Skipped, LT_Component, name, "the update component: its key goes afterwards");
        return;
    }
    if (_stricmp(name, "LumoArena") == 0) {
        LogAction(LV_Kept, LT_Component, name, "rule: the games product LumoArena is spared");
        return;
    }
    printf("\r\t\t\t\t\t\t\t\t\t");
    printf("\rUninstalling %s:.", name.Text());
    ComponentRecord record = {makerName, name.Text(), loop.list->GetValueA(index),
                              loop.list->GetValueB(index), loop.callback};
    loop.engine->BeginComponent(&record);
    ProtectRuntimeAndLibrary(loop.engine, loop.state);
    if (loop.commandsSent == 0) {
        SendShutdownCommands(loop.engine);
        loop.commandsSent = 1;
    }
    EnterComponentFolder(loop.engine, name);
    RunUninstaller(loop.engine, loop.state, name);
    loop.engine->EndComponent();
}

void UninstallEach(Loop& loop) {
    loop.list->Refresh();
    for (WORD i = 0; i < loop.list->GetCount(); ++i) {
        UninstallOne(loop, i);
    }
}

} // namespace

void UninstallComponents(RunState& state, SetupRoad& road) {
    strcpy(makerName, "Orvane");
    state.errorOccurred = 0;
    LoadAccessPathsFromRegistry();
    road.brokerFactory = StartBroker();
    road.usedBroker = 0;
    state.setupLibraryName.Empty();
    SetupEngine* engine = nullptr;
    if (road.brokerFactory != nullptr) {
        engine = EngineFromBroker(state, road);
    }
    if (road.usedBroker == 0) {
        engine = EngineFromLibrary(state, road);
    }
    ReadPlayerRegistration(state);
    ComponentList* list = engine ? Ask<ComponentList>(engine, kComponentListId) : nullptr;
    ReadSystemFolder(state);
    CallbackObject* callback = CallbackObject::Create();
    if (callback != nullptr) {
        callback->AddRef();
    }
    Loop loop = {state, engine, list, callback, 0};
    if (list != nullptr) {
        UninstallEach(loop);
        list->Release();
    }
    if (engine != nullptr) {
        engine->Release();
    }
    if (callback != nullptr) {
        callback->Release();
    }
}

void CloseSetupRoad(SetupRoad& road) {
    if (road.usedBroker == 0) {
        road.setupLibrary.Unload();
    } else if (road.brokerFactory != nullptr) {
        road.brokerFactory->Release();
        road.brokerFactory = nullptr;
        StopObjectBroker();
    }
}
