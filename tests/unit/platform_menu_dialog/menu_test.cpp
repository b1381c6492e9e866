// Menus and accelerators of the layer: the menu template as read from the resource, item
// states by command, the menu bar (commands on the bar, the pop-up, greyed items), and the
// rules of TranslateAcceleratorA.
#include <string>

#include "menu_dialog_ids.h"
#include "test_support.h"

namespace {

constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kNavy = 0x000080;

// The horizontal middles of the titles drawn on a window's menu bar, found from the pixels
// the way a user finds them: runs of ink separated by wider gaps than a word space.
std::vector<int> TitleCenters(HWND top) {
  headless::Pixels p = headless::SurfacePixels(top);
  int bar = GetSystemMetrics(SM_CYMENU);
  std::vector<int> centers;
  int start = -1, last = -1;
  for (int x = 0; x < p.w; ++x) {
    bool ink = false;
    for (int y = 3; y < bar - 3 && !ink; ++y) ink = p.At(x, y) != kFace;
    if (!ink) continue;
    if (start >= 0 && x - last > 8) {
      centers.push_back((start + last) / 2);
      start = -1;
    }
    if (start < 0) start = x;
    last = x;
  }
  if (start >= 0) centers.push_back((start + last) / 2);
  return centers;
}

HWND PopupWindow() {
  return headless::FindTopLevel("#32768", nullptr);
}

std::string MenuText(HMENU menu, UINT item, UINT flags) {
  char buf[64] = {};
  GetMenuStringA(menu, item, buf, sizeof buf, flags);
  return buf;
}

using MenuTest = LayerTest;

// ---------------------------------------------------------------------------------
// The menu template and item states
// ---------------------------------------------------------------------------------

TEST_F(MenuTest, TemplateGivesItemsTextsCommandsAndStates) {
  HMENU menu = LoadMenuA(nullptr, "TESTMENU");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 4);
  HMENU options = GetSubMenu(menu, 2);
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(GetMenuItemCount(options), 5);
  HMENU deeper = GetSubMenu(options, 4);
  ASSERT_NE(deeper, nullptr);

  struct Row {
    HMENU menu;
    int pos;
    const char *text;  // trailing blanks are kept
    UINT id;           // 0xFFFFFFFF for a pop-up
    UINT state;        // GetMenuState by position
  };
  const Row rows[] = {
      {menu, 0, "First (F)   ", IDM_FIRST, 0},
      {menu, 1, "Second   ", IDM_SECOND, MF_GRAYED},
      {menu, 2, "Options   ", 0xFFFFFFFF, MF_POPUP | (5u << 8)},
      {menu, 3, "Last (Esc)", IDM_LAST, 0},
      {options, 0, "Option A", IDM_OPTION_A, 0},
      {options, 1, "Option B (checked)", IDM_OPTION_B, MF_CHECKED},
      {options, 2, "", 0, MF_SEPARATOR},
      {options, 3, "Option C (greyed)", IDM_OPTION_C, MF_GRAYED},
      {options, 4, "Deeper", 0xFFFFFFFF, MF_POPUP | (1u << 8)},
      {deeper, 0, "Deep", IDM_DEEP, 0},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(MenuText(r.menu, UINT(r.pos), MF_BYPOSITION), r.text);
    EXPECT_EQ(GetMenuItemID(r.menu, r.pos), r.id);
    EXPECT_EQ(GetMenuState(r.menu, UINT(r.pos), MF_BYPOSITION), r.state);
  }
  // By command, items are found in pop-ups at any depth.
  EXPECT_EQ(MenuText(menu, IDM_DEEP, MF_BYCOMMAND), "Deep");
  EXPECT_EQ(GetMenuState(menu, IDM_OPTION_C, MF_BYCOMMAND), UINT(MF_GRAYED));

  // A short buffer gets what fits; no buffer asks for the length.
  char small[6];
  EXPECT_EQ(GetMenuStringA(menu, IDM_FIRST, small, sizeof small, MF_BYCOMMAND), 5);
  EXPECT_STREQ(small, "First");
  EXPECT_EQ(GetMenuStringA(menu, IDM_FIRST, nullptr, 0, MF_BYCOMMAND), 12);

  // Destroying a menu destroys its pop-ups; the handles then fail.
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
  EXPECT_EQ(GetMenuItemCount(deeper), -1);
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_EQ(LoadMenuA(nullptr, "NOSUCHMENU"), nullptr);
}

