// The raster-roll scroller part: sine-driven colour bars behind the
// raster-coloured scroller, with a logo at the top.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "fx/raster.h"

inline constexpr int32_t rolls_frames = 1500;
// Six runs of 16 colours, red to yellow to green to cyan to blue to magenta
// and back; each run starts on the colour the one before ended on.
extern const uint32_t letter_colours[96];
// Colours the letters, one row each, stepped once a frame; its table is a
// writable copy of letter_colours, and its offset carries over between runs.
extern Raster letter_raster;
extern const uint32_t bar_profiles[72];       // eight runs of 2, 4, .. 16 entries
inline constexpr int32_t bar_profile_index = 7;
inline constexpr int32_t bar_count = 16;
inline constexpr int32_t bar_spacing = 24;
inline constexpr int32_t bar_speed = 4;
inline constexpr int32_t strip_phase_step = 3;
extern int32_t bar_amplitude;  // vertical swing of the bars, set every frame
extern int32_t bar_centre;     // middle row of the swing, set every frame
extern int32_t bar_phase;    // phase of bar 0, carried over between runs
extern int32_t strip_phase;  // phase of the strip, carried over between runs
extern int32_t strip_y;      // top row of the strip in the current frame
// Up to rolls_frames frames of bars, coloured scroll text and logo; returns
// early after the frame in which a key set demo_state.
void demo_part_rolls();
// Rebuilds rows_raster: black, with the sixteen bars of this frame drawn in
// index order, then moves bar_phase on.  Nothing without rows_raster.
void demo_raster_rolls();

