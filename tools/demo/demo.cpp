// Zant Layer Demo: a small window that shows the portable Win32 layer at work, with
// nothing of the game in it. A black client area, three push buttons, and a picture
// (title, lines, a filled rectangle, a status line) drawn once into an off-screen bitmap
// and copied to the window on WM_PAINT. A click on a button rewrites the status line,
// "Clicked: Two", in the off-screen bitmap and on screen.
//
// The same source builds against the real Windows API, so the two can be compared.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "demo_menus.h"

// Client area size and where things go in it.
#define DEMO_WIDTH 400
#define DEMO_HEIGHT 300
#define BUTTON_TOP 244
#define BUTTON_WIDTH 104
#define BUTTON_HEIGHT 32
#define STATUS_LEFT 20
#define STATUS_TOP 176
#define STATUS_BOTTOM 206

#define IDC_BUTTON_ONE 101
#define IDC_BUTTON_TWO 102
#define IDC_BUTTON_THREE 103

// The colours of the picture.
#define COLOR_TITLE RGB(255, 255, 255)
#define COLOR_RULE RGB(255, 200, 0)
#define COLOR_BOX RGB(0, 128, 255)
#define COLOR_DIAGONAL RGB(255, 64, 64)
#define COLOR_CAPTION RGB(160, 160, 160)
#define COLOR_STATUS RGB(0, 224, 96)

static const char kClassName[] = "ZantLayerDemo";
static const char kTitle[] = "Zant Layer Demo";

// The off-screen picture: made when the window is created, drawn on, copied on paint.
HDC g_hdcPicture = NULL;
HBITMAP g_hbmPicture = NULL;
HBITMAP g_hbmPictureOld = NULL;
HFONT g_hfontTitle = NULL;
HFONT g_hfontText = NULL;
// What the status line says.
char g_szStatus[64] = "Click a button";
BOOL g_fClicked = FALSE;

// Draws the status line into the picture (opaque, so the old text goes).
static void DrawStatus(void) {
  RECT rc;
  SetRect(&rc, 0, STATUS_TOP, DEMO_WIDTH, STATUS_BOTTOM);
  HFONT hfontOld = (HFONT)SelectObject(g_hdcPicture, g_hfontTitle);
  SetBkMode(g_hdcPicture, OPAQUE);
  SetBkColor(g_hdcPicture, RGB(0, 0, 0));
  SetTextColor(g_hdcPicture, g_fClicked ? COLOR_STATUS : COLOR_CAPTION);
  ExtTextOutA(g_hdcPicture, STATUS_LEFT, STATUS_TOP + 4, ETO_OPAQUE, &rc, g_szStatus,
              (UINT)strlen(g_szStatus), NULL);
  SelectObject(g_hdcPicture, hfontOld);
}

// Draws the whole picture into the off-screen bitmap.
static void DrawPicture(void) {
  PatBlt(g_hdcPicture, 0, 0, DEMO_WIDTH, DEMO_HEIGHT, BLACKNESS);

  SetBkMode(g_hdcPicture, TRANSPARENT);
  HFONT hfontOld = (HFONT)SelectObject(g_hdcPicture, g_hfontTitle);
  SetTextColor(g_hdcPicture, COLOR_TITLE);
  TextOutA(g_hdcPicture, 20, 14, kTitle, (int)strlen(kTitle));

  HPEN hpenRule = CreatePen(PS_SOLID, 1, COLOR_RULE);
  HPEN hpenOld = (HPEN)SelectObject(g_hdcPicture, hpenRule);
  MoveToEx(g_hdcPicture, 20, 46, NULL);
  LineTo(g_hdcPicture, DEMO_WIDTH - 20, 46);
  MoveToEx(g_hdcPicture, 20, 48, NULL);
  LineTo(g_hdcPicture, DEMO_WIDTH - 20, 48);
  SelectObject(g_hdcPicture, hpenOld);
  DeleteObject(hpenRule);

  RECT rcBox;
  SetRect(&rcBox, 20, 64, 120, 144);
  HBRUSH hbrBox = CreateSolidBrush(COLOR_BOX);
  FillRect(g_hdcPicture, &rcBox, hbrBox);
  DeleteObject(hbrBox);

  HPEN hpenDiagonal = CreatePen(PS_SOLID, 1, COLOR_DIAGONAL);
  hpenOld = (HPEN)SelectObject(g_hdcPicture, hpenDiagonal);
  MoveToEx(g_hdcPicture, 20, 64, NULL);
  LineTo(g_hdcPicture, 120, 144);
  MoveToEx(g_hdcPicture, 119, 64, NULL);
  LineTo(g_hdcPicture, 19, 144);
  SelectObject(g_hdcPicture, hpenOld);
  DeleteObject(hpenDiagonal);

  SelectObject(g_hdcPicture, g_hfontText);
  SetTextColor(g_hdcPicture, COLOR_CAPTION);
  static const char *const kLines[] = {
      "Drawn into an off-screen bitmap,",
      "copied to the window on WM_PAINT.",
      "The buttons are windows of their own.",
  };
  for (int i = 0; i < 3; i++) {
    TextOutA(g_hdcPicture, 140, 68 + 22 * i, kLines[i], (int)strlen(kLines[i]));
  }
  SelectObject(g_hdcPicture, hfontOld);

  DrawStatus();
}

