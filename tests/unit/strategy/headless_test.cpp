// What the player sees and what the program is told: the die on the table, the buttons,
// the busy look of the solver, the computer's posted clicks and the message boxes of a
// failed allocation. Runs on the headless back end.
#include <gtest/gtest.h>

#include <zant_headless.h>

#include <cstring>
#include <string>
#include <vector>

#include "generator_model.h"
#include "solved_tables.h"
#include "zantpig.h"

namespace {

// The colour in which the test paints dice tile (column, row): every tile different.
COLORREF TileColour(int column, int row) {
  return RGB(40 + 60 * column, 20 + 30 * row, 99);
}

const int kRestX = 56, kRestY = 188;
const int kTumbleX[6] = {250, 216, 186, 152, 114, 71};
const int kTumbleY[6] = {123, 159, 220, 161, 206, 166};

HDC MemorySurface(HDC like, int w, int h, COLORREF fill) {
  HDC dc = CreateCompatibleDC(like);
  SelectObject(dc, CreateCompatibleBitmap(like, w, h));
  RECT r = {0, 0, w, h};
  HBRUSH brush = CreateSolidBrush(fill);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  return dc;
}

// A main window with its three buttons and the drawing surfaces the game draws on.
class Board : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset(1000);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "StrategyTestWindow";
    ASSERT_NE(RegisterClassA(&wc), 0);
    g_hWnd = CreateWindowExA(0, "StrategyTestWindow", "Zant Pig", WS_OVERLAPPED | WS_CAPTION, 0, 0,
                             600, 400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(g_hWnd, nullptr);
    ShowWindow(g_hWnd, SW_SHOW);
    HWND *buttons[3] = {&g_hBWnd1, &g_hBWnd2, &g_hBWnd3};
    const char *names[3] = {"Roll", "Hold", "Quit"};
    for (int b = 0; b < 3; b++) {
      *buttons[b] =
          CreateWindowExA(0, "BUTTON", names[b], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 400,
                          200 + 40 * b, 80, 30, g_hWnd, nullptr, wc.hInstance, nullptr);
      ASSERT_NE(*buttons[b], nullptr);
    }
    buttonhandle1 = reinterpret_cast<LPARAM>(g_hBWnd1);
    buttonhandle2 = reinterpret_cast<LPARAM>(g_hBWnd2);
    buttonhandle3 = reinterpret_cast<LPARAM>(g_hBWnd3);

    g_hdc = GetDC(g_hWnd);
    g_vhdc = MemorySurface(g_hdc, 600, 400, RGB(1, 2, 3));
    g_dicehdc = MemorySurface(g_hdc, 150, 350, 0);
    for (int c = 0; c < 3; c++) {
      for (int r = 0; r < 7; r++) {
        RECT tile = {50 * c, 50 * r, 50 * c + 50, 50 * r + 50};
        HBRUSH brush = CreateSolidBrush(TileColour(c, r));
        FillRect(g_dicehdc, &tile, brush);
        DeleteObject(brush);
      }
    }
  }

  // Which tile shows in the 50 x 50 cell at (x, y) of surface dc, checked at its four
  // corners and centre; {-1, -1} when the cell does not show one whole tile.
  static std::pair<int, int> TileAt(HDC dc, int x, int y) {
    COLORREF c = GetPixel(dc, x + 25, y + 25);
    const int probes[4][2] = {{0, 0}, {49, 0}, {0, 49}, {49, 49}};
    for (const auto &p : probes) {
      if (GetPixel(dc, x + p[0], y + p[1]) != c) return {-1, -1};
    }
    for (int column = 0; column < 3; column++) {
      for (int row = 0; row < 7; row++) {
        if (TileColour(column, row) == c) return {column, row};
      }
    }
    return {-1, -1};
  }

  static int FaceShown(HDC dc) {
    auto tile = TileAt(dc, kRestX, kRestY);
    return tile.first == 0 ? tile.second : -1;
  }
};

using Dice = Board;

