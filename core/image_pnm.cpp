// PNM codec: the file loader, the in-memory parser and the P6 writer.
//
// The loader and the parser read one header grammar through one byte
// source, but differ in small ways that callers rely on (see core/image.h
// and PnmRules below).
//
// Known limitations, on purpose: the maximum sample value is read but never
// applied, and raw samples are always one byte.
#include "core/image.h"
#include "core/image_internal.h"

#include <cstdio>

namespace {

constexpr uint32_t white = 0x00FFFFFF;

struct PnmHeader {
  int magic;       // '1' .. '6'
  int32_t width;
  int32_t height;
  int32_t maxval;  // kept for completeness, never applied
};

// The header scan's "seen" set.
constexpr int seen_magic = 1, seen_width = 2, seen_height = 4, seen_maxval = 8, seen_all = 15;

bool pnm_is_bitmap(int magic) { return magic == '1' || magic == '4'; }

// Reads the magic digit after "P"; false for anything but "1" to "6".
bool pnm_take_magic(PnmHeader* header, int* seen, int digit) {
  if (digit < '1' || digit > '6') return false;
  header->magic = digit;
  *seen |= seen_magic;
  if (pnm_is_bitmap(digit)) *seen |= seen_maxval;  // bitmaps have no maximum
  return true;
}

// Gives a header number to the first of width, height and maximum not yet
// seen; false when all three are taken and it is dropped.  With
// round_bitmap, a bitmap width read after the magic becomes whole bytes.
bool pnm_take_number(PnmHeader* header, int* seen, int32_t value, bool round_bitmap) {
  if ((*seen & seen_width) == 0) {
    if (round_bitmap && (*seen & seen_magic) != 0 && pnm_is_bitmap(header->magic)) {
      const int64_t rounded = (int64_t{value} + 7) / 8 * 8;
      value = rounded > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rounded);
    }
    header->width = value;
    *seen |= seen_width;
  } else if ((*seen & seen_height) == 0) {
    header->height = value;
    *seen |= seen_height;
  } else if ((*seen & seen_maxval) == 0) {
    header->maxval = value;
    *seen |= seen_maxval;
  } else {
    return false;
  }
  return true;
}

size_t pnm_pixel_count(const Image* image) {
  return static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
}

// Header scans skip everything outside "!" to "~".
bool pnm_is_printable(int c) { return c >= 0x21 && c <= 0x7E; }

// ---- readers --------------------------------------------------------------

// Where the loader (file) and the parser (memory) part ways.
struct PnmRules {
  bool keep_end;       // a header number's ending character stays in place (so does a
                       // stray one, which counts as 0 and is met again); one byte is
                       // skipped after the header
  bool round_bitmap;   // a bitmap width read after the magic becomes whole bytes
  bool digit_bits;     // a plain bitmap sample is one digit, not a digit run
  bool rows_on_bytes;  // each raw bitmap row starts on a new byte
};
constexpr PnmRules file_rules{false, false, false, true};
constexpr PnmRules memory_rules{true, true, true, false};

// The bytes of a file or of memory, one at a time; EOF past the end.
struct PnmSource {
  FILE* file;  // null for memory
  const uint8_t* bytes;
  size_t size;  // SIZE_MAX for the unbounded form
  size_t pos;
  int next() {
    if (file != nullptr) return std::getc(file);
    return pos < size ? bytes[pos++] : EOF;
  }
  int peek() {
    if (file == nullptr) return pos < size ? bytes[pos] : EOF;
    const int c = std::getc(file);
    std::ungetc(c, file);  // does nothing for EOF
    return c;
  }
  // Bytes known to be left; a file's are not known.
  size_t left() const { return file != nullptr ? SIZE_MAX : pos < size ? size - pos : 0; }
};

// The digit run at the source, which must start with a digit; the
// character after it stays in place.
int32_t pnm_read_number(PnmSource* in) {
  int32_t value = 0;
  while (img_is_digit(in->peek())) value = img_add_digit(value, in->next() - '0');
  return value;
}

// Scans the header; false when it is bad or the input ends inside it.
bool pnm_read_header(PnmSource* in, const PnmRules& rules, PnmHeader* header) {
  int seen = 0;
  while (seen != seen_all) {
    int c;
    while ((c = in->peek()) != EOF && !pnm_is_printable(c)) in->next();
    if (c == EOF) return false;
    if (c == 'P' && (seen & seen_magic) == 0) {
      in->next();
      if (!pnm_take_magic(header, &seen, in->next())) return false;
    } else if (c == '#') {
      int skipped;
      do skipped = in->next(); while (skipped != EOF && skipped != '\n');
      if (skipped == EOF) return false;
    } else {
      // A token that does not start with a digit counts as 0.
      const bool stray = !img_is_digit(c);
      const int32_t value = stray ? 0 : pnm_read_number(in);
      if (!rules.keep_end) in->next();  // the character that ends the token
      // A stray character left in place would be met for ever once the
      // numbers are all taken: a header without a magic.
      if (!pnm_take_number(header, &seen, value, rules.round_bitmap) && stray && rules.keep_end) return false;
    }
  }
  if (rules.keep_end) in->next();
  return true;
}

