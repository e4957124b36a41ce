#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "converter/formats/bmp.h"
#include "converter/formats/bmp_writer.h"
#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

const std::string kCli = VIZORKA_CLI_PATH;
const std::string kSample = std::string(VIZORKA_SOURCE_DIR) + "/samples/sample.bmp";

int cli(const std::string& arguments, std::string* output = nullptr) {
  return test::runCommand(kCli + " " + arguments + " 2>/dev/null", output);
}

TEST(Cli, InfoDescribesTheOpenedSample) {
  std::string output;
  ASSERT_EQ(cli("'" + kSample + "' --info", &output), 0);
  EXPECT_EQ(output,
            "{\"width\":320,\"height\":240,\"rowStride\":960,\"colourMode\":0,"
            "\"pictureSize\":230400,\"tvcPicture\":0,\"interlaced\":0,\"zoomX\":1,\"zoomY\":1,"
            "\"palette\":[]}\n");
}

TEST(Cli, ExitStatuses) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  EXPECT_EQ(cli(""), 2);
  EXPECT_EQ(cli("'" + kSample + "' --frobnicate"), 2);
  EXPECT_EQ(cli("'" + kSample + "' --threshold 300"), 2);
  EXPECT_EQ(cli("'" + kSample + "' --colours 1,2,3"), 2);
  EXPECT_EQ(cli("'" + kSample + "' --dither"), 2);
  EXPECT_EQ(cli(folder + "/missing.bmp --info"), 1);
  EXPECT_EQ(cli(folder + "/noextension --info"), 1);
  test::writeFileBytes(folder + "/junk.bmp", {'B', 'M', 1, 2, 3});
  EXPECT_EQ(cli(folder + "/junk.bmp --info"), 1);
  // An unknown extension is refused unless it is to be read as a KEP file.
  test::writeFileBytes(folder + "/picture.xyz", std::vector<uint8_t>(64 * 10, 0x11));
  EXPECT_EQ(cli(folder + "/picture.xyz --info"), 1);
  EXPECT_EQ(cli("'" + kSample + "' --export " + folder + "/no/such/folder/out.bmp"), 3);
  EXPECT_EQ(cli("'" + kSample + "' --preview " + folder + "/no/such/folder/out.png"), 3);
  // A resized picture over the picture limit stops the steps before anything is written.
  EXPECT_EQ(cli("'" + kSample + "' --resize 65535,65535,stretch --export " + folder + "/big.bmp"),
            4);
  EXPECT_FALSE(std::filesystem::exists(folder + "/big.bmp"));
}

// One row per exit status: its message, in English, names the file or the step and why.
TEST(Cli, EveryExitStatusSaysWhy) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  const std::string sample = "'" + kSample + "'";
  ASSERT_EQ(cli(sample + " --export " + folder + "/whole.png"), 0);
  std::vector<uint8_t> cut = test::readFileBytes(folder + "/whole.png");
  cut.resize(cut.size() / 2);
  test::writeFileBytes(folder + "/cut.png", cut);
  test::writeFileBytes(folder + "/text.png", {'h', 'e', 'l', 'l', 'o'});
  const struct {
    std::string arguments;
    int status;
    std::string message;  // the start of standard error
  } cases[] = {
      {sample + " --info", 0, ""},
      {folder + "/text.png --info", 1, "vizorka-cli: " + folder + "/text.png: not a"},
      {sample + " --export " + folder + "/out.jpg", 2, "vizorka-cli: --export: expected a name"},
      {sample + " --export " + folder + "/no/out.bmp", 3,
       "vizorka-cli: " + folder + "/no/out.bmp: No such file or directory"},
      {sample + " --nearest 16 --halve h --export " + folder + "/never.bmp", 4,
       "vizorka-cli: --halve: needs a true-colour picture"},
      {sample + " --save " + folder + "/never.kep", 4, "vizorka-cli: --save: needs a 2-, 4-"},
      {folder + "/cut.png --export " + folder + "/kept.bmp", 5,
       "vizorka-cli: " + folder + "/cut.png: data ends at row"},
      // The highest status wins: a damaged input whose output cannot be written.
      {folder + "/cut.png --export " + folder + "/no/kept.bmp", 5, "vizorka-cli: "},
  };
  for (const auto& c : cases) {
    std::string errors;
    EXPECT_EQ(test::runCommand(kCli + " " + c.arguments + " 2>&1 >/dev/null", &errors), c.status)
        << c.arguments;
    EXPECT_EQ(errors.substr(0, c.message.size()), c.message) << c.arguments << "\n" << errors;
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/never.bmp"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/never.kep"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/kept.bmp"));
}

