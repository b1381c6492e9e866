// What the player sees and what the program is told: the die on the table, the buttons,
// the end of the solver's busy look, the computer's posted clicks and the message boxes
// of a failed allocation. Runs on the headless back end.
#include <gtest/gtest.h>

#include <zant_headless.h>

#include <string>
#include <vector>

#include "generator_model.h"
#include "zantpig.h"

namespace {

// Every dice tile is painted in a colour of its own.
COLORREF TileColour(int column, int row) {
  return RGB(40 + 60 * column, 20 + 30 * row, 99);
}

const int kTumbleX[6] = {250, 216, 186, 152, 114, 71};
const int kTumbleY[6] = {123, 159, 220, 161, 206, 166};

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT r = {left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

HDC Surface(int w, int h, COLORREF colour) {
  HDC dc = CreateCompatibleDC(g_hdc);
  SelectObject(dc, CreateCompatibleBitmap(g_hdc, w, h));
  Fill(dc, 0, 0, w, h, colour);
  return dc;
}

// A main window with its Roll, Hold and Quit buttons and the surfaces the game draws on.
class Board : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset(1000);  // this also frees the tables of earlier tests
    prob = nullptr, option = nullptr;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "StrategyTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    g_hWnd = CreateWindowExA(0, "StrategyTest", "Zant Pig", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 600,
                             400, nullptr, nullptr, nullptr, nullptr);
    HWND *buttons[3] = {&g_hBWnd1, &g_hBWnd2, &g_hBWnd3};
    for (int b = 0; b < 3; b++) {
      *buttons[b] = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 400, 40 * b, 80, 30,
                                    g_hWnd, nullptr, nullptr, nullptr);
    }
    buttonhandle1 = reinterpret_cast<LPARAM>(g_hBWnd1);
    buttonhandle2 = reinterpret_cast<LPARAM>(g_hBWnd2);
    buttonhandle3 = reinterpret_cast<LPARAM>(g_hBWnd3);
    g_hdc = GetDC(g_hWnd);
    g_vhdc = Surface(600, 400, RGB(1, 2, 3));
    g_dicehdc = Surface(150, 350, 0);
    for (int c = 0; c < 3; c++) {
      for (int r = 0; r < 7; r++)
        Fill(g_dicehdc, 50 * c, 50 * r, 50 * c + 50, 50 * r + 50, TileColour(c, r));
    }
  }

  // The face in the die's rest cell (56, 188), if the whole cell shows one face tile.
  static int FaceShown(HDC dc) {
    COLORREF c = GetPixel(dc, 56, 188);
    if (GetPixel(dc, 105, 188) != c || GetPixel(dc, 56, 237) != c || GetPixel(dc, 105, 237) != c) {
      return -1;
    }
    for (int row = 0; row < 7; row++) {
      if (c == TileColour(0, row)) return row;
    }
    return -1;
  }
};

TEST_F(Board, RollShowsTheDrawnFaceAndDisablesTheButtons) {
  ZantSeed(1765432100u);
  GeneratorModel model(1765432100u);
  int seen[7] = {};
  for (int n = 0; n < 60; n++) {
    for (HWND b : {g_hBWnd1, g_hBWnd2, g_hBWnd3}) EnableWindow(b, TRUE);
    DWORD before = headless::Now();
    int face = Roll();
    ASSERT_EQ(face, model.Face()) << "roll " << n;
    seen[face]++;
    EXPECT_EQ(headless::Now() - before, 750u) << "six frames of 125 ms";
    EXPECT_FALSE(IsWindowEnabled(g_hBWnd1) || IsWindowEnabled(g_hBWnd2) ||
                 IsWindowEnabled(g_hBWnd3));
    for (HDC dc : {g_vhdc, g_hdc}) {
      ASSERT_EQ(FaceShown(dc), face);
      // The tumble cells show the bare table again. They overlap, each partly covering
      // the one before, so each is looked at where no later one reaches.
      for (int i = 0; i < 6; i++) {
        ASSERT_EQ(GetPixel(dc, kTumbleX[i] + 44, kTumbleY[i] + 4), TileColour(2, i))
            << "cell " << i;
      }
      ASSERT_EQ(GetPixel(dc, 255, 165), TileColour(2, 1)) << "cell 1 comes after cell 0";
    }
  }
  for (int face = 1; face <= 6; face++) EXPECT_GT(seen[face], 0) << "face " << face;
}

TEST_F(Board, StartLetsPlayerOneBeginOnFourToSixAndTakesTheDieAway) {
  ZantSeed(77u);
  GeneratorModel model(77u);
  int begins[2] = {};
  for (int n = 0; n < 30; n++) {
    DWORD before = headless::Now();
    int face = model.Face();
    int first = Start();
    ASSERT_EQ(first, face >= 4 ? 1 : 0) << "face " << face;
    begins[first]++;
    EXPECT_EQ(headless::Now() - before, 1750u);
    EXPECT_EQ(FaceShown(g_vhdc), 0);
    EXPECT_EQ(FaceShown(g_hdc), 0);
  }
  EXPECT_TRUE(begins[0] > 0 && begins[1] > 0);
}

