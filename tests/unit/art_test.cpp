// The game's pictures. The display copies dice and header tiles straight onto the table
// and the score board, so a tile that is off by one pixel, a row in the wrong order or a
// stale file shows on the screen. These tests read the committed files with their own
// small BMP reader and check what the copying relies on.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kResources = ZANT_RESOURCES;
const std::string kGenerator = ZANT_ARTGEN;

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb &) const = default;
};

std::string Show(Rgb c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

struct Picture {
  int w = 0, h = 0, bits = 0;
  std::vector<Rgb> px;
  Rgb At(int x, int y) const { return px[size_t(y) * w + x]; }
};

std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::vector<uint8_t> &b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

// Reads the 24-bit pixel rows of a BITMAPINFOHEADER image that starts at `dib`; the rows
// are stored bottom row first, each padded to four bytes.
bool ReadDib(const std::vector<uint8_t> &b, size_t dib, size_t pixels, int rows, Picture &out,
             std::string &why) {
  if (Le(b, dib, 4) != 40) return why = "not a BITMAPINFOHEADER", false;
  out.w = static_cast<int32_t>(Le(b, dib + 4, 4));
  out.bits = static_cast<int>(Le(b, dib + 14, 2));
  out.h = rows;
  if (Le(b, dib + 12, 2) != 1 || Le(b, dib + 16, 4) != 0) return why = "not plain RGB", false;
  if (out.bits != 24) return why = std::to_string(out.bits) + " bits per pixel", false;
  size_t stride = (size_t(out.w) * 3 + 3) & ~size_t(3);
  if (out.w <= 0 || rows <= 0 || pixels + stride * rows > b.size()) return why = "truncated", false;
  out.px.resize(size_t(out.w) * rows);
  for (int y = 0; y < rows; ++y) {
    size_t row = pixels + stride * (rows - 1 - y);
    for (int x = 0; x < out.w; ++x)
      out.px[size_t(y) * out.w + x] = {b[row + 3 * x + 2], b[row + 3 * x + 1], b[row + 3 * x]};
  }
  return true;
}

Picture LoadBmp(const std::string &name) {
  Picture pic;
  std::string why;
  std::vector<uint8_t> b = ReadBytes(kResources + "/" + name);
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
    ADD_FAILURE() << name << ": not a BMP file";
    return {};
  }
  int32_t rows = static_cast<int32_t>(Le(b, 22, 4));
  if (rows <= 0) {
    ADD_FAILURE() << name << ": rows are not stored bottom-up";
    return {};
  }
  if (!ReadDib(b, 14, Le(b, 10, 4), rows, pic, why)) {
    ADD_FAILURE() << name << ": " << why;
    return {};
  }
  return pic;
}

struct Cell {
  int x, y;
};
const Cell kRestCell = {56, 188};
const Cell kTumbleCells[6] = {{250, 123}, {216, 159}, {186, 220},
                              {152, 161}, {114, 206}, {71, 166}};

// The pixels of dice tile (column, row) that differ from the table at a cell.
std::vector<std::pair<int, int>> Changes(const Picture &dice, int column, int row,
                                         const Picture &table, Cell cell) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x)
      if (!(dice.At(50 * column + x, 50 * row + y) == table.At(cell.x + x, cell.y + y)))
        out.push_back({x, y});
  return out;
}

// Pips: dark spots wholly surrounded by the light body of the die. Everything not light
// that can be reached from the tile's edge is table or shadow.
int CountPips(const Picture &dice, int column, int row) {
  auto light = [&](int x, int y) {
    Rgb c = dice.At(50 * column + x, 50 * row + y);
    return std::min(c.r, std::min(c.g, c.b)) >= 160;
  };
  std::vector<int> mark(50 * 50, 0);  // 1 outside, 2.. pip numbers
  std::vector<std::pair<int, int>> stack;
  auto flood = [&](int sx, int sy, int id) {
    int size = 0;
    stack.push_back({sx, sy});
    mark[sy * 50 + sx] = id;
    while (!stack.empty()) {
      auto [x, y] = stack.back();
      stack.pop_back();
      ++size;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= 50 || ny >= 50 || mark[ny * 50 + nx] || light(nx, ny))
            continue;
          mark[ny * 50 + nx] = id;
          stack.push_back({nx, ny});
        }
    }
    return size;
  };
  for (int i = 0; i < 50; ++i)
    for (auto [x, y] : {std::pair{i, 0}, {i, 49}, {0, i}, {49, i}})
      if (!mark[y * 50 + x] && !light(x, y)) flood(x, y, 1);
  int pips = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x)
      if (!mark[y * 50 + x] && !light(x, y) && flood(x, y, 2 + pips) >= 3) ++pips;
  return pips;
}

