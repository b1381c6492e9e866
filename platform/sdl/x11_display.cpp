// SDL's X11 connection, as the back end uses it beneath SDL.
//
// Why the back end waits for input itself: SDL_WaitEventTimeout wakes itself up by sending
// a client message to one of the program's shown windows over a second connection to the
// X server, whenever an event arrives while it waits. The server handles the requests of
// the two connections in an order of its own. When the program destroys that window on the
// main connection (a dialog or a pop-up menu closing) before the server has read the
// message, the message earns a BadWindow error, and Xlib's default handler ends the
// process. On an idle machine the server reads the message first; on a busy one it often
// does not. So the back end never asks SDL to wait: it waits on the main connection's
// socket, then lets SDL read what came. SDL sends no wake-up message then.
//
// The error handler is the second line of defence: a request about a window of ours that
// is already gone cannot end the program, whoever made it.
#include "x11_display.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

namespace zp::x11 {
namespace {

Display *g_display = nullptr;  // SDL's main connection, once a window was made on it

// The X ids of the windows destroyed most recently. An error about one of them comes
// from a request that was on its way when the window went; ids are not reused by Xlib.
std::deque<unsigned long> g_gone;
constexpr size_t kGoneKept = 4096;

// The most of a picture put in one request when Xlib must copy it (its output buffer is
// 16 KB).
constexpr int kBandBytes = 8192;

// The graphics context each window's pictures are put with (made at its first picture).
std::map<Window, GC> g_contexts;

XErrorHandler g_previous = nullptr;
bool g_guarding = false;
unsigned long g_ignored = 0;

Window XWindowOf(SDL_Window *window, Display **display) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  if (display) *display = info.info.x11.display;
  return info.info.x11.window;
}

int OnXError(Display *display, XErrorEvent *error) {
  bool aboutGone = (error->error_code == BadWindow || error->error_code == BadDrawable) &&
                   std::find(g_gone.begin(), g_gone.end(), error->resourceid) != g_gone.end();
  if (!aboutGone) return g_previous ? g_previous(display, error) : 0;
  if (g_ignored++ == 0) {
    std::fprintf(stderr,
                 "zant: ignored an X error about window 0x%lx, already closed "
                 "(error %d, request %d); further ones are ignored silently\n",
                 error->resourceid, error->error_code, error->request_code);
  }
  return 0;
}

// Motif's window manager hints, which window managers read for the buttons and the frame
// of a window (functions: what it may do; decorations: what is drawn).
struct MotifHints {
  unsigned long flags;
  unsigned long functions;
  unsigned long decorations;
  long inputMode;
  unsigned long status;
};
constexpr unsigned long kMotifFunctions = 1 << 0, kMotifDecorations = 1 << 1;
constexpr unsigned long kFuncMove = 1 << 2, kFuncClose = 1 << 5;
constexpr unsigned long kDecorBorder = 1 << 1, kDecorTitle = 1 << 3, kDecorMenu = 1 << 4;

void AskForModalFrame(Display *display, Window window, const ModalFrame &frame) {
  MotifHints hints{kMotifFunctions | kMotifDecorations, kFuncMove, kDecorBorder | kDecorTitle, 0,
                   0};
  if (frame.systemMenu) {
    hints.functions |= kFuncClose;
    hints.decorations |= kDecorMenu;
  }
  Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, window, motif, motif, 32, PropModeReplace,
                  reinterpret_cast<unsigned char *>(&hints), sizeof hints / sizeof(long));
}

}  // namespace

void WindowCreated(SDL_Window *window, const ModalFrame *modalFrame) {
  Display *display = nullptr;
  Window xwindow = XWindowOf(window, &display);
  if (!xwindow) return;
  if (!g_display) g_display = display;
  if (modalFrame) AskForModalFrame(display, xwindow, *modalFrame);
}

void WindowDestroyed(SDL_Window *window) {
  Display *display = nullptr;
  Window xwindow = XWindowOf(window, &display);
  if (!xwindow) return;
  if (auto gc = g_contexts.find(xwindow); gc != g_contexts.end()) {
    XFreeGC(display, gc->second);
    g_contexts.erase(gc);
  }
  NoteDestroyed(xwindow);
}