TEST_F(MenuTest, EnableAndCheckAnswerThePreviousState) {
  HWND top = MakeMain();
  HMENU menu = GetMenu(top);
  ASSERT_NE(menu, nullptr);
  struct Step {
    bool check;  // CheckMenuItem, else EnableMenuItem
    UINT item, flags;
    DWORD previous;
    UINT after;  // MF_CHECKED | MF_GRAYED | MF_DISABLED of the item afterwards
  };
  const Step steps[] = {
      {false, IDM_SECOND, MF_ENABLED, MF_GRAYED, 0},
      {false, IDM_SECOND, MF_DISABLED, MF_ENABLED, MF_DISABLED},
      {false, IDM_SECOND, MF_GRAYED, MF_DISABLED, MF_GRAYED},
      {true, IDM_OPTION_B, MF_UNCHECKED, MF_CHECKED, 0},
      {true, IDM_OPTION_B, MF_UNCHECKED, MF_UNCHECKED, 0},
      {true, IDM_DEEP, MF_CHECKED, MF_UNCHECKED, MF_CHECKED},
      {false, IDM_DEEP, MF_GRAYED, MF_ENABLED, MF_CHECKED | MF_GRAYED},
      {true, 0, MF_CHECKED | MF_BYPOSITION, MF_UNCHECKED, MF_CHECKED},
      {true, 999, MF_CHECKED, 0xFFFFFFFF, 0xFFFFFFFF},
      {false, 999, MF_GRAYED, 0xFFFFFFFF, 0xFFFFFFFF},
      {false, 9, MF_GRAYED | MF_BYPOSITION, 0xFFFFFFFF, 0xFFFFFFFF},
  };
  int i = 0;
  for (const Step &s : steps) {
    DWORD previous = s.check ? CheckMenuItem(menu, s.item, s.flags)
                             : DWORD(EnableMenuItem(menu, s.item, s.flags));
    EXPECT_EQ(previous, s.previous) << "step " << i;
    UINT state = GetMenuState(menu, s.item, s.flags & MF_BYPOSITION);
    if (state != 0xFFFFFFFF) state &= MF_CHECKED | MF_GRAYED | MF_DISABLED;
    EXPECT_EQ(state, s.after) << "step " << i;
    ++i;
  }
  // Bad handles fail.
  EXPECT_EQ(EnableMenuItem(nullptr, IDM_FIRST, MF_GRAYED), -1);
  EXPECT_EQ(GetMenu(nullptr), nullptr);
}

