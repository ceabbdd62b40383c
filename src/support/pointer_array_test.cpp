#include "support/pointer_array.h"

#include <gtest/gtest.h>

namespace {

int items[20000];

void* Item(int i) {
    return &items[i];
}

void Append(PointerArray& array, int count) {
    for (int i = 0; i < count; ++i) {
        array.SetAtGrow(array.GetCount(), Item(array.GetCount()));
    }
}

TEST(PointerArray, GrowsByTheMinimumStepOfFourWhileSmall) {
    PointerArray array;
    EXPECT_EQ(array.GetCount(), 0);
    array.SetAtGrow(0, Item(0));
    EXPECT_EQ(array.GetCount(), 1);
    EXPECT_EQ(array.GetCapacity(), 1);
    array.SetAtGrow(1, Item(1));
    EXPECT_EQ(array.GetCount(), 2);
    EXPECT_EQ(array.GetCapacity(), 5);
    Append(array, 3);
    EXPECT_EQ(array.GetCapacity(), 5) << "appends within the capacity allocate nothing";
    Append(array, 1);
    EXPECT_EQ(array.GetCapacity(), 9);
    for (int i = 0; i < array.GetCount(); ++i) {
        EXPECT_EQ(array[i], Item(i)) << i;
    }
}

TEST(PointerArray, StepIsAnEighthOfTheCountCappedAt1024) {
    PointerArray array;
    array.SetSize(80);
    ASSERT_EQ(array.GetCapacity(), 80);
    array.SetAtGrow(80, Item(80));
    EXPECT_EQ(array.GetCount(), 81);
    EXPECT_EQ(array.GetCapacity(), 90);

    PointerArray big;
    big.SetSize(16000);
    big.SetAtGrow(16000, Item(16000));
    EXPECT_EQ(big.GetCapacity(), 16000 + 1024);
}

TEST(PointerArray, AFixedStepReplacesTheAutomaticOne) {
    PointerArray array;
    array.SetSize(3, 100);
    array.SetAtGrow(3, Item(3));
    EXPECT_EQ(array.GetCapacity(), 103);
    array.SetSize(103, -1);
    array.SetAtGrow(103, Item(103));
    EXPECT_EQ(array.GetCapacity(), 203) << "-1 keeps the step";
}

TEST(PointerArray, GrowingFarPastTheStepTakesTheRequestedSize) {
    PointerArray array;
    Append(array, 2);
    array.SetAtGrow(50, Item(50));
    EXPECT_EQ(array.GetCount(), 51);
    EXPECT_EQ(array.GetCapacity(), 51);
}

TEST(PointerArray, GapsAndNewSlotsReadAsNullAndOldElementsSurviveGrowth) {
    PointerArray array;
    Append(array, 3);
    array.SetAtGrow(7, Item(7));
    EXPECT_EQ(array.GetCount(), 8);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(array[i], Item(i));
    }
    for (int i = 3; i < 7; ++i) {
        EXPECT_EQ(array[i], nullptr) << i;
    }
    EXPECT_EQ(array[7], Item(7));

    // Shrinking and growing again within the capacity clears the slots that come back.
    array.SetSize(2);
    array.SetSize(4);
    EXPECT_EQ(array[1], Item(1));
    EXPECT_EQ(array[2], nullptr);
    EXPECT_EQ(array[3], nullptr);
}

TEST(PointerArray, SizeZeroFreesTheArrayAndTheNextAppendStartsAfresh) {
    PointerArray array;
    Append(array, 10);
    array.SetSize(0);
    EXPECT_EQ(array.GetCount(), 0);
    EXPECT_EQ(array.GetCapacity(), 0);
    array.SetAtGrow(0, Item(5));
    EXPECT_EQ(array.GetCount(), 1);
    EXPECT_EQ(array.GetCapacity(), 1);
    EXPECT_EQ(array[0], Item(5));
}

} // namespace
