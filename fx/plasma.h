// The vertical bar plasma part: three shifted sine gradients mixing into
// bending colour bars, with a bouncing logo.
#pragma once

#include <cstdint>

#include "core/image.h"

inline constexpr int32_t plasma_frames = 750;
struct PlasmaWave {
  int32_t frame_step;
  int32_t row_step;
  int32_t amplitude;
};
extern const PlasmaWave plasma_waves[6];
extern int32_t plasma_phase[6];
extern Image* plasma_gradient;
extern int32_t bounce_phase;
inline constexpr int32_t bounce_step = 4;
extern int32_t bounce_y;
void demo_part_plasma();
void demo_plasma_draw(Image* frame);
void demo_plasma_gradient_row(Image* image, int32_t period, int32_t level,
                              int32_t phase, int32_t row, int32_t shift);
void demo_plasma_advance();
