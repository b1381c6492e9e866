// The browser back end: the page is the screen. One canvas holds a screen of 640 x 480
// pixels, the classic desktop, on which the back end stacks the layer's top-level windows,
// drawing the frames the layer leaves to a window manager (title bar, close box) in the
// classic look itself. The canvas is scaled to fit the page: by a whole factor of device
// pixels, crisp, where that fits, and smoothly below that; input is mapped back.
//
// Every window is also mirrored into elements of the page that assistive technology reads,
// and the text drawn on a window into a text layer with a live region (mirror.cpp).
//
// The program runs on the page's one thread. Every wait (for input, a Sleep, a font file,
// the screen to be painted) suspends the program with Asyncify and gives the page back
// its turn, so what was drawn is shown, and input piles up in the page until the program
// next looks at its queue, as on Windows. The page's JavaScript (library.js, prelude.js)
// only moves data: every decision about pixels, input and time is made here.
#include <emscripten.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "backend.h"
#include "internal.h"
#include "mirror.h"

// The page's side (library.js). The functions marked as waiting suspend the program.
extern "C" {
void zant_js_screen(int width, int height);
void zant_js_blit(const uint8_t *rgba, int x, int y, int width, int height);
void zant_js_place(double left, double top, double width, double height, int smooth);
void zant_js_viewport(int32_t *out);
int zant_js_next_event(int32_t *out);
void zant_js_wait(int ms);  // waits (ms < 0: until input comes)
void zant_js_yield(void);   // waits
void zant_js_prefetch(const char *url);
int zant_js_fetch(const char *url, const char *path);  // waits
int zant_js_picture(const char *url, int32_t *size);   // waits
void zant_js_picture_take(uint8_t *rgba);
void zant_js_cursor(int kind);
void zant_js_title(const char *utf8);
void zant_js_window(int id, const char *utf8Title, int left, int top, int right, int bottom,
                    int shown);
void zant_js_ended(void);
void zant_js_running(void);
}

namespace zp {
namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr uint32_t kDesktop = 0x008080;
// How long the program may compute without giving the page a turn to paint what it drew.
constexpr double kPaintAfterMs = 40;
// A run of tick counts answered from one reading grows while it takes less than this
// (ms), up to this many calls.
constexpr double kCoarseMs = 1;
constexpr int kLongestRun = 1023;

// Classic colours, and the title bars' gradients.
using namespace classic;
constexpr uint32_t kActiveLeft = 0x000080, kActiveRight = 0x1084D0;
constexpr uint32_t kInactiveLeft = 0x808080, kInactiveRight = 0xC0C0C0;

// The page's raw input records (prelude.js makes them).
enum RawKind {
  kPointerMove = 1,
  kPointerDown,
  kPointerUp,
  kKeyDown,
  kKeyUp,
  kViewport,
  kActivated = 8,  // (a number of its own, apart from the kinds of the pointer and keys)
};
struct Raw {
  int32_t kind, x16, y16, button, keyCode, modifiers, time, pointer;
};
static_assert(sizeof(Raw) == 8 * sizeof(int32_t), "the page writes eight numbers in a row");
constexpr int32_t kTouch = 1, kNotPrimary = 8;  // Raw::pointer
constexpr int32_t kMeta = 8;                    // Raw::modifiers

// The caption's buttons, right to left.
enum class Box { None, Close, Maximize, Minimize };

struct Surface {
  int id = 0;
  HWND hwnd = nullptr;
  RECT rect{};    // the layer's picture on the screen
  Frame frame{};  // what the back end draws around it (zero for an undecorated window)
  bool decorated = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  bool owned = false;
  std::string title;
  bool shown = false;
  Image pixels;                // the picture as last presented
  Image icon;                  // 16 x 16, for the caption of a window with a system menu
  std::vector<uint8_t> alpha;  // the icon's opacity

  RECT Outer() const {
    return MakeRect(rect.left - frame.left, rect.top - frame.top, rect.right + frame.right,
                    rect.bottom + frame.bottom);
  }
};

uint32_t Mix(uint32_t a, uint32_t b, int num, int den) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    out |= uint32_t(x + (y - x) * num / std::max(den, 1)) << shift;
  }
  return out;
}

bool Inside(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The virtual key of a page's key code. The page's codes are Windows' own for letters,
// digits, the function and editing keys; a few punctuation keys differ between browsers.
UINT VirtualKey(int keyCode) {
  switch (keyCode) {
    case 59:
      return 0xBA;  // ;
    case 61:
      return 0xBB;  // =
    case 173:
      return 0xBD;  // -
    default:
      return keyCode > 0 && keyCode < 256 ? UINT(keyCode) : 0;
  }
}

// The site's file of a picture: pictures/NAME.webp, the name in capitals as the resource
// compiler writes it; empty for a name that is no plain word.
std::string PictureFile(const char *name) {
  std::string file = "pictures/";
  for (const char *p = name; *p; ++p) {
    if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != '_') return "";
    file += char(std::toupper(static_cast<unsigned char>(*p)));
  }
  return *name ? file + ".webp" : "";
}

