// Window classes and windows: creation and destruction with their messages, geometry,
// visibility, enabling, focus, capture and activation, the update region and the paint
// cycle, and the default window procedure.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "backend.h"
#include "internal.h"

namespace zp {
namespace {

std::vector<std::shared_ptr<WndClass>> &Classes() {
  static std::vector<std::shared_ptr<WndClass>> classes;
  return classes;
}
ATOM g_nextAtom = 0xC000;

bool SameName(const std::string &a, const char *b) {
  return b && strcasecmp(a.c_str(), b) == 0;
}

std::string ResourceNameString(LPCSTR name) {
  if (!name) return {};
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  return name;
}

// Top-level windows, in creation order (a stand-in for the z-order: later is higher).
std::vector<HWND> &TopLevels() {
  static std::vector<HWND> windows;
  return windows;
}

bool g_systemClassesRegistered = false;

}  // namespace

std::shared_ptr<WndClass> FindClass(const char *name, HINSTANCE) {
  if (!g_systemClassesRegistered) {
    g_systemClassesRegistered = true;
    RegisterSystemClasses();
  }
  if (!name) return nullptr;
  for (auto &c : Classes()) {
    if (IS_INTRESOURCE(name) ? c->atom == ATOM(reinterpret_cast<uintptr_t>(name))
                             : SameName(c->name, name))
      return c;
  }
  return nullptr;
}

ATOM RegisterClassInternal(const WNDCLASSA &wc, bool system) {
  if (!wc.lpszClassName || IS_INTRESOURCE(wc.lpszClassName) || !wc.lpfnWndProc) {
    Thread().lastError = 87;  // ERROR_INVALID_PARAMETER
    return 0;
  }
  for (auto &c : Classes()) {
    if (SameName(c->name, wc.lpszClassName)) {
      Thread().lastError = 1410;  // ERROR_CLASS_ALREADY_EXISTS
      return 0;
    }
  }
  auto c = std::make_shared<WndClass>();
  c->name = wc.lpszClassName;
  c->wc = wc;
  c->menuName = ResourceNameString(wc.lpszMenuName);
  c->wc.lpszClassName = c->name.c_str();
  c->wc.lpszMenuName = nullptr;
  c->atom = g_nextAtom++;
  c->system = system;
  Classes().push_back(c);
  return c->atom;
}

Window *GetWnd(HWND h) {
  return As<Window>(h);
}

Window *TopLevelOf(Window *w) {
  while (w && w->IsChild()) w = GetWnd(w->parent);
  return w;
}

Frame FrameOf(DWORD style, DWORD exStyle, bool hasMenu) {
  Frame f{};
  bool child = (style & WS_CHILD) != 0;
  if (!child && (style & WS_CAPTION) == WS_CAPTION) {
    int b = (style & WS_THICKFRAME) ? 4 : GetSystemMetrics(SM_CXDLGFRAME);
    f.left = f.right = f.bottom = b;
    f.top = b + GetSystemMetrics(SM_CYCAPTION);
  } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
    f.border = GetSystemMetrics(SM_CXDLGFRAME);
  } else if (style & WS_THICKFRAME) {
    f.border = 4;
  } else if (style & WS_BORDER) {
    f.border = 1;
  }
  if (hasMenu && !child) f.menu = GetSystemMetrics(SM_CYMENU);
  return f;
}

// Where the client area lies inside the window rectangle, from style and size.
static void LayOut(Window *w) {
  Frame f = FrameOf(w->style, w->exStyle, w->menu != nullptr);
  w->clientOffset = POINT{f.left + f.border, f.top + f.border + f.menu};
  int width = w->rect.right - w->rect.left - f.left - f.right - 2 * f.border;
  int height = w->rect.bottom - w->rect.top - f.top - f.bottom - 2 * f.border - f.menu;
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width != w->clientW || height != w->clientH || w->client.w != width ||
      w->client.h != height) {
    w->clientW = width;
    w->clientH = height;
    w->client.Resize(width, height, 0);
    w->texts.clear();
  }
}

// The part of the screen the back end shows for a top-level window: the window rectangle
// less what the window manager draws (title bar and frame).
RECT SurfaceScreenRect(Window *w) {
  Frame f = FrameOf(w->style, w->exStyle, w->menu != nullptr);
  return MakeRect(w->rect.left + f.left, w->rect.top + f.top, w->rect.right - f.right,
                  w->rect.bottom - f.bottom);
}

