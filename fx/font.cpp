// The bitmap font: 32 x 32 cells in character-code order, drawn with the
// masked blit so that only the ink reaches the destination.
#include "fx/font.h"

#include <cstdio>

#include "demo/demo.h"

namespace {

// The glyph of a nibble: '0' .. '9', then 'A' .. 'F'.
constexpr char hex_digits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                 '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

}  // namespace

void font_error() {
  if (error_report == 0) return;
  fputs("FONT Error.\n", stdout);
}

void font_blit_glyph(const Image* font, Image* dest, int32_t code, int32_t x, int32_t y) {
  if (font == nullptr) return font_error();
  const int64_t font_width = font->width;
  if (font_width <= 0) return;  // no cells at all: nothing lies inside
  // In 64 bits, so no code overflows; a negative code gives a cell left of
  // or above the image, which the blit clips away.
  const int64_t p = int64_t{code} * font_glyph_width;
  const int64_t sx = p % font_width;
  const int64_t sy = p / font_width * font_glyph_height;
  if (sy < INT32_MIN || sy > INT32_MAX) return;  // far outside any image
  img_blit_masked(font, dest, static_cast<int32_t>(sx), static_cast<int32_t>(sy), x, y,
                  font_glyph_width, font_glyph_height);
}

void font_put_glyph(const Image* font, int32_t code, int32_t x, int32_t y) {
  font_blit_glyph(font, frame_image, code, x, y);
}

void font_print_hex8(const Image* font, uint32_t value, int32_t x, int32_t y) {
  font_put_glyph(font, hex_digits[(value >> 4) & 0xFu], x, y);
  font_put_glyph(font, hex_digits[value & 0xFu], x + font_glyph_width, y);
}

void font_print_hex16(const Image* font, uint32_t value, int32_t x, int32_t y) {
  font_print_hex8(font, (value >> 8) & 0xFFu, x, y);
  font_print_hex8(font, value & 0xFFu, x + 2 * font_glyph_width, y);
}

void font_print_hex32(const Image* font, uint32_t value, int32_t x, int32_t y) {
  font_print_hex16(font, value >> 16, x, y);
  font_print_hex16(font, value & 0xFFFFu, x + 4 * font_glyph_width, y);
}

void font_print_line(const Image* font, const char* text, int32_t x, int32_t y) {
  if (text == nullptr) return font_error();
  // x moves in unsigned steps, so a very long line wraps instead of overflowing.
  for (; *text != '\n' && *text != '\0'; ++text) {
    font_put_glyph(font, static_cast<int8_t>(*text), x, y);
    x = static_cast<int32_t>(static_cast<uint32_t>(x) + font_glyph_width);
  }
}
