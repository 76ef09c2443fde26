// The JPEG decoder's worst cases as files, and the decoder timed on any files:
//   ferrox_jpegforge worst DIR       writes the costliest files within the bounds, and each
//                                    flood's first file past them ("-over"), into DIR
//   ferrox_jpegforge corpus DIR      writes the decoder's regression cases into DIR
//   ferrox_jpegforge decode FILE...  decodes each file, and says what came of it and the
//                                    processor time it took
// Run `decode` under /usr/bin/time -v for the peak resident memory.
#include <time.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "assets/jpeg.h"
#include "forge/jpeg_forge.h"

namespace {

using forge::Bytes;

double cpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool write(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  return static_cast<bool>(file);
}

// Small files that the decoder refuses, or accepts, for one reason each.
std::vector<forge::Case> corpus() {
  std::vector<forge::Case> cases;
  // Empty scans after a restart interval of one MCU, at the largest area: libjpeg skips the
  // blocks, but the header alone charges each scan in full.
  forge::Flood f;
  f.width = f.height = 1024;
  f.content = forge::Flood::kNothing;
  f.progressive = true;
  f.scans = 100;
  f.arithmetic = true;
  cases.push_back({"arithmetic-progressive-100-empty-scans.jpg", forge::flood(f), false});
  f.arithmetic = false;
  cases.push_back({"progressive-100-empty-scans-restart-1.jpg", forge::flood(f), false});
  f.progressive = false;
  f.interleaved = false;
  f.scans = static_cast<int>(assets::kMaxJpegScanBlocks /
                             (128 * 128 * (1 + assets::kJpegRestartCharge))) +
            1;
  cases.push_back({"empty-scans-restart-1-over-budget.jpg", forge::flood(f), false});
  forge::Encoding e;
  e.width = e.height = 16;
  e.progressive = true;
  cases.push_back({"progressive-33-scans.jpg",
                   forge::withLastScanRepeated(forge::encode(e), assets::kMaxJpegScans + 1),
                   false});
  cases.push_back({"accept-progressive-32-scans.jpg",
                   forge::withLastScanRepeated(forge::encode(e), assets::kMaxJpegScans), true});
  e.progressive = false;
  e.arithmetic = true;
  cases.push_back({"arithmetic.jpg", forge::encode(e), false});
  e.arithmetic = false;
  e.components = 4;
  cases.push_back({"cmyk.jpg", forge::encode(e), false});
  e.components = 3;
  // Each side just within its bound and just beyond, the other side small.
  for (const unsigned side : {assets::kMaxJpegSide, assets::kMaxJpegSide + 1}) {
    const bool within = side <= assets::kMaxJpegSide;
    const std::string n = std::to_string(side);
    e.width = side;
    e.height = 8;
    cases.push_back({(within ? "accept-wide-" : "wide-") + n + ".jpg", forge::encode(e), within});
    std::swap(e.width, e.height);
    cases.push_back({(within ? "accept-tall-" : "tall-") + n + ".jpg", forge::encode(e), within});
  }
  e.quality = 25;
  e.width = e.height = 1024;
  e.height += 1;
  e.components = 1;
  cases.push_back({"area-1024x1025.jpg", forge::encode(e), false});
  e.height = 1024;
  e.components = 3;
  e.progressive = true;
  cases.push_back({"accept-progressive-largest-area.jpg", forge::encode(e), true});
  // libjpeg's progressive script for RGB decodes every block six times: at the largest area,
  // and at the size whose blocks are the most within the caps.
  e.rgb = true;
  cases.push_back({"accept-rgb-progressive-1024x1024.jpg", forge::encode(e), true});
  e.width = 1817;
  e.height = 577;
  cases.push_back({"accept-rgb-progressive-1817x577.jpg", forge::encode(e), true});
  return cases;
}

int decode(int count, char** paths) {
  for (int i = 0; i < count; ++i) {
    std::ifstream file(paths[i], std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    assets::Image image;
    std::string why;
    const double start = cpuSeconds();
    const bool accepted = assets::decodeJpeg(bytes.data(), bytes.size(), image, why);
    const double seconds = cpuSeconds() - start;
    std::printf("%s: %zu bytes, %s, %.1f ms\n", paths[i], bytes.size(),
                accepted
                    ? (std::to_string(image.width) + "x" + std::to_string(image.height)).c_str()
                    : why.c_str(),
                seconds * 1e3);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "decode") return decode(argc - 2, argv + 2);
  if ((command == "worst" || command == "corpus") && argc == 3) {
    const std::vector<forge::Case> cases =
        command == "corpus" ? corpus()
                            : forge::worstCases(assets::kMaxJpegScanBlocks,
                                                assets::kJpegRestartCharge, assets::kMaxJpegBytes);
    bool ok = true;
    for (const forge::Case& c : cases)
      ok = write(std::string(argv[2]) + "/" + c.name, c.bytes) && ok;
    return ok ? 0 : 1;
  }
  std::fprintf(stderr, "usage: ferrox_jpegforge worst DIR | corpus DIR | decode FILE...\n");
  return 2;
}
