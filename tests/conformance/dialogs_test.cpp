// Menus, accelerators, dialogs and message boxes, with the tests' own resources
// (conformance.rc): the keys of an accelerator table, radio groups, Enter and Escape, and
// which windows a modal box disables.
#include "conformance.h"
#include "conformance_ids.h"

#include <algorithm>
#include <cstdlib>

namespace {

const char kMenuClass[] = "ZantConformanceMenuTop";

class Dialogs : public Conformance {
 protected:
  void SetUp() override {
    Conformance::SetUp();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TopProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszMenuName = "CONFMENU";
    wc.lpszClassName = kMenuClass;
    RegisterClassA(&wc);
  }
};

// ---------------------------------------------------------------------------------
// A dialog that plays a script: step 0 runs once the dialog is up, each later step after
// the next WM_COMMAND has arrived. Commands in `closeOn` end the dialog with their id.
// ---------------------------------------------------------------------------------
struct Script {
  std::vector<std::function<void(HWND)>> steps;
  std::vector<int> closeOn = {IDOK};
  std::vector<int> commands;
  size_t next = 0;
};
Script *g_script = nullptr;

INT_PTR CALLBACK ScriptedProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
  Script &s = *g_script;
  switch (message) {
    case WM_INITDIALOG:
      PostMessageA(dlg, WM_APP, 0, 0);
      return TRUE;
    case WM_APP:
      if (s.next < s.steps.size()) s.steps[s.next++](dlg);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      s.commands.push_back(id);
      if (std::find(s.closeOn.begin(), s.closeOn.end(), id) != s.closeOn.end()) {
        EndDialog(dlg, id);
        return TRUE;
      }
      if (s.next < s.steps.size()) PostMessageA(dlg, WM_APP, 0, 0);
      return FALSE;
    }
  }
  return FALSE;
}

INT_PTR RunDialog(int id, HWND owner, Script &script) {
  g_script = &script;
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), owner, ScriptedProc, 0);
  g_script = nullptr;
  return result;
}

// The checked radio buttons of the choice dialog, as a string of 0 and 1 in the order
// Left, Right, Low, Middle, High.
std::string Checks(HWND dlg) {
  std::string text;
  for (int id : {IDC_LEFT, IDC_RIGHT, IDC_LOW, IDC_MIDDLE, IDC_HIGH})
    text += SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
  return text;
}

// ---------------------------------------------------------------------------------
// Accelerators
// ---------------------------------------------------------------------------------

