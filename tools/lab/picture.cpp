// The strategy picture. Each panel fixes the opponent's score j and shows every state
// (own score i across, turn total k up) coloured by what the game's table and the exact
// optimum do there; the edge of the optimum's roll region is the turn total at which it
// holds, drawn as in the literature on optimal Pig. The 21/8/71 rule of the strategy text
// is drawn over it for comparison. Everything is drawn with the layer's GDI on a memory
// bitmap, text in the layer's fonts.
#include "picture.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "commands.h"
#include "zantpig.h"

namespace lab {

namespace {

// Margins and bands of the layout, in pixels.
constexpr int kLeft = 84, kRight = 26, kTop = 100, kLegend = 92;
constexpr int kPanelTitle = 26, kAxisBelow = 46, kGapX = 58, kGapY = 12;
constexpr int kColumns = 3, kRows = 2;
const int kOpponents[kColumns * kRows] = {0, 20, 40, 60, 80, 95};

constexpr uint32_t kEdgeColour = 0x08306B;
constexpr uint32_t kRuleColour = 0x000000;
constexpr uint32_t kTextColour = 0x202020;
constexpr uint32_t kAxisColour = 0x505050;

COLORREF Ref(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A memory bitmap with the drawing calls the picture needs.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    SetBkMode(dc_, TRANSPARENT);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    for (HFONT f : fonts_) DeleteObject(f);
  }

  void Fill(int l, int t, int r, int b, uint32_t rgb) {
    RECT rc{l, t, r, b};
    HBRUSH brush = CreateSolidBrush(Ref(rgb));
    FillRect(dc_, &rc, brush);
    DeleteObject(brush);
  }
  void Fill(const RECT &r, uint32_t rgb) { Fill(r.left, r.top, r.right, r.bottom, rgb); }

  // A font of `pixels` em height, normal or bold.
  HFONT Font(int pixels, bool bold) {
    HFONT f = CreateFontA(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    fonts_.push_back(f);
    return f;
  }
  SIZE Measure(HFONT font, const std::string &text) {
    SelectObject(dc_, font);
    SIZE s{};
    GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &s);
    return s;
  }
  // Text with its top-left corner at (x, y); `align` 0 left, 1 centred on x, 2 right at x.
  void Text(HFONT font, int x, int y, const std::string &text, int align = 0,
            uint32_t rgb = kTextColour) {
    SIZE s = Measure(font, text);
    if (align == 1) x -= s.cx / 2;
    if (align == 2) x -= s.cx;
    SetTextColor(dc_, Ref(rgb));
    TextOutA(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
  }

  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> px(static_cast<size_t>(w_) * h_);
    for (int y = 0; y < h_; y++) {
      for (int x = 0; x < w_; x++) {
        COLORREF c = GetPixel(dc_, x, y);
        px[static_cast<size_t>(y) * w_ + x] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
      }
    }
    return px;
  }

 private:
  int w_, h_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  std::vector<HFONT> fonts_;
};

// The 21/8/71 rule's turn total to hold at, or the goal's distance when it rolls on.
int RuleHoldsAt(int i, int j) {
  if (i > 70 || j > 70) return goal - i;
  return 21 + static_cast<int>(Round((j - i) / 8.0));
}

}  // namespace

RECT PictureLayout::Cell(size_t p, int i, int k) const {
  const RECT &a = plots[p];
  int w = a.right - a.left, h = a.bottom - a.top;
  return RECT{a.left + i * w / goal, a.bottom - (k + 1) * h / goal, a.left + (i + 1) * w / goal,
              a.bottom - k * h / goal};
}

PictureLayout LayoutPicture(int width, int height) {
  PictureLayout l;
  int plotW = (width - kLeft - kRight - (kColumns - 1) * kGapX) / kColumns;
  int plotH =
      (height - kTop - kLegend - kRows * (kPanelTitle + kAxisBelow) - (kRows - 1) * kGapY) / kRows;
  if (plotW < 2 * goal || plotH < 2 * goal || width > 8000 || height > 8000) return l;
  l.width = width;
  l.height = height;
  for (int p = 0; p < kColumns * kRows; p++) {
    int col = p % kColumns, row = p / kColumns;
    int left = kLeft + col * (plotW + kGapX);
    int top = kTop + row * (kPanelTitle + plotH + kAxisBelow + kGapY) + kPanelTitle;
    l.opponents.push_back(kOpponents[p]);
    l.plots.push_back(RECT{left, top, left + plotW, top + plotH});
  }
  return l;
}