TEST_F(Dice, RollShowsTheDrawnFaceAndDisablesTheButtons) {
  const uint32_t seed = 1765432100u;
  ZantSeed(seed);
  GeneratorModel model(seed);
  int seen[7] = {};
  for (int n = 0; n < 60; n++) {
    for (HWND b : {g_hBWnd1, g_hBWnd2, g_hBWnd3}) EnableWindow(b, TRUE);
    DWORD before = headless::Now();
    int face = Roll();
    ASSERT_EQ(face, model.Face()) << "roll " << n;
    seen[face]++;
    EXPECT_EQ(headless::Now() - before, 750u) << "six frames of 125 ms";
    EXPECT_FALSE(IsWindowEnabled(g_hBWnd1));
    EXPECT_FALSE(IsWindowEnabled(g_hBWnd2));
    EXPECT_FALSE(IsWindowEnabled(g_hBWnd3));
    // The face lies in the rest cell, on the window and on the off-screen image; the
    // tumble cells show the bare table again. The cells overlap, each one partly covering
    // the one before, so each is looked at where no later one reaches.
    ASSERT_EQ(FaceShown(g_vhdc), face);
    ASSERT_EQ(FaceShown(g_hdc), face);
    for (HDC dc : {g_vhdc, g_hdc}) {
      for (int i = 0; i < 6; i++) {
        ASSERT_EQ(GetPixel(dc, kTumbleX[i] + 44, kTumbleY[i] + 4), TileColour(2, i))
            << "tumble cell " << i;
      }
      // Where cell 1 overlaps cell 0, cell 1 was drawn later; the rest cell covers part
      // of cell 5.
      ASSERT_EQ(GetPixel(dc, 255, 165), TileColour(2, 1));
      ASSERT_EQ(GetPixel(dc, 100, 200), TileColour(0, face));
    }
  }
  for (int face = 1; face <= 6; face++) EXPECT_GT(seen[face], 0) << "face " << face;
}

TEST_F(Dice, StartLetsPlayerOneBeginOnFourToSix) {
  const uint32_t seed = 77u;
  ZantSeed(seed);
  GeneratorModel model(seed);
  int begins[2] = {};
  for (int n = 0; n < 30; n++) {
    DWORD before = headless::Now();
    int face = model.Face();
    int first = Start();
    EXPECT_EQ(first, face >= 4 ? 1 : 0) << "face " << face;
    begins[first]++;
    EXPECT_EQ(headless::Now() - before, 1750u);
    // The die is taken away again.
    EXPECT_EQ(TileAt(g_vhdc, kRestX, kRestY), std::make_pair(0, 0));
    EXPECT_EQ(TileAt(g_hdc, kRestX, kRestY), std::make_pair(0, 0));
  }
  EXPECT_GT(begins[0], 0);
  EXPECT_GT(begins[1], 0);
}

using Busy = Board;

TEST_F(Busy, SolvingEndsWithThePlainTableArrowCursorAndBlankLine) {
  g_bkgdhdc = MemorySurface(g_hdc, 300, 400, RGB(10, 120, 30));
  RECT tinted = {0, 0, 300, 400};
  HBRUSH tint = CreateSolidBrush(RGB(0, 255, 240));
  FillRect(g_vhdc, &tinted, tint);
  FillRect(g_hdc, &tinted, tint);
  DeleteObject(tint);
  SetRect(&erase[4], 301, 290, 590, 340);
  RECT line = erase[4];
  HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
  FillRect(g_vhdc, &line, grey);
  DeleteObject(grey);
  SetBkColor(g_vhdc, RGB(0, 0, 0));
  SetBkColor(g_hdc, RGB(0, 0, 0));
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SetCursorPos(400, 300);
  headless::SetTickStep(50);  // let time pass while it computes, so the notice blinks

  ASSERT_EQ(Allocate(), 0);
  ValueIterate();

  EXPECT_EQ(sweepcount, 63);
  EXPECT_GT(headless::Now(), 1000u + 600u) << "the clock should have moved";
  for (HDC dc : {g_vhdc, g_hdc}) {
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(10, 120, 30));
    EXPECT_EQ(GetPixel(dc, 299, 300), RGB(10, 120, 30));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 192, 255));
  }
  EXPECT_EQ(GetPixel(g_vhdc, 300, 5), RGB(1, 2, 3)) << "the score board is left alone";
  // The message line is blank: filled with black, no yellow left.
  for (int x = 301; x < 590; x += 3) {
    for (int y = 290; y < 340; y += 3) {
      ASSERT_EQ(GetPixel(g_vhdc, x, y), RGB(0, 0, 0)) << x << "," << y;
    }
  }
  EXPECT_EQ(GetObjectType(g_bkgdhdc), 0u) << "the picture's surface is released";
  EXPECT_EQ(headless::CursorShape(), 32512);
  POINT p = headless::CursorPos();
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 50);
}

