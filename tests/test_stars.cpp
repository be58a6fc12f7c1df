// Tests of the star field: creation, the random stream of a respawn, motion
// and leaving the rectangle, both ways of drawing, and an empty field.
#include "fx/stars.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "tests/support.h"

namespace {

// A field of one star with the given state.
OwnedField one_star(int32_t w, int32_t h, Star star) {
  OwnedField field(stars_create());
  field->width = w;
  field->height = h;
  stars_set_count(field.get(), 1);
  field->stars[0] = star;
  return field;
}

TEST(Stars, CreateAndRespawnUseFourRandCallsInOrder) {
  OwnedField field(stars_create());
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->width, 80);
  EXPECT_EQ(field->height, 25);
  ASSERT_EQ(field->count, 10);
  for (int32_t i = 0; i < 10; ++i) {
    const Star& s = field->stars[i];
    EXPECT_EQ(s.x, 40 * 65536);
    EXPECT_EQ(s.y, 12 * 65536);
    EXPECT_TRUE(s.vx >= -0x3FFFF && s.vx <= 0x3FFFF && s.vy >= -0x3FFFF && s.vy <= 0x3FFFF);
  }

  // The stream of rand after a given seed fixes every velocity: x
  // magnitude, x sign, y magnitude, y sign, and nothing more.
  field->width = 201;
  field->height = 7;
  for (unsigned seed : {1u, 2u, 99u, 12345u}) {
    std::srand(seed);
    int values[5];
    for (int& v : values) v = std::rand();
    std::srand(seed);
    stars_respawn(field.get(), 3);
    const int next = std::rand();
    const Star& s = field->stars[3];
    const int32_t vx = (values[1] & 1) ? -(values[0] & 0x3FFFF) : (values[0] & 0x3FFFF);
    const int32_t vy = (values[3] & 1) ? -(values[2] & 0x3FFFF) : (values[2] & 0x3FFFF);
    EXPECT_EQ(s.vx, vx) << seed;
    EXPECT_EQ(s.vy, vy) << seed;
    EXPECT_EQ(next, values[4]) << seed;
    EXPECT_EQ(s.x, 100 * 65536);
    EXPECT_EQ(s.y, 3 * 65536);
  }
  stars_respawn(field.get(), 10);  // outside the field: ignored
  stars_respawn(field.get(), -1);
}

TEST(Stars, UpdateRespawnsStarsThatLeaveTheRectangle) {
  // 128 + 32 * 0x3FFFF / 65536 = 255.9995: inside for 32 updates, out on
  // the 33rd (259), and back at the centre after that same update.
  OwnedField field = one_star(256, 256, {128 << 16, 128 << 16, 0x3FFFF, 0});
  for (int i = 1; i <= 32; ++i) {
    stars_update(field.get());
    ASSERT_EQ(field->stars[0].x, (128 << 16) + i * 0x3FFFF) << i;
  }
  EXPECT_EQ(field->stars[0].x >> 16, 255);
  stars_update(field.get());
  EXPECT_EQ(field->stars[0].x, 128 << 16);
  EXPECT_EQ(field->stars[0].y, 128 << 16);

  // A star that does not move stays, however often it is updated.
  OwnedField still = one_star(10, 6, {5 << 16, 3 << 16, 0, 0});
  for (int i = 0; i < 100; ++i) stars_update(still.get());
  EXPECT_EQ(still->stars[0].x, 5 << 16);
  EXPECT_EQ(still->stars[0].vx, 0);

  // 1/65536 pixel left of pixel 0 is outside; the last fraction of the last
  // column and row is inside.  Each edge on its own, with width != height.
  const Star outside[] = {{-1, 2 << 16, 0, 0}, {10 << 16, 2 << 16, 0, 0},
                          {2 << 16, -1, 0, 0}, {2 << 16, 6 << 16, 0, 0}};
  for (const Star& start : outside) {
    OwnedField f = one_star(10, 6, start);
    stars_update(f.get());
    EXPECT_EQ(f->stars[0].x, 5 << 16) << start.x << "," << start.y;
    EXPECT_EQ(f->stars[0].y, 3 << 16) << start.x << "," << start.y;
  }
  OwnedField corner = one_star(10, 6, {(10 << 16) - 1, (6 << 16) - 1, 0, 0});
  stars_update(corner.get());
  EXPECT_EQ(corner->stars[0].x, (10 << 16) - 1);

  // Far outside the int32 range a position wraps, without overflow.
  OwnedField far = one_star(10, 6, {INT32_MAX, INT32_MIN, 0x3FFFF, -0x3FFFF});
  stars_update(far.get());
  EXPECT_EQ(far->stars[0].x, 5 << 16);
}

