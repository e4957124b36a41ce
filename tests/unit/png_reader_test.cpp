// readPng: the PNG suite against ImageMagick, the document's rules to the bit, damaged and
// hostile files, every truncation, and the open command's messages.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "converter/commands/commands.h"
#include "converter/formats/png_filters.h"
#include "converter/formats/png_reader.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

const std::string kSuite = std::string(VIZORKA_TESTDATA_DIR) + "/pngsuite/png/";

void putU32Be(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendChunk(std::vector<uint8_t>& file, const std::string& type,
                 const std::vector<uint8_t>& data) {
  putU32Be(file, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  file.insert(file.end(), body.begin(), body.end());
  putU32Be(file, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

struct PngParts {
  uint32_t width = 2;
  uint32_t height = 2;
  uint8_t depth = 8;
  uint8_t colourType = 2;
  std::vector<uint8_t> rows;  // each row with its filter type first
  std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;  // between IHDR and IDAT
  size_t idatPiece = 0;  // > 0: image data split into chunks of this size
};

std::vector<uint8_t> makePng(const PngParts& p) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  putU32Be(header, p.width);
  putU32Be(header, p.height);
  header.insert(header.end(), {p.depth, p.colourType, 0, 0, 0});
  appendChunk(file, "IHDR", header);
  for (const auto& [type, data] : p.chunks) appendChunk(file, type, data);
  uLongf size = compressBound(static_cast<uLong>(p.rows.size()));
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, p.rows.data(), static_cast<uLong>(p.rows.size()));
  packed.resize(size);
  const size_t piece = p.idatPiece ? p.idatPiece : packed.size();
  for (size_t at = 0; at < packed.size(); at += piece)
    appendChunk(file, "IDAT",
                std::vector<uint8_t>(packed.begin() + at,
                                     packed.begin() + std::min(packed.size(), at + piece)));
  appendChunk(file, "IEND", {});
  return file;
}

Status read(const std::vector<uint8_t>& file, ImageDocument& doc) {
  return readPng(file.size(), file.data(), doc);
}

// Colour mode the document takes for a suite file, from its name: colour type at [4],
// bit depth at [6..7].
ColourMode expectedColourMode(const std::string& name) {
  const int colourType = name[4] - '0';
  const int depth = std::stoi(name.substr(6, 2));
  if (colourType != 0 && colourType != 3) return ColourMode::kTrueColour;
  return static_cast<ColourMode>(depth >= 8 ? 256 : 1 << depth);
}

bool withinOne(ColourValue a, ColourValue b) {
  auto near = [](int x, int y) { return std::abs(x - y) <= 1; };
  return near(redOf(a), redOf(b)) && near(greenOf(a), greenOf(b)) && near(blueOf(a), blueOf(b));
}

// Every suite file: the good ones give ImageMagick's colours with transparency put over
// white (its gamma handling switched off) within 1, in the colour mode of their type and
// depth; every file whose name starts with "x" is refused.
TEST(PngSuite, ConformanceWithImageMagick) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kSuite))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 175u);
  int refused = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = test::readFileBytes(kSuite + name);
    ImageDocument doc;
    const Status status = read(file, doc);
    if (name[0] == 'x') {
      EXPECT_FALSE(givesPicture(status));
      EXPECT_TRUE(doc.pixels.empty());
      ++refused;
      continue;
    }
    ASSERT_EQ(status, StatusCode::kOk);
    ASSERT_EQ(doc.pixels.size(), static_cast<size_t>(doc.pictureSize()));
    EXPECT_EQ(doc.colourMode, expectedColourMode(name));
    const test::RgbImage reference =
        test::storedDecode(kSuite + name, "-set colorspace sRGB -background white -alpha remove");
    ASSERT_FALSE(reference.pixels.empty()) << "no stored reference decode";
    ASSERT_EQ(doc.width, reference.width);
    ASSERT_EQ(doc.height, reference.height);
    int mismatches = 0;
    for (int y = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x)
        if (!withinOne(test::documentColour(doc, x, y), reference.at(x, y))) ++mismatches;
    EXPECT_EQ(mismatches, 0);
  }
  EXPECT_EQ(refused, 14);
}

