#include <gtest/gtest.h>

#include <fstream>

#include <map>
#include <random>

#include "converter/formats/gif.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

using Codes = std::vector<std::pair<int, int>>;  // code, bits

struct GifLayout {
  int width = 1;
  int height = 1;
  int globalBits = 2;  // table of 2^bits entries
  bool globalTable = true;
  int localBits = 0;  // 0: no local table
  bool interlaced = false;
  int minCodeSize = 2;
  std::vector<uint8_t> beforeImage;  // extension blocks
};

ColourValue tableColour(int i, bool local) {
  return makeColour(static_cast<uint8_t>(i), static_cast<uint8_t>(3 * i),
                    static_cast<uint8_t>(local ? 200 : 7 * i));
}

// Codes packed least significant bit first, in sub-blocks of up to 255 bytes.
std::vector<uint8_t> codeBlocks(const Codes& codes) {
  std::vector<uint8_t> bytes;
  uint32_t buffer = 0;
  int held = 0;
  for (const auto& [code, bits] : codes) {
    buffer |= static_cast<uint32_t>(code) << held;
    for (held += bits; held >= 8; held -= 8, buffer >>= 8) bytes.push_back(buffer & 0xFF);
  }
  if (held > 0) bytes.push_back(buffer & 0xFF);
  std::vector<uint8_t> blocks;
  for (size_t i = 0; i < bytes.size(); i += 255) {
    const size_t length = std::min<size_t>(255, bytes.size() - i);
    blocks.push_back(static_cast<uint8_t>(length));
    blocks.insert(blocks.end(), bytes.begin() + i, bytes.begin() + i + length);
  }
  blocks.push_back(0);
  return blocks;
}

std::vector<uint8_t> gifFile(const GifLayout& g, const Codes& codes) {
  auto put16 = [](std::vector<uint8_t>& f, int v) {
    f.push_back(static_cast<uint8_t>(v));
    f.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto putTable = [](std::vector<uint8_t>& f, int bits, bool local) {
    for (int i = 0; i < 1 << bits; ++i) {
      const ColourValue c = tableColour(i, local);
      f.insert(f.end(), {redOf(c), greenOf(c), blueOf(c)});
    }
  };
  std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a'};
  put16(f, g.width);
  put16(f, g.height);
  f.push_back(static_cast<uint8_t>((g.globalTable ? 0x80 : 0) | (g.globalBits - 1)));
  f.insert(f.end(), {0, 0});
  if (g.globalTable) putTable(f, g.globalBits, false);
  f.insert(f.end(), g.beforeImage.begin(), g.beforeImage.end());
  f.insert(f.end(), {0x2C, 0, 0, 0, 0});
  put16(f, g.width);
  put16(f, g.height);
  f.push_back(static_cast<uint8_t>((g.localBits ? 0x80 | (g.localBits - 1) : 0) |
                                   (g.interlaced ? 0x40 : 0)));
  if (g.localBits) putTable(f, g.localBits, true);
  f.push_back(static_cast<uint8_t>(g.minCodeSize));
  const std::vector<uint8_t> blocks = codeBlocks(codes);
  f.insert(f.end(), blocks.begin(), blocks.end());
  f.push_back(0x3B);
  return f;
}

// A plain LZW encoder that never clears: once the table is full it goes on with it.
Codes encodeWithoutClear(const std::vector<uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  Codes codes = {{clear, minCodeSize + 1}};
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2, bits = minCodeSize + 1;
  int current = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const auto found = table.find({current, pixels[i]});
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    codes.push_back({current, bits});
    if (next >= 1 << bits && bits < 12) ++bits;
    if (next < 4096) table[{current, pixels[i]}] = next++;
    current = pixels[i];
  }
  codes.push_back({current, bits});
  if (next >= 1 << bits && bits < 12) ++bits;
  codes.push_back({clear + 1, bits});
  return codes;
}

Status read(const std::vector<uint8_t>& file, ImageDocument& doc) {
  return readGif(file.size(), file.data(), doc);
}

std::vector<uint8_t> firstBytes(const ImageDocument& doc, size_t count) {
  return std::vector<uint8_t>(doc.pixels.begin(), doc.pixels.begin() + count);
}

TEST(GifLzw, CodeThatIsBeingDefinedRepeatsThePreviousString) {
  GifLayout g;
  g.width = 6;
  g.globalBits = 8;
  ImageDocument doc;
  // 1, then 6 = "1 1" and 7 = "1 1 1", each read before its entry exists.
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}}), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 8);
  EXPECT_EQ(firstBytes(doc, 6), std::vector<uint8_t>(6, 1));
}

TEST(GifLzw, StringsUnwindByTheTableWhenTheCodeSizeIsBelowTheColourDepth) {
  // 16 colours coded with 2-bit roots: code 6 is the string "3 2", not colour 6.
  GifLayout g;
  g.width = 4;
  g.globalBits = 4;
  ImageDocument doc;
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {3, 3}, {2, 3}, {6, 3}, {5, 4}}), doc), StatusCode::kOk);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(firstBytes(doc, 2), (std::vector<uint8_t>{0x32, 0x32}));
}

