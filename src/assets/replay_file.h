#pragma once

// The recording of a drive: a header, then the commands that reached the tank and the steps
// it took, frame by frame, then the digest of its final state. A file from anyone: every
// field is checked against the bounds below before anything of it is played. The layout,
// byte by byte, is in docs/replay.md.

#include <cstddef>
#include <cstdint>
#include <string>

#include "assets/files.h"

namespace assets::replay {

constexpr char kMagic[8] = {'F', 'X', 'R', 'E', 'P', 'L', 'A', 'Y'};
constexpr std::uint16_t kFormat = 1;  // the layout's version, after the magic

// Bounds. A recording past them is refused: together they bound the memory it takes (the
// whole file) and the time its replay takes, whatever the file claims.
constexpr std::size_t kMaxBytes = 32u << 20;    // bytes of a whole file
constexpr std::size_t kMaxVersionLength = 32;   // bytes of the program's version
constexpr std::uint32_t kMaxFrames = 1u << 24;  // frames of a whole drive
constexpr double kMaxSeconds = 12.0 * 3600.0;   // s, the sum of a drive's steps
constexpr float kMaxStep = 1.0f;                // s, one frame's step; the rate is >= 1/s
constexpr float kMaxCameraAngle = 1.0e6f;       // deg, either angle of the camera's swing
constexpr std::uint16_t kMaxRun = 0xffff;       // frames in one run record

// What the codes of the commands name, in this order; the tank's methods of the same names.
constexpr int kHeldCommands = 9;   // accelerate breaking turnLeft turnRight turnTurretLeft
                                   // turnTurretRight elevateTurretUpp elevateTurretDown shoot
constexpr int kPressCommands = 5;  // setGearUp setGearDown pause jump reset
constexpr int kPause = 2;          // the code of pause
constexpr int kJump = 3;           // the code of jump, whose record also holds the wheel drawn
constexpr int kWheels = 14;        // wheels the jump draws from

// The first byte of each record.
enum Tag : std::uint8_t {
  kHeld = 0x00,         // 0x00..0x11: held command (tag >> 1) on when (tag & 1)
  kPress = 0x20,        // 0x20..0x24: one-shot command (tag - 0x20); the jump: + u8 wheel
  kCameraWhole = 0x30,  // + i16 pitch, i16 yaw: the camera's swing in whole degrees
  kCamera = 0x31,       // + f32 pitch, f32 yaw, degrees
  kStep = 0x40,         // + f32 step (s), u16 count: that many frames, each stepped so
  kSameStep = 0x41,     // + u16 count: frames stepped as the run before
  kEnd = 0xe0,          // + u32 frames, u64 digest: the drive's end, the file's last bytes
};

constexpr std::size_t kHeaderFixed = sizeof kMagic + 2 + 1;  // magic, format, version length

// One record as read.
struct Record {
  enum Kind { Held, Press, Camera, Frames } kind = Frames;
  int code = 0;             // of the command
  bool on = false;          // a held command's state
  int wheel = -1;           // the jump's wheel
  float pitch = 0.0f;       // deg, the camera's
  float yaw = 0.0f;         // deg
  float step = 0.0f;        // s, of each frame of a run
  std::uint32_t count = 0;  // frames of a run
};

// A checked recording. Its records to play lie in [body, bodyEnd) of the bytes read.
struct File {
  std::uint16_t format = 0;
  std::string version;  // the program's that recorded it
  std::uint32_t seed = 0;
  std::size_t body = 0;      // byte of the first record
  std::size_t bodyEnd = 0;   // byte past the last record to play
  std::uint32_t frames = 0;  // whole frames to play
  double seconds = 0.0;      // s, the sum of their steps
  bool ended = false;        // the end record is there, and with it:
  std::uint64_t digest = 0;  // the final state's, as recorded
  std::string cut;           // when not ended: where and how the file stops; its whole frames play
};

// Checks the whole of `bytes` and describes it in `file`. Empty when readable (perhaps cut
// short: file.cut says so), otherwise why not, as "byte N: why".
std::string read(const Bytes& bytes, File& file);

// The records of a checked file, in order; [body, bodyEnd) only.
class Cursor {
 public:
  Cursor(const Bytes& bytes, const File& file)
      : bytes_(bytes), at_(file.body), end_(file.bodyEnd) {}
  // The next record; false past the last.
  bool next(Record& record);

 private:
  const Bytes& bytes_;
  std::size_t at_;
  std::size_t end_;
  float step_ = 0.0f;  // s, of the last run read
};

}  // namespace assets::replay
