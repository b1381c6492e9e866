// The headless back end's driver: what tests use to play the part of the user and of the
// screen. Everything runs on the test's own thread: the program under test runs inside
// the test (a call of WinMain, or a test's own message loop), and the driver acts when the
// program would wait for input (the idle hook) or at a chosen virtual time.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace headless {

// Forgets every window, class, object, queued message and pending input, and sets the
// virtual clock to `startTicks`. Call it at the start of each test.
void Reset(DWORD startTicks = 0);

// --- Time ------------------------------------------------------------------------
// The virtual clock: GetTickCount reads it, Sleep advances it at once.
DWORD Now();
void SetNow(DWORD ticks);
// Every `calls` calls of GetTickCount advance the clock by 1 ms (0 = the clock stands
// still between sleeps). Lets a long computation see time pass.
void SetTickStep(unsigned calls);

// --- Input -------------------------------------------------------------------------
// Input goes to the back end's pending list, as a real user's would; the layer pulls it
// into the message queue when the queue is next examined. Coordinates are client
// coordinates of `hwnd`.
void MouseMove(HWND hwnd, int x, int y);
void MouseDown(HWND hwnd, int x, int y);
void MouseUp(HWND hwnd, int x, int y);
void Click(HWND hwnd, int x, int y);  // press and release
void ClickCenter(HWND hwnd);          // click the middle of a window (a button)
// A click on a top-level window's menu bar, at a point in the bar (window-relative: x from
// the left of the bar, y from its top).
void ClickMenuBar(HWND top, int x, int y);
void KeyDown(UINT vk);
void KeyUp(UINT vk);
void Key(UINT vk);                       // press and release (with its WM_CHAR)
void KeyWith(UINT modifierVk, UINT vk);  // e.g. KeyWith(VK_SHIFT, 'N')
// The window manager's close button of a top-level window.
void CloseFromFrame(HWND top);
// The user chooses a top-level window through the window manager (a click on its title
// bar, a task list): it gets the keyboard focus.
void ActivateFromFrame(HWND top);
// The system takes the pointer's press away from a top-level window (a touch taken for a
// gesture, the pointer lost with the focus): the press ends without its click.
void CancelPress(HWND top);
// The user drags a top-level window so that its window rectangle starts at (x, y).
void DragTo(HWND top, int x, int y);
// Input that arrives at a virtual time, e.g. while the program sleeps. The event is
// described by a function that injects it (one of the calls above).
void At(DWORD ticks, std::function<void()> inject);

// --- Running -----------------------------------------------------------------------
// Called whenever the program would block waiting for input (in GetMessageA, a modal loop
// or WaitMessage). The hook acts as the user: it injects input, posts a message, or checks
// the state. If it adds nothing, the run is stuck: the layer posts WM_QUIT and Stuck()
// becomes true, so a test never hangs.
void SetIdleHook(std::function<void()> hook);
bool Stuck();
// Called after each drawing operation on a window's device context (the window and the
// changed part of its client area): a test can look at the screen while the program is
// busy and no message is handled.
void SetDrawHook(std::function<void(HWND, RECT)> hook);
// With `on` false, drawing calls change no pixel of any window or bitmap and report nothing
// drawn, though they check their arguments and return as usual (GetPixel and SetPixel
// answer CLR_INVALID): for long runs in which nobody looks at the screen, such as the
// lab's simulations. Reset() turns drawing back on.
void DrawPixels(bool on);
// For tests with their own loop: dispatches every queued message (including paints)
// until the queue is empty and no input is pending. Returns the number dispatched.
int RunUntilIdle();

// --- Looking -----------------------------------------------------------------------
// Windows by class and title (null matches anything); children by class and text.
HWND FindTopLevel(const char *className, const char *title);
HWND FindChild(HWND parent, const char *className, const char *text);
std::vector<HWND> TopLevelWindows();  // visible ones, bottom to top
// The pixels of a window's client area as 0x00RRGGBB, row by row (children included:
// what the user sees there). Empty for a bad handle.
struct Pixels {
  int w = 0;
  int h = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};
Pixels ClientPixels(HWND hwnd);
// The whole surface of a top-level window (menu bar, client, children).
Pixels SurfacePixels(HWND top);
// The pixels a device context draws on: a memory DC's selected bitmap, or a window DC's
// client area (the window's own pixels, without its children); all of them, or the part
// of them inside `part`. Empty for a bad handle.
Pixels DCPixels(HDC hdc);
Pixels DCPixels(HDC hdc, RECT part);
// True when two device contexts hold the same pixels in `part` (the same rectangle of
// each); false when either cannot be read there.
bool SamePixels(HDC a, HDC b, RECT part);
// Overwrites part of a window's client pixels and invalidates it, as if another window
// had covered and then uncovered it.
void Damage(HWND hwnd, RECT clientRect, uint32_t garbage = 0xFF00FF);
// Saves the screen (every visible top-level window at its place) or one window as a
// 24-bit BMP file. Returns false when the file cannot be written.
bool SaveScreenshot(const std::string &path, HWND top = nullptr);
// The cursor as the user sees it: its shape (32512 arrow, 32514 wait, 32515 cross), its
// display count and position.
int CursorShape();
int CursorCount();
POINT CursorPos();
SIZE ScreenSize();
void SetScreenSize(int w, int h);

// --- Failures ------------------------------------------------------------------------
// CreateDC: GetDC and CreateCompatibleDC. CreateBitmap: CreateCompatibleBitmap, and
// LoadBitmapA and LoadImageA for a bitmap.
enum class Fail { LocalAlloc, RegisterClass, CreateWindow, CreateDC, CreateBitmap };
// Lets `skip` calls succeed, then makes the next `times` calls fail. For RegisterClass and
// CreateWindow, `name` (when given) limits it to that class; for CreateBitmap, to the
// bitmap resource of that name.
void FailCall(Fail what, int skip = 0, int times = 1, const char *name = nullptr);
void ClearFailures();
// How many such calls were made since Reset (with that name, when given), failed or not:
// the positions FailCall can reach.
int FailableCalls(Fail what, const char *name = nullptr);

// --- Handles -------------------------------------------------------------------------
// What the program has made and not yet given back, by kind. Stock objects and the
// layer's own shared ones (system cursors and icons) are not counted; local memory is
// counted in blocks.
struct LiveCounts {
  int windows = 0;
  int dcs = 0;
  int bitmaps = 0;
  int brushes = 0;
  int pens = 0;
  int fonts = 0;
  int menus = 0;
  int accelerators = 0;
  int icons = 0;
  int localBlocks = 0;
};
LiveCounts LiveHandles();

// --- Resources -----------------------------------------------------------------------
// The program's resources are read from this .res image instead of the embedded one until
// the next Reset (null: the embedded one again). The image must outlive its use.
void UseResources(const uint8_t *res, size_t size);

}  // namespace headless
