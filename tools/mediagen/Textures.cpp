#include "Textures.h"

#include <irrlicht.h>

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace textures {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr irr::u32 kJpegQuality = 90;  // percent; high enough that the grain survives

using noise::fbm2;
using noise::hash;
using noise::smoothstep;
using noise::unit;

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb c, double s) { return {c.r * s, c.g * s, c.b * s}; }

// Per-pixel grain in [-0.5, 0.5).
double grain(int x, int y, uint32_t seed) { return unit(hash(x, y, 0, seed)) - 0.5; }

}  // namespace

Image sand(int size) {
  Image img(size, size);
  const Rgb light{0.80, 0.69, 0.49}, dark{0.66, 0.54, 0.37};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      const double broad = fbm2(u * 4, v * 4, 4, 4, 5, 11);
      const double warp = fbm2(u * 3, v * 3, 3, 3, 3, 12);
      // Wind ripples along a whole-number direction, so that they run on across the tile edge.
      const double ripple = std::sin(2.0 * kPi * (7.0 * u + 3.0 * v) + 2.5 * warp);
      const double speckle = fbm2(u * 48, v * 48, 48, 48, 2, 13);
      Rgb c = mix(dark, light, 0.55 + 0.35 * broad);
      // Ripples come and go across the tile, so that its repeats do not line up into stripes.
      const double rippleStrength = 0.035 * smoothstep(-0.3, 0.5, fbm2(u * 2, v * 2, 2, 2, 3, 15));
      c = scale(c, 1.0 + rippleStrength * ripple + 0.05 * speckle + 0.10 * grain(x, y, 14));
      img.at(x, y) = c;
    }
  }
  return img;
}

Image camouflage(int size) {
  Image img(size, size);
  const Rgb green{0.28, 0.32, 0.18}, brown{0.40, 0.30, 0.18}, black{0.10, 0.10, 0.08};
  constexpr double kEdge = 0.03;  // noise units over which two colours blend
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      // Warped coordinates give the blotches ragged, organic outlines.
      const double a = u * 3 + 0.3 * fbm2(u * 6, v * 6, 6, 6, 3, 21);
      const double b = v * 3 + 0.3 * fbm2(u * 6, v * 6, 6, 6, 3, 22);
      Rgb c = green;
      c = mix(c, brown, smoothstep(0.08 - kEdge, 0.08 + kEdge, fbm2(a, b, 3, 3, 4, 23)));
      c = mix(c, black, smoothstep(0.30 - kEdge, 0.30 + kEdge, fbm2(a, b, 3, 3, 4, 24)));
      const double dirt = fbm2(u * 16, v * 16, 16, 16, 4, 25);
      img.at(x, y) = scale(c, 1.0 + 0.10 * dirt + 0.06 * grain(x, y, 26));
    }
  }
  return img;
}

Image oxidisedMetal(int size) {
  Image img(size, size);
  const Rgb steel{0.44, 0.46, 0.48}, oxide{0.46, 0.29, 0.16}, patina{0.27, 0.31, 0.27};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      Rgb c = mix(steel, patina, smoothstep(-0.1, 0.3, fbm2(u * 4, v * 4, 4, 4, 5, 31)));
      c = mix(c, oxide, 0.85 * smoothstep(0.05, 0.35, fbm2(u * 5, v * 5, 5, 5, 5, 32)));
      // Brushing marks: noise stretched along u.
      const double brush = fbm2(u * 2, v * 64, 2, 64, 3, 33);
      img.at(x, y) = scale(c, 1.0 + 0.08 * brush + 0.08 * grain(x, y, 34));
    }
  }
  return img;
}

Image rustyPlates(int size, int plates) {
  Image img(size, size);
  const Rgb deep{0.20, 0.11, 0.07}, rusty{0.46, 0.24, 0.11}, ochre{0.56, 0.38, 0.18};
  const double plate = double(size) / plates;  // pixels
  constexpr double kSeam = 0.08;               // of a plate, dark gap at each end
  constexpr double kBar = 0.18;                // of a plate, half width of the grouser bar
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      Rgb c = mix(deep, rusty, smoothstep(-0.5, 0.4, fbm2(u * 4, v * 4, 4, 4, 5, 41)));
      c = mix(c, ochre, 0.6 * smoothstep(0.25, 0.55, fbm2(u * 8, v * 8, 8, 8, 4, 42)));
      // Pitting: small dark spots where a fine noise peaks.
      c = scale(c, 1.0 - 0.4 * smoothstep(0.35, 0.55, fbm2(u * 32, v * 32, 32, 32, 2, 43)));
      // Across each plate: a worn, brighter grouser bar in the middle, dark seams at the ends.
      const double t = std::fmod(y, plate) / plate;  // 0..1 along the plate
      const double fromMiddle = std::fabs(t - 0.5);
      c = scale(c, 1.0 + 0.25 * (1.0 - smoothstep(kBar - 0.03, kBar + 0.03, fromMiddle)));
      c = scale(c, 0.35 + 0.65 * (1.0 - smoothstep(0.5 - kSeam - 0.02, 0.5 - kSeam, fromMiddle)));
      img.at(x, y) = scale(c, 1.0 + 0.12 * grain(x, y, 44));
    }
  }
  return img;
}

