#include "app/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/options.h"
#include "app/replay.h"
#include "assets/replay_file.h"

namespace replay {
namespace {

namespace format = assets::replay;

void le16(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void le32(unsigned char* p, std::uint32_t v) {
  le16(p, v);
  le16(p + 2, v >> 16);
}
void lef32(unsigned char* p, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  le32(p, bits);
}
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A whole degree that 16 bits hold, as the mouse's swing mostly is.
bool whole16(float angle) {
  return angle == std::trunc(angle) && angle >= -32768.0f && angle <= 32767.0f &&
         !std::signbit(angle == 0.0f ? angle : 1.0f);
}

// A drive stops being recorded a little short of the reader's bounds, which its sums of whole
// runs may reach in another order.
constexpr double kSecondsMargin = 0.999;

}  // namespace

Recorder::~Recorder() {
  if (fd_ >= 0) ::close(fd_);
}

bool Recorder::open(const char* path, std::uint32_t seed, std::string& why) {
  fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    why = std::strerror(errno);
    return false;
  }
  path_ = path;
  const char* program = version();
  const std::size_t length = std::min(std::strlen(program), format::kMaxVersionLength);
  unsigned char header[format::kHeaderFixed + format::kMaxVersionLength + 4];
  std::memcpy(header, format::kMagic, sizeof format::kMagic);
  le16(header + sizeof format::kMagic, format::kFormat);
  header[format::kHeaderFixed - 1] = static_cast<unsigned char>(length);
  std::memcpy(header + format::kHeaderFixed, program, length);
  le32(header + format::kHeaderFixed + length, seed);
  put(header, format::kHeaderFixed + length + 4);
  if (!sync()) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

void Recorder::put(const unsigned char* bytes, std::size_t length) {
  runOpen_ = false;  // a record after the run ends it
  if (tailLength_ + length > kTail && !sync()) return;
  std::memcpy(tail_ + tailLength_, bytes, length);
  tailLength_ += length;
}

void Recorder::hold(int code, bool on) {
  if (fd_ < 0 || code < 0) return;
  const unsigned char tag = static_cast<unsigned char>(format::kHeld + 2 * code + (on ? 1 : 0));
  put(&tag, 1);
}

void Recorder::press(int code, int wheel) {
  if (fd_ < 0 || code < 0) return;
  const unsigned char record[2] = {static_cast<unsigned char>(format::kPress + code),
                                   static_cast<unsigned char>(wheel)};
  put(record, code == format::kJump ? 2 : 1);
}

void Recorder::camera(float pitch, float yaw) {
  cameraPending_ = true;
  pitch_ = pitch;
  yaw_ = yaw;
}

void Recorder::putCamera() {
  if (!cameraPending_) return;
  cameraPending_ = false;
  if (cameraWritten_ && sameBits(pitch_, writtenPitch_) && sameBits(yaw_, writtenYaw_)) return;
  // An angle beyond the reader's bound swings the camera no differently from its wrap.
  const float pitch = std::fabs(pitch_) <= format::kMaxCameraAngle ? pitch_ : 0.0f;
  const float yaw = std::fabs(yaw_) <= format::kMaxCameraAngle ? yaw_ : 0.0f;
  unsigned char record[9];
  std::size_t length;
  if (whole16(pitch) && whole16(yaw)) {
    record[0] = format::kCameraWhole;
    le16(record + 1, static_cast<std::uint16_t>(static_cast<std::int16_t>(pitch)));
    le16(record + 3, static_cast<std::uint16_t>(static_cast<std::int16_t>(yaw)));
    length = 5;
  } else {
    record[0] = format::kCamera;
    lef32(record + 1, pitch);
    lef32(record + 5, yaw);
    length = 9;
  }
  put(record, length);
  cameraWritten_ = true;
  writtenPitch_ = pitch_;
  writtenYaw_ = yaw_;
}

void Recorder::frame(float step, const Tank& tank) {
  if (fd_ < 0) return;
  putCamera();
  if (runOpen_ && sameBits(step, runStep_) && runCount_ < format::kMaxRun) {
    ++runCount_;
    le16(tail_ + tailLength_ - 2, runCount_);
  } else {
    unsigned char record[7];
    std::size_t length;
    if (haveStep_ && sameBits(step, runStep_)) {
      record[0] = format::kSameStep;
      le16(record + 1, 1);
      length = 3;
    } else {
      record[0] = format::kStep;
      lef32(record + 1, step);
      le16(record + 5, 1);
      length = 7;
    }
    put(record, length);
    if (fd_ < 0) return;
    runAt_ = tailLength_ - length;
    runOpen_ = true;
    runCount_ = 1;
    runStep_ = step;
    haveStep_ = true;
  }
  ++frames_;
  seconds_ += step;
  if (!sync()) return;
  // Only the open run stays in the tail, to be written again as its count grows.
  std::memmove(tail_, tail_ + runAt_, tailLength_ - runAt_);
  tailAt_ += static_cast<off_t>(runAt_);
  tailLength_ -= runAt_;
  runAt_ = 0;
  if (frames_ >= format::kMaxFrames || seconds_ >= format::kMaxSeconds * kSecondsMargin) {
    std::fprintf(log_,
                 "ferrox: recording %s ends here: the drive is longer than a recording holds\n",
                 path_.c_str());
    finish(tank);
  }
}

void Recorder::finish(const Tank& tank) {
  if (fd_ < 0) return;
  putCamera();
  unsigned char record[13];
  record[0] = format::kEnd;
  le32(record + 1, frames_);
  const std::uint64_t sum = digest(tank);
  le32(record + 5, static_cast<std::uint32_t>(sum));
  le32(record + 9, static_cast<std::uint32_t>(sum >> 32));
  put(record, sizeof record);
  if (!sync()) return;
  ::close(fd_);
  fd_ = -1;
}

bool Recorder::sync() {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  while (done < tailLength_) {
    const ssize_t wrote =
        ::pwrite(fd_, tail_ + done, tailLength_ - done, tailAt_ + static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      stop(wrote < 0 ? std::strerror(errno) : "nothing written");
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  if (!runOpen_) {
    tailAt_ += static_cast<off_t>(tailLength_);
    tailLength_ = 0;
  }
  return true;
}

void Recorder::stop(const char* why) {
  std::fprintf(log_, "ferrox: recording %s stopped: %s\n", path_.c_str(), why);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace replay
