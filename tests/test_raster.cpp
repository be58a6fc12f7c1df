// Tests of the raster module: drawing and stepping, clipped row fills and
// blends, comparison and copy, the placeholder files, life cycle and the
// error lines.
#include "fx/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>
#include "tests/support.h"

namespace {

const std::string raster_line = "RASTER error\n";
const std::string img_line = "IMG error\n";

// A raster whose entry i is 0x00010000 * i + 0x55, every entry distinct.
OwnedRaster counting(int32_t length) {
  OwnedRaster raster(raster_create());
  raster_resize(raster.get(), length);
  for (int32_t i = 0; i < length; ++i) raster->colours[i] = 0x00010000u * static_cast<uint32_t>(i) + 0x55u;
  return raster;
}

// The defining blend, channel by channel on 8-bit values.
uint32_t blended(uint32_t d, uint32_t c, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t old_level = (d >> shift) & 0xFF, new_level = (c >> shift) & 0xFF;
    out |= ((old_level * (256 - b) + new_level * b) / 256) << shift;
  }
  return out;
}

TEST(Raster, DrawPaintsEachRowFromTheWrappedTable) {
  OwnedRaster raster = counting(96);
  raster->offset = 90;
  OwnedImage image = image_of(7, 10, 0xABCDEF);
  EXPECT_EQ(output_of([&] { raster_draw(raster.get(), image.get()); }), "");
  for (int32_t y = 0; y < 10; ++y) {
    const uint32_t entry = y < 6 ? 90 + y : y - 6;  // 90 .. 95, then 0 .. 3
    for (int32_t x = 0; x < 7; ++x) ASSERT_EQ(img_get_pixel(image.get(), x, y), raster->colours[entry]) << x << "," << y;
  }

  // A table shorter than the image repeats downwards; an offset set from
  // outside the range still picks a table entry.
  OwnedRaster small = counting(3);
  OwnedImage tall = image_of(4, 8, 0);
  for (int32_t offset : {1, 7, -2}) {
    small->offset = offset;
    raster_draw(small.get(), tall.get());
    for (int32_t y = 0; y < 8; ++y)
      EXPECT_EQ(img_get_pixel(tall.get(), 3, y), small->colours[((offset + y) % 3 + 3) % 3]) << offset << " row " << y;
  }

  // The blended draw: every row mixed with its own entry.
  OwnedImage under = image_of(5, 4, 0x204080);
  raster->offset = 94;
  raster_draw_blend(raster.get(), under.get(), 64);
  for (int32_t y = 0; y < 4; ++y)
    EXPECT_EQ(img_get_pixel(under.get(), 4, y), blended(0x204080, raster->colours[(94 + y) % 96], 64)) << y;
}

TEST(Raster, DrawsReportMissingPartsAndEmptyTables) {
  OwnedRaster raster = counting(4);
  OwnedImage image = image_of(3, 2, 0x111111);
  const Px before = pixels_of(image.get());
  Image no_buffer{3, 2, nullptr};
  EXPECT_EQ(output_of([&] { raster_draw(nullptr, image.get()); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_draw(raster.get(), nullptr); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_draw(raster.get(), &no_buffer); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_draw_blend(nullptr, image.get(), 128); }), raster_line);

  // Length 0, from a resize or from the placeholder load: no entry to take.
  raster_resize(raster.get(), 0);
  EXPECT_EQ(output_of([&] { raster_draw(raster.get(), image.get()); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_draw_blend(raster.get(), image.get(), 128); }), raster_line);
  EXPECT_EQ(pixels_of(image.get()), before);

  // A failed allocation leaves a length and no table.
  uint32_t* table = raster->colours;
  raster->colours = nullptr;
  raster->length = 4;
  EXPECT_EQ(output_of([&] { raster_draw(raster.get(), image.get()); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_step(raster.get()); }), raster_line);
  EXPECT_EQ(output_of([&] { raster_clear(raster.get()); }), raster_line);
  raster->colours = table;
}

