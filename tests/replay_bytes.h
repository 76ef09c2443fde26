// Recordings written byte by byte, for the cases that the recorder never writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "assets/files.h"
#include "assets/replay_file.h"

namespace support {

struct ReplayBytes {
  explicit ReplayBytes(std::uint32_t seed = 7, const std::string& version = "0.1.0") {
    for (char c : assets::replay::kMagic) u8(static_cast<unsigned char>(c));
    u16(assets::replay::kFormat);
    u8(static_cast<unsigned char>(version.size()));
    for (char c : version) u8(static_cast<unsigned char>(c));
    u32(seed);
  }
  ReplayBytes& u8(unsigned v) {
    bytes.push_back(static_cast<unsigned char>(v));
    return *this;
  }
  ReplayBytes& u16(unsigned v) { return u8(v & 0xff).u8(v >> 8 & 0xff); }
  ReplayBytes& u32(std::uint32_t v) { return u16(v & 0xffff).u16(v >> 16); }
  ReplayBytes& f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(bits);
  }
  ReplayBytes& held(int code, bool on) { return u8(assets::replay::kHeld + 2 * code + on); }
  ReplayBytes& press(int code) { return u8(assets::replay::kPress + code); }
  ReplayBytes& camera(float pitch, float yaw) {
    return u8(assets::replay::kCamera).f32(pitch).f32(yaw);
  }
  ReplayBytes& frames(float step, unsigned count) {
    return u8(assets::replay::kStep).f32(step).u16(count);
  }
  ReplayBytes& end(std::uint32_t frames, std::uint64_t digest) {
    return u8(assets::replay::kEnd).u32(frames).u32(digest & 0xffffffffu).u32(digest >> 32);
  }

  assets::Bytes bytes;
};

}  // namespace support
