#pragma once

#include <irrlicht.h>

#include <cstddef>
#include <string>
#include <vector>

// The world's files; the tank and the turret name their own.
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

// When our ../media is not there from here, moves into the executable's directory.
void enterMediaDirectory();

// How many files the world and the tank load.
extern const std::size_t kAssetCount;

// Every asset file the program needs that cannot be read or, given a device,
// cannot be loaded by the engine. Empty when all are fine.
std::vector<std::string> brokenAssets(irr::IrrlichtDevice* device);
