/* Asks an X window to close the way a window manager's close button does: a
 * WM_DELETE_WINDOW message under WM_PROTOCOLS. The end-to-end tests run on a bare X
 * server with no window manager, and xdotool's own "windowclose" destroys the window
 * instead of asking, which no real user can do.
 *
 * Usage: zant-wm-close <window id>   (decimal or 0x hex, as xdotool prints it) */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <window id>\n", argv[0]);
    return 2;
  }
  char *end = NULL;
  unsigned long id = strtoul(argv[1], &end, 0);
  if (!end || *end != '\0' || id == 0) {
    fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
    return 2;
  }
  Display *display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 1;
  }
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.window = (Window)id;
  ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, (Window)id, False, NoEventMask, &ev);
  XSync(display, False);
  XCloseDisplay(display);
  if (!sent) {
    fprintf(stderr, "%s: could not send to window %lu\n", argv[0], id);
    return 1;
  }
  return 0;
}