// A key of the table gives WM_COMMAND (command, 1) to the main window, whichever control
// has the focus, only with Shift, Ctrl and Alt up, and nothing when the command's menu item
// is greyed (the key still counts as translated).
TEST_F(Dialogs, AcceleratorKeysGiveCommandsUnlessModifiedOrGreyed) {
  struct Case {
    const char *name;
    UINT modifier;
    UINT key;
    UINT greyed;
    int command;  // 0: none
    bool translated;
  };
  const Case cases[] = {
      {"N", 0, 'N', 0, IDM_NEW, true},
      {"Shift+N", VK_SHIFT, 'N', 0, 0, false},
      {"Ctrl+N", VK_CONTROL, 'N', 0, 0, false},
      {"Alt+N", VK_MENU, 'N', 0, 0, false},
      {"Escape", 0, VK_ESCAPE, 0, IDM_EXIT, true},
      {"P", 0, 'P', 0, IDM_PROBABILITIES, true},
      {"Shift+P", VK_SHIFT, 'P', 0, 0, false},
      {"P greyed", 0, 'P', IDM_PROBABILITIES, 0, true},
      {"S with P greyed", 0, 'S', IDM_PROBABILITIES, IDM_SUGGESTIONS, true},
      {"N greyed on the bar", 0, 'N', IDM_NEW, 0, true},
      {"Z, not in the table", 0, 'Z', 0, 0, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeTop(40, 40, 300, 120, "Keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kMenuClass);
    ASSERT_NE(top, nullptr);
    HWND button = MakeButton(top, "Roll", 20, 20, 100, 30, 5);
    HACCEL accel = LoadAcceleratorsA(GetModuleHandleA(nullptr), "CONFMENU");
    ASSERT_NE(accel, nullptr);
    ASSERT_NE(GetMenu(top), nullptr);
    if (c.greyed) EnableMenuItem(GetMenu(top), c.greyed, MF_BYCOMMAND | MF_GRAYED);
    inject::Foreground(top);
    SetFocus(button);
    Pump();
    g_received.clear();
    if (c.modifier)
      inject::KeyWith(c.modifier, c.key);
    else
      inject::Key(c.key);
    bool translated = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (TranslateAcceleratorA(top, accel, &msg)) {
        translated = true;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    std::vector<Received> commands = Commands();
    EXPECT_EQ(translated, c.translated);
    if (c.command) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(commands[0].hwnd, top);
      EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
      EXPECT_EQ(HIWORD(commands[0].wParam), 1);
    } else {
      EXPECT_EQ(commands.size(), 0u) << "command " << LOWORD(commands[0].wParam);
    }
    DestroyWindow(top);
    DestroyAcceleratorTable(accel);
  }
}

// A window made with the size AdjustWindowRect gives for a client area has exactly that
// client area, below the menu bar when it has one.
TEST_F(Dialogs, AdjustedWindowHasRequestedClientSize) {
  struct Case {
    DWORD style;
    bool menu;
    int w, h;
  };
  const DWORD fixed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const Case cases[] = {
      {fixed, true, 400, 300},
      {fixed, false, 400, 300},
      {WS_OVERLAPPEDWINDOW, true, 420, 250},
      {WS_POPUP | WS_BORDER, false, 200, 120},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.style << (c.menu ? " with menu" : ""));
    RECT r = {0, 0, c.w, c.h};
    ASSERT_TRUE(AdjustWindowRect(&r, c.style, c.menu));
    HWND hwnd = CreateWindowExA(0, c.menu ? kMenuClass : kTopClass, "Size", c.style | WS_VISIBLE,
                                30, 30, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetMenu(hwnd) != nullptr, c.menu);
    RECT client = {};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, c.w);
    EXPECT_EQ(client.bottom, c.h);
    RECT window = {};
    GetWindowRect(hwnd, &window);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.x - window.left, -r.left);
    EXPECT_EQ(origin.y - window.top, -r.top);
    DestroyWindow(hwnd);
  }
}

// Check marks and greying by command, also inside the pop-up; each call answers the
// item's previous state, and -1 for a command the menu does not have.
TEST_F(Dialogs, MenuItemStatesByCommand) {
  HWND top = MakeTop(40, 40, 300, 120, "Menu", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kMenuClass);
  ASSERT_NE(top, nullptr);
  HMENU menu = GetMenu(top);
  ASSERT_NE(menu, nullptr);
  struct Step {
    bool check;  // CheckMenuItem, else EnableMenuItem
    UINT id, flags;
    DWORD previous;
    UINT stateAfter;  // MF_CHECKED | MF_GRAYED bits of GetMenuState
  };
  const Step steps[] = {
      {true, IDM_PROBABILITIES, MF_CHECKED, MF_UNCHECKED, MF_CHECKED},
      {true, IDM_PROBABILITIES, MF_CHECKED, MF_CHECKED, MF_CHECKED},
      {false, IDM_PROBABILITIES, MF_GRAYED, MF_ENABLED, MF_CHECKED | MF_GRAYED},
      {true, IDM_PROBABILITIES, MF_UNCHECKED, MF_CHECKED, MF_GRAYED},
      {false, IDM_PROBABILITIES, MF_ENABLED, MF_GRAYED, 0},
      {false, IDM_NEW, MF_GRAYED, MF_ENABLED, MF_GRAYED},
      {false, IDM_NEW, MF_ENABLED, MF_GRAYED, 0},
      {true, 999, MF_CHECKED, 0xFFFFFFFF, 0},
      {false, 999, MF_GRAYED, 0xFFFFFFFF, 0},
  };
  int i = 0;
  for (const Step &s : steps) {
    DWORD previous = s.check
                         ? CheckMenuItem(menu, s.id, MF_BYCOMMAND | s.flags)
                         : static_cast<DWORD>(EnableMenuItem(menu, s.id, MF_BYCOMMAND | s.flags));
    EXPECT_EQ(previous, s.previous) << "step " << i;
    if (s.id != 999) {
      EXPECT_EQ(GetMenuState(menu, s.id, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED), s.stateAfter)
          << "step " << i;
    }
    ++i;
  }
}

