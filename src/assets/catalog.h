#pragma once

// Every asset the program loads: the world's, named here, and the tank's and the turret's,
// named by them. A mesh has a role in the scene, which bounds how large and how detailed it
// may be.

#include <cstddef>
#include <iterator>

#include "assets/mesh3ds.h"
#include "sim/Tank.h"

namespace assets {

inline constexpr const char* kGroundMesh = "../media/env/mark2.3ds";
inline constexpr const char* kGroundTexture = "../media/env/sand3.jpg";
inline constexpr const char* kSkyUp = "../media/skybox/dream_up.jpg";
inline constexpr const char* kSkyDown = "../media/skybox/dream_dn.jpg";
inline constexpr const char* kSkyRight = "../media/skybox/dream_rt.jpg";
inline constexpr const char* kSkyLeft = "../media/skybox/dream_lt.jpg";
inline constexpr const char* kSkyFront = "../media/skybox/dream_ft.jpg";
inline constexpr const char* kSkyBack = "../media/skybox/dream_bk.jpg";
inline constexpr const char* kCubeTexture = "../media/brickwall.jpg";
inline constexpr const char* kFont = "../media/fontkorvenblatt.bmp";

// The meshes, each with the role that bounds it.
struct MeshAsset {
  const char* path;
  MeshRole role;
};
inline constexpr MeshAsset kMeshes[] = {
    {kGroundMesh, MeshRole::Ground},
    {Tank::kChassisMesh, MeshRole::Hull},
    {Tank::kTrackMesh, MeshRole::Track},
    {Tank::kWheelMesh, MeshRole::Wheel},
    {turret::Turret::kTurretMesh, MeshRole::Turret},
    {turret::Turret::kCanonMesh, MeshRole::Gun},
};

inline constexpr const char* kTextures[] = {
    kGroundTexture,
    kSkyUp,
    kSkyDown,
    kSkyRight,
    kSkyLeft,
    kSkyFront,
    kSkyBack,
    kCubeTexture,
    Tank::kChassisTexture,
    Tank::kTrackTexture,
    Tank::kWheelTexture,
};

inline constexpr std::size_t kAssetCount =
    std::size(kMeshes) + std::size(kTextures) + 1;  // and the font

}  // namespace assets
