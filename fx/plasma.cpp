// The vertical bar plasma: every frame row is the red, green and blue
// gradient rows, each shifted sideways by a sum of two sine waves that move
// down the rows and from frame to frame; a logo bounces on top.
#include "fx/plasma.h"

#include <cstddef>
#include <cstring>

#include "core/pixel_spans.h"
#include "demo/demo.h"
#include "fx/sine.h"

const PlasmaWave plasma_waves[6] = {
    {4, 1, 500}, {6, 2, 600}, {2, 3, 700},     // first terms: red, green, blue
    {-3, 1, 400}, {-2, 2, 300}, {-1, 3, 400},  // second terms
};
int32_t plasma_phase[6] = {0, 0, 0, 0, 0, 0};
Image* plasma_gradient = nullptr;
int32_t bounce_phase = 0;
int32_t bounce_y = 0;

namespace {

constexpr int32_t plasma_channels = 3;
// The lowest top row of the bouncing logo.
constexpr int32_t bounce_floor = demo_height - 48;
// Widest frame whose gradient rows fit the per-frame table on the stack.
constexpr int32_t plasma_fast_width = 1024;

// The two waves that shift one channel, walked down the frame rows: the
// phases are copies, plasma_phase itself only moves once per frame.
struct ChannelWalk {
  int32_t a, b;              // phases of the first and second term
  int32_t step_a, step_b;    // their advance from one row to the next
  int32_t weight_a, weight_b;
};

ChannelWalk channel_walk(int32_t channel) {
  const PlasmaWave& first = plasma_waves[channel];
  const PlasmaWave& second = plasma_waves[channel + plasma_channels];
  return {wrap_index(plasma_phase[channel], sine_table_len),
          wrap_index(plasma_phase[channel + plasma_channels], sine_table_len),
          first.row_step, second.row_step, first.amplitude, second.amplitude};
}

// The shift of the current row, then the walk moves on to the next row.
inline int32_t next_offset(ChannelWalk& walk) {
  const int32_t offset = (sine_table[walk.a] * walk.weight_a + sine_table[walk.b] * walk.weight_b) >> 16;
  walk.a = wrap_index(walk.a + walk.step_a, sine_table_len);
  walk.b = wrap_index(walk.b + walk.step_b, sine_table_len);
  return offset;
}

// Any shift as the start, in a doubled gradient row, of the pixels that a
// wrapped row copy with that offset puts at columns 0 .. width - 1: the
// copy writes source column i to column (i + offset) mod width.
inline int32_t doubled_start(int32_t offset, int32_t width) {
  return width - wrap_mod(offset, width);  // 1 .. width
}

// Every row of the frame from the three shifted gradient rows at once: the
// same pixels the three passes of row copies give, written once.
void compose_rows(const Image* gradient, Image* frame) {
  const int32_t width = frame->width;
  const size_t pitch = static_cast<size_t>(width);
  // Each gradient row twice in a row, so a shifted row is one plain stretch
  // (and a line more, which the row loop may read but never uses).
  alignas(64) uint32_t doubled[plasma_channels][2 * plasma_fast_width + 16];
  for (int32_t c = 0; c < plasma_channels; ++c) {
    const uint32_t* row = gradient->pixels + static_cast<size_t>(c) * pitch;
    std::memcpy(doubled[c], row, pitch * sizeof(uint32_t));
    std::memcpy(doubled[c] + width, row, pitch * sizeof(uint32_t));
    std::memset(doubled[c] + 2 * width, 0, 16 * sizeof(uint32_t));
  }
  ChannelWalk red = channel_walk(0), green = channel_walk(1), blue = channel_walk(2);
  for (int32_t y = frame->height - 1; y >= 0; --y) {
    const auto r = static_cast<size_t>(doubled_start(next_offset(red), width));
    const auto g = static_cast<size_t>(doubled_start(next_offset(green), width));
    const auto b = static_cast<size_t>(doubled_start(next_offset(blue), width));
    span_or3_shifted(frame->pixels + static_cast<size_t>(y) * pitch, doubled[0], r, doubled[1], g, doubled[2], b, pitch);
  }
}

// The three passes with the image module's wrapped row copies, for a
// gradient that does not match the frame: red stores, green and blue OR.
void pass_rows(const Image* gradient, Image* frame) {
  for (int32_t c = 0; c < plasma_channels; ++c) {
    ChannelWalk walk = channel_walk(c);
    for (int32_t y = frame->height - 1; y >= 0; --y) {
      const int32_t offset = next_offset(walk);
      if (c == 0)
        img_copy_row_wrapped(gradient, frame, c, y, offset);
      else
        img_or_row_wrapped(gradient, frame, c, y, offset);
    }
  }
}

void make_gradient(int32_t width) {
  plasma_gradient = img_create();
  img_resize(plasma_gradient, width, plasma_channels);
  demo_plasma_gradient_row(plasma_gradient, 0x10000, 255, 0, 0, 16);  // one period of red
  demo_plasma_gradient_row(plasma_gradient, 0x20000, 255, 0, 1, 8);   // two of green
  demo_plasma_gradient_row(plasma_gradient, 0x30000, 255, 0, 2, 0);   // three of blue
}

// The logo's top row for this frame, then the bounce phase moves on.
void bounce() {
  int32_t t = bounce_floor * sine_table[wrap_index(bounce_phase, sine_table_len)] >> 15;
  if (t > 0) t = -t;
  bounce_y = t + bounce_floor;
  bounce_phase = phase_add(bounce_phase, bounce_step);
}

}  // namespace