TEST(Raster, FillRowClipsToTheImage) {
  const int32_t w = 7, h = 5;  // x != y, so a swapped bound shows
  OwnedImage image = image_of(w, h, 0);
  Px expected(w * h, 0);
  EXPECT_EQ(output_of([&] {
              raster_fill_row(image.get(), 0xA1, 1, -5, w + 10);  // the whole row
              raster_fill_row(image.get(), 0xB2, 3, 2, 4);
              raster_fill_row(image.get(), 0xC3, 4, 5, 100);     // clipped right
              raster_fill_row(image.get(), 0xC3, 0, -100, 0);    // clipped left
              raster_fill_row(image.get(), 0xD4, -1, 0, w - 1);  // rows outside: silent
              raster_fill_row(image.get(), 0xD4, h, 0, w - 1);
              raster_fill_row(image.get(), 0xD4, 2, 4, 3);       // empty span
              raster_fill_row(image.get(), 0xD4, 2, w, w + 3);
              raster_fill_row(image.get(), 0xD4, 2, -4, -1);
            }),
            "");
  std::fill_n(&expected[1 * w], w, 0xA1);
  std::fill_n(&expected[3 * w + 2], 3, 0xB2);
  std::fill_n(&expected[4 * w + 5], w - 5, 0xC3);
  expected[0] = 0xC3;
  EXPECT_EQ(pixels_of(image.get()), expected);

  // Only the image module's line: once for a null image, once per pixel the
  // accessors would have been asked for when the buffer is missing.
  EXPECT_EQ(output_of([] { raster_fill_row(nullptr, 1, 0, 0, 3); }), img_line);
  EXPECT_EQ(output_of([] { raster_blend_row(nullptr, 1, 0, 0, 3, 9); }), img_line);
  Image no_buffer{w, h, nullptr};
  EXPECT_EQ(output_of([&] { raster_fill_row(&no_buffer, 1, 2, -5, 2); }), repeated(img_line, 3));
  EXPECT_EQ(output_of([&] { raster_blend_row(&no_buffer, 1, 2, 5, 99, 9); }), repeated(img_line, 4));
  EXPECT_EQ(output_of([&] { raster_fill_row(&no_buffer, 1, h, 0, 2); }), "");
}

TEST(Raster, BlendRowMixesEachChannel) {
  OwnedImage black = image_of(4, 3, 0);
  raster_blend_row(black.get(), 0xFFFFFF, 1, 0, 3, 128);
  EXPECT_EQ(img_get_pixel(black.get(), 3, 1), 0x7F7F7Fu);
  EXPECT_EQ(img_get_pixel(black.get(), 0, 0), 0u);

  // Against the per-channel rule; the top byte is always dropped, and a
  // red sum past INT32_MAX (0xFF0000 * 256) must not overflow.
  const uint32_t olds[] = {0, 0xFFFFFF, 0xAB123456, 0xFF0000, 0x00FF00, 0x80808080};
  const uint32_t news[] = {0, 0xFFFFFF, 0xFF0000, 0x010203, 0xCC00FF33};
  for (uint32_t old_pixel : olds)
    for (uint32_t colour : news)
      for (int32_t weight : {0, 1, 64, 128, 200, 255, 256}) {
        OwnedImage image = image_of(6, 2, old_pixel);
        raster_blend_row(image.get(), colour, 1, 1, 4, weight);
        EXPECT_EQ(img_get_pixel(image.get(), 1, 1), blended(old_pixel, colour, weight))
            << std::hex << old_pixel << " " << colour << " " << std::dec << weight;
        EXPECT_EQ(img_get_pixel(image.get(), 0, 1), old_pixel);
        EXPECT_EQ(img_get_pixel(image.get(), 5, 1), old_pixel);
        EXPECT_EQ(img_get_pixel(image.get(), 2, 0), old_pixel);
      }
  OwnedImage kept = image_of(3, 3, 0xAB123456);
  raster_blend_row(kept.get(), 0xFFFFFF, 2, -9, 9, 0);
  EXPECT_EQ(img_get_pixel(kept.get(), 1, 2), 0x123456u);
}

TEST(Raster, StepWrapsAtTheLength) {
  OwnedRaster one = counting(1);
  raster_step(one.get());
  EXPECT_EQ(one->offset, 0);
  OwnedRaster three = counting(3);
  int32_t seen[4];
  for (int32_t& s : seen) {
    s = three->offset;
    raster_step(three.get());
  }
  EXPECT_EQ(std::vector<int32_t>(std::begin(seen), std::end(seen)), (std::vector<int32_t>{0, 1, 2, 0}));
  OwnedRaster full(raster_create());
  full->offset = 17;
  for (int i = 0; i < 256; ++i) raster_step(full.get());
  EXPECT_EQ(full->offset, 17);
  full->offset = INT32_MAX;  // set from outside: wraps without overflow
  raster_step(full.get());
  EXPECT_EQ(full->offset, 0);
  EXPECT_EQ(output_of([] { raster_step(nullptr); }), raster_line);
}

