// The headless back end: surfaces that live only in memory, a virtual clock that Sleep
// advances at once, and input that tests inject through the driver (zant_headless.h).
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "backend.h"
#include "internal.h"
#include "zant_headless.h"

namespace zp {
namespace {

struct Surface {
  HWND hwnd = nullptr;
  RECT rect{};
  bool visible = false;
  std::string title;
};

class Headless final : public BackendApi {
 public:
  std::vector<std::unique_ptr<Surface>> surfaces;
  std::deque<InputEvent> pending;
  std::multimap<uint64_t, std::function<void()>> timed;
  uint64_t now = 0;
  unsigned tickStep = 0;
  unsigned tickCalls = 0;
  std::function<void()> idleHook;
  std::function<void(HWND, RECT)> drawHook;
  bool stuck = false;
  SIZE screen{1024, 768};
  int cursorShape = 32512;
  bool cursorVisible = true;
  bool drawsPixels = true;

  void *CreateSurface(const SurfaceInfo &info) override {
    auto s = std::make_unique<Surface>();
    s->hwnd = info.hwnd;
    s->rect = info.screenRect;
    s->title = info.title ? info.title : "";
    surfaces.push_back(std::move(s));
    return surfaces.back().get();
  }
  void DestroySurface(void *surface) override {
    std::erase_if(surfaces, [surface](const auto &s) { return s.get() == surface; });
    std::erase_if(pending, [surface](const InputEvent &e) { return e.surface == surface; });
  }
  void ShowSurface(void *surface, bool show) override {
    if (Surface *s = Find(surface)) s->visible = show;
  }
  void MoveSurface(void *surface, const RECT &r) override {
    if (Surface *s = Find(surface)) s->rect = r;
  }
  void SetTitle(void *surface, const char *title) override {
    if (Surface *s = Find(surface)) s->title = title ? title : "";
  }
  void Present(void *, const Image &, const RECT &) override {}
  void WindowDrawn(HWND hwnd, const RECT &r) override {
    if (drawHook) {
      auto hook = drawHook;
      hook(hwnd, r);
    }
  }
  bool NeedsPresent() override { return false; }
  bool DrawsPixels() override { return drawsPixels; }

  bool PollEvent(InputEvent &ev) override {
    FireDue();
    if (pending.empty()) return false;
    ev = pending.front();
    pending.pop_front();
    return true;
  }

  void WaitEvent() override {
    FireDue();
    if (!pending.empty()) return;
    if (!timed.empty()) {
      // Nothing to do until the next scheduled input: let the clock run to it.
      if (timed.begin()->first > now) now = timed.begin()->first;
      FireDue();
      return;
    }
    uint64_t before = QueueActivity();
    size_t events = pending.size();
    if (idleHook) {
      auto hook = idleHook;  // the hook may replace itself
      hook();
    }
    if (pending.size() == events && QueueActivity() == before && timed.empty()) {
      // The program waits for input that will never come: end the run.
      stuck = true;
      PostQuitMessage(0);
    }
  }

  DWORD Ticks() override {
    if (tickStep && ++tickCalls >= tickStep) {
      tickCalls = 0;
      ++now;
    }
    return DWORD(now);
  }
  void SleepMs(DWORD ms) override { now += ms; }
  SIZE ScreenSize() override { return screen; }
  void SetCursorShape(int id) override {
    if (id) cursorShape = id;
  }
  void SetCursorVisible(bool visible) override { cursorVisible = visible; }
  void WarpPointer(int, int) override {}

  void Reset() override {
    surfaces.clear();
    pending.clear();
    timed.clear();
    now = 0;
    tickStep = tickCalls = 0;
    idleHook = nullptr;
    drawHook = nullptr;
    stuck = false;
    screen = SIZE{1024, 768};
    cursorShape = 32512;
    cursorVisible = true;
    drawsPixels = true;
  }

  Surface *Find(void *surface) {
    for (auto &s : surfaces)
      if (s.get() == surface) return s.get();
    return nullptr;
  }

  void FireDue() {
    while (!timed.empty() && timed.begin()->first <= now) {
      auto fn = std::move(timed.begin()->second);
      timed.erase(timed.begin());
      fn();
    }
  }

