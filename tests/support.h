// Helpers shared by the unit tests: owning handles for the records the
// modules hand out, standard output captured around a call, filled images,
// shared settings put back at the end of a scope, keys pushed into SDL's
// queue and the driver's screen under the dummy video driver.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/image.h"
#include "demo/demo.h"
#include "fx/raster.h"
#include "fx/stars.h"
#include "video/screen.h"

struct ImageFree {
  void operator()(Image* image) const { img_destroy(&image); }
};
struct RasterFree {
  void operator()(Raster* raster) const { raster_destroy(&raster); }
};
struct FieldFree {
  void operator()(StarField* field) const { stars_destroy(&field); }
};
using OwnedImage = std::unique_ptr<Image, ImageFree>;
using OwnedRaster = std::unique_ptr<Raster, RasterFree>;
using OwnedField = std::unique_ptr<StarField, FieldFree>;
using Px = std::vector<uint32_t>;

// What f writes to standard output.
inline std::string output_of(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// A new w x h image with every pixel fill.
inline OwnedImage image_of(int32_t w, int32_t h, uint32_t fill = 0) {
  OwnedImage image(img_create());
  img_resize(image.get(), w, h);
  std::fill(image->pixels, image->pixels + static_cast<size_t>(w) * static_cast<size_t>(h), fill);
  return image;
}

inline Px pixels_of(const Image* image) {
  return {image->pixels, image->pixels + static_cast<size_t>(image->width) * static_cast<size_t>(image->height)};
}

// Puts a shared setting back as it was when the scope ends.
template <typename T>
struct Keep {
  explicit Keep(T& setting) : ref(setting), old(setting) {}
  ~Keep() { ref = old; }
  T& ref;
  T old;
};

// A key event (SDL_KEYDOWN or SDL_KEYUP) for sym pushed into SDL's queue.
inline void push_key(Uint8 type, SDLKey sym = SDLK_SPACE) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = sym;
  ASSERT_EQ(0, SDL_PushEvent(&event));
}

// The driver's screen, 256 x 256 under SDL's dummy video driver, and its
// key cell, for the parts to present to and poll; call it through
// ASSERT_NO_FATAL_FAILURE.  close_dummy_screen also removes the observer.
inline void open_dummy_screen() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen = screen_create();
  ASSERT_NE(nullptr, screen);
  screen_set_mode(screen, 256, 256);
  ASSERT_EQ(1, screen_has_surface(screen));
  key_cell = screen_keys_create();
  ASSERT_NE(nullptr, key_cell);
}
inline void close_dummy_screen() {
  screen_set_observer(nullptr, nullptr);
  screen_keys_destroy(&key_cell);
  screen_destroy(&screen);
}
