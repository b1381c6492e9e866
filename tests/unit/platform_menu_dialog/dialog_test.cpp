// Dialogs and message boxes of the layer: templates turned into windows (dialog units,
// placement, frames), the dialog keyboard, the owner disabled while a dialog runs, the
// built-in message box, and the modal loop they share.
#include <string>

#include "menu_dialog_ids.h"
#include "test_support.h"

namespace {

// A dialog procedure driven by the test: `onInit` runs on WM_INITDIALOG (its result is
// returned), each WM_COMMAND is logged and closes the dialog when its id is in `closeOn`.
struct DialogScript {
  std::function<INT_PTR(HWND)> onInit = [](HWND) { return TRUE; };
  std::vector<int> closeOn = {IDOK};
  std::vector<int> commands;
  std::vector<LPARAM> commandSenders;
  HWND dialog = nullptr;
};
DialogScript *g_dialog = nullptr;

INT_PTR CALLBACK ScriptedProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  DialogScript &s = *g_dialog;
  switch (msg) {
    case WM_INITDIALOG:
      s.dialog = dlg;
      return s.onInit(dlg);
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      s.commands.push_back(id);
      s.commandSenders.push_back(lParam);
      for (int close : s.closeOn) {
        if (close == id) {
          EndDialog(dlg, id);
          return TRUE;
        }
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

INT_PTR RunDialog(int id, HWND owner, DialogScript &script) {
  g_dialog = &script;
  INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(id), owner, ScriptedProc, 0);
  g_dialog = nullptr;
  return result;
}

bool Checked(HWND dlg, int id) {
  return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

std::string Checks(HWND dlg) {
  std::string s;
  for (int id : {IDC_ONE_A, IDC_ONE_B, IDC_TWO_A, IDC_TWO_B, IDC_TWO_C})
    s += Checked(dlg, id) ? '1' : '0';
  return s;
}

int FocusId() {
  return GetDlgCtrlID(GetFocus());
}

// Dialog units to pixels as Windows rounds them (half away from zero).
int MulDivTest(int v, int num, int den) {
  return (v * num + den / 2) / den;
}

using DialogTest = LayerTest;

// ---------------------------------------------------------------------------------
// Templates
// ---------------------------------------------------------------------------------

// Sizes and places come from dialog units: x * (base width) / 4 and y * (base height) / 8,
// where the base height is the dialog font's height; the dialog's client area is placed
// relative to the owner's client area.
TEST_F(DialogTest, DialogUnitsPlaceTheDialogAndItsControls) {
  HWND top = MakeMain(600, 400, 50, 60);
  DialogScript script;
  RECT base{0, 0, 4, 8}, client{}, window{}, frameExtra{0, 0, 0, 0};
  TEXTMETRICA tm{};
  struct Item {
    int id, x, y, cx, cy;
  };
  const Item items[] = {
      {IDOK, 102, 70, 36, 14}, {IDC_GROUP_ONE, 8, 4, 136, 30}, {IDC_TWO_C, 16, 90, 60, 12}};
  std::vector<RECT> actual;
  script.onInit = [&](HWND dlg) {
    MapDialogRect(dlg, &base);
    HDC dc = GetDC(dlg);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0)));
    GetTextMetricsA(dc, &tm);
    ReleaseDC(dlg, dc);
    GetClientRect(dlg, &client);
    GetWindowRect(dlg, &window);
    AdjustWindowRectEx(&frameExtra, GetWindowLongA(dlg, GWL_STYLE), FALSE,
                       GetWindowLongA(dlg, GWL_EXSTYLE));
    for (const Item &it : items) actual.push_back(RectInParent(GetDlgItem(dlg, it.id)));
    CheckRadioButton(dlg, IDC_ONE_A, IDC_ONE_B, IDC_ONE_A);
    CheckRadioButton(dlg, IDC_TWO_A, IDC_TWO_C, IDC_TWO_A);
    return TRUE;
  };
  Script({[&] {
    Shot("dialog_choose");
    PostMessageA(script.dialog, WM_COMMAND, IDOK, 0);
  }});
  EXPECT_EQ(RunDialog(IDD_CHOOSE, top, script), IDOK);
  EXPECT_EQ(base.bottom, tm.tmHeight) << "the base height is the font's height";
  EXPECT_GE(base.right, 4);
  EXPECT_EQ(client.right, MulDivTest(152, base.right, 4));
  EXPECT_EQ(client.bottom, MulDivTest(112, base.bottom, 8));
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  // The template places the client area; the frame lies around it.
  EXPECT_EQ(window.left - frameExtra.left, origin.x + MulDivTest(10, base.right, 4));
  EXPECT_EQ(window.top - frameExtra.top, origin.y + MulDivTest(10, base.bottom, 8));
  EXPECT_EQ(window.right - window.left, client.right + (frameExtra.right - frameExtra.left));
  EXPECT_LT(frameExtra.top, -GetSystemMetrics(SM_CYCAPTION)) << "a title bar";
  ASSERT_EQ(actual.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(items[i].id);
    int left = MulDivTest(items[i].x, base.right, 4), top = MulDivTest(items[i].y, base.bottom, 8);
    EXPECT_EQ(actual[i].left, left);
    EXPECT_EQ(actual[i].top, top);
    EXPECT_EQ(actual[i].right, left + MulDivTest(items[i].cx, base.right, 4));
    EXPECT_EQ(actual[i].bottom, top + MulDivTest(items[i].cy, base.bottom, 8));
  }
}

