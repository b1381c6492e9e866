// The monkey: the whole program, run headless, under a seeded stream of random user
// input, with the rules of the game and of its window checked after every event.
//
//   monkey [--events N] [--seed S] [--tables P] [--quiet]
//
// Each run starts the program as a fresh process would and ends when the window is closed
// through its frame or left with Exit; then the next run starts, until N events have been
// made. A run gets the probability tables with chance P (the first run always does);
// without them it starts as it does when memory is short, which skips the solver. The same
// seed gives the same runs, dice included: the dice are seeded from the stream while the
// opponent dialog is open, after the game has seeded them from the clock.
//
// Events: clicks on the buttons (one, or a second at once as a hammering user makes it),
// anywhere in the window, on the menu bar and in an open pop-up; the menu keys alone and with
// Shift, Ctrl or Alt; Enter, Escape, Space, Tab and the arrows; clicks and keys on whichever dialog
// or message box is open; input that arrives while the program sleeps (the roll, the pauses, the
// notices, the computer's pause); moving and uncovering the window; closing it through the frame.
//
// Checked after every event, and around every message the main window handles:
//   - the banked scores and the turn total are what the faces shown by the die make
//     (a 1 loses the turn total, Hold banks it); a banked score only grows within a game
//     and never exceeds 105;
//   - quitflag, okbutton and the three buttons agree with one state of a game: no game or
//     game over, a person to move, the computer to move (never seen idle: its click is
//     already queued), a move in progress (never seen idle either);
//   - every roll follows exactly one accepted click of Roll, every accepted click comes
//     from the event being made while the buttons were usable, or from the computer
//     whose turn it is, once;
//   - the window shows what the off-screen image holds (repainted after damage);
//   - the menu's check marks and greying follow showprob, suggestion and allocated;
//   - a run ends with exit code 0, not stuck, with every window, device context, GDI
//     object and table given back, and the cursor shown again.
// A failure prints the seed, the run, the event and the last events, and exits with 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "program.h"
#include "resource.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace {

// Places on the board, in the main window's client area.
constexpr RECT kRestCell{56, 188, 106, 238};          // the die at rest
constexpr RECT kFirstTumbleCell{250, 123, 300, 173};  // where a roll starts to tumble
constexpr RECT kLastTumbleCell{71, 166, 121, 216};    // the last cell before the rest cell
constexpr int kDieSize = 50;
constexpr int kButtonLeft[3] = {337, 424, 511};
constexpr int kButtonTop = 342, kButtonWidth = 50, kButtonHeight = 30;
constexpr int kClientWidth = 600, kClientHeight = 400;
constexpr int kMenuBarHeight = 19;
constexpr int kMaxBanked = 105;  // 99 and a last roll of 6

bool SameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct Options {
  uint64_t events = 100000;
  uint64_t seed = 1;
  double tablesChance = 0.04;
  bool quiet = false;
};

// The random stream: everything the monkey decides comes from it.
class Random {
 public:
  explicit Random(uint64_t seed) : gen_(seed) {}
  uint64_t Below(uint64_t n) { return n ? gen_() % n : 0; }
  int Between(int lo, int hi) { return lo + int(Below(uint64_t(hi - lo + 1))); }
  bool Chance(double p) { return double(gen_() >> 11) * 0x1.0p-53 < p; }
  uint32_t Word() { return uint32_t(gen_()); }

 private:
  std::mt19937_64 gen_;
};

// One thing the user can do now, and how likely it is.
struct Action {
  double weight;
  std::string what;
  std::function<void()> act;
};

// The game as the player sees it: the faces the die shows, and the scores they make.
struct Model {
  bool inGame = false;
  int score[2] = {0, 0};
  int turn = 0;
  int active = 0;
};

// A message the main window is handling, with what was known when it arrived.
struct Frame {
  UINT message = 0;
  int command = -1;
  bool acceptedClick = false;
  bool byComputer = false;
  LPARAM button = 0;
  bool newGame = false;
  size_t faces = 0;
  uint64_t tumbles = 0;
};

struct Figures {
  uint64_t events = 0;
  uint64_t runs = 0;
  uint64_t runsWithTables = 0;
  uint64_t gamesStarted = 0;
  uint64_t gamesWon = 0;
  uint64_t gamesQuit = 0;
  uint64_t rolls = 0;
  uint64_t computerRolls = 0;
  uint64_t holds = 0;
  uint64_t timedInputs = 0;
  uint64_t closes = 0;
  uint64_t exits = 0;
  uint64_t repaintChecks = 0;
  std::map<int, uint64_t> commands;             // menu and key commands handled
  std::map<std::string, uint64_t> windowsSeen;  // dialogs and message boxes, by title
  std::map<std::string, uint64_t> closedWhen;   // what was going on when a close came
};

class Monkey;
Monkey *g_monkey = nullptr;

class Monkey {
 public:
  explicit Monkey(const Options &o) : opts_(o), rng_(o.seed) {}

  int Run() {
    LoadDiceFaces();
    auto start = std::chrono::steady_clock::now();
    if (!opts_.quiet) {
      std::printf("monkey: seed %llu, %llu events\n", (unsigned long long)opts_.seed,
                  (unsigned long long)opts_.events);
      std::fflush(stdout);
    }
    while (figures_.events < opts_.events) RunOnce();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    PrintFigures(seconds);
    return 0;
  }