Image brickWall(int size) {
  Image img(size, size);
  // Sixteen courses of four bricks in running bond: about real brick size on a 1 m cube.
  constexpr int kCourses = 16, kBricksPerCourse = 4;
  const double courseHeight = double(size) / kCourses;
  const double brickLength = double(size) / kBricksPerCourse;
  const double mortar = courseHeight * 0.14;  // pixels
  const Rgb mortarColour{0.63, 0.61, 0.56};
  const Rgb brickA{0.55, 0.22, 0.14}, brickB{0.68, 0.35, 0.22};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = double(x) / size, v = double(y) / size;
      const int row = int(y / courseHeight);
      const double shift = (row % 2) * 0.5 * brickLength;
      double bx = std::fmod(x + shift, double(size));
      const int col = int(bx / brickLength);
      bx -= col * brickLength;
      const double by = y - row * courseHeight;
      // Distance to the nearest joint, in pixels.
      const double edge = std::min(std::min(bx, brickLength - bx), std::min(by, courseHeight - by));
      const uint32_t id = hash(row, col, 0, 51);
      Rgb brick = mix(brickA, brickB, unit(id));
      brick = scale(brick, 0.85 + 0.25 * unit(hash(id)));
      brick = scale(brick, 1.0 + 0.12 * fbm2(u * 16, v * 16, 16, 16, 4, 52));
      // Bricks darken a little towards their rounded edges.
      brick = scale(brick, 0.85 + 0.15 * smoothstep(mortar, mortar + 3.0, edge));
      const double mortarNoise = 1.0 + 0.1 * fbm2(u * 32, v * 32, 32, 32, 2, 53);
      Rgb c = mix(scale(mortarColour, mortarNoise), brick,
                  smoothstep(mortar - 0.7, mortar + 0.7, edge));
      img.at(x, y) = scale(c, 1.0 + 0.08 * grain(x, y, 54));
    }
  }
  return img;
}

namespace {

struct Dir {
  double x, y, z;
};

// The direction that pixel (u, v) of a face stands for, as the engine's sky box maps it: the
// cube spans -1..1, texture u runs left to right and v top to bottom as seen from inside.
Dir faceDirection(SkyFace face, double u, double v) {
  const double a = 2.0 * u - 1.0, b = 2.0 * v - 1.0;
  switch (face) {
    case SkyFace::kFt: return {-a, -b, -1.0};  // front slot, -Z
    case SkyFace::kRt: return {1.0, -b, -a};   // left slot, +X
    case SkyFace::kBk: return {a, -b, 1.0};    // back slot, +Z
    case SkyFace::kLt: return {-1.0, -b, a};   // right slot, -X
    case SkyFace::kUp: return {b, 1.0, -a};
    case SkyFace::kDown: return {a, -1.0, -b};
  }
  return {0, 1, 0};
}

Rgb skyColour(Dir d) {
  const double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  d = {d.x / len, d.y / len, d.z / len};
  const Rgb zenith{0.20, 0.40, 0.76}, horizon{0.78, 0.85, 0.92}, haze{0.74, 0.69, 0.60};
  if (d.y < 0.0) {
    // Below the horizon only the far rim shows past the ground's edge: a sandy haze.
    return mix(horizon, haze, smoothstep(0.0, 0.06, -d.y));
  }
  Rgb c = mix(horizon, zenith, std::pow(d.y, 0.55));
  // A soft glow round the sun gives the light a direction.
  const Dir sun{0.48, 0.55, 0.68};
  const double sunLen = std::sqrt(sun.x * sun.x + sun.y * sun.y + sun.z * sun.z);
  const double cosSun = std::max(0.0, (d.x * sun.x + d.y * sun.y + d.z * sun.z) / sunLen);
  c = mix(c, Rgb{1.0, 0.97, 0.88}, 0.55 * std::pow(cosSun, 200.0) + 0.18 * std::pow(cosSun, 12.0));
  // Clouds on a flat layer overhead, fading out towards the horizon where they would shimmer.
  const double px = d.x / std::max(d.y, 0.05), pz = d.z / std::max(d.y, 0.05);
  constexpr double kCloudScale = 0.9;  // noise cells per cloud-layer height
  const double n = noise::fbm3(px * kCloudScale, pz * kCloudScale, 0.37, 6, 61);
  const double density = smoothstep(0.02, 0.40, n) * smoothstep(0.03, 0.25, d.y);
  const double shade = 0.86 + 0.14 * smoothstep(-0.2, 0.3, noise::fbm3(px, pz, 4.7, 3, 62));
  return mix(c, scale(Rgb{0.98, 0.98, 0.99}, shade), 0.9 * density);
}

}  // namespace

Image skyFace(SkyFace face, int size) {
  Image img(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      img.at(x, y) = skyColour(faceDirection(face, (x + 0.5) / size, (y + 0.5) / size));
    }
  }
  return img;
}

bool writeJpeg(irr::video::IVideoDriver* driver, const Image& image, const std::string& path) {
  using namespace irr;
  video::IImage* out = driver->createImage(
      video::ECF_R8G8B8, core::dimension2d<u32>(u32(image.width()), u32(image.height())));
  if (!out) return false;
  auto byte = [](double c) { return u32(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); };
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const Rgb& c = image.at(x, y);
      out->setPixel(u32(x), u32(y), video::SColor(255, byte(c.r), byte(c.g), byte(c.b)));
    }
  }
  const bool ok = driver->writeImageToFile(out, path.c_str(), kJpegQuality);
  out->drop();
  return ok;
}

}  // namespace textures
