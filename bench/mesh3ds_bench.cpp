// CPU time to decode each shipped mesh, and the costliest mesh each role accepts: its most
// triangles, three vertices of their own each with texture coordinates, spread over the
// most objects and material groups, the most materials with every property, every name at
// its longest, and padded with empty chunks to the largest file accepted.
#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "assets/mesh3ds.h"
#include "forge/write3ds.h"

namespace {

using assets::MeshRole;
namespace w = write3ds;

constexpr std::size_t kMostMaterials = 1024;    // per file
constexpr std::size_t kMostObjects = 4096;      // per file, and groups too: one each
constexpr std::size_t kLongestName = 255;       // bytes, terminator not counted
constexpr std::size_t kLargestFile = 4u << 20;  // bytes
constexpr std::size_t kPaddingChunk = 10;       // bytes: a mesh version chunk

std::string nameOf(const char* kind, std::size_t i) {
  std::string name = std::string(kind) + std::to_string(i);
  name.resize(kLongestName, '_');
  return name;
}

// Every property, the diffuse colour `level`: materials of one level are drawn alike.
w::Bytes everyProperty(unsigned level) {
  return w::property(w::kAmbient, w::colourFloats(0.5f, 0.5f, 0.5f)) +
         w::property(w::kDiffuse, w::colourBytes(level, 2, 3) + w::colourBytes(4, 5, 6, 0x12)) +
         w::property(w::kSpecular, w::colourBytes(0, 0, 0)) +
         w::property(w::kShininess, w::percentInt(10)) + w::property(0xA041, w::percentInt(0)) +
         w::property(w::kTransparency, w::percentFloat(0.0f)) +
         w::property(0xA052, w::percentInt(0)) + w::property(0xA053, w::percentInt(0)) +
         w::shading(3) + w::chunk(0xA087, w::f32(1.0f));
}

// The materials come in as many kinds as the role may draw, so that each is compared with
// every kind before it finds its own; the triangles are specks, each in a cell of its own
// about the pivot, so that neither the role's surface nor its view nor the ground's layers
// refuse them.
constexpr float kSpeck = 1e-3f;   // m
constexpr float kCell = 1.5625f;  // m: a cell of the ground's grid, 200 m over 128

std::string worstFor(MeshRole role) {
  const assets::MeshLimits limits = assets::limitsOf(role);
  const bool ground = role == MeshRole::Ground;
  std::vector<w::Bytes> scene;
  for (std::size_t m = 0; m < kMostMaterials; ++m)
    scene.push_back(
        w::material(nameOf("m", m), everyProperty(static_cast<unsigned>(m % limits.maxBuffers))));
  const std::size_t objects = kMostObjects;  // some without triangles, each with a group
  for (std::size_t o = 0; o < objects; ++o) {
    const std::size_t first = limits.maxTriangles * o / objects;
    const std::size_t last = limits.maxTriangles * (o + 1) / objects;
    w::Mesh mesh;
    w::Group group{nameOf("m", o % kMostMaterials), {}};
    for (std::size_t t = first; t < last; ++t) {
      // The file's (x, y, z) is the scene's (x, z, y).
      const float x = ground ? -60.0f + kCell * static_cast<float>(t % 64) + 0.1f
                             : limits.pivot.x + kSpeck * static_cast<float>(t % 64);
      const float y = ground ? -20.0f + kCell * static_cast<float>(t / 64) + 0.1f
                             : limits.pivot.z + kSpeck * static_cast<float>(t / 64);
      const float z = limits.pivot.y;
      const auto base = static_cast<unsigned>(mesh.vertices.size());
      mesh.vertices.insert(mesh.vertices.end(),
                           {{x, y, z}, {x + kSpeck, y, z}, {x, y + kSpeck, z}});
      mesh.texCoords.insert(mesh.texCoords.end(), {{0, 0}, {1, 0}, {0, 1}});
      mesh.faces.push_back({base, base + 1, base + 2});
      group.faces.push_back(static_cast<unsigned>(t - first));
    }
    mesh.groups = {group};
    scene.push_back(w::object(nameOf("o", o), mesh));
  }
  const std::size_t size = w::file(scene).size();
  const std::size_t padding = size < kLargestFile ? (kLargestFile - size) / kPaddingChunk : 0;
  scene.insert(scene.begin(), padding, w::chunk(0x3D3E, w::u32(3)));
  return w::file(scene);
}

void decode(benchmark::State& state, const std::string& bytes, MeshRole role) {
  for (auto _ : state) {
    std::string why;
    irr::scene::SAnimatedMesh* mesh = assets::decode3ds(
        reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), role, why);
    if (mesh == nullptr) {
      state.SkipWithError(why.c_str());
      return;
    }
    benchmark::DoNotOptimize(mesh->getMesh(0)->getMeshBufferCount());
    mesh->drop();
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

void shipped(benchmark::State& state, const char* path, MeshRole role) {
  std::ifstream file(std::string(FERROX_RUN_DIR) + "/" + path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  decode(state, bytes, role);
}

void worst(benchmark::State& state, MeshRole role) { decode(state, worstFor(role), role); }

BENCHMARK_CAPTURE(shipped, ground, "../media/env/mark2.3ds", MeshRole::Ground);
BENCHMARK_CAPTURE(shipped, hull, "../media/tank/chassi.3ds", MeshRole::Hull);
BENCHMARK_CAPTURE(shipped, track, "../media/tank/track.3ds", MeshRole::Track);
BENCHMARK_CAPTURE(shipped, wheel, "../media/tank/wheel.3ds", MeshRole::Wheel);
BENCHMARK_CAPTURE(shipped, turret, "../media/tank/turret.3ds", MeshRole::Turret);
BENCHMARK_CAPTURE(shipped, gun, "../media/tank/canon.3ds", MeshRole::Gun);
BENCHMARK_CAPTURE(worst, ground, MeshRole::Ground)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, hull, MeshRole::Hull)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, track, MeshRole::Track)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, wheel, MeshRole::Wheel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, turret, MeshRole::Turret)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, gun, MeshRole::Gun)->Unit(benchmark::kMillisecond);

}  // namespace
