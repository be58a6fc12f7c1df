// The scroller: the scroll text moving right to left through the strip,
// each character that leaves it echoed to standard output.
#include <cstdio>
#include <cstring>

#include "demo/demo.h"
#include "demo/keys.h"
#include "fx/font.h"

int32_t scroll_pos = 0;
int32_t scroll_x = 0;

namespace {

// Characters of the text before its NUL, counted once.
int32_t text_length() {
  static const int32_t length = static_cast<int32_t>(std::strlen(scroll_text));
  return length;
}

// Glyph slots across the strip: one more than whole glyphs fit, so that a
// partly scrolled-out first glyph still leaves the strip covered.
int32_t slot_count() { return strip->width / scroll_char_width + 1; }

}  // namespace

void demo_scroller_draw() {
  if (show_scroller == 0 || strip == nullptr) return;
  img_clear(strip);
  const int32_t n = slot_count();
  const int32_t y = strip->height - scroll_char_width;
  const int32_t length = text_length();
  for (int32_t i = 0; i < n; ++i) {
    const int64_t at = int64_t{scroll_pos} + i;
    if (at < 0 || at >= length) continue;  // only a position set from outside gets here
    const int64_t x = int64_t{i} * scroll_char_width + scroll_x;
    if (x > INT32_MAX) break;
    font_blit_glyph(font_image, strip, static_cast<int8_t>(scroll_text[at]), static_cast<int32_t>(x), y);
  }
}

void demo_scroller_advance() {
  if (strip == nullptr) return;  // the strip's width sets the look-ahead
  const int32_t n = slot_count();
  // The speed is 0 .. 4 and the position is reset to 0 below -32, so this
  // stays far from the int32 limits; the unsigned step keeps any value safe.
  scroll_x = static_cast<int32_t>(static_cast<uint32_t>(scroll_x) - static_cast<uint32_t>(scroll_speed));
  if (scroll_x > -scroll_char_width) return;
  const int32_t length = text_length();
  if (scroll_pos >= 0 && scroll_pos < length) {
    putchar(scroll_text[scroll_pos]);
    fflush(stdout);
  }
  scroll_x = 0;
  scroll_pos = scroll_pos < length ? scroll_pos + 1 : length;
  // The character due to enter next is the end of the text: start again.
  if (int64_t{scroll_pos} + n >= length || scroll_pos < 0) {
    scroll_pos = 0;
    scroll_x = frame_image != nullptr ? frame_image->width : strip->width;
  }
}
