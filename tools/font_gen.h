// The scroller font: the letter skeletons drawn with a round pen into
// 32 x 32 cells of a 1-bit image, 16 cells per row in character-code order,
// cells 0 .. 95 (codes 0 .. 31 and the space blank, so a line break, code
// 10, scrolls by as a blank cell).
#pragma once

#include <cstdint>

inline constexpr int32_t font_cell = 32;
inline constexpr int32_t font_columns = 16;
inline constexpr int32_t font_cells = 96;
inline constexpr int32_t font_image_width = font_cell * font_columns;                  // 512
inline constexpr int32_t font_image_height = font_cell * (font_cells / font_columns);  // 192

// Renders the whole font into bits (font_image_width x font_image_height
// values of 0 or 1, row by row); 1 is ink.
void font_render(uint8_t* bits);
// Writes the font as a binary PBM (P4) file; 1 on success, 0 on failure.
int font_save_pbm(const char* path);
