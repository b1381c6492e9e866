// The real-window back end: each top-level surface of the layer is one SDL window, shown
// through SDL's window framebuffer, a plain CPU-side picture that SDL hands to the display
// directly (on X11 a shared-memory image). The layer hands over what changed; the back end
// copies that part into the framebuffer and puts just that rectangle on screen at once,
// since the game may draw (a blinking notice, a rolling die) without ever waiting for input.
// No renderer is made, and SDL is told not to build the framebuffer on one, so no GL
// library is ever loaded: the layer draws every pixel itself and a GPU would add nothing
// but start-up time and memory.
//
// SDL is started on first use, with the video subsystem only, and is told to leave the
// process's signal handlers alone.
//
// On a desktop that asks programs to draw larger (a high-density screen: GDK_SCALE, or an
// Xft.dpi of 144 and more), every window is shown larger by the nearest whole factor, each
// of the layer's pixels a square of device pixels, crisp, and input is mapped back: the
// layer, and the game, see the sizes they always see. Windows does the same for a program
// that declares no awareness of the screen's density.
//
// Text input stays off: the program has no text field, and with text input on, an input
// method may take the keys (the accelerators N, R, ...) for text it composes.
#include "sdl_backend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "backend.h"
#include "x11_display.h"

namespace zp::sdl {

// ---------------------------------------------------------------------------------
// Keys and text
// ---------------------------------------------------------------------------------
UINT VirtualKeyFromSdl(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);  // VK_NUMPAD1..
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_END:
      return VK_END;
    case SDLK_PAGEUP:
      return 0x21;  // VK_PRIOR
    case SDLK_PAGEDOWN:
      return 0x22;  // VK_NEXT
    case SDLK_INSERT:
      return 0x2D;
    case SDLK_DELETE:
      return 0x2E;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_PAUSE:
      return 0x13;
    case SDLK_CAPSLOCK:
      return 0x14;
    case SDLK_KP_0:
      return 0x60;  // VK_NUMPAD0
    case SDLK_KP_MULTIPLY:
      return 0x6A;
    case SDLK_KP_PLUS:
      return 0x6B;
    case SDLK_KP_MINUS:
      return 0x6D;
    case SDLK_KP_PERIOD:
      return 0x6E;
    case SDLK_KP_DIVIDE:
      return 0x6F;
    // The punctuation keys of a US keyboard, by the OEM codes Windows gives them.
    case SDLK_SEMICOLON:
      return 0xBA;
    case SDLK_EQUALS:
      return 0xBB;
    case SDLK_COMMA:
      return 0xBC;
    case SDLK_MINUS:
      return 0xBD;
    case SDLK_PERIOD:
      return 0xBE;
    case SDLK_SLASH:
      return 0xBF;
    case SDLK_BACKQUOTE:
      return 0xC0;
    case SDLK_LEFTBRACKET:
      return 0xDB;
    case SDLK_BACKSLASH:
      return 0xDC;
    case SDLK_RIGHTBRACKET:
      return 0xDD;
    case SDLK_QUOTE:
      return 0xDE;
    default:
      return 0;
  }
}

char ControlCharForKey(UINT vk, Uint16 modifiers) {
  if (modifiers & (KMOD_CTRL | KMOD_ALT)) return 0;
  switch (vk) {
    case VK_RETURN:
      return '\r';
    case VK_ESCAPE:
      return '\x1b';
    case VK_TAB:
      return '\t';
    case VK_BACK:
      return '\b';
    default:
      return 0;
  }
}

// Windows-1252 puts typographic characters where Latin-1 has control codes (0x80..0x9F);
// 0 marks the five codes it leaves undefined.
static const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