POINT ClientOrigin(Window *w) {
  POINT p{0, 0};
  while (w) {
    p.x += w->rect.left + w->clientOffset.x;
    p.y += w->rect.top + w->clientOffset.y;
    if (!w->IsChild()) break;
    w = GetWnd(w->parent);
  }
  return p;
}

POINT ClientToSurface(Window *w, POINT p) {
  Window *top = TopLevelOf(w);
  if (!top) return p;
  POINT origin = ClientOrigin(w);
  RECT s = SurfaceScreenRect(top);
  return POINT{p.x + origin.x - s.left, p.y + origin.y - s.top};
}

bool ReallyVisible(Window *w) {
  while (w) {
    if (!w->Visible()) return false;
    if (!w->IsChild()) return true;
    w = GetWnd(w->parent);
  }
  return false;
}

Window *ChildAt(Window *w, POINT pt) {
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window *c = GetWnd(*it);
    if (!c || !c->Visible()) continue;
    if (pt.x >= c->rect.left && pt.x < c->rect.right && pt.y >= c->rect.top &&
        pt.y < c->rect.bottom) {
      // A disabled window takes no mouse input: the point belongs to its parent.
      if (!c->Enabled()) return w;
      return ChildAt(c, POINT{pt.x - c->rect.left - c->clientOffset.x,
                              pt.y - c->rect.top - c->clientOffset.y});
    }
  }
  return w;
}

std::vector<HWND> TopLevelWindows() {
  return TopLevels();
}

void ChangeFocus(HWND newFocus) {
  ThreadState &t = Thread();
  HWND old = t.focus;
  if (old == newFocus) return;
  t.focus = newFocus;
  Backend().FocusChanged(newFocus);
  if (old && GetWnd(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(newFocus), 0);
  // The old window's handler may have moved the focus on already.
  if (t.focus == newFocus && newFocus && GetWnd(newFocus))
    SendMessageA(newFocus, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
}

void ResetWindows() {
  TopLevels().clear();
  Classes().clear();
  g_systemClassesRegistered = false;
  g_nextAtom = 0xC000;
}

}  // namespace zp

using namespace zp;

// ---------------------------------------------------------------------------------
// Classes
// ---------------------------------------------------------------------------------
ATOM WINAPI RegisterClassA(const WNDCLASSA *lpWndClass) {
  if (!lpWndClass) return 0;
  FindClass(nullptr, nullptr);  // the system classes come first
  if (ShouldFail(FailPoint::RegisterClass, lpWndClass->lpszClassName)) {
    Thread().lastError = 8;
    return 0;
  }
  return RegisterClassInternal(*lpWndClass, false);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  auto &classes = Classes();
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if ((*it)->system || !SameName((*it)->name, lpClassName)) continue;
    for (void *h : HandlesOf(Kind::Window)) {
      if (GetWnd(static_cast<HWND>(h))->cls == *it) return FALSE;  // still in use
    }
    classes.erase(it);
    return TRUE;
  }
  return FALSE;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpClassName || nMaxCount <= 0) return 0;
  int n = std::min<int>(int(w->cls->name.size()), nMaxCount - 1);
  std::memcpy(lpClassName, w->cls->name.data(), n);
  lpClassName[n] = 0;
  return n;
}

