// Tests of the image module: buffer, PNM codec (against pictures written and
// decoded by netpbm and ImageMagick), compositing, resampling, text form.
#include "core/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "tests/support.h"

namespace {

constexpr uint32_t white = 0x00FFFFFF;

// Runs f and returns how many "IMG error\n" lines it printed; any other
// output fails the test.
int errors_of(const std::function<void()>& f) {
  const std::string out = output_of(f);
  int count = 0;
  for (size_t at = 0; at < out.size(); at += 10, ++count)
    if (out.compare(at, 10, "IMG error\n") != 0) { ADD_FAILURE() << "unexpected output: " << out; break; }
  return count;
}

OwnedImage from_pixels(int32_t w, int32_t h, const Px& pixels) {
  const ImageView view{w, h, pixels.data()};
  return OwnedImage(img_from_view(&view));
}

// Every pixel non-zero and telling its position: 0x0Y000X, counted from 1.
OwnedImage numbered(int32_t w, int32_t h) {
  Px pixels;
  for (uint32_t i = 0; i < static_cast<uint32_t>(w * h); ++i) pixels.push_back((i / w + 1) << 16 | (i % w + 1));
  return from_pixels(w, h, pixels);
}

std::string temp_path(const char* name) { return "/tmp/vorn-test-image-" + std::to_string(getpid()) + name; }

// A plain P3 pixmap with maximum 255 as netpbm and ImageMagick write it:
// width, height, then the pixels as 0xRRGGBB.
Px read_plain(const std::string& text) {
  std::istringstream in(text);
  std::string magic;
  uint32_t w = 0, h = 0, maxval = 0, r = 0, g = 0, b = 0;
  in >> magic >> w >> h >> maxval;
  EXPECT_TRUE(magic == "P3" && maxval == 255);
  Px p{w, h};
  for (uint32_t i = 0; i < w * h && in >> r >> g >> b; ++i) p.push_back(r << 16 | g << 8 | b);
  EXPECT_EQ(p.size(), 2 + w * h);
  return p;
}

// The bounded parser over an exact-size heap copy, so that ASan sees any
// read at or past the end.
OwnedImage parse(const std::string& bytes) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + 1]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return OwnedImage(img_parse_pnm_n(copy.get(), bytes.size()));
}

OwnedImage load(const std::string& bytes) {
  const std::string path = temp_path(".pnm");
  std::ofstream(path, std::ios::binary) << bytes;
  OwnedImage image(img_load_pnm(path.c_str()));
  std::remove(path.c_str());
  return image;
}

}  // namespace

// ---- buffer -------------------------------------------------------------

TEST(ImageBuffer, LifeCycleSizesViewsAndPixelAccess) {
  Image* image = img_create();
  ASSERT_TRUE(image && image->width == 16 && image->height == 16);
  EXPECT_EQ(pixels_of(image), Px(256, 0));
  image->pixels[5] = 7;
  img_resize(image, 16, 16);  // the same size still clears
  EXPECT_EQ(image->pixels[5], 0u);
  img_resize(image, 5, 3);
  EXPECT_EQ(errors_of([&] {
              img_resize(image, -1, 4);
              img_resize(image, 4, -1);
              img_resize(image, INT32_MAX, INT32_MAX);  // overflows 32 bits
              img_resize(image, 1 << 13, 1 << 14);      // 2^27 pixels, over the cap
              for (auto [x, y] : {std::pair{5, 0}, {-1, 0}, {0, 3}, {0, -1}, {4, 3}}) img_set_pixel(image, x, y, 9);
              EXPECT_EQ(img_get_pixel(image, 3, 4), 0u);
            }), 10);
  ASSERT_TRUE(image->width == 5 && image->height == 3);
  EXPECT_EQ(pixels_of(image), Px(15, 0));
  img_set_pixel(image, 4, 2, 0xFF000001u);
  EXPECT_TRUE(image->pixels[14] == 0xFF000001u && img_get_pixel(image, 4, 2) == 0xFF000001u);

  Px view_pixels(15, 0);
  ImageView view{5, 3, view_pixels.data()};
  EXPECT_EQ(img_equals_view(image, &view), 0);
  view_pixels[14] = 0xFF000001u;
  EXPECT_EQ(img_equals_view(image, &view), 1);
  OwnedImage copy(img_from_view(&view));
  view_pixels[0] = 1;  // the copy is its own
  EXPECT_EQ(pixels_of(copy.get()), pixels_of(image));

  img_resize(image, 0, 7);
  EXPECT_EQ(errors_of([&] { img_clear(image); }), 0);
  const ImageView huge{1 << 14, 1 << 14, view_pixels.data()};
  EXPECT_EQ(errors_of([&] { EXPECT_EQ(img_get_pixel(image, 0, 0), 0u); }), 1);
  EXPECT_EQ(errors_of([&] { EXPECT_EQ(img_equals_view(image, nullptr), 0); EXPECT_FALSE(img_from_view(&huge)); }), 2);
  img_destroy(&image);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(errors_of([&] { img_destroy(&image); img_destroy(nullptr); }), 2);
}

