// The second phase of a run: reach the maker's setup engine, through the object broker or by
// loading the setup library itself, and have it uninstall every installed component except the
// update component and the games product, one progress line each.
#pragma once

#include "driver/run_state.h"
#include "driver/setup_interfaces.h"
#include "loader/dynamic_library.h"

// How the engine was reached; the residue sweep closes that road.
struct SetupRoad {
    DynamicLibrary setupLibrary;            // the directly loaded library
    BrokerFactory* brokerFactory = nullptr; // held until the road is closed
    int usedBroker = 0;                     // 1 when the engine came from the broker
};

// Sets errorOccurred, playerFolder, standardPlayerFolder, systemFolder and setupLibraryName.
// Every interface it obtains is released before it returns, except the broker's factory.
void UninstallComponents(RunState& state, SetupRoad& road);

// Unloads the directly loaded library, or lets the broker's factory go and shuts the broker down
// when the engine came from it.
void CloseSetupRoad(SetupRoad& road);
