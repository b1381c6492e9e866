// The message queue of the one thread, ordered as Windows orders retrieval: posted
// messages first (in the order posted), then WM_QUIT (a flag, never filtered), then input
// (in the order it arrived), then WM_PAINT (made up from a window's update region, never
// stored). Input waits in the back end until the queue is examined, so input that arrived
// while the thread was busy is pulled in at the next GetMessageA or PeekMessageA, where a
// PM_REMOVE loop can drop it.
#include <algorithm>

#include "backend.h"
#include "internal.h"

namespace zp {
namespace {

struct Queue {
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quit = false;
  int quitCode = 0;
  uint64_t activity = 0;
};

Queue &Q() {
  static Queue q;
  return q;
}

bool InRange(UINT message, UINT first, UINT last) {
  if (first == 0 && last == 0) return true;
  return message >= first && message <= last;
}

bool Matches(const MSG &m, HWND filter, UINT first, UINT last) {
  if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) return false;
  return InRange(m.message, first, last);
}

Window *SurfaceOwner(void *surface) {
  for (HWND h : TopLevelWindows()) {
    Window *w = GetWnd(h);
    if (w && w->surface == surface) return w;
  }
  return nullptr;
}

WPARAM MouseKeys() {
  const BYTE *k = Thread().keyState;
  WPARAM w = 0;
  if (k[VK_LBUTTON] & 0x80) w |= MK_LBUTTON;
  if (k[VK_RBUTTON] & 0x80) w |= MK_RBUTTON;
  if (k[VK_SHIFT] & 0x80) w |= MK_SHIFT;
  if (k[VK_CONTROL] & 0x80) w |= MK_CONTROL;
  return w;
}

void ConvertMouse(const InputEvent &ev, Window *top) {
  RECT s = SurfaceScreenRect(top);
  POINT screen{s.left + ev.x, s.top + ev.y};
  ThreadState &t = Thread();
  t.cursorPos = screen;

  UINT client = WM_MOUSEMOVE, nonClient = WM_NCMOUSEMOVE;
  if (ev.type == InputEvent::MouseDown) {
    client = ev.button == 1 ? WM_RBUTTONDOWN : ev.button == 2 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    nonClient = WM_NCLBUTTONDOWN;
  } else if (ev.type == InputEvent::MouseUp) {
    client = ev.button == 1 ? WM_RBUTTONUP : ev.button == 2 ? WM_MBUTTONUP : WM_LBUTTONUP;
    nonClient = WM_NCLBUTTONUP;
  }

  MSG m{};
  m.time = ev.time;
  m.pt = screen;
  if (Window *cap = GetWnd(t.capture)) {
    POINT o = ClientOrigin(cap);
    m.hwnd = cap->hwnd;
    m.message = client;
    m.lParam = MAKELPARAM(screen.x - o.x, screen.y - o.y);
    QueueInput(m);
    return;
  }
  // A disabled window takes no mouse input (its modal dialog has it).
  if (!top->Enabled()) return;
  if (ev.type == InputEvent::MouseDown && Thread().active != top->hwnd) SetActiveWindow(top->hwnd);

  Frame f = FrameOf(top->style, top->exStyle, top->menu != nullptr);
  if (f.menu > 0 && ev.y >= f.border && ev.y < f.border + f.menu) {
    if (ev.button != 0 && ev.type != InputEvent::MouseMove) return;
    m.hwnd = top->hwnd;
    m.message = nonClient;
    m.wParam = HTMENU;
    m.lParam = MAKELPARAM(screen.x, screen.y);
    QueueInput(m);
    return;
  }
  POINT o = ClientOrigin(top);
  POINT pt{screen.x - o.x, screen.y - o.y};
  if (pt.x < 0 || pt.y < 0 || pt.x >= top->clientW || pt.y >= top->clientH) return;
  Window *target = ChildAt(top, pt);
  POINT to = ClientOrigin(target);
  m.hwnd = target->hwnd;
  m.message = client;
  m.wParam = MouseKeys();
  m.lParam = MAKELPARAM(screen.x - to.x, screen.y - to.y);
  QueueInput(m);
}

void ConvertKey(const InputEvent &ev) {
  ThreadState &t = Thread();
  bool alt = (t.keyState[VK_MENU] & 0x80) != 0 || ev.vk == VK_MENU;
  HWND target = GetWnd(t.focus) ? t.focus : nullptr;
  bool sys = alt;
  if (!target) {
    // Without a focus window, keys go to the active window as system keys.
    if (!GetWnd(t.active)) return;
    target = t.active;
    sys = true;
  }
  MSG m{};
  m.hwnd = target;
  bool down = ev.type == InputEvent::KeyDown;
  m.message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  m.wParam = ev.vk;
  m.lParam = 1 | (down ? 0 : (3u << 30));
  if (alt) m.lParam |= 1 << 29;
  m.time = ev.time;
  m.pt = t.cursorPos;
  QueueInput(m);
}

// The user dragged a window: its rectangle follows, and it is told with WM_MOVE.
void MovedByUser(Window *top, POINT surfaceTopLeft) {
  RECT s = SurfaceScreenRect(top);
  int dx = surfaceTopLeft.x - s.left, dy = surfaceTopLeft.y - s.top;
  if (dx == 0 && dy == 0) return;
  OffsetRect(&top->rect, dx, dy);
  Backend().WindowChanged(top->hwnd);
  SendMessageA(
      top->hwnd, WM_MOVE, 0,
      MAKELPARAM(top->rect.left + top->clientOffset.x, top->rect.top + top->clientOffset.y));
}

// Assistive technology pressed a control: a click in its middle, as the mouse would give
// it, where the mouse could (the control and every window it lies in shown and enabled). Or
// it chose a menu item: the item's command, as the item's key gives it, unless the item is
// greyed or its window disabled.
void Invoked(const InputEvent &ev, Window *top) {
  MSG m{};
  m.time = ev.time;
  m.pt = Thread().cursorPos;
  if (ev.command) {
    if (!top || !top->Enabled() || MenuCommandInert(top->hwnd, ev.command)) return;
    m.hwnd = top->hwnd;
    m.message = WM_COMMAND;
    m.wParam = MAKEWPARAM(ev.command, 0);
    QueueInput(m);
    return;
  }
  Window *w = GetWnd(ev.target);
  if (!w || !ReallyVisible(w)) return;
  for (Window *p = w; p; p = p->IsChild() ? GetWnd(p->parent) : nullptr) {
    if (!p->Enabled()) return;
  }
  if (Window *cap = GetWnd(Thread().capture); cap && cap != w) return;  // the mouse is held
  top = TopLevelOf(w);
  if (top && Thread().active != top->hwnd) SetActiveWindow(top->hwnd);
  POINT middle{w->clientW / 2, w->clientH / 2}, origin = ClientOrigin(w);
  m.hwnd = w->hwnd;
  m.lParam = MAKELPARAM(middle.x, middle.y);
  m.pt = POINT{origin.x + middle.x, origin.y + middle.y};
  m.message = WM_LBUTTONDOWN;
  m.wParam = MK_LBUTTON;
  QueueInput(m);
  m.message = WM_LBUTTONUP;
  m.wParam = 0;
  QueueInput(m);
}

void ConvertEvent(const InputEvent &ev) {
  Window *top = SurfaceOwner(ev.surface);
  switch (ev.type) {
    case InputEvent::MouseMove:
    case InputEvent::MouseDown:
    case InputEvent::MouseUp:
      if (top) ConvertMouse(ev, top);
      break;
    case InputEvent::KeyDown:
    case InputEvent::KeyUp:
      ConvertKey(ev);
      break;
    case InputEvent::Close:
      if (top && top->Enabled()) {
        // The close button is non-client input, as a click on the frame is on Windows.
        MSG m{};
        m.hwnd = top->hwnd;
        m.message = WM_NCLBUTTONDOWN;
        m.wParam = HTCLOSE;
        m.time = ev.time;
        QueueInput(m);
      }
      break;
    case InputEvent::Expose:
      if (top) Present(top, ev.rect);
      break;
    case InputEvent::Moved:
      if (top) MovedByUser(top, POINT{ev.x, ev.y});
      break;
    case InputEvent::Activate:
      // The user chose a window through the window manager (its title bar, a task list):
      // it becomes the active window, as a click inside it makes it, and the keyboard
      // follows. Windows without a title bar (pop-up menus, the splash) are not chosen so.
      if (top && top->Enabled() && (top->style & WS_CAPTION) == WS_CAPTION &&
          Thread().active != top->hwnd)
        SetActiveWindow(top->hwnd);
      break;
    case InputEvent::Invoke:
      Invoked(ev, top);
      break;
    default:
      break;
  }
}

// Windows keeps the key state as messages are taken out of the queue.
void NoteKeyState(const MSG &m) {
  BYTE *k = Thread().keyState;
  auto set = [k](UINT vk, bool down) {
    if (vk > 255) return;
    if (down) {
      if (!(k[vk] & 0x80)) k[vk] ^= 0x01;  // toggle on each press
      k[vk] |= 0x80;
    } else {
      k[vk] &= ~0x80;
    }
  };
  switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      set(UINT(m.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      set(UINT(m.wParam), false);
      break;
    case WM_LBUTTONDOWN:
      set(VK_LBUTTON, true);
      break;
    case WM_LBUTTONUP:
      set(VK_LBUTTON, false);
      break;
    case WM_RBUTTONDOWN:
      set(VK_RBUTTON, true);
      break;
    case WM_RBUTTONUP:
      set(VK_RBUTTON, false);
      break;
    default:
      break;
  }
}

Window *FindPaint(Window *w, HWND filter, UINT first, UINT last) {
  if (!w || !w->Visible()) return nullptr;
  if (w->hasInvalid && InRange(WM_PAINT, first, last) &&
      (!filter || w->hwnd == filter || IsChild(filter, w->hwnd)))
    return w;
  for (HWND c : w->children) {
    if (Window *found = FindPaint(GetWnd(c), filter, first, last)) return found;
  }
  return nullptr;
}

// The kind of an input message, as the QS_* bits of PeekMessage's flags name it.
UINT InputKind(UINT message) {
  if (message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE) return QS_MOUSEMOVE;
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return QS_KEY;
  return QS_MOUSEBUTTON;
}

// The kinds of message a PeekMessage looks at, from the high word of its flags. (There are
// no timers or hot keys here, so QS_TIMER and QS_HOTKEY find nothing.)
constexpr UINT kAllKinds = QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_PAINT;
UINT KindsOf(UINT flags) {
  UINT kinds = flags >> 16;
  return kinds == 0 ? kAllKinds : kinds;
}

bool Retrieve(MSG *out, HWND filter, UINT first, UINT last, bool remove, UINT kinds = kAllKinds) {
  PullInput();
  Queue &q = Q();
  // (A window filter never matches a thread message: its window is null.)
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!(kinds & QS_POSTMESSAGE)) break;
    if (!Matches(*it, filter, first, last)) continue;
    *out = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  if (q.quit && (kinds & QS_POSTMESSAGE)) {
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = WPARAM(q.quitCode);
    out->time = GetTickCount();
    if (remove) q.quit = false;
    return true;
  }
  for (auto it = q.input.begin(); it != q.input.end(); ++it) {
    if (!(kinds & InputKind(it->message)) || !Matches(*it, filter, first, last)) continue;
    *out = *it;
    if (remove) {
      q.input.erase(it);
      NoteKeyState(*out);
    }
    return true;
  }
  for (HWND h : TopLevelWindows()) {
    if (!(kinds & QS_PAINT)) break;
    if (Window *w = FindPaint(GetWnd(h), filter, first, last)) {
      *out = MSG{};
      out->hwnd = w->hwnd;
      out->message = WM_PAINT;
      out->time = GetTickCount();
      return true;
    }
  }
  return false;
}

}  // namespace