// --- The computer -------------------------------------------------------------------

using ComputerPlayer = Board;

// What one call of Computer did: its result, the clicks it posted, the time it paused.
struct Decision {
  int result;
  std::vector<LPARAM> clicks;
  DWORD paused;
};

Decision Decide() {
  Decision d;
  DWORD before = headless::Now();
  d.result = Computer();
  d.paused = headless::Now() - before;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) {
      DispatchMessageA(&msg);
      continue;
    }
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(msg.hwnd, g_hWnd);
    EXPECT_EQ(msg.wParam, 0u);
    d.clicks.push_back(msg.lParam);
  }
  return d;
}

// Checks that the decision was a roll (a Roll click, then a second's pause) or a hold.
void ExpectMove(const Decision &d, bool roll, const std::string &what) {
  if (roll) {
    EXPECT_EQ(d.result, 0) << what;
    EXPECT_EQ(d.clicks, std::vector<LPARAM>{buttonhandle1}) << what << ": expected Roll";
    EXPECT_EQ(d.paused, 1000u) << what;
  } else {
    EXPECT_EQ(d.result, 1) << what;
    EXPECT_EQ(d.clicks, std::vector<LPARAM>{buttonhandle2}) << what << ": expected Hold";
    EXPECT_EQ(d.paused, 0u) << what;
  }
}

TEST_F(ComputerPlayer, NewbieRollsItsLimitThenHolds) {
  complevel = 0;
  for (int limit = 2; limit <= 5; limit++) {
    computerlimit = limit;
    computercount = 0;
    score[0] = 50, score[1] = 98, scoretemp = 40;  // scores play no part
    for (int n = 0; n < limit; n++) ExpectMove(Decide(), true, "decision " + std::to_string(n + 1));
    ExpectMove(Decide(), false, "limit " + std::to_string(limit));
    EXPECT_EQ(computercount, limit + 1);
  }
}

TEST_F(ComputerPlayer, AmateurHoldsAtTwenty) {
  complevel = 1;
  score[0] = 10, score[1] = 90;
  const struct {
    int turn;
    bool roll;
  } cases[] = {{0, true}, {2, true}, {19, true}, {20, false}, {25, false}, {60, false}};
  for (const auto &c : cases) {
    scoretemp = c.turn;
    ExpectMove(Decide(), c.roll, "turn total " + std::to_string(c.turn));
  }
}

TEST_F(ComputerPlayer, ProWithoutTablesHoldsAtTheThreshold) {
  complevel = 2;
  allocated = 0;
  // human, computer, the last turn total that rolls (the next one holds); -1: always roll
  const struct {
    int human, computer, lastRoll;
  } cases[] = {
      {0, 0, 20},   {50, 50, 20}, {0, 40, 25},  {40, 0, 15},  {0, 4, 21},
      {4, 0, 20},   {12, 0, 19},  {0, 3, 20},   {0, 12, 22},  {70, 10, 13},
      {10, 70, 28}, {70, 70, 20}, {71, 10, -1}, {10, 71, -1}, {99, 0, -1},
  };
  for (const auto &c : cases) {
    score[0] = c.human, score[1] = c.computer;
    for (int turn = 0; c.computer + turn < 100; turn++) {
      scoretemp = turn;
      bool roll = c.lastRoll < 0 || turn <= c.lastRoll;
      ExpectMove(Decide(), roll,
                 "human " + std::to_string(c.human) + ", computer " + std::to_string(c.computer) +
                     ", turn total " + std::to_string(turn));
    }
  }
}

