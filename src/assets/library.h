#pragma once

// The program's assets: each file read once and turned by our own code into a finished mesh
// or image, which the engine then takes into its caches under the file's path. The engine's
// own file loaders never see a byte of them.

#include <irrlicht.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/catalog.h"
#include "assets/image.h"

namespace assets {

enum class AssetKind { Mesh, Texture, Font };  // 3DS, JPEG, BMP

// One asset's bytes made into what the engine takes: a mesh, or an image.
class Decoded {
 public:
  Decoded() = default;
  ~Decoded();
  Decoded(Decoded&& other) noexcept;
  Decoded& operator=(Decoded&& other) noexcept;
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;

  irr::scene::IAnimatedMesh* mesh = nullptr;  // one reference, ours
  Image image;
};

// Decodes `bytes` as an asset of `kind` (and, for a mesh, `role`); empty on success, else why
// it is refused.
std::string decode(AssetKind kind, MeshRole role, const unsigned char* bytes, std::size_t size,
                   Decoded& out);

// Hands `decoded` to the device under `path`: getMesh, getTexture or getFont with that path
// then finds it. Empty on success, else why the engine would not take it.
std::string install(irr::IrrlichtDevice* device, AssetKind kind, const char* path,
                    Decoded& decoded);

// A texture that cannot be loaded is not installed: the engine's caches have no texture of
// that name, and the surfaces that wear it are drawn untextured. The game plays without it,
// but not without a mesh or the font.
class Library {
 public:
  // Reads and decodes every asset, its path taken from `from` (the working directory when
  // empty); "path: reason" for each one that cannot be read or is refused, a texture's
  // ending "; drawn untextured". What is refused is not kept.
  std::vector<std::string> load(const std::filesystem::path& from = {});
  // Installs every asset load() kept, freeing its decoded form; "path: reason" for each the
  // engine would not take, as load() names them.
  std::vector<std::string> install(irr::IrrlichtDevice* device);
  // Whether every mesh and the font were loaded and installed so far: the game cannot
  // play without one of them.
  bool playable() const { return playable_; }

 private:
  struct Entry {
    const char* path;
    AssetKind kind;
    Decoded decoded;
  };
  // "path: why" into `problems`, and whether the game can still play.
  void refuse(std::vector<std::string>& problems, const char* path, AssetKind kind,
              const std::string& why);

  std::vector<Entry> decoded_;
  bool playable_ = true;
};

// Reads (from `from`, as Library::load), decodes and installs every asset on `device`; the
// problems, as Library names them.
std::vector<std::string> installAll(irr::IrrlichtDevice* device,
                                    const std::filesystem::path& from = {});

}  // namespace assets
