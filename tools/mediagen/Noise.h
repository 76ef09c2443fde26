// Deterministic value hashing and gradient noise for the procedural textures.
// Everything is a pure function of its arguments and a seed, so a run is reproducible.
#pragma once

#include <cstdint>

namespace noise {

// Integer hash with good avalanche; the basis of every random choice in the generator.
uint32_t hash(uint32_t x);
uint32_t hash(int a, int b, int c, uint32_t seed);

// Uniform value in [0, 1) from a hash.
double unit(uint32_t h);

// 2D gradient noise that repeats every `periodX` lattice cells in x and `periodY` in y, in
// about [-1, 1].
double perlin2(double x, double y, int periodX, int periodY, uint32_t seed);

// Sum of `octaves` layers of perlin2, each at twice the frequency and half the amplitude;
// still repeats over the first layer's periods. Normalised to about [-1, 1].
double fbm2(double x, double y, int periodX, int periodY, int octaves, uint32_t seed);

// 3D gradient noise without repetition, in about [-1, 1].
double perlin3(double x, double y, double z, uint32_t seed);
double fbm3(double x, double y, double z, int octaves, uint32_t seed);

// Smooth step from 0 at `edge0` to 1 at `edge1`.
double smoothstep(double edge0, double edge1, double x);

}  // namespace noise
