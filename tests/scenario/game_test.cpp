// Whole games of Pig played headless through the real program: the chains of commands a
// move is made of, the turn rules, what the score board shows, stray input dropped,
// the menu switches, the dialogs, and leaving the program at any moment.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <sstream>

#include "game_harness.h"

namespace {

using game::Box;
using game::State;
using game::Step;
using game::User;

const COLORREF kFrame = RGB(0, 192, 255);
const COLORREF kWarning = RGB(224, 224, 0);
const COLORREF kSuccess = RGB(0, 255, 128);
const COLORREF kHold = RGB(255, 0, 0);
const char kExitRefused[] = "Please quit current game before\n   closing the program.";

enum Click { kNone, kRollClick, kHoldClick, kQuitClick };

Click ClickOf(const Step &s) {
  if (s.command != 0) return kNone;
  if (s.lParam == buttonhandle1) return kRollClick;
  if (s.lParam == buttonhandle2) return kHoldClick;
  if (s.lParam == buttonhandle3) return kQuitClick;
  return kNone;
}

std::string Describe(const std::vector<Step> &steps, size_t from, size_t count) {
  std::ostringstream out;
  for (size_t i = from; i < steps.size() && i < from + count; ++i) {
    const Step &s = steps[i];
    out << "[" << s.time << " ms] " << s.command << "/" << s.lParam << " ok " << s.okbefore << "->"
        << s.after.okbutton << " mover " << s.after.activeplayer << " turn " << s.after.scoretemp
        << " scores " << s.after.score[0] << "," << s.after.score[1] << "\n";
  }
  return out.str();
}

// The expected commands after an accepted click, as (command, lParam) pairs, and the time
// the first of them comes after the click.
struct Chain {
  std::vector<std::pair<int, LPARAM>> commands;
  DWORD pause;
};

Chain Expected(const Step &click) {
  const int mover = click.before.activeplayer;
  if (ClickOf(click) == kHoldClick)
    return {{{CMD_FLUSH_INPUT, CMD_BANK_TURN},
             {CMD_BANK_TURN, 0},
             {CMD_FLUSH_INPUT, CMD_AWAIT_MOVE},
             {CMD_AWAIT_MOVE, 0}},
            0};
  if (click.after.scoretemp == 0)  // a 1: the notice, then the turn passes
    return {{{CMD_FLUSH_INPUT, CMD_BANK_TURN},
             {CMD_BANK_TURN, 0},
             {CMD_FLUSH_INPUT, CMD_AWAIT_MOVE},
             {CMD_AWAIT_MOVE, 0}},
            750 + 1000 + 1500};
  if (click.after.score[mover] + click.after.scoretemp >= 100)  // the goal: banked at once
    return {{{CMD_FLUSH_INPUT, CMD_BANK_TURN}, {CMD_BANK_TURN, 0}}, 750 + 1000};
  return {{{CMD_FLUSH_INPUT, CMD_AWAIT_MOVE}, {CMD_AWAIT_MOVE, 0}}, 750 + 1000};
}

// Checks a run's log move by move: every accepted click is followed by exactly its chain
// of posted commands, after the pauses of the die; each roll adds a face of 2 to 6 or
// loses the turn total; a bank adds the turn total; the buttons are usable exactly while a
// person is to move. Returns the number of accepted clicks.
int CheckMoves(const std::vector<Step> &steps, int opp) {
  int clicks = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step &s = steps[i];
    SCOPED_TRACE("step " + std::to_string(i) + "\n" + Describe(steps, i > 2 ? i - 2 : 0, 8));
    if (ClickOf(s) == kNone) continue;
    EXPECT_EQ(s.okbefore, 1) << "a click reached the game while no move was awaited";
    if (s.okbefore != 1) continue;
    ++clicks;
    if (ClickOf(s) == kQuitClick) continue;
    Chain chain = Expected(s);
    if (i + chain.commands.size() >= steps.size()) {
      ADD_FAILURE() << "the chain was cut short";
      return clicks;
    }
    for (size_t k = 0; k < chain.commands.size(); ++k) {
      const Step &next = steps[i + 1 + k];
      EXPECT_EQ(next.command, chain.commands[k].first) << "command " << k + 1 << " of the chain";
      EXPECT_EQ(next.lParam, chain.commands[k].second) << "lParam of command " << k + 1;
    }
    EXPECT_EQ(steps[i + 1].time - s.time, chain.pause);
    if (ClickOf(s) == kRollClick) {
      int face = s.after.scoretemp - s.before.scoretemp;
      EXPECT_TRUE(s.after.scoretemp == 0 || (face >= 2 && face <= 6)) << "face " << face;
      EXPECT_EQ(s.after.buttons, 0) << "the buttons stay disabled after a roll";
    }
    // The bank: the turn total joins the mover's score; the turn passes unless it won.
    const Step &flush = steps[i + 1];
    const Step &bank = steps[i + 2];
    if (flush.lParam != CMD_BANK_TURN) continue;
    int mover = bank.before.activeplayer;
    bool personMover = mover == 0 || opp != 0;
    EXPECT_EQ(flush.after.buttons, personMover ? 3 : 0) << "140 enables the buttons for a person";
    EXPECT_EQ(bank.after.score[mover], bank.before.score[mover] + bank.before.scoretemp);
    EXPECT_EQ(bank.after.score[1 - mover], bank.before.score[1 - mover]);
    if (bank.after.score[mover] >= 100) {
      // Nothing more of the game follows a win.
      for (size_t k = i + 3; k < steps.size() && steps[k].command != IDM_NEW_GAME; ++k)
        EXPECT_TRUE(ClickOf(steps[k]) == kNone && steps[k].command >= IDM_NEW_GAME &&
                    steps[k].command != CMD_AWAIT_MOVE && steps[k].command != CMD_BANK_TURN &&
                    steps[k].command != CMD_FLUSH_INPUT)
            << "command " << steps[k].command << " after the win";
      EXPECT_EQ(bank.after.activeplayer, mover);
      EXPECT_EQ(bank.after.quitflag, 1);
      EXPECT_EQ(bank.after.okbutton, 0);
      EXPECT_EQ(bank.after.buttons, 0);
      EXPECT_LE(bank.after.score[mover], 105);
    } else {
      // The turn passes: 130 disables the buttons when the computer is next, and the next
      // 140 enables them when a person is.
      EXPECT_EQ(bank.after.activeplayer, 1 - mover);
      EXPECT_EQ(bank.after.scoretemp, 0);
      bool computerNext = bank.after.activeplayer == 1 && opp == 0;
      EXPECT_EQ(bank.after.buttons, computerNext || !personMover ? 0 : 3);
      EXPECT_EQ(steps[i + 3].after.buttons, computerNext ? 0 : 3);
    }
  }
  return clicks;
}

