// The page's mirror of the layer for assistive technology. Every decision is made here,
// from what the layer already knows (its windows, their classes, texts, styles, checks and
// focus, its menus, the text drawn on each window); the page's side (library.js) only
// makes and changes the elements it is told to.
//
// The elements nest as the windows do: a dialog holds its controls (a group box the radio
// buttons it frames), the main window its menu bar, the text layer of its client area and
// its buttons. Each stands over what it stands for, in percent of its parent's box, so
// that it follows the canvas wherever the page places it; the page keeps them invisible.
#include "mirror.h"

#include <emscripten.h>
#include <strings.h>

#include <algorithm>
#include <cctype>

// The page's side (library.js).
extern "C" {
void zant_js_node(int id, int parent, const char *role, const char *label, const char *text,
                  double left, double top, double width, double height, int state, int describedBy);
void zant_js_node_gone(int id);
void zant_js_node_focus(int id);
void zant_js_announce(const char *utf8);
}

namespace zp::web {
namespace {

// An element's states, as the page's side reads them.
constexpr int kDisabled = 1, kCheckable = 2, kChecked = 4, kModal = 8, kFocusable = 16, kPopup = 32;

// The parts of a window that are elements of their own besides the window's.
enum PartKind { kMenuBar, kMenuTitle, kMenu, kMenuItem, kTextLayer, kTextRun };

void AppendUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

bool ClassIs(const Window *w, const char *name) {
  return strcasecmp(w->cls->name.c_str(), name) == 0;
}

std::string Trimmed(std::string s) {
  s.erase(0, s.find_first_not_of(" \t\r\n"));
  s.erase(s.find_last_not_of(" \t\r\n") + 1);
  return s;
}

// A control's label as read: without the '&' that marks a mnemonic ("&&" is one '&').
std::string Label(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && ++i == s.size()) break;
    out += s[i];
  }
  return Trimmed(out);
}

bool HasLetter(const std::string &s) {
  return std::any_of(s.begin(), s.end(), [](unsigned char c) { return std::isalpha(c); });
}