class WebBackend final : public BackendApi {
 public:
  WebBackend() : screen_(kScreenW, kScreenH, kDesktop) {
    zant_js_screen(kScreenW, kScreenH);
    Place();
    Show(MakeRect(0, 0, kScreenW, kScreenH));
  }

  // --- Surfaces --------------------------------------------------------------------
  void *CreateSurface(const SurfaceInfo &info) override {
    auto s = std::make_unique<Surface>();
    s->id = ++lastId_;
    s->hwnd = info.hwnd;
    s->rect = info.screenRect;
    s->decorated = info.decorated;
    s->style = info.style;
    s->exStyle = info.exStyle;
    s->owned = info.ownerSurface != nullptr;
    if (info.decorated) s->frame = FrameOf(info.style, info.exStyle, false);
    s->title = info.title ? info.title : "";
    Surface *raw = s.get();
    stack_.push_back(std::move(s));
    Announce(*raw);
    return raw;
  }

  void DestroySurface(void *handle) override {
    Surface *s = Find(handle);
    if (!s) return;
    std::erase_if(pending_, [s](const InputEvent &ev) { return ev.surface == s; });
    if (pressed_ == s) pressed_ = nullptr;
    if (drag_.surface == s) drag_ = Drag{};
    if (closing_ == s) closing_ = nullptr;
    bool wasShown = s->shown;
    RECT outer = s->Outer();
    zant_js_window(s->id, "", 0, 0, 0, 0, -1);
    std::erase_if(stack_, [s](const auto &p) { return p.get() == s; });
    if (wasShown) RestackChanged(outer);
  }

  void ShowSurface(void *handle, bool show) override {
    Surface *s = Find(handle);
    if (!s || s->shown == show) return;
    s->shown = show;
    if (show) {
      // A window that is shown comes to the top, as a new window does on a desktop.
      auto it =
          std::find_if(stack_.begin(), stack_.end(), [s](const auto &p) { return p.get() == s; });
      std::rotate(it, it + 1, stack_.end());
    }
    Announce(*s);
    RestackChanged(s->Outer());
  }

  void MoveSurface(void *handle, const RECT &screenRect) override {
    Surface *s = Find(handle);
    if (!s) return;
    RECT before = s->Outer();
    s->rect = screenRect;
    if (s->pixels.w != screenRect.right - screenRect.left ||
        s->pixels.h != screenRect.bottom - screenRect.top) {
      s->pixels.Resize(screenRect.right - screenRect.left, screenRect.bottom - screenRect.top,
                       kFace);
    }
    Announce(*s);
    if (s->shown) Show(RectUnion(before, s->Outer()));
  }

  void SetTitle(void *handle, const char *title) override {
    Surface *s = Find(handle);
    if (!s) return;
    s->title = title ? title : "";
    Announce(*s);
    if (s->shown && s->decorated) Show(s->Outer());
  }