  // Called by the sanitizers before they end the process.
  void ReportDeath() { Report("a sanitizer stopped the program"); }

 private:
  // ------------------------------------------------------------------------------
  // Runs
  // ------------------------------------------------------------------------------
  void RunOnce() {
    robust::FreshProcess();
    run_ = RunState{};
    bool tables = figures_.runs == 0 || rng_.Chance(opts_.tablesChance);
    run_.tables = tables;
    if (!tables) headless::FailCall(headless::Fail::LocalAlloc);
    figures_.runsWithTables += tables ? 1 : 0;
    Log(tables ? "start with the tables" : "start without the tables");
    headless::SetIdleHook([this] { OnIdle(); });
    headless::SetDrawHook([this](HWND hwnd, RECT r) { OnDraw(hwnd, r); });
    int code = robust::RunProgram();
    headless::SetIdleHook(nullptr);
    headless::SetDrawHook(nullptr);
    ++figures_.runs;

    if (headless::Stuck()) Fail("the program waited for input that could never come");
    if (code != 0) Fail("WinMain returned " + std::to_string(code));
    if (!run_.destroyed) Fail("WinMain returned, but the main window was never destroyed");
    if (IsWindow(g_hWnd)) Fail("the main window outlived WinMain");
    if (!headless::TopLevelWindows().empty())
      Fail("a window is still on the screen: " + robust::Describe(headless::TopLevelWindows()[0]));
    std::string leaks = robust::Leaks(headless::LiveHandles());
    if (!leaks.empty()) Fail("the finished run still holds " + leaks);
    if (headless::CursorCount() != 0)
      Fail("the cursor's display count ended at " + std::to_string(headless::CursorCount()));
    if (prob || option || allocated) Fail("the tables outlived the window");
    if (g_hdc || g_vhdc || g_headershdc || g_dicehdc || g_bkgdhdc)
      Fail("a drawing surface outlived the window");
    Log(run_.closedThroughFrame ? "the run ended by a close through the frame"
                                : "the run ended by Exit");
  }

  // What one run has seen so far.
  struct RunState {
    bool tables = false;
    bool watching = false;
    bool destroyed = false;
    bool closing = false;
    bool closedThroughFrame = false;
    std::string closeContext;
    Model model;
    std::vector<Frame> stack;
    int personTokens = 0;    // usable clicks the current event may make
    int computerClicks = 0;  // clicks the computer has queued and not yet had taken
    uint64_t tumbles = 0;    // rolls of the die seen on the screen
    std::vector<int> faces;  // the face each of them showed
    int tumbleStage = 0;     // 0 none, 1 tumbling, 2 at the last cell
    bool restJustDrawn = false;
    uint64_t startRolls = 0;
    uint64_t rollsTaken = 0;
    int scoreBefore[2] = {0, 0};
    bool haveBaseline = false;
    headless::LiveCounts baseline;
    std::set<HWND> windowsSeen;
    HWND seededDialog = nullptr;
    int windDown = 0;
  };

  // ------------------------------------------------------------------------------
  // The user
  // ------------------------------------------------------------------------------
  void OnIdle() {
    if (!run_.watching && IsWindow(g_hWnd)) StartWatching();
    NoteNewWindows();
    if (run_.watching) CheckAtRest();
    run_.personTokens = 0;
    if (figures_.events >= opts_.events) {
      WindDown();
      return;
    }
    ++figures_.events;
    Act();
  }

  // The event budget is spent: the run is brought to its end as a user would.
  void WindDown() {
    if (++run_.windDown > 200) Fail("the program could not be brought to an end");
    std::vector<HWND> dialogs = robust::OpenDialogs();
    bool mainUsable = IsWindow(g_hWnd) && IsWindowVisible(g_hWnd) && IsWindowEnabled(g_hWnd);
    if (robust::OpenPopupMenu()) {
      Do("end: Escape leaves the menu", [] { headless::Key(VK_ESCAPE); });
    } else if (mainUsable) {
      Do("end: close the main window through its frame", [this] { Close(); });
    } else if (!dialogs.empty()) {
      Do("end: Enter on " + robust::Describe(dialogs.back()), [] { headless::Key(VK_RETURN); });
    } else {
      Do("end: Escape", [] { headless::Key(VK_ESCAPE); });
    }
  }

  void Act() {
    HWND popup = robust::OpenPopupMenu();
    std::vector<HWND> dialogs = robust::OpenDialogs();
    bool mainShown = IsWindow(g_hWnd) && IsWindowVisible(g_hWnd);
    if (!popup && dialogs.empty() && !mainShown) Fail("the program waits with no window shown");

    if (!dialogs.empty() && robust::TextOf(dialogs.back()) == "Select Your Opponent" &&
        run_.seededDialog != dialogs.back()) {
      // The game has seeded its dice from the clock by now; the stream takes over.
      unsigned seed = rng_.Word();
      ZantSeed(seed);
      run_.seededDialog = dialogs.back();
      Log("dice seeded with " + std::to_string(seed));
    }

    std::vector<Action> actions;
    if (popup) {
      PopupActions(popup, actions);
    } else if (!dialogs.empty()) {
      DialogActions(dialogs.back(), actions);
      if (mainShown) {
        // An ownerless message box leaves the window usable; deeper nesting is made rare.
        double scale = dialogs.size() >= 3 ? 0.05 : 0.25;
        MainActions(actions, scale);
      }
    } else {
      MainActions(actions, 1.0);
    }
    Pick(actions);

    if (mainShown && rng_.Chance(0.25)) DamageMain();
    if (rng_.Chance(0.15)) ScheduleTimed(rng_.Between(1, 3));
  }

