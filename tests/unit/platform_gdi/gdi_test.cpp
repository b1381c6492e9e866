// GDI of the portable layer: raster operations, fills, lines, text and handle checking,
// looked at through the pixels they leave behind.
#include <windows.h>
#include <zant_headless.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

class Gdi : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }

  // A memory DC with a bitmap of w x h filled with one colour.
  HDC Surface(int w, int h, COLORREF fill) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    SelectObject(dc, bmp);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    return dc;
  }
};

std::string Hex(COLORREF c) {
  char buf[16];
  snprintf(buf, sizeof buf, "%06X", unsigned(c));
  return buf;
}

// --- Raster operations ---------------------------------------------------------------

TEST_F(Gdi, SourceRasterOperationsCombineEachChannel) {
  struct Case {
    DWORD rop;
    COLORREF dst, src, expected;
  } cases[] = {
      {SRCAND, RGB(0xF0, 0x0F, 0xAA), RGB(0x3C, 0xFF, 0x55), RGB(0x30, 0x0F, 0x00)},
      // The busy tint over the table-top picture: red gone, green kept, blue cut to 0xF0.
      {SRCAND, RGB(0, 255, 240), RGB(200, 150, 0x9F), RGB(0, 150, 0x90)},
      {SRCAND, RGB(0xFF, 0xFF, 0xFF), RGB(0x12, 0x34, 0x56), RGB(0x12, 0x34, 0x56)},
      {SRCPAINT, RGB(0xF0, 0x00, 0x0F), RGB(0x0F, 0x80, 0x00), RGB(0xFF, 0x80, 0x0F)},
      {SRCINVERT, RGB(0xFF, 0xAA, 0x00), RGB(0x0F, 0xAA, 0xFF), RGB(0xF0, 0x00, 0xFF)},
      {SRCCOPY, RGB(1, 2, 3), RGB(4, 5, 6), RGB(4, 5, 6)},
  };
  for (const Case &c : cases) {
    HDC dst = Surface(6, 5, c.dst);
    HDC src = Surface(6, 5, c.src);
    ASSERT_TRUE(BitBlt(dst, 1, 1, 3, 2, src, 0, 0, c.rop));
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) {
        bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
        EXPECT_EQ(Hex(GetPixel(dst, x, y)), Hex(inside ? c.expected : c.dst))
            << "rop " << std::hex << c.rop << " at " << std::dec << x << "," << y;
      }
    }
  }
}

TEST_F(Gdi, CopyIsClippedToBothBitmaps) {
  const COLORREF grey = RGB(77, 77, 77);
  auto srcColour = [](int x, int y) { return RGB(x * 40 + 10, y * 40 + 10, 99); };
  HDC src = Surface(4, 4, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(src, x, y, srcColour(x, y));
  struct Case {
    int x, y, cx, cy, x1, y1;
  } cases[] = {
      {-2, -1, 4, 4, 0, 0},    // off the top-left of the destination
      {6, 4, 4, 4, 0, 0},      // off the bottom-right
      {2, 2, 4, 4, -2, -2},    // part of the source lies before the bitmap
      {1, 1, 10, 10, 0, 0},    // longer than both
      {0, 0, 4, 4, 3, 3},      // only the last source pixel exists
      {100, 100, 4, 4, 0, 0},  // entirely outside
      {2, 1, 0, 3, 0, 0},      // nothing to copy
  };
  for (const Case &c : cases) {
    HDC dst = Surface(8, 6, grey);
    ASSERT_TRUE(BitBlt(dst, c.x, c.y, c.cx, c.cy, src, c.x1, c.y1, SRCCOPY));
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 8; ++x) {
        int sx = x - c.x + c.x1, sy = y - c.y + c.y1;
        bool copied = x >= c.x && x < c.x + c.cx && y >= c.y && y < c.y + c.cy && sx >= 0 &&
                      sx < 4 && sy >= 0 && sy < 4;
        EXPECT_EQ(Hex(GetPixel(dst, x, y)), Hex(copied ? srcColour(sx, sy) : grey))
            << "blit to " << c.x << "," << c.y << " from " << c.x1 << "," << c.y1 << " at " << x
            << "," << y;
      }
    }
  }
}

