// zantpig-websolve: the game's solver in the browser, for script/bench-web. It runs in a
// page of its own (websolve.html) on the browser back end, built as the game is built, and
// solves the tables as the game does at start-up, again and again; it prints each time
// and sends the tables of the last solve to the page's server (PUT tables), where they are
// compared byte for byte with the native solver's (zantpig-lab solve --dump).
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zantpig.h"

int main(int argc, char **argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  if (runs < 1) runs = 1;
  if (Allocate() != 0) return 1;
  // The game solves while it handles the first command that its message loop delivers, so
  // its queue has been looked at before the solve begins; so is this page's, once, before
  // any solve is timed. (The first look at the page's input takes some 6 ms, once, which
  // the game has spent by then.)
  MSG msg;
  PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
  size_t entries = size_t(goal) * size_t(goal2);
  for (int run = 0; run < runs; ++run) {
    std::memset(prob, 0, entries * sizeof(float));
    std::memset(option, 0, entries);
    double start = emscripten_get_now();
    ValueIterate();
    std::printf("solve %d: %.1f ms, %d sweeps\n", run + 1, emscripten_get_now() - start,
                sweepcount);
  }
  // The probabilities (little-endian floats, as WebAssembly keeps them) and then the
  // best actions: the layout of the native dump.
  EM_ASM(
      {
        var tables = new Uint8Array($0 + $2);
        tables.set(HEAPU8.subarray($1, $1 + $0), 0);
        tables.set(HEAPU8.subarray($3, $3 + $2), $0);
        fetch('tables', {method : 'PUT', body : tables}).then(function() { console.log('sent'); });
      },
      entries * sizeof(float), prob, entries, option);
  return 0;
}