// A figure alone ("45"): it means nothing without the labels of its row and its column.
bool BareFigure(const std::string &s) {
  return !HasLetter(s) &&
         std::any_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

POINT Middle(const RECT &r) {
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Holds(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool SameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Offset(RECT r, POINT by) {
  OffsetRect(&r, by.x, by.y);
  return r;
}

// Where a window stands on the screen: a top-level window with its frame, a child by
// its rectangle in its parent's client area.
RECT ScreenBox(Window *w) {
  if (!w->IsChild()) return w->rect;
  Window *parent = GetWnd(w->parent);
  return parent ? Offset(w->rect, ClientOrigin(parent)) : w->rect;
}

// Puts the few items of a list in order, keeping the order of equal ones.
template <class T, class Before>
void SortFew(std::vector<T> &items, Before before) {
  for (size_t i = 1; i < items.size(); ++i) {
    for (size_t k = i; k > 0 && before(items[k], items[k - 1]); --k)
      std::swap(items[k], items[k - 1]);
  }
}

RECT ClientBox(Window *w) {
  POINT o = ClientOrigin(w);
  return MakeRect(o.x, o.y, o.x + w->clientW, o.y + w->clientH);
}

}  // namespace

std::string Utf8(const std::string &ansi) {
  std::string out;
  for (unsigned char c : ansi) AppendUtf8(out, UnicodeOfAnsi(c));
  return out;
}

// --- Keeping the page in step ---------------------------------------------------------

void Mirror::Sync() {
  bool any = !dirty_.empty() || !texts_.empty() || menusChanged_ || focusMoved_;
  if (!any) return;
  for (HWND top : TopLevelWindows()) Visit(top, 0, false);
  dirty_.clear();
  texts_.clear();
  menusChanged_ = false;
  // The page's keyboard focus follows the layer's, once the focused window has its element.
  if (focusMoved_) {
    auto found = windowIds_.find(focus_);
    int id = found != windowIds_.end() && nodes_.count(found->second) ? found->second : 0;
    if (id || !focus_) zant_js_node_focus(id);
    focusMoved_ = false;
  }
}

// A window and what it holds: made where it is new (and shown), brought up to date where
// the layer said it changed, taken away where it is hidden.
void Mirror::Visit(HWND hwnd, int parent, bool freshParent) {
  Window *w = GetWnd(hwnd);
  if (!w || ClassIs(w, "#32768")) return;  // a pop-up menu: the menu bar's items stand for it
  int id = IdOf(hwnd);
  bool exists = nodes_.count(id) != 0;
  if (!w->Visible()) {
    if (exists) Remove(id);
    said_.erase(hwnd);
    return;
  }
  bool fresh = !exists || freshParent;
  bool changed = fresh || dirty_.count(hwnd);
  if (changed) {
    Put(id, WindowNode(w, ParentOf(w, parent)));
    // The focused window is shown again: the page's focus goes back to it.
    if (fresh && hwnd == focus_) focusMoved_ = true;
  }
  if (!w->IsChild() && (changed || menusChanged_)) PutMenu(w, id);
  if (changed || texts_.count(hwnd)) PutTexts(w, id);
  for (HWND child : std::vector<HWND>(w->children)) Visit(child, id, fresh);
}

// What a reader is told of a window.
Mirror::Node Mirror::WindowNode(Window *w, int parent) {
  Node n;
  n.parent = parent;
  n.box = ScreenBox(w);
  if (!w->Enabled()) n.state |= kDisabled;
  std::string text = Utf8(w->text);
  if (ClassIs(w, "BUTTON")) {
    UINT type = w->style & BS_TYPEMASK;
    n.control = w->hwnd;
    if (type == BS_GROUPBOX) {
      n.role = "group";
      n.label = Trimmed(text);
      n.control = nullptr;
      return n;
    }
    n.text = Label(text);
    n.state |= kFocusable;
    if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
      n.role = "radio";
    } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
               type == BS_AUTO3STATE) {
      n.role = "checkbox";
    } else {
      n.role = "button";
      return n;
    }
    n.state |= kCheckable | (ButtonCheckState(w) & BST_CHECKED ? kChecked : 0);
    return n;
  }
  if (ClassIs(w, "STATIC")) {
    n.text = Trimmed(text);
    return n;
  }
  // The first static text of a dialog: a message box's message, or what names a dialog
  // without a title (its first line).
  std::string message;
  HWND messageWindow = nullptr;
  for (HWND c : w->children) {
    Window *child = GetWnd(c);
    if (child && ClassIs(child, "STATIC") && !child->text.empty()) {
      message = Utf8(child->text);
      messageWindow = c;
      break;
    }
  }
  if (IsMessageBox(w)) {
    n.role = "alertdialog";
    n.label = Trimmed(text);
    n.state |= kModal | kFocusable;
    if (messageWindow) n.describedBy = IdOf(messageWindow);
  } else if (IsDialogWindow(w)) {
    n.role = "dialog";
    n.label =
        Trimmed(text).empty() ? Trimmed(message.substr(0, message.find('\n'))) : Trimmed(text);
    n.state |= kModal | kFocusable;
  } else if (!w->IsChild() && !Trimmed(text).empty()) {
    n.role = "region";
    n.label = Trimmed(text);
    n.state |= kFocusable;  // it has the keyboard when none of its controls does
  }
  return n;
}

// A control framed by a group box belongs to the group.
int Mirror::ParentOf(Window *w, int windowParent) {
  Window *parent = GetWnd(w->parent);
  if (!parent || !ClassIs(w, "BUTTON") || (w->style & BS_TYPEMASK) == BS_GROUPBOX)
    return windowParent;
  for (HWND h : parent->children) {
    Window *g = GetWnd(h);
    if (!g || g == w || !ClassIs(g, "BUTTON") || (g->style & BS_TYPEMASK) != BS_GROUPBOX) continue;
    const RECT &r = g->rect;
    bool inside = w->rect.left >= r.left && w->rect.right <= r.right && w->rect.top >= r.top &&
                  w->rect.bottom <= r.bottom;
    auto found = windowIds_.find(h);
    if (inside && found != windowIds_.end() && nodes_.count(found->second)) return found->second;
  }
  return windowParent;
}

