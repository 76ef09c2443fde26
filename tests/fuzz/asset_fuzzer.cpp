// One asset through our decoders, bytes to finished mesh or image. Built two ways:
//   with libFuzzer (FERROX_FUZZ_KIND set): a fuzz target for one format, which checks what
//   every accepted input decodes to;
//   without: `ferrox_replay KIND PATH...` decodes every file given, which must be accepted,
//   and every file in each directory given, which must be refused unless its name begins
//   with "accept-"; what is accepted is also handed to the engine on a null device, as the
//   program hands it. Any crash, sanitizer report, broken invariant or other outcome fails.
#include <irrlicht.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "assets/files.h"
#include "assets/library.h"
#include "support.h"

namespace {

using assets::AssetKind;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

// What an accepted asset must be, whatever bytes it came from.
void checkDecoded(AssetKind kind, const assets::Decoded& decoded) {
  if (kind != AssetKind::Mesh) {
    const assets::Image& image = decoded.image;
    const std::size_t bytesPerPixel = image.format == irr::video::ECF_A8R8G8B8 ? 4 : 3;
    if (image.width == 0 || image.height == 0) broken("an empty image");
    if (image.pixels.size() != std::size_t{image.width} * image.height * bytesPerPixel)
      broken("pixels that do not fill the image");
    return;
  }
  if (decoded.mesh == nullptr || decoded.mesh->getFrameCount() != 1)
    broken("no mesh");  // empty is fine
  irr::scene::IMesh* mesh = decoded.mesh->getMesh(0);
  for (irr::u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    if (buffer->getIndexCount() == 0 || buffer->getIndexCount() % 3 != 0)
      broken("a buffer without whole triangles");
    for (irr::u32 i = 0; i < buffer->getIndexCount(); ++i)
      if (buffer->getIndices()[i] >= buffer->getVertexCount()) broken("an index past the vertices");
    if (!buffer->getBoundingBox().isFullInside(mesh->getBoundingBox()))
      broken("a buffer outside the mesh's box");
  }
}

// Decodes one input, a mesh in every role; each asset accepted is checked and handed to
// `accepted`. True when some role, or the one decoding of an image, accepted it.
template <typename Accepted>
bool decodeEach(AssetKind kind, const unsigned char* data, std::size_t size, Accepted accepted) {
  bool any = false;
  for (assets::MeshRole role : assets::kMeshRoles) {
    assets::Decoded decoded;
    if (assets::decode(kind, role, data, size, decoded).empty()) {
      checkDecoded(kind, decoded);
      accepted(decoded);
      any = true;
    }
    if (kind != AssetKind::Mesh) break;
  }
  return any;
}

#ifndef FERROX_FUZZ_KIND
// Decodes one input and installs what is accepted on a device of its own, as the program
// does; true when it was accepted and the engine took it.
bool loadOnce(AssetKind kind, const assets::Bytes& bytes) {
  std::string refused;
  const bool decoded = decodeEach(kind, bytes.data(), bytes.size(), [&](assets::Decoded& asset) {
    irr::IrrlichtDevice* device = support::createNullDevice();
    const std::string why =
        assets::install(device, kind, "/nonexistent/ferrox-replay/asset", asset);
    irr::scene::ISceneManager* scene = device->getSceneManager();
    if (why.empty() && kind == AssetKind::Mesh) scene->addAnimatedMeshSceneNode(asset.mesh);
    if (why.empty()) scene->drawAll();
    device->drop();
    if (!why.empty()) refused = why;
  });
  if (!refused.empty())
    std::fprintf(stderr, "decoded, but the engine refused it: %s\n", refused.c_str());
  return decoded && refused.empty();
}
#endif

}  // namespace

#ifdef FERROX_FUZZ_KIND
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  decodeEach(FERROX_FUZZ_KIND, data, size, [](assets::Decoded&) {});
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
    assets::Bytes bytes;
    const bool loaded = assets::readFile(path.c_str(), bytes) && loadOnce(kind, bytes);
    accepted += loaded;
    if (loaded != acceptable) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), loaded ? "accepted" : "refused");
      ++wrong;
    }
  }
  std::printf("%zu %s files decoded without fault, %d of them accepted, %d unlike expected\n",
              files.size(), kindName.c_str(), accepted, wrong);
  return files.empty() || wrong != 0 ? 1 : 0;
}
#endif
