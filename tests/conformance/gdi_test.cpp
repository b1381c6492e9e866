// Drawing: opaque text backgrounds, SRCAND, lines, brushes, read back pixel by pixel from a
// memory bitmap compatible with a window.
#include "conformance.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
  return text;
}

class Gdi : public Conformance {
 protected:
  void SetUp() override {
    Conformance::SetUp();
    top_ = MakeTop(40, 40, 120, 80);
    ASSERT_NE(top_, nullptr);
    windowDc_ = GetDC(top_);
    dc_ = CreateCompatibleDC(windowDc_);
    bitmap_ = CreateCompatibleBitmap(windowDc_, kW, kH);
    ASSERT_TRUE(dc_ && bitmap_);
    old_ = SelectObject(dc_, bitmap_);
    Fill(RGB(255, 255, 255));
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    ReleaseDC(top_, windowDc_);
    Conformance::TearDown();
  }
  void Fill(COLORREF color) { Fill(dc_, 0, 0, kW, kH, color); }
  static void Fill(HDC dc, int l, int t, int r, int b, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT rect = {l, t, r, b};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
  }
  // Every pixel of the bitmap that is inside `inside` (and not in `skip`) must be `in`,
  // every other one `out`; reports the first few that are not.
  void ExpectRegion(RECT inside, COLORREF in, COLORREF out) {
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        POINT p = {x, y};
        COLORREF want = PtInRect(&inside, p) ? in : out;
        COLORREF got = GetPixel(dc_, x, y);
        if (got != want && ++wrong <= 5)
          ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << Hex(got) << ", expected "
                        << Hex(want);
      }
  }

  static constexpr int kW = 64;
  static constexpr int kH = 32;
  HWND top_ = nullptr;
  HDC windowDc_ = nullptr;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// ETO_OPAQUE fills the rectangle with the background colour, whatever the background mode,
// and nothing outside it.
TEST_F(Gdi, ExtTextOutOpaqueFillsWithBackgroundColour) {
  struct Case {
    int mode;
    const char *text;
    RECT rect;
    COLORREF bk;
  };
  const Case cases[] = {
      {OPAQUE, "", {4, 3, 40, 20}, RGB(10, 20, 30)},
      {TRANSPARENT, "", {0, 0, 17, 9}, RGB(200, 100, 0)},
      {OPAQUE, "    ", {10, 10, 60, 30}, RGB(0, 128, 255)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Hex(c.bk));
    Fill(RGB(255, 255, 255));
    SetBkMode(dc_, c.mode);
    SetBkColor(dc_, c.bk);
    EXPECT_TRUE(ExtTextOutA(dc_, c.rect.left, c.rect.top, ETO_OPAQUE, &c.rect, c.text,
                            static_cast<UINT>(strlen(c.text)), nullptr));
    ExpectRegion(c.rect, c.bk, RGB(255, 255, 255));
  }
}

// SRCAND combines source and destination with a bitwise AND of each colour channel.
TEST_F(Gdi, BitBltSrcAndIsBitwiseAndPerChannel) {
  struct Case {
    COLORREF dst, src;
  };
  const Case cases[] = {
      {RGB(255, 255, 255), RGB(12, 34, 56)},
      {RGB(0xF0, 0x0F, 0xAA), RGB(0x3C, 0xFF, 0x55)},
      {RGB(0x80, 0x81, 0x7F), RGB(0x7F, 0x81, 0xFF)},
      {RGB(0, 0, 0), RGB(255, 255, 255)},
  };
  HDC src = CreateCompatibleDC(windowDc_);
  HBITMAP srcBitmap = CreateCompatibleBitmap(windowDc_, kW, kH);
  HGDIOBJ oldSrc = SelectObject(src, srcBitmap);
  for (const Case &c : cases) {
    SCOPED_TRACE(Hex(c.dst) + " AND " + Hex(c.src));
    Fill(c.dst);
    Fill(src, 0, 0, kW, kH, c.src);
    EXPECT_TRUE(BitBlt(dc_, 8, 4, 20, 10, src, 3, 3, SRCAND));
    ExpectRegion({8, 4, 28, 14}, c.dst & c.src, c.dst);
  }
  // SRCCOPY replaces.
  Fill(RGB(1, 2, 3));
  Fill(src, 0, 0, kW, kH, RGB(200, 150, 100));
  EXPECT_TRUE(BitBlt(dc_, 0, 0, 5, 5, src, 0, 0, SRCCOPY));
  ExpectRegion({0, 0, 5, 5}, RGB(200, 150, 100), RGB(1, 2, 3));
  SelectObject(src, oldSrc);
  DeleteObject(srcBitmap);
  DeleteDC(src);
}

// LineTo draws from the current position up to, but not including, its end point, and
// leaves the current position there.
TEST_F(Gdi, LineToLeavesOutItsEndPoint) {
  struct Case {
    POINT from, to;
  };
  const Case cases[] = {
      {{2, 5}, {10, 5}}, {{10, 5}, {2, 5}},    {{5, 2}, {5, 9}},
      {{3, 3}, {9, 9}},  {{20, 20}, {14, 14}},
  };
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc_, pen);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.from.x << "," << c.from.y << ") to (" << c.to.x
                                    << "," << c.to.y << ")");
    Fill(RGB(255, 255, 255));
    MoveToEx(dc_, c.from.x, c.from.y, nullptr);
    EXPECT_TRUE(LineTo(dc_, c.to.x, c.to.y));
    int dx = (c.to.x > c.from.x) - (c.to.x < c.from.x);
    int dy = (c.to.y > c.from.y) - (c.to.y < c.from.y);
    int n = std::max(std::abs(c.to.x - c.from.x), std::abs(c.to.y - c.from.y));
    int black = 0;
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(GetPixel(dc_, c.from.x + i * dx, c.from.y + i * dy), RGB(0, 0, 0)) << "step " << i;
    EXPECT_EQ(GetPixel(dc_, c.to.x, c.to.y), RGB(255, 255, 255)) << "the end point";
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) black += GetPixel(dc_, x, y) == RGB(0, 0, 0);
    EXPECT_EQ(black, n) << "pixels drawn";
    POINT old = {};
    MoveToEx(dc_, 0, 0, &old);
    EXPECT_EQ(old.x, c.to.x);
    EXPECT_EQ(old.y, c.to.y);
  }
  SelectObject(dc_, oldPen);
  DeleteObject(pen);
}

