#include "assets/library.h"

#include <utility>

#include "assets/bmp.h"
#include "assets/files.h"
#include "assets/font.h"
#include "assets/jpeg.h"

namespace assets {

Decoded::~Decoded() {
  if (mesh != nullptr) mesh->drop();
}

Decoded::Decoded(Decoded&& other) noexcept
    : mesh(std::exchange(other.mesh, nullptr)), image(std::move(other.image)) {}

Decoded& Decoded::operator=(Decoded&& other) noexcept {
  if (this != &other) {
    if (mesh != nullptr) mesh->drop();
    mesh = std::exchange(other.mesh, nullptr);
    image = std::move(other.image);
  }
  return *this;
}

std::string decode(AssetKind kind, MeshRole role, const unsigned char* bytes, std::size_t size,
                   Decoded& out) {
  if (size > kMaxAssetBytes) return "larger than " + std::to_string(kMaxAssetBytes) + " bytes";
  std::string why;
  switch (kind) {
    case AssetKind::Mesh: out.mesh = decode3ds(bytes, size, role, why); break;
    case AssetKind::Texture: decodeJpeg(bytes, size, out.image, why); break;
    case AssetKind::Font: decodeBmp(bytes, size, out.image, why); break;
  }
  return why;
}

std::string install(irr::IrrlichtDevice* device, AssetKind kind, const char* path,
                    Decoded& decoded) {
  switch (kind) {
    case AssetKind::Mesh:
      if (decoded.mesh == nullptr) return "no mesh";
      device->getSceneManager()->getMeshCache()->addMesh(path, decoded.mesh);
      return "";
    case AssetKind::Texture: {
      irr::video::IVideoDriver* driver = device->getVideoDriver();
      irr::video::IImage* image = toEngineImage(driver, decoded.image);
      if (image == nullptr) return "no image";
      const bool added = driver->addTexture(path, image) != nullptr;
      image->drop();
      decoded.image = Image();  // the texture holds what the engine needs
      return added ? "" : "the engine made no texture of it";
    }
    case AssetKind::Font:
      return installFont(device, path, decoded.image) != nullptr
                 ? ""
                 : "the engine found no glyphs in it";
  }
  return "unknown kind";
}

void Library::refuse(std::vector<std::string>& problems, const char* path, AssetKind kind,
                     const std::string& why) {
  if (kind == AssetKind::Texture) {
    problems.push_back(std::string(path) + ": " + why + "; drawn untextured");
    return;
  }
  problems.push_back(std::string(path) + ": " + why);
  playable_ = false;
}

std::vector<std::string> Library::load(const std::filesystem::path& from) {
  std::vector<std::string> problems;
  auto take = [&](const char* path, AssetKind kind, MeshRole role) {
    Bytes bytes;
    std::string why;
    if (!readFile((from / path).c_str(), bytes, &why)) {
      refuse(problems, path, kind, "cannot be read: " + why);
      return;
    }
    Entry entry{path, kind, Decoded()};
    why = decode(kind, role, bytes.data(), bytes.size(), entry.decoded);
    if (!why.empty())
      refuse(problems, path, kind, why);
    else
      decoded_.push_back(std::move(entry));
  };
  for (const MeshAsset& mesh : kMeshes) take(mesh.path, AssetKind::Mesh, mesh.role);
  for (const char* texture : kTextures) take(texture, AssetKind::Texture, MeshRole::Ground);
  take(kFont, AssetKind::Font, MeshRole::Ground);
  return problems;
}

std::vector<std::string> Library::install(irr::IrrlichtDevice* device) {
  std::vector<std::string> problems;
  for (Entry& entry : decoded_) {
    const std::string why = assets::install(device, entry.kind, entry.path, entry.decoded);
    if (!why.empty()) refuse(problems, entry.path, entry.kind, why);
  }
  decoded_.clear();
  return problems;
}

std::vector<std::string> installAll(irr::IrrlichtDevice* device,
                                    const std::filesystem::path& from) {
  Library library;
  std::vector<std::string> problems = library.load(from);
  for (std::string& problem : library.install(device)) problems.push_back(std::move(problem));
  return problems;
}

}  // namespace assets
