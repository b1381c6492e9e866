// The kernel calls the game leans on: zeroed local memory and the tick count.
#include "conformance.h"

#include <cstring>

namespace {

class Kernel : public Conformance {};

// LMEM_ZEROINIT memory is all zeros, also when it reuses memory that held something.
TEST_F(Kernel, LocalAllocZeroInitGivesZeros) {
  const SIZE_T sizes[] = {1, 7, 64, 4096, 100000, 3 * 1024 * 1024};
  for (int round = 0; round < 2; ++round)
    for (SIZE_T size : sizes) {
      SCOPED_TRACE(size);
      auto *p = static_cast<unsigned char *>(LocalAlloc(LMEM_ZEROINIT, size));
      ASSERT_NE(p, nullptr);
      SIZE_T nonzero = 0;
      for (SIZE_T i = 0; i < size; ++i) nonzero += p[i] != 0;
      EXPECT_EQ(nonzero, 0u);
      std::memset(p, 0xA5, size);  // leaves garbage behind for the next round
      EXPECT_EQ(LocalFree(p), nullptr);
    }
  auto *p = static_cast<unsigned char *>(LocalAlloc(LPTR, 16));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[15], 0);
  EXPECT_EQ(LocalFree(p), nullptr);
}

// Differences of GetTickCount, taken as DWORDs, measure elapsed time across the wrap at
// 2^32 (the layer's tests start just before it); Sleep lets at least that much time pass,
// give or take the tick count's granularity (Windows advances it in steps of ~16 ms).
TEST_F(Kernel, TickDifferencesSurviveTheWrap) {
  DWORD start = GetTickCount();
  DWORD last = start;
  for (int i = 0; i < 5; ++i) {
    Sleep(40);
    DWORD now = GetTickCount();
    DWORD step = now - last;
    EXPECT_GE(step, 20u) << "Sleep(40) took " << step << " ms";
    EXPECT_LT(step, 5000u) << "Sleep(40) took " << step << " ms";
    last = now;
  }
  DWORD elapsed = last - start;
  EXPECT_GE(elapsed, 180u);
  EXPECT_LT(elapsed, 20000u);
}

}  // namespace
