#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "player/player.h"

namespace rawplay {
namespace {

// A device that plays only when the player blocks on it: a wait finishes the oldest queued
// buffer, as a real device would while the player sleeps. It records every call and
// checks what a real device cannot tolerate.
class RecordingDevice : public WaveOut {
 public:
  bool openFails = false;
  int failingPrepare = -1;
  int failingWrite = 0;  // 1-based number of the write that fails, 0 for none
  int failingWait = 0;
  bool closeFails = false;

  std::vector<std::string> calls;
  WaveFormat openedFormat;
  uint32_t volumeWord = 0;
  std::vector<size_t> writtenLengths;
  std::vector<uint8_t> playedSamples;  // everything the device finished, in order
  size_t mostQueued = 0;
  std::vector<std::string> faults;

  bool open(const WaveFormat& format) override {
    calls.push_back("open");
    if (openFails) return false;
    opened_ = true;
    openedFormat = format;
    eventSignalled_ = true;  // the device reports its opening through the event
    return true;
  }
  bool prepare(int buffer, uint8_t* samples, size_t capacity) override {
    calls.push_back("prepare " + std::to_string(buffer));
    if (buffer == failingPrepare) return false;
    if (!opened_) faults.push_back("prepare before open");
    samples_[buffer] = samples;
    capacity_[buffer] = capacity;
    prepared_[buffer] = true;
    finished_[buffer] = true;
    return true;
  }
  void setVolume(uint32_t word) override {
    calls.push_back("volume");
    volumeWord = word;
  }
  void resetEvent() override {
    calls.push_back("reset");
    eventSignalled_ = false;
  }
  bool write(int buffer, size_t length) override {
    calls.push_back("write " + std::to_string(buffer) + " " + std::to_string(length));
    if (static_cast<int>(writtenLengths.size()) + 1 == failingWrite) {
      writtenLengths.push_back(0);
      return false;
    }
    writtenLengths.push_back(length);
    if (!prepared_[buffer]) faults.push_back("write of an unprepared buffer");
    if (!finished_[buffer]) faults.push_back("write of a buffer still playing");
    if (length > capacity_[buffer]) faults.push_back("write longer than the buffer");
    finished_[buffer] = false;
    copies_[buffer].assign(samples_[buffer], samples_[buffer] + length);
    queue_.push_back(buffer);
    mostQueued = std::max(mostQueued, queue_.size());
    return true;
  }
  bool waitForEvent() override {
    calls.push_back("wait");
    if (++waits_ == failingWait) return false;
    if (!eventSignalled_) {
      if (queue_.empty()) {
        faults.push_back("wait that nothing can end");
        return true;
      }
      finishOldest();
    }
    eventSignalled_ = false;
    return true;
  }
  void waitUntilFinished(int buffer) override {
    calls.push_back("finish " + std::to_string(buffer));
    while (!finished_[buffer]) {
      if (queue_.empty()) {
        faults.push_back("wait for a buffer never queued");
        return;
      }
      finishOldest();
    }
  }
  void unprepare(int buffer) override {
    calls.push_back("unprepare " + std::to_string(buffer));
    if (!finished_[buffer]) faults.push_back("unprepare of a buffer still playing");
    prepared_[buffer] = false;
  }
  bool close() override {
    calls.push_back("close");
    if (!queue_.empty() || prepared_[0] || prepared_[1]) faults.push_back("close while busy");
    opened_ = false;
    return !closeFails;
  }

 private:
  void finishOldest() {
    const int buffer = queue_.front();
    queue_.pop_front();
    const std::vector<uint8_t>& copy = copies_[buffer];
    if (std::memcmp(copy.data(), samples_[buffer], copy.size()) != 0)
      faults.push_back("buffer changed while playing");
    playedSamples.insert(playedSamples.end(), copy.begin(), copy.end());
    finished_[buffer] = true;
    eventSignalled_ = true;
  }

