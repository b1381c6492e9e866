// The random source, the Newbie limit draw built on it, and Round.
#include <gtest/gtest.h>

#include "generator_model.h"
#include "zantpig.h"

namespace {

// Worked out by hand from state' = state * M + 1 modulo 2^64, M = 5540 * 2^32 + 20021,
// the draw being bits 32..62 of state'.
TEST(RandomSource, FirstDrawsWorkedOutByHand) {
  // seed 0: state 1 -> draw 0; state M + 1 -> draw 5540; state M^2 + M + 1, whose high
  // half modulo 2^64 is 2 * 5540 * 20021 + 5540 = 221838220 (the low half
  // 20021^2 + 20021 + 1 carries nothing). Seed 1 starts at the second of these.
  ZantSeed(0);
  EXPECT_EQ(lrand(), 0);
  EXPECT_EQ(lrand(), 5540);
  EXPECT_EQ(lrand(), 221838220);
  ZantSeed(1);
  EXPECT_EQ(lrand(), 5540);
  EXPECT_EQ(lrand(), 221838220);
  // seed 2^32 - 1: the low half times 20021, plus 1, carries 20020 into the high half,
  // which becomes (2^32 - 1) * 5540 + 20020 = 14480 modulo 2^32.
  ZantSeed(0xFFFFFFFFu);
  EXPECT_EQ(lrand(), 14480);

  // ZantRandom of seed 0: draws 0 and 5540; then 221838220 = 32767 * 6770 + 5630.
  ZantSeed(0);
  EXPECT_DOUBLE_EQ(ZantRandom(), 5540e-9);
  GeneratorModel model(0);
  model.Next(), model.Next(), model.Next();
  EXPECT_NEAR(ZantRandom(), 5630 / 32767.0 + (model.Next() % 30519) * 1e-9, 1e-15);
  // seed 1: draws 5540 and 221838220 = 30519 * 7268 + 26128.
  ZantSeed(1);
  EXPECT_NEAR(ZantRandom(), 5540 / 32767.0 + 26128e-9, 1e-15);
}

TEST(RandomSource, FollowsTheLimbModelForManySeeds) {
  for (uint32_t seed : {0u, 2u, 12345u, 1700000000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    GeneratorModel model(seed);
    ZantSeed(seed);
    for (int n = 0; n < 1000; n++) ASSERT_EQ(lrand(), model.Next()) << "seed " << seed << " #" << n;
  }
}

TEST(RandomSource, StaysBelowOne) {
  // The largest value: 32766 steps of 1/32767 plus 30518e-9.
  const double largest = 32766 * (1.0 / 32767) + 30518 * 1e-9;
  EXPECT_NEAR(largest, 0.999999999490524, 1e-15);
  EXPECT_LT(largest, 1.0);
  double seen = 0;
  ZantSeed(987654321u);
  for (int n = 0; n < 2000000; n++) {
    double r = ZantRandom();
    ASSERT_TRUE(r >= 0 && r <= largest) << r;
    seen = std::max(seen, r);
  }
  EXPECT_GT(seen, 0.9999);
}

TEST(NewbieLimit, DrawsTwoToFiveAndResetsTheCount) {
  int counts[6] = {};
  ZantSeed(4242u);
  GeneratorModel model(4242u);
  for (int n = 0; n < 4000; n++) {
    computercount = 7;
    NewbieLimitDraw();
    ASSERT_EQ(computerlimit, static_cast<int>(model.Random() * 4) + 2) << "draw " << n;
    ASSERT_EQ(computercount, 0);
    counts[computerlimit]++;
  }
  for (int limit = 2; limit <= 5; limit++) EXPECT_GT(counts[limit], 800) << "limit " << limit;
}

TEST(Round, HalvesGoUp) {
  const double cases[][2] = {{2.5, 3},    {-2.5, -2},  {2.49, 2},           {0.5, 1},
                             {-0.5, 0},   {0.0, 0},    {-1.0, -1},          {-1.5, -1},
                             {-1.51, -2}, {7.5, 8},    {0.4999, 0},         {-7.5, -7},
                             {3.75, 4},   {-3.75, -4}, {1e9 + 0.5, 1e9 + 1}};
  for (const auto &c : cases) EXPECT_EQ(Round(c[0]), c[1]) << "Round(" << c[0] << ")";
}

}  // namespace
