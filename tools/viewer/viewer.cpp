// Draws the world and the tank's meshes placed as the tank's rig places them, at rest:
// no simulation, no text. Useful to look at the media, and the frame-rate baseline of the
// program: with --chase it starts up as the program does (its asset checks, which load
// every asset in its order; its tank; the world) and looks through the tank's chase
// camera, turned by the program's own receiver for a cursor at X,Y; only the frame loop
// is bare.
//   ferrox_viewer [--seconds S] [--frames N] [--screenshot PNG] [--media DIR]
//                 [--eye X,Y,Z] [--target X,Y,Z] [--chase X,Y [--text 1]]
//                 [--turret DEG] [--elevation DEG]
// --text 1 draws the program's status line as well, so that the two differ only by the
// simulation step and the caption.
// Run from bin/ like the program, so that ../media resolves (--chase reads only ../media).
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "Tank.h"
#include "main.h"

using namespace irr;

namespace {

constexpr u32 kWidth = 1024, kHeight = 768;  // px, the program's window
constexpr int kCubeCount = 50;
constexpr float kCubeSpacing = 10.0f;  // m along +Z
constexpr float kGroundScale = 10.0f;
constexpr float kCameraFar = 1000.0f;  // m
constexpr int kWheelsPerSide = 7;
constexpr double kFirstMountZ = 2.7;                 // m
constexpr double kMountSpacing = 0.9;                // m
const core::rect<s32> kStatusRect(10, 10, 300, 50);  // px, as the program draws it
const video::SColor kStatusColour(255, 255, 255, 255);

struct Options {
  double seconds = 0.0;
  int frames = 5;
  std::string screenshot;
  std::string media = "../media";
  core::vector3df eye{4.5f, 4.0f, -11.0f};
  core::vector3df target{0.0f, 1.4f, 1.5f};
  bool chase = false;
  bool text = false;
  int cursorX = 0;            // px, the cursor that turns the chase camera
  int cursorY = 0;            // px
  float turretYaw = 0.0f;     // degrees
  float gunElevation = 0.0f;  // degrees, the pivot's X rotation: negative raises the gun
};

bool parseVector(const char* text, core::vector3df* v) {
  return std::sscanf(text, "%f,%f,%f", &v->X, &v->Y, &v->Z) == 3;
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return false;
    ++i;
    if (!std::strcmp(arg, "--seconds")) {
      o->seconds = std::atof(value);
    } else if (!std::strcmp(arg, "--frames")) {
      o->frames = std::atoi(value);
    } else if (!std::strcmp(arg, "--screenshot")) {
      o->screenshot = value;
    } else if (!std::strcmp(arg, "--media")) {
      o->media = value;
    } else if (!std::strcmp(arg, "--eye")) {
      if (!parseVector(value, &o->eye)) return false;
    } else if (!std::strcmp(arg, "--target")) {
      if (!parseVector(value, &o->target)) return false;
    } else if (!std::strcmp(arg, "--chase")) {
      o->chase = std::sscanf(value, "%d,%d", &o->cursorX, &o->cursorY) == 2;
      if (!o->chase) return false;
    } else if (!std::strcmp(arg, "--text")) {
      o->text = std::atoi(value) != 0;
    } else if (!std::strcmp(arg, "--turret")) {
      o->turretYaw = float(std::atof(value));
    } else if (!std::strcmp(arg, "--elevation")) {
      o->gunElevation = float(std::atof(value));
    } else {
      return false;
    }
  }
  return true;
}

scene::ISceneNode* addMesh(scene::ISceneManager* smgr, video::IVideoDriver* driver,
                           const std::string& mesh, const std::string& texture,
                           scene::ISceneNode* parent, const core::vector3df& position) {
  scene::IAnimatedMesh* m = smgr->getMesh(mesh.c_str());
  if (!m) {
    std::fprintf(stderr, "cannot load %s\n", mesh.c_str());
    std::exit(1);
  }
  scene::ISceneNode* node = smgr->addAnimatedMeshSceneNode(m, parent, -1, position);
  node->setMaterialFlag(video::EMF_LIGHTING, false);
  node->setMaterialTexture(0, driver->getTexture(texture.c_str()));
  return node;
}

void buildWorld(scene::ISceneManager* smgr, video::IVideoDriver* driver, const std::string& dir) {
  scene::ISceneNode* ground =
      addMesh(smgr, driver, dir + "/env/mark2.3ds", dir + "/env/sand3.jpg", nullptr, {0, 0, 0});
  ground->setScale({kGroundScale, kGroundScale, kGroundScale});
  // The sky box's left slot takes the "rt" image and its right slot the "lt" image.
  auto sky = [&](const char* face) {
    return driver->getTexture((dir + "/skybox/dream_" + face + ".jpg").c_str());
  };
  smgr->addSkyBoxSceneNode(sky("up"), sky("dn"), sky("rt"), sky("lt"), sky("ft"), sky("bk"));
  video::ITexture* brick = driver->getTexture((dir + "/brickwall.jpg").c_str());
  for (int i = 0; i < kCubeCount; ++i) {
    scene::ISceneNode* cube = smgr->addCubeSceneNode(1.0f);
    cube->setPosition({5.0f, 1.0f, kCubeSpacing * float(i)});
    cube->setMaterialTexture(0, brick);
    cube->setMaterialFlag(video::EMF_LIGHTING, false);  // as the program draws them
  }
}

