// The message queue: the order of retrieval, the filters of PeekMessageA, WM_QUIT, and
// input that arrives while the thread is busy.
#include "conformance.h"

namespace {

class Queue : public Conformance {};

// What kind of message a queue gave out, in the order Windows gives them out.
enum Rank { kPosted, kQuit, kInput, kPaint };

Rank RankOf(const MSG &m) {
  if (m.message == WM_QUIT) return kQuit;
  if (m.message == WM_PAINT) return kPaint;
  if (IsInput(m.message)) return kInput;
  return kPosted;
}

// Posted messages come first, in the order posted, then WM_QUIT, then input in the order
// it arrived, then WM_PAINT; here the input arrives before anything is posted.
TEST_F(Queue, PostedMessagesComeBeforeInputThatArrivedEarlier) {
  HWND top = MakeTop(40, 40, 240, 160);
  ASSERT_NE(top, nullptr);
  inject::Foreground(top);
  inject::Click(top, 50, 60);
  inject::Key('Z');
  PostMessageA(top, WM_USER + 1, 11, 0);
  PostMessageA(nullptr, WM_USER + 2, 22, 0);
  PostQuitMessage(5);
  PostMessageA(top, WM_USER + 3, 33, 0);
  InvalidateRect(top, nullptr, FALSE);

  std::vector<MSG> got = Drain();
  std::vector<UINT> posted;
  std::vector<UINT> input;
  for (size_t i = 0; i < got.size(); ++i) {
    if (i > 0) {
      EXPECT_LE(RankOf(got[i - 1]), RankOf(got[i])) << "retrieved " << Describe(got);
    }
    if (RankOf(got[i]) == kPosted) posted.push_back(got[i].message);
    if (RankOf(got[i]) == kInput && got[i].message != WM_MOUSEMOVE) input.push_back(got[i].message);
    if (got[i].message == WM_QUIT) {
      EXPECT_EQ(got[i].wParam, 5u);
    }
  }
  EXPECT_EQ(posted, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3})) << Describe(got);
  EXPECT_EQ(input, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP}))
      << Describe(got);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().message, WM_PAINT) << Describe(got);
}

// GetMessageA returns 0 for WM_QUIT, with the exit code in wParam, and after the posted
// messages; the quit message is never held back by a filter.
TEST_F(Queue, GetMessageReturnsZeroForQuit) {
  HWND top = MakeTop(40, 40, 200, 100);
  ASSERT_NE(top, nullptr);
  UpdateWindow(top);
  Drain();
  PostQuitMessage(3);
  PostMessageA(top, WM_USER, 0, 0);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);

  // Outside the range asked for, and with a window filter, WM_QUIT is still retrieved.
  PostQuitMessage(4);
  EXPECT_EQ(GetMessageA(&msg, top, WM_USER + 10, WM_USER + 20), 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT was retrieved once";

  // A window filter that names no window is an error, not a wait.
  DestroyWindow(top);
  PostQuitMessage(6);
  EXPECT_EQ(GetMessageA(&msg, top, 0, 0), -1);
  Drain();
}

// A window filter matches the window and its children, never other windows; the range is
// honoured; only PM_REMOVE takes the message out.
TEST_F(Queue, PeekMessageFiltersByWindowAndRange) {
  HWND top = MakeTop(40, 40, 200, 100, "Main");
  HWND button = MakeButton(top, "Child", 10, 10, 80, 24);
  HWND other = MakeTop(300, 40, 200, 100, "Other");
  ASSERT_TRUE(top && button && other);
  UpdateWindow(top);
  UpdateWindow(other);
  Drain();
  PostMessageA(other, WM_USER + 1, 1, 0);
  PostMessageA(button, WM_USER + 2, 2, 0);
  PostMessageA(top, WM_USER + 3, 3, 0);
  PostMessageA(top, WM_USER + 4, 4, 0);

  struct Step {
    HWND filter;
    UINT first, last, remove;
    BOOL found;
    HWND hwnd;
    UINT message;
  };
  const Step steps[] = {
      // The first message of the window or its child; looking leaves it in place.
      {top, 0, 0, PM_NOREMOVE, TRUE, button, WM_USER + 2},
      {top, 0, 0, PM_NOREMOVE, TRUE, button, WM_USER + 2},
      // A range skips over earlier messages, and takes out only what it matches.
      {top, WM_USER + 4, WM_USER + 9, PM_REMOVE, TRUE, top, WM_USER + 4},
      {top, WM_USER + 4, WM_USER + 9, PM_REMOVE, FALSE, nullptr, 0},
      {top, WM_USER + 5, WM_USER + 9, PM_NOREMOVE, FALSE, nullptr, 0},
      {top, 0, 0, PM_REMOVE, TRUE, button, WM_USER + 2},
      {top, 0, 0, PM_REMOVE, TRUE, top, WM_USER + 3},
      // The other window's message is not the main window's.
      {top, WM_USER, WM_USER + 9, PM_REMOVE, FALSE, nullptr, 0},
      {button, WM_USER, WM_USER + 9, PM_REMOVE, FALSE, nullptr, 0},
      {nullptr, WM_USER, WM_USER + 9, PM_NOREMOVE, TRUE, other, WM_USER + 1},
      {other, 0, 0, PM_REMOVE, TRUE, other, WM_USER + 1},
      {nullptr, WM_USER, WM_USER + 9, PM_REMOVE, FALSE, nullptr, 0},
  };
  int i = 0;
  for (const Step &s : steps) {
    MSG msg = {};
    BOOL found = PeekMessageA(&msg, s.filter, s.first, s.last, s.remove);
    EXPECT_EQ(found != FALSE, s.found != FALSE) << "step " << i;
    if (found && s.found) {
      EXPECT_EQ(msg.hwnd, s.hwnd) << "step " << i;
      EXPECT_EQ(msg.message, s.message) << "step " << i << ": got " << MessageName(msg.message);
    }
    ++i;
  }
}

