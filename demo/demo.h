// The demo driver: the objects every part shares, start-up and shut-down.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "fx/raster.h"
#include "video/screen.h"

inline constexpr int32_t demo_width = 256;
inline constexpr int32_t demo_height = 256;
inline constexpr int32_t demo_fade_steps = 256;  // frames of the fade to black at exit

extern uint8_t demo_state;    // 0 run, 1 quit, 2 next part
extern uint8_t error_report;  // enables demo_error and font_error; never set

// Owned by the driver, made by demo_init and released by demo_shutdown.
extern Screen* screen;
extern KeyCell* key_cell;
extern Image* frame_image;    // every frame is drawn here and presented
extern Image* strip;          // the scroller strip, frame width x 32
extern Raster* rows_raster;   // per-row colours, demo_height entries

// The loaded data files; null when a file could not be read.
extern Image* logo_vorn;      // "VORN.ppm"
extern Image* logo_present;   // "present.ppm"
extern Image* logo_kolmira;   // "kolmira.ppm"
extern Image* logo_2008;      // "2008.ppm"
extern Image* logotype0;      // "logotype0.ppm", the plasma's bouncing logo
extern Image* logotype1;      // "logotype1.ppm", the raster-roll logo
extern Image* font_image;     // "font32.pbm"
extern Image* star_a;         // "star16a.ppm"
extern Image* star_b;         // "star16b.ppm"
extern Image* star_c;         // "star16c.ppm"
extern Image* star_d;         // "star16d.ppm"

// Loads the data pictures and the font above from the working directory
// (a file that cannot be read leaves its image null), and releases them.
void demo_load_images();
void demo_release_images();
// The name of the first data file (a picture, the font or the music) that
// cannot be opened in the working directory; null when every one can.
const char* demo_missing_data();
void demo_init();
void demo_shutdown();
// demo_fade_steps times: darken the frame by 2 and present it.
void demo_fade_out();
// The end of every frame: presents frame_image, polls the keys and applies
// a key once per press, in the first frame that sees it down (which may
// set demo_state): the cell's code is applied when it is not 0 and not the
// code last applied, and a 0 in the cell forgets that code, so a key
// pressed while another is still down acts too; a SIGINT or SIGTERM caught by
// demo_signals_install's handler sets demo_state to 1, as ESC does.
void demo_present_frame();
// The end of every frame of a part: demo_present_frame, then the music
// served once; false, without the music, when demo_state is set and the
// part must return.
bool demo_part_frame_end();
// Prints "VORNDEMO Error.\n" on standard output while error_report is on.
void demo_error();
// The whole run: the endless part sequence until a quit; returns the exit
// status (1).  main calls it.
int demo_run();
