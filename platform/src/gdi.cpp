// GDI: device contexts, bitmaps, brushes, pens, and the drawing calls.
//
// A window DC draws on the window's own client pixels, a memory DC on the image of the
// bitmap selected into it. Every operation is clipped to that image (and to a paint DC's
// rectangle) before a pixel is touched, and reports what it changed through DrawnOn, so
// what is drawn on a window shows at once. Coordinates from callers may be anything:
// extents are computed in 64 bits and clipped before use.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "backend.h"
#include "internal.h"

namespace zp {
namespace {

// The largest bitmap we agree to make (either side, and in pixels overall).
constexpr int kMaxBitmapSide = 32767;
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;

// Raster operations that read a pattern only (no source).
constexpr DWORD kPatInvert = 0x005A0049;
constexpr DWORD kDstInvert = 0x00550009;
constexpr UINT kDrawTextBottom = 0x0008;  // DT_BOTTOM
constexpr UINT kDrawTextNoClip = 0x0100;  // DT_NOCLIP

// ---------------------------------------------------------------------------------
// Stock objects: made on first use, remade if a reset of the layer took them away.
// ---------------------------------------------------------------------------------
HGDIOBJ g_stock[DEFAULT_GUI_FONT + 1] = {};
HBITMAP g_defaultBitmap = nullptr;

HGDIOBJ MakeStockBrush(uint32_t pixel, bool hollow) {
  auto b = std::make_unique<Brush>();
  b->pixel = pixel;
  b->hollow = hollow;
  b->stock = true;
  return NewHandle(Kind::Brush, std::move(b));
}

HGDIOBJ MakeStockPen(uint32_t pixel, bool null) {
  auto p = std::make_unique<Pen>();
  p->pixel = pixel;
  p->null = null;
  p->stock = true;
  return NewHandle(Kind::Pen, std::move(p));
}

HGDIOBJ MakeStockFont(int height, int weight) {
  auto f = std::make_unique<Font>();
  f->height = height;
  f->weight = weight;
  f->pitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  f->face = "MS Sans Serif";
  f->stock = true;
  return NewHandle(Kind::Font, std::move(f));
}

HGDIOBJ Stock(int i) {
  if (i < 0 || i > DEFAULT_GUI_FONT) return nullptr;
  if (g_stock[i] && KindOf(g_stock[i]) != Kind::None) return g_stock[i];
  HGDIOBJ h = nullptr;
  switch (i) {
    case WHITE_BRUSH:
      h = MakeStockBrush(0xFFFFFF, false);
      break;
    case LTGRAY_BRUSH:
      h = MakeStockBrush(0xC0C0C0, false);
      break;
    case GRAY_BRUSH:
      h = MakeStockBrush(0x808080, false);
      break;
    case DKGRAY_BRUSH:
      h = MakeStockBrush(0x404040, false);
      break;
    case BLACK_BRUSH:
      h = MakeStockBrush(0x000000, false);
      break;
    case NULL_BRUSH:
      h = MakeStockBrush(0, true);
      break;
    case WHITE_PEN:
      h = MakeStockPen(0xFFFFFF, false);
      break;
    case BLACK_PEN:
      h = MakeStockPen(0x000000, false);
      break;
    case NULL_PEN:
      h = MakeStockPen(0, true);
      break;
    // The system font: a bold sans face with a 16-pixel cell; the GUI font: 8 points.
    case SYSTEM_FONT:
      h = MakeStockFont(16, FW_BOLD);
      break;
    case DEFAULT_GUI_FONT:
      h = MakeStockFont(-11, FW_NORMAL);
      break;
    default:
      return nullptr;
  }
  g_stock[i] = h;
  return h;
}

// The 1x1 bitmap a new memory DC starts with, shared by all of them.
HBITMAP DefaultBitmap() {
  if (g_defaultBitmap && As<Bitmap>(g_defaultBitmap)) return g_defaultBitmap;
  auto b = std::make_unique<Bitmap>();
  b->img.Resize(1, 1, 0);
  b->stock = true;
  g_defaultBitmap = static_cast<HBITMAP>(NewHandle(Kind::Bitmap, std::move(b)));
  return g_defaultBitmap;
}

bool IsStock(HGDIOBJ h) {
  if (auto *b = As<Brush>(h)) return b->stock;
  if (auto *p = As<Pen>(h)) return p->stock;
  if (auto *f = As<Font>(h)) return f->stock;
  if (auto *bm = As<Bitmap>(h)) return bm->stock;
  return false;
}

bool SelectedAnywhere(HGDIOBJ h, HDC except = nullptr) {
  for (void *d : HandlesOf(Kind::DC)) {
    DC *dc = As<DC>(d);
    if (d != except && dc && (dc->bitmap == h || dc->brush == h || dc->pen == h || dc->font == h)) {
      return true;
    }
  }
  return false;
}

// Objects deleted while selected into a DC: they live on until nothing holds them.
std::vector<HGDIOBJ> g_deletePending;

// Called when `hdc` lets go of `h` (it selected another object, or the DC goes away).
void Deselected(HGDIOBJ h, HDC hdc) {
  auto it = std::find(g_deletePending.begin(), g_deletePending.end(), h);
  if (it == g_deletePending.end() || SelectedAnywhere(h, hdc)) return;
  g_deletePending.erase(it);
  FreeHandle(h);
}

// A DC is going away: what it holds is released.
void FreeDC(HDC hdc) {
  DC *dc = As<DC>(hdc);
  if (!dc) return;
  if (Bitmap *b = As<Bitmap>(dc->bitmap); b && b->selectedInto == hdc) b->selectedInto = nullptr;
  HGDIOBJ held[] = {dc->bitmap, dc->brush, dc->pen, dc->font};
  for (HGDIOBJ h : held) Deselected(h, hdc);
  FreeHandle(hdc);
}

HDC NewDC(bool memory, HWND hwnd, const RECT *clip) {
  auto dc = std::make_unique<DC>();
  dc->memory = memory;
  dc->hwnd = hwnd;
  if (clip) {
    dc->clip = *clip;
    dc->hasClip = true;
    dc->paintDC = true;
  }
  if (memory) {
    dc->defaultBitmap = DefaultBitmap();
    dc->bitmap = dc->defaultBitmap;
  }
  dc->brush = static_cast<HBRUSH>(Stock(WHITE_BRUSH));
  dc->pen = static_cast<HPEN>(Stock(BLACK_PEN));
  dc->font = static_cast<HFONT>(Stock(SYSTEM_FONT));
  return static_cast<HDC>(NewHandle(Kind::DC, std::move(dc)));
}

// The objects selected into a DC, falling back to the defaults should one have gone.
Brush *DcBrush(DC *dc) {
  Brush *b = As<Brush>(dc->brush);
  return b ? b : As<Brush>(Stock(WHITE_BRUSH));
}
Pen *DcPen(DC *dc) {
  Pen *p = As<Pen>(dc->pen);
  return p ? p : As<Pen>(Stock(BLACK_PEN));
}
HFONT DcFont(DC *dc) {
  return As<Font>(dc->font) ? dc->font : static_cast<HFONT>(Stock(SYSTEM_FONT));
}

// What a drawing call draws on.
struct Target {
  DC *dc = nullptr;
  Image *img = nullptr;
  RECT allowed{};
};

bool GetTarget(HDC hdc, Target &t) {
  t.dc = As<DC>(hdc);
  if (!t.dc) return false;
  t.img = TargetImage(t.dc, &t.allowed);
  return t.img != nullptr;
}

void Changed(const Target &t, const RECT &r) {
  RECT c = RectIntersect(r, t.allowed);
  if (!RectEmpty(c)) DrawnOn(t.dc, c);
}

// The text kept with what a DC draws on; null when nothing can be drawn there.
TextRuns *TextsOf(DC *dc, const RECT &allowed) {
  if (!dc || RectEmpty(allowed)) return nullptr;
  if (dc->memory) {
    Bitmap *b = As<Bitmap>(dc->bitmap);
    return b && !b->stock ? &b->texts : nullptr;
  }
  Window *w = GetWnd(dc->hwnd);
  return w ? &w->texts : nullptr;
}

// The text on a window changed: the back end may read it.
void TextsChanged(const Target &t) {
  if (!t.dc->memory) Backend().TextChanged(t.dc->hwnd);
}

// Drawing over `area` (clipped) hides the text whose middle lies there.
void Covered(const Target &t, const RECT &area) {
  TextRuns *runs = TextsOf(t.dc, t.allowed);
  if (!runs || RectEmpty(area)) return;
  size_t before = runs->size();
  CoverTexts(*runs, area);
  if (runs->size() != before) TextsChanged(t);
}

int ClampInt(int64_t v) {
  return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// The rectangle at (x, y) of size w x h, with 64-bit corners clamped into int.
RECT ExtentRect(int64_t x, int64_t y, int64_t w, int64_t h) {
  return MakeRect(ClampInt(x), ClampInt(y), ClampInt(x + w), ClampInt(y + h));
}

// A block given by a corner and signed extents. A negative extent runs back from the
// corner and, as on Windows, includes the corner's own row or column:
// x = 5, w = -3 covers columns 3, 4 and 5.
RECT SignedExtentRect(int64_t x, int64_t y, int64_t w, int64_t h) {
  if (w < 0) x += w + 1, w = -w;
  if (h < 0) y += h + 1, h = -h;
  return ExtentRect(x, y, w, h);
}

RECT Normalized(RECT r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

// Applies a raster operation that needs no source to r (already clipped).
void PatternFill(Image &img, const RECT &r, DWORD rop, const Brush *brush) {
  if (RectEmpty(r)) return;
  switch (rop) {
    case BLACKNESS:
      FillImage(img, r, 0x000000);
      break;
    case WHITENESS:
      FillImage(img, r, 0xFFFFFF);
      break;
    case PATCOPY:
      if (brush && !brush->hollow) FillImage(img, r, brush->pixel);
      break;
    case kPatInvert:
    case kDstInvert: {
      uint32_t mask = rop == kDstInvert ? 0xFFFFFF : (brush && !brush->hollow ? brush->pixel : 0);
      for (int y = r.top; y < r.bottom; ++y) {
        uint32_t *row = img.Row(y);
        for (int x = r.left; x < r.right; ++x) row[x] ^= mask;
      }
      break;
    }
    default:
      break;
  }
}

bool IsPatternRop(DWORD rop) {
  return rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS || rop == kPatInvert ||
         rop == kDstInvert;
}

BOOL PatternBlt(HDC hdc, int64_t x, int64_t y, int64_t w, int64_t h, DWORD rop) {
  Target t;
  if (!GetTarget(hdc, t) || !IsPatternRop(rop)) return FALSE;
  RECT r = RectIntersect(SignedExtentRect(x, y, w, h), t.allowed);
  PatternFill(*t.img, r, rop, DcBrush(t.dc));
  if (rop != kDstInvert) Covered(t, r);  // inverted text can still be read
  Changed(t, r);
  return TRUE;
}

// Plots one point of a line with the pen's width, inside `allowed`.
void PlotPen(Image &img, const RECT &allowed, int64_t x, int64_t y, int width, uint32_t pixel,
             RECT &changed) {
  if (width <= 1) {
    if (x >= allowed.left && x < allowed.right && y >= allowed.top && y < allowed.bottom) {
      img.Row(int(y))[x] = pixel;
      changed = RectUnion(changed, MakeRect(int(x), int(y), int(x) + 1, int(y) + 1));
    }
    return;
  }
  // A wide pen is a round nib: the offsets of a width x width square (centred between
  // pixels for an even width) that lie within the nib's circle.
  const int lo = -(width / 2), hi = lo + width;
  const double centre = width % 2 ? 0.0 : 0.5;
  const double limit = width * width / 4.0 - 0.5;
  for (int oy = lo; oy < hi; ++oy) {
    for (int ox = lo; ox < hi; ++ox) {
      double fx = ox + centre, fy = oy + centre;
      if (fx * fx + fy * fy > limit) continue;
      int64_t px = x + ox, py = y + oy;
      if (px < allowed.left || px >= allowed.right || py < allowed.top || py >= allowed.bottom) {
        continue;
      }
      img.Row(int(py))[px] = pixel;
      changed = RectUnion(changed, MakeRect(int(px), int(py), int(px) + 1, int(py) + 1));
    }
  }
}

// Draws the line from (x0, y0) towards (x1, y1), leaving out (x1, y1), as Windows does
// for a thin pen (a wide one rounds off both ends, so it reaches the end point):
// one pixel per step along the longer axis, the other coordinate the nearest to the ideal
// line, a tie going to the smaller coordinate whichever way the line runs. Only the steps
// that can reach `allowed` are walked, so a line with far-away ends costs no more than one
// across the image.
RECT DrawLine(Image &img, const RECT &allowed, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
              int width, uint32_t pixel) {
  RECT changed{};
  int64_t dx = x1 - x0, dy = y1 - y0;
  int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  bool xMajor = adx >= ady;
  int64_t steps = xMajor ? adx : ady;  // the end point itself is step `steps`, not drawn
  if (steps == 0 && width <= 1) return changed;
  int64_t major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
  int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
  int64_t minorLen = xMajor ? ady : adx;
  // The steps whose major coordinate lies within the allowed band (widened by the pen).
  int64_t lo = (xMajor ? allowed.left : allowed.top) - width;
  int64_t hi = (xMajor ? allowed.right : allowed.bottom) + width;
  int64_t first, last;  // inclusive range of step numbers
  if (majorSign > 0) {
    first = lo - major0;
    last = hi - major0;
  } else {
    first = major0 - hi;
    last = major0 - lo;
  }
  first = std::max<int64_t>(first, 0);
  last = std::min<int64_t>(last, width <= 1 ? steps - 1 : steps);
  for (int64_t i = first; i <= last; ++i) {
    // Nearest minor offset to i * minorLen / steps; a half rounds towards the smaller
    // coordinate: down when the line climbs, up (further along) when it falls.
    __int128 num = __int128(2) * i * minorLen + (minorSign > 0 ? steps - 1 : steps);
    int64_t off = steps ? int64_t(num / (__int128(2) * steps)) : 0;
    int64_t major = major0 + majorSign * i;
    int64_t minor = minor0 + minorSign * off;
    if (xMajor) {
      PlotPen(img, allowed, major, minor, width, pixel, changed);
    } else {
      PlotPen(img, allowed, minor, major, width, pixel, changed);
    }
  }
  return changed;
}

// Length of a caller's string: at most `count` bytes, and never past its terminating zero.
int SafeLength(const char *s, int64_t count) {
  if (!s || count <= 0) return 0;
  return int(strnlen(s, size_t(std::min<int64_t>(count, INT_MAX))));
}

// Text drawn by TextOutA, ExtTextOutA and DrawTextA: the opaque rectangle, the text cell's
// background in OPAQUE mode, then the glyphs, all limited to `clip`.
void DrawTextCell(const Target &t, RECT clip, int x, int y, const char *s, int len, const INT *dx,
                  RECT &changed, RECT *cell = nullptr) {
  HFONT font = DcFont(t.dc);
  int64_t width = 0;
  if (dx) {
    for (int i = 0; i < len; ++i) width += dx[i];
  } else {
    width = MeasureText(font, s, len).cx;
  }
  int height = FontLineHeight(font);
  RECT box = ExtentRect(x, y, width, height);
  if (cell) *cell = box;
  if (t.dc->bkMode == OPAQUE) {
    RECT r = RectIntersect(box, clip);
    FillImage(*t.img, r, PixelFromColorRef(t.dc->bkColor));
    changed = RectUnion(changed, r);
  }
  uint32_t pixel = PixelFromColorRef(t.dc->textColor);
  if (dx) {
    int64_t pen = x;
    for (int i = 0; i < len; ++i) {
      DrawTextRun(*t.img, clip, font, ClampInt(pen), y, s + i, 1, pixel);
      pen += dx[i];
    }
  } else {
    DrawTextRun(*t.img, clip, font, x, y, s, len, pixel);
  }
  // Slanted glyphs reach a little beyond their cell on either side.
  RECT ink = box;
  InflateRect(&ink, height / 2 + 1, 0);
  changed = RectUnion(changed, RectIntersect(ink, clip));
}

// ---------------------------------------------------------------------------------
// DrawTextA's layout: '&' prefixes, line feeds and word breaks.
// ---------------------------------------------------------------------------------
struct TextLine {
  std::string text;
  int underline = -1;  // index of the character marked by '&'
};

std::vector<TextLine> LayoutText(HFONT font, const char *s, int len, UINT format, int maxWidth) {
  // Remove the prefixes first: "&&" is a literal '&', "&x" underlines x.
  std::string text;
  std::vector<bool> marked;
  for (int i = 0; i < len; ++i) {
    char c = s[i];
    if (c == '&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < len && s[i + 1] == '&') {
        ++i;
      } else {
        if (i + 1 < len) marked.resize(text.size() + 1, false), marked[text.size()] = true;
        continue;
      }
    }
    text += c;
  }
  marked.resize(text.size(), false);

  std::vector<TextLine> lines;
  auto emit = [&](size_t begin, size_t end) {
    TextLine line;
    line.text = text.substr(begin, end - begin);
    for (size_t i = begin; i < end; ++i) {
      if (marked[i]) line.underline = int(i - begin);
    }
    lines.push_back(std::move(line));
  };
  if (format & DT_SINGLELINE) {
    std::string flat;
    std::vector<bool> flatMarked;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') continue;
      flat += text[i];
      flatMarked.push_back(marked[i]);
    }
    text = flat;
    marked = flatMarked;
    emit(0, text.size());
    return lines;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    // One paragraph [start, end): break it at spaces when it is wider than the rectangle.
    size_t lineStart = start;
    while (format & DT_WORDBREAK) {
      // Widths add up (no kerning), so the line's width grows word by word.
      size_t fit = lineStart, pos = lineStart;
      int64_t width = 0;
      while (pos < end) {
        size_t wordEnd = pos;
        while (wordEnd < end && text[wordEnd] == ' ') ++wordEnd;
        while (wordEnd < end && text[wordEnd] != ' ') ++wordEnd;
        int64_t wordWidth = MeasureText(font, text.data() + pos, int(wordEnd - pos)).cx;
        if (width + wordWidth > maxWidth && fit > lineStart) break;
        width += wordWidth;
        fit = pos = wordEnd;
      }
      if (pos >= end) break;
      size_t lineEnd = fit;
      while (lineEnd > lineStart && text[lineEnd - 1] == ' ') --lineEnd;
      emit(lineStart, lineEnd);
      lineStart = fit;
      while (lineStart < end && text[lineStart] == ' ') ++lineStart;
      if (lineStart == end) break;
    }
    if (lineStart < end || lineStart == start) emit(lineStart, end);
    if (end >= text.size()) break;
    // "\r\n" is one line break.
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    if (start == text.size()) break;
  }
  return lines;
}

}  // namespace

Image *TargetImage(DC *dc, RECT *allowed) {
  if (!dc) return nullptr;
  Image *img = nullptr;
  if (dc->memory) {
    Bitmap *b = As<Bitmap>(dc->bitmap);
    if (b) img = &b->img;
  } else if (Window *w = GetWnd(dc->hwnd)) {
    img = &w->client;
  }
  if (img && allowed) {
    *allowed = MakeRect(0, 0, img->w, img->h);
    if (dc->hasClip) *allowed = RectIntersect(*allowed, dc->clip);
    if (!Backend().DrawsPixels()) *allowed = RECT{};  // every drawing call is clipped away
  }
  return img;
}

HDC MakeWindowDC(HWND hwnd, const RECT *clip) {
  if (!GetWnd(hwnd)) return nullptr;
  return NewDC(false, hwnd, clip);
}

HFONT DefaultGuiFont() {
  return static_cast<HFONT>(Stock(DEFAULT_GUI_FONT));
}

}  // namespace zp

