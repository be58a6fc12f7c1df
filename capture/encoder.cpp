#include "capture/encoder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "demo/frame_audio.h"
#include "video/placement.h"

namespace {

// Both pipes may hold this much (the most Linux grants without privilege):
// the default 64 KiB would take 64 switches for one 4 MiB frame.
constexpr int pipe_bytes = 1 << 20;

// Whether text ends in tail (lower case), in any letter case.
bool ends_with(const std::string& text, const std::string& tail) {
  if (text.size() <= tail.size()) return false;
  std::string end = text.substr(text.size() - tail.size());
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == tail;
}

bool is_program(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The frames' 0x00RRGGBB words and the sound's 16-bit values go to ffmpeg
// as they lie in memory, in the machine's own byte order.
constexpr bool little_endian = std::endian::native == std::endian::little;
constexpr const char* pixel_format = little_endian ? "bgr0" : "0rgb";
constexpr const char* sample_format = little_endian ? "s16le" : "s16be";

// ffmpeg's options for the two raw inputs on descriptors 3 and 4.  ffmpeg
// opens them one after the other and reads nothing else meanwhile, so each
// is probed only as far as its first packet: the first frame, then 1024
// samples of sound, more than a frame brings at 60 frames a second, which
// the queue of frames lets the intro run on to mix.
std::vector<std::string> input_options(int32_t width, int32_t height, int32_t fps) {
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  return {"-probesize", "32", "-analyzeduration", "0", "-f", "rawvideo", "-pix_fmt", pixel_format, "-video_size", size,
          "-framerate", std::to_string(fps), "-i", "pipe:3",
          "-probesize", "32", "-analyzeduration", "0", "-f", sample_format, "-ar", std::to_string(frame_audio_rate),
          "-ac", std::to_string(frame_audio_channels), "-i", "pipe:4", "-map", "0:v", "-map", "1:a"};
}

// H.264 at a constant quality high enough that enlarged pixels keep their
// edges; colours converted and tagged as BT.709, which players assume for
// pictures of this size.  The video keeps the exact frame rate in a time
// scale of one tick per sample, a whole number of ticks a frame.
std::vector<std::string> mp4_options() {
  return {"-c:v", "libx264", "-preset", "medium", "-crf", "16", "-pix_fmt", "yuv420p",
          "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int",
          "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
          "-c:a", "aac", "-b:a", "192k",
          "-video_track_timescale", std::to_string(frame_audio_rate), "-movflags", "+faststart", "-f", "mp4"};
}

// FFV1 keeps the frames' own RGB words, so decoding gives them back exactly.
std::vector<std::string> mkv_options() {
  return {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slicecrc", "1", "-c:a", "flac", "-f", "matroska"};
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_encoder(char* const* argv, int frames_in, int sound_in, pid_t parent) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);  // the capture is already gone
  signal(SIGPIPE, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  // Above 4 first, so that neither pipe can be overwritten by the other.
  const int frames = fcntl(frames_in, F_DUPFD, 10);
  const int sound = fcntl(sound_in, F_DUPFD, 10);
  const int nothing = open("/dev/null", O_RDONLY);
  if (frames < 0 || sound < 0 || nothing < 0 || dup2(nothing, 0) < 0 || dup2(frames, 3) < 0 ||
      dup2(sound, 4) < 0)
    _exit(127);
  close(frames);
  close(sound);
  close(nothing);
  execv(argv[0], argv);
  _exit(127);
}

// Writes what the sound pipe takes now of the sound not yet sent; false
// once ffmpeg has gone.
bool send_backlog(Encoder* encoder) {
  std::vector<char>& backlog = encoder->backlog;
  if (encoder->backlog_sent < backlog.size()) {
    const ssize_t written = write(encoder->sound, backlog.data() + encoder->backlog_sent,
                                  backlog.size() - encoder->backlog_sent);
    if (written < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (written > 0) encoder->backlog_sent += static_cast<size_t>(written);
  }
  if (encoder->backlog_sent == backlog.size()) {
    backlog.clear();
    encoder->backlog_sent = 0;
  }
  return true;
}

// Widens the first queued frame into encoder->lines and lays out its
// lines, each scale times in a row, as the parts to write.
void begin_frame(Encoder* encoder) {
  const EncoderPictures& pictures = encoder->pictures;
  const size_t line = static_cast<size_t>(pictures.width) * static_cast<size_t>(pictures.scale);
  const size_t rows = static_cast<size_t>(pictures.height);
  encoder->lines.resize(line * rows);
  placement_enlarge(encoder->lines.data(), line, encoder->queue.front().data(), pictures.width, pictures.height,
                    pictures.scale, 1);
  encoder->parts.clear();
  for (size_t row = 0; row < rows; ++row)
    for (int32_t copy = 0; copy < pictures.scale; ++copy)
      encoder->parts.push_back(iovec{encoder->lines.data() + row * line, line * sizeof(uint32_t)});
  encoder->next_part = 0;
}

// Moves the first frame on by `written` bytes; once it is all written its
// buffer goes to the spares.
void advance(Encoder* encoder, size_t written) {
  std::vector<iovec>& parts = encoder->parts;
  while (written > 0 && encoder->next_part < parts.size()) {
    iovec& part = parts[encoder->next_part];
    const size_t taken = std::min(written, part.iov_len);
    part.iov_base = static_cast<char*>(part.iov_base) + taken;
    part.iov_len -= taken;
    written -= taken;
    if (part.iov_len == 0) ++encoder->next_part;
  }
  if (encoder->next_part == parts.size()) {
    encoder->spare.push_back(std::move(encoder->queue.front()));
    encoder->queue.pop_front();
    parts.clear();
  }
}

// Writes what the pipes take, the frame pipe from the queued frames and the
// sound pipe from the backlog, waiting until one takes something when
// `wait` is set.  ffmpeg reads an input only when its stream is the
// furthest behind in the file, and H.264 holds some 50 frames back before
// it writes the first: meanwhile it wants frames and no sound, which waits
// in the backlog instead of blocking the writer.  False once ffmpeg has
// gone or *stop is set.
bool pump(Encoder* encoder, bool wait) {
  pollfd wanted[2];
  nfds_t count = 0;
  const bool picture = !encoder->queue.empty();
  if (picture) {
    if (encoder->parts.empty()) begin_frame(encoder);
    wanted[count++] = pollfd{encoder->frames, POLLOUT, 0};
  }
  const bool sound = encoder->backlog_sent < encoder->backlog.size();
  if (sound) wanted[count++] = pollfd{encoder->sound, POLLOUT, 0};
  if (count == 0) return true;
  if (poll(wanted, count, wait ? -1 : 0) < 0) return errno == EINTR && *encoder->stop == 0;
  if (picture && wanted[0].revents != 0) {
    const size_t left = encoder->parts.size() - encoder->next_part;
    const size_t parts = std::min(left, static_cast<size_t>(IOV_MAX));
    const ssize_t written =
        writev(encoder->frames, encoder->parts.data() + encoder->next_part, static_cast<int>(parts));
    if (written < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (written > 0) advance(encoder, static_cast<size_t>(written));
  }
  if (sound && wanted[count - 1].revents != 0 && !send_backlog(encoder)) return false;
  return *encoder->stop == 0;
}

int exit_code(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

void close_pipe(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

bool encoder_format_of(const std::string& path, CaptureFormat* format) {
  if (ends_with(path, ".mp4")) {
    *format = CaptureFormat::mp4;
    return true;
  }
  if (ends_with(path, ".mkv")) {
    *format = CaptureFormat::mkv;
    return true;
  }
  return false;
}

std::string encoder_find_ffmpeg() {
  const char* path = getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string candidate = dir + "/ffmpeg";
    if (is_program(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}

std::vector<std::string> encoder_command(const std::string& ffmpeg, CaptureFormat format, int32_t width,
                                         int32_t height, int32_t fps, const std::string& path) {
  std::vector<std::string> command = {ffmpeg, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
  for (const std::string& option : input_options(width, height, fps)) command.push_back(option);
  for (const std::string& option : format == CaptureFormat::mp4 ? mp4_options() : mkv_options())
    command.push_back(option);
  command.push_back("-y");
  command.push_back(path);
  return command;
}

size_t encoder_queue_frames(int32_t fps) {
  return std::max<size_t>(2, static_cast<size_t>(fps + 1) / 2);
}

bool encoder_start(Encoder* encoder, const std::vector<std::string>& command, const EncoderPictures& pictures,
                   const volatile sig_atomic_t* stop) {
  *encoder = Encoder{-1, -1, -1, pictures, {}, {}, {}, {}, 0, {}, 0, stop};
  int frames[2];
  int sound[2];
  if (pipe2(frames, O_CLOEXEC) != 0) return false;
  if (pipe2(sound, O_CLOEXEC) != 0) {
    close(frames[0]);
    close(frames[1]);
    return false;
  }
  for (int fd : {frames[1], sound[1]}) {
    fcntl(fd, F_SETPIPE_SZ, pipe_bytes);  // a smaller pipe only costs time
    fcntl(fd, F_SETFL, O_NONBLOCK);       // both are fed through poll
  }
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) exec_encoder(argv.data(), frames[0], sound[0], parent);
  close(frames[0]);
  close(sound[0]);
  if (pid < 0) {
    close(frames[1]);
    close(sound[1]);
    return false;
  }
  encoder->pid = pid;
  encoder->frames = frames[1];
  encoder->sound = sound[1];
  return true;
}

bool encoder_send_frame(Encoder* encoder, const uint32_t* pixels) {
  const size_t count = static_cast<size_t>(encoder->pictures.width) * static_cast<size_t>(encoder->pictures.height);
  std::vector<uint32_t> copy;
  if (!encoder->spare.empty()) {
    copy = std::move(encoder->spare.back());
    encoder->spare.pop_back();
  }
  copy.assign(pixels, pixels + count);
  encoder->queue.push_back(std::move(copy));
  if (!pump(encoder, false)) return false;
  while (encoder->queue.size() > encoder->pictures.queue_frames)
    if (!pump(encoder, true)) return false;
  return true;
}

bool encoder_send_sound(Encoder* encoder, const void* bytes, size_t size) {
  const char* from = static_cast<const char*>(bytes);
  encoder->backlog.insert(encoder->backlog.end(), from, from + size);
  return pump(encoder, false);
}

int encoder_finish(Encoder* encoder) {
  // Each pipe ends as soon as all it carries is in it: ffmpeg may want the
  // end of the sound (to finish its last, part-filled packet) before it
  // reads the last frames, or the end of the frames before the last sound.
  for (;;) {
    if (encoder->queue.empty()) close_pipe(&encoder->frames);
    if (encoder->backlog_sent == encoder->backlog.size()) close_pipe(&encoder->sound);
    if (encoder->frames < 0 && encoder->sound < 0) break;
    if (!pump(encoder, true)) {
      close_pipe(&encoder->frames);
      close_pipe(&encoder->sound);
    }
  }
  if (encoder->pid < 0) return 1;
  // Polled, so that a signal during ffmpeg's last seconds is seen at once.
  const timespec pause{0, 10 * 1000 * 1000};
  int status = 0;
  bool killed = false;
  for (;;) {
    const pid_t done = waitpid(encoder->pid, &status, WNOHANG);
    if (done == encoder->pid) break;
    if (done < 0 && errno != EINTR) {
      encoder->pid = -1;
      return 1;
    }
    if (*encoder->stop != 0 && !killed) {
      kill(encoder->pid, SIGKILL);
      killed = true;
    }
    nanosleep(&pause, nullptr);
  }
  encoder->pid = -1;
  return exit_code(status);
}

void encoder_kill(Encoder* encoder) {
  close_pipe(&encoder->frames);
  close_pipe(&encoder->sound);
  if (encoder->pid < 0) return;
  kill(encoder->pid, SIGKILL);
  while (waitpid(encoder->pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  encoder->pid = -1;
}
