// readJpeg into the document, the shared test pictures, and damaged files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "converter/commands/commands.h"
#include "converter/formats/bmp.h"
#include "converter/formats/jpeg/jpeg_reader.h"
#include "converter/model/file_io.h"
#include "tests/unit/jpeg_test_support.h"

namespace vz {
namespace {

const std::string kTestData = std::string(VIZORKA_TESTDATA_DIR) + "/jpeg/";

// A JPEG file read as Open reads it: its bytes, then the reader.
Status readJpg(const std::string& path, ImageDocument& doc) {
  std::vector<uint8_t> bytes;
  const Status read = readPictureFile(path, bytes);
  return read.ok() ? readJpeg(bytes.size(), bytes.data(), doc) : read;
}

class RecordingPrompts : public UserPrompts {
 public:
  void showError(const std::string& text, const std::string& caption) override {
    errors.push_back(caption + ": " + text);
  }
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> errors;
};

// A picture made by cjpeg from the generated test picture; empty if cjpeg failed.
std::vector<uint8_t> makeJpeg(const std::string& name, const std::string& options, int width,
                              int height) {
  const std::string base = jpegtest::tempPath(name);
  test::writeFileBytes(base + ".ppm", jpegtest::makeTestPpm(width, height, 3));
  if (test::runCommand("cjpeg " + options + " -outfile " + base + ".jpg " + base + ".ppm") != 0)
    return {};
  std::vector<uint8_t> file = test::readFileBytes(base + ".jpg");
  std::remove((base + ".ppm").c_str());
  std::remove((base + ".jpg").c_str());
  return file;
}

TEST(ReadJpg, TestOrigMatchesTheReferenceDecode) {
  ImageDocument doc;
  ASSERT_EQ(readJpg(kTestData + "testorig.jpg", doc), StatusCode::kOk);
  ASSERT_EQ(doc.pictureSize(), ((3 * 227 + 3) / 4 * 4) * 149);
  EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);

  std::vector<uint8_t> bmp;
  ASSERT_TRUE(readWholeFile(kTestData + "testorig.djpeg-fast-nosmooth.bmp", bmp));
  ImageDocument reference;
  ASSERT_EQ(readBmp(bmp.size(), bmp.data(), reference), StatusCode::kOk);
  ASSERT_EQ(reference.width, doc.width);
  ASSERT_EQ(reference.height, doc.height);
  int maximum = 0;
  double sum = 0;
  for (int y = 0; y < doc.height; ++y) {
    for (int x = 0; x < 3 * doc.width; ++x) {
      const int delta = std::abs(doc.row(y)[x] - reference.row(y)[x]);
      maximum = std::max(maximum, delta);
      sum += delta;
    }
  }
  EXPECT_LE(maximum, 2);
  EXPECT_LT(sum / (3.0 * doc.width * doc.height), 0.1);
}

TEST(ReadJpg, SharedTestPictures) {
  ImageDocument doc;
  EXPECT_EQ(readJpg(kTestData + "testimgint.jpg", doc), StatusCode::kOk);
  EXPECT_EQ(doc.width, 227);

  ImageDocument empty;
  EXPECT_EQ(readJpg(kTestData + "monkey12.jpg", empty), StatusCode::kUnsupported);
  EXPECT_TRUE(empty.pixels.empty());
  EXPECT_EQ(empty.pictureSize(), 0);
  const std::vector<uint8_t> twelveBit = test::readFileBytes(kTestData + "monkey12.jpg");
  EXPECT_EQ(jpegtest::decodeMemory(twelveBit).error, -205);

  // The same picture arithmetic-coded: djpeg decodes both to the same pixels.
  const std::vector<uint8_t> huffman = test::readFileBytes(kTestData + "testimgint.jpg");
  const std::vector<uint8_t> arithmetic = test::readFileBytes(kTestData + "testimgari.jpg");
  for (bool fast : {true, false}) {
    const jpegtest::Decoded expected = jpegtest::decodeMemory(huffman, fast);
    const jpegtest::Decoded decoded = jpegtest::decodeMemory(arithmetic, fast, 101);
    EXPECT_EQ(decoded.error, 0);
    EXPECT_EQ(decoded.rowsRead, 149);
    EXPECT_EQ(decoded.pixels, expected.pixels) << (fast ? "fast" : "accurate");
  }
}

TEST(ReadJpg, CommandLineToolOpensJpegFiles) {
  const std::string output = jpegtest::tempPath("cli.txt");
  const std::string command =
      std::string(VIZORKA_CLI_PATH) + " " + kTestData + "testorig.jpg --info > " + output + " 2>&1";
  ASSERT_EQ(test::runCommand(command), 0);
  const std::vector<uint8_t> text = test::readFileBytes(output);
  const std::string info(text.begin(), text.end());
  EXPECT_NE(info.find("\"width\":227,\"height\":149"), std::string::npos) << info;
  EXPECT_NE(info.find("\"colourMode\":0"), std::string::npos) << info;
  std::remove(output.c_str());
}

TEST(ReadJpg, MissingFile) {
  ImageDocument doc;
  EXPECT_EQ(readJpg(jpegtest::tempPath("does-not-exist.jpg"), doc), StatusCode::kCannotOpen);
}

TEST(ReadJpg, GreyAndColourDocuments) {
  const std::string path = jpegtest::tempPath("ő-grey.jpg");
  const std::vector<uint8_t> grey = makeJpeg("grey", "-grayscale", 13, 5);
  ASSERT_FALSE(grey.empty());
  ASSERT_TRUE(test::writeFileBytes(path, grey));
  ImageDocument doc;
  EXPECT_EQ(readJpg(path, doc), StatusCode::kOk);
  EXPECT_EQ(doc.pictureSize(), 16 * 5);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours256);
  EXPECT_EQ(doc.rowStride, 16);
  EXPECT_EQ(doc.palette[0], 0u);
  EXPECT_EQ(doc.palette[200], 200u * 0x010101u);
  const jpegtest::Decoded direct = jpegtest::decodeMemory(grey);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(doc.row(y)[x], direct.pixels[13 * y + x]);

