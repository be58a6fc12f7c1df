// Tests of the image module: buffer, PNM codec (against pictures written and
// decoded by netpbm and ImageMagick), compositing, resampling, text form.
#include "core/image.h"

#include <gtest/gtest.h>

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
#include <vector>

#include <unistd.h>

namespace {

struct ImageFree {
  void operator()(Image* image) const { img_destroy(&image); }
};
using Owned = std::unique_ptr<Image, ImageFree>;

// Runs f and returns how many "IMG error\n" lines it printed; anything else
// on standard output fails the test.
int errors_of(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  const std::string out = testing::internal::GetCapturedStdout();
  int count = 0;
  for (size_t at = 0; at < out.size(); at += 10, ++count)
    if (out.compare(at, 10, "IMG error\n") != 0) { ADD_FAILURE() << "unexpected output: " << out; break; }
  return count;
}

Owned from_pixels(int32_t w, int32_t h, const std::vector<uint32_t>& pixels) {
  const ImageView view{w, h, pixels.data()};
  return Owned(img_from_view(&view));
}

// w x h image whose every pixel is non-zero and tells its position.
Owned numbered(int32_t w, int32_t h) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) pixels.push_back(0x010000u * static_cast<uint32_t>(y + 1) + static_cast<uint32_t>(x + 1));
  return from_pixels(w, h, pixels);
}

std::vector<uint32_t> pixels_of(const Image* image) {
  return {image->pixels, image->pixels + static_cast<size_t>(image->width) * static_cast<size_t>(image->height)};
}

std::string temp_path(const char* name) { return "/tmp/vorn-test-image-" + std::to_string(getpid()) + "-" + name; }

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A plain P3 pixmap with maximum 255 as written by netpbm or ImageMagick.
struct Plain {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> rgb;
};
Plain read_plain(const std::string& text) {
  std::istringstream in(text);
  std::string magic;
  int maxval = 0;
  Plain p;
  in >> magic >> p.width >> p.height >> maxval;
  EXPECT_EQ(magic, "P3");
  EXPECT_EQ(maxval, 255);
  for (int64_t i = 0, n = int64_t{p.width} * p.height; i < n; ++i) {
    uint32_t r = 0, g = 0, b = 0;
    in >> r >> g >> b;
    p.rgb.push_back(r << 16 | g << 8 | b);
  }
  EXPECT_FALSE(in.fail());
  return p;
}

Owned parse(const std::string& bytes) {
  // An exact-size heap copy, so that any read past the end is caught.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return Owned(img_parse_pnm_n(copy.get(), bytes.size()));
}

Owned load(const std::string& bytes) {
  const std::string path = temp_path("load.pnm");
  write_file(path, bytes);
  Owned image(img_load_pnm(path.c_str()));
  std::remove(path.c_str());
  return image;
}

constexpr uint32_t white = 0x00FFFFFF;

}  // namespace

// ---- buffer -------------------------------------------------------------

TEST(ImageBuffer, LifeCycleResizeAndCap) {
  Image* image = img_create();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 16);
  EXPECT_EQ(image->height, 16);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(image->pixels[i], 0u);
  image->pixels[5] = 7;
  img_resize(image, 16, 16);  // the same size still clears
  EXPECT_EQ(image->pixels[5], 0u);

  img_resize(image, 3, 2);
  EXPECT_EQ(errors_of([&] {
              img_resize(image, -1, 4);
              img_resize(image, 4, -1);
              img_resize(image, INT32_MAX, INT32_MAX);  // overflows 32 bits
              img_resize(image, 1 << 13, 1 << 14);      // 2^27 pixels, over the cap
            }), 4);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);

  img_resize(image, 0, 7);
  EXPECT_EQ(errors_of([&] { img_clear(image); }), 0);
  EXPECT_EQ(errors_of([&] { EXPECT_EQ(img_get_pixel(image, 0, 0), 0u); }), 1);

  img_destroy(&image);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(errors_of([&] { img_destroy(&image); img_destroy(nullptr); }), 2);
}

