// Compositing and resampling: masked blit, nearest-neighbour scale, run
// tables, rotation, darkening, wrapped row copies and the AND mask.
//
// The blit, the scale, the row copies and the mask clip (or check) once and
// then walk the buffers with running indices; rotation and darkening go
// through the bounds-tested pixel accessors.
#include "core/image.h"
#include "core/image_internal.h"
#include "core/pixel_spans.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Element index of column x, row y; both lie inside the image.
size_t index_of(const Image* image, int64_t x, int64_t y) {
  return static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
}

// Turns a run table over a shrunk axis into the source unit each target
// unit takes: the first unit of its run, or with last the last one.
void runs_to_units(int32_t* runs, int32_t count, bool last) {
  int32_t start = 0;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t length = runs[k];
    runs[k] = last ? start + length - 1 : start;
    start += length;
  }
}

// One target row of the scale.  An enlarged (or equal) axis writes each
// source pixel its run length times; a shrunk one takes the unit table.
void scale_row(const uint32_t* src, uint32_t* dst, const int32_t* cols, int32_t src_width,
               int32_t dst_width) {
  if (src_width <= dst_width) {
    for (int32_t k = 0; k < src_width; ++k) {
      const uint32_t value = src[k];
      for (int32_t n = cols[k]; n > 0; --n) *dst++ = value;
    }
  } else {
    for (int32_t x = 0; x < dst_width; ++x) dst[x] = src[cols[x]];
  }
}

// The destination and source stretches of a wrapped row copy, after the
// shared argument tests and the offset reduction.
struct RowSpan {
  const uint32_t* src;
  uint32_t* dst;
  int32_t offset;  // destination column of the first stretch
  int32_t first;   // pixels in the first stretch, at offset ...
  int32_t second;  // ... and in the second, at column 0
};

// False when there is nothing to do; a bad argument has then been reported.
bool row_span(const Image* src, Image* dst, int32_t src_row, int32_t dst_row, int32_t offset,
              RowSpan* span) {
  if (img_usable_count(src) < 0 || img_usable_count(dst) < 0) return img_fail(false);
  if (src_row < 0 || src_row >= src->height || dst_row < 0 || dst_row >= dst->height) return img_fail(false);
  const int32_t dst_width = dst->width;
  if (dst_width == 0) return false;  // a row without pixels takes nothing
  // An offset equal to the width is left as it is and acts as 0.
  if (offset < 0 || offset > dst_width) {
    offset %= dst_width;
    if (offset < 0) offset += dst_width;
  }
  const int32_t used = src->width < dst_width ? src->width : dst_width;
  const int32_t room = dst_width - offset;
  span->src = src->pixels + index_of(src, 0, src_row);
  span->dst = dst->pixels + index_of(dst, 0, dst_row);
  span->offset = offset;
  span->first = room < used ? room : used;
  span->second = used - span->first;
  return true;
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

  rect_copy_masked(dst->pixels + index_of(dst, x1, y1), static_cast<size_t>(dst_w),
                   src->pixels + index_of(src, x0, y0), static_cast<size_t>(src_w), static_cast<size_t>(cw),
                   static_cast<size_t>(ch));
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
  Image* out = img_new(w, h);
  if (out == nullptr) return nullptr;
  const int32_t src_w = src->width, src_h = src->height;
  // Nothing to fill, or nothing to take from: the zero-filled result stands.
  if (int64_t{w} * h == 0 || int64_t{src_w} * src_h == 0) return out;

  int32_t* cols = img_run_lengths(w, src_w);
  if (cols == nullptr) { img_destroy(&out); return nullptr; }
  int32_t* rows = img_run_lengths(h, src_h);
  if (rows == nullptr) { std::free(cols); img_destroy(&out); return nullptr; }

  // Columns: an enlarged axis expands runs (unit u takes floor(u * w / W));
  // a shrunk one takes the last unit of each run.  Rows: an enlarged axis
  // repeats finished rows; a shrunk one takes the last unit of each run
  // when the columns shrink too, else the first.
  const bool shrink_cols = src_w > w;
  if (shrink_cols) runs_to_units(cols, w, true);
  const size_t src_pitch = static_cast<size_t>(src_w), dst_pitch = static_cast<size_t>(w);
  if (src_h > h) {
    runs_to_units(rows, h, shrink_cols);
    for (int32_t y = 0; y < h; ++y) {
      const uint32_t* from = src->pixels + static_cast<size_t>(rows[y]) * src_pitch;
      scale_row(from, out->pixels + static_cast<size_t>(y) * dst_pitch, cols, src_w, w);
    }
  } else {
    size_t y = 0;
    for (int32_t r = 0; r < src_h; ++r) {
      uint32_t* first = out->pixels + y * dst_pitch;
      scale_row(src->pixels + static_cast<size_t>(r) * src_pitch, first, cols, src_w, w);
      for (int32_t n = 1; n < rows[r]; ++n)
        std::memcpy(first + static_cast<size_t>(n) * dst_pitch, first + static_cast<size_t>(n - 1) * dst_pitch,
                    dst_pitch * sizeof(uint32_t));
      y += static_cast<size_t>(rows[r]);
    }
  }
  std::free(cols);
  std::free(rows);
  return out;
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
  RowSpan span;
  if (!row_span(src, dst, src_row, dst_row, offset, &span)) return;
  uint32_t* d = span.dst + span.offset;
  const uint32_t* s = span.src + span.first;
  if (src->pixels != dst->pixels) {
    std::memcpy(d, span.src, static_cast<size_t>(span.first) * sizeof(uint32_t));
    std::memcpy(span.dst, s, static_cast<size_t>(span.second) * sizeof(uint32_t));
    return;
  }
  // Within one image the stretches may overlap: copy front to back.
  for (int32_t i = 0; i < span.first; ++i) d[i] = span.src[i];
  for (int32_t j = 0; j < span.second; ++j) span.dst[j] = s[j];
}

void img_or_row_wrapped(const Image* src, Image* dst, int32_t src_row, int32_t dst_row, int32_t offset) {
  RowSpan span;
  if (!row_span(src, dst, src_row, dst_row, offset, &span)) return;
  uint32_t* d = span.dst + span.offset;
  const uint32_t* s = span.src + span.first;
  if (src->pixels != dst->pixels) {
    span_or(d, span.src, static_cast<size_t>(span.first));
    span_or(span.dst, s, static_cast<size_t>(span.second));
    return;
  }
  for (int32_t i = 0; i < span.first; ++i) d[i] |= span.src[i];
  for (int32_t j = 0; j < span.second; ++j) span.dst[j] |= s[j];
}

void img_and_mask(const Image* mask, Image* target) {
  const int64_t count = img_usable_count(mask);
  // A mask larger than its target would reach past the target's buffer.
  if (count < 0 || img_usable_count(target) < count) return img_error();
  if (mask->pixels == target->pixels) return;  // x & x is x
  span_and(target->pixels, mask->pixels, static_cast<size_t>(count));
}