TEST(Art, PicturesHaveTheirSizesAndDepth) {
  struct {
    const char *name;
    int w, h;
  } cases[] = {{"table.bmp", 300, 400},
               {"dice.bmp", 150, 350},
               {"headers.bmp", 300, 240},
               {"splash.bmp", 280, 200}};
  for (const auto &c : cases) {
    Picture pic = LoadBmp(c.name);
    EXPECT_EQ(pic.w, c.w) << c.name;
    EXPECT_EQ(pic.h, c.h) << c.name;
    EXPECT_EQ(pic.bits, 24) << c.name;
  }
}

TEST(Art, IconIsOneTrueColourImageOfADie) {
  std::vector<uint8_t> b = ReadBytes(kResources + "/zantpig.ico");
  ASSERT_GE(b.size(), 22u) << "zantpig.ico missing or short";
  EXPECT_EQ(Le(b, 0, 2), 0u);
  EXPECT_EQ(Le(b, 2, 2), 1u) << "not an icon";
  ASSERT_EQ(Le(b, 4, 2), 1u) << "images in the icon";
  EXPECT_EQ(b[6], 32);
  EXPECT_EQ(b[7], 32);
  EXPECT_EQ(Le(b, 14, 4), b.size() - 22) << "image size in the directory entry";
  size_t dib = Le(b, 18, 4);
  ASSERT_EQ(dib, 22u);
  EXPECT_EQ(Le(b, dib + 8, 4), 64u) << "an icon's height counts colour and mask";
  Picture pic;
  std::string why;
  ASSERT_TRUE(ReadDib(b, dib, dib + 40, 32, pic, why)) << why;
  EXPECT_EQ(pic.w, 32);
  // The mask follows the colour rows: one bit a pixel, set where the desktop shows.
  ASSERT_EQ(b.size(), dib + 40 + 32 * 96 + 32 * 4);
  auto clear = [&](int x, int y) {
    return (b[dib + 40 + 32 * 96 + (31 - y) * 4 + x / 8] >> (7 - x % 8)) & 1;
  };
  for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}})
    EXPECT_TRUE(clear(x, y)) << "corner " << x << "," << y << " should be see-through";
  int opaque = 0, light = 0, dark = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if (clear(x, y)) continue;
      ++opaque;
      Rgb c = pic.At(x, y);
      light += c.r + c.g + c.b > 600;
      dark += c.r + c.g + c.b < 200;
    }
  EXPECT_GT(opaque, 32 * 32 / 3) << "the die should fill much of the icon";
  EXPECT_GT(light, 150) << "a light die body";
  EXPECT_GT(dark, 20) << "dark pips";
}

// A PNG file as 8-bit RGBA pixels (the generator writes no other kind, and no row filter).
struct Rgba {
  int w = 0, h = 0;
  std::vector<uint8_t> px;  // r, g, b, a
  const uint8_t *At(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
};

uint32_t Be32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

bool LoadPng(const std::string &path, Rgba &out, std::string &why) {
  std::vector<uint8_t> b = ReadBytes(path);
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() < 8 || !std::equal(signature, signature + 8, b.begin()))
    return why = "not PNG", false;
  std::vector<uint8_t> packed;
  bool ended = false;
  for (size_t at = 8; at + 12 <= b.size() && !ended; at += 12 + Be32(b, at)) {
    uint32_t length = Be32(b, at);
    if (at + 12 + length > b.size()) return why = "truncated chunk", false;
    std::string type(b.begin() + at + 4, b.begin() + at + 8);
    if (crc32(0, &b[at + 4], length + 4) != Be32(b, at + 8 + length))
      return why = type + " chunk fails its CRC", false;
    const uint8_t *data = &b[at + 8];
    if (type == "IHDR") {
      out.w = static_cast<int>(Be32(b, at + 8));
      out.h = static_cast<int>(Be32(b, at + 12));
      if (data[8] != 8 || data[9] != 6 || data[12] != 0) return why = "not 8-bit RGBA", false;
    } else if (type == "IDAT") {
      packed.insert(packed.end(), data, data + length);
    }
    ended = type == "IEND";
  }
  if (!ended || out.w <= 0 || out.h <= 0) return why = "no IHDR or IEND", false;
  std::vector<uint8_t> rows(size_t(out.h) * (1 + 4 * size_t(out.w)));
  uLongf size = rows.size();
  if (uncompress(rows.data(), &size, packed.data(), packed.size()) != Z_OK || size != rows.size())
    return why = "image data does not inflate to the picture's size", false;
  for (int y = 0; y < out.h; ++y) {
    const uint8_t *row = &rows[y * (1 + 4 * size_t(out.w))];
    if (row[0] != 0) return why = "row filter " + std::to_string(row[0]), false;
    out.px.insert(out.px.end(), row + 1, row + 1 + 4 * out.w);
  }
  return true;
}

