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
// The sweep here works one level i (the blocks (i, j, k = 0 .. goal-1-i) for every j) at a
// time and gives exactly the tables of the state-by-state loop:
// - the roll terms of a block read its own higher turn totals, which this sweep has not
//   renewed yet when k rises, so a group of turn totals can be renewed side by side, in
//   place, from the values after it (turn totals at or past the goal read as 1);
// - the bust and hold terms read 1 - P(a, b, 0) for other blocks (a, b), kept in a
//   compact 100 x 100 table that follows every update;
// - only in a block with j == i do they read an entry of the block itself, (i, i, 0):
//   its own update at k = 0 sees the old value in both terms, and the bust term of every
//   later k sees the renewed one. So there k = 0 is computed first and on its own; in
//   every other block it is one more turn total of the first group.
//
// While it solves, the unused entries just past the end of each block (i + k >= goal)
// hold 1, the value of a turn total at the goal, so that every group of turn totals reads
// and writes whole: a turn total past the end renews to 1 again (its hold term reads 1 in
// the compact table's slack) and changes by nothing. Only where a block ends too close
// to the next one (small i) does its last group read from a padded copy. The entries are
// cleared again at the end, as the tables must keep them.
//
// A group is eight turn totals, in two vectors of four single-precision lanes (the
// compiler's vector extension: SSE2 on x86-64, SIMD128 in WebAssembly). Each lane does
// exactly the float arithmetic of the plain loop, with one change of form: the sum times
// one sixth, held in double precision and then rounded to float, is the float division
// sum / 6, which for every float from 0 to 6 (each of them checked) is the same float
// and is one instruction on every target.
#include "zantpig.h"

#include <string.h>

int sweepcount = 0;

// The largest goal the working buffers hold; the game plays to 100.
#define MAXGOAL 100
// Turn totals renewed side by side.
#define LANES 8
// Entries from the start of a group that it reads (the roll terms reach k + 6).
#define GROUPREADS (LANES + 6)

typedef float floatx4 __attribute__((vector_size(16)));
typedef int intx4 __attribute__((vector_size(16)));

// handover[a][b] = 1 - P(a, b, 0): what the state (a, b, 0) is worth to the player who
// hands the move over into it, the bust term (b = i) and the hold term (b = i + k) of a
// block (i, a). Past the goal it holds 1, the hold term of a turn total past the end.
static float handover[MAXGOAL][MAXGOAL + LANES];

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

static inline floatx4 Load4(const float *from) {
  floatx4 v;
  memcpy(&v, from, sizeof v);
  return v;
}

// Renews four turn totals of a block, at `values`, from `in` (in[t]: the old value of the
// first one's turn total + t) and `hold` (their hold terms); returns the lanes where
// rolling is better (all bits set) and keeps each lane's largest change in `largest`.
static inline intx4 RenewFour(float *values, const float *in, const float *hold, floatx4 bust,
                              floatx4 *largest) {
  floatx4 rollprob = Load4(in + 2) + bust;
  rollprob = Load4(in + 3) + rollprob;
  rollprob = Load4(in + 4) + rollprob;
  rollprob = Load4(in + 5) + rollprob;
  rollprob = Load4(in + 6) + rollprob;
  rollprob = rollprob / 6;
  floatx4 holdprob = Load4(hold);
  floatx4 renewed = rollprob > holdprob ? rollprob : holdprob;            // FMax
  floatx4 change = (floatx4)((intx4)(renewed - Load4(in)) & 0x7fffffff);  // fabsf
  *largest = *largest > change ? *largest : change;
  memcpy(values, &renewed, sizeof renewed);
  return renewed > holdprob;  // as rollprob > holdprob, which the compiler need not keep
}

// Renews the turn totals k .. k+LANES-1 of a block, at `values` and `actions`, from `in`
// (in[t]: the old value of turn total k + t, 1 past the end of the block) and `hold`
// (hold[l] = 1 - P(j, i + k + l, 0)). Only the first `count` actions and values are
// stored; past the end of a block's row a group stores none.
static inline void RenewGroup(float *values, unsigned char *actions, const float *in,
                              const float *hold, floatx4 bust, int count, floatx4 *largest) {
  // Each lane's action as one byte of a 32-bit word, the four words of a vector OR-ed
  // into one: the eight actions in a row.
  const intx4 place = {0x1, 0x100, 0x10000, 0x1000000};
  float renewed[LANES];
  float *out = count == LANES ? values : renewed;
  intx4 low = RenewFour(out, in, hold, bust, largest) & place;
  intx4 high = RenewFour(out + 4, in + 4, hold + 4, bust, largest) & place;
  intx4 both = __builtin_shufflevector(low, high, 0, 4, 1, 5) |
               __builtin_shufflevector(low, high, 2, 6, 3, 7);
  both |= __builtin_shufflevector(both, both, 2, 3, 2, 3);
  if (count == LANES) {
    memcpy(actions, &both, LANES);
  } else {
    unsigned char roll[LANES];
    memcpy(roll, &both, LANES);
    memcpy(values, renewed, (size_t)count * sizeof(float));
    memcpy(actions, roll, (size_t)count);
  }
}

