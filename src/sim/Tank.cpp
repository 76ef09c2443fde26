#include "sim/Tank.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "sim/cache.h"
#include "sim/quantities.h"

namespace {

using irr::core::vector3df;
using irr::scene::ISceneNode;

// Rig, in metres relative to the parent node.
const vector3df kCameraPosition(0.0f, 0.0f, -10.0f);  // on the camera pivot, behind the hull
constexpr float kCameraFarValue = 1000.0f;            // m
// How far the camera's up leans along the pivot's side, looking straight down, against the
// world's up of length 1: more rolls the picture over faster at the top, slower at the ends.
constexpr float kCameraLean = 1.0f;
constexpr float kTrackSideX = 1.7f;  // m, track centre from the hull's axis
constexpr float kTrackY = 0.6f;      // m
constexpr float kTrackZ = 0.05f;     // m
const vector3df kTrackScale(1.0f, 1.1f, 1.15f);
constexpr float kMountSideX = 1.7f;                 // m, spring mount from the hull's axis
constexpr float kMountY = 1.0f;                     // m
constexpr float kFrontMountZ = 2.7f;                // m, first mount of a side
constexpr double kMountSpacing = 0.9;               // m between mounts, front to back
constexpr int kMountsPerSide = 7;                   // 0..6 left, 7..13 right
const vector3df kWheelOnMount(0.0f, -0.75f, 0.0f);  // m; its depth is the spring's rest length

// Motion step.
constexpr float kWrapLimit = 400.0f;       // m; crossing it on X or Z sets the tank back by it
constexpr float kJumpKick = 1.0e8f;        // N, added to one spring for one 60 Hz step ...
constexpr float kJumpStep = 1.0f / 60.0f;  // s: ... so its impulse is 1.0e8 N x this
// N: the tank's weight, which the springs' forces push up against.
constexpr float kHullLoad = static_cast<float>(sim::kTankMass * sim::kGravity);
constexpr float kHullMass = static_cast<float>(sim::kTankMass);  // kg
constexpr double kLateralMass = -sim::kTankMass;  // kg, leaning out of a turn: the lateral load ...
constexpr double kLateralFactor = 0.02;           // ... per (m/s x deg/s)
constexpr double kHalfLever = -0.5;              // halves the middle mounts' heights, sign included
constexpr float kYawDamping = 1.0e6f;            // torque per deg/s of yaw rate
constexpr float kYawDivisor = 3.0f;              // scales the yaw torque
constexpr float kPitchInertia = 38125.0f;        // torque over this is deg/s^2
constexpr float kYawInertia = 68450.0f;          // torque over this is deg/s^2
constexpr float kRollInertia = 32720.0f;         // torque over this is deg/s^2
constexpr double kWheelCentreHeight = 0.131657;  // m above the ground plane
constexpr float kPiToFiveDecimals = 3.14159f;    // the wheels' hang takes pi rounded so
constexpr float kPi = 3.1415927f;                // the heading takes it to float precision
constexpr float kFullTurn = 360.0f;              // deg
constexpr float kInverse180 = 1.0f / 180.0f;     // 1/deg

// A hull pitched to within about 0.6 deg of +-90 deg would hang its wheels (mount
// height / cos pitch) kilometres away or divide by zero; the cosine is kept this far from 0.
constexpr float kMinWheelCosine = 0.01f;

// Steering torque by displayed gear, second reverse to fourth.
constexpr int kLowestGear = -2;
constexpr float kSteeringTorque[] = {15000000.0f, 10000000.0f, 48000000.0f, 10000000.0f,
                                     15000000.0f, 24000000.0f, 28000000.0f};

// Long frames: the explicit step stays exact and stable up to this length; a longer
// frame is split into equal sub-steps no longer than it.
constexpr float kSubStepsPerSecond = 30.0f;                // 1/s
constexpr float kLongestStep = 1.0f / kSubStepsPerSecond;  // s
// At most this many sub-steps, a minute, bound the work of one frame; a longer frame runs
// as a minute, since longer sub-steps would overshoot the springs until they overflow.
constexpr int kMaxSubSteps = 1800;
constexpr float kLongestFrame = kMaxSubSteps * kLongestStep;  // s

// A step shorter than this is no step: the springs' damping and the jump's kick divide by
// the step, and below about 1e-34 s their forces overflow a float. No frame is this short.
constexpr float kShortestStep = 1.0e-9f;  // s

// A mesh node created at the scene root. A mesh that failed to load leaves an empty
// node in its place, so the rig stays whole.
ISceneNode* addMeshNode(irr::scene::ISceneManager* smgr, irr::scene::IAnimatedMesh* mesh) {
  ISceneNode* node =
      smgr->addAnimatedMeshSceneNode(mesh, nullptr, -1, vector3df(0.0f, 0.0f, 0.0f),
                                     vector3df(0.0f, 0.0f, 0.0f), vector3df(1.0f, 1.0f, 1.0f));
  return node ? node : smgr->addEmptySceneNode(nullptr, -1);
}

// Unlit, so that the texture shows at full brightness without a light source.
void dress(ISceneNode* node, irr::video::IVideoDriver* driver, const char* texture) {
  node->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  node->setMaterialTexture(0, cache::texture(driver, texture));
}

float wrap(float coordinate) {
  if (coordinate > kWrapLimit) return coordinate - kWrapLimit;
  if (coordinate < -kWrapLimit) return coordinate + kWrapLimit;
  return coordinate;
}

// updateAbsolutePosition refreshes one node only; the rig needs the whole subtree.
void refreshSubtree(ISceneNode* node) {
  node->updateAbsolutePosition();
  for (ISceneNode* child : node->getChildren()) refreshSubtree(child);
}

}  // namespace

