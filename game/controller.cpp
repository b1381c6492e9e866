// The main window procedure: builds and releases the window's resources, paints it, and
// turns clicks, menu commands and the window's own internal commands into the game.
//
// A move is never played in one call. Each step posts the next one to the window as a
// WM_COMMAND with an internal command number, and the message loop brings it back. Posted
// messages come before input, so nothing the user does is acted on between the steps of a
// move; CMD_FLUSH_INPUT then drops the input that piled up while the die rolled and the
// pauses ran, before the buttons can be used again. The computer's moves take the same
// road: it posts a click of Roll or Hold, handled exactly like a person's.
//
// The states of a game, as quitflag, okbutton and the buttons show them:
//   No game           quitflag 1, okbutton 0, buttons disabled (start-up, after Quit)
//   Person to move    quitflag 0, okbutton 1, buttons enabled
//   Computer to move  quitflag 0, okbutton 1, buttons disabled, its click already queued
//   Move in progress  okbutton 0 (quitflag 1 once the goal is reached)
//   Game over         quitflag 1, okbutton 0, buttons disabled (after a win)
#include "zantpig.h"

#include <stdio.h>
#include <time.h>

#include "resource.h"

// Texts of the message boxes. None has an owner, so the main window stays usable while
// one is open.
static const char appcaption[] = "Zant Pig";
static const char warningtext[] =
    "This item describes strategies for\n   increasing your chances of winning.\n\n"
    "If you'd like to develop your own strategy\n   without help, you should not read it.\n\n"
    "Do you want to proceed?";
static const char probontext[] = "Probability display enabled.";
static const char probofftext[] = "Probability display disabled.";
static const char suggestontext[] =
    "Suggestion mode enabled.\n\nRoll if the probability is shown in green.\n"
    "Hold if the probability is shown in red.\n\nHowever, remember that the probability\n"
    "    of rolling a ' 1 ' is always 1 / 6  for any\n    roll regardless of your strategy.";
static const char suggestofftext[] = "Suggestion mode disabled.";
static const char abouttext[] =
    "      Zant Pig\n\nAn implementation of Pig, a dice game in\n"
    "   which being too greedy is a Bad Idea. Play\n   against the computer or another human.";
static const char exittext[] = "Please quit current game before\n   closing the program.";

// A person is to move: player 1, or player 2 when it is a second person.
static int PersonToMove(void) {
  return activeplayer == 0 || opponent != 0;
}

// The computer is to move.
static int ComputerToMove(void) {
  return activeplayer == 1 && opponent == 0;
}

// Roll, Hold and Quit are always enabled or disabled together, in that order.
static void EnableButtons(BOOL enable) {
  EnableWindow(g_hBWnd1, enable);
  EnableWindow(g_hBWnd2, enable);
  EnableWindow(g_hBWnd3, enable);
}

// Posts the next step of a move to the window itself.
static void PostStep(HWND hWnd, int command, LPARAM next) {
  PostMessageA(hWnd, WM_COMMAND, (WPARAM)command, next);
}

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
  PostStep(hWnd, CMD_SOLVE_TABLES, 0);
}

// Frees the tables and surfaces, hides the window, shows the closing splash and ends the
// message loop. Runs however the program is left, also from inside a message box that was
// open when the window was closed: whatever runs after it finds no tables (allocated is 0)
// and no surfaces to draw on.
static void OnDestroy(HWND hWnd) {
  if (prob != NULL) LocalFree(prob);
  prob = NULL;
  if (option != NULL) LocalFree(option);
  option = NULL;
  allocated = 0;
  ReleaseSurfaces(hWnd);
  ShowWindow(hWnd, SW_HIDE);
  if (oksplash == 1) Splash(hWnd);
  PostQuitMessage(0);
}

