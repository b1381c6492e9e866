#include "game_harness.h"

#include <string.h>

#include "program.h"

namespace game {
namespace {

WNDPROC gameProc = nullptr;
Log seen;
User *player = nullptr;
HWND lastBox = nullptr;
int started = 0;

LRESULT CALLBACK Spy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++seen.procCalls;
  if (message == WM_DESTROY) ++seen.destroys;
  if (message != WM_COMMAND) return CallWindowProcA(gameProc, hwnd, message, wParam, lParam);
  size_t at = seen.steps.size();
  Step step;
  step.command = LOWORD(wParam);
  step.lParam = lParam;
  step.time = headless::Now();
  step.okbefore = okbutton;
  step.before = Snapshot();
  seen.steps.push_back(step);
  LRESULT result = CallWindowProcA(gameProc, hwnd, message, wParam, lParam);
  seen.steps[at].after = Snapshot();
  seen.steps[at].done = true;
  if (player && player->onStep) player->onStep(seen.steps[at]);
  return result;
}

// The user's default part in the opponent dialog: the seed, the choice, OK.
void AnswerOpponent(const User &user, HWND dialog) {
  ZantSeed(user.seed + unsigned(started) * 7919u);
  headless::ClickCenter(GetDlgItem(dialog, IDC_COMPUTER + user.opponent));
  if (user.opponent == 0) headless::ClickCenter(GetDlgItem(dialog, IDC_NEWBIE + user.level));
  headless::ClickCenter(GetDlgItem(dialog, IDOK));
}

void Idle(User &user) {
  if (!gameProc && IsWindow(g_hWnd)) {
    gameProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Spy)));
  }
  Box box = OpenBox();
  if (box.hwnd && box.hwnd != lastBox) {
    lastBox = box.hwnd;
    if (user.onBox) user.onBox(box);
  }
  if (user.act && user.act()) return;
  if (box.hwnd) {
    if (box.caption == "Select Your Opponent")
      AnswerOpponent(user, box.hwnd);
    else
      headless::Key(VK_RETURN);  // OK, Yes, Roll or Close
    return;
  }
  if (!IsWindow(g_hWnd)) return;
  if (quitflag == 1 && okbutton == 0) {
    if (started < user.games) {
      ++started;
      headless::Key('N');
    } else {
      headless::Key(VK_ESCAPE);
    }
    return;
  }
  if (okbutton == 1 && PersonToMove() && IsWindowEnabled(g_hBWnd1))
    headless::ClickCenter(scoretemp < user.holdAt ? g_hBWnd1 : g_hBWnd2);
}

}  // namespace

State Snapshot() {
  State s;
  s.quitflag = quitflag;
  s.okbutton = okbutton;
  s.activeplayer = activeplayer;
  s.scoretemp = scoretemp;
  s.score[0] = score[0];
  s.score[1] = score[1];
  s.buttons = IsWindowEnabled(g_hBWnd1) + IsWindowEnabled(g_hBWnd2) + IsWindowEnabled(g_hBWnd3);
  return s;
}

Log &Seen() {
  return seen;
}

Box OpenBox() {
  Box box;
  std::vector<HWND> open = robust::OpenDialogs();
  if (open.empty()) return box;
  box.hwnd = open.back();
  box.caption = robust::TextOf(box.hwnd);
  if (HWND text = GetDlgItem(box.hwnd, 0xFFFF)) box.text = robust::TextOf(text);
  return box;
}

std::string DialogText(HWND dialog) {
  return robust::TextOf(headless::FindChild(dialog, "STATIC", nullptr));
}

int Play(User &user) {
  robust::FreshProcess();
  seen = Log{};
  gameProc = nullptr;
  lastBox = nullptr;
  started = 0;
  player = &user;
  if (!user.tables) headless::FailCall(headless::Fail::LocalAlloc);
  if (!user.splash) headless::FailCall(headless::Fail::RegisterClass, 0, 1, "ZantSplashWindow");
  headless::SetIdleHook([&user] { Idle(user); });
  int code = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  headless::SetIdleHook(nullptr);
  player = nullptr;
  return code;
}

int GamesWon() {
  int won = 0;
  for (const Step &s : seen.steps) {
    if (s.command == CMD_BANK_TURN && s.done && s.after.score[s.after.activeplayer] >= 100) ++won;
  }
  return won;
}

bool PersonToMove() {
  return activeplayer == 0 || opponent != 0;
}

uint32_t ClientPixel(int x, int y) {
  headless::Pixels p = headless::ClientPixels(g_hWnd);
  return p.w > x && p.h > y ? p.At(x, y) : 0xFFFFFFFFu;
}

int CellMismatches(const RECT &cell, int x, int y, const char *text, COLORREF colour) {
  headless::Pixels window = headless::ClientPixels(g_hWnd);
  if (window.w < 600 || window.h < 400) return -1;
  HDC dc = CreateCompatibleDC(g_hdc);
  HBITMAP bitmap = CreateCompatibleBitmap(g_hdc, 600, 400);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, g_hFont);
  SetTextColor(dc, colour);
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &cell, text, UINT(strlen(text)), nullptr);
  int bad = 0;
  for (int py = cell.top; py < cell.bottom; ++py) {
    for (int px = cell.left; px < cell.right; ++px) {
      COLORREF c = GetPixel(dc, px, py);
      uint32_t want = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
      if (window.At(px, py) != want) ++bad;
    }
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return bad;
}

std::vector<uint32_t> ResourcePixels(const char *name, int w, int h) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap =
      (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  HGDIOBJ old = SelectObject(dc, bitmap);
  std::vector<uint32_t> px;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      px.push_back(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return px;
}

int HeaderMismatches(int row) {
  static const std::vector<uint32_t> tiles = ResourcePixels("ZANTPIGHEADERSBITMAP", 300, 240);
  headless::Pixels window = headless::ClientPixels(g_hWnd);
  if (tiles.size() != 300u * 240 || window.w < 600 || window.h < 400) return -1;
  int bad = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 1; x < 300; ++x) {
      if (window.At(300 + x, y) != tiles[size_t(60 * row + y) * 300 + x]) ++bad;
    }
  }
  return bad;
}

}  // namespace game
