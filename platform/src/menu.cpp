// Menus: menu objects read from MENU resources, the calls that query and change them, the
// menu bar of a top-level window drawn in the classic look, and the modal tracking of a
// click on the bar: a command on the bar acts when it is clicked, a pop-up opens below its
// title as a window of its own. The chosen command is posted to the window as WM_COMMAND
// (command, 0), as Windows does; greyed items never give a command.
#include <algorithm>
#include <cstring>

#include "backend.h"
#include "internal.h"
#include "template_reader.h"

namespace zp {

struct MenuItem {
  UINT flags = 0;          // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR, ...
  bool checkable = false;  // it has been checked or unchecked: it is a choice that can be on
  UINT id = 0;
  std::string text;
  HMENU popup = nullptr;
};

struct Menu : Object {
  static constexpr Kind kKind = Kind::Menu;
  std::vector<MenuItem> items;
  ~Menu() override {
    // A menu owns its pop-ups.
    for (MenuItem &item : items) {
      if (item.popup) FreeHandle(item.popup);
    }
  }
};

// The selection shown on a window's menu bar.
struct MenuBarState {
  int selected = -1;
  bool sunken = false;
};

namespace {

using namespace classic;
constexpr uint32_t kHighlight = 0x000080;

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;
constexpr char kPopupClass[] = "#32768";

// ---------------------------------------------------------------------------------
// Reading a menu template: a header (version 0, offset of the items), then the items of
// each level in order, MF_END marking the last one; a pop-up's items follow its title.
// ---------------------------------------------------------------------------------
bool ReadItems(TemplateReader &r, Menu &menu, int depth) {
  if (depth > 16) return false;
  for (;;) {
    UINT option = r.Word();
    MenuItem item;
    if (option & MF_POPUP) {
      item.text = r.String();
      auto sub = std::make_unique<Menu>();
      if (!r.ok() || !ReadItems(r, *sub, depth + 1)) return false;
      item.popup = static_cast<HMENU>(NewHandle(Kind::Menu, std::move(sub)));
      if (!item.popup) return false;
    } else {
      item.id = r.Word();
      item.text = r.String();
      if (item.id == 0 && item.text.empty()) option |= MF_SEPARATOR;
    }
    if (!r.ok()) return false;
    item.flags = option & ~UINT(MF_END);
    item.checkable = (item.flags & MF_CHECKED) != 0;
    menu.items.push_back(std::move(item));
    if (option & MF_END) return true;
  }
}

HMENU MenuFromTemplate(const uint8_t *data, size_t size) {
  TemplateReader r(data, size);
  uint16_t version = r.Word();
  uint16_t offset = r.Word();
  if (!r.ok() || version != 0) return nullptr;
  r.Skip(offset);
  auto menu = std::make_unique<Menu>();
  if (!r.ok() || !ReadItems(r, *menu, 0)) return nullptr;  // pop-ups made so far go with it
  return static_cast<HMENU>(NewHandle(Kind::Menu, std::move(menu)));
}

// The item a command or position names, searching pop-ups depth first for a command.
MenuItem *FindItem(HMENU handle, UINT item, UINT flags, int depth = 0) {
  Menu *menu = As<Menu>(handle);
  if (!menu || depth > 16) return nullptr;
  if (flags & MF_BYPOSITION) return item < menu->items.size() ? &menu->items[item] : nullptr;
  for (MenuItem &it : menu->items) {
    if (it.popup) {
      if (MenuItem *found = FindItem(it.popup, item, flags, depth + 1)) return found;
    } else if (!(it.flags & MF_SEPARATOR) && it.id == item) {
      return &it;
    }
  }
  return nullptr;
}

bool Inert(const MenuItem &item) {
  return (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
}

// ---------------------------------------------------------------------------------
// Geometry and drawing
// ---------------------------------------------------------------------------------
HFONT MenuFont() {
  return DefaultGuiFont();
}

int AverageCharWidth() {
  TEXTMETRICA tm{};
  FontTextMetrics(MenuFont(), &tm);
  return std::max<int>(tm.tmAveCharWidth, 1);
}

int TextWidth(const std::string &s) {
  return MeasureText(MenuFont(), s.data(), int(s.size())).cx;
}

// Text with '&' marking a mnemonic: drawn without the '&' (and "&&" as one '&').
std::string Visible(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size())
      ++i;
    else if (s[i] == '&')
      continue;
    out += s[i];
  }
  return out;
}

// The menu bar of a top-level window, in its surface's coordinates.
RECT BarRect(Window *top) {
  Frame f = FrameOf(top->style, top->exStyle, top->menu != nullptr);
  return MakeRect(f.border, f.border, f.border + top->clientW, f.border + f.menu);
}

// The surface's top-left corner on the screen.
POINT SurfaceOrigin(Window *top) {
  Frame f = FrameOf(top->style, top->exStyle, top->menu != nullptr);
  POINT c = ClientOrigin(top);
  return POINT{c.x - f.border, c.y - f.border - f.menu};
}

std::vector<RECT> BarItemRects(Window *top, const RECT &bar) {
  std::vector<RECT> rects;
  Menu *menu = As<Menu>(top->menu);
  if (!menu) return rects;
  int pad = AverageCharWidth();
  int x = bar.left;
  for (const MenuItem &item : menu->items) {
    int w = TextWidth(Visible(item.text)) + 2 * pad;
    rects.push_back(MakeRect(x, bar.top + 1, x + w, bar.bottom));
    x += w;
  }
  return rects;
}

void FrameLines(Image &img, RECT r, uint32_t topLeft, uint32_t bottomRight) {
  FillImage(img, MakeRect(r.left, r.top, r.right, r.top + 1), topLeft);
  FillImage(img, MakeRect(r.left, r.top, r.left + 1, r.bottom), topLeft);
  FillImage(img, MakeRect(r.left, r.bottom - 1, r.right, r.bottom), bottomRight);
  FillImage(img, MakeRect(r.right - 1, r.top, r.right, r.bottom), bottomRight);
}

// A label: normal, highlighted (white), or greyed: embossed on the face, plain grey on the
// highlight.
void DrawLabel(Image &img, const RECT &clip, int x, int y, const std::string &text, bool greyed,
               bool highlighted) {
  std::string s = Visible(text);
  if (greyed && !highlighted) {
    DrawTextRun(img, clip, MenuFont(), x + 1, y + 1, s.data(), int(s.size()), kWhite);
    DrawTextRun(img, clip, MenuFont(), x, y, s.data(), int(s.size()), kShadow);
  } else {
    uint32_t color = greyed ? kShadow : highlighted ? kWhite : kBlack;
    DrawTextRun(img, clip, MenuFont(), x, y, s.data(), int(s.size()), color);
  }
}

// The classic check mark, 6 x 6 pixels with its top-left at (x, y).
void DrawCheck(Image &img, int x, int y, uint32_t color) {
  static const char *const kRows[] = {".....#", "#...##", "##.###", "#####.", ".###..", "..#..."};
  for (int row = 0; row < 6; ++row)
    for (int col = 0; col < 6; ++col)
      if (kRows[row][col] == '#')
        FillImage(img, MakeRect(x + col, y + row, x + col + 1, y + row + 1), color);
}

// ---------------------------------------------------------------------------------
// Pop-up layout: a raised frame, then rows of items: a check column, the text, a margin.
// ---------------------------------------------------------------------------------
constexpr int kPopupBorder = 3;
constexpr int kSeparatorHeight = 9;

int PopupItemHeight() {
  return std::max(FontLineHeight(MenuFont()) + 4, GetSystemMetrics(SM_CYMENU) - 2);
}
int CheckColumn() {
  return 16;
}

std::vector<RECT> PopupItemRects(HMENU handle, SIZE *size) {
  std::vector<RECT> rects;
  Menu *menu = As<Menu>(handle);
  int width = 0, y = kPopupBorder;
  if (menu) {
    for (const MenuItem &item : menu->items) {
      int h = (item.flags & MF_SEPARATOR) ? kSeparatorHeight : PopupItemHeight();
      rects.push_back(MakeRect(kPopupBorder, y, 0, y + h));
      y += h;
      width = std::max(width, TextWidth(Visible(item.text)));
    }
  }
  int inner = CheckColumn() + width + 2 * AverageCharWidth() + 8;
  for (RECT &r : rects) r.right = kPopupBorder + inner;
  if (size) *size = SIZE{inner + 2 * kPopupBorder, y + kPopupBorder};
  return rects;
}

// ---------------------------------------------------------------------------------
// Tracking: a click on the bar starts a modal loop that owns the mouse and the keys until
// a command is chosen or the menu is left.
// ---------------------------------------------------------------------------------
struct Tracking {
  HWND top = nullptr;
  HWND popupWnd = nullptr;
  HMENU popupMenu = nullptr;
  int popupSel = -1;
  bool buttonDown = false;
  bool closeOnRelease = false;  // a press on the title of the pop-up that is open
  bool done = false;
  UINT command = 0;
  bool hasCommand = false;
};
Tracking *g_tracking = nullptr;

void PaintPopup(Window *w) {
  Image &img = w->client;
  RECT all = MakeRect(0, 0, img.w, img.h);
  FillImage(img, all, kFace);
  FrameLines(img, all, kLight, kBlack);
  FrameLines(img, MakeRect(1, 1, img.w - 1, img.h - 1), kWhite, kShadow);
  Tracking *t = g_tracking;
  if (!t || t->popupWnd != w->hwnd) {
    ClientChanged(w, all);
    return;
  }
  Menu *menu = As<Menu>(t->popupMenu);
  std::vector<RECT> rects = PopupItemRects(t->popupMenu, nullptr);
  int lineHeight = FontLineHeight(MenuFont());
  for (size_t i = 0; menu && i < menu->items.size(); ++i) {
    const MenuItem &item = menu->items[i];
    RECT r = rects[i];
    if (item.flags & MF_SEPARATOR) {
      int mid = (r.top + r.bottom) / 2;
      FillImage(img, MakeRect(r.left + 1, mid, r.right - 1, mid + 1), kShadow);
      FillImage(img, MakeRect(r.left + 1, mid + 1, r.right - 1, mid + 2), kWhite);
      continue;
    }
    bool highlighted = int(i) == t->popupSel;
    if (highlighted) FillImage(img, r, kHighlight);
    bool greyed = Inert(item);
    int textY = r.top + (r.bottom - r.top - lineHeight) / 2;
    if (item.flags & MF_CHECKED) {
      int cx = r.left + 2, cy = r.top + (r.bottom - r.top - 6) / 2;
      if (greyed && !highlighted) DrawCheck(img, cx + 1, cy + 1, kWhite);
      DrawCheck(img, cx, cy, greyed ? kShadow : highlighted ? kWhite : kBlack);
    }
    DrawLabel(img, r, r.left + CheckColumn(), textY, item.text, greyed, highlighted);
    if (item.popup) {
      // The arrow of a cascading pop-up: a triangle 5 wide and 9 high.
      int ax = r.right - 7, ay = (r.top + r.bottom - 1) / 2;
      for (int k = 0; k < 5; ++k)
        FillImage(img, MakeRect(ax + k, ay - 4 + k, ax + k + 1, ay + 5 - k),
                  highlighted ? kWhite : kBlack);
    }
  }
  ClientChanged(w, all);
}

LRESULT CALLBACK PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      if (Window *w = GetWnd(hwnd)) PaintPopup(w);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

MenuBarState &BarState(Window *top) {
  if (!top->menuBar) top->menuBar = std::make_shared<MenuBarState>();
  return *top->menuBar;
}

void RedrawBar(Window *top) {
  Present(top, BarRect(top));
}

void ClosePopup(Tracking &t) {
  if (t.popupWnd) {
    HWND popup = t.popupWnd;
    t.popupWnd = nullptr;
    DestroyWindow(popup);
  }
  t.popupMenu = nullptr;
  t.popupSel = -1;
}

void RepaintPopup(Tracking &t) {
  if (Window *p = GetWnd(t.popupWnd)) PaintPopup(p);
}

// Selects bar item `index` (-1 for none); opens its pop-up when it has one and `open`.
void SelectBarItem(Tracking &t, int index, bool open) {
  Window *top = GetWnd(t.top);
  Menu *menu = top ? As<Menu>(top->menu) : nullptr;
  if (!menu) return;
  MenuBarState &bar = BarState(top);
  HMENU wanted = nullptr;
  if (index >= 0 && size_t(index) < menu->items.size() && open) {
    const MenuItem &item = menu->items[index];
    if (item.popup && !Inert(item)) wanted = item.popup;
  }
  if (bar.selected != index || t.popupMenu != wanted) {
    ClosePopup(t);
    bar.selected = index;
    if (wanted) {
      RECT barRect = BarRect(top);
      std::vector<RECT> rects = BarItemRects(top, barRect);
      POINT origin = SurfaceOrigin(top);
      SIZE size{};
      PopupItemRects(wanted, &size);
      int x = origin.x + rects[index].left, y = origin.y + barRect.bottom;
      SIZE screen = Backend().ScreenSize();
      if (x + size.cx > screen.cx) x = std::max<int>(0, screen.cx - size.cx);
      if (y + size.cy > screen.cy) y = std::max<int>(0, origin.y + barRect.top - size.cy);
      t.popupMenu = wanted;
      t.popupSel = -1;
      HWND popup = CreateWindowExA(WS_EX_TOPMOST, kPopupClass, "", WS_POPUP, x, y, size.cx, size.cy,
                                   t.top, nullptr, nullptr, nullptr);
      t.popupWnd = popup;
      if (popup) {
        ShowWindow(popup, SW_SHOWNA);
        if (Window *p = GetWnd(popup)) PaintPopup(p);
      } else {
        // A pop-up that cannot be shown ends the menu: nothing may be chosen from it unseen.
        t.popupMenu = nullptr;
        t.done = true;
      }
    }
  }
  if ((top = GetWnd(t.top))) {
    BarState(top).sunken = bar.selected >= 0;
    RedrawBar(top);
  }
}

// Where a screen point falls: a bar item (*barIndex) or a pop-up item (*popupIndex).
void HitTest(Tracking &t, POINT screen, int *barIndex, int *popupIndex, bool *inPopup) {
  *barIndex = *popupIndex = -1;
  *inPopup = false;
  Window *top = GetWnd(t.top);
  if (!top) return;
  if (Window *p = GetWnd(t.popupWnd)) {
    POINT o = ClientOrigin(p);
    POINT pt{screen.x - o.x, screen.y - o.y};
    if (pt.x >= 0 && pt.y >= 0 && pt.x < p->clientW && pt.y < p->clientH) {
      *inPopup = true;
      std::vector<RECT> rects = PopupItemRects(t.popupMenu, nullptr);
      for (size_t i = 0; i < rects.size(); ++i) {
        if (PtInRect(&rects[i], pt)) *popupIndex = int(i);
      }
      return;
    }
  }
  POINT origin = SurfaceOrigin(top);
  POINT s{screen.x - origin.x, screen.y - origin.y};
  std::vector<RECT> rects = BarItemRects(top, BarRect(top));
  for (size_t i = 0; i < rects.size(); ++i) {
    if (PtInRect(&rects[i], s)) *barIndex = int(i);
  }
}

void Choose(Tracking &t, const MenuItem &item) {
  if (Inert(item) || item.popup || (item.flags & MF_SEPARATOR)) return;
  t.command = item.id;
  t.hasCommand = true;
  t.done = true;
}

const MenuItem *BarItem(Tracking &t, int index) {
  Window *top = GetWnd(t.top);
  Menu *menu = top ? As<Menu>(top->menu) : nullptr;
  if (!menu || index < 0 || size_t(index) >= menu->items.size()) return nullptr;
  return &menu->items[index];
}

const MenuItem *PopupItem(Tracking &t, int index) {
  Menu *menu = As<Menu>(t.popupMenu);
  if (!menu || index < 0 || size_t(index) >= menu->items.size()) return nullptr;
  return &menu->items[index];
}

void MouseEvent(Tracking &t, UINT kind, POINT screen) {
  int bar, item;
  bool inPopup;
  HitTest(t, screen, &bar, &item, &inPopup);
  Window *top = GetWnd(t.top);
  if (!top) return;
  MenuBarState &state = BarState(top);
  if (kind == WM_LBUTTONDOWN) {
    t.buttonDown = true;
    if (bar >= 0) {
      t.closeOnRelease = bar == state.selected && t.popupMenu != nullptr;
      SelectBarItem(t, bar, true);
    } else if (!inPopup) {
      t.done = true;  // a press anywhere else leaves the menu
    }
  }
  if (kind == WM_MOUSEMOVE || kind == WM_LBUTTONDOWN) {
    if (bar >= 0 && bar != state.selected && (t.buttonDown || t.popupMenu)) {
      t.closeOnRelease = false;
      SelectBarItem(t, bar, true);
    }
    if (inPopup || t.popupMenu) {
      int sel = inPopup ? item : -1;
      if (const MenuItem *it = PopupItem(t, sel); it && (it->flags & MF_SEPARATOR)) sel = -1;
      if (sel != t.popupSel) {
        t.popupSel = sel;
        RepaintPopup(t);
      }
    }
    // A command on the bar looks pressed while the button is held over it.
    if ((top = GetWnd(t.top))) {
      const MenuItem *selected = BarItem(t, state.selected);
      bool sunken = selected && (selected->popup ? true : (t.buttonDown && bar == state.selected));
      if (sunken != state.sunken) {
        state.sunken = sunken;
        RedrawBar(top);
      }
    }
  }
  if (kind == WM_LBUTTONUP && t.buttonDown) {
    t.buttonDown = false;
    if (inPopup) {
      if (const MenuItem *it = PopupItem(t, item)) Choose(t, *it);
    } else if (bar >= 0 && bar == state.selected) {
      const MenuItem *it = BarItem(t, bar);
      if (it && !it->popup) {
        Choose(t, *it);
        t.done = true;
      } else if (t.closeOnRelease || !t.popupMenu) {
        t.done = true;
      }
    } else if (!t.popupMenu) {
      t.done = true;  // a command on the bar released elsewhere: nothing
    }
    t.closeOnRelease = false;
  }
}

// Keys while the menu is tracked: Escape leaves, arrows move, Enter chooses.
void KeyEvent(Tracking &t, UINT vk) {
  Window *top = GetWnd(t.top);
  Menu *menu = top ? As<Menu>(top->menu) : nullptr;
  if (!menu || menu->items.empty()) {
    t.done = true;
    return;
  }
  MenuBarState &state = BarState(top);
  int count = int(menu->items.size());
  switch (vk) {
    case VK_ESCAPE:
      t.done = true;
      break;
    case VK_LEFT:
    case VK_RIGHT: {
      int next =
          ((state.selected < 0 ? 0 : state.selected) + (vk == VK_LEFT ? count - 1 : 1)) % count;
      SelectBarItem(t, next, true);
      break;
    }
    case VK_UP:
    case VK_DOWN: {
      Menu *popup = As<Menu>(t.popupMenu);
      if (!popup || popup->items.empty()) break;
      int n = int(popup->items.size());
      int sel = t.popupSel;
      for (int k = 0; k < n; ++k) {
        sel = sel < 0 ? (vk == VK_DOWN ? 0 : n - 1) : (sel + (vk == VK_DOWN ? 1 : n - 1)) % n;
        if (!(popup->items[sel].flags & MF_SEPARATOR)) break;
      }
      t.popupSel = sel;
      RepaintPopup(t);
      break;
    }
    case VK_RETURN:
      if (const MenuItem *it = PopupItem(t, t.popupSel)) {
        Choose(t, *it);
      } else if (const MenuItem *bar = BarItem(t, state.selected); bar && !bar->popup) {
        Choose(t, *bar);
        t.done = true;
      }
      break;
    default:
      break;
  }
}

void TrackMenuBar(HWND topHwnd, int index) {
  if (g_tracking) return;
  Tracking t;
  t.top = topHwnd;
  t.buttonDown = true;
  g_tracking = &t;
  HWND previousCapture = SetCapture(topHwnd);
  SelectBarItem(t, index, true);
  if (Window *top = GetWnd(topHwnd)) {
    const MenuItem *item = BarItem(t, index);
    BarState(top).sunken = item != nullptr;
    RedrawBar(top);
  }
  MSG msg;
  while (!t.done) {
    Window *top = GetWnd(topHwnd);
    if (!top || !top->Visible() || !top->Enabled()) break;
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(int(msg.wParam));  // for the loop that runs the program
      break;
    }
    switch (msg.message) {
      case WM_MOUSEMOVE:
      case WM_NCMOUSEMOVE:
        MouseEvent(t, WM_MOUSEMOVE, msg.pt);
        break;
      case WM_LBUTTONDOWN:
      case WM_NCLBUTTONDOWN:
      case WM_RBUTTONDOWN:
        MouseEvent(t, WM_LBUTTONDOWN, msg.pt);
        break;
      case WM_LBUTTONUP:
      case WM_NCLBUTTONUP:
        MouseEvent(t, WM_LBUTTONUP, msg.pt);
        break;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        KeyEvent(t, UINT(msg.wParam));
        break;
      case WM_KEYUP:
      case WM_SYSKEYUP:
      case WM_CHAR:
      case WM_SYSCHAR:
      case WM_RBUTTONUP:
      case WM_LBUTTONDBLCLK:
        break;  // the menu owns the keys and the mouse while it is open
      default:
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        break;
    }
  }
  ClosePopup(t);
  if (Thread().capture == topHwnd) {
    if (previousCapture && GetWnd(previousCapture))
      SetCapture(previousCapture);
    else
      ReleaseCapture();
  }
  g_tracking = nullptr;
  if (Window *top = GetWnd(topHwnd)) {
    MenuBarState &state = BarState(top);
    state.selected = -1;
    state.sunken = false;
    RedrawBar(top);
    if (t.hasCommand) PostMessageA(topHwnd, WM_COMMAND, MAKEWPARAM(t.command, 0), 0);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// Seams used by the core
// ---------------------------------------------------------------------------------
int MenuBarHeight(Window *w) {
  return w && !w->IsChild() && As<Menu>(w->menu) ? GetSystemMetrics(SM_CYMENU) : 0;
}

void DrawMenuBar(Window *w, Image &surface, const RECT &bar) {
  FillImage(surface, bar, kFace);
  Menu *menu = As<Menu>(w->menu);
  if (!menu) return;
  std::vector<RECT> rects = BarItemRects(w, bar);
  int lineHeight = FontLineHeight(MenuFont());
  int pad = AverageCharWidth();
  const MenuBarState *state = w->menuBar.get();
  for (size_t i = 0; i < rects.size(); ++i) {
    const MenuItem &item = menu->items[i];
    RECT r = RectIntersect(rects[i], bar);
    if (RectEmpty(r)) break;
    bool sunken = state && state->selected == int(i) && state->sunken;
    if (sunken) FrameLines(surface, r, kShadow, kWhite);
    int textY = bar.top + (bar.bottom - bar.top - lineHeight + 1) / 2;
    DrawLabel(surface, r, rects[i].left + pad, textY, item.text, Inert(item), false);
  }
}

bool MenuBarMouse(Window *w, UINT message, POINT surfacePt) {
  if (!w || message != WM_NCLBUTTONDOWN || !As<Menu>(w->menu)) return false;
  std::vector<RECT> rects = BarItemRects(w, BarRect(w));
  for (size_t i = 0; i < rects.size(); ++i) {
    if (PtInRect(&rects[i], surfacePt)) {
      TrackMenuBar(w->hwnd, int(i));
      return true;
    }
  }
  return true;  // the empty part of the bar
}

void RegisterMenuClasses() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PopupProc;
  wc.lpszClassName = kPopupClass;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassInternal(wc, true);
}

std::vector<MenuView> MenuBarView(Window *top) {
  std::vector<MenuView> view;
  Menu *menu = top ? As<Menu>(top->menu) : nullptr;
  if (!menu) return view;
  auto shown = [](const MenuItem &item, RECT rect) {
    MenuView v;
    v.text = Visible(item.text);
    v.text.erase(0, v.text.find_first_not_of(' '));
    v.text.erase(v.text.find_last_not_of(' ') + 1);
    v.command = item.popup ? 0 : item.id;
    v.greyed = Inert(item);
    v.checkable = item.checkable;
    v.checked = (item.flags & MF_CHECKED) != 0;
    v.rect = rect;
    return v;
  };
  RECT bar = BarRect(top);
  POINT origin = SurfaceOrigin(top);
  std::vector<RECT> rects = BarItemRects(top, bar);
  for (size_t i = 0; i < rects.size(); ++i) {
    const MenuItem &item = menu->items[i];
    RECT r = rects[i];
    OffsetRect(&r, origin.x, origin.y);
    view.push_back(shown(item, r));
    if (!item.popup) continue;
    // Where the pop-up opens: below its title.
    POINT at{r.left, origin.y + bar.bottom};
    std::vector<RECT> itemRects = PopupItemRects(item.popup, nullptr);
    Menu *popup = As<Menu>(item.popup);
    for (size_t k = 0; popup && k < popup->items.size() && k < itemRects.size(); ++k) {
      const MenuItem &sub = popup->items[k];
      if (sub.flags & MF_SEPARATOR) continue;
      RECT ir = itemRects[k];
      OffsetRect(&ir, at.x, at.y);
      view.back().items.push_back(shown(sub, ir));
    }
  }
  return view;
}

// The command's item in a window's menu is greyed or disabled (accelerators give no
// command for it). False when the menu has no such item.
bool MenuCommandInert(HWND hwnd, UINT command) {
  Window *w = GetWnd(hwnd);
  if (!w || w->IsChild()) return false;
  MenuItem *item = FindItem(w->menu, command, MF_BYCOMMAND);
  return item && Inert(*item);
}

}  // namespace zp

