// The built-in controls in the classic look: BUTTON (push buttons, check boxes, radio
// buttons, group boxes) and STATIC (text). A click is a press and a release inside the
// button; it reaches the parent as WM_COMMAND (identifier, BN_CLICKED, the button's
// handle). Space presses and releases the focused button as the mouse would.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "backend.h"
#include "internal.h"

namespace zp {

struct ControlState {
  int check = BST_UNCHECKED;
  bool pushed = false;    // drawn pressed
  bool tracking = false;  // the mouse is captured by a press
  bool spaceDown = false;
};

namespace {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kLight = RGB(223, 223, 223);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A solid rectangle, filled as an opaque text cell without text: no brush to make and
// delete for each edge of a bevel.
void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
  RECT rc{l, t, r, b};
  COLORREF old = SetBkColor(dc, c);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

void Frame(HDC dc, int l, int t, int r, int b, COLORREF topLeft, COLORREF bottomRight) {
  Fill(dc, l, t, r, t + 1, topLeft);
  Fill(dc, l, t, l + 1, b, topLeft);
  Fill(dc, l, b - 1, r, b, bottomRight);
  Fill(dc, r - 1, t, r, b, bottomRight);
}

// Every other pixel of the rectangle's edge in black, plotted straight into the DC's
// pixels rather than one SetPixel call each.
void DottedFrame(HDC hdc, int l, int t, int r, int b) {
  DC *dc = As<DC>(hdc);
  RECT allowed{};
  Image *img = TargetImage(dc, &allowed);
  if (!img || l >= r || t >= b) return;
  auto dot = [&](int x, int y) {
    if (x >= allowed.left && x < allowed.right && y >= allowed.top && y < allowed.bottom) {
      img->Row(y)[x] = 0x000000;
    }
  };
  for (int x = l; x < r; x += 2) {
    dot(x, t);
    dot(x, b - 1);
  }
  for (int y = t; y < b; y += 2) {
    dot(l, y);
    dot(r - 1, y);
  }
  DrawnOn(dc, RectIntersect(MakeRect(l, t, r, b), allowed));
}

HFONT ControlFont(Window *w) {
  return w->font ? w->font : DefaultGuiFont();
}

// Text in a rectangle; disabled text is embossed (white, then grey on top).
void DrawLabel(HDC dc, Window *w, RECT r, UINT format, bool enabled) {
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, ControlFont(w));
  if (!enabled) {
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    SetTextColor(dc, kWhite);
    DrawTextA(dc, w->text.c_str(), -1, &shifted, format);
    SetTextColor(dc, kShadow);
  } else {
    SetTextColor(dc, kBlack);
  }
  DrawTextA(dc, w->text.c_str(), -1, &r, format);
}

UINT ButtonType(Window *w) {
  return w->style & BS_TYPEMASK;
}
bool IsRadio(UINT type) {
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}
bool IsCheck(UINT type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
         type == BS_AUTO3STATE;
}
bool HasFocus(Window *w) {
  return Thread().focus == w->hwnd;
}

void PaintPushButton(HDC dc, Window *w) {
  ControlState &s = *w->control;
  int W = w->clientW, H = w->clientH;
  Fill(dc, 0, 0, W, H, kFace);
  int inset = 0;
  if ((w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    Frame(dc, 0, 0, W, H, kBlack, kBlack);
    inset = 1;
  }
  if (s.pushed) {
    Frame(dc, inset, inset, W - inset, H - inset, kBlack, kBlack);
    Frame(dc, inset + 1, inset + 1, W - inset - 1, H - inset - 1, kShadow, kFace);
  } else {
    Frame(dc, inset, inset, W - inset, H - inset, kWhite, kBlack);
    Frame(dc, inset + 1, inset + 1, W - inset - 1, H - inset - 1, kLight, kShadow);
  }
  RECT text{0, 0, W, H};
  if (s.pushed) OffsetRect(&text, 1, 1);
  DrawLabel(dc, w, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, w->Enabled());
  if (HasFocus(w)) DottedFrame(dc, inset + 3, inset + 3, W - inset - 3, H - inset - 3);
}

void PaintRadioOrCheck(HDC dc, Window *w, bool radio) {
  ControlState &s = *w->control;
  int W = w->clientW, H = w->clientH;
  Fill(dc, 0, 0, W, H, kFace);
  int top = (H - 12) / 2;
  COLORREF inside = (s.pushed || !w->Enabled()) ? kFace : kWhite;
  COLORREF mark = w->Enabled() ? kBlack : kShadow;
  if (radio) {
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 12; ++x) {
        double dx = x + 0.5 - 6, dy = y + 0.5 - 6, d = std::sqrt(dx * dx + dy * dy);
        bool upperLeft = dx + dy < 0;
        COLORREF c;
        if (d <= 4.0)
          c = inside;
        else if (d <= 5.0)
          c = upperLeft ? kBlack : kLight;
        else if (d <= 6.0)
          c = upperLeft ? kShadow : kWhite;
        else
          continue;
        SetPixel(dc, x, top + y, c);
      }
    }
    if (s.check & BST_CHECKED) {
      for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
          if (!((x == 4 || x == 7) && (y == 4 || y == 7))) SetPixel(dc, x, top + y, mark);
    }
  } else {
    Fill(dc, 0, top, 13, top + 13, inside);
    Frame(dc, 0, top, 13, top + 13, kShadow, kWhite);
    Frame(dc, 1, top + 1, 12, top + 12, kBlack, kLight);
    if (s.check & BST_CHECKED) {
      for (int i = 0; i < 7; ++i) {
        int x = 3 + i, y = top + (i < 3 ? 5 + i : 9 - i);
        for (int k = 0; k < 3; ++k) SetPixel(dc, x, y + k, mark);
      }
    }
  }
  RECT text{16, 0, W, H};
  DrawLabel(dc, w, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, w->Enabled());
  if (HasFocus(w)) {
    SIZE sz{};
    SelectObject(dc, ControlFont(w));
    GetTextExtentPoint32A(dc, w->text.c_str(), int(w->text.size()), &sz);
    int ty = (H - sz.cy) / 2;
    DottedFrame(dc, 15, std::max(ty - 1, 0), std::min(16 + sz.cx + 2, W),
                std::min(ty + sz.cy + 1, H));
  }
}