static void AppendUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8FromAnsi(const char *ansi) {
  std::string out;
  if (!ansi) return out;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(ansi); *p; ++p) {
    uint32_t cp = *p;
    if (cp >= 0x80 && cp < 0xA0) {
      cp = kCp1252High[cp - 0x80];
      if (cp == 0) continue;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string AnsiFromUtf8(const char *utf8) {
  std::string out;
  if (!utf8) return out;
  const unsigned char *p = reinterpret_cast<const unsigned char *>(utf8);
  while (*p) {
    // Decode one code point; a malformed sequence is skipped a byte at a time.
    uint32_t cp = 0;
    int extra = 0;
    if (*p < 0x80) {
      cp = *p;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      ++p;
      continue;
    }
    int i = 1;
    for (; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) break;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (i <= extra) {
      ++p;
      continue;
    }
    p += extra + 1;

    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
      out += static_cast<char>(cp);
      continue;
    }
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] != 0 && kCp1252High[k] == cp) {
        out += static_cast<char>(0x80 + k);
        break;
      }
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------
// The back end
// ---------------------------------------------------------------------------------
namespace {

struct Surface {
  SDL_Window *window = nullptr;
  Uint32 windowId = 0;
  // On an X display whose pixels are the layer's own, the picture the layer composes is
  // kept here and put on the window from here (no framebuffer of SDL's).
  bool direct = false;
  Image canvas;
  // The framebuffer last drawn into and the size of the image copied there. A new
  // framebuffer (SDL makes one when the window's size changes, with nothing in it) or an
  // image of another size means the next image goes in whole.
  SDL_Surface *shownOn = nullptr;
  int shownW = 0;
  int shownH = 0;
};

class SdlBackend final : public BackendApi {
 public:
  ~SdlBackend() override { Shutdown(); }

  void *CreateSurface(const SurfaceInfo &info) override {
    if (!StartVideo()) return nullptr;
    int w = info.screenRect.right - info.screenRect.left;
    int h = info.screenRect.bottom - info.screenRect.top;
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!info.decorated) flags |= SDL_WINDOW_BORDERLESS;
    // As on Windows, an owned window (a dialog, a message box) has no taskbar button.
    Surface *owner = Find(info.ownerSurface);
    if (owner) flags |= SDL_WINDOW_SKIP_TASKBAR;
    // A dialog or a message box has a modal frame: a title, a close box only with a system
    // menu, no minimise or maximise box (the main window keeps the frame SDL asks for).
    // The window manager is told that an owned one is a dialog, as Wine tells it.
    bool modal = info.decorated && (info.exStyle & WS_EX_DLGMODALFRAME);
    x11::ModalFrame modalFrame;
    modalFrame.systemMenu = (info.style & WS_SYSMENU) != 0;
    if (modal && owner) SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
    std::string title = Utf8FromAnsi(info.title);
    SDL_Window *window =
        SDL_CreateWindow(title.c_str(), info.screenRect.left * scale_, info.screenRect.top * scale_,
                         w * scale_, h * scale_, flags);
    if (modal && owner) SDL_ResetHint(SDL_HINT_X11_WINDOW_TYPE);
    if (!window) {
      std::fprintf(stderr, "zant: cannot open a window: %s\n", SDL_GetError());
      return nullptr;
    }
    bool direct = x11::PutsPixels(window);
    // The framebuffer is made now, so that a display without one fails here, where the
    // layer can report it, rather than at the first picture.
    if (!direct && !SDL_GetWindowSurface(window)) {
      std::fprintf(stderr,
                   "zant: cannot draw in a window: %s\n"
                   "zant: (on a display without a plain framebuffer, "
                   "SDL_FRAMEBUFFER_ACCELERATION=1 lets SDL use GL)\n",
                   SDL_GetError());
      SDL_DestroyWindow(window);
      return nullptr;
    }
    x11::WindowCreated(window, modal ? &modalFrame : nullptr);
    auto surface = std::make_unique<Surface>();
    surface->window = window;
    surface->windowId = SDL_GetWindowID(window);
    surface->direct = direct;
    // A dialog stays above the window that owns it (a transient window on X11).
    if (owner) SDL_SetWindowModalFor(window, owner->window);
    Surface *raw = surface.get();
    surfaces_[raw->windowId] = std::move(surface);
    return raw;
  }

  void DestroySurface(void *handle) override {
    Surface *s = Find(handle);
    if (!s) return;
    // Input already taken from SDL for this window has nowhere to go any more.
    std::erase_if(pending_, [s](const InputEvent &ev) { return ev.surface == s; });
    x11::WindowDestroyed(s->window);
    SDL_DestroyWindow(s->window);  // and its framebuffer
    surfaces_.erase(s->windowId);
  }

  void ShowSurface(void *handle, bool show) override {
    Surface *s = Find(handle);
    if (!s) return;
    if (show) {
      SDL_ShowWindow(s->window);
      SDL_RaiseWindow(s->window);
      // What the picture holds goes up now; the window's first Expose brings the rest.
      if (s->direct && s->canvas.w > 0) {
        Put(*s, s->canvas, RECT{0, 0, s->canvas.w, s->canvas.h});
      } else if (s->shownOn) {
        SDL_UpdateWindowSurface(s->window);
      }
    } else {
      SDL_HideWindow(s->window);
    }
  }

  void MoveSurface(void *handle, const RECT &screenRect) override {
    Surface *s = Find(handle);
    if (!s) return;
    int w = screenRect.right - screenRect.left;
    int h = screenRect.bottom - screenRect.top;
    SDL_SetWindowPosition(s->window, screenRect.left * scale_, screenRect.top * scale_);
    SDL_SetWindowSize(s->window, std::max(w, 1) * scale_, std::max(h, 1) * scale_);
  }

  void SetTitle(void *handle, const char *title) override {
    Surface *s = Find(handle);
    if (!s) return;
    SDL_SetWindowTitle(s->window, Utf8FromAnsi(title).c_str());
  }

  void SetIcon(void *handle, const Image &image, const std::vector<uint8_t> &alpha) override {
    Surface *s = Find(handle);
    if (!s || image.w <= 0 || image.h <= 0) return;
    std::vector<uint32_t> argb(image.px.size());
    for (size_t i = 0; i < argb.size(); ++i) {
      uint32_t a = alpha.size() == argb.size() ? alpha[i] : 0xFF;
      argb[i] = (a << 24) | (image.px[i] & 0xFFFFFF);
    }
    SDL_Surface *icon = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), image.w, image.h, 32,
                                                           image.w * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;
    SDL_SetWindowIcon(s->window, icon);  // SDL keeps its own copy
    SDL_FreeSurface(icon);
  }

  Image *SurfaceCanvas(void *handle) override {
    Surface *s = Find(handle);
    return s && s->direct ? &s->canvas : nullptr;
  }

  void Present(void *handle, const Image &image, const RECT &changed) override {
    Surface *s = Find(handle);
    if (!s || image.w <= 0 || image.h <= 0) return;
    if (s->direct) {
      Put(*s, image, changed);
      PumpDisplay();
      return;
    }
    SDL_Surface *fb = SDL_GetWindowSurface(s->window);
    if (!fb) return;
    RECT r = changed;
    if (fb != s->shownOn || s->shownW != image.w || s->shownH != image.h)
      r = RECT{0, 0, image.w, image.h};
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, std::min(image.w, fb->w / scale_));
    r.bottom = std::min<LONG>(r.bottom, std::min(image.h, fb->h / scale_));
    if (r.left >= r.right || r.top >= r.bottom) return;

    // Image pixels are 0x00RRGGBB words (SDL's RGB888); the framebuffer has the display's
    // format, which on a 24-bit X display is that same one. At a scale each pixel becomes a
    // square of pixels first.
    const int k = scale_;
    SDL_Rect area{r.left * k, r.top * k, (r.right - r.left) * k, (r.bottom - r.top) * k};
    int pitch = image.w * static_cast<int>(sizeof(uint32_t));
    const uint32_t *from = image.Row(r.top) + r.left;
    if (k > 1) {
      from = Scaled(image, r);
      pitch = area.w * static_cast<int>(sizeof(uint32_t));
    }
    auto *to = static_cast<uint8_t *>(fb->pixels) + size_t(area.y) * fb->pitch +
               size_t(area.x) * fb->format->BytesPerPixel;
    if (SDL_MUSTLOCK(fb)) SDL_LockSurface(fb);
    SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_RGB888, from, pitch, fb->format->format, to,
                      fb->pitch);
    if (SDL_MUSTLOCK(fb)) SDL_UnlockSurface(fb);
    SDL_UpdateWindowSurfaceRects(s->window, &area, 1);
    s->shownOn = fb;
    s->shownW = image.w;
    s->shownH = image.h;
    PumpDisplay();
  }

  // The pages that hold nothing but [data, data + size) go out of the process's memory;
  // touched again, they are read back from the program's file (they are never written).
  void ReleaseReadOnly(const void *data, size_t size) override {
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t to = (uintptr_t(data) + size) & ~(page - 1);
    if (to > from) madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
  }

  bool PollEvent(InputEvent &ev) override {
    if (pending_.empty() && started_) {
      SDL_Event e;
      while (pending_.empty() && SDL_PollEvent(&e)) Translate(e);
    }
    if (pending_.empty()) return false;
    ev = pending_.front();
    pending_.pop_front();
    return true;
  }

  // Nothing but the display brings input (the layer has no timers and no other threads),
  // so an idle program sleeps here until the display has something for it, however long
  // that takes, and costs no wake-ups.
  void WaitEvent() override {
    if (!pending_.empty()) return;
    if (!started_) {
      // No window was ever opened, so no input can come: wait a little, as a real wait
      // would, rather than spin.
      SDL_Delay(kNoDisplayWaitMs);
      return;
    }
    SDL_Event e;
    if (x11::Attached()) {
      // On X11 the back end waits on the display connection itself (x11_display.cpp says
      // why SDL must not): what SDL has already read comes first.
      if (SDL_PollEvent(&e)) {
        Translate(e);
        return;
      }
      x11::Wait(-1);
      return;
    }
    if (SDL_WaitEvent(&e)) Translate(e);
  }

  // Milliseconds since the system started, from its coarse clock: like Windows' tick
  // count, it advances in steps of a few milliseconds, and reading it costs a fraction of
  // a precise clock, which counts in a loop that looks at the time between every step.
  DWORD Ticks() override {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<DWORD>(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
  }
  void SleepMs(DWORD ms) override { SDL_Delay(ms); }

  SIZE ScreenSize() override {
    SDL_DisplayMode mode;
    if (StartVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0)
      return SIZE{mode.w / scale_, mode.h / scale_};
    return SIZE{kFallbackScreenW, kFallbackScreenH};
  }

  void SetCursorShape(int id) override {
    if (!StartVideo()) return;
    SDL_SystemCursor shape = SDL_SYSTEM_CURSOR_ARROW;
    switch (id) {
      case 32513:
        shape = SDL_SYSTEM_CURSOR_IBEAM;
        break;
      case 32514:
        shape = SDL_SYSTEM_CURSOR_WAIT;
        break;
      case 32515:
        shape = SDL_SYSTEM_CURSOR_CROSSHAIR;
        break;
      default:
        break;
    }
    SDL_Cursor *&cursor = cursors_[shape];
    if (!cursor) cursor = SDL_CreateSystemCursor(shape);
    if (cursor) SDL_SetCursor(cursor);
  }

  void SetCursorVisible(bool visible) override {
    if (StartVideo()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }

  void WarpPointer(int x, int y) override {
    if (StartVideo()) SDL_WarpMouseGlobal(x * scale_, y * scale_);
  }

  void Reset() override { Shutdown(); }

  // A program that draws while it computes may not look at its queue for a long time.
  // Moving the display's events into SDL's queue after each picture (nothing is lost) lets
  // SDL answer the window manager's pings, so the window is not taken for hung.
  static void PumpDisplay() { SDL_PumpEvents(); }

  // Puts `changed` of the picture on a direct surface's window, at the desktop's scale.
  void Put(Surface &s, const Image &image, RECT r) {
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, image.w);
    r.bottom = std::min<LONG>(r.bottom, image.h);
    if (r.left >= r.right || r.top >= r.bottom) return;
    const int k = scale_, w = (r.right - r.left) * k, h = (r.bottom - r.top) * k;
    if (k == 1) {
      x11::PutPixels(s.window, image.px.data(), image.w, image.h, r.left, r.top, w, h, r.left,
                     r.top);
    } else {
      x11::PutPixels(s.window, Scaled(image, r), w, h, 0, 0, w, h, r.left * k, r.top * k);
    }
  }

  // The part `r` of the picture with each pixel made a square of scale_ x scale_ pixels.
  const uint32_t *Scaled(const Image &image, const RECT &r) {
    const int k = scale_, w = (r.right - r.left) * k, h = (r.bottom - r.top) * k;
    scaled_.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
      const uint32_t *in = image.Row(r.top + y / k) + r.left;
      uint32_t *out = scaled_.data() + size_t(y) * w;
      for (int x = 0; x < w; ++x) out[x] = in[x / k];
    }
    return scaled_.data();
  }

  SDL_Window *WindowOf(void *handle) {
    Surface *s = Find(handle);
    return s ? s->window : nullptr;
  }

 private:
  // How long a wait lasts before any window was opened (nothing can come then).
  static constexpr Uint32 kNoDisplayWaitMs = 100;
  // What the screen size is taken to be when there is no display to ask.
  static constexpr int kFallbackScreenW = 1024;
  static constexpr int kFallbackScreenH = 768;
  // The largest scale taken from the desktop, and the screen it must leave the layer.
  static constexpr int kLargestScale = 8;
  static constexpr int kSmallestScreenW = 640;
  static constexpr int kSmallestScreenH = 480;

  bool StartVideo() {
    if (started_) return true;
    if (failed_) return false;
    // Ctrl+C and friends keep their usual meaning: SDL must not catch signals.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window framebuffer stays a plain picture in memory: without this SDL would
    // build it on a GL renderer, loading the GL driver (and LLVM with it) at start-up.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Closing the last window is the program's business (WM_CLOSE), not a quit request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SkipUnusedInputSetUp();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) != 0) {
      std::fprintf(stderr, "zant: cannot reach the display: %s\n", SDL_GetError());
      failed_ = true;
      return false;
    }
    // Without a display SDL may settle for a driver that shows nothing ("offscreen"):
    // the program would then run with nobody able to see or close it. Such a driver is
    // used only when asked for by name (SDL_VIDEODRIVER, as the tests do).
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *asked = SDL_getenv("SDL_VIDEODRIVER");
    bool invisible =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && !(asked && *asked)) {
      std::fprintf(stderr, "zant: no display to open windows on (DISPLAY is not set?)\n");
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      failed_ = true;
      return false;
    }
    bool x11 = driver && std::strcmp(driver, "x11") == 0;
    if (x11) x11::Start();
    // SDL turns text input on by itself where there is no on-screen keyboard.
    SDL_StopTextInput();
    scale_ = DesktopScale(x11);
    started_ = true;
    return true;
  }

  // Two things SDL's start on X11 does that the layer has no use for, and which make up
  // much of it, are left out where the user has not asked for them. The layer takes key
  // presses, never composed text (it drops SDL's text events), so Xlib's table of compose
  // sequences, thousands of lines it reads and parses while SDL opens the display, is
  // given as empty. And where no session bus is announced, libdbus would fork a helper
  // to start one (SDL asks the bus for an input method): a game has no business starting
  // a bus, and there is none to find, so the bus is declared absent.
  static void SkipUnusedInputSetUp() {
    if (!SDL_getenv("XCOMPOSEFILE")) SDL_setenv("XCOMPOSEFILE", "/dev/null", 0);
    if (!SDL_getenv("DBUS_SESSION_BUS_ADDRESS"))
      SDL_setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
  }

  void Shutdown() {
    while (!surfaces_.empty()) DestroySurface(surfaces_.begin()->second.get());
    pending_.clear();
    if (started_) {
      for (auto &[shape, cursor] : cursors_) SDL_FreeCursor(cursor);
      cursors_.clear();
      x11::Stop();
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    started_ = false;
    failed_ = false;
    scale_ = 1;
  }

  // The whole factor the desktop asks programs to draw larger by: GDK_SCALE where it is set
  // (desktops set it for a high-density screen), else the X resources' Xft.dpi over 96,
  // rounded to the nearest whole number (2 from 144 dpi on). It is lowered where the screen
  // would hold less than the layer's smallest desktop at it.
  int DesktopScale(bool x11) {
    int asked = 1;
    const char *gdk = SDL_getenv("GDK_SCALE");
    if (gdk && *gdk) {
      asked = std::atoi(gdk);
    } else if (x11) {
      asked = static_cast<int>(x11::ResourceDpi() / 96.0 + 0.5);
    }
    asked = std::clamp(asked, 1, kLargestScale);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      while (asked > 1 && (mode.w / asked < kSmallestScreenW || mode.h / asked < kSmallestScreenH))
        --asked;
    }
    return asked;
  }

  Surface *Find(void *handle) {
    if (!handle) return nullptr;
    for (auto &[id, s] : surfaces_) {
      if (s.get() == handle) return s.get();
    }
    return nullptr;
  }

  Surface *FromWindowId(Uint32 id) {
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : it->second.get();
  }

  // A device coordinate in the layer's pixels.
  int Unscaled(int device) const {
    return device >= 0 ? device / scale_ : -((-device + scale_ - 1) / scale_);
  }

  // SDL stamps an event with its own clock when it arrives; the message keeps its age on
  // the layer's clock.
  void Push(InputEvent ev, Surface *s, Uint32 timestamp) {
    ev.surface = s;
    ev.time = Ticks() - (SDL_GetTicks() - timestamp);
    pending_.push_back(ev);
  }

  void PushChar(char c, Surface *s, Uint32 timestamp) {
    InputEvent chr;
    chr.type = InputEvent::Char;
    chr.ch = c;
    Push(chr, s, timestamp);
  }

  // Turns one SDL event into the layer's input events (none, one or several).
  void Translate(const SDL_Event &e) {
    InputEvent ev;
    switch (e.type) {
      case SDL_MOUSEMOTION: {
        Surface *s = FromWindowId(e.motion.windowID);
        if (!s) return;
        ev.type = InputEvent::MouseMove;
        ev.x = Unscaled(e.motion.x);
        ev.y = Unscaled(e.motion.y);
        Push(ev, s, e.motion.timestamp);
        return;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        Surface *s = FromWindowId(e.button.windowID);
        if (!s) return;
        switch (e.button.button) {
          case SDL_BUTTON_LEFT:
            ev.button = 0;
            break;
          case SDL_BUTTON_RIGHT:
            ev.button = 1;
            break;
          case SDL_BUTTON_MIDDLE:
            ev.button = 2;
            break;
          default:
            return;
        }
        ev.type = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::MouseDown : InputEvent::MouseUp;
        ev.x = Unscaled(e.button.x);
        ev.y = Unscaled(e.button.y);
        Push(ev, s, e.button.timestamp);
        return;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        UINT vk = VirtualKeyFromSdl(e.key.keysym.sym);
        if (vk == 0) return;
        Surface *s = FromWindowId(e.key.windowID);
        ev.type = e.type == SDL_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp;
        ev.vk = vk;
        Push(ev, s, e.key.timestamp);
        if (e.type == SDL_KEYDOWN) {
          // Keys that type no text still give Windows programs a character.
          if (char c = ControlCharForKey(vk, e.key.keysym.mod)) PushChar(c, s, e.key.timestamp);
        }
        return;
      }
      case SDL_TEXTINPUT: {
        Surface *s = FromWindowId(e.text.windowID);
        for (char c : AnsiFromUtf8(e.text.text)) PushChar(c, s, e.text.timestamp);
        return;
      }
      case SDL_WINDOWEVENT: {
        Surface *s = FromWindowId(e.window.windowID);
        if (!s) return;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          ev.type = InputEvent::Close;
          Push(ev, s, e.window.timestamp);
        } else if (e.window.event == SDL_WINDOWEVENT_MOVED) {
          // The user dragged the window by its title bar (or the window manager placed it
          // somewhere else than asked): the layer keeps its window rectangles true.
          ev.type = InputEvent::Moved;
          ev.x = Unscaled(e.window.data1);
          ev.y = Unscaled(e.window.data2);
          Push(ev, s, e.window.timestamp);
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
          ev.type = InputEvent::Activate;
          Push(ev, s, e.window.timestamp);
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                   e.window.event == SDL_WINDOWEVENT_SHOWN) {
          // The layer shows the whole surface again.
          int w = 0, h = 0;
          SDL_GetWindowSize(s->window, &w, &h);
          ev.type = InputEvent::Expose;
          ev.rect = RECT{0, 0, (w + scale_ - 1) / scale_, (h + scale_ - 1) / scale_};
          Push(ev, s, e.window.timestamp);
        }
        return;
      }
      default:
        return;  // SDL_QUIT among others: closing goes through each window's Close
    }
  }

  std::map<Uint32, std::unique_ptr<Surface>> surfaces_;  // by SDL window id
  std::deque<InputEvent> pending_;
  std::map<SDL_SystemCursor, SDL_Cursor *> cursors_;
  std::vector<uint32_t> scaled_;  // a changed part of a picture, scaled, on its way
  int scale_ = 1;                 // device pixels per pixel of the layer, each way
  bool started_ = false;
  bool failed_ = false;
};

}  // namespace
}  // namespace zp::sdl

namespace zp {

// Never destroyed: windows may still be torn down while the program exits, and the
// display connection closes with the process anyway.
static sdl::SdlBackend &TheBackend() {
  static sdl::SdlBackend *backend = new sdl::SdlBackend;
  return *backend;
}

BackendApi &Backend() {
  return TheBackend();
}

SDL_Window *sdl::WindowOf(void *surface) {
  return TheBackend().WindowOf(surface);
}

}  // namespace zp
