// Scores how close each dithering looks to the original (perceptual_metric.h: mean
// blurred CIEDE2000, lower is better) on four test photos fitted to 256 x 240 by
// ImageMagick, a colour gradient and a plasma picture:
//   16 colours: our Floyd-Steinberg, ordered, nearest and perceptual, and ImageMagick's
//               Floyd-Steinberg remap to the same 16 TVC colours;
//   4 and 2 colours: our Floyd-Steinberg and perceptual with the start colour sets
//               (4 colours also interlaced).
// Ours run through vizorka-cli with --predistort off, so that every result has the
// original's size. Every picture is read back through ImageMagick.
// Usage: bench_dither_quality [vizorka-cli [convert]]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_pictures.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/file_io.h"
#include "converter/model/tvc_colours.h"
#include "perceptual_metric.h"

namespace {

std::string gCli = VIZORKA_CLI_PATH;
std::string gConvert = "convert";
std::string gFolder;

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool run(const std::string& command) {
  if (std::system((command + " >/dev/null").c_str()) == 0) return true;
  std::fprintf(stderr, "failed: %s\n", command.c_str());
  return false;
}

std::string inFolder(const std::string& name) {
  return gFolder + "/" + name;
}

// Any picture ImageMagick reads, as 8-bit RGB.
bool readPicture(const std::string& path, metric::Picture& picture) {
  const std::string ppm = path + ".ppm";
  if (!run(gConvert + " " + quoted(path) + " -depth 8 " + quoted("ppm:" + ppm))) return false;
  std::vector<uint8_t> bytes;
  if (!vz::readWholeFile(ppm, bytes)) return false;
  int maximum = 0, consumed = 0;
  const std::string text(bytes.begin(), bytes.end());
  if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &picture.width, &picture.height, &maximum,
                  &consumed) != 3 ||
      maximum != 255)
    return false;
  const size_t size = 3 * static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  if (bytes.size() < static_cast<size_t>(consumed) + 1 + size) return false;
  picture.rgb.assign(bytes.begin() + consumed + 1, bytes.begin() + consumed + 1 + size);
  return true;
}

bool writeBmp(const std::string& path, const vz::ImageDocument& doc) {
  return vz::writeFileSafely(path, vz::encodeBmp(doc, {})).ok();
}

struct Method {
  const char* name;
  // The command that turns in.bmp into the result file; {in} and {out} are replaced.
  std::string command;
  const char* resultExtension;
};

std::string ours(const std::string& steps) {
  return quoted(gCli) + " {in} --predistort off " + steps + " --export {out}";
}

std::string substituted(std::string command, const std::string& in, const std::string& out) {
  command.replace(command.find("{in}"), 4, quoted(in));
  command.replace(command.find("{out}"), 5, quoted(out));
  return command;
}

struct Table {
  std::vector<std::string> rows;
  std::vector<double> means;
};

