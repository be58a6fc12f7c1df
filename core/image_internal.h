// Helpers shared by the source files of the image module.  Not part of the
// interface: only core/*.cpp include this, and everything here has internal
// linkage in each of them.
#pragma once

#include "core/image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reports and yields the failure value, so a failing path is one line:
// `return img_fail();` for a pointer, `return img_fail(0);` for a count.
template <typename T = std::nullptr_t>
inline T img_fail(T value = T{}) {
  img_error();
  return value;
}

// The pixel count of a record the module may index: a present buffer and a
// size that is neither negative nor above the cap.  -1 when unusable.
inline int64_t img_usable_count(const Image* image) {
  if (image == nullptr || image->pixels == nullptr) return -1;
  if (image->width < 0 || image->height < 0) return -1;
  const int64_t count = int64_t{image->width} * image->height;
  return count <= img_max_pixels ? count : -1;
}

// Whether width x height is a size the module will allocate.
inline bool img_size_ok(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width * height <= img_max_pixels;
}

// A value of 0 .. INT32_MAX extended by one decimal digit, saturating at
// INT32_MAX instead of overflowing.
inline int32_t img_add_digit(int32_t value, int digit) {
  if (value > (INT32_MAX - digit) / 10) return INT32_MAX;
  return value * 10 + digit;
}

inline bool img_is_digit(int c) { return c >= '0' && c <= '9'; }

// (r << 16) | (g << 8) | b without masking, so a sample above 255 spills
// into the next channel; done on unsigned values, so nothing overflows.
inline uint32_t img_pack(uint32_t r, uint32_t g, uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

// A new zero-filled image of width x height built with img_create and
// img_resize, or null after exactly one report.
inline Image* img_new(int32_t width, int32_t height) {
  if (!img_size_ok(width, height)) return img_fail();
  Image* image = img_create();
  if (image == nullptr) return nullptr;  // img_create has reported
  img_resize(image, width, height);
  if (image->pixels == nullptr) {
    img_destroy(&image);
    return img_fail();
  }
  return image;
}

// A pixel buffer of count (> 0) values on a 64-byte boundary, so that
// rows of 16-pixel multiples start on cache lines; zeroed when asked.
// Released with free(); null when memory runs out.  Windows' C library has
// no aligned allocation that free() releases: there the rows start where
// malloc puts them (16-byte boundaries), which only costs speed.
inline uint32_t* img_alloc_pixels(size_t count, bool zeroed) {
  constexpr size_t line = 64;
  const size_t bytes = (count * sizeof(uint32_t) + line - 1) / line * line;
#ifdef _WIN32
  void* pixels = std::malloc(bytes);
#else
  void* pixels = std::aligned_alloc(line, bytes);
#endif
  if (pixels != nullptr && zeroed) std::memset(pixels, 0, bytes);
  return static_cast<uint32_t*>(pixels);
}

// A new image of width x height whose pixels are left as allocated, for a
// caller that writes every one; null after exactly one report.  Sizes
// without pixels take img_new.
inline Image* img_new_unfilled(int32_t width, int32_t height) {
  if (!img_size_ok(width, height)) return img_fail();
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (count == 0) return img_new(width, height);
  uint32_t* pixels = img_alloc_pixels(count, false);
  if (pixels == nullptr) return img_fail();
  Image* image = img_create();
  if (image == nullptr) {
    std::free(pixels);
    return nullptr;  // img_create has reported
  }
  std::free(image->pixels);
  image->width = width;
  image->height = height;
  image->pixels = pixels;
  return image;
}

}  // namespace
