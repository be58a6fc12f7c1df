// The logo zoom: four logos, each growing by one pixel a frame for 251
// frames over a field of sprite stars flying out of the centre.
#include "fx/zoom.h"

#include "demo/demo.h"

StarField* zoom_field = nullptr;
const Image* zoom_logo = nullptr;
const Image* zoom_sprite = nullptr;

namespace {

constexpr int32_t zoom_star_count = 256;

}  // namespace

void demo_part_zoom() {
  zoom_field = stars_create();
  if (zoom_field != nullptr && frame_image != nullptr) {
    zoom_field->width = frame_image->width;
    zoom_field->height = frame_image->height;
  }
  stars_set_count(zoom_field, zoom_star_count);
  const Image* const logos[zoom_logo_count] = {logo_vorn, logo_present, logo_kolmira, logo_2008};
  const Image* const sprites[zoom_logo_count] = {star_b, star_c, star_d, star_a};
  for (int i = 0; i < zoom_logo_count; ++i) {
    zoom_sprite = sprites[i];
    zoom_logo = logos[i];
    demo_zoom_logo();
  }
  stars_destroy(&zoom_field);
}

void demo_zoom_logo() {
  if (zoom_logo == nullptr || zoom_sprite == nullptr) return;
  stars_reset(zoom_field);
  // The logo grows from its own size; 64-bit, so no size can overflow
  // (the scaled blit refuses a size beyond any image).
  int64_t w = zoom_logo->width;
  int64_t h = zoom_logo->height;
  for (int32_t frame = zoom_frames - 1; frame >= 0; --frame) {
    img_clear(frame_image);
    stars_draw_sprites(zoom_field, frame_image, zoom_sprite);
    stars_update(zoom_field);
    ++w;
    ++h;
    // The logo scaled to w x h and centred, each half rounded on its own
    // (a 101-pixel logo on 256 sits at 78), drawn straight from the loaded
    // logo: the pixels of img_scale and a masked blit, without the copy.
    if (frame_image != nullptr && w <= INT32_MAX && h <= INT32_MAX) {
      const int32_t x = frame_image->width / 2 - static_cast<int32_t>(w / 2);
      const int32_t y = frame_image->height / 2 - static_cast<int32_t>(h / 2);
      img_blit_scaled(zoom_logo, static_cast<int32_t>(w), static_cast<int32_t>(h), frame_image, x, y);
    }
    if (!demo_part_frame_end()) return;
  }
}
