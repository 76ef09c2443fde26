#include "Models.h"

#include <cmath>
#include <vector>

namespace models {

using mesh::Axis;
using mesh::MeshBuilder;
using mesh::ProfilePoint;
using mesh::Vec3;
using mesh::Vertex;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Ground: the tank roams +-400 m and the node scales the mesh by 10.
constexpr double kGroundHalfSize = 50.0;  // units before scaling
constexpr int kGroundCells = 20;          // per side
constexpr double kSandTile = 0.625;       // units per texture repeat: 6.25 m after scaling

// Hull: sits between the tracks, whose inner faces are at |x| = 1.4.
constexpr double kHullHalfWidth = 1.25;    // m
constexpr double kFenderHalfWidth = 1.35;  // m
constexpr double kDeckHeight = 2.0;        // m, where the turret node stands
constexpr double kCamoTile = 3.0;          // m per texture repeat on hull, turret and gun

// Track: a stadium loop of shoes round two end centres.
constexpr double kTrackHalfWidth = 0.3;       // m
constexpr double kTrackEndCentre = 2.35;      // m, z of the two end centres
constexpr double kTrackInnerRadius = 0.43;    // m
constexpr double kTrackLinkRadius = 0.51;     // m, outer face between grousers
constexpr double kTrackGrouserRadius = 0.55;  // m, outer face of a grouser
constexpr int kTrackShoes = 56;
constexpr int kSamplesPerShoe = 4;
constexpr double kTrackTile = 0.6;           // m per texture repeat on the end wheels
constexpr double kSprocketRadius = 0.40;     // m, end wheels inside the loop
constexpr double kSprocketHalfWidth = 0.22;  // m

// Road wheel: the rig lets its centre ride 0.1317 m above the ground.
constexpr double kWheelRadius = 0.13;     // m
constexpr double kWheelHalfWidth = 0.25;  // m
constexpr int kWheelSegments = 20;
constexpr double kMetalTile = 0.5;  // m per texture repeat

// Gun: the node sits 2.2 m ahead of the elevation pivot.
constexpr double kPivotBehindNode = 2.2;  // m
constexpr int kBarrelSegments = 16;

}  // namespace

MeshBuilder ground() {
  MeshBuilder m(kSandTile);
  const double step = 2.0 * kGroundHalfSize / kGroundCells;
  for (int i = 0; i < kGroundCells; ++i) {
    for (int j = 0; j < kGroundCells; ++j) {
      const double x0 = -kGroundHalfSize + i * step, x1 = x0 + step;
      const double z0 = -kGroundHalfSize + j * step, z1 = z0 + step;
      m.addPolygon({{x0, 0, z0}, {x1, 0, z0}, {x1, 0, z1}, {x0, 0, z1}}, {0, 1, 0});
    }
  }
  return m;
}

MeshBuilder chassis() {
  MeshBuilder m(kCamoTile);
  // Side profile (z, y): sloped rear, flat belly, short lower nose, long upper glacis, deck.
  const std::vector<Vec3> hull = {{0, 0.85, -3.2},        {0, 0.45, -2.9}, {0, 0.45, 2.55},
                                  {0, 1.05, 3.3},         {0, 1.2, 3.3},   {0, kDeckHeight, 2.0},
                                  {0, kDeckHeight, -3.0}, {0, 1.8, -3.2}};
  m.addPrismX(hull, -kHullHalfWidth, kHullHalfWidth);
  // Fender plates along both sides, over the inner edge of the tracks.
  for (double side : {-1.0, 1.0}) {
    const double xIn = side * kHullHalfWidth, xOut = side * kFenderHalfWidth;
    m.addBox({std::min(xIn, xOut), 1.22, -3.2}, {std::max(xIn, xOut), 1.3, 3.1});
  }
  // Engine deck grille and exhaust boxes at the rear.
  m.addBox({-1.0, kDeckHeight, -2.9}, {1.0, kDeckHeight + 0.08, -1.9});
  for (double side : {-1.0, 1.0}) {
    m.addBox({side * 0.7 - 0.18, 1.35, -3.3}, {side * 0.7 + 0.18, 1.6, -3.15});
  }
  // Headlights and tow hooks on the nose.
  for (double side : {-1.0, 1.0}) {
    m.addLathe(Axis::kZ, {side * 1.0, 1.3, 3.1}, {{0.0, 0.0}, {0.0, 0.08}, {0.2, 0.08}, {0.2, 0.0}},
               10);
    m.addBox({side * 0.8 - 0.08, 0.7, 2.85}, {side * 0.8 + 0.08, 0.82, 3.25});  // tow hooks
  }
  return m;
}

