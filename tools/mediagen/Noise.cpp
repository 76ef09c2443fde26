#include "Noise.h"

#include <cmath>

namespace noise {

namespace {

int wrap(int i, int period) {
  const int m = i % period;
  return m < 0 ? m + period : m;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

double lerp(double a, double b, double t) { return a + (b - a) * t; }

// Dot product of the offset with one of eight fixed gradient directions.
double grad2(uint32_t h, double dx, double dy) {
  constexpr double kDiag = 0.70710678118654752;
  switch (h & 7u) {
    case 0: return dx;
    case 1: return -dx;
    case 2: return dy;
    case 3: return -dy;
    case 4: return kDiag * (dx + dy);
    case 5: return kDiag * (dx - dy);
    case 6: return kDiag * (-dx + dy);
    default: return kDiag * (-dx - dy);
  }
}

// The twelve edge directions of a cube, as in improved Perlin noise.
double grad3(uint32_t h, double dx, double dy, double dz) {
  switch (h % 12u) {
    case 0: return dx + dy;
    case 1: return -dx + dy;
    case 2: return dx - dy;
    case 3: return -dx - dy;
    case 4: return dx + dz;
    case 5: return -dx + dz;
    case 6: return dx - dz;
    case 7: return -dx - dz;
    case 8: return dy + dz;
    case 9: return -dy + dz;
    case 10: return dy - dz;
    default: return -dy - dz;
  }
}

}  // namespace

uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

uint32_t hash(int a, int b, int c, uint32_t seed) {
  uint32_t h = hash(seed ^ 0x9e3779b9u);
  h = hash(h ^ static_cast<uint32_t>(a));
  h = hash(h ^ static_cast<uint32_t>(b) * 0x85ebca6bu);
  return hash(h ^ static_cast<uint32_t>(c) * 0xc2b2ae35u);
}

double unit(uint32_t h) { return static_cast<double>(h >> 8) / static_cast<double>(1u << 24); }

double perlin2(double x, double y, int periodX, int periodY, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const double dx = x - fx, dy = y - fy;
  const int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
  const int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
  const double n00 = grad2(hash(x0, y0, 0, seed), dx, dy);
  const double n10 = grad2(hash(x1, y0, 0, seed), dx - 1.0, dy);
  const double n01 = grad2(hash(x0, y1, 0, seed), dx, dy - 1.0);
  const double n11 = grad2(hash(x1, y1, 0, seed), dx - 1.0, dy - 1.0);
  const double u = fade(dx), v = fade(dy);
  // Gradient noise in 2D peaks near 0.7; scale to about [-1, 1].
  constexpr double kScale = 1.4;
  return kScale * lerp(lerp(n00, n10, u), lerp(n01, n11, u), v);
}

double fbm2(double x, double y, int periodX, int periodY, int octaves, uint32_t seed) {
  double sum = 0.0, amplitude = 1.0, norm = 0.0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * perlin2(x, y, periodX, periodY, seed + static_cast<uint32_t>(o) * 1013u);
    norm += amplitude;
    amplitude *= 0.5;
    x *= 2.0;
    y *= 2.0;
    periodX *= 2;
    periodY *= 2;
  }
  return sum / norm;
}

double perlin3(double x, double y, double z, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
  const double dx = x - fx, dy = y - fy, dz = z - fz;
  double corner[8];
  for (int c = 0; c < 8; ++c) {
    const int cx = c & 1, cy = (c >> 1) & 1, cz = (c >> 2) & 1;
    corner[c] = grad3(hash(ix + cx, iy + cy, iz + cz, seed), dx - cx, dy - cy, dz - cz);
  }
  const double u = fade(dx), v = fade(dy), w = fade(dz);
  const double a = lerp(lerp(corner[0], corner[1], u), lerp(corner[2], corner[3], u), v);
  const double b = lerp(lerp(corner[4], corner[5], u), lerp(corner[6], corner[7], u), v);
  return lerp(a, b, w);
}

double fbm3(double x, double y, double z, int octaves, uint32_t seed) {
  double sum = 0.0, amplitude = 1.0, norm = 0.0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * perlin3(x, y, z, seed + static_cast<uint32_t>(o) * 1013u);
    norm += amplitude;
    amplitude *= 0.5;
    x *= 2.0;
    y *= 2.0;
    z *= 2.0;
  }
  return sum / norm;
}

double smoothstep(double edge0, double edge1, double x) {
  double t = (x - edge0) / (edge1 - edge0);
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  return t * t * (3.0 - 2.0 * t);
}

}  // namespace noise
