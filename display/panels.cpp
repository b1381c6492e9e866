// The panels of the score board: banked scores, turn totals, the header band with the
// player to move highlighted, the message line and the win probability. Each takes an
// index that picks one fixed drawing, reads the game state and draws the same thing into
// the off-screen image and into the window, so a change shows at once and survives any
// repaint. Once the window's surfaces are released, the panels draw nothing.
#include "zantpig.h"

#include <stdio.h>
#include <string.h>

// Left edge of each player's score cells: player 1 on the left, player 2 or the computer
// on the right.
#define CELLX(p) (360 + 170 * (p))
#define TOTALY 110
#define TURNY 210
#define MESSAGEY 290

// True while the window's surfaces exist.
static int CanDraw(void) {
  return g_hdc != NULL && g_vhdc != NULL;
}

// Fills cell `cell` of `erase` black and draws `text` from (x, y), on one surface. The
// text is kept inside the cell: an italic figure that leans out of it would otherwise
// leave a stray pixel beside the cell that no later clearing of the cell removes.
static void CellText(HDC hdc, int cell, int x, int y, const char *text) {
  ExtTextOutA(hdc, x, y, ETO_OPAQUE | ETO_CLIPPED, &erase[cell], text, (UINT)strlen(text), NULL);
}

// The same on the off-screen image and then on the window.
static void CellTextBoth(int cell, int x, int y, const char *text) {
  CellText(g_vhdc, cell, x, y, text);
  CellText(g_hdc, cell, x, y, text);
}

// Sets the text colour of both surfaces.
static void TextColourBoth(COLORREF colour) {
  SetTextColor(g_vhdc, colour);
  SetTextColor(g_hdc, colour);
}

// Banked scores. 0: both totals shown as zero (a new game, or a game abandoned).
// 1: the new banked score of the player to move.
void TotalScoreDisplay(int index) {
  char string[8];
  if (!CanDraw()) return;
  switch (index) {
    case 0:
      CellTextBoth(0, CELLX(0), TOTALY, "0");
      CellTextBoth(1, CELLX(1), TOTALY, "0");
      break;
    case 1:
      snprintf(string, sizeof string, "%d", score[activeplayer]);
      CellText(g_hdc, activeplayer, CELLX(activeplayer), TOTALY, string);
      CellText(g_vhdc, activeplayer, CELLX(activeplayer), TOTALY, string);
      break;
    default:
      break;
  }
}

// Turn totals. 0, 1: empty the turn cell of that player. 2, 3: show 0 in the turn cell
// of player index - 2. 4: empty both turn cells. 5: the turn total of the player to move.
void TurnScoreDisplay(int index) {
  char string[8];
  if (!CanDraw()) return;
  switch (index) {
    case 0:
    case 1:
      CellTextBoth(2 + index, CELLX(index), TURNY, " ");
      break;
    case 2:
    case 3:
      CellTextBoth(index, CELLX(index - 2), TURNY, "0");
      break;
    case 4:
      CellTextBoth(2, CELLX(0), TURNY, " ");
      CellTextBoth(3, CELLX(1), TURNY, " ");
      break;
    case 5:
      snprintf(string, sizeof string, "%d", scoretemp);
      CellTextBoth(2 + activeplayer, CELLX(activeplayer), TURNY, string);
      break;
    default:
      break;
  }
}

// The header band (x 301..599, y 0..59). 0: blank it. 1: both names, the player to move
// highlighted: tile row 0 or 1 against the computer, 2 or 3 against a second person.
// Column 0 of a tile is never copied, so the separator at x 300 stays.
void HeaderDisplay(int index) {
  int row;
  if (!CanDraw()) return;
  switch (index) {
    case 0:
      PatBlt(g_vhdc, 301, 0, 299, 60, BLACKNESS);
      PatBlt(g_hdc, 301, 0, 299, 60, BLACKNESS);
      break;
    case 1:
      row = activeplayer + 2 * opponent;
      BitBlt(g_vhdc, 301, 0, 299, 60, g_headershdc, 1, 60 * row, SRCCOPY);
      BitBlt(g_hdc, 301, 0, 299, 60, g_headershdc, 1, 60 * row, SRCCOPY);
      break;
    default:
      break;
  }
}

// Puts the bare table back in the die's rest cell.
static void RestTileBoth(void) {
  BitBlt(g_vhdc, 56, 188, 50, 50, g_dicehdc, 0, 0, SRCCOPY);
  BitBlt(g_hdc, 56, 188, 50, 50, g_dicehdc, 0, 0, SRCCOPY);
}

// The message line. 0: empty it. 1: a 1 was rolled, shown for 1.5 s. 2: the game was
// abandoned, shown for 1.5 s, then the die is taken off the table. 3: the winner.
void MessageDisplay(int index) {
  char string[40];
  if (!CanDraw()) return;
  switch (index) {
    case 0:
      CellTextBoth(4, 400, MESSAGEY, " ");
      break;
    case 1:
      TextColourBoth(warningcolour);
      CellTextBoth(4, 340, MESSAGEY, "Rolling 1 terminates turn");
      ShowDrawing();
      Sleep(1500);
      TextColourBoth(framecolour);
      CellTextBoth(4, 400, MESSAGEY, " ");
      break;
    case 2:
      TextColourBoth(warningcolour);
      CellTextBoth(4, 375, MESSAGEY, "Game terminated");
      ShowDrawing();
      Sleep(1500);
      CellTextBoth(4, 375, MESSAGEY, " ");
      TextColourBoth(framecolour);
      RestTileBoth();
      break;
    case 3:
      snprintf(string, sizeof string, "%s wins!", winmessage[winner[activeplayer]]);
      TextColourBoth(successcolour);
      CellTextBoth(4, 390, MESSAGEY, string);
      TextColourBoth(framecolour);
      break;
    default:
      break;
  }
}

// The win probability of the person to move, from the solved table at (their score, the
// other score, the turn total). In suggestion mode it is green when rolling is better and
// red when holding is at least as good. No probability belongs to the computer's turn,
// or to a state off the table: then the line is only emptied.
void ProbDisplay(void) {
  char string[40];
  int mine, theirs, index;
  COLORREF colour = framecolour;
  if (!CanDraw()) return;
  if (activeplayer == 0) {
    mine = score[0];
    theirs = score[1];
  } else {
    mine = score[1];
    theirs = score[0];
  }
  if ((activeplayer == 1 && opponent == 0) || prob == NULL || option == NULL || mine < 0 ||
      mine >= goal || theirs < 0 || theirs >= goal || scoretemp < 0 || mine + scoretemp >= goal) {
    ExtTextOutA(g_vhdc, 355, MESSAGEY, ETO_OPAQUE, &erase[4], "", 0, NULL);
    ExtTextOutA(g_hdc, 355, MESSAGEY, ETO_OPAQUE, &erase[4], "", 0, NULL);
    return;
  }
  index = mine * goal2 + theirs * goal + scoretemp;
  if (suggestion == 1) colour = option[index] != 0 ? successcolour : holdcolour;
  TextColourBoth(colour);
  snprintf(string, sizeof string, "win probability: %.2f", (double)prob[index]);
  CellTextBoth(4, 355, MESSAGEY, string);
  TextColourBoth(framecolour);
}
