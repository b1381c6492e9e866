// Start-up, the main window's frame and surfaces, repainting and the way out, played
// headless: the whole program runs inside the test and the idle hook acts as the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_harness.h"
#include "resource.h"
#include "zant_headless.h"
#include "zantpig.h"

namespace {

const uint32_t kFrame = 0x00C0FF;  // RGB(0, 192, 255) as 0x00RRGGBB

// The program as the process entry starts it.
int RunProgram() {
  return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
}

std::string WindowText(HWND hwnd) {
  char text[128] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

// The first visible message box, or null.
HWND MessageBoxWindow() {
  for (HWND h : headless::TopLevelWindows()) {
    char cls[32] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770") return h;
  }
  return nullptr;
}

// The busy look of a table-top pixel: red gone, green kept, blue cut to its high bits.
uint32_t Tinted(uint32_t rgb) {
  return rgb & 0x00FFF0;
}

// How many pixels of the window's left half differ from the picture, plain or tinted.
int LeftHalfMismatches(HWND hwnd, bool tinted) {
  static const std::vector<uint32_t> table = game::ResourcePixels("ZANTPIGBITMAP", 300, 400);
  headless::Pixels p = headless::ClientPixels(hwnd);
  if (p.w < 300 || p.h < 400) return 300 * 400;
  int bad = 0;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 300; ++x) {
      uint32_t want = table[static_cast<size_t>(y) * 300 + x];
      if (p.At(x, y) != (tinted ? Tinted(want) : want)) ++bad;
    }
  }
  return bad;
}

bool InButton(int x, int y) {
  for (int left : {337, 424, 511}) {
    if (x >= left && x < left + 50 && y >= 342 && y < 372) return true;
  }
  return false;
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::ClearFailures();
    oksplash = 0;
    allocated = 0;
    showprob = 0;
    g_hWnd = nullptr;
    g_hBWnd1 = g_hBWnd2 = g_hBWnd3 = nullptr;
  }
  void TearDown() override {
    if (IsWindow(g_hWnd)) DestroyWindow(g_hWnd);
    headless::ClearFailures();
    headless::Reset();
  }

  // Starts the program without probability tables (so no calculation runs) up to its first
  // wait for input; the idle hook dismisses the box that reports the missing tables.
  void StartWithoutTables() {
    headless::FailCall(headless::Fail::LocalAlloc);
    headless::SetIdleHook([] {
      if (MessageBoxWindow()) headless::Key(VK_RETURN);
    });
    ASSERT_EQ(InitWindowClass(GetModuleHandleA(nullptr)), 0);
    ASSERT_EQ(CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWDEFAULT), 0);
    headless::SetIdleHook(nullptr);
    headless::RunUntilIdle();
  }
};

