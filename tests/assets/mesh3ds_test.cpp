// Our 3DS decoder: the shipped meshes exactly as the engine's own loader makes them, then
// the layouts no shipped file has, the role limits and the refusals.
#include "assets/mesh3ds.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <fstream>
#include <iterator>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "forge/write3ds.h"
#include "support.h"

namespace {

using assets::MeshRole;
using irr::scene::IMesh;
using irr::scene::IMeshBuffer;
using irr::video::S3DVertex;
using irr::video::SColor;
using irr::video::SMaterial;
namespace w = write3ds;

constexpr float kTolerance = 1e-5f;  // file units and unit-vector components

struct MeshDrop {
  void operator()(irr::scene::IAnimatedMesh* mesh) const {
    if (mesh != nullptr) mesh->drop();
  }
};
using Decoded = std::unique_ptr<irr::scene::SAnimatedMesh, MeshDrop>;

Decoded decode(const std::string& bytes, MeshRole role, std::string* why = nullptr) {
  std::string reason;
  Decoded mesh(assets::decode3ds(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 role, reason));
  EXPECT_EQ(mesh == nullptr, !reason.empty()) << reason;
  if (why != nullptr) *why = reason;
  return mesh;
}

// The refusal of `bytes` as a mesh of `role`; empty (and a failure) when accepted.
std::string refusal(const std::string& bytes, MeshRole role) {
  std::string why;
  EXPECT_EQ(decode(bytes, role, &why), nullptr);
  return why;
}

IMesh* frame(const Decoded& mesh) { return mesh->getMesh(0); }
const S3DVertex& vertex(IMeshBuffer* buffer, unsigned i) {
  return static_cast<const S3DVertex*>(buffer->getVertices())[i];
}

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void expectNear(const irr::core::vector3df& a, const irr::core::vector3df& b, const char* what) {
  EXPECT_NEAR(a.X, b.X, kTolerance) << what;
  EXPECT_NEAR(a.Y, b.Y, kTolerance) << what;
  EXPECT_NEAR(a.Z, b.Z, kTolerance) << what;
}

void expectBoxNear(const irr::core::aabbox3df& a, const irr::core::aabbox3df& b, const char* what) {
  expectNear(a.MinEdge, b.MinEdge, what);
  expectNear(a.MaxEdge, b.MaxEdge, what);
}

// Every field of the material, one by one so that a difference is named.
void expectSameMaterial(const SMaterial& ours, const SMaterial& engine) {
  EXPECT_EQ(ours.MaterialType, engine.MaterialType);
  EXPECT_EQ(ours.AmbientColor, engine.AmbientColor);
  EXPECT_EQ(ours.DiffuseColor, engine.DiffuseColor);
  EXPECT_EQ(ours.EmissiveColor, engine.EmissiveColor);
  EXPECT_EQ(ours.SpecularColor, engine.SpecularColor);
  EXPECT_EQ(ours.Shininess, engine.Shininess);
  EXPECT_EQ(ours.MaterialTypeParam, engine.MaterialTypeParam);
  EXPECT_EQ(ours.MaterialTypeParam2, engine.MaterialTypeParam2);
  EXPECT_EQ(ours.Thickness, engine.Thickness);
  EXPECT_EQ(ours.Wireframe, engine.Wireframe);
  EXPECT_EQ(ours.PointCloud, engine.PointCloud);
  EXPECT_EQ(ours.GouraudShading, engine.GouraudShading);
  EXPECT_EQ(ours.Lighting, engine.Lighting);
  EXPECT_EQ(ours.ZWriteEnable, engine.ZWriteEnable);
  EXPECT_EQ(ours.BackfaceCulling, engine.BackfaceCulling);
  EXPECT_EQ(ours.FrontfaceCulling, engine.FrontfaceCulling);
  EXPECT_EQ(ours.FogEnable, engine.FogEnable);
  EXPECT_EQ(ours.NormalizeNormals, engine.NormalizeNormals);
  EXPECT_EQ(ours.UseMipMaps, engine.UseMipMaps);
  EXPECT_EQ(ours.getTexture(0), engine.getTexture(0));
  EXPECT_TRUE(ours == engine) << "a field beyond those above differs";  // layers, z and blend
}

// --- The shipped meshes, against the engine's loader on a null device.

struct Shipped {
  const char* path;  // under the source tree
  MeshRole role;
};
constexpr Shipped kShipped[] = {
    {"media/env/mark2.3ds", MeshRole::Ground},   {"media/tank/chassi.3ds", MeshRole::Hull},
    {"media/tank/track.3ds", MeshRole::Track},   {"media/tank/wheel.3ds", MeshRole::Wheel},
    {"media/tank/turret.3ds", MeshRole::Turret}, {"media/tank/canon.3ds", MeshRole::Gun},
};

TEST(Mesh3dsEngine, ShippedMeshesEqualTheEnginesOwnLoad) {
  irr::IrrlichtDevice* device = support::createNullDevice();
  for (const Shipped& shipped : kShipped) {
    SCOPED_TRACE(shipped.path);
    const std::string path = std::string(FERROX_SOURCE_DIR) + "/" + shipped.path;
    irr::scene::IAnimatedMesh* theirs = device->getSceneManager()->getMesh(path.c_str());
    ASSERT_NE(theirs, nullptr);
    const Decoded ours = decode(fileBytes(path), shipped.role);
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(ours->getMeshType(), theirs->getMeshType());
    ASSERT_EQ(ours->getFrameCount(), theirs->getFrameCount());
    expectBoxNear(ours->getBoundingBox(), theirs->getBoundingBox(), "animated mesh box");
    IMesh* a = frame(ours);
    IMesh* b = theirs->getMesh(0);
    expectBoxNear(a->getBoundingBox(), b->getBoundingBox(), "mesh box");
    ASSERT_EQ(a->getMeshBufferCount(), b->getMeshBufferCount());
    for (irr::u32 i = 0; i < a->getMeshBufferCount(); ++i) {
      SCOPED_TRACE("buffer " + std::to_string(i));
      IMeshBuffer* x = a->getMeshBuffer(i);
      IMeshBuffer* y = b->getMeshBuffer(i);
      expectSameMaterial(x->getMaterial(), y->getMaterial());
      expectBoxNear(x->getBoundingBox(), y->getBoundingBox(), "buffer box");
      ASSERT_EQ(x->getVertexType(), y->getVertexType());
      ASSERT_EQ(x->getIndexType(), y->getIndexType());
      ASSERT_EQ(x->getVertexCount(), y->getVertexCount());
      ASSERT_EQ(x->getIndexCount(), y->getIndexCount());
      for (irr::u32 v = 0; v < x->getVertexCount(); ++v) {
        const S3DVertex& p = vertex(x, v);
        const S3DVertex& q = vertex(y, v);
        expectNear(p.Pos, q.Pos, "position");
        expectNear(p.Normal, q.Normal, "normal");
        EXPECT_NEAR(p.TCoords.X, q.TCoords.X, kTolerance);
        EXPECT_NEAR(p.TCoords.Y, q.TCoords.Y, kTolerance);
        EXPECT_EQ(p.Color, q.Color);
      }
      for (irr::u32 k = 0; k < x->getIndexCount(); ++k)
        EXPECT_EQ(x->getIndices()[k], y->getIndices()[k]) << "index " << k;
    }
  }
  device->drop();
}

// --- Geometry the shipped meshes do not show.

TEST(Mesh3dsGeometry, WithoutTextureCoordinatesOrAreaCornersGetZeros) {
  w::Mesh mesh = w::triangle("m");
  mesh.texCoords.clear();
  mesh.vertices[2] = {2, 0, 0};  // on the line of the other two
  const Decoded decoded =
      decode(w::file({w::greyMaterial("m", 50), w::object("o", mesh)}), MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  IMeshBuffer* buffer = frame(decoded)->getMeshBuffer(0);
  for (unsigned v = 0; v < 3; ++v) {
    EXPECT_EQ(vertex(buffer, v).TCoords, irr::core::vector2df(0, 0));
    EXPECT_EQ(vertex(buffer, v).Normal, irr::core::vector3df(0, 0, 0));
  }
}

// --- Orders of objects and materials.

// The buffers' materials' diffuse grey levels, in order.
std::vector<unsigned> bufferGreys(const Decoded& mesh) {
  std::vector<unsigned> greys;
  for (irr::u32 i = 0; i < frame(mesh)->getMeshBufferCount(); ++i)
    greys.push_back(frame(mesh)->getMeshBuffer(i)->getMaterial().DiffuseColor.getRed());
  return greys;
}
std::vector<unsigned> bufferTriangles(const Decoded& mesh) {
  std::vector<unsigned> triangles;
  for (irr::u32 i = 0; i < frame(mesh)->getMeshBufferCount(); ++i)
    triangles.push_back(frame(mesh)->getMeshBuffer(i)->getIndexCount() / 3);
  return triangles;
}

w::Mesh threeFaces(std::vector<w::Group> groups) {
  w::Mesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}};
  mesh.faces = {{0, 1, 2}, {1, 3, 2}, {0, 2, 3}};
  mesh.groups = std::move(groups);
  return mesh;
}

