// Accelerator tables: read from ACCELERATORS resources (entries of 8 bytes: flags, key,
// command, padding; the flag 0x80 marks the last entry) and applied to key messages by
// TranslateAcceleratorA.
#include "internal.h"
#include "template_reader.h"

namespace zp {

struct AccelTable : Object {
  static constexpr Kind kKind = Kind::Accel;
  std::vector<ACCEL> entries;
};

namespace {

constexpr BYTE kLastEntry = 0x80;
constexpr BYTE kModifiers = FSHIFT | FCONTROL | FALT;

bool KeyDown(int vk) {
  return (GetKeyState(vk) & 0x8000) != 0;
}

// Whether the table entry stands for this key message.
bool Matches(const ACCEL &a, const MSG &msg) {
  bool virtualKey = (a.fVirt & FVIRTKEY) != 0;
  bool alt = KeyDown(VK_MENU) || (msg.lParam & (1 << 29));
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (!virtualKey || a.key != msg.wParam) return false;
      BYTE held = BYTE((KeyDown(VK_SHIFT) ? FSHIFT : 0) | (KeyDown(VK_CONTROL) ? FCONTROL : 0) |
                       (alt ? FALT : 0));
      return held == (a.fVirt & kModifiers);
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      // A character entry: the character itself, with Alt as the table says.
      return !virtualKey && a.key == msg.wParam && alt == ((a.fVirt & FALT) != 0);
    default:
      return false;
  }
}

}  // namespace

}  // namespace zp

using namespace zp;

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE, LPCSTR lpTableName) {
  ResourceData res = FindResourceData(RT_ACCELERATOR, lpTableName);
  if (!res.data) {
    Thread().lastError = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
  }
  auto table = std::make_unique<AccelTable>();
  TemplateReader r(res.data, res.size);
  for (;;) {
    ACCEL a{};
    uint16_t flags = r.Word();
    a.key = r.Word();
    a.cmd = r.Word();
    r.Word();  // padding
    if (!r.ok()) break;
    a.fVirt = BYTE(flags & ~kLastEntry);
    table->entries.push_back(a);
    if (flags & kLastEntry) break;
  }
  if (table->entries.empty()) return nullptr;
  return static_cast<HACCEL>(NewHandle(Kind::Accel, std::move(table)));
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL hAccel) {
  if (!As<AccelTable>(hAccel)) return FALSE;
  return FreeHandle(hAccel);
}

int WINAPI TranslateAcceleratorA(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
  AccelTable *table = As<AccelTable>(hAccTable);
  if (!table || !lpMsg || !GetWnd(hWnd)) return 0;
  for (const ACCEL &a : table->entries) {
    if (!Matches(a, *lpMsg)) continue;
    // The key of a greyed menu item is used up but gives no command.
    if (!MenuCommandInert(hWnd, a.cmd)) SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}
