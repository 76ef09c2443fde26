#include "assets/replay_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "replay_bytes.h"

namespace {

using assets::replay::File;
using assets::replay::Record;
using support::ReplayBytes;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

constexpr float k60Hz = 1.0f / 60.0f;             // s

std::string refusal(const assets::Bytes& bytes) {
  File file;
  return assets::replay::read(bytes, file);
}

// Each kind of field beyond its bound is refused, and the reason names the byte where it
// fails; tests/corpus/replay holds a file beyond every bound.
TEST(ReplayFile, EachFieldBeyondItsBoundIsRefusedAtItsByte) {
  auto bad = [](auto edit) {
    ReplayBytes b;
    edit(b);
    return b.bytes;
  };
  assets::Bytes wrongMagic = ReplayBytes().bytes;
  wrongMagic[3] = 'x';
  assets::Bytes wrongFormat = ReplayBytes().bytes;
  wrongFormat[8] = 2;
  assets::Bytes longVersion = ReplayBytes(7, std::string(33, 'v')).bytes;
  assets::Bytes cutHeader = ReplayBytes().bytes;
  cutHeader.pop_back();
  const std::vector<std::pair<assets::Bytes, std::string>> cases = {
      {assets::Bytes(), "byte 0: not a recording"},
      {wrongMagic, "byte 0: not a recording"},
      {wrongFormat, "byte 8: format 2"},
      {longVersion, "byte 10: a program version of 33 bytes"},
      {cutHeader, "byte 19: the header is cut short"},
      {bad([](ReplayBytes& b) { b.u8(0x12); }), "byte 20: no record begins with the byte 18"},
      {bad([](ReplayBytes& b) { b.press(assets::replay::kJump).u8(14); }),
       "byte 21: the jump's wheel 14"},
      {bad([](ReplayBytes& b) { b.camera(nan, 0.0f); }), "byte 21: a camera angle"},
      {bad([](ReplayBytes& b) { b.frames(nan, 1); }), "byte 21: a step"},
      {bad([](ReplayBytes& b) { b.frames(k60Hz, 0); }), "byte 25: a run of no frames"},
      {bad([](ReplayBytes& b) { b.u8(assets::replay::kSameStep).u16(3); }),
       "byte 20: a run of the previous step, before any step"},
      {bad([](ReplayBytes& b) { b.frames(k60Hz, 3).end(4, 0); }),
       "byte 28: the end counts 4 frames, the runs 3"},
      {bad([](ReplayBytes& b) { b.frames(k60Hz, 3).end(3, 0).u8(0); }),
       "byte 40: 1 bytes after the end record"},
      // 12 hours of steps, and 2^24 frames, are as much as a file may ask to be played.
      {bad([](ReplayBytes& b) {
         for (int i = 0; i < 44; ++i) b.frames(1.0f, 1000);
       }),
       "byte 321: steps longer than 12 hours"},
      {bad([](ReplayBytes& b) {
         for (int i = 0; i < 257; ++i) b.frames(0.0f, 0xffff);
       }),
       "byte 1812: more than 16777216 frames"},
  };
  for (const auto& [bytes, why] : cases) {
    const std::string got = refusal(bytes);
    EXPECT_EQ(got.rfind(why, 0), 0u) << got << " / " << why;
  }
  assets::Bytes tooLong(assets::replay::kMaxBytes + 1, 0);
  EXPECT_EQ(refusal(tooLong).rfind("byte 33554432: longer than", 0), 0u);
}

// The records come back as written; a run of the same step takes the one before's; commands
// after the last frame are played when the end is there.
TEST(ReplayFile, RecordsReadBackAsWrittenUpToTheEnd) {
  ReplayBytes b(0xdeadbeef, "9.9.9");
  b.held(8, true).press(assets::replay::kJump).u8(13).camera(12.5f, -3.0f);
  b.u8(assets::replay::kCameraWhole).u16(0xfff8).u16(361);  // -8 and 361 degrees
  b.frames(0.0f, 2).frames(k60Hz, 0xffff).u8(assets::replay::kSameStep).u16(5).press(4);
  b.end(2 + 0xffff + 5, 0x0123456789abcdefull);
  File file;
  ASSERT_EQ(assets::replay::read(b.bytes, file), "");
  EXPECT_EQ(file.version, "9.9.9");
  EXPECT_EQ(file.seed, 0xdeadbeefu);
  EXPECT_TRUE(file.ended);
  EXPECT_EQ(file.digest, 0x0123456789abcdefull);
  EXPECT_EQ(file.frames, 2u + 0xffff + 5);
  EXPECT_DOUBLE_EQ(file.seconds, (0xffff + 5) * static_cast<double>(k60Hz));
  assets::replay::Cursor cursor(b.bytes, file);
  std::vector<Record> got;
  for (Record r; cursor.next(r);) got.push_back(r);
  ASSERT_EQ(got.size(), 8u);
  EXPECT_TRUE(got[0].kind == Record::Held && got[0].code == 8 && got[0].on);
  EXPECT_TRUE(got[1].kind == Record::Press && got[1].code == assets::replay::kJump &&
              got[1].wheel == 13);
  EXPECT_TRUE(got[2].kind == Record::Camera && got[2].pitch == 12.5f && got[2].yaw == -3.0f);
  EXPECT_TRUE(got[3].kind == Record::Camera && got[3].pitch == -8.0f && got[3].yaw == 361.0f);
  EXPECT_TRUE(got[4].kind == Record::Frames && got[4].step == 0.0f && got[4].count == 2);
  EXPECT_TRUE(got[5].kind == Record::Frames && got[5].step == k60Hz && got[5].count == 0xffff);
  EXPECT_TRUE(got[6].kind == Record::Frames && got[6].step == k60Hz && got[6].count == 5);
  EXPECT_TRUE(got[7].kind == Record::Press && got[7].code == 4);
}

// Cut inside a record, or without its end, a file is readable: what plays is its whole
// frames, without the commands that follow the last of them.
TEST(ReplayFile, CutShortPlaysItsWholeFramesAndSaysWhere) {
  ReplayBytes b;
  b.frames(k60Hz, 4).held(0, true).frames(k60Hz, 3).held(1, true);
  for (const auto& [cut, frames, why] : {std::tuple{std::size_t{0}, 7u, "byte 36: no end record"},
                                         {1, 7u, "byte 35: no end record"},
                                         {2, 4u, "byte 28: cut short inside a record"},
                                         {8, 4u, "byte 28: no end record"},
                                         {10, 0u, "byte 20: cut short inside a record"}}) {
    const assets::Bytes bytes(b.bytes.begin(), b.bytes.end() - static_cast<long>(cut));
    File file;
    ASSERT_EQ(assets::replay::read(bytes, file), "") << cut;
    EXPECT_FALSE(file.ended);
    EXPECT_EQ(file.frames, frames) << cut;
    EXPECT_EQ(file.cut, why) << cut;
    assets::replay::Cursor cursor(bytes, file);
    Record last;
    for (Record r; cursor.next(r);) last = r;
    if (frames != 0) {
      EXPECT_EQ(last.kind, Record::Frames) << cut;
    }
  }
}

}  // namespace
