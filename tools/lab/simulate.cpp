// The lab as the user of the real program. WinMain runs on the headless back end; whenever
// the program waits for input, the idle hook looks at the screen and the game's state and
// does what a user would: dismiss a message box, choose the opponent in the opponent
// dialog, press Roll in the start-order dialog, click Roll or Hold for a lab-played
// player, and press N for the next game or Esc after the last. The computer plays itself.
//
// The lab watches the main window through a subclass procedure (as any Win32 program may)
// to count what the idle hook cannot see: the rolls the computer takes, the turns, and who
// the start-order roll chose.
#include "simulate.h"

#include <chrono>
#include <ctime>

#include "resource.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace lab {

uint32_t GameSeed(uint64_t seed, long number) {
  Chance c(seed * 0x100000001B3ull + static_cast<uint64_t>(number));
  return static_cast<uint32_t>(c.Next() >> 32);
}

namespace {

using Clock = std::chrono::steady_clock;

// The state of a run: the hook and the subclass procedure are plain callbacks.
struct Run {
  const RunOptions *options = nullptr;
  Knowledge know;
  RunResult result;
  WNDPROC gameProc = nullptr;  // the main window's own procedure
  bool playing = false;        // a game has been started and not yet recorded
  long started = 0;            // games started
  GameRecord game;
  Chance chance{0};
  Clock::time_point begin, firstGame;
  std::clock_t firstGameCpu = 0;
};

Run *run = nullptr;

// Watches the commands that reach the main window, then passes them on.
LRESULT CALLBACK Watch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    WORD command = LOWORD(wParam);
    if (command == 0 && okbutton == 1 && lParam == buttonhandle1) run->game.rolls++;
    if (command == CMD_BANK_TURN) run->game.turns++;
    if (command == IDM_NEW_GAME) {
      LRESULT r = CallWindowProcA(run->gameProc, hWnd, message, wParam, lParam);
      run->game.began = activeplayer;  // the start-order roll has been made
      return r;
    }
  }
  return CallWindowProcA(run->gameProc, hWnd, message, wParam, lParam);
}

HWND Dialog(const char *title) {
  return headless::FindTopLevel("#32770", title);
}

// In the opponent dialog: the opponent first, then the computer's level, then the game is
// seeded and OK pressed. One action per wait, as each click changes the dialog.
void ChooseOpponent(HWND dialog) {
  const Player &two = run->options->side[1];
  int who = two.Computer() ? IDC_COMPUTER : IDC_HUMAN;
  if (IsDlgButtonChecked(dialog, who) != BST_CHECKED) {
    headless::ClickCenter(GetDlgItem(dialog, who));
    return;
  }
  if (two.Computer()) {
    int level = two.kind == Kind::Newbie    ? IDC_NEWBIE
                : two.kind == Kind::Amateur ? IDC_AMATEUR
                                            : IDC_PRO;
    if (IsDlgButtonChecked(dialog, level) != BST_CHECKED) {
      headless::ClickCenter(GetDlgItem(dialog, level));
      return;
    }
  }
  // The game has seeded its random source with the time; the lab's seed replaces it.
  run->started++;
  run->game = GameRecord{};
  run->game.number = run->started;
  run->game.seed = GameSeed(run->options->seed, run->started);
  run->chance = Chance(run->game.seed);
  ZantSeed(run->game.seed);
  run->playing = true;
  if (run->started == 1) {
    run->firstGame = Clock::now();
    run->firstGameCpu = std::clock();
  }
  headless::ClickCenter(GetDlgItem(dialog, IDOK));
}

// Records the game just won.
void Record() {
  GameRecord &g = run->game;
  g.winner = activeplayer;
  g.score[0] = score[0];
  g.score[1] = score[1];
  RunResult &r = run->result;
  r.games++;
  r.wins[g.winner]++;
  r.began[g.began]++;
  if (g.began == g.winner) r.wonBeginning[g.winner]++;
  r.turns += g.turns;
  r.rolls += g.rolls;
  if (run->options->onGame) run->options->onGame(g);
  run->playing = false;
}

// The subclass goes on as soon as the main window exists.
void Subclass() {
  if (run->gameProc != nullptr || !IsWindow(g_hWnd)) return;
  run->gameProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Watch)));
  run->know.table = option;  // null without tables
}

void Idle() {
  if (okbutton == 1 && quitflag == 0 && IsWindowEnabled(g_hBWnd1)) {
    // A lab-played player is to move (no dialog is open while a move is awaited).
    int me = activeplayer;
    bool roll =
        Rolls(run->options->side[me], run->know, score[me], score[1 - me], scoretemp, run->chance);
    headless::ClickCenter(roll ? g_hBWnd1 : g_hBWnd2);
    return;
  }
  Subclass();
  if (Dialog("Memory allocation problem")) {  // the program goes on without its tables
    headless::Key(VK_RETURN);
    return;
  }
  if (HWND d = Dialog("Select Your Opponent")) {
    ChooseOpponent(d);
    return;
  }
  if (HWND d = Dialog("Start Order")) {
    headless::ClickCenter(GetDlgItem(d, IDOK));
    return;
  }
  if (!IsWindow(g_hWnd) || run->gameProc == nullptr) return;
  if (quitflag == 1 && okbutton == 0) {  // no game runs: it was won, or none has begun
    if (run->playing) {
      if (score[activeplayer] < goal) return;  // not a win: the lab has no answer
      Record();
    }
    if (run->result.games < run->options->games) {
      headless::Key('N');
    } else {
      headless::Key(VK_ESCAPE);
    }
  }
}

}  // namespace

RunResult PlayGames(const RunOptions &options, const Optimum *optimum) {
  Run state;
  state.options = &options;
  state.know.optimum = optimum;
  run = &state;

  headless::Reset();
  // WinMain starts from the game's start-up values, whatever an earlier run left.
  oksplash = 0;
  allocated = 0;
  showprob = 0;
  g_hWnd = nullptr;
  prob = nullptr;
  option = nullptr;
  if (options.noTables) headless::FailCall(headless::Fail::LocalAlloc);
  headless::SetIdleHook(Idle);
  // Nobody looks at the screen: the program draws as ever, but no pixel is computed.
  headless::DrawPixels(false);

  state.begin = Clock::now();
  WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  Clock::time_point end = Clock::now();
  std::clock_t endCpu = std::clock();

  RunResult result = state.result;
  if (state.started > 0) {
    result.startSeconds = std::chrono::duration<double>(state.firstGame - state.begin).count();
    result.playSeconds = std::chrono::duration<double>(end - state.firstGame).count();
    result.playCpuSeconds = static_cast<double>(endCpu - state.firstGameCpu) / CLOCKS_PER_SEC;
  }
  if (headless::Stuck()) {
    result.error = "the program waited for input the lab had no answer to, after " +
                   std::to_string(result.games) + " games";
  } else if (result.games < options.games) {
    result.error = "the program ended after " + std::to_string(result.games) + " games";
  } else if (options.noTables != (state.know.table == nullptr)) {
    result.error = options.noTables ? "the program had its tables after all"
                                    : "the program started without its tables";
  }
  headless::SetIdleHook(nullptr);
  headless::Reset();
  prob = nullptr;
  option = nullptr;
  run = nullptr;
  return result;
}

}  // namespace lab