TEST_F(DialogTest, DialogWithoutTitleBarGetsARaisedFrame) {
  HWND top = MakeMain();
  DialogScript script;
  RECT client{}, window{};
  headless::Pixels px;
  Script({[&] {
    GetClientRect(script.dialog, &client);
    GetWindowRect(script.dialog, &window);
    px = headless::SurfacePixels(script.dialog);
    Shot("dialog_plain");
    headless::Key(VK_RETURN);
  }});
  EXPECT_EQ(RunDialog(IDD_PLAIN, top, script), IDOK);
  int border = GetSystemMetrics(SM_CXDLGFRAME);
  EXPECT_EQ(window.right - window.left, client.right + 2 * border);
  EXPECT_EQ(window.bottom - window.top, client.bottom + 2 * border);
  ASSERT_GT(px.w, 10);
  EXPECT_EQ(px.At(1, 1), 0xFFFFFFu) << "lit from the top left";
  EXPECT_EQ(px.At(px.w - 1, px.h - 1), 0x000000u) << "dark edge at the bottom right";
  EXPECT_EQ(px.At(px.w - 2, px.h / 2), 0x808080u);
  EXPECT_EQ(px.At(px.w / 2, border), 0xC0C0C0u) << "the grey dialog face";
}

// The plain DIALOG format is read too; Enter presses the push button that looks like the
// default one: the template's, or the push button the keyboard moved the focus to.
TEST_F(DialogTest, EnterPressesTheFocusedOrTheDefaultPushButton) {
  HWND top = MakeMain();
  DialogScript script;
  std::vector<std::string> looks;  // which buttons look default, after each step
  auto look = [&] {
    std::string l;
    for (int id : {IDC_OTHER, IDOK})
      l += (GetWindowLongA(GetDlgItem(script.dialog, id), GWL_STYLE) & BS_TYPEMASK) ==
                   BS_DEFPUSHBUTTON
               ? 'D'
               : '-';
    looks.push_back(l);
  };
  HWND go = nullptr, ok = nullptr;
  script.onInit = [&](HWND dlg) {
    go = GetDlgItem(dlg, IDC_OTHER);
    ok = GetDlgItem(dlg, IDOK);
    return TRUE;
  };
  Script({[&] {
            look();
            headless::Key(VK_RETURN);  // Go has the focus
          },
          [&] { headless::Key(VK_TAB); },
          [&] {
            look();
            headless::Key(VK_RETURN);
          }});
  EXPECT_EQ(RunDialog(IDD_OLD_STYLE, top, script), IDOK);
  EXPECT_EQ(script.commands, (std::vector<int>{IDC_OTHER, IDOK}));
  EXPECT_EQ(script.commandSenders, (std::vector<LPARAM>{LPARAM(go), LPARAM(ok)}));
  EXPECT_EQ(looks, (std::vector<std::string>{"D-", "-D"}));
}

