// Tests of the bitmap font and the scroller: which cell a code takes and
// where its ink lands, codes outside the font, the null font, the printers,
// and the scroller's timing, echo, restart and strip content.
#include "fx/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "demo/demo.h"
#include "demo/keys.h"
#include "tests/support.h"

namespace {

// Cell c has ink where this pattern says, with holes, and a different
// pattern from its neighbours; each ink pixel names its cell and place, so
// a wrong cell, a shifted cell or a drawn hole all show.
bool ink(int32_t c, int32_t lx, int32_t ly) { return (lx * 5 + ly * 3 + c) % 7 < 4; }
uint32_t ink_colour(int32_t c, int32_t lx, int32_t ly) {
  return static_cast<uint32_t>(c + 1) << 16 | static_cast<uint32_t>(ly) << 8 | static_cast<uint32_t>(lx);
}

// A w x h font: cell c at ((32c) mod w, ((32c) div w) * 32), cut at the edges.
OwnedImage make_font(int32_t w, int32_t h) {
  OwnedImage font = image_of(w, h, 0);
  for (int32_t c = 0; (c * 32) / w * 32 < h; ++c)
    for (int32_t ly = 0; ly < 32; ++ly)
      for (int32_t lx = 0; lx < 32; ++lx) {
        const int32_t x = (c * 32) % w + lx, y = (c * 32) / w * 32 + ly;
        if (x < w && y < h && ink(c, lx, ly)) img_set_pixel(font.get(), x, y, ink_colour(c, lx, ly));
      }
  return font;
}

// The expected picture: the top-left cols x rows of cell c's ink at (x, y).
void paint(Image* image, int32_t c, int32_t x, int32_t y, int32_t cols = 32, int32_t rows = 32) {
  for (int32_t ly = 0; ly < rows; ++ly)
    for (int32_t lx = 0; lx < cols; ++lx)
      if (ink(c, lx, ly) && img_in_bounds(image, x + lx, y + ly)) img_set_pixel(image, x + lx, y + ly, ink_colour(c, lx, ly));
}

// "" when the images are equal, else the number of differing pixels and
// the first of them.
std::string diff(const Image* got, const Image* want) {
  if (got->width != want->width || got->height != want->height) return "size differs";
  int32_t bad = 0;
  std::string first;
  for (int32_t y = 0; y < got->height; ++y)
    for (int32_t x = 0; x < got->width; ++x) {
      const uint32_t g = img_get_pixel(got, x, y), w = img_get_pixel(want, x, y);
      if (g != w && bad++ == 0) first = "(" + std::to_string(x) + "," + std::to_string(y) + ") got " + std::to_string(g) + " want " + std::to_string(w);
    }
  return bad == 0 ? "" : std::to_string(bad) + " pixels differ, first " + first;
}

// What blitting the code at (x, y) into a 100 x 90 picture prints and
// changes, against the top-left cols x rows of its cell's ink painted there.
std::string blit_result(const Image* font, int32_t code, int32_t x, int32_t y, int32_t cols = 32, int32_t rows = 32) {
  OwnedImage dest = image_of(100, 90, 0x123456), want = image_of(100, 90, 0x123456);
  paint(want.get(), code, x, y, cols, rows);
  const std::string out = output_of([&] { font_blit_glyph(font, dest.get(), code, x, y); });
  return out + diff(dest.get(), want.get());
}

TEST(Font, GlyphBlitTakesTheCellOfTheCodeAndDrawsInkOnly) {
  for (int32_t w : {256, 96}) {
    OwnedImage font = make_font(w, 96 * 32 * 32 / w);  // exactly cells 0 .. 95
    for (int32_t code : {0, 2, 3, 4, 7, 8, 10, 33, 65, 95})
      for (auto [x, y] : {std::pair{5, 9}, std::pair{-10, 70}, std::pair{80, -20}})  // clipped by each edge
        EXPECT_EQ(blit_result(font.get(), code, x, y), "") << "width " << w << " code " << code << " at " << x << "," << y;
  }
}

TEST(Font, CodesOutsideTheFontDrawOnlyWhatLiesInside) {
  OwnedImage short_font = make_font(256, 48);  // cells 0 .. 7, then the top half of 8 .. 15
  for (int32_t code : {-1, -8, -9, -100, INT32_MIN, 16, 100, INT32_MAX})
    EXPECT_EQ(blit_result(short_font.get(), code, 10, 10, 0, 0), "") << "code " << code;
  EXPECT_EQ(blit_result(short_font.get(), 9, 3, 4, 32, 16), "");  // cell 9 at (32, 32)
  OwnedImage narrow = make_font(80, 32);
  EXPECT_EQ(blit_result(narrow.get(), 2, 1, 2, 16, 32), "");  // cell 2 at x 64 of 80
}

TEST(Font, NullFontDrawsNothingAndReportsOnlyWhenAsked) {
  Keep keep_frame(frame_image);
  Keep keep_report(error_report);
  OwnedImage frame = image_of(256, 256, 0x010101), want = image_of(256, 256, 0x010101);
  frame_image = frame.get();
  const auto all_null_calls = [&] {
    font_blit_glyph(nullptr, frame.get(), 65, 0, 0);
    font_put_glyph(nullptr, 65, 0, 0);
    font_print_line(nullptr, "AB\n", 0, 0);  // two glyphs
    font_print_hex16(nullptr, 0x1234, 0, 0);  // four glyphs
  };
  error_report = 0;
  EXPECT_EQ(output_of([] { font_error(); }), "");
  EXPECT_EQ(output_of(all_null_calls), "");
  error_report = 1;
  EXPECT_EQ(output_of([] { font_error(); }), "FONT Error.\n");
  EXPECT_EQ(output_of(all_null_calls), repeated("FONT Error.\n", 8));  // one line per glyph
  OwnedImage font = make_font(256, 384);
  EXPECT_EQ(output_of([&] { font_print_line(font.get(), nullptr, 0, 0); }), "FONT Error.\n");
  EXPECT_EQ(diff(frame.get(), want.get()), "");
}

TEST(Font, PrintersDrawOneGlyphEvery32PixelsIntoTheFrame) {
  Keep keep_frame(frame_image);
  OwnedImage font = make_font(256, 384);
  OwnedImage frame = image_of(256, 256, 0);
  frame_image = frame.get();
  const auto expect_glyphs = [&](const std::function<void()>& print, const std::string& glyphs, int32_t x, int32_t y) {
    img_clear(frame.get());
    OwnedImage want = image_of(256, 256, 0);
    for (size_t i = 0; i < glyphs.size(); ++i) paint(want.get(), glyphs[i], x + 32 * static_cast<int32_t>(i), y);
    EXPECT_EQ(output_of(print), "");
    EXPECT_EQ(diff(frame.get(), want.get()), "") << "glyphs " << glyphs;
  };
  expect_glyphs([&] { font_put_glyph(font.get(), 'Q', 7, 8); }, "Q", 7, 8);
  // The line break stops the line and is not drawn.
  expect_glyphs([&] { font_print_line(font.get(), "AB\n", 20, 30); }, "AB", 20, 30);
  expect_glyphs([&] { font_print_line(font.get(), "\nAB\n", 20, 30); }, "", 20, 30);
  expect_glyphs([&] { font_print_line(font.get(), "HELLO WORLD\n", -40, 200); }, "HELLO WORLD", -40, 200);
  // Hex digits, most significant first; only the low byte / half is used.
  expect_glyphs([&] { font_print_hex8(font.get(), 0xAF, 3, 4); }, "AF", 3, 4);
  expect_glyphs([&] { font_print_hex8(font.get(), 0x3C09, 3, 4); }, "09", 3, 4);
  expect_glyphs([&] { font_print_hex16(font.get(), 0x1234, 10, 50); }, "1234", 10, 50);
  expect_glyphs([&] { font_print_hex16(font.get(), 0xFFFFBEAD, 10, 50); }, "BEAD", 10, 50);
  expect_glyphs([&] { font_print_hex32(font.get(), 0x89ABCDEF, 0, 100); }, "89ABCDEF", 0, 100);
  expect_glyphs([&] { font_print_hex32(font.get(), 0x01234567, -128, 100); }, "01234567", -128, 100);
}

// ---- scroller -------------------------------------------------------------

class Scroller : public ::testing::Test {
 protected:
  void SetUp() override {
    strip = own_strip.get();
    frame_image = own_frame.get();
    font_image = own_font.get();
    show_scroller = 1;
  }
  // The strip that the text at (pos, x) gives: nine slots, slot i at i*32 + x.
  OwnedImage strip_of(int32_t pos, int32_t x) const {
    OwnedImage want = image_of(256, 32, 0);
    for (int32_t i = 0; i < 9; ++i) paint(want.get(), scroll_text[pos + i], i * 32 + x, 0);
    return want;
  }
  static std::pair<int32_t, int32_t> place() { return {scroll_pos, scroll_x}; }
  static std::string one(int32_t i) { return std::string(1, scroll_text[i]); }
  static std::string advance(int32_t times) {
    return output_of([=] { for (int32_t i = 0; i < times; ++i) demo_scroller_advance(); });
  }
  Keep<Image*> keep_strip{strip}, keep_frame{frame_image}, keep_font{font_image};
  Keep<int32_t> keep_pos{scroll_pos}, keep_x{scroll_x}, keep_speed{scroll_speed};
  Keep<uint8_t> keep_show{show_scroller};
  OwnedImage own_strip = image_of(256, 32, 0x777777);
  OwnedImage own_frame = image_of(256, 256, 0);
  OwnedImage own_font = make_font(256, 384);
  const int32_t length = static_cast<int32_t>(std::strlen(scroll_text));
};

TEST_F(Scroller, StartsBlankAndEchoesTheFirstCharacterAfter144Advances) {
  scroll_pos = 0, scroll_x = 256, scroll_speed = 2;
  demo_scroller_draw();
  EXPECT_EQ(diff(strip, image_of(256, 32, 0).get()), "");
  EXPECT_EQ(advance(1), "");
  demo_scroller_draw();  // the second frame: two columns of the first glyph
  EXPECT_EQ(diff(strip, strip_of(0, 254).get()), "");
  EXPECT_EQ(advance(142), "");
  EXPECT_EQ(advance(1), one(0));
  EXPECT_EQ(place(), std::pair(1, 0));
}

TEST_F(Scroller, StepsOfOneCharacterDropTheOvershoot) {
  scroll_pos = 37, scroll_x = -30, scroll_speed = 2;
  EXPECT_EQ(advance(1), one(37));
  EXPECT_EQ(place(), std::pair(38, 0));
  scroll_x = -27, scroll_speed = 4;
  EXPECT_EQ(advance(1), "");
  EXPECT_EQ(place(), std::pair(38, -31));
  EXPECT_EQ(advance(1), one(38));  // -35 restarts at 0, not -3
  EXPECT_EQ(place(), std::pair(39, 0));
  // Speed 0 stands still.
  scroll_speed = 0, scroll_x = -31;
  EXPECT_EQ(advance(1000), "");
  EXPECT_EQ(place(), std::pair(39, -31));
  scroll_speed = 1, scroll_x = 0;  // one character per 32 advances
  EXPECT_EQ(advance(31), "");
  EXPECT_EQ(advance(1), one(39));
}

TEST_F(Scroller, RestartsWhenTheNextCharacterToEnterIsTheEnd) {
  scroll_speed = 2;
  scroll_pos = length - 11, scroll_x = -30;
  EXPECT_EQ(advance(1), one(length - 11));
  EXPECT_EQ(place(), std::pair(length - 10, 0));  // text[pos + 9] is the last line break
  scroll_x = -30;
  EXPECT_EQ(advance(1), one(length - 10));  // now text[pos + 9] would be the NUL
  EXPECT_EQ(place(), std::pair(0, 256));
  EXPECT_EQ(advance(143), "");
  EXPECT_EQ(advance(1), one(0));
  // The restart enters from the frame's right edge, not the strip's.
  OwnedImage narrow_frame = image_of(200, 200, 0);
  frame_image = narrow_frame.get(), scroll_pos = length - 10, scroll_x = -31;
  advance(1);
  EXPECT_EQ(scroll_x, 200);
}

TEST_F(Scroller, AFullPassEchoesAllButTheLastNineCharacters) {
  scroll_pos = 0, scroll_x = 256, scroll_speed = 4;
  // The first character after (256 + 32) / 4 advances, then one every 8.
  EXPECT_EQ(advance(72 + 8 * (length - 10)), std::string(scroll_text, static_cast<size_t>(length - 9)));
  EXPECT_EQ(place(), std::pair(0, 256));
  EXPECT_EQ(advance(72), one(0));
}

TEST_F(Scroller, StripShowsTheSlotsAndFreezesWhileDrawingIsOff) {
  scroll_pos = 100, scroll_x = -13, scroll_speed = 2;
  demo_scroller_draw();
  EXPECT_EQ(diff(strip, strip_of(100, -13).get()), "");
  scroll_x = 0;
  demo_scroller_draw();
  EXPECT_EQ(diff(strip, strip_of(100, 0).get()), "");

  show_scroller = 0;
  std::string echoed;
  for (int32_t frame = 0; frame < 40; ++frame) {
    demo_scroller_draw();
    echoed += advance(1);
  }
  EXPECT_EQ(diff(strip, strip_of(100, 0).get()), "");
  EXPECT_EQ(echoed, std::string(scroll_text + 100, 2));  // frames 16 and 32
  EXPECT_EQ(place(), std::pair(102, -16));
  show_scroller = 1;
  demo_scroller_draw();
  EXPECT_EQ(diff(strip, strip_of(102, -16).get()), "");

  // Without a font the strip is cleared and stays empty; the text moves on.
  font_image = nullptr;
  demo_scroller_draw();
  EXPECT_EQ(diff(strip, image_of(256, 32, 0).get()), "");
  EXPECT_EQ(advance(8), one(102));
}

}  // namespace
