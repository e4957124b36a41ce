#include "tests/unit/test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace vz {

void PrintTo(StatusCode code, std::ostream* out) {
  *out << Status::describe(code);
}

void PrintTo(const Status& status, std::ostream* out) {
  *out << Status::describe(status.code()) << " (" << status.reason() << ")";
}

std::ostream& operator<<(std::ostream& out, ColourMode mode) {
  return out << paletteEntries(mode);
}

}  // namespace vz

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

bool runQuietly(const std::string& command) {
  return runCommand("(" + command + ") >/dev/null 2>&1") == 0;
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

RgbImage imageMagickDecode(const std::string& path, const std::string& options) {
  std::string ppm;
  // ImageMagick may decode a picture and still complain about it (a wrong size field,
  // say): what it wrote counts, whatever its exit status.
  runCommand(imageMagickConvert() + " '" + path + "[0]' " + options + " -depth 8 ppm:- 2>/dev/null",
             &ppm);
  RgbImage image;
  if (!parsePpm(ppm, image)) return RgbImage{};
  return image;
}

namespace {

// Where the reference decode of a test data file with these options is kept: the file's
// path under tests/data, then the options' FNV-1a hash, which keeps names short and apart.
std::filesystem::path storedDecodePath(const std::string& path, const std::string& options) {
  const std::filesystem::path data(VIZORKA_TESTDATA_DIR);
  const std::filesystem::path relative = std::filesystem::path(path).lexically_relative(data);
  if (relative.empty() || *relative.begin() == "..") return {};
  uint32_t hash = 2166136261u;
  for (const char c : options) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08x", hash);
  return data / "reference" / (relative.string() + "." + tag + ".ppm.gz");
}

}  // namespace

RgbImage storedDecode(const std::string& path, const std::string& options) {
  const std::filesystem::path stored = storedDecodePath(path, options);
  if (stored.empty()) return RgbImage{};
  std::string ppm;
  if (std::getenv("VIZORKA_RECORD_REFERENCES")) {
    runCommand(
        imageMagickConvert() + " '" + path + "[0]' " + options + " -depth 8 ppm:- 2>/dev/null",
        &ppm);
    std::filesystem::create_directories(stored.parent_path());
    gzFile out = gzopen(stored.c_str(), "wb9");
    if (!out) return RgbImage{};
    const bool written =
        gzwrite(out, ppm.data(), static_cast<unsigned>(ppm.size())) == static_cast<int>(ppm.size());
    if (gzclose(out) != Z_OK || !written) return RgbImage{};
  } else {
    gzFile in = gzopen(stored.c_str(), "rb");
    if (!in) return RgbImage{};
    std::array<char, 65536> buffer;
    int n;
    while ((n = gzread(in, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
      ppm.append(buffer.data(), static_cast<size_t>(n));
    gzclose(in);
    if (n < 0) return RgbImage{};
  }
  RgbImage image;
  if (!parsePpm(ppm, image)) return RgbImage{};
  return image;
}

ColourValue documentColour(const ImageDocument& doc, int32_t x, int32_t y) {
  const uint8_t* row = doc.row(y);
  if (doc.colourMode == ColourMode::kTrueColour)
    return makeColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  return doc.palette[getPackedPixel(row, x, bitsPerPixel(doc.colourMode))];
}

::testing::AssertionResult sameColours(const ImageDocument& doc, const RgbImage& reference) {
  if (reference.pixels.empty()) return ::testing::AssertionFailure() << "no reference decode";
  if (doc.width != reference.width || doc.height != reference.height)
    return ::testing::AssertionFailure()
           << "size " << doc.width << "x" << doc.height << ", reference " << reference.width << "x"
           << reference.height;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x)
      if (documentColour(doc, x, y) != reference.at(x, y))
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << "): " << std::hex << documentColour(doc, x, y)
               << ", reference " << reference.at(x, y);
  return ::testing::AssertionSuccess();
}

ScratchFolder::ScratchFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  // The process id too: other builds may run the same test at the same time.
  std::string name = "vizorka-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
                     std::to_string(getpid());
  for (char& c : name)
    if (c == '/') c = '_';
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace vz::test