std::vector<uint32_t> DrawPicture(const PictureLayout &layout, const unsigned char *table,
                                  const Optimum &optimum) {
  Canvas c(layout.width, layout.height);
  HFONT title = c.Font(22, true), subtitle = c.Font(14, false), panelFont = c.Font(15, true);
  HFONT tick = c.Font(12, false), label = c.Font(13, false);
  c.Fill(0, 0, layout.width, layout.height, 0xFFFFFF);

  c.Text(title, kLeft, 16, "When to hold: the game's table (the Pro) and the exact optimum");
  c.Text(subtitle, kLeft, 48,
         "One panel per opponent's score, with the own score across and the turn total up. Blue "
         "states roll, sand states hold;");
  c.Text(subtitle, kLeft, 68,
         "the dark edge between them is where the optimum holds. In red and purple states the "
         "game's table chooses otherwise.");

  for (size_t p = 0; p < layout.plots.size(); p++) {
    const RECT &a = layout.plots[p];
    const int j = layout.opponents[p];
    c.Text(panelFont, a.left, a.top - kPanelTitle + 4, "Opponent's score " + std::to_string(j));

    // The states, the optimum's edge, the rule, and last the states where the table
    // differs, so that the lines never hide one.
    auto colour = [&](int i, int k) {
      if (i + k >= goal) return kWonColour;
      bool t = table[StateIndex(i, j, k)] == 1, o = optimum.roll[StateIndex(i, j, k)] == 1;
      return t == o ? (o ? kRollColour : kHoldColour) : (t ? kTableRollsColour : kTableHoldsColour);
    };
    for (int i = 0; i < goal; i++)
      for (int k = 0; k < goal; k++) c.Fill(layout.Cell(p, i, k), colour(i, k));
    auto rolls = [&](int i, int k) { return optimum.roll[StateIndex(i, j, k)] == 1; };
    for (int i = 0; i < goal; i++) {
      for (int k = 0; i + k < goal; k++) {
        RECT cell = layout.Cell(p, i, k);
        // Between (i, k) and (i, k + 1): along the top of this cell.
        if (i + k + 1 < goal && rolls(i, k) != rolls(i, k + 1)) {
          c.Fill(cell.left, cell.top - 1, cell.right + 1, cell.top + 1, kEdgeColour);
        }
        // Between (i, k) and (i + 1, k): along the right of this cell.
        if (i + 1 + k < goal && rolls(i, k) != rolls(i + 1, k)) {
          c.Fill(cell.right - 1, cell.top - 1, cell.right + 1, cell.bottom + 1, kEdgeColour);
        }
      }
    }
    // The rule: a dashed step line where it holds before the goal.
    for (int i = 0; i < goal; i++) {
      int k = RuleHoldsAt(i, j);
      if (k >= goal - i || k < 0) continue;
      RECT cell = layout.Cell(p, i, k);  // the first state where it holds
      for (int x = cell.left; x < cell.right; x++) {
        if ((x - a.left) % 6 < 4) c.Fill(x, cell.bottom - 1, x + 1, cell.bottom + 1, kRuleColour);
      }
      if (i + 1 < goal) {
        int next = RuleHoldsAt(i + 1, j);
        if (next != k && next < goal - i - 1) {
          RECT other = layout.Cell(p, i + 1, next);
          int y0 = std::min(cell.bottom, other.bottom), y1 = std::max(cell.bottom, other.bottom);
          for (int y = y0; y < y1; y++) {
            if ((y - a.top) % 6 < 4) c.Fill(cell.right - 1, y, cell.right + 1, y + 1, kRuleColour);
          }
        }
      }
    }

    for (int i = 0; i < goal; i++) {
      for (int k = 0; i + k < goal; k++) {
        uint32_t cell = colour(i, k);
        if (cell == kTableRollsColour || cell == kTableHoldsColour)
          c.Fill(layout.Cell(p, i, k), cell);
      }
    }

    // Axes: a frame, ticks every 20 and their numbers.
    c.Fill(a.left - 1, a.top - 1, a.right + 1, a.top, kAxisColour);
    c.Fill(a.left - 1, a.bottom, a.right + 1, a.bottom + 1, kAxisColour);
    c.Fill(a.left - 1, a.top - 1, a.left, a.bottom + 1, kAxisColour);
    c.Fill(a.right, a.top - 1, a.right + 1, a.bottom + 1, kAxisColour);
    for (int v = 0; v <= goal; v += 20) {
      int x = a.left + v * (a.right - a.left) / goal;
      int y = a.bottom - v * (a.bottom - a.top) / goal;
      c.Fill(x, a.bottom + 1, x + 1, a.bottom + 6, kAxisColour);
      c.Text(tick, x, a.bottom + 7, std::to_string(v), 1);
      c.Fill(a.left - 6, y, a.left - 1, y + 1, kAxisColour);
      c.Text(tick, a.left - 8, y - 7, std::to_string(v), 2);
    }
    c.Text(label, (a.left + a.right) / 2, a.bottom + 24, "own score", 1);
    if (p % kColumns == 0) {  // the panels share their axes: the turn total is named once a row
      int middle = (a.top + a.bottom) / 2;
      c.Text(label, a.left - 36, middle - 16, "turn", 2);
      c.Text(label, a.left - 36, middle, "total", 2);
    }
  }

  // The legend, in two rows below the panels.
  struct Item {
    uint32_t colour;
    bool line;  // 0: a swatch; 1: a solid edge; 2: dashed
    int style;
    const char *text;
  };
  const Item items[] = {
      {kRollColour, false, 0, "roll (table and optimum)"},
      {kHoldColour, false, 0, "hold (table and optimum)"},
      {kTableRollsColour, false, 0, "the table rolls, the optimum holds"},
      {kTableHoldsColour, false, 0, "the table holds, the optimum rolls"},
      {kWonColour, false, 0, "no state: the turn has reached 100"},
      {kEdgeColour, true, 1, "the optimum's edge: where it holds"},
      {kRuleColour, true, 2, "the 21/8/71 rule of the strategy text"},
  };
  int x = kLeft, y = layout.height - kLegend + 22;
  for (const Item &it : items) {
    int w = 26 + c.Measure(label, it.text).cx + 28;
    if (x + w > layout.width - kRight) {
      x = kLeft;
      y += 26;
    }
    if (!it.line) {
      c.Fill(x, y, x + 18, y + 14, kAxisColour);
      c.Fill(x + 1, y + 1, x + 17, y + 13, it.colour);
    } else {
      for (int d = 0; d < 18; d++) {
        if (it.style == 1 || d % 6 < 4) c.Fill(x + d, y + 6, x + d + 1, y + 8, it.colour);
      }
    }
    c.Text(label, x + 26, y, it.text);
    x += w;
  }
  return c.Pixels();
}

