// State and helpers shared by the screen's source files.  Not part of the
// interface: only video/screen*.cpp include this.  The screen is a single
// window, so its state is one record, screen_state, owned by screen.cpp.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "video/pace.h"
#include "video/placement.h"
#include "video/screen.h"

// How a whole frame reaches the video surface, decided once per video mode.
enum class ScreenLayout {
  block,      // 32-bit 0x00RRGGBB, unpadded rows of the mode's width: one block copy
  words,      // 32-bit, unpadded, one byte per channel in another order
  paletted,   // 8-bit with a palette: through the colour cube
  converted,  // anything else: SDL converts
};

// The picture being presented, the rectangle of the surface it covers
// ((0, 0, 0, 0): the whole) and how often it has been shown, for the pace
// to show it again.
struct ScreenShowing {
  const Image* image;
  int32_t x, y, w, h;
  int32_t shows;
};

struct ScreenState {
  Screen* screen = nullptr;
  SDL_Surface* surface = nullptr;
  Uint32 flags = 0;
  int double_buffered = 0;
  // The painters' view of the surface (screen_paint.cpp sets it).
  ScreenLayout layout = ScreenLayout::converted;
  int red_shift = 0;  // words: where each channel's byte goes, and the alpha set
  int green_shift = 0;
  int blue_shift = 0;
  Uint32 alpha_bits = 0;
  Uint8 cube[256] = {};        // paletted: 3-3-2 colour cube -> palette index
  bool cube_identity = false;  // paletted: every cube entry is its own index
  // Full screen and scaled windows: wanted for the modes to come, the
  // desktop's size as SDL reported it before any mode, and where the
  // picture goes on the current surface.
  bool fullscreen_wanted = false;
  int32_t window_scale = 1;
  int32_t desktop_width = 0;
  int32_t desktop_height = 0;
  bool enlarged = false;
  Placement place{0, 0, 1};
  int blackouts = 0;                    // presentations that first paint the whole surface black
  std::vector<uint32_t> enlarged_view;  // converted layout: the enlarged picture, for SDL to convert
  std::vector<uint32_t> moved_row;      // words layout: one row of the image, its channels moved
  // Pacing: wanted for the modes to come (the program asks for it), and the
  // pace of the current mode.
  bool pacing_wanted = false;
  Pace pace = pace_off();
  ScreenShowing showing{};
  ScreenDisplayHook display_hook{nullptr, nullptr};
  KeyCell* cell = nullptr;
  ScreenObserver observer = nullptr;
  void* observer_context = nullptr;
};

extern ScreenState screen_state;

inline bool screen_is_the_screen(const Screen* screen) {
  return screen != nullptr && screen == screen_state.screen;
}

// ---- the painters (screen_paint.cpp) ----------------------------------------

// Chooses the layout for the surface just set for a width x height picture
// (enlarged or not, as screen_state says).
void screen_map_layout(int32_t width, int32_t height);
// Paints a picture of the mode's size onto the surface in its layout,
// enlarged where the mode is; false where SDL fails.
bool screen_paint(const Image* image);
// The top-left of any image, as much as fits, onto a paletted surface.
bool screen_paint_paletted(const Image* image);
// The top-left w x h of the image through SDL_DisplayFormat onto the
// surface's top-left corner.
bool screen_blit_display_format(const Image* image, int32_t w, int32_t h);