// The icons for desktop icon themes and the web app: one picture at each size, of the die with a
// clear margin around it, edges smoothed by partial opacity.
TEST(Art, ThemeIconsShowTheDieAtEachSize) {
  for (int size : {32, 48, 64, 128, 256, 192, 512}) {
    std::string name = "icons/zantpig-" + std::to_string(size) + ".png";
    Rgba icon;
    std::string why;
    ASSERT_TRUE(LoadPng(kResources + "/" + name, icon, why)) << name << ": " << why;
    EXPECT_EQ(icon.w, size) << name;
    EXPECT_EQ(icon.h, size) << name;
    if (icon.w != size || icon.h != size) continue;
    int border = 0, opaque = 0, partial = 0, light = 0, dark = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const uint8_t *p = icon.At(x, y);
        bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
        if (edge && p[3] != 0) ++border;
        if (p[3] == 255) {
          ++opaque;
          light += p[0] + p[1] + p[2] > 450;
          dark += p[0] + p[1] + p[2] < 200;
        } else if (p[3] != 0) {
          ++partial;
        }
      }
    int area = size * size;
    EXPECT_EQ(border, 0) << name << ": the outermost pixels should be clear";
    EXPECT_GT(opaque, area / 3) << name << ": the die should fill much of the icon";
    EXPECT_LT(opaque, area * 3 / 4) << name << ": a die, not a square";
    EXPECT_GT(partial, size) << name << ": smoothed edges";
    EXPECT_GT(light, opaque / 2) << name << ": a light die body";
    EXPECT_GT(dark, opaque / 40) << name << ": dark pips";
  }
}

TEST(Art, BareTilesAreTheTableAtTheirCells) {
  Picture table = LoadBmp("table.bmp"), dice = LoadBmp("dice.bmp");
  ASSERT_FALSE(table.px.empty() || dice.px.empty());
  EXPECT_TRUE(Changes(dice, 0, 0, table, kRestCell).empty()) << "bare rest tile";
  for (int i = 0; i < 6; ++i)
    EXPECT_TRUE(Changes(dice, 2, i, table, kTumbleCells[i]).empty()) << "bare tumble tile " << i;
}

// Copying a die tile must change nothing but the die and its shadow, so the ring of pixels
// along the tile's edge is exactly the table.
TEST(Art, DieTilesChangeOnlyTheDieAndItsShadow) {
  Picture table = LoadBmp("table.bmp"), dice = LoadBmp("dice.bmp");
  ASSERT_FALSE(table.px.empty() || dice.px.empty());
  struct Tile {
    int column, row;
    Cell cell;
  };
  std::vector<Tile> tiles;
  for (int face = 1; face <= 6; ++face) tiles.push_back({0, face, kRestCell});
  for (int i = 0; i < 6; ++i) tiles.push_back({1, i, kTumbleCells[i]});
  for (const Tile &t : tiles) {
    auto changes = Changes(dice, t.column, t.row, table, t.cell);
    EXPECT_GT(changes.size(), 500u) << "tile " << t.column << "," << t.row << " shows no die";
    for (auto [x, y] : changes)
      if (x < 2 || y < 2 || x > 47 || y > 47) {
        ADD_FAILURE() << "tile " << t.column << "," << t.row
                      << " differs from the table at the edge pixel " << x << "," << y;
        break;
      }
  }
}

TEST(Art, FaceTilesShowTheirNumberOfPips) {
  Picture dice = LoadBmp("dice.bmp");
  ASSERT_FALSE(dice.px.empty());
  for (int face = 1; face <= 6; ++face)
    EXPECT_EQ(CountPips(dice, 0, face), face) << "face tile " << face;
}

TEST(Art, TumbleFramesAreSixDifferentPictures) {
  Picture table = LoadBmp("table.bmp"), dice = LoadBmp("dice.bmp");
  ASSERT_FALSE(table.px.empty() || dice.px.empty());
  // Compare the dice themselves, each cut out where it differs from its own table.
  std::vector<std::vector<Rgb>> dies;
  for (int i = 0; i < 6; ++i) {
    std::vector<Rgb> die(50 * 50);
    for (auto [x, y] : Changes(dice, 1, i, table, kTumbleCells[i]))
      die[y * 50 + x] = dice.At(50 + x, 50 * i + y);
    dies.push_back(die);
  }
  for (int i = 0; i < 6; ++i)
    for (int j = i + 1; j < 6; ++j)
      EXPECT_NE(dies[i], dies[j]) << "tumble frames " << i << " and " << j;
}

