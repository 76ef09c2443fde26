#pragma once

// The program's asset files: which they are, how each is checked, and how the engine gets
// them. Every file is read once; only the bytes that passed the check ever reach the engine.

#include <irrlicht.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "Tank.h"

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

enum class AssetKind { Mesh, Texture, Font };  // 3DS, JPEG, BMP

struct Asset {
  const char* path;
  AssetKind kind;
};

// Everything the world and the tank load.
inline constexpr Asset kAssets[] = {
    {kGroundMesh, AssetKind::Mesh},
    {kGroundTexture, AssetKind::Texture},
    {kSkyUp, AssetKind::Texture},
    {kSkyDown, AssetKind::Texture},
    {kSkyRight, AssetKind::Texture},
    {kSkyLeft, AssetKind::Texture},
    {kSkyFront, AssetKind::Texture},
    {kSkyBack, AssetKind::Texture},
    {kCubeTexture, AssetKind::Texture},
    {kFont, AssetKind::Font},
    {Tank::kChassisMesh, AssetKind::Mesh},
    {Tank::kTrackMesh, AssetKind::Mesh},
    {Tank::kWheelMesh, AssetKind::Mesh},
    {turret::Turret::kTurretMesh, AssetKind::Mesh},
    {turret::Turret::kCanonMesh, AssetKind::Mesh},
    {Tank::kChassisTexture, AssetKind::Texture},
    {Tank::kWheelTexture, AssetKind::Texture},
    {Tank::kTrackTexture, AssetKind::Texture},
};

using Bytes = std::vector<unsigned char>;

// A texture is decoded twice (checked, then loaded) and mipmapped: a progressive 4096 px
// square took 5 s to the first frame on a busy 2-core machine.
constexpr unsigned kMaxTextureSide = 8192;                  // px
constexpr unsigned long kMaxTexturePixels = 4096ul * 2048;  // px, width times height
constexpr std::size_t kMaxAssetBytes = 32u << 20;           // bytes, the largest file read

// Why `bytes` are refused as an asset of this kind; empty when they are accepted. Accepted
// bytes are within what the engine's loader for the kind reads safely.
std::string assetRefusal(AssetKind kind, const unsigned char* bytes, std::size_t size);

// Checks `bytes` and has the engine load them as `name`, from memory, into its caches.
// Empty on success, else why not. The bytes are read from a file system entry that is gone
// again on return.
std::string loadAsset(irr::IrrlichtDevice* device, AssetKind kind, const std::string& name,
                      const Bytes& bytes);

// The asset files, each read once, then checked and loaded from those bytes.
class AssetFiles {
 public:
  // Reads every file; the paths of those that are not regular files or cannot be read.
  std::vector<std::string> read();
  // Checks every file read; "path: reason" for each one refused, which is then dropped.
  std::vector<std::string> check();
  // Loads every file read and not refused into the device's caches, from the bytes read
  // (checking them first unless check() already has);
  // "path: reason" for each one the engine refused. The device keeps serving the same
  // bytes under the same paths for as long as it lives: a later load by path never reads
  // the disk again.
  std::vector<std::string> load(irr::IrrlichtDevice* device);

 private:
  std::map<std::string, Bytes> files_;
  bool checked_ = false;  // check() has run: what is left in files_ passed it
};

// Every asset file the program needs that cannot be read or, given a device, is refused
// or cannot be loaded by the engine. Empty when all are fine.
std::vector<std::string> brokenAssets(irr::IrrlichtDevice* device);

// When our ../media is not there from here, moves where it is: beside the executable or
// the installed media directory (see MediaDirs.h).
void enterMediaDirectory();
