// JPEG files as other programs write them, each judged by a peer: CMYK and YCCK against
// ImageMagick's CMYK samples through the fixed conversion; EXIF orientations against
// ImageMagick's reading of the tag; files of several scans cut short or damaged against
// what jpegtran keeps of them. The sampling rule for ratios that no peer decodes is checked on
// hand-made streams. Thresholds as in jpeg_peer_test.cpp: at most 3 levels, mean 0.2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "converter/formats/jpeg/jpeg_exif.h"
#include "converter/formats/jpeg/jpeg_reader.h"
#include "tests/unit/jpeg_test_support.h"

namespace vz {
namespace {

using jpegtest::Decoded;
using jpegtest::decodeMemory;

constexpr int kWidth = 37;
constexpr int kHeight = 29;

struct Difference {
  int maximum = 0;
  double mean = 0;
};

Difference compare(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs) {
  Difference d;
  if (ours.size() != theirs.size() || ours.empty()) return Difference{256, 256};
  long long sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const int delta = std::abs(ours[i] - theirs[i]);
    d.maximum = std::max(d.maximum, delta);
    sum += delta;
  }
  d.mean = static_cast<double>(sum) / ours.size();
  return d;
}

::testing::AssertionResult closeEnough(const std::vector<uint8_t>& ours,
                                       const std::vector<uint8_t>& theirs) {
  const Difference d = compare(ours, theirs);
  if (d.maximum <= 3 && d.mean <= 0.2) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "max " << d.maximum << " mean " << d.mean << " over "
                                       << ours.size() << " / " << theirs.size() << " bytes";
}

// R, G, B bytes of a true-colour or grey document, top row first.
std::vector<uint8_t> rgbOf(const ImageDocument& doc) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < doc.height; ++y) {
    for (int x = 0; x < doc.width; ++x) {
      const ColourValue colour = test::documentColour(doc, x, y);
      rgb.insert(rgb.end(), {redOf(colour), greenOf(colour), blueOf(colour)});
    }
  }
  return rgb;
}

std::vector<uint8_t> ppmPixels(const std::string& path, int* width = nullptr,
                               int* height = nullptr) {
  const jpegtest::PnmImage image = jpegtest::readPnm(path);
  if (width != nullptr) *width = image.width;
  if (height != nullptr) *height = image.height;
  if (image.channels != 1) return image.pixels;
  std::vector<uint8_t> rgb;
  for (uint8_t grey : image.pixels) rgb.insert(rgb.end(), {grey, grey, grey});
  return rgb;
}

Status readBytes(const std::vector<uint8_t>& file, ImageDocument& doc,
                 bool applyOrientation = true) {
  ReadOptions options;
  options.maxPixels = int64_t{1} << 28;
  options.applyOrientation = applyOrientation;
  return readJpeg(file.size(), file.data(), doc, options);
}

// Runs the command with {ppm} and {jpg} replaced; the test picture is written first.
std::vector<uint8_t> makeFile(const test::ScratchFolder& folder, std::string command,
                              uint32_t seed = 5) {
  const std::string ppm = folder / "in.ppm";
  const std::string jpg = folder / "out.jpg";
  test::writeFileBytes(ppm, jpegtest::makeTestPpm(kWidth, kHeight, seed));
  for (const auto& [key, value] : {std::pair{"{ppm}", ppm}, std::pair{"{jpg}", jpg}})
    for (size_t at; (at = command.find(key)) != std::string::npos;)
      command.replace(at, std::strlen(key), value);
  if (test::runCommand("(" + command + ") 2>&1") != 0) return {};
  return test::readFileBytes(jpg);
}

std::string pillowSaves(const std::string& conversion, const std::string& options) {
  return "/usr/bin/python3 -c \"from PIL import Image; Image.open('{ppm}')" + conversion +
         ".save('{jpg}', " + options + ")\"";
}

// The file without its APP14 (Adobe) segments.
std::vector<uint8_t> withoutAdobeMarker(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out(file.begin(), file.begin() + 2);
  size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
    const size_t length = 2 + (file[at + 2] << 8 | file[at + 3]);
    if (file[at + 1] != 0xEE) out.insert(out.end(), file.begin() + at, file.begin() + at + length);
    at += length;
  }
  out.insert(out.end(), file.begin() + at, file.end());
  return out;
}