TEST(Mesh3dsOrder, BuffersFollowTheMaterialsWhereverTheyAreDefined) {
  const w::Bytes a = w::greyMaterial("a", 10), b = w::greyMaterial("b", 20);
  const w::Bytes o = w::object("o", threeFaces({{"b", {2}}, {"a", {0, 1}}}));
  const Decoded before = decode(w::file({a, b, o}), MeshRole::Hull);
  const Decoded after = decode(w::file({o, a, b}), MeshRole::Hull);
  const Decoded between = decode(w::file({a, o, b}), MeshRole::Hull);
  const Decoded swapped = decode(w::file({b, o, a}), MeshRole::Hull);
  ASSERT_TRUE(before && after && between && swapped);
  EXPECT_EQ(bufferGreys(before), (std::vector<unsigned>{10, 20}));
  EXPECT_EQ(bufferTriangles(before), (std::vector<unsigned>{2, 1}));
  EXPECT_EQ(bufferGreys(after), bufferGreys(before));
  EXPECT_EQ(bufferGreys(between), bufferGreys(before));
  EXPECT_EQ(bufferGreys(swapped), (std::vector<unsigned>{20, 10}));
  EXPECT_EQ(bufferTriangles(swapped), (std::vector<unsigned>{1, 2}));
}

TEST(Mesh3dsOrder, ObjectsSharingAMaterialFillItsBufferInFileOrder) {
  w::Mesh near = w::triangle("a", 1.0f), far = w::triangle("a", 2.0f);
  const Decoded decoded =
      decode(w::file({w::greyMaterial("a", 10), w::object("far", far), w::object("near", near)}),
             MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  IMeshBuffer* buffer = frame(decoded)->getMeshBuffer(0);
  ASSERT_EQ(buffer->getVertexCount(), 6u);
  expectNear(vertex(buffer, 1).Pos, {2, 0, 0}, "the first object's second corner");
  expectNear(vertex(buffer, 4).Pos, {1, 0, 0}, "the second object's second corner");
}

// --- Material groups.

TEST(Mesh3dsGroups, FacesOutsideEveryGroupAreDrawnLastInTheDefaultMaterial) {
  const Decoded decoded =
      decode(w::file({w::greyMaterial("a", 10), w::object("grouped", threeFaces({{"a", {1}}})),
                      w::object("bare", threeFaces({}))}),
             MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(bufferTriangles(decoded), (std::vector<unsigned>{1, 5}));
  IMeshBuffer* rest = frame(decoded)->getMeshBuffer(1);
  EXPECT_TRUE(rest->getMaterial() == SMaterial());
  EXPECT_EQ(vertex(rest, 0).Color, SColor(255, 255, 255, 255));
  expectNear(vertex(rest, 1).Pos, {1, 0, 0}, "face 0 of the first object first");
}

TEST(Mesh3dsGroups, AGroupMeansTheFirstMaterialOfItsNameAndAnUnnamedOneIsNamedEmpty) {
  const Decoded decoded =
      decode(w::file({w::greyMaterial("a", 10), w::greyMaterial("a", 20),
                      w::unnamedMaterial(w::property(w::kDiffuse, w::colourBytes(30, 30, 30))),
                      w::object("o", threeFaces({{"a", {0}}, {"", {1}}}))}),
             MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(bufferGreys(decoded), (std::vector<unsigned>{10, 30, 255}));  // face 2: no group
}

TEST(Mesh3dsGroups, AGroupNamingNoMaterialIsRefusedByName) {
  const std::string why =
      refusal(w::file({w::greyMaterial("a", 10), w::object("o", threeFaces({{"missing", {0}}}))}),
              MeshRole::Hull);
  EXPECT_NE(why.find("names no material: \"missing\""), std::string::npos) << why;
  EXPECT_NE(refusal(w::file({w::object("o", threeFaces({{"", {0}}}))}), MeshRole::Hull), "");
}

TEST(Mesh3dsGroups, AFaceInTwoGroupsOrBeyondTheListIsRefused) {
  EXPECT_NE(refusal(w::file({w::greyMaterial("a", 10), w::greyMaterial("b", 20),
                             w::object("o", threeFaces({{"a", {0, 1}}, {"b", {1}}}))}),
                    MeshRole::Hull)
                .find("two material groups"),
            std::string::npos);
  EXPECT_NE(refusal(w::file({w::greyMaterial("a", 10), w::object("o", threeFaces({{"a", {3}}}))}),
                    MeshRole::Hull)
                .find("beyond the face list"),
            std::string::npos);
}

// --- Materials.

SMaterial onlyMaterial(const w::Bytes& properties, SColor* vertexColour = nullptr) {
  const Decoded decoded = decode(
      w::file({w::material("m", properties), w::object("o", w::triangle("m"))}), MeshRole::Hull);
  if (decoded == nullptr) return SMaterial();
  IMeshBuffer* buffer = frame(decoded)->getMeshBuffer(0);
  if (vertexColour != nullptr) *vertexColour = vertex(buffer, 0).Color;
  return buffer->getMaterial();
}

TEST(Mesh3dsMaterial, ColoursTakeTheirFirstValueInBytesOrTruncatedFloats) {
  const SMaterial m = onlyMaterial(
      w::property(w::kAmbient, w::colourFloats(0.5f, 0.25f, 1.0f)) +
      w::property(w::kDiffuse, w::colourBytes(70, 80, 90, 0x12) + w::colourBytes(1, 2, 3)) +
      w::property(w::kSpecular, w::colourFloats(2.0f, -1.0f, 0.3f, 0x13)));
  EXPECT_EQ(m.AmbientColor, SColor(255, 127, 63, 255));
  EXPECT_EQ(m.DiffuseColor, SColor(255, 70, 80, 90));
  EXPECT_EQ(m.SpecularColor, SColor(255, 255, 0, 76));  // clamped to [0, 1] first
  SColor colour;
  onlyMaterial(w::property(w::kDiffuse, w::colourBytes(7, 8, 9)), &colour);
  EXPECT_EQ(colour, SColor(255, 7, 8, 9));
}

TEST(Mesh3dsMaterial, ShininessTransparencyAndShading) {
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentInt(10))).Shininess, 115.2f);
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentFloat(0.5f))).Shininess, 64);
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentInt(300))).Shininess, 0);

  SColor colour;
  const SMaterial clear = onlyMaterial(w::property(w::kDiffuse, w::colourBytes(10, 20, 30)) +
                                           w::property(w::kTransparency, w::percentInt(75)),
                                       &colour);
  EXPECT_EQ(clear.MaterialType, irr::video::EMT_TRANSPARENT_VERTEX_ALPHA);
  EXPECT_FLOAT_EQ(clear.MaterialTypeParam, 0.75f);
  EXPECT_EQ(clear.DiffuseColor, SColor(255, 10, 20, 30));
  EXPECT_EQ(colour, SColor(64, 10, 20, 30));  // a quarter opaque
  EXPECT_EQ(onlyMaterial(w::property(w::kTransparency, w::percentInt(0))).MaterialType,
            irr::video::EMT_SOLID);

  EXPECT_TRUE(onlyMaterial(w::shading(0)).Wireframe);
  EXPECT_FALSE(onlyMaterial(w::shading(1)).GouraudShading);
  const SMaterial phong = onlyMaterial(w::shading(3));
  EXPECT_FALSE(phong.Wireframe);
  EXPECT_TRUE(phong.GouraudShading);
}

