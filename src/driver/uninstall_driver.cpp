#include "driver/uninstall_driver.h"

#include "driver/component_uninstall.h"
#include "driver/residue_sweep.h"
#include "driver/run_state.h"
#include "driver/start_up.h"
#include "fs/removal_guard.h"
#include "userdata/media_database.h"
#include "userdata/music_data.h"
#include "support/removal_log.h"
#include "support/undo_file.h"

int UninstallDriver(int, char**, char**) {
    const RemovalLogSession log; // the removal log, from the first action to the last
    const UndoFileSession undo;  // inside the log's, which records it and ends with its summary
    const ProtectedFolderIdentities identities; // read once for every removal's judgement
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
    SweepResidue(state, road);
    return 0;
}
