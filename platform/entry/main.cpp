// The process entry of every program built on the layer: WinMain with the process's
// instance handle, no previous instance, the command line and SW_SHOWDEFAULT.
#include <windows.h>

#include <string>

#include "internal.h"

int main(int argc, char **argv) {
  // The first window shows text: the font configuration is read meanwhile.
  zp::PrepareFaces();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
