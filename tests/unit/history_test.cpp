// Undo, redo, the changed mark and the unsaved-changes question, driven through the
// command table as the window drives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "converter/commands/command_table.h"
#include "converter/commands/history.h"
#include "converter/formats/bmp_writer.h"
#include "converter/formats/tvc/kep_redecode.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/file_io.h"
#include "converter/model/tvc_colours.h"
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
  Answer answer = Answer::kCancel;  // to both questions; kCancel is "Nem" for Yes/No
  std::string openPath;
  std::string savePath;
  SaveOptions chosenOptions;  // what the save-options dialog gives
  std::vector<Prompt> questions;
  std::vector<Prompt> errors;
  int saveDialogs = 0;
  int optionDialogs = 0;

  UserPrompts& prompts() override { return *this; }
  void showError(const std::string& text, const std::string& caption) override {
    errors.push_back({text, caption});
  }
  bool askYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption});
    return answer == Answer::kYes;
  }
  Answer askYesNoCancel(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption});
    return answer;
  }
  bool chooseOpenFile(const AppState&, std::string& path) override {
    path = openPath;
    return true;
  }
  bool editSaveOptions(AppState& state) override {
    ++optionDialogs;
    state.saveOptions = chosenOptions;
    return true;
  }
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
  if (state.saveTarget.path != s.saveTarget.path)
    return ::testing::AssertionFailure() << "Save's file differs: " << state.saveTarget.path;
  return ::testing::AssertionSuccess();
}