TEST(Mesh3dsMaterial, NumbersThatAreNotNumbersAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto file = [](const w::Bytes& properties) {
    return w::file({w::material("m", properties), w::object("o", w::triangle("m"))});
  };
  EXPECT_NE(refusal(file(w::property(w::kDiffuse, w::colourFloats(nan, 0, 0))), MeshRole::Hull)
                .find("colour that is not a number"),
            std::string::npos);
  EXPECT_NE(refusal(file(w::property(w::kShininess, w::percentFloat(nan))), MeshRole::Hull)
                .find("percentage that is not a number"),
            std::string::npos);
}

// --- Roles: the most triangles and the farthest corner each role accepts.

// `triangles` faces of one material around the file's origin, sharing their edges, the last
// corner at `reach` along the file's x and z.
// A flat fan of triangles round the origin, out to `reach` along the file's x and y.
w::Bytes fan(std::size_t triangles, float reach) {
  w::Mesh mesh;
  w::Group group{"m", {}};
  mesh.vertices.push_back({0, 0, 0});
  for (std::size_t k = 0; k <= triangles; ++k)
    mesh.vertices.push_back(
        {reach * static_cast<float>(k) / static_cast<float>(triangles), reach, 0});
  for (unsigned i = 0; i < triangles; ++i) {
    mesh.faces.push_back({0, i + 1, i + 2});
    group.faces.push_back(i);
  }
  mesh.groups = {group};
  return w::file({w::greyMaterial("m", 100), w::object("fan", mesh)});
}

