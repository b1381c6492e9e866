// Whole games played headless: the program runs inside the test (WinMain on the headless
// back end, virtual clock), the idle hook plays the user, and a subclass of the main
// window keeps a log of every command it handles with the state of the game after it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace game {

// The state of a game as the controller leaves it.
struct State {
  int quitflag = 0, okbutton = 0, activeplayer = 0, scoretemp = 0;
  int score[2] = {0, 0};
  int buttons = 0;  // how many of Roll, Hold and Quit are enabled: 0 or 3, never between
};
State Snapshot();

// One WM_COMMAND the main window handled: the command, its lParam, the virtual time it
// arrived, okbutton before, and the state after.
struct Step {
  int command = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  int okbefore = 0;
  State before, after;
  bool done = false;  // false while it is still being handled
};

// What the subclass saw of the main window.
struct Log {
  std::vector<Step> steps;
  int destroys = 0;   // WM_DESTROY
  int procCalls = 0;  // every message
};
Log &Seen();

// A message box or dialog that is up: its caption and, for a message box, its text.
struct Box {
  HWND hwnd = nullptr;
  std::string caption, text;
};
Box OpenBox();  // the topmost box or dialog, or hwnd null
// The static text of a dialog (its first STATIC control), line feeds kept.
std::string DialogText(HWND dialog);

// How the user plays. The idle hook first offers the moment to `act` (a test's own
// action: return true when it did something), then plays the default part.
struct User {
  int opponent = 0;    // chosen in the opponent dialog
  int level = 0;       // 0 Newbie, 1 Amateur, 2 Pro
  unsigned seed = 1;   // the game's random source is seeded with it in that dialog
  int holdAt = 20;     // a person rolls until the turn total reaches this, then holds
  int games = 1;       // games to play; then Exit
  bool tables = true;  // false: the tables cannot be allocated
  bool splash = true;  // false: the splash class cannot be registered
  std::function<bool()> act;
  std::function<void(const Box &)> onBox;    // called once for each box seen (before act)
  std::function<void(const Step &)> onStep;  // called after each command is handled
};

// Plays: starts the program, and the user acts whenever it waits for input. Returns the
// exit code. The log starts empty with the first wait for input.
int Play(User &user);

// Games finished (won) so far in this run.
int GamesWon();

// True when the player to move is a person.
bool PersonToMove();

// Pixels of the main window's client area, 0x00RRGGBB.
uint32_t ClientPixel(int x, int y);
// How many pixels of `cell` in the window differ from `text` drawn into the same cell
// from (x, y) with the game's font in `colour` on black, as the panels draw it.
int CellMismatches(const RECT &cell, int x, int y, const char *text, COLORREF colour);
// Pixels of the header band that differ from row `row` of the header tiles.
int HeaderMismatches(int row);
// A bitmap of the program's resources as 0x00RRGGBB rows, `w` x `h`.
std::vector<uint32_t> ResourcePixels(const char *name, int w, int h);

}  // namespace game
