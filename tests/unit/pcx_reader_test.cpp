#include <gtest/gtest.h>

#include <random>

#include "converter/formats/pcx.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

struct PcxHeader {
  int version = 5;
  int bitsPerPlane = 8;
  int planes = 1;
  int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  int bytesPerLine = 0;
  int encoding = 1;
};

std::vector<uint8_t> pcxFile(const PcxHeader& h, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file(128, 0);
  auto put16 = [&](size_t at, int v) {
    file[at] = static_cast<uint8_t>(v);
    file[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  file[0] = 0x0A;
  file[1] = static_cast<uint8_t>(h.version);
  file[2] = static_cast<uint8_t>(h.encoding);
  file[3] = static_cast<uint8_t>(h.bitsPerPlane);
  put16(4, h.xMin);
  put16(6, h.yMin);
  put16(8, h.xMax);
  put16(10, h.yMax);
  for (int i = 0; i < 48; ++i) file[16 + i] = static_cast<uint8_t>(0x10 + i);  // header colours
  file[65] = static_cast<uint8_t>(h.planes);
  put16(66, h.bytesPerLine);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// Plain RLE: runs of equal bytes, and bytes of 0xC0 and above always as a run.
std::vector<uint8_t> rleEncode(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < raw.size();) {
    size_t run = 1;
    while (i + run < raw.size() && raw[i + run] == raw[i] && run < 63) ++run;
    if (run > 1 || raw[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
    out.push_back(raw[i]);
    i += run;
  }
  return out;
}

Status read(const std::vector<uint8_t>& file, ImageDocument& doc) {
  return readPcx(file.size(), file.data(), doc);
}

TEST(PcxReader, RunsCrossScanLinesAndEmptyRunsGiveNothing) {
  // 4 x 3 pixels, 8 bits, 4 bytes a line: one run of 6 covers line 0 and half of line 1.
  PcxHeader h;
  h.xMax = 3, h.yMax = 2, h.bytesPerLine = 4;
  ImageDocument doc;
  ASSERT_EQ(read(pcxFile(h, {0xC6, 7, 0xC0, 9, 1, 2, 0xC4, 0xC5, 3}), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 12);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
  const std::vector<uint8_t> expected = {7, 7, 7, 7, 7, 7, 1, 2, 0xC5, 0xC5, 0xC5, 0xC5};
  EXPECT_EQ(doc.pixels, expected);
}

TEST(PcxReader, EightBitsTakeTheTrailingPaletteOnlyWithVersionFiveAndMarker) {
  PcxHeader h;
  h.xMax = 1, h.yMax = 0, h.bytesPerLine = 2;
  std::vector<uint8_t> trailer(769, 0);
  trailer[0] = 0x0C;
  trailer[1 + 3 * 200] = 0xAA;  // entry 200: red 0xAA
  std::vector<uint8_t> data = {0xC1, 200, 17, 0};
  data.insert(data.end(), trailer.begin(), trailer.end());

  ImageDocument doc;
  ASSERT_EQ(read(pcxFile(h, data), doc), StatusCode::kOk);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
  EXPECT_EQ(doc.palette[200], 0xAAu);
  EXPECT_EQ(doc.pixels[0], 200);
  EXPECT_EQ(doc.pixels[1], 17);

  // Without a usable palette the pixels stay 8-bit, shown with the header's colours.
  for (auto change : {0, 1}) {
    PcxHeader other = h;
    std::vector<uint8_t> otherData = data;
    if (change == 0) other.version = 3;
    if (change == 1) otherData[4] = 0x0B;
    doc.palette.fill(0x123456);
    ASSERT_EQ(read(pcxFile(other, otherData), doc), StatusCode::kOk);
    EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
    EXPECT_EQ(doc.pixels[0], 200);
    EXPECT_EQ(doc.palette[1], makeColour(0x13, 0x14, 0x15));
    EXPECT_EQ(doc.palette[200], 0u);
  }
}

TEST(PcxReader, DataEndingEarlyLeavesTheRestZero) {
  PcxHeader h;
  h.bitsPerPlane = 8, h.planes = 3, h.xMax = 1, h.yMax = 1, h.bytesPerLine = 2;
  ImageDocument doc;
  ASSERT_EQ(read(pcxFile(h, {1, 2, 3, 0xC5}), doc), StatusCode::kPartial);
  EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);
  // Red 1, 2; green 3 and a lost 0; no blue; no second row.
  const std::vector<uint8_t> expected = {0, 3, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(doc.pixels, expected);
}

TEST(PcxReader, UnreadableHeadersLeaveAnEmptyDocument) {
  PcxHeader good;
  good.xMax = 3, good.yMax = 1, good.bytesPerLine = 4;
  std::vector<PcxHeader> bad(7, good);
  bad[0].encoding = 0;
  bad[1].xMin = 4;  // maximum below minimum
  bad[2].yMin = 2;
  bad[3].bytesPerLine = 3;  // too short for 4 pixels
  bad[4].planes = 2;        // forms without a document mode
  bad[5].bitsPerPlane = 2;
  bad[6].xMax = 39999, bad[6].yMax = 39999, bad[6].bytesPerLine = 40000;  // 1.6 GB from 9 bytes
  for (size_t i = 0; i < bad.size(); ++i) {
    ImageDocument doc;
    ASSERT_EQ(read(pcxFile(good, std::vector<uint8_t>(8, 0xC3)), doc), StatusCode::kOk);
    EXPECT_FALSE(givesPicture(read(pcxFile(bad[i], std::vector<uint8_t>(9, 0xFF)), doc))) << i;
    EXPECT_TRUE(doc.pixels.empty()) << i;
    EXPECT_EQ(doc.width, 0) << i;
  }
  ImageDocument doc;
  std::vector<uint8_t> shortHeader(127, 0);
  EXPECT_EQ(read(shortHeader, doc), StatusCode::kNotThisFormat);
  shortHeader[0] = 0x0A;
  EXPECT_EQ(read(shortHeader, doc), StatusCode::kDamaged);
}

// Pictures written by ImageMagick, and planar ones written here (ImageMagick writes
// 1-bit files only for one-colour pictures, and no four-plane files, but reads both),
// against ImageMagick's decode.
TEST(PcxReader, MatchesImageMagick) {
  ASSERT_TRUE(test::haveTool(test::imageMagickConvert())) << "ImageMagick, the judge, is missing";
  test::ScratchFolder scratch;
  const std::string source = (scratch / "source.png");
  ASSERT_TRUE(test::runQuietly(test::imageMagickConvert() + " -size 37x21 -seed 7 plasma:fractal " +
                               source));
  // Flat bands wider than 63 pixels: runs as long as the coding allows.
  const std::string bands =
      "-size 100x9 xc:#C8A040 -size 150x9 xc:white -size 200x9 xc:#102030 +append ";
  for (const auto& [name, picture] :
       {std::pair<std::string, std::string>{"indexed.pcx", source + " -colors 200"},
        {"true.pcx", source},
        {"bands-indexed.pcx", bands + "-type Palette"},
        {"bands-true.pcx", bands + "-type TrueColor"}}) {
    ASSERT_TRUE(
        test::runQuietly(test::imageMagickConvert() + " " + picture + " " + (scratch / name)));
    ImageDocument doc;
    ASSERT_EQ(read(test::readFileBytes(scratch / name), doc), StatusCode::kOk) << name;
    EXPECT_TRUE(test::sameColours(doc, test::imageMagickDecode(scratch / name))) << name;
  }

  for (const int planes : {1, 4}) {
    const int width = 29, height = 11, bytesPerLine = 4;
    std::mt19937 random(42);
    std::vector<uint8_t> raw(static_cast<size_t>(bytesPerLine) * planes * height, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int value = (x / 3 + y) % 5 == 0 ? static_cast<int>(random() % 16) : (x + y) % 16;
        for (int plane = 0; plane < planes; ++plane)
          if (value >> plane & 1)
            raw[static_cast<size_t>((y * planes + plane) * bytesPerLine + x / 8)] |=
                static_cast<uint8_t>(0x80 >> (x % 8));
      }
    PcxHeader h;
    h.bitsPerPlane = 1, h.planes = planes, h.xMax = width - 1, h.yMax = height - 1;
    h.bytesPerLine = bytesPerLine;
    const std::vector<uint8_t> file = pcxFile(h, rleEncode(raw));
    test::writeFileBytes(scratch / "planes.pcx", file);
    ImageDocument doc;
    ASSERT_EQ(read(file, doc), StatusCode::kOk);
    test::RgbImage peer = test::imageMagickDecode(scratch / "planes.pcx");
    // ImageMagick shows a set bit of a 1-bit PCX as black (and writes black so); the
    // PCX convention, which we keep whatever the header's colours, is 0 black, 1 white.
    if (planes == 1)
      for (ColourValue& colour : peer.pixels) colour ^= 0xFFFFFF;
    EXPECT_TRUE(test::sameColours(doc, peer)) << planes << " planes";
  }
}

}  // namespace
}  // namespace vz