bool PutsPixels(SDL_Window *window) {
  // SDL names the window's format from its visual: RGB888 is a 24-bit TrueColor visual
  // whose pixels are 32-bit words with red, green and blue in bits 16, 8 and 0.
  return XWindowOf(window, nullptr) && SDL_GetWindowPixelFormat(window) == SDL_PIXELFORMAT_RGB888;
}

void PutPixels(SDL_Window *window, const uint32_t *pixels, int width, int height, int x, int y,
               int w, int h, int toX, int toY) {
  Display *display = nullptr;
  Window xwindow = XWindowOf(window, &display);
  if (!xwindow || w <= 0 || h <= 0) return;
  GC &gc = g_contexts[xwindow];
  if (!gc) gc = XCreateGC(display, xwindow, 0, nullptr);
  XImage image{};
  image.width = width;
  image.height = height;
  image.format = ZPixmap;
  image.data = reinterpret_cast<char *>(const_cast<uint32_t *>(pixels));
  // The words as this machine stores them; Xlib reorders them for a server that differs.
  image.byte_order = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;
  image.bitmap_unit = 32;
  image.bitmap_bit_order = image.byte_order;
  image.bitmap_pad = 32;
  image.depth = 24;
  image.bytes_per_line = width * 4;
  image.bits_per_pixel = 32;
  image.red_mask = 0xFF0000;
  image.green_mask = 0x00FF00;
  image.blue_mask = 0x0000FF;
  if (!XInitImage(&image)) return;
  // Xlib has the pixels in its requests when XPutImage returns: the picture may change at
  // once. Whole rows of the picture it sends from where they are; a part of rows it copies
  // first, into its output buffer where they fit and otherwise into a scratch buffer as
  // large as the request, which it keeps while the display is open. So such a part goes
  // in bands that fit the output buffer. The flush sends it all, so that it shows while
  // the program computes.
  int band = h;
  if (x != 0 || w != width) band = std::max(1, kBandBytes / (w * 4));
  for (int top = 0; top < h; top += band) {
    XPutImage(display, xwindow, gc, &image, x, y + top, toX, toY + top, static_cast<unsigned>(w),
              static_cast<unsigned>(std::min(band, h - top)));
  }
  XFlush(display);
}

void NoteDestroyed(unsigned long windowId) {
  g_gone.push_back(windowId);
  if (g_gone.size() > kGoneKept) g_gone.pop_front();
}

bool Attached() {
  return g_display != nullptr;
}

void Wait(int timeoutMs) {
  if (!g_display) return;
  // Xlib may hold events it read off the socket while it waited for a reply to another
  // request: those would not wake a wait on the socket. The flush sends what is queued.
  if (XEventsQueued(g_display, QueuedAfterFlush) > 0) return;
  pollfd watch{ConnectionNumber(g_display), POLLIN, 0};
  poll(&watch, 1, timeoutMs);  // a signal ends the wait early, as input would
}

double ResourceDpi() {
  Display *display = XOpenDisplay(nullptr);
  if (!display) return 0;
  double dpi = 0;
  if (const char *resources = XResourceManagerString(display)) {
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    char *type = nullptr;
    XrmValue value{};
    if (db && XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
      dpi = std::strtod(value.addr, nullptr);
    if (db) XrmDestroyDatabase(db);
  }
  XCloseDisplay(display);
  return dpi > 0 ? dpi : 0;
}

void Start() {
  if (g_guarding) return;
  g_previous = XSetErrorHandler(OnXError);
  g_guarding = true;
}

void Stop() {
  if (g_display)
    for (auto &[window, gc] : g_contexts) XFreeGC(g_display, gc);
  g_contexts.clear();
  g_display = nullptr;  // SDL closes its connection next
  if (!g_guarding) return;
  XSetErrorHandler(g_previous);
  g_previous = nullptr;
  g_guarding = false;
}

}  // namespace zp::x11