// ---------------------------------------------------------------------------------
// The dialog keyboard
// ---------------------------------------------------------------------------------

// Tab and Shift+Tab go round the tab stops (skipping disabled ones) without selecting; a
// group of radio buttons is one stop, reached at its checked button. Arrows move within a
// group (a group box starts one; labels and disabled buttons are passed over) and select
// the automatic radio button they reach, which reports a click.
TEST_F(DialogTest, TabAndArrowsMoveTheFocusAndArrowsSelect) {
  HWND top = MakeMain();
  struct Row {
    const char *keys;  // T tab, S shift+tab, U up, D down, L left, R right, X disable Two B
    int focus;
    const char *checks;  // One A, One B, Two A, Two B, Two C
  };
  const Row rows[] = {
      {"", IDOK, "10100"},       {"D", IDOK, "10100"},       {"T", IDC_ONE_A, "10100"},
      {"R", IDC_ONE_B, "01100"}, {"D", IDC_ONE_A, "10100"},  {"T", IDC_TWO_A, "10100"},
      {"U", IDC_TWO_C, "10001"}, {"XD", IDC_TWO_A, "10100"}, {"D", IDC_TWO_C, "10001"},
      {"S", IDC_ONE_A, "10001"}, {"S", IDOK, "10001"},       {"S", IDC_TWO_C, "10001"},
      {"T", IDOK, "10001"},      {"L", IDOK, "10001"},       {"T", IDC_ONE_A, "10001"},
  };
  DialogScript script;
  script.onInit = [](HWND dlg) {
    CheckRadioButton(dlg, IDC_ONE_A, IDC_ONE_B, IDC_ONE_A);
    CheckRadioButton(dlg, IDC_TWO_A, IDC_TWO_C, IDC_TWO_A);
    return TRUE;
  };
  size_t next = 0;
  std::vector<std::string> failures;
  headless::SetIdleHook([&] {
    HWND dlg = script.dialog;
    if (next > 0) {
      const Row &r = rows[next - 1];
      if (FocusId() != r.focus || Checks(dlg) != r.checks)
        failures.push_back("after \"" + std::string(r.keys) + "\" (row " +
                           std::to_string(next - 1) + "): focus " + std::to_string(FocusId()) +
                           ", checks " + Checks(dlg));
    }
    if (next == std::size(rows)) {
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
      return;
    }
    for (const char *k = rows[next].keys; *k; ++k) {
      switch (*k) {
        case 'T':
          headless::Key(VK_TAB);
          break;
        case 'S':
          headless::KeyWith(VK_SHIFT, VK_TAB);
          break;
        case 'U':
          headless::Key(VK_UP);
          break;
        case 'D':
          headless::Key(VK_DOWN);
          break;
        case 'L':
          headless::Key(VK_LEFT);
          break;
        case 'R':
          headless::Key(VK_RIGHT);
          break;
        case 'X':
          EnableWindow(GetDlgItem(dlg, IDC_TWO_B), FALSE);
          break;
      }
    }
    if (!*rows[next].keys) PostMessageA(dlg, WM_NULL, 0, 0);
    ++next;
  });
  EXPECT_EQ(RunDialog(IDD_CHOOSE, top, script), IDOK);
  EXPECT_EQ(next, std::size(rows));
  EXPECT_TRUE(failures.empty()) << failures.front();
  // Each arrow that reached a radio button reported its click.
  EXPECT_EQ(script.commands,
            (std::vector<int>{IDC_ONE_B, IDC_ONE_A, IDC_TWO_C, IDC_TWO_A, IDC_TWO_C, IDOK}));
}