// A click on a command on the menu bar gives WM_COMMAND (command, 0). The click is
// non-client input (below WM_KEYFIRST), so a flush of the input range
// WM_KEYFIRST..WM_MOUSELAST, as the game makes between moves, leaves it alone. (A greyed
// command on the bar is left out: Windows then stays in its menu mode until the next
// click or key, which the game never meets.)
TEST_F(Dialogs, MenuBarClickGivesCommandAndSurvivesInputFlush) {
  struct Case {
    const char *name;
    bool flush;
  };
  const Case cases[] = {{"click", false}, {"click after flush", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeTop(40, 40, 300, 120, "Bar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kMenuClass);
    ASSERT_NE(top, nullptr);
    inject::Foreground(top);
    g_received.clear();
    inject::ClickMenuBar(top, 15);
    MSG msg;
    if (c.flush)
      while (PeekMessageA(&msg, top, WM_KEYFIRST, WM_MOUSELAST, PM_REMOVE)) {
      }
    Pump();
    std::vector<Received> commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].hwnd, top);
    EXPECT_EQ(LOWORD(commands[0].wParam), IDM_NEW);
    EXPECT_EQ(HIWORD(commands[0].wParam), 0);
    DestroyWindow(top);
  }
}

// ---------------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------------

// Radio buttons form groups that start at a WS_GROUP control: a click, or an arrow key,
// selects a button and clears the others of its group only; each reports BN_CLICKED.
// WM_INITDIALOG answering TRUE puts the focus on the first tab stop, and Enter on a radio
// button gives IDOK.
TEST_F(Dialogs, RadioGroupsAndKeys) {
  HWND top = MakeTop(40, 40, 400, 300);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  std::vector<std::string> states;
  bool focusOnOk = false;
  Script script;
  script.steps = {
      [&](HWND dlg) {
        focusOnOk = GetFocus() == GetDlgItem(dlg, IDOK);
        CheckRadioButton(dlg, IDC_LEFT, IDC_RIGHT, IDC_LEFT);
        CheckRadioButton(dlg, IDC_LOW, IDC_HIGH, IDC_LOW);
        states.push_back(Checks(dlg));
        inject::ClickCenter(GetDlgItem(dlg, IDC_RIGHT));
      },
      [&](HWND dlg) {
        states.push_back(Checks(dlg));
        inject::ClickCenter(GetDlgItem(dlg, IDC_HIGH));
      },
      [&](HWND dlg) {
        states.push_back(Checks(dlg));
        inject::Key(VK_UP);
      },
      [&](HWND dlg) {
        states.push_back(Checks(dlg));
        inject::Key(VK_DOWN);
      },
      [&](HWND dlg) {
        states.push_back(Checks(dlg));
        CheckRadioButton(dlg, IDC_LOW, IDC_HIGH, IDC_MIDDLE);
        states.push_back(Checks(dlg));
        inject::Key(VK_RETURN);
      },
  };
  INT_PTR result = RunDialog(IDD_CHOICE, top, script);
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(focusOnOk);
  EXPECT_EQ(states,
            (std::vector<std::string>{"10100", "01100", "01001", "01010", "01001", "01010"}));
  EXPECT_EQ(script.commands, (std::vector<int>{IDC_RIGHT, IDC_HIGH, IDC_MIDDLE, IDC_HIGH, IDOK}));
}

// A disabled radio button keeps its selection and ignores clicks (the game greys the skill
// buttons while a person is the opponent, and shows the last level again later).
TEST_F(Dialogs, DisabledRadioButtonKeepsSelection) {
  HWND top = MakeTop(40, 40, 400, 300);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  std::vector<std::string> states;
  Script script;
  script.steps = {[&](HWND dlg) {
    CheckRadioButton(dlg, IDC_LEFT, IDC_RIGHT, IDC_RIGHT);
    CheckRadioButton(dlg, IDC_LOW, IDC_HIGH, IDC_MIDDLE);
    for (int id = IDC_LOW; id <= IDC_HIGH; ++id) EnableWindow(GetDlgItem(dlg, id), FALSE);
    states.push_back(Checks(dlg));
    inject::ClickCenter(GetDlgItem(dlg, IDC_HIGH));
    inject::Key(VK_RETURN);
  }};
  EXPECT_EQ(RunDialog(IDD_CHOICE, top, script), IDOK);
  EXPECT_EQ(states, (std::vector<std::string>{"01010"}));
  EXPECT_EQ(script.commands, (std::vector<int>{IDOK})) << "the disabled button was clicked";
}