TEST_F(Gdi, CopyWithinOneBitmapMovesBlocksIntact) {
  // Overlapping copies in all four directions: each must read before it writes.
  struct Case {
    int x, y, x1, y1;
  } cases[] = {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}};
  for (const Case &c : cases) {
    HDC dc = Surface(6, 6, 0);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) SetPixel(dc, x, y, RGB(x, y, 50));
    ASSERT_TRUE(BitBlt(dc, c.x, c.y, 5, 5, dc, c.x1, c.y1, SRCCOPY));
    for (int y = c.y; y < c.y + 5; ++y) {
      for (int x = c.x; x < c.x + 5; ++x) {
        EXPECT_EQ(Hex(GetPixel(dc, x, y)), Hex(RGB(x - c.x + c.x1, y - c.y + c.y1, 50)))
            << "move by " << c.x - c.x1 << "," << c.y - c.y1 << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(Gdi, PatternOperationsFillExactlyTheirRectangle) {
  const COLORREF before = RGB(9, 9, 9);
  struct Case {
    const char *what;
    int x, y, w, h;
    DWORD rop;
    bool viaBitBlt;
    int brush;  // -1: a solid brush of RGB(1, 2, 3); otherwise a stock object
    RECT area;
    COLORREF expected;
  } cases[] = {
      {"PATCOPY", 2, 1, 3, 2, PATCOPY, false, -1, {2, 1, 5, 3}, RGB(1, 2, 3)},
      {"PATCOPY, stock black", 0, 0, 7, 1, PATCOPY, false, BLACK_BRUSH, {0, 0, 7, 1}, RGB(0, 0, 0)},
      {"BLACKNESS", 1, 1, 2, 3, BLACKNESS, false, -1, {1, 1, 3, 4}, RGB(0, 0, 0)},
      {"WHITENESS", 1, 1, 2, 3, WHITENESS, false, -1, {1, 1, 3, 4}, RGB(255, 255, 255)},
      // Running back from the corner, the corner's own column and row included.
      {"negative extents", 5, 4, -3, -2, PATCOPY, false, -1, {3, 3, 6, 5}, RGB(1, 2, 3)},
      {"hollow brush", 0, 0, 7, 5, PATCOPY, false, NULL_BRUSH, {0, 0, 0, 0}, 0},
      {"past the edges", -3, 3, 20, 20, PATCOPY, false, -1, {0, 3, 7, 5}, RGB(1, 2, 3)},
      {"BitBlt PATCOPY", 3, 0, 2, 2, PATCOPY, true, -1, {3, 0, 5, 2}, RGB(1, 2, 3)},
      {"BitBlt BLACKNESS", 3, 0, 2, 2, BLACKNESS, true, -1, {3, 0, 5, 2}, RGB(0, 0, 0)},
  };
  for (const Case &c : cases) {
    HDC dc = Surface(7, 5, before);
    HBRUSH solid = CreateSolidBrush(RGB(1, 2, 3));
    SelectObject(dc, c.brush < 0 ? solid : GetStockObject(c.brush));
    BOOL ok = c.viaBitBlt ? BitBlt(dc, c.x, c.y, c.w, c.h, nullptr, 0, 0, c.rop)
                          : PatBlt(dc, c.x, c.y, c.w, c.h, c.rop);
    ASSERT_TRUE(ok) << c.what;
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) {
        POINT p{x, y};
        EXPECT_EQ(Hex(GetPixel(dc, x, y)), Hex(PtInRect(&c.area, p) ? c.expected : before))
            << c.what << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(Gdi, FillRectTakesBrushesAndSystemColours) {
  HDC dc = Surface(4, 4, RGB(9, 9, 9));
  RECT r{1, 1, 3, 3};
  EXPECT_TRUE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)));
  EXPECT_EQ(Hex(GetPixel(dc, 1, 1)), Hex(GetSysColor(COLOR_BTNFACE)));
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  DeleteObject(brush);
  RECT all{0, 0, 4, 4};
  EXPECT_FALSE(FillRect(dc, &all, brush)) << "a deleted brush fills nothing";
  EXPECT_EQ(Hex(GetPixel(dc, 0, 0)), Hex(RGB(9, 9, 9)));
}

// --- Lines -------------------------------------------------------------------------

// The pixels of a line from (x0, y0) to (x1, y1) without its end point, by the classic
// incremental midpoint algorithm. Where the line passes exactly halfway between two
// pixels, Windows takes the one with the smaller coordinate (as Wine draws it too).
std::set<std::pair<int, int>> ReferenceLine(int x0, int y0, int x1, int y1) {
  std::set<std::pair<int, int>> out;
  int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  int sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
  bool xMajor = dx >= dy;
  int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  int err = 2 * minor - major;
  int x = x0, y = y0;
  for (int i = 0; i < major; ++i) {
    out.insert({x, y});
    int minorStep = xMajor ? sy : sx;
    if (err > 0 || (err == 0 && minorStep < 0)) {
      (xMajor ? y : x) += xMajor ? sy : sx;
      err -= 2 * major;
    }
    err += 2 * minor;
    (xMajor ? x : y) += xMajor ? sx : sy;
  }
  return out;
}

TEST_F(Gdi, LinesLeaveOutTheirEndPointInEveryDirection) {
  const int size = 41, cx = 20, cy = 20;
  const COLORREF ink = RGB(0, 192, 255);
  POINT
  ends
      [] =
          {
              {29, 20}, {11, 20}, {20, 29}, {20, 11},  // the axes
              {27, 27}, {13, 13}, {27, 13}, {13, 27},  // the diagonals
              {27, 23}, {23, 27}, {17, 27}, {13, 23},  // the eight octants
              {13, 17}, {17, 13}, {23, 13}, {27, 17}, {30, 25},
              {10, 15}, {24, 32}, {16, 8},             // ties halfway between two pixels
              {22, 21}, {18, 19}, {21, 22}, {19, 18},  // ... in every octant
              {24, 22}, {16, 18}, {22, 24}, {18, 16}, {24, 18},
              {16, 22}, {18, 24}, {22, 16}, {21, 20}, {20, 20},  // one pixel; none
          };
  for (POINT e : ends) {
    HDC dc = Surface(size, size, 0);
    HPEN pen = CreatePen(PS_SOLID, 1, ink);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, cx, cy, nullptr);
    ASSERT_TRUE(LineTo(dc, e.x, e.y));
    auto expected = ReferenceLine(cx, cy, e.x, e.y);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        bool drawn = GetPixel(dc, x, y) == ink;
        EXPECT_EQ(drawn, expected.count({x, y}) == 1)
            << "line to " << e.x << "," << e.y << ": pixel " << x << "," << y;
      }
    }
    POINT pos{};
    MoveToEx(dc, 0, 0, &pos);
    EXPECT_EQ(pos.x, e.x);
    EXPECT_EQ(pos.y, e.y) << "the current position moves to the end point";
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(pen));
  }
}

