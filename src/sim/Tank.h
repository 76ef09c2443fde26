#pragma once

#include <irrlicht.h>

#include "sim/Engine.h"
#include "sim/Suspension.h"
#include "sim/turret.h"

// The player's tank: drivetrain, turret, 14 sprung road wheels and a chase
// camera, on a root node that carries its position and heading.
class Tank {
 public:
  static constexpr int kWheelCount = 14;  // 0..6 left, 7..13 right, front to back

  // The files the tank loads; the program checks them before it builds one.
  static constexpr const char* kChassisMesh = "../media/tank/chassi.3ds";
  static constexpr const char* kTrackMesh = "../media/tank/track.3ds";
  static constexpr const char* kWheelMesh = "../media/tank/wheel.3ds";
  static constexpr const char* kChassisTexture = turret::Turret::kTexture;  // one camouflage
  static constexpr const char* kTrackTexture = "../media/tank/rust3.jpg";
  static constexpr const char* kWheelTexture = "../media/tank/metalox.jpg";

  engine::Engine engine;
  turret::Turret turret;
  irr::scene::ISceneNode* rootNode;
  irr::scene::ISceneNode* suspensionNodes[kWheelCount];  // spring top mounts
  irr::scene::ISceneNode* chassisNode;
  irr::scene::ISceneNode* wheelNodes[kWheelCount];
  irr::scene::ISceneNode* trackNodes[2];  // left, right
  irr::scene::ISceneNode* cameraPivot;
  irr::scene::ICameraSceneNode* camera;
  irr::core::vector3df angularVelocity;  // deg/s: X pitch, Y yaw, Z roll
  irr::core::vector3df chassisVelocity;  // m/s, of the hull relative to the root
  suspension::Suspension* suspensions[kWheelCount];
  bool accelerating;
  bool braking;
  bool turningRight;
  bool turningLeft;
  bool paused;
  int jumpWheel;      // wheel that takes the jump kick at the next step, -1 for none
  float cameraPitch;  // deg, as last asked of rotateCamera
  float cameraYaw;    // deg, as last asked of rotateCamera

  // The least height of the chase camera above the ground plane, in metres: the near plane
  // stays above the sand while the camera looks at the tank from this low.
  static constexpr float kCameraClearance = 1.0f;
  // m: wherever the asked pitch leaves the camera at least this high, the camera takes it as
  // it is; below, rotateCamera's fold applies, and keeps the camera this high where it can.
  static constexpr float kCameraFreeHeight = 2.0f;

  Tank(irr::IrrlichtDevice* device, irr::scene::ISceneNode* rootNode);
  ~Tank();
  Tank(const Tank&) = delete;
  Tank& operator=(const Tank&) = delete;

  // One simulation step of dt seconds. A step that is not a positive, finite length does
  // nothing; one longer than a minute runs as a minute.
  void calculatePosition(float dt);
  // Heading of the root node as a unit vector; Z is -cos(heading).
  irr::core::vector3df getDirection();

  // Held commands: true while the key is down.
  void accelerate(bool on);
  void breaking(bool on);
  void turnLeft(bool on);
  void turnRight(bool on);
  void turnTurretLeft(bool on);
  void turnTurretRight(bool on);
  void elevateTurretUpp(bool on);
  void elevateTurretDown(bool on);
  void shoot(bool on);

  // One-shot commands.
  void setGearUp();
  void setGearDown();
  void pause();
  void jump();
  void reset();

  // Absolute pitch and yaw of the camera pivot, in degrees, one turn as good as another. The
  // pivot takes them wherever they leave the camera at least kCameraFreeHeight above the
  // ground. The pitches that would take it lower fold back over the top onto those that do,
  // so that the camera goes on turning smoothly as the pitch does; the same holds after
  // every step. Up is the world's but near the top, where the view rolls over smoothly.
  void rotateCamera(float pitch, float yaw);

 private:
  // One explicit step; calculatePosition splits long frames into several of these.
  void step(float dt);
  // Recomputes the rig's world transforms, as drawing a frame would.
  void refreshRig();
  // Turns the camera pivot to the asked pitch and yaw, and keeps the camera off the ground.
  void placeCamera();
};
