// Writes the media that cost most to draw within the asset bounds, over a copy of the shipped
// media: each mesh with its role's most triangles and most surface, in horizontal layers
// stacked face up from below, each drawn after the one beneath it, so that a camera above
// fills every layer's every pixel; the ground with as many layers over any spot as it may
// have. Each layer tilts a little, so that the rasterizer cannot tell from a tile's corners
// that a later layer hides an earlier one. And the font with the most glyphs: the largest
// image, all of it glyph markers. For the start-up and frame-time goals; the worst textures
// come from ferrox_jpegforge.
// Usage: ferrox_worstmedia MEDIA_DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "assets/bmp.h"
#include "assets/catalog.h"
#include "assets/mesh3ds.h"
#include "assets/mesh_fit.h"
#include "forge/write3ds.h"

namespace {

namespace w = write3ds;

constexpr float kFill = 0.99f;        // of the role's surface
constexpr float kTankHighest = 0.5f;  // of the role's reach: the tank's layers rise from 0
constexpr float kTilt = 0.001f;       // m in the file, across a layer

w::Bytes worstMesh(assets::MeshRole role) {
  const assets::MeshLimits limits = assets::limitsOf(role);
  const bool ground = role == assets::MeshRole::Ground;
  // The ground: as many layers over one spot as it may have. The tank: as few layers as its
  // surface allows at the role's full reach, so that each is as near the camera as can be.
  const float largest = 2.0f * limits.maxExtent * limits.maxExtent;  // m^2, legs of 2 reach
  const auto layers = static_cast<std::size_t>(std::ceil(kFill * limits.maxArea / largest));
  const std::size_t count = ground ? assets::kMaxGroundLayers : layers;
  const float area = kFill * limits.maxArea / static_cast<float>(count);  // m^2 a triangle
  const float half = std::min(limits.maxExtent, std::sqrt(area / 2.0f));  // legs of 2 half
  const float lowest = ground ? -assets::kGroundRelief + kTilt : 0.0f;
  const float highest = ground ? assets::kGroundRelief - kTilt : kTankHighest * limits.maxExtent;
  w::Mesh mesh;
  w::Group group{"grey", {}};
  for (std::size_t t = 0; t < count; ++t) {
    const float z = lowest + (highest - lowest) * static_cast<float>(t) / static_cast<float>(count);
    const auto base = static_cast<unsigned>(mesh.vertices.size());
    mesh.vertices.insert(mesh.vertices.end(),
                         {{-half, -half, z}, {half, -half, z + kTilt}, {-half, half, z - kTilt}});
    mesh.texCoords.insert(mesh.texCoords.end(), {{0, 0}, {1, 0}, {0, 1}});
    mesh.faces.push_back({base, base + 1, base + 2});  // face up, towards the camera
    group.faces.push_back(static_cast<unsigned>(t));
  }
  mesh.groups = {group};
  return w::file({w::greyMaterial("grey", 200), w::object("layers", mesh)});
}

// A 24-bit BMP of the largest font area, square, every pixel but the three key pixels of the
// first row a glyph marker: upper-left and lower-right corners in turn, a glyph each pair.
std::string worstFont() {
  const auto side = static_cast<unsigned>(std::sqrt(static_cast<double>(assets::kMaxFontPixels)));
  const unsigned char upperLeft[3] = {255, 0, 0}, lowerRight[3] = {0, 0, 255},
                      background[3] = {0, 255, 0};  // B, G, R
  const std::size_t stride = (side * 3 + 3) / 4 * 4;
  std::string pixels(stride * side, '\0');
  for (unsigned y = 0; y < side; ++y)
    for (unsigned x = 0; x < side; ++x) {
      const unsigned char* colour = (x + (y == 0 ? 1 : 0)) % 2 == 0 ? upperLeft : lowerRight;
      if (y == 0 && x < 3) colour = x == 0 ? upperLeft : x == 1 ? lowerRight : background;
      pixels.replace((side - 1 - y) * stride + x * 3, 3, reinterpret_cast<const char*>(colour), 3);
    }
  const auto le32 = [](std::uint32_t v) { return w::u32(v); };
  return "BM" + le32(static_cast<std::uint32_t>(54 + pixels.size())) + le32(0) + le32(54) +
         le32(40) + le32(side) + le32(side) + w::u16(1) + w::u16(24) + le32(0) +
         le32(static_cast<std::uint32_t>(pixels.size())) + le32(2835) + le32(2835) + le32(0) +
         le32(0) + pixels;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ferrox_worstmedia MEDIA_DIR\n");
    return 2;
  }
  const std::string media = argv[1];
  for (const assets::MeshAsset& asset : assets::kMeshes) {
    const std::string path = media + "/" + std::string(asset.path).substr(sizeof "../media/" - 1);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << worstMesh(asset.role);
    std::printf("%s: the worst %s\n", path.c_str(), assets::roleName(asset.role));
  }
  const std::string font = media + "/" + std::string(assets::kFont).substr(sizeof "../media/" - 1);
  std::ofstream(font, std::ios::binary | std::ios::trunc) << worstFont();
  std::printf("%s: the font with the most glyphs\n", font.c_str());
  return 0;
}
