#include "test_machine.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    PrepareTestMachine();
    const int result = RUN_ALL_TESTS();
    RemoveTestMachine();
    return result;
}
