#include "driver/uninstall_driver.h"

#include "driver/run_state.h"
#include "driver/start_up.h"
#include "userdata/media_database.h"
#include "userdata/music_data.h"

int UninstallDriver(int, char**, char**) {
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
    // The component uninstall loop and the residue sweep follow here.
    return 0;
}
