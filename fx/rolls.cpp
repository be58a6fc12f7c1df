// The raster-roll scroller: sixteen green bars swinging on the sine table
// behind the scroll text, whose letters take a cycling colour raster, and
// a logo in the top-left corner.
#include "fx/rolls.h"

#include "demo/demo.h"
#include "fx/font.h"
#include "fx/sine.h"

// Six runs of 16 entries from corner colour to corner colour:
// red, yellow, green, cyan, blue, magenta and back to red.
constexpr uint32_t letter_colours[96] = {
    0xF00000, 0xF01000, 0xF02000, 0xF03000, 0xF04000, 0xF05000, 0xF06000, 0xF07000,
    0xF08000, 0xF09000, 0xF0A000, 0xF0B000, 0xF0C000, 0xF0D000, 0xF0E000, 0xF0F000,
    0xF0F000, 0xE0F000, 0xD0F000, 0xC0F000, 0xB0F000, 0xA0F000, 0x90F000, 0x80F000,
    0x70F000, 0x60F000, 0x50F000, 0x40F000, 0x30F000, 0x20F000, 0x10F000, 0x00F000,
    0x00F000, 0x00F010, 0x00F020, 0x00F030, 0x00F040, 0x00F050, 0x00F060, 0x00F070,
    0x00F080, 0x00F090, 0x00F0A0, 0x00F0B0, 0x00F0C0, 0x00F0D0, 0x00F0E0, 0x00F0F0,
    0x00F0F0, 0x00E0F0, 0x00D0F0, 0x00C0F0, 0x00B0F0, 0x00A0F0, 0x0090F0, 0x0080F0,
    0x0070F0, 0x0060F0, 0x0050F0, 0x0040F0, 0x0030F0, 0x0020F0, 0x0010F0, 0x0000F0,
    0x0000F0, 0x1000F0, 0x2000F0, 0x3000F0, 0x4000F0, 0x5000F0, 0x6000F0, 0x7000F0,
    0x8000F0, 0x9000F0, 0xA000F0, 0xB000F0, 0xC000F0, 0xD000F0, 0xE000F0, 0xF000F0,
    0xF000F0, 0xF000E0, 0xF000D0, 0xF000C0, 0xF000B0, 0xF000A0, 0xF00090, 0xF00080,
    0xF00070, 0xF00060, 0xF00050, 0xF00040, 0xF00030, 0xF00020, 0xF00010, 0xF00000,
};

namespace {

// Entry e of the colour cycle from its rule, to check the table against.
constexpr uint32_t letter_colour_rule(int32_t e) {
  const uint32_t j = static_cast<uint32_t>(e % 16), up = 16 * j, down = 0xF0 - 16 * j;
  const uint32_t levels[6][3] = {{0xF0, up, 0}, {down, 0xF0, 0}, {0, 0xF0, up},
                                 {0, down, 0xF0}, {up, 0, 0xF0}, {0xF0, 0, down}};
  const uint32_t* rgb = levels[e / 16];
  return rgb[0] << 16 | rgb[1] << 8 | rgb[2];
}

constexpr bool letter_colours_follow_rule() {
  for (int32_t e = 0; e < 96; ++e)
    if (letter_colours[e] != letter_colour_rule(e)) return false;
  return true;
}
static_assert(letter_colours_follow_rule());

// The raster's own table: a writable copy, so that nothing done to the
// raster can write into the constant one.
struct LetterCycle {
  uint32_t colours[96];
};
constexpr LetterCycle letter_cycle_of_rule() {
  LetterCycle cycle{};
  for (int32_t e = 0; e < 96; ++e) cycle.colours[e] = letter_colours[e];
  return cycle;
}
constinit LetterCycle letter_cycle = letter_cycle_of_rule();

constexpr int32_t strip_rows = 32;

// Row of the strip's top edge for a strip phase.
int32_t strip_row(int32_t phase) {
  const int32_t swing = demo_height - strip_rows;
  return (sine_table[wrap_index(phase, sine_table_len)] * swing / 2 >> 15) + swing / 2;
}

}  // namespace