// Makes the off-screen picture, its fonts and the three buttons.
static BOOL OnCreate(HWND hwnd, const CREATESTRUCTA *pcs) {
  HDC hdc = GetDC(hwnd);
  g_hdcPicture = CreateCompatibleDC(hdc);
  g_hbmPicture = CreateCompatibleBitmap(hdc, DEMO_WIDTH, DEMO_HEIGHT);
  ReleaseDC(hwnd, hdc);
  if (!g_hdcPicture || !g_hbmPicture) return FALSE;
  g_hbmPictureOld = (HBITMAP)SelectObject(g_hdcPicture, g_hbmPicture);

  g_hfontTitle =
      CreateFontA(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
  g_hfontText =
      CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
  DrawPicture();

  static const char *const kNames[] = {"One", "Two", "Three"};
  int gap = (DEMO_WIDTH - 3 * BUTTON_WIDTH) / 4;
  for (int i = 0; i < 3; i++) {
    HWND hwndButton =
        CreateWindowA("BUTTON", kNames[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      gap + i * (BUTTON_WIDTH + gap), BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT, hwnd,
                      (HMENU)(INT_PTR)(IDC_BUTTON_ONE + i), pcs->hInstance, NULL);
    if (!hwndButton) return FALSE;
  }
  return TRUE;
}

// A button was clicked: the status line names it.
static void OnButton(HWND hwnd, int id) {
  static const char *const kNames[] = {"One", "Two", "Three"};
  snprintf(g_szStatus, sizeof g_szStatus, "Clicked: %s", kNames[id - IDC_BUTTON_ONE]);
  g_fClicked = TRUE;
  DrawStatus();
  RECT rc;
  SetRect(&rc, 0, STATUS_TOP, DEMO_WIDTH, STATUS_BOTTOM);
  InvalidateRect(hwnd, &rc, FALSE);
}

// A command of the menu bar or its keys: the status line says what came of it.
static void OnMenuCommand(HWND hwnd, int id) {
  if (!DemoMenuCommand(hwnd, id, g_szStatus, sizeof g_szStatus)) return;
  g_fClicked = TRUE;
  DrawStatus();
  RECT rc;
  SetRect(&rc, 0, STATUS_TOP, DEMO_WIDTH, STATUS_BOTTOM);
  InvalidateRect(hwnd, &rc, FALSE);
}

static void OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, &ps);
  BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
         ps.rcPaint.bottom - ps.rcPaint.top, g_hdcPicture, ps.rcPaint.left, ps.rcPaint.top,
         SRCCOPY);
  EndPaint(hwnd, &ps);
}

static void OnDestroy(void) {
  if (g_hdcPicture) {
    SelectObject(g_hdcPicture, g_hbmPictureOld);
    DeleteDC(g_hdcPicture);
  }
  if (g_hbmPicture) DeleteObject(g_hbmPicture);
  if (g_hfontTitle) DeleteObject(g_hfontTitle);
  if (g_hfontText) DeleteObject(g_hfontText);
  g_hdcPicture = NULL;
  g_hbmPicture = NULL;
  g_hfontTitle = NULL;
  g_hfontText = NULL;
  PostQuitMessage(0);
}

static LRESULT CALLBACK DemoWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd, (const CREATESTRUCTA *)lParam) ? 0 : -1;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BUTTON_ONE:
        case IDC_BUTTON_TWO:
        case IDC_BUTTON_THREE:
          if (HIWORD(wParam) == BN_CLICKED) OnButton(hwnd, LOWORD(wParam));
          return 0;
        default:
          OnMenuCommand(hwnd, LOWORD(wParam));
          return 0;
      }
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_PAINT:
      OnPaint(hwnd);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
  (void)hPrevInstance;
  (void)lpCmdLine;

  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = DemoWndProc;
  wc.hInstance = hInstance;
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
  wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  wc.lpszMenuName = DEMO_MENU_NAME;
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return 1;

  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT rc;
  SetRect(&rc, 0, 0, DEMO_WIDTH, DEMO_HEIGHT);
  AdjustWindowRect(&rc, style, TRUE);
  HWND hwnd = CreateWindowA(kClassName, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                            rc.right - rc.left, rc.bottom - rc.top, NULL, NULL, hInstance, NULL);
  if (!hwnd) return 1;
  ShowWindow(hwnd, nShowCmd);
  UpdateWindow(hwnd);

  HACCEL hAccel = DemoLoadAccelerators(hInstance);
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, NULL, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (hAccel && TranslateAcceleratorA(hwnd, hAccel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (int)msg.wParam;
}
