// libFuzzer target: the PNM file loader, fed each input through a file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "fuzz/fuzz_image.h"

namespace {
std::string path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_quiet();
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
  fuzz_check_image(image);
  return 0;
}
