// The first phase of a run: the rights probe, the warning and the confirmation.
#pragma once

#include "driver/run_state.h"

// True when the user may write the maker's machine-wide key. The probe leaves no trace: the key
// it creates to prove it is deleted again. Prints the restricted-user message when not.
bool ProveRights(RunState& state);

// Prints the warning and reads the answer: true only for "Y" or "y".
bool ConfirmRemoval();
