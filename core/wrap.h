// The non-negative remainder that wrapped positions, table entries and
// phases are brought back into range with.
#pragma once

// value mod n in [0, n) for n > 0, negative values included: % keeps the
// sign of value, and adding n to a remainder in (-n, 0) stays inside the
// range, so nothing can overflow.
template <typename Int>
constexpr Int wrap_mod(Int value, Int n) {
  const Int remainder = value % n;
  return remainder < 0 ? remainder + n : remainder;
}