  void Push(InputEvent ev) {
    ev.time = DWORD(now);
    pending.push_back(ev);
  }
};

Headless &H() {
  static Headless backend;
  return backend;
}

void *SurfaceFor(HWND hwnd, POINT client, POINT *surfacePt) {
  Window *w = GetWnd(hwnd);
  Window *top = TopLevelOf(w);
  if (!w || !top) return nullptr;
  *surfacePt = ClientToSurface(w, client);
  return top->surface;
}

void Mouse(InputEvent::Type type, HWND hwnd, int x, int y) {
  POINT p{};
  void *surface = SurfaceFor(hwnd, POINT{x, y}, &p);
  if (!surface) return;
  InputEvent ev;
  ev.type = type;
  ev.surface = surface;
  ev.x = p.x;
  ev.y = p.y;
  H().Push(ev);
}

void KeyEvent(InputEvent::Type type, UINT vk) {
  InputEvent ev;
  ev.type = type;
  ev.vk = vk;
  Window *active = GetWnd(Thread().active);
  ev.surface = active ? active->surface : nullptr;
  H().Push(ev);
}

void Compose(Window *top, Image &out) {
  ComposeSurface(top, out);
}

bool WriteBmp(const std::string &path, const Image &img) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  int rowBytes = (img.w * 3 + 3) & ~3;
  uint32_t dataSize = uint32_t(rowBytes) * img.h;
  uint8_t header[54] = {'B', 'M'};
  auto put32 = [&header](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i));
  };
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(img.w));
  put32(22, uint32_t(img.h));
  header[26] = 1;
  header[28] = 24;
  put32(34, dataSize);
  bool ok = std::fwrite(header, 1, 54, f) == 54;
  std::vector<uint8_t> row(rowBytes, 0);
  for (int y = img.h - 1; y >= 0 && ok; --y) {
    const uint32_t *src = img.Row(y);
    for (int x = 0; x < img.w; ++x) {
      row[x * 3 + 0] = uint8_t(src[x]);
      row[x * 3 + 1] = uint8_t(src[x] >> 8);
      row[x * 3 + 2] = uint8_t(src[x] >> 16);
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

headless::Pixels ToPixels(const Image &img, RECT r) {
  headless::Pixels p;
  r = RectIntersect(r, MakeRect(0, 0, img.w, img.h));
  if (RectEmpty(r)) return p;
  p.w = r.right - r.left;
  p.h = r.bottom - r.top;
  p.px.resize(size_t(p.w) * p.h);
  for (int y = 0; y < p.h; ++y)
    std::copy_n(img.Row(r.top + y) + r.left, p.w, p.px.begin() + ptrdiff_t(y) * p.w);
  return p;
}

bool SameText(const std::string &a, const char *b) {
  return !b || a == b;
}

bool ClassIs(Window *w, const char *name) {
  if (!name) return true;
  char buf[256];
  GetClassNameA(w->hwnd, buf, sizeof buf);
  return strcasecmp(buf, name) == 0;
}

}  // namespace

BackendApi &Backend() {
  return H();
}

}  // namespace zp

