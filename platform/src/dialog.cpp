// Dialogs: placeholder seams until dialogs and message boxes land.
#include "internal.h"

namespace zp {
void RegisterDialogClasses() {}
bool DialogKeyMessage(HWND, const MSG &) {
  return false;
}
}  // namespace zp
