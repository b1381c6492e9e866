// The computer player: one decision, roll or hold, at the chosen skill level. The
// decision is delivered as the click of the Roll or Hold button would be, posted to the
// main window, so the computer's moves take the same road as a person's.
#include "zantpig.h"

// Posts a click of Roll and gives the player a second to see it coming.
static int PostRoll(void) {
  PostMessageA(g_hWnd, WM_COMMAND, 0, buttonhandle1);
  ShowDrawing();  // the turn handed over to the computer, and the cleared message line
  Sleep(1000);
  return 0;
}

// Posts a click of Hold.
static int PostHold(void) {
  PostMessageA(g_hWnd, WM_COMMAND, 0, buttonhandle2);
  return 1;
}

// Without the tables the Pro holds at a turn total of 21, moved by one for every eight
// points it leads or trails by, and rolls on regardless once either player is past 70.
static int AlternateStrategy(void) {
  double i, j, q, r;
  int k;
  if (score[0] > 70 || score[1] > 70) return PostRoll();
  i = score[0];
  j = score[1];
  q = (j - i) * 0.125;
  r = Round(q);
  k = (int)r + 21;
  if (scoretemp < k) return PostRoll();
  return PostHold();
}

// Newbie: rolls a drawn number of times and then holds. Amateur: holds at 20. Pro: plays
// the best action of the solved table. Returns 0 after a roll, 1 after a hold, and -1 for
// an unknown level, when nothing is posted.
int Computer(void) {
  switch (complevel) {
    case 0:
      if (computercount++ < computerlimit) return PostRoll();
      return PostHold();
    case 1:
      if (scoretemp < 20) return PostRoll();
      return PostHold();
    case 2:
      if (allocated == 0) return AlternateStrategy();
      if (option[score[1] * goal2 + score[0] * goal + scoretemp] == 1) return PostRoll();
      return PostHold();
    default:
      return -1;
  }
}
