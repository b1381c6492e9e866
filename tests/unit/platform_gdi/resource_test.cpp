// Resources of the portable layer: the .res that windres made of resources.rc, the DIB
// formats, and damaged input.
#include <windows.h>
#include <zant_headless.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "internal.h"

extern "C" {
extern const uint8_t zant_res_begin[];
extern const uint8_t zant_res_end[];
}

namespace {

class Resources : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }
};

// The colours of each pixel of a bitmap, read through a memory DC.
std::vector<COLORREF> PixelsOf(HBITMAP bmp, int w, int h) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  std::vector<COLORREF> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteDC(dc);
  return out;
}

TEST_F(Resources, BitmapsLoadByNameAndNumber) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  // Names are found whatever their case; "#101" is the number 101.
  for (const char *name : {"Colours", "COLOURS", "colours"}) {
    HBITMAP bmp = LoadBitmapA(inst, name);
    ASSERT_NE(bmp, nullptr) << name;
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 5);
    EXPECT_EQ(bm.bmHeight, 3);
    auto px = PixelsOf(bmp, 5, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(px[y * 5 + x], RGB(50 * x, 100 * y, 7 + x + y)) << name << " " << x << "," << y;
    DeleteObject(bmp);
  }
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  for (HANDLE h : {static_cast<HANDLE>(LoadBitmapA(inst, MAKEINTRESOURCEA(101))),
                   LoadImageA(inst, "#101", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)}) {
    ASSERT_NE(h, nullptr);
    auto px = PixelsOf(static_cast<HBITMAP>(h), 3, 2);
    std::vector<COLORREF> expected{red, green, blue, blue, RGB(0, 0, 0), red};
    EXPECT_EQ(px, expected) << "8-bit, top-down";
  }
}

TEST_F(Resources, MissingResourcesGiveNull) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  EXPECT_EQ(LoadBitmapA(inst, "NoSuchBitmap"), nullptr);
  EXPECT_EQ(LoadBitmapA(inst, "Colour"), nullptr) << "a prefix of a name is not the name";
  EXPECT_EQ(LoadBitmapA(inst, "Colours2"), nullptr);
  EXPECT_EQ(LoadBitmapA(inst, MAKEINTRESOURCEA(102)), nullptr);
  EXPECT_EQ(LoadBitmapA(inst, nullptr), nullptr);
  EXPECT_EQ(LoadBitmapA(inst, "PigIcon"), nullptr) << "an icon is not a bitmap";
  EXPECT_EQ(LoadIconA(inst, "Colours"), nullptr);
  EXPECT_EQ(LoadImageA(inst, "Colours", IMAGE_CURSOR, 0, 0, 0), nullptr);
  zp::ResourceData custom = zp::FindResourceData("CustomData", "note");
  ASSERT_NE(custom.data, nullptr) << "a type given by name";
  EXPECT_STREQ(reinterpret_cast<const char *>(custom.data), "abc");
}

TEST_F(Resources, IconTakesTheEntryNearest32AndItsMask) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), "PigIcon");
  ASSERT_NE(icon, nullptr);
  auto *obj = zp::As<zp::Icon>(icon);
  ASSERT_NE(obj, nullptr);
  ASSERT_EQ(obj->img.w, 32);
  ASSERT_EQ(obj->img.h, 32);
  ASSERT_EQ(obj->alpha.size(), 32u * 32u);
  for (int y : {0, 15, 31}) {
    EXPECT_EQ(obj->img.At(0, y), 0xFF0000u);
    EXPECT_EQ(obj->alpha[y * 32 + 0], 255);
    EXPECT_EQ(obj->alpha[y * 32 + 15], 255);
    EXPECT_EQ(obj->alpha[y * 32 + 16], 0);
    EXPECT_EQ(obj->alpha[y * 32 + 31], 0);
  }
  // System icons are shared objects.
  HICON a = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), a);
  EXPECT_NE(LoadIconA(nullptr, IDI_HAND), a);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(5)), nullptr);
}

// --- DIBs ---------------------------------------------------------------------------

