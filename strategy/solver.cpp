// Value iteration over every state of the game: the probability that the player about to
// act wins with best play, and whether rolling beats holding.
//
// The equations, with P(i, j, k) = CalcProb(i, j, k):
//   roll = (1 - P(j, i, 0) + P(i, j, k+2) + ... + P(i, j, k+6)) * 1/6
//   hold = 1 - P(j, i+k, 0)
//   P(i, j, k) = max(roll, hold), and the best action is roll when roll > hold.
//
// Sweeps run in place, i from goal-1 down, then j from goal-1 down, then k up, until no
// value moves by 0.001 or more within a sweep. Every value is a float and each partial
// result is rounded to float as it is formed; the order of the updates decides which
// renewed values each update sees, and so the exact tables and the number of sweeps.
//
// The sweep here works one block (i, j, k = 0 .. goal-1-i) at a time and gives exactly
// the tables of the state-by-state loop:
// - the roll terms of a block read its own higher turn totals, which this sweep has not
//   renewed yet when k rises, so the whole block can be computed from a copy of its old
//   values (turn totals at or past the goal read as 1);
// - the bust and hold terms read the k = 0 entries of other blocks, kept in a compact
//   100 x 100 copy that follows every update;
// - only in a block with j == i do they read an entry of the block itself, (i, i, 0):
//   its own update at k = 0 sees the old value in both terms, and the bust term of every
//   later k sees the renewed one. So k = 0 is computed first and on its own.
#include "zantpig.h"

#include <math.h>
#include <string.h>

int sweepcount = 0;

// The largest goal the working buffers hold; the game plays to 100.
#define MAXGOAL 100
// Turn totals computed side by side; the buffers carry this much slack past the goal.
#define LANES 8

// k = 0 entries of the tables, kzero[i][j] = P(i, j, 0), with slack for a last, partly
// used group of lanes.
static float kzero[MAXGOAL][MAXGOAL + LANES];

static const char busytext[] = "Calculating probabilities";
#define BUSYCOLOR RGB(208, 208, 0)
#define TEXTCOLOR RGB(0, 192, 255)

float FMax(float a, float b) {
  if (a > b) return a;
  return b;
}

// Shows or blanks the busy notice on the message line, on the off-screen image and then
// on the window, and puts it on the screen at once: the calculation goes on without
// looking at the queue, which is where a window system may wait to show it.
static void BusyNotice(int shown) {
  if (shown) {
    ExtTextOutA(g_vhdc, 340, 290, ETO_OPAQUE, &erase[4], busytext, 25, NULL);
    ExtTextOutA(g_hdc, 340, 290, ETO_OPAQUE, &erase[4], busytext, 25, NULL);
  } else {
    ExtTextOutA(g_vhdc, 340, 290, ETO_OPAQUE, &erase[4], " ", 1, NULL);
    ExtTextOutA(g_hdc, 340, 290, ETO_OPAQUE, &erase[4], " ", 1, NULL);
  }
  ShowDrawing();
}

// The blink state of the busy notice and the tick count of its last change.
static int blink;
static DWORD timerstart;

// Every 300 ms the notice is hidden or shown again. The difference of tick counts is
// taken as a signed 32-bit number, so a wrap of the counter changes nothing.
static void BlinkCheck(void) {
  DWORD timerend = GetTickCount();
  if ((int)(timerend - timerstart) > 299) {
    blink = 1 - blink;
    timerstart = timerend;
    BusyNotice(blink);
  }
}

