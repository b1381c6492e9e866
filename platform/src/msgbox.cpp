// MessageBoxA: a built-in dialog with an icon, the text (its own line breaks, and words
// wrapped when a line is too long) and a row of buttons, run by the shared modal loop.
// Without an owner it disables nothing; it is always centred on the screen.
#include <algorithm>
#include <cmath>
#include <functional>

#include "backend.h"
#include "dialog_internal.h"

namespace zp {
namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconTextGap = 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kTextId = 0xFFFF;

// Button sets by MB_TYPEMASK value (0 OK, 1 OK Cancel, 2 Abort Retry Ignore, 3 Yes No
// Cancel, 4 Yes No, 5 Retry Cancel).
struct ButtonSpec {
  int id;
  const char *text;
};
std::vector<ButtonSpec> ButtonsFor(UINT type) {
  switch (type & MB_TYPEMASK) {
    case 1:
      return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case 2:
      return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case 3:
      return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case 4:
      return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case 5:
      return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default:
      return {{IDOK, "OK"}};
  }
}

// ---------------------------------------------------------------------------------
// The icons, drawn as shapes and smoothed by sampling each pixel 4 x 4 times.
// ---------------------------------------------------------------------------------
enum class IconKind { None, Information, Warning, Error };

IconKind IconFor(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONASTERISK:
      return IconKind::Information;
    case MB_ICONEXCLAMATION:
      return IconKind::Warning;
    case MB_ICONHAND:
      return IconKind::Error;
    default:
      return IconKind::None;
  }
}

// A shape answers the colour at a point of the 32 x 32 square, or false where it is clear.
using Shape = std::function<bool(double x, double y, uint32_t *color)>;

double Distance(double x, double y, double cx, double cy) {
  return std::hypot(x - cx, y - cy);
}

// Distance from (x, y) to the segment (ax, ay)-(bx, by).
double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return Distance(x, y, ax + t * dx, ay + t * dy);
}

Shape InformationShape() {
  return [](double x, double y, uint32_t *c) {
    double d = Distance(x, y, 16, 16);
    if (d > 14.5) return false;
    bool dot = Distance(x, y, 16, 9) < 2.3;
    bool stem = x >= 14 && x < 18 && y >= 13 && y < 24;
    bool foot = x >= 12.5 && x < 19.5 && y >= 22 && y < 24;
    bool cap = x >= 12.5 && x < 18 && y >= 13 && y < 15;
    if (dot || stem || foot || cap)
      *c = 0xFFFFFF;
    else
      *c = d > 13.5 ? 0x000080 : 0x0000FF;
    return true;
  };
}

Shape WarningShape() {
  return [](double x, double y, uint32_t *c) {
    // A triangle standing on its base, with a black edge.
    const double ax = 16, ay = 2, bx = 30.5, by = 29.5, cx = 1.5, cy = 29.5;
    auto side = [](double px, double py, double x1, double y1, double x2, double y2) {
      return (x2 - x1) * (py - y1) - (y2 - y1) * (px - x1);
    };
    bool inside = side(x, y, ax, ay, bx, by) >= 0 && side(x, y, bx, by, cx, cy) >= 0 &&
                  side(x, y, cx, cy, ax, ay) >= 0;
    if (!inside) return false;
    double edge =
        std::min({SegmentDistance(x, y, ax, ay, bx, by), SegmentDistance(x, y, bx, by, cx, cy),
                  SegmentDistance(x, y, cx, cy, ax, ay)});
    bool bar =
        x >= 14.5 && x < 17.5 && y >= 10 && y < 21.5 && std::abs(x - 16) < 1.5 - (y - 10) * 0.04;
    bool dot = Distance(x, y, 16, 25) < 1.8;
    *c = (edge < 1.1 || bar || dot) ? 0x000000 : 0xFFFF00;
    return true;
  };
}

Shape ErrorShape() {
  return [](double x, double y, uint32_t *c) {
    double d = Distance(x, y, 16, 16);
    if (d > 14.5) return false;
    bool cross = SegmentDistance(x, y, 10.5, 10.5, 21.5, 21.5) < 1.9 ||
                 SegmentDistance(x, y, 21.5, 10.5, 10.5, 21.5) < 1.9;
    *c = cross ? 0xFFFFFF : d > 13.5 ? 0x800000 : 0xFF0000;
    return true;
  };
}

