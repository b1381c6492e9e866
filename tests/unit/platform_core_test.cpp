// The core of the portable layer, driven headless: message order and filters as the game
// relies on them, windows and their messages, painting from the update region,
// composition of children, the virtual clock and the driver.
#include <gtest/gtest.h>
#include <windows.h>
#include <zant_headless.h>

#include <string>
#include <vector>

namespace {

struct Logged {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Logged> g_log;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_SETCURSOR && msg != WM_NCCREATE) g_log.push_back({hwnd, msg, wp, lp});
  return DefWindowProcA(hwnd, msg, wp, lp);
}

class Core : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    g_log.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = "CoreTest";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  HWND MakeTop(int w = 200, int h = 100) {
    RECT r{0, 0, w, h};
    AdjustWindowRect(&r, WS_CAPTION | WS_SYSMENU, FALSE);
    return CreateWindowExA(0, "CoreTest", "Top", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 10, 10,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  }
  std::vector<UINT> Messages(HWND hwnd) {
    std::vector<UINT> out;
    for (auto &l : g_log)
      if (l.hwnd == hwnd) out.push_back(l.message);
    return out;
  }
};

TEST_F(Core, ClientAreaIsTheSizeAskedForThroughAdjustWindowRect) {
  HWND top = MakeTop(600, 400);
  RECT c{};
  ASSERT_TRUE(GetClientRect(top, &c));
  EXPECT_EQ(c.right, 600);
  EXPECT_EQ(c.bottom, 400);
}

TEST_F(Core, DestructionSendsDestroyToParentBeforeChildrenAndInvalidatesHandles) {
  HWND top = MakeTop();
  HWND child = CreateWindowExA(0, "CoreTest", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, nullptr,
                               nullptr, nullptr);
  g_log.clear();
  ASSERT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> seq;
  for (auto &l : g_log)
    if (l.message == WM_DESTROY || l.message == WM_NCDESTROY) seq.push_back({l.hwnd, l.message});
  std::vector<std::pair<HWND, UINT>> expected{
      {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(seq, expected);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(child));
  // Stale handles fail instead of crashing.
  EXPECT_FALSE(ShowWindow(child, SW_SHOW));
  EXPECT_FALSE(PostMessageA(top, WM_USER, 0, 0));
  EXPECT_EQ(GetDC(top), nullptr);
  EXPECT_FALSE(DestroyWindow(top));
  RECT r;
  EXPECT_FALSE(GetClientRect(child, &r));
}

TEST_F(Core, CloseFromTheFrameDestroysThroughWmClose) {
  HWND top = MakeTop();
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  g_log.clear();
  headless::CloseFromFrame(top);
  headless::RunUntilIdle();
  auto msgs = Messages(top);
  auto pos = [&](UINT m) { return std::find(msgs.begin(), msgs.end(), m) - msgs.begin(); };
  ASSERT_LT(pos(WM_CLOSE), long(msgs.size()));
  EXPECT_LT(pos(WM_CLOSE), pos(WM_DESTROY));
  EXPECT_FALSE(IsWindow(top));
}

TEST_F(Core, UncoveredPartIsRepaintedFromTheUpdateRegionOnly) {
  HWND top = MakeTop(100, 50);
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  g_log.clear();
  headless::Damage(top, RECT{10, 20, 30, 25}, 0x123456);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, UINT(WM_PAINT));
  RECT u{};
  ASSERT_TRUE(GetUpdateRect(top, &u, FALSE));
  EXPECT_EQ(u.left, 10);
  EXPECT_EQ(u.top, 20);
  EXPECT_EQ(u.right, 30);
  EXPECT_EQ(u.bottom, 25);
  headless::RunUntilIdle();
  // The default erase painted the damaged part with the class brush (black).
  auto px = headless::ClientPixels(top);
  EXPECT_EQ(px.At(15, 22), 0u);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(Core, AWindowDraggedByTheUserMovesAndIsTold) {
  HWND top = MakeTop(100, 50);
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  RECT before{};
  GetWindowRect(top, &before);
  g_log.clear();
  headless::DragTo(top, 200, 150);
  headless::RunUntilIdle();
  RECT after{};
  GetWindowRect(top, &after);
  EXPECT_EQ(after.left, 200);
  EXPECT_EQ(after.top, 150);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  bool told = false;
  for (auto &l : g_log)
    told = told || (l.message == WM_MOVE && GET_X_LPARAM(l.lParam) == origin.x &&
                    GET_Y_LPARAM(l.lParam) == origin.y);
  EXPECT_TRUE(told) << "WM_MOVE with the new client origin";
}

TEST_F(Core, DrawingOnTheParentNeverTouchesAChild) {
  HWND top = MakeTop(100, 50);
  HWND button = CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE, 20, 10, 40, 20, top,
                                nullptr, nullptr, nullptr);
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  HDC dc = GetDC(top);
  PatBlt(dc, 0, 0, 100, 50, WHITENESS);
  ReleaseDC(top, dc);
  auto px = headless::ClientPixels(top);
  EXPECT_EQ(px.At(5, 5), 0xFFFFFFu);
  EXPECT_EQ(px.At(40, 20), 0xC0C0C0u) << "the button face shows through";
  EXPECT_TRUE(IsWindow(button));
}