TEST(Stars, PixelLevelsFollowTheSpeed) {
  const int32_t w = 8, h = 6;
  struct Case { int32_t vx, vy; uint32_t colour; };
  const Case cases[] = {{2 * 65536, -2 * 65536, 0},  // 4 pixels a step wraps to black
                        {127 * 1024, 0, 0x7F7F7F},
                        {0, -127 * 1024, 0x7F7F7F},
                        {0x3FFFF, -0x3FFFF, 0xFFFFFF},
                        {-1023, 1023, 0x010101}};
  for (const Case& c : cases) {
    OwnedField field = one_star(w, h, {(3 << 16) + 0xFFFF, 2 << 16, c.vx, c.vy});
    OwnedImage image = image_of(w, h, 0x123456);
    Px expected = pixels_of(image.get());
    expected[2 * w + 3] = c.colour;  // written even when the level is 0
    stars_draw_pixels(field.get(), image.get());
    EXPECT_EQ(pixels_of(image.get()), expected) << c.vx << "," << c.vy;
  }
  // A star outside the image is the image module's to report.
  OwnedField off = one_star(100, 100, {50 << 16, 3 << 16, 0, 0});
  OwnedImage small = image_of(w, h, 0);
  EXPECT_EQ(output_of([&] { stars_draw_pixels(off.get(), small.get()); }), "IMG error\n");
}

TEST(Stars, SpritesAreCentredWithOffsetEight) {
  OwnedImage sprite = image_of(16, 16, 0);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      if ((x + y) % 5 != 0) img_set_pixel(sprite.get(), x, y, static_cast<uint32_t>(0x100 * y + x + 1));

  const int32_t w = 20, h = 24;
  OwnedField field(stars_create());
  field->width = w;
  field->height = h;
  stars_set_count(field.get(), 3);
  field->stars[0] = {0, 0, 0, 0};                    // top-left: lower-right quarter
  field->stars[1] = {10 << 16, 13 << 16, 0, 0};      // whole sprite at (2, 5)
  field->stars[2] = {(12 << 16) + 0xFFFF, 17 << 16, 0, 0};  // at (4, 9), over star 1
  OwnedImage image = image_of(w, h, 0xEE);
  Px expected = pixels_of(image.get());
  const int32_t corners[][2] = {{-8, -8}, {2, 5}, {4, 9}};
  for (const auto& corner : corners)
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const int32_t ix = corner[0] + x, iy = corner[1] + y;
        const uint32_t p = sprite->pixels[y * 16 + x];
        if (ix >= 0 && iy >= 0 && ix < w && iy < h && p != 0) expected[iy * w + ix] = p;
      }
  EXPECT_EQ(output_of([&] { stars_draw_sprites(field.get(), image.get(), sprite.get()); }), "");
  EXPECT_EQ(pixels_of(image.get()), expected);
  EXPECT_EQ(img_get_pixel(image.get(), 0, 0), sprite->pixels[8 * 16 + 8]);
  EXPECT_EQ(img_get_pixel(image.get(), 7, 4), sprite->pixels[12 * 16 + 15]);

  // A missing sprite is reported by the blit, once per star.
  EXPECT_EQ(output_of([&] { stars_draw_sprites(field.get(), image.get(), nullptr); }),
            "IMG error\nIMG error\nIMG error\n");
}

TEST(Stars, EmptyFieldsAndCounts) {
  OwnedField field(stars_create());
  stars_set_count(field.get(), -4);  // ignored: the field keeps its stars
  EXPECT_EQ(field->count, 10);
  ASSERT_NE(field->stars, nullptr);

  stars_set_count(field.get(), 0);
  EXPECT_EQ(field->count, 0);
  OwnedImage image = image_of(9, 7, 0x31);
  OwnedImage sprite = image_of(16, 16, 0xFF);
  const Px before = pixels_of(image.get());
  std::srand(7);
  const int first = std::rand();
  std::srand(7);
  EXPECT_EQ(output_of([&] {
              stars_update(field.get());
              stars_reset(field.get());
              stars_draw_pixels(field.get(), image.get());
              stars_draw_sprites(field.get(), image.get(), sprite.get());
            }),
            "");
  EXPECT_EQ(std::rand(), first);  // no star, no rand call
  EXPECT_EQ(pixels_of(image.get()), before);

  // Setting a count again respawns every star at the centre of the new size.
  field->width = 30;
  field->height = 11;
  stars_set_count(field.get(), 4);
  ASSERT_EQ(field->count, 4);
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(field->stars[i].x, 15 << 16);
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(field->stars[i].y, 5 << 16);

  StarField* raw = stars_create();
  stars_destroy(&raw);
  EXPECT_EQ(raw, nullptr);
  stars_destroy(&raw);
  stars_destroy(nullptr);
}

}  // namespace
