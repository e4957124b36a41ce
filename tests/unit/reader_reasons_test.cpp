// Every reader says why it fails, in the words vizorka-cli prints: representative damaged
// files, made from the test pictures and fuzz seeds by one edit each, and their reasons.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "converter/formats/picture_formats.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;

// A chunk put after IHDR (which ends at byte 33), with its CRC made right or wrong.
void insertChunk(Bytes& png, const std::string& type, const Bytes& data, bool goodCrc) {
  Bytes chunk;
  for (int shift = 24; shift >= 0; shift -= 8)
    chunk.push_back(static_cast<uint8_t>(data.size() >> shift));
  chunk.insert(chunk.end(), type.begin(), type.end());
  chunk.insert(chunk.end(), data.begin(), data.end());
  uint32_t crc =
      static_cast<uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4)));
  if (!goodCrc) crc ^= 1;
  for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<uint8_t>(crc >> shift));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
}

std::function<void(Bytes&)> cutTo(size_t size) {
  return [size](Bytes& bytes) { bytes.resize(size); };
}

std::function<void(Bytes&)> setByte(size_t at, uint8_t value) {
  return [at, value](Bytes& bytes) { bytes[at] = value; };
}

TEST(ReaderReasons, EachFailureSaysWhatIsWrong) {
  struct Case {
    const char* file;  // under tests/
    const char* format;
    std::function<void(Bytes&)> edit;
    StatusCode code;
    const char* reason;
  };
  const char* const pal8 = "data/bmpsuite/g/pal8.bmp";  // 127 x 64, 8 bits, 1078 bytes of headers
  const char* const rgb = "data/pngsuite/png/basn2c08.png";  // 32 x 32 RGB
  const Case cases[] = {
      {pal8, "BMP", setByte(1, 'A'), StatusCode::kNotThisFormat, "not a BMP file"},
      {pal8, "BMP", setByte(30, 4), StatusCode::kUnsupported,
       "BMP compression 4 (JPEG) not supported"},
      {pal8, "BMP", setByte(26, 2), StatusCode::kUnsupported, "BMP with 2 planes not supported"},
      {pal8, "BMP", setByte(28, 2), StatusCode::kUnsupported, "BMP depth 2 not supported"},
      {pal8, "BMP", setByte(14, 20), StatusCode::kUnsupported,
       "BMP header of 20 bytes not supported"},
      {pal8, "BMP", [](Bytes& b) { b[10] = 20, b[11] = 0; }, StatusCode::kDamaged,
       "BMP pixel data offset 20 points into the headers"},
      {pal8, "BMP", cutTo(1078 + 10 * 128 + 5), StatusCode::kDamaged, "data ends at row 10 of 64"},
      {pal8, "BMP", cutTo(60), StatusCode::kDamaged, "data ends in the colour table"},
      {"data/bmpsuite/g/pal8rle.bmp", "BMP", cutTo(4000), StatusCode::kPartial,
       "data ends at row 24 of 64"},
      {rgb, "PNG", setByte(1, 'Q'), StatusCode::kNotThisFormat, "not a PNG file"},
      {"data/pngsuite/png/xcsn0g01.png", "PNG", nullptr, StatusCode::kDamaged,
       "CRC mismatch in IDAT"},
      {"data/pngsuite/png/xdtn0g01.png", "PNG", nullptr, StatusCode::kDamaged, "no IDAT"},
      {"data/pngsuite/png/xd0n2c08.png", "PNG", nullptr, StatusCode::kDamaged,
       "invalid IHDR: bit depth 0 with colour type 2"},
      {rgb, "PNG", [](Bytes& b) { insertChunk(b, "AbCD", {1}, true); }, StatusCode::kUnsupported,
       "unknown critical chunk AbCD"},
      {rgb, "PNG",
       [](Bytes& b) {
         insertChunk(b, "PLTE", {1, 2, 3}, false);
       },
       StatusCode::kDamaged, "CRC mismatch in PLTE"},
      {rgb, "PNG",
       [](Bytes& b) {
         insertChunk(b, "tEXt", {'a', 0, 'b'}, false);
       },
       StatusCode::kOk, "ok"},
      {rgb, "PNG", cutTo(100), StatusCode::kPartial, "data ends at row 9 of 32"},
      {"data/pngsuite/png/basi2c08.png", "PNG", cutTo(200), StatusCode::kPartial,
       "data ends in pass 6 of 7, at row 0 of 16"},
      {"fuzz/seeds/fuzz_gif/four.gif", "GIF", setByte(2, 'X'), StatusCode::kNotThisFormat,
       "not a GIF file"},
      {"fuzz/seeds/fuzz_gif/four.gif", "GIF",
       [](Bytes& b) { b.resize(13 + 12), b.push_back(0x3B); }, StatusCode::kDamaged,
       "GIF has no image"},
      {"fuzz/seeds/fuzz_gif/interlaced.gif", "GIF", cutTo(176), StatusCode::kPartial,
       "data ends at row 2 of 5"},
      {"fuzz/seeds/fuzz_pcx/indexed.pcx", "PCX", setByte(2, 0), StatusCode::kUnsupported,
       "PCX encoding 0 not supported"},
      {"fuzz/seeds/fuzz_pcx/indexed.pcx", "PCX", cutTo(150), StatusCode::kPartial,
       "data ends at row 3 of 5"},
      {"fuzz/seeds/fuzz_kep/plain16.kep", "KEP", cutTo(20), StatusCode::kPartial,
       "data ends at row 1 of 2"},
      {"fuzz/seeds/fuzz_kep/plain16.kep", "KEP", setByte(3, 12), StatusCode::kPartial,
       "KEP mode 12 is not decoded; the picture stays black"},
      {"fuzz/seeds/fuzz_vid/two_frames.vid", "VID", setByte(2, 'X'), StatusCode::kNotThisFormat,
       "not a VID file"},
      {"fuzz/seeds/fuzz_vid/two_frames.vid", "VID", cutTo(600), StatusCode::kPartial,
       "data ends in frame 2 of 2"},
      {"fuzz/seeds/fuzz_kep/plain16.kep", "R16", cutTo(0), StatusCode::kDamaged, "empty file"},
      {"fuzz/seeds/fuzz_pcx/indexed.pcx", "R16", cutTo(100), StatusCode::kPartial,
       "data ends at row 6 of 60"},
  };
  for (const Case& c : cases) {
    Bytes bytes = test::readFileBytes(std::string(VIZORKA_SOURCE_DIR) + "/tests/" + c.file);
    ASSERT_FALSE(bytes.empty()) << c.file;
    if (c.edit) c.edit(bytes);
    ImageDocument doc;
    const Status status =
        readPicture(*formatOfExtension(c.format), bytes.size(), bytes.data(), doc, {});
    EXPECT_EQ(status.code(), c.code) << c.file << ": " << c.reason;
    EXPECT_EQ(status.reason(), c.reason) << c.file;
    EXPECT_EQ(doc.holdsPicture(), givesPicture(status)) << c.file << ": " << c.reason;
  }
}

}  // namespace
}  // namespace vz
