#include "assets/mesh3ds.h"

#include <unordered_map>
#include <vector>

#include "assets/mesh3ds_read.h"
#include "assets/mesh_fit.h"

namespace assets {
namespace {

constexpr MeshLimits kGroundLimits{3200, 100.0f, 40000.0f};  // drawn x10: 1 km from the origin
constexpr MeshLimits kHullLimits{800, 7.0f, 270.0f};
constexpr MeshLimits kTrackLimits{9600, 6.0f, 92.0f};
constexpr MeshLimits kWheelLimits{3000, 0.5f, 2.4f};
constexpr MeshLimits kTurretLimits{1000, 5.0f, 116.0f};
constexpr MeshLimits kGunLimits{1500, 6.0f, 32.0f};

// A buffer's indices are 16 bits wide, and one buffer may hold every triangle of a mesh.
constexpr std::size_t kMaxBufferVertices = 65535;
static_assert(3 * kTrackLimits.maxTriangles <= kMaxBufferVertices &&
                  3 * kGroundLimits.maxTriangles <= kMaxBufferVertices &&
                  3 * kHullLimits.maxTriangles <= kMaxBufferVertices &&
                  3 * kWheelLimits.maxTriangles <= kMaxBufferVertices &&
                  3 * kTurretLimits.maxTriangles <= kMaxBufferVertices &&
                  3 * kGunLimits.maxTriangles <= kMaxBufferVertices,
              "every role's triangles fit one buffer");

constexpr unsigned char kFirstPrintable = 0x20, kLastPrintable = 0x7E;  // ASCII

// A name as a refusal may quote it: printable ASCII, anything else as '?'.
std::string printable(const std::string& name) {
  std::string text = name;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < kFirstPrintable || byte > kLastPrintable) c = '?';
  }
  return text;
}

// Face `face` of `object` as three new vertices at the end of `buffer`, wound the other way.
void addFace(irr::scene::SMeshBuffer& buffer, const unsigned char* bytes, const tds::Object& object,
             std::size_t face, irr::video::SColor colour) {
  const unsigned char* record = bytes + object.facesAt + face * tds::kFaceBytes;
  const auto base = static_cast<irr::u16>(buffer.Vertices.size());
  irr::video::S3DVertex corners[3];
  for (int c = 0; c < 3; ++c) {
    const std::size_t index = tds::u16At(record + 2 * c);
    const unsigned char* position = bytes + object.verticesAt + index * tds::kVertexBytes;
    corners[c].Pos.set(tds::floatAt(position), tds::floatAt(position + 8),
                       tds::floatAt(position + 4));
    if (object.texCoords) {
      const unsigned char* uv = bytes + object.texCoordsAt + index * tds::kTexCoordBytes;
      corners[c].TCoords.set(tds::floatAt(uv), 1.0f - tds::floatAt(uv + 4));
    }
    corners[c].Color = colour;
  }
  const irr::core::plane3df plane(corners[0].Pos, corners[2].Pos, corners[1].Pos);
  for (irr::video::S3DVertex& corner : corners) {
    corner.Normal = plane.Normal;
    buffer.Vertices.push_back(corner);
  }
  buffer.Indices.push_back(base);
  buffer.Indices.push_back(static_cast<irr::u16>(base + 2));
  buffer.Indices.push_back(static_cast<irr::u16>(base + 1));
}

// Each group's material, by name; the triangles each buffer gets (the last buffer is the
// default material's). Empty with `why` set when a group names no material.
std::vector<std::size_t> assignMaterials(tds::File& file, std::string& why) {
  std::unordered_map<std::string, std::size_t> byName;
  for (std::size_t i = 0; i < file.materials.size(); ++i)
    byName.emplace(file.materials[i].name, i);  // the first of a name stays
  std::vector<std::size_t> triangles(file.materials.size() + 1, 0);
  for (tds::Object& object : file.objects) {
    std::size_t grouped = 0;
    for (tds::Group& group : object.groups) {
      const auto material = byName.find(group.materialName);
      if (material == byName.end()) {
        why = "3DS: a material group names no material: \"" + printable(group.materialName) + "\"";
        return {};
      }
      group.material = material->second;
      triangles[group.material] += group.count;
      grouped += group.count;
    }
    triangles.back() += object.faceCount - grouped;
  }
  return triangles;
}

}  // namespace

MeshLimits limitsOf(MeshRole role) {
  switch (role) {
    case MeshRole::Ground: return kGroundLimits;
    case MeshRole::Hull: return kHullLimits;
    case MeshRole::Track: return kTrackLimits;
    case MeshRole::Wheel: return kWheelLimits;
    case MeshRole::Turret: return kTurretLimits;
    case MeshRole::Gun: return kGunLimits;
  }
  return MeshLimits{0, 0.0f, 0.0f};
}

const char* roleName(MeshRole role) {
  switch (role) {
    case MeshRole::Ground: return "ground";
    case MeshRole::Hull: return "hull";
    case MeshRole::Track: return "track";
    case MeshRole::Wheel: return "wheel";
    case MeshRole::Turret: return "turret";
    case MeshRole::Gun: return "gun";
  }
  return "unknown";
}

irr::scene::SAnimatedMesh* decode3ds(const unsigned char* bytes, std::size_t size, MeshRole role,
                                     std::string& why) {
  tds::File file;
  why = tds::read(bytes, size, role, file);
  if (!why.empty()) return nullptr;
  const std::vector<std::size_t> triangles = assignMaterials(file, why);
  if (!why.empty()) return nullptr;

  const std::size_t fallback = file.materials.size();  // the default material's buffer
  std::vector<irr::scene::SMeshBuffer*> buffers(fallback + 1, nullptr);
  for (std::size_t i = 0; i <= fallback; ++i) {
    if (triangles[i] == 0) continue;
    buffers[i] = new irr::scene::SMeshBuffer();
    if (i < fallback) buffers[i]->Material = file.materials[i].material;
    buffers[i]->Vertices.reallocate(static_cast<irr::u32>(3 * triangles[i]));
    buffers[i]->Indices.reallocate(static_cast<irr::u32>(3 * triangles[i]));
  }
  const irr::video::SColor defaultColour = irr::video::SMaterial().DiffuseColor;
  std::vector<bool> grouped;
  for (const tds::Object& object : file.objects) {
    grouped.assign(object.faceCount, false);
    for (const tds::Group& group : object.groups) {
      const irr::video::SColor colour = file.materials[group.material].vertexColour;
      for (std::size_t i = 0; i < group.count; ++i) {
        const std::size_t face = tds::u16At(bytes + group.facesAt + tds::kFaceIndexBytes * i);
        grouped[face] = true;
        addFace(*buffers[group.material], bytes, object, face, colour);
      }
    }
    for (std::size_t face = 0; face < object.faceCount; ++face)
      if (!grouped[face]) addFace(*buffers[fallback], bytes, object, face, defaultColour);
  }

  irr::scene::SMesh* mesh = new irr::scene::SMesh();
  for (irr::scene::SMeshBuffer* buffer : buffers) {
    if (buffer == nullptr) continue;
    buffer->recalculateBoundingBox();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  mesh->recalculateBoundingBox();
  why = fitRefusal(*mesh, role);
  if (!why.empty()) {
    mesh->drop();
    return nullptr;
  }
  auto* animated = new irr::scene::SAnimatedMesh(mesh, irr::scene::EAMT_3DS);
  mesh->drop();
  return animated;
}

}  // namespace assets
