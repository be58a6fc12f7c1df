#include "demo/audio_out.h"

#include <SDL.h>
#include <mikmod.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "demo/mixer_driver.h"

namespace {

constexpr int32_t channels = 2;
constexpr uint32_t chunk = 1024;   // samples SDL takes at a time (23 ms)
constexpr uint32_t margin = 6144;  // samples kept in the ring (139 ms)
constexpr uint32_t sample_bytes = channels * sizeof(int16_t);  // one stereo sample
// A power of two, so that the counters below may wrap; room for the margin
// and more.
constexpr uint32_t ring_samples = 8192;
static_assert(margin + chunk <= ring_samples);

// One writer (the program's thread, in the driver's update) and one reader
// (SDL's audio thread).  The counters only grow, wrapping at 2^32; what
// lies between them is the sound not yet taken.
struct Ring {
  int16_t values[ring_samples * channels];
  std::atomic<uint32_t> written{0};
  std::atomic<uint32_t> taken{0};
};
Ring ring;

// Calls copy(values, done, run) for the stretches of `count` samples from
// the counter `from` on: one, or two where they pass the ring's end.
template <typename Copy>
void each_stretch(uint32_t from, uint32_t count, Copy copy) {
  for (uint32_t done = 0; done < count;) {
    const uint32_t at = (from + done) & (ring_samples - 1);
    const uint32_t run = std::min(count - done, ring_samples - at);
    copy(ring.values + at * channels, done, run);
    done += run;
  }
}

// SDL's audio thread: the next len bytes, from the ring as far as it holds
// them, silence after.
void take(void*, Uint8* stream, int len) {
  const uint32_t wanted = static_cast<uint32_t>(len) / sample_bytes;
  const uint32_t taken = ring.taken.load(std::memory_order_relaxed);
  const uint32_t held = ring.written.load(std::memory_order_acquire) - taken;
  const uint32_t count = std::min(wanted, held);
  each_stretch(taken, count, [stream](const int16_t* values, uint32_t done, uint32_t run) {
    std::memcpy(stream + done * sample_bytes, values, run * sample_bytes);
  });
  std::memset(stream + count * sample_bytes, 0, static_cast<size_t>(len) - count * sample_bytes);
  ring.taken.store(taken + count, std::memory_order_release);
}

// The program's thread: mixes what brings the ring back to the margin.
void top_up() {
  const uint32_t written = ring.written.load(std::memory_order_relaxed);
  const uint32_t held = written - ring.taken.load(std::memory_order_acquire);
  if (held >= margin) return;
  const uint32_t count = margin - held;
  each_stretch(written, count, [](int16_t* values, uint32_t, uint32_t run) {
    VC_WriteBytes(reinterpret_cast<SBYTE*>(values), run * sample_bytes);
  });
  ring.written.store(written + count, std::memory_order_release);
}

// The library's default format, 16-bit stereo, which SDL converts for the
// device where it has to.
int ring_init() {
  if (!mixer_format_ok(0)) return 1;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    MikMod_errno = MMERR_OPENING_AUDIO;
    return 1;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = md_mixfreq;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = channels;
  wanted.samples = chunk;
  wanted.callback = take;
  if (SDL_OpenAudio(&wanted, nullptr) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    MikMod_errno = MMERR_OPENING_AUDIO;
    return 1;
  }
  if (VC_Init() != 0) {
    SDL_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 1;
  }
  ring.written.store(0);
  ring.taken.store(0);
  return 0;
}

void ring_exit() {
  SDL_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  VC_Exit();
}

int ring_play_start() {
  if (VC_PlayStart() != 0) return 1;
  SDL_PauseAudio(0);
  return 0;
}

// What the ring still holds is dropped: a later start begins afresh.
void ring_play_stop() {
  SDL_PauseAudio(1);
  SDL_LockAudio();
  ring.taken.store(ring.written.load());
  SDL_UnlockAudio();
  VC_PlayStop();
}

MDRIVER ring_driver = mixer_driver("SDL audio, fed each frame to a margin", "sdlring", ring_init, ring_exit,
                                   ring_play_start, ring_play_stop, top_up);

// The sound server's share of the music's lead, where the user has set
// no latency for it.  Windows has no such server, and no setenv.
void ask_server_latency() {
#ifndef _WIN32
  if (std::getenv("PULSE_LATENCY_MSEC") == nullptr && std::getenv("PIPEWIRE_LATENCY") == nullptr)
    setenv("PULSE_LATENCY_MSEC", "100", 0);
#endif
}

}  // namespace

int audio_out_select() {
  ask_server_latency();
  return mixer_driver_select(&ring_driver);
}
