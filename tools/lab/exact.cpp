// The optimum in double precision, and the exact evaluation of two fixed ways of playing.
#include "exact.h"

#include <algorithm>
#include <cmath>

#include "zantpig.h"

namespace lab {

size_t StateIndex(int i, int j, int k) {
  return static_cast<size_t>(i) * static_cast<size_t>(goal2) + static_cast<size_t>(j) * goal + k;
}

namespace {

size_t StateCount() {
  return static_cast<size_t>(goal) * static_cast<size_t>(goal2);
}

// The value of (i, j, k) in `p`, with the end of the game applied.
double At(const std::vector<double> &p, int i, int j, int k) {
  if (i + k >= goal) return 1.0;
  if (j >= goal) return 0.0;
  return p[StateIndex(i, j, k)];
}

// Renews block (i, j) of the optimum from the top turn total down, given `other`, the
// opponent's value at (j, i, 0), which a 1 (or a hold at 0) hands over. Returns the new
// value at k = 0.
double SolveBlock(std::vector<double> &p, int i, int j, double other) {
  for (int k = goal - 1 - i; k >= 0; k--) {
    double roll = 1 - other;
    for (int r = 2; r <= 6; r++) roll += At(p, i, j, k + r);
    roll /= 6;
    double hold = k == 0 ? 1 - other : 1 - At(p, j, i + k, 0);
    p[StateIndex(i, j, k)] = std::max(roll, hold);
  }
  return p[StateIndex(i, j, 0)];
}

}  // namespace

double Optimum::rollValue(int i, int j, int k) const {
  double roll = 1 - At(prob, j, i, 0);
  for (int r = 2; r <= 6; r++) roll += At(prob, i, j, k + r);
  return roll / 6;
}

double Optimum::holdValue(int i, int j, int k) const {
  return 1 - At(prob, j, i + k, 0);
}

Optimum SolveOptimum() {
  const int g = goal;
  Optimum o;
  o.prob.assign(StateCount(), 0.0);
  o.roll.assign(StateCount(), 0);
  const int maxIterations = 1000;
  for (int s = 2 * (g - 1); s >= 0; s--) {
    for (int i = std::max(0, s - (g - 1)); i <= s / 2; i++) {
      const int j = s - i;
      double y = o.prob[StateIndex(i, j, 0)], x = o.prob[StateIndex(j, i, 0)];
      double change = 1;
      int n = 0;
      // Each pass is a contraction (the turn comes back only after the opponent's turn
      // failed), so the values settle; a pass that moves them by no more than a few
      // roundings of a double ends it.
      while (change > 1e-15 && n < maxIterations) {
        double y1 = SolveBlock(o.prob, i, j, x);
        double x1 = i == j ? y1 : SolveBlock(o.prob, j, i, y1);
        change = std::max(std::fabs(y1 - y), std::fabs(x1 - x));
        y = y1, x = x1;
        n++;
      }
      o.iterations += n;
      o.lastChange = std::max(o.lastChange, change);
    }
  }
  for (int i = 0; i < g; i++)
    for (int j = 0; j < g; j++)
      for (int k = 0; k < g - i; k++)
        o.roll[StateIndex(i, j, k)] = o.rollValue(i, j, k) > o.holdValue(i, j, k) ? 1 : 0;
  return o;
}

std::vector<unsigned char> SolveGameTable() {
  std::vector<unsigned char> table;
  if (Allocate() == 0) {
    ValueIterate();
    table.assign(option, option + StateCount());
  }
  if (prob != nullptr) LocalFree(prob);
  if (option != nullptr) LocalFree(option);
  prob = nullptr;
  option = nullptr;
  return table;
}

namespace {

// A value that is affine in the chance that the turn passes back with nothing banked:
// c + d * (1 - x), x being the opponent's win chance at (j, i, 0).
struct Affine {
  double c = 0, d = 0;
};

Affine Mix(double q, Affine a, Affine b) {
  return {q * a.c + (1 - q) * b.c, q * a.d + (1 - q) * b.d};
}

// The win chance of the side starting a turn at (i, j), as an Affine of its opponent's
// turn-start value at (j, i). `opponent` holds the opponent's turn-start values, already
// known for every higher score sum.
Affine Turn(const TurnModel &m, int i, int j, const std::vector<double> &opponent) {
  const int g = goal;
  const int top = g - i;  // turn totals 0 .. top - 1 are states; top and above win
  auto hold = [&](int k) -> Affine {
    if (k == 0) return {0, 1};
    return {1 - opponent[static_cast<size_t>(j) * g + (i + k)], 0};
  };
  auto rollFrom = [&](const std::vector<Affine> &next, int k) -> Affine {
    Affine a{0, 1.0 / 6};
    for (int r = 2; r <= 6; r++) {
      Affine v = k + r >= top ? Affine{1, 0} : next[static_cast<size_t>(k + r)];
      a.c += v.c / 6;
      a.d += v.d / 6;
    }
    return a;
  };
  std::vector<Affine> v(static_cast<size_t>(top));
  if (m.rollLimits.empty()) {
    for (int k = top - 1; k >= 0; k--) {
      double q = m.rollChance(i, j, k);
      Affine roll = q > 0 ? rollFrom(v, k) : Affine{};
      v[static_cast<size_t>(k)] = Mix(q, roll, q < 1 ? hold(k) : Affine{});
    }
    return v[0];
  }
  // A fixed number of rolls: after `limit` rolls it holds; before, it rolls.
  Affine sum{};
  std::vector<Affine> next(static_cast<size_t>(top));
  for (int limit : m.rollLimits) {
    for (int k = 0; k < top; k++) v[static_cast<size_t>(k)] = hold(k);
    for (int made = limit - 1; made >= 0; made--) {
      for (int k = 0; k < top; k++) next[static_cast<size_t>(k)] = rollFrom(v, k);
      v.swap(next);
    }
    sum.c += v[0].c / static_cast<double>(m.rollLimits.size());
    sum.d += v[0].d / static_cast<double>(m.rollLimits.size());
  }
  return sum;
}

}  // namespace

Match Evaluate(const TurnModel &side0, const TurnModel &side1) {
  const int g = goal;
  // start[s][i * g + j]: side s wins from the start of its turn at (i, j).
  std::vector<double> start[2] = {std::vector<double>(static_cast<size_t>(g) * g, 0.0),
                                  std::vector<double>(static_cast<size_t>(g) * g, 0.0)};
  Match m;
  for (int s = 2 * (g - 1); s >= 0; s--) {
    for (int i = std::max(0, s - (g - 1)); i <= std::min(g - 1, s); i++) {
      const int j = s - i;
      // Side 0 at (i, j) and side 1 at (j, i) hand the turn to each other.
      Affine a = Turn(side0, i, j, start[1]);
      Affine b = Turn(side1, j, i, start[0]);
      double denominator = 1 - a.d * b.d;
      if (denominator < 1e-12) {
        m.ok = false;
        return m;
      }
      double y = (a.c + a.d * (1 - b.c - b.d)) / denominator;
      start[0][static_cast<size_t>(i) * g + j] = y;
      start[1][static_cast<size_t>(j) * g + i] = b.c + b.d * (1 - y);
    }
  }
  m.winsBeginning[0] = start[0][0];
  m.winsBeginning[1] = start[1][0];
  return m;
}

}  // namespace lab