  void SetIcon(void *handle, const Image &image, const std::vector<uint8_t> &alpha) override {
    Surface *s = Find(handle);
    if (!s || image.w <= 0 || image.h <= 0) return;
    // The caption's small icon: the picture averaged down to 16 x 16, colour weighted by
    // opacity, so that clear pixels do not darken the edges.
    constexpr int kSize = 16;
    s->icon.Resize(kSize, kSize, 0);
    s->alpha.assign(kSize * kSize, 0);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        int x0 = x * image.w / kSize, x1 = std::max(x0 + 1, (x + 1) * image.w / kSize);
        int y0 = y * image.h / kSize, y1 = std::max(y0 + 1, (y + 1) * image.h / kSize);
        uint64_t sum[3] = {0, 0, 0}, weight = 0;
        int n = 0;
        for (int yy = y0; yy < y1; ++yy) {
          for (int xx = x0; xx < x1; ++xx, ++n) {
            size_t i = size_t(yy) * image.w + xx;
            unsigned a = alpha.size() == image.px.size() ? alpha[i] : 255;
            uint32_t p = image.px[i];
            sum[0] += ((p >> 16) & 0xFF) * a;
            sum[1] += ((p >> 8) & 0xFF) * a;
            sum[2] += (p & 0xFF) * a;
            weight += a;
          }
        }
        if (weight == 0) continue;
        s->icon.px[size_t(y) * kSize + x] = uint32_t(sum[0] / weight) << 16 |
                                            uint32_t(sum[1] / weight) << 8 |
                                            uint32_t(sum[2] / weight);
        s->alpha[size_t(y) * kSize + x] = uint8_t(weight / n);
      }
    }
    if (s->shown && s->decorated) Show(s->Outer());
  }

  void Present(void *handle, const Image &image, const RECT &changed) override {
    Surface *s = Find(handle);
    if (!s || image.w <= 0 || image.h <= 0) return;
    RECT r = changed;
    if (s->pixels.w != image.w || s->pixels.h != image.h) {
      s->pixels.Resize(image.w, image.h, kFace);
      r = MakeRect(0, 0, image.w, image.h);
    }
    r = RectIntersect(r, MakeRect(0, 0, image.w, image.h));
    if (RectEmpty(r)) return;
    CopyImage(s->pixels, r.left, r.top, image, r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (!s->shown) return;
    OffsetRect(&r, s->rect.left, s->rect.top);
    Show(r);
    FollowActivation();
    unseen_ = true;
    PaintTurn(emscripten_get_now());
  }

  // --- Input -----------------------------------------------------------------------
  bool PollEvent(InputEvent &ev) override {
    FollowActivation();
    Raw raw;
    while (pending_.empty() && zant_js_next_event(&raw.kind)) Translate(raw);
    if (pending_.empty()) return false;
    ev = pending_.front();
    pending_.pop_front();
    return true;
  }

  // Only the page's input can bring anything (the layer has no timers), so the program
  // stays suspended until the page has some: an idle page runs none of its code.
  void WaitEvent() override {
    if (!pending_.empty()) return;
    mirror_.Sync();
    zant_js_wait(-1);
    Waited();
  }

  // --- Time ------------------------------------------------------------------------
  // Milliseconds since the page was opened, on the clock the page stamps its input with.
  // Like Windows' tick count it is coarse: asking the page for the time costs a call out
  // of WebAssembly, which a loop that looks at the time between every step (the solver)
  // pays hundreds of thousands of times. So one reading answers a run of calls: a run
  // twice as long as the last one when that one took less than a millisecond, no run once
  // it took longer, and none after the program has waited. A caller that asks seldom
  // always gets a fresh reading; one that asks often gets one at least about every
  // millisecond or two.
  DWORD Ticks() override {
    if (clock_.unread > 0) {
      --clock_.unread;
      return clock_.ticks;
    }
    double now = emscripten_get_now();
    // A program that looks at the clock while it computes gets its drawing shown too.
    if (PaintTurn(now)) now = emscripten_get_now();
    clock_.run = now - clock_.read < kCoarseMs ? std::min(kLongestRun, 2 * clock_.run + 1) : 0;
    clock_.unread = clock_.run;
    clock_.read = now;
    clock_.ticks = DWORD(uint64_t(now));
    return clock_.ticks;
  }

  void SleepMs(DWORD ms) override {
    mirror_.Sync();
    emscripten_sleep(ms);
    Waited();
  }

  SIZE ScreenSize() override { return SIZE{kScreenW, kScreenH}; }

  // --- Cursor ----------------------------------------------------------------------
  void SetCursorShape(int id) override {
    if (id) cursorShape_ = id;
    ApplyCursor();
  }
  void SetCursorVisible(bool visible) override {
    cursorVisible_ = visible;
    ApplyCursor();
  }
  // A page cannot move the pointer: the layer keeps the position it was told.
  void WarpPointer(int, int) override {}

  // --- Pictures --------------------------------------------------------------------
  // The program's large bitmaps are files of the site, which the page decodes.
  bool LoadPicture(const char *name, Image &out) override {
    std::string file = PictureFile(name);
    int32_t size[2] = {0, 0};
    if (file.empty() || !zant_js_picture(file.c_str(), size)) return false;
    const int w = size[0], h = size[1];
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || int64_t(w) * h > (int64_t(1) << 26)) {
      zant_js_picture_take(nullptr);
      return false;
    }
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    zant_js_picture_take(rgba.data());
    out.Resize(w, h);
    for (size_t i = 0; i < out.px.size(); ++i) {
      const uint8_t *p = &rgba[i * 4];
      out.px[i] = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    return true;
  }

  // The font files the site carries, fetched all at once before the program starts, so
  // that no window is left half drawn while one comes; the pictures start coming too.
  void FetchFonts();

  // What assistive technology reads: the mirror keeps it (mirror.h).
  void WindowChanged(HWND hwnd) override { mirror_.WindowChanged(hwnd); }
  void WindowGone(HWND hwnd) override { mirror_.WindowGone(hwnd); }
  void FocusChanged(HWND hwnd) override { mirror_.FocusChanged(hwnd); }
  void MenuChanged(HMENU) override { mirror_.MenuChanged(); }
  void TextChanged(HWND hwnd) override { mirror_.TextChanged(hwnd); }

  // The program has ended: the screen is the bare desktop, and the page says so.
  void Ended() {
    mirror_.Clear();
    stack_.clear();
    pending_.clear();
    Show(MakeRect(0, 0, kScreenW, kScreenH));
    cursorVisible_ = true;
    cursorShape_ = 32512;
    ApplyCursor();
    zant_js_ended();
  }

 private:
  // The page had its turn: what is drawn is on the screen, and time has passed.
  void Waited() {
    lastTurn_ = emscripten_get_now();
    unseen_ = false;
    clock_.unread = clock_.run = 0;
  }

  // A program that draws while it computes waits for nothing, and the page paints only
  // when it has a turn: when something drawn is not yet on the screen and the program has
  // run for a while since the page's last turn, the page gets one, so that the picture
  // moves on as it does on Windows (a blinking notice, the die). True when it had one.
  bool PaintTurn(double now) {
    if (!unseen_ || now - lastTurn_ < kPaintAfterMs) return false;
    mirror_.Sync();
    zant_js_yield();
    Waited();
    return true;
  }

  struct Clock {
    double read = -1e9;  // when the page was last asked (ms)
    DWORD ticks = 0;     // its answer
    int run = 0;         // how many calls after the reading it answers
    int unread = 0;      // how many of those are still to come
  };

  struct Drag {
    Surface *surface = nullptr;
    POINT grab{};  // where the pointer holds the window, from its outer top-left
  };

  // --- Placing the canvas -------------------------------------------------------------
  // Where the screen fits the page at its own size (a CSS pixel per pixel) or larger, it
  // is scaled by the largest whole number of device pixels that fits, crisp; on a smaller
  // page (a phone) by the fraction that fits it, smoothly.
  void Place() {
    int32_t v[3] = {0, 0, 0};
    zant_js_viewport(v);
    double cssW = std::max(1, v[0]), cssH = std::max(1, v[1]);
    double dpr = v[2] > 0 ? v[2] / 1024.0 : 1.0;
    double fit = std::min(cssW / kScreenW, cssH / kScreenH);
    bool smooth = fit < 1;
    double devicePerPixel =
        smooth ? fit * dpr
               : std::max(1.0, std::floor(std::min(cssW * dpr / kScreenW, cssH * dpr / kScreenH)));
    double w = kScreenW * devicePerPixel, h = kScreenH * devicePerPixel;
    // Centred, on whole device pixels so that a crisp picture stays crisp.
    double left = std::floor((cssW * dpr - w) / 2), top = std::floor((cssH * dpr - h) / 2);
    place_ = Placement{left / dpr, top / dpr, w / dpr, h / dpr};
    zant_js_place(place_.left, place_.top, place_.width, place_.height, smooth ? 1 : 0);
  }

  // A page point (CSS pixels from the viewport's corner) on the screen.
  POINT ScreenPoint(const Raw &raw) const {
    double x = (raw.x16 / 16.0 - place_.left) * kScreenW / place_.width;
    double y = (raw.y16 / 16.0 - place_.top) * kScreenH / place_.height;
    return POINT{LONG(std::floor(x)), LONG(std::floor(y))};
  }

  // --- Composing the screen -------------------------------------------------------
  // Recomposes part of the screen from the desktop and the windows over it, bottom to
  // top, and hands that part to the page as one buffer.
  void Show(RECT r) {
    r = RectIntersect(r, MakeRect(0, 0, kScreenW, kScreenH));
    if (RectEmpty(r)) return;
    FillImage(screen_, r, kDesktop);
    const Surface *active = Active();
    for (const auto &p : stack_) {
      const Surface &s = *p;
      if (!s.shown) continue;
      RECT outer = RectIntersect(r, s.Outer());
      if (RectEmpty(outer)) continue;
      if (s.decorated) DrawFrame(s, outer, &s == active);
      RECT inner = RectIntersect(outer, s.rect);
      if (!RectEmpty(inner)) {
        CopyImage(screen_, inner.left, inner.top, s.pixels, inner.left - s.rect.left,
                  inner.top - s.rect.top, inner.right - inner.left, inner.bottom - inner.top);
      }
    }
    Blit(r);
  }

  void Blit(const RECT &r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    rgba_.resize(size_t(w) * h * 4);
    uint8_t *out = rgba_.data();
    for (int y = r.top; y < r.bottom; ++y) {
      const uint32_t *row = screen_.Row(y) + r.left;
      for (int x = 0; x < w; ++x, out += 4) {
        out[0] = uint8_t(row[x] >> 16);
        out[1] = uint8_t(row[x] >> 8);
        out[2] = uint8_t(row[x]);
        out[3] = 255;
      }
    }
    zant_js_blit(rgba_.data(), r.left, r.top, w, h);
  }

  // After a window came, went or changed places in the stack: its area, and the captions
  // when another window is now active.
  void RestackChanged(const RECT &area) {
    Show(area);
    FollowActivation();
  }

  // The active window, as the layer keeps it (a pop-up menu does not take activation).
  Surface *Active() {
    HWND active = GetActiveWindow();
    for (auto &p : stack_) {
      if (p->shown && p->hwnd == active) return p.get();
    }
    return nullptr;
  }

  // Activation changes inside the layer; the captions follow when the back end is next
  // called.
  void FollowActivation() {
    HWND active = GetActiveWindow();
    if (active == shownActive_) return;
    shownActive_ = active;
    for (const auto &p : stack_) {
      if (p->shown && p->decorated) Show(CaptionRect(*p));
    }
  }

  Surface *TopmostAt(POINT p) {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      if ((*it)->shown && Inside((*it)->Outer(), p)) return it->get();
    }
    return nullptr;
  }

  // --- The frame --------------------------------------------------------------------
  // The caption bar: inside the border, as tall as the caption less its bottom line.
  static RECT CaptionRect(const Surface &s) {
    RECT o = s.Outer();
    int b = s.frame.left;
    return MakeRect(o.left + b, o.top + b, o.right - b, s.rect.top - 1);
  }

  static bool HasBoxes(const Surface &s) {
    return (s.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) && !(s.exStyle & WS_EX_DLGMODALFRAME);
  }

  // The caption buttons of a window: close on the right, then maximize and minimize.
  static RECT BoxRect(const Surface &s, Box box) {
    RECT c = CaptionRect(s);
    int h = c.bottom - c.top - 4, w = h + 2;
    int right = c.right - 2, top = c.top + 2;
    if (box == Box::Maximize) right -= w + 2;
    if (box == Box::Minimize) right -= 2 * w + 2;
    return MakeRect(right - w, top, right, top + h);
  }

  Box BoxAt(const Surface &s, POINT p) const {
    if (!s.decorated || !(s.style & WS_SYSMENU)) return Box::None;
    for (Box b : {Box::Close, Box::Maximize, Box::Minimize}) {
      if (b != Box::Close && !HasBoxes(s)) break;
      if (Inside(BoxRect(s, b), p)) return b;
    }
    return Box::None;
  }

  void Fill(const RECT &clip, const RECT &part, uint32_t pixel) {
    FillImage(screen_, RectIntersect(clip, part), pixel);
  }

  // A raised edge (a window's border, a button): light outer and inner lines above and on
  // the left, dark ones below and on the right; sunken swaps them.
  void Bevel(const RECT &clip, RECT r, uint32_t outerLight, uint32_t innerLight, uint32_t innerDark,
             uint32_t outerDark) {
    uint32_t light[2] = {outerLight, innerLight}, dark[2] = {outerDark, innerDark};
    for (int i = 0; i < 2; ++i) {
      Fill(clip, MakeRect(r.left, r.top, r.right, r.top + 1), light[i]);
      Fill(clip, MakeRect(r.left, r.top, r.left + 1, r.bottom), light[i]);
      Fill(clip, MakeRect(r.left, r.bottom - 1, r.right, r.bottom), dark[i]);
      Fill(clip, MakeRect(r.right - 1, r.top, r.right, r.bottom), dark[i]);
      r = MakeRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    }
  }

  void DrawFrame(const Surface &s, const RECT &clip, bool active) {
    RECT o = s.Outer();
    Fill(clip, o, kFace);
    Bevel(clip, o, kFace, kWhite, kShadow, kBlack);
    RECT c = CaptionRect(s);
    uint32_t left = active ? kActiveLeft : kInactiveLeft;
    uint32_t right = active ? kActiveRight : kInactiveRight;
    int width = c.right - c.left;
    for (int x = c.left; x < c.right; ++x) {
      Fill(clip, MakeRect(x, c.top, x + 1, c.bottom), Mix(left, right, x - c.left, width - 1));
    }
    int textLeft = c.left + 2;
    if ((s.style & WS_SYSMENU) && !(s.exStyle & WS_EX_DLGMODALFRAME) && s.icon.w > 0) {
      int iy = c.top + (c.bottom - c.top - s.icon.h) / 2;
      for (int y = 0; y < s.icon.h; ++y) {
        for (int x = 0; x < s.icon.w; ++x) {
          POINT p{c.left + 1 + x, iy + y};
          if (!Inside(clip, p) || !screen_.Contains(p.x, p.y)) continue;
          unsigned a = s.alpha[size_t(y) * s.icon.w + x];
          uint32_t &dst = screen_.Row(p.y)[p.x];
          dst = Mix(dst, s.icon.At(x, y), int(a), 255);
        }
      }
      textLeft = c.left + 1 + s.icon.w + 2;
    }
    int textRight = c.right - 2;
    if (s.style & WS_SYSMENU) {
      Box last = HasBoxes(s) ? Box::Minimize : Box::Close;
      textRight = BoxRect(s, last).left - 2;
      for (Box b : {Box::Close, Box::Maximize, Box::Minimize}) {
        DrawBox(s, b, clip, closing_ == &s && closeHeld_ && b == Box::Close);
        if (b == last) break;
      }
    }
    HFONT font = CaptionFont();
    int y = c.top + (c.bottom - c.top - FontLineHeight(font)) / 2;
    RECT textClip = RectIntersect(clip, MakeRect(textLeft, c.top, textRight, c.bottom));
    DrawTextRun(screen_, textClip, font, textLeft, y, s.title.data(), int(s.title.size()),
                active ? kWhite : kFace);
  }

  void DrawBox(const Surface &s, Box box, const RECT &clip, bool pressed) {
    RECT r = BoxRect(s, box);
    Fill(clip, r, kFace);
    if (pressed) {
      Bevel(clip, r, kBlack, kShadow, kLight, kWhite);
    } else {
      Bevel(clip, r, kWhite, kLight, kShadow, kBlack);
    }
    int ox = r.left + (pressed ? 1 : 0), oy = r.top + (pressed ? 1 : 0);
    int w = r.right - r.left, h = r.bottom - r.top;
    auto ink = [&](int x0, int y0, int x1, int y1) {
      Fill(clip, MakeRect(ox + x0, oy + y0, ox + x1, oy + y1), kBlack);
    };
    switch (box) {
      case Box::Close: {
        // Two strokes two pixels wide, from corner to corner of an 8 x 7 box.
        int gx = (w - 8) / 2, gy = (h - 7) / 2;
        for (int i = 0; i < 7; ++i) {
          int a = i < 4 ? i : 6 - i;
          ink(gx + a, gy + i, gx + a + 2, gy + i + 1);
          ink(gx + 6 - a, gy + i, gx + 8 - a, gy + i + 1);
        }
        break;
      }
      case Box::Maximize: {
        int gx = (w - 9) / 2, gy = (h - 9) / 2;
        ink(gx, gy, gx + 9, gy + 2);
        ink(gx, gy + 8, gx + 9, gy + 9);
        ink(gx, gy, gx + 1, gy + 9);
        ink(gx + 8, gy, gx + 9, gy + 9);
        break;
      }
      case Box::Minimize: {
        int gx = (w - 6) / 2, gy = (h - 9) / 2 + 7;
        ink(gx, gy, gx + 6, gy + 2);
        break;
      }
      case Box::None:
        break;
    }
  }

  // The caption's face: the classic dialog face, bold.
  HFONT CaptionFont() {
    if (!captionFont_ || !As<Font>(captionFont_)) {
      captionFont_ = CreateFontA(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
    }
    return captionFont_;
  }

  // --- Turning the page's input into the layer's --------------------------------------
  void Push(InputEvent ev, Surface *s, const Raw &raw) {
    ev.surface = s;
    ev.time = DWORD(uint32_t(raw.time));
    pending_.push_back(ev);
  }

  void PushMouse(InputEvent::Type type, Surface *s, POINT p, const Raw &raw, int button = 0) {
    InputEvent ev;
    ev.type = type;
    ev.x = p.x - s->rect.left;
    ev.y = p.y - s->rect.top;
    ev.button = button;
    Push(ev, s, raw);
  }

  void Translate(const Raw &raw) {
    switch (raw.kind) {
      case kViewport:
        Place();
        return;
      case kActivated: {
        InputEvent ev;
        if (mirror_.Activated(raw.keyCode, ev)) Push(ev, Find(ev.surface), raw);
        return;
      }
      case kKeyDown:
      case kKeyUp: {
        // Keys with Meta (Command) are the browser's shortcuts, whose key-up the page may
        // never see: the program would think the key still down.
        if (raw.modifiers & kMeta) return;
        UINT vk = VirtualKey(raw.keyCode);
        if (!vk) return;
        InputEvent ev;
        ev.type = raw.kind == kKeyDown ? InputEvent::KeyDown : InputEvent::KeyUp;
        ev.vk = vk;
        Push(ev, Active(), raw);
        return;
      }
      case kPointerMove:
      case kPointerDown:
      case kPointerUp:
        Pointer(raw);
        return;
      default:
        return;
    }
  }

  void Pointer(const Raw &raw) {
    if (raw.pointer & kNotPrimary) return;  // a second finger
    POINT p = ScreenPoint(raw);
    bool moved = p.x != pointer_.x || p.y != pointer_.y;
    pointer_ = p;
    if (drag_.surface) {
      DragTo(raw, p);
      if (raw.kind == kPointerUp) drag_ = Drag{};
      return;
    }
    if (closing_) {
      bool held = closing_->shown && BoxAt(*closing_, p) == Box::Close;
      if (held != closeHeld_) {
        closeHeld_ = held;
        Show(BoxRect(*closing_, Box::Close));
      }
      if (raw.kind == kPointerUp) {
        Surface *s = closing_;
        closing_ = nullptr;
        closeHeld_ = false;
        Show(BoxRect(*s, Box::Close));
        if (held) {
          InputEvent ev;
          ev.type = InputEvent::Close;
          Push(ev, s, raw);
        }
      }
      return;
    }
    // While a button is held, the window it went down on has the pointer, wherever it
    // goes; otherwise the window under it, or, over the bare desktop, the topmost one (the
    // layer drops what no window can take, and a window that has the capture takes it).
    Surface *s = pressed_ ? pressed_ : TopmostAt(p);
    if (!s) s = Active();
    if (!s) return;
    if (raw.kind == kPointerDown && !pressed_ && Inside(s->Outer(), p) && !Inside(s->rect, p)) {
      FramePressed(*s, p, raw);
      return;
    }
    int button = raw.button == 2 ? 1 : raw.button == 1 ? 2 : 0;
    switch (raw.kind) {
      case kPointerMove:
        PushMouse(InputEvent::MouseMove, s, p, raw);
        break;
      case kPointerDown:
        // A touch comes down where no pointer was: the layer first sees it arrive there.
        if (moved || (raw.pointer & kTouch)) PushMouse(InputEvent::MouseMove, s, p, raw);
        PushMouse(InputEvent::MouseDown, s, p, raw, button);
        pressed_ = s;
        break;
      case kPointerUp:
        PushMouse(InputEvent::MouseUp, s, p, raw, button);
        pressed_ = nullptr;
        break;
      default:
        break;
    }
  }

  // A press on a window's frame: its close box, or its title bar to drag it by.
  void FramePressed(Surface &s, POINT p, const Raw &raw) {
    if (raw.button != 0 || !s.decorated || !IsWindowEnabled(s.hwnd)) return;
    Box box = BoxAt(s, p);
    if (box == Box::Close) {
      closing_ = &s;
      closeHeld_ = true;
      Show(BoxRect(s, Box::Close));
    } else if (box == Box::None && Inside(CaptionRect(s), p)) {
      RECT o = s.Outer();
      drag_ = Drag{&s, POINT{p.x - o.left, p.y - o.top}};
    }
  }

  // The window follows the pointer, its title bar kept on the screen.
  void DragTo(const Raw &raw, POINT p) {
    Surface &s = *drag_.surface;
    RECT o = s.Outer();
    int w = o.right - o.left;
    int left = std::clamp<int>(p.x - drag_.grab.x, 40 - w, kScreenW - 40);
    int top = std::clamp<int>(p.y - drag_.grab.y, 0, kScreenH - s.frame.top);
    int dx = left - o.left, dy = top - o.top;
    if (dx == 0 && dy == 0) return;
    RECT before = o;
    OffsetRect(&s.rect, dx, dy);
    Announce(s);
    Show(RectUnion(before, s.Outer()));
    InputEvent ev;
    ev.type = InputEvent::Moved;
    ev.x = s.rect.left;
    ev.y = s.rect.top;
    // Only where the window is now matters to the layer.
    std::erase_if(pending_, [&s](const InputEvent &e) {
      return e.surface == &s && e.type == InputEvent::Moved;
    });
    Push(ev, &s, raw);
  }

  void ApplyCursor() {
    int kind = 0;  // the arrow
    if (!cursorVisible_) {
      kind = 4;
    } else if (cursorShape_ == 32513) {
      kind = 1;
    } else if (cursorShape_ == 32514) {
      kind = 2;
    } else if (cursorShape_ == 32515) {
      kind = 3;
    }
    zant_js_cursor(kind);
  }

  // Tells the page where a window is, for the page's list of windows (and the main
  // window's title for the page's own).
  void Announce(const Surface &s) {
    RECT o = s.Outer();
    std::string title = web::Utf8(s.title);
    zant_js_window(s.id, title.c_str(), o.left, o.top, o.right, o.bottom, s.shown ? 1 : 0);
    if (s.decorated && !s.owned) zant_js_title(title.c_str());
  }

  Surface *Find(void *handle) {
    for (auto &p : stack_) {
      if (p.get() == handle) return p.get();
    }
    return nullptr;
  }

  struct Placement {
    double left = 0, top = 0, width = kScreenW, height = kScreenH;
  };

  Image screen_;
  std::vector<uint8_t> rgba_;
  std::vector<std::unique_ptr<Surface>> stack_;  // bottom to top
  std::deque<InputEvent> pending_;
  Placement place_;
  POINT pointer_{-1, -1};
  Surface *pressed_ = nullptr;
  Surface *closing_ = nullptr;
  bool closeHeld_ = false;
  Drag drag_;
  int lastId_ = 0;
  int cursorShape_ = 32512;
  bool cursorVisible_ = true;
  double lastTurn_ = emscripten_get_now();  // the page's last turn (the program starts on one)
  bool unseen_ = false;                     // drawn since then
  Clock clock_;
  web::Mirror mirror_;
  HFONT captionFont_ = nullptr;
  HWND shownActive_ = nullptr;
};

