// The process entry, the two window classes, the main window with its three buttons,
// and the program's one message loop.
#include "zantpig.h"

HINSTANCE g_hInstance;
HWND g_hWnd;
HWND g_hBWnd1, g_hBWnd2, g_hBWnd3;
LPARAM buttonhandle1, buttonhandle2, buttonhandle3;
HACCEL g_hAccel;
int xscreen, yscreen;
int oksplash = 0;

WNDCLASSA wc;
WNDCLASSA swc;

const char szWinName[] = "ZantWindow";
const char szSplashWinName[] = "ZantSplashWindow";
const char *const errormessage[2] = {"Couldn't register main window class.",
                                     "Couldn't create main window."};

// The main window has a title bar with the system menu and the minimize and maximize boxes,
// but no sizing border; drawing on it never touches the buttons.
static const DWORD mainstyle =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInst, LPSTR lpszArgs, int nCmdShow) {
  (void)hPrevInst;
  (void)lpszArgs;  // the program takes no arguments
  int error = InitWindowClass(hInstance);
  if (error == 0) error = CreateMainWindow(hInstance, nCmdShow);
  if (error == 0) return (int)ProgramDriver();
  MessageBoxA(NULL, errormessage[error - 1], "Error", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}

// Registers the main window's class and, if that worked, the splash window's.
// Returns 1 when the main class could not be registered, otherwise 0.
int InitWindowClass(HINSTANCE hInstance) {
  wc.style = 0;
  wc.lpfnWndProc = MainWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = hInstance;
  wc.hIcon = LoadIconA(hInstance, "ZANTPIGICON");
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  wc.lpszMenuName = "ZANTPIGMENU";
  wc.lpszClassName = szWinName;

  swc.style = 0;
  swc.lpfnWndProc = SplashWindowProc;
  swc.cbClsExtra = 0;
  swc.cbWndExtra = 0;
  swc.hInstance = hInstance;
  swc.hIcon = NULL;
  swc.hCursor = LoadCursorA(NULL, IDC_CROSS);
  swc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  swc.lpszMenuName = NULL;
  swc.lpszClassName = szSplashWinName;

  if (!RegisterClassA(&wc)) return 1;
  if (RegisterClassA(&swc)) oksplash = 1;
  return 0;
}

// Creates the main window at the top-left corner of the screen with a client area of
// 600 x 400, then the Roll, Hold and Quit buttons, disabled until a game starts.
// Returns 2 when the main window could not be created, otherwise 0.
int CreateMainWindow(HINSTANCE hInstance, int nCmdShow) {
  g_hInstance = hInstance;  // the window's creation loads its bitmaps through it
  g_hAccel = LoadAcceleratorsA(hInstance, "ZANTPIGMENU");
  xscreen = GetSystemMetrics(SM_CXSCREEN);
  yscreen = GetSystemMetrics(SM_CYSCREEN);

  // The frame, caption and menu bar come on top of the 600 x 400 picture; let the system
  // say how much they take for this style, so that no edge of the picture is cut off.
  RECT frame = {0, 0, 600, 400};
  AdjustWindowRect(&frame, mainstyle, TRUE);

  g_hWnd = CreateWindowExA(0, szWinName, "Zant Pig", mainstyle, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, NULL, NULL, hInstance, NULL);
  if (g_hWnd == NULL) return 2;
  ShowWindow(g_hWnd, nCmdShow);
  UpdateWindow(g_hWnd);

  static const char *const buttontext[3] = {"Roll", "Hold", "Quit"};
  HWND *buttonwnd[3] = {&g_hBWnd1, &g_hBWnd2, &g_hBWnd3};
  LPARAM *buttonhandle[3] = {&buttonhandle1, &buttonhandle2, &buttonhandle3};
  for (int i = 0; i < 3; i++) {
    // All three carry the control identifier 0; a click is told apart by its handle.
    *buttonwnd[i] = CreateWindowExA(0, "BUTTON", buttontext[i], WS_CHILD | WS_VISIBLE, 337 + 87 * i,
                                    342, 50, 30, g_hWnd, NULL, hInstance, NULL);
    *buttonhandle[i] = (LPARAM)*buttonwnd[i];
    ShowWindow(*buttonwnd[i], nCmdShow);
    UpdateWindow(*buttonwnd[i]);
  }
  EnableWindow(g_hBWnd1, FALSE);
  EnableWindow(g_hBWnd2, FALSE);
  EnableWindow(g_hBWnd3, FALSE);
  return 0;
}

// The message loop: accelerator keys first, every other message to its window.
// It waits in GetMessageA while nothing is queued, so an idle game costs no processor time.
// Returns the code of the quit message.
unsigned int ProgramDriver(void) {
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    if (TranslateAcceleratorA(g_hWnd, g_hAccel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (unsigned int)msg.wParam;
}