// Escape gives IDCANCEL and Enter IDOK; the dialog procedure decides what they do (here
// only IDOK closes, as in the game's dialogs). The dialog's client area begins at its
// template's position, in dialog units, from the top-left corner of the owner's client area.
TEST_F(Dialogs, EscapeAndEnterGiveCancelAndOk) {
  HWND top = MakeTop(40, 40, 400, 300);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  bool openAfterEscape = false;
  POINT where = {0, 0};
  RECT expected = {10, 10, 10 + 136, 10 + 80};
  Script script;
  script.steps = {
      [&](HWND dlg) {
        ClientToScreen(dlg, &where);
        MapDialogRect(dlg, &expected);
        inject::Key(VK_ESCAPE);
      },
      [&](HWND dlg) {
        openAfterEscape = IsWindowVisible(dlg) != FALSE;
        inject::Key(VK_ESCAPE);
      },
      [&](HWND) { inject::Key(VK_RETURN); },
  };
  INT_PTR result = RunDialog(IDD_NOTICE, top, script);
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_EQ(script.commands, (std::vector<int>{IDCANCEL, IDCANCEL, IDOK}));
  POINT origin = {0, 0};
  ClientToScreen(top, &origin);
  EXPECT_EQ(where.x, origin.x + expected.left);
  EXPECT_EQ(where.y, origin.y + expected.top);
}

// Tab and Shift+Tab move the focus through the tab stops in template order, round the
// end; moving onto an auto radio button does not check it.
TEST_F(Dialogs, TabMovesThroughTabStops) {
  HWND top = MakeTop(40, 40, 400, 300);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  std::vector<int> focus;
  std::string checks;
  Script script;
  script.steps = {[&](HWND dlg) {
    CheckRadioButton(dlg, IDC_LEFT, IDC_RIGHT, IDC_RIGHT);
    CheckRadioButton(dlg, IDC_LOW, IDC_HIGH, IDC_MIDDLE);
    struct Move {
      UINT modifier, key;
    };
    const Move moves[] = {{0, VK_TAB}, {0, VK_TAB}, {VK_SHIFT, VK_TAB}, {VK_SHIFT, VK_TAB}};
    focus.push_back(GetDlgCtrlID(GetFocus()));
    for (const Move &m : moves) {
      if (m.modifier)
        inject::KeyWith(m.modifier, m.key);
      else
        inject::Key(m.key);
      // The dialog's own loop handles the keys; let it, then look.
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dlg, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      focus.push_back(GetDlgCtrlID(GetFocus()));
    }
    checks = Checks(dlg);
    EndDialog(dlg, IDOK);
  }};
  EXPECT_EQ(RunDialog(IDD_CHOICE, top, script), IDOK);
  EXPECT_EQ(focus, (std::vector<int>{IDOK, IDC_RIGHT, IDC_MIDDLE, IDC_RIGHT, IDOK}));
  EXPECT_EQ(checks, "01010");
}

// A modal loop that meets WM_QUIT ends and puts the quit message back for the main loop.
// (Windows then leaves the owner disabled, as only EndDialog enables it again; nothing
// here depends on that.)
TEST_F(Dialogs, QuitEndsModalLoopsAndIsPostedAgain) {
  HWND top = MakeTop(0, 0, 300, 200);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  Script script;
  script.steps = {[](HWND) { PostQuitMessage(9); }};
  RunDialog(IDD_NOTICE, top, script);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "after the dialog";
  EXPECT_EQ(msg.wParam, 9u);

  g_onMessage = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT *) {
    if (message != WM_APP) return false;
    PostQuitMessage(10);
    return true;
  };
  PostMessageA(top, WM_APP, 0, 0);
  MessageBoxA(top, "Quit while open", "Quit", MB_OK);
  g_onMessage = nullptr;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "after the box";
  EXPECT_EQ(msg.wParam, 10u);
}

