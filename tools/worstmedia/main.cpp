// Writes the media that cost most to draw within the asset bounds, over a copy of the shipped
// media, for a camera swung to the given pitch and yaw (degrees, as the cursor gives them):
// - each of the tank's meshes: square layers across the line from its pivot to the camera,
//   each inscribed in the sphere of the role's reach, half-way out towards the camera, so
//   that they stand as near it as the reach lets them and still fill much of its view; drawn
//   from the farthest to the nearest, each passing the depth test over the one before, each
//   facing the camera. As many layers as the role's view, surface and triangles allow; the
//   triangles left over as specks at the pivot, spread over as many materials as the role
//   may draw, so that every draw call it may cost is made;
// - the ground: as many whole layers as may lie over one spot, as wide as its reach, rising
//   towards the camera, and its other triangles as specks off the cells' centres;
// - the font with the most glyphs: the largest image, all of it glyph markers.
// The worst textures come from ferrox_jpegforge.
// Usage: ferrox_worstmedia MEDIA_DIR [PITCH YAW]
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "assets/bmp.h"
#include "assets/catalog.h"
#include "assets/mesh3ds.h"
#include "assets/mesh_fit.h"
#include "forge/write3ds.h"

namespace {

namespace w = write3ds;
using irr::core::vector3df;

constexpr float kFill = 0.99f;                  // of each bound: the view, the surface, the reach
constexpr int kLayers = 16;                     // in each of the tank's meshes
constexpr float kStep = 1e-3f;                  // of the reach: between two layers, and their tilt
constexpr float kSpeck = 1e-3f;                 // m: the side of a leftover triangle
constexpr float kPitch = 20.0f, kYaw = 200.0f;  // deg: the camera the layers face by default

// Two vectors across `u`, a unit vector, at right angles to it and each other, so that
// a x b points along u.
void across(const vector3df& u, vector3df& a, vector3df& b) {
  const vector3df helper = std::fabs(u.Y) < 0.9f ? vector3df(0, 1, 0) : vector3df(1, 0, 0);
  a = helper.crossProduct(u).normalize();
  b = u.crossProduct(a).normalize();
}

struct Builder {
  w::Mesh mesh;
  std::size_t materials = 1;

  // A triangle of corners in the scene's axes, which the decoder winds so that it faces
  // along (c2 - c0) x (c1 - c0); the file's (x, y, z) is the scene's (x, z, y).
  void add(const vector3df& c0, const vector3df& c1, const vector3df& c2) {
    const auto base = static_cast<unsigned>(mesh.vertices.size());
    for (const vector3df* c : {&c0, &c1, &c2}) mesh.vertices.push_back({c->X, c->Z, c->Y});
    mesh.texCoords.insert(mesh.texCoords.end(), {{0, 0}, {1, 0}, {0, 1}});
    const auto face = static_cast<unsigned>(mesh.faces.size());
    mesh.faces.push_back({base, base + 1, base + 2});
    mesh.groups[face % materials].faces.push_back(face);
  }

  // A square centred at `centre`, across `u` with half-diagonal `radius`, facing along u.
  void square(const vector3df& centre, const vector3df& u, float radius, float tilt) {
    vector3df a, b;
    across(u, a, b);
    const vector3df p = centre + a * radius, q = centre + b * radius + u * tilt,
                    r = centre - a * radius, s = centre - b * radius - u * tilt;
    // (c2 - c0) x (c1 - c0) along u: c0 = p, c1 = s, c2 = q.
    add(p, s, q);
    add(r, q, s);
  }

