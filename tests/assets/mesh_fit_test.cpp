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

// `count` copies of one flat right triangle with legs 2 `reach` from (-reach, -reach), at
// height `height` (the file's z), all in one group.
w::Bytes layers(int count, float reach, float height = 0.0f) {
  w::Mesh mesh;
  w::Group group{"m", {}};
  for (int i = 0; i < count; ++i) {
    const auto base = static_cast<unsigned>(mesh.vertices.size());
    mesh.vertices.insert(
        mesh.vertices.end(),
        {{-reach, -reach, height}, {reach, -reach, height}, {-reach, reach, height}});
    mesh.faces.push_back({base, base + 1, base + 2});
    group.faces.push_back(static_cast<unsigned>(i));
  }
  mesh.groups = {group};
  return w::file({w::greyMaterial("m", 100), w::object("layers", mesh)});
}

std::string refusal(const w::Bytes& file, MeshRole role) {
  std::string why;
  irr::scene::SAnimatedMesh* mesh = assets::decode3ds(
      reinterpret_cast<const unsigned char*>(file.data()), file.size(), role, why);
  if (mesh != nullptr) mesh->drop();
  return mesh != nullptr ? "" : why;
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
    EXPECT_NE(refusal(layers(most + 1, reach), role)
                  .find(std::string("too much surface: a ") + assets::roleName(role) +
                        " mesh has at most"),
              std::string::npos);
  }
}

TEST(MeshFit, TheGroundLiesFlatAndThinlyLayered) {
  constexpr float kSmall = 0.01f;  // m, far below one cell of the ground's grid
  EXPECT_EQ(refusal(layers(1, kSmall, assets::kGroundRelief), MeshRole::Ground), "");
  EXPECT_EQ(refusal(layers(1, kSmall, -assets::kGroundRelief), MeshRole::Ground), "");
  EXPECT_NE(refusal(layers(1, kSmall, assets::kGroundRelief * 1.1f), MeshRole::Ground)
                .find("a ground mesh lies within"),
            std::string::npos);
  // A hull may rise where the ground may not.
  EXPECT_EQ(refusal(layers(1, kSmall, 1.0f), MeshRole::Hull), "");

  EXPECT_EQ(refusal(layers(assets::kMaxGroundLayers, kSmall), MeshRole::Ground), "");
  EXPECT_NE(refusal(layers(assets::kMaxGroundLayers + 1, kSmall), MeshRole::Ground)
                .find("triangles of a ground mesh overlap"),
            std::string::npos);
  // Layers anywhere count: far out in a corner as under the tank, and large ones too.
  const float reach = assets::limitsOf(MeshRole::Ground).maxExtent;
  EXPECT_NE(refusal(layers(assets::kMaxGroundLayers + 1, reach * 0.1f), MeshRole::Ground), "");
  // A triangle counts in every cell it spans, not only where it starts: half the layers reach
  // from the left, half start under their right ends.
  w::Mesh mesh;
  w::Group group{"m", {}};
  for (int i = 0; i <= assets::kMaxGroundLayers; ++i) {
    const float left = i % 2 == 0 ? -20.0f : 10.0f;  // m in the file, several cells apart
    const auto base = static_cast<unsigned>(mesh.vertices.size());
    mesh.vertices.insert(mesh.vertices.end(), {{left, 0, 0}, {20, 0, 0}, {20, 1, 0}});
    mesh.faces.push_back({base, base + 1, base + 2});
    group.faces.push_back(static_cast<unsigned>(i));
  }
  mesh.groups = {group};
  EXPECT_NE(
      refusal(w::file({w::greyMaterial("m", 100), w::object("spans", mesh)}), MeshRole::Ground)
          .find("triangles of a ground mesh overlap"),
      std::string::npos);
  // Other roles may layer as they like within their surface.
  EXPECT_EQ(refusal(layers(assets::kMaxGroundLayers + 1, kSmall), MeshRole::Hull), "");
}

}  // namespace