TEST_F(Board, SolvingEndsWithThePlainTableArrowCursorAndBlankLine) {
  const COLORREF table = RGB(10, 120, 30);
  g_bkgdhdc = Surface(300, 400, table);
  Fill(g_vhdc, 0, 0, 300, 400, RGB(0, 255, 240));  // the busy tint
  Fill(g_vhdc, 301, 290, 590, 340, RGB(128, 128, 128));
  SetRect(&erase[4], 301, 290, 590, 340);
  SetBkColor(g_vhdc, 0);
  SetBkColor(g_hdc, 0);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SetCursorPos(400, 300);
  headless::SetTickStep(1);  // time passes while it computes: the notice blinks

  ASSERT_EQ(Allocate(), 0);
  ValueIterate();

  EXPECT_GT(headless::Now(), 1000u + 600u);
  for (HDC dc : {g_vhdc, g_hdc}) {
    EXPECT_TRUE(GetPixel(dc, 5, 5) == table && GetPixel(dc, 299, 300) == table);
    EXPECT_EQ(GetTextColor(dc), RGB(0, 192, 255));
  }
  EXPECT_EQ(GetPixel(g_vhdc, 300, 5), RGB(1, 2, 3)) << "the score board is left alone";
  for (int x = 301; x < 590; x += 3) {
    for (int y = 290; y < 340; y += 3) ASSERT_EQ(GetPixel(g_vhdc, x, y), 0u) << "blank line";
  }
  EXPECT_EQ(GetObjectType(g_bkgdhdc), 0u) << "the picture's surface is released";
  EXPECT_EQ(headless::CursorShape(), 32512);
  EXPECT_TRUE(headless::CursorPos().x == 50 && headless::CursorPos().y == 50);
}

// The busy notice is shown and hidden in turn, each for 300 ms of the tick count, for as
// long as the solver runs; the tick counter's wrap at 2^32 does not disturb it.
TEST_F(Board, BusyNoticeBlinksEveryThreeHundredMillisecondsAcrossTheTickWrap) {
  g_bkgdhdc = Surface(300, 400, RGB(10, 120, 30));
  SetRect(&erase[4], 301, 290, 590, 340);
  SetBkColor(g_vhdc, 0);
  SetBkColor(g_hdc, 0);
  headless::SetNow(0xFFFFF000u);  // about 4 s before the counter wraps
  headless::SetTickStep(1);       // the solver reads the clock once a level: 6,300 ms in all

  std::vector<std::pair<DWORD, bool>> changes;  // when the line changed, and to what
  headless::SetDrawHook([&](HWND hwnd, RECT r) {
    if (hwnd != g_hWnd || r.left > 301 || r.top > 290 || r.right < 590) return;
    headless::Pixels px = headless::ClientPixels(g_hWnd);
    bool yellow = false;
    for (int y = 290; y < 340 && !yellow; y++) {
      for (int x = 301; x < 590 && !yellow; x++) {
        uint32_t p = px.At(x, y);
        yellow = (p >> 16) > 150 && ((p >> 8) & 0xFF) > 150 && (p & 0xFF) < 60;
      }
    }
    if (changes.empty() || changes.back().second != yellow)
      changes.push_back({headless::Now(), yellow});
  });
  ASSERT_EQ(Allocate(), 0);
  ValueIterate();
  headless::SetDrawHook(nullptr);

  ASSERT_GE(changes.size(), 10u) << "the solve runs for many periods";
  EXPECT_TRUE(changes.front().second) << "the notice shows at once";
  EXPECT_FALSE(changes.back().second) << "the line is blank at the end";
  bool wrapped = false;
  for (size_t n = 1; n + 1 < changes.size(); n++) {
    EXPECT_NE(changes[n].second, changes[n - 1].second);
    DWORD period = changes[n].first - changes[n - 1].first;
    EXPECT_TRUE(period >= 300 && period <= 301) << "change " << n << " after " << period << " ms";
    wrapped = wrapped || changes[n].first < changes[n - 1].first;
  }
  EXPECT_TRUE(wrapped) << "the counter wrapped while the notice blinked";
}

// --- The computer ----------------------------------------------------------------

// Calls Computer and checks its result, the one click it posted to the main window
// (Roll, then a pause of a second, or Hold) or that it did nothing.
enum Move { kRoll = 0, kHold = 1, kNothing = -1 };
void ExpectMove(Move move, const std::string &what) {
  DWORD before = headless::Now();
  EXPECT_EQ(Computer(), move) << what;
  EXPECT_EQ(headless::Now() - before, move == kRoll ? 1000u : 0u) << what;
  std::vector<LPARAM> clicks;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT)
      DispatchMessageA(&msg);
    else if (msg.message == WM_COMMAND && msg.hwnd == g_hWnd && msg.wParam == 0)
      clicks.push_back(msg.lParam);
    else
      ADD_FAILURE() << what << ": message " << msg.message << " posted";
  }
  std::vector<LPARAM> expected;
  if (move != kNothing) expected.push_back(move == kRoll ? buttonhandle1 : buttonhandle2);
  EXPECT_EQ(clicks, expected) << what;
}