TEST_F(Core, InputDuringSleepWaitsUntilTheQueueIsExamined) {
  HWND top = MakeTop();
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  DWORD start = GetTickCount();
  headless::At(start + 100, [top] { headless::Click(top, 5, 5); });
  Sleep(1000);
  EXPECT_EQ(GetTickCount() - start, 1000u);
  // The click arrived at 100 ms while the thread slept; a range flush drops it.
  MSG m;
  int dropped = 0;
  while (PeekMessageA(&m, top, WM_KEYFIRST, WM_MOUSELAST, PM_REMOVE)) ++dropped;
  EXPECT_EQ(dropped, 3);  // move, press, release
  EXPECT_FALSE(PeekMessageA(&m, top, WM_KEYFIRST, WM_MOUSELAST, PM_NOREMOVE));
}

TEST_F(Core, KeysWithoutAFocusGoToTheActiveWindowAsSystemKeys) {
  HWND top = MakeTop();
  HWND button = CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, top,
                                nullptr, nullptr, nullptr);
  ShowWindow(top, SW_SHOW);
  SetFocus(button);
  EnableWindow(button, FALSE);  // a disabled window loses the focus
  EXPECT_EQ(GetFocus(), nullptr);
  headless::Key('N');
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
  EXPECT_EQ(m.hwnd, top);
  EXPECT_EQ(m.message, UINT(WM_SYSKEYDOWN));
  EXPECT_EQ(m.wParam, WPARAM('N'));
}

TEST_F(Core, SpaceClicksTheFocusedButtonAndADisabledTopLevelTakesNoClicks) {
  HWND top = MakeTop();
  HWND button = CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, top,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
  ShowWindow(top, SW_SHOW);
  SetFocus(button);
  g_log.clear();
  headless::Key(VK_SPACE);
  headless::RunUntilIdle();
  int commands = 0;
  for (auto &l : g_log)
    if (l.message == WM_COMMAND && l.wParam == MAKEWPARAM(7, BN_CLICKED) &&
        l.lParam == LPARAM(button))
      ++commands;
  EXPECT_EQ(commands, 1);
  EnableWindow(top, FALSE);
  g_log.clear();
  headless::ClickCenter(button);
  headless::RunUntilIdle();
  EXPECT_TRUE(Messages(top).empty());
}

// A press the system takes away ends without a click, whether the button was held down with
// the mouse or with Space; the capture and the button state are given back, and the next
// click clicks.
TEST_F(Core, ACancelledPressDoesNotClick) {
  HWND top = MakeTop();
  HWND button = CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, top,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
  ShowWindow(top, SW_SHOW);
  headless::RunUntilIdle();
  auto clicks = [button] {
    int n = 0;
    for (auto &l : g_log)
      n += l.message == WM_COMMAND && l.wParam == MAKEWPARAM(7, BN_CLICKED) &&
           l.lParam == LPARAM(button);
    return n;
  };
  headless::MouseDown(button, 20, 10);
  headless::RunUntilIdle();
  EXPECT_EQ(GetCapture(), button);
  headless::CancelPress(top);
  headless::MouseUp(button, 20, 10);  // the release comes after all, over the button
  headless::RunUntilIdle();
  EXPECT_EQ(clicks(), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(GetKeyState(VK_LBUTTON) & 0x8000);

  SetFocus(button);
  headless::KeyDown(VK_SPACE);
  headless::CancelPress(top);
  headless::KeyUp(VK_SPACE);
  headless::RunUntilIdle();
  EXPECT_EQ(clicks(), 0);

  headless::ClickCenter(button);
  headless::Key(VK_SPACE);
  headless::RunUntilIdle();
  EXPECT_EQ(clicks(), 2);
}

TEST_F(Core, AStuckProgramEndsInsteadOfHanging) {
  HWND top = MakeTop();
  ShowWindow(top, SW_SHOW);
  int calls = 0;
  headless::SetIdleHook([&] {
    if (++calls == 1) PostMessageA(top, WM_USER + 1, 0, 0);  // one more message, then nothing
  });
  MSG m;
  std::vector<UINT> got;
  while (GetMessageA(&m, nullptr, 0, 0)) {
    got.push_back(m.message);
    DispatchMessageA(&m);
  }
  EXPECT_TRUE(headless::Stuck());
  EXPECT_NE(std::find(got.begin(), got.end(), UINT(WM_USER + 1)), got.end());
}

TEST_F(Core, FailureInjectionHitsTheChosenClassOnly) {
  headless::FailCall(headless::Fail::CreateWindow, 0, 1, "BUTTON");
  HWND top = MakeTop();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 1, 1, top, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_NE(CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 1, 1, top, nullptr, nullptr, nullptr),
            nullptr);
  headless::FailCall(headless::Fail::LocalAlloc, 1, 1);
  void *a = LocalAlloc(LMEM_ZEROINIT, 16);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(LocalAlloc(LMEM_ZEROINIT, 16), nullptr);
  EXPECT_EQ(LocalFree(a), nullptr);
  EXPECT_EQ(LocalFree(a), a) << "a block freed twice is refused";
}

TEST_F(Core, TickStepLetsAComputationSeeTimePassAndWrap) {
  headless::Reset(0xFFFFFFF0u);
  headless::SetTickStep(10);
  DWORD first = GetTickCount();
  for (int i = 0; i < 400; ++i) GetTickCount();
  DWORD later = GetTickCount();
  EXPECT_LT(later, first) << "the counter wrapped";
  EXPECT_EQ(DWORD(later - first), 40u);
}

}  // namespace
