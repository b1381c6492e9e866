#include "test_support.h"

#include <cstdlib>

const char kMainClass[] = "MenuDialogTestMain";

namespace {
LayerTest *g_test = nullptr;
bool g_fromQueue = false;  // the loop is dispatching a message it took from the queue

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool posted = g_fromQueue;
  g_fromQueue = false;
  if (LayerTest *t = g_test) {
    t->messages_.push_back(msg);
    if (msg == WM_COMMAND) t->commands_.push_back({hwnd, wParam, lParam, posted});
    if (t->onMessage_ && t->onMessage_(hwnd, msg, wParam, lParam)) return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

void LayerTest::SetUp() {
  headless::Reset();
  g_test = this;
  WNDCLASSA wc{};
  wc.lpfnWndProc = MainProc;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = "TESTMENU";
  wc.lpszClassName = kMainClass;
  ASSERT_NE(RegisterClassA(&wc), 0);
  headless::SetIdleHook([this] {
    if (steps_.empty()) return;
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
  });
}

void LayerTest::TearDown() {
  headless::SetIdleHook(nullptr);
  g_test = nullptr;
  headless::Reset();
}

HWND LayerTest::MakeMain(int w, int h, int x, int y) {
  DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  RECT r{0, 0, w, h};
  AdjustWindowRect(&r, style, TRUE);
  return CreateWindowA(kMainClass, "Main", style, x + r.left, y + r.top, r.right - r.left,
                       r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

HWND LayerTest::MakeButton(HWND parent, int id, int x, int y, int w, int h) {
  return CreateWindowA("BUTTON", "Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, w, h,
                       parent, reinterpret_cast<HMENU>(intptr_t(id)), nullptr, nullptr);
}

void LayerTest::Script(std::vector<std::function<void()>> steps) {
  steps_.assign(steps.begin(), steps.end());
}

int LayerTest::RunLoop(HACCEL accel, HWND accelWindow) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (accel && TranslateAcceleratorA(accelWindow, accel, &msg)) continue;
    TranslateMessage(&msg);
    g_fromQueue = true;
    DispatchMessageA(&msg);
    g_fromQueue = false;
  }
  return int(msg.wParam);
}

void Shot(const char *name, HWND top) {
  const char *dir = std::getenv("ZANT_SHOTS");
  if (!dir || !*dir) return;
  headless::SaveScreenshot(std::string(dir) + "/" + name + ".bmp", top);
}

RECT RectInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  if (HWND parent = (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr) {
    POINT a{r.left, r.top}, b{r.right, r.bottom};
    ScreenToClient(parent, &a);
    ScreenToClient(parent, &b);
    r = RECT{a.x, a.y, b.x, b.y};
  }
  return r;
}

int CountPixels(const headless::Pixels &p, RECT r, uint32_t color) {
  int n = 0;
  for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, p.h); ++y)
    for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, p.w); ++x)
      if (p.At(x, y) == color) ++n;
  return n;
}
