// Maths, noise, pictures and the BMP, icon and PNG writers of the art generator.
#include <zlib.h>

#include <cmath>
#include <cstdio>

#include "art.h"

namespace art {

double Length(V3 a) {
  return std::sqrt(Dot(a, a));
}

V3 Normalize(V3 a) {
  double len = Length(a);
  return len > 0 ? a * (1.0 / len) : a;
}

double Clamp(double v, double lo, double hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}
double Mix(double a, double b, double t) {
  return a + (b - a) * t;
}
V3 Mix(V3 a, V3 b, double t) {
  return a + (b - a) * t;
}

double SmoothStep(double e0, double e1, double x) {
  double t = Clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

double Fract(double x) {
  return x - std::floor(x);
}

// Sine and cosine by Taylor series on a quarter turn: plain arithmetic, so every build
// computes the same bits.
static double SinSmall(double x) {
  double x2 = x * x;
  return x *
         (1 -
          x2 / 6 * (1 - x2 / 20 * (1 - x2 / 42 * (1 - x2 / 72 * (1 - x2 / 110 * (1 - x2 / 156))))));
}
static double CosSmall(double x) {
  double x2 = x * x;
  return 1 -
         x2 / 2 * (1 - x2 / 12 * (1 - x2 / 30 * (1 - x2 / 56 * (1 - x2 / 90 * (1 - x2 / 132)))));
}
static void SinCos(double a, double &s, double &c) {
  double q = std::floor(a / (kPi / 2) + 0.5);
  double r = a - q * (kPi / 2);
  long long k = static_cast<long long>(q) % 4;
  if (k < 0) k += 4;
  double sr = SinSmall(r), cr = CosSmall(r);
  switch (k) {
    case 0:
      s = sr, c = cr;
      break;
    case 1:
      s = cr, c = -sr;
      break;
    case 2:
      s = -sr, c = -cr;
      break;
    default:
      s = -cr, c = sr;
      break;
  }
}
double Sin(double a) {
  double s, c;
  SinCos(a, s, c);
  return s;
}
double Cos(double a) {
  double s, c;
  SinCos(a, s, c);
  return c;
}

double PowInt(double x, int n) {
  double r = 1.0;
  while (n > 0) {
    if (n & 1) r *= x;
    x *= x;
    n >>= 1;
  }
  return r;
}

Mat3 Identity() {
  return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}
Mat3 RotX(double a) {
  double s = Sin(a), c = Cos(a);
  return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}
Mat3 RotY(double a) {
  double s = Sin(a), c = Cos(a);
  return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}
Mat3 RotZ(double a) {
  double s = Sin(a), c = Cos(a);
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}
Mat3 operator*(const Mat3 &a, const Mat3 &b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}
V3 operator*(const Mat3 &a, V3 v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
          a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}
Mat3 Transpose(const Mat3 &a) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[j][i];
  return r;
}

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^
               static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

double HashUnit(int x, int y, uint32_t seed) {
  return (Hash(x, y, seed) >> 8) * (1.0 / 16777216.0);
}

double ValueNoise(double x, double y, uint32_t seed) {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  double tx = x - fx, ty = y - fy;
  // Quintic fade: smooth in value and slope across lattice lines.
  tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
  ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
  double a = HashUnit(ix, iy, seed), b = HashUnit(ix + 1, iy, seed);
  double c = HashUnit(ix, iy + 1, seed), d = HashUnit(ix + 1, iy + 1, seed);
  return Mix(Mix(a, b, tx), Mix(c, d, tx), ty);
}

double Fbm(double x, double y, int octaves, uint32_t seed) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * ValueNoise(x, y, seed + 101u * i);
    norm += amp;
    x = x * 2.03 + 17.1;
    y = y * 2.03 + 5.7;
    amp *= 0.5;
  }
  return sum / norm;
}

uint64_t Rng::Next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
double Rng::Unit() {
  return (Next() >> 11) * (1.0 / 9007199254740992.0);
}

Image Image::Crop(int x0, int y0, int width, int height) const {
  Image out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.At(x, y) = At(x0 + x, y0 + y);
  return out;
}

void Image::Paste(const Image &src, int x0, int y0) {
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < src.w; ++x) At(x0 + x, y0 + y) = src.At(x, y);
}

V3 ToV3(Rgb c) {
  return {double(c.r), double(c.g), double(c.b)};
}

Rgb ToRgb(V3 c) {
  auto q = [](double v) { return static_cast<uint8_t>(std::floor(Clamp(v, 0.0, 255.0) + 0.5)); };
  return {q(c.x), q(c.y), q(c.z)};
}

V3 ToLinear(V3 d) {
  V3 n = d * (1.0 / 255.0);
  return n * n;
}

V3 ToDisplay(V3 l) {
  return V3{std::sqrt(Clamp(l.x, 0, 1)), std::sqrt(Clamp(l.y, 0, 1)), std::sqrt(Clamp(l.z, 0, 1))} *
         255.0;
}