TEST(ImageBuffer, MissingPixelBufferIsReportedByEveryOperation) {
  Image bare{4, 3, nullptr};
  OwnedImage good = numbered(4, 3);
  const ImageView view{4, 3, good->pixels};
  const std::string path = temp_path("-bare.ppm");
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { img_clear(&bare); }, [&] { img_set_pixel(&bare, 1, 1, 1); }, [&] { img_get_pixel(&bare, 1, 1); },
           [&] { img_equals_view(&bare, &view); }, [&] { img_blit_masked(&bare, good.get(), 0, 0, 0, 0, 4, 3); },
           [&] { img_blit_masked(good.get(), &bare, 0, 0, 0, 0, 4, 3); }, [&] { EXPECT_FALSE(img_scale(&bare, 8, 6)); },
           [&] { EXPECT_FALSE(img_rotate(&bare, 1.0)); }, [&] { img_darken(&bare, 1); },
           [&] { img_copy_row_wrapped(&bare, good.get(), 0, 0, 0); },
           [&] { img_or_row_wrapped(good.get(), &bare, 0, 0, 0); },
           [&] { img_and_mask(&bare, good.get()); }, [&] { img_and_mask(good.get(), &bare); },
           [&] { EXPECT_FALSE(img_to_text(&bare)); }, [&] { img_save_ppm(&bare, path.c_str()); }})
    EXPECT_EQ(errors_of(call), 1);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

// ---- PNM codec ----------------------------------------------------------

