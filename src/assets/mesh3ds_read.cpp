#include "assets/mesh3ds_read.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

// A tree of chunks, each a 16-bit id and a 32-bit length, header included. Only the chunks
// that carry geometry and plain materials are accepted, each with its exact layout; anything
// else (textures, lights, cameras, keyframes) is refused rather than skipped, so that every
// accepted file is drawn as written.

namespace assets::tds {
namespace {

constexpr std::size_t kChunkHeader = 6;  // bytes
constexpr int kMaxChunkDepth = 8;        // chunks in chunks: deeper than the accepted layout
// Limits on the work a file can ask for, whatever its role.
constexpr std::size_t kMaxMeshBytes = 4u << 20;  // bytes: the largest mesh any role accepts,
                                                 // with every material and name, fits in less
constexpr std::size_t kMaxNameBytes = 256;       // bytes, terminator included: object,
                                                 // material and group names
constexpr std::size_t kMaxMeshObjects = 4096;    // per file
constexpr std::size_t kMaxMeshMaterials = 1024;  // per file
constexpr std::size_t kMaxMeshGroups = 4096;     // per file, material groups of faces
constexpr std::size_t kCornersPerTriangle = 3;   // vertices a file may hold per triangle allowed
// Texture repeats: beyond this a float coordinate has too few bits left to place a texel of
// the largest texture.
constexpr float kMaxTexCoord = 1024.0f;

constexpr unsigned kMain = 0x4D4D;
constexpr unsigned kVersion = 0x0002;
constexpr unsigned kScene = 0x3D3D;
constexpr unsigned kMeshVersion = 0x3D3E;
constexpr unsigned kMasterScale = 0x0100;
constexpr unsigned kMaterial = 0xAFFF;
constexpr unsigned kMaterialName = 0xA000;
constexpr unsigned kAmbient = 0xA010;
constexpr unsigned kDiffuse = 0xA020;
constexpr unsigned kSpecular = 0xA030;
constexpr unsigned kShininess = 0xA040;
constexpr unsigned kShininessStrength = 0xA041;
constexpr unsigned kTransparency = 0xA050;
constexpr unsigned kTransparencyFalloff = 0xA052;
constexpr unsigned kReflectionBlur = 0xA053;
constexpr unsigned kWireSize = 0xA087;
constexpr unsigned kShading = 0xA100;
constexpr unsigned kColourFloat = 0x0010;
constexpr unsigned kColourBytes = 0x0011;
constexpr unsigned kColourBytesGamma = 0x0012;
constexpr unsigned kColourFloatGamma = 0x0013;
constexpr unsigned kPercentInt = 0x0030;
constexpr unsigned kPercentFloat = 0x0031;
constexpr unsigned kObject = 0x4000;
constexpr unsigned kTriangles = 0x4100;
constexpr unsigned kVertices = 0x4110;
constexpr unsigned kFaces = 0x4120;
constexpr unsigned kFaceMaterial = 0x4130;
constexpr unsigned kTexCoords = 0x4140;
constexpr unsigned kSmoothing = 0x4150;
constexpr unsigned kLocalAxes = 0x4160;

constexpr std::size_t kLocalAxesBytes = 48;  // 4 x 3 floats
constexpr int kShadingWire = 0;
constexpr int kShadingFlat = 1;
constexpr float kPercent = 100.0f;         // an integer percentage per 1
constexpr float kShininessRange = 128.0f;  // the engine's shininess at a percentage of 0
constexpr float kColourScale = 255.0f;     // a colour byte per 1

std::uint32_t u32At(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string hex(unsigned id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", id);
  return text;
}

// Where the chunk being read belongs.
struct Context {
  Material* material = nullptr;  // inside a material chunk
  std::size_t object = 0;        // index into File::objects, inside a mesh chunk
};

// What one mesh chunk (0x4100) declared, checked against each other when it ends.
struct TriangleMesh {
  bool vertices = false, texCoords = false, faces = false;
  std::size_t vertexCount = 0, texCoordCount = 0, faceCount = 0;
  unsigned highestIndex = 0;
};

// The values of a material that settle others once the whole material is read.
struct MaterialValues {
  float transparency = 0.0f;  // 0 opaque to 1 invisible
};

class Reader {
 public:
  Reader(const unsigned char* bytes, MeshRole role, File& file)
      : bytes_(bytes), role_(role), limits_(limitsOf(role)), file_(file) {}

  std::string refusal;

  // The chunks in [begin, end), children of `parent`: each one allowed there, laid end to
  // end, and each body in its exact layout.
  bool children(unsigned parent, std::size_t begin, std::size_t end, int depth, Context& at,
                TriangleMesh* mesh) {
    if (depth > kMaxChunkDepth) return fail("chunks nested too deep", begin);
    Seen seen;
    while (begin < end) {
      if (end - begin < kChunkHeader) return fail("a cut chunk header", begin);
      const unsigned id = u16At(bytes_ + begin);
      const std::size_t length = u32At(bytes_ + begin + 2);
      if (length < kChunkHeader || length > end - begin)
        return fail("a chunk shorter than its header or longer than its parent", begin);
      if (!allowed(parent, id)) return fail("an unsupported chunk " + hex(id), begin);
      const std::size_t body = begin + kChunkHeader, stop = begin + length;
      if (const std::size_t size = fixedBody(id); size != 0) {
        if (stop - body != size) return fail("a chunk of the wrong size", begin);
        if (id == kShading && at.material != nullptr) shade(*at.material, body);
      } else if (!chunk(id, body, stop, depth, at, mesh, seen)) {
        return false;
      }
      begin = stop;
    }
    return true;
  }

 private:
  // Which once-only chunks a parent has shown so far.
  struct Seen {
    bool name = false, triangles = false, smoothing = false;
  };

  const unsigned char* bytes_;
  MeshRole role_;
  MeshLimits limits_;
  File& file_;
  std::size_t groups_ = 0, objects_ = 0, vertices_ = 0;  // in the whole file
  MaterialValues values_;                                // of the material being read
  std::vector<bool> usedFaces_;  // the faces of the current face list given a material

  bool fail(const std::string& why, std::size_t at) {
    refusal = "3DS: " + why + " at byte " + std::to_string(at);
    return false;
  }

  // `what` is beyond `rule`, a limit of the role, said as "<role> mesh <rule>".
  bool failRole(const std::string& what, const std::string& rule, std::size_t at) {
    return fail(what + ": a " + roleName(role_) + " mesh " + rule, at);
  }

  // Whether a chunk `child` may sit inside a chunk `parent`.
  static bool allowed(unsigned parent, unsigned child) {
    switch (parent) {
      case kMain: return child == kVersion || child == kScene;
      case kScene:
        return child == kMeshVersion || child == kMasterScale || child == kMaterial ||
               child == kObject;
      case kMaterial:
        return child == kMaterialName || child == kAmbient || child == kDiffuse ||
               child == kSpecular || child == kShininess || child == kShininessStrength ||
               child == kTransparency || child == kTransparencyFalloff ||
               child == kReflectionBlur || child == kWireSize || child == kShading;
      case kAmbient:
      case kDiffuse:
      case kSpecular:
        return child == kColourFloat || child == kColourBytes || child == kColourBytesGamma ||
               child == kColourFloatGamma;
      case kShininess:
      case kShininessStrength:
      case kTransparency:
      case kTransparencyFalloff:
      case kReflectionBlur: return child == kPercentInt || child == kPercentFloat;
      case kObject: return child == kTriangles;
      case kTriangles:
        return child == kVertices || child == kTexCoords || child == kFaces || child == kLocalAxes;
      case kFaces: return child == kFaceMaterial || child == kSmoothing;
    }
    return false;
  }

  // The bytes of a fixed-size leaf chunk; 0 for chunks that are not such leaves.
  static std::size_t fixedBody(unsigned id) {
    switch (id) {
      case kVersion:
      case kMeshVersion:
      case kMasterScale:
      case kWireSize:
      case kPercentFloat: return 4;
      case kShading:
      case kPercentInt: return 2;
      case kColourFloat:
      case kColourFloatGamma: return 12;
      case kColourBytes:
      case kColourBytesGamma: return 3;
      case kLocalAxes: return kLocalAxesBytes;
    }
    return 0;
  }

  // The NUL-terminated name at [at, end), terminator included, into `name`: its length, or
  // 0 (the refusal said) when it is unterminated or too long.
  std::size_t nameAt(std::size_t at, std::size_t end, std::string& name) {
    const std::size_t span = std::min(end - at, kMaxNameBytes);
    const void* nul = std::memchr(bytes_ + at, 0, span);
    if (nul == nullptr) {
      fail(span == kMaxNameBytes
               ? "a name longer than " + std::to_string(kMaxNameBytes - 1) + " bytes"
               : std::string("an unterminated name"),
           at);
      return 0;
    }
    const std::size_t length = static_cast<const unsigned char*>(nul) - (bytes_ + at);
    name.assign(reinterpret_cast<const char*>(bytes_ + at), length);
    return length + 1;
  }

  // A 16-bit count at `at` followed by exactly count records of `size` bytes before `end`
  // (or, with `more`, at least those). The count, or -1 when they do not fit.
  long countedRecords(std::size_t at, std::size_t end, std::size_t size, bool more) const {
    if (end - at < 2) return -1;
    const std::size_t count = u16At(bytes_ + at);
    const std::size_t need = 2 + count * size;
    if (need > end - at || (!more && need != end - at)) return -1;
    return static_cast<long>(count);
  }

  // The first list of its kind in a mesh, its count agreeing with its chunk: that count,
  // noted in `seen`; else -1, the refusal said.
  long countedList(bool* seen, const std::string& what, std::size_t body, std::size_t stop,
                   std::size_t recordBytes, bool more) {
    if (*seen) {
      fail("a second " + what + " list", body);
      return -1;
    }
    const long count = countedRecords(body, stop, recordBytes, more);
    if (count < 0) fail("a " + what + " count that disagrees with its chunk", body);
    *seen = true;
    return count;
  }

  bool chunk(unsigned id, std::size_t body, std::size_t stop, int depth, Context& at,
             TriangleMesh* mesh, Seen& seen) {
    switch (id) {
      case kScene: return children(id, body, stop, depth + 1, at, nullptr);
      case kMaterial: return material(body, stop, depth);
      case kMaterialName: {
        if (seen.name) return fail("a second material name", body);
        seen.name = true;
        const std::size_t name = nameAt(body, stop, at.material->name);
        if (name == 0) return false;
        return name == stop - body || fail("bytes after a material name", body);
      }
      case kAmbient:
      case kDiffuse:
      case kSpecular:
      case kShininess:
      case kShininessStrength:
      case kTransparency:
      case kTransparencyFalloff:
      case kReflectionBlur:
        // The first value chunk is the value.
        if (body == stop) return fail("a colour or percentage without its value", body);
        if (!children(id, body, stop, depth + 1, at, nullptr)) return false;
        return property(id, body, *at.material);
      case kObject: {
        if (++objects_ > kMaxMeshObjects) return fail("too many objects", body);
        std::string name;
        const std::size_t length = nameAt(body, stop, name);
        if (length == 0) return false;
        return children(id, body + length, stop, depth + 1, at, nullptr);
      }
      case kTriangles: {
        if (seen.triangles) return fail("a second mesh in one object", body);
        seen.triangles = true;
        file_.objects.emplace_back();
        Context inMesh = at;
        inMesh.object = file_.objects.size() - 1;
        TriangleMesh triangles;
        if (!children(id, body, stop, depth + 1, inMesh, &triangles)) return false;
        return consistent(triangles, body);
      }
      case kVertices: return vertexList(body, stop, object(at), *mesh);
      case kTexCoords: return texCoordList(body, stop, object(at), *mesh);
      case kFaces: return faceList(body, stop, depth, at, *mesh);
      case kFaceMaterial: return group(body, stop, object(at), *mesh);
      case kSmoothing:
        if (seen.smoothing) return fail("a second smoothing list", body);
        seen.smoothing = true;
        if (stop - body != 4 * mesh->faceCount)
          return fail("a smoothing list of the wrong size", body);
        return true;
    }
    return fail("an unsupported chunk " + hex(id), body);
  }

  Object& object(const Context& at) { return file_.objects[at.object]; }

  bool material(std::size_t body, std::size_t stop, int depth) {
    if (file_.materials.size() >= kMaxMeshMaterials) return fail("too many materials", body);
    Material material;
    values_ = MaterialValues();
    Context inMaterial;
    inMaterial.material = &material;
    if (!children(kMaterial, body, stop, depth + 1, inMaterial, nullptr)) return false;
    // Blended over what lies behind it, a transparent layer costs its whole area however
    // many lie in front; no mesh of ours is transparent.
    if (values_.transparency > 0.0f)
      return failRole("a transparent material", "is opaque throughout", body);
    material.vertexColour = material.material.DiffuseColor;
    file_.materials.push_back(std::move(material));
    return true;
  }

  // The colour or percentage in the first value chunk at `body` (checked) into `material`.
  bool property(unsigned id, std::size_t body, Material& material) {
    const unsigned kind = u16At(bytes_ + body);
    const unsigned char* value = bytes_ + body + kChunkHeader;
    if (id == kAmbient || id == kDiffuse || id == kSpecular) {
      irr::video::SColor colour(255, 0, 0, 0);
      if (kind == kColourBytes || kind == kColourBytesGamma) {
        colour.set(255, value[0], value[1], value[2]);
      } else {
        float channel[3];
        for (int i = 0; i < 3; ++i) {
          channel[i] = floatAt(value + 4 * i);
          if (!std::isfinite(channel[i])) return fail("a colour that is not a number", body);
          // Truncated, as the engine turns float colours into bytes.
          channel[i] = std::clamp(channel[i], 0.0f, 1.0f) * kColourScale;
        }
        colour.set(255, static_cast<irr::u32>(channel[0]), static_cast<irr::u32>(channel[1]),
                   static_cast<irr::u32>(channel[2]));
      }
      irr::video::SMaterial& m = material.material;
      (id == kAmbient   ? m.AmbientColor
       : id == kDiffuse ? m.DiffuseColor
                        : m.SpecularColor) = colour;
      return true;
    }
    float percent = kind == kPercentInt
                        ? static_cast<float>(static_cast<std::int16_t>(u16At(value))) / kPercent
                        : floatAt(value);
    if (!std::isfinite(percent)) return fail("a percentage that is not a number", body);
    percent = std::clamp(percent, 0.0f, 1.0f);
    if (id == kShininess) material.material.Shininess = (1.0f - percent) * kShininessRange;
    if (id == kTransparency) values_.transparency = percent;
    return true;
  }

  void shade(Material& material, std::size_t body) {
    const int shading = static_cast<std::int16_t>(u16At(bytes_ + body));
    material.material.Wireframe = shading == kShadingWire;
    material.material.GouraudShading = shading != kShadingFlat;
  }

  bool vertexList(std::size_t body, std::size_t stop, Object& object, TriangleMesh& mesh) {
    const long count = countedList(&mesh.vertices, "vertex", body, stop, kVertexBytes, false);
    if (count < 0) return false;
    mesh.vertexCount = static_cast<std::size_t>(count);
    vertices_ += mesh.vertexCount;
    const std::size_t most = kCornersPerTriangle * limits_.maxTriangles;
    if (vertices_ > most)
      return failRole("too many vertices", "has at most " + std::to_string(most), body);
    object.verticesAt = body + 2;
    object.vertexCount = mesh.vertexCount;
    // The file's (x, y, z) is the scene's (x, z, y).
    const MeshPoint& pivot = limits_.pivot;
    for (std::size_t i = 0; i < mesh.vertexCount; ++i) {
      const unsigned char* at = bytes_ + object.verticesAt + kVertexBytes * i;
      const double x = floatAt(at) - pivot.x, y = floatAt(at + 8) - pivot.y,
                   z = floatAt(at + 4) - pivot.z;
      const double reach = std::sqrt(x * x + y * y + z * z);
      if (!(reach <= limits_.maxReach))  // false for NaN too
        return failRole("a vertex " + number(reach) + " m from its pivot",
                        "reaches at most " + number(limits_.maxReach) + " m from its pivot", body);
    }
    return true;
  }

  bool texCoordList(std::size_t body, std::size_t stop, Object& object, TriangleMesh& mesh) {
    const long count =
        countedList(&mesh.texCoords, "texture-coordinate", body, stop, kTexCoordBytes, false);
    if (count < 0) return false;
    mesh.texCoordCount = static_cast<std::size_t>(count);
    object.texCoords = true;
    object.texCoordsAt = body + 2;
    for (std::size_t i = 0; i < 2 * mesh.texCoordCount; ++i)
      if (!(std::fabs(floatAt(bytes_ + object.texCoordsAt + 4 * i)) <= kMaxTexCoord))
        return fail("a texture coordinate beyond " + number(kMaxTexCoord), body);
    return true;
  }

  bool faceList(std::size_t body, std::size_t stop, int depth, Context& at, TriangleMesh& mesh) {
    const long count = countedList(&mesh.faces, "face", body, stop, kFaceBytes, true);
    if (count < 0) return false;
    mesh.faceCount = static_cast<std::size_t>(count);
    file_.faces += mesh.faceCount;
    if (file_.faces > limits_.maxTriangles)
      return failRole("too many triangles", "has at most " + std::to_string(limits_.maxTriangles),
                      body);
    Object& faces = object(at);
    faces.facesAt = body + 2;
    faces.faceCount = mesh.faceCount;
    for (std::size_t f = 0; f < mesh.faceCount; ++f)
      for (std::size_t corner = 0; corner < 3; ++corner)
        mesh.highestIndex = std::max(mesh.highestIndex,
                                     u16At(bytes_ + faces.facesAt + f * kFaceBytes + 2 * corner));
    usedFaces_.assign(mesh.faceCount, false);
    return children(kFaces, faces.facesAt + mesh.faceCount * kFaceBytes, stop, depth + 1, at,
                    &mesh);
  }

  // A material name, then a counted list of faces, each a face of this mesh in no other group.
  bool group(std::size_t body, std::size_t stop, Object& object, const TriangleMesh& mesh) {
    if (++groups_ > kMaxMeshGroups) return fail("too many material groups", body);
    Group group;
    const std::size_t name = nameAt(body, stop, group.materialName);
    if (name == 0) return false;
    const long count = countedRecords(body + name, stop, kFaceIndexBytes, false);
    if (count < 0) return fail("a material face count that disagrees with its chunk", body);
    group.facesAt = body + name + 2;
    group.count = static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < group.count; ++i) {
      const unsigned face = u16At(bytes_ + group.facesAt + kFaceIndexBytes * i);
      if (face >= mesh.faceCount) return fail("a material face beyond the face list", body);
      if (usedFaces_[face]) return fail("a face in two material groups", body);
      usedFaces_[face] = true;
    }
    object.groups.push_back(std::move(group));
    return true;
  }

  bool consistent(const TriangleMesh& mesh, std::size_t at) {
    if ((mesh.faces || mesh.texCoords) && !mesh.vertices) return fail("faces without vertices", at);
    if (mesh.faceCount > 0 && mesh.highestIndex >= mesh.vertexCount)
      return fail("a face index beyond the vertex list", at);
    if (mesh.texCoords && mesh.texCoordCount != mesh.vertexCount)
      return fail("texture coordinates that do not match the vertices", at);
    return true;
  }
};

}  // namespace

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

unsigned u16At(const unsigned char* p) { return static_cast<unsigned>(p[0] | p[1] << 8); }

float floatAt(const unsigned char* p) {
  const std::uint32_t bits = u32At(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string read(const unsigned char* bytes, std::size_t size, MeshRole role, File& file) {
  if (size < kChunkHeader || u16At(bytes) != kMain) return "not a 3DS file";
  if (size > kMaxMeshBytes) return "3DS: larger than " + std::to_string(kMaxMeshBytes) + " bytes";
  if (u32At(bytes + 2) != size) return "3DS: the file's length disagrees with its header";
  file = File();
  Reader reader(bytes, role, file);
  Context top;
  if (!reader.children(kMain, kChunkHeader, size, 0, top, nullptr)) return reader.refusal;
  return "";
}

}  // namespace assets::tds