TEST_F(MenuTest, ClientAreaKeepsItsSizeBelowTheBar) {
  HWND top = MakeMain(300, 200);
  RECT client{}, window{};
  GetClientRect(top, &client);
  GetWindowRect(top, &window);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  // Taking the menu away gives its height to the client area; the window keeps its size.
  EXPECT_TRUE(SetMenu(top, nullptr));
  EXPECT_EQ(GetMenu(top), nullptr);
  RECT after{}, windowAfter{};
  GetClientRect(top, &after);
  GetWindowRect(top, &windowAfter);
  EXPECT_EQ(after.bottom, 200 + GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(windowAfter.bottom - windowAfter.top, window.bottom - window.top);
}

// ---------------------------------------------------------------------------------
// The menu bar
// ---------------------------------------------------------------------------------

TEST_F(MenuTest, CommandsOnTheBarArePostedAndGreyedOnesAreInert) {
  HWND top = MakeMain();
  std::vector<int> titles = TitleCenters(top);
  ASSERT_EQ(titles.size(), 4u) << "titles found on the bar";
  Shot("menubar", top);
  Script({[&] { headless::ClickMenuBar(top, titles[0], 9); },
          [&] { headless::ClickMenuBar(top, titles[1], 9); },  // greyed
          [&] { headless::ClickMenuBar(top, titles[3], 9); }});
  RunLoop();
  ASSERT_EQ(commands_.size(), 2u);
  EXPECT_EQ(commands_[0].wParam, WPARAM(IDM_FIRST));  // high word 0: from the menu
  EXPECT_EQ(commands_[0].lParam, 0);
  EXPECT_TRUE(commands_[0].posted);
  EXPECT_EQ(commands_[1].wParam, WPARAM(IDM_LAST));
  EXPECT_TRUE(commands_[1].posted);
  EXPECT_EQ(PopupWindow(), nullptr);
}

TEST_F(MenuTest, PopupOpensBelowItsTitleAndGivesTheChosenCommand) {
  HWND top = MakeMain();
  std::vector<int> titles = TitleCenters(top);
  ASSERT_EQ(titles.size(), 4u);
  RECT popupRect{};
  bool titleSunken = false;
  int checkInk = 0, highlight = 0;
  Script({
      [&] { headless::ClickMenuBar(top, titles[2], 9); },
      [&] {
        HWND popup = PopupWindow();
        ASSERT_NE(popup, nullptr);
        GetWindowRect(popup, &popupRect);
        headless::Pixels bar = headless::SurfacePixels(top);
        // The open title is sunken: a shadow line above it, a white one below.
        titleSunken = bar.At(titles[2], 1) == 0x808080 &&
                      bar.At(titles[2], GetSystemMetrics(SM_CYMENU) - 1) == 0xFFFFFF;
        headless::Pixels pixels = headless::ClientPixels(popup);
        int rowHeight = (pixels.h - 6 - 9) / 4;
        // The check mark of Option B sits in the left column of the second row.
        checkInk = CountPixels(pixels, RECT{3, 3 + rowHeight, 19, 3 + 2 * rowHeight}, 0x000000);
        headless::MouseMove(popup, pixels.w / 2, 3 + rowHeight / 2);
      },
      [&] {
        HWND popup = PopupWindow();
        ASSERT_NE(popup, nullptr);
        headless::Pixels pixels = headless::ClientPixels(popup);
        highlight = CountPixels(pixels, RECT{0, 0, pixels.w, pixels.h}, kNavy);
        Shot("menu_popup");
        headless::Click(popup, pixels.w / 2, 3 + (pixels.h - 15) / 8);
      },
  });
  RunLoop();
  RECT client{};
  GetClientRect(top, &client);
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  EXPECT_EQ(popupRect.top, origin.y) << "the pop-up hangs from the bottom of the bar";
  EXPECT_LT(popupRect.left, origin.x + titles[2]);
  EXPECT_GT(popupRect.left, origin.x + titles[1]);
  EXPECT_TRUE(titleSunken);
  EXPECT_GT(checkInk, 8);
  EXPECT_GT(highlight, 100) << "the item under the mouse is highlighted";
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(commands_[0].wParam, WPARAM(IDM_OPTION_A));
  EXPECT_TRUE(commands_[0].posted);
  EXPECT_EQ(PopupWindow(), nullptr) << "the pop-up closes with the command";
}

TEST_F(MenuTest, GreyedItemsAreInertAndAClickOutsideClosesThePopup) {
  HWND top = MakeMain();
  std::vector<int> titles = TitleCenters(top);
  ASSERT_EQ(titles.size(), 4u);
  bool openAfterGreyedClick = false;
  size_t clicksOnClient = 0;
  Script({
      [&] { headless::ClickMenuBar(top, titles[2], 9); },
      [&] {
        HWND popup = PopupWindow();
        ASSERT_NE(popup, nullptr);
        headless::Pixels p = headless::ClientPixels(popup);
        int rowHeight = (p.h - 6 - 9) / 4;
        headless::Click(popup, p.w / 2, 3 + 2 * rowHeight + 9 + rowHeight / 2);  // Option C
      },
      [&] {
        openAfterGreyedClick = PopupWindow() != nullptr;
        messages_.clear();
        headless::Click(top, 200, 150);
      },
  });
  RunLoop();
  EXPECT_TRUE(openAfterGreyedClick);
  EXPECT_EQ(PopupWindow(), nullptr);
  for (UINT m : messages_) clicksOnClient += m == WM_LBUTTONDOWN;
  EXPECT_EQ(clicksOnClient, 0u) << "the press that closes the menu goes nowhere else";
  EXPECT_TRUE(commands_.empty());
}

TEST_F(MenuTest, KeysMoveInThePopupAndEscapeLeavesIt) {
  HWND top = MakeMain();
  std::vector<int> titles = TitleCenters(top);
  ASSERT_EQ(titles.size(), 4u);
  Script({
      [&] { headless::ClickMenuBar(top, titles[2], 9); },
      [&] { headless::Key(VK_ESCAPE); },
      [&] { headless::ClickMenuBar(top, titles[2], 9); },
      [&] {
        headless::Key(VK_DOWN);
        headless::Key(VK_DOWN);
        headless::Key(VK_RETURN);
      },
  });
  RunLoop();
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(LOWORD(commands_[0].wParam), IDM_OPTION_B);
}

TEST_F(MenuTest, GreyedTitlesAreEmbossed) {
  HWND top = MakeMain();
  std::vector<int> titles = TitleCenters(top);
  ASSERT_EQ(titles.size(), 4u);
  headless::Pixels p = headless::SurfacePixels(top);
  int bar = GetSystemMetrics(SM_CYMENU);
  auto around = [&](int x) { return RECT{x - 20, 0, x + 20, bar}; };
  EXPECT_GT(CountPixels(p, around(titles[1]), 0xFFFFFF), 5) << "greyed: white relief";
  EXPECT_GT(CountPixels(p, around(titles[1]), 0x808080), 5) << "greyed: grey text";
  EXPECT_EQ(CountPixels(p, around(titles[1]), 0x000000), 0);
  EXPECT_GT(CountPixels(p, around(titles[0]), 0x000000), 5);
  EXPECT_EQ(CountPixels(p, around(titles[0]), 0xFFFFFF), 0);
}

// ---------------------------------------------------------------------------------
// Accelerators
// ---------------------------------------------------------------------------------

TEST_F(MenuTest, AcceleratorsNeedExactModifiersAndAnEnabledItem) {
  struct Case {
    const char *name;
    std::vector<UINT> modifiers;
    UINT key;
    UINT greyed;  // a command to grey first
    int command;  // 0: none
    bool translated;
  };
  const Case cases[] = {
      {"F", {}, 'F', 0, IDM_FIRST, true},
      {"Shift+F", {VK_SHIFT}, 'F', 0, 0, false},
      {"Ctrl+F", {VK_CONTROL}, 'F', 0, 0, false},
      {"Alt+F", {VK_MENU}, 'F', 0, 0, false},
      {"S, greyed in the resource", {}, 'S', 0, 0, true},
      {"A, greyed in a pop-up", {}, 'A', IDM_OPTION_A, 0, true},
      {"A", {}, 'A', 0, IDM_OPTION_A, true},
      {"Escape", {}, VK_ESCAPE, 0, IDM_LAST, true},
      {"Q", {}, 'Q', 0, 0, false},
      {"Ctrl+Q", {VK_CONTROL}, 'Q', 0, IDM_CTRL_Q, true},
      {"Ctrl+Shift+Q", {VK_CONTROL, VK_SHIFT}, 'Q', 0, 0, false},
      {"Ctrl+Z", {VK_CONTROL}, 'Z', 0, 0, false},
      {"Ctrl+Shift+Z", {VK_CONTROL, VK_SHIFT}, 'Z', 0, IDM_CTRL_SHIFT_Z, true},
      {"Alt+X", {VK_MENU}, 'X', 0, IDM_ALT_X, true},
      {"X", {}, 'X', 0, 0, false},
      {"Z, not in the table", {}, 'Z', 0, 0, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    commands_.clear();
    HWND top = MakeMain();
    HWND button = MakeButton(top, 7, 10, 10, 80, 24);
    HACCEL accel = LoadAcceleratorsA(nullptr, "TESTMENU");
    ASSERT_NE(accel, nullptr);
    if (c.greyed) EnableMenuItem(GetMenu(top), c.greyed, MF_GRAYED);
    SetFocus(button);  // the keys count whichever control has the focus
    for (UINT m : c.modifiers) headless::KeyDown(m);
    headless::Key(c.key);
    for (UINT m : c.modifiers) headless::KeyUp(m);
    int translated = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        if (msg.wParam == c.key && TranslateAcceleratorA(top, accel, &msg)) {
          ++translated;
          continue;
        }
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    EXPECT_EQ(translated > 0, c.translated);
    if (c.command) {
      ASSERT_EQ(commands_.size(), 1u);
      EXPECT_EQ(commands_[0].hwnd, top);
      EXPECT_EQ(commands_[0].wParam, MAKEWPARAM(c.command, 1));
      EXPECT_FALSE(commands_[0].posted) << "sent at once";
    } else {
      EXPECT_TRUE(commands_.empty());
    }
  }
}

TEST_F(MenuTest, CharacterAcceleratorsMatchTheCharacter) {
  HWND top = MakeMain();
  HACCEL accel = LoadAcceleratorsA(nullptr, "TESTMENU");
  ASSERT_NE(accel, nullptr);
  MSG plus{top, WM_CHAR, '+', 1, 0, {}};
  MSG other{top, WM_CHAR, '-', 1, 0, {}};
  MSG keyDown{top, WM_KEYDOWN, '+', 1, 0, {}};
  EXPECT_EQ(TranslateAcceleratorA(top, accel, &other), 0);
  EXPECT_EQ(TranslateAcceleratorA(top, accel, &keyDown), 0);
  EXPECT_NE(TranslateAcceleratorA(top, accel, &plus), 0);
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(commands_[0].wParam, MAKEWPARAM(IDM_CHAR_PLUS, 1));
  // Bad handles translate nothing.
  EXPECT_EQ(TranslateAcceleratorA(top, nullptr, &plus), 0);
  EXPECT_EQ(TranslateAcceleratorA(nullptr, accel, &plus), 0);
  EXPECT_TRUE(DestroyAcceleratorTable(accel));
  EXPECT_EQ(TranslateAcceleratorA(top, accel, &plus), 0);
  EXPECT_EQ(LoadAcceleratorsA(nullptr, "NOSUCHTABLE"), nullptr);
}

}  // namespace
