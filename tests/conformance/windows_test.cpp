// Windows and push buttons: creation, clicks reaching the parent, closing.
#include "conformance.h"

namespace {

class Windows : public Conformance {};

// WM_NCCREATE and WM_CREATE reach the window procedure before CreateWindowExA returns,
// with the creation parameter; a WM_CREATE that answers -1 makes the call fail, and the
// window is gone again (it gets WM_NCDESTROY, but no WM_DESTROY).
TEST_F(Windows, CreateDeliversCreateBeforeReturning) {
  struct Case {
    LRESULT createAnswer;
    bool created;
  };
  const Case cases[] = {{0, true}, {-1, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.createAnswer);
    g_received.clear();
    int param = 42;
    void *seenParam = nullptr;
    HWND seenHwnd = nullptr;
    g_onMessage = [&](HWND hwnd, UINT message, WPARAM, LPARAM lParam, LRESULT *result) {
      if (message != WM_CREATE) return false;
      seenHwnd = hwnd;
      seenParam = reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams;
      *result = c.createAnswer;
      return true;
    };
    HWND hwnd = CreateWindowExA(0, kTopClass, "Created", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), &param);
    g_onMessage = nullptr;
    std::vector<UINT> order;
    for (const Received &r : g_received)
      if (r.message == WM_NCCREATE || r.message == WM_CREATE || r.message == WM_DESTROY ||
          r.message == WM_NCDESTROY)
        order.push_back(r.message);
    EXPECT_EQ(seenParam, &param);
    if (c.created) {
      ASSERT_NE(hwnd, nullptr);
      EXPECT_EQ(seenHwnd, hwnd);
      EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
      DestroyWindow(hwnd);
    } else {
      EXPECT_EQ(hwnd, nullptr);
      EXPECT_FALSE(IsWindow(seenHwnd));
      EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_NCDESTROY}));
    }
  }
}

// A click on an enabled push button reaches its parent as WM_COMMAND with the button's
// identifier, BN_CLICKED and the button's handle; a disabled button, a press that is
// released outside the button, and a click beside it give none.
TEST_F(Windows, ButtonClickReachesParentAsCommand) {
  struct Case {
    const char *name;
    bool enabled;
    int pressX, releaseX;  // relative to the button's left edge; it is 100 wide
    size_t commands;
  };
  const Case cases[] = {
      {"click", true, 50, 50, 1},
      {"disabled", false, 50, 50, 0},
      {"released outside", true, 50, 150, 0},
      {"pressed outside", true, -30, 50, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeTop(40, 40, 300, 120);
    HWND button = MakeButton(top, "Roll", 60, 30, 100, 30);
    ASSERT_TRUE(top && button);
    EnableWindow(button, c.enabled);
    inject::Foreground(top);
    g_received.clear();
    inject::Press(top, 60 + c.pressX, 45);
    Pump();
    inject::Release(top, 60 + c.releaseX, 45);
    Pump();
    std::vector<Received> commands = Commands();
    ASSERT_EQ(commands.size(), c.commands);
    if (c.commands) {
      EXPECT_EQ(commands[0].hwnd, top);
      EXPECT_EQ(LOWORD(commands[0].wParam), 0);
      EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
      EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), button);
    }
    DestroyWindow(top);
  }
}

// Space clicks the push button that has the focus, unless it is disabled.
TEST_F(Windows, SpaceClicksFocusedButton) {
  HWND top = MakeTop(40, 40, 300, 120);
  HWND roll = MakeButton(top, "Roll", 20, 30, 100, 30, 7);
  HWND hold = MakeButton(top, "Hold", 140, 30, 100, 30, 8);
  ASSERT_TRUE(top && roll && hold);
  inject::Foreground(top);
  SetFocus(hold);
  EXPECT_EQ(GetFocus(), hold);
  g_received.clear();
  inject::Key(VK_SPACE);
  Pump();
  std::vector<Received> commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wParam), 8);
  EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
  EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), hold);
}

