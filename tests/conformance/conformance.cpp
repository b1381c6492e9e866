#include "conformance.h"

#include <cstdio>

std::vector<Received> g_received;
std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT *)> g_onMessage;
const char kTopClass[] = "ZantConformanceTop";

LRESULT CALLBACK TopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_received.push_back({hwnd, message, wParam, lParam});
  LRESULT result = 0;
  if (g_onMessage && g_onMessage(hwnd, message, wParam, lParam, &result)) return result;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Conformance::SetUp() {
  inject::Reset();
  g_received.clear();
  g_onMessage = nullptr;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TopProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = kTopClass;
  // Real Windows keeps the class from one test to the next; the headless layer starts afresh.
  RegisterClassA(&wc);
}

void Conformance::TearDown() {
  g_onMessage = nullptr;
  for (HWND hwnd : windows_)
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  windows_.clear();
  Drain();
}

HWND Conformance::MakeTop(int x, int y, int w, int h, const char *title, DWORD style,
                          const char *cls) {
  RECT r = {0, 0, w, h};
  AdjustWindowRect(&r, style, FALSE);
  HWND hwnd = CreateWindowExA(0, cls, title, style, x, y, r.right - r.left, r.bottom - r.top,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (hwnd) windows_.push_back(hwnd);
  return hwnd;
}

HWND Conformance::MakeButton(HWND parent, const char *text, int x, int y, int w, int h, int id,
                             DWORD style) {
  return CreateWindowExA(0, "BUTTON", text, style, x, y, w, h, parent, (HMENU)(INT_PTR)id,
                         GetModuleHandleA(nullptr), nullptr);
}

std::vector<Received> Conformance::Commands() const {
  std::vector<Received> commands;
  for (const Received &r : g_received)
    if (r.message == WM_COMMAND) commands.push_back(r);
  return commands;
}

std::vector<MSG> Drain(HWND filter, UINT first, UINT last) {
  std::vector<MSG> taken;
  MSG msg;
  while (taken.size() < 1000 && PeekMessageA(&msg, filter, first, last, PM_REMOVE)) {
    taken.push_back(msg);
    if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);
  }
  return taken;
}

int Pump() {
  int count = 0;
  MSG msg;
  while (count < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++count;
  }
  return count;
}

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

std::string MessageName(UINT message) {
  switch (message) {
    case WM_PAINT:
      return "WM_PAINT";
    case WM_QUIT:
      return "WM_QUIT";
    case WM_COMMAND:
      return "WM_COMMAND";
    case WM_MOUSEMOVE:
      return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN:
      return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP:
      return "WM_LBUTTONUP";
    case WM_KEYDOWN:
      return "WM_KEYDOWN";
    case WM_KEYUP:
      return "WM_KEYUP";
    case WM_CHAR:
      return "WM_CHAR";
    case WM_SYSKEYDOWN:
      return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP:
      return "WM_SYSKEYUP";
  }
  char name[32];
  if (message >= WM_USER)
    std::snprintf(name, sizeof name, "WM_USER+%u", message - WM_USER);
  else
    std::snprintf(name, sizeof name, "0x%04X", message);
  return name;
}

std::string Describe(const std::vector<MSG> &messages) {
  std::string text;
  for (const MSG &m : messages) {
    if (!text.empty()) text += ", ";
    text += MessageName(m.message);
  }
  return "[" + text + "]";
}