// Checks the score board while a person is to move: the header highlights the mover, the
// totals and the mover's turn total are shown, the other turn cell is empty, and, with the
// display on, the line shows the mover's win probability in its colour.
void CheckBoard() {
  char text[40];
  EXPECT_EQ(game::HeaderMismatches(activeplayer + 2 * opponent), 0) << "header row";
  for (int p = 0; p < 2; ++p) {
    snprintf(text, sizeof text, "%d", score[p]);
    EXPECT_EQ(game::CellMismatches(erase[p], 360 + 170 * p, 110, text, kFrame), 0) << "total " << p;
    snprintf(text, sizeof text, "%d", scoretemp);
    const char *turn = p == activeplayer ? text : " ";
    EXPECT_EQ(game::CellMismatches(erase[2 + p], 360 + 170 * p, 210, turn, kFrame), 0)
        << "turn cell " << p;
    headless::Pixels window = headless::ClientPixels(g_hWnd);
    for (int y = 105; y < 255; y += y == 159 ? 2 : 1)  // nothing beside the cells (rule at 160)
      EXPECT_EQ(window.At(359 + 170 * p, y), 0u) << "beside the cells of " << p << ", y " << y;
  }
  if (allocated == 1 && showprob == 1) {
    int mine = score[activeplayer], theirs = score[1 - activeplayer];
    int index = mine * goal2 + theirs * goal + scoretemp;
    snprintf(text, sizeof text, "win probability: %.2f", (double)prob[index]);
    COLORREF colour = suggestion == 0 ? kFrame : option[index] ? kSuccess : kHold;
    EXPECT_EQ(game::CellMismatches(erase[4], 355, 290, text, colour), 0) << text;
  } else {
    EXPECT_EQ(game::CellMismatches(erase[4], 400, 290, " ", kFrame), 0) << "line not empty";
  }
}

