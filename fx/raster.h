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
// 1 when lengths and all colours are equal (offsets ignored), else 0; a null
// argument, or a missing table where colours must be compared, is reported.
int raster_equals_view(const Raster* raster, const RasterView* view);
// New raster holding a copy of the view's colours, offset 0, or null after a
// report (a null view, a negative length, a missing table, no memory).
Raster* raster_from_view(const RasterView* view);
// Replaces the table by length black entries and sets offset 0.  A null
// raster or a negative length is reported and changes nothing; length 0
// keeps a one-entry table.  A failed allocation leaves no table, silently.
void raster_resize(Raster* raster, int32_t length);
// Sets every colour to 0; a null raster or missing table is reported.
void raster_clear(Raster* raster);
// Placeholder load and save: no file format of their own.  Load opens the
// file ("rb") and closes it unread, then returns a raster of length 0; null
// after a report for a null path or a file that cannot be opened.  Save
// creates or empties the file ("w") and returns 1; 0 after a report for a
// null raster, no table, length 0, a null path or a file it cannot open.
Raster* raster_load(const char* path);
int raster_save(const Raster* raster, const char* path);
// Row y of the image gets colours[(offset + y) mod length] across its width
// (the mod taken non-negative).  A null raster or image, a missing table or
// buffer and a raster of length 0 are reported.
void raster_draw(const Raster* raster, Image* image);
// As raster_draw, blending each row in with weight 0 .. 256.
void raster_draw_blend(const Raster* raster, Image* image, int32_t weight);
// offset + 1, wrapping to 0 at length; a null raster or missing table is
// reported.
void raster_step(Raster* raster);
// Fills pixels x0 .. x1 of one row, clipped to the image; a row outside it
// is skipped silently; a null image prints "IMG error\n", and an image
// without a buffer prints it once per pixel, as img_set_pixel does.
void raster_fill_row(Image* image, uint32_t colour, int32_t row, int32_t x0, int32_t x1);
// Blends colour into pixels x0 .. x1 of one row with weight 0 .. 256:
// channel = (old * (256 - weight) + new * weight) >> 8, top byte 0, formed in
// unsigned arithmetic (other weights wrap, without overflow).  Clipped and
// reported as raster_fill_row.
void raster_blend_row(Image* image, uint32_t colour, int32_t row, int32_t x0,
                      int32_t x1, int32_t weight);