// A click of Roll, Hold or Quit, by a person or posted by the computer. Acted on only
// while a move is awaited; the click that is taken closes the gate until the next move.
static void OnClick(HWND hWnd, LPARAM button) {
  int face;
  if (okbutton == 0) return;
  if (button != buttonhandle1 && button != buttonhandle2 && button != buttonhandle3) return;
  okbutton = 0;
  if (button == buttonhandle1) {  // Roll: a 1 loses the turn total, anything else adds
    face = Roll();
    ShowDrawing();
    Sleep(1000);  // the face stays on show
    if (face == 1) {
      scoretemp = 0;
      EraseDie();
      MessageDisplay(1);
      TurnScoreDisplay(activeplayer);
      PostStep(hWnd, CMD_FLUSH_INPUT, CMD_BANK_TURN);
      return;
    }
    scoretemp += face;
    TurnScoreDisplay(5);
    if (score[activeplayer] + scoretemp > 99) {  // the goal is reached: banked at once
      quitflag = 1;
      PostStep(hWnd, CMD_FLUSH_INPUT, CMD_BANK_TURN);
    } else {
      PostStep(hWnd, CMD_FLUSH_INPUT, CMD_AWAIT_MOVE);
    }
  } else if (button == buttonhandle2) {  // Hold: bank the turn total
    EraseDie();
    TurnScoreDisplay(activeplayer + 2);
    PostStep(hWnd, CMD_FLUSH_INPUT, CMD_BANK_TURN);
  } else {  // Quit: the game is abandoned and nothing follows
    quitflag = 1;
    EnableButtons(FALSE);
    score[1] = 0;
    score[0] = 0;
    EraseDie();
    TotalScoreDisplay(0);
    TurnScoreDisplay(4);
    MessageDisplay(2);
  }
}

// Drops the keyboard and mouse input (and anything else from WM_KEYFIRST to
// WM_MOUSELAST, commands included) queued for the window and its buttons while the die
// rolled and the pauses ran, then lets a person use the buttons and posts the next step.
static void OnFlushInput(HWND hWnd, LPARAM next) {
  MSG msg;
  while (PeekMessageA(&msg, g_hWnd, 256, 521, PM_NOREMOVE))
    PeekMessageA(&msg, g_hWnd, 256, 521, PM_REMOVE);
  if (PersonToMove()) EnableButtons(TRUE);
  PostStep(hWnd, (int)next, 0);
}

// Banks the turn total; the mover has won, or the turn passes to the other player.
static void OnBankTurn(HWND hWnd) {
  score[activeplayer] += scoretemp;
  TotalScoreDisplay(1);
  if (score[activeplayer] > 99) {  // game over: the winner stays activeplayer
    EnableButtons(FALSE);
    MessageDisplay(3);
    TurnScoreDisplay(4);
    EraseDie();
    return;
  }
  TurnScoreDisplay(activeplayer);
  activeplayer = 1 - activeplayer;
  scoretemp = 0;
  TurnScoreDisplay(activeplayer + 2);
  if (ComputerToMove()) {
    EnableButtons(FALSE);
    if (complevel == 0) NewbieLimitDraw();
  }
  HeaderDisplay(1);
  PostStep(hWnd, CMD_FLUSH_INPUT, CMD_AWAIT_MOVE);
}

// Hands the move to the player to move: the computer decides and posts its click; a
// person sees their win probability when the display is on.
static void OnAwaitMove(void) {
  okbutton = 1;
  if (ComputerToMove()) {
    MessageDisplay(0);
    Computer();
  } else if (allocated == 1 && showprob == 1) {
    ProbDisplay();
  }
}

// Starts a new game, unless one is waiting for a move: the opponent and who begins are
// chosen, and the first move is handed over at once.
static void OnNewGame(HWND hWnd) {
  if (okbutton == 1) return;
  quitflag = 0;
  ZantSeed((unsigned int)time(NULL));
  HeaderDisplay(0);
  MessageDisplay(0);
  TotalScoreDisplay(0);
  DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_OPPONENT), hWnd, OpponentDialogProc, 0);
  DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_START_ORDER), hWnd, StartDialogProc, 0);
  activeplayer = Start();
  winner[1] = opponent + 1;
  scoretemp = 0;
  score[1] = 0;
  score[0] = 0;
  HeaderDisplay(1);
  if (opponent == 0 && complevel == 0) NewbieLimitDraw();
  if (PersonToMove()) EnableButtons(TRUE);
  TurnScoreDisplay(activeplayer + 2);
  OnAwaitMove();
}

