// What reading and decoding asset files costs: for each file given, the processor time (user
// and system, best of several runs) and whether it was accepted; then the process's peak
// resident memory. For the figures of the worst accepted files and of the shipped media.
// Usage: ferrox_assetcost [--runs N] KIND FILE... [KIND FILE...]
//   KIND: texture, font, or mesh:ROLE with ROLE one of ground hull track wheel turret gun
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/files.h"
#include "assets/library.h"

namespace {

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool parseKind(const std::string& word, assets::AssetKind& kind, assets::MeshRole& role) {
  if (word == "texture") return kind = assets::AssetKind::Texture, true;
  if (word == "font") return kind = assets::AssetKind::Font, true;
  if (word.rfind("mesh:", 0) != 0) return false;
  for (assets::MeshRole r : assets::kMeshRoles)
    if (word.substr(5) == assets::roleName(r))
      return kind = assets::AssetKind::Mesh, role = r, true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3, first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) runs = std::atoi(argv[2]), first = 3;
  assets::AssetKind kind = assets::AssetKind::Texture;
  assets::MeshRole role = assets::MeshRole::Ground;
  bool haveKind = false;
  double total = 0.0;
  for (int i = first; i < argc; ++i) {
    if (parseKind(argv[i], kind, role)) {
      haveKind = true;
      continue;
    }
    if (!haveKind) {
      std::fprintf(stderr, "usage: ferrox_assetcost [--runs N] KIND FILE... [KIND FILE...]\n");
      return 2;
    }
    double best = 1e9;
    std::string why;
    for (int run = 0; run < runs; ++run) {
      const double start = cpuSeconds();
      assets::Bytes bytes;
      if (!assets::readFile(argv[i], bytes)) {
        why = "cannot be read";
        break;
      }
      assets::Decoded decoded;
      why = assets::decode(kind, role, bytes.data(), bytes.size(), decoded);
      best = std::min(best, cpuSeconds() - start);
    }
    total += best;
    std::printf("%8.3f s  %s  %s\n", best, argv[i], why.empty() ? "accepted" : why.c_str());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%8.3f s  in all; peak resident memory %ld MiB\n", total, usage.ru_maxrss / 1024);
  return 0;
}
