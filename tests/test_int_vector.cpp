// Tests of the integer vector: growth, bounds of every indexed operation,
// ranges, and inserting a vector's range into itself.
#include "util/int_vector.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct VectorFree {
  void operator()(IntVector* vector) const { ivec_destroy(&vector); }
};
using Owned = std::unique_ptr<IntVector, VectorFree>;

Owned make(const std::vector<int32_t>& values) {
  Owned vector(ivec_create());
  for (int32_t value : values) ivec_push(vector.get(), value);
  return vector;
}

std::vector<int32_t> items_of(const IntVector* vector) {
  return {vector->items, vector->items + vector->length};
}

TEST(IntVector, GrowsByDoublingAndRefusesToOverflow) {
  Owned v(ivec_create());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->length, 0);
  EXPECT_EQ(v->capacity, 2);
  for (int32_t i = 1; i <= 5; ++i) {
    ivec_push(v.get(), i * 10);
    if (i == 3) {
      EXPECT_EQ(v->capacity, 4);
    }
  }
  EXPECT_EQ(v->capacity, 8);
  EXPECT_EQ(ivec_grow(v.get()), 1);
  EXPECT_EQ(v->capacity, 16);
  EXPECT_EQ(items_of(v.get()), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  EXPECT_EQ(ivec_grow(nullptr), 0);

  // Three elements into a full vector of two: two doublings, to 8.
  Owned dst = make({1, 2});
  Owned src = make({7, 8, 9});
  ivec_insert_range(src.get(), dst.get(), 0, 3, 2);
  EXPECT_EQ(dst->capacity, 8);
  EXPECT_EQ(items_of(dst.get()), (std::vector<int32_t>{1, 2, 7, 8, 9}));

  // A capacity whose double passes INT32_MAX is refused before anything is
  // allocated or read (the record claims more than its one real item).
  int32_t one = 5;
  IntVector huge{&one, int32_t{1} << 30, int32_t{1} << 30};
  EXPECT_EQ(ivec_grow(&huge), 0);
  ivec_push(&huge, 1);
  ivec_insert(&huge, 1, 0);
  EXPECT_EQ(huge.capacity, int32_t{1} << 30);
  EXPECT_EQ(huge.length, int32_t{1} << 30);
  EXPECT_EQ(huge.items, &one);
  EXPECT_EQ(one, 5);
}

TEST(IntVector, PopEqualCopyAndDestroy) {
  Owned v(ivec_create());
  EXPECT_EQ(ivec_pop(v.get()), 0);
  EXPECT_EQ(v->length, 0);
  EXPECT_EQ(ivec_pop(nullptr), 0);
  ivec_push(v.get(), 1);
  ivec_push(v.get(), 2);
  EXPECT_EQ(ivec_pop(v.get()), 2);
  Owned one = make({1});
  EXPECT_EQ(ivec_equal(v.get(), one.get()), 1);

  EXPECT_EQ(ivec_equal(nullptr, nullptr), 1);
  EXPECT_EQ(ivec_equal(v.get(), v.get()), 1);
  EXPECT_EQ(ivec_equal(v.get(), nullptr), 0);
  EXPECT_EQ(ivec_equal(nullptr, v.get()), 0);
  Owned longer = make({1, 0});
  EXPECT_EQ(ivec_equal(v.get(), longer.get()), 0);
  Owned other = make({3});
  EXPECT_EQ(ivec_equal(v.get(), other.get()), 0);

  Owned five = make({1, 2, 3, 4, 5});
  Owned copy(ivec_copy(five.get()));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->items, five->items);
  EXPECT_EQ(ivec_equal(copy.get(), five.get()), 1);
  EXPECT_EQ(copy->capacity, 8);
  Owned empty(ivec_create());
  Owned empty_copy(ivec_copy(empty.get()));
  EXPECT_EQ(empty_copy->capacity, 2);
  EXPECT_EQ(ivec_copy(nullptr), nullptr);
  EXPECT_EQ(ivec_to_text(five.get()), nullptr);
  EXPECT_EQ(ivec_from_text("{1}"), nullptr);

  IntVector* raw = ivec_create();
  ivec_destroy(&raw);
  EXPECT_EQ(raw, nullptr);
  ivec_destroy(&raw);
  ivec_destroy(nullptr);
}