Mask BoxBlur(const Mask &m, int radius, int passes) {
  Mask cur = m;
  for (int p = 0; p < passes; ++p) {
    Mask tmp(cur.w, cur.h), out(cur.w, cur.h);
    double inv = 1.0 / (2 * radius + 1);
    for (int y = 0; y < cur.h; ++y)
      for (int x = 0; x < cur.w; ++x) {
        double s = 0;
        for (int k = -radius; k <= radius; ++k) s += cur.Get(x + k, y);
        tmp.At(x, y) = s * inv;
      }
    for (int y = 0; y < cur.h; ++y)
      for (int x = 0; x < cur.w; ++x) {
        double s = 0;
        for (int k = -radius; k <= radius; ++k) s += tmp.Get(x, y + k);
        out.At(x, y) = s * inv;
      }
    cur = out;
  }
  return cur;
}

// ---- Files ------------------------------------------------------------------------------------

static void Put16(std::vector<uint8_t> &b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
static void Put32(std::vector<uint8_t> &b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// BITMAPINFOHEADER for a 24-bit picture, followed by its rows, bottom row first, each row
// padded to a multiple of four bytes.
static void PutDib(std::vector<uint8_t> &b, const Image &img, int headerHeight) {
  uint32_t stride = (img.w * 3 + 3) & ~3u;
  Put32(b, 40);
  Put32(b, img.w);
  Put32(b, headerHeight);
  Put16(b, 1);   // planes
  Put16(b, 24);  // bits per pixel
  Put32(b, 0);   // BI_RGB
  Put32(b, stride * img.h);
  Put32(b, 2835);  // 72 dots per inch
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb &c = img.At(x, y);
      b.push_back(c.b);
      b.push_back(c.g);
      b.push_back(c.r);
    }
    for (uint32_t k = img.w * 3; k < stride; ++k) b.push_back(0);
  }
}

static bool WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteBmp(const std::string &path, const Image &img) {
  std::vector<uint8_t> b;
  uint32_t stride = (img.w * 3 + 3) & ~3u;
  uint32_t offset = 14 + 40;
  b.push_back('B');
  b.push_back('M');
  Put32(b, offset + stride * img.h);
  Put32(b, 0);
  Put32(b, offset);
  PutDib(b, img, img.h);
  return WriteFile(path, b);
}

// An icon file with one 24-bit image: the colour rows, then the 1-bit mask in which a set
// bit lets the background show through.
bool WriteIcon(const std::string &path, const Image &img, const Mask &opaque) {
  std::vector<uint8_t> dib;
  Image colours = img;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x)
      if (opaque.At(x, y) < 0.5) colours.At(x, y) = {};
  PutDib(dib, colours, img.h * 2);
  uint32_t maskStride = ((img.w + 31) / 32) * 4;
  for (int y = img.h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < img.w; ++x)
      if (opaque.At(x, y) < 0.5) row[x / 8] |= 0x80 >> (x % 8);
    dib.insert(dib.end(), row.begin(), row.end());
  }
  std::vector<uint8_t> b;
  Put16(b, 0);  // reserved
  Put16(b, 1);  // an icon
  Put16(b, 1);  // one image
  b.push_back(static_cast<uint8_t>(img.w));
  b.push_back(static_cast<uint8_t>(img.h));
  b.push_back(0);  // no palette
  b.push_back(0);
  Put16(b, 1);   // planes
  Put16(b, 24);  // bits per pixel
  Put32(b, dib.size());
  Put32(b, 6 + 16);
  b.insert(b.end(), dib.begin(), dib.end());
  return WriteFile(path, b);
}

// A PNG file: 8-bit RGBA rows (each led by filter type 0, none), deflated at zlib's
// best level, so the same picture always gives the same bytes.
bool WritePng(const std::string &path, const Image &img, const Mask &opaque) {
  auto put32 = [](std::vector<uint8_t> &b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back((v >> shift) & 0xFF);
  };
  auto chunk = [&](std::vector<uint8_t> &b, const char *type, const std::vector<uint8_t> &data) {
    put32(b, data.size());
    size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    put32(b, crc32(0, b.data() + start, b.size() - start));
  };
  std::vector<uint8_t> rows;
  for (int y = 0; y < img.h; ++y) {
    rows.push_back(0);
    for (int x = 0; x < img.w; ++x) {
      const Rgb &c = img.At(x, y);
      double a = std::floor(Clamp(opaque.At(x, y), 0.0, 1.0) * 255 + 0.5);
      rows.insert(rows.end(), {c.r, c.g, c.b, static_cast<uint8_t>(a)});
    }
  }
  uLongf packedSize = compressBound(rows.size());
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, rows.data(), rows.size(), Z_BEST_COMPRESSION) != Z_OK)
    return false;
  packed.resize(packedSize);

  std::vector<uint8_t> header;
  put32(header, img.w);
  put32(header, img.h);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, plain
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  chunk(b, "IHDR", header);
  chunk(b, "IDAT", packed);
  chunk(b, "IEND", {});
  return WriteFile(path, b);
}

}  // namespace art
