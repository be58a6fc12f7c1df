// The scroller font, drawn from the shared skeletons and packed as P4.
#include "tools/font_gen.h"

#include <cstdio>
#include <cstdlib>

#include "tools/glyphs.h"

namespace {

constexpr double pen = 3.7;       // half the stroke width, pixels: 7.4-pixel strokes
constexpr double cap_top = 5.0;   // pixel row of the cap line's centre line
constexpr size_t image_bits = static_cast<size_t>(font_image_width) * font_image_height;

// One cell: the glyph centred horizontally, caps from row 2 to row 29.
void render_cell(uint8_t* bits, int32_t code) {
  const Glyph* g = glyph_for(code);
  if (g == nullptr) return;
  const int32_t cell_x = (code % font_columns) * font_cell;
  const int32_t cell_y = (code / font_columns) * font_cell;
  const double centre = (g->left + g->right) / 2.0;
  for (int32_t y = 0; y < font_cell; ++y) {
    for (int32_t x = 0; x < font_cell; ++x) {
      const double gx = x + 0.5 - font_cell / 2.0 + centre;
      const double gy = y + 0.5 - cap_top;
      if (glyph_distance(g, gx, gy) < pen) {
        bits[static_cast<size_t>(cell_y + y) * font_image_width + static_cast<size_t>(cell_x + x)] = 1;
      }
    }
  }
}

}  // namespace

void font_render(uint8_t* bits) {
  for (size_t i = 0; i < image_bits; ++i) bits[i] = 0;
  for (int32_t code = 33; code < font_cells; ++code) render_cell(bits, code);
}

int font_save_pbm(const char* path) {
  uint8_t* bits = static_cast<uint8_t*>(std::calloc(image_bits, 1));
  if (bits == nullptr) return 0;
  font_render(bits);
  FILE* f = std::fopen(path, "wb");
  bool ok = f != nullptr && std::fprintf(f, "P4\n%d %d\n", font_image_width, font_image_height) > 0;
  for (int32_t y = 0; ok && y < font_image_height; ++y) {
    uint8_t row[font_image_width / 8] = {};
    for (int32_t x = 0; x < font_image_width; ++x) {
      if (bits[static_cast<size_t>(y) * font_image_width + static_cast<size_t>(x)]) {
        row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80u >> (x % 8)));
      }
    }
    ok = std::fwrite(row, 1, sizeof row, f) == sizeof row;
  }
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  std::free(bits);
  return ok ? 1 : 0;
}
