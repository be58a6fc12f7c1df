// Compositing and resampling: masked blit, nearest-neighbour scale, run
// tables, rotation, darkening, wrapped row copies and the AND mask.
//
// The blit, the scale, the row copies and the mask clip (or check) once and
// then walk the buffers with running indices; rotation and darkening go
// through the bounds-tested pixel accessors.
#include "core/image.h"
#include "core/image_internal.h"
#include "core/pixel_spans.h"
#include "core/wrap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Element index of column x, row y; both lie inside the image.
size_t index_of(const Image* image, int64_t x, int64_t y) {
  return static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
}

// The source unit of target units from .. from + count - 1 of an axis of
// target units resampled from source units, as a table released with
// free(); null after a report.  These are the units of img_run_lengths'
// runs: an enlarged (or equal) axis gives source unit k the target units
// from ceil(k * T / S) on, so target unit u takes floor(u * S / T); a
// shrunk one gives target unit u the source units from ceil(u * S / T) on,
// and it takes the first of them or, with last, the last.  Both sizes are
// above 0 and at most img_max_pixels, and the range lies inside the target
// axis, so every product fits 64 bits.
int32_t* axis_units(int32_t target, int32_t source, bool last, int32_t from, int32_t count) {
  int32_t* units = static_cast<int32_t*>(std::malloc(static_cast<size_t>(count > 0 ? count : 1) * sizeof(int32_t)));
  if (units == nullptr) return img_fail();
  const int64_t t = target, s = source;
  if (source <= target) {
    // floor(u * S / T) step by step: the remainder grows by S < T or = T.
    int64_t unit = int64_t{from} * s / t, rest = int64_t{from} * s % t;
    for (int32_t i = 0; i < count; ++i) {
      units[i] = static_cast<int32_t>(unit);
      rest += s;
      const bool carry = rest >= t;
      unit += carry ? 1 : 0;
      rest -= carry ? t : 0;
    }
  } else {
    for (int32_t i = 0; i < count; ++i) {
      const int64_t u = int64_t{from} + i + (last ? 1 : 0);
      units[i] = static_cast<int32_t>((u * s + t - 1) / t - (last ? 1 : 0));
    }
  }
  return units;
}

// n pixels of s into d, stored or ORed in.  Stretches of one image may
// overlap: they are then taken front to back.
void take_stretch(uint32_t* d, const uint32_t* s, int32_t n, bool or_in, bool apart) {
  const size_t count = static_cast<size_t>(n);
  if (!apart) {
    for (size_t i = 0; i < count; ++i) d[i] = or_in ? d[i] | s[i] : s[i];
  } else if (or_in) {
    span_or(d, s, count);
  } else {
    std::memcpy(d, s, count * sizeof(uint32_t));
  }
}

// The walk behind img_copy_row_wrapped and img_or_row_wrapped: the row in
// two stretches, from offset to the end of the row, then from column 0.
void row_wrapped(const Image* src, Image* dst, int32_t src_row, int32_t dst_row, int32_t offset, bool or_in) {
  if (img_usable_count(src) < 0 || img_usable_count(dst) < 0) return img_error();
  if (src_row < 0 || src_row >= src->height || dst_row < 0 || dst_row >= dst->height) return img_error();
  const int32_t dst_width = dst->width;
  if (dst_width == 0) return;  // a row without pixels takes nothing
  // An offset equal to the width is left as it is and acts as 0.
  if (offset < 0 || offset > dst_width) offset = wrap_mod(offset, dst_width);
  const int32_t used = src->width < dst_width ? src->width : dst_width;
  const int32_t first = std::min(dst_width - offset, used);
  const uint32_t* s = src->pixels + index_of(src, 0, src_row);
  uint32_t* d = dst->pixels + index_of(dst, 0, dst_row);
  const bool apart = src->pixels != dst->pixels;
  take_stretch(d + offset, s, first, or_in, apart);
  take_stretch(d, s + first, used - first, or_in, apart);
}

}  // namespace

