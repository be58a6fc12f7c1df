// The driver's shared objects and settings.  They live apart from the
// driver's code so that a part (or its test) can use them without linking
// the whole program.
#include <cstdio>

#include "demo/demo.h"
#include "demo/keys.h"
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

void demo_present_frame() {
  screen_present_copy(screen, frame_image);
  screen_poll_keys(key_cell);
  if (key_cell != nullptr && key_cell->keys != nullptr) demo_handle_key(static_cast<int8_t>(key_cell->keys[0]));
  if (demo_signal_received()) demo_state = 1;  // as ESC
}
