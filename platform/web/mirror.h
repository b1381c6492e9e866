// The browser back end's mirror of the layer for assistive technology (mirror.cpp): the
// page's canvas is only pixels, so every window the layer shows is also an element of the
// page that a screen reader reads (a button, a radio button with its check, a group, a
// dialog, an alert, the menu bar and its items), placed over what it stands for and
// invisible to the eye, and the text drawn on a window is a text layer whose changes a
// live region announces. A reader's "activate" on an element comes back as input.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "backend.h"
#include "internal.h"

namespace zp::web {

// Windows-1252 (the layer's strings) as UTF-8 (the page's).
std::string Utf8(const std::string &ansi);

class Mirror {
 public:
  // What the layer tells (BackendApi's hooks of the same names).
  void WindowChanged(HWND hwnd) { dirty_.insert(hwnd); }
  void WindowGone(HWND hwnd);
  void FocusChanged(HWND hwnd) {
    focus_ = hwnd;
    focusMoved_ = true;
  }
  void MenuChanged() { menusChanged_ = true; }
  void TextChanged(HWND hwnd) { texts_.insert(hwnd); }

  // Brings the page's elements in step with the layer, and says what changed on the
  // windows' text. Called before the page gets a turn, which is when a reader sees them.
  void Sync();
  // The element `id` was activated: the layer's input for it. False when it stands for
  // nothing that can be pressed now.
  bool Activated(int id, InputEvent &ev) const;
  // The program has ended: every element goes.
  void Clear();

 private:
  // One element of the page, as the mirror last made it.
  struct Node {
    int parent = 0;            // 0: the mirror's own layer over the canvas
    std::string role;          // the ARIA role; empty for plain text
    std::string label;         // its name, where it does not come from its text
    std::string text;          // what it says
    RECT box{};                // where it stands on the screen (the layer's screen pixels)
    int state = 0;             // kDisabled, ...
    int describedBy = 0;       // the element whose text describes it (an alert's message)
    HWND control = nullptr;    // activating it presses this control
    HWND menuOwner = nullptr;  // or chooses `command` from this window's menu
    UINT command = 0;
    bool operator==(const Node &other) const;
  };

  // A string on a window, as said: its cell, its words (with the labels of a bare figure)
  // and what it says by itself.
  struct Said {
    RECT box{};
    std::string words;
    std::string own;
    uint64_t order = 0;
  };

  void Visit(HWND hwnd, int parent, bool fresh);
  // (A menu's items are placed by the widths of their texts, and a font may have to be
  // fetched to measure them: the browser's build instruments everything that can reach
  // such a wait, and all that it inlines, to suspend and resume it. The rest of the mirror
  // is kept out of the few functions that do.)
  [[gnu::noinline]] Node WindowNode(Window *w, int parent);
  int ParentOf(Window *w, int windowNode);
  void PutMenu(Window *top, int windowNode);
  [[gnu::noinline]] void PutTexts(Window *w, int windowNode);
  std::vector<Said> Spoken(Window *w);
  void Announce(HWND hwnd, const std::vector<Said> &now);
  void Put(int id, const Node &node);
  void Remove(int id);
  int IdOf(HWND hwnd);
  // A part of a window that is an element of its own: its menu bar, a title on the bar, a
  // pop-up's items and each of them, the text layer and each string on it.
  struct Part {
    HWND hwnd;
    int kind;
    int index;
    bool operator<(const Part &o) const {
      return hwnd != o.hwnd ? hwnd < o.hwnd : kind != o.kind ? kind < o.kind : index < o.index;
    }
  };
  int IdOf(Part part);

  std::map<int, Node> nodes_;  // what the page has
  std::map<HWND, int> windowIds_;
  std::map<Part, int> partIds_;
  std::map<HWND, std::vector<Said>> said_;  // each window's text, as last said
  std::set<HWND> dirty_;
  std::set<HWND> texts_;
  bool menusChanged_ = false;
  HWND focus_ = nullptr;
  bool focusMoved_ = false;
  int lastId_ = 0;
  Said lastAnnounced_;
};

}  // namespace zp::web