// ---------------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------------
static void FreeWindowTree(HWND hwnd);

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
  auto cls = FindClass(lpClassName, hInstance);
  if (!cls) {
    Thread().lastError = 1407;  // ERROR_CANNOT_FIND_WND_CLASS
    return nullptr;
  }
  if (ShouldFail(FailPoint::CreateWindow, cls->name.c_str())) {
    Thread().lastError = 8;
    return nullptr;
  }
  bool child = (dwStyle & WS_CHILD) != 0;
  Window *parent = GetWnd(hWndParent);
  if (child && !parent) {
    Thread().lastError = 1406;  // ERROR_TLW_WITH_WSCHILD
    return nullptr;
  }
  if (hWndParent && !parent) {
    Thread().lastError = 1400;  // ERROR_INVALID_WINDOW_HANDLE
    return nullptr;
  }

  auto obj = std::make_unique<Window>();
  Window *w = obj.get();
  w->cls = cls;
  w->proc = cls->wc.lpfnWndProc;
  w->text = lpWindowName ? lpWindowName : "";
  w->style = dwStyle & ~WS_VISIBLE;
  w->exStyle = dwExStyle;
  w->instance = hInstance;
  w->cursor = cls->wc.hCursor;
  if (child) {
    w->parent = hWndParent;
    w->id = reinterpret_cast<UINT_PTR>(hMenu);
  } else {
    // A top-level window is owned by the top-level window of the one given.
    Window *ownerTop = TopLevelOf(parent);
    w->owner = ownerTop ? ownerTop->hwnd : nullptr;
    w->menu = hMenu;
    if (!w->menu && !cls->menuName.empty()) {
      const std::string &m = cls->menuName;
      w->menu = m[0] == '#' ? LoadMenuA(cls->wc.hInstance, MAKEINTRESOURCEA(std::stoi(m.substr(1))))
                            : LoadMenuA(cls->wc.hInstance, m.c_str());
    }
  }
  if (!child) {
    if (X == CW_USEDEFAULT) X = 32, Y = 32;
    if (nWidth == CW_USEDEFAULT) nWidth = 400, nHeight = 300;
  } else {
    if (X == CW_USEDEFAULT) X = 0, Y = 0;
    if (nWidth == CW_USEDEFAULT) nWidth = 0, nHeight = 0;
  }
  w->rect = MakeRect(X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0));
  HWND hwnd = static_cast<HWND>(NewHandle(Kind::Window, std::move(obj)));
  if (!hwnd) return nullptr;
  w->hwnd = hwnd;
  LayOut(w);
  w->hasInvalid = w->clientW > 0 && w->clientH > 0;
  w->invalid = MakeRect(0, 0, w->clientW, w->clientH);
  w->eraseNeeded = true;

  if (child) {
    parent->children.push_back(hwnd);
    Backend().WindowChanged(hwnd);
  } else {
    TopLevels().push_back(hwnd);
    SurfaceInfo info;
    info.hwnd = hwnd;
    info.screenRect = SurfaceScreenRect(w);
    info.title = w->text.c_str();
    info.decorated = (dwStyle & WS_CAPTION) == WS_CAPTION;
    info.style = dwStyle;
    info.exStyle = dwExStyle;
    Window *owner = GetWnd(w->owner);
    info.ownerSurface = owner ? owner->surface : nullptr;
    w->surface = Backend().CreateSurface(info);
    if (auto *icon = As<Icon>(cls->wc.hIcon); icon && w->surface && icon->img.w > 0)
      Backend().SetIcon(w->surface, icon->img, icon->alpha);
    if (!w->surface) {
      // No display to show it on: fail as Windows fails without a desktop.
      auto &tops = TopLevels();
      tops.erase(std::remove(tops.begin(), tops.end(), hwnd), tops.end());
      FreeHandle(hwnd);
      Thread().lastError = 8;
      return nullptr;
    }
    Backend().WindowChanged(hwnd);
  }

  CREATESTRUCTA cs{};
  cs.lpCreateParams = lpParam;
  cs.hInstance = hInstance;
  cs.hMenu = hMenu;
  cs.hwndParent = hWndParent;
  cs.cx = nWidth;
  cs.cy = nHeight;
  cs.x = X;
  cs.y = Y;
  cs.style = LONG(dwStyle);
  cs.lpszName = lpWindowName;
  cs.lpszClass = lpClassName;
  cs.dwExStyle = dwExStyle;
  // A window that refuses its creation is taken apart again without WM_DESTROY: it never
  // lived, so only WM_NCDESTROY reaches it.
  if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    FreeWindowTree(hwnd);
    return nullptr;
  }
  if (!GetWnd(hwnd)) return nullptr;
  if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    FreeWindowTree(hwnd);
    return nullptr;
  }
  if (!(w = GetWnd(hwnd))) return nullptr;
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientW, w->clientH));
  if (!(w = GetWnd(hwnd))) return nullptr;
  SendMessageA(hwnd, WM_MOVE, 0,
               MAKELPARAM(w->rect.left + w->clientOffset.x, w->rect.top + w->clientOffset.y));
  if (GetWnd(hwnd) && (dwStyle & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOW);
  return GetWnd(hwnd) ? hwnd : nullptr;
}

