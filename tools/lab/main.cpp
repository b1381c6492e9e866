// zantpig-lab: the game's solver and random source, whole games through the program and
// the picture of the strategy, on the command line.
//
//   zantpig-lab solve [--dump FILE]   solve the tables, print sweeps, time and P(0, 0, 0)
//   zantpig-lab random SEED COUNT     print COUNT values of the random source
//   zantpig-lab bench [RUNS]          time the plain loop against the game's solver
//   zantpig-lab exact                 compare the game's tables with the true optimum
//   zantpig-lab simulate ...          whole games through the real program
//   zantpig-lab tournament ...        every way of playing against every other
//   zantpig-lab policy ...            the picture of the strategy, and where it differs
//   zantpig-lab screenshot FILE       the main window at start-up, as a BMP
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "exact.h"
#include "plain_solver.h"
#include "zantpig.h"

namespace {

using lab::ParseNumber;

const char kUsage[] =
    "usage: zantpig-lab solve [--dump FILE]\n"
    "       zantpig-lab random SEED COUNT\n"
    "       zantpig-lab bench [RUNS]\n"
    "       zantpig-lab exact\n"
    "       zantpig-lab simulate PLAYER1 PLAYER2 [--games N] [--seed S] [--no-tables] [--csv]\n"
    "       zantpig-lab tournament [--games N] [--seed S] [--players LIST] [--opponents LIST]\n"
    "       zantpig-lab policy [--out FILE.png] [--size WxH] [--diff]\n"
    "       zantpig-lab screenshot FILE.bmp\n"
    "\n"
    "  solve   solve the win-probability tables as the game does; print the number of\n"
    "          sweeps, the time taken and P(0, 0, 0). --dump writes the probabilities\n"
    "          (little-endian 32-bit floats) and then the best actions (bytes) to FILE.\n"
    "  random  seed the random source with SEED (0 .. 4294967295) and print COUNT draws.\n"
    "  bench   time the plain state-by-state loop and the game's solver alternately,\n"
    "          RUNS times each (default 5); print the medians, their ratio, and whether\n"
    "          the tables are identical.\n"
    "  exact   solve to convergence in double precision and show how far the game's\n"
    "          tables are from that optimum.\n"
    "  simulate  play whole games through the real program, headless: player 1 is played\n"
    "          by the lab through the Roll and Hold buttons, player 2 by the lab as well\n"
    "          or by the computer. Ways of playing: hold:N (hold at a turn total of N),\n"
    "          rule (the 21/8/71 rule), table (the game's table, as Pro plays it), optimal\n"
    "          (the exact optimum), random; player 2 may also be newbie, amateur or pro.\n"
    "          --games N (default 1000); --seed S (default 1): each game's random source\n"
    "          is seeded from S, so a run repeats; --no-tables: the program starts\n"
    "          without its tables and Pro plays its fallback rule; --csv: one line per\n"
    "          game on standard output, the summary on standard error.\n"
    "  tournament  every way of playing against every other and every level, N games\n"
    "          each (default 10000): Markdown tables of player 1's wins, measured and\n"
    "          exact. LIST is comma-separated, e.g. hold:20,rule.\n"
    "  policy  --out: a PNG picture of where the game's table and the exact optimum hold,\n"
    "          by own score, for a few opponent scores (default size 1200x960); --diff:\n"
    "          list the states where they choose differently.\n"
    "  screenshot  run the program headless on a 640x480 screen until it is ready (the\n"
    "          tables solved) and write its main window, menu bar and client area, as a\n"
    "          24-bit BMP: the picture the browser build must show.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// A command's exit code; a wrong command line also gets the usage.
int Checked(int code) {
  return code == 2 ? Usage() : code;
}

size_t TableSize() {
  return static_cast<size_t>(goal) * static_cast<size_t>(goal2);
}

bool Tables() {
  if (prob != nullptr && option != nullptr) return true;
  if (Allocate() != 0) {
    std::fprintf(stderr, "zantpig-lab: the tables could not be allocated\n");
    return false;
  }
  allocated = 1;
  return true;
}

void ClearTables() {
  std::memset(prob, 0, TableSize() * sizeof(float));
  std::memset(option, 0, TableSize());
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Solves with the game's own ValueIterate from zero tables; returns the seconds taken.
double TimeGameSolver() {
  ClearTables();
  auto start = std::chrono::steady_clock::now();
  ValueIterate();
  return Seconds(start);
}

double TimePlainSolver(int *sweeps) {
  ClearTables();
  auto start = std::chrono::steady_clock::now();
  *sweeps = PlainValueIterate();
  return Seconds(start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool WriteTables(const char *path) {
  FILE *f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  bool ok = true;
  // The floats byte by byte, least significant first, whatever the machine's order.
  std::vector<unsigned char> bytes(TableSize() * 4);
  for (size_t n = 0; n < TableSize(); n++) {
    uint32_t bits;
    std::memcpy(&bits, &prob[n], 4);
    for (int b = 0; b < 4; b++) bytes[n * 4 + b] = static_cast<unsigned char>(bits >> (8 * b));
  }
  ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = ok && std::fwrite(option, 1, TableSize(), f) == TableSize();
  return std::fclose(f) == 0 && ok;
}

int Solve(int argc, char **argv) {
  const char *dump = nullptr;
  if (argc == 4 && std::strcmp(argv[2], "--dump") == 0) {
    dump = argv[3];
  } else if (argc != 2) {
    return Usage();
  }
  if (!Tables()) return 1;
  double seconds = TimeGameSolver();
  std::printf("sweeps: %d\n", sweepcount);
  std::printf("time: %.3f s\n", seconds);
  std::printf("P(0, 0, 0): %.9g\n", static_cast<double>(prob[0]));
  if (dump != nullptr) {
    if (!WriteTables(dump)) {
      std::fprintf(stderr, "zantpig-lab: cannot write %s\n", dump);
      return 1;
    }
    std::printf("tables written to %s\n", dump);
  }
  return 0;
}

int Random(int argc, char **argv) {
  unsigned long long seed, count;
  if (argc != 4 || !ParseNumber(argv[2], 0xFFFFFFFFull, &seed) ||
      !ParseNumber(argv[3], 1000000000ull, &count)) {
    return Usage();
  }
  ZantSeed(static_cast<unsigned int>(seed));
  for (unsigned long long n = 0; n < count; n++) std::printf("%.17g\n", ZantRandom());
  return 0;
}

int Bench(int argc, char **argv) {
  unsigned long long runs = 5;
  if (argc > 3 || (argc == 3 && (!ParseNumber(argv[2], 1000, &runs) || runs == 0))) {
    return Usage();
  }
  if (!Tables()) return 1;
  std::vector<double> plainTimes, gameTimes;
  std::vector<float> plainProb(TableSize());
  std::vector<unsigned char> plainOption(TableSize());
  bool identical = true;
  int plainSweeps = 0, gameSweeps = 0;
  for (unsigned long long run = 0; run < runs; run++) {
    plainTimes.push_back(TimePlainSolver(&plainSweeps));
    std::memcpy(plainProb.data(), prob, TableSize() * sizeof(float));
    std::memcpy(plainOption.data(), option, TableSize());
    gameTimes.push_back(TimeGameSolver());
    gameSweeps = sweepcount;
    identical = identical && gameSweeps == plainSweeps &&
                std::memcmp(plainProb.data(), prob, TableSize() * sizeof(float)) == 0 &&
                std::memcmp(plainOption.data(), option, TableSize()) == 0;
  }
  double plain = Median(plainTimes), game = Median(gameTimes);
  std::printf("runs: %llu each, alternating\n", runs);
  std::printf("plain loop:  median %.4f s (%d sweeps)\n", plain, plainSweeps);
  std::printf("game solver: median %.4f s (%d sweeps)\n", game, gameSweeps);
  std::printf("ratio: %.2f\n", plain / game);
  std::printf("identical tables: %s\n", identical ? "yes" : "no");
  return identical ? 0 : 1;
}

// The game's tables beside the true optimum in double precision.
int Exact(int argc, char **) {
  if (argc != 2) return Usage();
  if (!Tables()) return 1;
  TimeGameSolver();
  auto start = std::chrono::steady_clock::now();
  lab::Optimum o = lab::SolveOptimum();
  double seconds = Seconds(start);

  const int g = goal;
  double largest = 0;
  int worstI = 0, worstJ = 0, worstK = 0;
  long differing = 0;
  for (int i = 0; i < g; i++) {
    for (int j = 0; j < g; j++) {
      for (int k = 0; k < g - i; k++) {
        size_t n = lab::StateIndex(i, j, k);
        double d = std::fabs(static_cast<double>(prob[n]) - o.prob[n]);
        if (d > largest) {
          largest = d;
          worstI = i, worstJ = j, worstK = k;
        }
        if (o.roll[n] != option[n]) differing++;
      }
    }
  }
  std::printf("game solver:  %d sweeps in single precision, stop below 0.001\n", sweepcount);
  std::printf("exact solver: %ld passes over pairs of blocks in double precision, %.3f s\n",
              o.iterations, seconds);
  std::printf("P(0, 0, 0): game %.9f, exact %.9f\n", static_cast<double>(prob[0]), o.prob[0]);
  std::printf("largest difference of a probability: %.6f at (%d, %d, %d)\n", largest, worstI,
              worstJ, worstK);
  std::printf("states whose best action differs: %ld of %ld\n", differing,
              static_cast<long>(g) * (g + 1) / 2 * g);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "solve") return Solve(argc, argv);
  if (command == "random") return Random(argc, argv);
  if (command == "bench") return Bench(argc, argv);
  if (command == "exact") return Exact(argc, argv);
  if (command == "simulate") return Checked(lab::SimulateCommand(argc, argv));
  if (command == "tournament") return Checked(lab::TournamentCommand(argc, argv));
  if (command == "policy") return Checked(lab::PolicyCommand(argc, argv));
  if (command == "screenshot") return Checked(lab::ScreenshotCommand(argc, argv));
  return Usage();
}
