// Undo, redo, the changed mark and the unsaved-changes question, driven through the
// command table as the window drives it.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "converter/commands/command_table.h"
#include "converter/commands/history.h"
#include "converter/formats/bmp_writer.h"
#include "converter/formats/tvc/kep_redecode.h"
#include "converter/model/file_io.h"
#include "converter/view/crop.h"
#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

using Answer = UserPrompts::Answer;

struct Prompt {
  std::string text;
  std::string caption;
};

// The window's side of the commands, scripted: the answer to the unsaved-changes
// question, the file the open dialog gives, the file the save dialog gives (none:
// cancelled), a clipboard holding a 3 x 3 picture, and dialogs that change the picture.
class ScriptedHost : public CommandHost, public UserPrompts {
 public:
  Answer answer = Answer::kCancel;
  std::string openPath;
  std::string savePath;
  std::vector<Prompt> questions;
  std::vector<Prompt> errors;
  int saveDialogs = 0;

  UserPrompts& prompts() override { return *this; }
  void showError(const std::string& text, const std::string& caption) override {
    errors.push_back({text, caption});
  }
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  Answer askYesNoCancel(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption});
    return answer;
  }
  bool chooseOpenFile(const AppState&, std::string& path) override {
    path = openPath;
    return true;
  }
  bool editSaveOptions(AppState&) override { return true; }
  bool chooseSaveFile(const AppState&, std::string& path) override {
    ++saveDialogs;
    if (savePath.empty()) return false;
    path = savePath;
    return true;
  }
  bool clipboardHoldsPicture() override { return true; }
  bool pasteFromClipboard(AppState& state, ViewUpdate& update) override {
    update = pasteCommand(state, *this, [](ImageDocument& doc) {
               return allocatePicture(doc, 3, 3, ColourMode::kTrueColour) > 0;
             }).view;
    return true;
  }
  // The palette dialog exchanges entries 0 and 1.
  bool editPalette(AppState& state) override {
    std::swap(state.document.palette[0], state.document.palette[1]);
    return true;
  }
  // The properties dialog decodes the picture anew at half its width, at zoom 1 x 1.
  bool showPictureProperties(AppState& state) override {
    KepDecodeChoice choice;
    choice.width = static_cast<uint32_t>(state.document.width / 2);
    choice.height = static_cast<uint32_t>(state.document.height);
    redecodeKepPicture(state.document, state.kepDecodeColours, choice);
    state.view.zoomX = state.view.zoomY = 1;
    return true;
  }
};

// A true-colour picture with every pixel different, opened from `folder`.
AppState openedPicture(const test::ScratchFolder& folder, ScriptedHost& host, int32_t width = 40,
                       int32_t height = 30) {
  ImageDocument picture;
  allocatePicture(picture, width, height, ColourMode::kTrueColour);
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = static_cast<uint8_t>(i * 7 + i / 251);
  EXPECT_TRUE(writeFileSafely(folder / "foto.bmp",
                              encodeBmp(picture, describeRender(picture, false).colourTable))
                  .ok());
  AppState state;
  host.openPath = folder / "foto.bmp";
  runWindowCommand(state, host, CommandId::kOpen);
  EXPECT_TRUE(state.document.holdsPicture());
  return state;
}

// Everything an undo must bring back.
::testing::AssertionResult sameAsSnapshot(const AppState& state, const DocumentSnapshot& s) {
  const ImageDocument& a = state.document;
  const ImageDocument& b = s.document;
  if (a.pixels != b.pixels || a.width != b.width || a.height != b.height ||
      a.rowStride != b.rowStride || a.colourMode != b.colourMode || a.palette != b.palette ||
      a.pictureSize() != b.pictureSize() || a.tvcPicture != b.tvcPicture ||
      a.interlaced != b.interlaced)
    return ::testing::AssertionFailure() << "the document differs";
  if (state.view.zoomX != s.zoomX || state.view.zoomY != s.zoomY ||
      state.view.blackAndWhiteView != s.blackAndWhiteView)
    return ::testing::AssertionFailure() << "the zoom or the grey view differs";
  if (state.filePath != s.filePath || state.fileTitle != s.fileTitle)
    return ::testing::AssertionFailure() << "the title's file differs: " << state.fileTitle;
  return ::testing::AssertionSuccess();
}

DocumentSnapshot snapshotOf(const AppState& state) {
  return {state.document,
          state.view.zoomX,
          state.view.zoomY,
          state.view.blackAndWhiteView,
          state.filePath,
          state.fileTitle,
          0};
}