// Whole games against a second person and against the computer at every level, to 100:
// every move's chain and the rules, the board at every person's move, the computer's
// decisions, the end of the game, and Exit once it is over.
TEST(Game, WholeGamesAgainstEveryOpponent) {
  struct Case {
    const char *name;
    int opponent, level;
    bool tables;
    unsigned seed;
  };
  const Case cases[] = {{"two people", 1, 0, true, 11},
                        {"Newbie", 0, 0, true, 12},
                        {"Amateur", 0, 1, true, 13},
                        {"Pro", 0, 2, true, 14},
                        {"Pro without tables", 0, 2, false, 15}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    User user;
    user.opponent = c.opponent;
    user.level = c.level;
    user.tables = c.tables;
    user.seed = c.seed;
    int boards = 0, rollsThisTurn = 0, decisions = 0, boxes = 0;
    bool endChecked = false, keysTried = false;
    user.onBox = [&](const Box &b) {
      if (b.caption != "Select Your Opponent" && b.caption != "Start Order" &&
          b.caption != "Memory allocation problem")
        ++boxes;
    };
    // The computer's decisions, checked as each arrives (the tables are alive then).
    user.onStep = [&](const Step &s) {
      if (s.command == CMD_BANK_TURN) rollsThisTurn = 0;
      if (ClickOf(s) == kNone || !(s.before.activeplayer == 1 && opponent == 0)) return;
      ++decisions;
      bool roll = ClickOf(s) == kRollClick;
      int i = s.before.score[1], j = s.before.score[0], k = s.before.scoretemp;
      switch (c.level) {
        case 0:
          EXPECT_EQ(roll, rollsThisTurn < computerlimit) << "Newbie rolls its drawn number";
          EXPECT_TRUE(computerlimit >= 2 && computerlimit <= 5);
          break;
        case 1:
          EXPECT_EQ(roll, k < 20) << "Amateur holds at 20";
          break;
        default:
          if (c.tables)
            EXPECT_EQ(roll, option[i * goal2 + j * goal + k] == 1) << i << "," << j << "," << k;
          else
            EXPECT_EQ(roll, i > 70 || j > 70 || k < 21 + (int)Round((i - j) / 8.0));
      }
      if (roll) ++rollsThisTurn;
    };
    user.act = [&] {
      if (!keysTried && !c.tables && IsWindow(g_hWnd)) {
        keysTried = true;  // without tables the keys P and S do nothing
        headless::Key('P');
        headless::Key('S');
        return true;
      }
      if (okbutton == 1 && game::PersonToMove() && IsWindowEnabled(g_hBWnd1)) {
        ++boards;
        CheckBoard();
      }
      if (!endChecked && game::GamesWon() == 1 && quitflag == 1) {
        endChecked = true;
        char text[40];
        snprintf(text, sizeof text, "%s wins!", winmessage[winner[activeplayer]]);
        EXPECT_EQ(game::CellMismatches(erase[4], 390, 290, text, kSuccess), 0) << text;
        EXPECT_EQ(game::CellMismatches(erase[2], 360, 210, " ", kFrame), 0);
        EXPECT_EQ(game::CellMismatches(erase[3], 530, 210, " ", kFrame), 0);
        EXPECT_EQ(game::HeaderMismatches(activeplayer + 2 * opponent), 0);
        EXPECT_EQ(winner[1], c.opponent + 1);
        EXPECT_FALSE(IsWindowEnabled(g_hBWnd1) || IsWindowEnabled(g_hBWnd2) ||
                     IsWindowEnabled(g_hBWnd3));
      }
      return false;
    };
    EXPECT_EQ(game::Play(user), 0);
    EXPECT_FALSE(headless::Stuck());
    const game::Log &log = game::Seen();
    EXPECT_EQ(game::GamesWon(), 1);
    EXPECT_TRUE(endChecked);
    EXPECT_GT(boards, 5);
    EXPECT_EQ(boxes, 0) << "no message box in a plain game (and none for P, S without tables)";
    if (c.opponent == 0) {
      EXPECT_GT(decisions, 5);
    }
    int clicks = CheckMoves(log.steps, c.opponent);
    EXPECT_GT(clicks, 20);
    // The first command is the new game; when the computer begins, its first decision is
    // made inside it, so its click comes right after.
    ASSERT_FALSE(log.steps.empty());
    EXPECT_EQ(log.steps[0].command, IDM_NEW_GAME);
    EXPECT_EQ(log.steps[0].after.okbutton, 1);
    bool computerBegins = log.steps[0].after.activeplayer == 1 && c.opponent == 0;
    EXPECT_EQ(log.steps[0].after.buttons, computerBegins ? 0 : 3);
    if (computerBegins) {
      EXPECT_NE(ClickOf(log.steps[1]), kNone);
    }
    // Exit once the game is over: the window is destroyed once, everything is released,
    // and no window procedure runs after WinMain has returned.
    EXPECT_EQ(log.destroys, 1);
    EXPECT_FALSE(IsWindow(g_hWnd));
    EXPECT_EQ(prob, nullptr);
    EXPECT_EQ(option, nullptr);
    EXPECT_EQ(g_vhdc, nullptr);
    int calls = log.procCalls;
    headless::RunUntilIdle();
    EXPECT_EQ(log.procCalls, calls);
  }
}