// The next digit run of plain data (with digit_bits, the next digit);
// false when the input ends first.
bool pnm_read_sample(PnmSource* in, bool digit, int32_t* sample) {
  int c;
  while ((c = in->peek()) != EOF && !img_is_digit(c)) in->next();
  if (c == EOF) return false;
  *sample = digit ? in->next() - '0' : pnm_read_number(in);
  return true;
}

bool pnm_read_plain(PnmSource* in, const PnmRules& rules, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  int32_t r = 0, g = 0, b = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!pnm_read_sample(in, magic == '1' && rules.digit_bits, &r)) return false;
    if (magic == '1') {
      pixels[i] = r != 0 ? white : 0;
    } else if (magic == '2') {
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(r), static_cast<uint32_t>(r));
    } else {
      if (!pnm_read_sample(in, false, &g) || !pnm_read_sample(in, false, &b)) return false;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }
  }
  return true;
}

// Raw data; a byte missing at the end of a file reads as -1, which sets
// every bit position.  Once one is missing all later ones are too, so the
// rest of the image is filled with what -1 makes.  (Memory is checked to
// hold all of it first.)
void pnm_read_raw(PnmSource* in, const PnmRules& rules, int magic, Image* image) {
  const size_t count = pnm_pixel_count(image);
  uint32_t* pixels = image->pixels;
  size_t i = 0;
  uint32_t missing = 0xFFFFFFFF;
  if (magic == '4') {
    missing = white;
    const uint32_t width = static_cast<uint32_t>(image->width);
    uint32_t byte = 0, bit = 0, x = 0;
    for (; i < count; ++i) {
      if (bit == 0) {
        const int c = in->next();
        if (c == EOF) break;
        byte = static_cast<uint32_t>(c);
      }
      pixels[i] = (byte & (128u >> bit)) != 0 ? white : 0;
      bit = (bit + 1) % 8;
      if (++x == width) {
        x = 0;
        if (rules.rows_on_bytes) bit = 0;
      }
    }
  } else if (magic == '5') {
    for (; i < count; ++i) {
      const int v = in->next();
      if (v == EOF) break;
      pixels[i] = img_pack(static_cast<uint32_t>(v), static_cast<uint32_t>(v), static_cast<uint32_t>(v));
    }
  } else {
    for (; i < count; ++i) {
      const int r = in->next();
      const int g = in->next();
      const int b = in->next();
      if (r == EOF || g == EOF || b == EOF) break;
      pixels[i] = img_pack(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }
  }
  for (; i < count; ++i) pixels[i] = missing;
}

// The fewest bytes the pixel data of this header can take: one digit per
// plain sample, the packed bytes of raw data.
size_t pnm_min_data(int magic, size_t count) {
  switch (magic) {
    case '3': case '6': return 3 * count;
    case '4': return (count + 7) / 8;
    default: return count;
  }
}

Image* pnm_read(PnmSource* in, const PnmRules& rules) {
  PnmHeader header{};
  if (!pnm_read_header(in, rules, &header)) return img_fail();
  if (header.width == 0 || header.height == 0) return img_fail();
  if (!img_size_ok(header.width, header.height)) return img_fail();
  // Refuse input too short for its pixels before allocating for them.
  const size_t count = static_cast<size_t>(header.width) * static_cast<size_t>(header.height);
  if (in->left() < pnm_min_data(header.magic, count)) return img_fail();
  Image* image = img_new(header.width, header.height);
  if (image == nullptr) return nullptr;
  if (header.magic >= '4') {
    pnm_read_raw(in, rules, header.magic, image);
  } else if (!pnm_read_plain(in, rules, header.magic, image)) {
    img_destroy(&image);
    return img_fail();
  }
  return image;
}

}  // namespace

Image* img_load_pnm(const char* path) {
  if (path == nullptr) return img_fail();
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return img_fail();
  PnmSource in{file, nullptr, 0, 0};
  Image* image = pnm_read(&in, file_rules);
  std::fclose(file);
  return image;
}

Image* img_parse_pnm(const uint8_t* bytes) {
  // No length: the caller vouches for a complete image.
  if (bytes == nullptr) return img_fail();
  return img_parse_pnm_n(bytes, SIZE_MAX);
}

Image* img_parse_pnm_n(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return img_fail();
  PnmSource in{nullptr, bytes, size, 0};
  return pnm_read(&in, memory_rules);
}

int img_save_ppm(const Image* image, const char* path) {
  const int64_t count = img_usable_count(image);
  if (count <= 0 || path == nullptr) return img_fail(0);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return img_fail(0);
  std::fprintf(file, "P6\n%d %d\n255\n", static_cast<int>(image->width), static_cast<int>(image->height));
  uint8_t chunk[3 * 1024];
  size_t used = 0;
  for (int64_t i = 0; i < count; ++i) {
    const uint32_t p = image->pixels[i];
    chunk[used] = static_cast<uint8_t>(p >> 16);
    chunk[used + 1] = static_cast<uint8_t>(p >> 8);
    chunk[used + 2] = static_cast<uint8_t>(p);
    used += 3;
    if (used == sizeof chunk) {
      std::fwrite(chunk, 1, used, file);
      used = 0;
    }
  }
  std::fwrite(chunk, 1, used, file);
  // A full disk must not pass for a saved picture.
  const bool failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || failed) return img_fail(0);
  return 1;
}
