// The win-probability and best-action tables: one entry per game state (i, j, k), where i
// is the score of the player about to act, j the other player's score and k the turn
// total, at index i * goal2 + j * goal + k.
#include "zantpig.h"

#include <string.h>

float *prob = NULL;
unsigned char *option = NULL;

static const char allocationcaption[] = "Memory allocation problem";
static const char probfailtext[] =
    "Not enough memory to allocate probability buffer.\n\n"
    "Alternate computer strategy will be used, and\n"
    "' Suggestion Mode ' will not be available.";
static const char optionfailtext[] =
    "Not enough memory to allocate option buffer.\n\n"
    "Alternate computer strategy will be used, and\n"
    "' Suggestion Mode ' will not be available.";

// Obtains both tables, zero-filled. On failure the user is told that the game goes on
// without them, both pointers are null, and the result is 1.
int Allocate(void) {
  SIZE_T entries = (SIZE_T)goal * (SIZE_T)goal2;

  if (prob != NULL) LocalFree((HLOCAL)prob);
  prob = (float *)LocalAlloc(LMEM_ZEROINIT, entries * sizeof(float));
  if (prob == NULL) {
    MessageBoxA(g_hWnd, probfailtext, allocationcaption, MB_ICONWARNING);
    return 1;
  }

  if (option != NULL) LocalFree((HLOCAL)option);
  option = (unsigned char *)LocalAlloc(LMEM_ZEROINIT, entries);
  if (option == NULL) {
    LocalFree((HLOCAL)prob);
    prob = NULL;
    MessageBoxA(g_hWnd, optionfailtext, allocationcaption, MB_ICONWARNING);
    return 1;
  }

  memset(prob, 0, entries * sizeof(float));
  memset(option, 0, entries);
  return 0;
}

// The value of state (i, j, k) with the end of the game applied: a turn total that
// reaches the goal is a win, an opponent at the goal is a loss.
float CalcProb(int i, int j, int k) {
  if (i + k >= goal) return 1.0f;
  if (j >= goal) return 0.0f;
  return prob[i * goal2 + j * goal + k];
}
