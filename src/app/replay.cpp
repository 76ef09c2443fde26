#include "app/replay.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "app/options.h"
#include "sim/Tank.h"

namespace replay {

using assets::replay::Record;

const Held kHeld[assets::replay::kHeldCommands] = {
    &Tank::accelerate,       &Tank::breaking,          &Tank::turnLeft,
    &Tank::turnRight,        &Tank::turnTurretLeft,    &Tank::turnTurretRight,
    &Tank::elevateTurretUpp, &Tank::elevateTurretDown, &Tank::shoot,
};
const Press kPress[assets::replay::kPressCommands] = {
    &Tank::setGearUp, &Tank::setGearDown, &Tank::pause, &Tank::jump, &Tank::reset,
};

int heldCode(Held command) {
  for (int i = 0; i < assets::replay::kHeldCommands; ++i)
    if (kHeld[i] == command) return i;
  return -1;
}

int pressCode(Press command) {
  for (int i = 0; i < assets::replay::kPressCommands; ++i)
    if (kPress[i] == command) return i;
  return -1;
}

namespace {

// FNV-1a, 64 bits, over each value's bytes as the machine holds them.
class Hash {
 public:
  template <typename T>
  void add(const T& value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (unsigned char b : bytes) value_ = (value_ ^ b) * 1099511628211ull;
  }
  void add(const irr::core::vector3df& v) {
    add(v.X);
    add(v.Y);
    add(v.Z);
  }
  std::uint64_t value() const { return value_; }