// The default handling of WM_CLOSE destroys the window, which receives WM_DESTROY; the
// handle is dead afterwards and calls with it fail.
TEST_F(Windows, CloseDestroysThroughDefaultProcedure) {
  HWND top = MakeTop(40, 40, 200, 100);
  HWND button = MakeButton(top, "Child", 10, 10, 80, 24);
  ASSERT_TRUE(top && button);
  g_received.clear();
  SendMessageA(top, WM_CLOSE, 0, 0);
  std::vector<UINT> order;
  for (const Received &r : g_received)
    if (r.message == WM_CLOSE || r.message == WM_DESTROY || r.message == WM_NCDESTROY)
      order.push_back(r.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(button));
  RECT r;
  EXPECT_FALSE(GetClientRect(top, &r));
  EXPECT_FALSE(ShowWindow(button, SW_SHOW));
  EXPECT_FALSE(PostMessageA(top, WM_USER, 0, 0));
}

// Invalidated areas add up to one update region; WM_PAINT is made from it only when nothing
// else is queued, BeginPaint hands it over, and once painted it does not come back.
TEST_F(Windows, InvalidatedAreasArePaintedOnce) {
  HWND top = MakeTop(40, 40, 200, 100);
  ASSERT_NE(top, nullptr);
  UpdateWindow(top);
  Drain();
  RECT a = {10, 10, 20, 20};
  RECT b = {30, 5, 40, 15};
  InvalidateRect(top, &a, FALSE);
  InvalidateRect(top, &b, FALSE);
  PostMessageA(top, WM_USER, 0, 0);
  RECT update = {};
  EXPECT_TRUE(GetUpdateRect(top, &update, FALSE));
  EXPECT_EQ(update.left, 10);
  EXPECT_EQ(update.top, 5);
  EXPECT_EQ(update.right, 40);
  EXPECT_EQ(update.bottom, 20);

  RECT painted = {};
  int paints = 0;
  g_onMessage = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT *) {
    if (message != WM_PAINT) return false;
    ++paints;
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    painted = ps.rcPaint;
    EndPaint(hwnd, &ps);
    return true;
  };
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, top, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER)) << "the posted message comes first";
  ASSERT_TRUE(PeekMessageA(&msg, top, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageA(&msg);
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(painted.left, 10);
  EXPECT_EQ(painted.top, 5);
  EXPECT_EQ(painted.right, 40);
  EXPECT_EQ(painted.bottom, 20);
  EXPECT_FALSE(GetUpdateRect(top, &update, FALSE));
  EXPECT_FALSE(PeekMessageA(&msg, top, 0, 0, PM_REMOVE)) << "got " << MessageName(msg.message);
}

// ShowCursor keeps a display count and answers the new count; SetCursor answers the cursor
// it replaces; the system cursors are shared, so loading one twice gives the same handle.
TEST_F(Windows, CursorCountAndShape) {
  int start = ShowCursor(TRUE) - 1;
  ShowCursor(FALSE);
  const BOOL shows[] = {FALSE, FALSE, TRUE, FALSE, TRUE, TRUE};
  const int counts[] = {-1, -2, -1, -2, -1, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ShowCursor(shows[i]), start + counts[i]) << "call " << i;

  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_TRUE(arrow && wait);
  EXPECT_NE(arrow, wait);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), wait);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(SetCursor(arrow), wait);
}

// EnableWindow answers whether the window was disabled before; IsWindowEnabled follows.
TEST_F(Windows, EnableWindowReportsPreviousState) {
  HWND top = MakeTop(40, 40, 200, 100);
  HWND button = MakeButton(top, "Child", 10, 10, 80, 24);
  ASSERT_TRUE(top && button);
  struct Step {
    BOOL enable;
    BOOL wasDisabled;
  };
  const Step steps[] = {{FALSE, FALSE}, {FALSE, TRUE}, {TRUE, TRUE}, {TRUE, FALSE}};
  for (const Step &s : steps) {
    EXPECT_EQ(EnableWindow(button, s.enable) != FALSE, s.wasDisabled != FALSE);
    EXPECT_EQ(IsWindowEnabled(button) != FALSE, s.enable != FALSE);
  }
}

}  // namespace
