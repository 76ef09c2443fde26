#pragma once

// What a decoded mesh costs to draw, held to its role: the area of its triangles together,
// how much of the camera's view they can cover and, for the ground, how flat it lies and how
// many of its triangles overlap any one spot. The rasterizer's work for a frame grows with
// the pixels it fills, so these bound the frame time whatever the file holds.
//
// What a triangle covers: seen from a distance d, a triangle of area A fills a solid angle of
// at most A / d^2. The reach of each role (mesh3ds.cpp) keeps every vertex of the tank's
// meshes at least kCameraOrbit - fromHull - scale r from the eye, r the vertex's distance from
// its pivot; each triangle counts scale^2 A / d^2 with d that distance for its farthest
// corner, and the sum, in steradians, is held to the role's maxCover. The whole view is
// about 2 sr; the shipped meshes count 0.01 (a wheel) to 1.6 sr (the hull), all of their
// triangles counted though half of them face away.

#include <irrlicht.h>

#include <string>

#include "assets/mesh3ds.h"

namespace assets {

// The ground is the plane the tank drives on: its vertices lie this close to it (in the file's
// units; drawn x10, 0.5 m), so that no part of it rises to the camera, which keeps 1 m above
// the plane.
constexpr float kGroundRelief = 0.05f;
// Seen from above, the ground's area is cut into this many cells a side. No cell may be
// touched by more triangles (by their bounding rectangles) than kMaxGroundLayers, which the
// shipped ground's grid reaches 8 times; and no cell's centre may lie under more than
// kMaxGroundOverlap triangles: the shipped ground has one layer, two where a centre falls on
// the edge two triangles share, so at most twice its pixels are drawn.
constexpr int kGroundCells = 128;
constexpr int kMaxGroundLayers = 16;
constexpr int kMaxGroundOverlap = 2;

// Empty when `mesh` fits `role`, else why not.
std::string fitRefusal(const irr::scene::IMesh& mesh, MeshRole role);

// Steradians: what `mesh` may cover of the camera's view as a mesh of `role`, as above.
double coverOf(const irr::scene::IMesh& mesh, MeshRole role);

}  // namespace assets