// Flat triangles spread evenly over the square of side 2 `reach`, as many as given, one to
// each cell of a lattice whose points they share.
w::Bytes spread(std::size_t triangles, float reach) {
  const auto side = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(triangles))));
  const float step = 2.0f * reach / static_cast<float>(side);
  w::Mesh mesh;
  w::Group group{"m", {}};
  for (unsigned j = 0; j <= side; ++j)
    for (unsigned i = 0; i <= side; ++i)
      mesh.vertices.push_back(
          {-reach + step * static_cast<float>(i), -reach + step * static_cast<float>(j), 0});
  for (unsigned t = 0; t < triangles; ++t) {
    const unsigned corner = (t / side) * (side + 1) + t % side;
    mesh.faces.push_back({corner, corner + 1, corner + side + 1});
    group.faces.push_back(t);
  }
  mesh.groups = {group};
  return w::file({w::greyMaterial("m", 100), w::object("spread", mesh)});
}

constexpr MeshRole kRoles[] = {MeshRole::Ground, MeshRole::Hull,   MeshRole::Track,
                               MeshRole::Wheel,  MeshRole::Turret, MeshRole::Gun};

TEST(Mesh3dsRoles, EachRoleTakesUpToItsTrianglesAndNotOneMore) {
  for (MeshRole role : kRoles) {
    const assets::MeshLimits limits = assets::limitsOf(role);
    SCOPED_TRACE(assets::roleName(role));
    // Spread over a square small enough for the role's surface, half of it covered.
    const float reach = std::min(limits.maxExtent, std::sqrt(limits.maxArea / 4.0f));
    const Decoded full = decode(spread(limits.maxTriangles, reach), role);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(frame(full)->getMeshBuffer(0)->getIndexCount(), 3 * limits.maxTriangles);
    const std::string why = refusal(spread(limits.maxTriangles + 1, reach), role);
    EXPECT_NE(why.find(std::string("too many triangles: a ") + assets::roleName(role) +
                       " mesh has at most " + std::to_string(limits.maxTriangles)),
              std::string::npos)
        << why;
  }
}

