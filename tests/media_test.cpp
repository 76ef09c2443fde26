// The media files as the engine reads them: every path loads, meshes have the shapes and
// facing the rig needs, textures suit the video driver, the sky box has no seams and the
// font carries the status line.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

using namespace irr;

namespace {

constexpr float kShapeTol = 0.05f;   // m, for sizes the rig gives as "about"
constexpr float kFlatTol = 1e-4f;    // m, the ground's height spread
constexpr float kMinVolume = 1e-3f;  // m^3, a solid that faces outward encloses at least this
constexpr float kFacingUp = 0.9f;    // cosine from vertical of a face counted as top or bottom
constexpr u32 kMinShadeStep = 64;    // 8-bit levels between a lit top and an unlit bottom
constexpr int kSeamTol = 6;          // 8-bit levels, mean difference across a sky-box edge
constexpr u32 kStatusWidth = 290;    // px, the status rectangle less nothing
constexpr u32 kStatusHeight = 40;    // px
constexpr u32 kMinGlyphHeight = 14;  // px, readable at 1024 x 768
constexpr u32 kMinInkAlpha = 128;    // of 255, the densest pixel of a visible glyph

const char* const kMeshes[] = {"../media/env/mark2.3ds",   "../media/tank/chassi.3ds",
                               "../media/tank/track.3ds",  "../media/tank/wheel.3ds",
                               "../media/tank/turret.3ds", "../media/tank/canon.3ds"};
const char* const kTextures[] = {
    "../media/env/sand3.jpg",       "../media/skybox/dream_up.jpg", "../media/skybox/dream_dn.jpg",
    "../media/skybox/dream_rt.jpg", "../media/skybox/dream_lt.jpg", "../media/skybox/dream_ft.jpg",
    "../media/skybox/dream_bk.jpg", "../media/brickwall.jpg",       "../media/tank/kamo.jpg",
    "../media/tank/metalox.jpg",    "../media/tank/rust3.jpg"};
const char* const kFont = "../media/fontkorvenblatt.bmp";
const wchar_t* const kWidestStatus = L"Gear: -2 | Speed: -33.33 km/h | FPS: 999";

class Media : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    device_ = createDeviceEx(params);
  }
  static void TearDownTestSuite() {
    device_->drop();
    device_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(device_, nullptr); }

  static scene::IMesh* mesh(const char* path) {
    scene::IAnimatedMesh* m = device_->getSceneManager()->getMesh(path);
    return m ? m->getMesh(0) : nullptr;
  }
  static video::IImage* image(const char* path) {
    return device_->getVideoDriver()->createImageFromFile(path);
  }

  // Calls f(a, b, c) for every triangle in the engine's index order; the shaded variant
  // also passes the colour of its first vertex.
  template <typename F>
  static void forEachTriangle(scene::IMesh* m, F f) {
    forEachShadedTriangle(m, [&](auto a, auto b, auto c, video::SColor) { f(a, b, c); });
  }
  template <typename F>
  static void forEachShadedTriangle(scene::IMesh* m, F f) {
    for (u32 b = 0; b < m->getMeshBufferCount(); ++b) {
      scene::IMeshBuffer* buffer = m->getMeshBuffer(b);
      ASSERT_EQ(buffer->getVertexType(), video::EVT_STANDARD);
      ASSERT_EQ(buffer->getIndexType(), video::EIT_16BIT);
      const auto* v = static_cast<const video::S3DVertex*>(buffer->getVertices());
      const u16* idx = buffer->getIndices();
      for (u32 i = 0; i + 2 < buffer->getIndexCount(); i += 3) {
        f(v[idx[i]].Pos, v[idx[i + 1]].Pos, v[idx[i + 2]].Pos, v[idx[i]].Color);
      }
    }
  }

  static IrrlichtDevice* device_;
};
IrrlichtDevice* Media::device_ = nullptr;

