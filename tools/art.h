// The intro's pictures: logos drawn from the letter skeletons as bevelled,
// lit metal with a dark outline and drop shadow, and glowing star sprites.
// Pixel value 0 is transparent in the intro; every other pixel of a picture
// is opaque, so nothing drawn here is ever exactly 0.
#pragma once

#include <cstdint>

#include "core/image.h"

enum ArtPicture : int32_t {
  art_vorn,        // "VORN.ppm"
  art_present,     // "present.ppm"
  art_kolmira,     // "kolmira.ppm"
  art_2008,        // "2008.ppm"
  art_logotype0,   // "logotype0.ppm": over the plasma, 256 x 48 at most
  art_logotype1,   // "logotype1.ppm": over the raster rolls, 256 wide, 48 high at most
  art_star_a,      // "star16a.ppm" .. "star16d.ppm": 16 x 16, centred on (8, 8)
  art_star_b,
  art_star_c,
  art_star_d,
  art_picture_count
};

// The file name of a picture, or null for an unknown one.
const char* art_file_name(int32_t picture);
// A new image of the picture, or null when memory runs out.
Image* art_draw(int32_t picture);

// The intro's icon, size x size pixels 0xAARRGGBB (real alpha, not the
// intro's transparent 0): the chrome V of the VORN logo on a dark rounded
// tile.  Writes size * size pixels into argb; false for a size outside
// art_icon_min .. art_icon_max or when memory runs out.
inline constexpr int32_t art_icon_min = 16;
inline constexpr int32_t art_icon_max = 512;
bool art_draw_icon(int32_t size, uint32_t* argb);
