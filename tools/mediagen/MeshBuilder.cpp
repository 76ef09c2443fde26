#include "MeshBuilder.h"

#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace mesh {

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vec3 a) { return std::sqrt(dot(a, a)); }

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMinArea = 1e-12;  // m^2, twice the area below which a triangle is dropped

// The scene is drawn without lights, so each face's brightness is baked in: faces are sorted
// by how much they turn towards a light from above, and each group gets a material whose
// diffuse grey the engine's loader copies into the vertex colours, which tint the texture.
const Vec3 kLightDirection = {0.45, 1.0, 0.3};  // towards the light, need not be unit length
constexpr int kShadeLevels = 10;
constexpr double kShadeDarkest = 0.45;  // grey of a face turned right away from the light
constexpr double kShadeRange = 0.55;    // added for a face turned fully towards it

int shadeLevel(Vec3 a, Vec3 b, Vec3 c) {
  const Vec3 n = cross(b - a, c - a);
  const double facing = dot(n, kLightDirection) / (length(n) * length(kLightDirection));
  const int level = static_cast<int>((0.5 + 0.5 * facing) * kShadeLevels);
  return std::min(std::max(level, 0), kShadeLevels - 1);
}

Vec3 centroid(const std::vector<Vec3>& points) {
  Vec3 c;
  for (const Vec3& p : points) c = c + p;
  return c * (1.0 / static_cast<double>(points.size()));
}