using namespace zp;

// ---------------------------------------------------------------------------------
// The API
// ---------------------------------------------------------------------------------
HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR lpMenuName) {
  ResourceData res = FindResourceData(RT_MENU, lpMenuName);
  if (!res.data) {
    Thread().lastError = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
  }
  return MenuFromTemplate(res.data, res.size);
}

BOOL WINAPI DestroyMenu(HMENU hMenu) {
  if (!As<Menu>(hMenu)) return FALSE;
  // A window whose bar showed this menu shows none from now on.
  for (void *h : HandlesOf(Kind::Window)) {
    Window *w = GetWnd(static_cast<HWND>(h));
    if (w && !w->IsChild() && w->menu == hMenu) w->menu = nullptr;
  }
  Backend().MenuChanged(hMenu);
  return FreeHandle(hMenu);
}

HMENU WINAPI GetMenu(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  if (!w || w->IsChild()) return nullptr;
  return As<Menu>(w->menu) ? w->menu : nullptr;
}

BOOL WINAPI SetMenu(HWND hWnd, HMENU hMenu) {
  Window *w = GetWnd(hWnd);
  if (!w || w->IsChild() || (hMenu && !As<Menu>(hMenu))) return FALSE;
  if (w->menu == hMenu) return TRUE;
  w->menu = hMenu;
  Backend().MenuChanged(hMenu);
  if (w->menuBar) *w->menuBar = MenuBarState{};
  // The window keeps its rectangle; the client area gives room to the bar or takes it back.
  RECT r = w->rect;
  MoveWindow(hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  return TRUE;
}

BOOL WINAPI DrawMenuBar(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  if (!w || w->IsChild()) return FALSE;
  if (As<Menu>(w->menu)) RedrawBar(w);
  return TRUE;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
  MenuItem *item = FindItem(hMenu, uIDEnableItem, uEnable);
  if (!item) return -1;
  UINT previous = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags =
      (item->flags & ~UINT(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
  Backend().MenuChanged(hMenu);
  if (g_tracking) RepaintPopup(*g_tracking);
  return BOOL(previous);
}

DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
  MenuItem *item = FindItem(hMenu, uIDCheckItem, uCheck);
  if (!item) return 0xFFFFFFFF;
  DWORD previous = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~UINT(MF_CHECKED)) | (uCheck & MF_CHECKED);
  item->checkable = true;
  Backend().MenuChanged(hMenu);
  if (g_tracking) RepaintPopup(*g_tracking);
  return previous;
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
  MenuItem *item = FindItem(hMenu, uId, uFlags);
  if (!item) return 0xFFFFFFFF;
  if (Menu *sub = As<Menu>(item->popup)) {
    // A pop-up: its flags in the low byte, the number of its items in the high byte.
    return (item->flags & 0xFF) | MF_POPUP | (UINT(sub->items.size()) << 8);
  }
  return item->flags & (kStateBits | MF_SEPARATOR | 0xFF);
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
  Menu *menu = As<Menu>(hMenu);
  return menu ? int(menu->items.size()) : -1;
}

int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
  MenuItem *item = FindItem(hMenu, uIDItem, flags);
  if (!item) return 0;
  int length = int(item->text.size());
  if (!lpString || cchMax <= 0) return length;
  int n = std::min(length, cchMax - 1);
  std::memcpy(lpString, item->text.data(), size_t(n));
  lpString[n] = 0;
  return n;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos) {
  Menu *menu = As<Menu>(hMenu);
  if (!menu || nPos < 0 || size_t(nPos) >= menu->items.size()) return nullptr;
  return menu->items[size_t(nPos)].popup;
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos) {
  Menu *menu = As<Menu>(hMenu);
  if (!menu || nPos < 0 || size_t(nPos) >= menu->items.size()) return 0xFFFFFFFF;
  const MenuItem &item = menu->items[size_t(nPos)];
  return item.popup ? 0xFFFFFFFF : item.id;
}
