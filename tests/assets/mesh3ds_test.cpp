// Our 3DS decoder: the shipped meshes exactly as the engine's own loader makes them and as
// the rig needs them, then the layouts no shipped file has, what each role may hold and cost
// to draw (mesh_fit), and the refusals.
// The corpus replay (tests/corpus/3ds) adds the damaged files, the layouts that broke the
// engine's loader and the bounds that hold for every role; here the rest, each refusal with
// its reason.
#include "assets/mesh3ds.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "assets/mesh3ds_read.h"
#include "assets/mesh_fit.h"
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
constexpr float kShapeTol = 0.05f;   // m, for sizes the rig gives as "about"
constexpr float kMinVolume = 1e-3f;  // m^3, a solid that faces outward encloses at least this

using Decoded = std::unique_ptr<irr::scene::SAnimatedMesh, void (*)(irr::scene::SAnimatedMesh*)>;

Decoded decode(const std::string& bytes, MeshRole role = MeshRole::Hull,
               std::string* why = nullptr) {
  std::string reason;
  Decoded mesh(assets::decode3ds(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 role, reason),
               [](irr::scene::SAnimatedMesh* decoded) { decoded->drop(); });
  EXPECT_EQ(mesh == nullptr, !reason.empty()) << reason;
  if (why != nullptr) *why = reason;
  return mesh;
}

