// libFuzzer target: the bounded in-memory PNM parser over arbitrary bytes.
#include "core/image.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The module reports on standard output; keep the fuzzer's log readable.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image* image = img_parse_pnm_n(data, size);
  if (image == nullptr) return 0;
  // A parsed image is a valid one: its size fits the cap and every pixel
  // can be read.
  const int64_t count = int64_t{image->width} * image->height;
  if (image->width <= 0 || image->height <= 0 || count > img_max_pixels) std::abort();
  volatile uint32_t sink = image->pixels[count - 1];
  (void)sink;
  img_destroy(&image);
  return 0;
}
