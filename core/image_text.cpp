// Image text form: a plain P3 pixmap wrapped in "IMG{" and "}", and the
// substring search its reader uses.
#include "core/image.h"
#include "core/image_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Just past the first occurrence of pattern in text, or null; an empty
// pattern is never found.
const char* find_past(const char* text, const char* pattern) {
  if (*pattern == '\0') return nullptr;
  const char* at = std::strstr(text, pattern);
  return at != nullptr ? at + std::strlen(pattern) : nullptr;
}

// A channel value 0 .. 255 right-aligned in three characters, as "%3d".
void put_field(char* out, uint32_t value) {
  out[0] = value >= 100 ? static_cast<char>('0' + value / 100) : ' ';
  out[1] = value >= 10 ? static_cast<char>('0' + value / 10 % 10) : ' ';
  out[2] = static_cast<char>('0' + value % 10);
}

// The digit run at *at (0 when empty), saturating; *at moves past it.
int32_t take_digits(const char** at) {
  int32_t value = 0;
  for (; img_is_digit(**at); ++*at) value = img_add_digit(value, **at - '0');
  return value;
}

// The next number after any non-digits; false when the text ends first.
bool take_number(const char** at, uint32_t* value) {
  while (**at != '\0' && !img_is_digit(**at)) ++*at;
  if (**at == '\0') return false;
  *value = static_cast<uint32_t>(take_digits(at));
  return true;
}

// A header item: its digit run and then exactly one character of any kind,
// which must be there.
bool take_header_item(const char** at, int32_t* value) {
  *value = take_digits(at);
  if (**at == '\0') return false;
  ++*at;
  return true;
}

}  // namespace

char* img_to_text(const Image* image) {
  const int64_t count = img_usable_count(image);
  if (count < 0) return img_fail();
  if (count == 0) {
    char* empty = static_cast<char*>(std::calloc(6, 1));
    if (empty == nullptr) return img_fail();
    std::memcpy(empty, "IMG{}", 5);
    return empty;
  }
  // 12 characters per pixel, a line feed per six is already among them;
  // the rest covers header, closing and the terminating zero.
  const size_t n = static_cast<size_t>(count);
  const size_t size = 12 * n + n / 6 + 29;
  char* text = static_cast<char*>(std::calloc(size, 1));
  if (text == nullptr) return img_fail();
  const int head = std::snprintf(text, size, "IMG{\nP3\n%d %d\n255\n", static_cast<int>(image->width),
                                 static_cast<int>(image->height));
  char* out = text + head;
  for (size_t i = 0; i < n; ++i, out += 12) {
    const uint32_t p = image->pixels[i];
    put_field(out, (p >> 16) & 0xFF);
    out[3] = ' ';
    put_field(out + 4, (p >> 8) & 0xFF);
    out[7] = ' ';
    put_field(out + 8, p & 0xFF);
    // Breaks follow the pixel count, not the rows.
    out[11] = (i + 1) % 6 == 0 ? '\n' : ' ';
  }
  out[-1] = '\n';
  std::memcpy(out, "}\n", 3);
  return text;
}

Image* img_from_text(const char* text) {
  if (text == nullptr) return img_fail();
  const char* at = find_past(text, "IMG");
  if (at != nullptr) at = find_past(at, "{");
  if (at != nullptr) at = find_past(at, "P3\n");
  if (at == nullptr) return img_fail();
  int32_t width = 0, height = 0, maxval = 0;
  if (!take_header_item(&at, &width) || !take_header_item(&at, &height) || !take_header_item(&at, &maxval))
    return img_fail();
  if (!img_size_ok(width, height)) return img_fail();
  // Each pixel takes at least three digits: a text too short for its size
  // is refused before anything is allocated for it.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (strnlen(at, 3 * count) < 3 * count) return img_fail();
  Image* image = img_new(width, height);
  if (image == nullptr) return nullptr;
  uint32_t r = 0, g = 0, b = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!take_number(&at, &r) || !take_number(&at, &g) || !take_number(&at, &b)) {
      img_destroy(&image);
      return img_fail();
    }
    image->pixels[i] = img_pack(r, g, b);
  }
  // What follows the last pixel, the closing brace included, is not needed.
  return image;
}

int32_t img_find_text(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return img_fail(0);
  const char* past = find_past(text, pattern);
  if (past == nullptr) return 0;
  // A match that far in has no index to give.
  if (past - text > INT32_MAX) return img_fail(0);
  return static_cast<int32_t>(past - text);
}