// Inputs that are no picture files give no picture, without a crash or a wait: folders,
// pipes (opening one waits for a writer), a sparse 100 GB file, and empty files.
TEST(Cli, InputsThatAreNoPictureFiles) {
  const test::ScratchFolder scratch;
  std::vector<std::string> names = {"folder.bmp", "folder.jpg", "pipe.kep",
                                    "pipe.jpg",   "huge.bmp",   "huge.jpg"};
  ASSERT_TRUE(std::filesystem::create_directory(scratch / "folder.bmp"));
  ASSERT_TRUE(std::filesystem::create_directory(scratch / "folder.jpg"));
  ASSERT_EQ(mkfifo((scratch / "pipe.kep").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((scratch / "pipe.jpg").c_str(), 0600), 0);
  for (const char* name : {"huge.bmp", "huge.jpg"}) {
    ASSERT_TRUE(test::writeFileBytes(scratch / name, {'B', 'M'}));
    std::filesystem::resize_file(scratch / name, uintmax_t{100} << 30);
  }
  for (const char* extension : {"bmp", "pcx", "gif", "jpg", "kep", "vid", "r16"}) {
    names.push_back(std::string("empty.") + extension);
    ASSERT_TRUE(test::writeFileBytes(scratch / names.back(), {}));
  }
  for (const std::string& name : names)
    EXPECT_EQ(
        test::runCommand("timeout 60 " + kCli + " '" + (scratch / name) + "' --info 2>/dev/null"),
        1)
        << name;
}

// Help goes to standard output with status 0; slips in the arguments are usage errors
// (status 2, the reason on standard error) before anything is read or written.
TEST(Cli, HelpAndArgumentSlips) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  std::string help;
  EXPECT_EQ(cli("--help", &help), 0);
  EXPECT_EQ(help.rfind("Usage: vizorka-cli INPUT [STEP]...", 0), 0u) << help;
  EXPECT_NE(help.find("--dither 2|4|16"), std::string::npos) << help;
  EXPECT_EQ(cli("'" + kSample + "' -h"), 0);

  const struct {
    const char* steps;
    const char* reason;
  } slips[] = {
      {"--bogus", "unknown option: --bogus"},
      {"--save --info", "--save: expected a file name"},
      {"--export --dither", "--export: expected a file name"},
      {"--crop 99999999999999999999,0,5,5", "--crop: expected X,Y,W,H"},
      {"--crop 0,0,-5,5", "--crop: expected X,Y,W,H"},
      {"--threshold ' 7'", "--threshold: expected a number"},
      {"--threshold +7", "--threshold: expected a number"},
      {"--threshold 256", "--threshold: expected a number"},
      {"--mask-colour 16", "--mask-colour: expected a TVC colour index"},
      {"--colours 0,1,2,3,4,5,6,7,8,9,", "--colours: expected ten"},
      {"--dither 8", "--dither: expected 2|4|16"},
      {"--dither", "--dither: missing value"},
      {"--resize 0,5", "--resize: expected W,H[,fit|fill|stretch]"},
      {"--resize 5,65536", "--resize: expected W,H"},
      {"--resize 5,5,squash", "--resize: expected W,H"},
      {"--resize 5", "--resize: expected W,H"},
      {"--resize 5,5,fit,", "--resize: expected W,H"},
  };
  for (const auto& slip : slips) {
    std::string errors;
    const std::string command =
        kCli + " '" + kSample + "' --save " + folder + "/out.kep " + slip.steps + " 2>&1";
    EXPECT_EQ(test::runCommand(command, &errors), 2) << slip.steps;
    EXPECT_NE(errors.find(slip.reason), std::string::npos) << slip.steps << ": " << errors;
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A write that fails part-way (here a file-size limit, as on a nearly full disk) keeps
// the file it was to replace, writes no palette file, and leaves nothing else behind.
TEST(Cli, FailedWritesKeepTheOldFiles) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  const struct {
    const char* steps;
    const char* target;
    const char* palette;
  } cases[] = {
      {"--dither 16 --save", "pic.kep", nullptr},
      {"--export", "pic.bmp", nullptr},
      {"--dither 4 --format sprite --palette-file on --save", "spr.kep", "spr.PAL"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/" + c.target;
    test::writeFileBytes(target, old);
    if (c.palette) test::writeFileBytes(folder + "/" + c.palette, old);
    const std::string command = "(ulimit -f 1; trap '' XFSZ; exec " + kCli + " '" + kSample + "' " +
                                c.steps + " '" + target + "') 2>/dev/null";
    EXPECT_EQ(test::runCommand(command), 3) << c.steps;
    EXPECT_EQ(test::readFileBytes(target), old) << c.steps;
    if (c.palette) {
      EXPECT_EQ(test::readFileBytes(folder + "/" + c.palette), old) << c.steps;
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, c.palette ? 2u : 1u) << c.steps;
  }
}

TEST(Cli, ExportWritesTheDocumentAsItsOwnBmp) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch.path();
  const std::string exported = folder + "/out.bmp";
  ASSERT_EQ(cli("'" + kSample + "' --crop 10,20,33,7 --export '" + exported + "' --info"), 0);
  const std::vector<uint8_t> original = test::readFileBytes(kSample);
  const std::vector<uint8_t> written = test::readFileBytes(exported);
  ImageDocument source, result;
  ASSERT_EQ(readBmp(original.size(), original.data(), source), StatusCode::kOk);
  ASSERT_EQ(readBmp(written.size(), written.data(), result), StatusCode::kOk);
  ASSERT_EQ(result.width, 33);
  ASSERT_EQ(result.height, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 33; ++x)
      EXPECT_EQ(test::documentColour(result, x, y), test::documentColour(source, x + 10, y + 20));
}

// encodeBmp writes every colour mode in its own depth with the render's colour table,
// and reading it back gives the same pixels.
TEST(Render, ExportRoundTripsEveryColourMode) {
  for (ColourMode mode : kEveryColourMode) {
    SCOPED_TRACE(mode);
    ImageDocument doc;
    allocatePicture(doc, 13, 5, mode);
    const int bits = bitsPerPixel(mode);
    const bool trueColour = mode == ColourMode::kTrueColour;
    const int values = trueColour ? 256 : paletteEntries(mode);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < (trueColour ? 39 : 13); ++x) {
        const auto value = static_cast<uint8_t>((x * 7 + y * 3) % values);
        if (trueColour)
          doc.row(y)[x] = value;
        else
          setPackedPixel(doc.row(y), x, bits, value);
      }
    for (int i = 0; i < 256; ++i) doc.palette[static_cast<size_t>(i)] = 0x010203u * i;
    const std::vector<uint8_t> file = encodeBmp(doc, describeRender(doc, false).colourTable);
    ImageDocument back;
    ASSERT_EQ(readBmp(file.size(), file.data(), back), StatusCode::kOk);
    EXPECT_EQ(back.width, 13);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.pixels, doc.pixels);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x)
        EXPECT_EQ(test::documentColour(back, x, y), test::documentColour(doc, x, y));
  }
}

TEST(Render, ColourTableSizeAndBlackAndWhiteView) {
  ImageDocument doc;
  doc.colourMode = ColourMode::kColours4;
  doc.palette[0] = 0x0000FF;
  EXPECT_EQ(describeRender(doc, false).colourTable.size(), 16u);
  EXPECT_EQ(describeRender(doc, false).bitsPerPixel, 4);
  EXPECT_EQ(describeRender(doc, true).colourTable[0], 0x4C4C4Cu);  // grey level 76
  doc.colourMode = ColourMode::kColours128;
  EXPECT_EQ(describeRender(doc, false).colourTable.size(), 128u);
  doc.colourMode = ColourMode::kTrueColour;
  EXPECT_TRUE(describeRender(doc, true).colourTable.empty());
  EXPECT_EQ(describeRender(doc, true).bitsPerPixel, 24);
}

}  // namespace
}  // namespace vz
