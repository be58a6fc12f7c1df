// The growable integer vector.  Every growth is done as one allocation of
// the final doubled capacity, so a failed growth leaves the vector exactly
// as it was, with the capacity the doublings one by one would have given.
#include "util/int_vector.h"

#include <cstdlib>
#include <cstring>

namespace {

// Largest capacity that may still be doubled inside int32.
constexpr int32_t max_growable = INT32_MAX / 2;

// Makes room for at least needed elements by doubling the capacity as often
// as it takes; false (vector unchanged) when that would overflow int32 or
// memory runs out.
bool reserve(IntVector* vector, int64_t needed) {
  if (needed <= vector->capacity) return true;
  if (vector->capacity < 1) return false;  // a record no doubling can grow
  int64_t capacity = vector->capacity;
  while (capacity < needed) {
    if (capacity > max_growable) return false;
    capacity *= 2;
  }
  int32_t* items = static_cast<int32_t*>(std::calloc(static_cast<size_t>(capacity), sizeof(int32_t)));
  if (items == nullptr) return false;
  if (vector->length > 0) std::memcpy(items, vector->items, static_cast<size_t>(vector->length) * sizeof(int32_t));
  std::free(vector->items);
  vector->items = items;
  vector->capacity = static_cast<int32_t>(capacity);
  return true;
}

// New vector holding count elements copied from items, with the capacity
// that appending them one by one to a new vector gives.
IntVector* make_from(const int32_t* items, int32_t count) {
  IntVector* vector = ivec_create();
  if (vector == nullptr) return nullptr;
  if (!reserve(vector, count)) {
    ivec_destroy(&vector);
    return nullptr;
  }
  if (count > 0) std::memcpy(vector->items, items, static_cast<size_t>(count) * sizeof(int32_t));
  vector->length = count;
  return vector;
}

// 0 <= from < to <= length, the one range form every range operation takes.
bool range_ok(const IntVector* vector, int32_t from, int32_t to) {
  return from >= 0 && from < to && to <= vector->length;
}

}  // namespace

IntVector* ivec_create() {
  IntVector* vector = static_cast<IntVector*>(std::calloc(1, sizeof(IntVector)));
  if (vector == nullptr) return nullptr;
  vector->items = static_cast<int32_t*>(std::calloc(2, sizeof(int32_t)));
  if (vector->items == nullptr) {
    std::free(vector);
    return nullptr;
  }
  vector->capacity = 2;
  return vector;
}

void ivec_destroy(IntVector** vector) {
  if (vector == nullptr || *vector == nullptr) return;
  std::free((*vector)->items);
  std::free(*vector);
  *vector = nullptr;
}

int ivec_equal(const IntVector* a, const IntVector* b) {
  if (a == b) return 1;  // the same vector, or both null
  if (a == nullptr || b == nullptr || a->length != b->length) return 0;
  if (a->length == 0) return 1;
  return std::memcmp(a->items, b->items, static_cast<size_t>(a->length) * sizeof(int32_t)) == 0;
}

IntVector* ivec_copy(const IntVector* vector) {
  if (vector == nullptr) return nullptr;
  return make_from(vector->items, vector->length);
}

char* ivec_to_text(const IntVector*) { return nullptr; }

IntVector* ivec_from_text(const char*) { return nullptr; }

int32_t ivec_pop(IntVector* vector) {
  if (vector == nullptr || vector->length <= 0) return 0;
  vector->length -= 1;
  return vector->items[vector->length];
}

void ivec_push(IntVector* vector, int32_t value) {
  if (vector == nullptr || !reserve(vector, int64_t{vector->length} + 1)) return;
  vector->items[vector->length] = value;
  vector->length += 1;
}

void ivec_insert(IntVector* vector, int32_t value, int32_t index) {
  if (vector == nullptr || index < 0 || index > vector->length) return;
  if (!reserve(vector, int64_t{vector->length} + 1)) return;
  int32_t* items = vector->items;
  std::memmove(items + index + 1, items + index, static_cast<size_t>(vector->length - index) * sizeof(int32_t));
  items[index] = value;
  vector->length += 1;
}

void ivec_remove_at(IntVector* vector, int32_t index) {
  if (vector == nullptr || index < 0 || index >= vector->length) return;
  int32_t* items = vector->items;
  std::memmove(items + index, items + index + 1, static_cast<size_t>(vector->length - index - 1) * sizeof(int32_t));
  vector->length -= 1;
}

int32_t ivec_get(const IntVector* vector, int32_t index) {
  if (vector == nullptr || index < 0 || index >= vector->length) return 0;
  return vector->items[index];
}

void ivec_set(IntVector* vector, int32_t value, int32_t index) {
  if (vector == nullptr || index < 0 || index >= vector->length) return;
  vector->items[index] = value;
}

int32_t ivec_find(const IntVector* vector, int32_t key) {
  if (vector == nullptr) return -1;
  // Every key is searched, 0 included.
  for (int32_t i = 0; i < vector->length; ++i)
    if (vector->items[i] == key) return i;
  return -1;
}

IntVector* ivec_slice(const IntVector* vector, int32_t from, int32_t to) {
  if (vector == nullptr || !range_ok(vector, from, to)) return nullptr;
  return make_from(vector->items + from, to - from);
}

void ivec_erase_range(IntVector* vector, int32_t from, int32_t to) {
  if (vector == nullptr || !range_ok(vector, from, to)) return;
  int32_t* items = vector->items;
  std::memmove(items + from, items + to, static_cast<size_t>(vector->length - to) * sizeof(int32_t));
  vector->length -= to - from;
}

void ivec_insert_range(const IntVector* source, IntVector* destination,
                       int32_t from, int32_t to, int32_t at) {
  if (source == nullptr || destination == nullptr || !range_ok(source, from, to)) return;
  if (at < 0 || at > destination->length) return;
  const int32_t n = to - from;
  if (!reserve(destination, int64_t{destination->length} + n)) return;
  int32_t* items = destination->items;
  std::memmove(items + at + n, items + at, static_cast<size_t>(destination->length - at) * sizeof(int32_t));
  // Read after the growth: a self-insert's source is the new array.  The
  // gap at .. at + n - 1 overlaps no element of the range: those before at
  // stay, those from at on have moved up by n.  So the result is that of
  // copying the range first.
  const bool self = source == destination;
  const int32_t* from_items = source->items;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t index = from + k;
    items[at + k] = from_items[self && index >= at ? index + n : index];
  }
  destination->length += n;
}

int ivec_grow(IntVector* vector) {
  if (vector == nullptr) return 0;
  return reserve(vector, int64_t{vector->capacity} + 1) ? 1 : 0;
}