TEST_F(Gdi, LinesAreClippedAndFarEndsCostNothing) {
  HDC dc = Surface(10, 10, 0);
  SelectObject(dc, GetStockObject(WHITE_PEN));
  MoveToEx(dc, -2000000000, 5, nullptr);
  ASSERT_TRUE(LineTo(dc, 2000000000, 5));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Hex(GetPixel(dc, x, 5)), "FFFFFF") << x;
  EXPECT_EQ(Hex(GetPixel(dc, 0, 4)), "000000");
  // The null pen draws nothing but still moves the position.
  SelectObject(dc, GetStockObject(NULL_PEN));
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 9, 0);
  EXPECT_EQ(Hex(GetPixel(dc, 3, 0)), "000000");
}

TEST_F(Gdi, WidePensHaveRoundEnds) {
  // A 3-pixel pen from (3, 8) to (12, 8): its ends are rounded off and reach one pixel
  // beyond both end points on the middle row (as Wine draws it).
  const char *expected[] = {
      "...WWWWWWWWWW...",  // row 7
      "..WWWWWWWWWWWW..",  // row 8
      "...WWWWWWWWWW...",  // row 9
  };
  HDC dc = Surface(16, 16, 0);
  HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 255, 255));
  SelectObject(dc, pen);
  MoveToEx(dc, 3, 8, nullptr);
  LineTo(dc, 12, 8);
  for (int y = 0; y < 16; ++y) {
    std::string row;
    for (int x = 0; x < 16; ++x) row += GetPixel(dc, x, y) ? 'W' : '.';
    EXPECT_EQ(row, y >= 7 && y <= 9 ? expected[y - 7] : "................") << "row " << y;
  }
}

