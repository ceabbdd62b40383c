#include "driver/uninstall_driver.h"

#include "driver/run_state.h"
#include "driver/start_up.h"

int UninstallDriver(int, char**, char**) {
    RunState state;
    if (!ProveRights(state) || !ConfirmRemoval()) {
        return 0;
    }
    // The user-data questions, the component uninstall loop and the residue sweep follow here.
    return 0;
}
