// The art generator: draws the table top, the dice tiles, the header tiles, the splash
// picture and the icon from code, so the pictures can be rebuilt byte for byte.
//
// Everything here is deterministic. Textures come from integer hashes and a seeded
// generator, and the few transcendental functions needed are computed with plain
// arithmetic, so the output does not depend on the C library or the optimiser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

// ---- Small maths ------------------------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;

struct V3 {
  double x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline V3 operator*(V3 a, V3 b) {
  return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline double Dot(V3 a, V3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
double Length(V3 a);
V3 Normalize(V3 a);

double Clamp(double v, double lo, double hi);
double Mix(double a, double b, double t);
V3 Mix(V3 a, V3 b, double t);
double SmoothStep(double e0, double e1, double x);
double Fract(double x);
double Sin(double a);  // radians
double Cos(double a);
double PowInt(double x, int n);
inline double Deg(double degrees) {
  return degrees * kPi / 180.0;
}

// A rotation, stored as rows.
struct Mat3 {
  double m[3][3];
};
Mat3 Identity();
Mat3 RotX(double a);
Mat3 RotY(double a);
Mat3 RotZ(double a);
Mat3 operator*(const Mat3 &a, const Mat3 &b);
V3 operator*(const Mat3 &a, V3 v);
Mat3 Transpose(const Mat3 &a);

// ---- Randomness and noise ------------------------------------------------------------------

uint32_t Hash(int x, int y, uint32_t seed);
double HashUnit(int x, int y, uint32_t seed);  // 0 <= v < 1
double ValueNoise(double x, double y, uint32_t seed);
double Fbm(double x, double y, int octaves, uint32_t seed);  // about 0..1

// splitmix64: a tiny seeded generator for placing things.
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed) {}
  uint64_t Next();
  double Unit();  // 0 <= v < 1
};

// ---- Pictures --------------------------------------------------------------------------------

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb &) const = default;
};

struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  Image() = default;
  Image(int width, int height, Rgb fill = {})
      : w(width), h(height), px(size_t(width) * height, fill) {}
  Rgb &At(int x, int y) { return px[size_t(y) * w + x]; }
  const Rgb &At(int x, int y) const { return px[size_t(y) * w + x]; }
  Image Crop(int x0, int y0, int width, int height) const;
  void Paste(const Image &src, int x0, int y0);
};

// Colours while drawing are doubles in 0..255 (display values); light is mixed in a
// linear space, where a display value v stands for (v / 255) squared.
V3 ToV3(Rgb c);
Rgb ToRgb(V3 c);
V3 ToLinear(V3 display);
V3 ToDisplay(V3 linear);

// A coverage mask, 0..1 per pixel.
struct Mask {
  int w = 0, h = 0;
  std::vector<double> a;
  Mask() = default;
  Mask(int width, int height) : w(width), h(height), a(size_t(width) * height, 0.0) {}
  double &At(int x, int y) { return a[size_t(y) * w + x]; }
  double At(int x, int y) const { return a[size_t(y) * w + x]; }
  double Get(int x, int y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0.0 : At(x, y); }
};
Mask BoxBlur(const Mask &m, int radius, int passes);

bool WriteBmp(const std::string &path, const Image &img);
bool WriteIcon(const std::string &path, const Image &img, const Mask &opaque);
// RGBA, the coverage mask giving each pixel's opacity.
bool WritePng(const std::string &path, const Image &img, const Mask &opaque);

// ---- Text ------------------------------------------------------------------------------------

// A line of text rendered into a mask. The pen starts at (penX, baseline) of the mask.
struct TextMask {
  Mask mask;
  int penX = 0, baseline = 0;
  int inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;  // ink box, right/bottom exclusive
};

// Opens the bold italic serif face; returns false with a message when it is missing.
bool OpenFont(std::string &error);
void CloseFont();
TextMask RenderText(const std::string &text, double pixelSize);

// ---- The pictures ----------------------------------------------------------------------------

// Where the die lands and the six places it passes on its way, as the window shows them.
struct Cell {
  int x, y;
};
constexpr Cell kRestCell = {56, 188};
constexpr Cell kTumbleCells[6] = {{250, 123}, {216, 159}, {186, 220},
                                  {152, 161}, {114, 206}, {71, 166}};
constexpr int kTile = 50;

// The centre of the ring printed on the felt where the die comes to rest.
constexpr double kRestX = 80.0, kRestY = 212.0;

Image MakeTableTop(std::string *said = nullptr);
Image MakeSplashBackground();

// A die in a scene: its size, where it is and how it is turned.
struct DiePose {
  double side = 26;
  double cx = 0, cy = 0;             // centre over the picture, in pixels
  double clearance = 0;              // gap between the die's lowest point and the table
  Mat3 turn = Identity();            // die axes to picture axes
  V3 keyLight = {-0.5, -0.62, 1.0};  // towards the main light
  double ambient = 1.0;              // strength of the room's light besides the main one
  // Motion blur: while the shutter is open the die rolls by blurRoll and spins by blurSpin
  // (degrees, about the picture's vertical and about the upright) and moves by (blurX, blurY).
  double blurRoll = 0, blurSpin = 0, blurX = 0, blurY = 0;
};

// Face f uppermost, then turned by yaw about the vertical.
Mat3 FaceUp(int face, double yaw);

// Draws a die with its shadow over bg (same size as out), inside the given rectangle.
// Pixels that neither die nor shadow reach are copied from bg unchanged.
void DrawDie(const Image &bg, Image &out, int x0, int y0, int x1, int y1, const DiePose &pose,
             bool shadow);
// The die alone, for the icon: its colours and its coverage, from samplesPerSide squared
// samples a pixel.
void DrawDieAlone(Image &out, Mask &coverage, const DiePose &pose, int samplesPerSide = 8);
// Moves the die so that die and shadow sit in the middle of a tile; returns the size of
// the square they need.
int CentreInTile(DiePose &pose);

// The die at rest showing a face, and the die in flight over tumble cell i, placed within
// their tiles.
DiePose RestPose(int face);
DiePose TumblePose(int frame);

// The sheets, and what they say: a line for each string a tile shows, its cell on the
// sheet and the string (after a '|' what its look adds), for a reader of the pictures
// (the resources' BITMAPTEXT of each sheet).
Image MakeDiceSheet(const Image &table, std::string *said = nullptr);
Image MakeHeaders(std::string *said = nullptr);
Image MakeSplash();
// The icon, size x size pixels: the program's own is 32 and fills its square; the ones
// for desktops' icon themes and for the web app (192 and 512, the sizes browsers install
// an app with) keep a margin of kThemeIconMargin in 32 on each side.
void MakeIcon(Image &img, Mask &opaque, int size = 32, double margin = 0);
constexpr int kThemeIconSizes[] = {32, 48, 64, 128, 256, 192, 512};
constexpr double kThemeIconMargin = 2;

// Preview pictures: the table with a die at rest, in flight, and in the busy tint.
Image ComposeRest(const Image &table, const Image &dice, int face);
Image ComposeFlight(const Image &table, const Image &dice, int frame);
Image ComposeTrail(const Image &table, const Image &dice);
Image BusyTint(const Image &img);

}  // namespace art
