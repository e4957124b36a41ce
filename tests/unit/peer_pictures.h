// Helpers for comparing our readers with third-party tools: running a tool, reading
// its binary PPM decode, and the colour a document shows at a pixel.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "converter/shell/document.h"

namespace vz::test {

inline bool toolAvailable(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command quietly (its own redirections still apply); true on success.
inline bool runTool(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

inline std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, named after the running test
// (ctest runs each test in its own process, possibly side by side), removed after it.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "vizorka-" + std::string(test->test_suite_name()) + "-" + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // red, green, blue per pixel, top row first
  ColourValue at(int x, int y) const {
    const uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
    return makeColour(p[0], p[1], p[2]);
  }
};

// ImageMagick's decode of a picture file (the first frame), or an empty picture.
inline RgbPicture peerDecode(const std::filesystem::path& file,
                             const std::filesystem::path& scratchPpm) {
  RgbPicture picture;
  if (!runTool("convert '" + file.string() + "[0]' -depth 8 ppm:'" + scratchPpm.string() + "'"))
    return picture;
  const std::vector<uint8_t> bytes = fileBytes(scratchPpm);
  std::string header(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
  std::istringstream fields(header);
  std::string magic;
  int maximum = 0;
  fields >> magic >> picture.width >> picture.height >> maximum;
  const size_t start = static_cast<size_t>(fields.tellg()) + 1;
  const size_t size = 3 * static_cast<size_t>(picture.width) * picture.height;
  if (magic != "P6" || maximum != 255 || bytes.size() < start + size) return RgbPicture{};
  picture.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                     bytes.begin() + static_cast<std::ptrdiff_t>(start + size));
  return picture;
}

inline ColourValue documentColour(const ImageDocument& doc, int x, int y) {
  const uint8_t* row = doc.row(y);
  if (doc.colourMode == kTrueColour) return makeColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  return doc.palette[getPackedPixel(row, x, bitsPerPixel(doc.colourMode))];
}

// Every pixel of the document shows the peer's colour; reports the first mismatch.
inline ::testing::AssertionResult sameColours(const ImageDocument& doc, const RgbPicture& peer) {
  if (peer.rgb.empty()) return ::testing::AssertionFailure() << "no peer decode";
  if (doc.width != peer.width || doc.height != peer.height)
    return ::testing::AssertionFailure() << "size " << doc.width << "x" << doc.height << ", peer "
                                         << peer.width << "x" << peer.height;
  for (int y = 0; y < peer.height; ++y)
    for (int x = 0; x < peer.width; ++x)
      if (documentColour(doc, x, y) != peer.at(x, y))
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << "): " << std::hex << documentColour(doc, x, y)
               << ", peer " << peer.at(x, y);
  return ::testing::AssertionSuccess();
}

}  // namespace vz::test
