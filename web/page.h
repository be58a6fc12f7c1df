// The web program's link to its page (page/page.js), which owns the audio
// output, the pace and the start and end screens.  The page passes its
// side as callbacks in the module's settings; without them (the module run
// on its own) frames are never held, follow the browser's animation frames
// one each, and nothing is heard.  Implemented in JavaScript: page_link.js.
#pragma once

#include <cstdint>

extern "C" {

// Tells the page that frame number `frame` (from 1) has been presented;
// 1 while the page holds the run at this frame (its test interface stops at
// a chosen frame), else 0.
int page_frame_held(int32_t frame);
// How many stereo samples of sound the page wants now (0 or more): as many
// as bring what it has queued up to its margin.
int32_t page_sound_wanted();
// Hands the page `samples` stereo samples (interleaved 16-bit values), the
// next part of the sound.
void page_sound(const int16_t* values, int32_t samples);
// Returns to the browser and comes back when the page lets the next frame
// be drawn: on the animation frame that ends the shown frame's time on
// screen.
void page_next_frame();
// Sets SDL up for the intro, before SDL_Init: its keyboard listeners see
// only first presses (no auto-repeat) and report keys by their SDL 1.2
// symbols, as the Linux build gets them; locking the screen reads nothing
// back from the canvas, and the canvas takes the alpha the screen module
// writes.
void page_prepare_sdl();
// Removes SDL's listeners from the page and tells it that the intro has
// ended with `status`.
void page_ended(int status);

}  // extern "C"