// CMYK comes stored inverted (255: no ink), as Adobe writes it, with or without its
// marker; ImageMagick hands out the ink. R = C' x K' / 255 with C' = 255 - C.
TEST(JpegCmyk, FourComponentFilesAgainstImageMagicksInk) {
  struct Case {
    const char* name;
    std::string command;
    bool dropAdobeMarker;
  };
  const std::string convert = test::imageMagickConvert();
  const Case cases[] = {
      {"YCCK", convert + " {ppm} -colorspace CMYK -quality 90 {jpg}", false},
      {"YCCK 2x2", convert + " {ppm} -colorspace CMYK -sampling-factor 2x2 -quality 90 {jpg}",
       false},
      {"YCCK arithmetic",
       convert +
           " {ppm} -colorspace CMYK jpg:{jpg}.h && jpegtran -arithmetic -outfile {jpg} {jpg}.h",
       false},
      {"CMYK", pillowSaves(".convert('CMYK')", "quality=90"), false},
      {"CMYK progressive", pillowSaves(".convert('CMYK')", "quality=90, progressive=True"), false},
      {"CMYK without Adobe marker", pillowSaves(".convert('CMYK')", "quality=90"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ScratchFolder folder;
    std::vector<uint8_t> file = makeFile(folder, c.command);
    ASSERT_FALSE(file.empty());
    if (c.dropAdobeMarker) file = withoutAdobeMarker(file);
    const std::string path = folder / "cmyk.jpg";
    test::writeFileBytes(path, file);
    std::string ink;
    ASSERT_EQ(
        test::runCommand(convert + " -define jpeg:fancy-upsampling=off " + path + " cmyk:-", &ink),
        0);
    ASSERT_EQ(ink.size(), 4u * kWidth * kHeight);
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < ink.size(); i += 4) {
      const int black = 255 - static_cast<uint8_t>(ink[i + 3]);
      for (int channel = 0; channel < 3; ++channel)
        expected.push_back(static_cast<uint8_t>(
            ((255 - static_cast<uint8_t>(ink[i + channel])) * black + 127) / 255));
    }
    // ImageMagick's decode uses the accurate transform.
    const Decoded ours = decodeMemory(file, false, 333);
    EXPECT_EQ(ours.error, 0);
    EXPECT_EQ(ours.components, 4);
    EXPECT_TRUE(closeEnough(ours.pixels, expected));

    ImageDocument doc;
    EXPECT_EQ(readBytes(file, doc), StatusCode::kOk);
    EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);
  }
}

// The EXIF block PIL writes as it is given: a TIFF header in either byte order, one
// IFD0 entry (tag 0x0112, one SHORT).
std::string exifBytes(int orientation, bool bigEndian) {
  return std::string("b'Exif\\\\x00\\\\x00' + ") + (bigEndian ? "b'MM'" : "b'II'") +
         " + struct.pack('" + (bigEndian ? ">" : "<") + "HIHHHIHHI', 42, 8, 1, 0x0112, 3, 1, " +
         std::to_string(orientation) + ", 0, 0)";
}

// ImageMagick reads the tag, and turns djpeg's decode (the fast transform, as ours) the
// way it says.
TEST(JpegOrientation, EightOrientationsStandAsImageMagickTurnsThem) {
  struct Case {
    int orientation;
    bool bigEndian;
    bool grey;
    bool apply;
  };
  const Case cases[] = {{1, false, false, true}, {2, true, false, true},  {3, false, false, true},
                        {4, true, false, true},  {5, false, false, true}, {6, true, false, true},
                        {7, false, false, true}, {8, true, false, true},  {6, false, true, true},
                        {8, false, false, false}};
  const size_t count = sizeof cases / sizeof cases[0];
  const test::ScratchFolder folder;
  const auto name = [&](size_t i, const char* suffix) {
    return folder / ("oriented" + std::to_string(i) + suffix);
  };
  // One run of PIL writes every file, one of identify reads every tag.
  std::string script = "import struct; from PIL import Image; picture = Image.open('{ppm}')";
  std::string files;
  for (size_t i = 0; i < count; ++i) {
    script += "; picture" + std::string(cases[i].grey ? ".convert('L')" : "") + ".save('" +
              name(i, ".jpg") + "', quality=92, subsampling=2, exif=" +
              exifBytes(cases[i].orientation, cases[i].bigEndian) + ")";
    files += " " + name(i, ".jpg");
  }
  ASSERT_EQ(makeFile(folder, "/usr/bin/python3 -c \"" + script + "\" && cp {ppm} {jpg}").size(),
            jpegtest::makeTestPpm(kWidth, kHeight, 5).size());
  std::string tags;
  ASSERT_EQ(test::runCommand("identify -format '%[orientation] '" + files, &tags), 0);
  std::istringstream tagList(tags);

  const std::string convert = test::imageMagickConvert();
  for (size_t i = 0; i < count; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message()
                 << "orientation " << c.orientation << (c.bigEndian ? " MM" : " II")
                 << (c.grey ? " grey" : "") << (c.apply ? "" : " kept as stored"));
    std::string tag;
    tagList >> tag;
    ASSERT_EQ(test::runCommand("djpeg -dct fast -nosmooth -pnm " + name(i, ".jpg") + " | " +
                               convert + " - -orient " + (c.apply ? tag : "TopLeft") +
                               " -auto-orient ppm:" + name(i, ".ppm")),
              0);
    int width = 0;
    int height = 0;
    const std::vector<uint8_t> expected = ppmPixels(name(i, ".ppm"), &width, &height);

    ImageDocument doc;
    ASSERT_EQ(readBytes(test::readFileBytes(name(i, ".jpg")), doc, c.apply), StatusCode::kOk);
    EXPECT_EQ(doc.width, width);
    EXPECT_EQ(doc.height, height);
    EXPECT_EQ(doc.pictureSize(), doc.rowStride * doc.height);
    EXPECT_TRUE(closeEnough(rgbOf(doc), expected));
  }
}

