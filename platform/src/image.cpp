// Pixel blocks and rectangles: the two primitives every drawing path ends in, and the
// public rectangle calls. Rectangles are half-open: right and bottom lie outside.
#include <algorithm>
#include <cstring>

#include "internal.h"

namespace zp {

RECT MakeRect(int left, int top, int right, int bottom) {
  RECT r;
  r.left = left;
  r.top = top;
  r.right = right;
  r.bottom = bottom;
  return r;
}

bool RectEmpty(const RECT &r) {
  return r.left >= r.right || r.top >= r.bottom;
}

RECT RectIntersect(const RECT &a, const RECT &b) {
  RECT r = MakeRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom));
  if (RectEmpty(r)) r = MakeRect(0, 0, 0, 0);
  return r;
}

RECT RectUnion(const RECT &a, const RECT &b) {
  if (RectEmpty(a)) return RectEmpty(b) ? MakeRect(0, 0, 0, 0) : b;
  if (RectEmpty(b)) return a;
  return MakeRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom));
}

void FillImage(Image &img, RECT r, uint32_t pixel) {
  r = RectIntersect(r, MakeRect(0, 0, img.w, img.h));
  if (RectEmpty(r)) return;
  for (int y = r.top; y < r.bottom; ++y) {
    std::fill(img.Row(y) + r.left, img.Row(y) + r.right, pixel);
  }
}

void CopyImage(Image &dst, int dx, int dy, const Image &src, int sx, int sy, int w, int h) {
  // Clip the block against the source, then against the destination, moving both corners
  // together so that every pixel lands where it would without clipping.
  // Wide arithmetic: the corners come straight from callers and may be anything.
  auto clipAxis = [](int64_t &d, int64_t &s, int64_t &len, int64_t srcLimit, int64_t dstLimit) {
    if (s < 0) {
      d -= s;
      len += s;
      s = 0;
    }
    if (d < 0) {
      s -= d;
      len += d;
      d = 0;
    }
    len = std::min(len, srcLimit - s);
    len = std::min(len, dstLimit - d);
  };
  int64_t dx64 = dx, sx64 = sx, w64 = w, dy64 = dy, sy64 = sy, h64 = h;
  clipAxis(dx64, sx64, w64, src.w, dst.w);
  clipAxis(dy64, sy64, h64, src.h, dst.h);
  if (w64 <= 0 || h64 <= 0) return;
  dx = int(dx64), sx = int(sx64), w = int(w64), dy = int(dy64), sy = int(sy64), h = int(h64);
  const size_t bytes = static_cast<size_t>(w) * sizeof(uint32_t);
  // Within one image the rows must be walked so that no row is overwritten before it is
  // read; memmove takes care of the overlap inside a row.
  if (&dst == &src && dy > sy) {
    for (int y = h - 1; y >= 0; --y)
      std::memmove(dst.Row(dy + y) + dx, src.Row(sy + y) + sx, bytes);
  } else {
    for (int y = 0; y < h; ++y) std::memmove(dst.Row(dy + y) + dx, src.Row(sy + y) + sx, bytes);
  }
}

}  // namespace zp

using namespace zp;

extern "C" {

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
  if (!lprc) return FALSE;
  *lprc = MakeRect(xLeft, yTop, xRight, yBottom);
  return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT lprc) {
  if (!lprc) return FALSE;
  *lprc = MakeRect(0, 0, 0, 0);
  return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT *lprc) {
  return !lprc || RectEmpty(*lprc);
}

BOOL WINAPI PtInRect(const RECT *lprc, POINT pt) {
  return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top &&
         pt.y < lprc->bottom;
}

BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2) {
  if (!lprcDst) return FALSE;
  if (!lprcSrc1 || !lprcSrc2) {
    *lprcDst = MakeRect(0, 0, 0, 0);
    return FALSE;
  }
  *lprcDst = RectIntersect(*lprcSrc1, *lprcSrc2);
  return !RectEmpty(*lprcDst);
}

BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2) {
  if (!lprcDst) return FALSE;
  RECT empty = MakeRect(0, 0, 0, 0);
  *lprcDst = RectUnion(lprcSrc1 ? *lprcSrc1 : empty, lprcSrc2 ? *lprcSrc2 : empty);
  return !RectEmpty(*lprcDst);
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left += dx;
  lprc->right += dx;
  lprc->top += dy;
  lprc->bottom += dy;
  return TRUE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left -= dx;
  lprc->right += dx;
  lprc->top -= dy;
  lprc->bottom += dy;
  return TRUE;
}

}  // extern "C"