// Whether `bytes` is refused as a mesh of `role` for `reason` (part of the message).
::testing::AssertionResult refused(const std::string& bytes, MeshRole role,
                                   const std::string& reason) {
  std::string why;
  if (decode(bytes, role, &why) != nullptr) return ::testing::AssertionFailure() << "accepted";
  if (why.find(reason) == std::string::npos) return ::testing::AssertionFailure() << why;
  return ::testing::AssertionSuccess();
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

// --- The shipped meshes, against the engine's loader on a null device. Their extents, in
// their node's frame and before node scales, catch the format's Y/Z swap and slips of scale;
// solids must face outward (the engine draws front faces only) and the ground must face up.

TEST(Mesh3dsEngine, ShippedMeshesEqualTheEnginesOwnLoadAndFitTheRig) {
  const struct {
    const char* file;
    MeshRole role;
    irr::core::vector3df min, max;  // m
  } shipped[] = {
      // Ground, shown at scale 10: flat, top at 0, reaching +-500 past the +-400 roamed.
      {"media/env/mark2.3ds", MeshRole::Ground, {-50, 0, -50}, {50, 0, 50}},
      // Hull between the tracks, from the belly up to the deck at 2 where the turret stands,
      // with an engine grille 0.08 proud of it.
      {"media/tank/chassi.3ds", MeshRole::Hull, {-1.35f, 0.45f, -3.3f}, {1.35f, 2.08f, 3.3f}},
      // Track: 0.6 wide, a loop of 1.1 x 5.8 round its node.
      {"media/tank/track.3ds", MeshRole::Track, {-0.3f, -0.55f, -2.9f}, {0.3f, 0.55f, 2.9f}},
      // Road wheel: 0.5 wide about X, radius 0.13, centred.
      {"media/tank/wheel.3ds", MeshRole::Wheel, {-0.25f, -0.13f, -0.13f}, {0.25f, 0.13f, 0.13f}},
      // Turret: 2.6 wide, 3.5 long, standing on its node; low.
      {"media/tank/turret.3ds", MeshRole::Turret, {-1.3f, 0.0f, -1.75f}, {1.3f, 1.05f, 2.1f}},
      // Gun: muzzle 3 ahead of its node, breech and mantlet back at the pivot 2.2 behind.
      {"media/tank/canon.3ds", MeshRole::Gun, {-0.45f, -0.3f, -2.6f}, {0.45f, 0.3f, 3.0f}}};
  irr::IrrlichtDevice* device = support::createNullDevice();
  for (const auto& e : shipped) {
    SCOPED_TRACE(e.file);
    const std::string path = std::string(FERROX_SOURCE_DIR) + "/" + e.file;
    irr::scene::IAnimatedMesh* theirs = device->getSceneManager()->getMesh(path.c_str());
    ASSERT_NE(theirs, nullptr);
    std::ifstream in(path, std::ios::binary);
    const Decoded ours = decode(std::string(std::istreambuf_iterator<char>(in), {}), e.role);
    ASSERT_NE(ours, nullptr);
    irr::scene::IMesh* a = ours->getMesh(0);
    irr::scene::IMesh* b = theirs->getMesh(0);
    EXPECT_TRUE(a->getBoundingBox().MinEdge.equals(e.min, kShapeTol) &&
                a->getBoundingBox().MaxEdge.equals(e.max, kShapeTol));
    EXPECT_TRUE(near(a->getBoundingBox(), b->getBoundingBox()));
    ASSERT_EQ(a->getMeshBufferCount(), b->getMeshBufferCount());
    double volume = 0.0;  // divergence theorem over the front faces
    unsigned downward = 0;
    for (irr::u32 i = 0; i < a->getMeshBufferCount(); ++i) {
      SCOPED_TRACE("buffer " + std::to_string(i));
      IMeshBuffer* x = a->getMeshBuffer(i);
      IMeshBuffer* y = b->getMeshBuffer(i);
      EXPECT_TRUE(x->getMaterial() == y->getMaterial()) << "the materials differ";
      EXPECT_TRUE(near(x->getBoundingBox(), y->getBoundingBox()));
      ASSERT_EQ(x->getVertexCount(), y->getVertexCount());
      ASSERT_EQ(x->getIndexCount(), y->getIndexCount());
      for (irr::u32 v = 0; v < x->getVertexCount(); ++v) {
        const S3DVertex& p = vertex(x, v);
        const S3DVertex& q = vertex(y, v);
        EXPECT_TRUE(near(p.Pos, q.Pos) && near(p.Normal, q.Normal) && p.Color == q.Color &&
                    near({p.TCoords.X, p.TCoords.Y, 0}, {q.TCoords.X, q.TCoords.Y, 0}))
            << "vertex " << v;
      }
      const irr::u16* index = x->getIndices();
      for (irr::u32 k = 0; k < x->getIndexCount(); ++k)
        EXPECT_EQ(index[k], y->getIndices()[k]) << "index " << k;
      for (irr::u32 k = 0; k + 2 < x->getIndexCount(); k += 3) {
        const irr::core::vector3df p = vertex(x, index[k]).Pos;
        const irr::core::vector3df n =
            (vertex(x, index[k + 1]).Pos - p).crossProduct(vertex(x, index[k + 2]).Pos - p);
        volume += p.dotProduct(n) / 6.0;
        downward += n.Y <= 0.0f;
      }
    }
    if (e.role == MeshRole::Ground)
      EXPECT_EQ(downward, 0u);
    else
      EXPECT_GT(volume, kMinVolume);
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

// The shipped meshes show materials defined before their one object, groups in another
// order. A group means the first material of its name, an unnamed one the material named
// empty; faces outside every group come last, in the default material.
TEST(Mesh3dsLayout, BuffersFollowTheMaterialsWhereverTheyAreDefined) {
  const w::Bytes a = w::greyMaterial("a", 10), b = w::greyMaterial("b", 20);
  const w::Bytes o = w::object("o", threeFaces({{"b", {2}}, {"a", {0, 1}}}));
  EXPECT_EQ(layout(decode(w::file({o, a, b}))), (Layout{{10, 2}, {20, 1}}));
  EXPECT_EQ(layout(decode(w::file({b, o, a}))), (Layout{{20, 1}, {10, 2}}));
  EXPECT_EQ(layout(decode(
                w::file({a, w::greyMaterial("a", 20),
                         w::unnamedMaterial(w::property(w::kDiffuse, w::colourBytes(30, 30, 30))),
                         w::object("o", threeFaces({{"a", {0}}, {"", {1}}}))}))),
            (Layout{{10, 1}, {30, 1}, {255, 1}}));  // face 2: no group
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
  EXPECT_FLOAT_EQ(onlyMaterial(w::property(w::kShininess, w::percentInt(10))).Shininess, 115.2f);

  SColor colour;
  const SMaterial opaque = onlyMaterial(w::property(w::kDiffuse, w::colourBytes(10, 20, 30)) +
                                            w::property(w::kTransparency, w::percentInt(0)),
                                        &colour);
  EXPECT_EQ(opaque.MaterialType, irr::video::EMT_SOLID);
  EXPECT_EQ(colour, SColor(255, 10, 20, 30));

  EXPECT_FALSE(onlyMaterial(w::shading(1)).GouraudShading);  // the shipped meshes show Phong
}

// --- Roles: the most triangles, the farthest vertex, the surface, the view covered and the
// draw calls each role accepts, and for the ground its flatness and how many triangles
// overlap any one spot. Geometry is placed about the role's pivot.

// Flat triangles, each given by its three corners (file units, about `at`), in groups of
// `perMaterial` triangles, each group with a material of its own grey.
w::Bytes flat(const std::vector<w::Vec3>& corners, w::Vec3 at = {0, 0, 0},
              std::size_t perMaterial = 0) {
  w::Mesh mesh;
  std::vector<w::Bytes> parts;
  for (unsigned i = 0; 3 * i < corners.size(); ++i) {
    for (unsigned c = 0; c < 3; ++c) {
      const w::Vec3& v = corners[3 * i + c];
      mesh.vertices.push_back({at.x + v.x, at.y + v.y, at.z + v.z});
    }
    mesh.faces.push_back({3 * i, 3 * i + 1, 3 * i + 2});
    const std::size_t group = perMaterial == 0 ? 0 : i / perMaterial;
    if (group == mesh.groups.size()) {
      const std::string name = "m" + std::to_string(group);
      mesh.groups.push_back({name, {}});
      parts.push_back(w::greyMaterial(name, static_cast<unsigned>(group)));
    }
    mesh.groups[group].faces.push_back(i);
  }
  parts.push_back(w::object("flat", mesh));
  return w::file(parts);
}

// The role's pivot in the file's axes: the scene's (x, y, z) is the file's (x, z, y).
w::Vec3 pivotOf(MeshRole role) {
  const assets::MeshPoint p = assets::limitsOf(role).pivot;
  return {p.x, p.z, p.y};
}

// `count` copies of one flat right triangle with legs 2 `reach` from (-reach, -reach), at
// height `height` (the file's z), about `at`.
w::Bytes layers(int count, float reach, float height = 0.0f, w::Vec3 at = {0, 0, 0}) {
  std::vector<w::Vec3> corners;
  for (int i = 0; i < count; ++i)
    corners.insert(corners.end(),
                   {{-reach, -reach, height}, {reach, -reach, height}, {-reach, reach, height}});
  return flat(corners, at);
}

// `count` triangles, each with its three corners `reach` from the pivot, 30 degrees apart.
constexpr float kFanAngle = 0.5235988f;  // rad
w::Bytes atReach(int count, float reach, MeshRole role, std::size_t perMaterial = 0) {
  const float c = reach * std::cos(kFanAngle), s = reach * std::sin(kFanAngle);
  std::vector<w::Vec3> corners;
  for (int i = 0; i < count; ++i)
    corners.insert(corners.end(), {{reach, 0, 0}, {c, s, 0}, {c, -s, 0}});
  return flat(corners, pivotOf(role), perMaterial);
}

// One thin triangle from the pivot out to `reach` along a diagonal of the file's axes, where
// a bound per axis would allow 1.7 times as far (1.4 for the ground, which lies flat).
w::Bytes sliver(float reach, MeshRole role) {
  const bool ground = role == MeshRole::Ground;
  const float d = reach / std::sqrt(ground ? 2.0f : 3.0f), up = ground ? 0.0f : d;
  return flat({{0, 0, 0}, {d, d, up}, {0.9f * d, d, up}}, pivotOf(role));
}

// Flat triangles spread evenly over the square of side 2 `reach` about the pivot, as many as
// given, one to each cell of a lattice whose points they share.
w::Bytes spread(std::size_t triangles, float reach, MeshRole role) {
  const auto side = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(triangles))));
  const float step = 2.0f * reach / static_cast<float>(side);
  const w::Vec3 at = pivotOf(role);
  w::Mesh mesh;
  mesh.groups = {{"m", {}}};
  for (unsigned j = 0; j <= side; ++j)
    for (unsigned i = 0; i <= side; ++i)
      mesh.vertices.push_back({at.x - reach + step * static_cast<float>(i),
                               at.y - reach + step * static_cast<float>(j), at.z});
  for (unsigned t = 0; t < triangles; ++t) {
    const unsigned corner = (t / side) * (side + 1) + t % side;
    mesh.faces.push_back({corner, corner + 1, corner + side + 1});
    mesh.groups[0].faces.push_back(t);
  }
  return w::file({w::greyMaterial("m", 100), w::object("spread", mesh)});
}

