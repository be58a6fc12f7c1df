// The key handler and the key cell under real SDL events.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "demo/demo.h"
#include "demo/keys.h"
#include "tests/support.h"
#include "video/screen.h"

namespace {

struct Controls {
  uint8_t state;
  int32_t speed;
  uint8_t scroller;
};

// Values no key sets, so that any change shows.
constexpr Controls untouched{0, -7, 5};

Controls after_key(int8_t code) {
  demo_state = untouched.state;
  scroll_speed = untouched.speed;
  show_scroller = untouched.scroller;
  demo_handle_key(code);
  return {demo_state, scroll_speed, show_scroller};
}

// What the key table asks for, written out by key name.
Controls expected_for(int code) {
  Controls c = untouched;
  switch (code) {
    case 27: case 113: case 81: c.state = 1; break;
    case 32: c.state = 2; break;
    case 55: c.speed = 1; break;
    case 56: c.speed = 2; break;
    case 57: c.speed = 4; break;
    case 48: c.speed = 0; break;
    case 49: c.scroller = untouched.scroller ^ 1; break;
    default: break;
  }
  return c;
}

class KeyCellTest : public DummyScreenTest {
 protected:
  uint8_t code() const { return key_cell->keys[0]; }
};

}  // namespace

TEST(KeyHandler, EveryCodeDoesWhatTheTableSays) {
  for (int code = -128; code <= 127; ++code) {
    const Controls got = after_key(static_cast<int8_t>(code));
    const Controls want = expected_for(code);
    EXPECT_EQ(want.state, got.state) << "code " << code;
    EXPECT_EQ(want.speed, got.speed) << "code " << code;
    EXPECT_EQ(want.scroller, got.scroller) << "code " << code;
  }
  // 2 .. 6 are keys without an action; 0x80 | 'q' is not q.
  for (char key : {'2', '3', '4', '5', '6'}) {
    const Controls got = after_key(static_cast<int8_t>(key));
    EXPECT_EQ(untouched.state, got.state);
    EXPECT_EQ(untouched.speed, got.speed);
    EXPECT_EQ(untouched.scroller, got.scroller);
  }
  EXPECT_EQ(untouched.state, after_key(static_cast<int8_t>(0x80 | 'q')).state);
}

TEST(KeyHandler, KeyOneFlipsOncePerCall) {
  show_scroller = 1;
  demo_handle_key('1');
  EXPECT_EQ(0, show_scroller);
  demo_handle_key('1');
  EXPECT_EQ(1, show_scroller);
  demo_handle_key('1');
  demo_handle_key('1');
  demo_handle_key('1');
  EXPECT_EQ(0, show_scroller);
  show_scroller = 1;
}

TEST_F(KeyCellTest, PressStoresLowByteReleaseClears) {
  push_key(SDL_KEYDOWN, SDLK_ESCAPE);
  screen_poll_keys(key_cell);
  EXPECT_EQ(27, code());
  screen_poll_keys(key_cell);  // a held key stays visible
  EXPECT_EQ(27, code());
  push_key(SDL_KEYUP, SDLK_ESCAPE);
  screen_poll_keys(key_cell);
  EXPECT_EQ(0, code());

  // Symbols from 256 up act through their low byte.
  struct { int sym; uint8_t stored; uint8_t state; int32_t speed; uint8_t scroller; } wide[] = {
      {SDLK_F2, 27, 1, untouched.speed, untouched.scroller},
      {SDLK_F7, 32, 2, untouched.speed, untouched.scroller},
      {SDLK_LSHIFT, 48, untouched.state, 0, untouched.scroller},
      {SDLK_RCTRL, 49, untouched.state, untouched.speed,
       static_cast<uint8_t>(untouched.scroller ^ 1)},
  };
  for (const auto& w : wide) {
    ASSERT_GE(w.sym, 256);
    push_key(SDL_KEYDOWN, w.sym);
    screen_poll_keys(key_cell);
    EXPECT_EQ(w.stored, code()) << "symbol " << w.sym;
    const Controls got = after_key(static_cast<int8_t>(code()));
    EXPECT_EQ(w.state, got.state) << "symbol " << w.sym;
    EXPECT_EQ(w.speed, got.speed) << "symbol " << w.sym;
    EXPECT_EQ(w.scroller, got.scroller) << "symbol " << w.sym;
    push_key(SDL_KEYUP, w.sym);
    screen_poll_keys(key_cell);
  }
  demo_state = 0;
  scroll_speed = 2;
  show_scroller = 1;
}

TEST_F(KeyCellTest, OnlyTheLastKeyEventOfABatchCounts) {
  // A, then B, then A released: 0 although B is still down.
  push_key(SDL_KEYDOWN, SDLK_a);
  push_key(SDL_KEYDOWN, SDLK_b);
  push_key(SDL_KEYUP, SDLK_a);
  screen_poll_keys(key_cell);
  EXPECT_EQ(0, code());

  push_key(SDL_KEYDOWN, SDLK_a);
  screen_poll_keys(key_cell);
  EXPECT_EQ('a', code());
  push_key(SDL_KEYDOWN, SDLK_b);
  screen_poll_keys(key_cell);
  EXPECT_EQ('b', code());

  // A tap between two polls is never seen.
  push_key(SDL_KEYUP, SDLK_b);
  push_key(SDL_KEYUP, SDLK_a);
  screen_poll_keys(key_cell);
  push_key(SDL_KEYDOWN, SDLK_SPACE);
  push_key(SDL_KEYUP, SDLK_SPACE);
  screen_poll_keys(key_cell);
  EXPECT_EQ(0, code());
}

TEST_F(KeyCellTest, WindowCloseChangesNothing) {
  push_key(SDL_KEYDOWN, SDLK_q);
  screen_poll_keys(key_cell);
  ASSERT_EQ('q', code());
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(0, SDL_PushEvent(&quit));
  screen_poll_keys(key_cell);
  EXPECT_EQ('q', code());
  SDL_Event none;
  EXPECT_EQ(0, SDL_PollEvent(&none)) << "the close request was drained";
}

TEST(KeyCellLife, NeedsTheScreenAndIsSingle) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  EXPECT_EQ(nullptr, screen_keys_create());
  Screen* scr = screen_create();
  ASSERT_NE(nullptr, scr);
  KeyCell* a = screen_keys_create();
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(a, screen_keys_create());
  ASSERT_NE(nullptr, a->keys);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0, a->keys[i]);
  screen_poll_keys(nullptr);  // ignored
  KeyCell* none = nullptr;
  screen_keys_destroy(&none);
  screen_keys_destroy(nullptr);
  screen_keys_destroy(&a);
  EXPECT_EQ(nullptr, a);
  KeyCell* b = screen_keys_create();
  EXPECT_NE(nullptr, b);
  screen_keys_destroy(&b);
  screen_destroy(&scr);
  EXPECT_EQ(nullptr, screen_keys_create());
}
