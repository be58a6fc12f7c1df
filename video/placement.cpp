#include "video/placement.h"

#include <algorithm>
#include <cstring>

#include "core/pixel_spans.h"

Placement placement_fit(int32_t area_width, int32_t area_height, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || area_width < width || area_height < height) return Placement{0, 0, 0};
  const int32_t fits = std::min(area_width / width, area_height / height);
  return Placement{(area_width - width * fits) / 2, (area_height - height * fits) / 2, fits};
}

void placement_enlarge_row(uint32_t* to, size_t pitch, const uint32_t* row, int32_t width, int32_t scale,
                           int32_t copies) {
  const size_t wide = static_cast<size_t>(width) * static_cast<size_t>(scale);
  span_widen(to, row, static_cast<size_t>(width), scale);
  for (int32_t k = 1; k < copies; ++k) std::memcpy(to + static_cast<size_t>(k) * pitch, to, wide * 4);
}

void placement_enlarge(uint32_t* to, size_t pitch, const uint32_t* pixels, int32_t width, int32_t height,
                       int32_t scale, int32_t copies) {
  const size_t step = static_cast<size_t>(copies) * pitch;
  for (int32_t y = 0; y < height; ++y)
    placement_enlarge_row(to + static_cast<size_t>(y) * step, pitch,
                          pixels + static_cast<size_t>(y) * static_cast<size_t>(width), width, scale, copies);
}