TEST(Mesh3dsRoles, EachRoleTakesUpToItsTrianglesReachSurfaceAndDrawCallsAndNoMore) {
  for (MeshRole role : assets::kMeshRoles) {
    const assets::MeshLimits limits = assets::limitsOf(role);
    const std::string name = assets::roleName(role);
    SCOPED_TRACE(name);
    // Small triangles spread about the pivot, a quarter of the surface.
    float reach = std::min(limits.maxReach / 2.0f, std::sqrt(limits.maxArea / 8.0f));
    EXPECT_NE(decode(spread(limits.maxTriangles, reach, role), role), nullptr);
    EXPECT_TRUE(refused(spread(limits.maxTriangles + 1, reach, role), role,
                        "too many triangles: a " + name + " mesh has at most " +
                            std::to_string(limits.maxTriangles)));

    EXPECT_NE(decode(sliver(0.999f * limits.maxReach, role), role), nullptr);
    EXPECT_TRUE(refused(sliver(1.001f * limits.maxReach, role), role,
                        "a " + name + " mesh reaches at most " +
                            assets::tds::number(limits.maxReach) + " m from its pivot"));

    // One material a triangle: as many as the role draws; alike, as one.
    EXPECT_NE(decode(atReach(static_cast<int>(limits.maxBuffers), 0.1f, role, 1), role), nullptr);
    EXPECT_TRUE(refused(atReach(static_cast<int>(limits.maxBuffers) + 1, 0.1f, role, 1), role,
                        "too many materials to draw: a " + name + " mesh draws at most " +
                            std::to_string(limits.maxBuffers)));
    if (role == MeshRole::Ground) continue;  // its layers are bound before its surface (below)

    // Layers at the pivot, as near a whole surface as half the triangles allow: the surface
    // is the bound there, not the view.
    reach = 0.999f * std::sqrt(limits.maxArea / static_cast<float>(limits.maxTriangles));
    const int most = static_cast<int>(limits.maxArea / (2.0f * reach * reach));
    std::string why;
    EXPECT_NE(decode(layers(most, reach, 0.0f, pivotOf(role)), role, &why), nullptr) << why;
    EXPECT_TRUE(refused(layers(most + 1, reach, 0.0f, pivotOf(role)), role,
                        "too much surface: a " + name + " mesh has at most"));

    // Triangles out at the reach, each counted as near the camera as that lets it come.
    const float far = 0.99f * limits.maxReach;
    const double area = far * std::sin(kFanAngle) * far * (1.0f - std::cos(kFanAngle));
    const double distance = assets::kCameraOrbit - limits.fromHull - limits.scale * far;
    const double each = limits.scale * limits.scale * area / (distance * distance);  // sr
    const int fit = static_cast<int>(limits.maxCover / each);
    ASSERT_LT((fit + 1) * area, limits.maxArea);
    EXPECT_NE(decode(atReach(fit, far, role), role), nullptr);
    EXPECT_TRUE(refused(atReach(fit + 1, far, role), role,
                        "too much of the view: a " + name + " mesh covers at most"));
  }
}