// Clicks and keys that arrive while the die rolls, during the pauses and the notice, and
// during the computer's turn are dropped: never a second roll, no new game, no Exit box.
TEST(Game, InputDuringAMoveIsDropped) {
  User user;
  user.level = 1;  // Amateur
  user.seed = 21;
  int bursts = 0;
  std::vector<std::string> boxes;
  user.onBox = [&](const Box &b) { boxes.push_back(b.caption); };
  auto burst = [](DWORD span) {
    DWORD now = headless::Now();
    for (DWORD t = 100; t + 200 < span; t += 300) {
      headless::At(now + t, [] { headless::ClickCenter(g_hBWnd1); });
      headless::At(now + t + 100, [] { headless::ClickCenter(g_hBWnd3); });
      headless::At(now + t + 200, [t] { headless::Key(t % 600 ? 'N' : VK_ESCAPE); });
    }
  };
  user.act = [&] {
    if (okbutton != 1 || !game::PersonToMove() || !IsWindowEnabled(g_hBWnd1) || bursts >= 6)
      return false;
    ++bursts;
    if (scoretemp < 20) {
      headless::ClickCenter(g_hBWnd1);
      burst(1700);  // the roll and its pause (and a notice after it)
    } else {
      headless::ClickCenter(g_hBWnd2);
      burst(1700);  // the computer's turn: its pause and its first roll
    }
    return true;
  };
  EXPECT_EQ(game::Play(user), 0);
  const std::vector<Step> &steps = game::Seen().steps;
  EXPECT_EQ(bursts, 6);
  CheckMoves(steps, 0);
  int newGames = 0, quits = 0;
  for (const Step &s : steps) {
    newGames += s.command == IDM_NEW_GAME;
    quits += ClickOf(s) == kQuitClick;
    EXPECT_FALSE(s.command == IDM_EXIT && s.before.quitflag == 0)
        << "Escape during a move reached the game";
  }
  EXPECT_EQ(newGames, 1);
  EXPECT_EQ(quits, 0);
  EXPECT_EQ(game::GamesWon(), 1);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Select Your Opponent", "Start Order"}));
}

// New Game is refused while a move is awaited; Exit is refused with a box during a game and
// accepted after Quit, which ends the game and clears the board.
TEST(Game, NewGameExitAndQuit) {
  User user;
  user.opponent = 1;
  user.seed = 31;
  user.games = 2;
  int stage = 0;
  std::vector<Box> boxes;
  user.onBox = [&](const Box &b) { boxes.push_back(b); };
  bool noticeSeen = false;
  auto watchNotice = [&](HWND, RECT) {
    if (!noticeSeen && quitflag == 1 && g_hdc &&
        game::CellMismatches(erase[4], 375, 290, "Game terminated", kWarning) == 0)
      noticeSeen = true;
  };
  DWORD exitAt = 0;
  user.act = [&] {
    if (!IsWindow(g_hWnd) || game::OpenBox().hwnd) return false;
    bool awaiting = okbutton == 1 && IsWindowEnabled(g_hBWnd1);
    switch (stage) {
      case 0:  // a move is awaited: N does nothing, Escape shows the box
        if (!awaiting) return false;
        headless::Key('N');
        headless::Key(VK_ESCAPE);
        ++stage;
        return true;
      case 1:  // the game goes on: Quit
        EXPECT_TRUE(awaiting);
        EXPECT_EQ(quitflag, 0);
        headless::SetDrawHook(watchNotice);
        headless::ClickCenter(g_hBWnd3);
        ++stage;
        return true;
      case 2:  // no game: the board is cleared
        headless::SetDrawHook(nullptr);
        EXPECT_TRUE(noticeSeen) << "\"Game terminated\" was not shown";
        EXPECT_EQ(quitflag, 1);
        EXPECT_EQ(okbutton, 0);
        EXPECT_EQ(score[0] + score[1], 0);
        EXPECT_EQ(game::CellMismatches(erase[0], 360, 110, "0", kFrame), 0);
        EXPECT_EQ(game::CellMismatches(erase[1], 530, 110, "0", kFrame), 0);
        EXPECT_EQ(game::CellMismatches(erase[2], 360, 210, " ", kFrame), 0);
        EXPECT_EQ(game::CellMismatches(erase[3], 530, 210, " ", kFrame), 0);
        EXPECT_EQ(game::CellMismatches(erase[4], 375, 290, " ", kFrame), 0);
        ++stage;
        return false;  // the default part starts the second game with N
      case 3:          // a new game from scratch, then Quit and Exit
        if (!awaiting) return false;
        EXPECT_EQ(score[0] + score[1], 0);
        headless::ClickCenter(g_hBWnd3);
        ++stage;
        return true;
      case 4:
        exitAt = headless::Now();
        headless::Key(VK_ESCAPE);
        ++stage;
        return true;
      default:
        return false;
    }
  };
  EXPECT_EQ(game::Play(user), 0);
  EXPECT_EQ(stage, 5);
  const std::vector<Step> &steps = game::Seen().steps;
  // The refused New Game changed nothing.
  int refused = 0;
  for (const Step &s : steps) {
    if (s.command != IDM_NEW_GAME || s.before.okbutton != 1) continue;
    ++refused;
    EXPECT_EQ(s.after.okbutton, 1);
    EXPECT_EQ(s.after.scoretemp, s.before.scoretemp);
  }
  EXPECT_EQ(refused, 1);
  int exitBoxes = 0;
  for (const Box &b : boxes) {
    if (b.text != kExitRefused) continue;
    ++exitBoxes;
    EXPECT_EQ(b.caption, "Zant Pig");
  }
  EXPECT_EQ(exitBoxes, 1);
  // Exit after Quit: the closing splash holds the thread for two seconds, then the end.
  EXPECT_GE(headless::Now() - exitAt, 2000u);
  EXPECT_LE(headless::Now() - exitAt, 2100u);
  EXPECT_EQ(game::Seen().destroys, 1);
  EXPECT_FALSE(IsWindow(g_hWnd));
}