// Scores every method on every picture and prints one row per method.
Table score(const char* title, const std::vector<Method>& methods,
            const std::vector<std::string>& pictures,
            const std::vector<metric::Picture>& originals) {
  std::printf("\n%s\n%-34s", title, "method");
  for (const std::string& picture : pictures) std::printf(" %9.9s", picture.c_str());
  std::printf(" %9s\n", "mean");
  Table table;
  for (const Method& method : methods) {
    std::printf("%-34s", method.name);
    double total = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
      const std::string out = inFolder(pictures[i] + "-result" + method.resultExtension);
      metric::Picture result;
      double difference = -1;
      if (run(substituted(method.command, inFolder(pictures[i] + ".bmp"), out)) &&
          readPicture(out, result) && result.width == originals[i].width &&
          result.height == originals[i].height)
        difference = metric::meanBlurredDifference(originals[i], result);
      total += difference;
      std::printf(" %9.2f", difference);
    }
    const double mean = total / static_cast<double>(pictures.size());
    std::printf(" %9.2f\n", mean);
    std::fflush(stdout);
    table.rows.push_back(method.name);
    table.means.push_back(mean);
  }
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gCli = argv[1];
  if (argc > 2) gConvert = argv[2];
  char folder[] = "/tmp/vizorka-dither-quality-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  gFolder = folder;

  // The test photos: the rose (the IJG test picture), the bird, and two rendered scenes.
  const std::string data = VIZORKA_TESTDATA_DIR "/jpeg/";
  const std::vector<std::pair<std::string, std::string>> photos = {
      {"rose", "testorig.jpg"},
      {"bird", "shira_bird8.bmp"},
      {"scene", "vgl_6434_0018a.bmp"},
      {"sketch", "vgl_6548_0026a.bmp"}};
  std::vector<std::string> pictures;
  for (const auto& photo : photos) {
    if (!run(gConvert + " " + quoted(data + photo.second) + " -resize 256x240 -type TrueColor " +
             quoted("BMP3:" + inFolder(photo.first + ".bmp"))))
      return 1;
    pictures.push_back(photo.first);
  }
  if (!writeBmp(inFolder("gradient.bmp"), bench::colourGradient(256, 240)) ||
      !writeBmp(inFolder("plasma.bmp"), bench::plasma(256, 240)))
    return 1;
  pictures.push_back("gradient");
  pictures.push_back("plasma");

  std::vector<metric::Picture> originals(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i)
    if (!readPicture(inFolder(pictures[i] + ".bmp"), originals[i])) return 1;

  // The 16 TVC colours as ImageMagick's remap palette.
  std::string tvc16 = "P6\n16 1\n255\n";
  for (int i = 0; i < vz::kTvcColourCount; ++i) {
    const vz::ColourValue c = vz::tvcColour(i);
    tvc16 += static_cast<char>(vz::redOf(c));
    tvc16 += static_cast<char>(vz::greenOf(c));
    tvc16 += static_cast<char>(vz::blueOf(c));
  }
  const std::string palette = inFolder("tvc16.ppm");
  if (!vz::writeFileSafely(palette, std::vector<uint8_t>(tvc16.begin(), tvc16.end())).ok())
    return 1;

  const Table sixteen = score(
      "16 colours: mean blurred CIEDE2000 (lower is better)",
      {{"ours: Floyd-Steinberg", ours("--algorithm fs --dither 16"), ".bmp"},
       {"ours: ordered", ours("--algorithm ordered --dither 16"), ".bmp"},
       {"ours: nearest", ours("--nearest 16"), ".bmp"},
       {"ours: perceptual", ours("--algorithm perceptual --dither 16"), ".bmp"},
       {"ImageMagick: Floyd-Steinberg remap",
        quoted(gConvert) + " {in} -dither FloydSteinberg -remap " + quoted(palette) + " {out}",
        ".png"}},
      pictures, originals);
  const Table four =
      score("4 colours (start colour set)",
            {{"ours: Floyd-Steinberg", ours("--algorithm fs --dither 4"), ".bmp"},
             {"ours: perceptual", ours("--algorithm perceptual --dither 4"), ".bmp"}},
            pictures, originals);
  const Table interlaced = score(
      "4 colours interlaced (start colour sets)",
      {{"ours: Floyd-Steinberg", ours("--interlace on --algorithm fs --dither 4"), ".bmp"},
       {"ours: perceptual", ours("--interlace on --algorithm perceptual --dither 4"), ".bmp"}},
      pictures, originals);
  const Table two = score("2 colours (start colour set)",
                          {{"ours: Floyd-Steinberg", ours("--algorithm fs --dither 2"), ".bmp"},
                           {"ours: perceptual", ours("--algorithm perceptual --dither 2"), ".bmp"}},
                          pictures, originals);

  const double perceptual16 = sixteen.means[3], imageMagick16 = sixteen.means[4];
  const bool halfOfImageMagick = perceptual16 <= imageMagick16 / 2;
  const bool beatsFour = four.means[1] < four.means[0];
  const bool beatsInterlaced = interlaced.means[1] < interlaced.means[0];
  const bool beatsTwo = two.means[1] < two.means[0];
  std::printf("\n16 colours: perceptual %.2f, ImageMagick %.2f: ratio %.2f (target <= 0.50) %s\n",
              perceptual16, imageMagick16, perceptual16 / imageMagick16,
              halfOfImageMagick ? "met" : "MISSED");
  std::printf("4 colours: perceptual %.2f against Floyd-Steinberg %.2f %s\n", four.means[1],
              four.means[0], beatsFour ? "met" : "MISSED");
  std::printf("4 colours interlaced: perceptual %.2f against Floyd-Steinberg %.2f %s\n",
              interlaced.means[1], interlaced.means[0], beatsInterlaced ? "met" : "MISSED");
  std::printf("2 colours: perceptual %.2f against Floyd-Steinberg %.2f %s\n", two.means[1],
              two.means[0], beatsTwo ? "met" : "MISSED");
  run("rm -rf " + quoted(gFolder));
  return halfOfImageMagick && beatsFour && beatsInterlaced && beatsTwo ? 0 : 1;
}