// The rules the rest of the program sees PNG pictures by, to the bit: reduction of 16-bit
// samples, alpha over white, transparent keys and palettes.
TEST(ReadPng, TheDocumentRulesExactly) {
  struct Case {
    const char* name;
    uint8_t colourType, depth;
    std::vector<uint8_t> row;  // one pixel, filter type first
    std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
    ColourValue expected;
  };
  const Case cases[] = {
      {"16-bit grey rounds", 0, 16, {0, 0x12, 0xF0}, {}, makeColour(19, 19, 19)},
      {"16-bit grey key", 0, 16, {0, 0x12, 0x34}, {{"tRNS", {0x12, 0x34}}}, 0xFFFFFF},
      {"2-bit grey key", 0, 2, {0, 0x40}, {{"tRNS", {0, 1}}}, 0xFFFFFF},
      {"2-bit grey level", 0, 2, {0, 0x80}, {}, makeColour(170, 170, 170)},
      {"RGB key", 2, 8, {0, 1, 2, 3}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}, 0xFFFFFF},
      {"RGB near the key", 2, 8, {0, 1, 2, 4}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}, makeColour(1, 2, 4)},
      {"16-bit RGB", 2, 16, {0, 0xFF, 0xFF, 0x00, 0x81, 0x00, 0x80}, {}, makeColour(255, 1, 0)},
      {"grey alpha", 4, 8, {0, 100, 128}, {}, makeColour(177, 177, 177)},
      {"RGBA", 6, 8, {0, 0, 255, 10, 1}, {}, makeColour(254, 255, 254)},
      {"16-bit RGBA",
       6,
       16,
       {0, 0, 0, 0xFF, 0xFF, 0x12, 0x34, 0x80, 0x00},
       {},
       makeColour(127, 255, 137)},
      {"palette alpha",
       3,
       8,
       {0, 1},
       {{"PLTE", {9, 9, 9, 200, 0, 100}}, {"tRNS", {255, 51}}},
       makeColour(244, 204, 224)},
      {"past the palette", 3, 4, {0, 0x20}, {{"PLTE", {9, 9, 9, 200, 0, 100}}}, 0},
  };
  for (const Case& c : cases) {
    PngParts parts;
    parts.width = parts.height = 1;
    parts.colourType = c.colourType;
    parts.depth = c.depth;
    parts.rows = c.row;
    parts.chunks = c.chunks;
    ImageDocument doc;
    ASSERT_EQ(read(makePng(parts), doc), StatusCode::kOk) << c.name;
    EXPECT_EQ(test::documentColour(doc, 0, 0), c.expected) << c.name;
  }
}

// A 2 x 2 RGB picture with the given rows, whole or altered.
PngParts smallRgb() {
  PngParts parts;
  parts.rows = {0, 10, 20, 30, 40, 50, 60, 2, 1, 1, 1, 1, 1, 1};  // row 1 adds row 0 (Up)
  return parts;
}

TEST(ReadPng, DamagedAndHostileFiles) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    StatusCode expected;
    ColourValue bottomRight;  // for a picture: pixel (1, 1)
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, std::vector<uint8_t> file, StatusCode expected,
                 ColourValue bottomRight = 0) {
    cases.push_back({name, std::move(file), expected, bottomRight});
  };
  PngParts parts = smallRgb();
  add("whole", makePng(parts), StatusCode::kOk, makeColour(41, 51, 61));
  parts.idatPiece = 1;
  add("image data in one-byte chunks", makePng(parts), StatusCode::kOk, makeColour(41, 51, 61));
  parts = smallRgb();
  parts.chunks = {{"zzZz", {1, 2, 3}}, {"PLTE", {1, 2, 3}}};
  add("ancillary chunk and a suggested palette", makePng(parts), StatusCode::kOk,
      makeColour(41, 51, 61));
  parts.chunks = {{"ZZZZ", {}}};
  add("unknown critical chunk", makePng(parts), StatusCode::kUnsupported);
  parts = smallRgb();
  parts.width = 0;
  add("width 0", makePng(parts), StatusCode::kDamaged);
  parts = smallRgb();
  parts.colourType = 3;
  add("palette picture without PLTE", makePng(parts), StatusCode::kDamaged);
  parts = smallRgb();
  parts.width = parts.height = 50000;
  add("beyond the document limit", makePng(parts), StatusCode::kTooLarge);
  parts.colourType = 0;
  parts.width = parts.height = 40000;
  add("1.6 GB claimed by 20 bytes of data", makePng(parts), StatusCode::kDamaged);
  parts = smallRgb();
  parts.rows[7] = 5;
  add("unknown filter in row 1", makePng(parts), StatusCode::kPartial, 0);
  parts = smallRgb();
  parts.rows.resize(9);
  add("data ends in row 1", makePng(parts), StatusCode::kPartial, 0);
  parts = smallRgb();
  parts.rows.resize(500, 7);
  add("more data than the picture", makePng(parts), StatusCode::kOk, makeColour(41, 51, 61));

  for (const Case& c : cases) {
    ImageDocument doc;
    doc.pixels.assign(4, 1);  // an earlier picture, gone after any read
    EXPECT_EQ(read(c.file, doc), c.expected) << c.name;
    if (givesPicture(c.expected)) {
      EXPECT_EQ(test::documentColour(doc, 0, 0), makeColour(10, 20, 30)) << c.name;
      EXPECT_EQ(test::documentColour(doc, 1, 1), c.bottomRight) << c.name;
    } else {
      EXPECT_TRUE(doc.pixels.empty() && doc.pictureSize() == 0) << c.name;
    }
  }
}

