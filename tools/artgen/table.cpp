// The table: green baize in a varnished walnut rail, lit by a lamp above and to the upper
// left, with the game's name and a landing ring printed on the cloth in gold.
#include <algorithm>
#include <cmath>

#include "art.h"

namespace art {

namespace {

const V3 kLampDir = Normalize({-0.55, -0.65, 1.0});
const V3 kFeltBase = {30, 121, 78};
const V3 kGold = {226, 190, 104};

// Across the rail, from its outer edge (0) to the cloth (1): the slope of its profile, a
// rounded outer edge, a gently crowned top and a rolled lip down to the cloth.
double RailSlope(double t) {
  if (t < 0.22) return Mix(1.6, 0.1, SmoothStep(0.0, 0.22, t));
  if (t < 0.72) return Mix(0.1, -0.15, (t - 0.22) / 0.5);
  return Mix(-0.15, -2.2, SmoothStep(0.72, 1.0, t));
}

V3 Wood(double along, double across, double width, uint32_t seed) {
  // Long rings, warped, with fine pores along the grain.
  double warp = Fbm(along * 0.007, across * 0.05, 4, seed) * 1.6 +
                0.25 * ValueNoise(along * 0.04, across * 0.3, seed + 3);
  double rings = Fract(across / width * 2.2 + warp);
  double band = SmoothStep(0.0, 0.35, rings) * (1 - SmoothStep(0.55, 1.0, rings));
  double pores = ValueNoise(along * 0.06, across * 1.3, seed + 7) - 0.5;
  double streak = ValueNoise(along * 0.015, across * 0.7, seed + 9) - 0.5;
  V3 dark = {66, 31, 15}, light = {138, 76, 38};
  double figure = Fbm(along * 0.02, across * 0.15, 3, seed + 11) - 0.5;
  V3 c = Mix(dark, light, Clamp(0.35 + 0.45 * band + 0.4 * streak + 0.5 * figure, 0.0, 1.0));
  return c * (1 + 0.24 * pores);
}

// The rail around a w x h table, width rw; returns false for pixels of the cloth.
bool PaintRail(Image &img, int x, int y, int rw, uint32_t seed) {
  double px = x + 0.5, py = y + 0.5;
  double dLeft = px, dRight = img.w - px, dTop = py, dBottom = img.h - py;
  double d = std::min(std::min(dLeft, dRight), std::min(dTop, dBottom));
  if (d >= rw) return false;
  // Which side the pixel belongs to; the sides meet in mitred corners.
  int side;  // 0 left, 1 right, 2 top, 3 bottom
  double along;
  V3 inward;
  if (d == dLeft)
    side = 0, along = py, inward = {1, 0, 0};
  else if (d == dRight)
    side = 1, along = py + 977, inward = {-1, 0, 0};
  else if (d == dTop)
    side = 2, along = px + 331, inward = {0, 1, 0};
  else
    side = 3, along = px + 613, inward = {0, -1, 0};

  double t = d / rw;
  double slope = RailSlope(t);
  V3 n = Normalize(inward * (-slope) + V3{0, 0, 1});
  double diffuse = std::max(0.0, Dot(n, kLampDir));
  V3 half = Normalize(kLampDir + V3{0, 0, 1});
  double gloss = PowInt(std::max(0.0, Dot(n, half)), 36);
  V3 wood = Wood(along, d, rw, seed + side * 31u);
  V3 lin = ToLinear(wood) * (0.25 + 1.0 * diffuse) + V3{1, 1, 1} * (0.16 * gloss);

  // A fine dark joint where two sides meet.
  double second = 1e9;
  for (double other : {dLeft, dRight, dTop, dBottom})
    if (other != d) second = std::min(second, other);
  double joint = 1 - SmoothStep(0.0, 0.9, second - d);
  lin = lin * (1 - 0.55 * joint);
  // Shade the outermost pixel a little so the rail has an edge against the window frame.
  lin = lin * (0.8 + 0.2 * SmoothStep(0.0, 1.5, d));
  img.At(x, y) = ToRgb(ToDisplay(lin));
  return true;
}

void PaintFelt(Image &img, int x, int y, int rw, double lampX, double lampY, uint32_t seed) {
  double px = x + 0.5, py = y + 0.5;
  // The lamp: brightest above the middle of the table, falling off towards the rail.
  double rx = (px - lampX) / (img.w * 0.75), ry = (py - lampY) / (img.h * 0.75);
  double lamp = 1.12 - 0.55 * (rx * rx + ry * ry);
  // The rail throws a shadow onto the cloth below and to the right of its upper and left
  // sides; the other sides only darken the cloth close to the lip.
  double dLeft = px - rw, dTop = py - rw, dRight = img.w - rw - px, dBottom = img.h - rw - py;
  double shade = 1.0;
  shade *= 1 - 0.55 * (1 - SmoothStep(0.0, 7.0, dLeft));
  shade *= 1 - 0.55 * (1 - SmoothStep(0.0, 7.0, dTop));
  shade *= 1 - 0.3 * (1 - SmoothStep(0.0, 3.0, dRight));
  shade *= 1 - 0.3 * (1 - SmoothStep(0.0, 3.0, dBottom));
  // Baize: fine fibres, a soft mottle and a faint nap running across the cloth.
  double grain = HashUnit(x, y, seed) - 0.5;
  double mottle = Fbm(px / 38.0, py / 38.0, 4, seed + 1) - 0.5;
  double nap = ValueNoise((px + py) * 0.5, (px - py) * 0.06, seed + 2) - 0.5;
  double texture = 1 + 0.09 * grain + 0.16 * mottle + 0.06 * nap;
  V3 lin = ToLinear(kFeltBase) * (lamp * shade * texture);
  img.At(x, y) = ToRgb(ToDisplay(lin));
}

void PaintTable(Image &img, int rw, double lampX, double lampY, uint32_t seed) {
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x)
      if (!PaintRail(img, x, y, rw, seed)) PaintFelt(img, x, y, rw, lampX, lampY, seed + 50);
}

double Luma(V3 c) {
  return 0.3 * c.x + 0.59 * c.y + 0.11 * c.z;
}

// Gold ink on the cloth: it takes the cloth's light and texture with it.
void PrintOnCloth(Image &img, const Mask &ink, int ox, int oy, double strength) {
  double base = Luma(kFeltBase);
  for (int y = 0; y < ink.h; ++y)
    for (int x = 0; x < ink.w; ++x) {
      double a = ink.At(x, y) * strength;
      int ix = ox + x, iy = oy + y;
      if (a <= 0 || ix < 0 || iy < 0 || ix >= img.w || iy >= img.h) continue;
      V3 cloth = ToV3(img.At(ix, iy));
      double light = Clamp(Luma(cloth) / base, 0.3, 1.4);
      V3 ink_colour = kGold * (0.45 + 0.55 * light);
      img.At(ix, iy) = ToRgb(ToDisplay(Mix(ToLinear(cloth), ToLinear(ink_colour), a)));
    }
}

// A line mask from a signed distance, anti-aliased over about a pixel.
template <typename Fn>
Mask LineMask(int w, int h, double halfWidth, Fn distance) {
  Mask m(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double d = std::fabs(distance(x + 0.5, y + 0.5)) - halfWidth;
      m.At(x, y) = Clamp(0.5 - d, 0.0, 1.0);
    }
  return m;
}

double RoundedRectDistance(double px, double py, double cx, double cy, double hw, double hh,
                           double r) {
  double qx = std::fabs(px - cx) - (hw - r), qy = std::fabs(py - cy) - (hh - r);
  double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

// Distance to an ellipse with radii (rx, ry) about (cx, cy), close enough for drawing.
double EllipseDistance(double px, double py, double cx, double cy, double rx, double ry) {
  double x = (px - cx) / rx, y = (py - cy) / ry;
  double k0 = std::sqrt(x * x + y * y);
  double gx = x / rx, gy = y / ry;
  double k1 = std::sqrt(gx * gx + gy * gy);
  return k1 > 0 ? k0 * (k0 - 1) / k1 : -std::min(rx, ry);
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = Clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  double ex = px - ax - t * dx, ey = py - ay - t * dy;
  return std::sqrt(ex * ex + ey * ey);
}

// The house emblem: a pig's face in outline, about 50 pixels wide, centred on (cx, cy).
Mask PigEmblem(int w, int h, double cx, double cy) {
  Mask m(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double px = x + 0.5 - cx, py = y + 0.5 - cy;
      if (std::fabs(px) > 34 || std::fabs(py) > 34) continue;
      double head = EllipseDistance(px, py, 0, 0, 24, 19.5);
      double line = std::fabs(head) - 0.75;
      // Ears: two pointed flaps above the head, drawn only outside it.
      double ax = std::fabs(px);
      double ear = std::min(SegmentDistance(ax, py, 9, -17.5, 23, -26),
                            SegmentDistance(ax, py, 23, -26, 21, -10));
      if (head > 0) line = std::min(line, ear - 0.75);
      double snout = EllipseDistance(px, py, 0, 6, 9.5, 6.5);
      line = std::min(line, std::fabs(snout) - 0.75);
      // Filled: the eyes and the nostrils.
      double eyes = std::sqrt((ax - 8.5) * (ax - 8.5) + (py + 6) * (py + 6)) - 2.1;
      double nostrils = EllipseDistance(ax, py, 3.4, 6, 1.5, 2.4);
      double shape = std::min(line, std::min(eyes, nostrils));
      m.At(x, y) = Clamp(0.5 - shape, 0.0, 1.0);
    }
  return m;
}

// Text centred on (cx, cy) by its ink, printed on the cloth; what it says, with its ink's
// box, is added to `said`.
void PrintText(Image &img, const std::string &text, double size, double cx, double cy,
               double strength, std::string *said) {
  TextMask t = RenderText(text, size);
  int ox = static_cast<int>(std::floor(cx - (t.inkLeft + t.inkRight) / 2.0 + 0.5));
  int oy = static_cast<int>(std::floor(cy - (t.inkTop + t.inkBottom) / 2.0 + 0.5));
  PrintOnCloth(img, t.mask, ox, oy, strength);
  if (said) {
    *said += std::to_string(ox + t.inkLeft) + " " + std::to_string(oy + t.inkTop) + " " +
             std::to_string(ox + t.inkRight) + " " + std::to_string(oy + t.inkBottom) + " " + text +
             "\n";
  }
}

}  // namespace

Image MakeTableTop(std::string *said) {
  Image img(300, 400);
  if (said) *said = "# The words printed on the table top, table.bmp.\n";
  const int rw = 14;
  PaintTable(img, rw, 140, 185, 0x5EED);
  // A gold border line around the playing area, a landing ring where the die comes to
  // rest, and the name above; the die's way across the middle stays clear.
  Mask border = LineMask(img.w, img.h, 0.7, [&](double x, double y) {
    return RoundedRectDistance(x, y, 150, 200, 126, 176, 16);
  });
  PrintOnCloth(img, border, 0, 0, 0.75);
  DiePose rest = RestPose(1);
  double ringX = kRestCell.x + rest.cx, ringY = kRestCell.y + rest.cy;
  Mask ring = LineMask(img.w, img.h, 0.6, [&](double x, double y) {
    double dx = x - ringX, dy = y - ringY;
    return std::sqrt(dx * dx + dy * dy) - 22;
  });
  PrintOnCloth(img, ring, 0, 0, 0.45);
  PrintText(img, "Zant Pig", 46, 150, 68, 0.9, said);
  PrintOnCloth(img, PigEmblem(img.w, img.h, 150, 316), 0, 0, 0.8);
  PrintText(img, "First to 100 wins", 17, 150, 356, 0.75, said);
  return img;
}

Image MakeSplashBackground() {
  Image img(280, 200);
  PaintTable(img, 12, 130, 90, 0xC0FFEE);
  Mask border = LineMask(img.w, img.h, 0.6, [&](double x, double y) {
    return RoundedRectDistance(x, y, 140, 100, 122, 82, 12);
  });
  PrintOnCloth(img, border, 0, 0, 0.7);
  return img;
}

}  // namespace art
