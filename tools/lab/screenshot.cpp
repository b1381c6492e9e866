// screenshot: the program's first picture as the headless back end draws it. The game
// starts on a screen of the browser's size, runs until it first waits for input (the
// tables solved, the board ready), and its main window (menu bar, client area, buttons:
// everything the layer draws; the title bar is the window manager's) is written as a
// 24-bit BMP. The browser's picture is checked against it.
#include <cstdio>

#include "commands.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace lab {

int ScreenshotCommand(int argc, char **argv) {
  if (argc != 3) return 2;
  const char *path = argv[2];
  headless::Reset();
  headless::SetScreenSize(640, 480);
  bool looked = false, written = false;
  headless::SetIdleHook([&] {
    if (looked || !g_hWnd) return;
    looked = true;
    written = headless::SaveScreenshot(path, g_hWnd);
    PostMessageA(g_hWnd, WM_CLOSE, 0, 0);
  });
  WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  if (!written) {
    std::fprintf(stderr, "zantpig-lab: cannot write %s\n", path);
    return 1;
  }
  std::printf("the main window written to %s\n", path);
  return 0;
}

}  // namespace lab
