// Procedural textures. Every tiling texture repeats seamlessly over its own edges; the six
// sky faces are cut from one continuous sky, so they meet without seams on the sky box.
#pragma once

#include <string>
#include <vector>

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace textures {

struct Rgb {
  double r = 0.0, g = 0.0, b = 0.0;  // linear 0..1, clamped on output
};

class Image {
 public:
  Image(int width, int height) : width_(width), height_(height), pixels_(width * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb& at(int x, int y) { return pixels_[y * width_ + x]; }
  const Rgb& at(int x, int y) const { return pixels_[y * width_ + x]; }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

Image sand(int size);
Image camouflage(int size);
Image oxidisedMetal(int size);
// Rusted steel track plates: `plates` of them stacked along v, split by dark seams.
Image rustyPlates(int size, int plates);
Image brickWall(int size);

// Sky box faces, named by the file suffix each is stored under, and the way the engine's sky
// box lays that file out: its left slot shows "rt" and its right slot "lt".
enum class SkyFace { kUp, kDown, kRt, kLt, kFt, kBk };
Image skyFace(SkyFace face, int size);

// Writes `image` as a JPEG through the engine's image writer.
bool writeJpeg(irr::video::IVideoDriver* driver, const Image& image, const std::string& path);

}  // namespace textures
