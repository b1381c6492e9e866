// The closing splash: a borderless picture in the middle of the screen, shown for two
// seconds after the main window has gone.
#include "zantpig.h"

HDC g_vsplashhdc;

// Shows the splash picture centred on the screen for 2000 ms with the mouse cursor hidden.
// hWnd, the main window, owns the splash window and is disabled for good. Without a splash
// window there is nothing to show and the program ends at once: its device context would
// be the whole screen's, and the picture would be drawn over whatever is there.
int Splash(HWND hWnd) {
  HWND hSplashwnd = CreateWindowExA(0, "ZantSplashWindow", "", WS_POPUP, xscreen / 2 - 140,
                                    yscreen / 2 - 100, 280, 200, hWnd, NULL, g_hInstance, NULL);
  if (hSplashwnd == NULL) return 0;
  EnableWindow(hWnd, FALSE);
  ShowCursor(FALSE);
  ShowWindow(hSplashwnd, SW_SHOW);

  HBITMAP hSplashbitmap = LoadBitmapA(g_hInstance, "ZANTSPLASHBITMAP");
  HDC hdc = GetDC(hSplashwnd);
  g_vsplashhdc = CreateCompatibleDC(hdc);
  HGDIOBJ previous = SelectObject(g_vsplashhdc, hSplashbitmap);
  BitBlt(hdc, 0, 0, 280, 200, g_vsplashhdc, 0, 0, SRCCOPY);
  SelectObject(g_vsplashhdc, previous);
  DeleteObject(hSplashbitmap);
  DeleteDC(g_vsplashhdc);
  g_vsplashhdc = NULL;
  ReleaseDC(hSplashwnd, hdc);

  ShowDrawing();
  Sleep(2000);  // no message is handled meanwhile

  DestroyWindow(hSplashwnd);
  ShowCursor(TRUE);
  return 0;
}

// The splash window has no behaviour of its own.
LRESULT CALLBACK SplashWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hWnd, message, wParam, lParam);
}