// Newell's normal of a polygon, robust for slightly non-planar quads.
Vec3 polygonNormal(const std::vector<Vec3>& p) {
  Vec3 n;
  for (size_t i = 0; i < p.size(); ++i) {
    const Vec3& a = p[i];
    const Vec3& b = p[(i + 1) % p.size()];
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

}  // namespace

uint32_t MeshBuilder::addVertex(const Vertex& v) {
  vertices_.push_back(v);
  return static_cast<uint32_t>(vertices_.size() - 1);
}

void MeshBuilder::addTriangle(Vertex a, Vertex b, Vertex c, Vec3 outward) {
  const Vec3 n = cross(b.pos - a.pos, c.pos - a.pos);
  if (length(n) < kMinArea) return;
  if (dot(n, outward) < 0.0) std::swap(b, c);
  indices_.push_back(addVertex(a));
  indices_.push_back(addVertex(b));
  indices_.push_back(addVertex(c));
}

void MeshBuilder::addPolygon(const std::vector<Vec3>& points, Vec3 outward) {
  Vec3 n = polygonNormal(points);
  if (dot(n, outward) < 0.0) n = n * -1.0;
  const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  std::vector<Vertex> v(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    const Vec3& p = points[i];
    v[i].pos = p;
    // Image rows run down the face on walls, so that textures stand upright.
    if (ay >= ax && ay >= az) {
      v[i].u = p.x / texelSize_;
      v[i].v = -p.z / texelSize_;
    } else if (ax >= az) {
      v[i].u = p.z / texelSize_;
      v[i].v = -p.y / texelSize_;
    } else {
      v[i].u = p.x / texelSize_;
      v[i].v = -p.y / texelSize_;
    }
  }
  for (size_t i = 1; i + 1 < v.size(); ++i) addTriangle(v[0], v[i], v[i + 1], n);
}

void MeshBuilder::addBox(Vec3 lo, Vec3 hi) {
  const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                     {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                     {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  addPolygon({c[0], c[1], c[2], c[3]}, {0, 0, -1});
  addPolygon({c[4], c[5], c[6], c[7]}, {0, 0, 1});
  addPolygon({c[0], c[3], c[7], c[4]}, {-1, 0, 0});
  addPolygon({c[1], c[2], c[6], c[5]}, {1, 0, 0});
  addPolygon({c[0], c[1], c[5], c[4]}, {0, -1, 0});
  addPolygon({c[3], c[2], c[6], c[7]}, {0, 1, 0});
}

void MeshBuilder::addPrismX(const std::vector<Vec3>& profile, double x0, double x1) {
  const Vec3 c = centroid(profile);
  const size_t n = profile.size();
  std::vector<Vec3> left(n), right(n);
  for (size_t i = 0; i < n; ++i) {
    left[i] = {x0, profile[i].y, profile[i].z};
    right[i] = {x1, profile[i].y, profile[i].z};
  }
  for (size_t i = 0; i < n; ++i) {
    const size_t j = (i + 1) % n;
    const Vec3 mid = (profile[i] + profile[j]) * 0.5;
    addPolygon({left[i], left[j], right[j], right[i]}, {0, mid.y - c.y, mid.z - c.z});
  }
  addPolygon(left, {-1, 0, 0});
  addPolygon(right, {1, 0, 0});
}

void MeshBuilder::addLoft(const std::vector<Vec3>& bottom, double y0, const std::vector<Vec3>& top,
                          double y1) {
  const size_t n = bottom.size();
  std::vector<Vec3> b(n), t(n);
  for (size_t i = 0; i < n; ++i) {
    b[i] = {bottom[i].x, y0, bottom[i].z};
    t[i] = {top[i].x, y1, top[i].z};
  }
  const Vec3 c = (centroid(b) + centroid(t)) * 0.5;
  for (size_t i = 0; i < n; ++i) {
    const size_t j = (i + 1) % n;
    const std::vector<Vec3> quad = {b[i], b[j], t[j], t[i]};
    addPolygon(quad, centroid(quad) - c);
  }
  addPolygon(b, {0, -1, 0});
  addPolygon(t, {0, 1, 0});
}

void MeshBuilder::addLathe(Axis axis, Vec3 centre, const std::vector<ProfilePoint>& profile,
                           int segments) {
  // Local frame: `along` follows the axis, the angle turns from `e1` towards `e2`.
  Vec3 dir, e1, e2;
  switch (axis) {
    case Axis::kX: dir = {1, 0, 0}, e1 = {0, 1, 0}, e2 = {0, 0, 1}; break;
    case Axis::kY: dir = {0, 1, 0}, e1 = {0, 0, 1}, e2 = {1, 0, 0}; break;
    case Axis::kZ: dir = {0, 0, 1}, e1 = {1, 0, 0}, e2 = {0, 1, 0}; break;
  }
  // Texture wraps a whole number of times round the circumference, so that it meets itself.
  double maxRadius = 0.0;
  for (const ProfilePoint& p : profile) maxRadius = std::max(maxRadius, p.radius);
  const double turns = std::max(1.0, std::round(2.0 * kPi * maxRadius / texelSize_));

  double arc = 0.0;
  for (size_t k = 0; k + 1 < profile.size(); ++k) {
    const ProfilePoint p0 = profile[k], p1 = profile[k + 1];
    const double dAlong = p1.along - p0.along, dRadius = p1.radius - p0.radius;
    const double segLength = std::hypot(dAlong, dRadius);
    const double v0 = arc / texelSize_, v1 = (arc + segLength) / texelSize_;
    arc += segLength;
    for (int s = 0; s < segments; ++s) {
      const double a0 = 2.0 * kPi * s / segments, a1 = 2.0 * kPi * (s + 1) / segments;
      const double am = 0.5 * (a0 + a1);
      const Vec3 r0 = e1 * std::cos(a0) + e2 * std::sin(a0);
      const Vec3 r1 = e1 * std::cos(a1) + e2 * std::sin(a1);
      const Vec3 rm = e1 * std::cos(am) + e2 * std::sin(am);
      // The profile's outer normal in the (along, radius) plane, carried round the axis.
      const Vec3 outward = dir * (-dRadius) + rm * dAlong;
      const double u0 = turns * s / segments, u1 = turns * (s + 1) / segments;
      const Vertex q00{centre + dir * p0.along + r0 * p0.radius, u0, v0};
      const Vertex q01{centre + dir * p0.along + r1 * p0.radius, u1, v0};
      const Vertex q10{centre + dir * p1.along + r0 * p1.radius, u0, v1};
      const Vertex q11{centre + dir * p1.along + r1 * p1.radius, u1, v1};
      addTriangle(q00, q01, q11, outward);
      addTriangle(q00, q11, q10, outward);
    }
  }
}

void MeshBuilder::append(const MeshBuilder& other) {
  const uint32_t base = static_cast<uint32_t>(vertices_.size());
  vertices_.insert(vertices_.end(), other.vertices_.begin(), other.vertices_.end());
  for (uint32_t i : other.indices_) indices_.push_back(base + i);
}

bool MeshBuilder::write3ds(const std::string& objectName, const std::string& path,
                           std::string* error) const {
  // The format indexes points with 16 bits, and the engine's loader gives every face three
  // vertices of its own in a 16-bit index buffer.
  constexpr size_t kMaxLoaderVertices = 65535;
  if (vertices_.size() > 65535 || indices_.size() > kMaxLoaderVertices) {
    *error = path + ": too many vertices or faces for a 3DS object";
    return false;
  }
  if (objectName.size() > 10) {
    *error = path + ": 3DS object names hold at most 10 characters";
    return false;
  }
  Lib3dsFile* file = lib3ds_file_new();
  Lib3dsMesh* m = lib3ds_mesh_new(objectName.c_str());
  lib3ds_matrix_identity(m->matrix);
  const Lib3dsDword points = static_cast<Lib3dsDword>(vertices_.size());
  const Lib3dsDword faces = static_cast<Lib3dsDword>(indices_.size() / 3);
  if (!lib3ds_mesh_new_point_list(m, points) || !lib3ds_mesh_new_texel_list(m, points) ||
      !lib3ds_mesh_new_face_list(m, faces)) {
    lib3ds_mesh_free(m);
    lib3ds_file_free(file);
    *error = path + ": out of memory";
    return false;
  }
  // 3DS is Z-up: the engine's Y and Z trade places, and its image rows count from the bottom.
  for (Lib3dsDword i = 0; i < points; ++i) {
    const Vertex& v = vertices_[i];
    m->pointL[i].pos[0] = static_cast<Lib3dsFloat>(v.pos.x);
    m->pointL[i].pos[1] = static_cast<Lib3dsFloat>(v.pos.z);
    m->pointL[i].pos[2] = static_cast<Lib3dsFloat>(v.pos.y);
    m->texelL[i][0] = static_cast<Lib3dsFloat>(v.u);
    m->texelL[i][1] = static_cast<Lib3dsFloat>(1.0 - v.v);
  }
  // Swapping two axes mirrors the winding too, so each face is written as (a, c, b): the
  // loader turns it back into the engine's (a, b, c).
  bool levelUsed[kShadeLevels] = {};
  for (Lib3dsDword f = 0; f < faces; ++f) {
    Lib3dsFace& face = m->faceL[f];
    std::memset(&face, 0, sizeof face);
    const uint32_t a = indices_[3 * f], b = indices_[3 * f + 1], c = indices_[3 * f + 2];
    face.points[0] = static_cast<Lib3dsWord>(a);
    face.points[1] = static_cast<Lib3dsWord>(c);
    face.points[2] = static_cast<Lib3dsWord>(b);
    face.flags = LIB3DS_FACE_FLAG_VIS_AB | LIB3DS_FACE_FLAG_VIS_BC | LIB3DS_FACE_FLAG_VIS_AC;
    const int level = shadeLevel(vertices_[a].pos, vertices_[b].pos, vertices_[c].pos);
    levelUsed[level] = true;
    std::snprintf(face.material, sizeof face.material, "shade%d", level);
  }
  for (int level = 0; level < kShadeLevels; ++level) {
    if (!levelUsed[level]) continue;
    Lib3dsMaterial* mat = lib3ds_material_new();
    std::snprintf(mat->name, sizeof mat->name, "shade%d", level);
    const Lib3dsFloat grey =
        static_cast<Lib3dsFloat>(kShadeDarkest + kShadeRange * (level + 0.5) / kShadeLevels);
    for (int i = 0; i < 3; ++i) {
      mat->ambient[i] = grey;
      mat->diffuse[i] = grey;
      mat->specular[i] = 0.0f;
    }
    mat->ambient[3] = mat->diffuse[3] = mat->specular[3] = 1.0f;
    mat->transparency = 0.0f;
    lib3ds_file_insert_material(file, mat);
  }
  lib3ds_file_insert_mesh(file, m);
  const bool ok = lib3ds_file_save(file, path.c_str()) == LIB3DS_TRUE;
  lib3ds_file_free(file);  // frees the mesh too
  if (!ok) *error = path + ": lib3ds could not write the file";
  return ok;
}

}  // namespace mesh
