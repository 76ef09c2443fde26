#include "assets/replay_file.h"

#include <cmath>
#include <cstring>

namespace assets::replay {
namespace {

// Little-endian fields; the caller has checked that they lie within the bytes.
std::uint32_t u16(const unsigned char* p) { return p[0] | unsigned{p[1]} << 8; }
std::uint32_t u32(const unsigned char* p) { return u16(p) | u16(p + 2) << 16; }
std::uint64_t u64(const unsigned char* p) { return u32(p) | std::uint64_t{u32(p + 4)} << 32; }
float f32(const unsigned char* p) {
  const std::uint32_t bits = u32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
float i16(const unsigned char* p) {
  return static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(u16(p))));
}

enum class Got { Record, Cut, Bad, End };

// Each record's length by its tag, 0 for a tag that is none.
std::size_t lengthOf(std::uint8_t tag) {
  if (tag < kHeld + 2 * kHeldCommands) return 1;
  if (tag >= kPress && tag < kPress + kPressCommands) return tag == kPress + kJump ? 2 : 1;
  switch (tag) {
    case kCameraWhole: return 5;
    case kCamera: return 9;
    case kStep: return 7;
    case kSameStep: return 3;
    case kEnd: return 13;
    default: return 0;
  }
}

std::string at(std::size_t byte, const std::string& why) {
  return "byte " + std::to_string(byte) + ": " + why;
}

// The record at `pos`, checked. `step` carries the last run's step from one run to the
// next; `haveStep` whether there was one.
Got decode(const Bytes& bytes, std::size_t pos, Record& record, float& step, bool& haveStep,
           std::size_t& length, std::string& why) {
  const std::uint8_t tag = bytes[pos];
  length = lengthOf(tag);
  if (length == 0) {
    why = at(pos, "no record begins with the byte " + std::to_string(tag));
    return Got::Bad;
  }
  if (bytes.size() - pos < length) return Got::Cut;
  const unsigned char* p = bytes.data() + pos + 1;
  record = Record();
  if (tag < kHeld + 2 * kHeldCommands) {
    record.kind = Record::Held;
    record.code = tag >> 1;
    record.on = (tag & 1) != 0;
    return Got::Record;
  }
  if (tag >= kPress && tag < kPress + kPressCommands) {
    record.kind = Record::Press;
    record.code = tag - kPress;
    if (record.code == kJump) {
      record.wheel = p[0];
      if (record.wheel >= kWheels) {
        why = at(pos + 1, "the jump's wheel " + std::to_string(record.wheel) + " of " +
                              std::to_string(kWheels));
        return Got::Bad;
      }
    }
    return Got::Record;
  }
  switch (tag) {
    case kCameraWhole:
    case kCamera:
      record.kind = Record::Camera;
      record.pitch = tag == kCamera ? f32(p) : i16(p);
      record.yaw = tag == kCamera ? f32(p + 4) : i16(p + 2);
      for (float angle : {record.pitch, record.yaw})
        if (!(std::fabs(angle) <= kMaxCameraAngle)) {
          why = at(pos + 1, "a camera angle that is not finite or beyond 1e6 degrees");
          return Got::Bad;
        }
      return Got::Record;
    case kStep:
    case kSameStep:
      if (tag == kSameStep && !haveStep) {
        why = at(pos, "a run of the previous step, before any step");
        return Got::Bad;
      }
      if (tag == kStep) {
        const float s = f32(p);
        // Zero is a frame drawn without a step; -0, a NaN or a subnormal is no step a
        // frame rate gives.
        if (std::signbit(s) || !(s <= kMaxStep) || (s != 0.0f && !std::isnormal(s))) {
          why = at(pos + 1, "a step that is not 0 or between 1e-38 and 1 s");
          return Got::Bad;
        }
        step = s;
        haveStep = true;
        p += 4;
      }
      record.kind = Record::Frames;
      record.step = step;
      record.count = u16(p);
      if (record.count == 0) {
        why = at(static_cast<std::size_t>(p - bytes.data()), "a run of no frames");
        return Got::Bad;
      }
      return Got::Record;
    default:  // kEnd
      return Got::End;
  }
}

}  // namespace

std::string read(const Bytes& bytes, File& file) {
  file = File();
  if (bytes.size() > kMaxBytes)
    return at(kMaxBytes, "longer than the " + std::to_string(kMaxBytes) + " bytes of a recording");
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return at(0, "not a recording of a drive (no FXREPLAY)");
  if (bytes.size() < kHeaderFixed) return at(bytes.size(), "the header is cut short");
  file.format = static_cast<std::uint16_t>(u16(bytes.data() + sizeof kMagic));
  if (file.format != kFormat)
    return at(sizeof kMagic, "format " + std::to_string(file.format) + ", this program reads " +
                                 std::to_string(kFormat));
  const std::size_t versionLength = bytes[kHeaderFixed - 1];
  if (versionLength == 0 || versionLength > kMaxVersionLength)
    return at(kHeaderFixed - 1, "a program version of " + std::to_string(versionLength) +
                                    " bytes, not 1 to " + std::to_string(kMaxVersionLength));
  file.body = kHeaderFixed + versionLength + 4;
  if (bytes.size() < file.body) return at(bytes.size(), "the header is cut short");
  for (std::size_t i = kHeaderFixed; i < kHeaderFixed + versionLength; ++i)
    if (bytes[i] < 0x21 || bytes[i] > 0x7e)
      return at(i, "a program version that is not printable ASCII");
  file.version.assign(bytes.begin() + kHeaderFixed, bytes.begin() + kHeaderFixed + versionLength);
  file.seed = u32(bytes.data() + file.body - 4);

  float step = 0.0f;
  bool haveStep = false;
  std::uint64_t frames = 0;
  double seconds = 0.0;
  file.bodyEnd = file.body;
  std::size_t pos = file.body;
  while (pos < bytes.size()) {
    Record record;
    std::size_t length = 0;
    std::string why;
    const Got got = decode(bytes, pos, record, step, haveStep, length, why);
    if (got == Got::Bad) return why;
    if (got == Got::Cut) {
      file.cut = at(pos, "cut short inside a record");
      break;
    }
    if (got == Got::End) {
      const unsigned char* p = bytes.data() + pos + 1;
      if (u32(p) != frames)
        return at(pos + 1, "the end counts " + std::to_string(u32(p)) + " frames, the runs " +
                               std::to_string(frames));
      if (pos + length != bytes.size())
        return at(pos + length,
                  std::to_string(bytes.size() - pos - length) + " bytes after the end record");
      file.ended = true;
      file.digest = u64(p + 4);
      file.bodyEnd = pos;  // commands after the last frame still reach the tank
      break;
    }
    if (record.kind == Record::Frames) {
      frames += record.count;
      seconds += static_cast<double>(record.step) * record.count;
      if (frames > kMaxFrames)
        return at(pos, "more than " + std::to_string(kMaxFrames) + " frames");
      if (seconds > kMaxSeconds) return at(pos, "steps longer than 12 hours in all");
      file.frames = static_cast<std::uint32_t>(frames);
      file.seconds = seconds;
      file.bodyEnd = pos + length;
    }
    pos += length;
  }
  if (!file.ended && file.cut.empty()) file.cut = at(pos, "no end record");
  return "";
}

bool Cursor::next(Record& record) {
  if (at_ >= end_) return false;
  bool haveStep = true;
  std::size_t length = 0;
  std::string why;
  decode(bytes_, at_, record, step_, haveStep, length, why);
  at_ += length;
  return true;
}

}  // namespace assets::replay
