// The finished pictures: the dice tiles, the header tiles, the splash picture and the
// icon, and the preview compositions used to judge them on the table.
#include <algorithm>
#include <cmath>

#include "art.h"

namespace art {

namespace {

const Rgb kFrameColour = {0, 192, 255};
const Rgb kIdleColour = {108, 108, 108};

Image TileAt(const Image &table, Cell cell) {
  return table.Crop(cell.x, cell.y, kTile, kTile);
}

Image DieTile(const Image &table, Cell cell, const DiePose &pose) {
  Image bare = TileAt(table, cell), tile(kTile, kTile);
  DrawDie(bare, tile, 0, 0, kTile, kTile, pose, true);
  return tile;
}

// A name in the header colours: ink times colour, on black.
void DrawName(Image &row, const TextMask &t, int ox, int oy, Rgb colour) {
  for (int y = 0; y < t.mask.h; ++y)
    for (int x = 0; x < t.mask.w; ++x) {
      double a = t.mask.At(x, y);
      int ix = ox + x, iy = oy + y;
      if (a <= 0 || ix < 0 || iy < 0 || ix >= row.w || iy >= row.h) continue;
      row.At(ix, iy) = ToRgb(ToV3(colour) * a);
    }
}

// A line of a sheet's description: the cell, then what it says.
std::string Said(int left, int top, int right, int bottom, const std::string &text) {
  return std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(right) + " " +
         std::to_string(bottom) + " " + text + "\n";
}

}  // namespace

// Tile (column c, row r) lies at (50c, 50r). The die at rest says its face; in flight it
// says nothing until it lands.
Image MakeDiceSheet(const Image &table, std::string *said) {
  Image sheet(3 * kTile, 7 * kTile, {255, 255, 255});
  sheet.Paste(TileAt(table, kRestCell), 0, 0);
  if (said) *said = "# The die at rest, face up: dice.bmp, column 0, rows 1 to 6.\n";
  for (int face = 1; face <= 6; ++face) {
    sheet.Paste(DieTile(table, kRestCell, RestPose(face)), 0, face * kTile);
    if (said)
      *said +=
          Said(0, face * kTile, kTile, (face + 1) * kTile, "The die shows " + std::to_string(face));
  }
  for (int i = 0; i < 6; ++i) {
    sheet.Paste(DieTile(table, kTumbleCells[i], TumblePose(i)), kTile, i * kTile);
    sheet.Paste(TileAt(table, kTumbleCells[i]), 2 * kTile, i * kTile);
  }
  return sheet;  // row 6 of columns 1 and 2 stays white
}

// Four rows of 300 x 60; row = player to move + 2 x (opponent is a person). Each name
// owns its half of the row; the highlighted one is the player to move.
Image MakeHeaders(std::string *said) {
  Image sheet(300, 240);
  const char *const nameTexts[3] = {"Player 1", "Computer", "Player 2"};
  if (said) *said = "# The names on headers.bmp, by row: the highlighted one is to move.\n";
  const double size = 27;
  TextMask names[3] = {RenderText("Player 1", size), RenderText("Computer", size),
                       RenderText("Player 2", size)};
  // One baseline for every name, so the two halves line up: the ink of "Player 1" sits in
  // the middle of the band.
  int baseline = 30 + (names[0].baseline - (names[0].inkTop + names[0].inkBottom) / 2);
  for (int row = 0; row < 4; ++row) {
    int mover = row % 2, human = row / 2;
    Image band(300, 60);
    const TextMask *halves[2] = {&names[0], &names[1 + human]};
    const double centres[2] = {75, 231};
    for (int side = 0; side < 2; ++side) {
      const TextMask &t = *halves[side];
      int ox = static_cast<int>(std::floor(centres[side] - (t.inkLeft + t.inkRight) / 2.0 + 0.5));
      int oy = baseline - t.baseline;
      DrawName(band, t, ox, oy, side == mover ? kFrameColour : kIdleColour);
      if (said)
        *said += Said(
            150 * side, 60 * row, 150 * side + 150, 60 * row + 60,
            std::string(nameTexts[side == 0 ? 0 : 1 + human]) + (side == mover ? "|to move" : ""));
    }
    for (int y = 0; y < 60; ++y) {
      band.At(150, y) = kFrameColour;
      band.At(0, y) = {};
    }
    sheet.Paste(band, 0, row * 60);
  }
  return sheet;
}

Image MakeSplash() {
  Image img = MakeSplashBackground();
  // Two dice thrown on the cloth, a six and a five.
  DiePose a;
  a.side = 38;
  a.turn = FaceUp(6, 17);
  a.cx = 110, a.cy = 128;
  DiePose b = a;
  b.turn = FaceUp(5, -11);
  b.cx = 170, b.cy = 133;
  Image withA = img;
  DrawDie(img, withA, 60, 80, 160, 180, a, true);
  img = withA;
  DrawDie(withA, img, 120, 85, 220, 185, b, true);

  // The name in raised gold with a soft shadow on the cloth.
  TextMask title = RenderText("Zant Pig", 54);
  int ox = static_cast<int>(std::floor(140 - (title.inkLeft + title.inkRight) / 2.0 + 0.5));
  int oy = static_cast<int>(std::floor(62 - (title.inkTop + title.inkBottom) / 2.0 + 0.5));
  Mask shadow = BoxBlur(title.mask, 2, 2);
  Mask relief = BoxBlur(title.mask, 1, 2);
  for (int y = 0; y < title.mask.h; ++y)
    for (int x = 0; x < title.mask.w; ++x) {
      int ix = ox + x, iy = oy + y;
      if (ix < 0 || iy < 0 || ix >= img.w || iy >= img.h) continue;
      V3 lin = ToLinear(ToV3(img.At(ix, iy)));
      double s = shadow.Get(x - 3, y - 3);
      lin = lin * (1 - 0.6 * s);
      double a = title.mask.At(x, y);
      if (a > 0) {
        // Slope of the softened letter edge, lit from the upper left.
        double gx = relief.Get(x + 1, y) - relief.Get(x - 1, y);
        double gy = relief.Get(x, y + 1) - relief.Get(x, y - 1);
        double light = Clamp(0.72 - 1.6 * (gx * 0.55 + gy * 0.65), 0.25, 1.25);
        double sheen = 0.85 + 0.3 * (1 - double(y) / title.mask.h);
        V3 gold = ToLinear(V3{238, 198, 102}) * (light * sheen);
        lin = Mix(lin, gold, a);
      }
      img.At(ix, iy) = ToRgb(ToDisplay(lin));
    }

  TextMask thanks = RenderText("Thanks for playing", 15);
  int tx = static_cast<int>(std::floor(140 - (thanks.inkLeft + thanks.inkRight) / 2.0 + 0.5));
  int ty = static_cast<int>(std::floor(174 - (thanks.inkTop + thanks.inkBottom) / 2.0 + 0.5));
  for (int y = 0; y < thanks.mask.h; ++y)
    for (int x = 0; x < thanks.mask.w; ++x) {
      int ix = tx + x, iy = ty + y;
      double a = thanks.mask.At(x, y) * 0.9;
      if (a <= 0 || ix < 0 || iy < 0 || ix >= img.w || iy >= img.h) continue;
      V3 lin = ToLinear(ToV3(img.At(ix, iy)));
      img.At(ix, iy) = ToRgb(ToDisplay(Mix(lin, ToLinear(V3{240, 228, 196}), a)));
    }
  return img;
}

// A die turned to show its top and two sides, on a clear background. Every size is
// drawn afresh. The program's icon fills its square to the edges; an icon theme's
// pictures keep a margin, `margin` of 32 parts on each side.
void MakeIcon(Image &img, Mask &opaque, int size, double margin) {
  img = Image(size, size);
  opaque = Mask(size, size);
  DiePose pose;
  pose.side = 21.5 * size / 32 * (32 - 2 * margin) / 32;
  pose.cx = pose.cy = size / 2.0;
  pose.turn = RotX(Deg(36)) * RotZ(Deg(-42)) * FaceUp(5, 0);
  // Light from high up on the left: a bright top, a half-lit left side and a shaded right.
  pose.keyLight = {-0.9, -0.8, 0.6};
  pose.ambient = 0.6;
  // Large pictures need fewer samples a pixel for smooth edges: up to 64 pixels 8 x 8 of
  // them, at 128 pixels 4 x 4, at 256 3 x 3.
  DrawDieAlone(img, opaque, pose, std::clamp(8 * 64 / size, 3, 8));
}

Image ComposeRest(const Image &table, const Image &dice, int face) {
  Image img = table;
  img.Paste(dice.Crop(0, face * kTile, kTile, kTile), kRestCell.x, kRestCell.y);
  return img;
}

Image ComposeFlight(const Image &table, const Image &dice, int frame) {
  Image img = table;
  img.Paste(dice.Crop(kTile, frame * kTile, kTile, kTile), kTumbleCells[frame].x,
            kTumbleCells[frame].y);
  return img;
}

// Every frame of the throw at once, later frames over earlier ones, and the die at rest.
Image ComposeTrail(const Image &table, const Image &dice) {
  Image img = table;
  for (int i = 0; i < 6; ++i)
    img.Paste(dice.Crop(kTile, i * kTile, kTile, kTile), kTumbleCells[i].x, kTumbleCells[i].y);
  img.Paste(dice.Crop(0, 4 * kTile, kTile, kTile), kRestCell.x, kRestCell.y);
  return img;
}

// The look of the table while the probability tables are worked out: red gone, blue cut
// to its four high bits.
Image BusyTint(const Image &src) {
  Image img = src;
  for (Rgb &c : img.px) c = {0, c.g, static_cast<uint8_t>(c.b & 0xF0)};
  return img;
}

}  // namespace art
