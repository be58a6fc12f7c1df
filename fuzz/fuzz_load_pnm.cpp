// libFuzzer target: the PNM file loader, fed each input through a file.
#include "core/image.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {
std::string path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  path = "/tmp/fuzz_load_pnm-" + std::to_string(getpid()) + ".pnm";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  Image* image = img_load_pnm(path.c_str());
  std::remove(path.c_str());
  if (image == nullptr) return 0;
  const int64_t count = int64_t{image->width} * image->height;
  if (image->width <= 0 || image->height <= 0 || count > img_max_pixels) std::abort();
  volatile uint32_t sink = image->pixels[count - 1];
  (void)sink;
  img_destroy(&image);
  return 0;
}