// Faces of materials the scene draws alike share one buffer: one draw call.
TEST(Mesh3dsRoles, MaterialsDrawnAlikeShareABufferAndNoneIsTransparent) {
  const w::Bytes twins = w::file({w::greyMaterial("a", 40), w::greyMaterial("b", 40),
                                  w::object("o", threeFaces({{"b", {0}}, {"a", {1, 2}}}))});
  EXPECT_EQ(layout(decode(twins)), (Layout{{40, 3}}));
  EXPECT_TRUE(
      refused(w::file({w::material("glass", w::property(w::kTransparency, w::percentInt(1))),
                       w::object("o", w::triangle("glass"))}),
              MeshRole::Hull, "a transparent material: a hull mesh is opaque throughout"));
}

TEST(Mesh3dsRoles, TheGroundLiesFlatAndThinlyLayered) {
  constexpr float kSmall = 0.01f;  // m, far below one cell of the ground's grid
  const std::string overlap = "triangles of a ground mesh overlap";
  EXPECT_NE(decode(layers(1, kSmall, assets::kGroundRelief), MeshRole::Ground), nullptr);
  EXPECT_TRUE(refused(layers(1, kSmall, assets::kGroundRelief * 1.1f), MeshRole::Ground,
                      "a ground mesh lies within"));

  EXPECT_NE(decode(layers(assets::kMaxGroundLayers, kSmall), MeshRole::Ground), nullptr);
  EXPECT_TRUE(refused(layers(assets::kMaxGroundLayers + 1, kSmall), MeshRole::Ground, overlap));
  // A triangle counts in every cell it spans, not only where it starts: half the layers reach
  // from the left, half start under their right ends; all of them thinner than a cell.
  std::vector<w::Vec3> spans;
  for (int i = 0; i <= assets::kMaxGroundLayers; ++i) {
    const float left = i % 2 == 0 ? -20.0f : 10.0f;  // m in the file, several cells apart
    spans.insert(spans.end(), {{left, 0, 0}, {20, 0, 0}, {20, 0.5f, 0}});
  }
  EXPECT_TRUE(refused(flat(spans), MeshRole::Ground, overlap));

  // Whole layers over the ground's area: as many as may lie over one spot, and one more.
  const float half = assets::limitsOf(MeshRole::Ground).maxReach / 2.0f;
  EXPECT_NE(decode(layers(assets::kMaxGroundOverlap, half), MeshRole::Ground), nullptr);
  EXPECT_TRUE(refused(layers(assets::kMaxGroundOverlap + 1, half), MeshRole::Ground,
                      "triangles of a ground mesh lie over the point"));
}

