// The image module: the one pixel container of the program and everything
// done to whole images.  Pixels are 32-bit 0x00RRGGBB, row-major, row 0 on
// top.  Every invalid argument prints "IMG error\n" on standard output and
// the call returns null, 0 or nothing.
//
// Sizes: no operation allocates more than img_max_pixels pixels; a larger or
// overflowing width x height is reported and refused (see each operation).
// Numbers read from PNM headers, plain samples and the text form saturate at
// INT32_MAX instead of overflowing.
#pragma once

#include <cstddef>
#include <cstdint>

struct Image {
  int32_t width;
  int32_t height;
  uint32_t* pixels;  // owned, width * height values
};

// A caller-owned picture in the same layout; the module only reads it.
struct ImageView {
  int32_t width;
  int32_t height;
  const uint32_t* pixels;
};

// Largest pixel count any operation will allocate (64 Mi pixels, 256 MiB).
inline constexpr int64_t img_max_pixels = int64_t{1} << 26;

// ---- buffer -------------------------------------------------------------

// Prints "IMG error\n" on standard output.
void img_error();

// New 16 x 16 zero-filled image, or null (reported) when memory runs out.
Image* img_create();
// Frees the image and its pixels and nulls *image; a null address or a null
// *image is reported.
void img_destroy(Image** image);
// Replaces the pixels by a zero-filled buffer of width x height.  A null
// image, a negative size or one above img_max_pixels is reported and leaves
// the image as it was.  A failed allocation leaves the new size and no
// buffer, silently.  A size without pixels keeps a one-element buffer, so an
// empty image is still a valid one.
void img_resize(Image* image, int32_t width, int32_t height);
// Sets every pixel to 0; a null image or missing buffer is reported.
void img_clear(Image* image);

// Single-pixel access with bounds tests.  Out-of-range coordinates, a null
// image or a missing buffer are reported: the write does nothing, the read
// returns 0.
inline bool img_in_bounds(const Image* image, int32_t x, int32_t y) {
  return image != nullptr && image->pixels != nullptr &&
         x >= 0 && x < image->width && y >= 0 && y < image->height;
}
inline void img_set_pixel(Image* image, int32_t x, int32_t y, uint32_t value) {
  if (!img_in_bounds(image, x, y)) { img_error(); return; }
  image->pixels[static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x)] = value;
}
inline uint32_t img_get_pixel(const Image* image, int32_t x, int32_t y) {
  if (!img_in_bounds(image, x, y)) { img_error(); return 0; }
  return image->pixels[static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x)];
}

// 1 when sizes and all pixels are equal, else 0; a null argument or a
// missing buffer is reported.
int img_equals_view(const Image* image, const ImageView* view);
// New image holding a copy of the view, or null (a null view is reported).
Image* img_from_view(const ImageView* view);

// ---- PNM codec ----------------------------------------------------------

// Reads a PNM file of any of the forms P1 to P6.  Null after a report when
// the file cannot be read, the header is bad, the file ends inside the
// header, a comment or plain data, or the size is 0 or too large.  Raw data
// that ends early reads as bytes of -1 (grey and colour pixels 0xFFFFFFFF,
// bitmap pixels white).
Image* img_load_pnm(const char* path);
// Parses a complete PNM image in memory; the caller guarantees the bytes
// hold the whole image.  Bitmap widths are rounded up to a multiple of 8.
// A header whose numbers are all read but which shows no magic is reported.
Image* img_parse_pnm(const uint8_t* bytes);
// The same parser bounded by size: it never reads at or past bytes + size,
// and input that ends before the image is complete is reported (null).
Image* img_parse_pnm_n(const uint8_t* bytes, size_t size);
// Writes the image as a binary P6 file; 1 on success, 0 after a report (a
// null or empty image, no buffer, no path, a file that cannot be opened or
// written completely).
int img_save_ppm(const Image* image, const char* path);

// ---- compositing and resampling ----------------------------------------

// Copies the non-zero pixels of the w x h source rectangle at (sx, sy) to
// (dx, dy) of the destination, clipped against all four edges of both
// images; nothing left to draw is silent.  A null image or missing buffer is
// reported.
void img_blit_masked(const Image* src, Image* dst, int32_t sx, int32_t sy,
                     int32_t dx, int32_t dy, int32_t w, int32_t h);
// New image of w x h resampled from the source by nearest neighbour; null
// after a report for a null source, a missing buffer, a negative or too
// large size.  A zero width or height on either side gives a zero-filled
// image of w x h.
Image* img_scale(const Image* src, int32_t w, int32_t h);
// Draws img_scale(src, w, h) masked (0 transparent) with its top-left
// corner at (dx, dy) of dst, clipped, without making the scaled image: the
// same pixels as the scale followed by img_blit_masked of the whole result,
// and the same reports (a bad source or size, then a bad destination).
void img_blit_scaled(const Image* src, int32_t w, int32_t h, Image* dst, int32_t dx, int32_t dy);
// Distributes max(|a|, |b|) units over min(|a|, |b|) runs; returns a table of
// min(|a|, |b|) counters to be released with free(), or null (reported) when
// that count is 0, max(|a|, |b|) exceeds img_max_pixels or memory runs out.
int32_t* img_run_lengths(int32_t a, int32_t b);
// New image of the source's size turned about its centre by angle radians
// (clockwise on screen for a positive angle).  Each target pixel whose
// source position lies outside reads 0 and prints one report.  A null
// source, a missing buffer or an angle that is not finite is reported: null.
Image* img_rotate(const Image* src, double angle);
// Lowers each of R, G, B of every pixel by amount, not below 0; the top byte
// becomes 0.  A null image or missing buffer is reported.
void img_darken(Image* image, uint8_t amount);
// Copies source row src_row into destination row dst_row starting at column
// offset, wrapping round to column 0; the OR form ORs instead of storing.
// A row outside either image (negative included), a null image or a missing
// buffer is reported; a destination row of width 0 takes nothing.
void img_copy_row_wrapped(const Image* src, Image* dst, int32_t src_row,
                          int32_t dst_row, int32_t offset);
void img_or_row_wrapped(const Image* src, Image* dst, int32_t src_row,
                        int32_t dst_row, int32_t offset);
// ANDs every mask pixel into the target pixel of the same index.  A mask
// with more pixels than the target is reported and changes nothing.
void img_and_mask(const Image* mask, Image* target);

// ---- text form ----------------------------------------------------------

// The image as "IMG{" P3 pixmap "}" text, released with free(); null after
// a report.
char* img_to_text(const Image* image);
// Reads the text form back; null after a report, also when the text ends
// before the header or the last pixel is complete.
Image* img_from_text(const char* text);
// Index just past the first occurrence of pattern in text, or 0 (also for
// an empty pattern); a null argument is reported.
int32_t img_find_text(const char* text, const char* pattern);
