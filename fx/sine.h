// The shared sine table that drives every motion, and phase wrapping.
#pragma once

#include <cstdint>

// Every user takes the period from here, never from a literal.
inline constexpr int16_t sine_table_len = 1024;

// One period of sine samples, peak 32766; constant stored data.
extern const int16_t sine_table[sine_table_len];

// value brought into [0, n) for n > 0, negative values included
// (-1 gives n - 1, INT32_MIN works too); 0 when n <= 0.
int32_t wrap_index(int32_t value, int32_t n);
// value brought into [lo, hi] for lo <= hi; values inside are unchanged and
// values outside map periodically, lo + ((value - lo) mod (hi - lo + 1)).
// Any int32 arguments are safe; lo > hi returns value as it is.
int32_t wrap_range(int32_t value, int32_t lo, int32_t hi);
