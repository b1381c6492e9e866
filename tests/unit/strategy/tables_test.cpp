// Allocating the tables and reading them through CalcProb.
#include <gtest/gtest.h>

#include "zantpig.h"

namespace {

TEST(Tables, AllocateGivesZeroTablesEveryTime) {
  const int size = goal * goal2;
  for (int round = 0; round < 2; round++) {
    ASSERT_EQ(Allocate(), 0);
    ASSERT_TRUE(prob != nullptr && option != nullptr);
    int nonzero = 0;
    for (int n = 0; n < size; n++) nonzero += prob[n] != 0 || option[n] != 0;
    EXPECT_EQ(nonzero, 0) << "round " << round;
    prob[size - 1] = 0.5f;  // something for the next round to clear
    option[size / 2] = 1;
  }
}

TEST(Tables, CalcProbAppliesTheEndOfTheGameFirst) {
  ASSERT_EQ(Allocate(), 0);
  EXPECT_EQ(CalcProb(0, 0, 0), 0.0f) << "zero before any solving";
  // Every entry holds its own index, so a read shows which entry it was.
  for (int n = 0; n < goal * goal2; n++) prob[n] = static_cast<float>(n);
  const struct {
    int i, j, k;
    float expected;
  } cases[] = {{95, 40, 5, 1},     {99, 0, 1, 1},        {60, 0, 40, 1},
               {0, 0, 100, 1},                                             // the mover is home
               {0, 100, 0, 0},     {0, 100, 99, 0},      {99, 105, 0, 0},  // the other is home
               {10, 100, 95, 1},                                           // both: own goal first
               {0, 0, 0, 0},       {37, 81, 12, 378112}, {0, 99, 99, 9999},
               {99, 99, 0, 999900}};
  for (const auto &c : cases) {
    EXPECT_EQ(CalcProb(c.i, c.j, c.k), c.expected) << c.i << ", " << c.j << ", " << c.k;
  }
}

}  // namespace