TEST_F(Media, EveryPathLoads) {
  for (const char* path : kMeshes) {
    SCOPED_TRACE(path);
    scene::IMesh* m = mesh(path);
    ASSERT_NE(m, nullptr);
    u32 indices = 0;
    for (u32 b = 0; b < m->getMeshBufferCount(); ++b) {
      indices += m->getMeshBuffer(b)->getIndexCount();
    }
    EXPECT_GT(indices, 0u);
  }
  for (const char* path : kTextures) {
    SCOPED_TRACE(path);
    EXPECT_NE(device_->getVideoDriver()->getTexture(path), nullptr);
  }
  EXPECT_NE(device_->getGUIEnvironment()->getFont(kFont), nullptr);
}

// Each mesh's extent after loading, in its node's frame and before node scales: catches the
// format's Y/Z swap and slips of scale.
TEST_F(Media, MeshesHaveTheShapesTheRigPlacesThemFor) {
  struct Expected {
    const char* path;
    core::vector3df min, max;
  };
  const Expected table[] = {
      // Track: 0.6 wide, a loop of 1.1 x 5.8 round its node.
      {"../media/tank/track.3ds", {-0.3f, -0.55f, -2.9f}, {0.3f, 0.55f, 2.9f}},
      // Road wheel: 0.5 wide about X, radius 0.13, centred.
      {"../media/tank/wheel.3ds", {-0.25f, -0.13f, -0.13f}, {0.25f, 0.13f, 0.13f}},
      // Turret: 2.6 wide, 3.5 long, standing on its node; low.
      {"../media/tank/turret.3ds", {-1.3f, 0.0f, -1.75f}, {1.3f, 1.05f, 2.1f}},
      // Gun: muzzle 3 ahead of its node, breech and mantlet back at the pivot 2.2 behind.
      {"../media/tank/canon.3ds", {-0.45f, -0.3f, -2.6f}, {0.45f, 0.3f, 3.0f}},
  };
  for (const Expected& e : table) {
    SCOPED_TRACE(e.path);
    scene::IMesh* m = mesh(e.path);
    ASSERT_NE(m, nullptr);
    const core::aabbox3df box = m->getBoundingBox();
    EXPECT_NEAR(box.MinEdge.X, e.min.X, kShapeTol);
    EXPECT_NEAR(box.MinEdge.Y, e.min.Y, kShapeTol);
    EXPECT_NEAR(box.MinEdge.Z, e.min.Z, kShapeTol);
    EXPECT_NEAR(box.MaxEdge.X, e.max.X, kShapeTol);
    EXPECT_NEAR(box.MaxEdge.Y, e.max.Y, kShapeTol);
    EXPECT_NEAR(box.MaxEdge.Z, e.max.Z, kShapeTol);
  }

  // Chassis: between the tracks (whose inner faces are at |x| = 1.4), 6.6 long, from the
  // belly up to the deck the turret node stands on.
  scene::IMesh* chassis = mesh("../media/tank/chassi.3ds");
  ASSERT_NE(chassis, nullptr);
  const core::aabbox3df hull = chassis->getBoundingBox();
  EXPECT_LE(hull.MaxEdge.X, 1.35f + kFlatTol);
  EXPECT_GE(hull.MinEdge.X, -1.35f - kFlatTol);
  EXPECT_NEAR(hull.MinEdge.Z, -3.3f, kShapeTol);
  EXPECT_NEAR(hull.MaxEdge.Z, 3.3f, kShapeTol);
  EXPECT_NEAR(hull.MinEdge.Y, 0.45f, kShapeTol);
  EXPECT_NEAR(hull.MaxEdge.Y, 2.0f, 2 * kShapeTol);

  // The gun barrel ahead of its node is slim: radius about 0.12, widest at the fume extractor.
  float barrelRadius = 0.0f;
  forEachTriangle(mesh("../media/tank/canon.3ds"), [&](auto a, auto b, auto c) {
    for (const core::vector3df& p : {a, b, c}) {
      if (p.Z > 1.5f) barrelRadius = std::max(barrelRadius, std::hypot(p.X, p.Y));
    }
  });
  EXPECT_NEAR(barrelRadius, 0.12f, 2 * kShapeTol / 5);

  // Ground: flat with its top at y = 0, reaching past +-50 (+-500 at the node's scale 10).
  scene::IMesh* ground = mesh("../media/env/mark2.3ds");
  ASSERT_NE(ground, nullptr);
  const core::aabbox3df plane = ground->getBoundingBox();
  EXPECT_NEAR(plane.MaxEdge.Y, 0.0f, kFlatTol);
  EXPECT_NEAR(plane.MinEdge.Y, 0.0f, kFlatTol);
  EXPECT_LE(plane.MinEdge.X, -50.0f);
  EXPECT_LE(plane.MinEdge.Z, -50.0f);
  EXPECT_GE(plane.MaxEdge.X, 50.0f);
  EXPECT_GE(plane.MaxEdge.Z, 50.0f);
}