// Escape gives IDCANCEL and Enter IDOK; the dialog procedure decides what they do. A
// dialog without a system menu has no close box (the window manager's does nothing); with
// a disabled Cancel button, neither Escape nor the close box gives a command.
TEST_F(DialogTest, EscapeAndEnterAndTheCloseBox) {
  HWND top = MakeMain();
  DialogScript choose;
  bool openAfterEscape = false;
  Script({[&] { headless::CloseFromFrame(choose.dialog); }, [&] { headless::Key(VK_ESCAPE); },
          [&] {
            openAfterEscape = IsWindowVisible(choose.dialog) != FALSE;
            headless::Key(VK_TAB);  // to a radio button: Enter still gives IDOK
            headless::Key(VK_RETURN);
          }});
  EXPECT_EQ(RunDialog(IDD_CHOOSE, top, choose), IDOK);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_EQ(choose.commands, (std::vector<int>{IDCANCEL, IDOK}));

  DialogScript two;
  two.closeOn = {IDC_OTHER};
  Script({[&] {
            headless::Key(VK_ESCAPE);
            headless::CloseFromFrame(two.dialog);
          },
          [&] {
            // The first focus does not make "Other" the default: Enter gives IDOK. Tab
            // (round to "Other" again, past the disabled Cancel) does.
            headless::Key(VK_RETURN);
            headless::Key(VK_TAB);
            headless::Key(VK_RETURN);
          }});
  EXPECT_EQ(RunDialog(IDD_TWO_BUTTONS, top, two), IDC_OTHER);
  EXPECT_EQ(two.commands, (std::vector<int>{IDOK, IDC_OTHER}));
}

// ---------------------------------------------------------------------------------
// Owners and the modal loop
// ---------------------------------------------------------------------------------

TEST_F(DialogTest, DialogDisablesItsOwnerUntilItEnds) {
  HWND top = MakeMain();
  HWND button = MakeButton(top, 9, 10, 10, 80, 24);
  DialogScript script;
  bool enabledWhileOpen = true;
  HWND ownerSeen = nullptr;
  Script({[&] {
            enabledWhileOpen = IsWindowEnabled(top) != FALSE;
            ownerSeen = GetWindow(script.dialog, GW_OWNER);
            headless::ClickCenter(button);
          },
          [&] { headless::Key(VK_RETURN); }});
  EXPECT_EQ(RunDialog(IDD_CHOOSE, top, script), IDOK);
  EXPECT_FALSE(enabledWhileOpen);
  EXPECT_EQ(ownerSeen, top);
  EXPECT_TRUE(IsWindowEnabled(top));
  EXPECT_EQ(GetActiveWindow(), top);
  EXPECT_FALSE(IsWindow(script.dialog));
  headless::RunUntilIdle();
  EXPECT_TRUE(commands_.empty()) << "the click on the disabled owner was lost";
}