void PaintGroupBox(HDC dc, Window *w) {
  int W = w->clientW, H = w->clientH;
  Fill(dc, 0, 0, W, H, kFace);
  SelectObject(dc, ControlFont(w));
  SIZE sz{};
  GetTextExtentPoint32A(dc, w->text.c_str(), int(w->text.size()), &sz);
  int mid = sz.cy / 2;
  // An etched frame: a grey line with a white line beside it.
  Frame(dc, 0, mid, W - 1, H - 1, kShadow, kShadow);
  Frame(dc, 1, mid + 1, W, H, kWhite, kWhite);
  Fill(dc, 1, mid + 1, W - 2, mid + 2, kWhite);
  Fill(dc, 1, mid + 1, 2, H - 2, kWhite);
  if (!w->text.empty()) {
    Fill(dc, 8, 0, std::min(8 + sz.cx, W), sz.cy, kFace);
    RECT text{8, 0, W, sz.cy};
    DrawLabel(dc, w, text, DT_LEFT | DT_SINGLELINE, w->Enabled());
  }
}

void PaintButton(Window *w) {
  if (!Backend().DrawsPixels()) return;  // a button's look is all pixels
  HDC dc = MakeWindowDC(w->hwnd, nullptr);
  if (!dc) return;
  HoldPresents(true);
  UINT type = ButtonType(w);
  if (type == BS_GROUPBOX)
    PaintGroupBox(dc, w);
  else if (IsRadio(type))
    PaintRadioOrCheck(dc, w, true);
  else if (IsCheck(type))
    PaintRadioOrCheck(dc, w, false);
  else
    PaintPushButton(dc, w);
  ReleaseDC(w->hwnd, dc);
  HoldPresents(false);
}

// The radio buttons of the same group: the siblings from the nearest one marked
// WS_GROUP at or before this button up to the next one marked WS_GROUP.
std::vector<HWND> GroupOf(Window *w) {
  std::vector<HWND> group;
  Window *parent = GetWnd(w->parent);
  if (!parent) return group;
  auto &list = parent->children;
  auto self = std::find(list.begin(), list.end(), w->hwnd);
  if (self == list.end()) return group;
  auto first = self;
  while (first != list.begin()) {
    Window *c = GetWnd(*first);
    if (c && (c->style & WS_GROUP)) break;
    --first;
  }
  for (auto it = first; it != list.end(); ++it) {
    Window *c = GetWnd(*it);
    if (it != first && c && (c->style & WS_GROUP)) break;
    group.push_back(*it);
  }
  return group;
}

void SetCheck(Window *w, int check) {
  if (w->control->check == check) return;
  w->control->check = check;
  Backend().WindowChanged(w->hwnd);
  PaintButton(w);
}