MeshBuilder track() {
  MeshBuilder m(kTrackTile);
  // Walk round the loop at even steps of arc length on a middle radius; at each step the loop
  // has a centre point on the line between the end centres and an outward direction.
  const double midRadius = 0.5 * (kTrackInnerRadius + kTrackLinkRadius);
  const double straight = 2.0 * kTrackEndCentre;
  const double loopLength = 2.0 * straight + 2.0 * kPi * midRadius;
  const int samples = kTrackShoes * kSamplesPerShoe;
  struct Sample {
    Vec3 centre, out;
    double s;
  };
  std::vector<Sample> ring(samples + 1);
  for (int i = 0; i <= samples; ++i) {
    const double s = loopLength * i / samples;
    Sample& r = ring[i];
    r.s = s;
    const double arc = kPi * midRadius;
    if (s < straight) {  // top run, front to back
      r.centre = {0, 0, kTrackEndCentre - s};
      r.out = {0, 1, 0};
    } else if (s < straight + arc) {  // rear end
      const double a = (s - straight) / midRadius;
      r.centre = {0, 0, -kTrackEndCentre};
      r.out = {0, std::cos(a), -std::sin(a)};
    } else if (s < 2.0 * straight + arc) {  // bottom run, back to front
      r.centre = {0, 0, -kTrackEndCentre + (s - straight - arc)};
      r.out = {0, -1, 0};
    } else {  // front end
      const double a = (s - 2.0 * straight - arc) / midRadius;
      r.centre = {0, 0, kTrackEndCentre};
      r.out = {0, -std::cos(a), std::sin(a)};
    }
  }
  // Each shoe: link, rising grouser flank, grouser face, falling flank.
  auto outerRadius = [](int i) {
    const int phase = i % kSamplesPerShoe;
    return (phase == 1 || phase == 2) ? kTrackGrouserRadius : kTrackLinkRadius;
  };
  // The texture holds kTrackShoesPerTexture plates along v, their seams at the links.
  const double vPerMetre = kTrackShoes / (kTrackShoesPerTexture * loopLength);
  const double hw = kTrackHalfWidth;
  for (int i = 0; i < samples; ++i) {
    const Sample& a = ring[i];
    const Sample& b = ring[i + 1];
    const double ra = outerRadius(i), rb = outerRadius(i + 1);
    const Vec3 ao = a.centre + a.out * ra, bo = b.centre + b.out * rb;
    const Vec3 ai = a.centre + a.out * kTrackInnerRadius, bi = b.centre + b.out * kTrackInnerRadius;
    const double va = a.s * vPerMetre, vb = b.s * vPerMetre;
    const Vec3 out = (a.out + b.out) * 0.5;
    const Vertex o0{ao + Vec3{-hw, 0, 0}, 0, va}, o1{ao + Vec3{hw, 0, 0}, 1, va};
    const Vertex o2{bo + Vec3{hw, 0, 0}, 1, vb}, o3{bo + Vec3{-hw, 0, 0}, 0, vb};
    m.addTriangle(o0, o1, o2, out);
    m.addTriangle(o0, o2, o3, out);
    const Vertex i0{ai + Vec3{-hw, 0, 0}, 0, va}, i1{ai + Vec3{hw, 0, 0}, 1, va};
    const Vertex i2{bi + Vec3{hw, 0, 0}, 1, vb}, i3{bi + Vec3{-hw, 0, 0}, 0, vb};
    m.addTriangle(i0, i1, i2, out * -1.0);
    m.addTriangle(i0, i2, i3, out * -1.0);
    // Sides show the plates' edges: u runs from the inner face out to the grouser.
    const double span = kTrackGrouserRadius - kTrackInnerRadius;
    const double ua = (ra - kTrackInnerRadius) / span, ub = (rb - kTrackInnerRadius) / span;
    for (double side : {-1.0, 1.0}) {
      const Vec3 dx{side * hw, 0, 0}, normal{side, 0, 0};
      const Vertex s0{ai + dx, 0, va}, s1{ao + dx, ua, va}, s2{bo + dx, ub, vb}, s3{bi + dx, 0, vb};
      m.addTriangle(s0, s1, s2, normal);
      m.addTriangle(s0, s2, s3, normal);
    }
  }
  // Drive sprocket and idler inside the two ends of the loop.
  for (double end : {-1.0, 1.0}) {
    m.addLathe(Axis::kX, {0, 0, end * kTrackEndCentre},
               {{-kSprocketHalfWidth, 0.0},
                {-kSprocketHalfWidth, 0.12},
                {-kSprocketHalfWidth + 0.06, 0.14},
                {-kSprocketHalfWidth + 0.06, 0.32},
                {-kSprocketHalfWidth, kSprocketRadius},
                {kSprocketHalfWidth, kSprocketRadius},
                {kSprocketHalfWidth - 0.06, 0.32},
                {kSprocketHalfWidth - 0.06, 0.14},
                {kSprocketHalfWidth, 0.12},
                {kSprocketHalfWidth, 0.0}},
               16);
  }
  return m;
}

