// Where a picture goes on a larger surface and how it is enlarged there:
// by a whole factor, each pixel a square block, nearest neighbour.  Plain
// arithmetic over pixel rows, free of SDL, for the screen and the capture.
#pragma once

#include <cstddef>
#include <cstdint>

// A picture enlarged `scale` times with its top-left corner at (left, top).
struct Placement {
  int32_t left, top, scale;
};

// A width x height picture on an area_width x area_height surface, enlarged
// by the largest whole factor that fits and centred (odd spare pixels go
// right and below).  Scale 0 where the picture does not fit once or a size
// is not positive.
Placement placement_fit(int32_t area_width, int32_t area_height, int32_t width, int32_t height);

// One row of width pixels widened scale times (1 or more) into `to`, then
// copied to the copies - 1 rows below it, `pitch` pixels apart.  `to`
// overlaps not `row`.
void placement_enlarge_row(uint32_t* to, size_t pitch, const uint32_t* row, int32_t width, int32_t scale,
                           int32_t copies);
// A width x height picture, rows unpadded, enlarged scale times into rows
// `pitch` pixels apart from `to`: each of its rows widened and written
// `copies` times (scale for the whole enlarged picture, 1 for its rows once
// each, as the capture sends them).
void placement_enlarge(uint32_t* to, size_t pitch, const uint32_t* pixels, int32_t width, int32_t height,
                       int32_t scale, int32_t copies);