// Renews block (i, j): the states (i, j, k) for k = 0 .. goal-1-i. Returns the largest
// change of a value in the block.
static float SolveBlock(int i, int j) {
  const int n = goal - i;
  float *values = prob + i * goal2 + j * goal;
  unsigned char *actions = option + i * goal2 + j * goal;
  const float *holdzero = &kzero[j][i];  // holdzero[k] = P(j, i + k, 0)
  const double sixth = 1.0 / 6;
  float old[MAXGOAL + LANES + 6];
  float renewed[LANES], change[LANES], largest[LANES];
  int roll[LANES];  // ints, so that the lanes are all four bytes wide
  float bust, rollprob, holdprob, diffmax;
  int k, l;

  memcpy(old, values, (size_t)n * sizeof(float));
  for (k = n; k < n + LANES + 6; k++) old[k] = 1.0f;  // turn totals at the goal: a win

  // k = 0, which may renew the entry its own bust and hold terms read.
  bust = 1 - kzero[j][i];
  rollprob = old[2] + bust;
  rollprob = old[3] + rollprob;
  rollprob = old[4] + rollprob;
  rollprob = old[5] + rollprob;
  rollprob = old[6] + rollprob;
  rollprob = (float)(rollprob * sixth);
  holdprob = 1 - holdzero[0];
  values[0] = FMax(rollprob, holdprob);
  actions[0] = (unsigned char)(rollprob > holdprob);
  diffmax = fabsf(values[0] - old[0]);
  kzero[i][j] = values[0];

  // The rest of the block, LANES turn totals at a time: the lanes work in local arrays and
  // then the group's states are copied into the tables (a last group may be partly past
  // the end of the block; those lanes are not states). When j == i the bust term now reads
  // the value just renewed.
  bust = 1 - kzero[j][i];
  for (l = 0; l < LANES; l++) largest[l] = 0;
  for (k = 1; k < n; k += LANES) {
    for (l = 0; l < LANES; l++) {
      float r = old[k + l + 2] + bust;
      r = old[k + l + 3] + r;
      r = old[k + l + 4] + r;
      r = old[k + l + 5] + r;
      r = old[k + l + 6] + r;
      r = (float)(r * sixth);
      float h = 1 - holdzero[k + l];
      float v = r > h ? r : h;
      renewed[l] = v;
      roll[l] = r > h;
      change[l] = fabsf(v - old[k + l]);
    }
    if (k + LANES <= n) {
      for (l = 0; l < LANES; l++) largest[l] = FMax(largest[l], change[l]);
      memcpy(values + k, renewed, sizeof renewed);
      for (l = 0; l < LANES; l++) actions[k + l] = (unsigned char)roll[l];
    } else {
      for (l = 0; k + l < n; l++) {
        diffmax = FMax(diffmax, change[l]);
        values[k + l] = renewed[l];
        actions[k + l] = (unsigned char)roll[l];
      }
    }
  }
  for (l = 0; l < LANES; l++) diffmax = FMax(diffmax, largest[l]);
  return diffmax;
}

// Fills the tables, with the busy notice blinking on the message line and the wait
// cursor showing. At the end the table top loses its busy tint.
//
// Putting the notice on the screen lets in the messages that other threads send to the
// window; should one of them close it, the tables are freed at once (WM_DESTROY), and the
// calculation stops there.
void ValueIterate(void) {
  HCURSOR hourglass, arrow;
  float diffmax;
  int i, j;

  blink = 1;
  SetTextColor(g_vhdc, BUSYCOLOR);
  SetTextColor(g_hdc, BUSYCOLOR);
  BusyNotice(1);
  hourglass = LoadCursorA(NULL, IDC_WAIT);
  arrow = SetCursor(hourglass);
  timerstart = GetTickCount();
  if (prob == NULL) return;

  for (i = 0; i < goal; i++)
    for (j = 0; j < goal; j++) kzero[i][j] = prob[i * goal2 + j * goal];

  sweepcount = 0;
  do {
    diffmax = 0;
    for (i = goal - 1; i >= 0; i--) {
      for (j = goal - 1; j >= 0; j--) {
        BlinkCheck();
        if (prob == NULL) return;
        diffmax = FMax(diffmax, SolveBlock(i, j));
      }
    }
    sweepcount++;
  } while ((double)diffmax >= 0.001);

  SetTextColor(g_vhdc, TEXTCOLOR);
  SetTextColor(g_hdc, TEXTCOLOR);
  BusyNotice(0);
  EndBusyLook();
  SetCursor(arrow);
  SetCursorPos(50, 50);
}
