// The vertical bar plasma part: three shifted sine gradients mixing into
// bending colour bars, with a bouncing logo.
#pragma once

#include <cstdint>

#include "core/image.h"

inline constexpr int32_t plasma_frames = 750;
// One sine wave of a row shift: its phase moves by frame_step a frame and
// by row_step from one frame row to the one above; amplitude weighs it.
struct PlasmaWave {
  int32_t frame_step;
  int32_t row_step;
  int32_t amplitude;
};
// Waves 0 .. 2 are the first terms of red, green and blue, 3 .. 5 the second.
extern const PlasmaWave plasma_waves[6];
extern int32_t plasma_phase[6];  // never reset: each run goes on from the last
// The red, green and blue gradient rows, made by the first draw and kept.
extern Image* plasma_gradient;
extern int32_t bounce_phase;     // never reset
inline constexpr int32_t bounce_step = 4;
extern int32_t bounce_y;         // the logo's top row in the current frame
// plasma_frames frames of plasma and bouncing logo; returns early after the
// frame in which a key set demo_state.
void demo_part_plasma();
// Every row of frame from the three gradient rows, each shifted by its two
// waves (red stores, green and blue OR).  A null or empty frame, or no
// gradient, goes to demo_error and nothing is drawn.
void demo_plasma_draw(Image* frame);
// ORs ((sine + 0x7FFF) * level) >> 16, shifted left by shift (0 .. 31), into
// row of image, right to left, period / 0x10000 sine periods across the row
// from phase (16.16 table entries).  A null image, a row outside it or a
// shift outside 0 .. 31 goes to demo_error; an image of width 0 takes nothing.
void demo_plasma_gradient_row(Image* image, int32_t period, int32_t level,
                              int32_t phase, int32_t row, int32_t shift);
// Moves the six phases on by their frame steps.
void demo_plasma_advance();