// The tank's rig at rest, node for node in the order the tank builds it, seen by a free
// camera at --eye.
void buildTank(scene::ISceneManager* smgr, video::IVideoDriver* driver, const std::string& dir,
               const Options& o) {
  const std::string tank = dir + "/tank/";
  scene::ISceneNode* root = smgr->addEmptySceneNode();
  scene::ISceneNode* chassis =
      addMesh(smgr, driver, tank + "chassi.3ds", tank + "kamo.jpg", root, {0, 0, 0});
  smgr->addCameraSceneNode(nullptr, o.eye, o.target)->setFarValue(kCameraFar);
  scene::ISceneNode* turret =
      addMesh(smgr, driver, tank + "turret.3ds", tank + "kamo.jpg", chassis, {0, 2, 0});
  turret->setRotation({0, o.turretYaw, 0});
  scene::ISceneNode* pivot = smgr->addEmptySceneNode(turret);
  pivot->setPosition({0, 0.4f, 2.3f});
  pivot->setRotation({o.gunElevation, 0, 0});
  addMesh(smgr, driver, tank + "canon.3ds", tank + "kamo.jpg", pivot, {0, 0, 2.2f});
  for (float side : {-1.0f, 1.0f}) {
    scene::ISceneNode* track = addMesh(smgr, driver, tank + "track.3ds", tank + "rust3.jpg", root,
                                       {side * 1.7f, 0.6f, 0.05f});
    track->setScale({1.0f, 1.1f, 1.15f});
  }
  scene::ISceneNode* carrier = smgr->addEmptySceneNode(chassis);
  for (float side : {-1.0f, 1.0f}) {
    for (int k = 0; k < kWheelsPerSide; ++k) {
      const float z = float(kFirstMountZ - kMountSpacing * k);
      scene::ISceneNode* mount = smgr->addEmptySceneNode(carrier);
      mount->setPosition({side * 1.7f, 1.0f, z});
      addMesh(smgr, driver, tank + "wheel.3ds", tank + "metalox.jpg", mount, {0, -0.75f, 0});
    }
  }
}

bool isBlank(video::IImage* image) {
  const core::dimension2du size = image->getDimension();
  for (u32 y = 0; y < size.Height; ++y) {
    for (u32 x = 0; x < size.Width; ++x) {
      const video::SColor c = image->getPixel(x, y);
      if (c.getRed() | c.getGreen() | c.getBlue()) return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: ferrox_viewer [--seconds S] [--frames N] [--screenshot PNG] "
                 "[--media DIR] [--eye X,Y,Z] [--target X,Y,Z] [--chase X,Y] "
                 "[--text 1] [--turret DEG] [--elevation DEG]\n");
    return 2;
  }
  SIrrlichtCreationParameters params;
  params.DriverType = video::EDT_OPENGL;
  params.WindowSize = {kWidth, kHeight};
  params.Bits = 32;
  params.Fullscreen = o.chase;  // as the program asks; Xvfb gives a window all the same
  params.LoggingLevel = ELL_ERROR;
  IrrlichtDevice* device = createDeviceEx(params);
  if (!device) {
    std::fprintf(stderr, "cannot open an OpenGL window\n");
    return 1;
  }
  device->setWindowCaption(L"Ferrox media viewer");
  video::IVideoDriver* driver = device->getVideoDriver();
  scene::ISceneManager* smgr = device->getSceneManager();
  gui::IGUIFont* font = nullptr;
  if (o.chase) {
    if (!brokenAssets(device).empty()) {
      std::fprintf(stderr, "../media is incomplete or damaged\n");
      return 1;
    }
    scene::ISceneNode* root = smgr->addEmptySceneNode(nullptr, -1);
    root->setPosition({0, 0, 0});
    tank = new Tank(device, root);  // never stepped; the process owns it to the end
    // The camera as the program's receiver turns it for this cursor.
    SEvent moved = {};
    moved.EventType = EET_MOUSE_INPUT_EVENT;
    moved.MouseInput.Event = EMIE_MOUSE_MOVED;
    moved.MouseInput.X = o.cursorX;
    moved.MouseInput.Y = o.cursorY;
    MyEventReceiver().OnEvent(moved);
    buildWorld(smgr, driver, "../media");
    if (o.text) font = device->getGUIEnvironment()->getFont("../media/fontkorvenblatt.bmp");
  } else {
    buildTank(smgr, driver, o.media, o);
    buildWorld(smgr, driver, o.media);
  }
  wchar_t status[kStatusLength];
  int fps = 0;

  ITimer* timer = device->getTimer();
  const u32 start = timer->getRealTime();
  int frames = 0;
  double elapsed = 0.0;
  while (device->run()) {
    driver->beginScene(true, true, video::SColor(250, 90, 90, 156));
    smgr->drawAll();
    if (font) {
      formatStatus(status, tank->engine.getGear(), tank->engine.getSpeed(), fps);
      font->draw(status, kStatusRect, kStatusColour, false, false, nullptr);
    }
    driver->endScene();
    fps = driver->getFPS();
    ++frames;
    elapsed = (timer->getRealTime() - start) / 1000.0;
    if (frames >= o.frames && elapsed >= o.seconds) break;
  }
  std::printf("frames %d seconds %.3f fps %.2f\n", frames, elapsed,
              elapsed > 0.0 ? frames / elapsed : 0.0);

  int exitCode = 0;
  if (!o.screenshot.empty()) {
    video::IImage* shot = driver->createScreenShot();
    if (!shot || isBlank(shot)) {
      // Mesa's llvmpipe under Xvfb reads the front buffer back as black; softpipe does not.
      std::fprintf(stderr, "the front buffer reads back blank; try GALLIUM_DRIVER=softpipe\n");
      exitCode = 1;
    } else if (!driver->writeImageToFile(shot, o.screenshot.c_str())) {
      std::fprintf(stderr, "cannot write %s\n", o.screenshot.c_str());
      exitCode = 1;
    }
    if (shot) shot->drop();
  }
  device->drop();
  return exitCode;
}