TEST_F(ComputerPlayer, ProReadsItsOwnScoreFirst) {
  complevel = 2;
  ASSERT_EQ(Allocate(), 0);
  allocated = 1;
  // Roll at (computer 30, human 60, turn 7); hold at the mirrored state.
  option[30 * goal2 + 60 * goal + 7] = 1;
  option[60 * goal2 + 30 * goal + 7] = 0;
  score[0] = 60, score[1] = 30, scoretemp = 7;
  ExpectMove(Decide(), true, "computer 30, human 60");
  score[0] = 30, score[1] = 60;
  ExpectMove(Decide(), false, "computer 60, human 30");
  allocated = 0;
}

TEST_F(ComputerPlayer, ProWithSolvedTablesHoldsAtTwentyFromTheStart) {
  const SolvedTables &t = Solved();
  ASSERT_EQ(Allocate(), 0);
  std::memcpy(option, t.option.data(), t.option.size());
  allocated = 1;
  complevel = 2;
  score[0] = 0, score[1] = 0;
  for (int turn = 0; turn < 100; turn++) {
    scoretemp = turn;
    ExpectMove(Decide(), turn < 20, "turn total " + std::to_string(turn));
  }
  allocated = 0;
}

TEST_F(ComputerPlayer, UnknownLevelDoesNothing) {
  for (int level : {3, -1, 100}) {
    complevel = level;
    Decision d = Decide();
    EXPECT_EQ(d.result, -1) << "level " << level;
    EXPECT_TRUE(d.clicks.empty());
    EXPECT_EQ(d.paused, 0u);
  }
  complevel = 0;
}

// --- Allocation failure -------------------------------------------------------------

const char kProbText[] =
    "Not enough memory to allocate probability buffer.\n\nAlternate computer strategy will be "
    "used, and\n' Suggestion Mode ' will not be available.";
const char kOptionText[] =
    "Not enough memory to allocate option buffer.\n\nAlternate computer strategy will be "
    "used, and\n' Suggestion Mode ' will not be available.";

class AllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset(0);
    prob = nullptr;
    option = nullptr;
    g_hWnd = nullptr;
  }
  void TearDown() override { headless::SetIdleHook(nullptr); }

  // Runs Allocate, answering each message box with Enter; returns the boxes' texts.
  std::vector<std::string> AllocateAndAnswer(int *result) {
    std::vector<std::string> boxes;
    headless::SetIdleHook([&boxes] {
      HWND box = headless::FindTopLevel(nullptr, "Memory allocation problem");
      if (box == nullptr) return;
      for (const char *text : {kProbText, kOptionText}) {
        if (headless::FindChild(box, nullptr, text) != nullptr) boxes.push_back(text);
      }
      if (boxes.empty()) boxes.push_back("a box with another text");
      headless::Key(VK_RETURN);
    });
    *result = Allocate();
    EXPECT_FALSE(headless::Stuck()) << "a message box was left open";
    return boxes;
  }
};

TEST_F(AllocationFailure, ProbabilityTable) {
  headless::FailCall(headless::Fail::LocalAlloc, 0, 1);
  int result = -1;
  std::vector<std::string> boxes = AllocateAndAnswer(&result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(boxes, std::vector<std::string>{kProbText});
  EXPECT_EQ(prob, nullptr);
  EXPECT_EQ(option, nullptr);
}

TEST_F(AllocationFailure, OptionTable) {
  headless::FailCall(headless::Fail::LocalAlloc, 1, 1);
  int result = -1;
  std::vector<std::string> boxes = AllocateAndAnswer(&result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(boxes, std::vector<std::string>{kOptionText});
  EXPECT_EQ(prob, nullptr) << "the probability table is given back";
  EXPECT_EQ(option, nullptr);
}

}  // namespace
