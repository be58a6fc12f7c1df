// What the PNM fuzz targets share: the module's report lines kept out of the
// fuzzer's log, and the check of every image the module hands back.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "core/image.h"

// The module reports on standard output; keep the fuzzer's log readable.
inline void fuzz_quiet() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

// A returned image is a valid one: its size fits the cap and every pixel
// can be read.  Aborts otherwise; destroys the image.
inline void fuzz_check_image(Image* image) {
  if (image == nullptr) return;
  const int64_t count = int64_t{image->width} * image->height;
  if (image->width <= 0 || image->height <= 0 || count > img_max_pixels) std::abort();
  volatile uint32_t sink = image->pixels[count - 1];
  (void)sink;
  img_destroy(&image);
}
