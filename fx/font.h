// The bitmap font (32 x 32 cells in character-code order inside an ordinary
// Image) and the scroller that moves the scroll text through the strip.
#pragma once

#include <cstdint>

#include "core/image.h"

inline constexpr int32_t font_glyph_width = 32;
inline constexpr int32_t font_glyph_height = 32;

// Prints "FONT Error.\n" on standard output while error_report is on.
void font_error();
// Draws the ink of the cell of code with its top-left corner at (x, y) of
// dest; only the part of the cell inside the font image is drawn.
void font_blit_glyph(const Image* font, Image* dest, int32_t code, int32_t x, int32_t y);
// font_blit_glyph into the frame image.
void font_put_glyph(const Image* font, int32_t code, int32_t x, int32_t y);
// Hexadecimal digits into the frame image, most significant nibble first,
// one glyph ('0'-'9', 'A'-'F') every font_glyph_width pixels.
void font_print_hex8(const Image* font, uint32_t value, int32_t x, int32_t y);
void font_print_hex16(const Image* font, uint32_t value, int32_t x, int32_t y);
void font_print_hex32(const Image* font, uint32_t value, int32_t x, int32_t y);
// The characters of text up to its first line break into the frame image.
void font_print_line(const Image* font, const char* text, int32_t x, int32_t y);

// ---- scroller -----------------------------------------------------------

// The built-in scroll text: 84 line-broken lines, 1984 characters.
extern const char scroll_text[];
inline constexpr int32_t scroll_char_width = 32;
extern int32_t scroll_pos;  // index of the character in the first slot
extern int32_t scroll_x;    // x of the first slot in the strip

// Redraws the strip from the text while show_scroller is on.
void demo_scroller_draw();
// Moves the text scroll_speed pixels left; echoes each character that
// leaves the strip to standard output and restarts at the end of the text.
void demo_scroller_advance();
