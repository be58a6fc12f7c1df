// The driver's shared objects and settings.  They live apart from the
// driver's code so that a part (or its test) can use them without linking
// the whole program.
#include <cstdio>

#include "demo/demo.h"
#include "demo/keys.h"
#include "demo/music.h"
#include "demo/signals.h"

uint8_t demo_state = 0;
uint8_t error_report = 0;

Screen* screen = nullptr;
KeyCell* key_cell = nullptr;
Image* frame_image = nullptr;
Image* strip = nullptr;
Raster* rows_raster = nullptr;

Image* logo_vorn = nullptr;
Image* logo_present = nullptr;
Image* logo_kolmira = nullptr;
Image* logo_2008 = nullptr;
Image* logotype0 = nullptr;
Image* logotype1 = nullptr;
Image* font_image = nullptr;
Image* star_a = nullptr;
Image* star_b = nullptr;
Image* star_c = nullptr;
Image* star_d = nullptr;

void demo_error() {
  if (error_report == 0) return;
  fputs("VORNDEMO Error.\n", stdout);
}

namespace {

// The key code last acted on, kept across parts and logos; 0 once the
// cell has held no key.
uint8_t acted_key = 0;

}  // namespace

void demo_present_frame() {
  screen_present_copy(screen, frame_image);
  screen_poll_keys(key_cell);
  if (key_cell != nullptr && key_cell->keys != nullptr) {
    const uint8_t code = key_cell->keys[0];
    if (code != 0 && code != acted_key) demo_handle_key(static_cast<int8_t>(code));
    acted_key = code;
  }
  if (demo_signal_received()) demo_state = 1;  // as ESC
}

bool demo_part_frame_end() {
  demo_present_frame();
  if (demo_state != 0) return false;
  music_update();
  return true;
}
