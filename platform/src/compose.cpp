// Presenting windows. Every window keeps its own client pixels; a top-level window's
// surface is composed from the layer's non-client parts (menu bar, dialog frame), its
// client pixels and those of its visible children, and handed to the back end, part by
// part as it changes. Drawing on a window DC is presented at once, so what is drawn
// during a pause is seen.
#include <algorithm>
#include <map>

#include "backend.h"
#include "internal.h"

namespace zp {
namespace {

struct PendingArea {
  bool dirty = false;
  RECT rect{};
};
std::map<HWND, PendingArea> g_pending;
std::map<HWND, Image> g_composed;
int g_holds = 0;

void ComposeChildren(Window *w, Image &out, POINT origin, RECT clip) {
  for (HWND h : w->children) {
    Window *c = GetWnd(h);
    if (!c || !c->Visible()) continue;
    POINT at{origin.x + c->rect.left, origin.y + c->rect.top};
    RECT bounds = RectIntersect(clip, MakeRect(at.x, at.y, at.x + (c->rect.right - c->rect.left),
                                               at.y + (c->rect.bottom - c->rect.top)));
    if (RectEmpty(bounds)) continue;
    Frame f = FrameOf(c->style, c->exStyle, false);
    if (f.border > 0) {
      // A plain border: one dark line, or the raised dialog frame.
      FillImage(out, bounds, f.border == 1 ? 0x000000 : 0xC0C0C0);
    }
    POINT clientAt{at.x + c->clientOffset.x, at.y + c->clientOffset.y};
    RECT clientBox = RectIntersect(
        bounds, MakeRect(clientAt.x, clientAt.y, clientAt.x + c->clientW, clientAt.y + c->clientH));
    if (!RectEmpty(clientBox)) {
      CopyImage(out, clientBox.left, clientBox.top, c->client, clientBox.left - clientAt.x,
                clientBox.top - clientAt.y, clientBox.right - clientBox.left,
                clientBox.bottom - clientBox.top);
    }
    ComposeChildren(c, out, clientAt, clientBox);
  }
}

void DrawRaisedFrame(Image &out, int width) {
  // The classic dialog frame: light outer edge, white, face, then shadow and dark edge.
  for (int i = 0; i < width && i < out.w / 2 && i < out.h / 2; ++i) {
    uint32_t tl = i == 0 ? 0xC0C0C0 : (i == 1 ? 0xFFFFFF : 0xC0C0C0);
    uint32_t br = i == 0 ? 0x000000 : (i == 1 ? 0x808080 : 0xC0C0C0);
    FillImage(out, MakeRect(i, i, out.w - i, i + 1), tl);
    FillImage(out, MakeRect(i, i, i + 1, out.h - i), tl);
    FillImage(out, MakeRect(i, out.h - i - 1, out.w - i, out.h - i), br);
    FillImage(out, MakeRect(out.w - i - 1, i, out.w - i, out.h - i), br);
  }
}

}  // namespace

void ComposeSurface(Window *top, Image &out, RECT part) {
  Frame f = FrameOf(top->style, top->exStyle, top->menu != nullptr);
  int width = top->rect.right - top->rect.left - f.left - f.right;
  int height = top->rect.bottom - top->rect.top - f.top - f.bottom;
  RECT whole = MakeRect(0, 0, width, height);
  if (out.w != width || out.h != height) {
    out.Resize(width, height, 0);
    part = whole;
  }
  part = RectIntersect(part, whole);
  if (RectEmpty(part)) return;
  bool onFrame = part.left < f.border || part.top < f.border || part.right > width - f.border ||
                 part.bottom > height - f.border;
  if (f.border > 1 && onFrame) DrawRaisedFrame(out, f.border);
  if (f.border == 1) FillImage(out, part, 0x000000);
  if (f.menu > 0) {
    RECT bar = MakeRect(f.border, f.border, width - f.border, f.border + f.menu);
    if (!RectEmpty(RectIntersect(bar, part))) DrawMenuBar(top, out, bar);
  }
  POINT clientAt{f.border, f.border + f.menu};
  RECT clientBox = RectIntersect(
      part, MakeRect(clientAt.x, clientAt.y, clientAt.x + top->clientW, clientAt.y + top->clientH));
  if (RectEmpty(clientBox)) return;
  CopyImage(out, clientBox.left, clientBox.top, top->client, clientBox.left - clientAt.x,
            clientBox.top - clientAt.y, clientBox.right - clientBox.left,
            clientBox.bottom - clientBox.top);
  ComposeChildren(top, out, clientAt, clientBox);
}

void ComposeSurface(Window *top, Image &out) {
  ComposeSurface(top, out, MakeRect(0, 0, 1 << 20, 1 << 20));
}

void ClientChanged(Window *w, const RECT &clientRect) {
  Window *top = TopLevelOf(w);
  if (!top || !ReallyVisible(w)) return;
  POINT a = ClientToSurface(w, POINT{clientRect.left, clientRect.top});
  RECT r = MakeRect(a.x, a.y, a.x + (clientRect.right - clientRect.left),
                    a.y + (clientRect.bottom - clientRect.top));
  PendingArea &p = g_pending[top->hwnd];
  p.rect = p.dirty ? RectUnion(p.rect, r) : r;
  p.dirty = true;
}

void Present(Window *top, const RECT &surfaceRect) {
  if (!top || !top->surface || !top->Visible()) return;
  g_pending.erase(top->hwnd);
  if (!Backend().NeedsPresent()) return;
  // Only the part being presented is composed again: the rest of the picture is as the
  // last presents left it, and the back end takes no more than that part.
  Image *canvas = Backend().SurfaceCanvas(top->surface);
  Image &img = canvas ? *canvas : g_composed[top->hwnd];
  ComposeSurface(top, img, surfaceRect);
  RECT r = RectIntersect(surfaceRect, MakeRect(0, 0, img.w, img.h));
  if (RectEmpty(r)) return;
  Backend().Present(top->surface, img, r);
}

void PresentAll() {
  if (g_pending.empty()) return;
  auto pending = std::move(g_pending);
  g_pending.clear();
  for (auto &[hwnd, area] : pending) {
    if (area.dirty) Present(GetWnd(hwnd), area.rect);
  }
  // Forget compositions of windows that are gone.
  for (auto it = g_composed.begin(); it != g_composed.end();) {
    it = GetWnd(it->first) ? std::next(it) : g_composed.erase(it);
  }
}

void DrawnOn(DC *dc, const RECT &changed) {
  if (!dc || dc->memory || RectEmpty(changed)) return;
  Window *w = GetWnd(dc->hwnd);
  if (!w) return;
  ClientChanged(w, changed);
  if (g_holds == 0) PresentAll();
  Backend().WindowDrawn(dc->hwnd, changed);
}

void HoldPresents(bool hold) {
  if (hold) {
    ++g_holds;
  } else if (g_holds > 0 && --g_holds == 0) {
    PresentAll();
  }
}

void ResetComposer() {
  g_pending.clear();
  g_composed.clear();
  g_holds = 0;
}

}  // namespace zp