void DrawIcon(Image &img, int left, int top, IconKind kind) {
  Shape shape = kind == IconKind::Information ? InformationShape()
                : kind == IconKind::Warning   ? WarningShape()
                                              : ErrorShape();
  for (int py = 0; py < kIconSize; ++py) {
    for (int px = 0; px < kIconSize; ++px) {
      if (!img.Contains(left + px, top + py)) continue;
      int covered = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          uint32_t c;
          if (!shape(px + (sx + 0.5) / 4, py + (sy + 0.5) / 4, &c)) continue;
          ++covered;
          r += (c >> 16) & 0xFF;
          g += (c >> 8) & 0xFF;
          b += c & 0xFF;
        }
      }
      if (!covered) continue;
      uint32_t &dst = img.Row(top + py)[left + px];
      int clear = 16 - covered;
      int nr = (r + int((dst >> 16) & 0xFF) * clear) / 16;
      int ng = (g + int((dst >> 8) & 0xFF) * clear) / 16;
      int nb = (b + int(dst & 0xFF) * clear) / 16;
      dst = uint32_t(nr << 16 | ng << 8 | nb);
    }
  }
}

// ---------------------------------------------------------------------------------
// The box's dialog procedure. The box's type is kept in its user data.
// ---------------------------------------------------------------------------------
INT_PTR CALLBACK MessageBoxProc(HWND box, UINT msg, WPARAM wParam, LPARAM) {
  UINT type = UINT(GetWindowLongPtrA(box, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(box, &ps);
      EndPaint(box, &ps);
      Window *w = GetWnd(box);
      IconKind kind = IconFor(type);
      if (w && kind != IconKind::None) {
        DrawIcon(w->client, kMargin, kMargin, kind);
        ClientChanged(w, MakeRect(kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize));
      }
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == IDCANCEL && !GetDlgItem(box, IDCANCEL)) {
        // Escape or the close box: a box with only OK answers OK; others stay open.
        if ((type & MB_TYPEMASK) == MB_OK) EndDialog(box, IDOK);
        return TRUE;
      }
      if (GetDlgItem(box, id)) EndDialog(box, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace
}  // namespace zp

using namespace zp;

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (hWnd && !GetWnd(hWnd)) {
    Thread().lastError = 1400;
    return 0;
  }
  const char *text = lpText ? lpText : "";
  const char *caption = lpCaption ? lpCaption : "Error";
  HFONT font = DefaultGuiFont();
  IconKind icon = IconFor(uType);
  std::vector<ButtonSpec> buttons = ButtonsFor(uType);

  // The text's extent, wrapped at three quarters of the screen's width.
  SIZE screen = Backend().ScreenSize();
  RECT textRect = MakeRect(0, 0, std::max<int>(100, int(screen.cx) * 3 / 4), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return 0;
  SelectObject(dc, font);
  DrawTextA(dc, text, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  DeleteDC(dc);
  int textW = textRect.right - textRect.left, textH = textRect.bottom - textRect.top;

  int textX = kMargin + (icon != IconKind::None ? kIconSize + kIconTextGap : 0);
  int textY = kMargin;
  int top = kMargin;
  if (icon != IconKind::None && textH < kIconSize) textY = kMargin + (kIconSize - textH) / 2;
  int contentBottom = std::max(textY + textH, icon != IconKind::None ? top + kIconSize : 0);
  int rowWidth = int(buttons.size()) * kButtonWidth + int(buttons.size() - 1) * kButtonGap;
  int clientW = std::max(textX + textW + kMargin, rowWidth + 2 * kMargin);
  int buttonY = contentBottom + kMargin;
  int clientH = buttonY + kButtonHeight + kMargin;

  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
  RECT frame = MakeRect(0, 0, clientW, clientH);
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int x = std::max(0, int(screen.cx - width) / 2), y = std::max(0, int(screen.cy - height) / 2);
  HWND box = MakeDialogWindow(kDialogClass, caption, style, 0,
                              MakeRect(x, y, x + width, y + height), hWnd, font, false, nullptr);
  if (!box) return 0;
  MarkMessageBox(box);
  SetWindowLongPtrA(box, GWLP_USERDATA, LONG_PTR(uType));
  // As on Windows, a box that cannot have its text and every button is not shown at all:
  // a box without its buttons could never be answered.
  bool whole = AddDialogControl(box, "STATIC", text, SS_LEFT | WS_VISIBLE | WS_GROUP, 0,
                                MakeRect(textX, textY, textX + textW, textY + textH), kTextId,
                                nullptr) != nullptr;
  int bx = (clientW - rowWidth) / 2;
  for (size_t i = 0; i < buttons.size() && whole; ++i) {
    DWORD bs = (i == 0 ? BS_DEFPUSHBUTTON | WS_GROUP : BS_PUSHBUTTON) | WS_TABSTOP | WS_VISIBLE;
    whole = AddDialogControl(box, "BUTTON", buttons[i].text, bs, 0,
                             MakeRect(bx, buttonY, bx + kButtonWidth, buttonY + kButtonHeight),
                             UINT(buttons[i].id), nullptr) != nullptr;
    bx += kButtonWidth + kButtonGap;
  }
  if (!whole) {
    DestroyWindow(box);
    return 0;
  }
  return int(RunModalDialog(box, hWnd, MessageBoxProc, 0));
}
