#include "sim/turret.h"

#include "sim/cache.h"

namespace turret {
namespace {

constexpr float kTraverseTorque = 28000000.0f;  // drive torque while one traverse command is held
constexpr float kTraverseDamping = 500000.0f;   // torque per deg/s of yaw rate
constexpr float kTraverseInertia = 38125.0f;    // net torque over this is the rate change per s
constexpr float kElevationRate = 20.0f;         // deg/s
constexpr float kElevationHighest = -20.0f;     // deg, pivot X: the gun raised fully
constexpr float kElevationLowest = 10.0f;       // deg, pivot X: the gun lowered fully
constexpr float kChargeStep = 10.0f;            // added by every fire press
constexpr float kSpentCharge = -1.0f;           // charge right after a shot

const irr::core::vector3df kTurretPosition(0.0f, 2.0f, 0.0f);  // on the carrier
const irr::core::vector3df kPivotPosition(0.0f, 0.4f, 2.3f);   // on the turret
const irr::core::vector3df kCanonPosition(0.0f, 0.0f, 2.2f);   // on the pivot

// A mesh node with lighting off and its texture, created at the scene root. A mesh
// that failed to load leaves an empty node in its place, so the chain stays whole.
irr::scene::ISceneNode* addMeshNode(irr::scene::ISceneManager* smgr,
                                    irr::video::IVideoDriver* driver, const char* meshFile) {
  irr::scene::ISceneNode* node = smgr->addAnimatedMeshSceneNode(
      cache::mesh(smgr, meshFile), nullptr, -1, irr::core::vector3df(0.0f, 0.0f, 0.0f),
      irr::core::vector3df(0.0f, 0.0f, 0.0f), irr::core::vector3df(1.0f, 1.0f, 1.0f));
  if (!node) node = smgr->addEmptySceneNode(nullptr, -1);
  node->setMaterialFlag(irr::video::EMF_LIGHTING, false);
  node->setMaterialTexture(0, cache::texture(driver, Turret::kTexture));
  return node;
}

}  // namespace

Turret::Turret()
    : traverseRate(0.0f),
      parent(nullptr),
      turretNode(nullptr),
      canonPivot(nullptr),
      canonNode(nullptr),
      rotatingRight(false),
      rotatingLeft(false),
      elevating(false),
      dumping(false),
      shotPending(false),
      shotCharge(0.0f) {}

Turret::Turret(irr::IrrlichtDevice* device, irr::scene::ISceneNode* parent_) : Turret() {
  parent = parent_;
  irr::video::IVideoDriver* driver = device->getVideoDriver();
  irr::scene::ISceneManager* smgr = device->getSceneManager();

  turretNode = addMeshNode(smgr, driver, kTurretMesh);
  parent->addChild(turretNode);
  turretNode->setPosition(kTurretPosition);

  canonPivot = smgr->addEmptySceneNode(nullptr, -1);
  turretNode->addChild(canonPivot);
  canonPivot->setPosition(kPivotPosition);

  canonNode = addMeshNode(smgr, driver, kCanonMesh);
  canonPivot->addChild(canonNode);
  canonNode->setPosition(kCanonPosition);
}

// The nodes belong to the scene graph: a temporary turret must leave them in place.
Turret::~Turret() {}

void Turret::rotateRight(bool on) { rotatingRight = on; }
void Turret::rotateLeft(bool on) { rotatingLeft = on; }
void Turret::elevate(bool on) { elevating = on; }
void Turret::dump(bool on) { dumping = on; }

void Turret::shoot(bool pressed) {
  if (!pressed && shotCharge > 0.0f) shotPending = true;
  if (pressed) shotCharge += kChargeStep;
}

void Turret::calculate(float dt) {
  float drive = 0.0f;
  if (rotatingRight && !rotatingLeft) drive = -kTraverseTorque;
  if (rotatingLeft && !rotatingRight) drive = kTraverseTorque;
  traverseRate = traverseRate + dt * (drive - traverseRate * kTraverseDamping) / kTraverseInertia;

  irr::core::vector3df yaw = turretNode->getRotation();
  yaw.Y += traverseRate * dt;
  turretNode->setRotation(yaw);

  irr::core::vector3df elevation = canonPivot->getRotation();
  if (elevating && !dumping) elevation.X -= kElevationRate * dt;
  if (dumping && !elevating) elevation.X += kElevationRate * dt;
  if (elevation.X < kElevationHighest) elevation.X = kElevationHighest;
  if (elevation.X > kElevationLowest) elevation.X = kElevationLowest;
  canonPivot->setRotation(elevation);

  if (shotPending) {
    shotCharge = kSpentCharge;
    shotPending = false;
  }
}

}  // namespace turret
