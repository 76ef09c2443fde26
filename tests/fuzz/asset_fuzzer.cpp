// One asset through our decoders, bytes to finished mesh or image. Built two ways:
//   with libFuzzer (FERROX_FUZZ_KIND set): a fuzz target for one format, which checks what
//   every accepted input decodes to;
//   without: `ferrox_replay KIND PATH...` decodes every file given, which must be accepted,
//   and every file in each directory given, which must be refused unless its name begins
//   with "accept-"; what is accepted is also handed to the engine on a null device, as the
//   program hands it. Any crash, sanitizer report, broken invariant or other outcome fails.
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/files.h"
#include "assets/library.h"
#include "support.h"
#include "fuzz/corpus_files.h"

namespace {

using assets::AssetKind;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

// What an accepted mesh may cost to draw, judged from the rig's geometry alone: every vertex
// stays this far from the nearest place the chase camera can be (its near plane, and a
// quarter metre), and the draw calls, the view covered (as seen from there) and the layers
// are at most about twice the shipped mesh's of the role.
constexpr float kClearance = 1.25f;  // m
constexpr double kShippedTimes = 2.2;
struct Shipped {
  irr::u32 buffers;  // draw calls
  double cover;      // sr
};
Shipped shippedOf(assets::MeshRole role) {
  switch (role) {
    case assets::MeshRole::Ground: return {1, 0.0};
    case assets::MeshRole::Hull: return {10, 1.633};
    case assets::MeshRole::Track: return {10, 1.120};
    case assets::MeshRole::Wheel: return {10, 0.014};
    case assets::MeshRole::Turret: return {8, 0.809};
    case assets::MeshRole::Gun: return {10, 0.876};
  }
  return {0, 0.0};
}

void checkCost(assets::MeshRole role, const irr::scene::IMesh& mesh) {
  const assets::MeshLimits rig = assets::limitsOf(role);
  const irr::core::vector3df pivot(rig.pivot.x, rig.pivot.y, rig.pivot.z);
  const Shipped shipped = shippedOf(role);
  if (mesh.getMeshBufferCount() > kShippedTimes * shipped.buffers) broken("too many draw calls");
  double cover = 0.0;  // sr
  for (irr::u32 b = 0; b < mesh.getMeshBufferCount(); ++b) {
    const irr::scene::IMeshBuffer* buffer = mesh.getMeshBuffer(b);
    if (buffer->getMaterial().isTransparent()) broken("a transparent buffer");
    if (role == assets::MeshRole::Ground) {
      // Drawn ten times its size, the ground stays as far below the camera's least height.
      for (irr::u32 v = 0; v < buffer->getVertexCount(); ++v)
        if (!(10.0f * std::fabs(buffer->getPosition(v).Y) <= 1.0f - (kClearance - 1.0f)))
          broken("a ground that rises to the camera");
      continue;
    }
    const irr::u16* index = buffer->getIndices();
    for (irr::u32 i = 0; i + 2 < buffer->getIndexCount(); i += 3) {
      double nearest = 1e30;  // m: the least the camera keeps from any of the corners
      for (int c = 0; c < 3; ++c) {
        const double away = assets::kCameraOrbit - rig.fromHull -
                            rig.scale * buffer->getPosition(index[i + c]).getDistanceFrom(pivot);
        if (!(away >= kClearance)) broken("a vertex within the camera's reach");
        nearest = std::min(nearest, away);
      }
      const irr::core::vector3df a = buffer->getPosition(index[i]);
      const double area = 0.5 * (buffer->getPosition(index[i + 1]) - a)
                                    .crossProduct(buffer->getPosition(index[i + 2]) - a)
                                    .getLength();
      cover += rig.scale * rig.scale * area / (nearest * nearest);
    }
  }
  if (cover > kShippedTimes * shipped.cover + 1e-9)
    broken("a mesh that covers too much of the view");
}

// What an accepted asset must be, whatever bytes it came from.
void checkDecoded(AssetKind kind, assets::MeshRole role, const assets::Decoded& decoded) {
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
  checkCost(role, *mesh);
}

// Decodes one input, a mesh in every role; each asset accepted is checked and handed to
// `accepted`. True when some role, or the one decoding of an image, accepted it.
template <typename Accepted>
bool decodeEach(AssetKind kind, const unsigned char* data, std::size_t size, Accepted accepted) {
  bool any = false;
  for (assets::MeshRole role : assets::kMeshRoles) {
    assets::Decoded decoded;
    if (assets::decode(kind, role, data, size, decoded).empty()) {
      checkDecoded(kind, role, decoded);
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
  if (argc < 3) {
    std::fprintf(stderr, "usage: ferrox_replay mesh|texture|font PATH...\n");
    return 2;
  }
  const std::string kindName = argv[1];
  const AssetKind kind = kindName == "mesh"      ? AssetKind::Mesh
                         : kindName == "texture" ? AssetKind::Texture
                                                 : AssetKind::Font;
  const auto files = corpusFiles(argc, argv, 2);  // and whether each must be accepted
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
