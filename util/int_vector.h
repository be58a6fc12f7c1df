// A growable vector of signed 32-bit integers that doubles its capacity.
// It prints nothing: invalid calls are ignored or return 0, -1 or null.
// Operations that add elements grow first; when a growth fails (no memory,
// or a capacity that would pass INT32_MAX) they leave the vector unchanged.
#pragma once

#include <cstdint>

struct IntVector {
  int32_t* items;    // owned, capacity entries
  int32_t capacity;  // 2 for a new vector, doubled by every growth
  int32_t length;    // elements in use, 0 <= length <= capacity
};

// New empty vector of capacity 2, or null when memory runs out.
IntVector* ivec_create();
// Frees the vector and nulls *vector; null address or pointer is ignored.
void ivec_destroy(IntVector** vector);
// 1 when both are null, the same vector, or hold equal elements; else 0.
int ivec_equal(const IntVector* a, const IntVector* b);
// New vector with the same elements, or null.
IntVector* ivec_copy(const IntVector* vector);
// Text-form placeholders: always null.
char* ivec_to_text(const IntVector* vector);
IntVector* ivec_from_text(const char* text);
// Removes and returns the last element; 0 when null or empty.
int32_t ivec_pop(IntVector* vector);
// Appends value.
void ivec_push(IntVector* vector, int32_t value);
// Inserts value before index, 0 <= index <= length.  Value comes first.
void ivec_insert(IntVector* vector, int32_t value, int32_t index);
// Removes the element at index, 0 <= index < length.
void ivec_remove_at(IntVector* vector, int32_t index);
// Element at index, or 0 outside 0 .. length - 1.
int32_t ivec_get(const IntVector* vector, int32_t index);
// Stores value at index, 0 <= index < length.  Value comes first.
void ivec_set(IntVector* vector, int32_t value, int32_t index);
// Index of the first element equal to key (0 is searched like any other
// key), or -1.
int32_t ivec_find(const IntVector* vector, int32_t key);
// New vector of the elements from .. to - 1; null unless 0 <= from < to <= length.
IntVector* ivec_slice(const IntVector* vector, int32_t from, int32_t to);
// Removes the elements from .. to - 1, 0 <= from < to <= length.
void ivec_erase_range(IntVector* vector, int32_t from, int32_t to);
// Inserts source elements from .. to - 1 before index at of destination.
// Source and destination may be the same vector: the range is copied first.
void ivec_insert_range(const IntVector* source, IntVector* destination,
                       int32_t from, int32_t to, int32_t at);
// Doubles the capacity; 1, or 0 (unchanged) for a null vector, when memory
// runs out or when the capacity is above INT32_MAX / 2.
int ivec_grow(IntVector* vector);