TEST_F(Gdi, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  HDC dc = Surface(8, 8, RGB(9, 9, 9));
  SelectObject(dc, GetStockObject(WHITE_PEN));
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(Rectangle(dc, 1, 1, 6, 5));
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool inside = x >= 1 && x < 6 && y >= 1 && y < 5;
      bool edge = inside && (x == 1 || x == 5 || y == 1 || y == 4);
      COLORREF want = edge ? RGB(255, 255, 255) : inside ? RGB(0, 0, 0) : RGB(9, 9, 9);
      EXPECT_EQ(Hex(GetPixel(dc, x, y)), Hex(want)) << x << "," << y;
    }
  }
}

// --- Text ----------------------------------------------------------------------------

HFONT GameFont() {
  return CreateFontA(24, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_ROMAN,
                     "Times New Roman");
}

// The bounding box of the pixels that differ from `background`.
RECT InkBox(HDC dc, int w, int h, COLORREF background) {
  RECT box{w, h, 0, 0};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (GetPixel(dc, x, y) == background) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return box;
}

TEST_F(Gdi, GameFontHasA24PixelCell) {
  HDC dc = Surface(10, 10, 0);
  HFONT font = GameFont();
  ASSERT_NE(font, nullptr);
  SelectObject(dc, font);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 24);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, 24);
  EXPECT_GE(tm.tmAscent, 18);
  EXPECT_LE(tm.tmAscent, 21);
  // The cell holds the face's full ascent and descent, so the em is smaller than the cell
  // (2048 units of em in 2268 of cell for Times New Roman and its metric twins).
  EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, 24 * 2048 / 2268.0, 1.0);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_NE(tm.tmItalic, 0);
  EXPECT_EQ(tm.tmPitchAndFamily & 0xF0, FF_ROMAN);
  SIZE one{}, two{}, both{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Total", 5, &one));
  ASSERT_TRUE(GetTextExtentPoint32A(dc, " Score", 6, &two));
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Total Score", 11, &both));
  EXPECT_EQ(both.cy, 24);
  EXPECT_EQ(both.cx, one.cx + two.cx) << "advances add up, without kerning";
  EXPECT_GT(both.cx, 80);
  EXPECT_LT(both.cx, 160);
}

TEST_F(Gdi, NegativeHeightIsTheCharacterHeight) {
  HDC dc = Surface(10, 10, 0);
  for (int em : {11, 20, 33}) {
    SelectObject(dc, CreateFontA(-em, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                                 0, 0, "Times New Roman"));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, em);
    EXPECT_GT(tm.tmHeight, em);
  }
}

TEST_F(Gdi, TextSitsInItsCellFromTheTopLeftCorner) {
  const int w = 200, h = 60;
  HDC dc = Surface(w, h, 0);
  SelectObject(dc, GameFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 192, 255));
  ASSERT_TRUE(TextOutA(dc, 40, 20, "Turn Score", 10));
  SIZE s{};
  GetTextExtentPoint32A(dc, "Turn Score", 10, &s);
  RECT ink = InkBox(dc, w, h, 0);
  EXPECT_GE(ink.top, 20);
  EXPECT_LE(ink.bottom, 20 + 24);
  EXPECT_GE(ink.left, 40 - 3);
  EXPECT_LE(ink.left, 40 + 6);
  EXPECT_GE(ink.right, 40 + s.cx - 6);
  EXPECT_LE(ink.right, 40 + s.cx + 6);
  EXPECT_GT(ink.bottom - ink.top, 12) << "capitals are most of the cell";
  // The game font is smoothed: its edges blend into the background.
  int blended = 0;
  for (int y = ink.top; y < ink.bottom; ++y)
    for (int x = ink.left; x < ink.right; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      blended += c != 0 && c != RGB(0, 192, 255);
    }
  EXPECT_GT(blended, 20);
}

