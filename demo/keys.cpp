#include "demo/keys.h"

#include "demo/demo.h"

int32_t scroll_speed = 2;
uint8_t show_scroller = 1;

void demo_skip_part() {
  demo_state = 2;
}

void demo_handle_key(int8_t code) {
  switch (code) {
    case 27:   // ESC
    case 'q':
    case 'Q':
      demo_state = 1;
      break;
    case ' ':
      demo_skip_part();
      break;
    case '7':
      scroll_speed = 1;
      break;
    case '8':
      scroll_speed = 2;
      break;
    case '9':
      scroll_speed = 4;
      break;
    case '0':
      scroll_speed = 0;
      break;
    case '1':
      show_scroller ^= 1;
      break;
    default:
      break;
  }
}
