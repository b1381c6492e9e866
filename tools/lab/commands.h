// The lab's commands that play games or draw the strategy; main.cpp dispatches to them.
#ifndef ZANTPIG_LAB_COMMANDS_H
#define ZANTPIG_LAB_COMMANDS_H

namespace lab {

// Each takes the whole command line (argv[1] is the command) and returns the exit code;
// 2 means the command line was wrong.
int SimulateCommand(int argc, char **argv);
int TournamentCommand(int argc, char **argv);
int PolicyCommand(int argc, char **argv);
int ScreenshotCommand(int argc, char **argv);

// Parses a whole decimal number in [0, max].
bool ParseNumber(const char *text, unsigned long long max, unsigned long long *out);

}  // namespace lab

#endif
