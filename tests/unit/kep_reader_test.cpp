#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/formats/tvc/kep_reader.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/formats/tvc/tvc_bytes.h"
#include "kep_test_support.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;
using kep_test::ByteSource;
using kep_test::makePicture;

struct Loaded {
  ImageDocument doc;
  KepDecodeColours colours{};
  Status status = StatusCode::kDamaged;
};

Loaded loadKep(const Bytes& file) {
  Loaded loaded;
  loaded.status = readKep(file.size(), file.data(), loaded.doc);
  std::copy(loaded.doc.palette.begin(), loaded.doc.palette.begin() + 4, loaded.colours.begin());
  return loaded;
}

Bytes withPreamble(uint8_t modeByte, size_t fileSize, uint8_t fill) {
  Bytes file(fileSize, fill);
  file[0] = 'K';
  file[1] = 'E';
  file[2] = 'P';
  file[3] = modeByte;
  return file;
}

Bytes headerFile(uint8_t modeByte, uint16_t width, uint16_t height, const Bytes& hardware,
                 const Bytes& data) {
  Bytes file = {'K', 'E', 'P', modeByte};
  file.insert(file.end(), hardware.begin(), hardware.end());
  file.insert(file.end(),
              {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
               static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 0, 0, 0, 0});
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

TEST(KepReaderHeaderless, UnknownFileIsAFourColourPictureInTheDefaultColours) {
  Bytes file(16000, 0);
  file[0] = 0xA6;  // pixels 1, 2, 3, 0
  file[64] = 0xFF;
  const Loaded loaded = loadKep(file);
  EXPECT_EQ(loaded.status, StatusCode::kOk);
  EXPECT_EQ(loaded.doc.pictureSize(), 128 * 250);
  EXPECT_EQ(loaded.doc.colourMode, ColourMode::kColours4);
  EXPECT_EQ(loaded.doc.width, 256);
  EXPECT_EQ(loaded.doc.height, 250);
  EXPECT_EQ(loaded.doc.rowStride, 128);
  EXPECT_FALSE(loaded.doc.interlaced);
  EXPECT_EQ(loaded.doc.row(0)[0], 0x12);
  EXPECT_EQ(loaded.doc.row(0)[1], 0x30);
  EXPECT_EQ(loaded.doc.row(1)[0], 0x33);
  const KepDecodeColours expected = {tvcColour(0), tvcColour(12), tvcColour(10), tvcColour(9)};
  EXPECT_EQ(loaded.colours, expected);
  EXPECT_EQ(loaded.doc.palette[1], tvcColour(12));
}

TEST(KepReaderHeaderless, SignedFormsCountRowsOverTheWholeFile) {
  // 128 bytes: two rows counted, but after the preamble the second lacks its last four
  // data bytes, which stay zero instead of being read past the file.
  Bytes file = withPreamble(0, 128, 0x77);
  Loaded two = loadKep(file);
  EXPECT_EQ(two.doc.colourMode, ColourMode::kColours2);
  EXPECT_EQ(two.doc.width, 512);
  EXPECT_EQ(two.doc.height, 2);
  EXPECT_EQ(two.doc.row(1)[59], 0x77);
  EXPECT_EQ(two.doc.row(1)[60], 0x00);
  EXPECT_EQ(two.doc.palette[3], tvcColour(9));

  file = withPreamble(1, 200, 0xFF);
  file[4] = 0x55;  // white
  file[5] = 0x44;  // bright red
  Loaded four = loadKep(file);
  EXPECT_EQ(four.doc.colourMode, ColourMode::kColours4);
  EXPECT_EQ(four.doc.height, 3);
  EXPECT_EQ(four.doc.palette[0], tvcColour(15));
  EXPECT_EQ(four.colours[1], tvcColour(10));
  EXPECT_EQ(four.doc.row(0)[0], 0x33);  // data from offset 8

  Loaded sixteen = loadKep(withPreamble(2, 128, 0x06));
  EXPECT_EQ(sixteen.doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(sixteen.doc.width, 128);
  EXPECT_EQ(sixteen.doc.row(0)[0], 0x12);
  EXPECT_EQ(sixteen.doc.palette[13], tvcColour(13));

  Loaded signedFour = loadKep(withPreamble(3, 64, 0xA6));
  EXPECT_EQ(signedFour.doc.colourMode, ColourMode::kColours4);
  EXPECT_FALSE(signedFour.doc.interlaced);
  EXPECT_EQ(signedFour.doc.row(0)[0], 0x12);
}

TEST(KepReaderShortFiles, TruncatedHeadersGiveNoPicture) {
  EXPECT_EQ(loadKep({'K', 'E', 'P'}).status, StatusCode::kDamaged);
  EXPECT_EQ(loadKep({'K', 'E', 'P', 9, 0, 0, 0, 0, 8, 0, 2}).status, StatusCode::kDamaged);
  EXPECT_EQ(loadKep(headerFile(10, 0, 5, {0, 0, 0, 0}, {1, 2, 3})).status, StatusCode::kDamaged);
  EXPECT_EQ(loadKep(headerFile(10, 5, 0, {0, 0, 0, 0}, {1, 2, 3})).status, StatusCode::kDamaged);
  EXPECT_EQ(loadKep({}).status, StatusCode::kDamaged);
  EXPECT_EQ(loadKep({'K', 'E'}).status, StatusCode::kDamaged);
}

TEST(KepReaderHeader, InterlacedPictureUsesTheSecondPaletteHalfOnOddRows) {
  const Loaded loaded = loadKep(headerFile(11, 4, 3, {0x04, 0x10, 0x41, 0x45}, {0xA6, 0xA6, 0xA6}));
  EXPECT_EQ(loaded.status, StatusCode::kOk);
  EXPECT_EQ(loaded.doc.pictureSize(), 12);
  EXPECT_EQ(loaded.doc.colourMode, ColourMode::kColours16);
  EXPECT_TRUE(loaded.doc.interlaced);
  EXPECT_EQ(loaded.doc.row(0)[0], 0x12);
  EXPECT_EQ(loaded.doc.row(1)[0], 0x56);
  EXPECT_EQ(loaded.doc.row(1)[1], 0x74);
  EXPECT_EQ(loaded.doc.row(2)[1], 0x30);
  EXPECT_EQ(loaded.doc.palette[0], tvcColour(0));
  EXPECT_EQ(loaded.doc.palette[4], tvcColour(0));
  EXPECT_EQ(loaded.doc.palette[3], tvcColour(15));
  EXPECT_EQ(loaded.doc.palette[7], tvcColour(15));
  EXPECT_EQ(loaded.doc.palette[1], tvcColour(2));
  EXPECT_EQ(loaded.doc.palette[2], tvcColour(4));
  EXPECT_EQ(loaded.doc.palette[5], tvcColour(9));
  EXPECT_EQ(loaded.doc.palette[6], tvcColour(11));
}

TEST(KepReaderRle, ZeroRunsEarlyEndsAndLeftovers) {
  // Width 16 in 2 colours: two TVC bytes a row. A count of 0 gives nothing and keeps
  // the tag; a run of one moves it on; a run goes on into the next row.
  const Bytes data = {0x00, 0x77, 0x01, 0x12, 0x34, 0x43, 0x56, 0x22, 0x99, 0x99};
  Loaded loaded = loadKep(headerFile(4, 16, 3, {0, 0x55, 0, 0}, data));
  EXPECT_EQ(loaded.status, StatusCode::kOk);
  EXPECT_EQ(loaded.doc.pictureSize(), 12);
  EXPECT_EQ(Bytes(loaded.doc.row(0), loaded.doc.row(0) + 2), (Bytes{0x12, 0x34}));
  EXPECT_EQ(Bytes(loaded.doc.row(1), loaded.doc.row(1) + 2), (Bytes{0x56, 0x56}));
  EXPECT_EQ(Bytes(loaded.doc.row(2), loaded.doc.row(2) + 2), (Bytes{0x56, 0x22}));
  EXPECT_EQ(loaded.doc.palette[1], tvcColour(15));

  // Data that ends early (here inside a run byte's pair) leaves the rest zero.
  loaded = loadKep(headerFile(4, 16, 3, {0, 0, 0, 0}, {0x03, 0x11, 0x01}));
  EXPECT_EQ(loaded.status, StatusCode::kPartial);
  EXPECT_EQ(Bytes(loaded.doc.row(1), loaded.doc.row(1) + 2), (Bytes{0x11, 0x00}));
  EXPECT_EQ(loaded.doc.row(2)[0], 0x00);
}

TEST(KepReaderHeader, ModeBytesFromTwelveAreSizedButNotDecoded) {
  const Loaded loaded = loadKep(headerFile(14, 6, 2, {0, 0, 0, 0}, Bytes(20, 0xFF)));
  EXPECT_EQ(loaded.doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(loaded.doc.width, 6);
  EXPECT_EQ(loaded.status, StatusCode::kPartial);
  EXPECT_EQ(loaded.doc.pictureSize(), 8);
  for (uint8_t byte : loaded.doc.pixels) EXPECT_EQ(byte, 0);
  EXPECT_EQ(loaded.doc.palette[15], tvcColour(15));
}

TEST(R16Reader, FixedSixteenColourPicture) {
  Bytes file(960, 0x55);  // every pixel pair 0, 15
  ImageDocument doc;
  EXPECT_EQ(readR16(file.size(), file.data(), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 960);
  EXPECT_EQ(doc.width, 32);
  EXPECT_EQ(doc.height, 60);
  EXPECT_EQ(doc.rowStride, 16);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(doc.row(59)[15], 0x0F);
  EXPECT_EQ(doc.palette[2], tvcColour(2));

  ImageDocument shortDoc;
  Bytes shortFile(17, 0xAA);
  EXPECT_EQ(readR16(shortFile.size(), shortFile.data(), shortDoc), StatusCode::kPartial);
  EXPECT_EQ(shortDoc.pictureSize(), 960);
  EXPECT_EQ(shortDoc.row(1)[0], 0xF0);
  EXPECT_EQ(shortDoc.row(1)[1], 0x00);
}

// A VID file: header, then the frames at offset 512.
Bytes vidFile(uint8_t modeByte, uint16_t width, uint16_t frameHeight, uint32_t frameCount,
              uint16_t frameSize, const Bytes& frames) {
  Bytes file(512, 0);
  file[0] = 'V';
  file[1] = 'I';
  file[2] = 'D';
  file[3] = modeByte;
  file[4] = 0x55;
  file[8] = static_cast<uint8_t>(width);
  file[9] = static_cast<uint8_t>(width >> 8);
  file[10] = static_cast<uint8_t>(frameHeight);
  file[11] = static_cast<uint8_t>(frameHeight >> 8);
  for (int i = 0; i < 4; ++i) file[16 + i] = static_cast<uint8_t>(frameCount >> (8 * i));
  file[24] = static_cast<uint8_t>(frameSize);
  file[25] = static_cast<uint8_t>(frameSize >> 8);
  file.insert(file.end(), frames.begin(), frames.end());
  return file;
}

TEST(VidReader, FramesAreFourPlanesOfEveryFourthRow) {
  // 16 colours, 128 wide (T = 64), 3840-byte frames: 60 rows a frame. Every byte holds
  // a value that names its frame, row and column, placed where the video memory keeps
  // that row: plane row % 4, 64-byte pieces four pieces apart.
  const size_t rowBytes = 64, rows = 60, frameSize = 3840;
  const auto valueAt = [](size_t frame, size_t row, size_t column) {
    return static_cast<uint8_t>(frame * 101 + row * 7 + column * 3 + 1);
  };
  Bytes frames(2 * frameSize, 0);
  for (size_t frame = 0; frame < 2; ++frame)
    for (size_t row = 0; row < rows; ++row)
      for (size_t column = 0; column < rowBytes; ++column) {
        const size_t inPlane = (row / 4) * rowBytes + column;
        const size_t offset = (inPlane / 64) * 256 + (row % 4) * 64 + inPlane % 64;
        frames[frame * frameSize + offset] = valueAt(frame, row, column);
      }
  const Bytes file = vidFile(6, 128, 60, 50, frameSize, frames);
  ImageDocument doc;
  EXPECT_EQ(readVid(file.size(), file.data(), doc), StatusCode::kPartial);
  EXPECT_EQ(doc.pictureSize(), 64 * 60 * 40);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(doc.width, 128);
  EXPECT_EQ(doc.height, 60 * 40);  // 50 frames claimed, at most 40 kept
  for (size_t frame = 0; frame < 2; ++frame)
    for (size_t row = 0; row < rows; ++row)
      for (size_t column = 0; column < rowBytes; ++column)
        ASSERT_EQ(doc.row(static_cast<int32_t>(frame * rows + row))[column],
                  sixteenColoursFromTvcByte(valueAt(frame, row, column)))
            << "frame " << frame << " row " << row << " column " << column;
  EXPECT_EQ(doc.row(120)[0], 0);  // frames past the file's end stay zero
  EXPECT_EQ(doc.palette[3], tvcColour(3));
}

TEST(VidReader, TwoAndFourColourFramesUseTheHeaderPalette) {
  const Bytes frames(256, 0xA6);
  const Bytes file = vidFile(5, 16, 4, 1, 16, frames);  // 4 colours: T = 4, four rows
  ImageDocument doc;
  EXPECT_EQ(readVid(file.size(), file.data(), doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 8 * 4 * 40);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours4);
  EXPECT_EQ(doc.height, 4);
  EXPECT_EQ(doc.palette[0], tvcColour(15));
  EXPECT_EQ(doc.row(0)[0], 0x12);
  EXPECT_EQ(doc.row(0)[7], 0x30);
}

TEST(VidReader, RefusedAndOddHeaders) {
  ImageDocument doc;
  Bytes notVid = vidFile(6, 128, 60, 1, 3840, {});
  notVid[0] = 'X';
  EXPECT_EQ(readVid(notVid.size(), notVid.data(), doc), StatusCode::kNotThisFormat);

  const Bytes lowMode = vidFile(2, 128, 60, 1, 3840, {});
  EXPECT_EQ(readVid(lowMode.size(), lowMode.data(), doc), StatusCode::kUnsupported);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_TRUE(doc.pixels.empty());

  const Bytes noWidth = vidFile(6, 0, 60, 1, 3840, Bytes(100, 1));
  EXPECT_EQ(readVid(noWidth.size(), noWidth.data(), doc), StatusCode::kDamaged);

  Bytes cutHeader = vidFile(6, 128, 60, 1, 3840, {});
  cutHeader.resize(20);
  EXPECT_EQ(readVid(cutHeader.size(), cutHeader.data(), doc), StatusCode::kDamaged);

  // A frame height beyond the rows a frame holds never lets the height pass the buffer.
  const Bytes tall = vidFile(6, 128, 100, 40, 3840, Bytes(10, 0x55));
  ImageDocument tallDoc;
  EXPECT_EQ(readVid(tall.size(), tall.data(), tallDoc), StatusCode::kPartial);
  EXPECT_EQ(tallDoc.pictureSize(), 64 * 60 * 40);
  EXPECT_EQ(tallDoc.height, 60 * 40);
  EXPECT_LE(static_cast<size_t>(tallDoc.rowStride) * tallDoc.height, tallDoc.pixels.size());
}

using TvcReader = Status (*)(size_t, const uint8_t*, ImageDocument&, const ReadOptions&);

// Headers claim, data fills: the picture never has more rows than its data can fill,
// and no data is no picture.
TEST(TvcReaders, PicturesAreBoundedByTheirData) {
  struct Case {
    std::string name;
    TvcReader reader;
    Bytes file;
    StatusCode status;
    int32_t width, height;
    size_t bytes;  // the document's pixel buffer
  };
  std::vector<Case> cases;
  // 16 bytes claiming 65535 x 65535, with no picture data.
  for (uint8_t mode = 4; mode < 12; ++mode)
    cases.push_back({"mode " + std::to_string(mode), readKep,
                     headerFile(mode, 65535, 65535, {0, 0, 0, 0}, {}), StatusCode::kDamaged, 0, 0,
                     0});
  // A run of 63 and a literal give 64 TVC bytes: one row of 8192 begun.
  cases.push_back({"RLE", readKep, headerFile(4, 65535, 65535, {0, 0, 0, 0}, {0x3F, 0xAA, 0x55}),
                   StatusCode::kPartial, 65535, 1, 8192});
  // Five plain bytes in rows of two: three rows, the last one begun.
  cases.push_back({"plain", readKep, headerFile(10, 4, 65535, {0, 0, 0, 0}, {1, 2, 3, 4, 5}),
                   StatusCode::kPartial, 4, 3, 12});
  cases.push_back({"VID without frames", readVid, vidFile(6, 128, 60, 0, 3840, Bytes(3840, 1)),
                   StatusCode::kDamaged, 0, 0, 0});
  cases.push_back({"empty R16", readR16, {}, StatusCode::kDamaged, 0, 0, 0});
  cases.push_back({"short R16", readR16, Bytes(17, 0xAA), StatusCode::kPartial, 32, 60, 960});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageDocument doc;
    EXPECT_EQ(c.reader(c.file.size(), c.file.data(), doc, {}), c.status);
    EXPECT_EQ(doc.width, c.width);
    EXPECT_EQ(doc.height, c.height);
    EXPECT_EQ(doc.pixels.size(), c.bytes);
  }
}

// Every kind, plain and RLE, through the full header: same size, pixel values and
// palette entries after writing and reading back.
TEST(KepRoundTrip, EveryKindAndCodingReadsBackIdentically) {
  struct Kind {
    ColourMode colourMode;
    bool interlaced;
  };
  const Kind kinds[] = {{ColourMode::kColours2, false},
                        {ColourMode::kColours4, false},
                        {ColourMode::kColours16, false},
                        {ColourMode::kColours16, true}};
  ByteSource random(2024);
  for (const Kind& kind : kinds) {
    for (uint8_t coding : {kPlain, kRle}) {
      SCOPED_TRACE("colour mode " + std::to_string(paletteEntries(kind.colourMode)) +
                   (kind.interlaced ? " interlaced" : "") + (coding == kRle ? " RLE" : " plain"));
      ImageDocument doc = makePicture(kind.colourMode, 37, 9);
      doc.interlaced = kind.interlaced;
      const int bits = bitsPerPixel(kind.colourMode);
      const int values = kind.colourMode == ColourMode::kColours2                      ? 2
                         : kind.colourMode == ColourMode::kColours4 || kind.interlaced ? 4
                                                                                       : 16;
      for (int32_t y = 0; y < doc.height; ++y) {
        for (int32_t x = 0; x < doc.width; ++x) {
          // Few distinct values in stretches, so that the RLE has runs of every length.
          const uint8_t value =
              x % 13 < 6 ? static_cast<uint8_t>(y % values) : random.next() % values;
          const uint8_t half = kind.interlaced && y % 2 == 1 ? 4 : 0;
          setPackedPixel(doc.row(y), x, bits, static_cast<uint8_t>(value + half));
        }
      }
      if (kind.interlaced) {
        doc.palette = {tvcColour(0), tvcColour(10), tvcColour(14), tvcColour(15),
                       tvcColour(0), tvcColour(11), tvcColour(7),  tvcColour(15)};
      } else {
        for (size_t i = 0; i < 16; ++i) doc.palette[i] = tvcColour(static_cast<int>(i * 7 % 16));
        doc.palette[0] = tvcColour(0);
        if (kind.colourMode == ColourMode::kColours16)
          for (size_t i = 0; i < 16; ++i) doc.palette[i] = kTvcPalette[i];
      }
      SaveOptions saveOptions;
      saveOptions.saveCoding = coding;
      KepEncoding encoding;
      ASSERT_EQ(encodeKep(doc, saveOptions, encoding), KepEncodeStatus::kOk);
      const Loaded loaded = loadKep(encoding.picture);
      EXPECT_EQ(loaded.status, StatusCode::kOk);
      EXPECT_EQ(loaded.doc.pictureSize(), doc.pictureSize());
      EXPECT_EQ(loaded.doc.width, doc.width);
      EXPECT_EQ(loaded.doc.height, doc.height);
      EXPECT_EQ(loaded.doc.colourMode, doc.colourMode);
      EXPECT_EQ(loaded.doc.interlaced, doc.interlaced);
      for (int32_t y = 0; y < doc.height; ++y)
        for (int32_t x = 0; x < doc.width; ++x)
          ASSERT_EQ(getPackedPixel(loaded.doc.row(y), x, bits), getPackedPixel(doc.row(y), x, bits))
              << "pixel " << x << ", " << y;
      const size_t entries = kind.interlaced ? 8 : 4;
      for (size_t i = 0; i < entries; ++i) EXPECT_EQ(loaded.doc.palette[i], doc.palette[i]) << i;
    }
  }
}

}  // namespace
}  // namespace vz