TEST(IntVector, IndexedOperationsKeepTheirBounds) {
  Owned v = make({4, 5, 6});
  ivec_insert(v.get(), 7, 3);  // at length: appends
  ivec_insert(v.get(), 9, 5);  // past length: ignored
  ivec_insert(v.get(), 9, -1);
  ivec_insert(v.get(), 3, 0);
  EXPECT_EQ(items_of(v.get()), (std::vector<int32_t>{3, 4, 5, 6, 7}));

  EXPECT_EQ(ivec_get(v.get(), -1), 0);
  EXPECT_EQ(ivec_get(v.get(), 5), 0);
  EXPECT_EQ(ivec_get(v.get(), 4), 7);
  EXPECT_EQ(ivec_get(nullptr, 0), 0);
  ivec_set(v.get(), 99, 5);  // a set never extends
  ivec_set(v.get(), 99, -1);
  ivec_set(v.get(), 8, 4);
  EXPECT_EQ(items_of(v.get()), (std::vector<int32_t>{3, 4, 5, 6, 8}));

  ivec_remove_at(v.get(), 4);  // the last: just shorter
  ivec_remove_at(v.get(), 4);
  ivec_remove_at(v.get(), -1);
  ivec_remove_at(v.get(), 1);
  EXPECT_EQ(items_of(v.get()), (std::vector<int32_t>{3, 5, 6}));

  // 0 is found like any key; absent keys and null give -1.
  Owned zeros = make({2, 0, 1, 0});
  EXPECT_EQ(ivec_find(zeros.get(), 0), 1);
  EXPECT_EQ(ivec_find(zeros.get(), 1), 2);
  EXPECT_EQ(ivec_find(zeros.get(), 3), -1);
  EXPECT_EQ(ivec_find(nullptr, 0), -1);
  zeros->length = 1;  // entries past length are not elements
  EXPECT_EQ(ivec_find(zeros.get(), 0), -1);
}

TEST(IntVector, RangesKeepTheirBounds) {
  Owned v = make({1, 2, 3, 4, 5});
  EXPECT_EQ(ivec_slice(v.get(), 2, 2), nullptr);
  EXPECT_EQ(ivec_slice(v.get(), -1, 2), nullptr);
  EXPECT_EQ(ivec_slice(v.get(), 3, 6), nullptr);
  EXPECT_EQ(ivec_slice(v.get(), 3, 2), nullptr);
  Owned all(ivec_slice(v.get(), 0, 5));
  EXPECT_EQ(ivec_equal(all.get(), v.get()), 1);
  EXPECT_EQ(all->capacity, 8);
  Owned middle(ivec_slice(v.get(), 1, 4));
  EXPECT_EQ(items_of(middle.get()), (std::vector<int32_t>{2, 3, 4}));
  EXPECT_EQ(middle->capacity, 4);

  ivec_erase_range(v.get(), 1, 1);
  ivec_erase_range(v.get(), 4, 6);
  ivec_erase_range(v.get(), -1, 2);
  EXPECT_EQ(v->length, 5);
  ivec_erase_range(v.get(), 1, 3);
  EXPECT_EQ(items_of(v.get()), (std::vector<int32_t>{1, 4, 5}));
  ivec_erase_range(v.get(), 0, 3);
  EXPECT_EQ(v->length, 0);
  EXPECT_EQ(v->capacity, 8);

  Owned dst = make({1, 2});
  Owned src = make({7, 8, 9});
  ivec_insert_range(src.get(), dst.get(), 1, 1, 0);  // empty range
  ivec_insert_range(src.get(), dst.get(), 0, 4, 0);  // past the source
  ivec_insert_range(src.get(), dst.get(), 0, 1, 3);  // past the destination
  ivec_insert_range(src.get(), dst.get(), 0, 1, -1);
  ivec_insert_range(nullptr, dst.get(), 0, 1, 0);
  ivec_insert_range(src.get(), nullptr, 0, 1, 0);
  EXPECT_EQ(items_of(dst.get()), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(dst->capacity, 2);
  ivec_insert_range(src.get(), dst.get(), 1, 3, 1);
  EXPECT_EQ(items_of(dst.get()), (std::vector<int32_t>{1, 8, 9, 2}));
  EXPECT_EQ(items_of(src.get()), (std::vector<int32_t>{7, 8, 9}));
}

// Every range of a vector inserted into itself at every place gives what
// inserting a copy of the range gives (std::vector is the oracle).
TEST(IntVector, InsertRangeIntoItselfCopiesTheRangeFirst) {
  const std::vector<int32_t> start{10, 11, 12, 13, 14, 15};
  const int32_t n = static_cast<int32_t>(start.size());
  for (int32_t from = 0; from < n; ++from)
    for (int32_t to = from + 1; to <= n; ++to)
      for (int32_t at = 0; at <= n; ++at) {
        std::vector<int32_t> expected = start;
        const std::vector<int32_t> range(start.begin() + from, start.begin() + to);
        expected.insert(expected.begin() + at, range.begin(), range.end());
        Owned v = make(start);
        ivec_insert_range(v.get(), v.get(), from, to, at);
        EXPECT_EQ(items_of(v.get()), expected) << from << ".." << to << " at " << at;
      }
}

}  // namespace