// Each fixture, read by the loader and the parser, equals the decoding of
// the tool that wrote it; every shorter copy of it is reported, except that
// a file cut inside raw data reads each missing byte as -1.
TEST(ImagePnm, FixturesMatchTheToolsAndEveryTruncationIsHandled) {
  for (const char* name : {"p1.pbm", "p2.pgm", "p3.ppm", "p4.pbm", "p5.pgm", "p6.ppm"}) {
    SCOPED_TRACE(name);
    const std::string path = VORN_SOURCE_DIR "/tests/fixtures/pnm/" + std::string(name);
    const Px want = read_plain(text_of(path + ".plain"));
    const std::string bytes = text_of(path);
    const char magic = bytes[1];
    const bool bitmap = magic == '1' || magic == '4';
    const size_t w = want[0], n = w * want[1], row_bytes = (w + 7) / 8;
    OwnedImage loaded(img_load_pnm(path.c_str())), parsed = parse(bytes);
    OwnedImage unbounded(img_parse_pnm(reinterpret_cast<const uint8_t*>(bytes.c_str())));
    ASSERT_TRUE(loaded && parsed && unbounded);
    ASSERT_EQ(loaded->width, static_cast<int32_t>(w));
    ASSERT_EQ(parsed->width, static_cast<int32_t>(bitmap ? row_bytes * 8 : w));  // the parser rounds up
    EXPECT_EQ(pixels_of(unbounded.get()), pixels_of(parsed.get()));
    for (const Image* image : {loaded.get(), parsed.get()})
      for (size_t i = 0; i < n; ++i)  // the tools show a set bit as black; here it is white
        EXPECT_EQ(img_get_pixel(image, i % w, i / w), bitmap ? (want[2 + i] == 0 ? white : 0) : want[2 + i]) << i;

    // Plain data is complete only with its last number; in a raw file the
    // header completes once its last number has begun.
    const size_t raw_bytes = magic == '4' ? row_bytes * want[1] : magic == '5' ? n : 3 * n;
    const size_t head = magic < '4' ? bytes.size() : bytes.size() - raw_bytes;
    size_t needed = magic < '4' ? bytes.find_last_of("0123456789") : head - 1;
    while (std::isdigit(static_cast<unsigned char>(bytes[needed - 1]))) --needed;
    for (size_t len = 0; len < bytes.size(); ++len) {
      if (magic >= '4' || len <= needed) {
        EXPECT_EQ(errors_of([&] { EXPECT_FALSE(parse(bytes.substr(0, len))); }), 1) << len;
      }
      if (len <= needed) {
        EXPECT_EQ(errors_of([&] { EXPECT_FALSE(load(bytes.substr(0, len))); }), 1) << len;
      }
      if (len < head) continue;
      OwnedImage cut = load(bytes.substr(0, len));
      ASSERT_TRUE(cut);
      for (size_t i = 0; i < n; ++i) {
        const size_t last = head + (magic == '4' ? i / w * row_bytes + i % w / 8 : magic == '5' ? i : 3 * i + 2);
        const uint32_t missing = magic == '4' ? white : 0xFFFFFFFFu;
        ASSERT_EQ(cut->pixels[i], last < len ? loaded->pixels[i] : missing) << len << " " << i;
      }
    }
  }
}

TEST(ImagePnm, LoaderAndParserDifferences) {
  // Raw bitmap 10 x 2: the file takes two bytes per row; memory rounds the
  // width to 16 and shows the padding bits.
  const std::string raw = std::string("P4\n10 2\n") + "\x80\x7F\x01\x40";
  OwnedImage file = load(raw), memory = parse(raw);
  ASSERT_TRUE(file && memory && memory->width == 16);
  EXPECT_EQ(pixels_of(file.get()), (Px{white, 0, 0, 0, 0, 0, 0, 0, 0, white, 0, 0, 0, 0, 0, 0, 0, white, 0, white}));
  EXPECT_EQ(Px(memory->pixels + 8, memory->pixels + 26),
            (Px{0, white, white, white, white, white, white, white, 0, 0, 0, 0, 0, 0, 0, white, 0, white}));
  // Plain digits without separators: one digit each in memory, one number
  // in a file (whose other pixels then come from what follows).
  OwnedImage digits = parse("P1 8 1\n01100000"), run = load("P1 8 1\n01100000 0 0 0 0 0 0 0\n");
  ASSERT_TRUE(digits && run);
  EXPECT_EQ(pixels_of(digits.get()), (Px{0, white, white, 0, 0, 0, 0, 0}));
  EXPECT_EQ(pixels_of(run.get()), (Px{white, 0, 0, 0, 0, 0, 0, 0}));
  // "#" right after a digit: a comment in memory; in a file it ends the
  // number and "c" becomes a height of 0.
  OwnedImage commented = parse("P2\n2#c\n1 255\n7 9\n");
  ASSERT_TRUE(commented);
  EXPECT_EQ(pixels_of(commented.get()), (Px{0x070707, 0x090909}));
  EXPECT_EQ(errors_of([&] { EXPECT_FALSE(load("P2\n2#c\n1 255\n7 9\n")); }), 1);
}

