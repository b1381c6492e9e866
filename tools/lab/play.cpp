// simulate and tournament: games through the real program, and what they add up to.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "simulate.h"
#include "zantpig.h"

namespace lab {

namespace {

// The 95 % Wilson score interval of a share of `wins` in `n`, in percent.
struct Interval {
  double low, high;
};
Interval Wilson(long wins, long n) {
  if (n == 0) return {0, 100};
  const double z = 1.96, z2 = z * z, nn = static_cast<double>(n);
  double p = static_cast<double>(wins) / nn;
  double centre = (p + z2 / (2 * nn)) / (1 + z2 / nn);
  double half = z * std::sqrt(p * (1 - p) / nn + z2 / (4 * nn * nn)) / (1 + z2 / nn);
  return {100 * (centre - half), 100 * (centre + half)};
}

double Percent(long part, long whole) {
  return whole == 0 ? 0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// What the sides need: the exact optimum for "optimal", the game's table for "table" and
// for the exact evaluation of "table" and "pro".
struct Needs {
  Optimum optimum;
  std::vector<unsigned char> table;
  Knowledge know;
};

void Prepare(const std::vector<Player> &players, bool noTables, Needs *needs) {
  bool optimal = false, table = false;
  for (const Player &p : players) {
    optimal = optimal || p.kind == Kind::Optimal;
    table = table || p.kind == Kind::Table || (p.kind == Kind::Pro && !noTables);
  }
  if (optimal) needs->optimum = SolveOptimum();
  if (table) needs->table = SolveGameTable();
  needs->know.optimum = optimal ? &needs->optimum : nullptr;
  needs->know.table = needs->table.empty() ? nullptr : needs->table.data();
}

// Player 1's exact chances of winning.
Match Exact(const Player &one, const Player &two, const Needs &needs, bool noTables) {
  return Evaluate(ModelOf(one, needs.know, noTables), ModelOf(two, needs.know, noTables));
}

struct PlayArgs {
  long games = 0;  // 0: the command's default
  unsigned long long seed = 1;
  bool noTables = false;
  bool csv = false;
  std::string players, opponents;  // comma-separated lists
  std::vector<std::string> rest;   // what is not an option
};

// A comma-separated list of players; false if one is unknown or the list is empty.
bool ParseList(const std::string &text, bool levels, std::vector<Player> *out) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    Player p;
    if (!ParsePlayer(text.substr(start, comma - start), levels, &p)) return false;
    out->push_back(p);
    start = comma + 1;
  }
  return !out->empty();
}

bool ParsePlayArgs(int argc, char **argv, PlayArgs *a) {
  for (int n = 2; n < argc; n++) {
    std::string arg = argv[n];
    unsigned long long value = 0;
    if (arg == "--games" && n + 1 < argc && ParseNumber(argv[n + 1], 1000000000ull, &value) &&
        value > 0) {
      a->games = static_cast<long>(value);
      n++;
    } else if (arg == "--seed" && n + 1 < argc && ParseNumber(argv[n + 1], ~0ull, &a->seed)) {
      n++;
    } else if (arg == "--no-tables") {
      a->noTables = true;
    } else if (arg == "--csv") {
      a->csv = true;
    } else if ((arg == "--players" || arg == "--opponents") && n + 1 < argc) {
      (arg == "--players" ? a->players : a->opponents) = argv[++n];
    } else if (arg.rfind("--", 0) == 0) {
      return false;
    } else {
      a->rest.push_back(arg);
    }
  }
  return true;
}

std::string Describe(const Player &p) {
  return p.Computer() ? p.Name() + " (the computer)" : p.Name() + " (played by the lab)";
}

}  // namespace

