// Helpers shared by the unit tests: owning handles for the records the
// modules hand out, standard output captured around a call, filled images,
// shared settings put back at the end of a scope and keys pushed into SDL's
// queue.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/image.h"
#include "fx/raster.h"
#include "fx/stars.h"

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