 private:
  std::uint64_t value_ = 14695981039346656037ull;
};

void refreshSubtree(irr::scene::ISceneNode* node) {
  node->updateAbsolutePosition();
  for (irr::scene::ISceneNode* child : node->getChildren()) refreshSubtree(child);
}

}  // namespace

std::uint64_t digest(const Tank& tank) {
  Hash h;
  for (const irr::scene::ISceneNode* node : {tank.rootNode, tank.chassisNode}) {
    h.add(node->getPosition());
    h.add(node->getRotation());
  }
  h.add(tank.angularVelocity);
  h.add(tank.chassisVelocity);
  for (bool flag :
       {tank.accelerating, tank.braking, tank.turningRight, tank.turningLeft, tank.paused})
    h.add(flag);
  h.add(tank.jumpWheel);
  const engine::Engine& e = tank.engine;
  h.add(e.accelerating);
  h.add(e.braking);
  for (double value : {e.acceleration, e.speed, e.force, e.rpm, e.torque, e.brakeDamping})
    h.add(value);
  h.add(e.gear);
  for (int i = 0; i < Tank::kWheelCount; ++i) {
    h.add(tank.suspensions[i]->springForce);
    h.add(tank.suspensions[i]->lastLength);
    h.add(tank.wheelNodes[i]->getPosition());
  }
  const turret::Turret& t = tank.turret;
  h.add(t.traverseRate);
  for (bool flag : {t.rotatingRight, t.rotatingLeft, t.elevating, t.dumping, t.shotPending})
    h.add(flag);
  h.add(t.shotCharge);
  h.add(t.turretNode->getRotation());
  h.add(t.canonPivot->getRotation());
  return h.value();
}

void refresh(Tank& tank) { refreshSubtree(tank.rootNode); }

void printState(std::FILE* out, const Tank& tank) {
  const irr::core::vector3df& place = tank.rootNode->getPosition();
  const irr::core::vector3df& hull = tank.chassisNode->getRotation();
  const double speed = tank.engine.getSpeed();  // m/s
  // %.9g gives a float back exactly, %.17g a double.
  std::fprintf(out, "position: x %.9g m, z %.9g m\n", place.X, place.Z);
  std::fprintf(out, "heading: %.9g deg\n", tank.rootNode->getRotation().Y);
  std::fprintf(out, "speed: %.17g m/s (%.2f km/h)\n", speed, speed * 3.6);
  std::fprintf(out, "gear: %d\n", tank.engine.getGear());
  std::fprintf(out, "hull: pitch %.9g deg, roll %.9g deg\n", hull.X, hull.Z);
  // The gun's pivot turns negative to raise it.
  std::fprintf(out, "turret: yaw %.9g deg, gun elevation %.9g deg\n",
               tank.turret.turretNode->getRotation().Y, -tank.turret.canonPivot->getRotation().X);
}

Player::Player(const char* path, const assets::Bytes& bytes, const assets::replay::File& file,
               std::FILE* out, std::FILE* log)
    : path_(path), file_(file), cursor_(bytes, file), out_(out), log_(log) {
  if (file.version != version())
    std::fprintf(log_, "ferrox: %s: recorded by ferrox %s, played by %s: the drive may differ\n",
                 path, file.version.c_str(), version());
  if (!file.ended)
    std::fprintf(log_, "ferrox: %s: %s; playing its %" PRIu32 " whole frames\n", path,
                 file.cut.c_str(), file.frames);
}

void Player::give(Tank& tank, const Record& record) {
  switch (record.kind) {
    case Record::Held: (tank.*kHeld[record.code])(record.on); break;
    case Record::Press:
      (tank.*kPress[record.code])();
      if (record.code == assets::replay::kJump && tank.jumpWheel != record.wheel && !wheelNoted_) {
        std::fprintf(log_,
                     "ferrox: %s: frame %" PRIu32 ": the jump drew wheel %d, the recording %d\n",
                     path_.c_str(), played_, tank.jumpWheel, record.wheel);
        wheelNoted_ = true;
      }
      break;
    case Record::Camera:
      if (!cameraTaken_) tank.rotateCamera(record.pitch, record.yaw);
      break;
    case Record::Frames: break;
  }
}

bool Player::next(Tank& tank) {
  while (!done_ && runLeft_ == 0) {
    Record record;
    if (!cursor_.next(record)) {
      end(tank);
      break;
    }
    if (record.kind != Record::Frames) {
      give(tank, record);
      continue;
    }
    step_ = record.step;
    runLeft_ = record.count;
  }
  return !done_;
}

bool Player::frame(Tank& tank) {
  if (!next(tank)) return false;
  refresh(tank);
  tank.calculatePosition(step_);
  --runLeft_;
  ++played_;
  return true;
}

void Player::finish(Tank& tank) {
  while (frame(tank)) {
  }
}

void Player::play(Tank& tank, double seconds) {
  if (done_ || paused_) return;
  budget_ += std::min(seconds, kCatchUp);
  while (next(tank) && static_cast<double>(step_) <= budget_) {
    budget_ -= step_;
    frame(tank);
  }
}

void Player::end(Tank& tank) {
  done_ = true;
  const std::uint64_t now = digest(tank);
  verdict_ = file_.ended && now == file_.digest ? 0 : 1;
  if (out_ == nullptr) return;
  std::fprintf(out_, "replay: %s, %" PRIu32 " frames, %.3f s, seed %" PRIu32 "\n", path_.c_str(),
               played_, file_.seconds, file_.seed);
  printState(out_, tank);
  if (!file_.ended)
    std::fprintf(out_, "digest: %016" PRIx64 "; none recorded: %s\n", now, file_.cut.c_str());
  else
    std::fprintf(out_, "digest: %016" PRIx64 ", recorded %016" PRIx64 ": %s\n", now, file_.digest,
                 verdict_ == 0 ? "the same" : "NOT the same");
  std::fflush(out_);
}

bool load(const char* path, assets::Bytes& bytes, assets::replay::File& file, std::string& why) {
  if (!assets::readFile(path, bytes)) {
    why = std::string("ferrox: ") + path +
          ": cannot be read (missing, not a regular file, or refused)";
    return false;
  }
  const std::string refused = assets::replay::read(bytes, file);
  if (refused.empty()) return true;
  why = std::string("ferrox: ") + path + ": " + refused;
  return false;
}

int runHeadless(const char* path, std::FILE* out, std::FILE* log) {
  assets::Bytes bytes;
  assets::replay::File file;
  std::string why;
  if (!load(path, bytes, file, why)) {
    std::fprintf(log, "%s\n", why.c_str());
    return 2;
  }
  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_NONE;
  irr::IrrlichtDevice* null = irr::createDeviceEx(params);
  if (null == nullptr) {
    std::fprintf(log, "ferrox: the engine's null device could not be made\n");
    return 2;
  }
  // The tank as the program builds it; the world around it moves nothing and is left out.
  irr::scene::ISceneNode* root = null->getSceneManager()->addEmptySceneNode(nullptr, -1);
  root->setPosition(irr::core::vector3df(0, 0, 0));
  Tank* driven = new Tank(null, root);
  std::srand(file.seed);
  Player player(path, bytes, file, out, log);
  player.finish(*driven);
  const int verdict = player.verdict();
  delete driven;
  null->drop();
  return verdict;
}

}  // namespace replay