int SimulateCommand(int argc, char **argv) {
  PlayArgs a;
  RunOptions options;
  if (!ParsePlayArgs(argc, argv, &a) || a.rest.size() != 2 || !a.players.empty() ||
      !a.opponents.empty() || !ParsePlayer(a.rest[0], false, &options.side[0]) ||
      !ParsePlayer(a.rest[1], true, &options.side[1])) {
    return 2;
  }
  if (a.noTables && (options.side[0].kind == Kind::Table || options.side[1].kind == Kind::Table)) {
    std::fprintf(stderr,
                 "zantpig-lab: \"table\" reads the game's tables, which --no-tables takes away\n");
    return 2;
  }
  options.games = a.games > 0 ? a.games : 1000;
  options.seed = a.seed;
  options.noTables = a.noTables;
  if (a.csv) {
    std::printf("game,seed,began,winner,score1,score2,turns,rolls\n");
    options.onGame = [](const GameRecord &g) {
      std::printf("%ld,%u,%d,%d,%d,%d,%d,%d\n", g.number, g.seed, g.began + 1, g.winner + 1,
                  g.score[0], g.score[1], g.turns, g.rolls);
    };
  }

  Needs needs;
  Prepare({options.side[0], options.side[1]}, a.noTables, &needs);
  RunResult r = PlayGames(options, &needs.optimum);
  if (!r.error.empty()) {
    std::fflush(stdout);
    std::fprintf(stderr, "zantpig-lab: %s\n", r.error.c_str());
    return 1;
  }
  Match exact = Exact(options.side[0], options.side[1], needs, a.noTables);

  // With --csv the lines go to standard output and the summary to standard error.
  FILE *out = a.csv ? stderr : stdout;
  std::fflush(stdout);
  std::fprintf(out, "player 1: %s\n", Describe(options.side[0]).c_str());
  std::fprintf(out, "player 2: %s%s\n", Describe(options.side[1]).c_str(),
               a.noTables ? ", the program without its tables" : "");
  std::fprintf(out, "games: %ld (seed %llu)\n", r.games, a.seed);
  for (int s = 0; s < 2; s++) {
    Interval ci = Wilson(r.wins[s], r.games);
    std::fprintf(out, "player %d wins: %ld, %.2f %% (95 %% interval %.2f .. %.2f %%)\n", s + 1,
                 r.wins[s], Percent(r.wins[s], r.games), ci.low, ci.high);
  }
  std::fprintf(out, "began: player 1 %.2f %%, player 2 %.2f %%\n", Percent(r.began[0], r.games),
               Percent(r.began[1], r.games));
  std::fprintf(
      out, "player 1 wins %.2f %% of the games it began, %.2f %% of those player 2 began\n",
      Percent(r.wonBeginning[0], r.began[0]), Percent(r.wins[0] - r.wonBeginning[0], r.began[1]));
  std::fprintf(out, "length: %.2f turns, %.2f rolls per game\n",
               static_cast<double>(r.turns) / static_cast<double>(r.games),
               static_cast<double>(r.rolls) / static_cast<double>(r.games));
  if (exact.ok) {
    Interval ci = Wilson(r.wins[0], r.games);
    double fair = 100 * exact.Side0WinsFair();
    std::fprintf(out,
                 "exact: player 1 wins %.2f %% (%.2f %% when it begins, %.2f %% when player 2 "
                 "begins); %s the interval\n",
                 fair, 100 * exact.winsBeginning[0], 100 * (1 - exact.winsBeginning[1]),
                 fair >= ci.low && fair <= ci.high ? "inside" : "outside");
  }
  std::fprintf(out,
               "speed: %.0f games per second, %.0f per second of processor time (%.2f s of "
               "play, %.2f s start-up)\n",
               static_cast<double>(r.games) / r.playSeconds,
               static_cast<double>(r.games) / std::max(r.playCpuSeconds, 1e-9), r.playSeconds,
               r.startSeconds);
  return 0;
}

// Every way of playing as player 1 against every opponent, the computer's levels included,
// each pairing in a run of its own with the same seed; then the same table worked out
// exactly. A level cannot be player 1: the computer only ever plays player 2, so "table"
// stands in for the Pro (it decides exactly as the Pro does) and "hold:20" for the Amateur.
int TournamentCommand(int argc, char **argv) {
  PlayArgs a;
  std::vector<Player> rows, columns;
  if (!ParsePlayArgs(argc, argv, &a) || !a.rest.empty() || a.csv || a.noTables ||
      !ParseList(a.players.empty() ? "hold:20,hold:25,rule,table,optimal,random" : a.players, false,
                 &rows) ||
      !ParseList(a.opponents.empty()
                     ? "hold:20,hold:25,rule,table,optimal,random,newbie,amateur,pro"
                     : a.opponents,
                 true, &columns)) {
    return 2;
  }
  const long games = a.games > 0 ? a.games : 10000;
  std::vector<Player> everyone = rows;
  everyone.insert(everyone.end(), columns.begin(), columns.end());
  Needs needs;
  Prepare(everyone, false, &needs);

  std::vector<std::vector<double>> measured(rows.size()), exact(rows.size());
  double widest = 0, cpu = 0;
  long played = 0;
  for (size_t r = 0; r < rows.size(); r++) {
    for (const Player &c : columns) {
      RunOptions options;
      options.side[0] = rows[r];
      options.side[1] = c;
      options.games = games;
      options.seed = a.seed;
      RunResult result = PlayGames(options, &needs.optimum);
      if (!result.error.empty()) {
        std::fprintf(stderr, "zantpig-lab: %s against %s: %s\n", rows[r].Name().c_str(),
                     c.Name().c_str(), result.error.c_str());
        return 1;
      }
      Interval ci = Wilson(result.wins[0], result.games);
      widest = std::max(widest, (ci.high - ci.low) / 2);
      cpu += result.playCpuSeconds;
      played += result.games;
      measured[r].push_back(Percent(result.wins[0], result.games));
      Match m = Exact(rows[r], c, needs, false);
      exact[r].push_back(m.ok ? 100 * m.Side0WinsFair() : -1);
      std::fprintf(stderr, "%s against %s: %.2f %%\n", rows[r].Name().c_str(), c.Name().c_str(),
                   measured[r].back());
    }
  }

  auto table = [&](const std::vector<std::vector<double>> &cells) {
    std::printf("| player 1 \\ player 2 |");
    for (const Player &c : columns) std::printf(" %s |", c.Name().c_str());
    std::printf("\n|---|");
    for (size_t n = 0; n < columns.size(); n++) std::printf("---:|");
    std::printf("\n");
    for (size_t r = 0; r < rows.size(); r++) {
      std::printf("| %s |", rows[r].Name().c_str());
      for (double v : cells[r]) {
        if (v < 0) {
          std::printf(" - |");
        } else {
          std::printf(" %.1f |", v);
        }
      }
      std::printf("\n");
    }
  };
  std::printf(
      "Player 1's wins in %%, %ld games per pairing (seed %llu), who begins decided by the\n"
      "game's start-order roll; 95 %% intervals are at most +/- %.2f points.\n\n",
      games, a.seed, widest);
  table(measured);
  std::printf("\nThe same worked out exactly, with a fair start-order roll:\n\n");
  table(exact);
  std::printf("\n%ld games in %.1f s of processor time (%.0f games per second)\n", played, cpu,
              static_cast<double>(played) / std::max(cpu, 1e-9));
  return 0;
}

}  // namespace lab