static void SendDestroy(HWND hwnd) {
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  Window *w = GetWnd(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) {
    if (Window *cw = GetWnd(c); cw && !cw->destroying) {
      cw->destroying = true;
      SendDestroy(c);
    }
  }
}

static void FreeWindowTree(HWND hwnd) {
  Window *w = GetWnd(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) FreeWindowTree(c);
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  if (!(w = GetWnd(hwnd))) return;
  ThreadState &t = Thread();
  if (t.focus == hwnd) t.focus = nullptr;
  if (t.capture == hwnd) t.capture = nullptr;
  if (t.active == hwnd) t.active = nullptr;
  DropMessagesFor(hwnd);
  Backend().WindowGone(hwnd);
  if (w->surface) Backend().DestroySurface(w->surface);
  w->surface = nullptr;
  // A window's menu goes with it, as on Windows.
  if (!w->IsChild() && w->menu) {
    HMENU menu = w->menu;
    w->menu = nullptr;
    DestroyMenu(menu);
  }
  if (Window *p = GetWnd(w->parent)) {
    auto &siblings = p->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  }
  auto &tops = TopLevels();
  tops.erase(std::remove(tops.begin(), tops.end(), hwnd), tops.end());
  FreeHandle(hwnd);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  if (!w) {
    Thread().lastError = 1400;
    return FALSE;
  }
  if (w->destroying) return TRUE;
  w->destroying = true;
  // Owned windows go first.
  if (!w->IsChild()) {
    std::vector<HWND> tops = TopLevels();
    for (HWND h : tops) {
      if (Window *o = GetWnd(h); o && o->owner == hWnd) DestroyWindow(h);
    }
  }
  if ((w = GetWnd(hWnd)) && w->Visible()) ShowWindow(hWnd, SW_HIDE);
  ThreadState &t = Thread();
  if (t.focus && (t.focus == hWnd || IsChild(hWnd, t.focus))) t.focus = nullptr;
  if (t.capture && (t.capture == hWnd || IsChild(hWnd, t.capture))) t.capture = nullptr;
  SendDestroy(hWnd);
  FreeWindowTree(hWnd);
  if (t.active == nullptr) {
    // Activate the topmost remaining visible, enabled top-level window.
    auto &tops = TopLevels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
      Window *o = GetWnd(*it);
      if (o && o->Visible() && o->Enabled()) {
        SetActiveWindow(*it);
        break;
      }
    }
  }
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  return GetWnd(hWnd) != nullptr;
}

// ---------------------------------------------------------------------------------
// Visibility, enabling, focus, activation, capture
// ---------------------------------------------------------------------------------
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  bool wasVisible = w->Visible();
  bool show = nCmdShow != SW_HIDE;
  if (show != wasVisible) {
    SendMessageA(hWnd, WM_SHOWWINDOW, show, 0);
    if (!(w = GetWnd(hWnd))) return wasVisible;
    if (show)
      w->style |= WS_VISIBLE;
    else
      w->style &= ~WS_VISIBLE;
    Backend().WindowChanged(hWnd);
    if (w->surface) Backend().ShowSurface(w->surface, show);
    if (w->IsChild()) {
      if (Window *top = TopLevelOf(w)) Present(top, MakeRect(0, 0, 1 << 20, 1 << 20));
    } else if (show) {
      Present(w, MakeRect(0, 0, 1 << 20, 1 << 20));
    }
  }
  if (!w->IsChild()) {
    ThreadState &t = Thread();
    if (show && nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE && w->Enabled()) {
      if (t.active != hWnd) SetActiveWindow(hWnd);
    } else if (!show && t.active == hWnd) {
      // Hand activation to the owner, or to the topmost other visible window.
      Window *owner = GetWnd(w->owner);
      HWND next = owner && owner->Visible() ? w->owner : nullptr;
      if (!next) {
        auto &tops = TopLevels();
        for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
          Window *o = GetWnd(*it);
          if (*it != hWnd && o && o->Visible()) {
            next = *it;
            break;
          }
        }
      }
      if (next) {
        SetActiveWindow(next);
      } else {
        t.active = nullptr;
        if (t.focus && (t.focus == hWnd || IsChild(hWnd, t.focus))) ChangeFocus(nullptr);
      }
    }
  } else if (!show) {
    ThreadState &t = Thread();
    if (t.focus && (t.focus == hWnd || IsChild(hWnd, t.focus))) ChangeFocus(nullptr);
  }
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  return w && ReallyVisible(w);
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  if (w->hasInvalid && ReallyVisible(w)) SendMessageA(hWnd, WM_PAINT, 0, 0);
  if (!(w = GetWnd(hWnd))) return TRUE;
  std::vector<HWND> children = w->children;
  for (HWND c : children) UpdateWindow(c);
  return TRUE;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  bool wasDisabled = !w->Enabled();
  if (bEnable && wasDisabled) {
    w->style &= ~WS_DISABLED;
    Backend().WindowChanged(hWnd);
    SendMessageA(hWnd, WM_ENABLE, TRUE, 0);
  } else if (!bEnable && !wasDisabled) {
    w->style |= WS_DISABLED;
    Backend().WindowChanged(hWnd);
    ThreadState &t = Thread();
    // A disabled window can have neither the focus nor the mouse.
    if (t.focus && (t.focus == hWnd || IsChild(hWnd, t.focus))) ChangeFocus(nullptr);
    if (t.capture == hWnd) t.capture = nullptr;
    SendMessageA(hWnd, WM_ENABLE, FALSE, 0);
  }
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  return w && w->Enabled();
}