Raster letter_raster = {96, 0, letter_cycle.colours};

const uint32_t bar_profiles[72] = {
    0xF00000, 0xF00000,
    0x800000, 0xF00000, 0xF00000, 0x800000,
    0x500000, 0xA00000, 0xF00000, 0xF00000, 0xA00000, 0x800000,
    0x400000, 0x800000, 0xC00000, 0xF00000, 0xF00000, 0xC00000, 0xA00000, 0x800000,
    0x300000, 0x600000, 0x900000, 0xC00000, 0xF00000, 0xC00000, 0x900000, 0x600000, 0x300000,
    0x000000,
    0x200000, 0x500000, 0x700000, 0xA00000, 0xC00000, 0xF00000, 0xF00000, 0xC00000, 0xA00000,
    0x700000, 0x500000, 0x200000,
    0x200000, 0x400000, 0x600000, 0x800000, 0xA00000, 0xC00000, 0xF00000, 0xF00000, 0xC00000,
    0xA00000, 0x800000, 0x600000, 0x400000, 0x200000,
    0x002000, 0x004000, 0x006000, 0x008000, 0x00A000, 0x00C000, 0x00E000, 0x00F000, 0x00F000,
    0x00E000, 0x00C000, 0x00A000, 0x008000, 0x006000, 0x004000, 0x002000,
};

int32_t bar_amplitude = 0;
int32_t bar_centre = 0;
int32_t bar_phase = 0;
int32_t strip_phase = 0;
int32_t strip_y = 0;

void demo_raster_rolls() {
  if (rows_raster == nullptr) return;
  raster_clear(rows_raster);
  if (rows_raster->colours == nullptr) return;
  bar_amplitude = (demo_height - 96) / 2;
  bar_centre = demo_height / 2;
  // Run p starts after the 2 + 4 + .. + 2p entries of the runs before it.
  const int32_t entries = 2 * (bar_profile_index + 1);
  const uint32_t* profile = bar_profiles + bar_profile_index * (bar_profile_index + 1);
  const int32_t length = rows_raster->length;
  for (int32_t i = 0; i < bar_count; ++i) {
    const int32_t k = phase_add(bar_phase, i * bar_spacing);
    const int32_t base = (sine_table[k] * bar_amplitude >> 15) + bar_centre;
    // Entries 1 .. n colour rows base + 1 .. base + n; a row past a short
    // raster is left out.
    for (int32_t j = entries; j >= 1; --j) {
      const int32_t row = base + j;
      if (row < 0 || row >= length) continue;
      rows_raster->colours[row] = profile[j - 1] + 8 * static_cast<uint32_t>(i);
    }
  }
  bar_phase = phase_add(bar_phase, bar_speed);
}

void demo_part_rolls() {
  Image* mask = nullptr;
  if (strip != nullptr) {
    mask = img_create();
    img_resize(mask, strip->width, strip->height);
  }
  for (int32_t frame = 0; frame < rolls_frames; ++frame) {
    if (mask != nullptr) raster_draw(&letter_raster, mask);
    raster_step(&letter_raster);
    demo_raster_rolls();
    raster_draw(rows_raster, frame_image);
    if (strip != nullptr) {
      demo_scroller_draw();
      demo_scroller_advance();
      img_and_mask(mask, strip);
    }
    strip_y = strip_row(strip_phase);
    strip_phase = phase_add(strip_phase, strip_phase_step);
    if (strip != nullptr) img_blit_masked(strip, frame_image, 0, 0, 0, strip_y, strip->width, strip->height);
    if (logotype1 != nullptr)
      img_blit_masked(logotype1, frame_image, 0, 0, 0, 0, logotype1->width, logotype1->height);
    if (!demo_part_frame_end()) break;
  }
  if (mask != nullptr) img_destroy(&mask);
}