// Every kind of change the window makes, undone one by one to the opened picture and
// redone to the last: each step comes back exactly, title's file included.
TEST(History, UndoAndRedoBringBackEveryStepExactly) {
  test::ScratchFolder folder;
  ScriptedHost host;
  AppState state = openedPicture(folder, host);
  host.savePath = folder / "mentett.kep";
  std::vector<DocumentSnapshot> shown = {snapshotOf(state)};
  const auto cropByMouse = [&] {
    recordChanges(state, [&] {
      cropDocument(state.document, 1, 2, 39, 29);
      return ViewUpdate{};
    });
  };
  const std::vector<std::function<void()>> steps = {
      [&] { runWindowCommand(state, host, CommandId::kHalveVertically); },
      [&] {
        runWindowCommand(state, host, CommandId::kGrey16);
      },  // halves again; zoom 2 x 1, grey view
      cropByMouse,
      [&] { runWindowCommand(state, host, CommandId::kSaveAs); },  // not a step: names the file
      [&] { runWindowCommand(state, host, CommandId::kNearest4); },
      [&] { runWindowCommand(state, host, CommandId::kPalette); },
      [&] { runWindowCommand(state, host, CommandId::kProperties); },  // zoom 1 x 1
  };
  for (const auto& step : steps) {
    step();
    shown.push_back(snapshotOf(state));
  }
  // Save as changed no picture: the picture before it, under its old name, is no step.
  shown.erase(shown.begin() + 3);
  ASSERT_TRUE(host.errors.empty());
  ASSERT_EQ(state.history.undoSteps.size(), shown.size() - 1);

  for (size_t i = shown.size() - 1; i-- > 0;) {
    EXPECT_TRUE(commandEnabled(commandRow(CommandId::kUndo), state));
    runWindowCommand(state, host, CommandId::kUndo);
    EXPECT_TRUE(sameAsSnapshot(state, shown[i])) << "undo to step " << i;
  }
  EXPECT_FALSE(commandEnabled(commandRow(CommandId::kUndo), state));
  for (size_t i = 1; i < shown.size(); ++i) {
    runWindowCommand(state, host, CommandId::kRedo);
    EXPECT_TRUE(sameAsSnapshot(state, shown[i])) << "redo to step " << i;
  }
  EXPECT_FALSE(commandEnabled(commandRow(CommandId::kRedo), state));

  // A new change after undoing drops the redo steps.
  runWindowCommand(state, host, CommandId::kUndo);
  runWindowCommand(state, host, CommandId::kDither2);
  EXPECT_FALSE(canRedo(state));
  // Open, Paste start afresh.
  for (CommandId command : {CommandId::kOpen, CommandId::kPaste}) {
    host.answer = Answer::kNo;
    runWindowCommand(state, host, command);
    EXPECT_FALSE(canUndo(state) || canRedo(state)) << static_cast<int>(command);
  }
}

// The oldest steps go when the steps outgrow their count or their bytes; the newest
// stay and still undo exactly.
TEST(History, TheBoundDropsTheOldestSteps) {
  struct Case {
    size_t stepLimit;
    size_t byteLimitInPictures;  // in bytes of the picture, which every step keeps
    size_t kept;
  };
  for (const Case& c : {Case{64, 100, 6}, Case{2, 100, 2}, Case{64, 3, 3}, Case{64, 0, 0}}) {
    test::ScratchFolder folder;
    ScriptedHost host;
    AppState state = openedPicture(folder, host);
    const size_t pictureBytes = state.document.pixels.size();
    state.history.stepLimit = c.stepLimit;
    state.history.byteLimit = c.byteLimitInPictures * pictureBytes;
    std::vector<DocumentSnapshot> shown = {snapshotOf(state)};
    for (int i = 0; i < 6; ++i) {
      // Each step flips one byte: every step keeps a picture as large as the first.
      recordChanges(state, [&] {
        state.document.pixels[static_cast<size_t>(i)] ^= 0xFF;
        return ViewUpdate{};
      });
      shown.push_back(snapshotOf(state));
    }
    EXPECT_EQ(state.history.undoSteps.size(), c.kept) << c.stepLimit;
    // Beyond every bound (no step can hold the picture) the change is still marked.
    EXPECT_TRUE(pictureChanged(state)) << c.stepLimit;
    EXPECT_LE(historyBytes(state.history), state.history.byteLimit);
    for (size_t i = 0; i < c.kept; ++i) runWindowCommand(state, host, CommandId::kUndo);
    EXPECT_FALSE(canUndo(state));
    EXPECT_TRUE(sameAsSnapshot(state, shown[6 - c.kept])) << c.stepLimit;
  }
}

