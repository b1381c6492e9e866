// An independent model of the game's generator for the tests: the 64-bit state kept as
// two 32-bit halves and multiplied limb by limb, as one would check it on paper.
#pragma once

#include <cstdint>

struct GeneratorModel {
  uint32_t low, high = 0;
  explicit GeneratorModel(uint32_t seed) : low(seed) {}

  // state * (5540 * 2^32 + 20021) + 1 modulo 2^64; the draw is bits 32 to 62.
  int Next() {
    uint64_t lowProduct = static_cast<uint64_t>(low) * 20021u + 1u;
    high = high * 20021u + low * 5540u + static_cast<uint32_t>(lowProduct >> 32);
    low = static_cast<uint32_t>(lowProduct);
    return static_cast<int>(high & 0x7FFFFFFFu);
  }
  double Random() {
    int a = Next(), b = Next();
    return (a % 32767) * (1.0 / 32767) + (b % 30519) * 1e-9;
  }
  int Face() { return static_cast<int>(Random() * 6) + 1; }
};
