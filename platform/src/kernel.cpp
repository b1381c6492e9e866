// Kernel services: time, the local heap, system metrics and colours, cursors, and the
// failure injection that tests use to make chosen calls fail.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "backend.h"
#include "internal.h"

namespace zp {

ThreadState &Thread() {
  static ThreadState state;
  return state;
}

// ---------------------------------------------------------------------------------
// Failure injection
// ---------------------------------------------------------------------------------
struct FailRule {
  int skip = 0;
  int times = 0;
  std::string detail;
};
static FailRule g_failRules[int(FailPoint::Count)];

// Every call that a rule could have made fail since the layer was last reset, by point and
// by detail (a class or resource name, compared without regard to case).
static std::vector<std::string> g_failableCalls[int(FailPoint::Count)];
static void ForgetFailableCalls() {
  for (auto &calls : g_failableCalls) calls.clear();
}
static ResetHook g_forgetFailableCalls(&ForgetFailableCalls);

void SetFailure(FailPoint p, int skip, int times, const char *detail) {
  g_failRules[int(p)] = FailRule{skip, times, detail ? detail : ""};
}

void ClearFailureRules() {
  for (auto &r : g_failRules) r = FailRule{};
}

bool ShouldFail(FailPoint p, const char *detail) {
  g_failableCalls[int(p)].emplace_back(detail ? detail : "");
  FailRule &r = g_failRules[int(p)];
  if (r.times <= 0) return false;
  if (!r.detail.empty() && (!detail || strcasecmp(r.detail.c_str(), detail) != 0)) return false;
  if (r.skip > 0) {
    --r.skip;
    return false;
  }
  --r.times;
  return true;
}

int FailableCalls(FailPoint p, const char *detail) {
  const auto &calls = g_failableCalls[int(p)];
  if (!detail) return int(calls.size());
  return int(std::count_if(calls.begin(), calls.end(), [detail](const std::string &d) {
    return strcasecmp(d.c_str(), detail) == 0;
  }));
}

}  // namespace zp

using namespace zp;

// ---------------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------------
VOID WINAPI Sleep(DWORD dwMilliseconds) {
  PresentAll();
  Backend().SleepMs(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) {
  return Backend().Ticks();
}

// ---------------------------------------------------------------------------------
// The local heap: fixed blocks only. Live blocks are remembered so that freeing a wrong
// pointer fails instead of corrupting the heap.
// ---------------------------------------------------------------------------------
static std::unordered_set<void *> &LiveBlocks() {
  static std::unordered_set<void *> blocks;
  return blocks;
}

size_t zp::LiveLocalBlocks() {
  return LiveBlocks().size();
}

void zp::ResetLocalHeap() {
  for (void *p : LiveBlocks()) std::free(p);
  LiveBlocks().clear();
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  if (ShouldFail(FailPoint::LocalAlloc)) {
    Thread().lastError = 8;  // ERROR_NOT_ENOUGH_MEMORY
    return nullptr;
  }
  void *p = (uFlags & LMEM_ZEROINIT) ? std::calloc(uBytes ? uBytes : 1, 1)
                                     : std::malloc(uBytes ? uBytes : 1);
  if (!p) {
    Thread().lastError = 8;
    return nullptr;
  }
  LiveBlocks().insert(p);
  return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  if (!hMem) return nullptr;
  auto &blocks = LiveBlocks();
  auto it = blocks.find(hMem);
  if (it == blocks.end()) {
    Thread().lastError = 6;  // ERROR_INVALID_HANDLE
    return hMem;
  }
  blocks.erase(it);
  std::free(hMem);
  return nullptr;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  // One module: the program. Its handle is only ever compared and passed back to us.
  if (lpModuleName) return nullptr;
  return reinterpret_cast<HMODULE>(uintptr_t(0x400000));
}

DWORD WINAPI GetLastError(void) {
  return Thread().lastError;
}
VOID WINAPI SetLastError(DWORD dwErrCode) {
  Thread().lastError = dwErrCode;
}

// ---------------------------------------------------------------------------------
// Metrics and colours: the classic look.
// ---------------------------------------------------------------------------------
int WINAPI GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN:
      return Backend().ScreenSize().cx;
    case SM_CYSCREEN:
      return Backend().ScreenSize().cy;
    case SM_CYCAPTION:
      return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CYMENU:
      return 19;
    default:
      return 0;
  }
}

DWORD WINAPI GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_3DDKSHADOW:
      return RGB(0, 0, 0);
    case COLOR_BTNFACE:
      return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
      return RGB(128, 128, 128);
    case COLOR_BTNHIGHLIGHT:
      return RGB(255, 255, 255);
    case COLOR_3DLIGHT:
      return RGB(223, 223, 223);
    default:
      return RGB(192, 192, 192);
  }
}

// ---------------------------------------------------------------------------------
// Cursors. System cursors are objects made once per id; a class or SetCursor refers to
// them by handle.
// ---------------------------------------------------------------------------------
namespace zp {
struct Cursor : Object {
  static constexpr Kind kKind = Kind::Cursor;
  int id = 0;
};
}  // namespace zp

static HCURSOR SystemCursor(int id) {
  for (void *h : HandlesOf(Kind::Cursor)) {
    if (auto *c = As<zp::Cursor>(h); c && c->id == id) return static_cast<HCURSOR>(h);
  }
  auto c = std::make_unique<zp::Cursor>();
  c->id = id;
  return static_cast<HCURSOR>(NewHandle(Kind::Cursor, std::move(c)));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (hInstance || !IS_INTRESOURCE(lpCursorName)) return nullptr;  // no cursor resources
  int id = int(reinterpret_cast<uintptr_t>(lpCursorName));
  if (id < 32512 || id > 32515) return nullptr;
  return SystemCursor(id);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  ThreadState &t = Thread();
  HCURSOR previous = t.cursor;
  auto *c = As<zp::Cursor>(hCursor);
  t.cursor = c ? hCursor : nullptr;
  Backend().SetCursorShape(c ? c->id : 0);
  return previous;
}

HCURSOR WINAPI GetCursor(void) {
  return Thread().cursor;
}

BOOL WINAPI SetCursorPos(int X, int Y) {
  Thread().cursorPos = POINT{X, Y};
  Backend().WarpPointer(X, Y);
  return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
  if (!lpPoint) return FALSE;
  *lpPoint = Thread().cursorPos;
  return TRUE;
}

int WINAPI ShowCursor(BOOL bShow) {
  ThreadState &t = Thread();
  t.cursorCount += bShow ? 1 : -1;
  Backend().SetCursorVisible(t.cursorCount >= 0);
  return t.cursorCount;
}
