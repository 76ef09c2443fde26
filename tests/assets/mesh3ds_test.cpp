// Our 3DS decoder: the shipped meshes exactly as the engine's own loader makes them, then
// the layouts no shipped file has, the role limits and the refusals. The corpus replay
// (tests/corpus/3ds) adds the damaged files; here each refusal is checked for its reason.
#include "assets/mesh3ds.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forge/write3ds.h"
#include "support.h"

namespace {

using assets::MeshRole;
using irr::scene::IMeshBuffer;
using irr::video::S3DVertex;
using irr::video::SColor;
using irr::video::SMaterial;
namespace w = write3ds;

constexpr float kTolerance = 1e-5f;  // file units and unit-vector components
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

struct MeshDrop {
  void operator()(irr::scene::IAnimatedMesh* mesh) const {
    if (mesh != nullptr) mesh->drop();
  }
};
using Decoded = std::unique_ptr<irr::scene::SAnimatedMesh, MeshDrop>;

Decoded decode(const std::string& bytes, MeshRole role = MeshRole::Hull,
               std::string* why = nullptr) {
  std::string reason;
  Decoded mesh(assets::decode3ds(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 role, reason));
  EXPECT_EQ(mesh == nullptr, !reason.empty()) << reason;
  if (why != nullptr) *why = reason;
  return mesh;
}

// The refusal of `bytes` as a mesh of `role`; empty (and a failure) when accepted.
std::string refusal(const std::string& bytes, MeshRole role = MeshRole::Hull) {
  std::string why;
  EXPECT_EQ(decode(bytes, role, &why), nullptr);
  return why;
}

IMeshBuffer* buffer(const Decoded& mesh, unsigned i = 0) {
  return mesh->getMesh(0)->getMeshBuffer(i);
}
const S3DVertex& vertex(IMeshBuffer* buffer, unsigned i) {
  return static_cast<const S3DVertex*>(buffer->getVertices())[i];
}

// The buffers in order: each one's diffuse grey level and its triangles.
using Layout = std::vector<std::pair<unsigned, unsigned>>;
Layout layout(const Decoded& mesh) {
  Layout buffers;
  if (mesh == nullptr) ADD_FAILURE() << "refused";
  for (irr::u32 i = 0; mesh != nullptr && i < mesh->getMesh(0)->getMeshBufferCount(); ++i)
    buffers.emplace_back(buffer(mesh, i)->getMaterial().DiffuseColor.getRed(),
                         buffer(mesh, i)->getIndexCount() / 3);
  return buffers;
}

bool near(const irr::core::vector3df& a, const irr::core::vector3df& b) {
  return a.equals(b, kTolerance);
}
bool near(const irr::core::aabbox3df& a, const irr::core::aabbox3df& b) {
  return near(a.MinEdge, b.MinEdge) && near(a.MaxEdge, b.MaxEdge);
}

// --- The shipped meshes, against the engine's loader on a null device.

TEST(Mesh3dsEngine, ShippedMeshesEqualTheEnginesOwnLoad) {
  const std::pair<const char*, MeshRole> shipped[] = {
      {"media/env/mark2.3ds", MeshRole::Ground},   {"media/tank/chassi.3ds", MeshRole::Hull},
      {"media/tank/track.3ds", MeshRole::Track},   {"media/tank/wheel.3ds", MeshRole::Wheel},
      {"media/tank/turret.3ds", MeshRole::Turret}, {"media/tank/canon.3ds", MeshRole::Gun}};
  irr::IrrlichtDevice* device = support::createNullDevice();
  for (const auto& [file, role] : shipped) {
    SCOPED_TRACE(file);
    const std::string path = std::string(FERROX_SOURCE_DIR) + "/" + file;
    irr::scene::IAnimatedMesh* theirs = device->getSceneManager()->getMesh(path.c_str());
    ASSERT_NE(theirs, nullptr);
    std::ifstream in(path, std::ios::binary);
    const Decoded ours = decode(std::string(std::istreambuf_iterator<char>(in), {}), role);
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(ours->getMeshType(), theirs->getMeshType());
    ASSERT_EQ(ours->getFrameCount(), theirs->getFrameCount());
    EXPECT_TRUE(near(ours->getBoundingBox(), theirs->getBoundingBox()));
    irr::scene::IMesh* a = ours->getMesh(0);
    irr::scene::IMesh* b = theirs->getMesh(0);
    EXPECT_TRUE(near(a->getBoundingBox(), b->getBoundingBox()));
    ASSERT_EQ(a->getMeshBufferCount(), b->getMeshBufferCount());
    for (irr::u32 i = 0; i < a->getMeshBufferCount(); ++i) {
      SCOPED_TRACE("buffer " + std::to_string(i));
      IMeshBuffer* x = a->getMeshBuffer(i);
      IMeshBuffer* y = b->getMeshBuffer(i);
      EXPECT_TRUE(x->getMaterial() == y->getMaterial()) << "the materials differ";
      EXPECT_TRUE(near(x->getBoundingBox(), y->getBoundingBox()));
      ASSERT_EQ(x->getVertexType(), y->getVertexType());
      ASSERT_EQ(x->getIndexType(), y->getIndexType());
      ASSERT_EQ(x->getVertexCount(), y->getVertexCount());
      ASSERT_EQ(x->getIndexCount(), y->getIndexCount());
      for (irr::u32 v = 0; v < x->getVertexCount(); ++v) {
        const S3DVertex& p = vertex(x, v);
        const S3DVertex& q = vertex(y, v);
        EXPECT_TRUE(near(p.Pos, q.Pos) && near(p.Normal, q.Normal) && p.Color == q.Color &&
                    near({p.TCoords.X, p.TCoords.Y, 0}, {q.TCoords.X, q.TCoords.Y, 0}))
            << "vertex " << v;
      }
      for (irr::u32 k = 0; k < x->getIndexCount(); ++k)
        EXPECT_EQ(x->getIndices()[k], y->getIndices()[k]) << "index " << k;
    }
  }
  device->drop();
}

// --- Layouts the shipped meshes do not show.

w::Mesh threeFaces(std::vector<w::Group> groups) {
  w::Mesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}};
  mesh.faces = {{0, 1, 2}, {1, 3, 2}, {0, 2, 3}};
  mesh.groups = std::move(groups);
  return mesh;
}

