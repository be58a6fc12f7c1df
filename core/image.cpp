// Image buffer: life cycle, clearing, comparison with and copying from views.
#include "core/image.h"
#include "core/image_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void img_error() { std::fputs("IMG error\n", stdout); }

Image* img_create() {
  Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image)));
  if (image == nullptr) return img_fail();
  image->pixels = static_cast<uint32_t*>(std::calloc(16 * 16, sizeof(uint32_t)));
  if (image->pixels == nullptr) {
    std::free(image);
    return img_fail();
  }
  image->width = 16;
  image->height = 16;
  return image;
}

void img_destroy(Image** image) {
  if (image == nullptr || *image == nullptr) return img_error();
  std::free((*image)->pixels);
  std::free(*image);
  *image = nullptr;
}

void img_resize(Image* image, int32_t width, int32_t height) {
  if (image == nullptr || !img_size_ok(width, height)) return img_error();
  std::free(image->pixels);
  image->width = width;
  image->height = height;
  // A size without pixels still gets a (one-element) buffer, so that an
  // empty image is a valid image and not one whose allocation failed.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  image->pixels = img_alloc_pixels(count > 0 ? count : 1, true);
}

void img_clear(Image* image) {
  const int64_t count = img_usable_count(image);
  if (count < 0) return img_error();
  std::memset(image->pixels, 0, static_cast<size_t>(count) * sizeof(uint32_t));
}

int img_equals_view(const Image* image, const ImageView* view) {
  const int64_t count = img_usable_count(image);
  if (count < 0 || view == nullptr || view->pixels == nullptr) return img_fail(0);
  if (image->width != view->width || image->height != view->height) return 0;
  return std::memcmp(image->pixels, view->pixels, static_cast<size_t>(count) * sizeof(uint32_t)) == 0;
}

Image* img_from_view(const ImageView* view) {
  if (view == nullptr || view->pixels == nullptr) return img_fail();
  Image* image = img_new(view->width, view->height);
  if (image == nullptr) return nullptr;
  const size_t count = static_cast<size_t>(view->width) * static_cast<size_t>(view->height);
  std::memcpy(image->pixels, view->pixels, count * sizeof(uint32_t));
  return image;
}