TEST_F(DialogTest, ModalLoopsLeaveTheQuitMessageForTheProgramLoop) {
  HWND top = MakeMain();
  DialogScript script;
  Script({[&] { PostQuitMessage(3); }});
  RunDialog(IDD_CHOOSE, top, script);
  EXPECT_FALSE(IsWindow(script.dialog));
  EXPECT_TRUE(IsWindowEnabled(top));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);

  Script({[&] { PostQuitMessage(4); }});
  MessageBoxA(top, "Quitting", "Box", MB_OK);
  EXPECT_EQ(headless::FindTopLevel("#32770", nullptr), nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(DialogTest, BadTemplatesAndHandlesFail) {
  HWND top = MakeMain();
  DialogScript script;
  EXPECT_EQ(RunDialog(999, top, script), -1);
  EXPECT_EQ(RunDialog(IDD_CHOOSE, reinterpret_cast<HWND>(0x1234), script), -1);
  EXPECT_TRUE(IsWindowEnabled(top));
  EXPECT_FALSE(EndDialog(top, 1)) << "not a dialog";
  EXPECT_EQ(GetDlgItem(nullptr, IDOK), nullptr);
  EXPECT_EQ(SendDlgItemMessageA(top, 77, BM_GETCHECK, 0, 0), 0);
  RECT r{0, 0, 4, 8};
  EXPECT_FALSE(MapDialogRect(top, &r));
  LONG units = GetDialogBaseUnits();
  EXPECT_GT(LOWORD(units), 0);
  EXPECT_GT(HIWORD(units), LOWORD(units));
}

// ---------------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------------

TEST_F(DialogTest, MessageBoxAnswersFromKeysAndClicks) {
  struct Case {
    const char *name;
    UINT type;
    std::function<void(HWND box)> user;
    int answer;
  };
  const Case cases[] = {
      {"OK, Enter", MB_OK, [](HWND) { headless::Key(VK_RETURN); }, IDOK},
      {"OK, Escape", MB_OK, [](HWND) { headless::Key(VK_ESCAPE); }, IDOK},
      {"OK, close box", MB_OK, [](HWND box) { headless::CloseFromFrame(box); }, IDOK},
      {"Yes/No, Enter", MB_YESNO, [](HWND) { headless::Key(VK_RETURN); }, IDYES},
      {"Yes/No, Tab Enter", MB_YESNO,
       [](HWND) {
         headless::Key(VK_TAB);
         headless::Key(VK_RETURN);
       },
       IDNO},
      {"Yes/No, Escape and close box do nothing, then No", MB_YESNO,
       [](HWND box) {
         headless::Key(VK_ESCAPE);
         headless::CloseFromFrame(box);
         headless::ClickCenter(GetDlgItem(box, IDNO));
       },
       IDNO},
      {"Yes/No, Space on Yes", MB_YESNO, [](HWND) { headless::Key(VK_SPACE); }, IDYES},
      {"OK/Cancel, Escape", MB_OKCANCEL, [](HWND) { headless::Key(VK_ESCAPE); }, IDCANCEL},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeMain();
    Script({[&] { c.user(headless::FindTopLevel("#32770", "Question")); }});
    EXPECT_EQ(MessageBoxA(top, "Line one\nLine two", "Question", c.type), c.answer);
    EXPECT_EQ(headless::FindTopLevel("#32770", nullptr), nullptr);
    DestroyWindow(top);
  }
}

// Without an owner a message box disables nothing: the main window's button still works
// while the box is open. With an owner, the owner is disabled meanwhile.
TEST_F(DialogTest, OnlyAnOwnedMessageBoxDisablesItsOwner) {
  HWND top = MakeMain();
  HWND button = MakeButton(top, 9, 10, 10, 80, 24);
  HWND box = nullptr;
  bool enabled = false, boxOpenAtClick = false;
  RECT boxRect{};
  onMessage_ = [&](HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wParam) == 9) boxOpenAtClick = IsWindowVisible(box) != FALSE;
    return false;
  };
  Script({[&] {
            box = headless::FindTopLevel("#32770", "Nobody's");
            enabled = IsWindowEnabled(top) != FALSE;
            GetWindowRect(box, &boxRect);
            headless::ClickCenter(button);
          },
          // Chosen again through the window manager, the box has the keyboard back.
          [&] {
            headless::ActivateFromFrame(box);
            headless::Key(VK_RETURN);
          }});
  EXPECT_EQ(MessageBoxA(nullptr, "Nobody owns this box", "Nobody's", MB_OK), IDOK);
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(boxOpenAtClick) << "the click on the main window was handled while the box was open";
  ASSERT_EQ(commands_.size(), 1u);
  SIZE screen = headless::ScreenSize();
  EXPECT_NEAR((boxRect.left + boxRect.right) / 2, screen.cx / 2, 1) << "centred on the screen";
  EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2, screen.cy / 2, 1);

  bool ownerEnabled = true;
  Script({[&] {
    ownerEnabled = IsWindowEnabled(top) != FALSE;
    headless::Key(VK_RETURN);
  }});
  EXPECT_EQ(MessageBoxA(top, "Owned", "Owned", MB_OK), IDOK);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(top));
  EXPECT_EQ(GetActiveWindow(), top);
}