// Blocks that must give no orientation, and the two byte orders.
TEST(JpegOrientation, ExifBlocksAreReadWithinTheirBounds) {
  const auto block = [](std::vector<uint8_t> tiff) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    b.insert(b.end(), tiff.begin(), tiff.end());
    return b;
  };
  // II, IFD0 at 8, one entry: tag 0x0112, SHORT, count 1, value.
  const auto little = [&](int value, int type = 3, int count = 1, int offset = 8, int entries = 1) {
    return block({'I',
                  'I',
                  42,
                  0,
                  static_cast<uint8_t>(offset),
                  0,
                  0,
                  0,
                  static_cast<uint8_t>(entries),
                  0,
                  0x12,
                  0x01,
                  static_cast<uint8_t>(type),
                  0,
                  static_cast<uint8_t>(count),
                  0,
                  0,
                  0,
                  static_cast<uint8_t>(value),
                  0,
                  0,
                  0});
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t orientation;
  };
  const std::vector<uint8_t> valid = little(6);
  const Case cases[] = {
      {"little-endian", valid, 6},
      {"big-endian",
       block({'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0}), 3},
      {"second entry", block({'I', 'I', 42, 0, 8, 0,    0,    0, 2, 0, 0x0F, 0x01, 2, 0, 1, 0, 0,
                              0,   0,   0,  0, 0, 0x12, 0x01, 3, 0, 1, 0,    0,    0, 8, 0, 0, 0}),
       8},
      {"cut in the entry", std::vector<uint8_t>(valid.begin(), valid.end() - 1), 0},
      {"cut in the header", std::vector<uint8_t>(valid.begin(), valid.begin() + 12), 0},
      {"IFD past the end", little(6, 3, 1, 200), 0},
      {"entry count past the end", little(6, 3, 1, 8, 2), 0},
      {"value 9", little(9), 0},
      {"value 0", little(0), 0},
      {"type LONG", little(6, 4), 0},
      {"count 2", little(6, 3, 2), 0},
      {"not EXIF", std::vector<uint8_t>{'E', 'x', 'i', 'f', 0, 1, 'I', 'I', 42, 0, 8, 0, 0, 0}, 0},
      {"bad byte order", block({'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0}), 0},
      {"not TIFF", block({'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}), 0},
  };
  for (const Case& c : cases) {
    // An exact copy, so that a read past the block shows in the sanitizer build.
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[c.bytes.size()]);
    std::memcpy(copy.get(), c.bytes.data(), c.bytes.size());
    EXPECT_EQ(exifOrientation(copy.get(), c.bytes.size()), c.orientation) << c.name;
  }
}

// Where each scan of a file starts (its SOS marker).
std::vector<size_t> scanStarts(const std::vector<uint8_t>& file) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xDA) starts.push_back(i);
  return starts;
}

// A file of several scans, progressive or sequential with its components in separate
// scans, cut anywhere in its first scan keeps what came; cut after each of its scans, or
// whose next scan starts with a stray marker, it keeps what the complete scans gave: jpegtran keeps
// the same coefficients (zero for a component without a scan) and writes them as a whole file,
// which djpeg then decodes without its smoothing of missing coefficients.
TEST(JpegScanDamage, KeepsWhatTheCompleteScansGave) {
  struct Case {
    const char* options;
    const char* scans;  // cjpeg's scan script of a sequential file
  };
  for (const Case& c : {Case{"-progressive -sample 2x2", nullptr},
                        Case{"-progressive -arithmetic -sample 2x1", nullptr},
                        Case{"-progressive -grayscale", nullptr}, Case{"-sample 2x1", "0; 1; 2;"},
                        Case{"-arithmetic -sample 2x2", "2; 0; 1;"}}) {
    const std::string options = c.options;
    SCOPED_TRACE(options);
    const test::ScratchFolder folder;
    const std::string script =
        c.scans == nullptr ? "" : std::string("printf '") + c.scans + "' > {jpg}.scans && ";
    const std::vector<uint8_t> file =
        makeFile(folder, script + "cjpeg " + (c.scans == nullptr ? "" : "-scans {jpg}.scans ") +
                             options + " -outfile {jpg} {ppm}");
    ASSERT_FALSE(file.empty());
    const std::vector<size_t> starts = scanStarts(file);
    ASSERT_GE(starts.size(), 3u);
    const bool arithmetic = options.find("arithmetic") != std::string::npos;
    const std::string picture =
        c.scans == nullptr ? " of the progressive picture" : " of the sequential picture";
    // Cut anywhere in the first scan's data, between blocks or within one.
    const size_t firstData = starts[0] + 2 + (file[starts[0] + 2] << 8 | file[starts[0] + 3]);
    for (size_t end = firstData + 1; !(file[end] == 0xFF && file[end + 1] != 0); ++end) {
      ImageDocument doc;
      const Status status = readBytes(std::vector<uint8_t>(file.begin(), file.begin() + end), doc);
      EXPECT_EQ(status, StatusCode::kPartial) << end;
      EXPECT_EQ(status.reason().rfind("data ends", 0), 0u) << status.reason();
    }
    for (size_t scans = 1; scans < starts.size(); ++scans) {
      SCOPED_TRACE(testing::Message() << scans << " scans");
      const std::vector<uint8_t> cut(file.begin(), file.begin() + starts[scans]);
      const std::string path = folder / "cut.jpg";
      test::writeFileBytes(path, cut);
      ASSERT_EQ(test::runCommand("jpegtran -copy none " + path +
                                 " 2>/dev/null | djpeg -dct fast "
                                 "-nosmooth -pnm -outfile " +
                                 folder / "kept.pnm"),
                0);
      ImageDocument doc;
      const Status status = readBytes(cut, doc);
      EXPECT_EQ(status, StatusCode::kPartial);
      EXPECT_EQ(status.reason(), "data ends after scan " + std::to_string(scans) + picture);
      const std::vector<uint8_t> kept = rgbOf(doc);
      EXPECT_TRUE(closeEnough(kept, ppmPixels(folder / "kept.pnm")));
      if (arithmetic) continue;  // from a marker on, arithmetic decoding reads zeros

      // The next scan's data starts with RST7: it gives nothing, and the rest is ignored.
      std::vector<uint8_t> damaged = file;
      const size_t data =
          starts[scans] + 2 + (file[starts[scans] + 2] << 8 | file[starts[scans] + 3]);
      damaged[data] = 0xFF;
      damaged[data + 1] = 0xD7;
      ImageDocument damagedDoc;
      const Status damagedStatus = readBytes(damaged, damagedDoc);
      EXPECT_EQ(damagedStatus, StatusCode::kPartial);
      EXPECT_EQ(damagedStatus.reason(), "data ends in scan " + std::to_string(scans + 1) + picture);
      EXPECT_EQ(rgbOf(damagedDoc), kept);
    }
  }
}

// Ratios that are not whole: each component still covers the MCU evenly, and a pixel
// takes the sample that starts at or before it. Luma 3x1 (or 1x3), chroma 2x1 (1x2):
// the chroma's two blocks meet at pixel 12 of the MCU's 24. Flat blocks: luma DC 0,
// Cb DC 0 then +1 (times 255 in the quantisation table), Cr DC 0.
TEST(JpegSampling, RatiosThatAreNotWholeTakeTheSampleAtOrBefore) {
  for (const bool vertical : {false, true}) {
    SCOPED_TRACE(vertical ? "1x3 and 1x2" : "3x1 and 2x1");
    const int luma = vertical ? 0x13 : 0x31;
    const int chroma = vertical ? 0x12 : 0x21;
    jpegtest::StreamBuilder b;
    b.soi().dqt(0, 255).sof(0xC0, vertical ? 8 : 24, vertical ? 24 : 8,
                            {{1, luma >> 4, luma & 15, 0},
                             {2, chroma >> 4, chroma & 15, 0},
                             {3, chroma >> 4, chroma & 15, 0}});
    b.dht(0, 0, {1, 1, 1}, {0, 1, 17}).dht(1, 0, {0, 3, 1}, {0x00, 0xF0, 0x01, 0xF1});
    // DC "0": no change, "10" "1": +1; AC "00": end of block.
    b.sos({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}})
        .bits(
            "000"
            "000"
            "000"
            "000"
            "10100"
            "000"
            "000");
    const std::vector<uint8_t> file = b.eoi().data;
    for (const bool fast : {true, false}) {
      const Decoded d = decodeMemory(file, fast);
      ASSERT_EQ(d.error, 0);
      ASSERT_EQ(d.rowsRead, d.height);
      const auto blue = [&](int i) { return d.pixels[3 * (vertical ? i * 8 : i) + 2]; };
      for (int i = 1; i < 24; ++i) {
        if (i == 12) {
          EXPECT_GT(blue(i), blue(i - 1) + 20) << i;
        } else {
          EXPECT_EQ(blue(i), blue(i - 1)) << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vz