namespace headless {
using namespace zp;

void Reset(DWORD startTicks) {
  ResetLayer();
  H().now = startTicks;
}

DWORD Now() {
  return DWORD(H().now);
}
void SetNow(DWORD ticks) {
  H().now = (H().now & ~uint64_t(0xFFFFFFFF)) | ticks;
}
void SetTickStep(unsigned calls) {
  H().tickStep = calls;
  H().tickCalls = 0;
}

void MouseMove(HWND hwnd, int x, int y) {
  Mouse(InputEvent::MouseMove, hwnd, x, y);
}
void MouseDown(HWND hwnd, int x, int y) {
  Mouse(InputEvent::MouseDown, hwnd, x, y);
}
void MouseUp(HWND hwnd, int x, int y) {
  Mouse(InputEvent::MouseUp, hwnd, x, y);
}
void Click(HWND hwnd, int x, int y) {
  MouseMove(hwnd, x, y);
  MouseDown(hwnd, x, y);
  MouseUp(hwnd, x, y);
}
void ClickCenter(HWND hwnd) {
  RECT r{};
  if (!GetClientRect(hwnd, &r)) return;
  Click(hwnd, r.right / 2, r.bottom / 2);
}
void ClickMenuBar(HWND top, int x, int y) {
  Window *w = GetWnd(top);
  if (!w || !w->surface) return;
  Frame f = FrameOf(w->style, w->exStyle, w->menu != nullptr);
  for (auto type : {InputEvent::MouseMove, InputEvent::MouseDown, InputEvent::MouseUp}) {
    InputEvent ev;
    ev.type = type;
    ev.surface = w->surface;
    ev.x = f.border + x;
    ev.y = f.border + y;
    H().Push(ev);
  }
}
void KeyDown(UINT vk) {
  KeyEvent(InputEvent::KeyDown, vk);
}
void KeyUp(UINT vk) {
  KeyEvent(InputEvent::KeyUp, vk);
}
void Key(UINT vk) {
  KeyDown(vk);
  KeyUp(vk);
}
void KeyWith(UINT modifierVk, UINT vk) {
  KeyDown(modifierVk);
  Key(vk);
  KeyUp(modifierVk);
}
void CloseFromFrame(HWND top) {
  Window *w = GetWnd(top);
  if (!w || !w->surface) return;
  InputEvent ev;
  ev.type = InputEvent::Close;
  ev.surface = w->surface;
  H().Push(ev);
}
void ActivateFromFrame(HWND top) {
  Window *w = GetWnd(top);
  if (!w || !w->surface) return;
  InputEvent ev;
  ev.type = InputEvent::Activate;
  ev.surface = w->surface;
  H().Push(ev);
}
void CancelPress(HWND top) {
  Window *w = GetWnd(top);
  if (!w || !w->surface) return;
  InputEvent ev;
  ev.type = InputEvent::Cancel;
  ev.surface = w->surface;
  H().Push(ev);
}
void DragTo(HWND top, int x, int y) {
  Window *w = GetWnd(top);
  if (!w || !w->surface) return;
  Frame f = FrameOf(w->style, w->exStyle, w->menu != nullptr);
  InputEvent ev;
  ev.type = InputEvent::Moved;
  ev.surface = w->surface;
  ev.x = x + f.left;
  ev.y = y + f.top;
  H().Push(ev);
}
void At(DWORD ticks, std::function<void()> inject) {
  uint64_t when = H().now + DWORD(ticks - DWORD(H().now));
  H().timed.emplace(when, std::move(inject));
}

void SetIdleHook(std::function<void()> hook) {
  H().idleHook = std::move(hook);
}
bool Stuck() {
  return H().stuck;
}
void SetDrawHook(std::function<void(HWND, RECT)> hook) {
  H().drawHook = std::move(hook);
}
void DrawPixels(bool on) {
  H().drawsPixels = on;
}

int RunUntilIdle() {
  int n = 0;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(int(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++n;
  }
  return n;
}

HWND FindTopLevel(const char *className, const char *title) {
  for (HWND h : zp::TopLevelWindows()) {
    Window *w = GetWnd(h);
    if (w && ClassIs(w, className) && SameText(w->text, title)) return h;
  }
  return nullptr;
}

HWND FindChild(HWND parent, const char *className, const char *text) {
  Window *p = GetWnd(parent);
  if (!p) return nullptr;
  for (HWND h : p->children) {
    Window *w = GetWnd(h);
    if (w && ClassIs(w, className) && SameText(w->text, text)) return h;
  }
  for (HWND h : p->children) {
    if (HWND found = FindChild(h, className, text)) return found;
  }
  return nullptr;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  for (HWND h : zp::TopLevelWindows()) {
    Window *w = GetWnd(h);
    if (w && w->Visible()) out.push_back(h);
  }
  return out;
}

Pixels ClientPixels(HWND hwnd) {
  Window *w = GetWnd(hwnd);
  Window *top = TopLevelOf(w);
  if (!w || !top) return {};
  Image img;
  Compose(top, img);
  POINT o = ClientToSurface(w, POINT{0, 0});
  return ToPixels(img, MakeRect(o.x, o.y, o.x + w->clientW, o.y + w->clientH));
}

Pixels SurfacePixels(HWND top) {
  Window *w = GetWnd(top);
  if (!w || w->IsChild()) return {};
  Image img;
  Compose(w, img);
  return ToPixels(img, MakeRect(0, 0, img.w, img.h));
}

Pixels DCPixels(HDC hdc) {
  Image *img = TargetImage(As<DC>(hdc), nullptr);
  if (!img) return {};
  return ToPixels(*img, MakeRect(0, 0, img->w, img->h));
}

Pixels DCPixels(HDC hdc, RECT part) {
  Image *img = TargetImage(As<DC>(hdc), nullptr);
  if (!img) return {};
  return ToPixels(*img, part);
}

bool SamePixels(HDC a, HDC b, RECT part) {
  Image *ia = TargetImage(As<DC>(a), nullptr);
  Image *ib = TargetImage(As<DC>(b), nullptr);
  if (!ia || !ib || RectEmpty(part) || part.left < 0 || part.top < 0) return false;
  for (Image *img : {ia, ib}) {
    if (part.right > img->w || part.bottom > img->h) return false;
  }
  size_t width = size_t(part.right - part.left);
  for (int y = part.top; y < part.bottom; ++y) {
    if (!std::equal(ia->Row(y) + part.left, ia->Row(y) + part.left + width, ib->Row(y) + part.left))
      return false;
  }
  return true;
}

void Damage(HWND hwnd, RECT clientRect, uint32_t garbage) {
  Window *w = GetWnd(hwnd);
  if (!w) return;
  FillImage(w->client, clientRect, garbage);
  InvalidateRect(hwnd, &clientRect, TRUE);
}

bool SaveScreenshot(const std::string &path, HWND top) {
  if (top) {
    Window *w = GetWnd(top);
    if (!w || w->IsChild()) return false;
    Image img;
    Compose(w, img);
    return WriteBmp(path, img);
  }
  Image screen(H().screen.cx, H().screen.cy, 0x3A6EA5);
  for (HWND h : zp::TopLevelWindows()) {
    Window *w = GetWnd(h);
    if (!w || !w->Visible()) continue;
    Image img;
    Compose(w, img);
    RECT s = SurfaceScreenRect(w);
    CopyImage(screen, s.left, s.top, img, 0, 0, img.w, img.h);
  }
  return WriteBmp(path, screen);
}

int CursorShape() {
  return H().cursorShape;
}
int CursorCount() {
  return Thread().cursorCount;
}
POINT CursorPos() {
  return Thread().cursorPos;
}
SIZE ScreenSize() {
  return H().screen;
}
void SetScreenSize(int w, int h) {
  H().screen = SIZE{w, h};
}

static FailPoint PointOf(Fail what) {
  switch (what) {
    case Fail::LocalAlloc:
      return FailPoint::LocalAlloc;
    case Fail::RegisterClass:
      return FailPoint::RegisterClass;
    case Fail::CreateWindow:
      return FailPoint::CreateWindow;
    case Fail::CreateDC:
      return FailPoint::CreateDC;
    case Fail::CreateBitmap:
      return FailPoint::CreateBitmap;
  }
  return FailPoint::LocalAlloc;
}

void FailCall(Fail what, int skip, int times, const char *name) {
  SetFailure(PointOf(what), skip, times, name);
}

void ClearFailures() {
  ClearFailureRules();
}

int FailableCalls(Fail what, const char *name) {
  return zp::FailableCalls(PointOf(what), name);
}

LiveCounts LiveHandles() {
  // Made by the program: not a stock object, not a system cursor or icon.
  auto count = [](Kind kind, auto made) {
    int n = 0;
    for (void *h : HandlesOf(kind)) n += made(h) ? 1 : 0;
    return n;
  };
  auto any = [](void *) { return true; };
  LiveCounts c;
  c.windows = count(Kind::Window, any);
  c.dcs = count(Kind::DC, any);
  c.bitmaps = count(Kind::Bitmap, [](void *h) { return !As<Bitmap>(h)->stock; });
  c.brushes = count(Kind::Brush, [](void *h) { return !As<Brush>(h)->stock; });
  c.pens = count(Kind::Pen, [](void *h) { return !As<Pen>(h)->stock; });
  c.fonts = count(Kind::Font, [](void *h) { return !As<Font>(h)->stock; });
  c.menus = count(Kind::Menu, any);
  c.accelerators = count(Kind::Accel, any);
  c.icons = count(Kind::Icon, [](void *h) { return As<Icon>(h)->systemId == 0; });
  c.localBlocks = int(LiveLocalBlocks());
  return c;
}

void UseResources(const uint8_t *res, size_t size) {
  SetResourceImage(res, size);
}

}  // namespace headless
