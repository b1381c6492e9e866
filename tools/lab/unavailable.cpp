// The Windows lab: the commands that run the program headless need the portable layer's
// headless back end, which the Windows build does not have.
#include <cstdio>

#include "commands.h"

namespace lab {

namespace {

int Unavailable(const char *command) {
  std::fprintf(stderr, "zantpig-lab: %s runs in the Linux build, on the headless back end\n",
               command);
  return 1;
}

}  // namespace

int SimulateCommand(int, char **) {
  return Unavailable("simulate");
}
int TournamentCommand(int, char **) {
  return Unavailable("tournament");
}
int ScreenshotCommand(int, char **) {
  return Unavailable("screenshot");
}

}  // namespace lab
