// The capture's encoder: Debian's ffmpeg program in a child process, fed
// raw frames (0x00RRGGBB words, "bgr0" to ffmpeg) and 16-bit stereo sound
// at 44,100 Hz through two pipes, at a whole number of frames a second.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum class CaptureFormat {
  mp4,  // H.264 yuv420p and AAC, for video sites
  mkv,  // lossless: FFV1 in RGB and FLAC
};

// The format the path's extension names (".mp4" or ".mkv", in any letter
// case); false for any other extension.
bool encoder_format_of(const std::string& path, CaptureFormat* format);
// The ffmpeg program that PATH leads to, or an empty string.
std::string encoder_find_ffmpeg();
// ffmpeg's whole command line (program first) to write path in the format
// from frames of width x height, fps a second, on descriptor 3 and sound on
// descriptor 4.
std::vector<std::string> encoder_command(const std::string& ffmpeg, CaptureFormat format, int32_t width,
                                         int32_t height, int32_t fps, const std::string& path);

// The pictures the encoder takes: width x height pixels 0x00RRGGBB, rows top
// to bottom, sent to ffmpeg enlarged scale times (nearest neighbour), and
// how many of them may wait in memory for ffmpeg to take them.
struct EncoderPictures {
  int32_t width;
  int32_t height;
  int32_t scale;
  size_t queue_frames;
};

// The frames that may wait for ffmpeg at fps frames a second: half a
// second's.  ffmpeg may want sound up to some way past the last picture it
// has read (to probe its input, to fill an audio packet or the audio
// encoder's frame) before it reads another; that sound is mixed only as the
// intro runs on, so the intro must be able to run on meanwhile.
size_t encoder_queue_frames(int32_t fps);

struct Encoder {
  pid_t pid;   // the running ffmpeg, -1 when none
  int frames;  // write ends of the two pipes, -1 when closed
  int sound;
  EncoderPictures pictures;
  std::deque<std::vector<uint32_t>> queue;  // frames not yet wholly sent; the first is being sent
  std::vector<std::vector<uint32_t>> spare;  // sent frames' buffers, for the next ones
  std::vector<uint32_t> lines;               // the first frame's rows, widened
  std::vector<iovec> parts;                  // the first frame, line by line; empty when not begun
  size_t next_part;                          // the first of its parts not wholly written
  std::vector<char> backlog;  // sound not yet taken by its pipe
  size_t backlog_sent;        // of which this much has been written
  const volatile sig_atomic_t* stop;  // non-zero: give up writing and waiting
};

// Starts the command with the frame pipe as its descriptor 3, the sound
// pipe as 4 and no standard input, in a process group of its own (so a
// terminal's Ctrl-C reaches only the capture, which decides what becomes of
// the file) and killed should the capture die first.  False when no pipe or
// process could be made.
bool encoder_start(Encoder* encoder, const std::vector<std::string>& command, const EncoderPictures& pictures,
                   const volatile sig_atomic_t* stop);
// Queues a copy of one picture and sends what ffmpeg takes now of the
// frames and the sound; waits only while pictures.queue_frames frames are
// queued.  False once ffmpeg has gone or *stop is set.  A broken pipe must
// not kill the caller: SIGPIPE is to be ignored.
bool encoder_send_frame(Encoder* encoder, const uint32_t* pixels);
// Queues sound and sends what ffmpeg takes now; false once ffmpeg has gone.
bool encoder_send_sound(Encoder* encoder, const void* bytes, size_t size);
// Sends the frames still queued and ends them, sends the rest of the sound
// and ends it, so ffmpeg finishes the file, and waits for it; kills it at
// once when *stop is set meanwhile.  The exit status: 0 for a complete
// file, 128 + n after signal n.
int encoder_finish(Encoder* encoder);
// Kills ffmpeg by its process id and waits for it; for a failed capture.
void encoder_kill(Encoder* encoder);
