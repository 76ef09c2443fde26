#include "app/replay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/recorder.h"
#include "app/world.h"
#include "replay_bytes.h"
#include "support.h"

namespace {

using support::DrivenScene;

// Keys of every command, and the rates a frame may run at (0: not measured yet; 1: a frame of
// a second, split into sub-steps).
const irr::EKEY_CODE kKeys[] = {irr::KEY_KEY_W, irr::KEY_KEY_S, irr::KEY_KEY_A, irr::KEY_KEY_D,
                                irr::KEY_KEY_J, irr::KEY_KEY_L, irr::KEY_KEY_I, irr::KEY_KEY_K,
                                irr::KEY_KEY_V, irr::KEY_KEY_Q, irr::KEY_KEY_E, irr::KEY_SPACE,
                                irr::KEY_KEY_C, irr::KEY_KEY_R};
const int kRates[] = {60, 60, 60, 59, 144, 30, 1};

std::string scratch(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/ferrox-replay-test-" + name;
}

// What a function printed on a stream of its own.
template <typename Print>
std::string printed(Print print) {
  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  print(out);
  std::fclose(out);
  std::string result(text, length);
  std::free(text);
  return result;
}

// A drive through the program's own receiver and frame, recorded: random keys, mouse moves and
// jumps at random rates, from the seed. Keeps the tank's digest after each frame.
struct RecordedDrive {
  explicit RecordedDrive(const std::string& path, std::uint32_t seed, int frames) {
    DrivenScene s(false);
    std::srand(seed);  // after the tank is built, as the program seeds it
    digests.push_back(replay::digest(*s.tank));
    replay::Recorder recorder;
    std::string why;
    EXPECT_TRUE(recorder.open(path.c_str(), seed, why)) << why;
    s.receiver.record(&recorder);
    Frame frame(s.device, nullptr);
    frame.record(&recorder);
    s.receiver.placeCursor(nullptr);
    s.press(irr::KEY_SPACE);
    std::mt19937 random(seed);
    for (int f = 0; f < frames; ++f) {
      for (int events = random() % 4; events > 0; --events) {
        if (random() % 3 == 0)
          s.point(static_cast<int>(random() % 1024), static_cast<int>(random() % 768));
        else
          s.key(kKeys[random() % 14], random() % 2 == 0);
      }
      // Never paused for long: the drive is to move.
      if (s.tank->paused && random() % 4 == 0) s.press(irr::KEY_SPACE);
      frame.draw(*s.tank);
      frame.advance(*s.tank, f < 3 ? 0 : kRates[random() % 7]);
      digests.push_back(replay::digest(*s.tank));
    }
    recorder.finish(*s.tank);
    state = printed([&](std::FILE* out) { replay::printState(out, *s.tank); });
  }
  std::vector<std::uint64_t> digests;  // after 0, 1, ... frames
  std::string state;                   // printed at the end
};

struct Headless {
  explicit Headless(const std::string& path) {
    log = printed([&](std::FILE* l) {
      out = printed([&](std::FILE* o) { code = replay::runHeadless(path.c_str(), o, l); });
    });
  }
  int code = -1;
  std::string out, log;
};

// A drive recorded through the receiver replays without a window to the same state, bit for
// bit, twice alike; a recording whose seed differs ends elsewhere, and says where the jumps
// first parted.
TEST(Replay, ARecordedDriveReplaysToTheSameStateAndOnlyFromItsSeed) {
  const std::string path = scratch("drive");
  const RecordedDrive drive(path, 4242, 600);
  const Headless first(path), second(path);
  EXPECT_EQ(first.code, 0) << first.out << first.log;
  EXPECT_NE(first.out.find(drive.state), std::string::npos) << first.out << drive.state;
  EXPECT_NE(first.out.find("the same"), std::string::npos) << first.out;
  EXPECT_EQ(first.out, second.out);
  EXPECT_EQ(first.log, "");

  assets::Bytes bytes;
  assets::replay::File file;
  std::string why;
  ASSERT_TRUE(replay::load(path.c_str(), bytes, file, why)) << why;
  EXPECT_EQ(file.frames, 600u);
  bytes[16] ^= 1;  // the seed's first byte: other wheels for the jumps
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  const Headless other(path);
  EXPECT_EQ(other.code, 1);
  EXPECT_NE(other.out.find("NOT the same"), std::string::npos) << other.out;
  EXPECT_NE(other.log.find(": the jump drew wheel"), std::string::npos) << other.log;
  std::remove(path.c_str());
}

// Cut anywhere past its header, a recording plays its whole frames and ends in the state
// the drive had after them; it says it was cut and claims no match.
TEST(Replay, ACutRecordingPlaysToItsLastWholeFrame) {
  const std::string path = scratch("cut");
  const RecordedDrive drive(path, 99, 120);
  assets::Bytes whole;
  ASSERT_TRUE(assets::readFile(path.c_str(), whole));
  std::remove(path.c_str());
  const std::size_t body = 20;
  const std::size_t stride = std::max<std::size_t>(1, (whole.size() - body) / 60);
  for (std::size_t size = body; size < whole.size(); size += stride) {
    const assets::Bytes bytes(whole.begin(), whole.begin() + static_cast<long>(size));
    assets::replay::File file;
    ASSERT_EQ(assets::replay::read(bytes, file), "") << size;
    ASSERT_FALSE(file.ended);
    support::TankScene s(false);
    std::srand(99);
    std::string log = printed([&](std::FILE* l) {
      replay::Player player("cut", bytes, file, nullptr, l);
      player.finish(*s.tank);
      EXPECT_EQ(player.verdict(), 1);
      EXPECT_EQ(player.played(), file.frames);
    });
    EXPECT_EQ(replay::digest(*s.tank), drive.digests.at(file.frames)) << size;
    EXPECT_NE(log.find("whole frames"), std::string::npos) << log;
  }
}

// A file that is not there, or that is refused, gets one line naming it and the byte, and
// the exit code 2.
TEST(Replay, AnUnreadableRecordingIsNamedInOneLine) {
  const std::string path = scratch("bad");
  const Headless missing(path);
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.log,
            "ferrox: " + path + ": cannot be read (missing, not a regular file, or refused)\n");
  support::ReplayBytes b;
  b.u8(0x77);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(b.bytes.data(), 1, b.bytes.size(), f);
  std::fclose(f);
  const Headless refused(path);
  std::remove(path.c_str());
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.log, "ferrox: " + path + ": byte 20: no record begins with the byte 119\n");
  EXPECT_EQ(refused.out, "");
}

