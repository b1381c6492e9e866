// The solved tables: the number of sweeps, known values and best actions, the entries
// that are never written, and the game's solver against the plain state-by-state loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "solved_tables.h"
#include "zantpig.h"

namespace {

class Solver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_FALSE(Solved().prob.empty()) << "no tables"; }
  const SolvedTables &t = Solved();
};

TEST_F(Solver, StopsAfterTheSixtyThirdSweep) {
  EXPECT_EQ(t.sweeps, 63);
  EXPECT_EQ(t.plainSweeps, 63);
}

TEST_F(Solver, SameTablesAsThePlainLoop) {
  ASSERT_EQ(t.prob.size(), t.plainProb.size());
  size_t probDiffers = 0, optionDiffers = 0, first = t.prob.size();
  for (size_t n = 0; n < t.prob.size(); n++) {
    // Bit for bit, not merely equal as numbers.
    if (std::memcmp(&t.prob[n], &t.plainProb[n], sizeof(float)) != 0) {
      probDiffers++;
      first = std::min(first, n);
    }
    if (t.option[n] != t.plainOption[n]) {
      optionDiffers++;
      first = std::min(first, n);
    }
  }
  EXPECT_EQ(probDiffers, 0u) << "first difference at state (" << first / 10000 << ", "
                             << first / 100 % 100 << ", " << first % 100 << ")";
  EXPECT_EQ(optionDiffers, 0u);
}

TEST_F(Solver, KnownValues) {
  struct Case {
    int i, j, k;
    double expected, tolerance;
  } cases[] = {
      {0, 0, 0, 0.5339, 0.00005},    {99, 99, 0, 6.0 / 7, 0.000001}, {99, 0, 0, 0.99797, 0.000005},
      {0, 99, 0, 0.01221, 0.000005}, {50, 0, 0, 0.8825, 0.00005},
  };
  for (const Case &c : cases) {
    EXPECT_NEAR(t.P(c.i, c.j, c.k), c.expected, c.tolerance)
        << "P(" << c.i << ", " << c.j << ", " << c.k << ")";
  }
}

TEST_F(Solver, ValuesAreProbabilitiesAndTheSmallestIsTheHopelessStart) {
  float smallest = 2;
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      for (int k = 0; i + k < 100; k++) {
        float p = t.P(i, j, k);
        ASSERT_GT(p, 0.0f) << i << " " << j << " " << k;
        ASSERT_LE(p, 1.0f) << i << " " << j << " " << k;
        smallest = std::min(smallest, p);
      }
    }
  }
  EXPECT_EQ(smallest, t.P(0, 99, 0));
}

TEST_F(Solver, BestActions) {
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      ASSERT_EQ(t.Action(i, j, 0), 1) << "a turn always starts with a roll: " << i << " " << j;
    }
  }
  // (i, j, first k, last k, action)
  struct Run {
    int i, j, from, to, action;
  } runs[] = {
      {0, 0, 0, 19, 1},    {0, 0, 20, 99, 0},   {50, 50, 0, 21, 1},
      {50, 50, 22, 45, 0}, {50, 50, 46, 49, 1}, {0, 99, 0, 99, 1},
  };
  for (const Run &r : runs) {
    for (int k = r.from; k <= r.to; k++) {
      EXPECT_EQ(t.Action(r.i, r.j, k), r.action)
          << "state (" << r.i << ", " << r.j << ", " << k << ")";
    }
  }
}

TEST_F(Solver, EntriesPastTheGoalAreNeverWritten) {
  size_t written = 0;
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      for (int k = 100 - i; k < 100; k++) {
        if (t.P(i, j, k) != 0.0f || t.Action(i, j, k) != 0) written++;
      }
    }
  }
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(t.P(60, 0, 40), 0.0f);
}

TEST(FMax, TiesAndUnorderedGiveTheSecond) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(FMax(2.0f, 1.0f), 2.0f);
  EXPECT_EQ(FMax(1.0f, 2.0f), 2.0f);
  EXPECT_TRUE(std::signbit(FMax(0.0f, -0.0f)));  // a tie returns b
  EXPECT_FALSE(std::signbit(FMax(-0.0f, 0.0f)));
  EXPECT_EQ(FMax(nan, 1.0f), 1.0f);
  EXPECT_TRUE(std::isnan(FMax(1.0f, nan)));
}

}  // namespace