TEST_F(Board, NewbieRollsItsLimitThenHolds) {
  complevel = 0;
  score[0] = 50, score[1] = 98, scoretemp = 40;  // scores play no part
  for (int limit = 2; limit <= 5; limit++) {
    computerlimit = limit, computercount = 0;
    for (int n = 0; n < limit; n++) ExpectMove(kRoll, "decision " + std::to_string(n + 1));
    ExpectMove(kHold, "limit " + std::to_string(limit));
    EXPECT_EQ(computercount, limit + 1);
  }
}

TEST_F(Board, AmateurHoldsAtTwenty) {
  complevel = 1;
  score[0] = 10, score[1] = 90;
  for (int turn : {0, 2, 19, 20, 25, 60}) {
    scoretemp = turn;
    ExpectMove(turn < 20 ? kRoll : kHold, "turn total " + std::to_string(turn));
  }
}

TEST_F(Board, ProWithoutTablesHoldsAtAThresholdMovedByTheLead) {
  complevel = 2;
  allocated = 0;
  // human, computer, the last turn total that rolls; -1: rolls whatever the total
  const int cases[][3] = {{0, 0, 20},   {50, 50, 20}, {0, 40, 25},  {40, 0, 15},  {0, 4, 21},
                          {4, 0, 20},   {12, 0, 19},  {0, 3, 20},   {0, 12, 22},  {70, 10, 13},
                          {10, 70, 28}, {70, 70, 20}, {71, 10, -1}, {10, 71, -1}, {99, 0, -1}};
  for (const auto &c : cases) {
    score[0] = c[0], score[1] = c[1];
    for (scoretemp = 0; score[1] + scoretemp < 100; scoretemp++) {
      ExpectMove(c[2] < 0 || scoretemp <= c[2] ? kRoll : kHold,
                 "human " + std::to_string(c[0]) + ", computer " + std::to_string(c[1]) +
                     ", turn total " + std::to_string(scoretemp));
    }
  }
}

TEST_F(Board, ProWithTablesReadsItsOwnScoreFirst) {
  complevel = 2;
  ASSERT_EQ(Allocate(), 0);
  allocated = 1;
  option[30 * goal2 + 60 * goal + 7] = 1;  // roll at (computer 30, human 60, turn 7)
  score[0] = 60, score[1] = 30, scoretemp = 7;
  ExpectMove(kRoll, "computer 30, human 60");
  score[0] = 30, score[1] = 60;
  ExpectMove(kHold, "computer 60, human 30");
  allocated = 0;
}

TEST_F(Board, UnknownLevelDoesNothing) {
  for (int level : {3, -1, 100}) {
    complevel = level;
    ExpectMove(kNothing, "level " + std::to_string(level));
  }
  complevel = 0;
}

// --- Allocation failure ------------------------------------------------------------

const char kProbText[] =
    "Not enough memory to allocate probability buffer.\n\nAlternate computer strategy will be "
    "used, and\n' Suggestion Mode ' will not be available.";
const char kOptionText[] =
    "Not enough memory to allocate option buffer.\n\nAlternate computer strategy will be "
    "used, and\n' Suggestion Mode ' will not be available.";

// Makes allocation number `failing` (0 = the first) fail, runs Allocate and answers each
// message box with Enter. Returns the texts of the boxes shown.
std::vector<std::string> AllocateFailing(int failing) {
  headless::Reset(0);  // this also frees the tables of earlier tests
  prob = nullptr, option = nullptr, g_hWnd = nullptr;
  std::vector<std::string> boxes;
  headless::SetIdleHook([&boxes] {
    HWND box = headless::FindTopLevel(nullptr, "Memory allocation problem");
    if (box == nullptr) return;
    const char *text = headless::FindChild(box, nullptr, kProbText)     ? kProbText
                       : headless::FindChild(box, nullptr, kOptionText) ? kOptionText
                                                                        : "another text";
    boxes.push_back(text);
    headless::Key(VK_RETURN);
  });
  headless::FailCall(headless::Fail::LocalAlloc, failing, 1);
  EXPECT_EQ(Allocate(), 1);
  EXPECT_FALSE(headless::Stuck()) << "a message box was left open";
  EXPECT_TRUE(prob == nullptr && option == nullptr) << "no table is kept";
  headless::SetIdleHook(nullptr);
  headless::ClearFailures();
  return boxes;
}

TEST(AllocationFailure, TellsWhichTableCouldNotBeHad) {
  EXPECT_EQ(AllocateFailing(0), std::vector<std::string>{kProbText});
  EXPECT_EQ(AllocateFailing(1), std::vector<std::string>{kOptionText});
}

}  // namespace
