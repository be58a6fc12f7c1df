// The key cell: the single record the keyboard's state is polled into.
#include <cstdlib>

#include "video/screen_internal.h"

namespace {

constexpr size_t key_bytes = 8;

bool is_the_cell(const KeyCell* cell) {
  return cell != nullptr && cell == screen_state.cell && cell->keys != nullptr;
}

}  // namespace

KeyCell* screen_keys_create() {
  if (screen_state.screen == nullptr) return nullptr;
  if (screen_state.cell != nullptr) return screen_state.cell;
  KeyCell* cell = static_cast<KeyCell*>(calloc(1, sizeof(KeyCell)));
  if (cell == nullptr) return nullptr;
  cell->keys = static_cast<uint8_t*>(calloc(key_bytes, 1));
  if (cell->keys == nullptr) {
    free(cell);
    return nullptr;
  }
  screen_state.cell = cell;
  return cell;
}

void screen_keys_destroy(KeyCell** cell) {
  if (cell == nullptr || *cell == nullptr || *cell != screen_state.cell) return;
  free((*cell)->keys);
  free(*cell);
  *cell = nullptr;
  screen_state.cell = nullptr;
}

void screen_poll_keys(KeyCell* cell) {
  if (!is_the_cell(cell)) return screen_error();
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_KEYDOWN) {
      cell->keys[0] = static_cast<uint8_t>(static_cast<uint32_t>(event.key.keysym.sym) & 0xFFu);
    } else if (event.type == SDL_KEYUP) {
      cell->keys[0] = 0;
    }
  }
}
