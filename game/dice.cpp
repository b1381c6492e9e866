// The die: the face draw, the tumbling animation across the table top, the start-order
// roll, a roll of the game, and the Newbie computer's roll limit for a turn.
#include "zantpig.h"

// Top-left corner of the die at rest, and the six cells the die tumbles through, from the
// right of the table top towards the rest cell.
#define DIE_REST_X 56
#define DIE_REST_Y 188
#define DIE_SIZE 50

static const int xpos[6] = {250, 216, 186, 152, 114, 71};
static const int ypos[6] = {123, 159, 220, 161, 206, 166};

// Copies tile (column, row) of the dice bitmap to (x, y), first into the off-screen image
// and then onto the window, so it shows at once and a repaint shows the same.
static void DrawDieTile(int column, int row, int x, int y) {
  BitBlt(g_vhdc, x, y, DIE_SIZE, DIE_SIZE, g_dicehdc, column * DIE_SIZE, row * DIE_SIZE, SRCCOPY);
  BitBlt(g_hdc, x, y, DIE_SIZE, DIE_SIZE, g_dicehdc, column * DIE_SIZE, row * DIE_SIZE, SRCCOPY);
}

// A face from 1 to 6.
static int DrawFace(void) {
  return (int)(ZantRandom() * 6.0) + 1;
}

// Clears the rest cell, tumbles the die through its six cells (125 ms each) and leaves
// it showing `face` in the rest cell.
static void TumbleDie(int face) {
  int i;
  DrawDieTile(0, 0, DIE_REST_X, DIE_REST_Y);
  for (i = 0; i < 6; i++) {
    DrawDieTile(1, i, xpos[i], ypos[i]);
    ShowDrawing();
    Sleep(125);
    DrawDieTile(2, i, xpos[i], ypos[i]);
  }
  DrawDieTile(0, face, DIE_REST_X, DIE_REST_Y);
}

// The start-order roll: 4, 5 or 6 lets player index 1 begin, 1 to 3 player index 0.
// The die is shown for a second and then taken away.
int Start(void) {
  int face = DrawFace();
  TumbleDie(face);
  ShowDrawing();
  Sleep(1000);
  DrawDieTile(0, 0, DIE_REST_X, DIE_REST_Y);
  return face >= 4 ? 1 : 0;
}

// One roll of the game. The buttons stay disabled; the controller enables them again
// when a person is to move. The face stays on the table until the next roll.
int Roll(void) {
  int face;
  EnableWindow(g_hBWnd1, FALSE);
  EnableWindow(g_hBWnd2, FALSE);
  EnableWindow(g_hBWnd3, FALSE);
  face = DrawFace();
  TumbleDie(face);
  return face;
}

// How many times the Newbie computer rolls in its coming turn: 2 to 5.
void NewbieLimitDraw(void) {
  computerlimit = (int)(ZantRandom() * 4.0) + 2;
  computercount = 0;
}