namespace {

// The part that libpng may leave by longjmp on an error: no C++ object lives in it.
bool WriteRows(png_structp png, png_infop info, FILE *f, int width, int height,
               const uint32_t *pixels, png_byte *row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; y++) {
    const uint32_t *src = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; x++) {
      row[3 * x] = static_cast<png_byte>(src[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(const std::string &path, int width, int height, const std::vector<uint32_t> &pixels) {
  if (pixels.size() != static_cast<size_t>(width) * height) return false;
  FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  bool ok = info != nullptr && WriteRows(png, info, f, width, height, pixels.data(), row.data());
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 && ok;
}

}  // namespace lab

namespace lab {

namespace {

// Score pairs (i, j) at which a policy holds at some turn total and rolls again at a higher
// one, so that no single turn total divides rolling from holding.
long NotThresholds(const std::function<bool(int, int, int)> &rolls) {
  long n = 0;
  for (int i = 0; i < goal; i++) {
    for (int j = 0; j < goal; j++) {
      bool held = false;
      for (int k = 0; k < goal - i; k++) {
        bool r = rolls(i, j, k);
        if (held && r) {
          n++;
          break;
        }
        held = held || !r;
      }
    }
  }
  return n;
}

void PrintDiff(const unsigned char *table, const Optimum &optimum) {
  long states = 0, differing = 0;
  double worst = 0, total = 0;
  std::string lines;
  char line[128];
  for (int i = 0; i < goal; i++) {
    for (int j = 0; j < goal; j++) {
      for (int k = 0; i + k < goal; k++) {
        states++;
        size_t n = StateIndex(i, j, k);
        if (table[n] == optimum.roll[n]) continue;
        differing++;
        double roll = optimum.rollValue(i, j, k), hold = optimum.holdValue(i, j, k);
        double cost = roll > hold ? roll - hold : hold - roll;
        worst = std::max(worst, cost);
        total += cost;
        std::snprintf(line, sizeof line, "%4d %4d %5d  %-5s  %-7s  %.9f  %.9f  %.2e\n", i, j, k,
                      table[n] ? "roll" : "hold", optimum.roll[n] ? "roll" : "hold", roll, hold,
                      cost);
        lines += line;
      }
    }
  }
  std::printf(
      "states where the game's table and the exact optimum choose differently: %ld of %ld\n",
      differing, states);
  if (differing > 0) {
    std::printf(
        "the table's choice there costs at most %.2e of the chance to win, %.2e on average\n",
        worst, total / static_cast<double>(differing));
  }
  std::printf(
      "score pairs where a higher turn total goes back to rolling: table %ld, optimum %ld\n",
      NotThresholds([table](int i, int j, int k) { return table[StateIndex(i, j, k)] == 1; }),
      NotThresholds(
          [&optimum](int i, int j, int k) { return optimum.roll[StateIndex(i, j, k)] == 1; }));
  if (differing > 0) {
    std::printf("\n own  opp  turn  table  optimum  P(roll)      P(hold)      cost\n%s",
                lines.c_str());
  }
}

bool ParseSize(const char *text, int *w, int *h) {
  unsigned long long a = 0, b = 0;
  const char *x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  std::string first(text, x);
  if (!ParseNumber(first.c_str(), 100000, &a) || !ParseNumber(x + 1, 100000, &b)) return false;
  *w = static_cast<int>(a);
  *h = static_cast<int>(b);
  return true;
}

}  // namespace

int PolicyCommand(int argc, char **argv) {
  const char *out = nullptr;
  bool diff = false;
  int width = 1200, height = 960;
  for (int n = 2; n < argc; n++) {
    std::string arg = argv[n];
    if (arg == "--out" && n + 1 < argc) {
      out = argv[++n];
    } else if (arg == "--size" && n + 1 < argc && ParseSize(argv[n + 1], &width, &height)) {
      n++;
    } else if (arg == "--diff") {
      diff = true;
    } else {
      return 2;
    }
  }
  if (out == nullptr && !diff) return 2;
  PictureLayout layout = LayoutPicture(width, height);
  if (out != nullptr && layout.width == 0) {
    std::fprintf(stderr, "zantpig-lab: %dx%d is too small or too large for the picture\n", width,
                 height);
    return 1;
  }
  std::vector<unsigned char> table = SolveGameTable();
  if (table.empty()) {
    std::fprintf(stderr, "zantpig-lab: the tables could not be allocated\n");
    return 1;
  }
  Optimum optimum = SolveOptimum();
  if (diff) PrintDiff(table.data(), optimum);
  if (out != nullptr) {
    std::vector<uint32_t> pixels = DrawPicture(layout, table.data(), optimum);
    if (!WritePng(out, width, height, pixels)) {
      std::fprintf(stderr, "zantpig-lab: cannot write %s\n", out);
      return 1;
    }
    std::printf("picture written to %s (%dx%d)\n", out, width, height);
  }
  return 0;
}

}  // namespace lab
