// Fixed-point helpers shared by the effects.
#pragma once

#include <cstdint>

// value / 2^shift rounded toward minus infinity (an arithmetic shift right),
// computed without shifting a negative number.  shift is 0 .. 31.
inline constexpr int32_t asr32(int32_t value, int shift) {
  if (value >= 0) return value >> shift;
  const uint32_t magnitude = 0u - static_cast<uint32_t>(value);     // |value|, exact for INT32_MIN
  const uint32_t quotient = (magnitude + ((1u << shift) - 1u)) >> shift;  // ceil(|value| / 2^shift)
  return static_cast<int32_t>(0u - quotient);
}
static_assert(asr32(-1, 16) == -1 && asr32(-65536, 16) == -1 && asr32(-65537, 16) == -2);
static_assert(asr32(65535, 16) == 0 && asr32(INT32_MIN, 31) == -1 && asr32(-3, 1) == -2);