  bool opened_ = false;
  bool eventSignalled_ = false;
  int waits_ = 0;
  uint8_t* samples_[2] = {nullptr, nullptr};
  size_t capacity_[2] = {0, 0};
  bool prepared_[2] = {false, false};
  bool finished_[2] = {false, false};
  std::vector<uint8_t> copies_[2];
  std::deque<int> queue_;
};

class MemoryFile : public SoundFile {
 public:
  explicit MemoryFile(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t read(uint8_t* destination, size_t count) override {
    const size_t available = std::min(count, bytes_.size() - position_);
    std::copy_n(bytes_.begin() + position_, available, destination);
    position_ += available;
    return available;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t position_ = 0;
};

class RecordingHost : public Host {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  std::string output;
  std::vector<std::string> messageBoxes;

  void print(const std::string& text) override { output += text; }
  std::unique_ptr<SoundFile> openForReading(const std::string& path) override {
    const auto found = files.find(path);
    if (found == files.end()) return nullptr;
    return std::make_unique<MemoryFile>(found->second);
  }
  void showError(const std::string& text) override { messageBoxes.push_back(text); }
};

std::vector<uint8_t> soundFile(uint8_t pitchLow, uint8_t pitchHigh, size_t sampleBytes) {
  std::vector<uint8_t> bytes(kHeaderSize + sampleBytes);
  bytes[0] = 'R';
  bytes[1] = 'W';
  bytes[2] = '4';
  bytes[4] = pitchLow;
  bytes[5] = pitchHigh;
  uint32_t state = 12345;  // fixed pseudo-random samples
  for (size_t i = kHeaderSize; i < bytes.size(); ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

std::vector<uint8_t> expandedSamplesOf(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> samples(2 * (file.size() - kHeaderSize));
  expandSamples(file.data() + kHeaderSize, file.size() - kHeaderSize, samples.data());
  return samples;
}

struct PlayerRun {
  RecordingHost host;
  RecordingDevice device;
  int status = -1;

  void play(const std::vector<uint8_t>& file) {
    host.files["snd.raw"] = file;
    status = runRawPlay({"rawplay.exe", "snd.raw"}, host, device);
  }
};

const std::vector<std::string> kOpening = {"open", "prepare 0", "prepare 1", "volume", "reset"};
const std::vector<std::string> kClosingIdle = {"unprepare 0", "unprepare 1", "close"};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(RawPlayCommandLine, UsageWithoutArgument) {
  PlayerRun run;
  run.status = runRawPlay({"Z:\\bin\\rawplay.exe"}, run.host, run.device);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.host.output, "Usage: Z:\\bin\\rawplay.exe <input.raw>\n");
  EXPECT_TRUE(run.device.calls.empty());
}

TEST(RawPlayCommandLine, FileThatCannotBeOpened) {
  PlayerRun run;
  run.status = runRawPlay({"rawplay.exe", "nincs.raw", "extra"}, run.host, run.device);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.host.output, "nincs.raw\n\r\nError opening the input file.\n");
  EXPECT_TRUE(run.device.calls.empty());
  EXPECT_TRUE(run.host.messageBoxes.empty());
}

TEST(RawPlayback, HeaderOnlyFilePlaysNothing) {
  PlayerRun run;
  run.play(soundFile(0xE8, 0x0F, 0));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.output, "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n");
  EXPECT_EQ(run.device.calls, join(kOpening, kClosingIdle));
  EXPECT_EQ(run.device.openedFormat.samplesPerSecond, 8138);
  EXPECT_EQ(run.device.openedFormat.bytesPerSecond, 8138);
  EXPECT_EQ(run.device.volumeWord, 0xF000F000u);
  EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
  EXPECT_TRUE(run.host.messageBoxes.empty());
}

TEST(RawPlayback, TwoBuffersAlternateWithWaitsFromTheSecondPass) {
  PlayerRun run;
  const auto file = soundFile(0xFF, 0xFF, 40000);
  run.play(file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.output, "snd.raw\n\r\nPitch ertek: 4095\nMintaveteli frekvencia: 195312 Hz\n");
  EXPECT_EQ(run.device.writtenLengths, (std::vector<size_t>{32768, 32768, 14464}));
  const std::vector<std::string> playing = {"write 0 32768", "write 1 32768", "wait", "reset",
                                            "write 0 14464", "wait",          "reset"};
  const std::vector<std::string> closing = {"finish 0", "unprepare 0", "finish 1", "unprepare 1",
                                            "close"};
  EXPECT_EQ(run.device.calls, join(join(kOpening, playing), closing));
  EXPECT_EQ(run.device.mostQueued, 2u);
  EXPECT_EQ(run.device.playedSamples, expandedSamplesOf(file));
  EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
}

TEST(RawPlayback, LongFileNeverRefillsAPlayingBuffer) {
  PlayerRun run;
  const auto file = soundFile(0xE8, 0x0F, 5 * kInputChunkSize + 1);
  run.play(file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.device.writtenLengths.size(), 6u);
  EXPECT_EQ(run.device.writtenLengths.back(), 2u);
  EXPECT_EQ(run.device.mostQueued, 2u);
  EXPECT_EQ(run.device.playedSamples, expandedSamplesOf(file));
  EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
}

TEST(RawPlayback, FileWithoutSignatureStillSkipsItsFirstSixteenBytes) {
  PlayerRun run;
  auto file = soundFile(0x00, 0x01, 3);
  file[0] = 'X';
  file[kHeaderSize] = 0x3C;
  run.play(file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.output, "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n");
  ASSERT_EQ(run.device.playedSamples.size(), 6u);
  EXPECT_EQ(run.device.playedSamples[0], 0x30);
  EXPECT_EQ(run.device.playedSamples[1], 0xC0);
  EXPECT_EQ(run.device.playedSamples, expandedSamplesOf(file));
}

TEST(RawPlayback, FileShorterThanAHeader) {
  PlayerRun run;
  run.play({'R', 'W', '4', 0, 0x10});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.output, "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n");
  EXPECT_TRUE(run.device.writtenLengths.empty());
}

// A failed write still leaves the device closed, and the close does not wait for the
// buffer that never reached the device.
TEST(RawPlaybackFailures, WriteFailureStopsPlayingAndStillCloses) {
  for (int failing = 1; failing <= 3; ++failing) {
    SCOPED_TRACE("failing write " + std::to_string(failing));
    PlayerRun run;
    run.device.failingWrite = failing;
    const auto file = soundFile(0xE8, 0x0F, 40000);
    run.play(file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.host.output,
              "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n"
              "Error writing to sound card!");
    EXPECT_EQ(run.device.writtenLengths.size(), static_cast<size_t>(failing));
    EXPECT_EQ(run.device.calls.back(), "close");
    EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
    const auto expected = expandedSamplesOf(file);
    const size_t playedBytes = (failing - 1) * kSampleBufferSize;
    EXPECT_EQ(run.device.playedSamples,
              std::vector<uint8_t>(expected.begin(), expected.begin() + playedBytes));
    EXPECT_TRUE(run.host.messageBoxes.empty());
  }
}

TEST(RawPlaybackFailures, WaitFailureStopsPlayingAndStillCloses) {
  PlayerRun run;
  run.device.failingWait = 1;
  const auto file = soundFile(0xE8, 0x0F, 40000);
  run.play(file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.output,
            "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n"
            "Error waiting for sound to finish");
  EXPECT_EQ(run.device.writtenLengths, (std::vector<size_t>{32768, 32768}));
  EXPECT_EQ(run.device.calls.back(), "close");
  // Both queued buffers play out before they are unprepared.
  EXPECT_EQ(run.device.playedSamples.size(), 2 * kSampleBufferSize);
  EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
}

TEST(RawPlaybackFailures, NoSoundCardPlaysAndWaitsForNothing) {
  PlayerRun run;
  run.device.openFails = true;
  run.play(soundFile(0xE8, 0x0F, 100));
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.host.output, "snd.raw\n\r\nPitch ertek: 4072\nMintaveteli frekvencia: 8138 Hz\n");
  EXPECT_EQ(run.device.calls, std::vector<std::string>{"open"});
  EXPECT_EQ(run.host.messageBoxes, std::vector<std::string>{"A hangkártya nem érhető el!"});
}

TEST(RawPlaybackFailures, BufferThatCannotBePreparedClosesTheDevice) {
  for (int failing = 0; failing < 2; ++failing) {
    SCOPED_TRACE("failing buffer " + std::to_string(failing));
    PlayerRun run;
    run.device.failingPrepare = failing;
    run.play(soundFile(0xE8, 0x0F, 100));
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.device.writtenLengths.empty());
    EXPECT_EQ(run.device.calls.back(), "close");
    EXPECT_EQ(std::count(run.device.calls.begin(), run.device.calls.end(), "unprepare 0"), failing);
    EXPECT_TRUE(run.device.faults.empty()) << run.device.faults.front();
    EXPECT_EQ(run.host.messageBoxes, std::vector<std::string>{"A hangkártya nem érhető el!"});
  }
}

TEST(RawPlaybackFailures, DeviceThatCannotBeClosed) {
  PlayerRun run;
  run.device.closeFails = true;
  run.play(soundFile(0xE8, 0x0F, 100));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.host.messageBoxes, std::vector<std::string>{"A hangkártyát nem lehet lezárni!"});
}

}  // namespace
}  // namespace rawplay
