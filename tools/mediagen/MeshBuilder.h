// Triangle meshes in the engine's frame (Y up, +Z forward, left-handed), built from simple
// solids and written as 3DS files. A triangle (a, b, c) faces the side that (b - a) x (c - a)
// points to, the engine's front-face rule; the builders orient every face away from the solid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mesh {

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};
Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double s);
double dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
double length(Vec3 a);

struct Vertex {
  Vec3 pos;
  double u = 0.0, v = 0.0;  // texture coordinates as the engine reads them (v down the image)
};

// A profile point of a solid of revolution: distance along the axis and radius.
struct ProfilePoint {
  double along, radius;
};

enum class Axis { kX, kY, kZ };

class MeshBuilder {
 public:
  // `texelSize` is the length in scene units that one texture repeat covers on planar faces.
  explicit MeshBuilder(double texelSize) : texelSize_(texelSize) {}

  // Triangle with its own texture coordinates, turned to face `outward`.
  void addTriangle(Vertex a, Vertex b, Vertex c, Vec3 outward);

  // Convex planar polygon as a fan, facing `outward`, textured by projection onto the plane
  // of the two axes that `outward` is least aligned with.
  void addPolygon(const std::vector<Vec3>& points, Vec3 outward);

  // Axis-aligned box.
  void addBox(Vec3 min, Vec3 max);

  // Convex polygon in the Z-Y plane (x ignored), swept from x0 to x1.
  void addPrismX(const std::vector<Vec3>& profile, double x0, double x1);

  // Convex frustum between two convex polygons in X-Z planes at heights y0 and y1, with the
  // same number of corners, listed in the same order.
  void addLoft(const std::vector<Vec3>& bottom, double y0, const std::vector<Vec3>& top, double y1);

  // Solid of revolution about `axis` through `centre`. The profile runs from the axis at its
  // start back to the axis at its end, with the solid on the side the profile's outer normal
  // leaves; a cylinder is {{a, 0}, {a, r}, {b, r}, {b, 0}}.
  void addLathe(Axis axis, Vec3 centre, const std::vector<ProfilePoint>& profile, int segments);

  // Appends another mesh as it is.
  void append(const MeshBuilder& other);

  const std::vector<Vertex>& vertices() const { return vertices_; }
  const std::vector<uint32_t>& indices() const { return indices_; }
  size_t triangleCount() const { return indices_.size() / 3; }

  // Writes a single-object 3DS file, converting to the format's Z-up frame, with each face's
  // lighting baked into a grey material by its facing. Returns false,
  // with a reason in `error`, when the mesh does not fit the format or cannot be written.
  bool write3ds(const std::string& objectName, const std::string& path, std::string* error) const;

 private:
  uint32_t addVertex(const Vertex& v);

  double texelSize_;
  std::vector<Vertex> vertices_;
  std::vector<uint32_t> indices_;
};

}  // namespace mesh