// Faces are drawn from their front side only: after the loader has swapped axes, every
// solid must face outward (enclose a positive volume) and the ground must face up. The scene
// has no lights, so the vertex colours carry the shading: tops brighter than undersides.
TEST_F(Media, FacesPointOutwardAndAreShadedByFacing) {
  for (size_t i = 1; i < std::size(kMeshes); ++i) {
    SCOPED_TRACE(kMeshes[i]);
    scene::IMesh* m = mesh(kMeshes[i]);
    ASSERT_NE(m, nullptr);
    double volume = 0.0;  // divergence theorem over the engine's front faces
    u32 top = 0, bottom = 255;
    forEachShadedTriangle(m, [&](auto a, auto b, auto c, video::SColor colour) {
      const core::vector3df n = (b - a).crossProduct(c - a);
      volume += a.dotProduct(n) / 6.0;
      const float up = n.Y / n.getLength();
      if (up > kFacingUp) top = std::max(top, colour.getRed());
      if (up < -kFacingUp) bottom = std::min(bottom, colour.getRed());
    });
    EXPECT_GT(volume, kMinVolume);
    EXPECT_GE(top, bottom + kMinShadeStep);
  }
  int downward = 0, triangles = 0;
  forEachTriangle(mesh(kMeshes[0]), [&](auto a, auto b, auto c) {
    ++triangles;
    if ((b - a).crossProduct(c - a).Y <= 0.0f) ++downward;
  });
  EXPECT_GT(triangles, 0);
  EXPECT_EQ(downward, 0);
}

TEST_F(Media, TexturesArePowersOfTwo) {
  for (const char* path : kTextures) {
    SCOPED_TRACE(path);
    video::IImage* img = image(path);
    ASSERT_NE(img, nullptr);
    const core::dimension2du size = img->getDimension();
    EXPECT_TRUE(size.Width == 256 || size.Width == 512) << size.Width;
    EXPECT_EQ(size.Width, size.Height);
    img->drop();
  }
}