// Each start-up failure shows its own text under "Error", undoes nothing, and the process
// still ends with 0.
TEST_F(Startup, FailuresShowTheirTextAndEndWithZero) {
  struct Case {
    headless::Fail what;
    const char *className;
    const char *text;
    int oksplashAfter;  // the splash class is registered only after the main class
  };
  const Case cases[] = {
      {headless::Fail::RegisterClass, "ZantWindow", "Couldn't register main window class.", 0},
      {headless::Fail::CreateWindow, "ZantWindow", "Couldn't create main window.", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    SetUp();
    headless::FailCall(c.what, 0, 1, c.className);
    std::vector<std::string> seen;
    headless::SetIdleHook([&] {
      HWND box = MessageBoxWindow();
      if (!box) return;
      seen.push_back(WindowText(box));
      EXPECT_NE(headless::FindChild(box, nullptr, c.text), nullptr) << "box without the text";
      EXPECT_EQ(headless::FindTopLevel("ZantWindow", nullptr), nullptr);
      headless::Key(VK_RETURN);
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(headless::Stuck()) << "the program waited with nothing on the screen";
    EXPECT_EQ(seen, std::vector<std::string>{"Error"});
    EXPECT_EQ(oksplash, c.oksplashAfter);
  }
}

// Start-up in its order, with the tables: the window is shown and painted with the tinted
// table top and the static score board, the three buttons exist and are disabled, and the
// calculation of the tables is the first thing the loop delivers; it ends the busy look.
// Closing through the frame then ends the loop with 0 and releases everything.
TEST_F(Startup, OrderWithTablesThenCloseFromFrame) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  ASSERT_EQ(InitWindowClass(instance), 0);
  EXPECT_EQ(oksplash, 1);
  ASSERT_EQ(CreateMainWindow(instance, SW_SHOWDEFAULT), 0);

  ASSERT_TRUE(IsWindow(g_hWnd));
  EXPECT_TRUE(IsWindowVisible(g_hWnd));
  char cls[32] = "";
  GetClassNameA(g_hWnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "ZantWindow");
  EXPECT_EQ(WindowText(g_hWnd), "Zant Pig");
  EXPECT_NE(g_hAccel, nullptr);
  EXPECT_EQ(xscreen, headless::ScreenSize().cx);
  EXPECT_EQ(yscreen, headless::ScreenSize().cy);

  // The top-left corner of the screen, and exactly 600 x 400 inside the frame and menu.
  RECT window, client;
  GetWindowRect(g_hWnd, &window);
  GetClientRect(g_hWnd, &client);
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(client.right - client.left, 600);
  EXPECT_EQ(client.bottom - client.top, 400);

  struct Button {
    HWND hwnd;
    LPARAM handle;
    const char *text;
    int x;
  };
  const Button buttons[] = {{g_hBWnd1, buttonhandle1, "Roll", 337},
                            {g_hBWnd2, buttonhandle2, "Hold", 424},
                            {g_hBWnd3, buttonhandle3, "Quit", 511}};
  for (const Button &b : buttons) {
    SCOPED_TRACE(b.text);
    ASSERT_TRUE(IsWindow(b.hwnd));
    EXPECT_EQ(b.handle, (LPARAM)b.hwnd);
    EXPECT_EQ(GetParent(b.hwnd), g_hWnd);
    EXPECT_EQ(WindowText(b.hwnd), b.text);
    EXPECT_EQ(GetDlgCtrlID(b.hwnd), 0);
    EXPECT_TRUE(IsWindowVisible(b.hwnd));
    EXPECT_FALSE(IsWindowEnabled(b.hwnd));
    RECT r;
    GetWindowRect(b.hwnd, &r);
    POINT topLeft{r.left, r.top};
    ScreenToClient(g_hWnd, &topLeft);
    EXPECT_EQ(topLeft.x, b.x);
    EXPECT_EQ(topLeft.y, 342);
    EXPECT_EQ(r.right - r.left, 50);
    EXPECT_EQ(r.bottom - r.top, 30);
  }

  HMENU menu = GetMenu(g_hWnd);
  EXPECT_EQ(GetMenuState(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND), UINT(MF_CHECKED));
  EXPECT_EQ(GetMenuState(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND), UINT(MF_ENABLED));
  EXPECT_EQ(allocated, 1);
  EXPECT_EQ(showprob, 1);

  // Painted before the loop runs: the tinted table top and the frame-coloured separator.
  EXPECT_EQ(LeftHalfMismatches(g_hWnd, true), 0);
  headless::Pixels p = headless::ClientPixels(g_hWnd);
  ASSERT_EQ(p.w * p.h, 600 * 400);
  EXPECT_EQ(p.At(300, 0), kFrame);
  EXPECT_EQ(p.At(300, 398), kFrame);
  EXPECT_EQ(p.At(300, 399), 0u);

  MSG first;
  ASSERT_TRUE(PeekMessageA(&first, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(first.hwnd, g_hWnd);
  EXPECT_EQ(first.message, UINT(WM_COMMAND));
  EXPECT_EQ(first.wParam, WPARAM(CMD_SOLVE_TABLES));

  int idles = 0;
  headless::SetIdleHook([&] {
    if (++idles > 1) return;
    // The tables are solved and the table top shows in its own colours.
    EXPECT_EQ(LeftHalfMismatches(g_hWnd, false), 0);
    EXPECT_EQ(g_bkgdhdc, nullptr);
    EXPECT_GT(prob[0], 0.5f);
    headless::CloseFromFrame(g_hWnd);
  });
  int cursorBefore = headless::CursorCount();
  EXPECT_EQ(ProgramDriver(), 0u);
  EXPECT_FALSE(headless::Stuck());
  EXPECT_EQ(idles, 1);
  EXPECT_FALSE(IsWindow(g_hWnd));
  EXPECT_EQ(g_vhdc, nullptr);
  EXPECT_EQ(g_hdc, nullptr);
  EXPECT_EQ(prob, nullptr);
  EXPECT_EQ(option, nullptr);
  EXPECT_EQ(headless::CursorCount(), cursorBefore);
}

// Without tables the busy look ends at once, the probability items are greyed and no
// calculation is queued.
TEST_F(Startup, WithoutTablesTheTableTopShowsPlainFromTheFirstPaint) {
  StartWithoutTables();
  EXPECT_EQ(allocated, 0);
  EXPECT_EQ(LeftHalfMismatches(g_hWnd, false), 0);
  EXPECT_EQ(g_bkgdhdc, nullptr);
  HMENU menu = GetMenu(g_hWnd);
  EXPECT_EQ(GetMenuState(menu, IDM_DISPLAY_PROBABILITIES, MF_BYCOMMAND) & MF_GRAYED,
            UINT(MF_GRAYED));
  EXPECT_EQ(GetMenuState(menu, IDM_SUGGESTION_MODE, MF_BYCOMMAND) & MF_GRAYED, UINT(MF_GRAYED));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, g_hWnd, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
}

// Uncovering part of the window repaints exactly that part from the off-screen image; moving
// the window repaints all of it. The off-screen image is changed behind the window's back,
// so whatever was repainted shows the change and nothing else does.
TEST_F(Startup, RepaintCopiesExactlyTheDamagedPartFromTheImage) {
  struct Case {
    const char *name;
    RECT damage;  // empty: move the window instead
  };
  const Case cases[] = {
      {"inside the table top", {10, 20, 60, 90}},
      {"across the separator", {280, 50, 330, 120}},
      {"around the buttons", {320, 330, 600, 400}},
      {"one pixel in the corner", {599, 399, 600, 400}},
      {"everything", {0, 0, 600, 400}},
      {"moving the window", {0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    StartWithoutTables();
    headless::Pixels before = headless::ClientPixels(g_hWnd);
    PatBlt(g_vhdc, 0, 0, 600, 400, WHITENESS);
    RECT repainted = c.damage;
    if (IsRectEmpty(&c.damage)) {
      RECT w;
      GetWindowRect(g_hWnd, &w);
      MoveWindow(g_hWnd, 20, 30, w.right - w.left, w.bottom - w.top, TRUE);
      SetRect(&repainted, 0, 0, 600, 400);
    } else {
      headless::Damage(g_hWnd, c.damage);
    }
    headless::RunUntilIdle();
    headless::Pixels after = headless::ClientPixels(g_hWnd);
    ASSERT_EQ(after.w * after.h, 600 * 400);
    int wrong = 0;
    for (int y = 0; y < 400; ++y) {
      for (int x = 0; x < 600; ++x) {
        if (InButton(x, y)) continue;  // the buttons are windows of their own
        POINT pt{x, y};
        uint32_t want = PtInRect(&repainted, pt) ? 0xFFFFFFu : before.At(x, y);
        if (after.At(x, y) != want && wrong++ == 0) {
          ADD_FAILURE() << "(" << x << ", " << y << ") is " << std::hex << after.At(x, y)
                        << ", expected " << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    TearDown();
  }
}

// Closing through the frame ends the program with 0 whatever the splash does: with its class
// the closing splash holds the thread for two seconds with the cursor hidden, without it the
// program ends at once.
TEST_F(Startup, CloseFromFrameEndsWithZero) {
  struct Case {
    bool splashClass;
    DWORD minPause, maxPause;
  };
  const Case cases[] = {{true, 2000, 2100}, {false, 0, 100}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.splashClass ? "with the splash" : "without the splash class");
    SetUp();
    headless::FailCall(headless::Fail::LocalAlloc);
    if (!c.splashClass) headless::FailCall(headless::Fail::RegisterClass, 0, 1, "ZantSplashWindow");
    DWORD closedAt = 0;
    int cursorBefore = headless::CursorCount();
    headless::SetIdleHook([&] {
      if (MessageBoxWindow()) {  // the missing tables are reported first
        headless::Key(VK_RETURN);
      } else if (IsWindow(g_hWnd) && closedAt == 0) {
        closedAt = headless::Now();
        headless::CloseFromFrame(g_hWnd);
      }
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_FALSE(headless::Stuck());
    EXPECT_EQ(oksplash, c.splashClass ? 1 : 0);
    EXPECT_FALSE(IsWindow(g_hWnd));
    DWORD pause = headless::Now() - closedAt;
    EXPECT_GE(pause, c.minPause);
    EXPECT_LE(pause, c.maxPause);
    EXPECT_EQ(headless::CursorCount(), cursorBefore);
    EXPECT_EQ(headless::FindTopLevel("ZantSplashWindow", nullptr), nullptr);
  }
}

}  // namespace