TEST(GifLzw, StreamWithoutLeadingClearCodeDecodes) {
  GifLayout g;
  g.width = 4;
  ImageDocument doc;
  ASSERT_EQ(read(gifFile(g, {{1, 3}, {2, 3}, {6, 3}, {5, 4}}), doc), StatusCode::kOk);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours4);  // four colours, two pixels a byte
  EXPECT_EQ(firstBytes(doc, 2), (std::vector<uint8_t>{0x12, 0x12}));
}

TEST(GifLzw, FullTableWithoutClearCodeGoesOnDecoding) {
  GifLayout g;
  g.width = 301;
  g.height = 199;
  g.globalBits = 8;
  std::mt19937 random(5);
  std::vector<uint8_t> pixels(static_cast<size_t>(g.width) * g.height);
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(random() % 3);
  const Codes codes = encodeWithoutClear(pixels, 2);
  ASSERT_GT(codes.size(), 8000u);  // well past the table's 4 096 entries
  ImageDocument doc;
  ASSERT_EQ(read(gifFile(g, codes), doc), StatusCode::kOk);
  for (int y = 0; y < g.height; ++y)
    ASSERT_EQ(std::vector<uint8_t>(doc.row(y), doc.row(y) + g.width),
              std::vector<uint8_t>(&pixels[static_cast<size_t>(y) * g.width],
                                   &pixels[static_cast<size_t>(y + 1) * g.width]))
        << "row " << y;
}

TEST(GifLzw, EarlyEndOrUndefinedCodeKeepsWhatWasDecoded) {
  GifLayout g;
  g.width = 4;
  g.height = 2;
  // Code 7 comes when the next free code is 6: it names no string.
  const std::vector<std::pair<Codes, uint8_t>> cases = {
      {{{4, 3}, {1, 3}, {2, 3}}, 0x12}, {{{4, 3}, {1, 3}, {7, 3}, {2, 3}, {5, 3}}, 0x10}};
  for (const auto& [codes, firstByte] : cases) {
    ImageDocument doc;
    ASSERT_EQ(read(gifFile(g, codes), doc), StatusCode::kPartial);
    EXPECT_EQ(doc.pictureSize(), 8);
    EXPECT_EQ(doc.pixels, (std::vector<uint8_t>{firstByte, 0, 0, 0, 0, 0, 0, 0}));
  }
}

TEST(GifInterlace, RowsArriveByPassesAndExtraPixelsAreDropped) {
  GifLayout g;
  g.interlaced = true;
  g.width = 2;
  ImageDocument oneRow;
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {2, 4}, {5, 4}}), oneRow),
            StatusCode::kOk);
  EXPECT_EQ(oneRow.pictureSize(), 4);
  EXPECT_EQ(oneRow.pixels, (std::vector<uint8_t>{0x12, 0, 0, 0}));

  g.width = 1;
  g.height = 3;
  ImageDocument threeRows;
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 4}}), threeRows), StatusCode::kOk);
  EXPECT_EQ(threeRows.row(0)[0], 0x10);
  EXPECT_EQ(threeRows.row(1)[0], 0x30);
  EXPECT_EQ(threeRows.row(2)[0], 0x20);
}

TEST(GifReader, ExtensionsAreSkippedAndTheLocalTableWins) {
  GifLayout g;
  g.globalBits = 8;
  g.localBits = 4;
  g.width = 3;
  // Graphic control, comment and application extensions, and a stray byte.
  g.beforeImage = {0x21, 0xF9, 4, 1,    0,    0,    2, 0,   0x21, 0xFE, 3,    'a',
                   0x2C, 'c',  0, 0x00, 0x21, 0xFF, 2, 'N', 'S',  1,    0x3B, 0};
  ImageDocument doc;
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {3, 3}, {1, 3}, {2, 3}, {5, 4}}), doc), StatusCode::kOk);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(firstBytes(doc, 2), (std::vector<uint8_t>{0x31, 0x20}));
  EXPECT_EQ(doc.palette[3], tableColour(3, true));
  EXPECT_EQ(doc.palette[200], tableColour(200, false));

  g.globalTable = false;
  g.localBits = 0;
  ASSERT_EQ(read(gifFile(g, {{4, 3}, {3, 3}, {5, 3}}), doc), StatusCode::kPartial);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
  EXPECT_EQ(doc.palette[255], 0xFFFFFFu);  // no table at all: a grey ramp
}

