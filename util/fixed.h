// Fixed-point helpers shared by the effects.
#pragma once

#include <cstdint>

// value / 2^shift rounded toward minus infinity (an arithmetic shift right),
// computed without shifting a negative number.  shift is 0 .. 31.
// Branch-free: the bias 2^31 makes every value non-negative, the shift is
// then a plain one, and the shifted bias comes off again (mod 2^32, which
// the conversion back to int32 undoes exactly).
inline constexpr int32_t asr32(int32_t value, int shift) {
  const uint32_t bias = 0x80000000u;
  return static_cast<int32_t>(((static_cast<uint32_t>(value) ^ bias) >> shift) - (bias >> shift));
}
static_assert(asr32(-1, 16) == -1 && asr32(-65536, 16) == -1 && asr32(-65537, 16) == -2);
static_assert(asr32(65535, 16) == 0 && asr32(INT32_MIN, 31) == -1 && asr32(-3, 1) == -2);
static_assert(asr32(INT32_MAX, 0) == INT32_MAX && asr32(INT32_MIN, 0) == INT32_MIN && asr32(5, 1) == 2);