  void Pick(std::vector<Action> &actions) {
    double total = 0;
    for (const Action &a : actions) total += a.weight;
    double x = double(rng_.Below(1u << 30)) / double(1u << 30) * total;
    for (const Action &a : actions) {
      if (x < a.weight) {
        Do(a.what, a.act);
        return;
      }
      x -= a.weight;
    }
    Do(actions.back().what, actions.back().act);
  }

  // Makes one event. If a person is to move and the buttons are usable, the event may
  // click one of them, once: input that comes with it or after it, while the move it
  // starts runs, must not make a second click.
  void Do(const std::string &what, const std::function<void()> &act) {
    Log(what);
    run_.personTokens = PersonMayClick() ? 1 : 0;
    act();
  }

  bool PersonMayClick() const {
    return IsWindow(g_hWnd) && okbutton == 1 && quitflag == 0 &&
           (activeplayer == 0 || opponent != 0) && IsWindowEnabled(g_hBWnd1);
  }

  void Close() {
    run_.closeContext = Situation();
    headless::CloseFromFrame(g_hWnd);
  }

  // A point inside a window's client area.
  void ClickInside(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    if (r.right <= 0 || r.bottom <= 0) {
      headless::ClickCenter(hwnd);
      return;
    }
    headless::Click(hwnd, int(rng_.Below(uint64_t(r.right))), int(rng_.Below(uint64_t(r.bottom))));
  }

  static constexpr UINT kMenuKeys[7] = {'N', 'R', 'O', 'P', 'S', 'A', VK_ESCAPE};

  void MainActions(std::vector<Action> &out, double scale) {
    HWND buttons[3] = {g_hBWnd1, g_hBWnd2, g_hBWnd3};
    const char *names[3] = {"Roll", "Hold", "Quit"};
    const double buttonWeights[3] = {28, 12, 0.15};
    for (int i = 0; i < 3; ++i) {
      if (!IsWindow(buttons[i])) continue;
      HWND b = buttons[i];
      out.push_back({buttonWeights[i] * scale, std::string("click ") + names[i],
                     [this, b] { ClickInside(b); }});
    }
    // Hammering: a second click comes before the program has taken the first, so both are
    // queued for enabled buttons; the move the first starts must drop the second.
    for (int i = 0; i < 3; ++i) {
      if (!IsWindow(buttons[i])) continue;
      HWND first = buttons[i], second = buttons[rng_.Below(3)];
      if (!IsWindow(second)) continue;
      const double hammerWeights[3] = {3, 1, 0.1};
      out.push_back({hammerWeights[i] * scale,
                     std::string("click ") + names[i] + " and at once " + robust::TextOf(second),
                     [this, first, second] {
                       ClickInside(first);
                       ClickInside(second);
                     }});
    }
    out.push_back({4 * scale, "click the table or the score board", [this] {
                     headless::Click(g_hWnd, int(rng_.Below(kClientWidth)),
                                     int(rng_.Below(kClientHeight)));
                   }});
    int barX = int(rng_.Below(kClientWidth)), barY = int(rng_.Below(kMenuBarHeight));
    out.push_back({1 * scale, "click the menu bar at " + std::to_string(barX),
                   [barX, barY] { headless::ClickMenuBar(g_hWnd, barX, barY); }});
    // New Game, Rules, Strategy (the pop-up), About, Exit. Exit is rare, and rarer still
    // with the tables, whose solving is dear: their runs are made to last.
    const double itemWeights[5] = {4, 0.4, 2.5, 0.4, run_.tables ? 0.03 : 0.15};
    for (size_t i = 0; i < barItems_.size() && i < 5; ++i) {
      int x = barItems_[i];
      out.push_back({itemWeights[i] * scale, "click menu item " + std::to_string(i + 1),
                     [x] { headless::ClickMenuBar(g_hWnd, x, 8); }});
    }
    const double keyWeights[7] = {5, 0.4, 0.6, 1.5, 1.5, 0.4, run_.tables ? 0.03 : 0.15};
    for (int i = 0; i < 7; ++i) {
      UINT vk = kMenuKeys[i];
      out.push_back({keyWeights[i] * scale, "key " + KeyName(vk), [vk] { headless::Key(vk); }});
    }
    UINT vk = kMenuKeys[rng_.Below(7)];
    UINT modifier = std::vector<UINT>{VK_SHIFT, VK_CONTROL, VK_MENU}[rng_.Below(3)];
    out.push_back({3 * scale, "key " + KeyName(modifier) + "+" + KeyName(vk),
                   [modifier, vk] { headless::KeyWith(modifier, vk); }});
    AddPlainKeys(out, scale);
    int x = int(rng_.Below(300)), y = int(rng_.Below(300));
    out.push_back({0.3 * scale, "move the window to " + std::to_string(x) + "," + std::to_string(y),
                   [x, y] { headless::DragTo(g_hWnd, x, y); }});
    out.push_back({0.03 * scale, "close the main window through its frame", [this] { Close(); }});
  }

