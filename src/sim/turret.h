#pragma once

#include <irrlicht.h>

namespace turret {

// The turret and gun on a carrier node: inertial traverse, elevation between
// limits, and the fire cycle. The nodes belong to the scene graph; copies of a
// turret share them.
class Turret {
 public:
  // The files the turret loads; the program checks them before it builds one.
  static constexpr const char* kTurretMesh = "../media/tank/turret.3ds";
  static constexpr const char* kCanonMesh = "../media/tank/canon.3ds";
  static constexpr const char* kTexture = "../media/tank/kamo.jpg";

  float traverseRate;                  // deg/s, positive towards growing yaw
  irr::scene::ISceneNode* parent;      // carrier given to the constructor
  irr::scene::ISceneNode* turretNode;  // rotation Y is the turret's yaw
  irr::scene::ISceneNode* canonPivot;  // rotation X is the gun's elevation
  irr::scene::ISceneNode* canonNode;   // the gun mesh, on the pivot
  bool rotatingRight;
  bool rotatingLeft;
  bool elevating;
  bool dumping;
  bool shotPending;
  float shotCharge;

  Turret();  // builds no nodes; assign a built turret before stepping
  Turret(irr::IrrlichtDevice* device, irr::scene::ISceneNode* parent);
  ~Turret();

  void rotateRight(bool on);
  void rotateLeft(bool on);
  void elevate(bool on);  // raise the gun
  void dump(bool on);     // lower the gun
  void shoot(bool pressed);

  // One step of dt seconds.
  void calculate(float dt);
};

}  // namespace turret