// Renews every block of level i, j from goal-1 down to 0, and returns the largest change
// of a value in the level: the whole of the solver's work between two looks at the clock.
static float SolveLevel(int i) {
  const int n = goal - i;
  floatx4 largest = {0, 0, 0, 0};
  float pad[GROUPREADS];
  float diffmax = 0;
  int j, k, t;

  for (j = goal - 1; j >= 0; j--) {
    float *values = prob + i * goal2 + j * goal;
    unsigned char *actions = option + i * goal2 + j * goal;
    const float *hold = &handover[j][i];  // hold[k] = 1 - P(j, i + k, 0)
    float bust = handover[j][i];

    k = 0;
    if (j == i) {
      // k = 0, which renews the entry its own bust and hold terms read.
      float rollprob = values[2] + bust;
      rollprob = values[3] + rollprob;
      rollprob = values[4] + rollprob;
      rollprob = values[5] + rollprob;
      rollprob = values[6] + rollprob;
      rollprob = rollprob / 6;
      float holdprob = bust;
      float renewed = FMax(rollprob, holdprob);
      float change = renewed - values[0];
      diffmax = FMax(diffmax, change < 0 ? -change : change);
      values[0] = renewed;
      actions[0] = (unsigned char)(rollprob > holdprob);
      handover[i][i] = 1 - renewed;
      bust = handover[i][i];
      k = 1;
    }
    // Groups whose reads stay inside the block's row, in place; then, near the next
    // block's row, from a copy padded with 1 (a turn total at or past the goal), storing
    // only what lies in this row.
    floatx4 busts = bust - (floatx4){0, 0, 0, 0};
    for (; k < n && k + GROUPREADS <= goal; k += LANES)
      RenewGroup(values + k, actions + k, values + k, hold + k, busts, LANES, &largest);
    for (; k < n; k += LANES) {
      for (t = 0; t < GROUPREADS; t++) pad[t] = k + t < n ? values[k + t] : 1.0f;
      RenewGroup(values + k, actions + k, pad, hold + k, busts, k + LANES <= goal ? LANES : n - k,
                 &largest);
    }
    handover[i][j] = 1 - values[0];
  }
  for (t = 0; t < 4; t++) diffmax = FMax(diffmax, largest[t]);
  return diffmax;
}

// ValueIterate calls SolveLevel through this pointer, which no compiler or optimiser can
// see through, so that the level's work stays a function of its own, called 6,300 times a
// solve, in every build. In the browser that matters twice: the engine runs a function
// in quickly made code until it has been called a few times and only then in fully
// optimised code, and the solve, which pauses to show the busy notice, carries the
// machinery of a pause in every function it is made of, while SolveLevel never pauses
// and needs none (the link's asyncify advice lists the functions that get it).
static float (*volatile solvelevel)(int) = SolveLevel;

// Puts `value` into the entries just past the end of every block that a group of turn
// totals may read.
static void FillPastEnd(float value) {
  int i, j, k;
  for (i = 1; i < goal; i++) {
    for (j = 0; j < goal; j++) {
      float *values = prob + i * goal2 + j * goal;
      for (k = goal - i; k < goal && k < goal - i + GROUPREADS; k++) values[k] = value;
    }
  }
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

  for (i = 0; i < goal; i++) {
    for (j = 0; j < goal; j++) handover[i][j] = 1 - prob[i * goal2 + j * goal];
    for (; j < goal + LANES; j++) handover[i][j] = 1;
  }
  FillPastEnd(1.0f);

  // The clock is read once a level: between 100 and 10,000 states, a small fraction of a
  // blink.
  sweepcount = 0;
  do {
    diffmax = 0;
    for (i = goal - 1; i >= 0; i--) {
      diffmax = FMax(diffmax, solvelevel(i));
      BlinkCheck();
      if (prob == NULL) return;
    }
    sweepcount++;
  } while ((double)diffmax >= 0.001);
  FillPastEnd(0.0f);

  SetTextColor(g_vhdc, TEXTCOLOR);
  SetTextColor(g_hdc, TEXTCOLOR);
  BusyNotice(0);
  EndBusyLook();
  SetCursor(arrow);
  SetCursorPos(50, 50);
}