// The engine's sky box lays each image over one cube face: pixel (u, v) lies at
// origin + u * uAxis + v * vAxis on the cube from -1 to 1. Its left slot takes "rt", its
// right slot "lt". Neighbouring edge pixels must show the same sky.
TEST_F(Media, SkyBoxFacesMeetWithoutSeams) {
  struct Face {
    const char* path;
    core::vector3df origin, uAxis, vAxis;
    video::IImage* img;
  };
  std::array<Face, 6> faces = {{
      {"../media/skybox/dream_ft.jpg", {1, 1, -1}, {-2, 0, 0}, {0, -2, 0}, nullptr},
      {"../media/skybox/dream_rt.jpg", {1, 1, 1}, {0, 0, -2}, {0, -2, 0}, nullptr},
      {"../media/skybox/dream_bk.jpg", {-1, 1, 1}, {2, 0, 0}, {0, -2, 0}, nullptr},
      {"../media/skybox/dream_lt.jpg", {-1, 1, -1}, {0, 0, 2}, {0, -2, 0}, nullptr},
      {"../media/skybox/dream_up.jpg", {-1, 1, 1}, {0, 0, -2}, {2, 0, 0}, nullptr},
      {"../media/skybox/dream_dn.jpg", {-1, -1, 1}, {2, 0, 0}, {0, 0, -2}, nullptr},
  }};
  for (Face& f : faces) {
    f.img = image(f.path);
    ASSERT_NE(f.img, nullptr) << f.path;
  }
  const s32 n = s32(faces[0].img->getDimension().Width);
  auto normalOf = [](const Face& f) { return f.origin + (f.uAxis + f.vAxis) * 0.5f; };
  for (const Face& f : faces) {
    const core::vector3df fn = normalOf(f);
    // The four edges of f, one pixel row or column each.
    for (int edge = 0; edge < 4; ++edge) {
      long diff = 0;
      for (s32 i = 0; i < n; ++i) {
        const s32 x = edge == 0 ? i : edge == 1 ? i : edge == 2 ? 0 : n - 1;
        const s32 y = edge == 0 ? 0 : edge == 1 ? n - 1 : i;
        const core::vector3df p =
            f.origin + f.uAxis * ((x + 0.5f) / n) + f.vAxis * ((y + 0.5f) / n);
        // The neighbour is the face whose normal p leans towards most, f's own apart.
        const Face* g = nullptr;
        float best = -1e9f;
        for (const Face& h : faces) {
          const core::vector3df hn = normalOf(h);
          if (hn == fn) continue;
          if (p.dotProduct(hn) > best) best = p.dotProduct(hn), g = &h;
        }
        // Where the ray through p meets g's face, clamped onto it.
        const core::vector3df q = p / std::fabs(p.dotProduct(normalOf(*g)));
        const core::vector3df d = q - g->origin;
        auto pixel = [n](float t) { return core::clamp(s32(t * n), 0, n - 1); };
        const s32 gx = pixel(d.dotProduct(g->uAxis) / 4.0f);
        const s32 gy = pixel(d.dotProduct(g->vAxis) / 4.0f);
        const video::SColor a = f.img->getPixel(u32(x), u32(y));
        const video::SColor b = g->img->getPixel(u32(gx), u32(gy));
        diff += std::abs(s32(a.getRed()) - s32(b.getRed())) +
                std::abs(s32(a.getGreen()) - s32(b.getGreen())) +
                std::abs(s32(a.getBlue()) - s32(b.getBlue()));
      }
      EXPECT_LE(diff / (3 * n), kSeamTol) << f.path << " edge " << edge;
    }
  }
  for (Face& f : faces) f.img->drop();
}

TEST_F(Media, FontIsABitmapFontWithEveryPrintableGlyph) {
  gui::IGUIFont* font = device_->getGUIEnvironment()->getFont(kFont);
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(font->getType(), gui::EGFT_BITMAP);
  auto* bitmap = static_cast<gui::IGUIFontBitmap*>(font);

  // Boxes are read in order from the space on; a character without a box maps to the space.
  video::IImage* atlas = image(kFont);
  ASSERT_NE(atlas, nullptr);
  const core::array<core::rect<s32>>& boxes = bitmap->getSpriteBank()->getPositions();
  ASSERT_EQ(boxes.size(), u32(126 - 32 + 1));
  for (wchar_t c = 33; c <= 126; ++c) {
    const u32 sprite = bitmap->getSpriteNoFromChar(&c);
    ASSERT_EQ(sprite, u32(c - 32)) << char(c);
    // Every visible character leaves some opaque ink in its box.
    const core::rect<s32>& r = boxes[sprite];
    u32 ink = 0;
    for (s32 y = r.UpperLeftCorner.Y; y < r.LowerRightCorner.Y; ++y) {
      for (s32 x = r.UpperLeftCorner.X + 1; x < r.LowerRightCorner.X; ++x) {
        ink = std::max(ink, atlas->getPixel(u32(x), u32(y)).getAlpha());
      }
    }
    EXPECT_GE(ink, kMinInkAlpha) << char(c);
  }
  atlas->drop();

  const core::dimension2du status = font->getDimension(kWidestStatus);
  EXPECT_LE(status.Width, kStatusWidth);
  EXPECT_LE(status.Height, kStatusHeight);
  EXPECT_GE(status.Height, kMinGlyphHeight);
}

}  // namespace
