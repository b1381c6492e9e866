// The lab without libpng (the Windows build, or a Linux build made without it): the
// strategy picture is a PNG file, so the policy command says why it cannot run.
#include <cstdio>

#include "commands.h"

namespace lab {

int PolicyCommand(int, char **) {
  std::fprintf(stderr, "zantpig-lab: policy writes a PNG file, and this build has no libpng\n");
  return 1;
}

}  // namespace lab
