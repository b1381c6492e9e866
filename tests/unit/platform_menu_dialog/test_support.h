// What the menu and dialog tests share: a fresh layer for each test, a main window whose
// class carries the test menu, a log of the commands it receives, a script of user actions
// played whenever the program waits for input, and optional screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <zant_headless.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct Command {
  HWND hwnd;
  WPARAM wParam;
  LPARAM lParam;
  bool posted;  // taken from the queue by the loop, not sent
};

extern const char kMainClass[];

class LayerTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // A visible main window with the test menu and a client area of w x h at (x, y).
  HWND MakeMain(int w = 400, int h = 300, int x = 100, int y = 100);
  // A push button on a window.
  HWND MakeButton(HWND parent, int id, int x, int y, int w, int h);

  // The user's actions, one played each time the program waits for input. When they run
  // out, the run counts as stuck and the loop ends.
  void Script(std::vector<std::function<void()>> steps);
  // The program's message loop, with the accelerator table when given; returns the code of
  // WM_QUIT.
  int RunLoop(HACCEL accel = nullptr, HWND accelWindow = nullptr);

  // WM_COMMAND messages the main windows received, in order.
  std::vector<Command> commands_;
  // Messages the main windows received (message numbers), in order.
  std::vector<UINT> messages_;
  std::deque<std::function<void()>> steps_;
  // Called for each message of a main window before it is logged; true = handled.
  std::function<bool(HWND, UINT, WPARAM, LPARAM)> onMessage_;
};

// Saves a screenshot as <dir>/<name>.bmp when ZANT_SHOTS names a folder.
void Shot(const char *name, HWND top = nullptr);

// A window's rectangle in its parent's client coordinates (screen ones for a top level).
RECT RectInParent(HWND hwnd);

// Counts the pixels of a colour in a rectangle of a window's surface.
int CountPixels(const headless::Pixels &p, RECT r, uint32_t color);
