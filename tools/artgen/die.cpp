// The die: an ivory cube with rounded edges and painted, dimpled pips, ray-marched as a
// distance field and lit from the upper left, with a soft shadow on whatever it lies on.
//
// Picture axes: x to the right, y down the picture, z up out of the table towards the
// viewer, who looks straight down.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "art.h"

namespace art {

namespace {

// Faces along the die's own axes; opposite faces add up to seven.
//   +z 1, -z 6, +y 2, -y 5, +x 3, -x 4
int FaceValue(int axis, bool positive) {
  static const int kValues[3][2] = {{4, 3}, {5, 2}, {6, 1}};
  return kValues[axis][positive ? 1 : 0];
}

struct Pip {
  double u, v;
};
// Pip places on a face, in steps of the pip spacing from the face's centre.
const std::vector<Pip> &PipLayout(int value) {
  static const std::vector<Pip> kLayouts[7] = {
      {},
      {{0, 0}},
      {{-1, -1}, {1, 1}},
      {{-1, -1}, {0, 0}, {1, 1}},
      {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}},
      {{-1, -1}, {1, -1}, {0, 0}, {-1, 1}, {1, 1}},
      {{-1, -1}, {-1, 0}, {-1, 1}, {1, -1}, {1, 0}, {1, 1}},
  };
  return kLayouts[value];
}

double Get(V3 v, int axis) {
  return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}
void Set(V3 &v, int axis, double value) {
  (axis == 0 ? v.x : (axis == 1 ? v.y : v.z)) = value;
}

// The die's measurements, derived from its side.
struct Shape {
  double half, round, pipR, pipStep, oneR, dimpleDepth;
  explicit Shape(double side)
      : half(side / 2),
        round(side * 0.17),
        pipR(side * 0.088),
        pipStep(side * 0.255),
        oneR(side * 0.125),
        dimpleDepth(side * 0.03) {}
};

// The die at one instant of the shutter.
struct Instant {
  Mat3 toLocal;
  V3 centre;
};

// The face nearest to a point in die coordinates: its axis and side.
void NearestFace(V3 q, int &axis, bool &positive) {
  double ax = std::fabs(q.x), ay = std::fabs(q.y), az = std::fabs(q.z);
  axis = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
  positive = Get(q, axis) >= 0;
}

// The face coordinates of a point: the two axes other than the face's own.
void FaceCoords(V3 q, int axis, double &u, double &v) {
  u = Get(q, (axis + 1) % 3);
  v = Get(q, (axis + 2) % 3);
}

double PipRadius(const Shape &s, int value) {
  return value == 1 ? s.oneR : s.pipR;
}

double DieDistance(const Shape &s, V3 q) {
  double inner = s.half - s.round;
  V3 a = {std::fabs(q.x) - inner, std::fabs(q.y) - inner, std::fabs(q.z) - inner};
  V3 m = {std::max(a.x, 0.0), std::max(a.y, 0.0), std::max(a.z, 0.0)};
  double box = Length(m) + std::min(std::max(a.x, std::max(a.y, a.z)), 0.0) - s.round;
  if (box > 2.0) return box;
  // The pips are shallow spherical dimples cut into the nearest face.
  int axis;
  bool positive;
  NearestFace(q, axis, positive);
  int value = FaceValue(axis, positive);
  double pipR = PipRadius(s, value), depth = s.dimpleDepth * pipR / s.pipR;
  double sphereR = (pipR * pipR + depth * depth) / (2 * depth);
  double along = (s.half + sphereR - depth) * (positive ? 1 : -1);
  double dimple = 1e9;
  for (const Pip &p : PipLayout(value)) {
    V3 c;
    Set(c, axis, along);
    Set(c, (axis + 1) % 3, p.u * s.pipStep);
    Set(c, (axis + 2) % 3, p.v * s.pipStep);
    dimple = std::min(dimple, Length(q - c) - sphereR);
  }
  return std::max(box, -dimple);
}

// True when a point on the die's surface lies in a painted pip.
bool InPip(const Shape &s, V3 q) {
  int axis;
  bool positive;
  NearestFace(q, axis, positive);
  int value = FaceValue(axis, positive);
  double u, v, r = PipRadius(s, value) * 1.02;
  FaceCoords(q, axis, u, v);
  for (const Pip &p : PipLayout(value)) {
    double du = u - p.u * s.pipStep, dv = v - p.v * s.pipStep;
    if (du * du + dv * dv < r * r) return true;
  }
  return false;
}

const V3 kFillLight = Normalize({0.7, 0.55, 0.45});
const V3 kShadowLight = Normalize({-0.15, -0.19, 1.0});
const V3 kView = {0, 0, 1};
const V3 kIvory = ToLinear({244, 238, 224});
const V3 kPipPaint = ToLinear({22, 22, 30});

class DieRenderer {
 public:
  DieRenderer(const DiePose &pose, int samplesPerSide)
      : pose_(pose), shape_(pose.side), n_(samplesPerSide), key_(Normalize(pose.keyLight)) {
    int count = n_ * n_;
    bool moving = pose.blurRoll != 0 || pose.blurSpin != 0 || pose.blurX != 0 || pose.blurY != 0;
    for (int k = 0; k < count; ++k) {
      // Shutter times are spread over the samples in a scrambled order, so that
      // neighbouring samples of a pixel see the die at different moments.
      double tau = moving ? ((k * 13) % count + 0.5) / count - 0.5 : 0.0;
      instants_.push_back(At(tau));
    }
    shadowTimes_ = moving ? 6 : 1;
    double inner = shape_.half - shape_.round;
    bound_ = std::sqrt(3.0) * inner + shape_.round + 0.01;
    // How far from the die's centre die, blur and shadow can reach across the table.
    double lift = instants_[0].centre.z + bound_;
    reach_ = bound_ + std::fabs(pose.blurX) + std::fabs(pose.blurY) + lift * 0.3 + 14;
  }

