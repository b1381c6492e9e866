// Menus: placeholder seams until the menu bar lands (no menu bar is drawn yet).
#include "internal.h"

namespace zp {
int MenuBarHeight(Window *) {
  return 0;
}
void DrawMenuBar(Window *, Image &surface, const RECT &bar) {
  FillImage(surface, bar, 0xC0C0C0);
}
bool MenuBarMouse(Window *, UINT, POINT) {
  return false;
}
}  // namespace zp

HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR) {
  return nullptr;
}