void img_blit_masked(const Image* src, Image* dst, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                     int32_t w, int32_t h) {
  if (img_usable_count(src) < 0 || img_usable_count(dst) < 0) return img_error();
  // 64-bit throughout, so no position plus size can overflow.
  int64_t x0 = sx, y0 = sy, x1 = dx, y1 = dy, cw = w, ch = h;
  const int64_t src_w = src->width, src_h = src->height, dst_w = dst->width, dst_h = dst->height;
  if (x1 >= dst_w || x1 + cw < 0 || y1 >= dst_h || y1 + ch < 0) return;
  if (x0 >= src_w || x0 + cw < 0 || y0 >= src_h || y0 + ch < 0) return;
  if (x1 < 0) { cw += x1; x0 -= x1; x1 = 0; }
  if (y1 < 0) { ch += y1; y0 -= y1; y1 = 0; }
  if (x1 + cw > dst_w) cw = dst_w - x1;
  if (y1 + ch > dst_h) ch = dst_h - y1;
  if (x0 < 0) { cw += x0; x1 -= x0; x0 = 0; }
  if (y0 < 0) { ch += y0; y1 -= y0; y0 = 0; }
  // The source's right and bottom edges too: no rectangle reads past them.
  if (x0 + cw > src_w) cw = src_w - x0;
  if (y0 + ch > src_h) ch = src_h - y0;
  if (cw <= 0 || ch <= 0) return;

  uint32_t* d = dst->pixels + index_of(dst, x1, y1);
  const uint32_t* s = src->pixels + index_of(src, x0, y0);
  const size_t d_pitch = static_cast<size_t>(dst_w), s_pitch = static_cast<size_t>(src_w);
  if (src->pixels != dst->pixels)
    rect_copy_masked_apart(d, d_pitch, s, s_pitch, static_cast<size_t>(cw), static_cast<size_t>(ch));
  else
    rect_copy_masked(d, d_pitch, s, s_pitch, static_cast<size_t>(cw), static_cast<size_t>(ch));
}

int32_t* img_run_lengths(int32_t a, int32_t b) {
  const int64_t abs_a = a < 0 ? -int64_t{a} : int64_t{a};  // exact for INT32_MIN
  const int64_t abs_b = b < 0 ? -int64_t{b} : int64_t{b};
  const int64_t units = abs_a > abs_b ? abs_a : abs_b;
  const int64_t runs = abs_a > abs_b ? abs_b : abs_a;
  // No runs to count into, or a table (and a count) beyond any image.
  if (runs == 0 || units > img_max_pixels) return img_fail();
  int32_t* table = static_cast<int32_t*>(std::calloc(static_cast<size_t>(runs), sizeof(int32_t)));
  if (table == nullptr) return img_fail();
  int64_t accumulator = units;
  size_t k = 0;
  for (int64_t u = 0; u < units; ++u) {
    ++table[k];
    accumulator -= runs;
    if (accumulator <= 0) {
      accumulator += units;
      ++k;
    }
  }
  return table;
}

Image* img_scale(const Image* src, int32_t w, int32_t h) {
  if (src == nullptr || w < 0 || h < 0) return img_fail();
  if (img_usable_count(src) < 0) return img_fail();
  const int32_t src_w = src->width, src_h = src->height;
  // Nothing to fill, or nothing to take from: a zero-filled result.
  if (int64_t{w} * h == 0 || int64_t{src_w} * src_h == 0) return img_new(w, h);
  Image* out = img_new_unfilled(w, h);  // every pixel is written below
  if (out == nullptr) return nullptr;
  // Rows of a shrunk axis take the last unit of their run when the columns
  // shrink too, else the first; shrunk columns always take the last.
  const bool shrink_cols = src_w > w;
  int32_t* cols = axis_units(w, src_w, true, 0, w);
  int32_t* rows = cols != nullptr ? axis_units(h, src_h, shrink_cols, 0, h) : nullptr;
  if (rows == nullptr) {
    std::free(cols);
    img_destroy(&out);
    return nullptr;
  }
  const size_t src_pitch = static_cast<size_t>(src_w), dst_pitch = static_cast<size_t>(w);
  for (int32_t y = 0; y < h; ++y) {
    uint32_t* row = out->pixels + static_cast<size_t>(y) * dst_pitch;
    if (y > 0 && rows[y] == rows[y - 1])
      std::memcpy(row, row - dst_pitch, dst_pitch * sizeof(uint32_t));  // a repeated source row
    else
      span_gather(row, src->pixels + static_cast<size_t>(rows[y]) * src_pitch, src_pitch, cols, dst_pitch);
  }
  std::free(cols);
  std::free(rows);
  return out;
}

