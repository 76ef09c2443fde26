// One asset through the program's whole loading path, on the engine's null device: the
// check, then the engine's own loader on the accepted bytes; a mesh through our own decoder,
// accepted when it fits any role, as the engine's 3DS loader is to see no file. Built two ways:
//   with libFuzzer (FERROX_FUZZ_KIND set): a fuzz target for one kind of asset;
//   without: `ferrox_replay KIND PATH...` loads every file given, which must be accepted,
//   and every file in each directory given, which must be refused unless its name begins
//   with "accept-". Any crash, sanitizer report or other outcome fails.
#include <irrlicht.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "assets.h"
#include "assets/mesh3ds.h"
#include "support.h"

namespace {

// The engine keeps a sprite bank of every font it loaded and offers no way to remove one:
// a fresh device now and then keeps a long run's memory flat.
constexpr int kInputsPerDevice = 4096;

irr::IrrlichtDevice* nullDevice() {
  static irr::IrrlichtDevice* device = nullptr;
  static int inputs = 0;
  if (device != nullptr && ++inputs % kInputsPerDevice == 0) {
    device->drop();
    device = nullptr;
  }
  if (device == nullptr) device = support::createNullDevice();
  return device;
}

// A path under a directory that does not exist, so that nothing but the checked bytes can
// ever be found there; new for each input, as the engine adds each font's glyphs to the
// sprite bank of that name, which no font may share.
std::string nameFor(AssetKind kind) {
  static unsigned long inputs = 0;
  const std::string name = "/nonexistent/ferrox-fuzz/asset" + std::to_string(++inputs);
  switch (kind) {
    case AssetKind::Mesh: return name + ".3ds";
    case AssetKind::Texture: return name + ".jpg";
    case AssetKind::Font: return name + ".bmp";
  }
  return name;
}

constexpr assets::MeshRole kMeshRoles[] = {assets::MeshRole::Ground, assets::MeshRole::Hull,
                                           assets::MeshRole::Track,  assets::MeshRole::Wheel,
                                           assets::MeshRole::Turret, assets::MeshRole::Gun};

// Whether the decoder takes the mesh in some role; each mesh it makes is drawn once.
bool decodesAsSomeMesh(const unsigned char* data, std::size_t size) {
  bool accepted = false;
  for (assets::MeshRole role : kMeshRoles) {
    std::string why;
    irr::scene::SAnimatedMesh* mesh = assets::decode3ds(data, size, role, why);
    if (mesh == nullptr) continue;
    irr::IrrlichtDevice* device = nullDevice();
    irr::scene::ISceneManager* scene = device->getSceneManager();
    irr::scene::ISceneNode* node = scene->addAnimatedMeshSceneNode(mesh);
    scene->drawAll();
    node->remove();
    mesh->drop();
    accepted = true;
  }
  return accepted;
}

// Loads one input, then forgets whatever the engine kept of it: the next one loads afresh.
bool loadOnce(AssetKind kind, const unsigned char* data, std::size_t size) {
  if (kind == AssetKind::Mesh) return decodesAsSomeMesh(data, size);
  irr::IrrlichtDevice* device = nullDevice();
  const std::string name = nameFor(kind);
  const bool accepted = loadAsset(device, kind, name, Bytes(data, data + size)).empty();
  if (kind == AssetKind::Font) {
    irr::gui::IGUIEnvironment* gui = device->getGUIEnvironment();
    if (irr::gui::IGUIFont* font = accepted ? gui->getFont(name.c_str()) : nullptr)
      gui->removeFont(font);
  }
  device->getSceneManager()->getMeshCache()->clear();
  device->getVideoDriver()->removeAllTextures();
  return accepted;
}

}  // namespace

#ifdef FERROX_FUZZ_KIND
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  loadOnce(FERROX_FUZZ_KIND, data, size);
  return 0;
}
#else
int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 3) {
    std::fprintf(stderr, "usage: ferrox_replay mesh|texture|font PATH...\n");
    return 2;
  }
  const std::string kindName = argv[1];
  const AssetKind kind = kindName == "mesh"      ? AssetKind::Mesh
                         : kindName == "texture" ? AssetKind::Texture
                                                 : AssetKind::Font;
  std::vector<std::pair<fs::path, bool> > files;  // and whether it must be accepted
  for (int i = 2; i < argc; ++i) {
    if (fs::is_directory(argv[i])) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i]))
        if (entry.is_regular_file())
          files.emplace_back(entry.path(),
                             entry.path().filename().string().rfind("accept-", 0) == 0);
    } else {
      files.emplace_back(argv[i], true);
    }
  }
  int accepted = 0, wrong = 0;
  for (const auto& [path, acceptable] : files) {
    std::ifstream file(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const bool loaded = loadOnce(kind, bytes.data(), bytes.size());
    accepted += loaded;
    if (loaded != acceptable) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), loaded ? "accepted" : "refused");
      ++wrong;
    }
  }
  std::printf("%zu %s files loaded without fault, %d of them accepted, %d unlike expected\n",
              files.size(), kindName.c_str(), accepted, wrong);
  return files.empty() || wrong != 0 ? 1 : 0;
}
#endif
