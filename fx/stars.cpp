// The star field: 16.16 points flying out of the centre of a rectangle.
//
// Positions move by adding in unsigned arithmetic and converting back, so a
// star far outside the int32 range wraps instead of overflowing.
#include "fx/stars.h"

#include <cstdlib>

namespace {

// a + b wrapped modulo 2^32 (the conversion back to int32 is exact in C++20).
inline int32_t add_wrapped(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The whole pixel of a 16.16 value, rounded toward minus infinity.
inline int32_t pixel_of(int32_t value) { return value >> 16; }

// A pixel as 16.16; pixels past +-32767 wrap (fields are far smaller).
inline int32_t fixed_of(int32_t pixel) {
  return static_cast<int32_t>(static_cast<uint32_t>(pixel) << 16);
}

// |value| without overflow for INT32_MIN.
inline uint32_t magnitude(int32_t value) {
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

// One random velocity component: a magnitude, then a sign (two rand calls).
int32_t random_speed() {
  int32_t speed = std::rand() & 0x3FFFF;
  if ((std::rand() & 1) == 1) speed = -speed;
  return speed;
}

}  // namespace

StarField* stars_create() {
  StarField* field = static_cast<StarField*>(std::calloc(1, sizeof(StarField)));
  if (field == nullptr) return nullptr;
  field->width = 80;
  field->height = 25;
  stars_set_count(field, 10);
  if (field->stars == nullptr) {
    std::free(field);
    return nullptr;
  }
  return field;
}

void stars_set_count(StarField* field, int32_t n) {
  if (field == nullptr || n < 0) return;
  std::free(field->stars);
  field->stars = nullptr;
  field->count = 0;
  if (n == 0) return;
  Star* stars = static_cast<Star*>(std::calloc(static_cast<size_t>(n), sizeof(Star)));
  if (stars == nullptr) return;  // an empty field, nothing to draw
  field->stars = stars;
  field->count = n;
  stars_reset(field);
}

void stars_reset(StarField* field) {
  if (field == nullptr) return;
  for (int32_t i = 0; i < field->count; ++i) stars_respawn(field, i);
}

void stars_respawn(StarField* field, int32_t i) {
  if (field == nullptr || field->stars == nullptr || i < 0 || i >= field->count) return;
  Star& star = field->stars[i];
  star.x = fixed_of(field->width >> 1);
  star.y = fixed_of(field->height >> 1);
  // Separate statements: the order of the four rand calls is fixed.
  star.vx = random_speed();
  star.vy = random_speed();
}

void stars_update(StarField* field) {
  if (field == nullptr || field->stars == nullptr) return;
  for (int32_t i = 0; i < field->count; ++i) {
    Star& star = field->stars[i];
    star.x = add_wrapped(star.x, star.vx);
    star.y = add_wrapped(star.y, star.vy);
    const int32_t px = pixel_of(star.x);
    const int32_t py = pixel_of(star.y);
    if (px < 0 || px >= field->width || py < 0 || py >= field->height) stars_respawn(field, i);
  }
}

void stars_draw_sprites(const StarField* field, Image* image, const Image* sprite) {
  if (field == nullptr || field->stars == nullptr) return;
  // A null sprite still goes to the blit, which reports it.
  const int32_t w = sprite != nullptr ? sprite->width : 0;
  const int32_t h = sprite != nullptr ? sprite->height : 0;
  for (int32_t i = 0; i < field->count; ++i) {
    const Star& star = field->stars[i];
    img_blit_masked(sprite, image, 0, 0, pixel_of(star.x) - 8, pixel_of(star.y) - 8, w, h);
  }
}

void stars_draw_pixels(const StarField* field, Image* image) {
  if (field == nullptr || field->stars == nullptr) return;
  for (int32_t i = 0; i < field->count; ++i) {
    const Star& star = field->stars[i];
    // The level wraps at 256: a speed sum of 4 pixels gives black.
    const uint32_t level = ((magnitude(star.vx) + magnitude(star.vy)) >> 10) & 0xFFu;
    img_set_pixel(image, pixel_of(star.x), pixel_of(star.y), level * 0x010101u);
  }
}

void stars_destroy(StarField** field) {
  if (field == nullptr || *field == nullptr) return;
  std::free((*field)->stars);
  std::free(*field);
  *field = nullptr;
}