// The shipped meshes show materials defined before their one object, groups in another order.
TEST(Mesh3dsLayout, BuffersFollowTheMaterialsWhereverTheyAreDefinedObjectsInFileOrder) {
  const w::Bytes a = w::greyMaterial("a", 10), b = w::greyMaterial("b", 20);
  const w::Bytes o = w::object("o", threeFaces({{"b", {2}}, {"a", {0, 1}}}));
  EXPECT_EQ(layout(decode(w::file({o, a, b}))), (Layout{{10, 2}, {20, 1}}));
  EXPECT_EQ(layout(decode(w::file({b, o, a}))), (Layout{{20, 1}, {10, 2}}));

  const Decoded shared = decode(w::file(
      {a, w::object("far", w::triangle("a", 2.0f)), w::object("near", w::triangle("a", 1.0f))}));
  ASSERT_NE(shared, nullptr);
  ASSERT_EQ(buffer(shared)->getVertexCount(), 6u);
  EXPECT_TRUE(near(vertex(buffer(shared), 1).Pos, {2, 0, 0})) << "the first object first";
  EXPECT_TRUE(near(vertex(buffer(shared), 4).Pos, {1, 0, 0}));
}

TEST(Mesh3dsLayout, WithoutTextureCoordinatesOrAreaCornersGetZeros) {
  w::Mesh mesh = w::triangle("m");
  mesh.texCoords.clear();
  mesh.vertices[2] = {2, 0, 0};  // on the line of the other two
  const Decoded decoded = decode(w::file({w::greyMaterial("m", 50), w::object("o", mesh)}));
  ASSERT_NE(decoded, nullptr);
  for (unsigned v = 0; v < 3; ++v) {
    EXPECT_EQ(vertex(buffer(decoded), v).TCoords, irr::core::vector2df(0, 0));
    EXPECT_EQ(vertex(buffer(decoded), v).Normal, irr::core::vector3df(0, 0, 0));
  }
}