// --- The bounds left: the wheel's vertices, which other roles may have more of, the file's
// size, too large a file for the corpus, and a group's face just past the face list, which a
// later check refuses too when this one fails. The corpus replay checks the role-free bounds
// and refusals, each just within and just beyond.

w::Bytes withVertices(std::size_t count) {
  w::Mesh mesh = w::triangle("m", 0.1f);
  mesh.texCoords.clear();
  mesh.vertices.resize(count, {0, 0, 0});
  return w::file({w::greyMaterial("m", 1), w::object("o", mesh)});
}

TEST(Mesh3dsBounds, VerticesThreeATriangleTheFilesSizeAndAGroupsFaces) {
  const std::size_t most = 3 * assets::limitsOf(MeshRole::Wheel).maxTriangles;
  EXPECT_NE(decode(withVertices(most), MeshRole::Wheel), nullptr);
  EXPECT_TRUE(refused(withVertices(most + 1), MeshRole::Wheel,
                      "too many vertices: a wheel mesh has at most " + std::to_string(most)));
  w::Bytes padding;
  while (padding.size() < (4u << 20)) padding += w::chunk(0x3D3E, w::u32(3));
  EXPECT_TRUE(refused(w::file({padding}), MeshRole::Ground, "larger than"));
  EXPECT_TRUE(refused(w::file({w::greyMaterial("m", 1), w::object("o", threeFaces({{"m", {3}}}))}),
                      MeshRole::Hull, "a material face beyond the face list"));
}

}  // namespace