TEST(ImageBuffer, PixelAccessAtAllFourEdges) {
  Owned image = numbered(5, 3);
  const std::vector<uint32_t> before = pixels_of(image.get());
  EXPECT_EQ(errors_of([&] {
              img_set_pixel(image.get(), 5, 0, 9);
              img_set_pixel(image.get(), -1, 0, 9);
              img_set_pixel(image.get(), 0, 3, 9);
              img_set_pixel(image.get(), 0, -1, 9);
              img_set_pixel(image.get(), 4, 3, 9);  // x inside, y just outside
              EXPECT_EQ(img_get_pixel(image.get(), 3, 4), 0u);
            }), 6);
  EXPECT_EQ(pixels_of(image.get()), before);
  img_set_pixel(image.get(), 4, 2, 0xFF000001u);
  EXPECT_EQ(image->pixels[14], 0xFF000001u);
  EXPECT_EQ(img_get_pixel(image.get(), 4, 2), 0xFF000001u);
  EXPECT_EQ(img_get_pixel(image.get(), 4, 0), 0x010005u);
}

TEST(ImageBuffer, ViewsCompareAndCopy) {
  std::vector<uint32_t> pixels{1, 2, 3, 4};
  Owned image = from_pixels(2, 2, pixels);
  ImageView view{2, 2, pixels.data()};
  pixels[3] = 5;  // the copy is its own
  EXPECT_EQ(image->pixels[3], 4u);
  EXPECT_EQ(errors_of([&] {
              EXPECT_EQ(img_equals_view(image.get(), &view), 0);
              pixels[3] = 4;
              EXPECT_EQ(img_equals_view(image.get(), &view), 1);
              view.width = 1;
              EXPECT_EQ(img_equals_view(image.get(), &view), 0);
            }), 0);
  EXPECT_EQ(errors_of([&] {
              EXPECT_EQ(img_equals_view(image.get(), nullptr), 0);
              EXPECT_EQ(img_from_view(nullptr), nullptr);
              const ImageView huge{1 << 14, 1 << 14, pixels.data()};
              EXPECT_EQ(img_from_view(&huge), nullptr);
            }), 3);
}