HWND WINAPI SetFocus(HWND hWnd) {
  ThreadState &t = Thread();
  HWND previous = t.focus;
  if (!hWnd) {
    ChangeFocus(nullptr);
    return previous;
  }
  Window *w = GetWnd(hWnd);
  if (!w) {
    t.lastError = 1400;
    return nullptr;
  }
  // No window in the chain may be disabled.
  for (Window *p = w; p; p = p->IsChild() ? GetWnd(p->parent) : nullptr) {
    if (!p->Enabled()) return nullptr;
  }
  Window *top = TopLevelOf(w);
  if (top && t.active != top->hwnd) {
    SetActiveWindow(top->hwnd);
    if (t.focus == hWnd) return previous;
  }
  ChangeFocus(hWnd);
  return previous;
}

HWND WINAPI GetFocus(void) {
  return Thread().focus;
}
HWND WINAPI GetActiveWindow(void) {
  return Thread().active;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
  ThreadState &t = Thread();
  HWND previous = t.active;
  Window *w = GetWnd(hWnd);
  if (hWnd && (!w || w->IsChild())) return nullptr;
  if (previous == hWnd) return previous;
  t.active = hWnd;
  if (previous && GetWnd(previous))
    SendMessageA(previous, WM_ACTIVATE, 0 /* WA_INACTIVE */, reinterpret_cast<LPARAM>(hWnd));
  if (hWnd && GetWnd(hWnd) && t.active == hWnd)
    SendMessageA(hWnd, WM_ACTIVATE, 1 /* WA_ACTIVE */, reinterpret_cast<LPARAM>(previous));
  return previous;
}

HWND WINAPI SetCapture(HWND hWnd) {
  ThreadState &t = Thread();
  HWND previous = t.capture;
  t.capture = GetWnd(hWnd) ? hWnd : nullptr;
  return previous;
}

BOOL WINAPI ReleaseCapture(void) {
  Thread().capture = nullptr;
  return TRUE;
}

HWND WINAPI GetCapture(void) {
  return Thread().capture;
}

