// rand and srand computed as GNU libc computes them, for the web and
// Windows builds.  The star field draws its velocities from rand(), which
// the intro never seeds; emscripten's libc and Windows' have other
// generators, so without these the stars would fly elsewhere than on Linux.
// Linked into the program, these definitions take the place of the libc
// ones.
//
// GNU libc's default generator is an additive lagged Fibonacci generator,
// x[i] = x[i-3] + x[i-31] mod 2^32, returning x[i] >> 1.  Its 31 words are
// filled from the seed by the Park-Miller step (16807 x mod 2^31 - 1) and
// then stepped 310 times; an unseeded program behaves as if seeded with 1.
// libmikmod's player has a random() of its own (demo/player_random.cpp).
#include <cstdint>

namespace {

constexpr int32_t state_words = 31;
constexpr int32_t lag = 3;             // the front runs this far ahead of the rear
constexpr int32_t warm_up_steps = 310; // 10 * state_words discarded outputs

struct RandomState {
  int32_t words[state_words];
  int32_t front;
  int32_t rear;
  bool seeded;
};

RandomState generator = {};

uint32_t generator_step() {
  RandomState& g = generator;
  const uint32_t sum = static_cast<uint32_t>(g.words[g.front]) + static_cast<uint32_t>(g.words[g.rear]);
  g.words[g.front] = static_cast<int32_t>(sum);
  g.front = g.front + 1 == state_words ? 0 : g.front + 1;
  g.rear = g.rear + 1 == state_words ? 0 : g.rear + 1;
  return sum >> 1;
}

void generator_seed(uint32_t seed) {
  RandomState& g = generator;
  if (seed == 0) seed = 1;
  int32_t word = static_cast<int32_t>(seed);
  g.words[0] = word;
  for (int32_t i = 1; i < state_words; ++i) {
    // 16807 * word mod (2^31 - 1) without overflow (Schrage), in the same
    // widths as the original so that seeds from 2^31 up give its results.
    const int64_t hi = word / 127773;
    const int64_t lo = word % 127773;
    word = static_cast<int32_t>(16807 * lo - 2836 * hi);
    if (word < 0) word += 2147483647;
    g.words[i] = word;
  }
  g.front = lag;
  g.rear = 0;
  g.seeded = true;
  for (int32_t i = 0; i < warm_up_steps; ++i) generator_step();
}

uint32_t generator_next() {
  if (!generator.seeded) generator_seed(1);
  return generator_step();
}

}  // namespace

extern "C" {

int rand(void) {
  return static_cast<int>(generator_next());
}

void srand(unsigned int seed) {
  generator_seed(seed);
}

}  // extern "C"
