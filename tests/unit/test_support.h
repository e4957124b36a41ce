// Helpers shared by tests: running peer tools, reading their PPM output, and reading a
// document's pixel colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/shell/document.h"

namespace vz::test {

// Runs a shell command; returns its exit status and appends its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

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

// Decodes any picture with ImageMagick into RGB.
bool decodeWithImageMagick(const std::string& path, RgbImage& image);

// The colour of document pixel (x, y): through the palette for indexed modes. Colour
// mode 4 is read as two pixels a byte, like the other 4-bit modes.
ColourValue documentColour(const ImageDocument& doc, int32_t x, int32_t y);

// A fresh folder under the system's temporary folder, removed by the caller's choice.
std::string makeTempFolder(const std::string& stem);

std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vz::test
