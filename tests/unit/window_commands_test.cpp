#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "converter/commands/commands.h"
#include "converter/model/file_io.h"

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
  void choose(AppState& state, const std::string& name) {
    state.filePath = pathFor(name);
    state.fileTitle = name;
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
  choose(state, "kep.bmp");
  RecordingPrompts prompts;
  const ViewUpdate update = openCommand(state, prompts, "", "");
  EXPECT_TRUE(prompts.errors.empty());
  EXPECT_EQ(state.document.width, 2);
  EXPECT_EQ(state.document.colourMode, ColourMode::kColours256);
  EXPECT_GT(state.document.pictureSize(), 0);
  EXPECT_FALSE(state.document.tvcPicture);
  EXPECT_FALSE(state.document.interlaced);
  EXPECT_EQ(state.view.zoomX, 1);
  EXPECT_FALSE(state.view.blackAndWhiteView);
  EXPECT_TRUE(state.fileData.empty());  // read straight into the document
  EXPECT_TRUE(update.titleChanged && update.newScreenBitmap && update.render && update.layout &&
              update.repaint);
}

TEST_F(WindowOpen, NameWithoutExtensionKeepsThePicture) {
  for (const char* name : {"abc", "x.jpeg", "kep"}) {
    AppState state = stateWithPicture();
    choose(state, name);
    RecordingPrompts prompts;
    const ViewUpdate update = openCommand(state, prompts, "", "");
    ASSERT_EQ(prompts.errors.size(), 1u) << name;
    EXPECT_EQ(prompts.errors[0].text, "A fájl kiterjesztése nem azonosítható!");
    EXPECT_EQ(prompts.errors[0].caption, "Megnyitás");
    EXPECT_EQ(state.document.width, 4) << name;
    EXPECT_EQ(state.view.zoomX, 2);
    EXPECT_TRUE(update.titleChanged);
    EXPECT_FALSE(update.render);
  }
}

TEST_F(WindowOpen, MissingFileIsReportedAndEmptiesTheDocument) {
  AppState state = stateWithPicture();
  choose(state, "hiányzó.bmp");
  RecordingPrompts prompts;
  openCommand(state, prompts, "", "");
  ASSERT_EQ(prompts.errors.size(), 1u);
  EXPECT_EQ(prompts.errors[0].text, "A fájlt nem lehet megnyitni!");
  EXPECT_EQ(prompts.errors[0].caption, "Megnyitás");
  EXPECT_FALSE(state.document.holdsPicture());
  EXPECT_EQ(state.document.width, 0);
}

// The question comes before anything is released: No keeps the picture, its name and
// its view as they were.
TEST_F(WindowOpen, UnknownExtensionAsksFirstAndNoKeepsEverything) {
  write("adat.xyz", std::vector<uint8_t>(64 * 3, 0x55));
  AppState state = stateWithPicture();
  const std::vector<uint8_t> pixels = state.document.pixels;
  choose(state, "adat.xyz");
  RecordingPrompts prompts(false);
  const ViewUpdate update = openCommand(state, prompts, "C:\\kepek\\regi.bmp", "regi.bmp");
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].text,
            "Ismeretlen formátumú fájl!\r\nFeldolgozzam mint 4-színű KEP fájlt?");
  EXPECT_EQ(prompts.questions[0].caption, "Megnyitás");
  EXPECT_TRUE(state.document.holdsPicture());
  EXPECT_EQ(state.document.pixels, pixels);
  EXPECT_FALSE(state.document.tvcPicture);
  EXPECT_EQ(state.view.zoomX, 2);
  EXPECT_TRUE(state.view.blackAndWhiteView);
  EXPECT_EQ(state.filePath, "C:\\kepek\\regi.bmp");
  EXPECT_EQ(state.fileTitle, "regi.bmp");
  EXPECT_TRUE(update.titleChanged);
  EXPECT_FALSE(update.newScreenBitmap || update.render);

  RecordingPrompts yes(true);
  choose(state, "adat.xyz");
  openCommand(state, yes, "", "");
  EXPECT_TRUE(state.document.holdsPicture());
  EXPECT_TRUE(state.document.tvcPicture);
  EXPECT_EQ(state.document.height, 3);
}

TEST_F(WindowOpen, UnreadableBmpLeavesNoHalfBuiltPicture) {
  std::vector<uint8_t> truncated = smallIndexedBmp();
  truncated.resize(truncated.size() - 5);
  write("rossz.bmp", truncated);
  AppState state = stateWithPicture();
  choose(state, "rossz.bmp");
  RecordingPrompts prompts;
  const ViewUpdate update = openCommand(state, prompts, "", "");
  ASSERT_EQ(prompts.errors.size(), 1u);  // reported, as every reader's failure is
  EXPECT_EQ(prompts.errors[0].text, "Hiba a dekódolás során!");
  EXPECT_EQ(prompts.errors[0].caption, "Megnyitás");
  EXPECT_FALSE(state.document.holdsPicture());
  EXPECT_EQ(state.document.width, 0);
  EXPECT_TRUE(state.document.pixels.empty());
  EXPECT_TRUE(update.newScreenBitmap && update.layout);  // the window shows only margin
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
    return allocatePicture(doc, 5, 5, ColourMode::kTrueColour);
  });
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
  pasteCommand(state, prompts, [](ImageDocument&) { return 0; });
  ASSERT_EQ(prompts.errors.size(), 1u);
  EXPECT_EQ(prompts.errors[0].text, "Sikertelen lekérdezés!");
  EXPECT_EQ(prompts.errors[0].caption, "Beillesztés");
  EXPECT_FALSE(state.document.holdsPicture());
  EXPECT_TRUE(state.document.pixels.empty());
}

}  // namespace
}  // namespace vz
