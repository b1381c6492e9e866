// The players of the lab: ways of playing that the lab carries out through the game's
// buttons, and the computer's levels, which the game plays itself.
#ifndef ZANTPIG_LAB_PLAYERS_H
#define ZANTPIG_LAB_PLAYERS_H

#include <cstdint>
#include <string>
#include <vector>

#include "exact.h"

namespace lab {

enum class Kind {
  Hold,     // hold at a turn total of N
  Rule,     // the 21/8/71 rule of the strategy text
  Table,    // the game's solved table, as the Pro reads it
  Optimal,  // the optimum solved in double precision
  Random,   // roll or hold with even chances
  Newbie,   // the computer's levels
  Amateur,
  Pro,
};

struct Player {
  Kind kind = Kind::Hold;
  int hold = 20;  // for Kind::Hold
  bool Computer() const {
    return kind == Kind::Newbie || kind == Kind::Amateur || kind == Kind::Pro;
  }
  std::string Name() const;
};

// "hold:N" (N 1 .. 100), "rule", "table", "optimal", "random", and when `levels` is set
// also "newbie", "amateur", "pro". False for anything else.
bool ParsePlayer(const std::string &text, bool levels, Player *out);

// What the lab's ways of playing decide from. `table` is the game's best-action table
// (1 = roll), `optimum` the exact one; either may be null when nobody needs it.
struct Knowledge {
  const unsigned char *table = nullptr;
  const Optimum *optimum = nullptr;
};

// A small random source for the lab's own chance decisions, apart from the game's.
class Chance {
 public:
  explicit Chance(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  bool Coin() { return (Next() >> 63) != 0; }

 private:
  uint64_t state_;
};

// Whether a lab-played player rolls at own score i, opponent's score j, turn total k.
bool Rolls(const Player &p, const Knowledge &know, int i, int j, int k, Chance &chance);

// The same player as a turn model for the exact evaluation; a computer level is modelled
// on how the game plays it, the Pro by its table or, with `noTables`, by its fallback.
TurnModel ModelOf(const Player &p, const Knowledge &know, bool noTables);

}  // namespace lab

#endif
