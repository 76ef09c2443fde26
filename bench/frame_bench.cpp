#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <filesystem>

#include "Tank.h"
#include "alloc_counter.h"
#include "main.h"

namespace {

using irr::core::vector3df;

constexpr float kFrame = 1.0f / 60.0f;  // s, the step of a 60 frames per second loop
constexpr int kSettleFrames = 300;      // 5 s at 60 frames per second
constexpr float kGroundScale = 10.0f;
constexpr int kCubeCount = 50;
constexpr float kCubeSpacing = 10.0f;  // m along +Z
constexpr float kCubeSize = 1.0f;      // m
constexpr float kCubeX = 5.0f;         // m
constexpr float kCubeY = 1.0f;         // m

const irr::video::SColor kClearColour(250, 90, 90, 156);
const irr::video::SColor kStatusColour(255, 255, 255, 255);
const irr::core::rect<irr::s32> kStatusRect(10, 10, 300, 50);  // px

// The program's world and tank on the null device, loaded from media/, the tank driving
// in a circle with its turret turning.
struct World {
  World() {
    std::filesystem::current_path(FERROX_RUN_DIR);  // where ../media resolves
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    device = irr::createDeviceEx(params);
    driver = device->getVideoDriver();
    smgr = device->getSceneManager();
    tank = new Tank(device, smgr->addEmptySceneNode());

    // The world as the program builds it.
    irr::scene::ISceneNode* ground =
        smgr->addAnimatedMeshSceneNode(smgr->getMesh("../media/env/mark2.3ds"));
    ground->setMaterialFlag(irr::video::EMF_LIGHTING, false);
    ground->setMaterialTexture(0, driver->getTexture("../media/env/sand3.jpg"));
    ground->setScale(vector3df(kGroundScale, kGroundScale, kGroundScale));
    smgr->addSkyBoxSceneNode(driver->getTexture("../media/skybox/dream_up.jpg"),
                             driver->getTexture("../media/skybox/dream_dn.jpg"),
                             driver->getTexture("../media/skybox/dream_rt.jpg"),
                             driver->getTexture("../media/skybox/dream_lt.jpg"),
                             driver->getTexture("../media/skybox/dream_ft.jpg"),
                             driver->getTexture("../media/skybox/dream_bk.jpg"));
    for (int i = 0; i < kCubeCount; ++i) {
      irr::scene::ISceneNode* cube = smgr->addCubeSceneNode(kCubeSize);
      cube->setPosition(vector3df(kCubeX, kCubeY, kCubeSpacing * static_cast<float>(i)));
      cube->setMaterialTexture(0, driver->getTexture("../media/brickwall.jpg"));
      cube->setMaterialFlag(irr::video::EMF_LIGHTING, false);
    }
    font = device->getGUIEnvironment()->getFont("../media/fontkorvenblatt.bmp");

    tank->pause();
    tank->accelerate(true);
    tank->turnRight(true);
    tank->turnTurretRight(true);
    for (int i = 0; i < kSettleFrames; ++i) frame();
  }
  ~World() {
    delete tank;
    device->drop();
  }
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // One pass of the program's frame loop, stepped by a fixed frame length: the null
  // driver's frame rate is far beyond any window's.
  void frame() {
    driver->beginScene(true, true, kClearColour);
    smgr->drawAll();
    formatStatus(status, tank->engine.getGear(), tank->engine.getSpeed(), fps);
    font->draw(status, kStatusRect, kStatusColour, false, false, nullptr);
    driver->endScene();
    fps = driver->getFPS();
    refreshCaption(device, fps, lastFPS);
    tank->calculatePosition(kFrame);
  }

  irr::IrrlichtDevice* device;
  irr::video::IVideoDriver* driver;
  irr::scene::ISceneManager* smgr;
  irr::gui::IGUIFont* font;
  Tank* tank;
  wchar_t status[kStatusLength];
  int fps = 0;
  int lastFPS = -1;
};

// Allocations are counted, not forbidden: the engine's font takes its text as an engine
// string and builds arrays for every draw.
void BM_NullDeviceFrame(benchmark::State& state) {
  World world;
  const long before = alloc_counter::allocations();
  for (auto _ : state) world.frame();
  state.counters["allocations"] =
      benchmark::Counter(static_cast<double>(alloc_counter::allocations() - before),
                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NullDeviceFrame);

}  // namespace
