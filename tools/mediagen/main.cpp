// Writes every media file the program loads into the directory given on the command line:
//   ferrox_mediagen OUTPUT_DIR [--font TTF]
// The output depends on nothing but this code, the font file and the libraries, so two runs
// on one machine give the same bytes.
#include <irrlicht.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "BitmapFont.h"
#include "Models.h"
#include "Textures.h"

namespace {

constexpr const char* kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kFontPixels = 14;   // the status line must fit 290 x 40 pixels
constexpr int kGroundSize = 512;  // pixels; every texture edge is a power of two
constexpr int kTankSize = 512;
constexpr int kDetailSize = 256;
constexpr int kSkySize = 512;

int usage() {
  std::fprintf(stderr, "usage: ferrox_mediagen OUTPUT_DIR [--font TTF]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::filesystem::path out = argv[1];
  std::string fontPath = kDefaultFont;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--font") == 0 && i + 1 < argc) {
      fontPath = argv[++i];
    } else {
      return usage();
    }
  }
  std::error_code ec;
  for (const char* dir : {"env", "skybox", "tank"}) {
    std::filesystem::create_directories(out / dir, ec);
    if (ec) {
      std::fprintf(stderr, "%s: %s\n", (out / dir).c_str(), ec.message().c_str());
      return 1;
    }
  }

  // The null device gives the engine's JPEG writer without opening a window.
  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_ERROR;
  irr::IrrlichtDevice* device = irr::createDeviceEx(params);
  if (!device) {
    std::fprintf(stderr, "could not create the engine's null device\n");
    return 1;
  }
  irr::video::IVideoDriver* driver = device->getVideoDriver();

  int failures = 0;
  auto report = [&](const std::filesystem::path& path, bool ok, const std::string& why) {
    if (ok) {
      std::printf("%-26s %8ju bytes\n", path.lexically_relative(out).c_str(),
                  static_cast<uintmax_t>(std::filesystem::file_size(path)));
    } else {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
      ++failures;
    }
  };
  auto texture = [&](const char* name, const textures::Image& image) {
    const std::filesystem::path path = out / name;
    report(path, textures::writeJpeg(driver, image, path.string()), "JPEG not written");
  };
  auto model = [&](const char* name, const char* object, const mesh::MeshBuilder& m) {
    const std::filesystem::path path = out / name;
    std::string error;
    report(path, m.write3ds(object, path.string(), &error), error);
  };

  model("env/mark2.3ds", "ground", models::ground());
  texture("env/sand3.jpg", textures::sand(kGroundSize));

  using textures::SkyFace;
  texture("skybox/dream_up.jpg", textures::skyFace(SkyFace::kUp, kSkySize));
  texture("skybox/dream_dn.jpg", textures::skyFace(SkyFace::kDown, kSkySize));
  texture("skybox/dream_rt.jpg", textures::skyFace(SkyFace::kRt, kSkySize));
  texture("skybox/dream_lt.jpg", textures::skyFace(SkyFace::kLt, kSkySize));
  texture("skybox/dream_ft.jpg", textures::skyFace(SkyFace::kFt, kSkySize));
  texture("skybox/dream_bk.jpg", textures::skyFace(SkyFace::kBk, kSkySize));

  texture("brickwall.jpg", textures::brickWall(kTankSize));
  {
    const std::filesystem::path path = out / "fontkorvenblatt.bmp";
    std::string error;
    report(path, bitmapfont::write(fontPath, kFontPixels, path.string(), &error), error);
  }

  model("tank/chassi.3ds", "chassis", models::chassis());
  model("tank/track.3ds", "track", models::track());
  model("tank/wheel.3ds", "wheel", models::wheel());
  model("tank/turret.3ds", "turret", models::turret());
  model("tank/canon.3ds", "canon", models::canon());
  texture("tank/kamo.jpg", textures::camouflage(kTankSize));
  texture("tank/metalox.jpg", textures::oxidisedMetal(kDetailSize));
  texture("tank/rust3.jpg", textures::rustyPlates(kDetailSize, models::kTrackShoesPerTexture));

  device->drop();
  return failures == 0 ? 0 : 1;
}
