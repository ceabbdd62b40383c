// The machine a test program runs against. On the Linux layer each test program gets a fresh
// machine folder of its own (under ctest, each test runs in its own process, so each test gets a
// fresh machine); on Windows the tests run against the real registry and work in sandbox keys.
#pragma once

void PrepareTestMachine();
void RemoveTestMachine();

// Linux layer only: fails the running test for each fault it armed that no call took, since the
// test would otherwise pass without the failure it meant to cause. Every test program checks this
// after each test.
void ExpectEveryFaultTaken();
