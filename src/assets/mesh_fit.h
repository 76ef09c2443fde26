#pragma once

// What a decoded mesh costs to draw, held to its role: the area of its triangles together
// and, for the ground, how flat it lies and how many of its triangles overlap any one spot.
// The rasterizer's work for a frame grows with the area it fills, so these bound the frame
// time whatever the file holds.

#include <irrlicht.h>

#include <string>

#include "assets/mesh3ds.h"

namespace assets {

// The ground is the plane the tank drives on: its vertices lie this close to it (in the file's
// units; drawn x10), so that no part of it can rise into the camera's way.
constexpr float kGroundRelief = 0.05f;
// Seen from above, the ground's area is cut into this many cells a side; no cell may be
// touched by more triangles (by their bounding rectangles) than this, so that no spot of the
// screen is drawn over more often. The shipped ground touches at most 8.
constexpr int kGroundCells = 128;
constexpr int kMaxGroundLayers = 16;

// Empty when `mesh` fits `role`, else why not.
std::string fitRefusal(const irr::scene::IMesh& mesh, MeshRole role);

}  // namespace assets
