// The logo zoom part: four logos growing over a field of sprite stars.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "fx/stars.h"

inline constexpr int32_t zoom_frames = 251;     // frames of one logo's zoom
inline constexpr int32_t zoom_logo_count = 4;  // zooms in one run of the part
extern StarField* zoom_field;     // 256 stars, made and released by each run
extern const Image* zoom_logo;    // the logo of the current zoom (not owned)
extern const Image* zoom_sprite;  // its star sprite (not owned)
// The four zooms in turn; each leaves after its first frame once a key has
// set demo_state.
void demo_part_zoom();
// One zoom of zoom_logo over zoom_field: frame k shows the logo k pixels
// wider and higher than its file, centred.  Nothing when the logo or the
// sprite is missing.
void demo_zoom_logo();