// ---------------------------------------------------------------------------------
// Relations and properties
// ---------------------------------------------------------------------------------
HWND WINAPI GetParent(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  if (!w) return nullptr;
  return w->IsChild() ? w->parent : w->owner;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  Window *w = GetWnd(hWnd);
  if (!w) return nullptr;
  switch (uCmd) {
    case GW_OWNER:
      return w->IsChild() ? nullptr : w->owner;
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front();
    case GW_HWNDNEXT: {
      Window *p = GetWnd(w->parent);
      const auto &list = p ? p->children : TopLevels();
      auto it = std::find(list.begin(), list.end(), hWnd);
      if (it == list.end() || ++it == list.end()) return nullptr;
      return *it;
    }
    default:
      return nullptr;
  }
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  Window *w = GetWnd(hWnd);
  while (w && w->IsChild()) {
    if (w->parent == hWndParent) return TRUE;
    w = GetWnd(w->parent);
  }
  return FALSE;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  for (HWND h : TopLevels()) {
    Window *w = GetWnd(h);
    if (!w) continue;
    if (lpClassName && !SameName(w->cls->name, lpClassName)) continue;
    if (lpWindowName && w->text != lpWindowName) continue;
    return h;
  }
  return nullptr;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!GetWnd(hWnd)) return FALSE;
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (!GetWnd(hWnd) || !lpString || nMaxCount <= 0) return 0;
  return int(SendMessageA(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  if (!GetWnd(hWnd)) return 0;
  return int(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  Window *w = GetWnd(hWnd);
  if (!w) return 0;
  switch (nIndex) {
    case GWL_STYLE:
      return LONG_PTR(w->style);
    case GWL_EXSTYLE:
      return LONG_PTR(w->exStyle);
    case GWLP_ID:
      return LONG_PTR(w->id);
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    default:
      return 0;
  }
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  return LONG(GetWindowLongPtrA(hWnd, nIndex));
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  Window *w = GetWnd(hWnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(hWnd, nIndex);
  switch (nIndex) {
    case GWL_STYLE:
      w->style = DWORD(dwNewLong);
      Backend().WindowChanged(hWnd);
      break;
    case GWL_EXSTYLE:
      w->exStyle = DWORD(dwNewLong);
      break;
    case GWLP_ID:
      w->id = UINT_PTR(dwNewLong);
      break;
    case GWLP_USERDATA:
      w->userData = dwNewLong;
      break;
    case GWLP_WNDPROC:  // subclassing: the new procedure passes on with CallWindowProcA
      if (!dwNewLong) return 0;
      w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      break;
    default:
      return 0;
  }
  return old;
}

// ---------------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------------
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpRect) return FALSE;
  *lpRect = MakeRect(0, 0, w->clientW, w->clientH);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpRect) return FALSE;
  RECT r = w->rect;
  if (w->IsChild()) {
    POINT o = ClientOrigin(GetWnd(w->parent));
    r = MakeRect(r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y);
  }
  *lpRect = r;
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  bool resized = nWidth != w->rect.right - w->rect.left || nHeight != w->rect.bottom - w->rect.top;
  w->rect = MakeRect(X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0));
  LayOut(w);
  Backend().WindowChanged(hWnd);
  if (w->surface) Backend().MoveSurface(w->surface, SurfaceScreenRect(w));
  if (bRepaint || resized) InvalidateRect(hWnd, nullptr, TRUE);
  if (resized) SendMessageA(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientW, w->clientH));
  if ((w = GetWnd(hWnd)))
    SendMessageA(hWnd, WM_MOVE, 0,
                 MAKELPARAM(w->rect.left + w->clientOffset.x, w->rect.top + w->clientOffset.y));
  if ((w = GetWnd(hWnd)) && ReallyVisible(w)) {
    if (Window *top = TopLevelOf(w)) Present(top, MakeRect(0, 0, 1 << 20, 1 << 20));
  }
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpPoint) return FALSE;
  POINT o = ClientOrigin(w);
  lpPoint->x += o.x;
  lpPoint->y += o.y;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpPoint) return FALSE;
  POINT o = ClientOrigin(w);
  lpPoint->x -= o.x;
  lpPoint->y -= o.y;
  return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle) {
  if (!lpRect) return FALSE;
  Frame f = FrameOf(dwStyle, dwExStyle, bMenu != FALSE);
  lpRect->left -= f.left + f.border;
  lpRect->top -= f.top + f.border + f.menu;
  lpRect->right += f.right + f.border;
  lpRect->bottom += f.bottom + f.border;
  return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
  return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

HWND WINAPI WindowFromPoint(POINT pt) {
  auto &tops = TopLevels();
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    Window *w = GetWnd(*it);
    if (!w || !w->Visible()) continue;
    if (pt.x < w->rect.left || pt.x >= w->rect.right || pt.y < w->rect.top ||
        pt.y >= w->rect.bottom)
      continue;
    POINT o = ClientOrigin(w);
    return ChildAt(w, POINT{pt.x - o.x, pt.y - o.y})->hwnd;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------
// Messages sent straight to a window procedure
// ---------------------------------------------------------------------------------
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *w = GetWnd(hWnd);
  if (!w || !w->proc) return 0;
  return w->proc(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
  return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

// ---------------------------------------------------------------------------------
// The update region and painting
// ---------------------------------------------------------------------------------
BOOL WINAPI InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase) {
  if (!hWnd) {
    for (HWND h : TopLevels()) InvalidateRect(h, nullptr, bErase);
    return TRUE;
  }
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  RECT all = MakeRect(0, 0, w->clientW, w->clientH);
  RECT r = lpRect ? RectIntersect(*lpRect, all) : all;
  if (RectEmpty(r)) return TRUE;
  w->invalid = w->hasInvalid ? RectUnion(w->invalid, r) : r;
  w->hasInvalid = true;
  if (bErase) w->eraseNeeded = true;
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT *lpRect) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  if (!lpRect) {
    w->hasInvalid = false;
    w->eraseNeeded = false;
    return TRUE;
  }
  // The region is kept as a rectangle: validating part of it keeps the rest only when the
  // validated part covers the rectangle's whole width or height from one side.
  if (!w->hasInvalid) return TRUE;
  RECT v = *lpRect, &u = w->invalid;
  if (v.left <= u.left && v.right >= u.right) {
    if (v.top <= u.top && v.bottom > u.top) u.top = std::min(v.bottom, u.bottom);
    if (v.bottom >= u.bottom && v.top < u.bottom) u.bottom = std::max(v.top, u.top);
  }
  if (v.top <= u.top && v.bottom >= u.bottom) {
    if (v.left <= u.left && v.right > u.left) u.left = std::min(v.right, u.right);
    if (v.right >= u.right && v.left < u.right) u.right = std::max(v.left, u.left);
  }
  if (RectEmpty(u)) w->hasInvalid = false;
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL) {
  Window *w = GetWnd(hWnd);
  if (!w) return FALSE;
  if (lpRect) *lpRect = w->hasInvalid ? w->invalid : RECT{};
  return w->hasInvalid;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  Window *w = GetWnd(hWnd);
  if (!w || !lpPaint) return nullptr;
  *lpPaint = PAINTSTRUCT{};
  RECT r = w->hasInvalid ? w->invalid : RECT{};
  bool erase = w->eraseNeeded;
  w->hasInvalid = false;
  w->eraseNeeded = false;
  HDC hdc = MakeWindowDC(hWnd, &r);
  if (hdc) HoldPresents(true);  // what is painted shows at once, at EndPaint
  lpPaint->hdc = hdc;
  lpPaint->rcPaint = r;
  lpPaint->fErase = TRUE;
  if (erase && hdc)
    lpPaint->fErase =
        SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint) {
  if (!lpPaint) return FALSE;
  if (lpPaint->hdc) {
    ReleaseDC(hWnd, lpPaint->hdc);
    HoldPresents(false);
  }
  return TRUE;
}

// ---------------------------------------------------------------------------------
// The default window procedure
// ---------------------------------------------------------------------------------
static HBRUSH ClassBrush(Window *w, bool *temporary) {
  *temporary = false;
  HBRUSH b = w->cls->wc.hbrBackground;
  auto value = reinterpret_cast<uintptr_t>(b);
  if (value > 0 && value <= 32) {  // COLOR_xxx + 1
    *temporary = true;
    return CreateSolidBrush(GetSysColor(int(value) - 1));
  }
  return b;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *w = GetWnd(hWnd);
  if (!w) return 0;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTCLOSE) {
        SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
      } else if (wParam == HTMENU) {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        Window *top = TopLevelOf(w);
        if (top) {
          RECT s = SurfaceScreenRect(top);
          MenuBarMouse(top, Msg, POINT{pt.x - s.left, pt.y - s.top});
        }
      }
      return 0;
    case WM_ERASEBKGND: {
      bool temporary = false;
      HBRUSH brush = ClassBrush(w, &temporary);
      if (!brush) return 0;
      RECT r = MakeRect(0, 0, w->clientW, w->clientH);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
      if (temporary) DeleteObject(brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char *>(lParam) : "";
      Backend().WindowChanged(hWnd);
      if (w->surface) Backend().SetTitle(w->surface, w->text.c_str());
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      size_t n = std::min<size_t>(w->text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char *>(lParam), w->text.data(), n);
      reinterpret_cast<char *>(lParam)[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(w->text.size());
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hWnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && w->cursor) {
        SetCursor(w->cursor);
        return TRUE;
      }
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != 0 && !w->IsChild()) {
        ThreadState &t = Thread();
        if (!t.focus || !(t.focus == hWnd || IsChild(hWnd, t.focus))) ChangeFocus(hWnd);
      }
      return 0;
    default:
      return 0;
  }
}