  const std::vector<uint8_t> colour = makeJpeg("colour", "-sample 2x2", 9, 4);
  ASSERT_TRUE(test::writeFileBytes(path, colour));
  ImageDocument colourDoc;
  EXPECT_EQ(readJpg(path, colourDoc), StatusCode::kOk);
  EXPECT_EQ(colourDoc.pictureSize(), 28 * 4);
  EXPECT_EQ(colourDoc.colourMode, ColourMode::kTrueColour);
  const jpegtest::Decoded rgb = jpegtest::decodeMemory(colour);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(colourDoc.row(3)[3 * x], rgb.pixels[3 * (27 + x) + 2]);  // blue first
    EXPECT_EQ(colourDoc.row(3)[3 * x + 2], rgb.pixels[3 * (27 + x)]);
  }
  std::remove(path.c_str());
}

// Grey 8 x 24 with one MCU per restart interval: the third marker is wrong.
std::vector<uint8_t> failingMidway() {
  using jpegtest::StreamBuilder;
  StreamBuilder b = jpegtest::greyHeaders(8, 24).dri(1).sos({{1, 0, 0}});
  b.bits(
       "10"
       "1"
       "00")
      .bytes({0xFF, 0xD0})
      .bits(
          "10"
          "1"
          "00")
      .bytes({0xFF, 0xD5});
  b.bits(
       "10"
       "1"
       "00")
      .eoi();
  return b.data;
}

