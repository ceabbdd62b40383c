// The machine the Linux layer plays: a folder like a Wine prefix, named by OVUNINST_MACHINE
// (default ~/.local/share/ovuninst/machine), made on first use with the folders and registry
// values of a fresh Windows.
#pragma once

#include <string>

namespace ovlayer {

// The machine folder, made (with drive_c and registry.reg) on first use.
const std::string& MachineFolder();

// Tests: drop everything loaded from the current machine and use `folder` from now on. Pending
// registry changes of the old machine are discarded, not written.
void UseMachine(const std::string& folder);

// Each part of the layer that caches machine state registers how to drop it.
void OnMachineChange(void (*forget)());

} // namespace ovlayer
