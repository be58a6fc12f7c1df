// libFuzzer target: the bounded in-memory PNM parser over arbitrary bytes.
#include "fuzz/fuzz_image.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_check_image(img_parse_pnm_n(data, size));
  return 0;
}