// A dialog disables its owner while it is open, so a click on the owner's button is lost,
// though messages posted to the owner are still delivered; the owner is enabled again when
// the dialog ends.
TEST_F(Dialogs, DialogDisablesItsOwner) {
  HWND top = MakeTop(0, 0, 400, 300);
  ASSERT_NE(top, nullptr);
  HWND button = MakeButton(top, "Roll", 260, 240, 100, 30, 9);
  inject::Foreground(top);
  bool ownerEnabled = true;
  HWND dialog = nullptr;
  bool postedServedMeanwhile = false;
  g_onMessage = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT *) {
    if (message != WM_APP + 5) return false;
    postedServedMeanwhile = IsWindow(dialog) && IsWindowVisible(dialog);
    return true;
  };
  Script script;
  script.steps = {[&](HWND dlg) {
    dialog = dlg;
    ownerEnabled = IsWindowEnabled(top) != FALSE;
    PostMessageA(top, WM_APP + 5, 0, 0);
    inject::ClickCenter(button);
    inject::Key(VK_RETURN);
  }};
  g_received.clear();
  INT_PTR result = RunDialog(IDD_NOTICE, top, script);
  g_onMessage = nullptr;
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(postedServedMeanwhile) << "the dialog's loop did not deliver the owner's message";
  EXPECT_TRUE(IsWindowEnabled(top));
  Pump();
  EXPECT_EQ(Commands().size(), 0u) << "the click on the disabled owner reached its button";
}

// ---------------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------------

// Enter chooses a message box's first button; a click on a button chooses that one.
TEST_F(Dialogs, MessageBoxAnswers) {
  struct Case {
    const char *name;
    UINT type;
    int click;  // the button to click, 0 for Enter
    int answer;
  };
  const Case cases[] = {
      {"OK, Enter", MB_OK | MB_ICONINFORMATION, 0, IDOK},
      {"Yes/No, Enter", MB_YESNO | MB_ICONWARNING, 0, IDYES},
      {"Yes/No, click No", MB_YESNO | MB_ICONWARNING, IDNO, IDNO},
      {"Yes/No, click Yes", MB_YESNO | MB_ICONERROR, IDYES, IDYES},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND top = MakeTop(0, 0, 300, 200);
    ASSERT_NE(top, nullptr);
    inject::Foreground(top);
    g_onMessage = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT *) {
      if (message != WM_APP) return false;
      HWND box = FindWindowA(nullptr, "Question");
      if (c.click && box)
        inject::ClickCenter(GetDlgItem(box, c.click));
      else
        inject::Key(VK_RETURN);
      return true;
    };
    PostMessageA(top, WM_APP, 0, 0);
    EXPECT_EQ(MessageBoxA(top, "Line one\nLine two", "Question", c.type), c.answer);
    g_onMessage = nullptr;
    DestroyWindow(top);
  }
}

// A message box without an owner disables nothing: a click on the main window's button is
// handled while the box is open. Its loop also serves the main window's posted messages.
// It stands in the middle of the screen.
TEST_F(Dialogs, OwnerlessMessageBoxLeavesMainWindowClickable) {
  HWND top = MakeTop(0, 0, 300, 200);
  ASSERT_NE(top, nullptr);
  HWND button = MakeButton(top, "Roll", 20, 20, 100, 30, 9);
  inject::Foreground(top);
  bool enabledMeanwhile = false;
  bool boxOwned = true;
  bool commandWhileOpen = false;
  HWND box = nullptr;
  RECT boxRect = {};
  g_onMessage = [&](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT *) {
    if (message == WM_APP) {
      enabledMeanwhile = IsWindowEnabled(top) != FALSE;
      box = FindWindowA(nullptr, "Ownerless");
      boxOwned = box && GetWindow(box, GW_OWNER) != nullptr;
      if (box) GetWindowRect(box, &boxRect);
      inject::ClickCenter(button);
      return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == 9) {
      commandWhileOpen = IsWindow(box) && IsWindowVisible(box);
      // Close the box with its OK button.
      if (box) inject::ClickCenter(GetDlgItem(box, IDOK));
      return true;
    }
    return false;
  };
  PostMessageA(top, WM_APP, 0, 0);
  int answer = MessageBoxA(nullptr, "Nobody owns this box", "Ownerless", MB_OK);
  g_onMessage = nullptr;
  EXPECT_EQ(answer, IDOK);
  EXPECT_NE(box, nullptr) << "no message box found while it was open";
  EXPECT_FALSE(boxOwned);
  EXPECT_TRUE(enabledMeanwhile);
  EXPECT_TRUE(commandWhileOpen);
  EXPECT_FALSE(IsWindow(box));
  int dx = (boxRect.left + boxRect.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
  int dy = (boxRect.top + boxRect.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
  EXPECT_LE(std::abs(dx), 2) << "box centre off the screen's by " << dx;
  EXPECT_LE(std::abs(dy), 2) << "box centre off the screen's by " << dy;
}

}  // namespace
