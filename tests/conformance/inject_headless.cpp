// The user's hand on the portable layer: the headless back end's driver. Input goes to the
// back end's pending list, from where the layer pulls it when the queue is next examined.
#include <zant_headless.h>

#include "conformance.h"

namespace inject {

// Every test starts 100 ms before the tick count wraps at 2^32, so timing in the tests
// crosses the wrap.
void Reset() {
  headless::Reset(0xFFFFFFFFu - 99u);
}

void Foreground(HWND top) {
  ShowWindow(top, SW_SHOW);
  SetActiveWindow(top);
  SetFocus(top);
  UpdateWindow(top);
  Pump();
}

void Click(HWND hwnd, int x, int y) {
  headless::Click(hwnd, x, y);
}
void Press(HWND hwnd, int x, int y) {
  headless::MouseDown(hwnd, x, y);
}
void Release(HWND hwnd, int x, int y) {
  headless::MouseUp(hwnd, x, y);
}
void ClickCenter(HWND hwnd) {
  headless::ClickCenter(hwnd);
}
void ClickMenuBar(HWND top, int x) {
  headless::ClickMenuBar(top, x, GetSystemMetrics(SM_CYMENU) / 2);
}
void Key(UINT vk) {
  headless::Key(vk);
}
void KeyWith(UINT modifierVk, UINT vk) {
  headless::KeyWith(modifierVk, vk);
}

void WhileSleeping(DWORD ms, const std::function<void()> &input) {
  headless::At(headless::Now() + 1, input);
  Sleep(ms);
}

}  // namespace inject
