// The logo zoom part: four logos growing over a field of sprite stars.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "fx/stars.h"

inline constexpr int32_t zoom_frames = 251;
extern StarField* zoom_field;
extern const Image* zoom_logo;
extern const Image* zoom_sprite;
void demo_part_zoom();
void demo_zoom_logo();