using namespace zp;

extern "C" {

// ---------------------------------------------------------------------------------
// Device contexts
// ---------------------------------------------------------------------------------
HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd && !GetWnd(hWnd)) return nullptr;
  if (ShouldFail(FailPoint::CreateDC)) return nullptr;
  if (!hWnd) return NewDC(false, nullptr, nullptr);  // the screen: nothing to draw on
  return MakeWindowDC(hWnd, nullptr);
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
  DC *dc = As<DC>(hDC);
  if (!dc || dc->memory) return 0;
  FreeDC(hDC);
  return 1;
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  if (hdc && !As<DC>(hdc)) return nullptr;
  if (ShouldFail(FailPoint::CreateDC)) return nullptr;
  return NewDC(true, nullptr, nullptr);
}

BOOL WINAPI DeleteDC(HDC hdc) {
  if (!As<DC>(hdc)) return FALSE;
  FreeDC(hdc);
  return TRUE;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  if (!As<DC>(hdc) || cx < 0 || cy < 0) return nullptr;
  if (ShouldFail(FailPoint::CreateBitmap)) return nullptr;
  if (cx == 0 || cy == 0) return DefaultBitmap();
  if (cx > kMaxBitmapSide || cy > kMaxBitmapSide || int64_t(cx) * cy > kMaxBitmapPixels) {
    return nullptr;
  }
  auto b = std::make_unique<Bitmap>();
  try {
    b->img.Resize(cx, cy, 0);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  return static_cast<HBITMAP>(NewHandle(Kind::Bitmap, std::move(b)));
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  DC *dc = As<DC>(hdc);
  if (!dc) return nullptr;
  switch (KindOf(h)) {
    case Kind::Bitmap: {
      Bitmap *b = As<Bitmap>(h);
      if (!dc->memory) return nullptr;  // only memory DCs take bitmaps
      HBITMAP old = dc->bitmap;
      if (old == h) return old;
      // A bitmap lives in one DC at a time (the shared default bitmap excepted).
      if (!b->stock && b->selectedInto) {
        DC *other = As<DC>(b->selectedInto);
        if (other && other->bitmap == h) return nullptr;
      }
      if (Bitmap *ob = As<Bitmap>(old); ob && ob->selectedInto == hdc) ob->selectedInto = nullptr;
      dc->bitmap = static_cast<HBITMAP>(h);
      if (!b->stock) b->selectedInto = hdc;
      Deselected(old, hdc);
      return old;
    }
    case Kind::Brush: {
      HGDIOBJ old = dc->brush;
      dc->brush = static_cast<HBRUSH>(h);
      if (old != h) Deselected(old, hdc);
      return old;
    }
    case Kind::Pen: {
      HGDIOBJ old = dc->pen;
      dc->pen = static_cast<HPEN>(h);
      if (old != h) Deselected(old, hdc);
      return old;
    }
    case Kind::Font: {
      HGDIOBJ old = dc->font;
      dc->font = static_cast<HFONT>(h);
      if (old != h) Deselected(old, hdc);
      return old;
    }
    default:
      return nullptr;
  }
}

// As on Windows: stock objects ignore deletion. An object still selected into a DC is not
// deleted yet: the call succeeds, the object keeps working in that DC, and it goes when
// the DC lets go of it (another object selected, or the DC deleted or released).
BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  switch (KindOf(ho)) {
    case Kind::Bitmap:
    case Kind::Brush:
    case Kind::Pen:
    case Kind::Font:
      break;
    default:
      return FALSE;
  }
  if (IsStock(ho)) return TRUE;
  if (SelectedAnywhere(ho)) {
    std::erase_if(g_deletePending, [](HGDIOBJ h) { return KindOf(h) == Kind::None; });
    if (std::find(g_deletePending.begin(), g_deletePending.end(), ho) == g_deletePending.end()) {
      g_deletePending.push_back(ho);
    }
    return TRUE;
  }
  return FreeHandle(ho) ? TRUE : FALSE;
}