void img_blit_scaled(const Image* src, int32_t w, int32_t h, Image* dst, int32_t dx, int32_t dy) {
  // The reports of img_scale, then those of the blit.
  if (src == nullptr || w < 0 || h < 0 || img_usable_count(src) < 0 || !img_size_ok(w, h)) return img_error();
  if (img_usable_count(dst) < 0) return img_error();
  const int32_t src_w = src->width, src_h = src->height;
  if (int64_t{w} * h == 0 || int64_t{src_w} * src_h == 0) return;  // all 0: nothing shows
  // The visible rectangle in the scaled image's coordinates, in 64 bits.
  const int64_t x0 = dx < 0 ? -int64_t{dx} : 0, y0 = dy < 0 ? -int64_t{dy} : 0;
  const int64_t x1 = std::min<int64_t>(w, int64_t{dst->width} - dx);
  const int64_t y1 = std::min<int64_t>(h, int64_t{dst->height} - dy);
  if (x0 >= x1 || y0 >= y1) return;
  const int32_t cw = static_cast<int32_t>(x1 - x0), ch = static_cast<int32_t>(y1 - y0);
  const bool shrink_cols = src_w > w;
  int32_t* cols = axis_units(w, src_w, true, static_cast<int32_t>(x0), cw);
  int32_t* rows = cols != nullptr ? axis_units(h, src_h, shrink_cols, static_cast<int32_t>(y0), ch) : nullptr;
  // Each source row is resampled once into a scratch row, which every
  // target row it covers then takes, masked.
  uint32_t* scratch = rows != nullptr ? static_cast<uint32_t*>(std::malloc(static_cast<size_t>(cw) * sizeof(uint32_t))) : nullptr;
  if (scratch != nullptr) {
    const size_t src_pitch = static_cast<size_t>(src_w), dst_pitch = static_cast<size_t>(dst->width);
    uint32_t* d = dst->pixels + index_of(dst, x0 + dx, y0 + dy);
    for (int32_t y = 0; y < ch;) {
      int32_t repeat = 1;
      while (y + repeat < ch && rows[y + repeat] == rows[y]) ++repeat;
      span_gather(scratch, src->pixels + static_cast<size_t>(rows[y]) * src_pitch, src_pitch, cols,
                  static_cast<size_t>(cw));
      rect_copy_masked_apart(d, dst_pitch, scratch, 0, static_cast<size_t>(cw), static_cast<size_t>(repeat));
      d += dst_pitch * static_cast<size_t>(repeat);
      y += repeat;
    }
  } else if (rows != nullptr) {
    img_error();  // no memory for the scratch row
  }
  std::free(scratch);
  std::free(cols);
  std::free(rows);
}

Image* img_rotate(const Image* src, double angle) {
  if (src == nullptr) return img_fail();
  // A missing buffer would report once per pixel; a NaN or infinite angle
  // has no integer positions.
  if (img_usable_count(src) < 0 || !std::isfinite(angle)) return img_fail();
  Image* out = img_new(src->width, src->height);
  if (out == nullptr) return nullptr;
  const double s = std::sin(-angle), c = std::cos(angle);
  const int32_t cx = src->width / 2, cy = src->height / 2;
  for (int32_t y = src->height - 1; y >= 0; --y) {
    for (int32_t x = src->width - 1; x >= 0; --x) {
      const double fx = x - cx, fy = y - cy;
      const int32_t u = static_cast<int32_t>(fx * c - fy * s);
      const int32_t v = static_cast<int32_t>(fx * s + fy * c);
      img_set_pixel(out, x, y, img_get_pixel(src, cx + u, cy + v));
    }
  }
  return out;
}

void img_darken(Image* image, uint8_t amount) {
  if (img_usable_count(image) < 0) return img_error();
  const int32_t a = amount;
  for (int32_t y = image->height - 1; y >= 0; --y) {
    for (int32_t x = image->width - 1; x >= 0; --x) {
      const uint32_t p = img_get_pixel(image, x, y);
      // Each channel on its own field, so none borrows from the next.
      const int32_t r = static_cast<int32_t>(p & 0xFF0000) - a * 65536;
      const int32_t g = static_cast<int32_t>(p & 0xFF00) - a * 256;
      const int32_t b = static_cast<int32_t>(p & 0xFF) - a;
      img_set_pixel(image, x, y,
                    static_cast<uint32_t>(r > 0 ? r : 0) | static_cast<uint32_t>(g > 0 ? g : 0) |
                        static_cast<uint32_t>(b > 0 ? b : 0));
    }
  }
}

void img_copy_row_wrapped(const Image* src, Image* dst, int32_t src_row, int32_t dst_row, int32_t offset) {
  row_wrapped(src, dst, src_row, dst_row, offset, false);
}

void img_or_row_wrapped(const Image* src, Image* dst, int32_t src_row, int32_t dst_row, int32_t offset) {
  row_wrapped(src, dst, src_row, dst_row, offset, true);
}

void img_and_mask(const Image* mask, Image* target) {
  const int64_t count = img_usable_count(mask);
  // A mask larger than its target would reach past the target's buffer.
  if (count < 0 || img_usable_count(target) < count) return img_error();
  if (mask->pixels == target->pixels) return;  // x & x is x
  span_and(target->pixels, mask->pixels, static_cast<size_t>(count));
}
