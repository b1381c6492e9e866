// One solve of the tables, shared by every test of the program that needs it: the game's
// ValueIterate and the plain state-by-state loop, each from zero tables.
#pragma once

#include <vector>

struct SolvedTables {
  int sweeps = 0;       // sweeps of the game's solver
  int plainSweeps = 0;  // sweeps of the plain loop
  std::vector<float> prob, plainProb;
  std::vector<unsigned char> option, plainOption;

  float P(int i, int j, int k) const { return prob[i * 10000 + j * 100 + k]; }
  int Action(int i, int j, int k) const { return option[i * 10000 + j * 100 + k]; }
};

// Solves on first use. The game's tables (prob, option) are left allocated and holding
// the game solver's result.
const SolvedTables &Solved();
