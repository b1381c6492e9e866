// Whole games played through the real program: WinMain on the headless back end, with the
// lab as the user who answers the dialogs and clicks Roll and Hold.
#ifndef ZANTPIG_LAB_SIMULATE_H
#define ZANTPIG_LAB_SIMULATE_H

#include <cstdint>
#include <functional>
#include <string>

#include "players.h"

namespace lab {

// One game as the lab saw it. Player indices are the game's: 0 is player 1.
struct GameRecord {
  long number = 0;    // 1, 2, ...
  uint32_t seed = 0;  // what the game's random source was seeded with
  int began = 0;      // who the start-order roll chose
  int winner = 0;
  int score[2] = {0, 0};
  int turns = 0;  // turns ended, by a 1, a hold or the win
  int rolls = 0;  // rolls taken, by both players
};

struct RunOptions {
  Player side[2];  // side[1] may be a computer level
  long games = 1000;
  uint64_t seed = 1;
  bool noTables = false;  // the program starts without its tables (a failed allocation)
  std::function<void(const GameRecord &)> onGame;  // after each game, if set
};

struct RunResult {
  long games = 0;
  long wins[2] = {0, 0};
  long began[2] = {0, 0};
  long wonBeginning[2] = {0, 0};  // games a player began and won
  long turns = 0;
  long rolls = 0;
  double startSeconds = 0;    // from WinMain to the first New Game (the tables are solved)
  double playSeconds = 0;     // from the first New Game to the end of the last game
  double playCpuSeconds = 0;  // the processor time of the same
  std::string error;          // empty when every game was played
};

// The seed the game's random source gets for game `number` of a run seeded with `seed`.
uint32_t GameSeed(uint64_t seed, long number);

// Runs the program once and plays the games in it, one New Game after another. `optimum`
// is needed when a side plays "optimal". Resets the headless layer before and after.
RunResult PlayGames(const RunOptions &options, const Optimum *optimum);

}  // namespace lab

#endif
