// The scene's meshes, each in the frame of the node that shows it (scene units, Y up,
// +Z forward), before any node scale.
#pragma once

#include "MeshBuilder.h"

namespace models {

// Track plates the track texture holds along its v axis; the track mesh maps one plate of
// texture onto each shoe.
constexpr int kTrackShoesPerTexture = 4;

mesh::MeshBuilder ground();   // flat sand plane, top at y = 0, shown at scale 10
mesh::MeshBuilder chassis();  // hull between the tracks, deck at y = 2 for the turret
mesh::MeshBuilder track();    // one track loop centred on its node
mesh::MeshBuilder wheel();    // one road wheel about the X axis, centred on its node
mesh::MeshBuilder turret();   // turret standing on y = 0
mesh::MeshBuilder canon();    // gun along +Z from its node, reaching back to its pivot

}  // namespace models
