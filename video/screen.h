// The screen: the single output window over SDL 1.2, presentation of an
// Image and keyboard polling into the KeyCell.  Only this module touches
// SDL surfaces.  Invalid arguments go to screen_error, which prints nothing.
#pragma once

#include <cstdint>

#include "core/image.h"

struct Screen {
  int32_t width;   // of the current video mode, as requested
  int32_t height;
  int32_t depth;   // bits per pixel SDL granted; 0 before a mode is set
};

struct KeyCell {
  uint8_t* keys;   // owned, 8 bytes; byte 0 holds the current key code
};

// Does nothing.
void screen_error();

// The single Screen (a 256 x 256 mode is requested), or null when the
// record cannot be allocated.  A second call returns the same Screen.
Screen* screen_create();
// Frees the Screen, drops the video surface and nulls *screen.
void screen_destroy(Screen** screen);
// Sets the video mode at the display's depth.  A failed mode set leaves
// the Screen as it was and no video surface.  In full screen (below) the
// Screen keeps the requested size while the surface has the desktop's.
void screen_set_mode(Screen* screen, int32_t width, int32_t height);
// On (non-zero): the modes set from now on fill the screen.  The surface
// takes the desktop's size (read here, so call it before the first mode is
// set), and every presentation shows the picture enlarged by the largest
// whole factor that fits, centred on black, each pixel a square block.
// Where the desktop's size is unknown or smaller than the mode, or no
// full-screen mode can be set, the mode is an ordinary window.
void screen_set_fullscreen(int on);
// Windows set from now on show the picture enlarged scale times (1 or
// more; 1 shows it as it is), each pixel a square block, as full screen
// does.  Where such a window cannot be set, the mode is an ordinary window.
// The Windows program sets it; on Linux, sdl12-compat scales the window.
void screen_set_window_scale(int32_t scale);
// On (non-zero): the modes set from now on pace their presentations (see
// video/pace.h): each frame stays on screen for the same number of the
// display's refreshes, or by the clock where presenting does not wait for
// the display (the same refreshes apart where the display hook reports the
// rate, else 1/60 s).  Off, and under SDL's dummy driver, every
// presentation shows at once.  The program turns it on.
void screen_set_pacing(int on);
// What the platform knows of its display, for the pace: the refreshes a
// second it reports (0: unknown), asked at each mode set, and a wait for
// the display after each show (returning once the display has taken the
// picture).  Either may be null: none.  The Windows program sets it, with
// the desktop compositor's rate and its wait for the next composition.
struct ScreenDisplayHook {
  double (*refresh_rate)();
  void (*after_show)();
};
void screen_set_display_hook(ScreenDisplayHook hook);
// 1 when screen is the single Screen and holds a video surface, else 0.
int screen_has_surface(const Screen* screen);
// SDL's text for its last failure, e.g. why no video mode could be set.
const char* screen_failure();
// Presents an image of exactly the screen's size: one block copy when the
// surface is 32-bit 0x00RRGGBB with unpadded rows, a copy that moves the
// channels when it is 32-bit with one byte per channel in another order, a
// converting blit on any other surface; in full screen, enlarged into the
// middle of the surface.  Then the picture is shown as the pace decides.
// Without a video surface nothing happens.
void screen_present_copy(Screen* screen, const Image* image);
// The same picture, presented the same way: SDL 1.2's X11 driver sends its
// own buffer to the window, so lending it the image's buffer showed nothing.
void screen_present_swap(Screen* screen, const Image* image);
// Blits the top-left region of any image through SDL_DisplayFormat.
void screen_present_blit(Screen* screen, const Image* image);

// Called after every successful presentation with the image presented.
using ScreenObserver = void (*)(void* context, const Image* image);
// Installs the observer (null removes it); the program sets none.
void screen_set_observer(ScreenObserver observer, void* context);

// Placeholders of the module family.
const char* screen_to_text(const Screen* screen);
Screen* screen_from_text(const char* text);
int screen_equals(const Screen* a, const Screen* b);
Screen* screen_copy(const Screen* screen);

// The single KeyCell, or null when no Screen exists.
KeyCell* screen_keys_create();
// Frees the KeyCell and nulls *cell; null is ignored.
void screen_keys_destroy(KeyCell** cell);
// Drains SDL's events: key-down stores the low byte of the key symbol,
// key-up stores 0, everything else (the window's close request included)
// is discarded.
void screen_poll_keys(KeyCell* cell);

const char* screen_keys_to_text(const KeyCell* cell);
KeyCell* screen_keys_from_text(const char* text);
int screen_keys_equals(const KeyCell* a, const KeyCell* b);
KeyCell* screen_keys_copy(const KeyCell* cell);
