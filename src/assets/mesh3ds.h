#pragma once

// Our own 3DS reader: one pass over the chunk tree checks every byte and gathers what the
// scene draws, then the engine's mesh is built from that; the engine never sees the file.
//
// What a decoded mesh is:
// - One buffer per material that some face uses, in the order the materials are defined
//   (before or after the objects, it does not matter), then one buffer of the engine's
//   default material (white, unlit specular) for the faces that no material group names.
// - Each buffer holds its faces object by object, in file order; within an object, group by
//   group, face by face as each group lists them; the faces outside all groups in face order.
//   Every face gets three vertices of its own: the file's (x, y, z) as (x, z, y), texture
//   coordinates (u, 1 - v) or (0, 0) when the object has none, the flat normal of the face
//   (zero for a face without area), the material's diffuse colour with its opacity as alpha.
//   Its indices wind the other way round: first, third, second corner.
// - A group names a material by its name, and the first material of that name is meant; a
//   group that names no material is refused. A material without a name chunk is named "".
// - Materials that the scene draws alike (equal in every field) share one buffer, the first
//   one's place in that order, so that a file's duplicates cost no extra draw call.
// - Materials: the first value chunk of each colour and percentage counts; float colours and
//   percentages are clamped to [0, 1]. Shininess is (1 - percentage) * 128. A transparency
//   above 0 is refused: a transparent layer is drawn over everything behind it, so stacked
//   layers would cost a whole screen each, and no mesh of ours is transparent. Shading 0 is
//   wireframe, 1 flat.
//   Shininess strength, transparency falloff, reflection blur and wire size change nothing.
// - The master scale and each object's local axes change nothing: the vertices are stored
//   where they are drawn.

#include <irrlicht.h>

#include <cstddef>
#include <string>

namespace assets {

// What a mesh is in the scene. Each role bounds how much a mesh may hold, how far from its
// pivot it may reach, how much surface it may have, how much of the camera's view it may
// cover and how many draw calls it costs: about four times the triangles and the surface of
// the shipped mesh of that role, twice its draw calls and what it covers, and a reach that
// keeps it clear of the chase camera in every pose (the argument is beside the numbers).
enum class MeshRole { Ground, Hull, Track, Wheel, Turret, Gun };
inline constexpr MeshRole kMeshRoles[] = {MeshRole::Ground, MeshRole::Hull,   MeshRole::Track,
                                          MeshRole::Wheel,  MeshRole::Turret, MeshRole::Gun};

// m: the chase camera's eye is never nearer than this to the hull's origin, in any pose
// (mesh3ds.cpp gives the argument, and how each role's reach follows from it).
inline constexpr float kCameraOrbit = 10.0f;

// A point in the scene's axes (x right, y up, z forward), m in the file's units.
struct MeshPoint {
  float x, y, z;
};

struct MeshLimits {
  std::size_t maxTriangles;  // triangles drawn, all buffers together (the file's faces)
  float maxReach;            // m in the file's units: every vertex lies within this distance
                             // of `pivot`; the scene scales the ground node x10 on top
  float maxArea;             // m^2 in the file's units: the areas of all triangles together
  std::size_t maxBuffers;    // draw calls a node of the mesh costs: its buffers, equal
                             // materials merged
  float maxCover;            // sr: the view the mesh may cover at most, each triangle counted
                             // as seen from the nearest place the camera can be (mesh_fit.h);
                             // 0: not counted (the ground, bounded by its layers instead)
  MeshPoint pivot;           // m, in the mesh's own frame: the point the rig turns it about
                             // or hangs it from, whose distance to the camera it bounds
  float fromHull;            // m: how far the rig puts `pivot` from the hull's origin at most
  float scale;               // the largest scale the rig draws the mesh at
};
MeshLimits limitsOf(MeshRole role);
const char* roleName(MeshRole role);  // "ground", "hull", ...

// The mesh in `bytes` as one frame of type EAMT_3DS, owned by the caller (drop it); null
// with `why` set when the bytes are refused, as a 3DS file or as a mesh of `role`.
irr::scene::SAnimatedMesh* decode3ds(const unsigned char* bytes, std::size_t size, MeshRole role,
                                     std::string& why);

}  // namespace assets