DocumentSnapshot snapshotOf(const AppState& state) {
  return {state.document, state.view.zoomX, state.view.zoomY, state.view.blackAndWhiteView,
          state.filePath, state.fileTitle,  state.saveTarget, 0};
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
      // A true-colour picture cannot be saved here: the question is whether to discard it.
      {CommandId::kExit, CommandId::kHalveVertically, Answer::kYes, Save::kNone, true, 0},
      {CommandId::kExit, CommandId::kHalveVertically, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kOpen, CommandId::kHalveVertically, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kOpen, CommandId::kHalveVertically, Answer::kYes, Save::kNone, true, 0},
      {CommandId::kPaste, CommandId::kHalveVertically, Answer::kCancel, Save::kNone, false, 0},
      {CommandId::kPaste, CommandId::kHalveVertically, Answer::kYes, Save::kNone, true, 0},
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
      EXPECT_EQ(host.questions[0].text, c.conversion == CommandId::kHalveVertically
                                            ? "A kép megváltozott!\r\nElveted a változásokat?"
                                            : "A kép megváltozott!\r\nMentsem KEP fájlként?")
          << label;
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

// Save writes the file of the last Save as again, with the options chosen for it and
// without a dialog; before there is one it is Save as.
TEST(PlainSave, SaveAfterSaveAsWritesTheSameBytesWithoutDialogs) {
  test::ScratchFolder folder;
  ScriptedHost host;
  AppState state = openedPicture(folder, host);
  runWindowCommand(state, host, CommandId::kDither4);
  host.chosenOptions.saveCoding = kRle;
  host.savePath = folder / "elso.kep";
  runWindowCommand(state, host, CommandId::kSave);
  EXPECT_EQ(host.optionDialogs + host.saveDialogs, 2);
  const std::vector<uint8_t> saved = test::readFileBytes(folder / "elso.kep");
  ASSERT_GT(saved.size(), 4u);
  EXPECT_LT(saved[3], 8) << "an RLE mode byte";

  host.savePath = folder / "masodik.kep";
  runWindowCommand(state, host, CommandId::kSaveAs);
  ASSERT_EQ(test::readFileBytes(folder / "masodik.kep"), saved);
  std::filesystem::remove(folder / "masodik.kep");
  state.saveOptions = SaveOptions();  // as a later options dialog might leave them
  runWindowCommand(state, host, CommandId::kSave);
  EXPECT_EQ(test::readFileBytes(folder / "masodik.kep"), saved);
  EXPECT_EQ(host.optionDialogs + host.saveDialogs, 4) << "no dialog for Save";
  EXPECT_EQ(windowTitle(state), "Vizorka - [masodik.kep]");

  // A change saved plainly: the file holds it and the picture counts as unchanged.
  runWindowCommand(state, host, CommandId::kPalette);
  ASSERT_TRUE(pictureChanged(state));
  runWindowCommand(state, host, CommandId::kSave);
  EXPECT_FALSE(pictureChanged(state));
  SaveOptions rle;
  rle.saveCoding = kRle;
  KepEncoding changed;
  ASSERT_EQ(encodeKep(state.document, rle, changed), KepEncodeStatus::kOk);
  EXPECT_EQ(test::readFileBytes(folder / "masodik.kep"), changed.picture);
  EXPECT_EQ(host.optionDialogs + host.saveDialogs, 4);
  EXPECT_TRUE(host.errors.empty());
}

// Which file Save writes after each way a picture arrives: the KEP file it was opened
// from (in its own coding), or none for every other picture.
TEST(PlainSave, TheFileComesWithThePicture) {
  ImageDocument tvc;
  allocatePicture(tvc, 8, 2, ColourMode::kColours16);
  for (size_t i = 0; i < tvc.pixels.size(); ++i) tvc.pixels[i] = static_cast<uint8_t>(i * 37);
  // The TVC's own 16 colours, which a 16-colour KEP file opens with.
  for (size_t i = 0; i < 16; ++i) tvc.palette[i] = tvcColour(static_cast<int>(i));
  const auto kepBytes = [&](SaveCoding coding) {
    SaveOptions options;
    options.saveCoding = coding;
    KepEncoding encoding;
    EXPECT_EQ(encodeKep(tvc, options, encoding), KepEncodeStatus::kOk);
    return encoding.picture;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;  // empty: the picture comes from the clipboard
    bool saveTarget;
  };
  // A headerless 16-colour KEP file: the writer makes only the header forms.
  std::vector<uint8_t> headerless = {'K', 'E', 'P', 2};
  headerless.resize(128, 0x11);
  const Case cases[] = {
      {"plain.kep", kepBytes(kPlain), true},
      {"rle.kep", kepBytes(kRle), true},
      {"regi.kep", headerless, false},
      {"foto.bmp", encodeBmp(tvc, describeRender(tvc, false).colourTable), false},
      {"clipboard", {}, false},
  };
  for (const Case& c : cases) {
    test::ScratchFolder folder;
    ScriptedHost host;
    AppState state = openedPicture(folder, host);
    host.answer = Answer::kNo;
    if (c.bytes.empty()) {
      state.saveTarget = {folder / "elozo.kep", SaveOptions()};
      runWindowCommand(state, host, CommandId::kPaste);
      runWindowCommand(state, host, CommandId::kNearest16);
    } else {
      ASSERT_TRUE(writeFileSafely(folder / c.name, c.bytes).ok());
      host.openPath = folder / c.name;
      runWindowCommand(state, host, CommandId::kOpen);
    }
    EXPECT_EQ(state.saveTarget.path, c.saveTarget ? folder / c.name : "") << c.name;
    std::filesystem::remove(folder / c.name);
    runWindowCommand(state, host, CommandId::kSave);
    // Saved again without a dialog, as it was; the others ask where (and are cancelled).
    EXPECT_EQ(host.saveDialogs, c.saveTarget ? 0 : 1) << c.name;
    if (c.saveTarget) {
      EXPECT_EQ(test::readFileBytes(folder / c.name), c.bytes) << c.name;
    }
  }
}

// The file Save writes goes with the title's name through undo and redo.
TEST(PlainSave, UndoBringsBackTheFileOfItsStep) {
  test::ScratchFolder folder;
  ScriptedHost host;
  AppState state = openedPicture(folder, host);
  runWindowCommand(state, host, CommandId::kDither4);
  host.savePath = folder / "mentett.kep";
  runWindowCommand(state, host, CommandId::kSaveAs);
  runWindowCommand(state, host, CommandId::kUndo);
  EXPECT_EQ(state.saveTarget.path, "");
  runWindowCommand(state, host, CommandId::kRedo);
  EXPECT_EQ(state.saveTarget.path, folder / "mentett.kep");
}

}  // namespace
}  // namespace vz