void PullInput() {
  InputEvent ev;
  while (Backend().PollEvent(ev)) ConvertEvent(ev);
}

void WaitForInput() {
  PresentAll();
  Backend().WaitEvent();
}

void QueueInput(const MSG &msg) {
  Q().input.push_back(msg);
  ++Q().activity;
}

uint64_t QueueActivity() {
  return Q().activity;
}

void DropMessagesFor(HWND hwnd) {
  auto drop = [hwnd](std::deque<MSG> &list) {
    list.erase(
        std::remove_if(list.begin(), list.end(), [hwnd](const MSG &m) { return m.hwnd == hwnd; }),
        list.end());
  };
  drop(Q().posted);
  drop(Q().input);
}

void RunModalLoop(HWND dialog, const bool *done) {
  MSG msg;
  while (!*done) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      // The program is quitting: leave the quit message for the outer loop.
      PostQuitMessage(int(msg.wParam));
      return;
    }
    if (dialog && GetWnd(dialog) && DialogKeyMessage(dialog, msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void ResetQueue() {
  Q() = Queue{};
}

}  // namespace zp

using namespace zp;

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd && !GetWnd(hWnd)) {
    Thread().lastError = 1400;
    return FALSE;
  }
  MSG m{};
  m.hwnd = hWnd;
  m.message = Msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  m.pt = Thread().cursorPos;
  Q().posted.push_back(m);
  ++Q().activity;
  return TRUE;
}

