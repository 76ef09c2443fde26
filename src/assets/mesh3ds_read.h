#pragma once

// The 3DS chunk tree, checked and gathered in one pass: the materials as the scene draws
// them and, for each object, where its lists lie in the bytes. Everything gathered here has
// been checked: every list fits its chunk, every face names vertices of its object, every
// group names faces of its object, each face at most once.

#include <irrlicht.h>

#include <cstddef>
#include <string>
#include <vector>

#include "assets/mesh3ds.h"

namespace assets::tds {

constexpr std::size_t kVertexBytes = 12;    // 3 floats
constexpr std::size_t kTexCoordBytes = 8;   // 2 floats
constexpr std::size_t kFaceBytes = 8;       // 3 vertex indices and flags, 16 bits each
constexpr std::size_t kFaceIndexBytes = 2;  // a face number in a material group

struct Material {
  std::string name;                 // "" when the material has no name chunk
  irr::video::SMaterial material;   // as the scene draws it
  irr::video::SColor vertexColour;  // the diffuse colour, which each vertex carries
};

struct Group {
  std::string materialName;
  std::size_t facesAt = 0;   // byte offset of the first face number
  std::size_t count = 0;     // face numbers
  std::size_t material = 0;  // index into File::materials, set once all materials are known
};

struct Object {
  std::size_t verticesAt = 0, vertexCount = 0;  // byte offset of the first vertex; vertices
  bool texCoords = false;                       // one per vertex when present
  std::size_t texCoordsAt = 0;                  // byte offset of the first pair
  std::size_t facesAt = 0, faceCount = 0;       // byte offset of the first face; faces
  std::vector<Group> groups;
};

struct File {
  std::vector<Material> materials;  // in file order
  std::vector<Object> objects;      // in file order, those with a mesh
  std::size_t faces = 0;            // in all objects
};

// Reads and checks the whole tree into `file`; empty on success, else why the bytes are
// refused, as a 3DS file or as a mesh of `role`.
std::string read(const unsigned char* bytes, std::size_t size, MeshRole role, File& file);

unsigned u16At(const unsigned char* p);
std::string number(double value);  // as a refusal quotes it
float floatAt(const unsigned char* p);

}  // namespace assets::tds
