// Tests of the logo zoom part, run under the dummy video driver: frames
// counted and captured through the screen observer, the logo's size and
// placement from the presented pixels, the stars stacked at the centre on
// each zoom's first frame, a SPACE skip, missing images, and the star field
// released after every run.
#include "fx/zoom.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "demo/demo.h"
#include "video/screen.h"
#include "tests/support.h"

namespace {

// A logo whose every pixel tells which logo and which source pixel it is.
OwnedImage coded_logo(int32_t w, int32_t h, uint32_t tag) {
  OwnedImage image(img_create());
  img_resize(image.get(), w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      image->pixels[y * w + x] = 0x800000u | (tag << 20) | (static_cast<uint32_t>(y) << 10) | static_cast<uint32_t>(x);
  return image;
}

// A 16 x 16 star sprite of its own colours, with transparent holes.
OwnedImage sprite_of(uint32_t tag) {
  OwnedImage image(img_create());
  for (uint32_t j = 0; j < 16; ++j)
    for (uint32_t i = 0; i < 16; ++i)
      image->pixels[j * 16 + i] = (i * j + tag) % 4 == 0 ? 0u : (tag << 16) | (j << 8) | (i << 4) | 1u;
  return image;
}

// Pixels of a 256 x 256 frame that differ from frame k of the logo's zoom:
// the logo at (w + k) x (h + k), each source pixel taken by nearest
// neighbour (target u from source floor(u * w / W)), placed at
// 128 - W / 2, 128 - H / 2.  With a sprite, the rest of the frame must be
// that sprite once at (120, 120) on black (every star at the centre);
// without one only the logo's rectangle is checked.
int mismatches(const Px& frame, const Image* logo, int32_t k, const Image* sprite) {
  const int32_t lw = logo->width + k, lh = logo->height + k;
  const int32_t lx = 128 - lw / 2, ly = 128 - lh / 2;
  int bad = 0;
  for (int32_t y = 0; y < 256; ++y) {
    for (int32_t x = 0; x < 256; ++x) {
      uint32_t want = 0;
      if (x >= lx && x < lx + lw && y >= ly && y < ly + lh) {
        const int32_t su = (x - lx) * logo->width / lw, sv = (y - ly) * logo->height / lh;
        want = logo->pixels[sv * logo->width + su];
      } else if (sprite == nullptr) {
        continue;
      } else if (x >= 120 && x < 136 && y >= 120 && y < 136) {
        want = sprite->pixels[(y - 120) * 16 + (x - 120)];
      }
      bad += frame[static_cast<size_t>(y * 256 + x)] != want ? 1 : 0;
    }
  }
  return bad;
}

uint32_t at(const Px& frame, int32_t x, int32_t y) { return frame[static_cast<size_t>(y * 256 + x)]; }

class ZoomPart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_dummy_screen());
    frame_image = img_create();
    img_resize(frame_image, 256, 256);
    logos[0] = coded_logo(100, 40, 1);
    logos[1] = coded_logo(3, 2, 2);
    logos[2] = coded_logo(6, 1, 3);
    logos[3] = coded_logo(1, 5, 4);
    for (uint32_t i = 0; i < 4; ++i) sprites[i] = sprite_of(i + 1);
    install();
    watch.watch();
  }
  void TearDown() override {
    close_dummy_screen();
    img_destroy(&frame_image);
    logo_vorn = logo_present = logo_kolmira = logo_2008 = nullptr;
    star_a = star_b = star_c = star_d = nullptr;
    zoom_logo = nullptr;
    zoom_sprite = nullptr;
    demo_state = 0;
  }
  void install() {
    logo_vorn = logos[0].get();
    logo_present = logos[1].get();
    logo_kolmira = logos[2].get();
    logo_2008 = logos[3].get();
    star_b = sprites[1].get();
    star_c = sprites[2].get();
    star_d = sprites[3].get();
    star_a = sprites[0].get();
  }
  int run() {
    watch.frames = 0;
    demo_part_zoom();
    EXPECT_EQ(nullptr, zoom_field);
    return static_cast<int>(watch.frames);
  }
  OwnedImage logos[4];
  OwnedImage sprites[4];
  FrameWatch watch;
};

TEST_F(ZoomPart, EachZoomShows251FramesUnlessItsLogoOrSpriteIsMissing) {
  EXPECT_EQ(1004, run());
  EXPECT_EQ(0, demo_state);
  logo_kolmira = nullptr;
  EXPECT_EQ(753, run());
  install();
  star_a = nullptr;  // the last zoom's sprite
  EXPECT_EQ(753, run());
  star_b = nullptr;
  logo_present = nullptr;
  EXPECT_EQ(251, run());
  logo_vorn = logo_kolmira = logo_2008 = nullptr;
  EXPECT_EQ(0, run());
}

TEST_F(ZoomPart, LogoGrowsAPixelAFrameCentredByHalvesOverStackedStars) {
  watch.keep({1, 2, 251, 252, 502, 503, 754});
  ASSERT_EQ(1004, run());
  const Image* vorn = logos[0].get();
  // 100 x 40: frame 1 is 101 x 41 at (78, 108), not (77, 107); the
  // stacked sprites lie wholly under it.
  EXPECT_EQ(0, mismatches(watch.kept[1], vorn, 1, star_b));
  EXPECT_EQ(vorn->pixels[0], at(watch.kept[1], 78, 108));
  EXPECT_EQ(vorn->pixels[99 + 39 * 100], at(watch.kept[1], 178, 148));
  EXPECT_EQ(0u, at(watch.kept[1], 77, 108));
  EXPECT_EQ(0u, at(watch.kept[1], 179, 148));
  EXPECT_EQ(0u, at(watch.kept[1], 78, 107));
  EXPECT_EQ(0u, at(watch.kept[1], 78, 149));
  EXPECT_EQ(0, mismatches(watch.kept[2], vorn, 2, nullptr));
  // Frame 251: 351 x 291 at (-47, -17), clipped to the whole frame; its
  // corner pixel (47, 17) of the scaled logo comes from source (13, 2).
  EXPECT_EQ(0, mismatches(watch.kept[251], vorn, 251, nullptr));
  EXPECT_EQ(vorn->pixels[13 + 2 * 100], at(watch.kept[251], 0, 0));
  // Every later zoom starts over with its own sprite stacked at the
  // centre and its logo one pixel larger than the file.
  EXPECT_EQ(0, mismatches(watch.kept[252], logos[1].get(), 1, star_c));
  EXPECT_EQ(0, mismatches(watch.kept[502], logos[1].get(), 251, nullptr));
  EXPECT_EQ(0, mismatches(watch.kept[503], logos[2].get(), 1, star_d));
  EXPECT_EQ(0, mismatches(watch.kept[754], logos[3].get(), 1, star_a));
}

TEST_F(ZoomPart, SpaceEndsTheZoomAndTheOthersDrawOneFrameEach) {
  for (int k : {1, 17, 251}) {
    watch.press(k, k + 1).keep({k + 1, k + 2, k + 3});
    EXPECT_EQ(k + 3, run()) << k;
    EXPECT_EQ(2, demo_state) << k;
    EXPECT_EQ(0, mismatches(watch.kept[k + 1], logos[1].get(), 1, star_c)) << k;
    EXPECT_EQ(0, mismatches(watch.kept[k + 2], logos[2].get(), 1, star_d)) << k;
    EXPECT_EQ(0, mismatches(watch.kept[k + 3], logos[3].get(), 1, star_a)) << k;
    demo_state = 0;
  }
  watch.keys.clear();
  EXPECT_EQ(1004, run());  // the key was released: a full run again
}

}  // namespace
