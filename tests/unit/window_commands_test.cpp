#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "converter/commands/commands.h"
#include "converter/model/file_io.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

struct Prompt {
  std::string text;
  std::string caption;
};

class RecordingPrompts : public UserPrompts {
 public:
  explicit RecordingPrompts(bool answer = false) : answer_(answer) {}
  void showError(const std::string& text, const std::string& caption) override {
    errors.push_back({text, caption});
  }
  bool askYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption});
    return answer_;
  }
  std::vector<Prompt> errors;
  std::vector<Prompt> questions;

 private:
  bool answer_;
};

// A 2 x 2 picture in 8 bits with a palette of 4 used entries.
std::vector<uint8_t> smallIndexedBmp() {
  std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54 + 16, 0, 0, 0, 40, 0, 0, 0,
                              2,   0,   0, 0, 2, 0, 0, 0, 1, 0, 8,       0, 0, 0, 0,  0, 8, 0,
                              0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 4,       0, 0, 0, 0,  0, 0, 0};
  const uint8_t table[16] = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
  bmp.insert(bmp.end(), table, table + 16);
  const uint8_t rows[8] = {2, 3, 0, 0, 0, 1, 0, 0};  // bottom row first
  bmp.insert(bmp.end(), rows, rows + 8);
  return bmp;
}

class WindowOpen : public ::testing::Test {
 protected:
  // A folder of this process's own, so parallel test runs never share files.
  std::string folder = ::testing::TempDir() + "vizorka-window-open-" + std::to_string(getpid());
  void SetUp() override { std::filesystem::create_directories(folder); }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string pathFor(const std::string& name) { return folder + "/" + name; }
  void write(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(writeFileSafely(pathFor(name), bytes).ok());
  }
  // A document holding a 4 x 3 true-colour picture, zoomed and in grey view.
  AppState stateWithPicture() {
    AppState state;
    allocatePicture(state.document, 4, 3, ColourMode::kTrueColour);
    state.document.interlaced = true;
    state.view.zoomX = 2;
    state.view.blackAndWhiteView = true;
    return state;
  }
};

TEST_F(WindowOpen, BmpBecomesTheNewPictureAtZoomOne) {
  write("kep.bmp", smallIndexedBmp());
  AppState state = stateWithPicture();
  RecordingPrompts prompts;
  const CommandResult result = openCommand(state, prompts, pathFor("kep.bmp"));
  const ViewUpdate& update = result.view;
  EXPECT_TRUE(result.status.ok());
  EXPECT_TRUE(prompts.errors.empty());
  EXPECT_EQ(state.document.width, 2);
  EXPECT_EQ(state.document.colourMode, ColourMode::kColours256);
  EXPECT_FALSE(state.document.tvcPicture);
  EXPECT_FALSE(state.document.interlaced);
  EXPECT_EQ(state.view.zoomX, 1);
  EXPECT_FALSE(state.view.blackAndWhiteView);
  EXPECT_EQ(state.filePath, pathFor("kep.bmp"));
  EXPECT_EQ(state.fileTitle, "kep.bmp");
  EXPECT_TRUE(update.titleChanged && update.newPicture && update.newScreenBitmap && update.render &&
              update.layout && update.repaint);
}

