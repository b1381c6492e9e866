// The user's hand on real Windows: input goes through SendInput, as from a real mouse and
// keyboard, and each call waits until the input is in the thread's queue.
#include <windows.h>

#include "conformance.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// A watchdog: a test that has not finished after half a minute (a modal box waiting for
// input that never came) gets WM_QUIT, which ends every modal loop, so the test fails
// instead of hanging the whole program.
std::atomic<DWORD> g_testStart{0};
std::atomic<bool> g_armed{false};
DWORD g_testThread = 0;

void Watch() {
  bool quitPosted = false;
  for (;;) {
    Sleep(100);
    if (!g_armed) {
      quitPosted = false;
      continue;
    }
    DWORD running = GetTickCount() - g_testStart;
    if (running > 30000 && !quitPosted) {
      quitPosted = true;
      PostThreadMessageA(g_testThread, WM_QUIT, 0, 0);
    }
    // Some modal loops (Windows' menu tracking) do not end on WM_QUIT.
    if (running > 40000) {
      fprintf(stderr, "\nA test hung in a modal loop for 40 s: giving up.\n");
      fflush(stderr);
      ExitProcess(3);
    }
  }
}

// Waits, without taking anything out of the queue, until a message in one of the ranges
// is queued, or a second has passed (input for a disabled window may never come).
bool WaitFor(UINT first, UINT last, UINT first2 = 0, UINT last2 = 0) {
  DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < 1000) {
    if (PeekMessageA(&msg, nullptr, first, last, PM_NOREMOVE)) return true;
    if (first2 && PeekMessageA(&msg, nullptr, first2, last2, PM_NOREMOVE)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return false;
}

void SendMouse(HWND hwnd, int x, int y, DWORD buttons) {
  POINT pt = {x, y};
  ClientToScreen(hwnd, &pt);
  int w = GetSystemMetrics(SM_CXSCREEN);
  int h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[3] = {};
  int n = 0;
  in[n].type = INPUT_MOUSE;
  in[n].mi.dx = (pt.x * 65536 + w - 1) / w;
  in[n].mi.dy = (pt.y * 65536 + h - 1) / h;
  in[n].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ++n;
  if (buttons & MOUSEEVENTF_LEFTDOWN) in[n++].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  if (buttons & MOUSEEVENTF_LEFTUP) in[n++].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  for (int i = 1; i < n; ++i) in[i].type = INPUT_MOUSE;
  SendInput(n, in, sizeof(INPUT));
  if (buttons & MOUSEEVENTF_LEFTUP)
    WaitFor(WM_LBUTTONUP, WM_LBUTTONUP, WM_NCLBUTTONUP, WM_NCLBUTTONUP);
  else if (buttons & MOUSEEVENTF_LEFTDOWN)
    WaitFor(WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN);
  else
    WaitFor(WM_MOUSEMOVE, WM_MOUSEMOVE);
}

void SendKeys(const UINT *vks, const bool *up, int n) {
  INPUT in[8] = {};
  for (int i = 0; i < n; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = static_cast<WORD>(vks[i]);
    in[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(vks[i], MAPVK_VK_TO_VSC));
    in[i].ki.dwFlags = up[i] ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(n, in, sizeof(INPUT));
  WaitFor(WM_KEYUP, WM_KEYUP, WM_SYSKEYUP, WM_SYSKEYUP);
}

}  // namespace

namespace inject {

void Reset() {
  g_armed = false;
  if (!g_testThread) {
    g_testThread = GetCurrentThreadId();
    std::thread(Watch).detach();
  }
  g_testStart = GetTickCount();
  g_armed = true;
}

void Foreground(HWND top) {
  ShowWindow(top, SW_SHOW);
  SetForegroundWindow(top);
  SetActiveWindow(top);
  SetFocus(top);
  UpdateWindow(top);
  // Let the activation settle: handle what it sends and posts, then empty the queue.
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 2000) {
    Pump();
    if (GetForegroundWindow() == top && GetFocus() == top) break;
    SetForegroundWindow(top);
    SetFocus(top);
    Sleep(10);
  }
  Sleep(20);
  Pump();
}

void Click(HWND hwnd, int x, int y) {
  SendMouse(hwnd, x, y, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP);
}
void Press(HWND hwnd, int x, int y) {
  SendMouse(hwnd, x, y, MOUSEEVENTF_LEFTDOWN);
}
void Release(HWND hwnd, int x, int y) {
  SendMouse(hwnd, x, y, MOUSEEVENTF_LEFTUP);
}

void ClickCenter(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  Click(hwnd, r.right / 2, r.bottom / 2);
}

void ClickMenuBar(HWND top, int x) {
  // The bar lies right above the client area. A press on it starts Windows' own loop that
  // tracks the menu until the button is released, so the release comes a little later,
  // from another thread, while that loop runs.
  Press(top, x, -GetSystemMetrics(SM_CYMENU) / 2 - 1);
  std::thread([] {
    Sleep(200);
    INPUT up = {};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &up, sizeof(INPUT));
  }).detach();
}

void Key(UINT vk) {
  const UINT vks[] = {vk, vk};
  const bool up[] = {false, true};
  SendKeys(vks, up, 2);
}

void KeyWith(UINT modifierVk, UINT vk) {
  const UINT vks[] = {modifierVk, vk, vk, modifierVk};
  const bool up[] = {false, false, true, true};
  SendKeys(vks, up, 4);
}

void WhileSleeping(DWORD ms, const std::function<void()> &input) {
  // The input is sent, and arrives, while the thread is not looking at its queue.
  input();
  Sleep(ms);
}

}  // namespace inject