void demo_plasma_gradient_row(Image* image, int32_t period, int32_t level, int32_t phase, int32_t row,
                              int32_t shift) {
  if (image == nullptr || image->pixels == nullptr) return demo_error();
  if (row < 0 || row >= image->height || shift < 0 || shift > 31) return demo_error();
  const int32_t width = image->width;
  if (width <= 0) return;  // no pixels, and no step to divide out
  // 64-bit: |INT32_MIN|, the step of a large period and the running
  // position all stay exact.
  const int64_t periods = period < 0 ? -int64_t{period} : int64_t{period};
  const int64_t table_span = int64_t{sine_table_len} * 65536;
  int64_t pos = phase;
  while (pos < 0) pos += table_span;
  const int64_t step = int64_t{sine_table_len} * periods / width;
  uint32_t* out = image->pixels + static_cast<size_t>(row) * static_cast<size_t>(width);
  for (int32_t x = width - 1; x >= 0; --x, pos += step) {
    const int32_t s = sine_table[(pos >> 16) % sine_table_len];
    const int64_t v = (int64_t{s} + 0x7FFF) * level;
    out[x] |= static_cast<uint32_t>(v >> 16) << shift;  // v >> 16 rounds down, as the sum is formed
  }
}

void demo_plasma_draw(Image* frame) {
  if (frame == nullptr || frame->pixels == nullptr || frame->width <= 0) return demo_error();
  if (plasma_gradient == nullptr) make_gradient(frame->width);
  const Image* gradient = plasma_gradient;
  if (gradient == nullptr || gradient->pixels == nullptr) return demo_error();
  if (gradient->width == frame->width && gradient->height >= plasma_channels &&
      frame->width <= plasma_fast_width)
    compose_rows(gradient, frame);
  else
    pass_rows(gradient, frame);
}

void demo_plasma_advance() {
  for (int32_t i = 0; i < 6; ++i) plasma_phase[i] = phase_add(plasma_phase[i], plasma_waves[i].frame_step);
}

void demo_part_plasma() {
  for (int32_t frame = 0; frame < plasma_frames; ++frame) {
    demo_plasma_draw(frame_image);
    demo_plasma_advance();
    bounce();
    if (logotype0 != nullptr)
      img_blit_masked(logotype0, frame_image, 0, 0, 0, bounce_y, logotype0->width, logotype0->height);
    if (!demo_part_frame_end()) return;
  }
}