// A message box opened by a dialog procedure, owned by the dialog, disables the dialog
// (not the main window twice over) and gives it back.
TEST_F(DialogTest, MessageBoxOverADialog) {
  HWND top = MakeMain();
  DialogScript script;
  bool dialogEnabledDuringBox = true, dialogEnabledAfter = false;
  int answer = 0;
  Script({[&] { PostMessageA(script.dialog, WM_APP, 0, 0); },
          [&] {
            dialogEnabledDuringBox = IsWindowEnabled(script.dialog) != FALSE;
            headless::Key(VK_RETURN);
          },
          [&] {
            dialogEnabledAfter = IsWindowEnabled(script.dialog) != FALSE;
            headless::Key(VK_RETURN);
          }});
  g_dialog = &script;
  INT_PTR result = DialogBoxParamA(
      nullptr, MAKEINTRESOURCEA(IDD_CHOOSE), top,
      [](HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (msg == WM_APP) {
          g_dialog->commands.push_back(
              MessageBoxA(dlg, "Over the dialog", "Inner", MB_YESNO | MB_ICONWARNING));
          return TRUE;
        }
        return ScriptedProc(dlg, msg, wParam, lParam);
      },
      0);
  g_dialog = nullptr;
  (void)answer;
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(dialogEnabledDuringBox);
  EXPECT_TRUE(dialogEnabledAfter);
  EXPECT_EQ(script.commands, (std::vector<int>{IDYES, IDOK}));
  EXPECT_TRUE(IsWindowEnabled(top));
}

// The icon, the text with its line breaks beside it, and the buttons below, centred.
TEST_F(DialogTest, MessageBoxShowsIconTextAndButtons) {
  struct Case {
    const char *name;
    UINT type;
    uint32_t iconColor;  // a colour only the icon has; 0 when there is no icon
    std::vector<const char *> buttons;
    const char *text;
    int lines;
  };
  const Case cases[] = {
      {"msgbox_information",
       MB_ICONINFORMATION,
       0x0000FF,
       {"OK"},
       "Suggestion mode enabled.\n\nRoll if the probability is shown in green.\nHold if the "
       "probability is shown in red.",
       4},
      {"msgbox_warning", MB_ICONWARNING, 0xFFFF00, {"OK"}, "Short text.", 1},
      {"msgbox_error",
       MB_ICONERROR | MB_YESNO,
       0xFF0000,
       {"&Yes", "&No"},
       "This item describes strategies for\n   increasing your chances of winning.\n\nDo you want "
       "to proceed?",
       4},
      {"msgbox_plain", MB_OK, 0, {"OK"}, "A first line\n\nA third line after an empty one", 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeMain();
    int iconPixels = -1, textLeft = -1, textLines = 0;
    std::vector<RECT> buttons;
    int clientWidth = 0;
    Script({[&] {
      HWND box = headless::FindTopLevel("#32770", "Caption");
      headless::Pixels p = headless::ClientPixels(box);
      iconPixels = c.iconColor ? CountPixels(p, RECT{0, 0, 60, 60}, c.iconColor) : 0;
      HWND text = headless::FindChild(box, "STATIC", nullptr);
      RECT tr = RectInParent(text);
      textLeft = tr.left;
      HDC dc = GetDC(text);
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)));
      TEXTMETRICA tm{};
      GetTextMetricsA(dc, &tm);
      ReleaseDC(text, dc);
      textLines = (tr.bottom - tr.top) / tm.tmHeight;
      for (const char *b : c.buttons)
        buttons.push_back(RectInParent(headless::FindChild(box, "BUTTON", b)));
      RECT client{};
      GetClientRect(box, &client);
      clientWidth = client.right;
      Shot(c.name);
      headless::Key(VK_RETURN);
    }});
    MessageBoxA(nullptr, c.text, "Caption", c.type);
    if (c.iconColor) {
      EXPECT_GT(iconPixels, 100);
      EXPECT_GE(textLeft, 32 + 12) << "the text stands right of the icon";
    } else {
      EXPECT_LT(textLeft, 32);
    }
    EXPECT_EQ(textLines, c.lines);
    ASSERT_EQ(buttons.size(), c.buttons.size());
    int left = buttons.front().left, right = buttons.back().right;
    EXPECT_NEAR(left, clientWidth - right, 1) << "the row of buttons is centred";
    DestroyWindow(top);
  }
}

}  // namespace
