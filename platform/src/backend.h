// The back end: the small table of functions through which the layer reaches a real
// display (SDL2) or a simulated one (headless). The back end is chosen at link time:
// each back end's library defines Backend() and returns its own table.
#pragma once

#include <windows.h>

#include "internal.h"

namespace zp {

// One input event, in the coordinates of the surface it happened on.
struct InputEvent {
  enum Type {
    None,
    MouseMove,
    MouseDown,  // button: 0 left, 1 right, 2 middle
    MouseUp,
    KeyDown,  // vk: the virtual-key code
    KeyUp,
    Char,      // ch: the character a key press produced
    Close,     // the window manager's close button on the surface
    Expose,    // the surface must be shown again (rect in surface coordinates)
    Moved,     // the window manager moved the surface: x, y is its new top-left on the screen
    Activate,  // the window manager gave the surface the keyboard focus
    Cancel,    // the press of the pointer on the surface was taken away: it ends unclicked
    Invoke,    // assistive technology pressed a control (target), or chose the command of
               // an item of the surface's menu
  };
  Type type = None;
  void *surface = nullptr;
  HWND target = nullptr;
  UINT command = 0;
  int x = 0;
  int y = 0;
  int button = 0;
  UINT vk = 0;
  char ch = 0;
  DWORD time = 0;
  RECT rect{};
};

struct SurfaceInfo {
  HWND hwnd = nullptr;
  RECT screenRect{};  // where the composed surface lies on the screen
  const char *title = "";
  bool decorated = false;  // the window manager draws a title bar and frame around it
  // The window's styles, from which a back end tells a dialog's modal frame
  // (WS_EX_DLGMODALFRAME) from a main window's (WS_MINIMIZEBOX, WS_SYSMENU).
  DWORD style = 0;
  DWORD exStyle = 0;
  void *ownerSurface = nullptr;
};

class BackendApi {
 public:
  virtual ~BackendApi() = default;
  virtual void *CreateSurface(const SurfaceInfo &info) = 0;
  virtual void DestroySurface(void *surface) = 0;
  virtual void ShowSurface(void *surface, bool show) = 0;
  virtual void MoveSurface(void *surface, const RECT &screenRect) = 0;
  virtual void SetTitle(void *surface, const char *title) = 0;
  // The picture the window manager shows for the window (title bar, task list): 0x00RRGGBB
  // pixels with an alpha of 0..255 per pixel (empty alpha: opaque).
  virtual void SetIcon(void *, const Image &, const std::vector<uint8_t> &) {}
  // Shows `changed` (surface coordinates) of the composed surface image.
  virtual void Present(void *surface, const Image &image, const RECT &changed) = 0;
  // The picture a back end shows the surface from, kept by the back end, for the layer to
  // compose into and then Present, so that the picture is not kept twice; null where the
  // back end copies what Present gives it (the layer keeps the composed picture then).
  virtual Image *SurfaceCanvas(void *) { return nullptr; }
  // Takes the next pending input event, without blocking. False when there is none.
  virtual bool PollEvent(InputEvent &ev) = 0;
  // Blocks until an event may be pending: with nothing pending, until input comes, with
  // no timeout (the layer has no timers; a pause is SleepMs), so that an idle program does
  // not wake. It may return early with nothing (the layer then waits again).
  virtual void WaitEvent() = 0;
  virtual DWORD Ticks() = 0;
  virtual void SleepMs(DWORD ms) = 0;
  virtual SIZE ScreenSize() = 0;
  // Cursor: the system cursor id (32512 arrow, 32514 wait, 32515 cross), visibility,
  // and moving the pointer to a screen position.
  virtual void SetCursorShape(int id) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual void WarpPointer(int x, int y) = 0;
  // False when nobody looks at the pixels (headless): the layer then skips composing.
  virtual bool NeedsPresent() { return true; }
  // False when nobody will read any pixel (headless, when the driver asks): drawing calls
  // then check their arguments and answer as usual, but change no pixel.
  virtual bool DrawsPixels() { return true; }
  // Something was drawn on a window's client area through a window DC (client
  // coordinates). Lets tests watch what is shown while the program computes or sleeps.
  virtual void WindowDrawn(HWND, const RECT &) {}
  // What assistive technology reads, for a back end that keeps a mirror of it (the
  // browser's); the others need none of it. A window was made, or changed in what a reader
  // is told of it (text, visibility, enabled state, check, place); a window is about to
  // go; the keyboard focus moved (null: to no window); a menu's items changed (checked,
  // greyed); the text drawn on a window's client area changed (Window::texts).
  virtual void WindowChanged(HWND) {}
  virtual void WindowGone(HWND) {}
  virtual void FocusChanged(HWND) {}
  virtual void MenuChanged(HMENU) {}
  virtual void TextChanged(HWND) {}
  // A named bitmap that the program's resources list without its pixels, which the back
  // end keeps elsewhere (the browser's site carries the large pictures as compressed
  // files); false when it has none of that name.
  virtual bool LoadPicture(const char *, Image &) { return false; }
  // The program has read what it needs of [data, data + size), a part of its own resources,
  // which are mapped read-only from the program's file: a back end on a system that reads
  // such pages back from the file when they are next touched may let them go meanwhile,
  // so that a picture decoded once does not stay in memory twice.
  virtual void ReleaseReadOnly(const void *, size_t) {}
  // Forget everything (tests).
  virtual void Reset() {}
};

BackendApi &Backend();

}  // namespace zp
