// zantpig-artgen: draws the game's pictures into a folder.
//
//   zantpig-artgen <folder>            table.bmp, dice.bmp, headers.bmp, splash.bmp, zantpig.ico,
//                                      icons/zantpig-<size>.png for desktop icon themes
//                                      and the web app, and table.txt, dice.txt and
//                                      headers.txt: what those pictures say, for a reader
//   zantpig-artgen --preview <folder>  the same, and pictures of the table with the die at
//                                      rest, in flight and in the busy tint
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "art.h"

namespace {

bool Write(const std::string &folder, const std::string &name, const art::Image &img) {
  std::string path = folder + "/" + name;
  if (art::WriteBmp(path, img)) return true;
  std::fprintf(stderr, "zantpig-artgen: cannot write %s\n", path.c_str());
  return false;
}

bool WriteText(const std::string &folder, const std::string &name, const std::string &text) {
  std::string path = folder + "/" + name;
  std::ofstream out(path, std::ios::binary);
  if (out << text && out.flush()) return true;
  std::fprintf(stderr, "zantpig-artgen: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  bool preview = argc == 3 && std::string(argv[1]) == "--preview";
  if (argc != 2 && !preview) {
    std::fprintf(stderr, "usage: zantpig-artgen [--preview] <folder>\n");
    return 2;
  }
  std::string folder = argv[argc - 1];
  std::string error;
  if (!art::OpenFont(error)) {
    std::fprintf(stderr, "zantpig-artgen: %s\n", error.c_str());
    return 1;
  }
  std::string tableSaid, diceSaid, headersSaid;
  art::Image table = art::MakeTableTop(&tableSaid);
  art::Image dice = art::MakeDiceSheet(table, &diceSaid);
  art::Image icon;
  art::Mask opaque;
  art::MakeIcon(icon, opaque);
  bool ok = Write(folder, "table.bmp", table) && Write(folder, "dice.bmp", dice) &&
            Write(folder, "headers.bmp", art::MakeHeaders(&headersSaid)) &&
            Write(folder, "splash.bmp", art::MakeSplash()) &&
            WriteText(folder, "table.txt", tableSaid) && WriteText(folder, "dice.txt", diceSaid) &&
            WriteText(folder, "headers.txt", headersSaid);
  if (ok && !art::WriteIcon(folder + "/zantpig.ico", icon, opaque)) {
    std::fprintf(stderr, "zantpig-artgen: cannot write %s/zantpig.ico\n", folder.c_str());
    ok = false;
  }
  // The icon for desktop menus, at each size an icon theme asks for, and the web app's.
  std::error_code made;
  std::filesystem::create_directories(folder + "/icons", made);
  for (int size : art::kThemeIconSizes) {
    if (!ok) break;
    art::Image themed;
    art::Mask cover;
    art::MakeIcon(themed, cover, size, art::kThemeIconMargin);
    std::string path = folder + "/icons/zantpig-" + std::to_string(size) + ".png";
    if (!art::WritePng(path, themed, cover)) {
      std::fprintf(stderr, "zantpig-artgen: cannot write %s\n", path.c_str());
      ok = false;
    }
  }
  if (ok && preview) {
    ok = Write(folder, "preview-rest.bmp", art::ComposeRest(table, dice, 5)) &&
         Write(folder, "preview-flight.bmp", art::ComposeFlight(table, dice, 2)) &&
         Write(folder, "preview-trail.bmp", art::ComposeTrail(table, dice)) &&
         Write(folder, "preview-busy.bmp", art::BusyTint(table));
    art::Image icon8(32 * 8, 32 * 8);
    for (int y = 0; y < icon8.h; ++y)
      for (int x = 0; x < icon8.w; ++x) {
        bool check = ((x / 16) + (y / 16)) % 2;
        art::Rgb back = check ? art::Rgb{200, 200, 200} : art::Rgb{90, 110, 140};
        icon8.At(x, y) = opaque.At(x / 8, y / 8) >= 0.5 ? icon.At(x / 8, y / 8) : back;
      }
    ok = ok && Write(folder, "preview-icon.bmp", icon8);
  }
  art::CloseFont();
  return ok ? 0 : 1;
}