TEST(GifReader, UnusableFilesLeaveAnEmptyDocument) {
  GifLayout good;
  good.width = 2;
  const Codes codes = {{4, 3}, {1, 3}, {2, 3}, {5, 3}};
  std::vector<std::vector<uint8_t>> bad;
  for (int minCodeSize : {1, 10}) {
    GifLayout g = good;
    g.minCodeSize = minCodeSize;
    bad.push_back(gifFile(g, codes));
  }
  GifLayout g = good;
  g.width = 0;
  bad.push_back(gifFile(g, codes));
  g = good;
  g.width = 65535, g.height = 30000;  // 2 GB claimed by 3 bytes of codes
  g.globalBits = 8;
  bad.push_back(gifFile(g, codes));
  bad.push_back({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B});  // no image
  std::vector<uint8_t> cut = gifFile(good, codes);
  cut.resize(20);  // inside the global table
  bad.push_back(cut);

  for (size_t i = 0; i < bad.size(); ++i) {
    ImageDocument doc;
    ASSERT_EQ(read(gifFile(good, codes), doc), StatusCode::kOk);
    EXPECT_EQ(read(bad[i], doc), StatusCode::kDamaged) << i;
    EXPECT_TRUE(doc.pixels.empty()) << i;
    EXPECT_EQ(doc.width, 0) << i;
  }
}

// Pictures written by ImageMagick and by giflib's gifbuild against ImageMagick's decode.
TEST(GifReader, MatchesImageMagick) {
  ASSERT_TRUE(test::haveTool(test::imageMagickConvert())) << "ImageMagick, the judge, is missing";
  test::ScratchFolder scratch;
  const std::string source = (scratch / "source.png");
  ASSERT_TRUE(test::runQuietly(test::imageMagickConvert() +
                               " -size 37x23 -seed 11 plasma:fractal " + source));
  std::vector<std::string> files;
  for (int colours = 2; colours <= 256; colours *= 2)
    for (const std::string interlace : {"none", "GIF"}) {
      const std::string name = "c" + std::to_string(colours) + interlace + ".gif";
      ASSERT_TRUE(test::runQuietly(test::imageMagickConvert() + " " + source +
                                   " -dither None -colors " + std::to_string(colours) +
                                   " -interlace " + interlace + " " + (scratch / name)));
      files.push_back(name);
    }

  if (test::haveTool("gifbuild")) {
    // A 16-entry local table over a 256-entry global one, interlaced; and 4 entries.
    for (const int bits : {4, 2}) {
      std::ostringstream text;
      text << "screen width 7\nscreen height 5\nscreen map\n";
      for (int i = 0; i < 256; ++i) text << "rgb " << i << " " << 255 - i << " 9\n";
      text << "end\nimage\n" << (bits == 4 ? "image interlaced\nimage map\n" : "image map\n");
      for (int i = 0; i < 1 << bits; ++i) text << "rgb " << 16 * i << " " << 250 - i << " 1\n";
      text << "end\nimage bits 7 by 5 hex\n";
      for (int y = 0; y < 5; ++y, text << "\n")
        for (int x = 0; x < 7; ++x) text << "0" << std::hex << (x * 3 + y * 5) % (1 << bits);
      std::ofstream(scratch / "build.txt") << text.str();
      const std::string name = "built" + std::to_string(bits) + ".gif";
      ASSERT_TRUE(
          test::runQuietly("gifbuild " + (scratch / "build.txt") + " > " + (scratch / name)));
      files.push_back(name);
    }
  }

  for (const std::string& name : files) {
    ImageDocument doc;
    ASSERT_EQ(read(test::readFileBytes(scratch / name), doc), StatusCode::kOk) << name;
    EXPECT_TRUE(test::sameColours(doc, test::imageMagickDecode(scratch / name))) << name;
  }
}

// The public GIF suite: the first image against its frame 0, as its README describes.
TEST(GifReader, MatchesTheGifTestSuite) {
  const std::filesystem::path suite =
      std::filesystem::path(VIZORKA_TESTDATA_DIR) / "gif-test-suite" / "gifs";
  ASSERT_TRUE(std::filesystem::is_directory(suite));
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(suite)) {
    if (entry.path().extension() != ".gif") continue;
    const std::string name = entry.path().stem().string();
    ImageDocument doc;
    ASSERT_EQ(read(test::readFileBytes(entry.path()), doc), StatusCode::kOk) << name;
    if (name == "animated_transparent_loop_frames_out_of_bounds") continue;  // frame 0 is empty
    std::filesystem::path frame = suite / "frames" / (name + "-0.png");
    if (!std::filesystem::exists(frame)) frame = suite / "frames" / (name + ".png");
    const test::RgbImage colours = test::storedDecode(frame.string());
    const test::RgbImage alpha = test::storedDecode(frame.string(), "-alpha extract");
    ASSERT_EQ(colours.pixels.size(), static_cast<size_t>(doc.width) * doc.height) << name;
    ASSERT_EQ(alpha.pixels.size(), colours.pixels.size()) << name;
    for (int y = 0, mismatches = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x) {
        // Transparent pixels show the transparent index, entry 1, since the
        // graphic control extension is skipped.
        const ColourValue expected = alpha.at(x, y) == 0 ? doc.palette[1] : colours.at(x, y);
        if (test::documentColour(doc, x, y) != expected && mismatches++ == 0)
          ADD_FAILURE() << name << " (" << x << ", " << y << ")";
      }
    ++compared;
  }
  EXPECT_EQ(compared, 12);
}

}  // namespace
}  // namespace vz