TEST_F(Gdi, TransparentTextBlendsOverTheBackground) {
  const int w = 80, h = 40;
  const COLORREF red = RGB(255, 0, 0);
  HDC dc = Surface(w, h, red);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, RGB(0, 0, 255));
  SetTextColor(dc, RGB(0, 255, 0));
  ASSERT_TRUE(TextOutA(dc, 5, 5, "Hi 0", 4));
  int inked = 0, full = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      ASSERT_EQ(GetBValue(c), 0) << "the background colour is never used, at " << x << "," << y;
      EXPECT_NEAR(GetRValue(c) + GetGValue(c), 255, 2) << "a blend of red and green";
      inked += c != red;
      full += c == RGB(0, 255, 0);
    }
  }
  EXPECT_GT(inked, 20);
  EXPECT_GT(full, 5);
}

TEST_F(Gdi, OpaqueTextFillsItsCell) {
  const int w = 80, h = 50;
  HDC dc = Surface(w, h, RGB(255, 0, 0));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(0, 0, 255));
  SetTextColor(dc, RGB(0, 255, 0));
  ASSERT_TRUE(TextOutA(dc, 10, 10, "HH", 2));
  SIZE s{};
  GetTextExtentPoint32A(dc, "HH", 2, &s);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool inCell = x >= 10 && x < 10 + s.cx && y >= 10 && y < 10 + s.cy;
      COLORREF c = GetPixel(dc, x, y);
      if (inCell) {
        EXPECT_EQ(GetRValue(c), 0) << x << "," << y;
      } else {
        EXPECT_EQ(Hex(c), Hex(RGB(255, 0, 0))) << x << "," << y;
      }
    }
  }
}

TEST_F(Gdi, OpaqueRectangleIsFilledExactlyAndTextIsNotClippedToIt) {
  const int w = 120, h = 50;
  const COLORREF before = RGB(9, 9, 9), bk = RGB(200, 0, 0);
  RECT cell{10, 5, 40, 30};
  for (bool clipped : {false, true}) {
    HDC dc = Surface(w, h, before);
    SelectObject(dc, GameFont());
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, bk);
    SetTextColor(dc, RGB(255, 255, 255));
    UINT options = ETO_OPAQUE | (clipped ? ETO_CLIPPED : 0);
    ASSERT_TRUE(ExtTextOutA(dc, 12, 6, options, &cell, "WWWWW", 5, nullptr));
    int inkOutside = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        POINT p{x, y};
        COLORREF c = GetPixel(dc, x, y);
        if (PtInRect(&cell, p)) {
          EXPECT_GT(GetRValue(c), 150)
              << "inside the rectangle: background or text, " << x << "," << y;
        } else {
          EXPECT_NE(Hex(c), Hex(bk)) << "filled beyond the rectangle at " << x << "," << y;
          inkOutside += c != before;
        }
      }
    }
    if (clipped) {
      EXPECT_EQ(inkOutside, 0) << "ETO_CLIPPED keeps the text inside";
    } else {
      EXPECT_GT(inkOutside, 20) << "the text runs on past the rectangle";
    }
  }
  // With no text at all it is a plain fill in the background colour.
  HDC dc = Surface(w, h, before);
  SetBkColor(dc, bk);
  ASSERT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr));
  RECT got = InkBox(dc, w, h, before);
  EXPECT_EQ(got.left, cell.left);
  EXPECT_EQ(got.top, cell.top);
  EXPECT_EQ(got.right, cell.right);
  EXPECT_EQ(got.bottom, cell.bottom);
}

