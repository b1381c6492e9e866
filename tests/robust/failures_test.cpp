// Every failure the layer can inject, at every position the program reaches.
//
// A scripted user takes the program through everything it can make: start-up, each
// message box and dialog, the menu's pop-up, a game against the computer to its end, the
// exit refused during the game, and Exit with the closing splash. For each kind of
// platform call that can be made to fail, the tour runs once without a failure to count
// the calls it reaches, then once for every position n, with the n-th call failing. Every
// run must end with exit code 0, not stuck, with nothing leaked and the cursor shown; where
// the program has its own box for a failure, that box must be shown.
//
// The matrix of positions and what the program did at each is printed, for the record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "program.h"
#include "resource.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace {

// A kind of call, as the layer can make it fail.
struct Point {
  headless::Fail fail;
  const char *name;  // the class or resource the rule is limited to, or null
  const char *what;
  bool tables;  // tours with the probability tables (the solver runs); otherwise without
};

const Point kPoints[] = {
    {headless::Fail::LocalAlloc, nullptr, "LocalAlloc (the probability and option tables)", true},
    {headless::Fail::RegisterClass, nullptr, "RegisterClassA (main, then splash class)", false},
    {headless::Fail::CreateWindow, "ZantWindow", "CreateWindowExA of the main window", false},
    {headless::Fail::CreateWindow, "BUTTON", "CreateWindowExA of a button", false},
    {headless::Fail::CreateWindow, "STATIC", "CreateWindowExA of a text in a dialog or box", false},
    {headless::Fail::CreateWindow, "#32770", "CreateWindowExA of a dialog or message box", false},
    {headless::Fail::CreateWindow, "#32768", "CreateWindowExA of the menu's pop-up", false},
    {headless::Fail::CreateWindow, "ZantSplashWindow", "CreateWindowExA of the splash window",
     false},
    {headless::Fail::CreateDC, nullptr, "GetDC and CreateCompatibleDC", false},
    {headless::Fail::CreateBitmap, nullptr, "CreateCompatibleBitmap, LoadBitmapA, LoadImageA",
     false},
};

// What the screen showed when the program next waited, and how many calls of the kind
// under test had been made by then.
struct Step {
  int calls = 0;
  std::string shown;
};

struct Outcome {
  int code = -1;
  bool stuck = false;
  bool mainShown = false;
  bool gameStarted = false;
  bool gameWon = false;
  bool closedByUser = false;  // the tour ran out of steps and closed the window
  bool splash = false;
  DWORD shutDownMs = 0;              // from the last wait for input to the end of WinMain
  int calls = 0;                     // calls of the kind under test
  std::vector<std::string> windows;  // dialogs and boxes, in the order they appeared
  std::vector<std::string> boxTexts;
  std::string leaks;
  int cursorCount = 0;
  std::vector<Step> steps;
};

// Where to click "Strategy" on the menu bar: its third item.
int StrategyBarX() {
  robust::FreshProcess();
  int x = robust::MenuBarItemCenters().at(2);
  robust::FreshProcess();
  return x;
}

class Tour {
 public:
  Tour(const Point &point, int failAt, int strategyX)
      : point_(point), failAt_(failAt), strategyX_(strategyX) {}

  Outcome Run() {
    robust::FreshProcess();
    if (!point_.tables && point_.fail != headless::Fail::LocalAlloc)
      headless::FailCall(headless::Fail::LocalAlloc);
    if (failAt_ >= 0) headless::FailCall(point_.fail, failAt_, 1, point_.name);
    headless::SetIdleHook([this] { OnIdle(); });
    headless::SetDrawHook([this](HWND hwnd, RECT) {
      if (robust::ClassOf(hwnd) == "ZantSplashWindow") out_.splash = true;
    });
    out_.code = robust::RunProgram();
    headless::SetIdleHook(nullptr);
    headless::SetDrawHook(nullptr);
    out_.shutDownMs = headless::Now() - lastIdle_;
    out_.stuck = headless::Stuck();
    out_.calls = headless::FailableCalls(point_.fail, point_.name);
    out_.leaks = robust::Leaks(headless::LiveHandles());
    out_.cursorCount = headless::CursorCount();
    out_.steps.push_back({out_.calls, "the program ended"});
    if (!headless::TopLevelWindows().empty()) out_.leaks += " and a window on the screen";
    return out_;
  }