  // The die's colour (linear) where the sample ray down through (x, y) meets it.
  bool Trace(int k, double x, double y, V3 &colour) const {
    const Instant &in = instants_[k];
    double dx = x - in.centre.x, dy = y - in.centre.y;
    double d2 = dx * dx + dy * dy;
    if (d2 >= bound_ * bound_) return false;
    double span = std::sqrt(bound_ * bound_ - d2);
    double top = in.centre.z + span, bottom = in.centre.z - span;
    double z = top;
    for (int i = 0; i < 120 && z > bottom; ++i) {
      V3 p = {x, y, z};
      double d = Distance(in, p);
      if (d < 1e-4) {
        colour = Shade(in, p);
        return true;
      }
      z -= d;
    }
    return false;
  }

  // How much of the light the die takes from the table at (x, y): 0 none, up to 0.85.
  double Darkening(double x, double y) const {
    double sum = 0;
    for (int j = 0; j < shadowTimes_; ++j) {
      const Instant &in = instants_[j * (n_ * n_) / shadowTimes_];
      V3 p = {x, y, 0};
      double direct = 1.0 - SoftShadow(in, p);
      double occlusion = 0;
      for (int i = 1; i <= 4; ++i) {
        double h = 1.4 * i;
        occlusion += std::max(0.0, h - Distance(in, {x, y, h})) / (1 << (i - 1));
      }
      sum += 0.6 * direct + Clamp(occlusion * 0.22, 0.0, 0.4);
    }
    double dark = std::min(0.85, sum / shadowTimes_);
    return dark < 0.02 ? 0.0 : dark;
  }

  bool Near(double x, double y) const {
    double dx = x - pose_.cx, dy = y - pose_.cy;
    return dx * dx + dy * dy < reach_ * reach_;
  }

  int Samples() const { return n_; }

 private:
  Instant At(double tau) const {
    Mat3 turn = RotZ(Deg(tau * pose_.blurSpin)) * RotY(Deg(tau * pose_.blurRoll)) * pose_.turn;
    double inner = shape_.half - shape_.round;
    // Height of the centre so that the lowest point of the die clears the table.
    double below =
        inner * (std::fabs(turn.m[2][0]) + std::fabs(turn.m[2][1]) + std::fabs(turn.m[2][2])) +
        shape_.round;
    Instant in;
    in.toLocal = Transpose(turn);
    in.centre = {pose_.cx + tau * pose_.blurX, pose_.cy + tau * pose_.blurY,
                 pose_.clearance + below};
    return in;
  }

  double Distance(const Instant &in, V3 p) const {
    return DieDistance(shape_, in.toLocal * (p - in.centre));
  }

  V3 Shade(const Instant &in, V3 p) const {
    const double e = 0.01;
    V3 n = Normalize({Distance(in, p + V3{e, 0, 0}) - Distance(in, p - V3{e, 0, 0}),
                      Distance(in, p + V3{0, e, 0}) - Distance(in, p - V3{0, e, 0}),
                      Distance(in, p + V3{0, 0, e}) - Distance(in, p - V3{0, 0, e})});
    bool pip = InPip(shape_, in.toLocal * (p - in.centre));
    V3 albedo = pip ? kPipPaint : kIvory;
    double key = std::max(0.0, Dot(n, key_));
    double fill = std::max(0.0, Dot(n, kFillLight));
    double sky = 0.5 + 0.5 * n.z;
    V3 colour = albedo * ((0.16 + 0.22 * sky + 0.12 * fill) * pose_.ambient + 0.78 * key);
    V3 half = Normalize(key_ + kView);
    double gloss = PowInt(std::max(0.0, Dot(n, half)), 48) * (pip ? 0.45 : 0.3);
    return colour + V3{gloss, gloss, gloss};
  }

  // Light reaching a table point past the die, softened by the distance to the die.
  double SoftShadow(const Instant &in, V3 p) const {
    double res = 1.0, t = 0.3;
    double ceiling = in.centre.z + bound_;
    for (int i = 0; i < 96; ++i) {
      V3 q = p + kShadowLight * t;
      if (q.z > ceiling) break;
      double h = Distance(in, q);
      if (h < 1e-3) return 0.0;
      res = std::min(res, 7.0 * h / t);
      t += Clamp(h, 0.15, 5.0);
    }
    res = Clamp(res, 0.0, 1.0);
    return res * res * (3 - 2 * res);
  }