  void AddPlainKeys(std::vector<Action> &out, double scale) {
    const UINT keys[] = {VK_RETURN, VK_ESCAPE, VK_SPACE, VK_TAB, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
    const double weights[] = {1, 0.1, 1.5, 1, 0.4, 0.4, 0.4, 0.4};
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
      UINT vk = keys[i];
      out.push_back({weights[i] * scale, "key " + KeyName(vk), [vk] { headless::Key(vk); }});
    }
  }

  void DialogActions(HWND dialog, std::vector<Action> &out) {
    std::string name = robust::Describe(dialog);
    for (HWND c : robust::Children(dialog)) {
      std::string text = robust::Shorten(robust::TextOf(c));
      out.push_back({10.0 / double(robust::Children(dialog).size()) + 1,
                     "click \"" + text + "\" on " + name, [this, c] { ClickInside(c); }});
    }
    out.push_back({2, "click inside " + name, [this, dialog] { ClickInside(dialog); }});
    const UINT keys[] = {VK_RETURN, VK_ESCAPE, VK_SPACE, VK_TAB, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
    const double weights[] = {4, 2, 3, 2, 0.8, 0.8, 0.8, 0.8};
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
      UINT vk = keys[i];
      out.push_back(
          {weights[i], "key " + KeyName(vk) + " on " + name, [vk] { headless::Key(vk); }});
    }
    out.push_back({1, "key Shift+Tab on " + name, [] { headless::KeyWith(VK_SHIFT, VK_TAB); }});
    UINT vk = kMenuKeys[rng_.Below(7)];
    out.push_back({1, "key " + KeyName(vk) + " on " + name, [vk] { headless::Key(vk); }});
    out.push_back({1.5, "close " + name + " through its frame",
                   [dialog] { headless::CloseFromFrame(dialog); }});
  }

