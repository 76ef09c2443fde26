#pragma once

// The tank's meshes and textures come from the engine's caches, which the program fills
// before it builds a tank. The simulation only looks names up there and never has the
// engine read a file: a name that is not cached gives null, and the rig stands an empty
// node or an untextured mesh in its place.

#include <irrlicht.h>

namespace cache {

inline irr::scene::IAnimatedMesh* mesh(irr::scene::ISceneManager* smgr, const char* name) {
  return smgr->getMeshCache()->getMeshByName(name);
}

inline irr::video::ITexture* texture(irr::video::IVideoDriver* driver, const char* name) {
  return driver->findTexture(name);
}

}  // namespace cache
