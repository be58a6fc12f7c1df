// A star field: points that fly out from the centre of a rectangle in
// 16.16 fixed point and respawn there when they leave it.  No messages of
// its own; image problems are reported by the image module.  A null field
// and an out-of-range star index are ignored.  Positions move in wrapping
// (unsigned) arithmetic, so no update overflows.
#pragma once

#include <cstdint>

#include "core/image.h"

struct Star {
  int32_t x, y;    // position, 16.16
  int32_t vx, vy;  // velocity per update, 16.16, each within +-0x3FFFF
};

struct StarField {
  int32_t width;   // rectangle, pixels; the owner may set it directly
  int32_t height;
  int32_t count;
  Star* stars;     // owned, count entries
};

// New 80 x 25 field of 10 stars at its centre, or null when memory runs out.
StarField* stars_create();
// Reallocates n stars (n >= 0) and respawns them all; a negative n is
// ignored (the field is left as it was), and when memory runs out the field
// is left with no stars (count 0).
void stars_set_count(StarField* field, int32_t n);
// Respawns every star in index order.
void stars_reset(StarField* field);
// Star i back to the centre with a new random velocity: rand for the x
// magnitude (& 0x3FFFF), rand for its sign (& 1), the same for y.
void stars_respawn(StarField* field, int32_t i);
// Moves every star one step and respawns those that left the rectangle.
void stars_update(StarField* field);
// Draws every star as the sprite centred on its pixel (offset 8), masked.
void stars_draw_sprites(const StarField* field, Image* image, const Image* sprite);
// Draws every star as one grey pixel whose level follows its speed.
void stars_draw_pixels(const StarField* field, Image* image);
// Frees the field and nulls *field; null is ignored.
void stars_destroy(StarField** field);