  DiePose pose_;
  Shape shape_;
  int n_;
  V3 key_;
  std::vector<Instant> instants_;
  int shadowTimes_;
  double bound_, reach_;
};

}  // namespace

Mat3 FaceUp(int face, double yaw) {
  Mat3 up = Identity();
  switch (face) {
    case 6:
      up = RotX(Deg(180));
      break;
    case 2:
      up = RotX(Deg(90));
      break;
    case 5:
      up = RotX(Deg(-90));
      break;
    case 3:
      up = RotY(Deg(-90));
      break;
    case 4:
      up = RotY(Deg(90));
      break;
    default:
      break;
  }
  return RotZ(Deg(yaw)) * up;
}

void DrawDie(const Image &bg, Image &out, int x0, int y0, int x1, int y1, const DiePose &pose,
             bool shadow) {
  DieRenderer die(pose, 6);
  int n = die.Samples();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      out.At(x, y) = bg.At(x, y);
      if (!die.Near(x + 0.5, y + 0.5)) continue;
      double dark = shadow ? die.Darkening(x + 0.5, y + 0.5) : 0.0;
      V3 sum{};
      int hits = 0;
      for (int k = 0; k < n * n; ++k) {
        V3 c;
        if (die.Trace(k, x + (k % n + 0.5) / n, y + (k / n + 0.5) / n, c)) {
          sum = sum + c;
          ++hits;
        }
      }
      if (hits == 0 && dark == 0) continue;  // untouched table stays exactly as it was
      V3 table = ToLinear(ToV3(bg.At(x, y))) * (1.0 - dark);
      V3 mixed = (sum + table * double(n * n - hits)) * (1.0 / (n * n));
      out.At(x, y) = ToRgb(ToDisplay(mixed));
    }
}

void DrawDieAlone(Image &out, Mask &coverage, const DiePose &pose, int samplesPerSide) {
  DieRenderer die(pose, samplesPerSide);
  int n = die.Samples();
  const V3 edge = ToLinear({40, 34, 30});
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) {
      V3 sum{};
      int hits = 0;
      for (int k = 0; k < n * n; ++k) {
        V3 c;
        if (die.Trace(k, x + (k % n + 0.5) / n, y + (k / n + 0.5) / n, c)) {
          sum = sum + c;
          ++hits;
        }
      }
      double cover = double(hits) / (n * n);
      coverage.At(x, y) = cover;
      // Edge pixels darken towards an outline, which reads on light and dark desktops.
      out.At(x, y) = ToRgb(ToDisplay((sum + edge * double(n * n - hits)) * (1.0 / (n * n))));
    }
}

int CentreInTile(DiePose &pose) {
  const int size = 110;
  Image bg(size, size, {255, 255, 255}), out(size, size);
  DiePose trial = pose;
  trial.cx = trial.cy = size / 2.0;
  DrawDie(bg, out, 0, 0, size, size, trial, true);
  int left = size, top = size, right = -1, bottom = -1;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (!(out.At(x, y) == bg.At(x, y))) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  double midX = (left + right + 1) / 2.0, midY = (top + bottom + 1) / 2.0;
  pose.cx = kTile / 2.0 + std::floor(trial.cx - midX + 0.5);
  pose.cy = kTile / 2.0 + std::floor(trial.cy - midY + 0.5);
  int need = std::max(right - left + 1, bottom - top + 1);
  if (need > kTile - 4)
    std::fprintf(stderr, "zantpig-artgen: a die needs %d pixels of its tile\n", need);
  return need;
}

DiePose RestPose(int face) {
  DiePose pose;
  pose.side = 26;
  pose.turn = FaceUp(face, -8);
  CentreInTile(pose);
  return pose;
}

// The throw: the die comes in high over the right rail, bounces on an edge at cells 2 and
// 4, and is nearly flat at cell 5, rolling over towards the left all the way.
DiePose TumblePose(int frame) {
  static const double kClearance[6] = {12, 6, 1.0, 6, 1.0, 2.5};
  static const double kRoll[6] = {-32, -80, -135, -196, -246, -290};
  static const double kTilt[6] = {18, -12, 20, -14, 9, -5};
  static const double kSpin[6] = {12, 26, 40, 54, 66, 75};
  DiePose pose;
  pose.clearance = kClearance[frame];
  pose.side = 25 * (1 + 0.008 * pose.clearance);
  pose.turn = RotZ(Deg(kSpin[frame])) * RotX(Deg(kTilt[frame])) * RotY(Deg(kRoll[frame]));
  // Blur along the way to the next place.
  Cell from = kTumbleCells[frame], to = frame < 5 ? kTumbleCells[frame + 1] : kRestCell;
  double dx = to.x - from.x, dy = to.y - from.y, len = std::sqrt(dx * dx + dy * dy);
  pose.blurX = 2.5 * dx / len;
  pose.blurY = 2.5 * dy / len;
  pose.blurRoll = -7;
  pose.blurSpin = 3;
  CentreInTile(pose);
  return pose;
}

}  // namespace art
