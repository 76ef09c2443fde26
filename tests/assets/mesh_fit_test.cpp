// What a mesh may cost to draw in its role: its surface, and for the ground its flatness and
// how many triangles overlap any one spot.
#include "assets/mesh_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "forge/write3ds.h"

namespace {

using assets::MeshRole;
namespace w = write3ds;

// Flat triangles, each given by its three corners (file units), all in one group.
w::Bytes flat(const std::vector<w::Vec3>& corners) {
  w::Mesh mesh;
  mesh.vertices = corners;
  mesh.groups = {{"m", {}}};
  for (unsigned i = 0; 3 * i < corners.size(); ++i) {
    mesh.faces.push_back({3 * i, 3 * i + 1, 3 * i + 2});
    mesh.groups[0].faces.push_back(i);
  }
  return w::file({w::greyMaterial("m", 100), w::object("flat", mesh)});
}

// `count` copies of one flat right triangle with legs 2 `reach` from (-reach, -reach), at
// height `height` (the file's z).
w::Bytes layers(int count, float reach, float height = 0.0f) {
  std::vector<w::Vec3> corners;
  for (int i = 0; i < count; ++i)
    corners.insert(corners.end(),
                   {{-reach, -reach, height}, {reach, -reach, height}, {-reach, reach, height}});
  return flat(corners);
}

std::string refusal(const w::Bytes& file, MeshRole role) {
  std::string why;
  irr::scene::SAnimatedMesh* mesh = assets::decode3ds(
      reinterpret_cast<const unsigned char*>(file.data()), file.size(), role, why);
  if (mesh != nullptr) mesh->drop();
  return mesh != nullptr ? "" : why;
}
bool refused(const w::Bytes& file, MeshRole role, const std::string& reason) {
  const std::string why = refusal(file, role);
  return !why.empty() && why.find(reason) != std::string::npos;
}

// As many layers as the role's surface holds fit; one more is too much.
TEST(MeshFit, EachRoleDrawsUpToItsSurfaceAndNoMore) {
  for (MeshRole role : assets::kMeshRoles) {
    SCOPED_TRACE(assets::roleName(role));
    const assets::MeshLimits limits = assets::limitsOf(role);
    // Four layers or a few more, none of them a whole fraction of the surface.
    const float reach = 0.99f * std::min(limits.maxExtent, std::sqrt(limits.maxArea / 8.0f));
    const int most = static_cast<int>(limits.maxArea / (2.0f * reach * reach));
    ASSERT_GE(most, 2);
    EXPECT_EQ(refusal(layers(most, reach), role), "");
    EXPECT_TRUE(refused(
        layers(most + 1, reach), role,
        std::string("too much surface: a ") + assets::roleName(role) + " mesh has at most"));
  }
}

TEST(MeshFit, TheGroundLiesFlatAndThinlyLayered) {
  constexpr float kSmall = 0.01f;  // m, far below one cell of the ground's grid
  EXPECT_EQ(refusal(layers(1, kSmall, assets::kGroundRelief), MeshRole::Ground), "");
  EXPECT_TRUE(refused(layers(1, kSmall, assets::kGroundRelief * 1.1f), MeshRole::Ground,
                      "a ground mesh lies within"));
  // A hull may rise where the ground may not.
  EXPECT_EQ(refusal(layers(1, kSmall, 1.0f), MeshRole::Hull), "");

  EXPECT_EQ(refusal(layers(assets::kMaxGroundLayers, kSmall), MeshRole::Ground), "");
  EXPECT_TRUE(refused(layers(assets::kMaxGroundLayers + 1, kSmall), MeshRole::Ground,
                      "triangles of a ground mesh overlap"));
  // A triangle counts in every cell it spans, not only where it starts: half the layers reach
  // from the left, half start under their right ends.
  std::vector<w::Vec3> spans;
  for (int i = 0; i <= assets::kMaxGroundLayers; ++i) {
    const float left = i % 2 == 0 ? -20.0f : 10.0f;  // m in the file, several cells apart
    spans.insert(spans.end(), {{left, 0, 0}, {20, 0, 0}, {20, 1, 0}});
  }
  EXPECT_TRUE(refused(flat(spans), MeshRole::Ground, "triangles of a ground mesh overlap"));
  // Other roles may layer as they like within their surface.
  EXPECT_EQ(refusal(layers(assets::kMaxGroundLayers + 1, kSmall), MeshRole::Hull), "");
}

}  // namespace
