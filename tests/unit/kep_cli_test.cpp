// vizorka-cli with TVC picture files: opening, the save options and --save.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/formats/tvc/kep_reader.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/file_io.h"
#include "kep_test_support.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string output;  // standard output
};

CliRun runCli(const fs::path& folder, const std::string& arguments) {
  const fs::path outputFile = folder / "cli-output.txt";
  const std::string command = std::string("'") + VIZORKA_CLI_PATH + "' " + arguments + " >'" +
                              outputFile.string() + "' 2>/dev/null </dev/null";
  CliRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  Bytes output;
  readWholeFile(outputFile.string(), output);
  run.output.assign(output.begin(), output.end());
  return run;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// A 16-colour KEP file of 21 x 5 with every value in it.
fs::path writeSixteenColourKep(const fs::path& folder) {
  ImageDocument doc = kep_test::makePicture(ColourMode::kColours16, 21, 5);
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x)
      setPackedPixel(doc.row(y), x, 4, static_cast<uint8_t>((x / 3 + y) % 16));
  KepEncoding encoding;
  EXPECT_EQ(encodeKep(doc, SaveOptions(), encoding), KepEncodeStatus::kOk);
  const fs::path path = folder / "forras.kep";
  EXPECT_TRUE(writeFileSafely(path.string(), encoding.picture).ok());
  return path;
}

ImageDocument readBack(const fs::path& path) {
  Bytes file;
  EXPECT_TRUE(readWholeFile(path.string(), file));
  ImageDocument doc;
  EXPECT_TRUE(givesPicture(readKep(file.size(), file.data(), doc)));
  return doc;
}

TEST(KepCli, SavedFilesReopenWithTheSamePicture) {
  const fs::path folder = kep_test::freshFolder();
  const fs::path source = writeSixteenColourKep(folder);
  const ImageDocument original = readBack(source);
  for (const std::string coding : {"plain", "rle"}) {
    const fs::path saved = folder / ("mentett-" + coding + ".kep");
    ASSERT_EQ(
        runCli(folder, quoted(source) + " --coding " + coding + " --save " + quoted(saved)).status,
        0)
        << coding;
    const CliRun reopened = runCli(folder, quoted(saved) + " --info");
    ASSERT_EQ(reopened.status, 0);
    EXPECT_NE(reopened.output.find("\"width\":21,\"height\":5"), std::string::npos)
        << reopened.output;
    const ImageDocument copy = readBack(saved);
    EXPECT_EQ(copy.colourMode, ColourMode::kColours16);
    EXPECT_EQ(copy.pixels, original.pixels) << coding;
  }
}

TEST(KepCli, FailuresGiveTheirExitStatus) {
  const fs::path folder = kep_test::freshFolder();
  const fs::path source = writeSixteenColourKep(folder);
  EXPECT_EQ(runCli(folder, quoted(source) + " --save " + quoted(folder / "nincs" / "x.kep")).status,
            3);
  const fs::path bmp = fs::path(VIZORKA_SOURCE_DIR) / "samples" / "sample.bmp";
  EXPECT_EQ(runCli(folder, quoted(bmp) + " --save " + quoted(folder / "y.kep")).status, 4)
      << "a true-colour picture is no KEP picture: the step cannot run";
  EXPECT_FALSE(fs::exists(folder / "y.kep"));
}

TEST(KepCli, UnknownExtensionOpensAsKepOnlyWhenAsked) {
  const fs::path folder = kep_test::freshFolder();
  const fs::path unknown = folder / "kep.dat";
  ASSERT_TRUE(writeFileSafely(unknown.string(), Bytes(16000, 0x0F)).ok());
  EXPECT_EQ(runCli(folder, quoted(unknown) + " --info").status, 1);
  const CliRun run = runCli(folder, quoted(unknown) + " --as-kep --info");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("\"width\":256,\"height\":250,\"rowStride\":128,\"colourMode\":4"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\"tvcPicture\":1"), std::string::npos);
}

}  // namespace
}  // namespace vz
