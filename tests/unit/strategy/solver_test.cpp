// The solved tables: sweeps, known values and best actions, the entries never written,
// and the game's solver against the plain state-by-state loop, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "plain_solver.h"
#include "zantpig.h"

namespace {

// One solve by each solver from zero tables, shared by the tests below.
struct Solved {
  int sweeps = 0, plainSweeps = 0;
  std::vector<float> prob, plainProb;
  std::vector<unsigned char> option, plainOption;
  float P(int i, int j, int k) const { return prob[i * 10000 + j * 100 + k]; }
  int Action(int i, int j, int k) const { return option[i * 10000 + j * 100 + k]; }
};

class Solver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const size_t size = static_cast<size_t>(goal) * goal2;
    ASSERT_EQ(Allocate(), 0);
    t.plainSweeps = PlainValueIterate();
    t.plainProb.assign(prob, prob + size);
    t.plainOption.assign(option, option + size);
    ASSERT_EQ(Allocate(), 0);
    ValueIterate();
    t.sweeps = sweepcount;
    t.prob.assign(prob, prob + size);
    t.option.assign(option, option + size);
  }
  static Solved t;
};
Solved Solver::t;

TEST_F(Solver, SameTablesAsThePlainLoopAfterSixtyThreeSweeps) {
  EXPECT_EQ(t.sweeps, 63);
  EXPECT_EQ(t.plainSweeps, 63);
  ASSERT_EQ(t.prob.size(), t.plainProb.size());
  for (size_t n = 0; n < t.prob.size(); n++) {
    // Bit for bit, not merely equal as numbers.
    ASSERT_TRUE(std::memcmp(&t.prob[n], &t.plainProb[n], sizeof(float)) == 0 &&
                t.option[n] == t.plainOption[n])
        << "state (" << n / 10000 << ", " << n / 100 % 100 << ", " << n % 100 << "): " << t.prob[n]
        << " " << int(t.option[n]) << ", plain " << t.plainProb[n] << " " << int(t.plainOption[n]);
  }
}

TEST_F(Solver, KnownValues) {
  const struct {
    int i, j, k;
    double expected, tolerance;
  } cases[] = {{0, 0, 0, 0.5339, 5e-5},
               {99, 99, 0, 6.0 / 7, 1e-6},
               {99, 0, 0, 0.99797, 5e-6},
               {0, 99, 0, 0.01221, 5e-6},
               {50, 0, 0, 0.8825, 5e-5}};
  for (const auto &c : cases) {
    EXPECT_NEAR(t.P(c.i, c.j, c.k), c.expected, c.tolerance) << c.i << ", " << c.j << ", " << c.k;
  }
  // Every value is a probability, and the smallest is the start against an opponent at 99.
  float smallest = 2;
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      for (int k = 0; i + k < 100; k++) {
        ASSERT_TRUE(t.P(i, j, k) > 0 && t.P(i, j, k) <= 1) << i << ", " << j << ", " << k;
        smallest = std::min(smallest, t.P(i, j, k));
      }
    }
  }
  EXPECT_EQ(smallest, t.P(0, 99, 0));
}

TEST_F(Solver, BestActions) {
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++)
      ASSERT_EQ(t.Action(i, j, 0), 1) << "turn start " << i << ", " << j;
  }
  const struct {
    int i, j, from, to, action;
  } runs[] = {{0, 0, 0, 19, 1},    {0, 0, 20, 99, 0},   {50, 50, 0, 21, 1},
              {50, 50, 22, 45, 0}, {50, 50, 46, 49, 1}, {0, 99, 0, 99, 1}};
  for (const auto &r : runs) {
    for (int k = r.from; k <= r.to; k++) {
      EXPECT_EQ(t.Action(r.i, r.j, k), r.action) << r.i << ", " << r.j << ", " << k;
    }
  }
}

TEST_F(Solver, EntriesPastTheGoalAreNeverWritten) {
  int written = 0;
  for (int i = 1; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      for (int k = 100 - i; k < 100; k++) written += t.P(i, j, k) != 0 || t.Action(i, j, k) != 0;
    }
  }
  EXPECT_EQ(written, 0);
}

TEST(FMax, TiesAndUnorderedGiveTheSecond) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(FMax(2.0f, 1.0f), 2.0f);
  EXPECT_EQ(FMax(1.0f, 2.0f), 2.0f);
  EXPECT_TRUE(std::signbit(FMax(0.0f, -0.0f)));
  EXPECT_FALSE(std::signbit(FMax(-0.0f, 0.0f)));
  EXPECT_EQ(FMax(nan, 1.0f), 1.0f);
  EXPECT_TRUE(std::isnan(FMax(1.0f, nan)));
}

}  // namespace
