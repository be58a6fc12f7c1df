// The inner loops of the image operations: plain stretches of pixels, after
// all clipping is done.  Each is compiled for several instruction sets and
// picks the widest the processor has when the program starts.  Callers pass
// stretches that lie inside their buffers; n may be 0.
#pragma once

#include <cstddef>
#include <cstdint>

// d[i] = value.
void span_fill(uint32_t* d, uint32_t value, size_t n);
// d[i] |= s[i]; the stretches do not overlap.
void span_or(uint32_t* d, const uint32_t* s, size_t n);
// d[i] &= s[i]; the stretches do not overlap.
void span_and(uint32_t* d, const uint32_t* s, size_t n);
// d[i] = a[sa + i] | b[sb + i] | c[sc + i]; d overlaps none of the others.
// a, b and c start on 64-byte boundaries and can be read up to 16 values
// past sa + n, sb + n and sc + n rounded down to 16: with AVX-512 every
// row is then read in whole cache lines and shifted into place in
// registers, since loads across two lines are what bounds this loop.
void span_or3_shifted(uint32_t* d, const uint32_t* a, size_t sa, const uint32_t* b, size_t sb,
                      const uint32_t* c, size_t sc, size_t n);
// d[i] = s[index[i]] for every i, index non-decreasing and below s_count;
// d overlaps neither s nor index.  With AVX-512, 16 indices that lie
// within 16 pixels (an enlarged or kept axis) take one load and one
// permutation.
void span_gather(uint32_t* d, const uint32_t* s, size_t s_count, const int32_t* index, size_t n);
// d[i * scale + k] = s[i] for every k below scale: each pixel scale times
// in a row (a row enlarged by scale, nearest neighbour); scale is 1 or
// more, d overlaps not s.
void span_widen(uint32_t* d, const uint32_t* s, size_t n, int32_t scale);
// rows x width pixels: each non-zero source pixel replaces the destination
// pixel, row after row with the given pitches.  Source and destination rows
// may be the same buffer: each row is read and written front to back.
void rect_copy_masked(uint32_t* d, size_t d_pitch, const uint32_t* s, size_t s_pitch, size_t width,
                      size_t rows);
// The same for a source and a destination that do not overlap.
void rect_copy_masked_apart(uint32_t* d, size_t d_pitch, const uint32_t* s, size_t s_pitch, size_t width,
                            size_t rows);