// The menu bar: its commands, and each pop-up's items under its title, always there to be
// read and chosen (a reader need not open a pop-up to find its items).
void Mirror::PutMenu(Window *top, int windowNode) {
  HWND hwnd = top->hwnd;
  std::vector<int> put;
  std::vector<MenuView> view = MenuBarView(top);
  if (!view.empty()) {
    int bar = IdOf({hwnd, kMenuBar, 0});
    Node barNode;
    barNode.parent = windowNode;
    barNode.role = "menubar";
    barNode.label = Utf8(top->text);
    for (const MenuView &item : view) barNode.box = RectUnion(barNode.box, item.rect);
    Put(bar, barNode);
    put.push_back(bar);
    auto itemNode = [&](const MenuView &item, int parent) {
      Node n;
      n.parent = parent;
      n.role = item.checkable ? "menuitemcheckbox" : "menuitem";
      n.text = Utf8(item.text);
      n.box = item.rect;
      n.state = kFocusable | (item.greyed ? kDisabled : 0) | (item.checkable ? kCheckable : 0) |
                (item.checked ? kChecked : 0) | (item.command ? 0 : kPopup);
      n.menuOwner = item.command ? hwnd : nullptr;
      n.command = item.command;
      return n;
    };
    for (size_t i = 0; i < view.size(); ++i) {
      int id = IdOf({hwnd, kMenuTitle, int(i)});
      Put(id, itemNode(view[i], bar));
      put.push_back(id);
      if (view[i].items.empty()) continue;
      int menu = IdOf({hwnd, kMenu, int(i)});
      Node menuNode;
      menuNode.parent = bar;
      menuNode.role = "menu";
      menuNode.label = Utf8(view[i].text);
      for (const MenuView &item : view[i].items) menuNode.box = RectUnion(menuNode.box, item.rect);
      Put(menu, menuNode);
      put.push_back(menu);
      for (size_t k = 0; k < view[i].items.size(); ++k) {
        int itemId = IdOf({hwnd, kMenuItem, int(i * 256 + k)});
        Put(itemId, itemNode(view[i].items[k], menu));
        put.push_back(itemId);
      }
    }
  }
  for (const auto &[part, id] : partIds_) {
    if (part.hwnd == hwnd && part.kind <= kMenuItem &&
        std::find(put.begin(), put.end(), id) == put.end() && nodes_.count(id))
      Remove(id);
  }
}

// The text layer of a window's client area: each string at its place, in reading order.
// Controls have none: their text is their name.
void Mirror::PutTexts(Window *w, int windowNode) {
  if (ClassIs(w, "BUTTON") || ClassIs(w, "STATIC")) return;
  HWND hwnd = w->hwnd;
  int layer = IdOf({hwnd, kTextLayer, 0});
  Node layerNode;
  layerNode.parent = windowNode;
  layerNode.box = ClientBox(w);
  Put(layer, layerNode);
  std::vector<Said> now = Spoken(w);
  for (size_t k = 0; k < now.size(); ++k) {
    Node n;
    n.parent = layer;
    n.text = Utf8(now[k].words);
    n.box = now[k].box;
    Put(IdOf({hwnd, kTextRun, int(k)}), n);
  }
  for (size_t k = now.size();; ++k) {
    auto found = partIds_.find({hwnd, kTextRun, int(k)});
    if (found == partIds_.end() || !nodes_.count(found->second)) break;
    Remove(found->second);
  }
  Announce(hwnd, now);
}

// The strings on a window as they are said: in reading order (top to bottom, then left to
// right), with the words their look adds (a picture's description, the class's legend of
// colours), a bare figure with the labels of its row and its column ("Player 1, Turn
// Score: 8"): the nearest text above it, and the topmost text above it in its column.
std::vector<Mirror::Said> Mirror::Spoken(Window *w) {
  TextRuns runs = w->texts;
  SortFew(runs, [](const TextRun &a, const TextRun &b) {
    return a.box.top != b.box.top ? a.box.top < b.box.top : a.box.left < b.box.left;
  });
  POINT origin = ClientOrigin(w);
  std::vector<Said> said;
  for (const TextRun &r : runs) {
    std::string words = Trimmed(r.text), own = words;
    if (BareFigure(words)) {
      const TextRun *row = nullptr, *column = nullptr;
      for (const TextRun &a : runs) {
        if (&a == &r || !HasLetter(a.text) || a.box.bottom > r.box.top) continue;
        if (!row || a.box.bottom > row->box.bottom) row = &a;
      }
      for (const TextRun &a : runs) {
        if (&a == &r || &a == row || !HasLetter(a.text) || a.box.bottom > r.box.top) continue;
        bool over = a.box.left < r.box.right && a.box.right > r.box.left;
        if (over && (!column || a.box.top < column->box.top)) column = &a;
      }
      if (row) words = Trimmed(row->text) + ": " + words;
      if (column) words = Trimmed(column->text) + ", " + words;
    } else {
      if (!r.note.empty()) words += ", " + r.note;
      std::string legend = LegendNote(w->cls->name, r);
      if (!legend.empty()) words += ", " + legend;
      own = words;
    }
    said.push_back(Said{Offset(r.box, origin), words, own, r.order});
  }
  return said;
}

