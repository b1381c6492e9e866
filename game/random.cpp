// The random source: a 64-bit linear congruential generator, and the draws built on it.
#include "zantpig.h"

#include <math.h>
#include <stdint.h>

// The generator's state; 1 until the first seeding.
static uint64_t randomstate = 1;

// Seeding puts the seed in the low half of the state and clears the high half.
void ZantSeed(unsigned int seed) {
  randomstate = (uint64_t)seed;
}

// One step of the generator (multiplier 0x000015A400004E35, increment 1, modulo 2^64);
// the draw is bits 32 to 62 of the new state.
int lrand(void) {
  const uint64_t multiplier = ((uint64_t)0x15A4 << 32) | 0x4E35;
  randomstate = randomstate * multiplier + 1;
  return (int)((randomstate >> 32) & 0x7FFFFFFF);
}

// A coarse step of 1/32767 from the first draw plus a fine part below one such step from
// the second, so the sum stays below 1.
double ZantRandom(void) {
  double random_double = (double)(lrand() % 32767) * (1.0 / 32767);
  double temp_double = (double)(lrand() % 30519) * 1e-9;
  return random_double + temp_double;
}

// Rounds to a whole number, halves upward (also below zero: -2.5 gives -2).
double Round(double r) {
  double f = floor(r);
  if (r - f >= 0.5) return f + 1;
  return f;
}
