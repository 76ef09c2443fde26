// Writes the media that cost most to draw within the asset bounds, over a copy of the shipped
// media: each mesh with its role's most triangles and most surface, in horizontal layers
// stacked face up from below, each drawn after the one beneath it, so that a camera above
// fills every layer's every pixel; the ground with as many layers over any spot as it may
// have. Each layer tilts a little, so that the rasterizer cannot tell from a tile's corners
// that a later layer hides an earlier one. For the frame-time goal; the worst textures come
// from ferrox_jpegforge.
// Usage: ferrox_worstmedia MEDIA_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "assets/catalog.h"
#include "assets/mesh3ds.h"
#include "assets/mesh_fit.h"
#include "assets/write3ds.h"

namespace {

namespace w = write3ds;

constexpr float kFill = 0.99f;       // of the role's surface
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
  const float half = std::min(limits.maxExtent, std::sqrt(area / 2.0f));   // legs of 2 half
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
  return 0;
}
