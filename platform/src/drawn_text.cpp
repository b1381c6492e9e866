// Text on pictures: the strings drawn with the text calls, kept with the picture they were
// drawn on at their place, and the strings the resources say a bitmap shows. A run belongs
// to the pixel in its middle: whatever is drawn there next takes it away.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "internal.h"

namespace zp {
namespace {

// More runs than a picture could show legibly only come from a program drawing text over
// text without end: the oldest go first.
constexpr size_t kMostRuns = 4096;

uint64_t g_lastOrder = 0;

// The legends read so far, by class name: for each colour, its fields.
std::map<std::string, std::vector<std::vector<std::string>>> g_legends;
ResetHook g_forgetLegends([] { g_legends.clear(); });

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

// The lines of a description, without blank lines and comments ('#').
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\0' || line.back() == ' '))
      line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
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
  std::sort(brought.begin(), brought.end(),
            [](const TextRun &a, const TextRun &b) { return a.order < b.order; });
  for (TextRun &r : brought) Add(to, std::move(r));
}

// A description has a line for each string the picture shows: its cell (left top right
// bottom, in the picture's pixels), then the string, and after a '|' the words its look
// adds ("0 0 150 60 Player 1|to move").
TextRuns DescribedTexts(const char *bitmapName) {
  TextRuns runs;
  if (!bitmapName) return runs;
  for (const std::string &line : Lines(ResourceText("BITMAPTEXT", bitmapName))) {
    std::istringstream in(line);
    TextRun run;
    if (!(in >> run.box.left >> run.box.top >> run.box.right >> run.box.bottom)) continue;
    std::string rest;
    std::getline(in >> std::ws, rest);
    std::vector<std::string> fields = Fields(rest);
    if (RectEmpty(run.box) || fields[0].empty()) continue;
    run.text = fields[0];
    if (fields.size() > 1) run.note = fields[1];
    Add(runs, std::move(run));
  }
  return runs;
}

// A legend has a line for each colour whose text means more than it says: the colour
// ("r g b"), the start of the texts it is for, and the words it adds
// ("0 255 128|win probability|roll, in green").
std::string LegendNote(const std::string &className, const TextRun &run) {
  auto &legends = g_legends;
  auto found = legends.find(className);
  if (found == legends.end()) {
    std::vector<std::vector<std::string>> entries;
    for (const std::string &line : Lines(ResourceText("TEXTLEGEND", className.c_str()))) {
      std::vector<std::string> fields = Fields(line);
      if (fields.size() == 3) entries.push_back(std::move(fields));
    }
    found = legends.emplace(className, std::move(entries)).first;
  }
  for (const std::vector<std::string> &entry : found->second) {
    std::istringstream colour(entry[0]);
    int r = 0, g = 0, b = 0;
    if (!(colour >> r >> g >> b)) continue;
    if (PixelFromColorRef(RGB(r, g, b)) != run.pixel || run.text.rfind(entry[1], 0) != 0) continue;
    return entry[2];
  }
  return {};
}

}  // namespace zp