// A failure after some rows keeps them; the rest of the picture stays cleared.
TEST(ReadJpg, FailureMidwayKeepsTheDeliveredRows) {
  const std::string path = jpegtest::tempPath("midway.jpg");
  ASSERT_TRUE(test::writeFileBytes(path, failingMidway()));
  ImageDocument doc;
  EXPECT_EQ(readJpg(path, doc), StatusCode::kPartial);
  EXPECT_EQ(doc.pictureSize(), 8 * 24);
  EXPECT_GT(doc.row(0)[0], 0);
  EXPECT_GT(doc.row(15)[7], 0);
  for (int y = 16; y < 24; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(doc.row(y)[x], 0);
  std::remove(path.c_str());
}

// The open command shows what readJpg used to show itself, and keeps a partial picture.
TEST(ReadJpg, OpenCommandShowsTheSameMessages) {
  struct Case {
    const char* name;
    std::string path;
    std::vector<std::string> errors;
    bool picture;
  };
  const std::string midway = jpegtest::tempPath("midway.jpg");
  const std::vector<Case> cases = {
      {"whole", kTestData + "testorig.jpg", {}, true},
      {"missing",
       jpegtest::tempPath("does-not-exist.jpg"),
       {"Megnyitás: A fájlt nem lehet megnyitni!"},
       false},
      {"unsupported", kTestData + "monkey12.jpg", {"Megnyitás: Hiba a dekódolás során!"}, false},
      {"partial", midway, {"Megnyitás: Hiba a dekódolás során!"}, true},
  };
  ASSERT_TRUE(test::writeFileBytes(midway, failingMidway()));
  for (const Case& c : cases) {
    AppState state;
    RecordingPrompts prompts;
    openCommand(state, prompts, c.path);
    EXPECT_EQ(prompts.errors, c.errors) << c.name;
    EXPECT_EQ(state.document.holdsPicture(), c.picture) << c.name;
  }
  std::remove(midway.c_str());
}

// A copy of the file whose frame header claims another size.
std::vector<uint8_t> claimingSize(std::vector<uint8_t> file, int width, int height) {
  for (size_t at = 2; at + 9 < file.size();) {
    const int marker = file[at + 1];
    if (marker == 0xC0 || marker == 0xC2) {
      file[at + 5] = static_cast<uint8_t>(height >> 8);
      file[at + 6] = static_cast<uint8_t>(height);
      file[at + 7] = static_cast<uint8_t>(width >> 8);
      file[at + 8] = static_cast<uint8_t>(width);
      break;
    }
    at += 2 + (file[at + 2] << 8 | file[at + 3]);
  }
  return file;
}

Status readBytes(const std::vector<uint8_t>& file, ImageDocument& doc,
                 int64_t maxPixels = int64_t{16384} * 16384) {
  return readJpeg(file.size(), file.data(), doc, ReadOptions{maxPixels, true});
}

TEST(ReadJpeg, StatusCodesAndReasons) {
  const std::vector<uint8_t> colour = makeJpeg("reasons", "-sample 2x2", 64, 48);
  ASSERT_FALSE(colour.empty());
  std::vector<uint8_t> fiveByOne = colour;
  for (size_t at = 2; at + 11 < fiveByOne.size();
       at += 2 + (fiveByOne[at + 2] << 8 | fiveByOne[at + 3])) {
    if (fiveByOne[at + 1] == 0xC0) {
      fiveByOne[at + 11] = 0x51;  // the first component's factors
      break;
    }
  }
  // Cut halfway through the scan: the reader keeps the rows the decoder delivers.
  size_t scan = 0;
  while (scan + 1 < colour.size() && !(colour[scan] == 0xFF && colour[scan + 1] == 0xDA)) ++scan;
  const std::vector<uint8_t> cut(colour.begin(), colour.begin() + (scan + colour.size()) / 2);
  const int32_t rowsBeforeTheCut = jpegtest::decodeMemory(cut).rowsRead;
  ASSERT_GT(rowsBeforeTheCut, 0);
  ASSERT_LT(rowsBeforeTheCut, 48);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int64_t maxPixels;
    StatusCode code;
    std::string reason;
  };
  const Case cases[] = {
      {"whole", colour, 64 * 48, StatusCode::kOk, "ok"},
      {"over the limit", colour, 64 * 48 - 1, StatusCode::kTooLarge,
       "picture 64 x 48 is over the limit"},
      {"not a JPEG file", std::vector<uint8_t>(100, 'x'), 1000, StatusCode::kNotThisFormat,
       "not a JPEG file"},
      {"12 bits", test::readFileBytes(kTestData + "monkey12.jpg"), 1 << 24,
       StatusCode::kUnsupported, "JPEG precision other than 8 bits not supported"},
      {"sampling 5x1", fiveByOne, 1 << 24, StatusCode::kUnsupported,
       "JPEG sampling 5x1 not supported"},
      {"cut in the scan", cut, 1 << 24, StatusCode::kPartial,
       "data ends at row " + std::to_string(rowsBeforeTheCut) + " of 48"},
      {"claims a huge picture", claimingSize(colour, 16384, 16384), int64_t{1} << 28,
       StatusCode::kDamaged, "data ends at row 0 of 16384"},
  };
  for (const Case& c : cases) {
    ImageDocument doc;
    const Status status = readBytes(c.file, doc, c.maxPixels);
    EXPECT_EQ(status.code(), c.code) << c.name;
    EXPECT_EQ(status.reason(), c.reason) << c.name;
    const bool picture = c.code == StatusCode::kOk || c.code == StatusCode::kPartial;
    EXPECT_EQ(doc.holdsPicture(), picture) << c.name;
  }
}

