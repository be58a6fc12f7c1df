// The text form, comparison and copy that every module of the family
// offers.  A Screen and a KeyCell are single records over the one window:
// they have no text form, equal only themselves and copy to themselves.
#include "video/screen_internal.h"

// ---- screen -----------------------------------------------------------------

const char* screen_to_text(const Screen* screen) {
  if (!screen_is_the_screen(screen)) {
    screen_error();
    return nullptr;
  }
  return "";
}

Screen* screen_from_text(const char* text) {
  if (text == nullptr || screen_state.screen != nullptr) screen_error();
  return nullptr;
}

int screen_equals(const Screen* a, const Screen* b) {
  if (a != b || !screen_is_the_screen(a)) {
    screen_error();
    return 0;
  }
  return 1;
}

Screen* screen_copy(const Screen* screen) {
  if (!screen_is_the_screen(screen)) {
    screen_error();
    return nullptr;
  }
  return screen_state.screen;
}

// ---- key cell -----------------------------------------------------------------

const char* screen_keys_to_text(const KeyCell* cell) {
  return cell != nullptr ? "" : nullptr;
}

KeyCell* screen_keys_from_text(const char*) {
  return nullptr;
}

int screen_keys_equals(const KeyCell* a, const KeyCell* b) {
  return a != nullptr && a == b ? 1 : 0;
}

KeyCell* screen_keys_copy(const KeyCell*) {
  return nullptr;
}
