// Conformance tests: the behaviour of the Win32 calls that the game relies on, written
// once against <windows.h> and built twice, against the portable layer (headless) and
// against real Win32 (run under Wine). Where the two disagree, Windows is right.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------
// The user's hand: input that a test injects. Two implementations, one per build:
// inject_headless.cpp (the headless driver) and inject_win32.cpp (SendInput).
// Every call returns once the input is waiting in the thread's queue (or, headless, in the
// back end, from where the next look at the queue pulls it); nothing is dispatched.
// ---------------------------------------------------------------------------------
namespace inject {
// Called before each test: the headless build starts from a clean layer.
void Reset();
// Makes a top-level window the active, foreground window with the keyboard focus, and
// handles what that sends; on return the queue holds nothing from it.
void Foreground(HWND top);
// Mouse input at a point in client coordinates of `hwnd`.
void Click(HWND hwnd, int x, int y);
void Press(HWND hwnd, int x, int y);
void Release(HWND hwnd, int x, int y);
void ClickCenter(HWND hwnd);
// A click on a top-level window's menu bar, `x` pixels from the bar's left end, halfway
// down the bar.
void ClickMenuBar(HWND top, int x);
// A key pressed and released, alone or with a modifier (VK_SHIFT, VK_CONTROL, VK_MENU).
void Key(UINT vk);
void KeyWith(UINT modifierVk, UINT vk);
// Sleeps for `ms` milliseconds, during which `input` (calls of the functions above) arrives.
void WhileSleeping(DWORD ms, const std::function<void()> &input);
}  // namespace inject

// ---------------------------------------------------------------------------------
// Test windows. One class of top-level window whose procedure logs what it receives,
// and push buttons as its children.
// ---------------------------------------------------------------------------------
struct Received {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The messages the test windows received since the test began, in order.
extern std::vector<Received> g_received;
// Lets a test act on a message as it arrives at a test window; returns true when it
// handled the message (the default procedure is then not called).
extern std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT *)> g_onMessage;

extern const char kTopClass[];
// The procedure of the test windows (for a class of a test's own).
LRESULT CALLBACK TopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class Conformance : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A visible top-level window with a client area of `w` x `h` at a screen position.
  HWND MakeTop(int x, int y, int w, int h, const char *title = "Conformance",
               DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, const char *cls = kTopClass);
  // A push button (id 0 unless given) at client coordinates of `parent`.
  HWND MakeButton(HWND parent, const char *text, int x, int y, int w, int h, int id = 0,
                  DWORD style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);

  // The WM_COMMAND messages that arrived at test windows: (window, wParam, lParam).
  std::vector<Received> Commands() const;
  std::vector<HWND> windows_;
};

// Takes every message out of the queue (within a filter) without dispatching it. A
// WM_PAINT is taken by validating its window, as it would otherwise come back at once.
std::vector<MSG> Drain(HWND filter = nullptr, UINT first = 0, UINT last = 0);
// Dispatches every message until the queue is empty; returns how many.
int Pump();
bool IsInput(UINT message);
std::string MessageName(UINT message);
std::string Describe(const std::vector<MSG> &messages);
