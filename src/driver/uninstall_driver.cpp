#include "driver/uninstall_driver.h"

#include "driver/component_uninstall.h"
#include "driver/run_state.h"
#include "driver/start_up.h"
#include "userdata/media_database.h"
#include "registry/delete_registry_tree.h"
#include "userdata/music_data.h"
#include "support/removal_log.h"

int UninstallDriver(int, char**, char**) {
    const RemovalLogSession log; // the removal log, from the first action to the last
    RunState state;
    if (!ProveRights(state) || !ConfirmRemoval()) {
        return 0;
    }
    // The user-data questions, each asked only when its data is there.
    state.eraseDatabase = 0;
    state.databasePath.Empty();
    if (ProbeMediaDatabase(&state.databasePath) == 1) {
        state.eraseDatabase = AskEraseDatabase();
    }
    state.eraseMusicData = 0;
    if (ProbeMusicData() == 1) {
        state.eraseMusicData = AskEraseMusicData();
    }
    state.userDataPath.Empty();
    ReadUserDataPath(state.userDataPath);
    SetupRoad road;
    UninstallComponents(state, road);
    // The residue sweep: the update component's registration goes, the road to the engine is
    // closed. The rest of the sweep follows here.
    DeleteRegistryTree(HKEY_CLASSES_ROOT,
                       "Software\\Orvane\\Update\\6.0\\Preferences\\Components\\athdb:7.0");
    CloseSetupRoad(road);
    return 0;
}