// Any prefix of a file: no crash and no read past it (the sanitizer build checks); a
// picture that comes out holds, byte for byte, the whole file's picture or zeros.
TEST(ReadPng, TruncationAtEveryOffset) {
  for (const char* name : {"basn3p02.png", "basi2c16.png", "tbrn2c08.png", "basi4a08.png"}) {
    const std::vector<uint8_t> file = test::readFileBytes(kSuite + name);
    ImageDocument whole;
    ASSERT_EQ(read(file, whole), StatusCode::kOk) << name;
    int pictures = 0;
    for (size_t length = 0; length < file.size(); ++length) {
      const std::vector<uint8_t> prefix(file.begin(), file.begin() + length);
      ImageDocument doc;
      const Status status = read(prefix, doc);
      if (!givesPicture(status)) {
        ASSERT_TRUE(doc.pixels.empty()) << name << " " << length;
        continue;
      }
      ++pictures;
      ASSERT_EQ(doc.pixels.size(), whole.pixels.size()) << name << " " << length;
      for (size_t i = 0; i < doc.pixels.size(); ++i)
        ASSERT_TRUE(doc.pixels[i] == whole.pixels[i] || doc.pixels[i] == 0)
            << name << " " << length << " byte " << i;
    }
    EXPECT_GT(pictures, 0) << name;
  }
}

// The whole-pixel filter paths give the bytes of the plain rule; bytes from a narrow
// range make the predictor's ties common.
TEST(PngFilters, FastPathsMatchThePlainRule) {
  std::mt19937 random(7);
  for (unsigned spread : {256u, 5u})
    for (size_t bytesPerPixel = 1; bytesPerPixel <= 8; ++bytesPerPixel)
      for (uint8_t filter = 0; filter <= 5; ++filter)
        for (size_t length : {bytesPerPixel, 3 * bytesPerPixel, 61 * bytesPerPixel, size_t{50}}) {
          std::vector<uint8_t> prior(length), row(length);
          for (uint8_t& b : prior) b = static_cast<uint8_t>(random() % spread);
          for (uint8_t& b : row) b = static_cast<uint8_t>(random() % spread);
          std::vector<uint8_t> plain = row;
          const bool known =
              unfilterRowPlain(filter, bytesPerPixel, plain.data(), prior.data(), length);
          EXPECT_EQ(unfilterRow(filter, bytesPerPixel, row.data(), prior.data(), length), known);
          EXPECT_EQ(row, plain) << "filter " << int{filter} << ", " << bytesPerPixel << " bytes";
          EXPECT_EQ(known, filter <= 4);
        }
}

class RecordingPrompts : public UserPrompts {
 public:
  void showError(const std::string& text, const std::string& caption) override {
    errors.push_back(caption + ": " + text);
  }
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> errors;
};

// Open reads PNG by its extension; a refused file and one whose data breaks off are
// reported alike, and the latter keeps its rows.
TEST(OpenPng, MessagesAndPartialPictures) {
  const test::ScratchFolder scratch;
  PngParts cut = smallRgb();
  cut.rows.resize(9);
  ASSERT_TRUE(test::writeFileBytes(scratch / "cut.png", makePng(cut)));
  struct Case {
    std::string path;
    std::vector<std::string> errors;
    bool picture;
  };
  const Case cases[] = {
      {kSuite + "basn6a08.png", {}, true},
      {kSuite + "xcsn0g01.png", {"Megnyitás: Hiba a dekódolás során!"}, false},
      {scratch / "cut.png", {"Megnyitás: Hiba a dekódolás során!"}, true},
  };
  for (const Case& c : cases) {
    AppState state;
    RecordingPrompts prompts;
    openCommand(state, prompts, c.path);
    EXPECT_EQ(prompts.errors, c.errors) << c.path;
    EXPECT_EQ(state.document.holdsPicture(), c.picture) << c.path;
  }
}

}  // namespace
}  // namespace vz
