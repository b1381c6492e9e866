// The solver as the plain loop over states: for every state, seven reads through
// CalcProb, a blink check of the busy notice, and the update in place.
#include "plain_solver.h"

#include "zantpig.h"

#include <math.h>

static void Notice(const char *text, int length) {
  ExtTextOutA(g_vhdc, 340, 290, ETO_OPAQUE, &erase[4], text, (UINT)length, NULL);
  ExtTextOutA(g_hdc, 340, 290, ETO_OPAQUE, &erase[4], text, (UINT)length, NULL);
}

int PlainValueIterate(void) {
  int i, j, k, r, index, blink, sweeps;
  float prob0, rollprob, holdprob, diff, diffmax;
  DWORD timerstart, timerend;
  HCURSOR hourglass, arrow;

  blink = 1;
  SetTextColor(g_vhdc, RGB(208, 208, 0));
  SetTextColor(g_hdc, RGB(208, 208, 0));
  Notice("Calculating probabilities", 25);
  hourglass = LoadCursorA(NULL, IDC_WAIT);
  arrow = SetCursor(hourglass);
  timerstart = GetTickCount();

  sweeps = 0;
  do {
    diffmax = 0;
    for (i = goal - 1; i >= 0; i--) {
      for (j = goal - 1; j >= 0; j--) {
        for (k = 0; k <= goal - 1 - i; k++) {
          timerend = GetTickCount();
          if ((int)(timerend - timerstart) > 299) {
            blink = 1 - blink;
            timerstart = timerend;
            if (blink == 0)
              Notice(" ", 1);
            else
              Notice("Calculating probabilities", 25);
          }
          index = i * goal2 + j * goal + k;
          prob0 = prob[index];
          rollprob = 1 - CalcProb(j, i, 0);
          for (r = 2; r <= 6; r++) rollprob = CalcProb(i, j, k + r) + rollprob;
          rollprob = (float)(rollprob * (1.0 / 6));
          holdprob = 1 - CalcProb(j, i + k, 0);
          prob[index] = FMax(rollprob, holdprob);
          option[index] = rollprob > holdprob ? 1 : 0;
          diff = fabsf(prob[index] - prob0);
          diffmax = FMax(diffmax, diff);
        }
      }
    }
    sweeps++;
  } while ((double)diffmax >= 0.001);

  SetTextColor(g_vhdc, RGB(0, 192, 255));
  SetTextColor(g_hdc, RGB(0, 192, 255));
  Notice(" ", 1);
  EndBusyLook();
  SetCursor(arrow);
  SetCursorPos(50, 50);
  return sweeps;
}
