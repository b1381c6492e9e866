// The random source, the face and limit draws built on it, and Round.
#include <gtest/gtest.h>

#include <cmath>

#include "generator_model.h"
#include "zantpig.h"

namespace {

// First draws worked out by hand from the generator: state' = state * M + 1 modulo 2^64
// with M = 5540 * 2^32 + 20021, draw = bits 32..62 of state'.
TEST(RandomSource, FirstDrawsWorkedOutByHand) {
  // seed 0: 0*M + 1 = 1 -> draw 0; 1*M + 1 -> draw 5540;
  // (M + 1)*M + 1 = M^2 + M + 1; modulo 2^64 the high half is
  // 2*5540*20021 + 5540 (+ no carry: 20021^2 + 20021 + 1 < 2^32) = 221838220.
  ZantSeed(0);
  EXPECT_EQ(lrand(), 0);
  EXPECT_EQ(lrand(), 5540);
  EXPECT_EQ(lrand(), 221838220);

  ZantSeed(1);
  EXPECT_EQ(lrand(), 5540);
  EXPECT_EQ(lrand(), 221838220);

  // seed 2^32 - 1: 0xFFFFFFFF * 20021 + 1 = 20020 * 2^32 + (2^32 - 20020): carry 20020;
  // high half 0xFFFFFFFF * 5540 + 20020 = 5540 * 2^32 + 14480 -> 14480 modulo 2^32.
  ZantSeed(0xFFFFFFFFu);
  EXPECT_EQ(lrand(), 14480);
}

TEST(RandomSource, ZantRandomFromTwoDraws) {
  // seed 0: draws 0 and 5540: 0 / 32767 + 5540e-9.
  ZantSeed(0);
  EXPECT_DOUBLE_EQ(ZantRandom(), 5540e-9);
  // its next two draws: 221838220 = 32767 * 6770 + 5630, and the fourth draw from the
  // model: 5630 / 32767 + (d4 mod 30519) * 1e-9.
  GeneratorModel model(0);
  model.Next();
  model.Next();
  int third = model.Next();
  int fourth = model.Next();
  EXPECT_EQ(third % 32767, 5630);
  EXPECT_NEAR(ZantRandom(), 5630 / 32767.0 + (fourth % 30519) * 1e-9, 1e-15);

  // seed 1: draws 5540 and 221838220 (= 30519 * 7268 + 26128).
  ZantSeed(1);
  EXPECT_NEAR(ZantRandom(), 5540 / 32767.0 + 26128e-9, 1e-15);
}

TEST(RandomSource, FollowsTheLimbModelForManySeeds) {
  const uint32_t seeds[] = {0u, 1u, 2u, 12345u, 1700000000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (uint32_t seed : seeds) {
    GeneratorModel model(seed);
    ZantSeed(seed);
    for (int n = 0; n < 1000; n++) {
      int expected = model.Next();
      int got = lrand();
      ASSERT_EQ(got, expected) << "seed " << seed << ", draw " << n;
    }
  }
}

TEST(RandomSource, StaysBelowOne) {
  // The largest value: 32766 steps of 1/32767 plus 30518e-9.
  double largest = 32766 * (1.0 / 32767) + 30518 * 1e-9;
  EXPECT_LT(largest, 1.0);
  EXPECT_NEAR(largest, 0.999999999490524, 1e-15);

  double seen = 0;
  ZantSeed(987654321u);
  for (int n = 0; n < 2000000; n++) {
    double r = ZantRandom();
    ASSERT_GE(r, 0.0);
    ASSERT_LE(r, largest);
    seen = std::max(seen, r);
  }
  EXPECT_GT(seen, 0.9999);
}

TEST(RandomSource, SameSeedSameSequence) {
  ZantSeed(1765000000u);
  double first[5];
  for (double &r : first) r = ZantRandom();
  ZantSeed(1765000000u);
  for (double r : first) EXPECT_EQ(ZantRandom(), r);
}

TEST(NewbieLimit, DrawsTwoToFiveAndResetsTheCount) {
  int counts[6] = {};
  ZantSeed(4242u);
  GeneratorModel model(4242u);
  for (int n = 0; n < 4000; n++) {
    computercount = 7;
    NewbieLimitDraw();
    int expected = static_cast<int>(model.Random() * 4) + 2;
    ASSERT_EQ(computerlimit, expected) << "draw " << n;
    ASSERT_EQ(computercount, 0);
    counts[computerlimit]++;
  }
  for (int limit = 2; limit <= 5; limit++) {
    EXPECT_GT(counts[limit], 800) << "limit " << limit << " drawn too rarely";
  }
}

TEST(Round, HalvesGoUp) {
  struct Case {
    double r, expected;
  } cases[] = {
      {2.5, 3},
      {-2.5, -2},
      {2.49, 2},
      {0.5, 1},
      {-0.5, 0},
      {0.0, 0},
      {-0.0, 0},
      {1.0, 1},
      {-1.0, -1},
      {-1.5, -1},
      {-1.51, -2},
      {7.5, 8},
      {0.499999, 0},
      {-7.5, -7},
      {3.75, 4},
      {-3.75, -4},
      {1e9 + 0.5, 1e9 + 1},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Round(c.r), c.expected) << "Round(" << c.r << ")";
  }
}

}  // namespace