WebBackend &TheBackend() {
  static WebBackend *backend = new WebBackend;
  return *backend;
}

// --- Font files -------------------------------------------------------------------------
// The Liberation faces stand in for Windows' faces as fontconfig's metric aliases make
// them do on the desktop: Times New Roman is Liberation Serif, Arial and the dialog faces
// Liberation Sans, Courier New Liberation Mono; any other name goes by its generic family.
std::string FamilyOf(const std::string &name, int pitchAndFamily) {
  struct Alias {
    const char *name;
    const char *family;
  };
  static const Alias kAliases[] = {
      {"Liberation Sans", "Sans"},  {"Arial", "Sans"},           {"Liberation Serif", "Serif"},
      {"Times New Roman", "Serif"}, {"Liberation Mono", "Mono"}, {"Courier New", "Mono"},
  };
  for (const Alias &a : kAliases) {
    if (strcasecmp(name.c_str(), a.name) == 0) return a.family;
  }
  if (IsDialogFace(name)) return "Sans";
  std::string generic = GenericFamily(pitchAndFamily);
  return generic == "serif" ? "Serif" : generic == "monospace" ? "Mono" : "Sans";
}

// Fontconfig's weight scale from Windows' (OpenType's) 1 .. 1000, as fontconfig maps it.
int FontconfigWeight(int weight) {
  static const int kMap[][2] = {{100, 0},   {200, 40},  {300, 50},  {350, 55},
                                {380, 75},  {400, 80},  {500, 100}, {600, 180},
                                {700, 200}, {800, 205}, {900, 210}, {1000, 215}};
  if (weight <= 100) return 0;
  for (size_t i = 1; i < std::size(kMap); ++i) {
    if (weight <= kMap[i][0]) {
      const int *a = kMap[i - 1], *b = kMap[i];
      return a[1] + (weight - a[0]) * (b[1] - a[1]) / (b[0] - a[0]);
    }
  }
  return 215;
}