// What changed on a window's text is said (politely, after what the reader is saying), in
// the order it was drawn: a string new at its place, unless it only says less than the one
// it replaced ("Player 1" where "Player 1, to move" was) or is the last thing said coming
// back to its place (a blinking notice). A figure whose labels changed around it says
// nothing new. A window's first text is read, not announced.
void Mirror::Announce(HWND hwnd, const std::vector<Said> &now) {
  auto before = said_.find(hwnd);
  if (before == said_.end()) {
    said_[hwnd] = now;
    return;
  }
  std::vector<Said> news;
  for (const Said &s : now) {
    const Said *old = nullptr;
    for (const Said &b : before->second) {
      if (Holds(b.box, Middle(s.box)) || Holds(s.box, Middle(b.box))) old = &b;
    }
    if (old && (old->own == s.own || old->own.rfind(s.own + ", ", 0) == 0)) continue;
    news.push_back(s);
  }
  SortFew(news, [](const Said &a, const Said &b) { return a.order < b.order; });
  for (const Said &s : news) {
    if (s.words == lastAnnounced_.words && SameRect(s.box, lastAnnounced_.box)) continue;
    zant_js_announce(Utf8(s.words).c_str());
    lastAnnounced_ = s;
  }
  before->second = now;
}

// --- Elements ---------------------------------------------------------------------------

bool Mirror::Node::operator==(const Node &o) const {
  return parent == o.parent && role == o.role && label == o.label && text == o.text &&
         SameRect(box, o.box) && state == o.state && describedBy == o.describedBy &&
         control == o.control && menuOwner == o.menuOwner && command == o.command;
}

void Mirror::Put(int id, const Node &node) {
  auto found = nodes_.find(id);
  if (found != nodes_.end() && found->second == node) return;
  nodes_[id] = node;
  RECT within = MakeRect(0, 0, Backend().ScreenSize().cx, Backend().ScreenSize().cy);
  if (auto parent = nodes_.find(node.parent); node.parent && parent != nodes_.end())
    within = parent->second.box;
  double w = std::max<LONG>(1, within.right - within.left);
  double h = std::max<LONG>(1, within.bottom - within.top);
  zant_js_node(id, node.parent, node.role.c_str(), node.label.c_str(), node.text.c_str(),
               (node.box.left - within.left) * 100.0 / w, (node.box.top - within.top) * 100.0 / h,
               (node.box.right - node.box.left) * 100.0 / w,
               (node.box.bottom - node.box.top) * 100.0 / h, node.state, node.describedBy);
}

// An element goes, and everything in it.
void Mirror::Remove(int id) {
  std::vector<int> gone{id};
  for (size_t i = 0; i < gone.size(); ++i) {
    for (const auto &[other, node] : nodes_) {
      if (node.parent == gone[i]) gone.push_back(other);
    }
  }
  for (int g : gone) nodes_.erase(g);
  zant_js_node_gone(id);
}

void Mirror::WindowGone(HWND hwnd) {
  auto found = windowIds_.find(hwnd);
  if (found != windowIds_.end()) {
    if (nodes_.count(found->second)) Remove(found->second);
    windowIds_.erase(found);
  }
  std::erase_if(partIds_, [hwnd](const auto &p) { return p.first.hwnd == hwnd; });
  said_.erase(hwnd);
  dirty_.erase(hwnd);
  texts_.erase(hwnd);
}

void Mirror::Clear() {
  std::vector<int> tops;
  for (const auto &[id, node] : nodes_) {
    if (node.parent == 0) tops.push_back(id);
  }
  for (int id : tops) Remove(id);
  *this = Mirror{};
}

int Mirror::IdOf(HWND hwnd) {
  auto [it, added] = windowIds_.emplace(hwnd, 0);
  if (added) it->second = ++lastId_;
  return it->second;
}

int Mirror::IdOf(Part part) {
  auto [it, added] = partIds_.emplace(part, 0);
  if (added) it->second = ++lastId_;
  return it->second;
}

bool Mirror::Activated(int id, InputEvent &ev) const {
  auto found = nodes_.find(id);
  if (found == nodes_.end()) return false;
  const Node &n = found->second;
  Window *owner = GetWnd(n.control ? n.control : n.menuOwner);
  Window *top = TopLevelOf(owner);
  if (!top || (!n.control && !n.command)) return false;
  ev.type = InputEvent::Invoke;
  ev.surface = top->surface;
  ev.target = n.control;
  ev.command = n.command;
  return true;
}

}  // namespace zp::web