TEST_F(Gdi, DrawTextLaysOutLines) {
  HDC dc = Surface(300, 200, 0);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  const int line = tm.tmHeight;
  SIZE word{};
  GetTextExtentPoint32A(dc, "pig", 3, &word);
  struct Case {
    const char *text;
    UINT format;
    int width;
    int lines;
  } cases[] = {
      {"one line", DT_LEFT, 200, 1},
      {"two\nlines", DT_LEFT, 200, 2},
      {"two\r\nlines", DT_LEFT, 200, 2},
      {"no\nbreaks", DT_SINGLELINE, 200, 1},
      {"pig pig pig pig", DT_WORDBREAK, 0, 4},  // width 0: every word on its own line
      {"pig pig pig pig", DT_WORDBREAK, 1000, 1},
      {"pig pig pig pig", 0, 0, 1},  // no word breaks asked for
  };
  for (const Case &c : cases) {
    RECT r{10, 10, 10 + (c.width ? c.width : word.cx + 1), 190};
    int height = DrawTextA(dc, c.text, -1, &r, c.format | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(height, c.lines * line) << c.text;
    EXPECT_EQ(r.bottom - r.top, c.lines * line) << c.text;
  }
  // Centred in both directions on one line.
  RECT box{0, 0, 300, 200};
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, "pig", 3, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT ink = InkBox(dc, 300, 200, 0);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 150, 3);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 100, line / 2.0);
  // "&&" is one ampersand; "&x" underlines x without drawing the '&'.
  SIZE amp{};
  GetTextExtentPoint32A(dc, "a&b", 3, &amp);
  RECT calc{0, 0, 300, 200};
  DrawTextA(dc, "a&&b", -1, &calc, DT_CALCRECT);
  EXPECT_EQ(calc.right, amp.cx);
  calc = RECT{0, 0, 300, 200};
  DrawTextA(dc, "&ab", -1, &calc, DT_CALCRECT);
  SIZE ab{};
  GetTextExtentPoint32A(dc, "ab", 2, &ab);
  EXPECT_EQ(calc.right, ab.cx);
}

TEST_F(Gdi, TextCountsAreHandledSafely) {
  HDC dc = Surface(40, 20, 0);
  const char text[] = "abc";
  EXPECT_FALSE(TextOutA(dc, 0, 0, text, -1));
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 3));
  // A count far beyond the string stops at its end.
  EXPECT_TRUE(TextOutA(dc, 0, 0, text, 1 << 30));
  SIZE s{}, whole{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, text, 1 << 30, &s));
  GetTextExtentPoint32A(dc, text, 3, &whole);
  EXPECT_EQ(s.cx, whole.cx);
  EXPECT_FALSE(GetTextExtentPoint32A(dc, text, -5, &s));
  EXPECT_TRUE(ExtTextOutA(dc, 0, 0, 0, nullptr, text, 0xFFFFFFFFu, nullptr));
  RECT r{0, 0, 40, 20};
  EXPECT_GT(DrawTextA(dc, text, -7, &r, DT_LEFT), 0);
}

// --- Objects and handles ----------------------------------------------------------------

TEST_F(Gdi, SelectedObjectsOutliveDeletionUntilReleased) {
  HDC dc = Surface(4, 4, 0);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 3, 3);
  HGDIOBJ first = SelectObject(dc, bmp);
  EXPECT_NE(first, nullptr);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_EQ(GetObjectType(bmp), DWORD(OBJ_BITMAP)) << "still selected, so still there";
  EXPECT_NE(SetPixel(dc, 2, 2, RGB(1, 2, 3)), CLR_INVALID);
  EXPECT_EQ(GetPixel(dc, 3, 3), CLR_INVALID) << "the 3x3 bitmap is the one selected";
  HDC other = CreateCompatibleDC(dc);
  EXPECT_EQ(SelectObject(other, bmp), nullptr) << "a bitmap lives in one DC at a time";
  SelectObject(dc, first);
  EXPECT_EQ(GetObjectType(bmp), 0u) << "gone once the DC lets go of it";

  // The game deletes its font while the window DC still holds it, then releases the DC.
  HFONT font = GameFont();
  SelectObject(dc, font);
  SelectObject(other, font);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(GetObjectType(font), DWORD(OBJ_FONT)) << "another DC still holds it";
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_EQ(GetObjectType(font), 0u);

  // An object that is not selected goes at once.
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(GetObjectType(pen), 0u);
}

