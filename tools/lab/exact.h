// The true optimum of the game, solved in double precision, and the exact win probability
// of two fixed ways of playing against each other.
#ifndef ZANTPIG_LAB_EXACT_H
#define ZANTPIG_LAB_EXACT_H

#include <cstddef>
#include <functional>
#include <vector>

namespace lab {

// Index of state (i, j, k) in the game's table layout: i the mover's score, j the other
// player's, k the turn total.
size_t StateIndex(int i, int j, int k);

// The win probability of the player about to act, with best play on both sides, and the
// best action (1 = roll, 0 = hold; roll only when it is strictly better), in the game's
// layout. Entries with i + k >= goal are not states and stay 0.
struct Optimum {
  std::vector<double> prob;
  std::vector<unsigned char> roll;
  double rollValue(int i, int j, int k) const;  // the win probability of rolling now
  double holdValue(int i, int j, int k) const;  // ... and of holding now
  long iterations = 0;                          // pair solutions, summed over all pairs
  double lastChange = 0;                        // largest change in a last iteration
};

// Solves the optimum. The states of scores (i, j) depend on their own higher turn totals,
// on the states of higher score sums, and on the opponent's turn from (j, i, 0); so the
// pairs of blocks (i, j) and (j, i) are solved in order of falling score sum, each pair
// by alternating the two blocks until no value changes.
Optimum SolveOptimum();

// The game's own best-action table, solved by its ValueIterate outside any window; the
// game's table pointers are left null.
std::vector<unsigned char> SolveGameTable();

// How a side plays one turn from scores (i, j), for the exact evaluation below.
struct TurnModel {
  // The chance of rolling at (i, j, k): 0, 1, or in between for a side that decides by
  // chance. Unused when rollLimits is set.
  std::function<double(int i, int j, int k)> rollChance;
  // A side that rolls a drawn number of times and then holds: each limit equally likely.
  std::vector<int> rollLimits;
};

// The exact win probabilities of two sides playing each other: first[s] is the chance
// that side s wins when side s begins the game.
struct Match {
  double winsBeginning[2] = {0, 0};
  // The chance that side 0 wins when who begins is decided by a fair coin.
  double Side0WinsFair() const { return 0.5 * winsBeginning[0] + 0.5 * (1 - winsBeginning[1]); }
  bool ok = true;  // false when the two sides can pass the turn to each other for ever
};
Match Evaluate(const TurnModel &side0, const TurnModel &side1);

}  // namespace lab

#endif