// Writes a DIB: a BITMAPINFOHEADER, a palette, and rows of pixels given as palette indices
// (bits <= 8) or 0x00RRGGBB values (24 and 32 bits), in the order the rows are stored.
std::vector<uint8_t> MakeDib(int bits, int w, int h, bool topDown,
                             const std::vector<uint32_t> &palette,
                             const std::vector<std::vector<uint32_t>> &storedRows) {
  std::vector<uint8_t> out(40);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, uint32_t(w));
  put32(8, uint32_t(topDown ? -h : h));
  out[12] = 1;
  out[14] = uint8_t(bits);
  put32(32, uint32_t(palette.size()));
  for (uint32_t c : palette) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
    out.push_back(uint8_t(c >> 16));
    out.push_back(0);
  }
  size_t stride = ((size_t(w) * bits + 31) / 32) * 4;
  for (const auto &row : storedRows) {
    std::vector<uint8_t> bytes(stride, 0);
    for (int x = 0; x < w; ++x) {
      uint32_t v = row[x];
      switch (bits) {
        case 1:
          bytes[x / 8] |= uint8_t((v & 1) << (7 - x % 8));
          break;
        case 4:
          bytes[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
          break;
        case 8:
          bytes[x] = uint8_t(v);
          break;
        case 24:
          bytes[3 * x] = uint8_t(v), bytes[3 * x + 1] = uint8_t(v >> 8);
          bytes[3 * x + 2] = uint8_t(v >> 16);
          break;
        case 32:
          for (int i = 0; i < 4; ++i) bytes[4 * x + i] = uint8_t(v >> (8 * i));
          break;
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

TEST(Dib, EveryDepthAndRowOrderDecodes) {
  const uint32_t K = 0x000000, W = 0xFFFFFF, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
  // The picture, top row first: 9 wide so that every depth needs row padding.
  const std::vector<std::vector<uint32_t>> picture = {
      {R, G, B, W, K, R, G, B, W},
      {W, W, K, K, R, R, G, G, B},
  };
  struct Case {
    int bits;
    std::vector<uint32_t> palette;
  } cases[] = {
      {1, {K, W}},  // only black and white in the 1-bit picture below
      {4, {K, W, R, G, B}},
      {8, {K, W, R, G, B}},
      {24, {}},
      {24, {K, W, R}},  // a colour table that the pixels do not use
      {32, {}},
  };
  for (const Case &c : cases) {
    for (bool topDown : {false, true}) {
      // The pixel values this depth stores: indices into its palette, or the colours.
      std::vector<std::vector<uint32_t>> want = picture, stored;
      if (c.bits == 1) {
        for (auto &row : want)
          for (auto &p : row) p = p == K ? K : W;
      }
      for (const auto &row : want) {
        std::vector<uint32_t> s;
        for (uint32_t p : row) {
          if (c.bits > 8) {
            s.push_back(p | (c.bits == 32 ? 0xAB000000u : 0));  // the spare byte is ignored
          } else {
            s.push_back(
                uint32_t(std::find(c.palette.begin(), c.palette.end(), p) - c.palette.begin()));
          }
        }
        stored.push_back(s);
      }
      if (!topDown) std::reverse(stored.begin(), stored.end());
      std::vector<uint8_t> dib = MakeDib(c.bits, 9, 2, topDown, c.palette, stored);
      zp::Image img;
      ASSERT_TRUE(zp::DecodeDib(dib.data(), dib.size(), img)) << c.bits << " bits";
      ASSERT_EQ(img.w, 9);
      ASSERT_EQ(img.h, 2);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x)
          EXPECT_EQ(img.At(x, y), want[y][x])
              << c.bits << " bits, " << (topDown ? "top-down" : "bottom-up") << ", " << x << ","
              << y;
    }
  }
}

TEST(Dib, UnreadableDibsAreRefused) {
  std::vector<uint8_t> good =
      MakeDib(24, 3, 3, false, {}, std::vector<std::vector<uint32_t>>(3, {1, 2, 3}));
  zp::Image img;
  ASSERT_TRUE(zp::DecodeDib(good.data(), good.size(), img));
  // Every shorter copy, each in a buffer of exactly its size so that a read past the end
  // is caught by the sanitizers.
  for (size_t n = 0; n < good.size(); ++n) {
    auto copy = std::make_unique<uint8_t[]>(n ? n : 1);
    std::memcpy(copy.get(), good.data(), n);
    EXPECT_FALSE(zp::DecodeDib(copy.get(), n, img)) << "cut to " << n << " bytes";
  }
  struct Change {
    size_t at;
    uint32_t value;
    const char *what;
  } changes[] = {
      {4, 0, "zero width"},
      {8, 0, "zero height"},
      {4, 0x7FFFFFFF, "absurd width"},
      {8, 0x80000000, "most negative height"},
      {14, 7, "unknown depth"},
      {16, 1, "run-length compression"},
      {0, 39, "short header"},
      {0, 0xFFFFFFF0, "header longer than the data"},
  };
  for (const Change &c : changes) {
    std::vector<uint8_t> bad = good;
    if (c.at == 14) {
      bad[14] = uint8_t(c.value);
    } else {
      for (int i = 0; i < 4; ++i) bad[c.at + i] = uint8_t(c.value >> (8 * i));
    }
    EXPECT_FALSE(zp::DecodeDib(bad.data(), bad.size(), img)) << c.what;
  }
  EXPECT_FALSE(zp::DecodeDib(nullptr, 100, img));
}

TEST_F(Resources, DamagedResourceFilesAreReadSafely) {
  const size_t size = size_t(zant_res_end - zant_res_begin);
  ASSERT_GT(size, 64u);
  // Every cut-off copy: whatever is found lies inside the copy.
  for (size_t n = 0; n <= size; ++n) {
    auto copy = std::make_unique<uint8_t[]>(n ? n : 1);
    std::memcpy(copy.get(), zant_res_begin, n);
    for (const char *name : {"COLOURS", "NOTE", "PIGICON"}) {
      for (const char *type : {static_cast<const char *>(RT_BITMAP), "CUSTOMDATA",
                               static_cast<const char *>(RT_GROUP_ICON)}) {
        zp::ResourceData r = zp::FindResourceIn(copy.get(), n, type, name);
        if (r.data) {
          EXPECT_GE(r.data, copy.get());
          EXPECT_LE(r.data + r.size, copy.get() + n) << "cut to " << n;
        }
      }
    }
  }
  zp::ResourceData whole = zp::FindResourceIn(zant_res_begin, size, RT_BITMAP, "COLOURS");
  EXPECT_NE(whole.data, nullptr);
  // Random damage: never a read outside the buffer.
  std::mt19937 rng(12345);
  for (int round = 0; round < 2000; ++round) {
    auto copy = std::make_unique<uint8_t[]>(size);
    std::memcpy(copy.get(), zant_res_begin, size);
    for (int k = 0; k < 4; ++k) copy[rng() % size] = uint8_t(rng());
    zp::ResourceData r = zp::FindResourceIn(copy.get(), size, RT_BITMAP, "COLOURS");
    if (r.data) {
      ASSERT_LE(r.data + r.size, copy.get() + size);
      zp::Image img;
      zp::DecodeDib(r.data, r.size, img);
    }
  }
}

}  // namespace
