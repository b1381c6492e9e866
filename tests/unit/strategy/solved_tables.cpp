#include "solved_tables.h"

#include <cstring>

#include "plain_solver.h"
#include "zantpig.h"

const SolvedTables &Solved() {
  static SolvedTables *solved = nullptr;
  if (solved != nullptr) return *solved;
  solved = new SolvedTables;
  const size_t size = static_cast<size_t>(goal) * goal2;
  if (Allocate() != 0) return *solved;

  solved->plainSweeps = PlainValueIterate();
  solved->plainProb.assign(prob, prob + size);
  solved->plainOption.assign(option, option + size);

  std::memset(prob, 0, size * sizeof(float));
  std::memset(option, 0, size);
  ValueIterate();
  solved->sweeps = sweepcount;
  solved->prob.assign(prob, prob + size);
  solved->option.assign(option, option + size);
  return *solved;
}
