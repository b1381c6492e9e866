// What the real-window back end does itself with SDL's X11 connection, beneath SDL: it
// waits for input on the connection, keeps X errors about its own closed windows from
// ending the program, and gives dialogs the frame Windows gives them. Everything here is
// a no-op when SDL drives another kind of display (Wayland, SDL's display-less drivers).
#pragma once

#include <SDL.h>

#include <cstdint>

namespace zp::x11 {

// The frame Windows draws around a dialog or a message box (a modal frame): a title bar,
// with a close box when the window has a system menu, and no minimise or maximise box.
// It moves, but does not resize.
struct ModalFrame {
  bool systemMenu = false;
};

// The window was just made (hidden) by SDL. The first one made on an X display ties this
// module to SDL's connection. A window with a modal frame asks the window manager for it.
void WindowCreated(SDL_Window *window, const ModalFrame *modalFrame);

// The window is about to be destroyed: an error that a request about it earns from now on
// (one that raced with its destruction on the server) is no error of the program's.
void WindowDestroyed(SDL_Window *window);

// True once a window was made on an X display, so that Wait can be used.
bool Attached();

// Blocks until the X connection has input, or `timeoutMs` passed (never, when it is
// negative). The caller has emptied SDL's queue first. Never blocks when Xlib already
// holds an event it read.
void Wait(int timeoutMs);

// Start, once SDL's X11 driver is up, installs the process-wide X error handler: an error
// about a window of ours that is gone is logged once and ignored; every other one goes on
// to the handler that was there before. Stop, before SDL's driver goes down, puts that
// handler back and forgets the connection.
void Start();
void Stop();

// Pictures go on a window straight from the program's memory (XPutImage) where the
// window's pixels are the layer's own 32-bit words of 0x00RRGGBB: then SDL's framebuffer,
// a second copy of every window's picture in shared memory, is never made. False on
// another kind of display or another pixel format, where SDL's framebuffer serves.
bool PutsPixels(SDL_Window *window);

// Puts the `w` x `h` part at (`x`, `y`) of a picture of `width` x `height` words at (`toX`,
// `toY`) of a window that PutsPixels accepted, and sends it on its way.
void PutPixels(SDL_Window *window, const uint32_t *pixels, int width, int height, int x, int y,
               int w, int h, int toX, int toY);

// The desktop's Xft.dpi from the X server's resources (what `xrdb` loaded), read over a
// connection of its own; 0 where it is not set or there is no X display.
double ResourceDpi();

// The X window `windowId` is gone (WindowDestroyed calls it; tests call it on its own).
void NoteDestroyed(unsigned long windowId);

}  // namespace zp::x11