TEST_F(Gdi, StockObjectsIgnoreDeletion) {
  for (int i :
       {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, BLACK_PEN, NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
    HGDIOBJ stock = GetStockObject(i);
    ASSERT_NE(stock, nullptr) << i;
    DWORD type = GetObjectType(stock);
    EXPECT_NE(type, 0u) << i;
    EXPECT_TRUE(DeleteObject(stock)) << i;
    EXPECT_EQ(GetObjectType(stock), type) << i;
    EXPECT_EQ(GetStockObject(i), stock) << i;
  }
  HDC dc = Surface(2, 2, 0);
  HBITMAP none = CreateCompatibleBitmap(dc, 0, 0);  // the shared 1x1 bitmap
  EXPECT_TRUE(DeleteObject(none));
  HDC fresh = CreateCompatibleDC(dc);
  EXPECT_NE(SetPixel(fresh, 0, 0, RGB(1, 1, 1)), CLR_INVALID) << "a new DC's 1x1 bitmap";
  EXPECT_EQ(GetPixel(fresh, 1, 0), CLR_INVALID);
}

TEST_F(Gdi, GetObjectDescribesBitmaps) {
  HDC dc = Surface(4, 4, 0);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 600, 400);
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 600);
  EXPECT_EQ(bm.bmHeight, 400);
  EXPECT_EQ(GetObjectA(bmp, 0, nullptr), int(sizeof(BITMAP)));
  EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_MEMDC));
  EXPECT_EQ(GetObjectType(bmp), DWORD(OBJ_BITMAP));
  EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 1 << 20, 1 << 20), nullptr) << "absurd sizes fail";
}

TEST_F(Gdi, BadHandlesFailWithoutHarm) {
  HDC gone = Surface(4, 4, 0);
  ASSERT_TRUE(DeleteDC(gone));
  HBRUSH brush = CreateSolidBrush(RGB(1, 1, 1));
  HDC wrongKind = reinterpret_cast<HDC>(brush);  // a live handle of another kind
  HDC junk = reinterpret_cast<HDC>(uintptr_t(0x7fff1234));
  RECT r{0, 0, 2, 2};
  SIZE s{};
  TEXTMETRICA tm{};
  POINT pt{};
  for (HDC dc : {static_cast<HDC>(nullptr), gone, wrongKind, junk}) {
    SCOPED_TRACE(testing::Message() << "dc " << dc);
    EXPECT_FALSE(BitBlt(dc, 0, 0, 2, 2, dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(PatBlt(dc, 0, 0, 2, 2, PATCOPY));
    EXPECT_FALSE(FillRect(dc, &r, brush));
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
    EXPECT_FALSE(MoveToEx(dc, 1, 1, &pt));
    EXPECT_FALSE(LineTo(dc, 2, 2));
    EXPECT_EQ(SetPixel(dc, 0, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1));
    EXPECT_FALSE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "x", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPoint32A(dc, "x", 1, &s));
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(DrawTextA(dc, "x", 1, &r, 0), 0);
    EXPECT_EQ(SelectObject(dc, brush), nullptr);
    EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), 0);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 2, 2), nullptr);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    if (dc) {
      EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    }
  }
  // Good DC, bad source or object.
  HDC good = Surface(4, 4, 0);
  EXPECT_FALSE(BitBlt(good, 0, 0, 2, 2, gone, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(good, 0, 0, 2, 2, good, 0, 0, 0x12345678)) << "unknown raster operation";
  EXPECT_EQ(SelectObject(good, reinterpret_cast<HGDIOBJ>(gone)), nullptr);
  EXPECT_EQ(SelectObject(good, reinterpret_cast<HGDIOBJ>(uintptr_t(0xdeadbeef))), nullptr);
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(good))) << "a DC is not deleted as an object";
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush)) << "twice";
  EXPECT_EQ(GetObjectType(brush), 0u);
}

