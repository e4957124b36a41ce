#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "player/raw_sound.h"

namespace rawplay {
namespace {

std::vector<uint8_t> headerWithPitchBytes(uint8_t low, uint8_t high) {
  return {'R', 'W', '4', 0x00, low, high, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

TEST(RawSoundHeader, PitchAndSampleRate) {
  const auto usual = headerWithPitchBytes(0xE8, 0x0F);
  EXPECT_EQ(pitchOfHeader(usual.data(), usual.size()), 4072);
  EXPECT_EQ(sampleRateOfPitch(4072), 8138);

  const auto highest = headerWithPitchBytes(0xFF, 0xFF);  // the top 4 bits do not count
  EXPECT_EQ(pitchOfHeader(highest.data(), highest.size()), 4095);
  EXPECT_EQ(sampleRateOfPitch(4095), 195312);

  const auto lowest = headerWithPitchBytes(0x00, 0xF0);
  EXPECT_EQ(pitchOfHeader(lowest.data(), lowest.size()), 0);
  EXPECT_EQ(sampleRateOfPitch(0), 47);
  EXPECT_EQ(sampleRateOfPitch(4000), 2034);  // 2034.5 truncates
}

TEST(RawSoundHeader, WithoutSignatureTheDefaultPitch) {
  auto header = headerWithPitchBytes(0x00, 0x01);
  header[2] = '5';
  EXPECT_EQ(pitchOfHeader(header.data(), header.size()), kDefaultPitch);
  header[2] = '4';
  header[0] = 'r';
  EXPECT_EQ(pitchOfHeader(header.data(), header.size()), kDefaultPitch);
  // A file too short to hold the pitch word must not have it read from beyond its end.
  const auto whole = headerWithPitchBytes(0x00, 0x01);
  EXPECT_EQ(pitchOfHeader(whole.data(), 5), kDefaultPitch);
  EXPECT_EQ(pitchOfHeader(whole.data(), 6), 256);
}

TEST(SampleExpansion, HighNibbleFirstEachTimesSixteen) {
  const uint8_t byte = 0x3C;
  uint8_t samples[2] = {};
  expandSamples(&byte, 1, samples);
  EXPECT_EQ(samples[0], 0x30);
  EXPECT_EQ(samples[1], 0xC0);

  std::vector<uint8_t> everyByte(256);
  for (int i = 0; i < 256; ++i) everyByte[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> expanded(512, 0x55);
  expandSamples(everyByte.data(), everyByte.size(), expanded.data());
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(expanded[2 * i], (i >> 4) * 16) << "byte " << i;
    EXPECT_EQ(expanded[2 * i + 1], (i & 15) * 16) << "byte " << i;
  }
}

// Level 15 is 15 * 4096 per channel, not full scale.
TEST(DeviceSettings, VolumeWordHasBothChannels) {
  EXPECT_EQ(volumeWordOfLevel(15), 0xF000F000u);
  EXPECT_EQ(volumeWordOfLevel(1), 0x10001000u);
  EXPECT_EQ(volumeWordOfLevel(0), 0u);
}

}  // namespace
}  // namespace rawplay
