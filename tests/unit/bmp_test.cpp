#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "converter/formats/bit_fields.h"
#include "converter/formats/bmp.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

struct DibFields {
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  std::vector<uint32_t> table;  // 0x00RRGGBB as stored (blue in the low byte)
  std::vector<uint32_t> masks;  // written after the header when given
  std::vector<uint8_t> rows;    // stored rows, padded by the caller
};

std::vector<uint8_t> makeDib(const DibFields& fields) {
  std::vector<uint8_t> dib;
  put(dib, 40, 4);
  put(dib, static_cast<uint32_t>(fields.width), 4);
  put(dib, static_cast<uint32_t>(fields.height), 4);
  put(dib, 1, 2);
  put(dib, fields.bits, 2);
  put(dib, fields.compression, 4);
  put(dib, static_cast<uint32_t>(fields.rows.size()), 4);
  put(dib, 0, 4);
  put(dib, 0, 4);
  put(dib, fields.coloursUsed, 4);
  put(dib, 0, 4);
  for (uint32_t mask : fields.masks) put(dib, mask, 4);
  for (uint32_t entry : fields.table) put(dib, entry, 4);
  dib.insert(dib.end(), fields.rows.begin(), fields.rows.end());
  return dib;
}

std::vector<uint8_t> makeBmp(const DibFields& fields) {
  const std::vector<uint8_t> dib = makeDib(fields);
  std::vector<uint8_t> file = {'B', 'M'};
  put(file, static_cast<uint32_t>(14 + dib.size()), 4);
  put(file, 0, 4);
  put(file, static_cast<uint32_t>(14 + dib.size() - fields.rows.size()), 4);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

Status read(const std::vector<uint8_t>& file, ImageDocument& doc) {
  return readBmp(file.size(), file.data(), doc);
}

TEST(ReadBmp, TrueColourBottomUpRowsAndStride) {
  DibFields fields;
  fields.width = 3;
  fields.height = 2;
  // Stored bottom row first; each row 9 bytes plus 3 of padding.
  fields.rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  ImageDocument doc;
  ASSERT_EQ(read(makeBmp(fields), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 24);
  EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);
  EXPECT_EQ(doc.rowStride, 12);
  EXPECT_EQ(doc.row(0)[0], 11);  // the last stored row is the top row
  EXPECT_EQ(doc.row(1)[0], 1);
  EXPECT_EQ(test::documentColour(doc, 2, 0), makeColour(19, 18, 17));

  fields.height = -2;  // the same rows stored top down
  ASSERT_EQ(read(makeBmp(fields), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 24);
  EXPECT_EQ(doc.row(0)[0], 1);
  EXPECT_EQ(doc.height, 2);
}

TEST(ReadBmp, IndexedPalettesFromColoursUsed) {
  DibFields fields;
  fields.width = 3;
  fields.bits = 8;
  fields.rows = {0, 1, 15, 0};
  for (uint32_t i = 0; i < 16; ++i) fields.table.push_back(i * 0x010203);
  fields.coloursUsed = 16;
  ImageDocument doc;
  doc.palette.fill(0xABCDEF);
  ASSERT_EQ(read(makeBmp(fields), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 4);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
  EXPECT_EQ(doc.palette[15], makeColour(15, 30, 45));  // stored blue, green, red
  EXPECT_EQ(doc.palette[16], 0u);                      // entries beyond the table are cleared
  EXPECT_EQ(doc.palette[255], 0u);

  // Colours used 0: the whole 256-entry table is read.
  fields.coloursUsed = 0;
  fields.table.resize(256, 0x00FFFFFF);
  ASSERT_EQ(read(makeBmp(fields), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 4);
  EXPECT_EQ(doc.palette[255], 0xFFFFFFu);

  DibFields mono;
  mono.width = 3;
  mono.bits = 1;
  mono.table = {0x000000, 0xFFFFFF};
  mono.rows = {0xA0, 0, 0, 0};
  ASSERT_EQ(read(makeBmp(mono), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 4);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours2);
  EXPECT_EQ(doc.rowStride, 4);
  EXPECT_EQ(test::documentColour(doc, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(test::documentColour(doc, 1, 0), 0u);
}

TEST(ReadDib, SixteenAndThirtyTwoBitsBecomeTrueColour) {
  DibFields rgb555;
  rgb555.width = 2;
  rgb555.bits = 16;
  rgb555.rows = {0xFF, 0x7F, 0x1F, 0x00};  // white, pure blue
  ImageDocument doc;
  std::vector<uint8_t> dib = makeDib(rgb555);
  ASSERT_EQ(readDib(0, dib.data(), dib.size(), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 8);
  EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);
  EXPECT_EQ(test::documentColour(doc, 0, 0), makeColour(255, 255, 255));
  EXPECT_EQ(test::documentColour(doc, 1, 0), makeColour(0, 0, 255));

  DibFields rgb565 = rgb555;
  rgb565.compression = 3;
  rgb565.masks = {0xF800, 0x07E0, 0x001F};
  rgb565.rows = {0xFF, 0xFF, 0x00, 0xF8};
  dib = makeDib(rgb565);
  ASSERT_EQ(readDib(0, dib.data(), dib.size(), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 8);
  EXPECT_EQ(test::documentColour(doc, 0, 0), makeColour(255, 255, 255));
  EXPECT_EQ(test::documentColour(doc, 1, 0), makeColour(255, 0, 0));

  DibFields rgb32;
  rgb32.width = 1;
  rgb32.bits = 32;
  rgb32.rows = {0x10, 0x20, 0x30, 0xFF};
  ASSERT_EQ(read(makeBmp(rgb32), doc), StatusCode::kOk);
  EXPECT_EQ(test::documentColour(doc, 0, 0), makeColour(0x30, 0x20, 0x10));
}

// Every value of a channel of 1 to 10 bits, anywhere in a 16- or 32-bit pixel: up to 8
// bits it is scaled to the full range, (v x 255 + m / 2) / m with m its largest value (so
// that 5-bit white is 255, not 248); a wider channel keeps its top 8 bits.
TEST(BitFields, ChannelsScaleToTheFullRange) {
  struct Case {
    int bitsPerPixel;
    uint32_t mask;
  };
  const Case cases[] = {{16, 0x8000},     {16, 0x0003},     {16, 0x001C},     {16, 0x0F00},
                        {16, 0x7C00},     {16, 0x07E0},     {32, 0x7F000000}, {32, 0x00FF0000},
                        {32, 0x3FF00000}, {32, 0x0001FE00}, {16, 0xFFFF}};
  for (const Case& c : cases) {
    const int lowest = __builtin_ctz(c.mask);
    const int bits = __builtin_popcount(c.mask);
    const uint32_t largest = c.mask >> lowest;
    for (uint32_t v = 0; v <= largest; ++v) {
      const uint32_t pixel = v << lowest;
      const uint8_t source[4] = {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8),
                                 static_cast<uint8_t>(pixel >> 16),
                                 static_cast<uint8_t>(pixel >> 24)};
      uint8_t bgr[3] = {};
      bitFieldRowToBgr(source, c.bitsPerPixel, 1, {c.mask, 0, c.mask, 0}, bgr);
      const uint32_t expected = bits <= 8 ? (v * 255 + largest / 2) / largest : v >> (bits - 8);
      ASSERT_EQ(bgr[2], expected) << std::hex << c.mask << std::dec << " value " << v;
      ASSERT_EQ(bgr[0], expected) << std::hex << c.mask << std::dec << " value " << v;
      ASSERT_EQ(bgr[1], 0) << std::hex << c.mask;
    }
  }
}

// A DIB of two pixels with a 56-byte header, whose masks include alpha.
std::vector<uint8_t> dibWithAlpha(uint16_t bits, const std::vector<uint32_t>& masks,
                                  const std::vector<uint32_t>& pixels) {
  std::vector<uint8_t> dib;
  for (uint32_t field : {56u, 2u, 1u}) put(dib, field, 4);
  put(dib, 1, 2);
  put(dib, bits, 2);
  for (uint32_t field : {3u, 0u, 0u, 0u, 0u, 0u}) put(dib, field, 4);
  for (uint32_t mask : masks) put(dib, mask, 4);
  for (uint32_t pixel : pixels) put(dib, pixel, bits / 8);
  while (dib.size() % 4) dib.push_back(0);
  return dib;
}

// Alpha puts a pixel over white, unless the alpha is 0 in every pixel: that picture was
// written by a program that leaves the alpha unused, and is opaque.
TEST(ReadDib, AlphaThatIsZeroEverywhereIsOpaque) {
  const std::vector<uint32_t> argb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  const std::vector<uint32_t> argb1555 = {0x7C00, 0x03E0, 0x001F, 0x8000};
  const ColourValue white = makeColour(255, 255, 255);
  struct Case {
    const char* name;
    std::vector<uint8_t> dib;
    ColourValue left, right;
  };
  const Case cases[] = {
      {"32 bits, alpha 0 everywhere", dibWithAlpha(32, argb, {0x00102030, 0x00405060}),
       makeColour(0x10, 0x20, 0x30), makeColour(0x40, 0x50, 0x60)},
      {"32 bits, one pixel opaque", dibWithAlpha(32, argb, {0x00102030, 0xFF405060}), white,
       makeColour(0x40, 0x50, 0x60)},
      {"32 bits, half transparent", dibWithAlpha(32, argb, {0x80000000, 0xFF405060}),
       makeColour(127, 127, 127), makeColour(0x40, 0x50, 0x60)},
      {"16 bits, alpha 0 everywhere", dibWithAlpha(16, argb1555, {0x7C00, 0x001F}),
       makeColour(255, 0, 0), makeColour(0, 0, 255)},
      {"16 bits, one pixel opaque", dibWithAlpha(16, argb1555, {0x7C00, 0x801F}), white,
       makeColour(0, 0, 255)},
  };
  for (const Case& c : cases) {
    ImageDocument doc;
    ASSERT_EQ(readDib(0, c.dib.data(), c.dib.size(), doc), StatusCode::kOk) << c.name;
    EXPECT_EQ(test::documentColour(doc, 0, 0), c.left) << c.name;
    EXPECT_EQ(test::documentColour(doc, 1, 0), c.right) << c.name;
  }
}

TEST(ReadDib, ClipboardRowsFollowTheFullColourTable) {
  DibFields fields;
  fields.width = 1;
  fields.bits = 8;
  fields.table.assign(256, 0);
  fields.table[7] = 0x112233;
  fields.rows = {7, 0, 0, 0};
  const std::vector<uint8_t> dib = makeDib(fields);
  ASSERT_EQ(dib.size(), 40u + 1024u + 4u);
  ImageDocument doc;
  ASSERT_EQ(readDib(0, dib.data(), dib.size(), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 4);
  EXPECT_EQ(test::documentColour(doc, 0, 0), makeColour(0x11, 0x22, 0x33));
}

TEST(ReadBmp, RefusedFiles) {
  DibFields good;
  good.width = 2;
  good.rows = {1, 2, 3, 4, 5, 6, 0, 0};
  const std::vector<uint8_t> file = makeBmp(good);
  ImageDocument doc;
  ASSERT_EQ(read(file, doc), StatusCode::kOk);

  auto refused = [&](std::vector<uint8_t> bad) {
    ImageDocument fresh;
    return !givesPicture(read(bad, fresh)) && fresh.pixels.empty() && fresh.width == 0;
  };
  std::vector<uint8_t> bad = file;
  bad[1] = 'A';
  EXPECT_EQ(read(bad, doc), StatusCode::kNotThisFormat) << "signature";
  EXPECT_TRUE(doc.pixels.empty());
  bad = file;
  bad[14 + 12] = 2;
  EXPECT_EQ(read(bad, doc), StatusCode::kUnsupported) << "planes";
  bad = file;
  bad[14 + 16] = 1;
  EXPECT_EQ(read(bad, doc), StatusCode::kUnsupported) << "compression";
  bad = file;
  bad[14] = 12;  // an OS/2 header
  EXPECT_TRUE(refused(bad)) << "header shorter than 40 bytes";
  bad = file;
  bad[14 + 4] = 0xFE;
  std::memset(&bad[14 + 5], 0xFF, 3);
  EXPECT_TRUE(refused(bad)) << "negative width";
  bad = file;
  bad[10] = 20;
  EXPECT_TRUE(refused(bad)) << "pixel offset inside the headers";
  bad = file;
  bad[14 + 14] = 30;
  EXPECT_TRUE(refused(bad)) << "unsupported bit depth";

  DibFields huge;
  huge.width = 3000000;
  huge.height = 2000000;
  EXPECT_TRUE(refused(makeBmp(huge))) << "buffer over 32 bits";
  huge.width = 40000;
  huge.height = 40000;
  EXPECT_TRUE(refused(makeBmp(huge))) << "rows missing from the file";
  // Rows of 4 557 111 308 bytes times 2 147 351 498 of them overflow 64 bits.
  huge.width = 1139277827;
  huge.height = 2147351498;
  huge.bits = 32;
  EXPECT_EQ(read(makeBmp(huge), doc), StatusCode::kTooLarge);

  // Run-length data of a few bytes (a run, then end of bitmap) cannot stand for a
  // picture of gigabytes; the same data for a small picture is read.
  DibFields runLength;
  runLength.bits = 8;
  runLength.compression = 1;
  runLength.coloursUsed = 2;
  runLength.table = {0x000000, 0xFFFFFF};
  runLength.width = 40000;
  runLength.height = 40000;
  runLength.rows = {3, 1, 0, 1};
  EXPECT_EQ(read(makeBmp(runLength), doc), StatusCode::kDamaged) << "claims beyond the data";
  runLength.width = runLength.height = 100;
  EXPECT_EQ(read(makeBmp(runLength), doc), StatusCode::kOk) << "within reach";
}

// Every shorter prefix of a valid file is refused without reading past its end (the
// sanitizer build checks the reads).
TEST(ReadBmp, EveryTruncationFailsCleanly) {
  DibFields fields;
  fields.width = 5;
  fields.height = 3;
  fields.bits = 4;
  for (uint32_t i = 0; i < 16; ++i) fields.table.push_back(i * 0x111111);
  fields.rows.assign(12, 0x5A);
  const std::vector<uint8_t> file = makeBmp(fields);
  for (size_t length = 0; length < file.size(); ++length) {
    std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
    ImageDocument doc;
    EXPECT_FALSE(givesPicture(readBmp(prefix.size(), prefix.data(), doc))) << length;
    EXPECT_TRUE(doc.pixels.empty());
  }
  ImageDocument doc;
  EXPECT_EQ(read(file, doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 12);
}

// The channels a 16- or 32-bit BMP file stores, from its header: how many bits each
// colour has, and whether an alpha mask asks for transparency.
struct StoredChannels {
  int bits[3] = {8, 8, 8};  // red, green, blue
  bool alpha = false;
};

StoredChannels storedChannels(const std::vector<uint8_t>& file) {
  auto u32 = [&](size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<uint32_t>(file[at + 3]) << 24;
  };
  StoredChannels channels;
  const uint32_t bits = file[28];
  if (bits != 16 && bits != 32) return channels;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (u32(30) == 3) {
    for (int i = 0; i < 3; ++i) masks[i] = u32(54 + 4 * i);
    channels.alpha = u32(14) >= 56 && (u32(66) & (bits == 16 ? 0xFFFFu : ~0u)) != 0;
  } else if (bits == 32) {
    return channels;
  }
  for (int i = 0; i < 3; ++i) channels.bits[i] = __builtin_popcount(masks[i]);
  return channels;
}

// Whether the reader's colour is ImageMagick's for the stored channels. A channel
// narrower than 8 bits is scaled to the full range, (v x 255 + m / 2) / m: ImageMagick
// repeats the bits of 5- and 6-bit channels and leaves the others' low bits 0, but its
// top bits are v either way. A wider channel may round differently by 1.
bool sameColour(ColourValue colour, ColourValue reference, const StoredChannels& channels) {
  const uint8_t ours[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
  const uint8_t theirs[3] = {redOf(reference), greenOf(reference), blueOf(reference)};
  for (int i = 0; i < 3; ++i) {
    const int bits = channels.bits[i];
    if (bits > 8) {
      if (std::abs(ours[i] - theirs[i]) > 1) return false;
    } else if (bits < 8) {
      const int largest = (1 << bits) - 1;
      const int value = theirs[i] >> (8 - bits);
      if (ours[i] != (value * 255 + largest / 2) / largest) return false;
    } else if (ours[i] != theirs[i]) {
      return false;
    }
  }
  return true;
}

// The BMP suite: good files give ImageMagick's colours (transparent ones put over white);
// compressions other than bit fields and other plane counts are refused; nothing crashes.
TEST(BmpSuite, ConformanceWithImageMagick) {
  const std::string suite = std::string(VIZORKA_TESTDATA_DIR) + "/bmpsuite/";
  std::ifstream index(suite + "index.tsv");
  ASSERT_TRUE(index) << "missing " << suite;
  // The index predates bit fields, run-length coding and OS/2 1.x headers. ImageMagick puts
  // narrow alpha channels over white differently, and reads 7-bit channels a step low: those
  // files only have to give a picture.
  const std::map<std::string, std::string> hintNow = {
      {"g/rgb16-565.bmp", "decode"},     {"g/rgb16-565pal.bmp", "decode"},
      {"g/rgb16.bmp", "decode"},         {"g/rgb16bfdef.bmp", "decode"},
      {"g/rgb32.bmp", "decode"},         {"g/rgb32bf.bmp", "decode"},
      {"g/rgb32bfdef.bmp", "decode"},    {"q/rgb16-231.bmp", "decode"},
      {"q/rgb32-xbgr.bmp", "decode"},    {"q/rgb32h52.bmp", "decode"},
      {"q/rgba32-1.bmp", "decode"},      {"q/rgba32-2.bmp", "decode"},
      {"q/rgba32h56.bmp", "decode"},     {"q/rgba16-4444.bmp", "picture"},
      {"q/rgb16-3103.bmp", "decode"},    {"q/rgb32-111110.bmp", "decode"},
      {"q/rgb32-7187.bmp", "picture"},   {"q/rgba16-1924.bmp", "picture"},
      {"q/rgba16-5551.bmp", "picture"},  {"q/rgba32-1010102.bmp", "picture"},
      {"q/rgba32-61754.bmp", "picture"}, {"q/rgba32-81284.bmp", "picture"},
      {"g/pal4rle.bmp", "decode"},       {"g/pal8rle.bmp", "decode"},
      {"q/pal4rlecut.bmp", "decode"},    {"q/pal8rlecut.bmp", "decode"},
      {"q/pal4rletrns.bmp", "decode"},   {"q/pal8rletrns.bmp", "decode"},
      {"g/pal8os2.bmp", "decode"},       {"q/pal8os2-hs.bmp", "decode"},
      {"q/pal8os2-sz.bmp", "decode"},    {"q/pal8os2sp.bmp", "decode"},
  };
  std::string line;
  std::getline(index, line);  // column names
  int decoded = 0;
  std::map<std::string, std::string> referenceFile;  // suite picture -> first good file
  while (std::getline(index, line)) {
    std::istringstream fields(line);
    std::string name, bytes, headerSize, bits, compression, planes, width, height, hint, picture;
    std::getline(fields, name, '\t');
    std::getline(fields, bytes, '\t');
    std::getline(fields, headerSize, '\t');
    std::getline(fields, bits, '\t');
    std::getline(fields, compression, '\t');
    std::getline(fields, planes, '\t');
    std::getline(fields, width, '\t');
    std::getline(fields, height, '\t');
    std::getline(fields, hint, '\t');
    std::getline(fields, picture, '\t');
    SCOPED_TRACE(name);
    if (hintNow.count(name)) hint = hintNow.at(name);
    // Good files are compared with ImageMagick's decode of themselves. ImageMagick 6
    // misreads some of the questionable ones (OS/2 v2 headers, 300 palette entries),
    // so those are compared with the good file that shows the same picture.
    if (name.rfind("g/", 0) == 0 && !referenceFile.count(picture)) referenceFile[picture] = name;
    const std::string expectedFrom =
        name.rfind("q/", 0) == 0 && referenceFile.count(picture) ? referenceFile[picture] : name;
    const std::vector<uint8_t> file = test::readFileBytes(suite + name);
    ASSERT_FALSE(file.empty());
    ImageDocument doc;
    const Status status = readBmp(file.size(), file.data(), doc);
    if (givesPicture(status)) {
      ASSERT_EQ(doc.pixels.size(), static_cast<size_t>(doc.pictureSize()));
      ASSERT_EQ(static_cast<int64_t>(doc.rowStride) * doc.height, doc.pictureSize());
    } else {
      ASSERT_TRUE(doc.pixels.empty());
    }
    if (hint == "refused") {
      EXPECT_EQ(status, StatusCode::kUnsupported);
    } else if (hint == "picture") {
      EXPECT_EQ(status, StatusCode::kOk);
    } else if (hint == "decode") {
      ASSERT_EQ(status, StatusCode::kOk);
      ++decoded;
      if (name == "q/rgb24prof2.bmp") continue;  // relies on its colour profile
      const StoredChannels channels = storedChannels(file);
      const test::RgbImage reference = test::storedDecode(
          suite + expectedFrom, channels.alpha ? "-background white -alpha remove" : "");
      ASSERT_FALSE(reference.pixels.empty()) << "no stored reference decode";
      ASSERT_EQ(doc.width, reference.width);
      ASSERT_EQ(doc.height, reference.height);
      int mismatches = 0;
      for (int y = 0; y < doc.height; ++y)
        for (int x = 0; x < doc.width; ++x)
          if (!sameColour(test::documentColour(doc, x, y), reference.at(x, y), channels))
            ++mismatches;
      EXPECT_EQ(mismatches, 0);
    } else if (hint == "no-crash") {
      const bool mustFail = name == "b/reallybig.bmp" || name == "b/shortfile.bmp" ||
                            name == "b/badwidth.bmp" || name == "b/badbitcount.bmp" ||
                            name == "b/badplanes.bmp";
      if (mustFail) {
        EXPECT_FALSE(givesPicture(status));
      }
    }
  }
  EXPECT_EQ(decoded, 52);
}

// Run-length coded and OS/2 files cut at every offset: no read past the data (the
// sanitizer build checks); a cut in the coded rows keeps the pixels painted before it.
TEST(ReadBmp, RunLengthAndOs2FilesCutShort) {
  const std::string suite = std::string(VIZORKA_TESTDATA_DIR) + "/bmpsuite/";
  for (const char* name : {"g/pal4rle.bmp", "g/pal8rle.bmp", "g/pal8os2.bmp"}) {
    const std::vector<uint8_t> file = test::readFileBytes(suite + name);
    ImageDocument whole;
    ASSERT_EQ(read(file, whole), StatusCode::kOk) << name;
    const int bits = bitsPerPixel(whole.colourMode);
    for (size_t length = 0; length < file.size(); ++length) {
      const std::vector<uint8_t> prefix(file.begin(), file.begin() + length);
      ImageDocument doc;
      const Status status = read(prefix, doc);
      if (!givesPicture(status)) {
        ASSERT_TRUE(doc.pixels.empty()) << name << " " << length;
        continue;
      }
      ASSERT_EQ(status, StatusCode::kPartial) << name << " " << length;
      ASSERT_EQ(doc.pixels.size(), whole.pixels.size()) << name << " " << length;
      for (int32_t y = 0; y < doc.height; ++y)
        for (int32_t x = 0; x < doc.width; ++x) {
          const uint8_t pixel = getPackedPixel(doc.row(y), x, bits);
          ASSERT_TRUE(pixel == 0 || pixel == getPackedPixel(whole.row(y), x, bits))
              << name << " " << length << " at " << x << "," << y;
        }
    }
  }
}

// BMP files that ImageMagick writes: odd widths, every depth, colours-used 0 and 16,
// and the same rows turned top down.
TEST(ImageMagickBmp, OddWidthsDepthsAndRowOrders) {
  ASSERT_TRUE(test::haveTool(test::imageMagickConvert())) << "ImageMagick, the judge, is missing";
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  struct Case {
    const char* name;
    const char* options;
  };
  const Case cases[] = {
      {"rgb24-odd", "-size 13x7 plasma:fractal -seed 3 -type TrueColor"},
      {"pal8", "-size 17x9 gradient:red-blue -colors 200 -type Palette"},
      {"pal8-16",
       "-size 11x5 gradient:green-yellow -colors 16 -type Palette -define bmp:format=bmp3"},
      {"pal4", "-size 9x4 gradient:black-white -colors 9 -depth 4 -type Palette"},
      {"mono", "-size 21x3 pattern:checkerboard -monochrome -type Bilevel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "/" + c.name + ".bmp";
    ASSERT_EQ(test::runCommand(test::imageMagickConvert() + " -seed 3 " + c.options +
                               " BMP3:" + path + " 2>/dev/null"),
              0);
    std::vector<uint8_t> file = test::readFileBytes(path);
    const test::RgbImage reference = test::imageMagickDecode(path);
    ASSERT_FALSE(reference.pixels.empty());
    for (int variant = 0; variant < 2; ++variant) {
      ImageDocument doc;
      ASSERT_EQ(readBmp(file.size(), file.data(), doc), StatusCode::kOk);
      ASSERT_EQ(doc.width, reference.width);
      ASSERT_EQ(doc.height, reference.height);
      for (int y = 0; y < doc.height; ++y)
        for (int x = 0; x < doc.width; ++x)
          ASSERT_EQ(test::documentColour(doc, x, y), reference.at(x, y)) << x << "," << y;
      // The same picture stored top down: negative height, rows in reverse order.
      const uint32_t offset = file[10] | file[11] << 8 | file[12] << 16;
      const size_t stride = static_cast<size_t>(doc.rowStride);
      std::vector<uint8_t> flipped(file.begin(), file.begin() + offset);
      for (int y = doc.height - 1; y >= 0; --y)
        flipped.insert(flipped.end(), file.begin() + offset + y * stride,
                       file.begin() + offset + (y + 1) * stride);
      const uint32_t negative = static_cast<uint32_t>(-doc.height);
      for (int i = 0; i < 4; ++i) flipped[22 + i] = static_cast<uint8_t>(negative >> (8 * i));
      file = flipped;
    }
  }
}

}  // namespace
}  // namespace vz
