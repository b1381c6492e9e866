// libFuzzer target: the layer given a .res image that may be damaged anywhere, loading from
// it everything the game loads by name: the bitmaps, the icon, the menu (put on a window's
// menu bar, drawn and opened), the accelerator table (applied to keys) and the four dialog
// templates (shown and drawn). Whatever the bytes, the layer must refuse what it cannot
// read without reading outside them; the sanitizers watch every access.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "zant_headless.h"

namespace {

const char *const kBitmaps[] = {"ZANTPIGBITMAP", "ZANTPIGHEADERSBITMAP", "ZANTPIGDICEBITMAP",
                                "ZANTSPLASHBITMAP"};
const int kDialogs[] = {100, 200, 300, 400};
const UINT kKeys[] = {'N', 'R', 'O', 'P', 'S', 'A', VK_ESCAPE, VK_RETURN};

INT_PTR CALLBACK CloseAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND) EndDialog(dialog, 1);
  return FALSE;
}

LRESULT CALLBACK PlainWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Bitmaps(HINSTANCE instance) {
  for (const char *name : kBitmaps) {
    HBITMAP bitmap = LoadBitmapA(instance, name);
    BITMAP info{};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, bitmap);
      GetPixel(dc, info.bmWidth - 1, info.bmHeight - 1);
      SelectObject(dc, old);
      DeleteDC(dc);
    }
    DeleteObject(bitmap);
    DeleteObject(LoadImageA(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  LoadIconA(instance, "ZANTPIGICON");
}

// The menu on a window's bar: drawn, opened with a click on each part of the bar, and
// walked with the keys.
void Menu(HINSTANCE instance) {
  HMENU menu = LoadMenuA(instance, "ZANTPIGMENU");
  if (!menu) return;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && i < 64; ++i) {
    char text[64];
    GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
    GetSubMenu(menu, i);
  }
  DestroyMenu(menu);

  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainWindow;
  wc.hInstance = instance;
  wc.lpszMenuName = "ZANTPIGMENU";
  wc.lpszClassName = "FuzzedMenuWindow";
  if (!RegisterClassA(&wc)) return;
  HWND window = CreateWindowExA(0, "FuzzedMenuWindow", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                400, 200, nullptr, nullptr, instance, nullptr);
  if (!window) return;
  headless::SurfacePixels(window);
  int clicks = 0;
  headless::SetIdleHook([&clicks, window] {
    if (clicks < 8) {
      headless::ClickMenuBar(window, 10 + 50 * clicks++, 5);
      headless::Key(VK_DOWN);
      headless::Key(VK_RETURN);
    }
  });
  headless::RunUntilIdle();
  MSG msg;
  while (clicks < 8 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    headless::SurfacePixels(window);
  }
  headless::SetIdleHook(nullptr);
  DestroyWindow(window);
}

void Accelerators(HINSTANCE instance) {
  HACCEL accel = LoadAcceleratorsA(instance, "ZANTPIGMENU");
  if (!accel) return;
  HWND window =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
  for (UINT vk : kKeys) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = WM_KEYDOWN;
    msg.wParam = vk;
    TranslateAcceleratorA(window, accel, &msg);
    msg.message = WM_CHAR;
    TranslateAcceleratorA(window, accel, &msg);
  }
  DestroyWindow(window);
  DestroyAcceleratorTable(accel);
}

// Each dialog is shown and drawn; the first wait for input closes it.
void Dialogs(HINSTANCE instance) {
  HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                               nullptr, instance, nullptr);
  for (int id : kDialogs) {
    headless::SetIdleHook([] {
      for (HWND h : headless::TopLevelWindows()) headless::SurfacePixels(h);
      headless::Key(VK_RETURN);
      headless::Key(VK_TAB);
      headless::Key(VK_ESCAPE);
      PostQuitMessage(0);
    });
    DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, CloseAtOnce, 0);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  headless::SetIdleHook(nullptr);
  DestroyWindow(owner);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  headless::Reset();
  headless::UseResources(data, size);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  Bitmaps(instance);
  Menu(instance);
  Accelerators(instance);
  Dialogs(instance);
  headless::Reset();
  return 0;
}