// --- Window DCs ----------------------------------------------------------------------

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND PlainWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "GdiTestWindow";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterClassA(&wc);
  return CreateWindowExA(0, "GdiTestWindow", "gdi", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

TEST_F(Gdi, WindowDCDrawsOnTheClientAreaAndPaintDCsStayInTheirRectangle) {
  HWND hwnd = PlainWindow();
  ASSERT_NE(hwnd, nullptr);
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_DC));
  EXPECT_EQ(SelectObject(dc, CreateCompatibleBitmap(dc, 2, 2)), nullptr)
      << "a window DC takes no bitmap";
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 40, 30};
  FillRect(dc, &all, red);
  EXPECT_EQ(headless::ClientPixels(hwnd).At(39, 29), 0xFF0000u);

  // A paint DC draws only inside the invalid rectangle.
  ValidateRect(hwnd, nullptr);
  RECT part{5, 6, 15, 16};
  InvalidateRect(hwnd, &part, FALSE);
  PAINTSTRUCT ps{};
  HDC paint = BeginPaint(hwnd, &ps);
  ASSERT_NE(paint, nullptr);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(paint, &all, blue);
  EndPaint(hwnd, &ps);
  headless::Pixels px = headless::ClientPixels(hwnd);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      POINT p{x, y};
      EXPECT_EQ(px.At(x, y), PtInRect(&part, p) ? 0x0000FFu : 0xFF0000u) << x << "," << y;
    }
  }
  // Once the window is gone, its DC draws nothing and does not crash.
  DestroyWindow(hwnd);
  EXPECT_FALSE(FillRect(dc, &all, red));
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
}

// With pixels turned off every drawing call still answers for a good DC and fails for a bad
// one, but neither a bitmap nor a window changes, and nothing is reported drawn; a reset
// turns drawing back on.
TEST_F(Gdi, WithoutPixelsDrawingCallsAnswerButChangeNothing) {
  HWND hwnd = PlainWindow();
  ASSERT_NE(hwnd, nullptr);
  HDC mem = Surface(40, 30, RGB(1, 2, 3));
  HDC src = Surface(40, 30, RGB(200, 100, 50));
  HDC win = GetDC(hwnd);
  RECT all{0, 0, 40, 30};
  FillRect(win, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  int drawn = 0;
  headless::SetDrawHook([&](HWND, RECT) { ++drawn; });

  headless::DrawPixels(false);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  for (HDC dc : {mem, win}) {
    EXPECT_TRUE(FillRect(dc, &all, red));
    EXPECT_TRUE(BitBlt(dc, 0, 0, 40, 30, src, 0, 0, SRCCOPY));
    EXPECT_TRUE(PatBlt(dc, 0, 0, 40, 30, WHITENESS));
    EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, "Roll", 4, nullptr));
    EXPECT_TRUE(MoveToEx(dc, 0, 0, nullptr));
    EXPECT_TRUE(LineTo(dc, 39, 29));
    RECT box = all;
    EXPECT_GT(DrawTextA(dc, "Hold", -1, &box, DT_CENTER), 0);
  }
  EXPECT_FALSE(FillRect(reinterpret_cast<HDC>(0x1234), &all, red));
  EXPECT_EQ(drawn, 0);

  headless::DrawPixels(true);
  EXPECT_EQ(GetPixel(mem, 20, 15), RGB(1, 2, 3));
  EXPECT_EQ(headless::ClientPixels(hwnd).At(20, 15), 0x000000u);
  headless::Reset();
  HDC again = Surface(4, 4, RGB(9, 8, 7));
  EXPECT_EQ(GetPixel(again, 1, 1), RGB(9, 8, 7));
}

}  // namespace