// Replaying in the window, the player's keys no longer reach the tank: Space pauses the
// playback, and once the player swings the camera the recorded swings leave it be.
TEST(Replay, InTheWindowOnlyPauseAndTheCameraAreThePlayers) {
  support::ReplayBytes b;
  b.camera(30.0f, 40.0f).frames(0.0f, 1).camera(50.0f, 60.0f).frames(0.0f, 1).end(2, 0);
  assets::replay::File file;
  ASSERT_EQ(assets::replay::read(b.bytes, file), "");
  DrivenScene s;
  replay::Player player("window", b.bytes, file, nullptr, stderr);
  s.receiver.replay(&player);
  s.key(irr::KEY_KEY_W, true);
  s.press(irr::KEY_KEY_Q);
  EXPECT_FALSE(s.tank->accelerating);
  EXPECT_EQ(s.tank->engine.getGear(), 1);
  s.press(irr::KEY_SPACE);
  EXPECT_TRUE(player.paused() && !s.tank->paused);
  player.play(*s.tank, 1.0);
  EXPECT_EQ(player.played(), 0u);
  s.press(irr::KEY_SPACE);
  player.frame(*s.tank);
  EXPECT_EQ(s.tank->cameraYaw, 40.0f);
  s.point(100, 50);
  player.frame(*s.tank);
  EXPECT_EQ(s.tank->cameraYaw, 100.0f);
}

// Ten minutes at 60 frames a second, with the mouse moving in every frame and a key in every
// second, make a recording well under a megabyte.
TEST(Replay, TenMinutesOfDrivingRecordSmall) {
  const std::string path = scratch("long");
  {
    DrivenScene s;
    replay::Recorder recorder;
    std::string why;
    ASSERT_TRUE(recorder.open(path.c_str(), 1, why)) << why;
    s.receiver.record(&recorder);
    for (int f = 0; f < 10 * 60 * 60; ++f) {
      s.point(f % 1024, f % 700);
      if (f % 60 == 0) s.key(irr::KEY_KEY_W, f % 120 == 0);
      recorder.frame(1.0f / 60.0f, *s.tank);
    }
    recorder.finish(*s.tank);
  }
  assets::Bytes bytes;
  ASSERT_TRUE(assets::readFile(path.c_str(), bytes));
  std::remove(path.c_str());
  EXPECT_LT(bytes.size(), 400u * 1024);
  assets::replay::File file;
  EXPECT_EQ(assets::replay::read(bytes, file), "");
  EXPECT_EQ(file.frames, 36000u);
}

}  // namespace
