// Renders the game's tank, built by the game's own code from its own media, on a flat key
// colour: the picture the launcher's icons are cut from (make-icons.sh).
//   ferrox_icon MEDIA_DIR OUT.png
// Irrlicht's software renderer on its console device draws it without any display, so
// that a package builds on a machine without X.
#include <irrlicht.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "assets/library.h"
#include "sim/Tank.h"

namespace {

constexpr irr::u32 kRenderSize = 1024;                 // px, square; scaled down afterwards
const irr::video::SColor kKey(255, 255, 0, 255);       // magenta: in no texture of the tank
const irr::core::vector3df kEye(-8.5f, 5.0f, 11.0f);   // m: front left, above the hull
const irr::core::vector3df kTarget(0.0f, 1.0f, 1.8f);  // m: mid-hull, the gun in view
constexpr float kFieldOfView = 0.6f;                   // rad: little perspective distortion
constexpr float kTurretYaw = -25.0f;                   // deg: the gun turned toward the eye

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ferrox_icon MEDIA_DIR OUT.png\n");
    return 2;
  }
  const std::filesystem::path out = std::filesystem::absolute(argv[2]);
  // The console device clears the terminal on start: keep that out of the build log.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;

  irr::SIrrlichtCreationParameters params;
  params.DeviceType = irr::EIDT_CONSOLE;
  params.DriverType = irr::video::EDT_BURNINGSVIDEO;
  params.WindowSize = {kRenderSize, kRenderSize};
  params.LoggingLevel = irr::ELL_ERROR;
  irr::IrrlichtDevice* device = irr::createDeviceEx(params);
  if (device == nullptr) {
    std::fprintf(stderr, "ferrox_icon: no software renderer\n");
    return 1;
  }
  // The assets are named ../media/...: from inside the media directory that is the directory.
  for (const std::string& problem : assets::installAll(device, argv[1])) {
    std::fprintf(stderr, "ferrox_icon: cannot load %s\n", problem.c_str());
    device->drop();
    return 1;
  }
  irr::video::IVideoDriver* driver = device->getVideoDriver();
  irr::scene::ISceneManager* smgr = device->getSceneManager();

  irr::scene::ISceneNode* root = smgr->addEmptySceneNode(nullptr, -1);
  Tank tank(device, root);
  tank.turret.turretNode->setRotation({0.0f, kTurretYaw, 0.0f});
  irr::scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(nullptr, kEye, kTarget);
  camera->setFOV(kFieldOfView);
  camera->setAspectRatio(1.0f);
  smgr->setActiveCamera(camera);

  driver->beginScene(true, true, kKey);
  smgr->drawAll();
  irr::video::IImage* shot = driver->createScreenShot();
  const bool written = shot != nullptr && driver->writeImageToFile(shot, out.c_str());
  if (shot != nullptr) shot->drop();
  device->drop();
  if (!written) std::fprintf(stderr, "ferrox_icon: cannot write %s\n", out.c_str());
  return written ? 0 : 1;
}
