// The drawing surfaces of the main window: the off-screen image that holds everything the
// window shows, the table-top picture, the header and dice tiles, and the one font.
// Every change is drawn into the off-screen image and into the window alike; a repaint
// only copies the damaged rectangle back from the off-screen image.
#include "zantpig.h"

HDC g_hdc;
HDC g_vhdc;
HDC g_bkgdhdc;
HDC g_headershdc;
HDC g_dicehdc;
HFONT g_hFont;

// The text cells of the score board, cleared to black whenever their text is drawn.
RECT erase[5] = {
    {360, 110, 450, 150},  // total score of player 1
    {530, 110, 590, 150},  // total score of player 2 or the computer
    {360, 210, 450, 250},  // turn score of player 1
    {530, 210, 590, 250},  // turn score of player 2 or the computer
    {301, 290, 590, 340},  // the message line
};

// The colours of the display.
const COLORREF framecolour = RGB(0, 192, 255);      // labels, scores, rules, the probability
const COLORREF warningcolour = RGB(224, 224, 0);    // a 1 rolled, a game abandoned
const COLORREF successcolour = RGB(0, 255, 128);    // the winner; the probability when to roll
const COLORREF holdcolour = RGB(255, 0, 0);         // the probability when to hold
static const COLORREF busytint = RGB(0, 255, 240);  // the table top while tables are solved
static const COLORREF background = RGB(0, 0, 0);

// The bitmaps selected into the memory surfaces, kept so that they can be deleted after
// their surfaces: a bitmap cannot be deleted while it is selected.
static HBITMAP offscreenbitmap, tablebitmap, headersbitmap, dicebitmap;
// What each surface held before we selected into it, put back before it is released.
static HGDIOBJ oldoffscreenbitmap, oldtablebitmap, oldheadersbitmap, olddicebitmap;
static HGDIOBJ oldwindowfont;

