// Helpers shared by tests: running peer tools, reading their PPM output, and reading a
// document's pixel colours.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// Names a status in a failed assertion: its code and reason.
void PrintTo(const Status& status, std::ostream* out);
void PrintTo(StatusCode code, std::ostream* out);

// A colour mode as its number of palette entries (0: true colour).
std::ostream& operator<<(std::ostream& out, ColourMode mode);

// Every mode a document may hold, for tests that go through them all.
inline constexpr ColourMode kEveryColourMode[] = {
    ColourMode::kTrueColour, ColourMode::kColours2,   ColourMode::kColours4,
    ColourMode::kColours8,   ColourMode::kColours16,  ColourMode::kColours32,
    ColourMode::kColours64,  ColourMode::kColours128, ColourMode::kColours256};

}  // namespace vz

namespace vz::test {

// Runs a shell command; returns its exit status and appends its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

// Runs a shell command with its output discarded; true when it succeeded.
bool runQuietly(const std::string& command);

// The ImageMagick convert program (the Debian one when installed).
std::string imageMagickConvert();
bool haveTool(const std::string& name);

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<ColourValue> pixels;  // row by row, top row first
  ColourValue at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Parses a binary PPM (P6, maxval 255). False when it is not one.
bool parsePpm(const std::string& bytes, RgbImage& image);

// ImageMagick's decode of a picture file (its first frame) into RGB, with any options
// put before the output; empty when it gives none.
RgbImage imageMagickDecode(const std::string& path, const std::string& options = "");

// ImageMagick's decode of a file under tests/data, as stored in tests/data/reference by
// tests/data/make_reference_decodes.sh, so that the conformance tests need no ImageMagick;
// empty when none is stored. With VIZORKA_RECORD_REFERENCES set in the environment it
// decodes with ImageMagick and stores the result instead.
RgbImage storedDecode(const std::string& path, const std::string& options = "");

// The colour of document pixel (x, y): through the palette for indexed modes. Colour
// mode 4 is read as two pixels a byte, like the other 4-bit modes.
ColourValue documentColour(const ImageDocument& doc, int32_t x, int32_t y);

// Every pixel of the document shows the reference colour; reports the first mismatch.
::testing::AssertionResult sameColours(const ImageDocument& doc, const RgbImage& reference);

// A fresh folder under the system's temporary folder, named after the running test and
// process (ctest runs tests in separate processes, possibly side by side), removed after it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vz::test