VOID WINAPI PostQuitMessage(int nExitCode) {
  Q().quit = true;
  Q().quitCode = nExitCode;
  ++Q().activity;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (!lpMsg) return -1;
  if (hWnd && !GetWnd(hWnd)) {
    Thread().lastError = 1400;
    return -1;
  }
  while (!Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
    WaitForInput();
    if (hWnd && !GetWnd(hWnd)) return -1;
  }
  return lpMsg->message != WM_QUIT;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (!lpMsg) return FALSE;
  if (hWnd && !GetWnd(hWnd)) {
    Thread().lastError = 1400;
    return FALSE;
  }
  return Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0,
                  KindsOf(wRemoveMsg));
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  return PeekMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL WINAPI WaitMessage(void) {
  MSG m;
  if (!Retrieve(&m, nullptr, 0, 0, false)) WaitForInput();
  return TRUE;
}

static char CharForKey(UINT vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return char(shift ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9' && !shift) return char(vk);
  switch (vk) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_ESCAPE:
      return 0x1B;
    case VK_BACK:
      return 0x08;
    case VK_TAB:
      return '\t';
    default:
      return 0;
  }
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  if (!lpMsg) return FALSE;
  if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN) return FALSE;
  const BYTE *k = Thread().keyState;
  if (k[VK_CONTROL] & 0x80) return FALSE;
  char c = CharForKey(UINT(lpMsg->wParam), (k[VK_SHIFT] & 0x80) != 0);
  if (!c) return FALSE;
  PostMessageA(lpMsg->hwnd, lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, WPARAM(uint8_t(c)),
               lpMsg->lParam);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  if (!lpMsg || !lpMsg->hwnd) return 0;
  Window *w = GetWnd(lpMsg->hwnd);
  if (!w || !w->proc) return 0;
  LRESULT r = w->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
  if (lpMsg->message == WM_PAINT) {
    // A window procedure that ignores WM_PAINT would be asked forever; validate it.
    if ((w = GetWnd(lpMsg->hwnd)) && w->hasInvalid) ValidateRect(lpMsg->hwnd, nullptr);
  }
  return r;
}

SHORT WINAPI GetKeyState(int nVirtKey) {
  if (nVirtKey < 0 || nVirtKey > 255) return 0;
  BYTE k = Thread().keyState[nVirtKey];
  SHORT s = (k & 0x80) ? SHORT(0x8000) : 0;
  return SHORT(s | (k & 0x01));
}
