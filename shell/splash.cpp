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

  // Two seconds on show, and no message is handled meanwhile. The window is new: a window
  // manager may put it on the screen only after the picture was drawn into it, which a
  // window system that shows a window's pixels only when asked then never shows. So the
  // picture is put on the screen again every tenth of a second of the pause.
  for (int waited = 0; waited < 2000; waited += 100) {
    ShowDrawing();
    Sleep(100);
  }

  DestroyWindow(hSplashwnd);
  ShowCursor(TRUE);
  return 0;
}

// The splash window has no behaviour of its own.
LRESULT CALLBACK SplashWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hWnd, message, wParam, lParam);
}
