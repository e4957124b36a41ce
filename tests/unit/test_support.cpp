#include "tests/unit/test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace vz::test {

int runCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 65536> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    if (output) output->append(buffer.data(), n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveTool(const std::string& name) {
  return runCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

std::string imageMagickConvert() {
  return access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
}

bool parsePpm(const std::string& bytes, RgbImage& image) {
  std::istringstream in(bytes);
  std::string magic;
  int maxval = 0;
  in >> magic >> image.width >> image.height >> maxval;
  if (magic != "P6" || maxval != 255 || image.width <= 0 || image.height <= 0) return false;
  in.get();
  const size_t count = static_cast<size_t>(image.width) * image.height;
  std::string data(count * 3, '\0');
  in.read(&data[0], static_cast<std::streamsize>(data.size()));
  if (static_cast<size_t>(in.gcount()) != data.size()) return false;
  image.pixels.resize(count);
  for (size_t i = 0; i < count; ++i)
    image.pixels[i] =
        makeColour(static_cast<uint8_t>(data[3 * i]), static_cast<uint8_t>(data[3 * i + 1]),
                   static_cast<uint8_t>(data[3 * i + 2]));
  return true;
}

bool decodeWithImageMagick(const std::string& path, RgbImage& image) {
  std::string ppm;
  // ImageMagick may decode a picture and still complain about it (a wrong size field,
  // say): what it wrote counts, whatever its exit status.
  runCommand(imageMagickConvert() + " '" + path + "' -depth 8 ppm:- 2>/dev/null", &ppm);
  return parsePpm(ppm, image);
}

ColourValue documentColour(const ImageDocument& doc, int32_t x, int32_t y) {
  const uint8_t* row = doc.row(y);
  if (doc.colourMode == kTrueColour) return makeColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  return doc.palette[getPackedPixel(row, x, bitsPerPixel(doc.colourMode))];
}

std::string makeTempFolder(const std::string& stem) {
  std::string pattern = "/tmp/" + stem + "-XXXXXX";
  const char* made = mkdtemp(&pattern[0]);
  return made ? std::string(made) : std::string();
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vz::test
