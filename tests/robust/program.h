// The whole program, run headless inside a test as a fresh process would run it, and
// what the robustness tests look at while it runs: the windows on the screen and the
// objects it holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "zant_headless.h"

namespace robust {

// The layer and the game's globals as at the start of a process. Every run starts here,
// so that one run leaves nothing behind for the next.
void FreshProcess();

// WinMain as the process entry calls it; returns the exit code.
int RunProgram();

// The class name and the text of a window.
std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);

// Visible windows of the built-in dialog class (dialogs and message boxes), bottom to top.
std::vector<HWND> OpenDialogs();
// The open pop-up of the menu bar, or null.
HWND OpenPopupMenu();
// The splash window, when it is on the screen.
HWND SplashWindow();
// The child windows of a window, in creation order.
std::vector<HWND> Children(HWND parent);

// Where to click each command of the game's menu bar: the middle of each item, as
// headless::ClickMenuBar takes it. The layer lays the items out side by side, each as wide
// as its text in the menu's font with an average character's width on either side. Call it
// before a run: it loads the menu and measures with a device context of its own.
std::vector<int> MenuBarItemCenters();

// A text on one line, cut after a few words.
std::string Shorten(std::string text);
// A window in a few words for a log: its title, or for a window without one the text of
// its first static control.
std::string Describe(HWND hwnd);

// The objects a finished run still holds that a finished process would have given back:
// empty when nothing leaked. The accelerator table and the class icon are loaded once and
// live as long as the process, as on Windows.
std::string Leaks(const headless::LiveCounts &live);
std::string ToString(const headless::LiveCounts &live);

}  // namespace robust
