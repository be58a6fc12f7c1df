// One definition of each span loop, cloned per instruction set: the loops
// are written so that the compiler vectorises them, and the clones let one
// binary use AVX-512 or AVX2 where the processor has them.
#include "core/pixel_spans.h"

#include <cstring>

// x86-64 g++ on Linux only: the clones need the x86 instruction sets and
// the ifunc that picks one at start-up.  Other processors keep the plain
// loops, which the compiler vectorises for their own vectors (NEON, VSX,
// ...); clang, which builds the fuzz targets, names the clones so that
// callers in other files do not find them; Windows programs have no ifunc,
// and mingw-w64's g++ does not align the stack for AVX-512 values.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define VORN_SPAN_WIDE 1
#define VORN_SPAN_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VORN_SPAN_WIDE 0
#define VORN_SPAN_CLONES
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

namespace {

VORN_SPAN_CLONES void or3_each(uint32_t* __restrict d, const uint32_t* a, const uint32_t* b, const uint32_t* c,
                               size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] = a[i] | b[i] | c[i];
}

#if VORN_SPAN_WIDE
// Sixteen pixels in GCC's vector notation, whose two-vector shuffle with
// lanes chosen at run time is one permutation (vpermt2d) under AVX-512.
typedef uint32_t Lanes16 __attribute__((vector_size(64)));

__attribute__((target("avx512f"))) inline Lanes16 load16(const uint32_t* p) {
  Lanes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One stream of span_or3_shifted: aligned lines, each joined with the next
// and shifted by the start's place in its line.
struct LineStream {
  const uint32_t* line;
  Lanes16 lanes, current;
};

__attribute__((target("avx512f"))) inline LineStream line_stream(const uint32_t* base, size_t start) {
  const Lanes16 lane = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const uint32_t* line = base + (start & ~size_t{15});
  return LineStream{line, lane + static_cast<uint32_t>(start & 15), load16(line)};
}

__attribute__((target("avx512f"))) void or3_lines(uint32_t* d, const uint32_t* a, size_t sa,
                                                  const uint32_t* b, size_t sb, const uint32_t* c, size_t sc,
                                                  size_t n) {
  LineStream x = line_stream(a, sa), y = line_stream(b, sb), z = line_stream(c, sc);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const Lanes16 xn = load16(x.line + i + 16), yn = load16(y.line + i + 16), zn = load16(z.line + i + 16);
    const Lanes16 out = __builtin_shuffle(x.current, xn, x.lanes) | __builtin_shuffle(y.current, yn, y.lanes) |
                        __builtin_shuffle(z.current, zn, z.lanes);
    std::memcpy(d + i, &out, sizeof out);
    x.current = xn;
    y.current = yn;
    z.current = zn;
  }
  for (; i < n; ++i) d[i] = a[sa + i] | b[sb + i] | c[sc + i];
}
#endif

}  // namespace

void span_or3_shifted(uint32_t* d, const uint32_t* a, size_t sa, const uint32_t* b, size_t sb,
                      const uint32_t* c, size_t sc, size_t n) {
#if VORN_SPAN_WIDE
  static const bool lines = __builtin_cpu_supports("avx512f");
  if (lines) return or3_lines(d, a, sa, b, sb, c, sc, n);
#endif
  or3_each(d, a + sa, b + sb, c + sc, n);
}

namespace {

VORN_SPAN_CLONES void gather_each(uint32_t* __restrict d, const uint32_t* __restrict s,
                                  const int32_t* __restrict index, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] = s[index[i]];
}

#if VORN_SPAN_WIDE
__attribute__((target("avx512f"))) void gather_near(uint32_t* __restrict d, const uint32_t* __restrict s,
                                                    size_t s_count, const int32_t* __restrict index, size_t n) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const size_t first = static_cast<size_t>(index[i]);
    if (static_cast<size_t>(index[i + 15]) - first < 16 && first + 16 <= s_count) {
      Lanes16 lanes = load16(reinterpret_cast<const uint32_t*>(index + i));
      lanes -= static_cast<uint32_t>(first);
      const Lanes16 out = __builtin_shuffle(load16(s + first), lanes);
      std::memcpy(d + i, &out, sizeof out);
    } else {
      for (size_t j = i; j < i + 16; ++j) d[j] = s[index[j]];
    }
  }
  for (; i < n; ++i) d[i] = s[index[i]];
}
#endif

}  // namespace

void span_gather(uint32_t* d, const uint32_t* s, [[maybe_unused]] size_t s_count, const int32_t* index, size_t n) {
#if VORN_SPAN_WIDE
  static const bool lines = __builtin_cpu_supports("avx512f");
  if (lines) return gather_near(d, s, s_count, index, n);
#endif
  gather_each(d, s, index, n);
}

namespace {

// A fixed count becomes straight-line vector code.
template <int32_t scale>
void widen_by(const uint32_t* __restrict s, size_t n, uint32_t* __restrict d) {
  for (size_t i = 0; i < n; ++i)
    for (int32_t k = 0; k < scale; ++k) d[i * scale + static_cast<size_t>(k)] = s[i];
}
using Widen = void (*)(const uint32_t*, size_t, uint32_t*);

}  // namespace

void span_widen(uint32_t* d, const uint32_t* s, size_t n, int32_t scale) {
  static constexpr Widen widen[] = {widen_by<1>, widen_by<2>, widen_by<3>, widen_by<4>,
                                    widen_by<5>, widen_by<6>, widen_by<7>, widen_by<8>};
  if (scale <= 8) return widen[scale - 1](s, n, d);
  // Screens of 2304 rows and more (9 x 256): no case of their own.
  const size_t times = static_cast<size_t>(scale);
  for (size_t i = 0; i < n; ++i) span_fill(d + i * times, s[i], times);
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
