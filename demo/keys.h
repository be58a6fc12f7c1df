// The single-key controls.
#pragma once

#include <cstdint>

extern int32_t scroll_speed;  // pixels per frame the scroll text moves; 2
extern uint8_t show_scroller; // non-zero: the scroller redraws the strip; 1

// Asks the driver to end the running part and start the next (demo_state 2).
void demo_skip_part();

// Applies the key code (a signed character; 128 and up match nothing):
// ESC, q, Q quit; SPACE next part; 7 8 9 0 set the speed 1 2 4 0; 1 flips
// show_scroller.
void demo_handle_key(int8_t code);