// Closing the window through its frame ends the program with 0 at any moment: the close
// waits for the move under way, is ignored while a dialog disables the window, and inside
// a message box it destroys the window under the box; what runs after the box then finds
// no tables and no surfaces. One splash, everything released.
TEST(Game, ClosingTheWindowAtAnyMoment) {
  enum When { kBeforeGames, kPersonToMove, kAfterClick, kDialog, kBox };
  struct Case {
    const char *name;
    int opponent;
    When when;
    const char *keys;  // pressed one by one at the first person's move, each box answered
    const char *box;   // the dialog's caption, or the start of the box's text or caption
    DWORD after;       // kAfterClick: ms after a click on Roll (two people) or Hold
  };
  const Case cases[] = {
      {"before any game", 1, kBeforeGames, "", nullptr, 0},
      {"a person to move", 1, kPersonToMove, "", nullptr, 0},
      {"while the die rolls", 1, kAfterClick, "", nullptr, 300},
      {"in the pause after a roll", 1, kAfterClick, "", nullptr, 1200},
      {"the computer's turn", 0, kAfterClick, "", nullptr, 500},
      {"the opponent dialog", 1, kDialog, "", "Select Your Opponent", 0},
      {"the start-order dialog", 1, kDialog, "", "Start Order", 0},
      {"the strategy warning", 0, kBox, "O", "WARNING", 0},
      {"display switched off", 0, kBox, "P", "Probability display disabled.", 0},
      {"display switched on", 0, kBox, "PP", "Probability display enabled.", 0},
      {"suggestion mode on", 0, kBox, "S", "Suggestion mode enabled.", 0},
      {"suggestion mode off", 0, kBox, "SS", "Suggestion mode disabled.", 0},
      {"the About box", 0, kBox, "A", "About", 0},
      {"Exit refused", 0, kBox, "\x1b", kExitRefused, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    User user;
    user.opponent = c.opponent;
    user.level = 1;
    user.seed = 41;
    const char *key = c.keys;
    bool closed = false, ignoredClose = false;
    DWORD closedAt = 0;
    auto close = [&] {
      closed = true;
      closedAt = headless::Now();
      headless::CloseFromFrame(g_hWnd);
    };
    user.act = [&] {
      if (closed || !IsWindow(g_hWnd)) return false;
      Box b = game::OpenBox();
      if (c.when == kDialog && !ignoredClose && b.caption == c.box) {
        ignoredClose = true;  // the dialog has disabled the window: nothing happens
        headless::CloseFromFrame(g_hWnd);
        return true;
      }
      if (c.when == kBox && !*key && b.hwnd &&
          (b.caption == c.box || b.text.rfind(c.box, 0) == 0)) {
        close();
        return true;
      }
      if (c.when == kBeforeGames) {
        close();
        return true;
      }
      if (b.hwnd || !(okbutton == 1 && game::PersonToMove() && IsWindowEnabled(g_hBWnd1)))
        return false;
      if (*key) {
        headless::Key(UINT(*key++));
        return true;
      }
      if (c.when == kAfterClick) {
        headless::ClickCenter(c.opponent == 0 ? g_hBWnd2 : g_hBWnd1);
        headless::At(headless::Now() + c.after, close);
        closed = true;
        return true;
      }
      if (c.when != kBox) close();
      return c.when != kBox;
    };
    EXPECT_EQ(game::Play(user), 0);
    EXPECT_FALSE(headless::Stuck());
    EXPECT_TRUE(closed);
    EXPECT_EQ(ignoredClose, c.when == kDialog);
    const game::Log &log = game::Seen();
    EXPECT_EQ(log.destroys, 1);
    EXPECT_FALSE(IsWindow(g_hWnd));
    EXPECT_TRUE(prob == nullptr && option == nullptr && allocated == 0) << "tables left";
    EXPECT_TRUE(g_hdc == nullptr && g_vhdc == nullptr && g_headershdc == nullptr &&
                g_dicehdc == nullptr && g_hFont == nullptr)
        << "surfaces left";
    EXPECT_GE(headless::Now() - closedAt, 2000u) << "the closing splash";
    EXPECT_LE(headless::Now() - closedAt, c.when == kAfterClick ? 6000u : 2100u);
    EXPECT_TRUE(headless::TopLevelWindows().empty());
    if (c.when == kAfterClick) {
      // The move under way was finished first: its chain ran to its end.
      ASSERT_FALSE(log.steps.empty());
      EXPECT_EQ(log.steps.back().command, CMD_AWAIT_MOVE);
    }
  }
}

// Returns "checked", "greyed" or "enabled" for a menu item.
std::string ItemState(int id) {
  UINT state = GetMenuState(GetMenu(g_hWnd), UINT(id), MF_BYCOMMAND);
  if (state & MF_GRAYED) return "greyed";
  return state & MF_CHECKED ? "checked" : "enabled";
}

// True when the message line is black in the window and in the off-screen image.
bool LineEmpty() {
  if (game::CellMismatches(erase[4], 400, 290, " ", kFrame) != 0) return false;
  for (int y = erase[4].top; y < erase[4].bottom; ++y)
    for (int x = erase[4].left; x < erase[4].right; ++x)
      if (GetPixel(g_vhdc, x, y) != 0) return false;
  return true;
}

// The probability display and suggestion mode, switched outside a game, during a person's
// turn and during the computer's: the menu's checks and greying, the boxes, and what the
// message line shows after each switch.
TEST(Game, ProbabilityDisplayAndSuggestionMode) {
  User user;
  user.level = 1;
  user.seed = 51;
  std::vector<std::string> boxes;
  user.onBox = [&](const Box &b) {
    if (b.caption == "Zant Pig") boxes.push_back(b.text);
  };
  int stage = 0;
  bool computerChecked = false;
  // During the computer's turn (its move handed over, its click not yet made), suggestion
  // mode is switched: no probability belongs to that state, so the line is only emptied.
  auto duringComputer = [&](HWND, RECT) {
    if (computerChecked || okbutton != 1 || game::PersonToMove() || quitflag != 0) return;
    computerChecked = true;
    ExtTextOutA(g_vhdc, 320, 290, ETO_OPAQUE, &erase[4], "stale", 5, nullptr);
    ExtTextOutA(g_hdc, 320, 290, ETO_OPAQUE, &erase[4], "stale", 5, nullptr);
    SendMessageA(g_hWnd, WM_COMMAND, IDM_SUGGESTION_MODE, 0);
    EXPECT_TRUE(LineEmpty()) << "something was drawn for the computer's turn";
  };
  user.act = [&] {
    if (!IsWindow(g_hWnd) || game::OpenBox().hwnd) return false;
    bool awaiting = okbutton == 1 && game::PersonToMove() && IsWindowEnabled(g_hBWnd1);
    if ((stage == 3 || stage == 7) && !awaiting) return false;
    switch (stage++) {
      case 0:  // no game yet: tables solved, display on, suggestion offered unchecked
        EXPECT_EQ(ItemState(IDM_DISPLAY_PROBABILITIES), "checked");
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "enabled");
        headless::Key('P');
        return true;
      case 1:
        EXPECT_EQ(ItemState(IDM_DISPLAY_PROBABILITIES), "enabled");
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "greyed");
        headless::Key('S');  // greyed: nothing
        headless::Key('P');
        return true;
      case 2:  // on again outside a game: nothing is drawn
        EXPECT_EQ(ItemState(IDM_DISPLAY_PROBABILITIES), "checked");
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "enabled");
        EXPECT_TRUE(LineEmpty());
        return false;  // the default part starts the game
      case 3:  // a person to move: the probability in the frame colour (checked by CheckBoard)
        CheckBoard();
        headless::Key('S');
        return true;
      case 4:  // suggestion mode: the same number in green or red
        EXPECT_EQ(suggestion, 1);
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "checked");
        CheckBoard();
        headless::Key('P');
        return true;
      case 5:  // display off: the line is emptied and suggestion mode greyed
        EXPECT_TRUE(LineEmpty());
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "greyed");
        headless::Key('P');
        return true;
      case 6:  // on again: suggestion mode comes back checked, the colour with it
        EXPECT_EQ(ItemState(IDM_SUGGESTION_MODE), "checked");
        CheckBoard();
        headless::SetDrawHook(duringComputer);
        headless::ClickCenter(g_hBWnd2);  // the computer's turn follows
        return true;
      case 7:  // back to the person, with suggestion mode switched off meanwhile
        headless::SetDrawHook(nullptr);
        EXPECT_TRUE(computerChecked);
        EXPECT_EQ(suggestion, 0);
        CheckBoard();
        headless::ClickCenter(g_hBWnd3);  // Quit
        return true;
      case 8:  // no game: switching either way draws nothing, off empties the line
        headless::Key('S');
        return true;
      case 9:
        EXPECT_TRUE(LineEmpty());
        headless::Key(VK_ESCAPE);
        return true;
      default:
        return false;
    }
  };
  EXPECT_EQ(game::Play(user), 0);
  EXPECT_EQ(stage, 10);
  const std::vector<std::string> want = {
      "Probability display disabled.",
      "Probability display enabled.",
      "Suggestion mode enabled.\n\nRoll if the probability is shown in green.\nHold if the "
      "probability is shown in red.\n\nHowever, remember that the probability\n    of rolling a "
      "' 1 ' is always 1 / 6  for any\n    roll regardless of your strategy.",
      "Probability display disabled.",
      "Probability display enabled.",
      "Suggestion mode disabled.",
      "Suggestion mode enabled.\n\nRoll if the probability is shown in green.\nHold if the "
      "probability is shown in red.\n\nHowever, remember that the probability\n    of rolling a "
      "' 1 ' is always 1 / 6  for any\n    roll regardless of your strategy."};
  EXPECT_EQ(boxes, want);
}