TEST(ImagePnm, SamplesAsTheyStandAndBadHeaders) {
  for (auto reader : {load, parse}) {
    OwnedImage rgb = reader(std::string("P6 2 1 255\n") + std::string("\xFF\0\0\0\xFF\0", 6));
    OwnedImage grey = reader("P5 1 1 65535\n\x80");  // still one byte per sample
    OwnedImage plain = reader("P1\n# c\n3 1\n1 0 1 0 0 0 0 0\n");
    OwnedImage spill = reader("P3 2 1 255\n256 0 0 99999999999 0 0\n");
    ASSERT_TRUE(rgb && grey && plain && spill);
    EXPECT_EQ(pixels_of(rgb.get()), (Px{0xFF0000, 0x00FF00}));
    EXPECT_EQ(pixels_of(grey.get()), Px{0x808080});
    EXPECT_EQ(Px(plain->pixels, plain->pixels + 3), (Px{white, 0, white}));
    EXPECT_EQ(pixels_of(spill.get()), (Px{0x01000000, 0xFFFF0000}));  // 256 spills; INT32_MAX saturates
    EXPECT_EQ(errors_of([&] {
                for (const char* bad : {"P7 1 1 255\n\x01", "P0 1 1 255\n\x01", "P5 0 1 255\n\x01", "P6 8193 8193 255\n",
                                        "P5 99999999999 99999999999 255\n", "", "P", "P5 1", "P5 1 1 # comment"})
                  EXPECT_FALSE(reader(bad)) << bad;
              }), 9);
  }
  EXPECT_EQ(errors_of([&] { EXPECT_FALSE(parse("2 1 255 x")); }), 1);  // no magic: must end, not loop
  EXPECT_EQ(errors_of([&] { img_load_pnm(nullptr); img_load_pnm("/nonexistent/x.ppm"); img_parse_pnm(nullptr); }), 3);
}