TEST(Mesh3dsRoles, EachRoleReachesUpToItsExtentAndNoFarther) {
  for (MeshRole role : kRoles) {
    const assets::MeshLimits limits = assets::limitsOf(role);
    SCOPED_TRACE(assets::roleName(role));
    const Decoded reaching = decode(fan(4, -limits.maxExtent), role);
    ASSERT_NE(reaching, nullptr);
    EXPECT_NEAR(frame(reaching)->getBoundingBox().MinEdge.X, -limits.maxExtent, kTolerance);
    const std::string why = refusal(fan(4, limits.maxExtent * 1.01f), role);
    EXPECT_NE(why.find(std::string("a ") + assets::roleName(role) + " mesh reaches at most"),
              std::string::npos)
        << why;
  }
  EXPECT_NE(refusal(fan(1, std::numeric_limits<float>::quiet_NaN()), MeshRole::Ground), "");
  EXPECT_NE(refusal(fan(1, std::numeric_limits<float>::infinity()), MeshRole::Ground), "");
}

TEST(Mesh3dsRoles, VerticesBeyondThreeATriangleAllowedAreRefused) {
  const std::size_t most = 3 * assets::limitsOf(MeshRole::Wheel).maxTriangles;
  w::Mesh mesh = w::triangle("m", 0.1f);
  mesh.texCoords.clear();
  mesh.vertices.resize(most + 1, {0, 0, 0});
  const std::string why =
      refusal(w::file({w::greyMaterial("m", 1), w::object("o", mesh)}), MeshRole::Wheel);
  EXPECT_NE(why.find("too many vertices: a wheel mesh has at most " + std::to_string(most)),
            std::string::npos)
      << why;
}