  w::Bytes file() const {
    std::vector<w::Bytes> parts;
    for (std::size_t m = 0; m < materials; ++m)
      parts.push_back(w::greyMaterial("grey" + std::to_string(m), static_cast<unsigned>(m)));
    parts.push_back(w::object("layers", mesh));
    return w::file(parts);
  }
};

Builder start(const assets::MeshLimits& limits) {
  Builder b;
  b.materials = limits.maxBuffers;
  for (std::size_t m = 0; m < b.materials; ++m)
    b.mesh.groups.push_back({"grey" + std::to_string(m), {}});
  return b;
}

// The tank's meshes: layers across `u` (unit, towards the camera in the mesh's own axes).
w::Bytes worstPart(const assets::MeshLimits& limits, const vector3df& u) {
  Builder b = start(limits);
  const vector3df pivot(limits.pivot.x, limits.pivot.y, limits.pivot.z);
  const float reach = kFill * limits.maxReach;
  const double scale = limits.scale;
  const double distance = assets::kCameraOrbit - limits.fromHull - scale * reach;  // m, least
  // kLayers squares of equal share of the view, their corners at the reach: the nearest the
  // camera they can stand, and as wide as that share lets them be.
  const double share = kFill * limits.maxCover / kLayers;  // sr a layer
  const auto radius =
      static_cast<float>(std::min(distance / scale * std::sqrt(share / 2.0),
                                  std::sqrt(kFill * limits.maxArea / (2.0 * kLayers))));
  const float out = std::sqrt(reach * reach - radius * radius);  // m, the nearest layer's
  for (int k = 0; k < kLayers; ++k)
    b.square(pivot + u * (out - kStep * reach * static_cast<float>(kLayers - 1 - k)), u, radius,
             kStep * reach);
  while (b.mesh.faces.size() < limits.maxTriangles)
    b.add(pivot, pivot + vector3df(kSpeck, 0, 0), pivot + vector3df(0, kSpeck, 0));
  return b.file();
}

// The ground: kMaxGroundOverlap squares as wide as the reach allows, rising within the relief;
// the corners of the squares' cells off the grid's centres, so that a centre on a diagonal
// is not counted twice.
w::Bytes worstGround(const assets::MeshLimits& limits) {
  Builder b = start(limits);
  const float reach = kFill * limits.maxReach;
  const float cell = 2.0f * limits.maxReach / assets::kGroundCells;  // m, of the check's grid
  for (int k = 0; k < assets::kMaxGroundOverlap; ++k) {
    const float height = assets::kGroundRelief * (k == 0 ? -kFill : kFill);
    const vector3df centre(0.3f * cell * static_cast<float>(k + 1), height, 0.0f);
    b.square(centre, vector3df(0, 1, 0), reach - centre.X, 0.0f);
  }
  for (int i = 0; b.mesh.faces.size() < limits.maxTriangles; ++i) {
    const float x = -limits.maxReach / 2 + cell * static_cast<float>(i % 64);
    const float z = -limits.maxReach / 2 + cell * static_cast<float>(i / 64);
    const vector3df at(x + 0.1f * cell, 0.0f, z + 0.1f * cell);
    b.add(at, at + vector3df(0, 0, kSpeck), at + vector3df(kSpeck, 0, 0));
  }
  return b.file();
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
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: ferrox_worstmedia MEDIA_DIR [PITCH YAW]\n");
    return 2;
  }
  const std::string media = argv[1];
  const float pitch = argc == 4 ? std::strtof(argv[2], nullptr) : kPitch;
  const float yaw = argc == 4 ? std::strtof(argv[3], nullptr) : kYaw;
  // The camera hangs behind its pivot, turned as the cursor turns it; with the tank as built
  // (level, turret and gun straight ahead) every part's axes are the hull's.
  irr::core::matrix4 turn;
  turn.setRotationDegrees(vector3df(pitch, yaw, 0.0f));
  vector3df u(0.0f, 0.0f, -1.0f);
  turn.rotateVect(u);
  std::printf("the camera lies towards (%.3f, %.3f, %.3f) from the hull's origin\n", u.X, u.Y, u.Z);
  for (const assets::MeshAsset& asset : assets::kMeshes) {
    const std::string path = media + "/" + std::string(asset.path).substr(sizeof "../media/" - 1);
    const assets::MeshLimits limits = assets::limitsOf(asset.role);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << (asset.role == assets::MeshRole::Ground ? worstGround(limits) : worstPart(limits, u));
    std::printf("%s: the worst %s\n", path.c_str(), assets::roleName(asset.role));
  }
  const std::string font = media + "/" + std::string(assets::kFont).substr(sizeof "../media/" - 1);
  std::ofstream(font, std::ios::binary | std::ios::trunc) << worstFont();
  std::printf("%s: the font with the most glyphs\n", font.c_str());
  return 0;
}
