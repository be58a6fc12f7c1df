// libFuzzer target: the image text-form reader, and the round trip of
// whatever it reads through the writer.
#include "core/image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* text = static_cast<char*>(std::malloc(size + 1));
  if (text == nullptr) return 0;
  std::memcpy(text, data, size);
  text[size] = '\0';
  Image* image = img_from_text(text);
  std::free(text);
  if (image == nullptr) return 0;
  const int64_t count = int64_t{image->width} * image->height;
  if (image->width < 0 || image->height < 0 || count > img_max_pixels) std::abort();
  char* written = img_to_text(image);
  if (written == nullptr) std::abort();
  if (count == 0) {
    if (std::strcmp(written, "IMG{}") != 0) std::abort();
  } else {
    // Reading the written text gives the pixels back, top byte cleared.
    Image* again = img_from_text(written);
    if (again == nullptr || again->width != image->width || again->height != image->height) std::abort();
    for (int64_t i = 0; i < count; ++i)
      if (again->pixels[i] != (image->pixels[i] & 0xFFFFFF)) std::abort();
    img_destroy(&again);
  }
  std::free(written);
  img_destroy(&image);
  return 0;
}