// A memory surface compatible with the window, holding one of the program's bitmaps.
static HDC LoadSurface(const char *name, HBITMAP *bitmap, HGDIOBJ *old) {
  HDC hdc = CreateCompatibleDC(g_hdc);
  *bitmap = (HBITMAP)LoadImageA(g_hInstance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  *old = SelectObject(hdc, *bitmap);
  return hdc;
}

// The frame colour on black, transparent text, in the one font.
static void SetTextState(HDC hdc) {
  SetTextColor(hdc, framecolour);
  SetBkColor(hdc, background);
  SetBkMode(hdc, TRANSPARENT);
}

// Builds every surface while the main window is created and composes the off-screen
// image: the table top tinted as the busy look on the left, the score board on the right.
void BuildSurfaces(HWND hWnd) {
  g_hdc = GetDC(hWnd);
  g_bkgdhdc = LoadSurface("ZANTPIGBITMAP", &tablebitmap, &oldtablebitmap);

  g_vhdc = CreateCompatibleDC(g_hdc);
  offscreenbitmap = CreateCompatibleBitmap(g_hdc, 600, 400);
  oldoffscreenbitmap = SelectObject(g_vhdc, offscreenbitmap);

  HGDIOBJ oldbrush = SelectObject(g_vhdc, GetStockObject(BLACK_BRUSH));
  PatBlt(g_vhdc, 300, 0, 300, 400, PATCOPY);

  // The busy look: the table top with its red removed and its blue cut to the four high
  // bits, by filling with the tint and combining the picture into it.
  LOGBRUSH logbrush;
  logbrush.lbStyle = BS_SOLID;
  logbrush.lbColor = busytint;
  logbrush.lbHatch = 0;
  HBRUSH tintbrush = CreateBrushIndirect(&logbrush);
  SelectObject(g_vhdc, tintbrush);
  PatBlt(g_vhdc, 0, 0, 300, 400, PATCOPY);
  SelectObject(g_vhdc, oldbrush);
  DeleteObject(tintbrush);
  BitBlt(g_vhdc, 0, 0, 300, 400, g_bkgdhdc, 0, 0, SRCAND);

  g_headershdc = LoadSurface("ZANTPIGHEADERSBITMAP", &headersbitmap, &oldheadersbitmap);
  g_dicehdc = LoadSurface("ZANTPIGDICEBITMAP", &dicebitmap, &olddicebitmap);

  g_hFont =
      CreateFontA(24, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_ROMAN, "Times New Roman");
  oldwindowfont = SelectObject(g_hdc, g_hFont);
  SetTextState(g_hdc);
  SelectObject(g_vhdc, g_hFont);
  SetTextState(g_vhdc);

  CreateDisplay();
}

// Draws the static score board (labels, initial totals, rules and dividers) into the
// off-screen image and shows its right half in the window.
void CreateDisplay(void) {
  SetTextState(g_vhdc);
  TextOutA(g_vhdc, 400, 70, "Total Score", 11);
  TextOutA(g_vhdc, 400, 170, "Turn Score", 10);
  TextOutA(g_vhdc, 360, 110, "0", 1);
  TextOutA(g_vhdc, 530, 110, "0", 1);

  // Each line runs from its start point up to, not including, its end point.
  static const int lines[6][4] = {
      {300, 0, 300, 399},    // the separator between table top and score board
      {300, 60, 599, 60},    // under the header band
      {300, 160, 599, 160},  // under the total scores
      {300, 260, 599, 260},  // under the turn scores
      {450, 105, 450, 160},  // between the two total scores
      {450, 205, 450, 260},  // between the two turn scores
  };
  HPEN hPen = CreatePen(PS_SOLID, 1, framecolour);
  HGDIOBJ oldpen = SelectObject(g_vhdc, hPen);
  for (int i = 0; i < 6; i++) {
    MoveToEx(g_vhdc, lines[i][0], lines[i][1], NULL);
    LineTo(g_vhdc, lines[i][2], lines[i][3]);
  }
  SelectObject(g_vhdc, oldpen);
  DeleteObject(hPen);

  BitBlt(g_hdc, 300, 0, 300, 400, g_vhdc, 300, 0, SRCCOPY);
}

// Puts what has been drawn on the screen now; called right before the thread pauses with
// something on show. Drawing straight into the window is not enough by itself: GDI may keep
// the last calls in a batch until a later call, and a window system may keep a window's
// new pixels until the thread next looks at its queue, so that a notice drawn and erased
// around a pause would never be seen. GdiFlush sends the batch; the look at the queue, for
// messages sent by other threads only, hands the pixels over. It takes nothing out: no
// posted message, input, paint or quit message can match that kind, so the steps of the
// move stay queued and the input given during the pause still waits for CMD_FLUSH_INPUT.
void ShowDrawing(void) {
  MSG msg;
  GdiFlush();
  PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Removes the die from its rest cell: the bare table shows there again.
void EraseDie(void) {
  BitBlt(g_vhdc, 56, 188, 50, 50, g_dicehdc, 0, 0, SRCCOPY);
  BitBlt(g_hdc, 56, 188, 50, 50, g_dicehdc, 0, 0, SRCCOPY);
}

// Ends the busy look: the table top in its own colours, and its surface is no longer
// needed. Does nothing when the busy look has already ended.
void EndBusyLook(void) {
  if (g_bkgdhdc == NULL) return;
  BitBlt(g_vhdc, 0, 0, 300, 400, g_bkgdhdc, 0, 0, SRCCOPY);
  BitBlt(g_hdc, 0, 0, 300, 400, g_bkgdhdc, 0, 0, SRCCOPY);
  SelectObject(g_bkgdhdc, oldtablebitmap);
  DeleteDC(g_bkgdhdc);
  DeleteObject(tablebitmap);
  g_bkgdhdc = NULL;
  tablebitmap = NULL;
}

// Answers WM_PAINT: copies the damaged rectangle back from the off-screen image.
void PaintWindow(HWND hWnd) {
  PAINTSTRUCT paintstruct;
  HDC hdc = BeginPaint(hWnd, &paintstruct);
  const RECT &r = paintstruct.rcPaint;
  BitBlt(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_vhdc, r.left, r.top, SRCCOPY);
  EndPaint(hWnd, &paintstruct);
}

// Deletes a memory surface after putting back what it held, then its bitmap.
static void DeleteSurface(HDC *hdc, HGDIOBJ old, HBITMAP *bitmap) {
  if (*hdc != NULL) {
    SelectObject(*hdc, old);
    DeleteDC(*hdc);
  }
  if (*bitmap != NULL) DeleteObject(*bitmap);
  *hdc = NULL;
  *bitmap = NULL;
}

// Releases every surface and the font when the main window is destroyed.
void ReleaseSurfaces(HWND hWnd) {
  DeleteSurface(&g_bkgdhdc, oldtablebitmap, &tablebitmap);  // still there if closed while busy
  if (g_vhdc != NULL) SelectObject(g_vhdc, GetStockObject(SYSTEM_FONT));
  DeleteSurface(&g_vhdc, oldoffscreenbitmap, &offscreenbitmap);
  DeleteSurface(&g_headershdc, oldheadersbitmap, &headersbitmap);
  DeleteSurface(&g_dicehdc, olddicebitmap, &dicebitmap);
  if (g_hdc != NULL) SelectObject(g_hdc, oldwindowfont);
  DeleteObject(g_hFont);
  g_hFont = NULL;
  ReleaseDC(hWnd, g_hdc);
  g_hdc = NULL;
}