  void PopupActions(HWND popup, std::vector<Action> &out) {
    out.push_back({8, "click in the pop-up", [this, popup] { ClickInside(popup); }});
    int barX = int(rng_.Below(kClientWidth));
    out.push_back({2, "click the menu bar at " + std::to_string(barX),
                   [barX] { headless::ClickMenuBar(g_hWnd, barX, 5); }});
    out.push_back({1.5, "click the window under the menu", [this] {
                     headless::Click(g_hWnd, int(rng_.Below(kClientWidth)),
                                     int(rng_.Below(kClientHeight)));
                   }});
    const UINT keys[] = {VK_UP, VK_DOWN, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_RIGHT, 'P'};
    const double weights[] = {1.5, 1.5, 2, 2, 0.7, 0.7, 0.5};
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
      UINT vk = keys[i];
      out.push_back(
          {weights[i], "key " + KeyName(vk) + " in the menu", [vk] { headless::Key(vk); }});
    }
  }

  // Input that arrives later, usually while the program sleeps in a move it just started.
  void ScheduleTimed(int count) {
    for (int i = 0; i < count; ++i) {
      DWORD delay = DWORD(rng_.Between(20, 3600));
      int kind = int(rng_.Below(101));
      uint64_t pick = rng_.Word();
      headless::At(headless::Now() + delay,
                   [this, kind, pick, delay] { Timed(kind, pick, delay); });
    }
  }

  void Timed(int kind, uint64_t pick, DWORD delay) {
    if (!IsWindow(g_hWnd) || !IsWindowVisible(g_hWnd)) return;
    ++figures_.timedInputs;
    ++figures_.events;
    std::string when = "timed +" + std::to_string(delay) + "ms (" + Situation() + "): ";
    HWND buttons[3] = {g_hBWnd1, g_hBWnd2, g_hBWnd3};
    if (kind < 35) {
      Do(when + "click Roll", [this, buttons] { ClickInside(buttons[0]); });
    } else if (kind < 50) {
      Do(when + "click Hold", [this, buttons] { ClickInside(buttons[1]); });
    } else if (kind < 51 && pick % 2 == 0) {
      Do(when + "click Quit", [this, buttons] { ClickInside(buttons[2]); });
    } else if (kind < 75) {
      const UINT keys[] = {'N',       'N',      'N',      VK_ESCAPE, 'P', 'S', 'P', 'S',
                           VK_RETURN, VK_SPACE, VK_SPACE, VK_RETURN, 'A', 'R', 'O', VK_SPACE};
      UINT vk = keys[pick % 16];
      Do(when + "key " + KeyName(vk), [vk] { headless::Key(vk); });
    } else if (kind < 88) {
      // Any command of the bar but Exit, or the pop-up's title.
      int x = barItems_.empty() ? int(pick % kClientWidth) : barItems_[pick % 4];
      Do(when + "click the menu bar at " + std::to_string(x),
         [x] { headless::ClickMenuBar(g_hWnd, x, 5); });
    } else if (kind < 100 || pick % 8 != 0) {
      int x = int(pick % kClientWidth), y = int((pick >> 16) % kClientHeight);
      Do(when + "click the window", [x, y] { headless::Click(g_hWnd, x, y); });
    } else {
      Do(when + "close the main window through its frame", [this] { Close(); });
    }
  }

  // Another window covered part of the main window and went away.
  void DamageMain() {
    int x = int(rng_.Below(kClientWidth)), y = int(rng_.Below(kClientHeight));
    int w = 1 + int(rng_.Below(uint64_t(kClientWidth - x)));
    int h = 1 + int(rng_.Below(uint64_t(kClientHeight - y)));
    Log("uncover " + std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(x) +
        "," + std::to_string(y));
    headless::Damage(g_hWnd, RECT{x, y, x + w, y + h}, 0xFF00FF);
  }

  static std::string KeyName(UINT vk) {
    switch (vk) {
      case VK_RETURN:
        return "Enter";
      case VK_ESCAPE:
        return "Escape";
      case VK_SPACE:
        return "Space";
      case VK_TAB:
        return "Tab";
      case VK_LEFT:
        return "Left";
      case VK_RIGHT:
        return "Right";
      case VK_UP:
        return "Up";
      case VK_DOWN:
        return "Down";
      case VK_SHIFT:
        return "Shift";
      case VK_CONTROL:
        return "Ctrl";
      case VK_MENU:
        return "Alt";
      default:
        return std::string(1, char(vk));
    }
  }

  // ------------------------------------------------------------------------------
  // Watching the main window
  // ------------------------------------------------------------------------------
  void StartWatching() {
    run_.watching = true;
    original_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(g_hWnd, GWLP_WNDPROC));
    SetWindowLongPtrA(g_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Watch));
    if (quitflag != 1 || okbutton != 0 || score[0] || score[1])
      Fail("the program did not start in the state of no game");
  }

  static LRESULT CALLBACK Watch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_monkey->Handle(hwnd, message, wParam, lParam);
  }

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    RunState &r = run_;
    Frame f;
    f.message = message;
    f.faces = r.faces.size();
    f.tumbles = r.tumbles;
    if (message == WM_COMMAND) {
      f.command = LOWORD(wParam);
      bool gameButton =
          lParam == buttonhandle1 || lParam == buttonhandle2 || lParam == buttonhandle3;
      if (f.command == 0 && okbutton == 1 && gameButton) TakeClick(f, lParam);
      if (f.command == IDM_NEW_GAME && okbutton == 0) f.newGame = true;
      if (f.command >= IDM_NEW_GAME) ++figures_.commands[f.command];
    } else if (message == WM_CLOSE) {
      r.closing = true;
    } else if (message == WM_DESTROY) {
      r.destroyed = true;
      r.closedThroughFrame = r.closing;
      if (r.closing) {
        ++figures_.closes;
        ++figures_.closedWhen[r.closeContext.empty() ? "unknown" : r.closeContext];
      } else {
        ++figures_.exits;
        if (quitflag != 1) Fail("the program ended while a game was running");
      }
    }
    r.stack.push_back(f);
    LRESULT result = CallWindowProcA(original_, hwnd, message, wParam, lParam);
    r.stack.pop_back();
    if (r.destroyed || !IsWindow(hwnd)) return result;  // the game is over for good
    AfterMessage(f);
    return result;
  }

  // A click of Roll, Hold or Quit that the game will act on: it must be the computer's,
  // queued in its turn, or come from the event being made while a person could click.
  void TakeClick(Frame &f, LPARAM button) {
    RunState &r = run_;
    f.acceptedClick = true;
    f.button = button;
    const char *name = button == buttonhandle1 ? "Roll" : button == buttonhandle2 ? "Hold" : "Quit";
    if (activeplayer == 1 && opponent == 0) {
      f.byComputer = true;
      if (r.computerClicks == 0)
        Fail(std::string("a click of ") + name + " was taken in the computer's turn, which " +
             "the computer had not made");
      --r.computerClicks;
      if (button == buttonhandle3) Fail("the computer quit the game");
    } else {
      if (r.personTokens == 0)
        Fail(std::string("a click of ") + name + " was acted on that the user did not make " +
             "while the buttons were usable (a click acted on twice, or kept from a move)");
      --r.personTokens;
    }
  }

  void AfterMessage(const Frame &f) {
    RunState &r = run_;
    Model &m = r.model;
    if (f.acceptedClick && f.button == buttonhandle1) {
      uint64_t tumbles = r.tumbles - f.tumbles;
      size_t faces = r.faces.size() - f.faces;
      if (tumbles != 1 || faces != 1)
        Fail("a click of Roll made " + std::to_string(tumbles) + " rolls showing " +
             std::to_string(faces) + " faces, not one");
      int face = r.faces.back();
      m.turn = face == 1 ? 0 : m.turn + face;
      ++r.rollsTaken;
      ++figures_.rolls;
      figures_.computerRolls += f.byComputer ? 1 : 0;
      bool reached = m.score[m.active] + m.turn > 99;
      if (quitflag != (reached ? 1 : 0))
        Fail("after a roll to " + std::to_string(m.score[m.active] + m.turn) + " quitflag is " +
             std::to_string(quitflag));
    } else if (f.acceptedClick && f.button == buttonhandle2) {
      ++figures_.holds;
    } else if (f.acceptedClick && f.button == buttonhandle3) {
      m = Model{};
      ++figures_.gamesQuit;
    }
    if (f.newGame) {
      uint64_t tumbles = r.tumbles - f.tumbles;
      if (tumbles != 1)
        Fail("a new game rolled " + std::to_string(tumbles) + " times for the start order");
      ++r.startRolls;
      m = Model{};
      m.inGame = true;
      m.active = r.faces.back() >= 4 ? 1 : 0;
      ++figures_.gamesStarted;
      if (activeplayer != m.active)
        Fail("the start-order die showed " + std::to_string(r.faces.back()) + " but player " +
             std::to_string(activeplayer + 1) + " begins");
    }
    if (f.command == CMD_BANK_TURN && m.inGame) {
      m.score[m.active] += m.turn;
      if (m.score[m.active] > 99) {
        m.inGame = false;
        ++figures_.gamesWon;
      } else {
        m.active = 1 - m.active;
        m.turn = 0;
      }
    }
    if ((f.command == CMD_AWAIT_MOVE || f.newGame) && okbutton == 1 && activeplayer == 1 &&
        opponent == 0)
      ++r.computerClicks;
    CheckScores(f);
  }

  bool NewGameUnderway() const {
    for (const Frame &f : run_.stack)
      if (f.newGame) return true;
    return false;
  }

  void CheckScores(const Frame &f) {
    RunState &r = run_;
    const Model &m = r.model;
    bool reset = f.newGame || (f.acceptedClick && f.button == buttonhandle3);
    for (int p = 0; p < 2; ++p) {
      if (score[p] > kMaxBanked)
        Fail("player " + std::to_string(p + 1) + " banked " + std::to_string(score[p]));
      if (score[p] < r.scoreBefore[p] && !reset)
        Fail("the banked score of player " + std::to_string(p + 1) + " went down from " +
             std::to_string(r.scoreBefore[p]) + " to " + std::to_string(score[p]));
      if (score[p] != m.score[p])
        Fail("player " + std::to_string(p + 1) + " has banked " + std::to_string(score[p]) +
             ", the faces shown make " + std::to_string(m.score[p]));
      r.scoreBefore[p] = score[p];
    }
    if (NewGameUnderway()) return;
    if (m.inGame) {
      if (scoretemp != m.turn)
        Fail("the turn total is " + std::to_string(scoretemp) + ", the faces since the last " +
             "bank or bust make " + std::to_string(m.turn));
      if (activeplayer != m.active)
        Fail("player " + std::to_string(activeplayer + 1) + " is to move, not player " +
             std::to_string(m.active + 1));
    } else if (quitflag == 0) {
      Fail("a game runs that was never started");
    }
  }

  // ------------------------------------------------------------------------------
  // The die, as the screen shows it
  // ------------------------------------------------------------------------------
  void LoadDiceFaces() {
    robust::FreshProcess();
    barItems_ = robust::MenuBarItemCenters();
    HBITMAP dice = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), "ZANTPIGDICEBITMAP",
                                                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dice);
    // Column 0: the bare rest cell (row 0) and the faces 1 to 6.
    for (int row = 0; row < 7; ++row) {
      headless::Pixels tile =
          headless::DCPixels(dc, RECT{0, row * kDieSize, kDieSize, (row + 1) * kDieSize});
      if (tile.w != kDieSize || tile.h != kDieSize) Fail("the dice bitmap could not be read");
      faceTiles_[row] = tile.px;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dice);
  }

  // Follows the die on the window: the rest cell cleared and the first tumbling cell drawn
  // start a roll; the rest cell drawn after the last tumbling cell shows its face.
  void OnDraw(HWND hwnd, RECT r) {
    // The window's first paint comes before the program can handle any input.
    if (!run_.watching && hwnd && hwnd == g_hWnd) StartWatching();
    if (!run_.watching || hwnd != g_hWnd) return;
    RunState &s = run_;
    if (SameRect(r, kRestCell)) {
      if (s.tumbleStage == 2) {
        s.faces.push_back(FaceAtRest());
        s.tumbleStage = 0;
      }
      s.restJustDrawn = true;
      return;
    }
    if (SameRect(r, kFirstTumbleCell) && s.restJustDrawn && s.tumbleStage == 0) {
      ++s.tumbles;
      s.tumbleStage = 1;
    } else if (SameRect(r, kLastTumbleCell) && s.tumbleStage == 1) {
      s.tumbleStage = 2;
    }
    s.restJustDrawn = false;
  }

  int FaceAtRest() {
    headless::Pixels shown = headless::DCPixels(g_hdc, kRestCell);
    if (shown.w != kDieSize || shown.h != kDieSize) Fail("the window cannot be read");
    for (int face = 1; face <= 6; ++face) {
      if (shown.px == faceTiles_[face]) return face;
    }
    Fail("the die came to rest showing no face");
  }

  // ------------------------------------------------------------------------------
  // Checks while the program waits for input
  // ------------------------------------------------------------------------------
  void CheckAtRest() {
    RunState &r = run_;
    if (!IsWindow(g_hWnd)) Fail("the program waits for input after its window has gone");
    std::vector<HWND> dialogs = robust::OpenDialogs();
    // A click on the menu bar tracks the menu in a loop of its own, with or without an
    // open pop-up.
    bool menu = robust::OpenPopupMenu() != nullptr;
    for (const Frame &f : r.stack) menu = menu || f.message == WM_NCLBUTTONDOWN;
    bool modal = !dialogs.empty() || menu;
    if (!modal && !r.stack.empty())
      Fail("the program waits in the middle of handling message " +
           std::to_string(r.stack.back().message) + " with nothing modal open");
    if (r.computerClicks != 0) Fail("the program waits while the computer's click is queued");
    bool newGame = NewGameUnderway();
    if (!newGame) {
      if (r.tumbles != r.startRolls + r.rollsTaken || r.faces.size() != r.tumbles)
        Fail("the die rolled " + std::to_string(r.tumbles) + " times for " +
             std::to_string(r.startRolls) + " new games and " + std::to_string(r.rollsTaken) +
             " clicks of Roll taken");
    }
    CheckState(newGame);
    CheckMenu();
    CheckPicture();
    if (!modal) CheckHandles();
    if (headless::CursorCount() != 0) Fail("the cursor is hidden while the game waits");
  }

  // The state table: quitflag, okbutton and the buttons agree with one state of a game.
  void CheckState(bool newGame) {
    BOOL e1 = IsWindowEnabled(g_hBWnd1), e2 = IsWindowEnabled(g_hBWnd2),
         e3 = IsWindowEnabled(g_hBWnd3);
    if (e1 != e2 || e2 != e3) Fail("Roll, Hold and Quit are not enabled alike");
    bool person = activeplayer == 0 || opponent != 0;
    bool noGame = quitflag == 1 && okbutton == 0 && !e1;
    bool personToMove = quitflag == 0 && okbutton == 1 && e1 && person;
    bool starting = quitflag == 0 && okbutton == 0 && !e1;  // the new game's dialogs are up
    if (newGame ? !starting : !(noGame || personToMove))
      Fail("the program waits in no state of a game: quitflag " + std::to_string(quitflag) +
           ", okbutton " + std::to_string(okbutton) + ", buttons " + (e1 ? "enabled" : "disabled") +
           ", " + (person ? "a person" : "the computer") + " to move" +
           (newGame ? ", a new game starting" : ""));
  }

  void CheckMenu() {
    HMENU menu = GetMenu(g_hWnd);
    UINT display = GetMenuState(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND);
    UINT suggest = GetMenuState(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND);
    auto grey = [](UINT state) { return (state & MF_GRAYED) != 0; };
    auto check = [](UINT state) { return (state & MF_CHECKED) != 0; };
    bool good;
    if (allocated == 0) {
      good = grey(display) && grey(suggest) && !check(display) && !check(suggest) &&
             showprob == 0 && suggestion == 0;
    } else {
      good = !grey(display) && check(display) == (showprob == 1) &&
             grey(suggest) == (showprob == 0) && check(suggest) == (suggestion == 1);
    }
    if (!good)
      Fail("the menu shows Display Probabilities " + std::string(check(display) ? "checked" : "") +
           (grey(display) ? " greyed" : "") + ", Suggestion Mode " +
           (check(suggest) ? "checked" : "") + (grey(suggest) ? " greyed" : "") +
           " for allocated " + std::to_string(allocated) + ", showprob " +
           std::to_string(showprob) + ", suggestion " + std::to_string(suggestion));
    for (UINT item : {IDM_NEW_GAME, IDM_RULES, IDM_STRATEGY_OPTIONS, IDM_ABOUT, IDM_EXIT}) {
      if (grey(GetMenuState(menu, item, MF_BYCOMMAND)))
        Fail("menu item " + std::to_string(item) + " is greyed");
    }
  }

  // What the window shows, outside its buttons, is the off-screen image.
  void CheckPicture() {
    ++figures_.repaintChecks;
    std::vector<RECT> parts = {{0, 0, kClientWidth, kButtonTop},
                               {0, kButtonTop + kButtonHeight, kClientWidth, kClientHeight}};
    int left = 0;
    for (int button : kButtonLeft) {
      parts.push_back({left, kButtonTop, button, kButtonTop + kButtonHeight});
      left = button + kButtonWidth;
    }
    parts.push_back({left, kButtonTop, kClientWidth, kButtonTop + kButtonHeight});
    for (const RECT &part : parts) {
      if (headless::SamePixels(g_hdc, g_vhdc, part)) continue;
      headless::Pixels shown = headless::DCPixels(g_hdc, part);
      headless::Pixels image = headless::DCPixels(g_vhdc, part);
      if (shown.px.size() != image.px.size())
        Fail("the window or the off-screen image is too small");
      for (size_t i = 0; i < shown.px.size(); ++i) {
        if (shown.px[i] == image.px[i]) continue;
        char text[160];
        std::snprintf(text, sizeof text,
                      "the window shows %06X at (%d, %d) where the off-screen image has %06X",
                      shown.px[i], part.left + int(i) % shown.w, part.top + int(i) / shown.w,
                      image.px[i]);
        Fail(text);
      }
    }
  }

  // With nothing open, the program holds the same objects from one event to the next.
  void CheckHandles() {
    RunState &r = run_;
    headless::LiveCounts now = headless::LiveHandles();
    if (!r.haveBaseline) {
      r.baseline = now;
      r.haveBaseline = true;
      return;
    }
    if (robust::ToString(now) != robust::ToString(r.baseline))
      Fail("the program held " + robust::ToString(r.baseline) + " and now holds " +
           robust::ToString(now));
  }

  void NoteNewWindows() {
    for (HWND h : robust::OpenDialogs()) {
      if (run_.windowsSeen.insert(h).second) ++figures_.windowsSeen[robust::Describe(h)];
    }
  }

  // The state of the game and what is open, in a few words.
  std::string Situation() const {
    std::string s;
    if (!IsWindow(g_hWnd)) return "no window";
    if (quitflag == 1 && okbutton == 0)
      s = run_.model.score[0] > 99 || run_.model.score[1] > 99 ? "game over" : "no game";
    else if (okbutton == 1)
      s = activeplayer == 1 && opponent == 0 ? "computer to move" : "person to move";
    else
      s = "move in progress";
    if (!run_.stack.empty() && run_.stack.back().command > 0)
      s += ", in command " + std::to_string(run_.stack.back().command);
    std::vector<HWND> dialogs = robust::OpenDialogs();
    if (!dialogs.empty()) s += ", under " + robust::Describe(dialogs.back());
    if (robust::OpenPopupMenu()) s += ", menu open";
    return s;
  }

  // ------------------------------------------------------------------------------
  // Reporting
  // ------------------------------------------------------------------------------
  void Log(const std::string &what) {
    char head[96];
    std::snprintf(head, sizeof head,
                  "run %llu, event %llu, t=%lu: ", (unsigned long long)figures_.runs,
                  (unsigned long long)figures_.events, (unsigned long)headless::Now());
    recent_.push_back(head + what);
    if (recent_.size() > 40) recent_.pop_front();
  }

  void Report(const std::string &what) {
    std::fprintf(stderr, "\nmonkey: FAILED: %s\n", what.c_str());
    std::fprintf(stderr, "  seed %llu, run %llu, event %llu\n", (unsigned long long)opts_.seed,
                 (unsigned long long)figures_.runs, (unsigned long long)figures_.events);
    std::fprintf(stderr, "  replay: monkey --seed %llu --events %llu --tables %g\n",
                 (unsigned long long)opts_.seed, (unsigned long long)figures_.events,
                 opts_.tablesChance);
    std::fprintf(stderr, "  the last events:\n");
    for (const std::string &line : recent_) std::fprintf(stderr, "    %s\n", line.c_str());
    std::fflush(stderr);
  }

  [[noreturn]] void Fail(const std::string &what) {
    Report(what);
    std::_Exit(1);
  }

  void PrintFigures(double seconds) {
    const Figures &f = figures_;
    std::printf(
        "monkey: seed %llu: %llu events in %llu runs (%llu with the tables), %.1f s, "
        "%.0f events/s\n",
        (unsigned long long)opts_.seed, (unsigned long long)f.events, (unsigned long long)f.runs,
        (unsigned long long)f.runsWithTables, seconds,
        seconds > 0 ? double(f.events) / seconds : 0.0);
    std::printf("  games: %llu started, %llu won, %llu quit\n", (unsigned long long)f.gamesStarted,
                (unsigned long long)f.gamesWon, (unsigned long long)f.gamesQuit);
    std::printf(
        "  rolls %llu (by the computer %llu), holds %llu, timed inputs %llu, "
        "windows repainted and compared %llu\n",
        (unsigned long long)f.rolls, (unsigned long long)f.computerRolls,
        (unsigned long long)f.holds, (unsigned long long)f.timedInputs,
        (unsigned long long)f.repaintChecks);
    std::printf("  runs ended: %llu by a close through the frame, %llu by Exit\n",
                (unsigned long long)f.closes, (unsigned long long)f.exits);
    if (opts_.quiet) return;
    std::printf("  menu and key commands handled:");
    for (const auto &[command, n] : f.commands)
      std::printf(" %d: %llu", command, (unsigned long long)n);
    std::printf("\n");
    std::printf("  dialogs and message boxes opened:\n");
    for (const auto &[name, n] : f.windowsSeen)
      std::printf("    %6llu  %s\n", (unsigned long long)n, name.c_str());
    std::printf("  closes through the frame came in:\n");
    for (const auto &[when, n] : f.closedWhen)
      std::printf("    %6llu  %s\n", (unsigned long long)n, when.c_str());
  }

  Options opts_;
  Random rng_;
  Figures figures_;
  RunState run_;
  WNDPROC original_ = nullptr;
  std::vector<int> barItems_;           // where the commands of the menu bar are
  std::vector<uint32_t> faceTiles_[7];  // the rest cell bare (0) and with each face
  std::deque<std::string> recent_;
};

bool ParseOptions(int argc, char **argv, Options &o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--events" && hasValue) {
      o.events = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--seed" && hasValue) {
      o.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--tables" && hasValue) {
      o.tablesChance = std::strtod(argv[++i], nullptr);
    } else if (a == "--quiet") {
      o.quiet = true;
    } else {
      return false;
    }
  }
  return true;
}

void OnSanitizerDeath() {
  if (g_monkey) g_monkey->ReportDeath();
}

}  // namespace

// The sanitizers' runtime, when the program is built with one.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

int main(int argc, char **argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: monkey [--events N] [--seed S] [--tables P] [--quiet]\n");
    return 2;
  }
  static Monkey monkey(options);
  g_monkey = &monkey;
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(OnSanitizerDeath);
  return monkey.Run();
}