TEST(Mesh3dsGroups, FacesOutsideEveryGroupAreDrawnLastInTheDefaultMaterial) {
  const Decoded decoded =
      decode(w::file({w::greyMaterial("a", 10), w::object("grouped", threeFaces({{"a", {1}}})),
                      w::object("bare", threeFaces({}))}));
  EXPECT_EQ(layout(decoded), (Layout{{10, 1}, {255, 5}}));
  ASSERT_NE(decoded, nullptr);
  IMeshBuffer* rest = buffer(decoded, 1);
  EXPECT_TRUE(rest->getMaterial() == SMaterial());
  EXPECT_EQ(vertex(rest, 0).Color, SColor(255, 255, 255, 255));
  EXPECT_TRUE(near(vertex(rest, 1).Pos, {1, 0, 0})) << "face 0 of the first object first";
}

TEST(Mesh3dsGroups, AGroupMeansTheFirstMaterialOfItsNameAndAnUnnamedOneIsNamedEmpty) {
  const Decoded decoded =
      decode(w::file({w::greyMaterial("a", 10), w::greyMaterial("a", 20),
                      w::unnamedMaterial(w::property(w::kDiffuse, w::colourBytes(30, 30, 30))),
                      w::object("o", threeFaces({{"a", {0}}, {"", {1}}}))}));
  EXPECT_EQ(layout(decoded), (Layout{{10, 1}, {30, 1}, {255, 1}}));  // face 2: no group
}

// --- Materials.

SMaterial onlyMaterial(const w::Bytes& properties, SColor* vertexColour = nullptr) {
  const Decoded decoded =
      decode(w::file({w::material("m", properties), w::object("o", w::triangle("m"))}));
  if (decoded == nullptr) return SMaterial();
  if (vertexColour != nullptr) *vertexColour = vertex(buffer(decoded), 0).Color;
  return buffer(decoded)->getMaterial();
}

// Colours take their first value, in bytes or truncated floats.
TEST(Mesh3dsMaterial, ColoursShininessTransparencyAndShading) {
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
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentInt(10))).Shininess, 115.2f);
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentFloat(0.5f))).Shininess, 64);
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentInt(300))).Shininess, 0);

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
  EXPECT_FALSE(onlyMaterial(w::shading(1)).GouraudShading);  // the shipped meshes show Phong
}

// --- Roles: the most triangles and the farthest corner each role accepts.

// Flat triangles spread evenly over the square of side 2 `reach`, as many as given, one to
// each cell of a lattice whose points they share.
w::Bytes spread(std::size_t triangles, float reach) {
  const auto side = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(triangles))));
  const float step = 2.0f * reach / static_cast<float>(side);
  w::Mesh mesh;
  mesh.groups = {{"m", {}}};
  for (unsigned j = 0; j <= side; ++j)
    for (unsigned i = 0; i <= side; ++i)
      mesh.vertices.push_back(
          {-reach + step * static_cast<float>(i), -reach + step * static_cast<float>(j), 0});
  for (unsigned t = 0; t < triangles; ++t) {
    const unsigned corner = (t / side) * (side + 1) + t % side;
    mesh.faces.push_back({corner, corner + 1, corner + side + 1});
    mesh.groups[0].faces.push_back(t);
  }
  return w::file({w::greyMaterial("m", 100), w::object("spread", mesh)});
}

// One thin flat triangle out to `reach` along the file's x.
w::Bytes sliver(float reach) {
  w::Mesh mesh = w::triangle("m");
  mesh.vertices = {{0, 0, 0}, {reach, 0, 0}, {reach, 0.01f, 0}};
  return w::file({w::greyMaterial("m", 100), w::object("sliver", mesh)});
}