// Whatever gives no picture is reported and changes nothing: the picture, its name, its
// view and (through the view update) its history stay as they were.
TEST_F(WindowOpen, NothingChangesUnlessAPictureArrives) {
  std::vector<uint8_t> truncated = smallIndexedBmp();
  truncated.resize(truncated.size() - 5);
  write("rossz.bmp", truncated);
  write("szoveg.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
  write("adat.xyz", std::vector<uint8_t>(64 * 3, 0x55));
  std::filesystem::create_directories(pathFor("mappa.bmp"));
  const char* const kBadExtension = "A fájl kiterjesztése nem azonosítható!";
  const char* const kCannotOpen = "A fájlt nem lehet megnyitni!";
  const char* const kDecodeFailed = "Hiba a dekódolás során!";
  const struct {
    const char* name;
    const char* message;  // nullptr: the unknown-format question, answered No
    StatusCode status;
  } cases[] = {
      {"abc", kBadExtension, StatusCode::kUnsupported},
      {"x.webp", kBadExtension, StatusCode::kUnsupported},
      {"kep", kBadExtension, StatusCode::kUnsupported},
      {"hiányzó.bmp", kCannotOpen, StatusCode::kCannotOpen},
      {"mappa.bmp", kCannotOpen, StatusCode::kCannotOpen},
      {"rossz.bmp", kDecodeFailed, StatusCode::kDamaged},
      {"szoveg.png", kDecodeFailed, StatusCode::kNotThisFormat},
      {"adat.xyz", nullptr, StatusCode::kUnsupported},
  };
  for (const auto& c : cases) {
    AppState state = stateWithPicture();
    state.filePath = "C:\\kepek\\regi.bmp";
    state.fileTitle = "regi.bmp";
    const AppState before = state;
    RecordingPrompts prompts(false);
    const CommandResult result = openCommand(state, prompts, pathFor(c.name));
    EXPECT_EQ(result.status, c.status) << c.name;
    if (c.message) {
      ASSERT_EQ(prompts.errors.size(), 1u) << c.name;
      EXPECT_EQ(prompts.errors[0].text, c.message) << c.name;
      EXPECT_EQ(prompts.errors[0].caption, "Megnyitás");
    } else {
      ASSERT_EQ(prompts.questions.size(), 1u) << c.name;
      EXPECT_EQ(prompts.questions[0].text,
                "Ismeretlen formátumú fájl!\r\nFeldolgozzam mint 4-színű KEP fájlt?");
    }
    EXPECT_EQ(state.document, before.document) << c.name;
    EXPECT_EQ(state.filePath, before.filePath) << c.name;
    EXPECT_EQ(state.fileTitle, before.fileTitle) << c.name;
    EXPECT_EQ(state.view.zoomX, 2) << c.name;
    EXPECT_TRUE(state.view.blackAndWhiteView) << c.name;
    const ViewUpdate& update = result.view;
    EXPECT_FALSE(update.titleChanged || update.newPicture || update.newScreenBitmap ||
                 update.render || update.layout)
        << c.name;
  }

  AppState state = stateWithPicture();
  RecordingPrompts yes(true);
  openCommand(state, yes, pathFor("adat.xyz"));
  EXPECT_TRUE(state.document.tvcPicture);
  EXPECT_EQ(state.document.height, 3);
  EXPECT_EQ(state.fileTitle, "adat.xyz");
}

// Content decides where it carries a signature; the extension where it does not. Each
// format with a signature, made by ImageMagick, opens under every other format's name.
TEST_F(WindowOpen, SignaturesWinOverExtensions) {
  const std::string convert = test::imageMagickConvert();
  const char* const formats[] = {"bmp", "png", "gif", "jpg", "pcx"};
  const char* const names[] = {"bmp", "png", "gif", "jpg", "jpeg", "pcx", "xyz", "kep", "vid"};
  for (const char* format : formats) {
    const std::string made = pathFor(std::string("made.") + format);
    ASSERT_EQ(test::runCommand(convert + " -size 5x3 gradient:red-blue " + made), 0) << format;
    const std::vector<uint8_t> bytes = test::readFileBytes(made);
    for (const char* extension : names) {
      if (std::string(extension).find(format) == 0) continue;
      SCOPED_TRACE(std::string(format) + " named ." + extension);
      const std::string name = std::string("picture.") + extension;
      write(name, bytes);
      AppState state;
      RecordingPrompts prompts;
      EXPECT_TRUE(openCommand(state, prompts, pathFor(name)).status.ok());
      EXPECT_TRUE(prompts.errors.empty() && prompts.questions.empty());
      EXPECT_EQ(state.document.width, 5);
      EXPECT_EQ(state.document.height, 3);
      EXPECT_FALSE(state.document.tvcPicture);
    }
  }
  // Raw TVC video bytes that happen to start with "BM" are still a KEP picture.
  std::vector<uint8_t> video(64 * 3, 0x11);
  video[0] = 'B';
  video[1] = 'M';
  write("video.kep", video);
  AppState state;
  RecordingPrompts prompts;
  EXPECT_TRUE(openCommand(state, prompts, pathFor("video.kep")).status.ok());
  EXPECT_TRUE(state.document.tvcPicture);
  EXPECT_EQ(state.document.height, 3);
}

TEST(WindowPaste, ReadPictureBecomesUntitledAtZoomOne) {
  AppState state;
  state.filePath = "C:\\kepek\\a.bmp";
  state.fileTitle = "a.bmp";
  state.document.tvcPicture = true;
  state.document.interlaced = true;
  state.view.zoomY = 2;
  state.view.blackAndWhiteView = true;
  RecordingPrompts prompts;
  const ViewUpdate update = pasteCommand(state, prompts, [](ImageDocument& doc) {
                              EXPECT_FALSE(doc.holdsPicture());  // the old picture went first
                              return allocatePicture(doc, 5, 5, ColourMode::kTrueColour) > 0;
                            }).view;
  EXPECT_TRUE(prompts.errors.empty());
  EXPECT_EQ(state.fileTitle, "nevtelen");
  EXPECT_EQ(state.filePath, "C:\\kepek\\a.bmp");
  EXPECT_EQ(state.document.pictureSize(), 16 * 5);
  EXPECT_FALSE(state.document.tvcPicture);
  EXPECT_FALSE(state.document.interlaced);
  EXPECT_EQ(state.view.zoomY, 1);
  EXPECT_FALSE(state.view.blackAndWhiteView);
  EXPECT_TRUE(update.titleChanged && update.newScreenBitmap && update.render && update.layout);
}

TEST(WindowPaste, UnreadableBitmapIsReportedAndLeavesNoPicture) {
  AppState state;
  allocatePicture(state.document, 3, 3, ColourMode::kColours256);
  RecordingPrompts prompts;
  pasteCommand(state, prompts, [](ImageDocument&) { return false; });
  ASSERT_EQ(prompts.errors.size(), 1u);
  EXPECT_EQ(prompts.errors[0].text, "Sikertelen lekérdezés!");
  EXPECT_EQ(prompts.errors[0].caption, "Beillesztés");
  EXPECT_FALSE(state.document.holdsPicture());
  EXPECT_TRUE(state.document.pixels.empty());
}

}  // namespace
}  // namespace vz
