// Text on pictures: the strings drawn with the text calls, kept with the picture they were
// drawn on at their place, and the strings the resources say a bitmap shows. A run belongs
// to the pixel in its middle: whatever is drawn there next takes it away.
#include <algorithm>
#include <cstdlib>

#include "internal.h"

namespace zp {
namespace {

// More runs than a picture could show legibly only come from a program drawing text over
// text without end: the oldest go first.
constexpr size_t kMostRuns = 4096;

uint64_t g_lastOrder = 0;

// The legends read so far: the classes, and each line of their legends.
struct LegendLine {
  std::string className;
  uint32_t pixel = 0;
  std::string start;
  std::string words;
};
std::vector<std::string> g_legendsRead;
std::vector<LegendLine> g_legends;
ResetHook g_forgetLegends([] {
  g_legendsRead.clear();
  g_legends.clear();
});

POINT Middle(const RECT &r) {
  return POINT{LONG((int64_t(r.left) + r.right) / 2), LONG((int64_t(r.top) + r.bottom) / 2)};
}

bool Holds(const RECT &area, POINT p) {
  return p.x >= area.left && p.x < area.right && p.y >= area.top && p.y < area.bottom;
}

void Add(TextRuns &runs, TextRun run) {
  CoverTexts(runs, run.box);
  run.order = ++g_lastOrder;
  runs.push_back(std::move(run));
  if (runs.size() > kMostRuns) runs.erase(runs.begin());
}

std::string ResourceText(const char *type, const char *name) {
  ResourceData r = FindResourceData(type, name);
  return r.data ? std::string(reinterpret_cast<const char *>(r.data), r.size) : std::string();
}

// The lines of a description, without blank lines and comments ('#'). (Read by hand: a
// string stream would bring C++'s locales into the browser's program.)
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\0' || line.back() == ' '))
      line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Reads `count` whole numbers from the start of `s` into `out`; the rest of the string
// after them (and the blanks that follow) in `rest`. False when they are not there.
bool Numbers(const std::string &s, int count, long *out, std::string *rest) {
  const char *p = s.c_str();
  for (int i = 0; i < count; ++i) {
    char *end = nullptr;
    out[i] = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
  }
  while (*p == ' ') ++p;
  if (rest) *rest = p;
  return true;
}

// "a|b|c" as its fields.
std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t bar = line.find('|', start);
    fields.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

}  // namespace

void CoverTexts(TextRuns &runs, const RECT &area) {
  if (RectEmpty(area)) return;
  std::erase_if(runs, [&area](const TextRun &r) { return Holds(area, Middle(r.box)); });
}

void AddText(TextRuns &runs, const RECT &box, const char *text, int len, uint32_t pixel) {
  if (RectEmpty(box)) return;
  TextRun run;
  run.box = box;
  run.text.assign(text, size_t(std::max(len, 0)));
  run.pixel = pixel;
  if (run.text.find_first_not_of(' ') == std::string::npos) {
    CoverTexts(runs, box);
    return;
  }
  Add(runs, std::move(run));
}

void CopyTexts(TextRuns &to, POINT at, const TextRuns &from, const RECT &fromArea) {
  if (RectEmpty(fromArea)) return;
  int dx = at.x - fromArea.left, dy = at.y - fromArea.top;
  // The block's runs first: the picture may be copied onto itself.
  TextRuns brought;
  for (const TextRun &r : from) {
    if (!Holds(fromArea, Middle(r.box))) continue;
    TextRun copy = r;
    copy.box = RectIntersect(r.box, fromArea);
    OffsetRect(&copy.box, dx, dy);
    brought.push_back(std::move(copy));
  }
  RECT toArea = fromArea;
  OffsetRect(&toArea, dx, dy);
  CoverTexts(to, toArea);
  for (TextRun &r : brought) Add(to, std::move(r));  // in the order they came (runs stay so)
}

// A description has a line for each string the picture shows: its cell (left top right
// bottom, in the picture's pixels), then the string, and after a '|' the words its look
// adds ("0 0 150 60 Player 1|to move").
void DescribeTexts(const char *bitmapName, TextRuns &runs) {
  runs.clear();
  if (!bitmapName) return;
  for (const std::string &line : Lines(ResourceText("BITMAPTEXT", bitmapName))) {
    long cell[4];
    std::string rest;
    if (!Numbers(line, 4, cell, &rest)) continue;
    TextRun run;
    run.box = MakeRect(int(cell[0]), int(cell[1]), int(cell[2]), int(cell[3]));
    std::vector<std::string> fields = Fields(rest);
    if (RectEmpty(run.box) || fields[0].empty()) continue;
    run.text = fields[0];
    if (fields.size() > 1) run.note = fields[1];
    Add(runs, std::move(run));
  }
}

// A legend has a line for each colour whose text means more than it says: the colour
// ("r g b"), the start of the texts it is for, and the words it adds
// ("0 255 128|win probability|roll, in green").
std::string LegendNote(const std::string &className, const TextRun &run) {
  if (std::find(g_legendsRead.begin(), g_legendsRead.end(), className) == g_legendsRead.end()) {
    g_legendsRead.push_back(className);
    for (const std::string &line : Lines(ResourceText("TEXTLEGEND", className.c_str()))) {
      std::vector<std::string> fields = Fields(line);
      long rgb[3];
      if (fields.size() != 3 || !Numbers(fields[0], 3, rgb, nullptr)) continue;
      g_legends.push_back(LegendLine{className, PixelFromColorRef(RGB(rgb[0], rgb[1], rgb[2])),
                                     fields[1], fields[2]});
    }
  }
  for (const LegendLine &l : g_legends) {
    if (l.className == className && l.pixel == run.pixel && run.text.rfind(l.start, 0) == 0)
      return l.words;
  }
  return {};
}

}  // namespace zp