// Strategy Options: a warning first; the strategy text unless the answer is No. Nothing
// is opened when the window was closed while the warning was up.
static void OnStrategyOptions(HWND hWnd) {
  char string[260];
  snprintf(string, sizeof string, "%s", warningtext);
  if (MessageBoxA(NULL, string, "WARNING", MB_ICONERROR | MB_YESNO) == IDNO) return;
  if (!IsWindow(hWnd)) return;
  DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_STRATEGY), hWnd, StrategyDialogProc, 0);
}

// Switches the probability display. Suggestion mode is only offered while it is on.
static void OnDisplayProbabilities(HWND hWnd) {
  HMENU menu = GetMenu(hWnd);
  showprob = 1 - showprob;
  if (showprob == 1) {
    CheckMenuItem(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND | MF_ENABLED);
    CheckMenuItem(menu, IDM_SUGGESTION_MODE,
                  MF_BYCOMMAND | (suggestion == 1 ? MF_CHECKED : MF_UNCHECKED));
    MessageBoxA(NULL, probontext, appcaption, MB_ICONINFORMATION);
    if (quitflag == 0 && allocated == 1) ProbDisplay();
  } else {
    CheckMenuItem(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND | MF_UNCHECKED);
    EnableMenuItem(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND | MF_GRAYED);
    MessageBoxA(NULL, probofftext, appcaption, MB_ICONINFORMATION);
    MessageDisplay(0);
  }
}

// Switches suggestion mode: the probability is redrawn in its new colouring.
static void OnSuggestionMode(HWND hWnd) {
  suggestion = 1 - suggestion;
  CheckMenuItem(GetMenu(hWnd), IDM_SUGGESTION_MODE,
                MF_BYCOMMAND | (suggestion == 1 ? MF_CHECKED : MF_UNCHECKED));
  MessageBoxA(NULL, suggestion == 1 ? suggestontext : suggestofftext, appcaption,
              MB_ICONINFORMATION);
  if (quitflag == 0 && allocated == 1) ProbDisplay();
}

// Exit: only when no game runs. The window is destroyed, which goes through WM_DESTROY
// as a close through the frame does.
static void OnExit(HWND hWnd) {
  if (quitflag == 1) {
    DestroyWindow(hWnd);
    return;
  }
  MessageBoxA(NULL, exittext, appcaption, MB_ICONINFORMATION);
}

// A command from a button (0), the menu or its keys, or one the window posted to itself.
// Only the low word of wParam counts: a key sends the same command as its menu item.
static void OnCommand(HWND hWnd, WORD command, LPARAM lParam) {
  char string[260];
  switch (command) {
    case 0:  // a click of Roll, Hold or Quit
      OnClick(hWnd, lParam);
      break;
    case CMD_SOLVE_TABLES:  // fill the probability tables before any game can start
      ValueIterate();
      break;
    case IDM_NEW_GAME:
      OnNewGame(hWnd);
      break;
    case CMD_AWAIT_MOVE:
      OnAwaitMove();
      break;
    case CMD_BANK_TURN:
      OnBankTurn(hWnd);
      break;
    case CMD_FLUSH_INPUT:
      OnFlushInput(hWnd, lParam);
      break;
    case IDM_RULES:
      DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_RULES), hWnd, RulesDialogProc, 0);
      break;
    case IDM_STRATEGY_OPTIONS:
      OnStrategyOptions(hWnd);
      break;
    case IDM_DISPLAY_PROBABILITIES:
      OnDisplayProbabilities(hWnd);
      break;
    case IDM_SUGGESTION_MODE:
      OnSuggestionMode(hWnd);
      break;
    case IDM_ABOUT:
      snprintf(string, sizeof string, "%s", abouttext);
      MessageBoxA(NULL, string, "About", MB_ICONINFORMATION);
      break;
    case IDM_EXIT:
      OnExit(hWnd);
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
