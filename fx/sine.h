// The shared sine table that drives every motion, and phase wrapping.
#pragma once

#include <cstdint>

#include "core/wrap.h"

// Every user takes the period from here, never from a literal.
inline constexpr int16_t sine_table_len = 1024;

// One period of sine samples, peak 32766; constant stored data.
extern const int16_t sine_table[sine_table_len];

// value brought into [0, n) for n > 0, negative values included
// (-1 gives n - 1, INT32_MIN works too); 0 when n <= 0.  Inline: the
// effects call it once per row, and a value already in range (the common
// case) costs one comparison.
inline int32_t wrap_index(int32_t value, int32_t n) {
  if (value >= 0 && value < n) return value;
  if (n <= 0) return 0;  // no range to wrap into; never divide by zero
  return wrap_mod(value, n);
}
// A table phase moved by step and brought back into [0, sine_table_len),
// for any phase and step: the sum is formed in 64 bits.
inline int32_t phase_add(int32_t phase, int32_t step) {
  return static_cast<int32_t>(wrap_mod(int64_t{phase} + step, int64_t{sine_table_len}));
}
// value brought into [lo, hi] for lo <= hi; values inside are unchanged and
// values outside map periodically, lo + ((value - lo) mod (hi - lo + 1)).
// Any int32 arguments are safe; lo > hi returns value as it is.
int32_t wrap_range(int32_t value, int32_t lo, int32_t hi);