// What marks the picture changed (a "*" in the title), and what clears the mark.
TEST(History, ChangedMarkFollowsTheCommands) {
  struct Case {
    CommandId command;
    bool changed;
  };
  const Case cases[] = {
      {CommandId::kDither4, true},         {CommandId::kNearest16, true},
      {CommandId::kGrey256, true},         {CommandId::kHalveHorizontally, true},
      {CommandId::kZoomVertically, false}, {CommandId::kFourfoldSize, false},
      {CommandId::kColourSwitch, false},   {CommandId::kSettings, false},
      {CommandId::kCopy, false},           {CommandId::kScreenCrop, false},
      {CommandId::kPaste, false},          {CommandId::kOpen, false},
  };
  for (const Case& c : cases) {
    test::ScratchFolder folder;
    ScriptedHost host;
    AppState state = openedPicture(folder, host);
    EXPECT_EQ(windowTitle(state), "Vizorka - [foto.bmp]");
    const ViewUpdate update = runWindowCommand(state, host, c.command).view;
    const int label = static_cast<int>(c.command);
    EXPECT_EQ(pictureChanged(state), c.changed) << label;
    EXPECT_EQ(update.titleChanged,
              c.changed || c.command == CommandId::kPaste || c.command == CommandId::kOpen)
        << label;
  }

  // Saving clears the mark; undoing past the save sets it again, redoing clears it.
  test::ScratchFolder folder;
  ScriptedHost host;
  AppState state = openedPicture(folder, host);
  runWindowCommand(state, host, CommandId::kDither4);
  EXPECT_EQ(windowTitle(state), "Vizorka - [foto.bmp]*");
  host.savePath = folder / "foto.KEP";
  runWindowCommand(state, host, CommandId::kSaveAs);
  EXPECT_EQ(windowTitle(state), "Vizorka - [foto.KEP]");
  EXPECT_TRUE(runWindowCommand(state, host, CommandId::kUndo).view.titleChanged);
  EXPECT_EQ(windowTitle(state), "Vizorka - [foto.bmp]*");
  runWindowCommand(state, host, CommandId::kRedo);
  EXPECT_EQ(windowTitle(state), "Vizorka - [foto.KEP]");
}

// Exit, Open and Paste on a changed picture ask first; the answer decides whether the
// command goes on.
TEST(History, UnsavedChangesQuestionDecides) {
  enum class Save { kNone, kWritten, kCancelled, kFails };
  struct Case {
    CommandId command;
    std::optional<CommandId> conversion;  // none: the picture is unchanged
    Answer answer;
    Save save;
    bool goesOn;
    size_t errors;
  };
  const Case cases[] = {
      {CommandId::kExit, std::nullopt, Answer::kCancel, Save::kNone, true, 0},  // nothing to ask
      {CommandId::kExit, CommandId::kDither4, Answer::kNo, Save::kNone, true, 0},
      {CommandId::kExit, CommandId::kDither4, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kExit, CommandId::kDither4, Answer::kYes, Save::kWritten, true, 0},
      {CommandId::kExit, CommandId::kDither4, Answer::kYes, Save::kCancelled, false, 0},
      {CommandId::kExit, CommandId::kDither4, Answer::kYes, Save::kFails, false, 1},
      // Save as is greyed for true colour: it is refused with its reason, not offered.
      {CommandId::kExit, CommandId::kHalveVertically, Answer::kYes, Save::kNone, false, 1},
      {CommandId::kOpen, CommandId::kDither4, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kOpen, CommandId::kDither4, Answer::kNo, Save::kNone, true, 0},
      {CommandId::kOpen, CommandId::kDither4, Answer::kYes, Save::kWritten, true, 0},
      {CommandId::kPaste, CommandId::kDither4, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kPaste, CommandId::kDither4, Answer::kYes, Save::kFails, false, 1},
      {CommandId::kPaste, CommandId::kDither4, Answer::kNo, Save::kNone, true, 0},
  };
  const char* captions[] = {"Kilépés", "Megnyitás", "Beillesztés"};
  for (const Case& c : cases) {
    const std::string label = std::to_string(static_cast<int>(c.command)) + "/" +
                              std::to_string(c.conversion ? static_cast<int>(*c.conversion) : -1) +
                              "/" + std::to_string(static_cast<int>(c.answer)) + "/" +
                              std::to_string(static_cast<int>(c.save));
    test::ScratchFolder folder;
    ScriptedHost host;
    AppState state = openedPicture(folder, host);
    if (c.conversion) runWindowCommand(state, host, *c.conversion);
    host.answer = c.answer;
    if (c.save == Save::kWritten) host.savePath = folder / "mentett.kep";
    if (c.save == Save::kFails) host.savePath = folder / "nincs ilyen mappa/x.kep";
    const std::vector<uint8_t> pixelsBefore = state.document.pixels;

    const ViewUpdate update = runWindowCommand(state, host, c.command).view;

    const bool goneOn =
        c.command == CommandId::kExit ? update.closeWindow : state.document.pixels != pixelsBefore;
    EXPECT_EQ(goneOn, c.goesOn) << label;
    ASSERT_EQ(host.questions.size(), c.conversion ? 1u : 0u) << label;
    if (c.conversion) {
      EXPECT_EQ(host.questions[0].text, "A kép megváltozott!\r\nMentsem KEP fájlként?");
      const size_t which = c.command == CommandId::kExit   ? 0
                           : c.command == CommandId::kOpen ? 1
                                                           : 2;
      EXPECT_EQ(host.questions[0].caption, captions[which]) << label;
    }
    EXPECT_EQ(host.errors.size(), c.errors) << label;
    EXPECT_EQ(host.saveDialogs, c.save == Save::kNone ? 0 : 1) << label;
    EXPECT_EQ(test::readFileBytes(folder / "mentett.kep").empty(), c.save != Save::kWritten)
        << label;
  }
}

}  // namespace
}  // namespace vz