TEST(ImagePnm, SavedFilesReadBackThroughNetpbm) {
  const std::string path = temp_path("-saved.ppm");
  OwnedImage one = from_pixels(1, 1, {0xFF123456});
  ASSERT_EQ(img_save_ppm(one.get(), path.c_str()), 1);
  EXPECT_EQ(text_of(path), std::string("P6\n1 1\n255\n\x12\x34\x56"));
  Px pixels{37, 29};
  for (uint32_t i = 0; i < 37 * 29; ++i) pixels.push_back((i * 2654435761u) & 0xFFFFFF);
  OwnedImage image = from_pixels(37, 29, Px(pixels.begin() + 2, pixels.end()));
  ASSERT_EQ(img_save_ppm(image.get(), path.c_str()), 1);
  FILE* pipe = popen(("pnmtoplainpnm " + path).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  for (int c; (c = std::fgetc(pipe)) != EOF;) text.push_back(static_cast<char>(c));
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(read_plain(text), pixels);
  std::remove(path.c_str());
  OwnedImage empty = from_pixels(0, 5, {0});
  // A failed write (a full device) is no success either.
  for (const char* bad : {"/dev/full", "/nonexistent/x.ppm"})
    EXPECT_EQ(errors_of([&] { EXPECT_EQ(img_save_ppm(image.get(), bad), 0); }), 1);
  EXPECT_EQ(errors_of([&] { img_save_ppm(empty.get(), path.c_str()); img_save_ppm(image.get(), nullptr); }), 2);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

// ---- compositing and resampling ----------------------------------------

TEST(ImageBlit, ClipsAtAllEdgesLikeAPerPixelReference) {
  // Both images lie inside guards of non-zero pixels: a read outside the
  // source shows in the destination, a write outside it in the guards.  One
  // source is wider and lower than the destination, one narrower and taller,
  // so that each edge of each image is the one that clips.
  constexpr size_t guard = 64;
  for (const auto& [sw_, sh_] : {std::pair{9, 3}, {5, 6}}) {
    const int32_t sw = sw_, sh = sh_;  // plain variables, for the lambda to capture
    Px src_buf(2 * guard + static_cast<size_t>(sw * sh), 0x5A5A5A), dst_buf(2 * guard + 28, 0x5A5A5A);
    for (int32_t i = 0; i < sw * sh; ++i) src_buf[guard + i] = static_cast<uint32_t>(i + 1);
    src_buf[guard + 6] = 0;           // transparent
    src_buf[guard + 7] = 0x01000000;  // black, but not transparent
    const Image src{sw, sh, src_buf.data() + guard};
    Image dst{7, 4, dst_buf.data() + guard};
    EXPECT_EQ(errors_of([&] {
      for (int32_t sx = -6; sx <= 10; sx += 2)
        for (int32_t sy = -4; sy <= 7; ++sy)
          for (int32_t dx = -6; dx <= 8; ++dx)
            for (int32_t dy = -5; dy <= 5; ++dy)
              for (int32_t w : {0, 1, 4, 10})
                for (int32_t h : {2, 3, 7}) {
                  std::fill(dst.pixels, dst.pixels + 28, 0xABCDEF);
                  Px want = dst_buf;
                  img_blit_masked(&src, &dst, sx, sy, dx, dy, w, h);
                  for (int32_t r = 0; r < h; ++r)
                    for (int32_t c = 0; c < w; ++c) {
                      const int32_t x = sx + c, y = sy + r, tx = dx + c, ty = dy + r;
                      if (x < 0 || x >= sw || y < 0 || y >= sh || tx < 0 || tx >= 7 || ty < 0 || ty >= 4) continue;
                      if (src.pixels[y * sw + x] != 0) want[guard + ty * 7 + tx] = src.pixels[y * sw + x];
                    }
                  ASSERT_EQ(dst_buf, want) << sx << " " << sy << " " << dx << " " << dy << " " << w << " " << h;
                }
      img_blit_masked(&src, &dst, INT32_MAX, 0, INT32_MIN, 0, INT32_MAX, 1);
      img_blit_masked(&src, &dst, INT32_MIN, INT32_MIN, 0, 0, INT32_MAX, INT32_MAX);
    }), 0);
  }
}

TEST(ImageScale, RunTablesFollowTheirDefiningRule) {
  auto ceil_div = [](int64_t a, int64_t b) { return (a + b - 1) / b; };
  for (int64_t units = 1; units <= 40; ++units)
    for (int64_t runs = 1; runs <= units; ++runs) {
      std::unique_ptr<int32_t, decltype(&std::free)> table(img_run_lengths(runs, -units), &std::free);
      ASSERT_TRUE(table);
      for (int64_t k = 0; k < runs; ++k)
        ASSERT_EQ(table.get()[k], ceil_div((k + 1) * units, runs) - ceil_div(k * units, runs)) << units << "/" << runs;
    }
  // No runs, and |INT32_MIN| units (over the cap).
  EXPECT_EQ(errors_of([] { EXPECT_FALSE(img_run_lengths(0, 5)); EXPECT_FALSE(img_run_lengths(INT32_MIN, 1)); }), 2);
}

TEST(ImageScale, EveryPathTakesItsSourceUnits) {
  auto floor_unit = [](int32_t u, int32_t from, int32_t to) { return u * from / to; };
  auto first_unit = [](int32_t k, int32_t from, int32_t to) { return (k * from + to - 1) / to; };
  auto last_unit = [&](int32_t k, int32_t from, int32_t to) { return first_unit(k + 1, from, to) - 1; };
  // Small sizes in every combination, then rows long enough for the
  // 16-pixel blocks of the row loops (enlarged, kept, shrunk).
  std::vector<std::array<int32_t, 4>> cases;
  for (int32_t w = 1; w <= 7; ++w)
    for (int32_t h = 1; h <= 6; ++h)
      for (int32_t W = 1; W <= 9; ++W)
        for (int32_t H = 1; H <= 8; ++H) cases.push_back({w, h, W, H});
  for (auto [w, W] : {std::pair{37, 53}, {37, 37}, {20, 100}, {53, 37}, {16, 31}})
    for (auto [h, H] : {std::pair{3, 4}, {4, 3}}) cases.push_back({w, h, W, H});
  for (const auto& [w, h, W, H] : cases) {
    OwnedImage src = numbered(w, h);
    OwnedImage out(img_scale(src.get(), W, H));
    ASSERT_TRUE(out && out->width == W && out->height == H);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        const int32_t sx = w <= W ? floor_unit(x, w, W) : last_unit(x, w, W);
        const int32_t sy = h <= H ? floor_unit(y, h, H) : w > W ? last_unit(y, h, H) : first_unit(y, h, H);
        ASSERT_EQ(out->pixels[y * W + x], src->pixels[sy * w + sx]) << w << "x" << h << " to " << W << "x" << H;
      }
  }
  OwnedImage empty = from_pixels(0, 3, {0});
  EXPECT_EQ(errors_of([&] {
              for (auto [from, w, h] : {std::tuple{empty.get(), 4, 2}, {empty.get(), 0, 2}, {empty.get(), 3, 0}}) {
                OwnedImage out(img_scale(from, w, h));  // to or from no pixels
                EXPECT_TRUE(out && out->width == w && out->height == h && pixels_of(out.get()) == Px(w * h, 0));
              }
            }), 0);
  for (const auto& size : {std::pair{-1, 2}, {2, -1}, {INT32_MAX, INT32_MAX}, {1 << 14, 1 << 13}})
    EXPECT_EQ(errors_of([&] { EXPECT_FALSE(img_scale(empty.get(), size.first, size.second)); }), 1);
}

TEST(ImageScale, ScaledBlitEqualsScaleThenMaskedBlit) {
  // Sources with holes (0) so the mask matters; sizes that enlarge, keep
  // and shrink each axis; positions inside, across every edge and outside.
  for (auto [w, h] : {std::pair{5, 3}, {3, 7}, {1, 1}}) {
    OwnedImage src = numbered(w, h);
    for (int32_t i = 0; i < w * h; i += 3) src->pixels[i] = 0;
    for (int32_t W : {1, 3, 5, 12})
      for (int32_t H : {1, 4, 7, 11})
        for (int32_t dx : {-13, -4, 0, 2, 7, 9})
          for (int32_t dy : {-12, -3, 0, 5, 8}) {
            OwnedImage want = from_pixels(9, 8, Px(72, 0xABCDEF)), got = from_pixels(9, 8, Px(72, 0xABCDEF));
            OwnedImage scaled(img_scale(src.get(), W, H));
            img_blit_masked(scaled.get(), want.get(), 0, 0, dx, dy, W, H);
            EXPECT_EQ(errors_of([&] { img_blit_scaled(src.get(), W, H, got.get(), dx, dy); }), 0);
            ASSERT_EQ(pixels_of(got.get()), pixels_of(want.get()))
                << w << "x" << h << " to " << W << "x" << H << " at " << dx << "," << dy;
          }
  }
  OwnedImage src = numbered(2, 2), dst = from_pixels(2, 2, Px(4, 7)), empty = from_pixels(0, 3, {0});
  EXPECT_EQ(errors_of([&] {
              img_blit_scaled(src.get(), 0, 5, dst.get(), 0, 0);    // nothing scaled
              img_blit_scaled(empty.get(), 4, 4, dst.get(), 0, 0);  // nothing to scale from
              img_blit_scaled(src.get(), 4, 4, dst.get(), INT32_MAX, INT32_MIN);
            }), 0);
  EXPECT_EQ(pixels_of(dst.get()), Px(4, 7));
  EXPECT_EQ(errors_of([&] {
              img_blit_scaled(nullptr, 4, 4, dst.get(), 0, 0);
              img_blit_scaled(src.get(), -1, 4, dst.get(), 0, 0);
              img_blit_scaled(src.get(), INT32_MAX, INT32_MAX, dst.get(), 0, 0);
              img_blit_scaled(src.get(), 4, 4, nullptr, 0, 0);
            }), 4);
}

TEST(ImageRotate, QuarterTurnAndOutsideReads) {
  OwnedImage src = numbered(4, 2), same, turned;
  EXPECT_EQ(errors_of([&] { same.reset(img_rotate(src.get(), 0.0)); }), 0);
  EXPECT_EQ(pixels_of(same.get()), pixels_of(src.get()));
  const int printed = errors_of([&] { turned.reset(img_rotate(src.get(), M_PI / 2)); });
  ASSERT_TRUE(turned);
  const Px out = pixels_of(turned.get());  // the source has no 0, so a 0 is a read from outside
  EXPECT_TRUE(printed > 0 && printed == std::count(out.begin(), out.end(), 0u));
  OwnedImage odd = numbered(7, 5);
  OwnedImage quarter(img_rotate(odd.get(), M_PI / 2));
  EXPECT_EQ(img_get_pixel(quarter.get(), 4, 2), img_get_pixel(odd.get(), 3, 1));  // above centre to its right
  EXPECT_EQ(errors_of([&] { EXPECT_FALSE(img_rotate(src.get(), NAN)); }), 1);
}

TEST(ImageDarken, ChannelsStopAtZeroOnTheirOwn) {
  OwnedImage image = from_pixels(4, 1, {0x00FF0180, 0xFF000000, 0x00102030, 0xFF102030});
  img_darken(image.get(), 0x80);
  EXPECT_EQ(pixels_of(image.get()), (Px{0x007F0000, 0, 0, 0}));
  OwnedImage keep = from_pixels(2, 1, {0xFF102030, 0x00FFFFFF});
  img_darken(keep.get(), 0);
  EXPECT_EQ(pixels_of(keep.get()), (Px{0x00102030, 0x00FFFFFF}));
  img_darken(keep.get(), 255);
  EXPECT_EQ(pixels_of(keep.get()), (Px{0, 0}));
}

TEST(ImageRows, WrappedCopyOrAndMask) {
  OwnedImage src = numbered(4, 2), dst = from_pixels(10, 3, Px(30, 0x100000));
  // Which source column (1 to 4, 0 for none) each column of destination
  // row 2 holds after copying source row 1 at the offset.
  auto written = [&](int32_t offset) {
    std::fill(dst->pixels, dst->pixels + 30, 0x100000);
    img_copy_row_wrapped(src.get(), dst.get(), 1, 2, offset);
    Px cols;
    for (int32_t x = 20; x < 30; ++x) cols.push_back(dst->pixels[x] == 0x100000 ? 0 : dst->pixels[x] - 0x020000);
    return cols;
  };
  EXPECT_EQ(written(8), (Px{3, 4, 0, 0, 0, 0, 0, 0, 1, 2}));
  EXPECT_EQ(written(-3), (Px{4, 0, 0, 0, 0, 0, 0, 1, 2, 3}));
  EXPECT_EQ(written(10), (Px{1, 2, 3, 4, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(written(23), (Px{0, 0, 0, 1, 2, 3, 4, 0, 0, 0}));
  EXPECT_EQ(written(INT32_MIN), (Px{0, 0, 1, 2, 3, 4, 0, 0, 0, 0}));  // INT32_MIN mod 10 is 2
  OwnedImage wide = numbered(12, 1);
  img_copy_row_wrapped(wide.get(), dst.get(), 0, 0, 3);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(dst->pixels[x], wide->pixels[(x + 7) % 10]) << x;
  img_or_row_wrapped(src.get(), dst.get(), 0, 1, 9);
  EXPECT_EQ(Px(dst->pixels + 10, dst->pixels + 20),
            (Px{0x110002, 0x110003, 0x110004, 0x100000, 0x100000, 0x100000, 0x100000, 0x100000, 0x100000, 0x110001}));

  const Px before = pixels_of(dst.get());
  OwnedImage thin = from_pixels(0, 2, {0});
  for (const auto& rows : {std::pair{2, 0}, {0, 3}, {-1, 0}, {0, -1}})  // height, or negative
    EXPECT_EQ(errors_of([&] {
                img_copy_row_wrapped(src.get(), dst.get(), rows.first, rows.second, 0);
                img_or_row_wrapped(src.get(), dst.get(), rows.first, rows.second, 0);
              }), 2);
  EXPECT_EQ(errors_of([&] { img_copy_row_wrapped(src.get(), thin.get(), 0, 1, 5); }), 0);  // width 0
  EXPECT_EQ(pixels_of(dst.get()), before);

  OwnedImage mask = from_pixels(3, 1, {0xFF00FF, 0x0000FF, 0}), target = from_pixels(2, 2, Px(4, 0x123456));
  img_and_mask(mask.get(), target.get());
  EXPECT_EQ(pixels_of(target.get()), (Px{0x120056, 0x56, 0, 0x123456}));
  OwnedImage big = numbered(3, 2);
  EXPECT_EQ(errors_of([&] { img_and_mask(big.get(), target.get()); }), 1);
  EXPECT_EQ(pixels_of(target.get()), (Px{0x120056, 0x56, 0, 0x123456}));
}

// ---- text form ----------------------------------------------------------

TEST(ImageText, ExactBytesLineBreaksAndSearch) {
  auto text_of = [](int32_t w, int32_t h, const Px& pixels) {
    OwnedImage image = from_pixels(w, h, pixels);
    std::unique_ptr<char, decltype(&std::free)> text(img_to_text(image.get()), &std::free);
    return std::string(text ? text.get() : "(null)");
  };
  EXPECT_EQ(text_of(2, 1, {0x0000FF, 0xFF8000}), "IMG{\nP3\n2 1\n255\n  0   0 255 255 128   0\n}\n");
  EXPECT_EQ(text_of(1, 1, {0xFF000000}), "IMG{\nP3\n1 1\n255\n  0   0   0\n}\n");
  EXPECT_EQ(text_of(0, 5, {0}), "IMG{}");
  const std::string g = "  1  10 100 ", last = "  1  10 100\n";
  EXPECT_EQ(text_of(7, 1, Px(7, 0x010A64)), "IMG{\nP3\n7 1\n255\n" + g + g + g + g + g + last + last + "}\n");
  EXPECT_EQ(text_of(3, 2, Px(6, 0x010A64)), "IMG{\nP3\n3 2\n255\n" + g + g + g + g + g + last + "}\n");

  EXPECT_EQ(img_find_text("IMG{", "IMG"), 3);
  EXPECT_EQ(img_find_text("IMXMGIMG", "IMG"), 8);
  EXPECT_EQ(img_find_text("XMG", "IMG") + img_find_text("no brace", "{") + img_find_text("abc", ""), 0);
  EXPECT_EQ(errors_of([] { img_find_text(nullptr, "a"); img_find_text("a", nullptr); }), 2);
}

TEST(ImageText, ReadingAndRoundTrip) {
  Px pixels;
  for (uint32_t i = 0; i < 13 * 7; ++i) pixels.push_back(i * 0x9E3779B9u);
  OwnedImage image = from_pixels(13, 7, pixels);
  char* text = img_to_text(image.get());
  OwnedImage back(img_from_text(text));
  std::free(text);
  ASSERT_TRUE(back && back->width == 13);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  EXPECT_EQ(pixels_of(back.get()), pixels);

  OwnedImage odd(img_from_text("xx IMG zz { yy P3\n2 1\n7\n1\t2,3}} 256 0 99999999999 tail"));
  ASSERT_TRUE(odd);
  EXPECT_EQ(pixels_of(odd.get()), (Px{0x010203, 0x7FFFFFFF}));  // spilled 256, saturated blue
  OwnedImage empty(img_from_text("IMG{\nP3\n 3 2\n255\n"));         // a leading space: width 0
  EXPECT_TRUE(empty && empty->width == 0);
  EXPECT_EQ(errors_of([] {
              for (const char* bad : {"IMG{}", "IMG P3\n1 1 255 0 0 0", "{IMG P3\n1 1\n255\n1 2 3",
                                      "IMG{\nP3\n2 1\n255\n1 2 3 4 5", "IMG{\nP3\n2 1\n255", "IMG{\nP3\n2",
                                      "IMG{\nP3\n9999 9999\n255\n", "IMG{\nP3\n99999999999 99999999999\n255\n1 2 3"})
                EXPECT_FALSE(img_from_text(bad)) << bad;
            }), 8);
}
