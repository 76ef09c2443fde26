// 3DS files written chunk by chunk, for the tests, benchmarks and worst cases that need a
// layout no shipped file has.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace write3ds {

using Bytes = std::string;  // raw bytes

inline Bytes u16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline Bytes u32(std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }
inline Bytes f32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return u32(bits);
}
inline Bytes cstr(const std::string& s) { return s + '\0'; }

inline Bytes chunk(unsigned id, const Bytes& body) {
  return u16(id) + u32(static_cast<std::uint32_t>(6 + body.size())) + body;
}

struct Vec3 {
  float x, y, z;  // as the file stores them
};
struct Face {
  unsigned a, b, c;
};
struct Group {
  std::string material;
  std::vector<unsigned> faces;
};
struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::pair<float, float> > texCoords;  // none when empty
  std::vector<Face> faces;
  std::vector<Group> groups;
};

// A mesh chunk: vertices, texture coordinates when there are any, faces with their groups.
inline Bytes triangles(const Mesh& mesh) {
  Bytes vertices = u16(static_cast<unsigned>(mesh.vertices.size()));
  for (const Vec3& v : mesh.vertices) vertices += f32(v.x) + f32(v.y) + f32(v.z);
  Bytes body = chunk(0x4110, vertices);
  if (!mesh.texCoords.empty()) {
    Bytes uv = u16(static_cast<unsigned>(mesh.texCoords.size()));
    for (const auto& [u, v] : mesh.texCoords) uv += f32(u) + f32(v);
    body += chunk(0x4140, uv);
  }
  Bytes faces = u16(static_cast<unsigned>(mesh.faces.size()));
  for (const Face& f : mesh.faces) faces += u16(f.a) + u16(f.b) + u16(f.c) + u16(7);
  for (const Group& g : mesh.groups) {
    Bytes group = cstr(g.material) + u16(static_cast<unsigned>(g.faces.size()));
    for (unsigned f : g.faces) group += u16(f);
    faces += chunk(0x4130, group);
  }
  return chunk(0x4100, body + chunk(0x4120, faces));
}

inline Bytes object(const std::string& name, const Bytes& content = "") {
  return chunk(0x4000, cstr(name) + content);
}
inline Bytes object(const std::string& name, const Mesh& mesh) {
  return object(name, triangles(mesh));
}

// Material properties: a colour or percentage chunk around its value chunks.
inline Bytes colourBytes(unsigned r, unsigned g, unsigned b, unsigned kind = 0x11) {
  return chunk(kind, Bytes{static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)});
}
inline Bytes colourFloats(float r, float g, float b, unsigned kind = 0x10) {
  return chunk(kind, f32(r) + f32(g) + f32(b));
}
inline Bytes percentInt(int v) { return chunk(0x30, u16(static_cast<std::uint16_t>(v))); }
inline Bytes percentFloat(float v) { return chunk(0x31, f32(v)); }
constexpr unsigned kAmbient = 0xA010, kDiffuse = 0xA020, kSpecular = 0xA030, kShininess = 0xA040,
                   kTransparency = 0xA050;
inline Bytes property(unsigned id, const Bytes& values) { return chunk(id, values); }
inline Bytes shading(int v) { return chunk(0xA100, u16(static_cast<std::uint16_t>(v))); }

inline Bytes material(const std::string& name, const Bytes& properties = "") {
  return chunk(0xAFFF, chunk(0xA000, cstr(name)) + properties);
}
inline Bytes unnamedMaterial(const Bytes& properties = "") { return chunk(0xAFFF, properties); }
// A grey material as the shipped meshes have them.
inline Bytes greyMaterial(const std::string& name, unsigned level) {
  return material(name, property(kAmbient, colourBytes(level, level, level)) +
                            property(kDiffuse, colourBytes(level, level, level)) +
                            property(kSpecular, colourBytes(0, 0, 0)) +
                            property(kShininess, percentInt(10)) + shading(3));
}

inline Bytes file(const std::vector<Bytes>& scene) {
  Bytes body = chunk(0x3D3E, u32(3));
  for (const Bytes& item : scene) body += item;
  return chunk(0x4D4D, chunk(0x0002, u32(3)) + chunk(0x3D3D, body));
}

// One triangle with texture coordinates, its corners' file coordinates scaled by `size`.
inline Mesh triangle(const std::string& material, float size = 1.0f) {
  Mesh mesh;
  mesh.vertices = {{0, 0, 0}, {size, 0, 0}, {0, size, 0}};
  mesh.texCoords = {{0, 0}, {1, 0}, {0, 1}};
  mesh.faces = {{0, 1, 2}};
  if (!material.empty()) mesh.groups = {{material, {0}}};
  return mesh;
}

}  // namespace write3ds