TEST(Raster, EqualsAndFromView) {
  OwnedRaster a = counting(5);
  const RasterView self{a->length, a->offset, a->colours};
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_equals_view(a.get(), &self), 1); }), "");
  OwnedRaster b = counting(5);
  b->offset = 3;
  const RasterView shifted{b->length, b->offset, b->colours};
  EXPECT_EQ(raster_equals_view(a.get(), &shifted), 1);
  b->colours[4] ^= 1;
  EXPECT_EQ(raster_equals_view(a.get(), &shifted), 0);
  const RasterView longer{6, 0, nullptr};  // lengths differ: colours never read
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_equals_view(a.get(), &longer), 0); }), "");
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_equals_view(nullptr, &self), 0); }), raster_line);
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_equals_view(a.get(), nullptr), 0); }), raster_line);

  const uint32_t colours[] = {0x010101, 0x020202, 0, 0xFFFFFF};
  const RasterView view{4, 7, colours};
  OwnedRaster copy(raster_from_view(&view));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->length, 4);
  EXPECT_EQ(copy->offset, 0);
  EXPECT_NE(copy->colours, colours);
  EXPECT_EQ(Px(copy->colours, copy->colours + 4), Px(colours, colours + 4));
  EXPECT_EQ(raster_equals_view(copy.get(), &view), 1);
  EXPECT_EQ(output_of([] { EXPECT_EQ(raster_from_view(nullptr), nullptr); }), raster_line);
  const RasterView negative{-1, 0, colours};
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_from_view(&negative), nullptr); }), raster_line);
}

TEST(Raster, LifeCycleResizeAndClear) {
  Raster* raster = raster_create();
  ASSERT_NE(raster, nullptr);
  EXPECT_EQ(raster->length, 256);
  EXPECT_EQ(raster->offset, 0);
  EXPECT_EQ(Px(raster->colours, raster->colours + 256), Px(256, 0));
  raster->offset = 9;
  raster_resize(raster, 40);
  EXPECT_EQ(raster->length, 40);
  EXPECT_EQ(raster->offset, 0);
  raster->offset = 5;
  uint32_t* table = raster->colours;
  EXPECT_EQ(output_of([&] { raster_resize(raster, -1); }), raster_line);
  EXPECT_EQ(raster->length, 40);
  EXPECT_EQ(raster->offset, 5);
  EXPECT_EQ(raster->colours, table);
  EXPECT_EQ(output_of([] { raster_resize(nullptr, 3); }), raster_line);
  EXPECT_EQ(raster_to_text(raster), nullptr);
  EXPECT_EQ(raster_from_text("RASTER{}"), nullptr);

  raster_destroy(&raster);
  EXPECT_EQ(raster, nullptr);
  EXPECT_EQ(output_of([&] { raster_destroy(&raster); raster_destroy(nullptr); }), repeated(raster_line, 2));

  // Clear stops at the length, in a caller's static-style table.
  uint32_t storage[6] = {1, 2, 3, 4, 5, 6};
  Raster outside{4, 0, storage};
  raster_clear(&outside);
  EXPECT_EQ(Px(storage, storage + 6), (Px{0, 0, 0, 0, 5, 6}));
  EXPECT_EQ(output_of([] { raster_clear(nullptr); }), raster_line);
}

TEST(Raster, PlaceholderLoadAndSave) {
  const Scratch scratch;
  ASSERT_FALSE(scratch.dir.empty());
  const std::string dir = scratch.dir.string();
  const std::string kept = dir + "/kept.bin", saved = dir + "/saved.txt", fresh = dir + "/fresh.txt";
  { std::ofstream(kept, std::ios::binary) << "abc\n"; }
  { std::ofstream(saved) << "old contents"; }

  OwnedRaster loaded;
  EXPECT_EQ(output_of([&] { loaded.reset(raster_load(kept.c_str())); }), "");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->length, 0);
  EXPECT_EQ(text_of(kept), "abc\n");
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_load((dir + "/missing").c_str()), nullptr); }), raster_line);
  EXPECT_EQ(output_of([] { EXPECT_EQ(raster_load(nullptr), nullptr); }), raster_line);

  OwnedRaster valid = counting(3);
  EXPECT_EQ(raster_save(valid.get(), saved.c_str()), 1);
  EXPECT_EQ(text_of(saved), "");
  EXPECT_EQ(raster_save(valid.get(), fresh.c_str()), 1);
  EXPECT_EQ(access(fresh.c_str(), F_OK), 0);
  EXPECT_EQ(text_of(fresh), "");
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_save(loaded.get(), kept.c_str()), 0); }), raster_line);
  EXPECT_EQ(text_of(kept), "abc\n");  // length 0 is refused before opening
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_save(nullptr, saved.c_str()), 0); }), raster_line);
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_save(valid.get(), nullptr), 0); }), raster_line);
  EXPECT_EQ(output_of([&] { EXPECT_EQ(raster_save(valid.get(), (dir + "/no/such").c_str()), 0); }),
            raster_line);
}

}  // namespace
