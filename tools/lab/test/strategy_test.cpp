// The exact solutions checked against each other, and the strategy picture read back from
// its PNG file.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "exact.h"
#include "picture.h"
#include "players.h"
#include "zantpig.h"

namespace {

// Both solutions, solved once for all the tests here.
const lab::Optimum &TheOptimum() {
  static const lab::Optimum optimum = lab::SolveOptimum();
  return optimum;
}
const std::vector<unsigned char> &TheTable() {
  static const std::vector<unsigned char> table = lab::SolveGameTable();
  return table;
}

// The optimum found by value iteration and the same decisions evaluated as a fixed way of
// playing against themselves are two computations of one number: the chance that the
// player who begins wins. A fixed way of playing against itself wins half the time with a
// fair start, and the optimum never does worse than even against anything.
TEST(Exact, OptimumAgreesWithItsOwnEvaluation) {
  const lab::Optimum &optimum = TheOptimum();
  const std::vector<unsigned char> &table = TheTable();
  ASSERT_FALSE(table.empty());
  lab::Knowledge know;
  know.optimum = &optimum;
  know.table = table.data();
  lab::Player optimal{lab::Kind::Optimal, 0};
  lab::Match self =
      lab::Evaluate(lab::ModelOf(optimal, know, false), lab::ModelOf(optimal, know, false));
  ASSERT_TRUE(self.ok);
  EXPECT_NEAR(self.winsBeginning[0], optimum.prob[0], 1e-12);
  EXPECT_NEAR(self.winsBeginning[1], optimum.prob[0], 1e-12);
  EXPECT_GT(optimum.prob[0], 0.5) << "beginning is an advantage";

  for (const char *name : {"hold:20", "hold:25", "rule", "table", "random", "newbie", "pro"}) {
    SCOPED_TRACE(name);
    lab::Player other;
    ASSERT_TRUE(lab::ParsePlayer(name, true, &other));
    lab::Match m =
        lab::Evaluate(lab::ModelOf(optimal, know, false), lab::ModelOf(other, know, false));
    ASSERT_TRUE(m.ok);
    EXPECT_GE(m.Side0WinsFair(), 0.5 - 1e-12);
    EXPECT_GE(m.winsBeginning[0], optimum.prob[0] - 1e-12) << "the optimum beginning does worse";
    EXPECT_LE(m.winsBeginning[1], optimum.prob[0] + 1e-12) << "beginning, it does better";
    lab::Match mirror =
        lab::Evaluate(lab::ModelOf(other, know, false), lab::ModelOf(other, know, false));
    EXPECT_NEAR(mirror.Side0WinsFair(), 0.5, 1e-12);
  }
}

struct Png {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // 0x00RRGGBB
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

Png ReadPng(const std::string &path) {
  Png out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return out;
  out.w = static_cast<int>(image.width);
  out.h = static_cast<int>(image.height);
  for (size_t n = 0; n + 2 < bytes.size(); n += 3)
    out.px.push_back(uint32_t(bytes[n]) << 16 | uint32_t(bytes[n + 1]) << 8 | bytes[n + 2]);
  return out;
}

// The colour most of a cell shows, among the colours of states; 0xFFFFFFFF when lines cover
// most of it.
uint32_t CellColour(const Png &png, RECT cell) {
  std::map<uint32_t, int> count;
  for (int y = cell.top; y < cell.bottom; y++)
    for (int x = cell.left; x < cell.right; x++) count[png.At(x, y)]++;
  int area = (cell.right - cell.left) * (cell.bottom - cell.top);
  for (uint32_t c : {lab::kRollColour, lab::kHoldColour, lab::kTableRollsColour,
                     lab::kTableHoldsColour, lab::kWonColour}) {
    if (2 * count[c] > area) return c;
  }
  return 0xFFFFFFFF;
}

// The policy command writes a PNG of the size asked for. In it, every state shows what
// the game's table and the optimum do there: at scores 0 and 0 the table rolls below 20
// and holds from 20, and across whole panels the colours give back both tables.
TEST(Picture, PngShowsTheTablesAtTheStatedSize) {
  const std::string path = ::testing::TempDir() + "lab_policy.png";
  std::remove(path.c_str());
  std::string size = "1280x1000";
  char *argv[] = {const_cast<char *>("zantpig-lab"), const_cast<char *>("policy"),
                  const_cast<char *>("--out"),       const_cast<char *>(path.c_str()),
                  const_cast<char *>("--size"),      size.data()};
  ASSERT_EQ(lab::PolicyCommand(6, argv), 0);
  Png png = ReadPng(path);
  ASSERT_EQ(png.w, 1280);
  ASSERT_EQ(png.h, 1000);

  const lab::PictureLayout layout = lab::LayoutPicture(1280, 1000);
  ASSERT_EQ(layout.opponents.at(0), 0);
  const std::vector<unsigned char> &table = TheTable();
  const lab::Optimum &optimum = TheOptimum();
  ASSERT_FALSE(table.empty());
  auto tableRolls = [](uint32_t c) { return c == lab::kRollColour || c == lab::kTableRollsColour; };
  auto tableHolds = [](uint32_t c) { return c == lab::kHoldColour || c == lab::kTableHoldsColour; };
  for (int k = 0; k < 20; k++) EXPECT_TRUE(tableRolls(CellColour(png, layout.Cell(0, 0, k)))) << k;
  for (int k = 20; k < 26; k++) EXPECT_TRUE(tableHolds(CellColour(png, layout.Cell(0, 0, k)))) << k;
  EXPECT_EQ(CellColour(png, layout.Cell(0, 50, 50)), lab::kWonColour);

  for (size_t p = 0; p < layout.plots.size(); p++) {
    const int j = layout.opponents[p];
    int read = 0, states = 0;
    for (int i = 0; i < goal; i++) {
      for (int k = 0; i + k < goal; k++) {
        states++;
        uint32_t c = CellColour(png, layout.Cell(p, i, k));
        if (c == 0xFFFFFFFF) continue;
        read++;
        size_t n = lab::StateIndex(i, j, k);
        bool t = table[n] == 1, o = optimum.roll[n] == 1;
        uint32_t want = t == o ? (o ? lab::kRollColour : lab::kHoldColour)
                               : (t ? lab::kTableRollsColour : lab::kTableHoldsColour);
        EXPECT_EQ(c, want) << "opponent " << j << ", own " << i << ", turn " << k;
      }
    }
    EXPECT_GT(read, states * 9 / 10) << "lines cover too many states of panel " << p;
  }
  std::remove(path.c_str());
}

// Sizes too small for the panels are refused; so is a command line without an output.
TEST(Picture, CommandLineIsChecked) {
  char a0[] = "zantpig-lab", a1[] = "policy", a2[] = "--out", a3[] = "/nonexistent/x.png",
       a4[] = "--size", a5[] = "300x200";
  char *tooSmall[] = {a0, a1, a2, a3, a4, a5};
  EXPECT_EQ(lab::PolicyCommand(6, tooSmall), 1);
  char *nothing[] = {a0, a1};
  EXPECT_EQ(lab::PolicyCommand(2, nothing), 2);
  char *unwritable[] = {a0, a1, a2, a3};
  EXPECT_EQ(lab::PolicyCommand(4, unwritable), 1);
}

}  // namespace
