// Our own decodes, pinned bit for bit. The peer tests allow a few levels of difference
// from djpeg, so a small change in the transforms, the colour conversion or the entropy
// decoder can pass them unnoticed; these checksums catch it. When a decode changes on
// purpose, the failure message shows the new checksum to store.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/unit/jpeg_test_support.h"

namespace vz {
namespace {

const std::string kTestData = std::string(VIZORKA_TESTDATA_DIR) + "/jpeg/";

uint64_t fnv1a(const std::vector<uint8_t>& bytes, uint64_t hash = 14695981039346656037ULL) {
  for (uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ULL;
  return hash;
}

// The delivered pixels, then the outcome, so that a change in either shows.
uint64_t decodeChecksum(const std::vector<uint8_t>& file, bool fastPath) {
  const jpegtest::Decoded d = jpegtest::decodeMemory(file, fastPath, 777);
  const std::vector<int32_t> outcome = {d.width, d.height, d.components, d.rowsRead, d.error};
  std::vector<uint8_t> outcomeBytes(outcome.size() * sizeof(int32_t));
  std::memcpy(outcomeBytes.data(), outcome.data(), outcomeBytes.size());
  return fnv1a(outcomeBytes, fnv1a(d.pixels));
}

struct Pinned {
  const char* name;
  const char* testFile;      // a picture of tests/data/jpeg, or null for cjpeg
  const char* cjpegOptions;  // cjpeg on the generated test picture (seed 11)
  int width;
  int height;
  size_t keptBytes;  // cut the file to this many bytes; 0 keeps it whole
  uint64_t fileChecksum;
  uint64_t fastChecksum;
  uint64_t accurateChecksum;
};

std::vector<uint8_t> pictureFile(const Pinned& p) {
  std::vector<uint8_t> file;
  if (p.testFile != nullptr) {
    file = test::readFileBytes(kTestData + p.testFile);
  } else {
    std::string fileName = std::string("pin_") + p.name;
    std::replace(fileName.begin(), fileName.end(), ' ', '_');
    const std::string base = jpegtest::tempPath(fileName);
    test::writeFileBytes(base + ".ppm", jpegtest::makeTestPpm(p.width, p.height, 11));
    if (test::runCommand(std::string("cjpeg ") + p.cjpegOptions + " -outfile " + base + ".jpg " +
                         base + ".ppm") == 0)
      file = test::readFileBytes(base + ".jpg");
    std::remove((base + ".ppm").c_str());
    std::remove((base + ".jpg").c_str());
  }
  if (p.keptBytes != 0 && p.keptBytes < file.size()) file.resize(p.keptBytes);
  return file;
}

TEST(JpegPinnedOutput, BothTransformsDecodeExactlyAsBefore) {
  static const Pinned kPictures[] = {
      {"testorig", "testorig.jpg", nullptr, 0, 0, 0, 0x08db062d3723b2d5, 0xbcde31f536e39331,
       0x9e1bf200a50e01e8},
      {"testimgint", "testimgint.jpg", nullptr, 0, 0, 0, 0x6689682e6834672d, 0x07b1e3113100ac4a,
       0x58e8c3bdc4088826},
      {"testorig cut in the scan", "testorig.jpg", nullptr, 0, 0, 3000, 0xedac4bbdcce8a0e6,
       0x0b20328ac1f90035, 0xb3787cbdbfe4aff1},
      {"s444", nullptr, "-sample 1x1", 64, 48, 0, 0x0d2f6151eecb779e, 0x735f64800346a3e9,
       0x1b7ba777e0052f8d},
      {"s422", nullptr, "-sample 2x1", 64, 48, 0, 0x52bb0ca02521afda, 0x9f81767ddd60c934,
       0x9c23152607f294a6},
      {"s440", nullptr, "-sample 1x2", 64, 48, 0, 0xe97d5d95151a12ff, 0x75b0298d62ea2ce8,
       0xfaa02475e94501c4},
      {"s420", nullptr, "-sample 2x2", 64, 48, 0, 0x7de1cbe0c99d476f, 0x2b020c5374b141c6,
       0xf2ea0968b38ad0c6},
      {"grey", nullptr, "-grayscale", 64, 48, 0, 0xbdbbdebbfdc0fdb8, 0x92393467756f513b,
       0x8028a1a30d008896},
      {"odd 420", nullptr, "-sample 2x2", 37, 29, 0, 0x313f5720d6ae171c, 0xaf5799e078c9d514,
       0x4bebef61f26dd158},
      {"odd 422", nullptr, "-sample 2x1", 37, 29, 0, 0xa7e11af4ab7eb2f4, 0xc2b7506d0f2d1af4,
       0xbe03d3b3d2fead66},
      {"odd 440", nullptr, "-sample 1x2", 37, 29, 0, 0x36ec6109d153f23f, 0x970627f3ba6afa1a,
       0x989e2aa6e4c7a8af},
      {"odd grey", nullptr, "-grayscale", 13, 3, 0, 0xcf4a3a5f2d2cab82, 0x4d2571754bd6008d,
       0x049c73d1e1ae5c5e},
      {"restart every MCU", nullptr, "-sample 2x2 -restart 1B", 70, 50, 0, 0xc6fc8eca1f9e7329,
       0xf5b3e28a8845eb35, 0x82bc20c73b7d7122},
      {"restart every 2 rows, grey", nullptr, "-grayscale -restart 2", 70, 50, 0,
       0xebf851e4d015f1c1, 0x5bc529cabe1bec01, 0x09784f2ee32fcbee},
      {"optimised tables", nullptr, "-optimize -sample 2x1", 64, 48, 0, 0xbaa1a33005d8b95f,
       0x9f81767ddd60c934, 0x9c23152607f294a6},
      {"quality 1", nullptr, "-quality 1", 40, 40, 0, 0x22ed5f29f508d26c, 0x12404680d233bece,
       0x12404680d233bece},
      {"quality 100", nullptr, "-quality 100 -sample 1x1", 40, 40, 0, 0x5fab3282fc9ff40c,
       0xc53028475ab99e7e, 0xdf75d616cffba12e},
      {"progressive 420", nullptr, "-progressive -sample 2x2", 160, 120, 0, 0x3bdfed90393465c5,
       0x4f24408c432e3117, 0x2bc6d97308c939b7},
      {"progressive 444", nullptr, "-progressive -sample 1x1", 37, 29, 0, 0xa72d7978c1eeaaa9,
       0xcf841e0f3547b769, 0x83c4a48b4b52bd60},
      {"progressive 422", nullptr, "-progressive -sample 2x1", 37, 29, 0, 0x3c12c6631c96e9cf,
       0xc2b7506d0f2d1af4, 0xbe03d3b3d2fead66},
      {"progressive 440", nullptr, "-progressive -sample 1x2", 37, 29, 0, 0x3eb269b5f1f3e084,
       0x970627f3ba6afa1a, 0x989e2aa6e4c7a8af},
      {"progressive grey", nullptr, "-progressive -grayscale", 37, 29, 0, 0x21f46cff6af9cfb9,
       0xd59fcac943819639, 0x94f1933dcfa892ba},
      {"progressive restarts", nullptr, "-progressive -restart 1B -sample 2x2", 50, 40, 0,
       0xeaa359a4209bb43b, 0x11c376eb4646d6ad, 0xe49a4d3c8d97ee00},
      {"progressive quality 100", nullptr, "-progressive -quality 100", 40, 40, 0,
       0x9e99d42e9d7e0ed1, 0x9196acaee94fe84c, 0x3d41369d95747ab4},
      // Blocks after the end of the data keep what the earlier scans gave them.
      {"progressive cut", nullptr, "-progressive -sample 2x2", 160, 120, 2500, 0x615cd4bd04867e47,
       0x0813926672f49795, 0xe4a11385c65cf44e},
  };
  for (const Pinned& p : kPictures) {
    SCOPED_TRACE(p.name);
    const std::vector<uint8_t> file = pictureFile(p);
    ASSERT_FALSE(file.empty());
    // A different cjpeg makes different files: then the decodes below cannot be judged.
    ASSERT_EQ(fnv1a(file), p.fileChecksum) << "the input file changed";
    EXPECT_EQ(decodeChecksum(file, true), p.fastChecksum) << "fast transform";
    EXPECT_EQ(decodeChecksum(file, false), p.accurateChecksum) << "accurate transform";
  }
}

}  // namespace
}  // namespace vz