 private:
  void OnIdle() {
    lastIdle_ = headless::Now();
    std::vector<HWND> dialogs = robust::OpenDialogs();
    bool mainShown = IsWindow(g_hWnd) && IsWindowVisible(g_hWnd);
    out_.mainShown = out_.mainShown || mainShown;
    std::string shown = dialogs.empty() ? (robust::OpenPopupMenu() ? "the menu's pop-up"
                                           : mainShown             ? "the main window"
                                                                   : "nothing")
                                        : robust::Describe(dialogs.back());
    out_.steps.push_back({headless::FailableCalls(point_.fail, point_.name), shown});

    if (++idles_ > 400) {
      // The tour cannot go on (a button is missing, say): the user closes the window.
      if (idles_ > 450) return;  // and if that does nothing either, the run is stuck
      out_.closedByUser = true;
      if (mainShown && IsWindowEnabled(g_hWnd))
        headless::CloseFromFrame(g_hWnd);
      else
        headless::Key(VK_RETURN);
      return;
    }
    if (!dialogs.empty()) {
      Answer(dialogs.back());
    } else if (robust::OpenPopupMenu()) {
      headless::Key(VK_ESCAPE);
    } else if (mainShown) {
      NextStep();
    } else {
      headless::Key(VK_RETURN);  // nothing to act on: the run will be found stuck
    }
  }

  // Every dialog and box is answered with Enter: OK, Yes, Roll. The dice are seeded while
  // the opponent dialog is open, so that every tour plays the same game.
  void Answer(HWND dialog) {
    if (seen_.empty() || seen_.back() != dialog) {
      seen_.push_back(dialog);
      out_.windows.push_back(robust::Describe(dialog));
      for (HWND c : robust::Children(dialog)) {
        if (robust::ClassOf(c) == "STATIC") out_.boxTexts.push_back(robust::TextOf(c));
      }
      if (robust::TextOf(dialog) == "Select Your Opponent") ZantSeed(7);
    }
    headless::Key(VK_RETURN);
  }

  // The tour of the main window: each message box, dialog and the pop-up once, a game
  // against the Newbie to its end with Exit refused on the way, then Exit.
  void NextStep() {
    const UINT keys[] = {'A', 'R', 'O', 'P', 'S', 'P', 'S', 'P'};
    if (step_ < int(std::size(keys))) {
      headless::Key(keys[step_++]);
      return;
    }
    if (step_ == int(std::size(keys))) {
      ++step_;
      headless::ClickMenuBar(g_hWnd, strategyX_, 5);
      return;
    }
    if (!out_.gameStarted) {
      out_.gameStarted = true;
      headless::Key('N');
      return;
    }
    if (quitflag == 0 && okbutton == 1) {
      // Roll up to a turn total of 12, then Hold; with a button missing, the other one.
      HWND want = scoretemp < 12 ? g_hBWnd1 : g_hBWnd2;
      if (!IsWindow(want)) want = IsWindow(g_hBWnd1) ? g_hBWnd1 : g_hBWnd2;
      if (!refused_) {
        refused_ = true;
        headless::Key(VK_ESCAPE);  // Exit, refused while the game runs
      } else if (IsWindow(want)) {
        headless::ClickCenter(want);
      } else {
        idles_ = 400;  // no way to play: the user closes the window
        OnIdle();
      }
      return;
    }
    out_.gameWon = out_.gameWon || score[0] > 99 || score[1] > 99;
    headless::Key(VK_ESCAPE);  // Exit
  }

  const Point &point_;
  int failAt_;
  int strategyX_;
  Outcome out_;
  int idles_ = 0;
  int step_ = 0;
  bool refused_ = false;
  DWORD lastIdle_ = 0;
  std::vector<HWND> seen_;
};

bool Contains(const std::vector<std::string> &list, const std::string &part) {
  for (const std::string &s : list)
    if (s.find(part) != std::string::npos) return true;
  return false;
}

