#include "program.h"

#include <cstring>
#include <sstream>

#include "zantpig.h"

namespace robust {

void FreshProcess() {
  headless::Reset();
  headless::ClearFailures();
  // The game's globals, with the values they start with in a new process.
  opponent = 0;
  complevel = 0;
  score[0] = score[1] = 0;
  scoretemp = 0;
  activeplayer = 0;
  winner[0] = 0;
  winner[1] = 1;
  quitflag = 1;
  okbutton = 0;
  allocated = 0;
  showprob = 0;
  suggestion = 0;
  computercount = 0;
  computerlimit = 0;
  prob = nullptr;  // the layer's reset took back whatever a failed run left
  option = nullptr;
  sweepcount = 0;
  g_hdc = g_vhdc = g_bkgdhdc = g_headershdc = g_dicehdc = nullptr;
  g_hFont = nullptr;
  g_hInstance = nullptr;
  g_hWnd = nullptr;
  g_hBWnd1 = g_hBWnd2 = g_hBWnd3 = nullptr;
  buttonhandle1 = buttonhandle2 = buttonhandle3 = 0;
  g_hAccel = nullptr;
  xscreen = yscreen = 0;
  oksplash = 0;
  g_vsplashhdc = nullptr;
}

int RunProgram() {
  return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
}

std::vector<int> MenuBarItemCenters() {
  std::vector<int> centers;
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "ZANTPIGMENU");
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  int x = 0;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, int(strlen(text)), &size);
    int width = size.cx + 2 * tm.tmAveCharWidth;
    centers.push_back(x + width / 2);
    x += width;
  }
  DeleteDC(dc);
  DestroyMenu(menu);
  return centers;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string TextOf(HWND hwnd) {
  char text[4096] = "";  // the rules and strategy texts are long
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

std::vector<HWND> OpenDialogs() {
  std::vector<HWND> out;
  for (HWND h : headless::TopLevelWindows()) {
    if (ClassOf(h) == "#32770") out.push_back(h);
  }
  return out;
}

HWND OpenPopupMenu() {
  for (HWND h : headless::TopLevelWindows()) {
    if (ClassOf(h) == "#32768") return h;
  }
  return nullptr;
}

HWND SplashWindow() {
  return headless::FindTopLevel("ZantSplashWindow", nullptr);
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
  return out;
}

std::string Shorten(std::string text) {
  for (char &ch : text) ch = ch == '\n' ? ' ' : ch;
  text.erase(0, text.find_first_not_of(' '));
  if (text.size() > 32) text = text.substr(0, 32) + "...";
  return text;
}

std::string Describe(HWND hwnd) {
  std::string title = TextOf(hwnd);
  if (!title.empty()) return "\"" + title + "\"";
  for (HWND c : Children(hwnd)) {
    if (ClassOf(c) != "STATIC") continue;
    return "untitled \"" + Shorten(TextOf(c)) + "\"";
  }
  return "untitled " + ClassOf(hwnd);
}

std::string ToString(const headless::LiveCounts &c) {
  std::ostringstream out;
  out << c.windows << " windows, " << c.dcs << " DCs, " << c.bitmaps << " bitmaps, " << c.brushes
      << " brushes, " << c.pens << " pens, " << c.fonts << " fonts, " << c.menus << " menus, "
      << c.accelerators << " accelerator tables, " << c.icons << " icons, " << c.localBlocks
      << " local blocks";
  return out.str();
}

std::string Leaks(const headless::LiveCounts &c) {
  bool leaked = c.windows || c.dcs || c.bitmaps || c.brushes || c.pens || c.fonts || c.menus ||
                c.localBlocks || c.accelerators > 1 || c.icons > 1;
  return leaked ? ToString(c) : std::string();
}

}  // namespace robust