// Input for a button is found with the main window as filter: that is how the game drops
// clicks on its buttons.
TEST_F(Queue, WindowFilterFindsInputOfChildren) {
  HWND top = MakeTop(40, 40, 240, 120);
  HWND button = MakeButton(top, "Press", 20, 20, 100, 30);
  ASSERT_TRUE(top && button);
  inject::Foreground(top);
  inject::ClickCenter(button);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, top, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, button);
  ASSERT_TRUE(PeekMessageA(&msg, top, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, button);
  EXPECT_FALSE(PeekMessageA(&msg, top, WM_LBUTTONDOWN, WM_LBUTTONUP, PM_REMOVE));
}

// Input that arrives while the thread sleeps waits in the queue; a PM_REMOVE loop over the
// input range drops it, so the button never hears of the click.
TEST_F(Queue, InputThatArrivedDuringSleepCanBeDropped) {
  struct Case {
    const char *name;
    bool key;
    bool flush;
    size_t commands;
  };
  const Case cases[] = {
      {"click kept", false, false, 1},
      {"click dropped", false, true, 0},
      {"space kept", true, false, 1},
      {"space dropped", true, true, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    g_received.clear();
    HWND top = MakeTop(40, 40, 240, 120);
    HWND button = MakeButton(top, "Press", 20, 20, 100, 30);
    ASSERT_TRUE(top && button);
    inject::Foreground(top);
    SetFocus(button);
    Pump();
    inject::WhileSleeping(100, [&] {
      if (c.key)
        inject::Key(VK_SPACE);
      else
        inject::ClickCenter(button);
    });
    MSG msg;
    if (c.flush)
      while (PeekMessageA(&msg, top, WM_KEYFIRST, WM_MOUSELAST, PM_REMOVE)) {
      }
    Pump();
    EXPECT_EQ(Commands().size(), c.commands);
    DestroyWindow(top);
  }
}

// The look the game takes before each pause so that the window system shows what was
// drawn: PeekMessageW for messages sent by other threads only. It finds none of the
// messages that wait (posted, WM_QUIT, input, WM_PAINT) and takes none out, even with
// PM_REMOVE; afterwards the queue gives them all out as before. The other kinds select
// what they name.
TEST_F(Queue, LookForSentMessagesLeavesTheQueueAsItWas) {
  HWND top = MakeTop(40, 40, 240, 120);
  HWND button = MakeButton(top, "Press", 20, 20, 100, 30);
  ASSERT_TRUE(top && button);
  inject::Foreground(top);
  UpdateWindow(top);
  Drain();
  PostMessageA(top, WM_USER + 1, 11, 0);
  inject::ClickCenter(button);
  PostQuitMessage(7);
  InvalidateRect(top, nullptr, FALSE);

  struct Look {
    const char *name;
    UINT flags;
    BOOL found;
    UINT message;
  };
  const Look looks[] = {
      {"sent only", PM_NOREMOVE | PM_QS_SENDMESSAGE, FALSE, 0},
      {"sent only, PM_REMOVE", PM_REMOVE | PM_QS_SENDMESSAGE, FALSE, 0},
      {"sent only, again", PM_NOREMOVE | PM_QS_SENDMESSAGE, FALSE, 0},
      {"paint only", PM_NOREMOVE | PM_QS_PAINT, TRUE, WM_PAINT},
      {"mouse buttons only", PM_NOREMOVE | (QS_MOUSEBUTTON << 16), TRUE, WM_LBUTTONDOWN},
      {"posted only", PM_NOREMOVE | PM_QS_POSTMESSAGE, TRUE, WM_USER + 1},
  };
  for (const Look &l : looks) {
    MSG msg = {};
    BOOL found = PeekMessageW(&msg, nullptr, 0, 0, l.flags);
    EXPECT_EQ(found != FALSE, l.found != FALSE)
        << l.name << ": found " << (found ? MessageName(msg.message) : "nothing");
    if (found && l.found) {
      EXPECT_EQ(msg.message, l.message) << l.name << ": got " << MessageName(msg.message);
    }
  }

  std::vector<MSG> got = Drain();
  std::vector<UINT> kept;
  for (const MSG &m : got) {
    if (m.message != WM_MOUSEMOVE) kept.push_back(m.message);
  }
  EXPECT_EQ(kept, (std::vector<UINT>{WM_USER + 1, WM_QUIT, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_PAINT}))
      << "retrieved " << Describe(got);
}

}  // namespace
