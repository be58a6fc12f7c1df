// Rasters: colour tables painted into images one colour per row.
//
// The row fills behave exactly as a loop over img_set_pixel / img_get_pixel
// would (same pixels, same messages), but clip once and then run over the
// row directly; only an image without a buffer takes the per-pixel path,
// which reports every pixel as the accessors do.
#include "fx/raster.h"

#include "core/pixel_spans.h"
#include "core/wrap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Reports and yields the failure value: `return raster_fail();`.
template <typename T = std::nullptr_t>
T raster_fail(T value = T{}) {
  raster_error();
  return value;
}

// The clipped span x0 .. x1 of a row that lies inside the image; false when
// the row is outside (silently skipped) or nothing of the span is left.
bool clip_row(const Image* image, int32_t row, int32_t& x0, int32_t& x1) {
  if (row < 0 || row >= image->height) return false;
  if (x0 < 0) x0 = 0;
  if (x1 >= image->width) x1 = image->width - 1;
  return x0 <= x1;
}

uint32_t* row_start(Image* image, int32_t row) {
  return image->pixels + static_cast<size_t>(row) * static_cast<size_t>(image->width);
}

// One pixel d blended towards colour with weight b of 256.  Unsigned: the
// red sum reaches 0xFF000000, past INT32_MAX.
inline uint32_t blend(uint32_t d, uint32_t colour, uint32_t b) {
  const uint32_t keep = 256u - b;
  const uint32_t red = (((d & 0xFF0000u) * keep + (colour & 0xFF0000u) * b) >> 8) & 0xFF0000u;
  const uint32_t green = (((d & 0xFF00u) * keep + (colour & 0xFF00u) * b) >> 8) & 0xFF00u;
  const uint32_t blue = (((d & 0xFFu) * keep + (colour & 0xFFu) * b) >> 8) & 0xFFu;
  return red | green | blue;
}

// The painter behind raster_draw and raster_draw_blend: every row takes its
// entry, stored or blended in with weight.  A draw needs a raster with a
// table and at least one entry and an image with a buffer; reports
// otherwise.
void draw_rows(const Raster* raster, Image* image, bool blend, int32_t weight) {
  if (raster == nullptr || image == nullptr || raster->colours == nullptr || image->pixels == nullptr ||
      raster->length <= 0)
    return raster_error();
  // Row 0's entry in 0 .. length - 1, even for an offset set from outside.
  int32_t entry = wrap_mod(raster->offset, raster->length);
  for (int32_t y = 0; y < image->height; ++y) {
    if (blend)
      raster_blend_row(image, raster->colours[entry], y, 0, image->width - 1, weight);
    else
      raster_fill_row(image, raster->colours[entry], y, 0, image->width - 1);
    if (++entry == raster->length) entry = 0;
  }
}

}  // namespace

void raster_error() { std::fputs("RASTER error\n", stdout); }

// ---- life cycle ---------------------------------------------------------

Raster* raster_create() {
  Raster* raster = static_cast<Raster*>(std::calloc(1, sizeof(Raster)));
  if (raster == nullptr) return raster_fail();
  raster->colours = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  if (raster->colours == nullptr) {
    std::free(raster);
    return raster_fail();
  }
  raster->length = 256;
  return raster;
}

void raster_destroy(Raster** raster) {
  if (raster == nullptr || *raster == nullptr) return raster_error();
  std::free((*raster)->colours);
  std::free(*raster);
  *raster = nullptr;
}

char* raster_to_text(const Raster*) { return nullptr; }

Raster* raster_from_text(const char*) { return nullptr; }

int raster_equals_view(const Raster* raster, const RasterView* view) {
  if (raster == nullptr || view == nullptr) return raster_fail(0);
  if (raster->length != view->length) return 0;
  if (raster->length <= 0) return 1;
  if (raster->colours == nullptr || view->colours == nullptr) return raster_fail(0);
  const size_t bytes = static_cast<size_t>(raster->length) * sizeof(uint32_t);
  return std::memcmp(raster->colours, view->colours, bytes) == 0 ? 1 : 0;
}

Raster* raster_from_view(const RasterView* view) {
  if (view == nullptr || view->length < 0 || (view->length > 0 && view->colours == nullptr))
    return raster_fail();
  Raster* raster = raster_create();
  if (raster == nullptr) return nullptr;  // raster_create has reported
  raster_resize(raster, view->length);
  if (raster->colours == nullptr) {
    raster_destroy(&raster);
    return raster_fail();
  }
  if (view->length > 0)
    std::memcpy(raster->colours, view->colours, static_cast<size_t>(view->length) * sizeof(uint32_t));
  return raster;
}

void raster_resize(Raster* raster, int32_t length) {
  if (raster == nullptr || length < 0) return raster_error();
  std::free(raster->colours);
  // Length 0 keeps a one-entry table, so that an empty raster is not
  // mistaken for one whose allocation failed.
  const size_t count = length > 0 ? static_cast<size_t>(length) : 1;
  raster->colours = static_cast<uint32_t*>(std::calloc(count, sizeof(uint32_t)));
  raster->length = length;
  raster->offset = 0;
}

void raster_clear(Raster* raster) {
  if (raster == nullptr || raster->colours == nullptr) return raster_error();
  if (raster->length > 0) std::memset(raster->colours, 0, static_cast<size_t>(raster->length) * sizeof(uint32_t));
}

// ---- placeholder files --------------------------------------------------

Raster* raster_load(const char* path) {
  if (path == nullptr) return raster_fail();
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return raster_fail();
  std::fclose(file);
  Raster* raster = raster_create();
  if (raster == nullptr) return nullptr;  // raster_create has reported
  raster_resize(raster, 0);
  return raster;
}

int raster_save(const Raster* raster, const char* path) {
  if (raster == nullptr || raster->colours == nullptr || raster->length <= 0 || path == nullptr)
    return raster_fail(0);
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return raster_fail(0);
  std::fclose(file);
  return 1;
}

// ---- drawing ------------------------------------------------------------

void raster_draw(const Raster* raster, Image* image) { draw_rows(raster, image, false, 0); }

void raster_draw_blend(const Raster* raster, Image* image, int32_t weight) { draw_rows(raster, image, true, weight); }

void raster_step(Raster* raster) {
  if (raster == nullptr || raster->colours == nullptr) return raster_error();
  const int64_t next = int64_t{raster->offset} + 1;  // no overflow for any offset
  raster->offset = next >= raster->length ? 0 : static_cast<int32_t>(next);
}

void raster_fill_row(Image* image, uint32_t colour, int32_t row, int32_t x0, int32_t x1) {
  if (image == nullptr) return img_error();
  if (!clip_row(image, row, x0, x1)) return;
  if (image->pixels == nullptr) {
    for (int32_t x = x0; x <= x1; ++x) img_set_pixel(image, x, row, colour);  // reports each
    return;
  }
  uint32_t* line = row_start(image, row);
  span_fill(line + x0, colour, static_cast<size_t>(x1 - x0) + 1);
}

void raster_blend_row(Image* image, uint32_t colour, int32_t row, int32_t x0,
                      int32_t x1, int32_t weight) {
  if (image == nullptr) return img_error();
  if (!clip_row(image, row, x0, x1)) return;
  const uint32_t b = static_cast<uint32_t>(weight);
  if (image->pixels == nullptr) {
    for (int32_t x = x0; x <= x1; ++x) img_set_pixel(image, x, row, blend(img_get_pixel(image, x, row), colour, b));
    return;
  }
  uint32_t* line = row_start(image, row);
  for (int32_t x = x0; x <= x1; ++x) line[x] = blend(line[x], colour, b);
}