// Which of the dialog's radio buttons in [first, last] are checked and enabled, as
// "C" checked, "o" unchecked, lower case when greyed: e.g. "Co" or "Coo" / "coo".
std::string Radios(HWND dialog, int first, int last) {
  std::string out;
  for (int id = first; id <= last; ++id) {
    HWND b = GetDlgItem(dialog, id);
    bool checked = SendMessageA(b, BM_GETCHECK, 0, 0) == BST_CHECKED;
    char c = checked ? 'C' : 'O';
    out += IsWindowEnabled(b) ? c : char(c + 32);
  }
  return out;
}

// Every line of a dialog's text fits its box: no line wraps and none is cut off below.
void ExpectTextFits(HWND dialog) {
  HWND text = headless::FindChild(dialog, "STATIC", nullptr);
  ASSERT_NE(text, nullptr);
  RECT box, client;
  GetWindowRect(text, &box);
  GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  int width = std::min(box.right, origin.x + client.right) - box.left;
  int height = std::min(box.bottom, origin.y + client.bottom) - box.top;
  HDC dc = GetDC(text);
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(text, WM_GETFONT, 0, 0));
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  std::istringstream lines(game::DialogText(dialog));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    SIZE size;
    GetTextExtentPoint32A(dc, line.c_str(), int(line.size()), &size);
    EXPECT_LE(size.cx, width) << "too wide: \"" << line << "\"";
    ++count;
  }
  EXPECT_LE(count * tm.tmHeight, height) << count << " lines";
  SelectObject(dc, old);
  ReleaseDC(text, dc);
}

