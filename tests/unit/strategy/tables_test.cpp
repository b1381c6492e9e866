// Allocating the tables and reading them through CalcProb.
#include <gtest/gtest.h>

#include "zantpig.h"

namespace {

TEST(Tables, AllocateGivesZeroTablesEveryTime) {
  const size_t size = static_cast<size_t>(goal) * goal2;
  for (int round = 0; round < 2; round++) {
    ASSERT_EQ(Allocate(), 0);
    ASSERT_NE(prob, nullptr);
    ASSERT_NE(option, nullptr);
    size_t nonzero = 0;
    for (size_t n = 0; n < size; n++) nonzero += prob[n] != 0.0f || option[n] != 0;
    EXPECT_EQ(nonzero, 0u) << "round " << round;
    // Leave something behind for the next round to clear.
    prob[size - 1] = 0.5f;
    option[size / 2] = 1;
  }
}

TEST(Tables, CalcProbAppliesTheEndOfTheGameFirst) {
  ASSERT_EQ(Allocate(), 0);
  EXPECT_EQ(CalcProb(0, 0, 0), 0.0f) << "zero before any solving";
  // Every entry holds its own index, so a read shows which entry it was.
  for (int n = 0; n < goal * goal2; n++) prob[n] = static_cast<float>(n);
  struct Case {
    int i, j, k;
    float expected;
  } cases[] = {
      {95, 40, 5, 1.0f},  // the mover has reached the goal
      {99, 0, 1, 1.0f},        {60, 0, 40, 1.0f},
      {0, 0, 100, 1.0f},       {0, 100, 0, 0.0f},  // the other player has reached it
      {0, 100, 99, 0.0f},      {99, 105, 0, 0.0f},
      {10, 100, 95, 1.0f},  // both: the own goal is tested first
      {0, 0, 0, 0.0f},         {37, 81, 12, 378112.0f},
      {0, 99, 99, 9999.0f},    {99, 99, 0, 999900.0f},
      {50, 50, 49, 505049.0f},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(CalcProb(c.i, c.j, c.k), c.expected)
        << "CalcProb(" << c.i << ", " << c.j << ", " << c.k << ")";
  }
}

}  // namespace
