// Resetting the whole layer between tests: every part forgets its state, as if the
// program had just started.
#include <vector>

#include "backend.h"
#include "internal.h"

namespace zp {
namespace {
std::vector<void (*)()> &Hooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}
}  // namespace

ResetHook::ResetHook(void (*forget)()) {
  Hooks().push_back(forget);
}

void ResetLayer() {
  ResetQueue();
  ResetComposer();
  ResetHandles();
  ResetWindows();
  ResetLocalHeap();
  ClearFailureRules();
  Thread() = ThreadState{};
  for (auto forget : Hooks()) forget();
  Backend().Reset();
}

}  // namespace zp
