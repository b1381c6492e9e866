// Dialogs: DialogBoxParamA from DIALOGEX (and plain DIALOG) templates, the dialog window
// class with its default handling, the dialog's keyboard (Enter, Escape, Tab, arrows in a
// radio group) and the calls that reach a dialog's controls. A modal dialog disables its
// owner while it runs the shared modal loop, which EndDialog wakes with a posted WM_NULL.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "backend.h"
#include "dialog_internal.h"
#include "template_reader.h"

namespace zp {

void RegisterMenuClasses();  // menu.cpp: the pop-up menu window

struct DialogState {
  DLGPROC proc = nullptr;
  bool done = false;
  INT_PTR result = 0;
  HFONT font = nullptr;
  bool ownsFont = false;
  SIZE base{4, 8};            // dialog base units of the dialog's font
  HWND savedFocus = nullptr;  // the control to give the focus back to on activation
  HWND disabledOwner = nullptr;
  UINT defaultId = 0;  // the template's default push button, 0 when it has none
  bool messageBox = false;

  ~DialogState() {
    if (ownsFont && font) DeleteObject(font);
  }
};

namespace {

// ---------------------------------------------------------------------------------
// Controls of a dialog
// ---------------------------------------------------------------------------------
DialogState *StateOf(HWND dialog) {
  Window *w = GetWnd(dialog);
  return w ? w->dialog.get() : nullptr;
}

std::vector<HWND> Controls(HWND dialog) {
  Window *w = GetWnd(dialog);
  return w ? w->children : std::vector<HWND>{};
}

bool ClassIs(Window *w, const char *name) {
  return w && strcasecmp(w->cls->name.c_str(), name) == 0;
}

bool IsPushButton(Window *w) {
  if (!ClassIs(w, "BUTTON")) return false;
  UINT type = w->style & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool IsAutoRadio(Window *w) {
  return ClassIs(w, "BUTTON") && (w->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// Labels and frames never take the focus.
bool IsLabel(Window *w) {
  return ClassIs(w, "STATIC") || (ClassIs(w, "BUTTON") && (w->style & BS_TYPEMASK) == BS_GROUPBOX);
}

bool CanFocus(Window *w) {
  return w && w->Visible() && w->Enabled();
}

bool IsRadio(Window *w) {
  if (!ClassIs(w, "BUTTON")) return false;
  UINT type = w->style & BS_TYPEMASK;
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The group of the control at `index`: from the nearest control marked WS_GROUP at or
// before it (or the first control) up to the next one marked WS_GROUP; [*first, *last).
void GroupBounds(const std::vector<HWND> &list, size_t index, size_t *first, size_t *last) {
  size_t f = index;
  while (f > 0) {
    Window *c = GetWnd(list[f]);
    if (c && (c->style & WS_GROUP)) break;
    --f;
  }
  size_t l = f + 1;
  while (l < list.size()) {
    Window *c = GetWnd(list[l]);
    if (c && (c->style & WS_GROUP)) break;
    ++l;
  }
  *first = f;
  *last = l;
}

// The next (or previous) tab stop after `from`, wrapping around; the first one when `from`
// is not a control of the dialog. A group of radio buttons is one stop: Tab comes to its
// checked button (or, when none is checked, the button it reaches first) and leaves the
// group with the next press.
HWND NextTabItem(HWND dialog, HWND from, bool backwards) {
  std::vector<HWND> list = Controls(dialog);
  if (list.empty()) return nullptr;
  int n = int(list.size());
  int at = int(std::find(list.begin(), list.end(), from) - list.begin());
  size_t fromFirst = 0, fromLast = 0;
  bool fromRadio = at < n && IsRadio(GetWnd(from));
  if (fromRadio) GroupBounds(list, size_t(at), &fromFirst, &fromLast);
  if (at == n) at = backwards ? 0 : n - 1;
  for (int k = 1; k <= n; ++k) {
    int i = backwards ? (at - k + n * 2) % n : (at + k) % n;
    Window *c = GetWnd(list[size_t(i)]);
    if (!CanFocus(c) || !(c->style & WS_TABSTOP)) continue;
    if (!IsRadio(c)) return list[size_t(i)];
    if (fromRadio && size_t(i) >= fromFirst && size_t(i) < fromLast)
      continue;  // still the same group
    size_t first, last;
    GroupBounds(list, size_t(i), &first, &last);
    for (size_t j = first; j < last; ++j) {
      Window *r = GetWnd(list[j]);
      if (IsRadio(r) && CanFocus(r) && SendMessageA(list[j], BM_GETCHECK, 0, 0) == BST_CHECKED)
        return list[j];
    }
    return list[size_t(i)];
  }
  return nullptr;
}

// The next (or previous) control of the group `from` belongs to, wrapping within the group.
HWND NextGroupItem(HWND dialog, HWND from, bool backwards) {
  std::vector<HWND> list = Controls(dialog);
  auto self = std::find(list.begin(), list.end(), from);
  if (self == list.end()) return nullptr;
  size_t first, last;
  GroupBounds(list, size_t(self - list.begin()), &first, &last);
  int n = int(last - first);
  int at = int(self - list.begin()) - int(first);
  for (int k = 1; k < n; ++k) {
    int i = backwards ? (at - k + n * 2) % n : (at + k) % n;
    Window *c = GetWnd(list[first + size_t(i)]);
    if (CanFocus(c) && !IsLabel(c)) return list[first + size_t(i)];
  }
  return nullptr;
}

void SetButtonType(Window *w, UINT type) {
  if ((w->style & BS_TYPEMASK) == type) return;
  SendMessageA(w->hwnd, BM_SETSTYLE, (w->style & 0xFFFF & ~BS_TYPEMASK) | type, TRUE);
}

// A push button with the focus is the one Enter presses, and looks it; otherwise the
// template's default button does.
void ShowDefaultButton(HWND dialog, HWND focus) {
  DialogState *s = StateOf(dialog);
  if (!s) return;
  Window *f = GetWnd(focus);
  bool focusOnPush = IsPushButton(f) && f->parent == dialog;
  for (HWND h : Controls(dialog)) {
    Window *c = GetWnd(h);
    if (!IsPushButton(c)) continue;
    bool isDefault = focusOnPush ? h == focus : (s->defaultId && UINT(c->id) == s->defaultId);
    SetButtonType(c, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
}

// The keyboard moves the focus: the default look follows it.
void DialogSetFocus(HWND dialog, HWND control) {
  if (!control) return;
  SetFocus(control);
  ShowDefaultButton(dialog, GetFocus());
}

// The push button Enter presses: the one that looks like the default (the template's, or
// the push button the keyboard moved to), else IDOK.
HWND DefaultCommand(HWND dialog, UINT *id) {
  for (HWND h : Controls(dialog)) {
    Window *c = GetWnd(h);
    if (IsPushButton(c) && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      *id = UINT(c->id);
      return h;
    }
  }
  *id = IDOK;
  return GetDlgItem(dialog, IDOK);
}

// A command from the keyboard, as if its button had been clicked; nothing when that button
// is there but disabled.
void KeyCommand(HWND dialog, UINT id, HWND button) {
  if (Window *b = GetWnd(button); b && !b->Enabled()) return;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool IsFocusInside(HWND dialog) {
  HWND f = Thread().focus;
  return f && IsChild(dialog, f);
}

void RestoreFocus(HWND dialog) {
  DialogState *s = StateOf(dialog);
  HWND target =
      s && s->savedFocus && IsChild(dialog, s->savedFocus) && CanFocus(GetWnd(s->savedFocus))
          ? s->savedFocus
          : NextTabItem(dialog, nullptr, false);
  if (target)
    SetFocus(target);
  else
    SetFocus(dialog);
}

// ---------------------------------------------------------------------------------
// The dialog window procedure: the dialog procedure first, then the default handling.
// ---------------------------------------------------------------------------------
LRESULT DefaultDialogMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DialogState *s = StateOf(hwnd);
  switch (msg) {
    case WM_ACTIVATE:
      if (!s) break;
      if (LOWORD(wParam) != 0) {
        if (!IsFocusInside(hwnd)) RestoreFocus(hwnd);
      } else if (IsFocusInside(hwnd)) {
        s->savedFocus = Thread().focus;
      }
      return 0;
    case WM_SETFOCUS:
      if (s) RestoreFocus(hwnd);
      return 0;
    case WM_NCLBUTTONDOWN:
      // A dialog without a system menu has no close box: the window manager's is inert.
      if (wParam == HTCLOSE && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_SYSMENU)) return 0;
      break;
    case WM_CLOSE: {
      // Closing through the frame is the Cancel command, unless Cancel is disabled.
      HWND cancel = GetDlgItem(hwnd, IDCANCEL);
      if (Window *c = GetWnd(cancel); c && !c->Enabled()) return 0;
      PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case WM_SETFONT:
      if (s) s->font = reinterpret_cast<HFONT>(wParam);
      break;
    case WM_NCDESTROY:
      // A dialog destroyed before EndDialog still ends its loop.
      if (s && !s->done) {
        s->done = true;
        PostMessageA(nullptr, WM_NULL, 0, 0);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = GetWnd(hwnd);
  if (!w) return 0;
  std::shared_ptr<DialogState> keep = w->dialog;  // the procedure may destroy the window
  if (keep && keep->proc) {
    INT_PTR handled = keep->proc(hwnd, msg, wParam, lParam);
    if (handled || !GetWnd(hwnd)) return handled;
  }
  return DefaultDialogMessage(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------
// Templates
// ---------------------------------------------------------------------------------
struct ItemTemplate {
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  UINT id = 0;
  std::string className;
  std::string text;
};

struct DialogTemplate {
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string className;
  std::string title;
  bool hasFont = false;
  int pointSize = 0, weight = 0;
  bool italic = false;
  int charset = DEFAULT_CHARSET;
  std::string face;
  std::vector<ItemTemplate> items;
};

const char *OrdinalClass(uint16_t ordinal) {
  switch (ordinal) {
    case 0x0080:
      return "BUTTON";
    case 0x0081:
      return "EDIT";
    case 0x0082:
      return "STATIC";
    case 0x0083:
      return "LISTBOX";
    case 0x0084:
      return "SCROLLBAR";
    case 0x0085:
      return "COMBOBOX";
    default:
      return "";
  }
}

// DLGTEMPLATEEX (version 1, signature 0xFFFF) with DLGITEMTEMPLATEEX items, or the older
// DLGTEMPLATE with DLGITEMTEMPLATE items.
bool ParseDialog(const uint8_t *data, size_t size, DialogTemplate &t) {
  TemplateReader r(data, size);
  uint32_t first = r.Dword();
  bool extended = (first & 0xFFFF) == 1 && (first >> 16) == 0xFFFF;
  uint16_t count;
  if (extended) {
    r.Dword();  // help id
    t.exStyle = r.Dword();
    t.style = r.Dword();
  } else {
    t.style = first;
    t.exStyle = r.Dword();
  }
  count = r.Word();
  t.x = r.Short();
  t.y = r.Short();
  t.cx = r.Short();
  t.cy = r.Short();
  TemplateReader::NameOrOrdinal menu = r.NameOrOrd();
  (void)menu;  // dialogs with a menu bar are not supported; the menu is ignored
  TemplateReader::NameOrOrdinal cls = r.NameOrOrd();
  t.className = cls.isOrdinal ? "" : cls.name;
  t.title = r.String();
  if (t.style & DS_SETFONT) {
    t.hasFont = true;
    t.pointSize = r.Word();
    if (extended) {
      t.weight = r.Word();
      t.italic = r.Byte() != 0;
      t.charset = r.Byte();
    }
    t.face = r.String();
  }
  if (!r.ok()) return false;
  for (int i = 0; i < count; ++i) {
    r.AlignDword();
    ItemTemplate item;
    if (extended) {
      r.Dword();  // help id
      item.exStyle = r.Dword();
      item.style = r.Dword();
    } else {
      item.style = r.Dword();
      item.exStyle = r.Dword();
    }
    item.x = r.Short();
    item.y = r.Short();
    item.cx = r.Short();
    item.cy = r.Short();
    item.id = extended ? r.Dword() : r.Word();
    TemplateReader::NameOrOrdinal c = r.NameOrOrd();
    item.className = c.isOrdinal ? OrdinalClass(c.ordinal) : c.name;
    TemplateReader::NameOrOrdinal text = r.NameOrOrd();
    item.text = text.isOrdinal ? "#" + std::to_string(text.ordinal) : text.name;
    uint16_t extra = r.Word();
    r.Skip(extra);
    if (!r.ok()) return false;
    t.items.push_back(std::move(item));
  }
  return true;
}

// Dialog units to pixels, each value on its own: x * base width / 4, y * base height / 8,
// rounded to the nearest pixel.
int MulDivRound(int v, int num, int den) {
  int64_t p = int64_t(v) * num;
  return int((p + (p >= 0 ? den / 2 : -den / 2)) / den);
}

RECT MapRect(const SIZE &base, int x, int y, int cx, int cy) {
  int left = MulDivRound(x, base.cx, 4), top = MulDivRound(y, base.cy, 8);
  return MakeRect(left, top, left + MulDivRound(cx, base.cx, 4), top + MulDivRound(cy, base.cy, 8));
}

// Keeps a window on the screen.
void FitOnScreen(RECT &r) {
  SIZE screen = Backend().ScreenSize();
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = std::max(0, std::min<int>(r.left, screen.cx - w));
  int y = std::max(0, std::min<int>(r.top, screen.cy - h));
  r = MakeRect(x, y, x + w, y + h);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Shared with the message box
// ---------------------------------------------------------------------------------
SIZE DialogBaseUnits(HFONT font) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE letters = MeasureText(font, kLetters, 52);
  TEXTMETRICA tm{};
  FontTextMetrics(font, &tm);
  return SIZE{std::max<LONG>(1, (letters.cx / 26 + 1) / 2), std::max<LONG>(1, tm.tmHeight)};
}

HWND MakeDialogWindow(const char *className, const char *title, DWORD style, DWORD exStyle,
                      const RECT &windowRect, HWND owner, HFONT font, bool ownsFont,
                      HINSTANCE instance) {
  if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  HWND dialog =
      CreateWindowExA(exStyle, className, title, (style & ~WS_VISIBLE) | WS_POPUP, windowRect.left,
                      windowRect.top, windowRect.right - windowRect.left,
                      windowRect.bottom - windowRect.top, owner, nullptr, instance, nullptr);
  Window *w = GetWnd(dialog);
  if (!w) {
    if (ownsFont && font) DeleteObject(font);
    return nullptr;
  }
  auto state = std::make_shared<DialogState>();
  state->font = font;
  state->ownsFont = ownsFont;
  state->base = DialogBaseUnits(font);
  w->dialog = state;
  w->font = font;
  return dialog;
}

HWND AddDialogControl(HWND dialog, const char *className, const char *text, DWORD style,
                      DWORD exStyle, const RECT &rect, UINT id, HINSTANCE instance) {
  DialogState *s = StateOf(dialog);
  if (!s) return nullptr;
  HWND control = CreateWindowExA(exStyle, className, text, style | WS_CHILD, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, dialog,
                                 reinterpret_cast<HMENU>(uintptr_t(id)), instance, nullptr);
  if (!control) return nullptr;
  if ((s = StateOf(dialog)))
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(s->font), FALSE);
  Window *c = GetWnd(control);
  if (s && c && !s->defaultId && ClassIs(c, "BUTTON") &&
      (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
    s->defaultId = id;
  return control;
}

INT_PTR RunModalDialog(HWND dialog, HWND owner, DLGPROC proc, LPARAM param) {
  Window *w = GetWnd(dialog);
  if (!w || !w->dialog) return -1;
  std::shared_ptr<DialogState> state = w->dialog;  // outlives the window if need be
  Window *ownerTop = TopLevelOf(GetWnd(owner));
  HWND ownerHwnd = ownerTop ? ownerTop->hwnd : nullptr;
  if (ownerTop && ownerTop->Enabled()) {
    EnableWindow(ownerHwnd, FALSE);
    state->disabledOwner = ownerHwnd;
  }
  state->proc = proc;
  HWND first = NextTabItem(dialog, nullptr, false);
  INT_PTR focusFirst =
      proc ? proc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) : TRUE;
  if (focusFirst && GetWnd(dialog) && GetWnd(first)) SetFocus(first);
  if (!state->done && GetWnd(dialog)) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    if (GetWnd(dialog) && !IsFocusInside(dialog) && Thread().active == dialog && focusFirst)
      RestoreFocus(dialog);
    if (GetWnd(dialog)) UpdateWindow(dialog);
  }
  RunModalLoop(dialog, &state->done);
  state->done = true;  // also when WM_QUIT ended the loop: nothing more to wake
  if (state->disabledOwner) {
    EnableWindow(state->disabledOwner, TRUE);
    state->disabledOwner = nullptr;
  }
  if (GetWnd(dialog)) DestroyWindow(dialog);
  if (Window *o = GetWnd(ownerHwnd); o && o->Visible() && Thread().active == nullptr)
    SetActiveWindow(ownerHwnd);
  return state->result;
}

bool IsDialogWindow(Window *w) {
  return w && w->dialog;
}

bool IsMessageBox(Window *w) {
  return w && w->dialog && w->dialog->messageBox;
}

void MarkMessageBox(HWND box) {
  if (DialogState *s = StateOf(box)) s->messageBox = true;
}

void RegisterDialogClasses() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DialogWindowProc;
  wc.lpszClassName = kDialogClass;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
  RegisterClassInternal(wc, true);
  RegisterMenuClasses();
}

// IsDialogMessage for the modal loop: the keys that move the focus and give commands.
bool DialogKeyMessage(HWND dialog, const MSG &msg) {
  if (msg.message != WM_KEYDOWN) return false;
  if (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd)) return false;
  HWND focus = Thread().focus;
  switch (msg.wParam) {
    case VK_TAB: {
      bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      DialogSetFocus(dialog, NextTabItem(dialog, IsFocusInside(dialog) ? focus : nullptr, back));
      return true;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      if (!IsFocusInside(dialog)) return true;
      bool back = msg.wParam == VK_LEFT || msg.wParam == VK_UP;
      HWND next = NextGroupItem(dialog, focus, back);
      if (!next) return true;
      DialogSetFocus(dialog, next);
      // An automatic radio button that gets the focus from the keyboard is selected.
      if (Window *n = GetWnd(next); n && IsAutoRadio(n) && Thread().focus == next)
        SendMessageA(next, BM_CLICK, 0, 0);
      return true;
    }
    case VK_RETURN: {
      UINT id = IDOK;
      HWND button = DefaultCommand(dialog, &id);
      KeyCommand(dialog, id, button);
      return true;
    }
    case VK_ESCAPE:
      KeyCommand(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
      return true;
    default:
      return false;
  }
}

}  // namespace zp

using namespace zp;

// ---------------------------------------------------------------------------------
// The API
// ---------------------------------------------------------------------------------
INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  ResourceData res = FindResourceData(RT_DIALOG, lpTemplateName);
  DialogTemplate t;
  if (!res.data || !ParseDialog(res.data, res.size, t)) {
    Thread().lastError = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return -1;
  }
  if (hWndParent && !GetWnd(hWndParent)) {
    Thread().lastError = 1400;
    return -1;
  }
  // The dialog's font: the template's, at 96 pixels to the inch, or the system font.
  HFONT font = nullptr;
  bool ownsFont = false;
  if (t.hasFont) {
    int height = -int((int64_t(t.pointSize) * 96 + 36) / 72);
    font = CreateFontA(height, 0, 0, 0, t.weight, t.italic, FALSE, FALSE, DWORD(t.charset),
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, t.face.c_str());
    ownsFont = font != nullptr;
  }
  if (!font) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  SIZE base = DialogBaseUnits(font);

  // Dialog units to pixels. The template places the client area, relative to the owner's
  // client area (or, with DS_CENTER, the dialog is centred on the screen); the frame and
  // the title bar lie around it.
  RECT windowRect = MapRect(base, t.x, t.y, t.cx, t.cy);
  // A dialog larger than the screen, or a control larger than its dialog, can only come from
  // a damaged template: it is refused like one that cannot be read, rather than kept as
  // windows that nobody can see and whose pixels would fill the memory.
  SIZE screen = Backend().ScreenSize();
  LONG clientW = windowRect.right - windowRect.left, clientH = windowRect.bottom - windowRect.top;
  bool fits = clientW <= screen.cx && clientH <= screen.cy;
  for (const ItemTemplate &item : t.items) {
    RECT r = MapRect(base, item.x, item.y, item.cx, item.cy);
    fits = fits && r.right - r.left <= clientW && r.bottom - r.top <= clientH;
  }
  if (!fits) {
    if (ownsFont) DeleteObject(font);
    Thread().lastError = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND: no usable template
    return -1;
  }
  DWORD style = t.style | WS_POPUP;
  DWORD exStyle = t.exStyle | ((t.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
  AdjustWindowRectEx(&windowRect, style, FALSE, exStyle);
  int width = windowRect.right - windowRect.left, height = windowRect.bottom - windowRect.top;
  if (t.style & DS_CENTER) {
    SIZE screen = Backend().ScreenSize();
    windowRect = MakeRect((screen.cx - width) / 2, (screen.cy - height) / 2, 0, 0);
  } else if (Window *owner = GetWnd(hWndParent)) {
    POINT o = ClientOrigin(owner);
    OffsetRect(&windowRect, o.x, o.y);
  }
  windowRect.right = windowRect.left + width;
  windowRect.bottom = windowRect.top + height;
  FitOnScreen(windowRect);

  const char *className = t.className.empty() ? kDialogClass : t.className.c_str();
  HWND dialog = MakeDialogWindow(className, t.title.c_str(), style, t.exStyle, windowRect,
                                 hWndParent, font, ownsFont, hInstance);
  if (!dialog) return -1;
  SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (const ItemTemplate &item : t.items) {
    RECT r = MapRect(base, item.x, item.y, item.cx, item.cy);
    if (!AddDialogControl(dialog, item.className.c_str(), item.text.c_str(), item.style,
                          item.exStyle, r, item.id, hInstance)) {
      DestroyWindow(dialog);
      return -1;
    }
  }
  return RunModalDialog(dialog, hWndParent, lpDialogFunc, dwInitParam);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  Window *w = GetWnd(hDlg);
  if (!w || !w->dialog) return FALSE;
  std::shared_ptr<DialogState> s = w->dialog;
  s->result = nResult;
  s->done = true;
  // The owner comes back before the dialog goes, so that it is activated again.
  if (s->disabledOwner) {
    EnableWindow(s->disabledOwner, TRUE);
    s->disabledOwner = nullptr;
  }
  ShowWindow(hDlg, SW_HIDE);
  PostMessageA(hDlg, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  for (HWND h : Controls(hDlg)) {
    Window *c = GetWnd(h);
    if (c && UINT(c->id) == UINT(nIDDlgItem)) return h;
  }
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  Window *w = GetWnd(hWnd);
  return w && w->IsChild() ? int(UINT(w->id)) : 0;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  if (!lpMsg || !GetWnd(hDlg)) return FALSE;
  if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
  if (DialogKeyMessage(hDlg, *lpMsg)) return TRUE;
  TranslateMessage(lpMsg);
  DispatchMessageA(lpMsg);
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageA(item, Msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  if (!GetWnd(hDlg)) return FALSE;
  for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
    SendDlgItemMessageA(hDlg, id, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED,
                        0);
  return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  return UINT(SendDlgItemMessageA(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  DialogState *s = StateOf(hDlg);
  if (!s || !lpRect) return FALSE;
  *lpRect = MakeRect(
      MulDivRound(lpRect->left, s->base.cx, 4), MulDivRound(lpRect->top, s->base.cy, 8),
      MulDivRound(lpRect->right, s->base.cx, 4), MulDivRound(lpRect->bottom, s->base.cy, 8));
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
  SIZE base = DialogBaseUnits(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  return MAKELONG(base.cx, base.cy);
}
