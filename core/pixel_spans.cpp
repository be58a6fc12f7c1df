// One definition of each span loop, cloned per instruction set: the loops
// are written so that the compiler vectorises them, and the clones let one
// binary use AVX-512 or AVX2 where the processor has them.
#include "core/pixel_spans.h"

// g++ only: clang, which builds the fuzz targets, names the clones so that
// callers in other files do not find them; there the loops stay plain.
#if defined(__clang__)
#define VORN_SPAN_CLONES
#else
#define VORN_SPAN_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

VORN_SPAN_CLONES void span_fill(uint32_t* __restrict d, uint32_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] = value;
}

VORN_SPAN_CLONES void span_or(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] |= s[i];
}

VORN_SPAN_CLONES void span_and(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] &= s[i];
}

VORN_SPAN_CLONES void span_or3(uint32_t* __restrict d, const uint32_t* a, const uint32_t* b, const uint32_t* c,
                               size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] = a[i] | b[i] | c[i];
}

VORN_SPAN_CLONES void span_gather(uint32_t* __restrict d, const uint32_t* __restrict s,
                                  const int32_t* __restrict index, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] = s[index[i]];
}

VORN_SPAN_CLONES void span_gather_masked(uint32_t* __restrict d, const uint32_t* __restrict s,
                                         const int32_t* __restrict index, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t value = s[index[i]];
    d[i] = value != 0 ? value : d[i];
  }
}

VORN_SPAN_CLONES void rect_copy_masked_apart(uint32_t* __restrict d, size_t d_pitch,
                                             const uint32_t* __restrict s, size_t s_pitch, size_t width,
                                             size_t rows) {
  if (width == 16) {
    // Sprite rows: a fixed width becomes straight-line vector code.
    for (size_t row = 0; row < rows; ++row, d += d_pitch, s += s_pitch) {
      uint32_t line[16];
      for (size_t i = 0; i < 16; ++i) line[i] = s[i] != 0 ? s[i] : d[i];
      for (size_t i = 0; i < 16; ++i) d[i] = line[i];
    }
    return;
  }
  for (size_t row = 0; row < rows; ++row, d += d_pitch, s += s_pitch)
    for (size_t i = 0; i < width; ++i) d[i] = s[i] != 0 ? s[i] : d[i];
}

VORN_SPAN_CLONES void rect_copy_masked(uint32_t* d, size_t d_pitch, const uint32_t* s, size_t s_pitch,
                                       size_t width, size_t rows) {
  for (size_t row = 0; row < rows; ++row, d += d_pitch, s += s_pitch) {
    // A select, so that the loop vectorises: a 0 keeps the old value.
    for (size_t i = 0; i < width; ++i) d[i] = s[i] != 0 ? s[i] : d[i];
  }
}