// The dialogs: the opponent dialog shows and stores the choice (the skill buttons greyed
// for a person, Escape offering them again), Enter closes every dialog and Escape none, the
// warning answered No opens nothing, and every text fits its box.
TEST(Game, Dialogs) {
  User user;
  user.seed = 61;
  user.games = 0;  // the test starts its games itself; the default part exits after them
  int stage = 0;
  std::vector<std::string> seen;
  user.onBox = [&](const Box &b) { seen.push_back(b.caption); };
  user.act = [&] {
    if (!IsWindow(g_hWnd)) return false;
    Box b = game::OpenBox();
    bool idle = !b.hwnd && okbutton == 0;
    switch (stage) {
      case 0:  // the first opponent dialog: Computer and Newbie, skills offered
        if (idle) return headless::Key('N'), true;
        EXPECT_EQ(Radios(b.hwnd, IDC_COMPUTER, IDC_HUMAN), "CO");
        EXPECT_EQ(Radios(b.hwnd, IDC_NEWBIE, IDC_PRO), "COO");
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_HUMAN));
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_AMATEUR));  // greyed: no effect
        break;
      case 1:
        EXPECT_EQ(Radios(b.hwnd, IDC_COMPUTER, IDC_HUMAN), "OC");
        EXPECT_EQ(Radios(b.hwnd, IDC_NEWBIE, IDC_PRO), "coo");
        headless::Key(VK_ESCAPE);  // stays open, skills offered again
        break;
      case 2:
        EXPECT_EQ(b.caption, "Select Your Opponent");
        EXPECT_EQ(Radios(b.hwnd, IDC_NEWBIE, IDC_PRO), "COO");
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_PRO));
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_HUMAN));
        ZantSeed(user.seed);
        headless::Key(VK_RETURN);
        break;
      case 3:  // the start order: Escape leaves it open, Enter rolls
        EXPECT_EQ(b.caption, "Start Order");
        EXPECT_EQ(game::DialogText(b.hwnd),
                  "Roll a die to determine who plays first\n\n1 - 3 :  Player 1\n\n"
                  "4 - 6 :  Player 2 / Computer");
        ExpectTextFits(b.hwnd);
        headless::Key(VK_ESCAPE);
        break;
      case 4:
        EXPECT_EQ(b.caption, "Start Order");
        headless::Key(VK_RETURN);
        break;
      case 5:  // a second person was stored, with the skill last shown
        if (b.hwnd || okbutton != 1) return false;
        EXPECT_EQ(opponent, 1);
        EXPECT_EQ(complevel, 2);
        headless::ClickCenter(g_hBWnd3);  // Quit, then a new game
        break;
      case 6:
        if (b.hwnd || okbutton != 0) return false;
        headless::Key('N');
        break;
      case 7:  // shown again as stored: a person, and Pro greyed
        EXPECT_EQ(Radios(b.hwnd, IDC_COMPUTER, IDC_HUMAN), "OC");
        EXPECT_EQ(Radios(b.hwnd, IDC_NEWBIE, IDC_PRO), "ooc");
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_COMPUTER));
        break;
      case 8:
        EXPECT_EQ(Radios(b.hwnd, IDC_NEWBIE, IDC_PRO), "OOC");
        headless::ClickCenter(GetDlgItem(b.hwnd, IDC_NEWBIE));
        headless::ClickCenter(GetDlgItem(b.hwnd, IDOK));
        break;
      case 9:
        headless::Key(VK_RETURN);  // start order
        break;
      case 10:  // the computer at Newbie; the rules: Escape leaves them open
        if (b.hwnd || okbutton != 1 || !game::PersonToMove()) return false;
        EXPECT_EQ(opponent, 0);
        EXPECT_EQ(complevel, 0);
        headless::Key('R');
        break;
      case 11:
        EXPECT_EQ(game::DialogText(b.hwnd).rfind("                  Zant Pig Rules\n\n", 0), 0u);
        ExpectTextFits(b.hwnd);
        headless::Key(VK_ESCAPE);
        break;
      case 12:
        EXPECT_EQ(game::DialogText(b.hwnd).rfind("                  Zant Pig Rules", 0), 0u);
        headless::Key(VK_RETURN);
        break;
      case 13:  // the warning, answered No: nothing opens
        if (b.hwnd) return false;
        headless::Key('O');
        break;
      case 14:
        EXPECT_EQ(b.caption, "WARNING");
        EXPECT_EQ(b.text,
                  "This item describes strategies for\n   increasing your chances of winning.\n\n"
                  "If you'd like to develop your own strategy\n   without help, you should not "
                  "read it.\n\nDo you want to proceed?");
        headless::ClickCenter(GetDlgItem(b.hwnd, IDNO));
        break;
      case 15:  // answered Yes: the strategy text
        EXPECT_EQ(b.hwnd, nullptr);
        headless::Key('O');
        break;
      case 16:
        headless::ClickCenter(GetDlgItem(b.hwnd, IDYES));
        break;
      case 17: {
        std::string text = game::DialogText(b.hwnd);
        EXPECT_EQ(text.rfind("                  Zant Pig Strategic Considerations\n\n", 0), 0u);
        for (const char *line : {"\n      1) if either player's score > 70  then roll\n",
                                 "\n      2) else if K < C + round [ ( J - I ) / D ]  then roll\n",
                                 "\n                    K = score for current turn\n",
                                 "\n                    I = player's total score\n",
                                 "\n                    J = opponent's total score\n",
                                 "\n                    C = 21 and D = 8\n"})
          EXPECT_NE(text.find(line), std::string::npos) << line;
        ExpectTextFits(b.hwnd);
        headless::Key(VK_ESCAPE);
        break;
      }
      case 18:
        EXPECT_EQ(game::DialogText(b.hwnd).rfind("                  Zant Pig Strategic", 0), 0u);
        headless::Key(VK_RETURN);
        break;
      case 19:  // About
        if (b.hwnd) return false;
        headless::Key('A');
        break;
      case 20:
        EXPECT_EQ(b.caption, "About");
        EXPECT_EQ(b.text,
                  "      Zant Pig\n\nAn implementation of Pig, a dice game in\n   which being "
                  "too greedy is a Bad Idea. Play\n   against the computer or another human.");
        headless::Key(VK_RETURN);
        break;
      case 21:
        if (b.hwnd) return false;
        headless::ClickCenter(g_hBWnd3);
        break;
      default:
        return false;
    }
    ++stage;
    return true;
  };
  EXPECT_EQ(game::Play(user), 0);
  EXPECT_EQ(stage, 22);
  const std::vector<std::string> want = {"Select Your Opponent",
                                         "Start Order",
                                         "Select Your Opponent",
                                         "Start Order",
                                         "",
                                         "WARNING",
                                         "WARNING",
                                         "",
                                         "About"};
  EXPECT_EQ(seen, want);
}

}  // namespace