// What the tour with the failure did, as against the tour without one.
std::string Describe(const Outcome &o, const Outcome &base) {
  std::string s;
  auto add = [&s](const std::string &part) { s += (s.empty() ? "" : "; ") + part; };
  for (size_t i = 0; i < o.windows.size(); ++i) {
    if (!Contains(base.windows, o.windows[i])) add("showed " + o.windows[i]);
  }
  for (const std::string &w : base.windows) {
    if (!Contains(o.windows, w)) add("no " + w);
  }
  if (o.mainShown && !o.gameWon && base.gameWon) add("game not played to its end");
  if (!o.mainShown) add("no main window");
  if (o.closedByUser) add("the user closed the window");
  if (base.splash && !o.splash) add(o.shutDownMs < 2000 ? "no splash, no pause" : "no splash");
  add("exit " + std::to_string(o.code));
  return s;
}

// Where the program has a box of its own for a failure, the box is shown with its text,
// and no other failure brings an error box; a splash that cannot be shown holds nobody up.
void ExpectHandled(const Point &point, int n, const Outcome &o) {
  bool error = Contains(o.windows, "\"Error\"");
  std::string name = point.name ? point.name : "";
  if (point.fail == headless::Fail::RegisterClass && n == 0) {
    EXPECT_TRUE(error && Contains(o.boxTexts, "Couldn't register main window class."));
    EXPECT_FALSE(o.mainShown);
  } else if (point.fail == headless::Fail::CreateWindow && name == "ZantWindow") {
    EXPECT_TRUE(error && Contains(o.boxTexts, "Couldn't create main window."));
    EXPECT_FALSE(o.mainShown);
  } else {
    EXPECT_FALSE(error) << "an error box came for a failure that has none";
  }
  if (point.fail == headless::Fail::LocalAlloc) {
    const char *text = n == 0 ? "probability buffer" : "option buffer";
    EXPECT_TRUE(Contains(o.windows, "\"Memory allocation problem\"") && Contains(o.boxTexts, text))
        << "no box telling of the " << text;
  }
  if (point.fail == headless::Fail::CreateWindow && name == "ZantSplashWindow") {
    EXPECT_LT(o.shutDownMs, 2000u) << "a pause for a splash that could not be shown";
  }
}

TEST(FailureInjection, EveryPositionOfEveryCallEndsWithZero) {
  const int strategyX = StrategyBarX();
  std::string matrix;
  for (const Point &point : kPoints) {
    SCOPED_TRACE(point.what);
    std::printf("trying %s\n", point.what);
    std::fflush(stdout);
    Outcome base = Tour(point, -1, strategyX).Run();
    ASSERT_EQ(base.code, 0);
    ASSERT_FALSE(base.stuck);
    ASSERT_FALSE(base.closedByUser) << "the tour did not get through without a failure";
    ASSERT_TRUE(base.gameWon);
    ASSERT_GT(base.calls, 0) << "the tour never makes this call";

    matrix += std::string(point.what) + ": " + std::to_string(base.calls) + " positions\n";
    std::string lastLine;
    int runFrom = 0;
    for (int n = 0; n <= base.calls; ++n) {
      std::string line;
      if (n < base.calls) {
        SCOPED_TRACE("position " + std::to_string(n));
        std::printf("  position %d\n", n);
        std::fflush(stdout);
        Outcome o = Tour(point, n, strategyX).Run();
        EXPECT_GT(o.calls, n) << "the failure was not reached";
        EXPECT_EQ(o.code, 0);
        EXPECT_FALSE(o.stuck) << "the program waited for input that could never come";
        EXPECT_EQ(o.leaks, "") << "the run did not give everything back";
        EXPECT_EQ(o.cursorCount, 0) << "the cursor stayed hidden";
        // Whatever could not be made, a game can still be played to its end in the window.
        if (o.mainShown) {
          EXPECT_TRUE(o.gameWon) << "the tour could not play its game";
        }
        ExpectHandled(point, n, o);
        // Where the call was made: on the way to what the tour without failures showed next.
        std::string at = "the end";
        for (const Step &s : base.steps) {
          if (s.calls > n) {
            at = s.shown;
            break;
          }
        }
        line = "on the way to " + at + ": " + Describe(o, base);
      }
      // Positions in a row with the same result are printed as one range.
      if (n > 0 && line != lastLine) {
        matrix += "  " +
                  (runFrom == n - 1 ? std::to_string(runFrom)
                                    : std::to_string(runFrom) + "-" + std::to_string(n - 1)) +
                  ": " + lastLine + "\n";
        runFrom = n;
      }
      lastLine = line;
    }
  }
  std::printf("\n%s", matrix.c_str());
}

}  // namespace