TEST(Mesh3dsRoles, TextureCoordinatesBeyondTheirRangeAreRefused) {
  w::Mesh mesh = w::triangle("m");
  mesh.texCoords[1].first = 1024.0f;
  EXPECT_NE(decode(w::file({w::greyMaterial("m", 1), w::object("o", mesh)}), MeshRole::Ground),
            nullptr);
  mesh.texCoords[1].first = -1025.0f;
  EXPECT_NE(refusal(w::file({w::greyMaterial("m", 1), w::object("o", mesh)}), MeshRole::Ground)
                .find("texture coordinate beyond"),
            std::string::npos);
}

// --- Limits on the work a file asks for, whatever its role.

TEST(Mesh3dsLimits, NamesUpTo255BytesAndNoLonger) {
  const std::string longest(255, 'n');
  EXPECT_NE(decode(w::file({w::greyMaterial(longest, 1), w::object(longest, w::triangle(longest))}),
                   MeshRole::Hull),
            nullptr);
  for (const w::Bytes& file :
       {w::file({w::greyMaterial(longest + "n", 1)}),
        w::file({w::object(longest + "n", w::triangle(""))}),
        w::file({w::greyMaterial("m", 1), w::object("o", w::triangle(longest + "n"))})})
    EXPECT_NE(refusal(file, MeshRole::Hull).find("a name longer than 255 bytes"),
              std::string::npos);
}

