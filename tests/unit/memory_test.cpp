// Memory: the readers whose data can run short grow with the rows they decode, not with
// the size their header claims; running out of memory is told as "out of memory", by the
// readers and by the conversions alike. Measured through the test program's allocation
// meter (allocation_meter.h), not the clock.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "converter/commands/command_table.h"
#include "converter/formats/picture_formats.h"
#include "tests/unit/allocation_meter.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

constexpr int64_t kMegabyte = int64_t{1} << 20;

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putBe(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

std::vector<uint8_t> junk(size_t size) {
  std::mt19937 random(2024);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// An 8-bit run-length BMP of the given size: a grey colour table, then `data`.
std::vector<uint8_t> runLengthBmp(int32_t width, int32_t height, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file = {'B', 'M'};
  const uint32_t offset = 14 + 40 + 1024;
  putLe(file, offset + static_cast<uint32_t>(data.size()), 4);
  putLe(file, 0, 4);
  putLe(file, offset, 4);
  for (uint32_t field : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
    putLe(file, field, 4);
  putLe(file, 1, 2);
  putLe(file, 8, 2);
  for (uint32_t field : {1u, static_cast<uint32_t>(data.size()), 0u, 0u, 256u, 0u})
    putLe(file, field, 4);
  for (uint32_t i = 0; i < 256; ++i) putLe(file, i * 0x010101u, 4);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// About `bytes` of run-length rows of `width` pixels, each painted by runs of 255 and
// ended, with no end-of-bitmap mark.
std::vector<uint8_t> paintedRows(int32_t width, size_t bytes) {
  std::vector<uint8_t> data;
  while (data.size() < bytes) {
    for (int32_t x = 0; x < width; x += 255) data.insert(data.end(), {255, 7});
    data.insert(data.end(), {0, 0});
  }
  return data;
}

void appendChunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
  putBe(file, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  file.insert(file.end(), body.begin(), body.end());
  putBe(file, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// An 8-bit PNG of the given colour type whose IDAT holds `imageData` as it is.
std::vector<uint8_t> pngFile(uint32_t width, uint32_t height, uint8_t colourType, bool interlaced,
                             const std::vector<uint8_t>& imageData) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  putBe(header, width);
  putBe(header, height);
  header.insert(header.end(), {8, colourType, 0, 0, static_cast<uint8_t>(interlaced)});
  appendChunk(file, "IHDR", header);
  appendChunk(file, "IDAT", imageData);
  appendChunk(file, "IEND", {});
  return file;
}

// A GIF of 256 colours whose image data is `codes`, in sub-blocks.
std::vector<uint8_t> gifFile(uint16_t width, uint16_t height, const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
  putLe(file, width, 2);
  putLe(file, height, 2);
  file.insert(file.end(), {0x87, 0, 0});
  for (int i = 0; i < 256; ++i) file.insert(file.end(), 3, static_cast<uint8_t>(i));
  file.push_back(0x2C);
  putLe(file, 0, 4);
  putLe(file, width, 2);
  putLe(file, height, 2);
  file.insert(file.end(), {0, 8});
  for (size_t at = 0; at < codes.size(); at += 255) {
    const size_t length = std::min<size_t>(255, codes.size() - at);
    file.push_back(static_cast<uint8_t>(length));
    file.insert(file.end(), codes.begin() + at, codes.begin() + at + length);
  }
  file.insert(file.end(), {0, 0x3B});
  return file;
}

// Files of little or no real data that claim pictures of hundreds of megabytes or more:
// each fails having held memory in proportion to its data (before, each held its claim).
TEST(ReaderMemory, FollowsTheDataNotTheHeader) {
  struct Case {
    const char* name;
    const char* format;
    std::vector<uint8_t> file;
    int64_t maxPixels;
    Status expected;
    int64_t bound;  // bytes held at most
  };
  const std::vector<uint8_t> junkData = junk(2 * kMegabyte);
  const Case cases[] = {
      {"130 KB of run-length rows claiming 16384 x 16384 (268 MB)", "BMP",
       runLengthBmp(16384, 16384, paintedRows(16384, 130 << 10)), kDefaultMaxPixels,
       Status(StatusCode::kDamaged, "data ends at row 1009 of 16384"), 40 * kMegabyte},
      {"the same claiming 46000 x 46000 (2.1 GB) under a raised limit", "BMP",
       runLengthBmp(46000, 46000, paintedRows(46000, 130 << 10)), int64_t{3} << 30,
       Status(StatusCode::kDamaged, "data ends at row 366 of 46000"), 40 * kMegabyte},
      {"2 MB of junk image data claiming 16384 x 16384 in RGB (805 MB)", "PNG",
       pngFile(16384, 16384, 2, false, junkData), kDefaultMaxPixels,
       Status(StatusCode::kDamaged,
              "corrupt image data (incorrect header check) at row 0 of 16384"),
       20 * kMegabyte},
      {"the same interlaced", "PNG", pngFile(16384, 16384, 2, true, junkData), kDefaultMaxPixels,
       Status(StatusCode::kDamaged,
              "corrupt image data (incorrect header check) in pass 1 of 7, at row 0 of 2048"),
       kMegabyte},
      {"46340 x 46340 grey, over the limit", "PNG",
       pngFile(46340, 46340, 0, false, junk(2100 << 10)), kDefaultMaxPixels,
       Status(StatusCode::kTooLarge, "picture 46340 x 46340 is over the limit"), kMegabyte},
      {"200 KB of junk codes claiming 65535 x 4096", "GIF", gifFile(65535, 4096, junk(200 << 10)),
       kDefaultMaxPixels, Status(StatusCode::kDamaged, "corrupt LZW data at row 0 of 4096"),
       4 * kMegabyte},
  };
  for (const Case& c : cases) {
    ReadOptions options;
    options.maxPixels = c.maxPixels;
    ImageDocument doc;
    const test::AllocationMeter meter;
    const Status status =
        readPicture(*formatOfExtension(c.format), c.file.size(), c.file.data(), doc, options);
    EXPECT_EQ(status.code(), c.expected.code()) << c.name;
    EXPECT_EQ(status.reason(), c.expected.reason()) << c.name;
    EXPECT_LT(meter.peakBytes(), c.bound) << c.name;
    EXPECT_FALSE(doc.holdsPicture()) << c.name;
  }
}

// Pictures ImageMagick writes, read when no allocation of more than 4 KB succeeds: each
// reader answers "out of memory" and leaves no picture.
TEST(ReaderMemory, OutOfMemoryIsToldAsSuch) {
  const test::ScratchFolder scratch;
  struct Case {
    const char* file;
    const char* options;
  };
  const Case cases[] = {
      {"plain.bmp", "-type TrueColor BMP3:"},
      {"rle.bmp", "-colors 200 -type Palette -compress RLE BMP3:"},
      {"plain.png", ""},
      {"interlaced.png", "-interlace PNG "},
      {"plain.gif", ""},
      {"interlaced.gif", "-interlace GIF "},
      {"plain.pcx", ""},
  };
  for (const Case& c : cases) {
    const std::string path = scratch / c.file;
    ASSERT_EQ(
        test::runCommand(test::imageMagickConvert() + " -seed 5 -size 256x192 plasma:fractal " +
                         c.options + path + " 2>/dev/null"),
        0)
        << c.file;
    const std::vector<uint8_t> file = test::readFileBytes(path);
    const PictureFormat* format = formatOfContent(file.size(), file.data());
    ASSERT_NE(format, nullptr) << c.file;
    ImageDocument whole;
    ASSERT_EQ(readPicture(*format, file.size(), file.data(), whole, {}), StatusCode::kOk) << c.file;
    ImageDocument doc;
    Status status;
    {
      const test::AllocationCeiling ceiling(4096);
      status = readPicture(*format, file.size(), file.data(), doc, {});
    }
    EXPECT_EQ(status.code(), StatusCode::kOutOfMemory) << c.file;
    EXPECT_EQ(status.reason(), "out of memory") << c.file;
    EXPECT_FALSE(doc.holdsPicture()) << c.file;
  }
}

class RecordingHost : public CommandHost, public UserPrompts {
 public:
  UserPrompts& prompts() override { return *this; }
  void showError(const std::string& text, const std::string& caption) override {
    shown.push_back(caption + ": " + text);
  }
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> shown;
};

// One conversion of each family, run as the menu runs it when no allocation of more than
// 64 KB succeeds: the command answers out of memory, the window's message names the
// command, and the picture stays as it was.
TEST(ConversionMemory, OutOfMemoryLeavesThePictureAndSaysSo) {
  struct Case {
    const char* name;
    CommandId command;
    uint8_t algorithm;
    const char* message;
  };
  const std::string noMemory = std::string(": ") + texts::kNoMemoryForCommand;
  const Case cases[] = {
      {"nearest 16", CommandId::kNearest16, kFloydSteinberg, "Legközelebbi színek"},
      {"nearest 4", CommandId::kNearest4, kFloydSteinberg, "Legközelebbi színek"},
      {"Floyd-Steinberg 16", CommandId::kDither16, kFloydSteinberg, "Dithering"},
      {"ordered 2", CommandId::kDither2, kOrdered, "Dithering"},
      {"perceptual 4", CommandId::kDither4, kPerceptual, "Dithering"},
      {"4 greys", CommandId::kGrey4, kFloydSteinberg, "Szürke árnyalat"},
      {"256 greys", CommandId::kGrey256, kFloydSteinberg, "Szürke árnyalat"},
      {"halving", CommandId::kHalveVertically, kFloydSteinberg, "Átméretezés"},
      {"resizing", CommandId::kResize, kFloydSteinberg, "Átméretezés"},
  };
  for (const Case& c : cases) {
    AppState state;
    state.conversionThreads = 1;
    state.effects.ditherAlgorithm = c.algorithm;
    allocatePicture(state.document, 512, 384, ColourMode::kTrueColour);
    for (size_t i = 0; i < state.document.pixels.size(); ++i)
      state.document.pixels[i] = static_cast<uint8_t>(i * 7);
    const ImageDocument before = state.document;
    StepValue value;
    value.numbers = {300, 300, 2};  // the resize's size and mode: stretch
    RecordingHost host;
    CommandResult result;
    {
      const test::AllocationCeiling ceiling(64 << 10);
      result = runCommandStep(state, host, commandRow(c.command), value);
    }
    EXPECT_EQ(result.status.code(), StatusCode::kOutOfMemory) << c.name;
    EXPECT_TRUE(state.document == before) << c.name;
    const std::string expected = c.command == CommandId::kResize
                                     ? std::string(c.message) + ": " + texts::kResizedTooLarge
                                     : c.message + noMemory;
    EXPECT_EQ(host.shown, std::vector<std::string>{expected}) << c.name;
  }
}

}  // namespace
}  // namespace vz
