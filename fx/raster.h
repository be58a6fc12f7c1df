// Rasters: cyclic tables of colours painted into an image one colour per
// row.  Every invalid argument prints "RASTER error\n" on standard output.
#pragma once

#include <cstdint>

#include "core/image.h"

struct Raster {
  int32_t length;     // entries in colours; 256 after raster_create
  int32_t offset;     // table position painted into row 0
  uint32_t* colours;  // owned (unless static), 0x00RRGGBB
};

// A caller-owned raster in the same layout; the module only reads it.
struct RasterView {
  int32_t length;
  int32_t offset;
  const uint32_t* colours;
};

// Prints "RASTER error\n" on standard output.
void raster_error();

// New raster of 256 black entries, offset 0, or null (reported).
Raster* raster_create();
// Frees the raster and its table and nulls *raster; null is reported.
void raster_destroy(Raster** raster);
// Text-form placeholders: always null.
char* raster_to_text(const Raster* raster);
Raster* raster_from_text(const char* text);
// 1 when lengths and all colours are equal (offsets ignored), else 0.
int raster_equals_view(const Raster* raster, const RasterView* view);
// New raster holding a copy of the view's colours, offset 0.
Raster* raster_from_view(const RasterView* view);
// Replaces the table by length black entries and sets offset 0.
void raster_resize(Raster* raster, int32_t length);
// Sets every colour to 0.
void raster_clear(Raster* raster);
// Placeholder load and save: no file format of their own.
Raster* raster_load(const char* path);
int raster_save(const Raster* raster, const char* path);
// Row y of the image gets colours[(offset + y) mod length] across its width.
// A raster of length 0 is reported.
void raster_draw(const Raster* raster, Image* image);
// As raster_draw, blending each row in with weight 0 .. 256.
void raster_draw_blend(const Raster* raster, Image* image, int32_t weight);
// offset + 1, wrapping to 0 at length.
void raster_step(Raster* raster);
// Fills pixels x0 .. x1 of one row, clipped; a null image prints "IMG error\n".
void raster_fill_row(Image* image, uint32_t colour, int32_t row, int32_t x0, int32_t x1);
// Blends colour into pixels x0 .. x1 of one row with weight 0 .. 256.
void raster_blend_row(Image* image, uint32_t colour, int32_t row, int32_t x0,
                      int32_t x1, int32_t weight);
