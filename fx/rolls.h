// The raster-roll scroller part: sine-driven colour bars behind the
// raster-coloured scroller, with a logo at the top.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "fx/raster.h"

inline constexpr int32_t rolls_frames = 1500;
extern const uint32_t letter_colours[96];
extern Raster letter_raster;
extern const uint32_t bar_profiles[72];       // eight runs of 2, 4, .. 16 entries
inline constexpr int32_t bar_profile_index = 7;
inline constexpr int32_t bar_count = 16;
inline constexpr int32_t bar_spacing = 24;
inline constexpr int32_t bar_speed = 4;
inline constexpr int32_t strip_phase_step = 3;
extern int32_t bar_phase;
extern int32_t strip_phase;
extern int32_t strip_y;
void demo_part_rolls();
void demo_raster_rolls();

