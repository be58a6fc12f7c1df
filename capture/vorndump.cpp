// vorndump: the intro's pictures and sound as a list of digests, to compare
// one build of the program with another.
//   vorndump [--frames N] OUTPUT
//   vorndump --scroll-text
//   vorndump --budgets
// Runs the intro as vorncapture records it at 60 frames a second, from the
// data files in the working directory, with ESC pressed in frame N (one
// pass by default), and writes one line per frame to OUTPUT: its number,
// the 64-bit FNV-1a digest of its pixels (0x00RRGGBB words, little-endian)
// and that of the sound after it (16-bit values, little-endian), in
// hexadecimal.  Exits 0
// when every frame a whole run presents is in OUTPUT.
// --scroll-text writes the scroller's text to standard output as it is
// built in; --budgets writes each part's name and frames, one part a line
// in the order they run ("zoom 1004" for its four logos).
#include <SDL_main.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "capture/capture.h"
#include "fx/font.h"

namespace {

constexpr uint64_t fnv_offset = 0xCBF29CE484222325u;
constexpr uint64_t fnv_prime = 0x100000001B3u;

struct Dump {
  FILE* file;
  int64_t frames;
  uint64_t picture;  // the digest of the frame whose sound is next
};

// FNV-1a over count values, each taken as bytes low to high.
template <typename Value>
uint64_t digest(const Value* values, size_t count) {
  uint64_t hash = fnv_offset;
  for (size_t i = 0; i < count; ++i) {
    const auto bits = static_cast<uint64_t>(static_cast<std::make_unsigned_t<Value>>(values[i]));
    for (size_t byte = 0; byte < sizeof(Value); ++byte) hash = (hash ^ ((bits >> (8 * byte)) & 0xFFu)) * fnv_prime;
  }
  return hash;
}

bool take_frame(void* context, const CaptureFrame& frame) {
  Dump& dump = *static_cast<Dump*>(context);
  dump.picture = digest(frame.pixels, static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
  return true;
}

bool take_sound(void* context, const int16_t* values, int32_t samples) {
  Dump& dump = *static_cast<Dump*>(context);
  ++dump.frames;
  return std::fprintf(dump.file, "%" PRId64 " %016" PRIx64 " %016" PRIx64 "\n", dump.frames, dump.picture,
                      digest(values, static_cast<size_t>(samples) * 2)) > 0;
}

int usage() {
  std::fputs("usage: vorndump [--frames N] OUTPUT | --scroll-text | --budgets\n", stderr);
  return 2;
}

int written(int printed) {
  return printed >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

int print_scroll_text() {
  return written(std::fputs(scroll_text, stdout));
}

int print_budgets() {
  return written(std::printf("zoom %" PRId32 "\nrolls %" PRId32 "\nplasma %" PRId32 "\n",
                             zoom_logo_count * zoom_frames, rolls_frames, plasma_frames));
}

}  // namespace

int main(int argc, char** argv) {
  int32_t frames = capture_default_frames;
  if (argc == 2 && std::strcmp(argv[1], "--scroll-text") == 0) return print_scroll_text();
  if (argc == 2 && std::strcmp(argv[1], "--budgets") == 0) return print_budgets();
  if (argc == 4 && std::strcmp(argv[1], "--frames") == 0) {
    frames = static_cast<int32_t>(std::strtol(argv[2], nullptr, 10));
    if (frames < 1 || frames > capture_max_frames) return usage();
  } else if (argc != 2) {
    return usage();
  }
  Dump dump{std::fopen(argv[argc - 1], "wb"), 0, 0};
  if (dump.file == nullptr) {
    std::fprintf(stderr, "vorndump: cannot write %s\n", argv[argc - 1]);
    return 1;
  }
  const CaptureSink sink{&dump, take_frame, take_sound};
  const CaptureResult result = capture_run(frames, capture_default_fps, sink);
  const bool written = std::fclose(dump.file) == 0 && result.whole;
  const int64_t expected = capture_expected_frames(frames);
  if (!result.driver || result.status != 1 || !written || result.frames != expected) {
    std::fprintf(stderr, "vorndump: %" PRId64 " frames of %" PRId64 ", status %d\n", result.frames, expected,
                 result.status);
    return 1;
  }
  return 0;
}