TEST(ImageBuffer, MissingPixelBufferIsReportedByEveryOperation) {
  Image bare{4, 3, nullptr};
  Owned good = numbered(4, 3);
  const std::string path = temp_path("bare.ppm");
  int calls = 0;
  const int printed = errors_of([&] {
    auto call = [&](auto f) { f(); ++calls; };
    call([&] { img_clear(&bare); });
    call([&] { img_set_pixel(&bare, 1, 1, 1); });
    call([&] { EXPECT_EQ(img_get_pixel(&bare, 1, 1), 0u); });
    call([&] { const ImageView v{4, 3, good->pixels}; EXPECT_EQ(img_equals_view(&bare, &v), 0); });
    call([&] { img_blit_masked(&bare, good.get(), 0, 0, 0, 0, 4, 3); });
    call([&] { img_blit_masked(good.get(), &bare, 0, 0, 0, 0, 4, 3); });
    call([&] { EXPECT_EQ(img_scale(&bare, 8, 6), nullptr); });
    call([&] { EXPECT_EQ(img_rotate(&bare, 1.0), nullptr); });
    call([&] { img_darken(&bare, 1); });
    call([&] { img_copy_row_wrapped(&bare, good.get(), 0, 0, 0); });
    call([&] { img_or_row_wrapped(good.get(), &bare, 0, 0, 0); });
    call([&] { img_and_mask(&bare, good.get()); });
    call([&] { img_and_mask(good.get(), &bare); });
    call([&] { EXPECT_EQ(img_to_text(&bare), nullptr); });
    call([&] { EXPECT_EQ(img_save_ppm(&bare, path.c_str()), 0); });
  });
  EXPECT_EQ(printed, calls);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

// ---- PNM codec ----------------------------------------------------------

TEST(ImagePnm, FixturesMatchTheWritingToolsOwnDecoding) {
  const std::string dir = VORN_SOURCE_DIR "/tests/fixtures/pnm/";
  for (const char* name : {"p1.pbm", "p2.pgm", "p3.ppm", "p4.pbm", "p5.pgm", "p6.ppm"}) {
    SCOPED_TRACE(name);
    const Plain want = read_plain(read_file(dir + name + ".plain"));
    const bool bitmap = name[1] == '1' || name[1] == '4';
    const std::string bytes = read_file(dir + name);
    Owned loaded(img_load_pnm((dir + name).c_str()));
    Owned parsed = parse(bytes);
    Owned unbounded(img_parse_pnm(reinterpret_cast<const uint8_t*>(bytes.c_str())));
    ASSERT_TRUE(loaded && parsed && unbounded);
    EXPECT_EQ(loaded->width, want.width);
    EXPECT_EQ(parsed->width, bitmap ? (want.width + 7) / 8 * 8 : want.width);
    EXPECT_EQ(pixels_of(unbounded.get()), pixels_of(parsed.get()));
    for (const Image* image : {loaded.get(), parsed.get()}) {
      ASSERT_EQ(image->height, want.height);
      for (int32_t y = 0; y < want.height; ++y)
        for (int32_t x = 0; x < want.width; ++x) {
          const uint32_t tool = want.rgb[static_cast<size_t>(y * want.width + x)];
          // The tools show a set bit as black; here it is white.
          EXPECT_EQ(img_get_pixel(image, x, y), bitmap ? (tool == 0 ? white : 0) : tool) << x << "," << y;
        }
    }
  }
}

TEST(ImagePnm, LoaderAndParserDifferences) {
  // Raw bitmap 10 x 2: the file reads two bytes per row; memory rounds the
  // width to 16 and shows the padding bits.
  const std::string raw = std::string("P4\n10 2\n") + "\x80\x7F\x01\x40";
  Owned file = load(raw), memory = parse(raw);
  ASSERT_TRUE(file && memory);
  EXPECT_EQ(file->width, 10);
  EXPECT_EQ(pixels_of(file.get()), (std::vector<uint32_t>{white, 0, 0, 0, 0, 0, 0, 0, 0, white,
                                                          0, 0, 0, 0, 0, 0, 0, white, 0, white}));
  EXPECT_EQ(memory->width, 16);
  for (int32_t x = 10; x < 16; ++x) EXPECT_EQ(img_get_pixel(memory.get(), x, 0), white);
  EXPECT_EQ(img_get_pixel(memory.get(), 15, 1), 0u);
  EXPECT_EQ(img_get_pixel(memory.get(), 1, 1), 0u);
  EXPECT_EQ(img_get_pixel(memory.get(), 9, 1), white);

  // Plain digits without separators: one digit each in memory, one number
  // in a file (the rest is then looked for after it).
  Owned digits = parse("P1 8 1\n01100000");
  ASSERT_TRUE(digits);
  EXPECT_EQ(pixels_of(digits.get()), (std::vector<uint32_t>{0, white, white, 0, 0, 0, 0, 0}));
  Owned run = load("P1 8 1\n01100000 0 0 0 0 0 0 0\n");
  ASSERT_TRUE(run);
  EXPECT_EQ(pixels_of(run.get()), (std::vector<uint32_t>{white, 0, 0, 0, 0, 0, 0, 0}));

  // "#" right after a digit: a comment in memory, header tokens in a file
  // (so the file's height is taken from the comment word and is 0).
  const std::string hash = "P2\n2#c\n1 255\n7 9\n";
  Owned commented = parse(hash);
  ASSERT_TRUE(commented);
  EXPECT_EQ(pixels_of(commented.get()), (std::vector<uint32_t>{0x070707, 0x090909}));
  EXPECT_EQ(errors_of([&] { EXPECT_FALSE(load(hash)); }), 1);
}

TEST(ImagePnm, SamplesAreTakenAsTheyStand) {
  for (auto reader : {load, parse}) {
    Owned rgb = reader(std::string("P6 2 1 255\n") + std::string("\xFF\0\0\0\xFF\0", 6));
    Owned grey = reader("P5 1 1 65535\n\x80");
    Owned plain = reader("P1\n# c\n3 1\n1 0 1 0 0 0 0 0\n");
    Owned spill = reader("P3 2 1 255\n256 0 0 99999999999 0 0\n");
    ASSERT_TRUE(rgb && grey && plain && spill);
    EXPECT_EQ(pixels_of(rgb.get()), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
    EXPECT_EQ(pixels_of(grey.get()), std::vector<uint32_t>{0x808080});
    EXPECT_EQ(plain->pixels[0], white);
    EXPECT_EQ(plain->pixels[1], 0u);
    EXPECT_EQ(plain->pixels[2], white);
    // 256 spills into bit 24; an over-long number saturates at INT32_MAX.
    EXPECT_EQ(pixels_of(spill.get()), (std::vector<uint32_t>{0x01000000, 0xFFFF0000}));
  }
}

TEST(ImagePnm, BadHeadersAndHugeSizesAreReported) {
  for (auto reader : {load, parse}) {
    EXPECT_EQ(errors_of([&] {
                for (const char* bad : {"P7 1 1 255\n\x01", "P0 1 1 255\n\x01", "P5 0 1 255\n\x01",
                                        "P5 65536 65536 255\n", "P5 99999999999 99999999999 255\n",
                                        "P6 8193 8193 255\n", "", "P", "P5 1", "P5 1 1 # comment"})
                  EXPECT_FALSE(reader(bad)) << bad;
              }), 10);
  }
  EXPECT_EQ(errors_of([&] {
              EXPECT_FALSE(parse("2 1 255 x"));  // never a magic: must not loop
              EXPECT_FALSE(img_load_pnm(nullptr));
              EXPECT_FALSE(img_load_pnm("/nonexistent/x.ppm"));
              EXPECT_FALSE(img_parse_pnm(nullptr));
              EXPECT_FALSE(img_parse_pnm_n(nullptr, 4));
            }), 5);
}

TEST(ImagePnm, EveryTruncationIsReportedOrReadsAsMinusOne) {
  const std::string dir = VORN_SOURCE_DIR "/tests/fixtures/pnm/";
  for (const char* name : {"p1.pbm", "p2.pgm", "p3.ppm", "p4.pbm", "p5.pgm", "p6.ppm"}) {
    SCOPED_TRACE(name);
    const std::string bytes = read_file(dir + name);
    Owned full = load(bytes);
    ASSERT_TRUE(full);
    const size_t n = static_cast<size_t>(full->width) * static_cast<size_t>(full->height);
    const char magic = bytes[1];
    // Raw data sits at the end; plain data is complete only with its last digit.
    const size_t data = magic == '4' ? static_cast<size_t>((full->width + 7) / 8 * full->height)
                        : magic == '5' ? n : 3 * n;
    if (magic >= '4') {
      const size_t head = bytes.size() - data;
      // The file loader completes a header cut inside its last number.
      size_t last_number = head - 1;
      while (std::isdigit(static_cast<unsigned char>(bytes[last_number - 1]))) --last_number;
      for (size_t len = 0; len < bytes.size(); ++len) {
        EXPECT_EQ(errors_of([&] { EXPECT_FALSE(parse(bytes.substr(0, len))); }), 1) << len;
        if (len <= last_number) {
          EXPECT_EQ(errors_of([&] { EXPECT_FALSE(load(bytes.substr(0, len))); }), 1) << len;
        }
        if (len < head) continue;
        // A file cut inside raw data: every byte past its end reads as -1.
        Owned cut = load(bytes.substr(0, len));
        ASSERT_TRUE(cut);
        for (size_t i = 0; i < n; ++i) {
          const size_t x = i % static_cast<size_t>(full->width), y = i / static_cast<size_t>(full->width);
          const size_t last = magic == '4' ? head + y * static_cast<size_t>((full->width + 7) / 8) + x / 8
                              : magic == '5' ? head + i : head + 3 * i + 2;
          const uint32_t want = last < len ? full->pixels[i] : magic == '4' ? white : 0xFFFFFFFFu;
          ASSERT_EQ(cut->pixels[i], want) << len << " " << i;
        }
      }
    } else {
      size_t last_run = bytes.find_last_of("0123456789");
      while (last_run > 0 && std::isdigit(static_cast<unsigned char>(bytes[last_run - 1]))) --last_run;
      for (size_t len = 0; len <= last_run; ++len) {
        EXPECT_EQ(errors_of([&] { EXPECT_FALSE(parse(bytes.substr(0, len))); }), 1) << len;
        EXPECT_EQ(errors_of([&] { EXPECT_FALSE(load(bytes.substr(0, len))); }), 1) << len;
      }
    }
  }
}

TEST(ImagePnm, SavedFilesReadBackThroughNetpbm) {
  const std::string path = temp_path("saved.ppm");
  Owned one = from_pixels(1, 1, {0xFF123456});
  ASSERT_EQ(img_save_ppm(one.get(), path.c_str()), 1);
  EXPECT_EQ(read_file(path), std::string("P6\n1 1\n255\n\x12\x34\x56"));

  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 37 * 29; ++i) pixels.push_back((i * 2654435761u) & 0xFFFFFF);
  Owned image = from_pixels(37, 29, pixels);
  ASSERT_EQ(img_save_ppm(image.get(), path.c_str()), 1);
  FILE* pipe = popen(("pnmtoplainpnm " + path).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  for (int c; (c = std::fgetc(pipe)) != EOF;) text.push_back(static_cast<char>(c));
  EXPECT_EQ(pclose(pipe), 0);
  const Plain back = read_plain(text);
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 29);
  EXPECT_EQ(back.rgb, pixels);
  std::remove(path.c_str());

  Owned empty = from_pixels(0, 5, {0});
  EXPECT_EQ(errors_of([&] {
              EXPECT_EQ(img_save_ppm(empty.get(), path.c_str()), 0);
              EXPECT_EQ(img_save_ppm(image.get(), nullptr), 0);
              EXPECT_EQ(img_save_ppm(image.get(), "/nonexistent/x.ppm"), 0);
              EXPECT_EQ(img_save_ppm(image.get(), "/dev/full"), 0);  // a failed write is no success
            }), 4);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

// ---- compositing and resampling ----------------------------------------

TEST(ImageBlit, ClipsAtAllEdgesLikeAPerPixelReference) {
  // Both images lie inside guard zones of non-zero pixels, so a read outside
  // the source shows up in the destination and a write outside it in the
  // guards.  One source is wider and lower than the destination, one
  // narrower and taller, so that each edge of each image is the one that clips.
  constexpr size_t guard = 64;
  constexpr uint32_t canary = 0x5A5A5A;
  for (auto [sw, sh] : {std::pair{9, 3}, {5, 6}}) {
    std::vector<uint32_t> src_buf(2 * guard + static_cast<size_t>(sw * sh), canary);
    for (int32_t i = 0; i < sw * sh; ++i) src_buf[guard + static_cast<size_t>(i)] = static_cast<uint32_t>(i + 1);
    src_buf[guard + 6] = 0;           // one transparent pixel
    src_buf[guard + 7] = 0x01000000;  // black, but not transparent
    const Image src{sw, sh, src_buf.data() + guard};
    std::vector<uint32_t> dst_buf(2 * guard + 28, canary);
    Image dst{7, 4, dst_buf.data() + guard};
    const int printed = errors_of([&] {
      for (int32_t sx = -6; sx <= 10; sx += 2)
        for (int32_t sy = -4; sy <= 7; ++sy)
          for (int32_t dx = -6; dx <= 8; ++dx)
            for (int32_t dy = -5; dy <= 5; ++dy)
              for (int32_t w : {0, 1, 4, 10})
                for (int32_t h : {2, 3, 7}) {
                  std::fill(dst.pixels, dst.pixels + 28, 0xABCDEF);
                  std::vector<uint32_t> want = dst_buf;
                  img_blit_masked(&src, &dst, sx, sy, dx, dy, w, h);
                  for (int32_t r = 0; r < h; ++r)
                    for (int32_t c = 0; c < w; ++c) {
                      const int32_t x = sx + c, y = sy + r, tx = dx + c, ty = dy + r;
                      if (x < 0 || x >= sw || y < 0 || y >= sh || tx < 0 || tx >= 7 || ty < 0 || ty >= 4) continue;
                      const uint32_t p = src.pixels[y * sw + x];
                      if (p != 0) want[guard + static_cast<size_t>(ty * 7 + tx)] = p;
                    }
                  ASSERT_EQ(dst_buf, want) << sx << " " << sy << " " << dx << " " << dy << " " << w << " " << h;
                }
      img_blit_masked(&src, &dst, INT32_MAX, 0, INT32_MIN, 0, INT32_MAX, 1);
      img_blit_masked(&src, &dst, INT32_MIN, INT32_MIN, 0, 0, INT32_MAX, INT32_MAX);
    });
    EXPECT_EQ(printed, 0);
    EXPECT_EQ(errors_of([&] { img_blit_masked(nullptr, &dst, 0, 0, 0, 0, 1, 1); }), 1);
  }
}

TEST(ImageRuns, TablesFollowTheirDefiningRule) {
  for (int64_t units = 1; units <= 40; ++units)
    for (int64_t runs = 1; runs <= units; ++runs) {
      int32_t* table = img_run_lengths(static_cast<int32_t>(runs), static_cast<int32_t>(-units));
      ASSERT_NE(table, nullptr);
      auto ceil_div = [](int64_t a, int64_t b) { return (a + b - 1) / b; };
      for (int64_t k = 0; k < runs; ++k)
        ASSERT_EQ(table[k], ceil_div((k + 1) * units, runs) - ceil_div(k * units, runs)) << units << "/" << runs;
      std::free(table);
    }
  int32_t* table = img_run_lengths(3, 10);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(std::vector<int32_t>(table, table + 3), (std::vector<int32_t>{4, 3, 3}));
  std::free(table);
  EXPECT_EQ(errors_of([] {
              EXPECT_EQ(img_run_lengths(0, 5), nullptr);
              EXPECT_EQ(img_run_lengths(INT32_MIN, 1), nullptr);  // |INT32_MIN| units, over the cap
              EXPECT_EQ(img_run_lengths(INT32_MIN, INT32_MIN), nullptr);
            }), 3);
}

TEST(ImageScale, EveryPathTakesItsSourceUnits) {
  auto floor_unit = [](int32_t u, int32_t from, int32_t to) { return u * from / to; };
  auto last_unit = [](int32_t k, int32_t from, int32_t to) { return ((k + 1) * from + to - 1) / to - 1; };
  auto first_unit = [](int32_t k, int32_t from, int32_t to) { return (k * from + to - 1) / to; };
  for (int32_t w = 1; w <= 7; ++w)
    for (int32_t h = 1; h <= 6; ++h) {
      Owned src = numbered(w, h);
      for (int32_t W = 1; W <= 9; ++W)
        for (int32_t H = 1; H <= 8; ++H) {
          Owned out(img_scale(src.get(), W, H));
          ASSERT_TRUE(out);
          ASSERT_EQ(out->width, W);
          ASSERT_EQ(out->height, H);
          for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x) {
              const int32_t sx = w <= W ? floor_unit(x, w, W) : last_unit(x, w, W);
              const int32_t sy = h <= H ? floor_unit(y, h, H) : w > W ? last_unit(y, h, H) : first_unit(y, h, H);
              ASSERT_EQ(out->pixels[y * W + x], src->pixels[sy * w + sx]) << w << "x" << h << " to " << W << "x" << H;
            }
        }
    }
  Owned row = numbered(3, 1);
  Owned wide(img_scale(row.get(), 10, 1));
  EXPECT_EQ(pixels_of(wide.get()), (std::vector<uint32_t>{0x10001, 0x10001, 0x10001, 0x10001, 0x10002, 0x10002,
                                                          0x10002, 0x10003, 0x10003, 0x10003}));
}

TEST(ImageScale, ZeroAndBadSizes) {
  Owned src = numbered(3, 2);
  EXPECT_EQ(errors_of([&] {
              for (auto [w, h] : {std::pair{0, 4}, {5, 0}, {0, 0}}) {
                Owned out(img_scale(src.get(), w, h));
                ASSERT_TRUE(out);
                EXPECT_EQ(out->width, w);
                EXPECT_EQ(out->height, h);
              }
              Owned empty = from_pixels(0, 3, {0});
              Owned out(img_scale(empty.get(), 4, 2));
              ASSERT_TRUE(out);
              EXPECT_EQ(pixels_of(out.get()), std::vector<uint32_t>(8, 0));
              Owned same(img_scale(src.get(), 3, 2));
              EXPECT_EQ(pixels_of(same.get()), pixels_of(src.get()));
            }), 0);
  EXPECT_EQ(errors_of([&] {
              EXPECT_FALSE(img_scale(src.get(), -1, 2));
              EXPECT_FALSE(img_scale(src.get(), 2, -1));
              EXPECT_FALSE(img_scale(nullptr, 2, 2));
              EXPECT_FALSE(img_scale(src.get(), INT32_MAX, INT32_MAX));
              EXPECT_FALSE(img_scale(src.get(), 1 << 14, 1 << 13));
            }), 5);
}

TEST(ImageRotate, QuarterTurnAndOutsideReads) {
  Owned src = numbered(4, 2);
  EXPECT_EQ(errors_of([&] {
              Owned same(img_rotate(src.get(), 0.0));
              EXPECT_EQ(pixels_of(same.get()), pixels_of(src.get()));
            }), 0);
  Owned turned;
  const int printed = errors_of([&] { turned.reset(img_rotate(src.get(), M_PI / 2)); });
  ASSERT_TRUE(turned);
  // Every source pixel is non-zero, so a 0 is exactly a read from outside.
  int zeros = 0;
  for (uint32_t p : pixels_of(turned.get())) zeros += p == 0;
  EXPECT_GT(printed, 0);
  EXPECT_EQ(printed, zeros);
  Owned odd = numbered(7, 5);
  Owned quarter(img_rotate(odd.get(), M_PI / 2));
  EXPECT_EQ(img_get_pixel(quarter.get(), 4, 2), img_get_pixel(odd.get(), 3, 1));  // above centre to its right
  EXPECT_EQ(errors_of([&] {
              EXPECT_FALSE(img_rotate(nullptr, 1.0));
              EXPECT_FALSE(img_rotate(src.get(), NAN));
            }), 2);
}

TEST(ImageDarken, ChannelsStopAtZeroOnTheirOwn) {
  Owned image = from_pixels(3, 1, {0x00FF0180, 0xFF000000, 0x00102030});
  img_darken(image.get(), 0x80);
  EXPECT_EQ(pixels_of(image.get()), (std::vector<uint32_t>{0x007F0000, 0, 0}));
  Owned keep = from_pixels(2, 1, {0xFF102030, 0x00FFFFFF});
  img_darken(keep.get(), 0);
  EXPECT_EQ(pixels_of(keep.get()), (std::vector<uint32_t>{0x00102030, 0x00FFFFFF}));
  img_darken(keep.get(), 255);
  EXPECT_EQ(pixels_of(keep.get()), (std::vector<uint32_t>{0, 0}));
  EXPECT_EQ(errors_of([] { img_darken(nullptr, 1); }), 1);
}

TEST(ImageRows, WrappedCopyOrAndMask) {
  Owned src = numbered(4, 2);
  Owned dst = from_pixels(10, 3, std::vector<uint32_t>(30, 0x100000));
  auto written = [&](int32_t offset) {
    std::fill(dst->pixels, dst->pixels + 30, 0x100000);
    img_copy_row_wrapped(src.get(), dst.get(), 1, 2, offset);
    std::vector<int32_t> cols;
    for (int32_t x = 0; x < 10; ++x)
      if (dst->pixels[20 + x] != 0x100000) cols.push_back(x);
    return cols;
  };
  EXPECT_EQ(written(8), (std::vector<int32_t>{0, 1, 8, 9}));
  EXPECT_EQ(dst->pixels[28], src->pixels[4]);
  EXPECT_EQ(dst->pixels[21], src->pixels[7]);
  EXPECT_EQ(written(-3), (std::vector<int32_t>{0, 7, 8, 9}));
  EXPECT_EQ(written(10), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(written(23), (std::vector<int32_t>{3, 4, 5, 6}));
  EXPECT_EQ(written(INT32_MIN), (std::vector<int32_t>{2, 3, 4, 5}));  // INT32_MIN mod 10 is -8, so 2
  EXPECT_EQ(dst->pixels[22], src->pixels[4]);

  Owned wide = numbered(12, 1);
  img_copy_row_wrapped(wide.get(), dst.get(), 0, 0, 3);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(dst->pixels[x], wide->pixels[(x + 7) % 10]) << x;

  std::fill(dst->pixels, dst->pixels + 30, 0x100000);
  img_or_row_wrapped(src.get(), dst.get(), 0, 1, 9);
  EXPECT_EQ(dst->pixels[19], 0x110001u);
  EXPECT_EQ(dst->pixels[12], 0x110004u);
  EXPECT_EQ(dst->pixels[13], 0x100000u);

  const std::vector<uint32_t> before = pixels_of(dst.get());
  Owned thin = from_pixels(0, 2, {0});
  EXPECT_EQ(errors_of([&] {
              img_copy_row_wrapped(src.get(), dst.get(), 2, 0, 0);  // row = height
              img_copy_row_wrapped(src.get(), dst.get(), 0, 3, 0);
              img_or_row_wrapped(src.get(), dst.get(), -1, 0, 0);
              img_or_row_wrapped(src.get(), dst.get(), 0, -1, 0);
              img_copy_row_wrapped(nullptr, dst.get(), 0, 0, 0);
            }), 5);
  EXPECT_EQ(errors_of([&] { img_copy_row_wrapped(src.get(), thin.get(), 0, 1, 5); }), 0);
  EXPECT_EQ(pixels_of(dst.get()), before);

  Owned mask = from_pixels(3, 1, {0xFF00FF, 0x0000FF, 0});
  Owned target = from_pixels(2, 2, {0x123456, 0x123456, 0x123456, 0x123456});
  img_and_mask(mask.get(), target.get());
  EXPECT_EQ(pixels_of(target.get()), (std::vector<uint32_t>{0x120056, 0x56, 0, 0x123456}));
  Owned big = numbered(3, 2);
  EXPECT_EQ(errors_of([&] { img_and_mask(big.get(), target.get()); img_and_mask(nullptr, target.get()); }), 2);
  EXPECT_EQ(pixels_of(target.get()), (std::vector<uint32_t>{0x120056, 0x56, 0, 0x123456}));
}

// ---- text form ----------------------------------------------------------

TEST(ImageText, ExactBytesAndLineBreaks) {
  auto text_of = [](int32_t w, int32_t h, std::vector<uint32_t> pixels) {
    Owned image = from_pixels(w, h, pixels);
    char* text = img_to_text(image.get());
    std::string s = text != nullptr ? text : "(null)";
    std::free(text);
    return s;
  };
  EXPECT_EQ(text_of(2, 1, {0x0000FF, 0xFF8000}), "IMG{\nP3\n2 1\n255\n  0   0 255 255 128   0\n}\n");
  EXPECT_EQ(text_of(1, 1, {0xFF000000}), "IMG{\nP3\n1 1\n255\n  0   0   0\n}\n");
  EXPECT_EQ(text_of(0, 5, {0}), "IMG{}");
  const std::string group = "  1  10 100 ";
  std::string seven = "IMG{\nP3\n7 1\n255\n";
  for (int i = 1; i <= 7; ++i) seven += i % 6 == 0 || i == 7 ? group.substr(0, 11) + "\n" : group;
  EXPECT_EQ(text_of(7, 1, std::vector<uint32_t>(7, 0x010A64)), seven + "}\n");
  const std::string six = text_of(3, 2, std::vector<uint32_t>(6, 0));
  EXPECT_EQ(std::count(six.begin(), six.end(), '\n'), 6);  // four header lines, one pixel line, the closing
  EXPECT_EQ(errors_of([] { EXPECT_EQ(img_to_text(nullptr), nullptr); }), 1);
}

TEST(ImageText, ReadingAndRoundTrip) {
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 13 * 7; ++i) pixels.push_back(i * 0x9E3779B9u);
  Owned image = from_pixels(13, 7, pixels);
  char* text = img_to_text(image.get());
  Owned back(img_from_text(text));
  std::free(text);
  ASSERT_TRUE(back);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  EXPECT_EQ(back->width, 13);
  EXPECT_EQ(pixels_of(back.get()), pixels);

  Owned odd(img_from_text("xx IMG zz { yy P3\n2 1\n7\n1\t2,3}} 256 0 99999999999 tail"));
  ASSERT_TRUE(odd);
  EXPECT_EQ(pixels_of(odd.get()), (std::vector<uint32_t>{0x010203, 0x7FFFFFFF}));
  Owned empty(img_from_text("IMG{\nP3\n 3 2\n255\n"));  // a leading space makes the width 0
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width, 0);
  EXPECT_EQ(errors_of([] {
              for (const char* bad : {"IMG{}", "IMG P3\n1 1 255 0 0 0", "{IMG P3\n1 1\n255\n1 2 3",
                                      "IMG{\nP3\n2 1\n255\n1 2 3 4 5", "IMG{\nP3\n2 1\n255",
                                      "IMG{\nP3\n2", "IMG{\nP3\n9999 9999\n255\n",
                                      "IMG{\nP3\n99999999999 99999999999\n255\n1 2 3"})
                EXPECT_FALSE(img_from_text(bad)) << bad;
              EXPECT_FALSE(img_from_text(nullptr));
            }), 9);
}

TEST(ImageText, FindText) {
  EXPECT_EQ(errors_of([] {
              EXPECT_EQ(img_find_text("IMG{", "IMG"), 3);
              EXPECT_EQ(img_find_text("a{b{", "{"), 2);
              EXPECT_EQ(img_find_text("no brace", "{"), 0);
              EXPECT_EQ(img_find_text("IMXMGIMG", "IMG"), 8);
              EXPECT_EQ(img_find_text("XMG", "IMG"), 0);
              EXPECT_EQ(img_find_text("abc", ""), 0);
            }), 0);
  EXPECT_EQ(errors_of([] { img_find_text(nullptr, "a"); img_find_text("a", nullptr); }), 2);
}