TEST(Mesh3dsLimits, MaterialsObjectsAndGroupsAreCounted) {
  std::vector<w::Bytes> materials(1025, w::unnamedMaterial());
  EXPECT_NE(refusal(w::file(materials), MeshRole::Hull).find("too many materials"),
            std::string::npos);
  materials.pop_back();
  EXPECT_NE(decode(w::file(materials), MeshRole::Hull), nullptr);

  std::vector<w::Bytes> objects(4097, w::object("e"));
  EXPECT_NE(refusal(w::file(objects), MeshRole::Hull).find("too many objects"), std::string::npos);
  objects.pop_back();
  EXPECT_NE(decode(w::file(objects), MeshRole::Hull), nullptr);

  w::Mesh mesh = w::triangle("");
  mesh.groups.assign(4097, {"m", {}});
  EXPECT_NE(refusal(w::file({w::greyMaterial("m", 1), w::object("o", mesh)}), MeshRole::Hull)
                .find("too many material groups"),
            std::string::npos);
}

TEST(Mesh3dsLimits, FilesOverFourMebibytesAreRefusedUnread) {
  w::Bytes padding;
  while (padding.size() < (4u << 20)) padding += w::chunk(0x3D3E, w::u32(3));
  EXPECT_NE(refusal(w::file({padding}), MeshRole::Ground).find("larger than"), std::string::npos);
}

// --- The layouts that broke the engine's loader or stalled it.

TEST(Mesh3dsAttacks, EmptyObjectsBeforeTheMaterialsLeaveEveryGroupItsMaterial) {
  // Three empty objects, named materials, then an object whose group names the last one.
  const Decoded decoded =
      decode(w::file({w::object("e1"), w::object("e2", w::Mesh()), w::object("e3", w::Mesh()),
                      w::greyMaterial("m0", 10), w::greyMaterial("m1", 20),
                      w::greyMaterial("m2", 30), w::object("o", w::triangle("m2"))}),
             MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(bufferGreys(decoded), (std::vector<unsigned>{30}));
  EXPECT_EQ(bufferTriangles(decoded), (std::vector<unsigned>{1}));

  // Unnamed materials between objects with and without groups, as a fuzzer found them.
  const Decoded mixed =
      decode(w::file({w::object("o", threeFaces({})), w::unnamedMaterial(), w::object("e"),
                      w::object("o", threeFaces({{"", {0, 2}}, {"m", {1}}})), w::unnamedMaterial(),
                      w::greyMaterial("m", 30), w::object("o", w::triangle("m"))}),
             MeshRole::Hull);
  ASSERT_NE(mixed, nullptr);
  // The unnamed material's buffer, the named one's, then the faces of no group.
  EXPECT_EQ(bufferTriangles(mixed), (std::vector<unsigned>{2, 2, 3}));
  EXPECT_EQ(bufferGreys(mixed), (std::vector<unsigned>{255, 30, 255}));
}

TEST(Mesh3dsAttacks, AThousandEmptyMaterialsAndHundredsOfEmptyObjectsMakeAnEmptyMesh) {
  std::vector<w::Bytes> scene{w::object("e")};
  for (int i = 0; i < 1024; ++i) scene.push_back(w::material("m" + std::to_string(i)));
  for (int i = 0; i < 300; ++i) scene.push_back(w::object("e" + std::to_string(i)));
  const Decoded decoded = decode(w::file(scene), MeshRole::Hull);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(frame(decoded)->getMeshBufferCount(), 0u);
  EXPECT_EQ(decoded->getBoundingBox(), irr::core::aabbox3df(0, 0, 0, 0, 0, 0));
}

TEST(Mesh3dsAttacks, A200KilobyteNameIsRefused) {
  const std::string name(200000, 'x');
  EXPECT_NE(refusal(w::file({w::greyMaterial("m", 1), w::object(name, w::triangle("m"))}),
                    MeshRole::Turret)
                .find("a name longer than"),
            std::string::npos);
}

TEST(Mesh3dsAttacks, AWheelWithCornersTenKilometresOutIsRefused) {
  const std::string why = refusal(fan(1024, 10000.0f), MeshRole::Wheel);
  EXPECT_NE(why.find("a wheel mesh reaches at most 0.5 m"), std::string::npos) << why;
}

}  // namespace
