// Whole games through the real program, as the simulate command plays them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "exact.h"
#include "simulate.h"
#include "zantpig.h"

namespace {

using lab::GameRecord;
using lab::Player;

Player P(const char *name) {
  Player p;
  EXPECT_TRUE(lab::ParsePlayer(name, true, &p)) << name;
  return p;
}

struct Played {
  lab::RunResult result;
  std::vector<GameRecord> games;
};

Played Play(const char *one, const char *two, long games, uint64_t seed,
            const lab::Optimum *optimum = nullptr, bool noTables = false) {
  lab::RunOptions options;
  options.side[0] = P(one);
  options.side[1] = P(two);
  options.games = games;
  options.seed = seed;
  options.noTables = noTables;
  Played p;
  options.onGame = [&p](const GameRecord &g) { p.games.push_back(g); };
  p.result = lab::PlayGames(options, optimum);
  return p;
}

bool Same(const GameRecord &a, const GameRecord &b) {
  return a.number == b.number && a.seed == b.seed && a.began == b.began && a.winner == b.winner &&
         a.score[0] == b.score[0] && a.score[1] == b.score[1] && a.turns == b.turns &&
         a.rolls == b.rolls;
}

// A seeded run plays the same games again, game for game, whether the computer or the lab
// plays player 2 and with or without the tables; another seed plays other games. Every game
// has one winner at 100 or more and a loser below, and the counts add up to the games.
TEST(Games, SeededRunsRepeatAndAddUp) {
  struct Case {
    const char *one, *two;
    bool noTables;
  } cases[] = {{"rule", "pro", false}, {"random", "hold:25", true}, {"hold:20", "newbie", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.one) + " against " + c.two + (c.noTables ? " without tables" : ""));
    Played first = Play(c.one, c.two, 150, 42, nullptr, c.noTables);
    Played again = Play(c.one, c.two, 150, 42, nullptr, c.noTables);
    Played other = Play(c.one, c.two, 40, 43, nullptr, c.noTables);
    ASSERT_EQ(first.result.error, "");
    ASSERT_EQ(first.games.size(), 150u);
    ASSERT_EQ(again.games.size(), 150u);
    int differing = 0, sameAsOther = 0;
    long turns = 0, rolls = 0;
    for (size_t n = 0; n < first.games.size(); n++) {
      const GameRecord &g = first.games[n];
      differing += !Same(g, again.games[n]);
      sameAsOther += n < other.games.size() && Same(g, other.games[n]);
      EXPECT_EQ(g.number, static_cast<long>(n + 1));
      EXPECT_GE(g.score[g.winner], goal) << "game " << g.number;
      EXPECT_LT(g.score[1 - g.winner], goal) << "game " << g.number;
      EXPECT_GE(g.rolls, g.turns / 2) << "game " << g.number;  // a pass at 0 is rare, never most
      turns += g.turns;
      rolls += g.rolls;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_LT(sameAsOther, 4);
    const lab::RunResult &r = first.result;
    EXPECT_EQ(r.games, 150);
    EXPECT_EQ(r.wins[0] + r.wins[1], r.games);
    EXPECT_EQ(r.began[0] + r.began[1], r.games);
    EXPECT_LE(r.wonBeginning[0], r.wins[0]);
    EXPECT_LE(r.wonBeginning[1], r.wins[1]);
    EXPECT_EQ(r.turns, turns);
    EXPECT_EQ(r.rolls, rolls);
  }
}

// Holding at a turn total of 1 banks two to six points a turn, while the Amateur holds at 20:
// it loses nearly every game, whoever begins.
TEST(Games, HoldingAtOneLosesNearlyEveryGameToTheAmateur) {
  Played p = Play("hold:1", "amateur", 400, 7);
  ASSERT_EQ(p.result.error, "");
  EXPECT_EQ(p.result.games, 400);
  EXPECT_LE(p.result.wins[0], 8) << "more than 2 % won";
  EXPECT_GT(p.result.began[0], 150) << "player 1 should begin about half the games";
  EXPECT_GT(p.result.began[1], 150);
}

// What the program makes of each way of playing agrees with the exact chance of winning of
// the same two ways of playing, within the 99.9 % interval of the games played. This holds
// only if the lab and the computer play what they say, from the right seats.
TEST(Games, SharesAgreeWithTheExactEvaluation) {
  const lab::Optimum optimum = lab::SolveOptimum();
  lab::Knowledge know;
  know.optimum = &optimum;
  struct Case {
    const char *one, *two;
    bool noTables;
    long games;
  } cases[] = {{"optimal", "newbie", false, 1500}, {"hold:30", "pro", true, 800}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.one) + " against " + c.two);
    Played p = Play(c.one, c.two, c.games, 11, &optimum, c.noTables);
    ASSERT_EQ(p.result.error, "");
    lab::Match m = lab::Evaluate(lab::ModelOf(P(c.one), know, c.noTables),
                                 lab::ModelOf(P(c.two), know, c.noTables));
    ASSERT_TRUE(m.ok);
    double n = static_cast<double>(p.result.games);
    double share = static_cast<double>(p.result.wins[0]) / n;
    double expected = m.Side0WinsFair();
    EXPECT_NEAR(share, expected, 3.29 * std::sqrt(expected * (1 - expected) / n));
  }
}

}  // namespace