TEST(Art, UnusedTilesArePlainWhite) {
  Picture dice = LoadBmp("dice.bmp");
  ASSERT_FALSE(dice.px.empty());
  for (int column : {1, 2})
    for (int y = 300; y < 350; ++y)
      for (int x = 50 * column; x < 50 * column + 50; ++x)
        ASSERT_EQ(dice.At(x, y), (Rgb{255, 255, 255})) << "at " << x << "," << y;
}

// The names are anti-aliased on black, so every pixel of a name is its colour scaled down.
TEST(Art, HeaderRowsHighlightThePlayerToMove) {
  Picture headers = LoadBmp("headers.bmp");
  ASSERT_FALSE(headers.px.empty());
  const Rgb frame = {0, 192, 255}, grey = {108, 108, 108};
  for (int row = 0; row < 4; ++row) {
    int top = row * 60, mover = row % 2;
    for (int y = top; y < top + 60; ++y) {
      EXPECT_EQ(headers.At(0, y), Rgb{}) << "column 0, y " << y;
      EXPECT_EQ(headers.At(150, y), frame) << "line at column 150, y " << y;
    }
    for (int half = 0; half < 2; ++half) {
      Rgb colour = half == mover ? frame : grey;
      int from = half == 0 ? 1 : 151, to = half == 0 ? 150 : 300, centre = half == 0 ? 75 : 231;
      int left = 300, right = -1, upper = 60, lower = -1, brightest = 0, wrong = 0;
      for (int y = 0; y < 60; ++y)
        for (int x = from; x < to; ++x) {
          Rgb c = headers.At(x, top + y);
          if (c == Rgb{}) continue;
          left = std::min(left, x), right = std::max(right, x);
          upper = std::min(upper, y), lower = std::max(lower, y);
          brightest = std::max(brightest, c.b);
          bool scaled = colour == frame ? c.r == 0 && std::abs(c.g * 255 - c.b * 192) <= 255
                                        : c.r == c.g && c.g == c.b && c.b <= 108;
          wrong += !scaled;
        }
      std::string where = "row " + std::to_string(row) + (half ? " right" : " left");
      EXPECT_EQ(wrong, 0) << where << ": pixels not in " << Show(colour);
      EXPECT_EQ(brightest, colour.b) << where << ": the name should be drawn in " << Show(colour);
      EXPECT_NEAR((left + right) / 2.0, centre, 6) << where;
      EXPECT_NEAR((upper + lower) / 2.0, 30, 6) << where;
    }
  }
}

TEST(Art, HeaderRowsNameTheOpponent) {
  Picture headers = LoadBmp("headers.bmp");
  ASSERT_FALSE(headers.px.empty());
  // How much ink each pixel carries, whatever its colour: a name drawn highlighted and the
  // same name drawn grey agree to within rounding.
  auto ink = [&](int row, int half) {
    std::vector<double> cover;
    for (int y = row * 60; y < row * 60 + 60; ++y)
      for (int x = half ? 151 : 1; x < (half ? 300 : 150); ++x) {
        Rgb c = headers.At(x, y);
        cover.push_back(c.r == 0 ? c.b / 255.0 : c.b / 108.0);
      }
    return cover;
  };
  auto differ = [](const std::vector<double> &a, const std::vector<double> &b) {
    double most = 0;
    for (size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
    return most;
  };
  for (int row = 1; row < 4; ++row)
    EXPECT_LT(differ(ink(row, 0), ink(0, 0)), 0.02) << "\"Player 1\" in row " << row;
  EXPECT_LT(differ(ink(1, 1), ink(0, 1)), 0.02) << "\"Computer\" in rows 0 and 1";
  EXPECT_LT(differ(ink(3, 1), ink(2, 1)), 0.02) << "\"Player 2\" in rows 2 and 3";
  EXPECT_GT(differ(ink(0, 1), ink(2, 1)), 0.5) << "rows 0 and 2 should name different opponents";
}

TEST(Art, GeneratorReproducesTheCommittedPictures) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zantpig-art-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  std::string folder = pattern;
  std::string command = "\"" + kGenerator + "\" \"" + folder + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const char *name :
       {"table.bmp", "dice.bmp", "headers.bmp", "splash.bmp", "zantpig.ico", "icons/zantpig-32.png",
        "icons/zantpig-48.png", "icons/zantpig-64.png", "icons/zantpig-128.png",
        "icons/zantpig-256.png", "icons/zantpig-192.png", "icons/zantpig-512.png", "table.txt",
        "dice.txt", "headers.txt"}) {
    std::vector<uint8_t> made = ReadBytes(folder + "/" + name),
                         kept = ReadBytes(kResources + "/" + name);
    EXPECT_EQ(made.size(), kept.size()) << name;
    size_t first = 0;
    while (first < made.size() && first < kept.size() && made[first] == kept[first]) ++first;
    EXPECT_EQ(first, made.size()) << name << " first differs at byte " << first
                                  << "; run the zantpig-art target to redraw resources/";
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
