// The third and last phase of a run: remove what the setup engine left behind, in one fixed
// order, sparing the media database and the music service's data as the user chose, and end with
// the success message unless an earlier phase reported an error.
#pragma once

#include "driver/component_uninstall.h"
#include "driver/run_state.h"

// Every step runs whatever the earlier ones gave; nothing is reported but the closing messages.
void SweepResidue(RunState& state, SetupRoad& road);
