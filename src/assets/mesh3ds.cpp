#include "assets/mesh3ds.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "assets/mesh3ds_read.h"
#include "assets/mesh_fit.h"

namespace assets {
namespace {

// Clear of the camera. The chase camera hangs 10 m behind a pivot at the hull's origin and
// turns about it; where the ground would bring it lower than 1 m it is only ever lifted, on
// the side away from the hull, so the eye is never nearer than kCameraOrbit to the hull's
// origin, whatever the hull's pitch and roll, the turret's yaw or the gun's elevation. A
// mesh whose every vertex lies within `r` of its pivot, drawn at most `scale` times its size,
// its pivot at most `fromHull` from the hull's origin, therefore stays at least
// kCameraOrbit - fromHull - scale r from the eye (the triangle inequality, in every pose);
// each role keeps that at least kNearPlane + kCameraMargin. The rig, in m:
// - hull: its pivot is the hull's origin;
// - turret: on the hull 2 above its origin, turning about its own vertical axis;
// - gun: its pivot on the turret 0.4 up and 2.3 ahead, so sqrt(2.4^2 + 2.3^2) = 3.33 from
//   the hull's origin at any yaw; the gun mesh hangs 2.2 ahead of that pivot, which is
//   therefore 2.2 behind the mesh's origin;
// - track: on the tank's root, not the hull, 1.7 to the side and 0.6 up, drawn at most
//   1.15 times its size; the hull rides on its springs within about a metre of the root,
//   so 2.5 from the hull's origin;
// - wheel: on a mount 1.7 out, 1.0 up and up to 2.7 along the hull, hanging about 0.75
//   below it on its spring: 3.5 from the hull's origin.
// The tracks' and wheels' figures hold while the hull rides on them; a jump throws the hull
// off its running gear for a moment, which no bound on a mesh can cover.
constexpr float kNearPlane = 1.0f;      // m: the camera's near value, the engine's default
constexpr float kCameraMargin = 0.25f;  // m kept beyond the near plane

constexpr MeshPoint kAtOrigin{0.0f, 0.0f, 0.0f};
constexpr MeshPoint kGunPivot{0.0f, 0.0f, -2.2f};  // m, behind the gun mesh's origin

// The ground is not on the rig: its reach bounds the world (drawn x10: 1 km from the
// origin), its relief and layers what it draws (mesh_fit.h).
constexpr MeshLimits kGroundLimits{3200, 100.0f, 40000.0f, 2, 0.0f, kAtOrigin, 0.0f, 10.0f};
constexpr MeshLimits kHullLimits{800, 7.0f, 270.0f, 20, 3.3f, kAtOrigin, 0.0f, 1.0f};
constexpr MeshLimits kTrackLimits{9600, 5.0f, 92.0f, 20, 2.3f, kAtOrigin, 2.5f, 1.15f};
constexpr MeshLimits kWheelLimits{3000, 0.5f, 1.2f, 20, 0.03f, kAtOrigin, 3.5f, 1.0f};
constexpr MeshLimits kTurretLimits{1000, 5.0f, 90.0f, 16, 1.6f, kAtOrigin, 2.0f, 1.0f};
constexpr MeshLimits kGunLimits{1500, 5.4f, 32.0f, 20, 1.8f, kGunPivot, 3.33f, 1.0f};

constexpr bool clearOfCamera(const MeshLimits& limits) {
  return kCameraOrbit - limits.fromHull - limits.scale * limits.maxReach >=
         kNearPlane + kCameraMargin;
}
static_assert(clearOfCamera(kHullLimits) && clearOfCamera(kTrackLimits) &&
                  clearOfCamera(kWheelLimits) && clearOfCamera(kTurretLimits) &&
                  clearOfCamera(kGunLimits),
              "every part of the tank stays clear of the camera's near plane");

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
  return MeshLimits{0, 0.0f, 0.0f, 0, 0.0f, kAtOrigin, 0.0f, 1.0f};
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

  // Each material's buffer: the first of the materials drawn alike, the default material
  // (faces in no group) last.
  const std::size_t fallback = file.materials.size();
  std::vector<irr::video::SMaterial> drawn(fallback + 1);
  for (std::size_t i = 0; i < fallback; ++i) drawn[i] = file.materials[i].material;
  std::vector<std::size_t> bufferOf(fallback + 1);
  std::vector<std::size_t> merged(fallback + 1, 0);  // triangles of each first material
  std::vector<std::size_t> firsts;                   // the materials that have a buffer
  const MeshLimits limits = limitsOf(role);
  for (std::size_t i = 0; i <= fallback; ++i) {
    if (triangles[i] == 0) continue;
    const auto same = std::find_if(firsts.begin(), firsts.end(),
                                   [&](std::size_t j) { return drawn[j] == drawn[i]; });
    bufferOf[i] = same == firsts.end() ? i : *same;
    if (same == firsts.end()) firsts.push_back(i);
    if (firsts.size() > limits.maxBuffers) {
      why = std::string("3DS: too many materials to draw: a ") + roleName(role) +
            " mesh draws at most " + std::to_string(limits.maxBuffers) + " distinct materials";
      return nullptr;
    }
    merged[bufferOf[i]] += triangles[i];
  }
  std::vector<irr::scene::SMeshBuffer*> buffers(fallback + 1, nullptr);
  for (std::size_t i = 0; i <= fallback; ++i) {
    if (merged[i] == 0) continue;
    buffers[i] = new irr::scene::SMeshBuffer();
    buffers[i]->Material = drawn[i];
    buffers[i]->Vertices.reallocate(static_cast<irr::u32>(3 * merged[i]));
    buffers[i]->Indices.reallocate(static_cast<irr::u32>(3 * merged[i]));
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
        addFace(*buffers[bufferOf[group.material]], bytes, object, face, colour);
      }
    }
    for (std::size_t face = 0; face < object.faceCount; ++face)
      if (!grouped[face]) addFace(*buffers[bufferOf[fallback]], bytes, object, face, defaultColour);
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
