// Inside the portable Win32 layer: the objects behind the handles, and the seams between
// the parts of the layer (queue, windows, controls, menus, dialogs, GDI, resources) and
// the back end. Nothing here is visible to the game.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zp {

// ---------------------------------------------------------------------------------
// Pixels: 0x00RRGGBB, rows top to bottom.
// ---------------------------------------------------------------------------------
struct Image {
  int w = 0;
  int h = 0;
  std::vector<uint32_t> px;

  Image() = default;
  Image(int width, int height, uint32_t fill = 0) { Resize(width, height, fill); }
  void Resize(int width, int height, uint32_t fill = 0) {
    w = width > 0 ? width : 0;
    h = height > 0 ? height : 0;
    px.assign(static_cast<size_t>(w) * h, fill);
  }
  uint32_t *Row(int y) { return px.data() + static_cast<size_t>(y) * w; }
  const uint32_t *Row(int y) const { return px.data() + static_cast<size_t>(y) * w; }
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
};

inline uint32_t PixelFromColorRef(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
inline COLORREF ColorRefFromPixel(uint32_t p) {
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// The classic 3-D grey palette of frames, menus and buttons, as pixel values.
namespace classic {
constexpr uint32_t kFace = 0xC0C0C0, kLight = 0xDFDFDF, kWhite = 0xFFFFFF, kShadow = 0x808080,
                   kBlack = 0x000000;
}  // namespace classic

// Fill r (clipped to the image) with a pixel value; copy a block between images with
// clipping on both sides. Shared by GDI, the controls and the compositor.
void FillImage(Image &img, RECT r, uint32_t pixel);
void CopyImage(Image &dst, int dx, int dy, const Image &src, int sx, int sy, int w, int h);

// Rectangle helpers on plain RECTs.
RECT MakeRect(int left, int top, int right, int bottom);
bool RectEmpty(const RECT &r);
RECT RectIntersect(const RECT &a, const RECT &b);
RECT RectUnion(const RECT &a, const RECT &b);  // an empty side is ignored

// ---------------------------------------------------------------------------------
// Text on pictures (drawn_text.cpp). What is drawn with the text calls is kept with the
// picture it is drawn on (a bitmap, a window's client area), at its place, so that it can
// be read as well as seen: drawing over the middle of a run takes it away, and a block
// copied from another picture brings the runs whose middles it holds. A bitmap from the
// resources brings the strings its description gives (a BITMAPTEXT resource of its name).
// ---------------------------------------------------------------------------------
struct TextRun {
  RECT box{};          // the cell the text owns: its opaque rectangle, or its line
  std::string text;    // Windows-1252, as drawn
  std::string note;    // words a picture's description adds to its text (what its look says)
  uint32_t pixel = 0;  // the text's colour
  uint64_t order = 0;  // when it came to this picture: a larger number came later
};
using TextRuns = std::vector<TextRun>;

// Drawing over `area` takes away the runs whose middle lies in it.
void CoverTexts(TextRuns &runs, const RECT &area);
// A string drawn in `box` (nothing for one of blanks only), over the runs beneath it.
void AddText(TextRuns &runs, const RECT &box, const char *text, int len, uint32_t pixel);
// A block of `from` (`fromArea`) copied to `to` with its top-left at `at`: the runs there
// give way to the runs the block holds.
void CopyTexts(TextRuns &to, POINT at, const TextRuns &from, const RECT &fromArea);
// The runs the resources' description of a bitmap gives (none without one), into `runs`.
void DescribeTexts(const char *bitmapName, TextRuns &runs);
// What a window class's legend in the resources (a TEXTLEGEND resource named after the
// class) says a run's colour means: words added to the run, or an empty string.
std::string LegendNote(const std::string &className, const TextRun &run);

// ---------------------------------------------------------------------------------
// Handles. Every handle the layer gives out names an entry of one table, with a kind and
// a generation, so a stale or wrong handle is found out without touching freed memory.
// ---------------------------------------------------------------------------------
enum class Kind : uint8_t {
  None = 0,
  Window,
  DC,
  Bitmap,
  Brush,
  Pen,
  Font,
  Menu,
  Accel,
  Cursor,
  Icon,
  Local,
};

struct Object {
  virtual ~Object() = default;
  void *handle = nullptr;  // the handle that names this object
};

// Registers an object and returns its new handle.
void *NewHandle(Kind kind, std::unique_ptr<Object> obj);
// The live object of that kind, or null for a null, stale or wrong handle.
Object *Lookup(const void *handle, Kind kind);
// Which kind of object a handle names (Kind::None when it names nothing live).
Kind KindOf(const void *handle);
// Forgets the handle and deletes its object. Returns false for a bad handle.
bool FreeHandle(const void *handle);
// Every live handle of a kind.
std::vector<void *> HandlesOf(Kind kind);

template <class T>
T *As(const void *handle) {
  return static_cast<T *>(Lookup(handle, T::kKind));
}

// ---------------------------------------------------------------------------------
// GDI objects
// ---------------------------------------------------------------------------------
struct Bitmap : Object {
  static constexpr Kind kKind = Kind::Bitmap;
  Image img;
  HDC selectedInto = nullptr;  // a bitmap is selected into at most one DC
  bool stock = false;          // the 1x1 default bitmap of new memory DCs
  TextRuns texts;              // the text on it
};

struct Brush : Object {
  static constexpr Kind kKind = Kind::Brush;
  bool hollow = false;
  uint32_t pixel = 0;
  bool stock = false;
};

struct Pen : Object {
  static constexpr Kind kKind = Kind::Pen;
  bool null = false;
  int width = 1;
  uint32_t pixel = 0;
  bool stock = false;
};

struct FontFace;  // the rasteriser's face (text.cpp)

struct Font : Object {
  static constexpr Kind kKind = Kind::Font;
  int height = 0;
  int width = 0;
  int weight = 0;
  bool italic = false;
  bool underline = false;
  int pitchAndFamily = 0;
  std::string face;
  bool stock = false;
  std::shared_ptr<FontFace> impl;  // made on first use
};

struct Window;

// A device context draws into either a window's client pixels or a selected bitmap.
struct DC : Object {
  static constexpr Kind kKind = Kind::DC;
  bool memory = false;
  HWND hwnd = nullptr;   // window DCs: the window whose client area this draws on
  bool paintDC = false;  // made by BeginPaint
  RECT clip{};           // window DCs: drawing is limited to this client rectangle
  bool hasClip = false;
  HBITMAP bitmap = nullptr;  // memory DCs: the selected bitmap (a 1x1 default at first)
  HBITMAP defaultBitmap = nullptr;
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
  HFONT font = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  POINT pos{0, 0};
};

// The image a DC draws on (null when there is none), and the rectangle of it that may be
// drawn on (the whole image, or a paint DC's clip).
Image *TargetImage(DC *dc, RECT *allowed);
// Called after every drawing operation on a DC: a window DC's change is presented at once.
void DrawnOn(DC *dc, const RECT &changed);
// A DC for a window's client area, limited to `clip` when given (BeginPaint uses it).
HDC MakeWindowDC(HWND hwnd, const RECT *clip);

// Fonts, for the controls as well as for the game.
HFONT DefaultGuiFont();
// The font file that stands for a Windows face name, weight and slant (the face's index
// in the file for a collection); an empty path when there is none. Each back end's build
// links one matcher: fontconfig's on the desktop, the page's own table in the browser.
struct FaceFile {
  std::string path;
  int index = 0;
};
FaceFile MatchFace(const std::string &name, int weight, bool italic, int pitchAndFamily);
// The desktop's matcher can get ready on a thread of its own while the program opens its
// display; the first match waits for it (the program entry asks for it).
void PrepareFaces();
// What a matcher needs of a request: the generic family ("serif", "sans-serif", ...) of
// a font's pitch and family, and whether a name is one of Windows' dialog faces, which
// Arial's metric twin stands in for.
const char *GenericFamily(int pitchAndFamily);
bool IsDialogFace(const std::string &name);
// The Unicode character of a Windows-1252 byte (the layer's strings are in that code page).
uint32_t UnicodeOfAnsi(unsigned char c);
// Draws text with its cell's top-left at (x, y), clipped to `clip`. Returns the advance.
int DrawTextRun(Image &img, const RECT &clip, HFONT font, int x, int y, const char *text, int len,
                uint32_t pixel);
SIZE MeasureText(HFONT font, const char *text, int len);
// Height of a line (the cell height), and ascent.
int FontLineHeight(HFONT font);
// The font's metrics as GetTextMetricsA reports them (a bad handle: the system font's).
void FontTextMetrics(HFONT font, TEXTMETRICA *tm);

// ---------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------
struct WndClass {
  std::string name;  // compared without regard to case
  WNDCLASSA wc{};
  std::string menuName;  // lpszMenuName, copied (or "#<number>")
  ATOM atom = 0;
  bool system = false;  // BUTTON, STATIC, the dialog class
};

struct ControlState;  // controls.cpp
struct DialogState;   // dialog.cpp
struct MenuBarState;  // menu.cpp

struct Window : Object {
  static constexpr Kind kKind = Kind::Window;
  HWND hwnd = nullptr;
  std::shared_ptr<WndClass> cls;
  WNDPROC proc = nullptr;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;       // WS_CHILD windows only
  HWND owner = nullptr;        // top-level windows only
  std::vector<HWND> children;  // in creation order; hit testing looks from the back
  UINT_PTR id = 0;             // a child's control identifier
  HMENU menu = nullptr;        // a top-level window's menu bar
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;

  // Geometry. `rect` is the window rectangle: in screen coordinates for a top-level
  // window, in the parent's client coordinates for a child. `clientOffset` is where the
  // client area starts inside the window rectangle.
  RECT rect{};
  POINT clientOffset{0, 0};
  int clientW = 0;
  int clientH = 0;

  Image client;    // the window's own pixels: drawing on it never touches other windows
  TextRuns texts;  // the text drawn on them

  // The update region, kept as its bounding rectangle.
  bool hasInvalid = false;
  RECT invalid{};
  bool eraseNeeded = false;

  HFONT font = nullptr;  // WM_SETFONT
  HCURSOR cursor = nullptr;
  bool destroying = false;

  void *surface = nullptr;  // top-level windows: the back end's surface

  // Per-kind state, owned by the part of the layer that defines it (shared_ptr, so that
  // the other parts need not see the type).
  std::shared_ptr<ControlState> control;  // BUTTON and STATIC
  std::shared_ptr<DialogState> dialog;    // dialogs and message boxes
  std::shared_ptr<MenuBarState> menuBar;  // a top-level window's menu bar at run time

  bool IsChild() const { return (style & WS_CHILD) != 0; }
  bool Visible() const { return (style & WS_VISIBLE) != 0; }
  bool Enabled() const { return (style & WS_DISABLED) == 0; }
};

Window *GetWnd(HWND h);  // null for a bad handle
// The top-level window that contains this one (itself when it is top-level).
Window *TopLevelOf(Window *w);
// Client coordinates of w -> the top-level window's surface coordinates.
POINT ClientToSurface(Window *w, POINT p);
// Where a top-level window's surface lies on the screen: the window rectangle less what
// the window manager draws (title bar and frame).
RECT SurfaceScreenRect(Window *top);
// The window's client origin in screen coordinates.
POINT ClientOrigin(Window *w);
// Is w visible together with all its ancestors?
bool ReallyVisible(Window *w);
// The child of `w` (or w itself) under a client point of w: visible and enabled
// descendants only, the deepest one wins.
Window *ChildAt(Window *w, POINT clientPt);

// Marks part of a window's client area as drawn (for presenting) without invalidating it.
void ClientChanged(Window *w, const RECT &clientRect);
// Composes a top-level window's surface: the layer's non-client parts (menu bar, dialog
// frame), the client pixels and every visible child, and hands the changed part to the
// back end.
void Present(Window *top, const RECT &surfaceRect);
void PresentAll();  // everything changed since the last presentation
// While held, drawing on window DCs is collected and presented when the last hold ends,
// so that a control or a WM_PAINT handler shows in one piece.
void HoldPresents(bool hold);
// The composed surface of a top-level window (for the back end and for screenshots); with
// `part`, only that part of `out` is composed again (all of it when `out` has another size).
void ComposeSurface(Window *top, Image &out);
void ComposeSurface(Window *top, Image &out, RECT part);

// Sends WM_SETFOCUS/WM_KILLFOCUS as Windows does.
void ChangeFocus(HWND newFocus);
// Focus, capture and active window of the one thread.
struct ThreadState {
  HWND focus = nullptr;
  HWND capture = nullptr;
  HWND active = nullptr;
  BYTE keyState[256] = {};
  int cursorCount = 0;
  HCURSOR cursor = nullptr;
  POINT cursorPos{0, 0};
  DWORD lastError = 0;
};
ThreadState &Thread();

// Frame metrics of the layer (what GetSystemMetrics reports and AdjustWindowRect uses).
struct Frame {
  int left, top, right, bottom;  // the WM-drawn frame and caption
  int menu;                      // the layer-drawn menu bar (0 without a menu)
  int border;                    // a layer-drawn border (dialog frame without caption)
};
Frame FrameOf(DWORD style, DWORD exStyle, bool hasMenu);

// ---------------------------------------------------------------------------------
// The message queue (queue.cpp)
// ---------------------------------------------------------------------------------
// Pulls whatever input the back end has into the queue (never blocks).
void PullInput();
// Blocks until the back end has input or a message is queued.
void WaitForInput();
// Posts an input message (mouse or key) at the end of the input list.
void QueueInput(const MSG &msg);
// Counts everything that can wake a waiting loop (posts, input); the headless back end
// uses it to tell a stuck program from a busy one.
uint64_t QueueActivity();
// Forgets every message for a window that is destroyed.
void DropMessagesFor(HWND hwnd);
// Runs a modal loop until *done is set; re-posts WM_QUIT if it meets one.
// `dialog` gets IsDialogMessage-style keyboard handling.
void RunModalLoop(HWND dialog, const bool *done);

// ---------------------------------------------------------------------------------
// Seams to the other parts of the layer. Each part registers itself; the core calls
// through these so that a part can be missing in a build without breaking the core.
// ---------------------------------------------------------------------------------
// Menu bar (menu.cpp): its height in a window, drawing it into the composed surface,
// and a mouse press on it (surface coordinates). Returns true when it took the event.
int MenuBarHeight(Window *w);
void DrawMenuBar(Window *w, Image &surface, const RECT &barRect);
bool MenuBarMouse(Window *w, UINT message, POINT surfacePt);
// Keyboard handling inside a dialog (dialog.cpp): true when the message was used.
bool DialogKeyMessage(HWND dialog, const MSG &msg);

// What a reader is told of the layer's own kinds of window (for a back end that mirrors
// them for assistive technology): a button's check state (BST_*), whether a window is a
// dialog or a message box, and a window's menu bar as it stands, with the place of each
// item on the screen (a pop-up's items where the pop-up opens).
int ButtonCheckState(Window *w);
bool IsDialogWindow(Window *w);
bool IsMessageBox(Window *w);
struct MenuView {
  std::string text;  // as shown: without the '&' of a mnemonic, nor blanks at the ends
  UINT command = 0;  // 0 for a pop-up's title
  bool greyed = false;
  bool checkable = false;  // it has been checked or unchecked: a choice that can be on
  bool checked = false;
  RECT rect{};                  // on the screen
  std::vector<MenuView> items;  // a pop-up's
};
std::vector<MenuView> MenuBarView(Window *top);
// The command's item in a window's menu is greyed or disabled (accelerators give no
// command for it). False when the menu has no such item.
bool MenuCommandInert(HWND hwnd, UINT command);

// Built-in window classes (controls.cpp, dialog.cpp): registered on first use.
void RegisterSystemClasses();
void RegisterDialogClasses();  // dialog.cpp: the dialog and message box classes
ATOM RegisterClassInternal(const WNDCLASSA &wc, bool system);
// Top-level windows, bottom to top.
std::vector<HWND> TopLevelWindows();
std::shared_ptr<WndClass> FindClass(const char *name, HINSTANCE instance);

// ---------------------------------------------------------------------------------
// Resources (resource.cpp): the embedded .res file.
// ---------------------------------------------------------------------------------
struct ResourceData {
  const uint8_t *data = nullptr;
  size_t size = 0;
};
// A resource by type and name (both may be MAKEINTRESOURCE numbers); {null, 0} if absent.
ResourceData FindResourceData(const char *type, const char *name);
// Reads a DIB (BITMAPINFOHEADER + bits) into an image; false for a format it cannot read.
bool DecodeDib(const uint8_t *data, size_t size, Image &out);
// The same lookup in any .res image (the embedded one, or one a test made).
ResourceData FindResourceIn(const uint8_t *res, size_t resSize, const char *type, const char *name);
// Reads the program's resources from this image instead of the embedded one, until the
// layer is reset (tests).
void SetResourceImage(const uint8_t *res, size_t size);
// The named bitmaps the program's resources list without pixels: the back end keeps them
// (BackendApi::LoadPicture), as the browser's site does its large pictures.
std::vector<std::string> PicturesElsewhere();

// An icon: a resource icon's picture (the entry nearest 32x32 of its group) with its
// transparency, or a system icon (systemId = the IDI_ number, picture drawn by whoever
// shows it).
struct Icon : Object {
  static constexpr Kind kKind = Kind::Icon;
  Image img;
  std::vector<uint8_t> alpha;  // 0..255 per pixel of img; empty when fully opaque
  int systemId = 0;
};
// An icon from the program's resources (RT_GROUP_ICON by name); null when absent.
HICON LoadResourceIcon(const char *name);

// ---------------------------------------------------------------------------------
// Failure injection (the headless driver sets these; the real back end never does).
// ---------------------------------------------------------------------------------
enum class FailPoint { LocalAlloc, RegisterClass, CreateWindow, CreateDC, CreateBitmap, Count };
// True when this call is to fail: `countdown` calls succeed first, then `times` fail.
// `detail` names what the call makes (a class, a resource), for rules limited to it.
bool ShouldFail(FailPoint p, const char *detail = nullptr);
void SetFailure(FailPoint p, int skip, int times, const char *detail);
void ClearFailureRules();
// How many calls ShouldFail has been asked about since the last reset (with that detail,
// when one is given): the positions a rule can reach.
int FailableCalls(FailPoint p, const char *detail);

// Blocks of the local heap not yet freed.
size_t LiveLocalBlocks();

// Resets every part of the layer to its state at program start (tests only).
void ResetLayer();
void ResetHandles();  // frees every object
void ResetWindows();
void ResetQueue();
void ResetComposer();
void ResetLocalHeap();
// A part of the layer that keeps state of its own (caches of handles, say) registers a
// function that forgets it, as a static object: `static ResetHook hook(&ForgetMyState);`
struct ResetHook {
  explicit ResetHook(void (*forget)());
};

}  // namespace zp