TEST(Mesh3dsRoles, EachRoleTakesUpToItsTrianglesAndReachAndNoMore) {
  for (MeshRole role : assets::kMeshRoles) {
    const assets::MeshLimits limits = assets::limitsOf(role);
    const std::string name = assets::roleName(role);
    SCOPED_TRACE(name);
    // Spread over a square small enough for the role's surface, half of it covered.
    const float reach = std::min(limits.maxExtent, std::sqrt(limits.maxArea / 4.0f));
    const Decoded full = decode(spread(limits.maxTriangles, reach), role);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(buffer(full)->getIndexCount(), 3 * limits.maxTriangles);
    std::string why = refusal(spread(limits.maxTriangles + 1, reach), role);
    EXPECT_NE(why.find("too many triangles: a " + name + " mesh has at most " +
                       std::to_string(limits.maxTriangles)),
              std::string::npos)
        << why;

    const Decoded reaching = decode(sliver(-limits.maxExtent), role);
    ASSERT_NE(reaching, nullptr);
    EXPECT_NEAR(reaching->getBoundingBox().MinEdge.X, -limits.maxExtent, kTolerance);
    why = refusal(sliver(limits.maxExtent * 1.01f), role);
    EXPECT_NE(why.find("a " + name + " mesh reaches at most"), std::string::npos) << why;
  }
}

// --- Every other bound, and every other reason for a refusal, each with its message; the
// file just within the bound, where there is one, is accepted.

struct Bound {
  const char* what;
  w::Bytes within;  // accepted; none when empty
  w::Bytes beyond;  // refused
  MeshRole role;
  std::string reason;  // part of the refusal's message
};

w::Bytes withMesh(const w::Mesh& mesh, const w::Bytes& material = w::greyMaterial("m", 1)) {
  return w::file({material, w::object("o", mesh)});
}
w::Bytes withTexCoord(float u) {
  w::Mesh mesh = w::triangle("m");
  mesh.texCoords[1].first = u;
  return withMesh(mesh);
}
w::Bytes withVertices(std::size_t count) {
  w::Mesh mesh = w::triangle("m", 0.1f);
  mesh.texCoords.clear();
  mesh.vertices.resize(count, {0, 0, 0});
  return withMesh(mesh);
}
w::Bytes withGroups(std::size_t count) {
  w::Mesh mesh = w::triangle("");
  mesh.groups.assign(count, {"m", {}});
  return withMesh(mesh);
}
w::Bytes withMaterial(const w::Bytes& properties) {
  return withMesh(w::triangle("m"), w::material("m", properties));
}
w::Bytes repeated(std::size_t count, const w::Bytes& item) {
  return w::file(std::vector<w::Bytes>(count, item));
}

