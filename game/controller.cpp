// The main window procedure: builds and releases the window's resources, paints it, and
// turns clicks, menu commands and the window's own internal commands into the game.
#include "zantpig.h"

#include "resource.h"

// Builds the drawing surfaces and the score board, then obtains the probability tables.
// With tables, their calculation is queued as the first command the loop delivers;
// without them, the probability items of the menu stay greyed for the whole run.
static void OnCreate(HWND hWnd) {
  BuildSurfaces(hWnd);
  HMENU menu = GetMenu(hWnd);
  if (Allocate() == 1) {
    EnableMenuItem(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND | MF_GRAYED);
    EndBusyLook();  // no calculation follows
    return;
  }
  allocated = 1;
  showprob = 1;
  CheckMenuItem(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND | MF_CHECKED);
  PostMessageA(hWnd, WM_COMMAND, CMD_SOLVE_TABLES, 0);
}

// Frees the tables and surfaces, hides the window, shows the closing splash and ends the
// message loop. Runs however the program is left.
static void OnDestroy(HWND hWnd) {
  if (prob != NULL) LocalFree(prob);
  prob = NULL;
  if (option != NULL) LocalFree(option);
  option = NULL;
  ReleaseSurfaces(hWnd);
  ShowWindow(hWnd, SW_HIDE);
  if (oksplash == 1) Splash(hWnd);
  PostQuitMessage(0);
}

// A command from a button (0), the menu or its keys, or one the window posted to itself.
// Only the low word of wParam counts: a key sends the same command as its menu item.
static void OnCommand(HWND hWnd, WORD command, LPARAM lParam) {
  (void)hWnd;
  (void)lParam;
  switch (command) {
    case CMD_SOLVE_TABLES:  // fill the probability tables before any game can start
      ValueIterate();
      break;
    default:
      break;
  }
}

LRESULT CALLBACK MainWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(hWnd);
      return 0;
    case WM_DESTROY:
      OnDestroy(hWnd);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
      // Cleared and repainted from the off-screen image.
      InvalidateRect(hWnd, NULL, TRUE);
      return 0;
    case WM_PAINT:
      PaintWindow(hWnd);
      return 0;
    case WM_COMMAND:
      OnCommand(hWnd, LOWORD(wParam), lParam);
      return 0;
    default:
      return DefWindowProcA(hWnd, message, wParam, lParam);
  }
}
