// Tests of the sine table (against its rule evaluated with std::sin) and of
// the two wrapping helpers.
#include "fx/sine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

TEST(Sine, TableFollowsItsRule) {
  static_assert(std::is_same_v<decltype(sine_table_len), const int16_t>);
  EXPECT_EQ(sine_table_len, 1024);
  EXPECT_EQ(sizeof(sine_table) / sizeof(sine_table[0]), 1024u);

  // A quarter wave of rounded 32767 sin, two samples one higher, mirrored.
  std::vector<int32_t> expected(1024);
  for (int32_t k = 0; k < 256; ++k) {
    int32_t v = static_cast<int32_t>(std::lround(32767.0 * std::sin(2.0 * std::numbers::pi * k / 1024.0)));
    if (k == 129 || k == 183) v += 1;
    expected[k] = v;
    expected[511 - k] = v;
    expected[512 + k] = -v;
    expected[1023 - k] = -v;
  }
  for (int32_t i = 0; i < 1024; ++i) ASSERT_EQ(sine_table[i], expected[i]) << "entry " << i;

  const std::pair<int32_t, int32_t> checks[] = {
      {0, 0},         {1, 201},       {2, 402},      {3, 603},      {64, 12539},
      {128, 23170},   {129, 23312},   {183, 29535},  {192, 30273},  {255, 32766},
      {256, 32766},   {384, 23027},   {511, 0},      {512, 0},      {513, -201},
      {640, -23170},  {767, -32766},  {896, -23027}, {1023, 0}};
  for (const auto& [index, value] : checks) EXPECT_EQ(sine_table[index], value) << "entry " << index;

  int32_t top = INT32_MIN, bottom = INT32_MAX;
  for (int32_t i = 0; i < 512; ++i) {
    EXPECT_EQ(sine_table[i], sine_table[511 - i]) << i;
    EXPECT_EQ(sine_table[512 + i], -sine_table[i]) << i;
  }
  for (int16_t sample : sine_table) {
    top = sample > top ? sample : top;
    bottom = sample < bottom ? sample : bottom;
  }
  EXPECT_EQ(top, 32766);
  EXPECT_EQ(bottom, -32766);
}

TEST(Sine, WrapIndexGivesTheFloorRemainder) {
  EXPECT_EQ(wrap_index(1024, 1024), 0);
  EXPECT_EQ(wrap_index(2047, 1024), 1023);
  EXPECT_EQ(wrap_index(5, 1024), 5);
  EXPECT_EQ(wrap_index(-1, 1024), 1023);
  EXPECT_EQ(wrap_index(-3, 1024), 1021);
  EXPECT_EQ(wrap_index(-1024, 1024), 0);
  EXPECT_EQ(wrap_index(-1025, 1024), 1023);
  EXPECT_EQ(wrap_index(INT32_MIN, 1024), 0);
  EXPECT_EQ(wrap_index(INT32_MIN, 1000), 352);  // -2^31 = -2147484 * 1000 + 352
  EXPECT_EQ(wrap_index(INT32_MAX, 1024), 1023);
  EXPECT_EQ(wrap_index(INT32_MIN, INT32_MAX), INT32_MAX - 1);
  EXPECT_EQ(wrap_index(7, 1), 0);
  EXPECT_EQ(wrap_index(7, 0), 0);
  EXPECT_EQ(wrap_index(7, -3), 0);
  for (int32_t value = -3000; value <= 3000; value += 7) {
    const int32_t r = wrap_index(value, sine_table_len);
    EXPECT_TRUE(r >= 0 && r < 1024 && (value - r) % 1024 == 0) << value;
  }
}

TEST(Sine, WrapRangeMapsIntoTheRange) {
  const std::pair<int32_t, int32_t> ranges[] = {
      {-5, 5}, {3, 3}, {0, 1023}, {INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MIN + 2},
      {INT32_MAX - 1, INT32_MAX}, {INT32_MIN, 0}, {-1, INT32_MAX}};
  const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -1025, -6, -5, -1, 0, 1, 3, 5, 6, 17,
                            1024, 1 << 30, INT32_MAX - 1, INT32_MAX};
  for (const auto& [lo, hi] : ranges) {
    const int64_t span = int64_t{hi} - lo + 1;
    for (int32_t value : values) {
      const int32_t r = wrap_range(value, lo, hi);
      if (value >= lo && value <= hi) {
        EXPECT_EQ(r, value);
      } else {
        EXPECT_TRUE(r >= lo && r <= hi) << value << " in " << lo << ".." << hi << " gave " << r;
        EXPECT_EQ((int64_t{value} - r) % span, 0) << value << " in " << lo << ".." << hi;
      }
    }
  }
  // The periodic mapping: just past either end comes round to the other.
  EXPECT_EQ(wrap_range(6, -5, 5), -5);
  EXPECT_EQ(wrap_range(-6, -5, 5), 5);
  EXPECT_EQ(wrap_range(16, -5, 5), 5);
}

}  // namespace