// Resident memory of this process, in kilobytes.
long residentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Small files claiming 16384 x 16384 pixels (805 MB of document) fail having used memory
// for what their data holds: measured as the peak resident memory of a child process
// that reads them, beyond what it shared with this one.
TEST(ReadJpeg, ShortFilesClaimingHugePicturesUseLittleMemory) {
  struct Case {
    const char* name;
    std::string options;
  };
  const std::string script = jpegtest::tempPath("huge.scans");
  ASSERT_TRUE(test::writeFileBytes(script, {'0', ';', '1', ';', '2'}));
  for (const Case& c : {Case{"sequential", "-sample 2x2"}, Case{"progressive", "-progressive"},
                        Case{"grey", "-grayscale"}, Case{"separate scans", "-scans " + script}}) {
    const std::vector<uint8_t> file =
        claimingSize(makeJpeg("huge", c.options, 64, 64), 16384, 16384);
    ASSERT_GT(file.size(), 100u);
    const long before = residentKilobytes();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ImageDocument doc;
      _exit(static_cast<int>(readBytes(file, doc).code()));
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(StatusCode::kDamaged)) << c.name;
    EXPECT_LT(usage.ru_maxrss - before, 48 * 1024) << c.name;
  }
  std::remove(script.c_str());
}

// Any prefix of a file: no crash, no read past the data (the sanitizer build checks),
// and a sequential picture keeps its size even when the data runs out.
TEST(JpegDamage, TruncationAtEveryOffset) {
  for (const char* options : {"-sample 2x2 -restart 1B", "-progressive -sample 2x1"}) {
    const std::vector<uint8_t> file = makeJpeg("trunc", options, 24, 16);
    ASSERT_FALSE(file.empty());
    for (size_t length = 0; length <= file.size(); ++length) {
      const std::vector<uint8_t> prefix(file.begin(), file.begin() + length);
      const jpegtest::Decoded d = jpegtest::decodeMemory(prefix, length % 2 == 0, 37);
      if (d.error == 0) {
        EXPECT_EQ(d.rowsRead, 16) << options << " " << length;
      }
    }
    EXPECT_EQ(jpegtest::decodeMemory(file).error, 0);
  }
}

TEST(JpegDamage, RandomCorruption) {
  std::mt19937 random(2024);
  for (const char* options :
       {"-sample 2x2", "-progressive", "-grayscale -restart 1B", "-progressive -sample 1x2"}) {
    const std::vector<uint8_t> file = makeJpeg("corrupt", options, 40, 24);
    ASSERT_FALSE(file.empty());
    for (int trial = 0; trial < 150; ++trial) {
      std::vector<uint8_t> damaged = file;
      const int changes = 1 + static_cast<int>(random() % 6);
      for (int c = 0; c < changes; ++c) {
        const size_t at = random() % damaged.size();
        damaged[at] = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
      }
      const jpegtest::Decoded d = jpegtest::decodeMemory(damaged, trial % 2 == 0, 1 + trial);
      if (d.error == 0 && d.startResult == JpegError::kNone) {
        EXPECT_EQ(d.rowsRead, d.height);
      }
    }
  }
}

}  // namespace
}  // namespace vz