TEST(Mesh3dsBounds, EachIsRefusedWithItsReason) {
  const std::size_t wheelVertices = 3 * assets::limitsOf(MeshRole::Wheel).maxTriangles;
  const std::string name(255, 'n'), longer = name + "n";
  w::Bytes padding;
  while (padding.size() < (4u << 20)) padding += w::chunk(0x3D3E, w::u32(3));
  const Bound bounds[] = {
      {"vertices, three a triangle", withVertices(wheelVertices), withVertices(wheelVertices + 1),
       MeshRole::Wheel,
       "too many vertices: a wheel mesh has at most " + std::to_string(wheelVertices)},
      {"a corner not a number", "", sliver(kNan), MeshRole::Ground,
       "a ground mesh reaches at most"},
      {"a wheel with a corner 10 km out", "", sliver(10000.0f), MeshRole::Wheel,
       "a wheel mesh reaches at most 0.5 m"},
      {"a texture coordinate", withTexCoord(1024.0f), withTexCoord(-1025.0f), MeshRole::Ground,
       "texture coordinate beyond"},
      {"a material's name", w::file({w::greyMaterial(name, 1)}),
       w::file({w::greyMaterial(longer, 1)}), MeshRole::Hull, "a name longer than 255 bytes"},
      {"an object's name", w::file({w::object(name)}), w::file({w::object(longer)}), MeshRole::Hull,
       "a name longer than 255 bytes"},
      {"a group's name", withMesh(w::triangle(name), w::greyMaterial(name, 1)),
       withMesh(w::triangle(longer), w::greyMaterial(longer, 1)), MeshRole::Hull,
       "a name longer than 255 bytes"},
      {"a 200-kilobyte name", "", w::file({w::object(std::string(200000, 'x'))}), MeshRole::Turret,
       "a name longer than 255 bytes"},
      {"materials", "", repeated(1025, w::unnamedMaterial()), MeshRole::Hull, "too many materials"},
      {"objects", repeated(4096, w::object("e")), repeated(4097, w::object("e")), MeshRole::Hull,
       "too many objects"},
      {"material groups", "", withGroups(4097), MeshRole::Hull, "too many material groups"},
      {"the file's size", "", w::file({padding}), MeshRole::Ground, "larger than"},
      {"a colour not a number", "",
       withMaterial(w::property(w::kDiffuse, w::colourFloats(kNan, 0, 0))), MeshRole::Hull,
       "a colour that is not a number"},
      {"a percentage not a number", "",
       withMaterial(w::property(w::kShininess, w::percentFloat(kNan))), MeshRole::Hull,
       "a percentage that is not a number"},
      {"a group naming no material", "",
       withMesh(threeFaces({{"missing", {0}}}), w::greyMaterial("a", 1)), MeshRole::Hull,
       "names no material: \"missing\""},
      {"an unnamed group, no material at all", "",
       w::file({w::object("o", threeFaces({{"", {0}}}))}), MeshRole::Hull,
       "names no material: \"\""},
      {"a face in two groups", "",
       withMesh(threeFaces({{"m", {0, 1}}, {"b", {1}}}),
                w::greyMaterial("m", 1) + w::greyMaterial("b", 2)),
       MeshRole::Hull, "a face in two material groups"},
      {"a group's face past the list", "", withMesh(threeFaces({{"m", {3}}})), MeshRole::Hull,
       "a material face beyond the face list"},
  };
  for (const Bound& bound : bounds) {
    SCOPED_TRACE(bound.what);
    if (!bound.within.empty()) {
      EXPECT_NE(decode(bound.within, bound.role), nullptr);
    }
    const std::string why = refusal(bound.beyond, bound.role);
    EXPECT_NE(why.find(bound.reason), std::string::npos) << why;
  }
}

// --- The layouts that broke the engine's loader or stalled it (tests/corpus/3ds keeps them
// as files), decoded to what they mean.

TEST(Mesh3dsAttacks, LayoutsThatBrokeTheEnginesLoaderDecodeToWhatTheyMean) {
  // Three empty objects, named materials, then an object whose group names the last one.
  EXPECT_EQ(layout(decode(
                w::file({w::object("e1"), w::object("e2", w::Mesh()), w::object("e3", w::Mesh()),
                         w::greyMaterial("m0", 10), w::greyMaterial("m1", 20),
                         w::greyMaterial("m2", 30), w::object("o", w::triangle("m2"))}))),
            (Layout{{30, 1}}));
  // Unnamed materials between objects with and without groups, as a fuzzer found them: the
  // unnamed material's buffer, the named one's, then the faces of no group.
  EXPECT_EQ(layout(decode(w::file(
                {w::object("o", threeFaces({})), w::unnamedMaterial(), w::object("e"),
                 w::object("o", threeFaces({{"", {0, 2}}, {"m", {1}}})), w::unnamedMaterial(),
                 w::greyMaterial("m", 30), w::object("o", w::triangle("m"))}))),
            (Layout{{255, 2}, {30, 2}, {255, 3}}));
  // The most materials, each empty, and hundreds of empty objects: an empty mesh.
  std::vector<w::Bytes> scene{w::object("e")};
  for (int i = 0; i < 1024; ++i) scene.push_back(w::material("m" + std::to_string(i)));
  for (int i = 0; i < 300; ++i) scene.push_back(w::object("e" + std::to_string(i)));
  const Decoded empty = decode(w::file(scene));
  EXPECT_EQ(layout(empty), Layout());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->getBoundingBox(), irr::core::aabbox3df(0, 0, 0, 0, 0, 0));
}

}  // namespace