void Click(HWND hwnd) {
  Window *w = GetWnd(hwnd);
  if (!w || !w->Enabled()) return;
  UINT type = ButtonType(w);
  if (type == BS_AUTORADIOBUTTON) {
    for (HWND h : GroupOf(w)) {
      Window *o = GetWnd(h);
      if (o && o != w && o->control && o->cls == w->cls && ButtonType(o) == BS_AUTORADIOBUTTON)
        SetCheck(o, BST_UNCHECKED);
    }
    SetCheck(w, BST_CHECKED);
  } else if (type == BS_AUTOCHECKBOX) {
    SetCheck(w, w->control->check ? BST_UNCHECKED : BST_CHECKED);
  }
  HWND parent = w->parent;
  UINT_PTR id = w->id;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

bool Inside(Window *w, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  return x >= 0 && y >= 0 && x < w->clientW && y < w->clientH;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = GetWnd(hwnd);
  if (!w) return 0;
  if (!w->control) w->control = std::make_shared<ControlState>();
  ControlState &s = *w->control;
  UINT type = ButtonType(w);
  bool clickable = type != BS_GROUPBOX;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      PaintButton(w);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      if (!clickable) return 0;
      SetCapture(hwnd);
      s.tracking = true;
      s.pushed = true;
      SetFocus(hwnd);
      if ((w = GetWnd(hwnd))) PaintButton(w);
      return 0;
    case WM_MOUSEMOVE:
      if (s.tracking && Inside(w, lParam) != s.pushed) {
        s.pushed = !s.pushed;
        PaintButton(w);
      }
      return 0;
    case WM_LBUTTONUP:
      if (s.tracking) {
        bool click = s.pushed && Inside(w, lParam);
        s.tracking = false;
        s.pushed = false;
        ReleaseCapture();
        PaintButton(w);
        if (click) Click(hwnd);
      }
      return 0;
    case WM_KEYDOWN:
      if (clickable && wParam == VK_SPACE && !s.spaceDown) {
        s.spaceDown = true;
        s.pushed = true;
        PaintButton(w);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && s.spaceDown) {
        s.spaceDown = false;
        s.pushed = false;
        PaintButton(w);
        Click(hwnd);
      }
      return 0;
    case WM_SETFOCUS:
      PaintButton(w);
      return 0;
    case WM_KILLFOCUS:
      if (s.spaceDown || s.tracking) {
        s.spaceDown = false;
        s.pushed = false;
        if (s.tracking) ReleaseCapture();
        s.tracking = false;
      }
      PaintButton(w);
      return 0;
    case WM_ENABLE:
      PaintButton(w);
      return 0;
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      if ((w = GetWnd(hwnd))) PaintButton(w);
      return TRUE;
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) PaintButton(w);
      return 0;
    case BM_GETCHECK:
      return s.check;
    case BM_SETCHECK:
      if (IsRadio(type) || IsCheck(type)) SetCheck(w, int(wParam) & 3);
      return 0;
    case BM_GETSTATE:
      return s.check | (s.pushed ? BST_PUSHED : 0) | (HasFocus(w) ? BST_FOCUS : 0);
    case BM_SETSTATE:
      if (bool(wParam) != s.pushed) {
        s.pushed = wParam != 0;
        PaintButton(w);
      }
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~0xFFFFu) | DWORD(wParam & 0xFFFF);
      if (LOWORD(lParam)) PaintButton(w);
      return 0;
    case BM_CLICK:
      if (clickable) Click(hwnd);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void PaintStatic(Window *w) {
  HDC dc = MakeWindowDC(w->hwnd, nullptr);
  if (!dc) return;
  HoldPresents(true);
  int W = w->clientW, H = w->clientH;
  Fill(dc, 0, 0, W, H, kFace);
  UINT align = (w->style & 0x3) == SS_CENTER  ? DT_CENTER
               : (w->style & 0x3) == SS_RIGHT ? DT_RIGHT
                                              : DT_LEFT;
  RECT r{0, 0, W, H};
  DrawLabel(dc, w, r, align | DT_WORDBREAK | DT_NOPREFIX, w->Enabled());
  ReleaseDC(w->hwnd, dc);
  HoldPresents(false);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = GetWnd(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      PaintStatic(w);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      if ((w = GetWnd(hwnd))) PaintStatic(w);
      return TRUE;
    case WM_ENABLE:
      PaintStatic(w);
      return 0;
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) PaintStatic(w);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int ButtonCheckState(Window *w) {
  return w && w->control ? w->control->check : BST_UNCHECKED;
}

void RegisterSystemClasses() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ButtonProc;
  wc.lpszClassName = "BUTTON";
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassInternal(wc, true);
  wc.lpfnWndProc = StaticProc;
  wc.lpszClassName = "STATIC";
  RegisterClassInternal(wc, true);
  RegisterDialogClasses();
}

}  // namespace zp
