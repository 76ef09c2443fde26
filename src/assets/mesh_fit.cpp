#include "assets/mesh_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "assets/mesh3ds_read.h"

namespace assets {

namespace {

using tds::number;

// Calls `each` with the three corners of every triangle of `mesh`; stops when it returns false.
template <typename Each>
bool everyTriangle(const irr::scene::IMesh& mesh, Each each) {
  for (irr::u32 b = 0; b < mesh.getMeshBufferCount(); ++b) {
    const irr::scene::IMeshBuffer* buffer = mesh.getMeshBuffer(b);
    const irr::u16* indices = buffer->getIndices();
    for (irr::u32 i = 0; i + 2 < buffer->getIndexCount(); i += 3)
      if (!each(buffer->getPosition(indices[i]), buffer->getPosition(indices[i + 1]),
                buffer->getPosition(indices[i + 2])))
        return false;
  }
  return true;
}

// Cell of coordinate `at` in a row of kGroundCells over [-reach, reach].
int cellOf(float at, float reach) {
  const double cell = std::floor((at + reach) / (2.0 * reach) * kGroundCells);
  return static_cast<int>(std::clamp(cell, 0.0, kGroundCells - 1.0));
}

// Whether the point (x, z) lies in the triangle's shadow on the plane, edges included; a
// triangle without area there covers nothing.
bool over(float x, float z, const irr::core::vector3df& a, const irr::core::vector3df& b,
          const irr::core::vector3df& c) {
  const auto side = [x, z](const irr::core::vector3df& p, const irr::core::vector3df& q) {
    return (static_cast<double>(q.X) - p.X) * (static_cast<double>(z) - p.Z) -
           (static_cast<double>(q.Z) - p.Z) * (static_cast<double>(x) - p.X);
  };
  const double ab = side(a, b), bc = side(b, c), ca = side(c, a);
  if (ab == 0.0 && bc == 0.0 && ca == 0.0) return false;
  return (ab >= 0.0 && bc >= 0.0 && ca >= 0.0) || (ab <= 0.0 && bc <= 0.0 && ca <= 0.0);
}

std::string groundRefusal(const irr::scene::IMesh& mesh, float reach) {
  std::vector<unsigned char> layers(kGroundCells * kGroundCells, 0);
  std::vector<unsigned char> overlap(kGroundCells * kGroundCells, 0);
  const float cell = 2.0f * reach / kGroundCells;  // m, a cell's side
  std::string why;
  everyTriangle(mesh, [&](const irr::core::vector3df& a, const irr::core::vector3df& b,
                          const irr::core::vector3df& c) {
    for (const irr::core::vector3df* p : {&a, &b, &c})
      if (!(std::fabs(p->Y) <= kGroundRelief)) {
        why = "3DS: a ground mesh lies within " + number(kGroundRelief) + " m of the plane";
        return false;
      }
    const int x0 = cellOf(std::min({a.X, b.X, c.X}), reach);
    const int x1 = cellOf(std::max({a.X, b.X, c.X}), reach);
    const int z0 = cellOf(std::min({a.Z, b.Z, c.Z}), reach);
    const int z1 = cellOf(std::max({a.Z, b.Z, c.Z}), reach);
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) {
        if (++layers[z * kGroundCells + x] > kMaxGroundLayers) {
          why = "3DS: more than " + std::to_string(kMaxGroundLayers) +
                " triangles of a ground mesh overlap near (" + number(a.X) + ", " + number(a.Z) +
                ")";
          return false;
        }
        const float centreX = -reach + (static_cast<float>(x) + 0.5f) * cell;
        const float centreZ = -reach + (static_cast<float>(z) + 0.5f) * cell;
        if (over(centreX, centreZ, a, b, c) &&
            ++overlap[z * kGroundCells + x] > kMaxGroundOverlap) {
          why = "3DS: more than " + std::to_string(kMaxGroundOverlap) +
                " triangles of a ground mesh lie over the point (" + number(centreX) + ", " +
                number(centreZ) + ")";
          return false;
        }
      }
    return true;
  });
  return why;
}

}  // namespace

double coverOf(const irr::scene::IMesh& mesh, MeshRole role) {
  const MeshLimits limits = limitsOf(role);
  const irr::core::vector3df pivot(limits.pivot.x, limits.pivot.y, limits.pivot.z);
  const double scale = limits.scale;
  double cover = 0.0;  // sr
  everyTriangle(mesh, [&](const irr::core::vector3df& a, const irr::core::vector3df& b,
                          const irr::core::vector3df& c) {
    const double reach =
        std::max({a.getDistanceFrom(pivot), b.getDistanceFrom(pivot), c.getDistanceFrom(pivot)});
    const double area = 0.5 * static_cast<double>((b - a).crossProduct(c - a).getLength());
    const double distance = kCameraOrbit - limits.fromHull - scale * reach;  // m, at least
    cover += distance > 0.0 ? scale * scale * area / (distance * distance) : HUGE_VAL;
    return true;
  });
  return cover;
}

std::string fitRefusal(const irr::scene::IMesh& mesh, MeshRole role) {
  const MeshLimits limits = limitsOf(role);
  double area = 0.0;  // m^2, in the file's units
  everyTriangle(mesh, [&](const irr::core::vector3df& a, const irr::core::vector3df& b,
                          const irr::core::vector3df& c) {
    area += 0.5 * static_cast<double>((b - a).crossProduct(c - a).getLength());
    return true;
  });
  if (area > limits.maxArea)
    return std::string("3DS: too much surface: a ") + roleName(role) + " mesh has at most " +
           number(limits.maxArea) + " m^2 of triangles, this one " + number(area);
  if (role == MeshRole::Ground) return groundRefusal(mesh, limits.maxReach);
  const double cover = coverOf(mesh, role);
  if (cover > limits.maxCover)
    return std::string("3DS: too much of the view: a ") + roleName(role) + " mesh covers at most " +
           number(limits.maxCover) + " sr seen from the camera, this one " + number(cover);
  return "";
}

}  // namespace assets