// TextOutA in OPAQUE mode paints the whole text box (GetTextExtentPoint32A) with the text
// and background colours; in TRANSPARENT mode it leaves the background alone. Nothing is
// drawn outside the box.
TEST_F(Gdi, TextOutModesAndExtent) {
  const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
  const char text[] = "Wg";
  for (int mode : {OPAQUE, TRANSPARENT}) {
    SCOPED_TRACE(mode == OPAQUE ? "opaque" : "transparent");
    Fill(white);
    SetBkMode(dc_, mode);
    SetBkColor(dc_, red);
    SetTextColor(dc_, blue);
    SIZE size = {};
    ASSERT_TRUE(GetTextExtentPoint32A(dc_, text, 2, &size));
    ASSERT_GT(size.cx, 4);
    ASSERT_GT(size.cy, 4);
    ASSERT_LT(size.cx, kW - 4);
    ASSERT_LT(size.cy, kH - 2);
    EXPECT_TRUE(TextOutA(dc_, 2, 1, text, 2));
    RECT box = {2, 1, 2 + size.cx, 1 + size.cy};
    int whiteInside = 0, inked = 0, outside = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        POINT p = {x, y};
        COLORREF c = GetPixel(dc_, x, y);
        if (!PtInRect(&box, p)) {
          outside += c != white;
          continue;
        }
        whiteInside += c == white;
        inked += c != white && c != red;
      }
    EXPECT_EQ(outside, 0) << "pixels changed outside the text box";
    EXPECT_GT(inked, 0) << "no glyph pixels";
    if (mode == OPAQUE)
      EXPECT_EQ(whiteInside, 0) << "background left in the opaque box";
    else
      EXPECT_GT(whiteInside, 0) << "transparent text painted its background";
  }
}

// Calls with a deleted object fail instead of drawing or crashing; nothing is drawn.
TEST_F(Gdi, DeletedObjectsMakeCallsFail) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  HDC dc = CreateCompatibleDC(windowDc_);
  ASSERT_TRUE(brush && pen && dc);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteDC(dc));
  RECT r = {0, 0, 4, 4};
  EXPECT_EQ(SelectObject(dc_, brush), nullptr);
  EXPECT_EQ(SelectObject(dc_, pen), nullptr);
  FillRect(dc_, &r, brush);  // Windows answers TRUE, but paints nothing in the brush's colour
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_FALSE(BitBlt(dc_, 0, 0, 4, 4, dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dc, 0, 0, 4, 4, dc_, 0, 0, SRCCOPY));
  EXPECT_FALSE(DeleteDC(dc));
  ExpectRegion({0, 0, 0, 0}, 0, RGB(255, 255, 255));
}

// A window's device context, obtained once, keeps drawing into the window across messages;
// what a memory bitmap holds is copied into the window with SRCCOPY and reads back the same.
TEST_F(Gdi, WindowDcKeepsWorkingAcrossMessages) {
  inject::Foreground(top_);
  Fill(RGB(10, 200, 30));
  Fill(dc_, 0, 0, 8, 8, RGB(250, 5, 60));
  EXPECT_TRUE(BitBlt(windowDc_, 20, 10, kW, kH, dc_, 0, 0, SRCCOPY));
  // Let messages pass: the same DC still draws and reads.
  PostMessageA(top_, WM_USER, 0, 0);
  InvalidateRect(top_, nullptr, FALSE);
  ValidateRect(top_, nullptr);
  Pump();
  EXPECT_EQ(GetPixel(windowDc_, 20, 10), RGB(250, 5, 60));
  EXPECT_EQ(GetPixel(windowDc_, 27, 17), RGB(250, 5, 60));
  EXPECT_EQ(GetPixel(windowDc_, 28, 17), RGB(10, 200, 30));
  EXPECT_EQ(GetPixel(windowDc_, 20 + kW - 1, 10 + kH - 1), RGB(10, 200, 30));
  Fill(windowDc_, 0, 0, 4, 4, RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(windowDc_, 3, 3), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(windowDc_, 4, 4), RGB(255, 255, 255)) << "the class brush's white";
}

// PatBlt paints with the selected brush (PATCOPY) or black (BLACKNESS).
TEST_F(Gdi, PatBltPaintsBrushOrBlack) {
  HBRUSH brush = CreateSolidBrush(RGB(0, 200, 100));
  HGDIOBJ oldBrush = SelectObject(dc_, brush);
  EXPECT_TRUE(PatBlt(dc_, 4, 4, 10, 6, PATCOPY));
  ExpectRegion({4, 4, 14, 10}, RGB(0, 200, 100), RGB(255, 255, 255));
  Fill(RGB(255, 255, 255));
  EXPECT_TRUE(PatBlt(dc_, 0, 10, 30, 3, BLACKNESS));
  ExpectRegion({0, 10, 30, 13}, RGB(0, 0, 0), RGB(255, 255, 255));
  SelectObject(dc_, oldBrush);
  DeleteObject(brush);
}

}  // namespace
