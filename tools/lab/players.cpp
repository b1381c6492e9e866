// The lab's ways of playing, and models of the computer's levels for the exact evaluation.
#include "players.h"

#include <cerrno>
#include <cstdlib>

#include "zantpig.h"

namespace lab {

std::string Player::Name() const {
  switch (kind) {
    case Kind::Hold:
      return "hold:" + std::to_string(hold);
    case Kind::Rule:
      return "rule";
    case Kind::Table:
      return "table";
    case Kind::Optimal:
      return "optimal";
    case Kind::Random:
      return "random";
    case Kind::Newbie:
      return "newbie";
    case Kind::Amateur:
      return "amateur";
    case Kind::Pro:
      return "pro";
  }
  return "?";
}

bool ParsePlayer(const std::string &text, bool levels, Player *out) {
  static const struct {
    const char *name;
    Kind kind;
    bool level;
  } names[] = {{"rule", Kind::Rule, false},       {"table", Kind::Table, false},
               {"optimal", Kind::Optimal, false}, {"random", Kind::Random, false},
               {"newbie", Kind::Newbie, true},    {"amateur", Kind::Amateur, true},
               {"pro", Kind::Pro, true}};
  for (const auto &n : names) {
    if (text == n.name && (levels || !n.level)) {
      *out = Player{n.kind, 0};
      return true;
    }
  }
  if (text.rfind("hold:", 0) != 0) return false;
  const char *digits = text.c_str() + 5;
  if (*digits < '0' || *digits > '9') return false;
  char *end = nullptr;
  errno = 0;
  long n = std::strtol(digits, &end, 10);
  if (errno != 0 || *end != '\0' || n < 1 || n > 100) return false;
  *out = Player{Kind::Hold, static_cast<int>(n)};
  return true;
}

uint64_t Chance::Next() {
  // SplitMix64.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

// The 21/8/71 rule: roll on once either score is past 70; before that, roll while the
// turn total is below 21 moved up by one for every 8 points the opponent leads (rounded
// as the game rounds, halves upward).
bool RuleRolls(int i, int j, int k) {
  if (i > 70 || j > 70) return true;
  return k < 21 + static_cast<int>(Round((j - i) / 8.0));
}

// The Pro's fallback as the game plays it: the same rule with the lead taken from the
// computer's side, so that it holds later when ahead and earlier when behind.
bool FallbackRolls(int i, int j, int k) {
  if (i > 70 || j > 70) return true;
  return k < 21 + static_cast<int>(Round((i - j) * 0.125));
}

}  // namespace

bool Rolls(const Player &p, const Knowledge &know, int i, int j, int k, Chance &chance) {
  switch (p.kind) {
    case Kind::Hold:
      return k < p.hold;
    case Kind::Rule:
      return RuleRolls(i, j, k);
    case Kind::Table:
      return know.table[StateIndex(i, j, k)] == 1;
    case Kind::Optimal:
      return know.optimum->roll[StateIndex(i, j, k)] == 1;
    case Kind::Random:
      return chance.Coin();
    default:
      return false;  // the computer's levels are played by the game
  }
}

TurnModel ModelOf(const Player &p, const Knowledge &know, bool noTables) {
  TurnModel m;
  auto fixed = [](auto rolls) {
    return [rolls](int i, int j, int k) { return rolls(i, j, k) ? 1.0 : 0.0; };
  };
  switch (p.kind) {
    case Kind::Hold: {
      int n = p.hold;
      m.rollChance = fixed([n](int, int, int k) { return k < n; });
      break;
    }
    case Kind::Amateur:
      m.rollChance = fixed([](int, int, int k) { return k < 20; });
      break;
    case Kind::Rule:
      m.rollChance = fixed(RuleRolls);
      break;
    case Kind::Pro:
      if (noTables) {
        m.rollChance = fixed(FallbackRolls);
        break;
      }
      [[fallthrough]];
    case Kind::Table: {
      const unsigned char *t = know.table;
      m.rollChance = fixed([t](int i, int j, int k) { return t[StateIndex(i, j, k)] == 1; });
      break;
    }
    case Kind::Optimal: {
      const Optimum *o = know.optimum;
      m.rollChance = fixed([o](int i, int j, int k) { return o->roll[StateIndex(i, j, k)] == 1; });
      break;
    }
    case Kind::Random:
      m.rollChance = [](int, int, int) { return 0.5; };
      break;
    case Kind::Newbie:
      m.rollLimits = {2, 3, 4, 5};  // NewbieLimitDraw: 2 + a quarter of the unit interval
      break;
  }
  return m;
}

}  // namespace lab