MeshBuilder wheel() {
  MeshBuilder m(kMetalTile);
  // A twin road wheel: two rubber-tyred discs with dished faces round a short axle, so that
  // the track's guide horns would run between them.
  const double w = kWheelHalfWidth, r = kWheelRadius;
  m.addLathe(
      Axis::kX, {0, 0, 0},
      {{-w, 0.0},          {-w, 0.035},                       // hub cap
       {-w + 0.03, 0.045},                                    // into the dish
       {-w + 0.03, 0.095}, {-w, 0.105},                       // tyre lip
       {-w, r - 0.01},     {-w + 0.01, r},                    // rolling face
       {-0.06, r},         {-0.05, r - 0.02}, {-0.05, 0.06},  // gap between the discs
       {0.05, 0.06},       {0.05, r - 0.02},  {0.06, r},         {w - 0.01, r}, {w, r - 0.01},
       {w, 0.105},         {w - 0.03, 0.095}, {w - 0.03, 0.045}, {w, 0.035},    {w, 0.0}},
      kWheelSegments);
  return m;
}

MeshBuilder turret() {
  MeshBuilder m(kCamoTile);
  // Faceted body: a wedge-fronted octagon on the deck, its sides leaning inwards.
  const std::vector<Vec3> base = {{0.9, 0, 2.1},   {1.3, 0, 1.4},   {1.3, 0, -1.0}, {1.0, 0, -1.4},
                                  {-1.0, 0, -1.4}, {-1.3, 0, -1.0}, {-1.3, 0, 1.4}, {-0.9, 0, 2.1}};
  const std::vector<Vec3> roof = {{0.7, 0, 1.8},    {1.1, 0, 1.25},    {1.1, 0, -0.9},
                                  {0.85, 0, -1.25}, {-0.85, 0, -1.25}, {-1.1, 0, -0.9},
                                  {-1.1, 0, 1.25},  {-0.7, 0, 1.8}};
  constexpr double kRoofHeight = 0.75;  // m
  m.addLoft(base, 0.0, roof, kRoofHeight);
  // Commander's cupola with its hatch, loader's hatch, and a stowage box on the rear.
  m.addLathe(Axis::kY, {-0.5, kRoofHeight, -0.4},
             {{0.0, 0.0}, {0.0, 0.36}, {0.22, 0.33}, {0.22, 0.28}, {0.28, 0.26}, {0.3, 0.0}}, 16);
  m.addLathe(Axis::kY, {0.5, kRoofHeight, -0.3},
             {{0.0, 0.0}, {0.0, 0.3}, {0.06, 0.28}, {0.08, 0.0}}, 12);
  m.addBox({-0.8, 0.15, -1.75}, {0.8, 0.6, -1.3});
  // Periscope heads on the roof, ahead of the hatches.
  for (double side : {-1.0, 1.0}) {
    m.addBox({side * 0.55 - 0.1, kRoofHeight, 0.5}, {side * 0.55 + 0.1, kRoofHeight + 0.12, 0.65});
  }
  return m;
}

MeshBuilder canon() {
  MeshBuilder m(kCamoTile);
  // Mantlet round the pivot, half sunk into the turret front.
  const double pivot = -kPivotBehindNode;
  m.addBox({-0.45, -0.3, pivot - 0.4}, {0.45, 0.3, pivot + 0.3});
  // Barrel from the mantlet to the muzzle, 3 m ahead of the node, with a fume extractor and a
  // hollow bore at the muzzle.
  m.addLathe(Axis::kZ, {0, 0, 0},
             {{pivot + 0.25, 0.0},
              {pivot + 0.25, 0.16},
              {-1.0, 0.16},
              {0.3, 0.13},
              {0.4, 0.175},
              {1.2, 0.175},
              {1.3, 0.125},
              {2.8, 0.12},
              {2.8, 0.135},
              {3.0, 0.135},
              {3.0, 0.06},
              {2.6, 0.06},
              {2.6, 0.0}},
             kBarrelSegments);
  return m;
}

}  // namespace models
