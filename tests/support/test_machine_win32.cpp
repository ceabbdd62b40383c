#include "test_machine.h"

void PrepareTestMachine() {}
void RemoveTestMachine() {}