const std::vector<std::string> &CarriedFonts() {
  static const std::vector<std::string> files = [] {
    // (Split by hand: a string stream would bring the whole of the C++ locales into the
    // page's WebAssembly.)
    std::vector<std::string> list;
    std::string_view names = ZANT_WEB_FONTS;
    while (!names.empty()) {
      size_t comma = std::min(names.find(','), names.size());
      if (comma > 0) list.emplace_back(names.substr(0, comma));
      names.remove_prefix(std::min(comma + 1, names.size()));
    }
    return list;
  }();
  return files;
}

// A font file of the site in the program's file system (under /fonts), fetched the first
// time; false when the site does not give it.
bool LoadFontFile(const std::string &file) {
  static std::set<std::string> loaded, missing;
  if (loaded.count(file)) return true;
  if (missing.count(file)) return false;
  if (!zant_js_fetch(("fonts/" + file).c_str(), ("/fonts/" + file).c_str())) {
    std::fprintf(stderr, "zant: cannot load the font file fonts/%s\n", file.c_str());
    missing.insert(file);
    return false;
  }
  loaded.insert(file);
  return true;
}

}  // namespace

// The face file for a request: the Liberation face fontconfig would choose (regular or
// bold by the nearer weight on fontconfig's scale, bold when both are as near; italic
// when asked), or, when the site does not carry that
// one, the nearest face of the family it does carry (FreeType then makes up the weight or
// the slant). Files come from the site the first time they are needed.
FaceFile MatchFace(const std::string &name, int weight, bool italic, int pitchAndFamily) {
  const std::vector<std::string> &carried = CarriedFonts();
  std::string family = FamilyOf(name, pitchAndFamily);
  bool bold = FontconfigWeight(weight > 0 ? weight : FW_NORMAL) >= 140;
  auto fileOf = [&family](bool b, bool i) {
    return "Liberation" + family + "-" +
           (b && i ? "BoldItalic"
            : b    ? "Bold"
            : i    ? "Italic"
                   : "Regular") +
           ".ttf";
  };
  std::vector<std::string> wanted = {fileOf(bold, italic), fileOf(bold, !italic),
                                     fileOf(!bold, italic), fileOf(!bold, !italic)};
  std::string file;
  for (const std::string &w : wanted) {
    if (std::find(carried.begin(), carried.end(), w) != carried.end()) {
      file = w;
      break;
    }
  }
  if (file.empty() && !carried.empty()) file = carried.front();
  if (file.empty() || !LoadFontFile(file)) return FaceFile{};
  return FaceFile{"/fonts/" + file, 0};
}

BackendApi &Backend() {
  return TheBackend();
}

void WebBackend::FetchFonts() {
  for (const std::string &name : PicturesElsewhere()) {
    std::string file = PictureFile(name.c_str());
    if (!file.empty()) zant_js_prefetch(file.c_str());
  }
  for (const std::string &file : CarriedFonts()) zant_js_prefetch(("fonts/" + file).c_str());
  for (const std::string &file : CarriedFonts()) LoadFontFile(file);
}

}  // namespace zp

// The page's program: the game, and then the page's word that it has ended. (A program
// with a main of its own on this back end, the solver's benchmark page, takes its place.)
__attribute__((weak)) int main() {
  zp::TheBackend().FetchFonts();
  zant_js_running();
  int code = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  zp::TheBackend().Ended();
  return code;
}