HGDIOBJ WINAPI GetStockObject(int i) {
  return Stock(i);
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  if (Bitmap *b = As<Bitmap>(h)) {
    if (!pv) return int(sizeof(BITMAP));
    if (c <= 0) return 0;
    BITMAP bm{};
    bm.bmWidth = b->img.w;
    bm.bmHeight = b->img.h;
    bm.bmWidthBytes = b->img.w * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    int n = std::min<int>(c, int(sizeof bm));
    std::memcpy(pv, &bm, size_t(n));
    return n;
  }
  if (Brush *b = As<Brush>(h)) {
    if (!pv) return int(sizeof(LOGBRUSH));
    if (c <= 0) return 0;
    LOGBRUSH lb{};
    lb.lbStyle = b->hollow ? BS_NULL : BS_SOLID;
    lb.lbColor = b->hollow ? 0 : ColorRefFromPixel(b->pixel);
    int n = std::min<int>(c, int(sizeof lb));
    std::memcpy(pv, &lb, size_t(n));
    return n;
  }
  return 0;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
  switch (KindOf(h)) {
    case Kind::DC:
      return As<DC>(h)->memory ? OBJ_MEMDC : OBJ_DC;
    case Kind::Bitmap:
      return OBJ_BITMAP;
    case Kind::Brush:
      return OBJ_BRUSH;
    case Kind::Pen:
      return OBJ_PEN;
    case Kind::Font:
      return OBJ_FONT;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------
// Brushes and pens
// ---------------------------------------------------------------------------------
HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH *plbrush) {
  if (!plbrush) return nullptr;
  auto b = std::make_unique<Brush>();
  switch (plbrush->lbStyle) {
    case BS_SOLID:
    case 2:  // BS_HATCHED: drawn in its colour, without the hatch
      b->pixel = PixelFromColorRef(plbrush->lbColor);
      break;
    case BS_NULL:
      b->hollow = true;
      break;
    default:
      return nullptr;
  }
  return static_cast<HBRUSH>(NewHandle(Kind::Brush, std::move(b)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  LOGBRUSH lb{BS_SOLID, color, 0};
  return CreateBrushIndirect(&lb);
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
  // Dashed and dotted styles (1..4) and the inside frame (6) are drawn solid.
  if (iStyle < PS_SOLID || iStyle > 6) return nullptr;
  auto p = std::make_unique<Pen>();
  p->null = iStyle == PS_NULL;
  p->width = std::clamp(cWidth, 1, 256);
  p->pixel = PixelFromColorRef(color);
  return static_cast<HPEN>(NewHandle(Kind::Pen, std::move(p)));
}

// ---------------------------------------------------------------------------------
// Blocks of pixels
// ---------------------------------------------------------------------------------
// Nothing waits to be carried out: every drawing call is done when it returns.
BOOL WINAPI GdiFlush(void) {
  return TRUE;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  if (IsPatternRop(rop)) return PatternBlt(hdc, x, y, cx, cy, rop);
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCPAINT && rop != SRCINVERT) return FALSE;
  Target t;
  if (!GetTarget(hdc, t)) return FALSE;
  DC *sdc = As<DC>(hdcSrc);
  RECT srcBounds{};
  Image *src = sdc ? TargetImage(sdc, nullptr) : nullptr;
  if (!src) return FALSE;
  srcBounds = MakeRect(0, 0, src->w, src->h);
  if (cx <= 0 || cy <= 0) return TRUE;

  // Clip the destination, then the matching source block, then bring the source's
  // clipping back to the destination.
  RECT d = RectIntersect(ExtentRect(x, y, cx, cy), t.allowed);
  if (RectEmpty(d)) return TRUE;
  int64_t offX = int64_t(x1) - x, offY = int64_t(y1) - y;
  RECT s = RectIntersect(
      ExtentRect(d.left + offX, d.top + offY, int64_t(d.right) - d.left, int64_t(d.bottom) - d.top),
      srcBounds);
  if (RectEmpty(s)) return TRUE;
  d = ExtentRect(s.left - offX, s.top - offY, int64_t(s.right) - s.left, int64_t(s.bottom) - s.top);
  int w = d.right - d.left, h = d.bottom - d.top;
  if (TextsOf(t.dc, t.allowed)) {
    // The text goes with the pixels (a block of a picture that shows text, or a repaint).
    static const TextRuns kNone;
    const TextRuns *from = TextsOf(sdc, srcBounds);
    CopyTexts(*TextsOf(t.dc, t.allowed), POINT{d.left, d.top}, from ? *from : kNone, s);
    TextsChanged(t);
  }

  if (rop == SRCCOPY) {
    CopyImage(*t.img, d.left, d.top, *src, s.left, s.top, w, h);
  } else {
    // Read the source first when it is the same image, so overlapping blocks work.
    Image copy;
    const Image *from = src;
    int fx = s.left, fy = s.top;
    if (src == t.img) {
      copy.Resize(w, h);
      CopyImage(copy, 0, 0, *src, s.left, s.top, w, h);
      from = &copy;
      fx = fy = 0;
    }
    for (int row = 0; row < h; ++row) {
      uint32_t *dp = t.img->Row(d.top + row) + d.left;
      const uint32_t *sp = from->Row(fy + row) + fx;
      switch (rop) {
        case SRCAND:
          for (int i = 0; i < w; ++i) dp[i] &= sp[i];
          break;
        case SRCPAINT:
          for (int i = 0; i < w; ++i) dp[i] |= sp[i];
          break;
        default:  // SRCINVERT
          for (int i = 0; i < w; ++i) dp[i] ^= sp[i];
          break;
      }
    }
  }
  Changed(t, d);
  return TRUE;
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  return PatternBlt(hdc, x, y, w, h, rop);
}

int WINAPI FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr) {
  Target t;
  if (!lprc || !GetTarget(hDC, t)) return 0;
  uint32_t pixel;
  auto value = reinterpret_cast<uintptr_t>(hbr);
  if (value > 0 && value <= 32) {  // a system colour index + 1, as class backgrounds use
    pixel = PixelFromColorRef(GetSysColor(int(value) - 1));
  } else if (Brush *b = As<Brush>(hbr)) {
    if (b->hollow) return 1;
    pixel = b->pixel;
  } else {
    return 0;
  }
  RECT r = RectIntersect(*lprc, t.allowed);
  FillImage(*t.img, r, pixel);
  Covered(t, r);
  Changed(t, r);
  return 1;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Target t;
  if (!GetTarget(hdc, t)) return FALSE;
  RECT r = Normalized(MakeRect(left, top, right, bottom));
  Pen *pen = DcPen(t.dc);
  Brush *brush = DcBrush(t.dc);
  // The right and bottom edges lie outside; without a pen the fill is one pixel smaller
  // still, as on Windows.
  RECT changed{};
  if (pen->null) {
    RECT inner = RectIntersect(
        MakeRect(r.left, r.top, ClampInt(int64_t(r.right) - 1), ClampInt(int64_t(r.bottom) - 1)),
        t.allowed);
    if (!brush->hollow) {
      FillImage(*t.img, inner, brush->pixel);
      Covered(t, inner);
      changed = inner;
    }
  } else {
    int pw = pen->width;
    RECT inner =
        RectIntersect(MakeRect(ClampInt(int64_t(r.left) + pw), ClampInt(int64_t(r.top) + pw),
                               ClampInt(int64_t(r.right) - pw), ClampInt(int64_t(r.bottom) - pw)),
                      t.allowed);
    if (!brush->hollow) FillImage(*t.img, inner, brush->pixel);
    RECT outer = RectIntersect(r, t.allowed);
    Covered(t, brush->hollow ? RECT{} : outer);
    RECT edges[4] = {
        MakeRect(r.left, r.top, r.right, ClampInt(int64_t(r.top) + pw)),
        MakeRect(r.left, ClampInt(int64_t(r.bottom) - pw), r.right, r.bottom),
        MakeRect(r.left, r.top, ClampInt(int64_t(r.left) + pw), r.bottom),
        MakeRect(ClampInt(int64_t(r.right) - pw), r.top, r.right, r.bottom),
    };
    for (RECT &e : edges) FillImage(*t.img, RectIntersect(e, t.allowed), pen->pixel);
    changed = outer;
  }
  Changed(t, changed);
  return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
  DC *dc = As<DC>(hdc);
  if (!dc) return FALSE;
  if (lppt) *lppt = dc->pos;
  dc->pos = POINT{x, y};
  return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
  Target t;
  if (!GetTarget(hdc, t)) return FALSE;
  Pen *pen = DcPen(t.dc);
  POINT from = t.dc->pos;
  t.dc->pos = POINT{x, y};
  if (pen->null) return TRUE;
  RECT changed = DrawLine(*t.img, t.allowed, from.x, from.y, x, y, pen->width, pen->pixel);
  Changed(t, changed);
  return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Target t;
  if (!GetTarget(hdc, t)) return CLR_INVALID;
  if (!PtInRect(&t.allowed, POINT{x, y})) return CLR_INVALID;
  t.img->Row(y)[x] = PixelFromColorRef(color);
  Changed(t, MakeRect(x, y, x + 1, y + 1));
  return color & 0xFFFFFF;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  Target t;
  if (!GetTarget(hdc, t)) return CLR_INVALID;
  if (!PtInRect(&t.allowed, POINT{x, y})) return CLR_INVALID;
  return ColorRefFromPixel(t.img->At(x, y));
}

// ---------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  DC *dc = As<DC>(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->textColor;
  dc->textColor = color;
  return old;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  DC *dc = As<DC>(hdc);
  return dc ? dc->textColor : CLR_INVALID;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  DC *dc = As<DC>(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->bkColor;
  dc->bkColor = color;
  return old;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  DC *dc = As<DC>(hdc);
  return dc ? dc->bkColor : CLR_INVALID;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  DC *dc = As<DC>(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

int WINAPI GetBkMode(HDC hdc) {
  DC *dc = As<DC>(hdc);
  return dc ? dc->bkMode : 0;
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int, int, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD iPitchAndFamily,
                         LPCSTR pszFaceName) {
  auto f = std::make_unique<Font>();
  // Heights beyond any screen are cut down to something a rasteriser can make.
  f->height = std::clamp(cHeight, -2048, 2048);
  f->width = std::clamp(cWidth, 0, 2048);
  f->weight = std::clamp(cWeight, 0, 1000);
  f->italic = bItalic != 0;
  f->underline = bUnderline != 0;
  f->pitchAndFamily = int(iPitchAndFamily & 0xFF);
  if (pszFaceName) f->face.assign(pszFaceName, strnlen(pszFaceName, 31));  // LF_FACESIZE - 1
  return static_cast<HFONT>(NewHandle(Kind::Font, std::move(f)));
}

BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCSTR lpString,
                        UINT c, const INT *lpDx) {
  Target t;
  if (!GetTarget(hdc, t)) return FALSE;
  if (c > 0 && !lpString) return FALSE;
  int len = SafeLength(lpString, c);
  RECT changed{};
  RECT clip = t.allowed;
  RECT owned{};  // the cell the text owns: the rectangle it comes with, or its line
  if (lprect) {
    RECT r = Normalized(*lprect);
    if (options & ETO_OPAQUE) {
      RECT fill = RectIntersect(r, t.allowed);
      FillImage(*t.img, fill, PixelFromColorRef(t.dc->bkColor));
      Covered(t, fill);
      changed = fill;
    }
    if (options & ETO_CLIPPED) clip = RectIntersect(clip, r);
    if (options & (ETO_OPAQUE | ETO_CLIPPED)) owned = RectIntersect(r, t.allowed);
  }
  if (len > 0) {
    RECT cell{};
    DrawTextCell(t, clip, x, y, lpString, len, lpDx, changed, &cell);
    if (TextsOf(t.dc, t.allowed)) {
      AddText(*TextsOf(t.dc, t.allowed), RectEmpty(owned) ? RectIntersect(cell, clip) : owned,
              lpString, len, PixelFromColorRef(t.dc->textColor));
      TextsChanged(t);
    }
  }
  Changed(t, changed);
  return TRUE;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  if (c < 0) return FALSE;
  return ExtTextOutA(hdc, x, y, 0, nullptr, lpString, UINT(c), nullptr);
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  DC *dc = As<DC>(hdc);
  if (!dc || !psizl || c < 0 || (c > 0 && !lpString)) return FALSE;
  *psizl = MeasureText(DcFont(dc), lpString, SafeLength(lpString, c));
  return TRUE;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
  DC *dc = As<DC>(hdc);
  if (!dc || !lptm) return FALSE;
  FontTextMetrics(DcFont(dc), lptm);
  return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  DC *dc = As<DC>(hdc);
  if (!dc || !lprc || (cchText != 0 && !lpchText)) return 0;
  // A negative count means a zero-terminated string.
  int len = cchText < 0 ? SafeLength(lpchText, INT_MAX) : SafeLength(lpchText, cchText);
  HFONT font = DcFont(dc);
  int lineHeight = FontLineHeight(font);
  RECT rect = *lprc;
  int64_t rectWidth = int64_t(rect.right) - rect.left;
  std::vector<TextLine> lines =
      LayoutText(font, lpchText, len, format, int(std::clamp<int64_t>(rectWidth, 0, INT_MAX)));

  int64_t total = int64_t(lineHeight) * int64_t(lines.size());
  int64_t top = rect.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = rect.top + (int64_t(rect.bottom) - rect.top - lineHeight) / 2;
    if (format & kDrawTextBottom) top = int64_t(rect.bottom) - lineHeight;
  }
  std::vector<int> widths;
  int maxWidth = 0;
  for (const TextLine &l : lines) {
    widths.push_back(MeasureText(font, l.text.data(), int(l.text.size())).cx);
    maxWidth = std::max(maxWidth, widths.back());
  }
  if (format & DT_CALCRECT) {
    // No text measures nothing, though the height of a line is still returned.
    lprc->right = ClampInt(int64_t(rect.left) + maxWidth);
    lprc->bottom = len == 0 ? rect.top : ClampInt(int64_t(rect.top) + total);
    return int(std::min<int64_t>(total, INT_MAX));
  }

  Target t;
  if (GetTarget(hdc, t)) {
    RECT clip = t.allowed;
    if (!(format & kDrawTextNoClip)) clip = RectIntersect(clip, rect);
    RECT changed{};
    TEXTMETRICA tm;
    FontTextMetrics(font, &tm);
    int64_t y = top;
    for (size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
      if (y > clip.bottom) break;
      const TextLine &l = lines[i];
      int64_t x = rect.left;
      if (format & DT_CENTER) {
        x = rect.left + (rectWidth - widths[i]) / 2;
      } else if (format & DT_RIGHT) {
        x = int64_t(rect.right) - widths[i];
      }
      int len2 = int(l.text.size());
      if (len2 > 0) {
        RECT cell{};
        DrawTextCell(t, clip, ClampInt(x), ClampInt(y), l.text.data(), len2, nullptr, changed,
                     &cell);
        if (TextsOf(t.dc, t.allowed)) {
          AddText(*TextsOf(t.dc, t.allowed), RectIntersect(cell, clip), l.text.data(), len2,
                  PixelFromColorRef(dc->textColor));
          TextsChanged(t);
        }
      }
      if (l.underline >= 0) {
        int64_t ux = x + MeasureText(font, l.text.data(), l.underline).cx;
        int uw = MeasureText(font, l.text.data() + l.underline, 1).cx;
        RECT u = RectIntersect(ExtentRect(ux, y + tm.tmAscent + 1, uw, 1), clip);
        FillImage(*t.img, u, PixelFromColorRef(dc->textColor));
        changed = RectUnion(changed, u);
      }
    }
    Changed(t, changed);
  }
  return int(std::clamp<int64_t>(top + total - rect.top, 0, INT_MAX));
}

}  // extern "C"