Tank::Tank(irr::IrrlichtDevice* device, irr::scene::ISceneNode* rootNode_)
    : rootNode(rootNode_),
      suspensionNodes(),
      chassisNode(nullptr),
      wheelNodes(),
      trackNodes(),
      cameraPivot(nullptr),
      camera(nullptr),
      angularVelocity(0.0f, 0.0f, 0.0f),
      chassisVelocity(0.0f, 0.0f, 0.0f),
      suspensions(),
      accelerating(false),
      braking(false),
      turningRight(false),
      turningLeft(false),
      paused(true),
      jumpWheel(-1),
      cameraPitch(0.0f),
      cameraYaw(0.0f) {
  engine = engine::Engine();
  engine.setGearUp();  // a new tank stands in first gear

  irr::video::IVideoDriver* driver = device->getVideoDriver();
  irr::scene::ISceneManager* smgr = device->getSceneManager();
  chassisNode = addMeshNode(smgr, cache::mesh(smgr, kChassisMesh));
  chassisNode->setScale(vector3df(1.0f, 1.0f, 1.0f));
  dress(chassisNode, driver, kChassisTexture);
  rootNode->addChild(chassisNode);
  chassisNode->setPosition(vector3df(0.0f, 0.0f, 0.0f));

  cameraPivot = smgr->addEmptySceneNode(nullptr, -1);
  chassisNode->addChild(cameraPivot);
  camera = smgr->addCameraSceneNode(nullptr, kCameraPosition, rootNode->getAbsolutePosition(), -1);
  cameraPivot->addChild(camera);
  camera->setFarValue(kCameraFarValue);

  turret = turret::Turret(device, chassisNode);

  for (int i = 0; i < 2; ++i) {
    trackNodes[i] = addMeshNode(smgr, cache::mesh(smgr, kTrackMesh));
    dress(trackNodes[i], driver, kTrackTexture);
    rootNode->addChild(trackNodes[i]);
    trackNodes[i]->setScale(kTrackScale);
    trackNodes[i]->setPosition(
        vector3df(static_cast<float>(2 * i - 1) * kTrackSideX, kTrackY, kTrackZ));
  }

  ISceneNode* wheelCarrier = smgr->addEmptySceneNode(nullptr, -1);
  chassisNode->addChild(wheelCarrier);
  irr::scene::IAnimatedMesh* wheelMesh = cache::mesh(smgr, kWheelMesh);

  for (int i = 0; i < kWheelCount; ++i) {
    suspensionNodes[i] = smgr->addEmptySceneNode(nullptr, -1);
    wheelCarrier->addChild(suspensionNodes[i]);

    wheelNodes[i] = addMeshNode(smgr, wheelMesh);
    dress(wheelNodes[i], driver, kWheelTexture);
    suspensionNodes[i]->addChild(wheelNodes[i]);
    wheelNodes[i]->setPosition(kWheelOnMount);

    suspensions[i] =
        new suspension::Suspension(-static_cast<double>(wheelNodes[i]->getPosition().Y));

    const bool left = i < kMountsPerSide;
    const int k = left ? i : i - kMountsPerSide;
    const float z = static_cast<float>(static_cast<double>(kFrontMountZ) - kMountSpacing * k);
    suspensionNodes[i]->setPosition(vector3df(left ? -kMountSideX : kMountSideX, kMountY, z));
  }

  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

Tank::~Tank() {
  for (suspension::Suspension* spring : suspensions) delete spring;
}

void Tank::calculatePosition(float dt) {
  // Zero, negative, NaN or infinite: the tank stays exactly as it is.
  if (paused || !std::isfinite(dt) || dt < kShortestStep) return;
  dt = std::min(dt, kLongestFrame);
  if (dt <= kLongestStep) {
    step(dt);
    return;
  }
  // A long frame overshoots the stiff springs and the turret's traverse; split it so
  // that every sub-step reads the heights the previous one left.
  const float parts = std::ceil(dt * kSubStepsPerSecond);
  const int count =
      parts < static_cast<float>(kMaxSubSteps) ? static_cast<int>(parts) : kMaxSubSteps;
  const float subStep = dt / static_cast<float>(count);
  for (int i = 0; i < count; ++i) {
    if (i > 0) refreshRig();
    step(subStep);
  }
}

void Tank::refreshRig() { refreshSubtree(rootNode); }

void Tank::step(float dt) {
  vector3df position = rootNode->getPosition();

  engine.calculateAcceleration(accelerating, braking, dt);
  turret.calculate(dt);

  // Planar motion: along the heading at the road speed, no sliding.
  const float speed = static_cast<float>(engine.getSpeed());
  const vector3df direction = getDirection();
  position.X = position.X + direction.X * speed * dt;
  position.Z = position.Z - direction.Z * speed * dt;
  position.X = wrap(position.X);
  position.Z = wrap(position.Z);
  rootNode->setPosition(position);

  // Springs, on the mount heights of the last drawn frame.
  float mountHeight[kWheelCount];
  float springForce[kWheelCount];
  float verticalForce = 0.0f;
  for (int i = 0; i < kWheelCount; ++i) {
    mountHeight[i] = suspensionNodes[i]->getAbsolutePosition().Y;
    float force = static_cast<float>(suspensions[i]->calculateSpringForce(
        static_cast<double>(mountHeight[i]), static_cast<double>(dt)));
    if (i == jumpWheel) {
      // The same impulse at any step length; exactly the kick itself in a 60 Hz step.
      force += kJumpKick * (kJumpStep / dt);
      jumpWheel = -1;
    }
    springForce[i] = force;
    verticalForce = verticalForce + force;
  }

  // The hull bounces relative to the root.
  verticalForce = verticalForce + kHullLoad;
  const vector3df hullForce(0.0f, verticalForce, 0.0f);
  chassisVelocity += (hullForce / kHullMass) * dt;
  chassisNode->setPosition(chassisNode->getPosition() + chassisVelocity * dt);

  // Load transfer: the net drive force pitches the hull, a turn rolls it outwards.
  const float lever =
      suspensionNodes[3]->getPosition().Y + suspensionNodes[kMountsPerSide + 3]->getPosition().Y;
  const float lateralLoad =
      static_cast<float>(engine.getSpeed() * kLateralMass * angularVelocity.Y * kLateralFactor);
  vector3df torque(0.0f, 0.0f, 0.0f);
  torque.Z = static_cast<float>(lever * lateralLoad * kHalfLever);
  torque.X = static_cast<float>(lever * engine.getForce() * kHalfLever);
  for (int i = 0; i < kWheelCount; ++i) {
    const vector3df& mount = suspensionNodes[i]->getPosition();
    torque.X = (-springForce[i]) * mount.Z + torque.X;
    torque.Z = springForce[i] * mount.X + torque.Z;
  }

  // Steering against a strong yaw damping; the torque does not depend on speed.
  float steer = 0.0f;
  if (turningRight != turningLeft) steer = kSteeringTorque[engine.getGear() - kLowestGear];
  if (turningLeft) steer = -steer;
  torque.Y = (steer - angularVelocity.Y * kYawDamping) / kYawDivisor;

  angularVelocity.X += torque.X / kPitchInertia * dt;
  angularVelocity.Y += torque.Y / kYawInertia * dt;
  angularVelocity.Z += torque.Z / kRollInertia * dt;

  // Pitch and roll belong to the hull, yaw to the whole tank.
  vector3df hullRotation = chassisNode->getRotation();
  hullRotation.X += angularVelocity.X * dt;
  hullRotation.Z += angularVelocity.Z * dt;
  chassisNode->setRotation(hullRotation);
  vector3df heading = rootNode->getRotation();
  heading.Y += angularVelocity.Y * dt;
  rootNode->setRotation(heading);

  // Wheels on the ground: each hangs below its mount along the pitched hull axis.
  float cosine = std::cos(-2.0f * hullRotation.X * kPiToFiveDecimals / kFullTurn);
  if (std::fabs(cosine) < kMinWheelCosine) cosine = std::copysign(kMinWheelCosine, cosine);
  for (int i = 0; i < kWheelCount; ++i) {
    const float drop = static_cast<float>((mountHeight[i] - kWheelCentreHeight) / cosine);
    vector3df wheel = wheelNodes[i]->getPosition();
    wheel.Y = -drop;
    wheelNodes[i]->setPosition(wheel);
  }

  camera->setTarget(position);
  placeCamera();
}

vector3df Tank::getDirection() {
  const vector3df rotation = rootNode->getRotation();
  const double pitch = rotation.X * kPi * kInverse180;  // rad
  const double yaw = rotation.Y * kPi * kInverse180;    // rad
  return vector3df(static_cast<float>(std::sin(yaw)),
                   static_cast<float>(-std::sin(pitch) * std::cos(yaw)),
                   static_cast<float>(-std::cos(pitch) * std::cos(yaw)));
}

void Tank::accelerate(bool on) { accelerating = on; }
void Tank::breaking(bool on) { braking = on; }
void Tank::turnLeft(bool on) { turningLeft = on; }
void Tank::turnRight(bool on) { turningRight = on; }
void Tank::turnTurretLeft(bool on) { turret.rotateLeft(on); }
void Tank::turnTurretRight(bool on) { turret.rotateRight(on); }
void Tank::elevateTurretUpp(bool on) { turret.elevate(on); }
void Tank::elevateTurretDown(bool on) { turret.dump(on); }
void Tank::shoot(bool on) { turret.shoot(on); }

void Tank::setGearUp() { engine.setGearUp(); }
void Tank::setGearDown() { engine.setGearDown(); }
void Tank::pause() { paused = !paused; }
void Tank::jump() { jumpWheel = std::rand() % kWheelCount; }

// Back to the start at once, in neutral; the springs, turret, wheels and camera keep
// their state, so the first step after shows the hull dropping back from its built height.
void Tank::reset() {
  angularVelocity = vector3df(0.0f, 0.0f, 0.0f);
  chassisVelocity = vector3df(0.0f, 0.0f, 0.0f);
  rootNode->setPosition(vector3df(0.0f, 0.0f, 0.0f));
  chassisNode->setPosition(vector3df(0.0f, 0.0f, 0.0f));
  rootNode->setRotation(vector3df(0.0f, 0.0f, 0.0f));
  chassisNode->setRotation(vector3df(0.0f, 0.0f, 0.0f));
  engine = engine::Engine();
  placeCamera();
}

void Tank::rotateCamera(float pitch, float yaw) {
  if (!cameraPivot) return;
  cameraPitch = pitch;
  cameraYaw = yaw;
  placeCamera();
}

void Tank::placeCamera() {
  if (!cameraPivot) return;
  // The hull's place in the world from the nodes' own transforms: the ones drawing computed
  // are a step old.
  irr::core::matrix4 hull =
      rootNode->getRelativeTransformation() * chassisNode->getRelativeTransformation();
  if (ISceneNode* parent = rootNode->getParent()) hull = parent->getAbsoluteTransformation() * hull;
  vector3df rotation = cameraPivot->getRotation();
  rotation.Y = cameraYaw;
  auto heightAt = [&](double pitch) {  // m, the camera's height at that pitch
    rotation.X = static_cast<float>(pitch);
    cameraPivot->setRotation(rotation);
    vector3df eye = kCameraPosition;
    (hull * cameraPivot->getRelativeTransformation()).transformVect(eye);
    return static_cast<double>(eye.Y);
  };

  // The asked pitch stands wherever it leaves the camera kCameraFreeHeight up or higher.
  // Elsewhere the pitches that would take it lower, an arc of the circle on which the pitch
  // swings the camera over the hull, are squeezed back over the top onto the free arc: on
  // the way down past the free arc's end the camera turns back, crosses the top again and
  // comes down to the arc's other end where the asked pitch climbs into it from below. So
  // the camera moves on as the cursor does, and never below kCameraFreeHeight; where no
  // pitch reaches that high it takes the highest, lifted to kCameraClearance if that is
  // still too low.
  const double full = kFullTurn;  // deg
  double pitch = cameraPitch;
  bool lift = false;
  if (heightAt(pitch) < kCameraFreeHeight) {
    // The height is centre + a cos(pitch) + b sin(pitch): highest at the pitch `top`, and
    // at least the free height within `reach` of it.
    const double h0 = heightAt(0.0), h90 = heightAt(full / 4), h180 = heightAt(full / 2);
    const double centre = (h0 + h180) / 2, a = (h0 - h180) / 2, b = h90 - centre;
    const double amplitude = std::hypot(a, b);
    const double top = std::atan2(b, a) * irr::core::RADTODEG64;
    const double need = kCameraFreeHeight - centre;
    if (need >= amplitude) {
      pitch = top;
      lift = centre + amplitude < kCameraClearance;
    } else {
      const double reach = std::acos(std::max(need / amplitude, -1.0)) * irr::core::RADTODEG64;
      const double off = std::remainder(cameraPitch - top, full);
      if (std::fabs(off) > reach) {
        const double beyond = off > 0 ? off - reach : off + full - reach;  // deg past the arc
        pitch = top + reach - beyond * (2 * reach) / (full - 2 * reach);
      }
    }
  }
  rotation.X = static_cast<float>(pitch);
  cameraPivot->setRotation(rotation);
  camera->setPosition(kCameraPosition);
  const irr::core::matrix4 pivotToWorld = hull * cameraPivot->getRelativeTransformation();

  vector3df eye = kCameraPosition;  // m, in the world
  pivotToWorld.transformVect(eye);
  if (lift) {
    eye.Y = kCameraClearance;
    irr::core::matrix4 worldToPivot;
    if (pivotToWorld.getInverse(worldToPivot)) {
      vector3df onPivot = eye;
      worldToPivot.transformVect(onPivot);
      camera->setPosition(onPivot);
    }
  }

  // Up is the world's up; but near the top, where the view looks down along it and the
  // picture would spin half a turn as the camera crosses over, it leans towards the pivot's
  // side, so that the picture rolls that half turn over the whole crossing instead. The lean
  // grows from nothing where the picture's top edge dips below the horizon, so wherever the
  // horizon is in sight it stays level; straight down, up has kCameraLean along the pivot's
  // side however the hull tilts that side.
  const vector3df look = camera->getTarget() - eye;  // m
  const float lookLength = look.getLength();         // m
  // The view's horizontal share against that share where the picture's top edge is level.
  const float flat = lookLength > 0.0f
                         ? std::hypot(look.X, look.Z) / lookLength / std::cos(camera->getFOV() / 2)
                         : 1.0f;
  // 0 with the horizon in sight, 1 looking straight down.
  const float near = std::max(0.0f, 1.0f - flat * flat);
  vector3df pivotSide(1.0f, 0.0f, 0.0f);
  pivotToWorld.rotateVect(pivotSide);
  pivotSide.normalize();
  const float lean = near * (kCameraLean - pivotSide.Y);
  camera->setUpVector(vector3df(0.0f, 1.0f, 0.0f) + pivotSide * lean);
}
