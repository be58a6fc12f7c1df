#include "demo/demo.h"

#include <cstdio>
#include <initializer_list>

#include "demo/keys.h"
#include "demo/music.h"
#include "demo/signals.h"
#include "fx/font.h"
#include "fx/plasma.h"
#include "fx/rolls.h"
#include "fx/zoom.h"

namespace {

constexpr int32_t strip_height = 32;
constexpr uint8_t fade_step = 2;

using Part = void (*)();

// The pictures and the font the intro reads, in the order they load.
struct DataFile {
  const char* name;
  Image** image;
};
constexpr DataFile data_files[] = {
    {"VORN.ppm", &logo_vorn},          {"present.ppm", &logo_present}, {"kolmira.ppm", &logo_kolmira},
    {"2008.ppm", &logo_2008},          {"logotype0.ppm", &logotype0},  {"logotype1.ppm", &logotype1},
    {"font32.pbm", &font_image},       {"star16b.ppm", &star_b},       {"star16c.ppm", &star_c},
    {"star16d.ppm", &star_d},          {"star16a.ppm", &star_a},
};

// Runs part; false when it ended with a quit request.
bool demo_run_part(Part part) {
  part();
  if ((demo_state & 1u) != 0) return false;
  demo_state = 0;
  return true;
}

// One pass of the sequence zoom, raster rolls, plasma; false on a quit.
bool demo_run_sequence() {
  for (Part part : {demo_part_zoom, demo_part_rolls, demo_part_plasma})
    if (!demo_run_part(part)) return false;
  return true;
}

// Without a video surface there is nothing to show: say why and undo the
// start-up.
int demo_no_video() {
  fprintf(stderr, "Could not set video mode: %s\n", screen_failure());
  screen_keys_destroy(&key_cell);
  screen_destroy(&screen);
  return 2;
}

}  // namespace

void demo_load_images() {
  for (const DataFile& file : data_files) *file.image = img_load_pnm(file.name);
}

void demo_release_images() {
  for (const DataFile& file : data_files) img_destroy(file.image);
}

const char* demo_missing_data() {
  const auto missing = [](const char* name) {
    FILE* file = fopen(name, "rb");
    if (file != nullptr) fclose(file);
    return file == nullptr;
  };
  for (const DataFile& file : data_files)
    if (missing(file.name)) return file.name;
  return missing(music_file) ? music_file : nullptr;
}

void demo_init() {
  screen = screen_create();
  key_cell = screen_keys_create();
  screen_set_mode(screen, demo_width, demo_height);
  if (!screen_has_surface(screen) || key_cell == nullptr) return;  // demo_run gives up

  frame_image = img_create();
  img_resize(frame_image, screen->width, screen->height);
  demo_load_images();
  strip = img_create();
  img_resize(strip, screen->width, strip_height);
  scroll_x = screen->width;
  scroll_pos = 0;
  rows_raster = raster_create();
  raster_resize(rows_raster, demo_height);
  music_start();
}

void demo_fade_out() {
  for (int32_t step = 0; step < demo_fade_steps; ++step) {
    img_darken(frame_image, fade_step);
    screen_present_copy(screen, frame_image);
  }
}

void demo_shutdown() {
  demo_signals_release();  // a Ctrl-C during the fade ends the process
  music_stop();
  demo_fade_out();
  img_destroy(&frame_image);
  img_destroy(&strip);
  demo_release_images();
  raster_destroy(&rows_raster);
  screen_keys_destroy(&key_cell);
  screen_destroy(&screen);
}

int demo_run() {
  demo_init();
  if (!screen_has_surface(screen) || key_cell == nullptr) return demo_no_video();
  while (demo_run_sequence()) {
  }
  demo_shutdown();
  return 1;
}
