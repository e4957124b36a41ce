#include "converter/commands/command_table.h"

#include <algorithm>
#include <sstream>

#include "base/file_write.h"
#include "converter/colour/conversions.h"
#include "converter/colour/tone.h"
#include "converter/commands/history.h"
#include "converter/commands/save.h"
#include "converter/formats/bmp_writer.h"
#include "converter/formats/png_writer.h"
#include "converter/model/file_io.h"
#include "converter/view/crop.h"
#include "converter/view/preview.h"
#include "converter/view/render.h"

namespace vz {

namespace {

// Value checks ------------------------------------------------------------------------

enum class PictureOutput { kNone, kBmp, kPng };

// What a name ending in .bmp or .png (in any case) asks to be written as.
PictureOutput pictureOutputOf(const std::string& name) {
  std::string ending = name.size() >= 4 ? name.substr(name.size() - 4) : "";
  for (char& c : ending)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ending == ".bmp") return PictureOutput::kBmp;
  if (ending == ".png") return PictureOutput::kPng;
  return PictureOutput::kNone;
}

// A whole number written plainly: an optional minus and at most 18 digits (so that it
// cannot overflow), nothing else, within low..high.
bool parseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& number) {
  const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  const size_t digits = text.size() - start;
  if (digits == 0 || digits > 18) return false;
  int64_t magnitude = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
  }
  number = start ? -magnitude : magnitude;
  return number >= low && number <= high;
}

// The parts of a text between its commas (one part when there is none).
std::vector<std::string> commaSeparated(const std::string& text) {
  std::vector<std::string> items(1);
  for (char c : text) {
    if (c == ',')
      items.emplace_back();
    else
      items.back() += c;
  }
  return items;
}

// `count` comma-separated whole numbers, each within low..high.
bool parseNumberList(const std::string& text, size_t count, int64_t low, int64_t high,
                     StepValue& value) {
  const std::vector<std::string> items = commaSeparated(text);
  if (items.size() != count) return false;
  for (const std::string& item : items) {
    int64_t number = 0;
    if (!parseWholeNumber(item, low, high, number)) return false;
    value.numbers.push_back(number);
  }
  return true;
}

bool parseOnOff(const std::string& text, StepValue& value, std::string& error) {
  if (text != "on" && text != "off") {
    error = "expected on or off";
    return false;
  }
  value.numbers = {text == "on" ? 1 : 0};
  return true;
}

bool parseThreshold(const std::string& text, StepValue& value, std::string& error) {
  if (parseNumberList(text, 1, 0, 255, value)) return true;
  error = "expected a number 0..255";
  return false;
}

bool parseTvcIndex(const std::string& text, StepValue& value, std::string& error) {
  if (parseNumberList(text, 1, 0, 15, value)) return true;
  error = "expected a TVC colour index 0..15";
  return false;
}

// Ten TVC indices, or the word auto for every value of a set (that set is then chosen
// for each picture), or auto alone for all three sets. Auto values become -1.
bool parseColourChoices(const std::string& text, StepValue& value, std::string& error) {
  error =
      "expected ten TVC colour indices 0..15 separated by commas, where every value of a "
      "set may be auto, or auto alone";
  if (text == "auto") {
    value.numbers.assign(10, -1);
    return true;
  }
  std::string numbers;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, end - start);
    numbers += numbers.empty() ? "" : ",";
    numbers += item == "auto" ? "-1" : item;
    if (item == "-1") return false;
    start = end + 1;
  }
  if (!parseNumberList(numbers, 10, -1, 15, value)) return false;
  const std::vector<int64_t>& n = value.numbers;
  for (size_t set : {size_t{0}, size_t{2}, size_t{6}}) {
    const size_t end = set == 0 ? 2 : set + 4;
    const bool automatic = n[set] == -1;
    for (size_t i = set; i < end; ++i)
      if ((n[i] == -1) != automatic) return false;
  }
  return true;
}

constexpr int64_t kLargestCoordinate = 0x7FFFFFFF;

bool parseRectangle(const std::string& text, StepValue& value, std::string& error) {
  StepValue corner, size;
  const size_t second = text.find(',', text.find(',') + 1);
  if (second != std::string::npos &&
      parseNumberList(text.substr(0, second), 2, -kLargestCoordinate, kLargestCoordinate, corner) &&
      parseNumberList(text.substr(second + 1), 2, 0, kLargestCoordinate, size)) {
    value.numbers = {corner.numbers[0], corner.numbers[1], size.numbers[0], size.numbers[1]};
    return true;
  }
  error = "expected X,Y,W,H: whole numbers, W and H not negative";
  return false;
}

constexpr int64_t kLargestResizeSide = 65535;
const char* const kResizeModes[] = {"fit", "fill", "stretch"};  // in ResizeMode's order

// W,H[,fit|fill|stretch]; the numbers become W, H and the ResizeMode.
bool parseResize(const std::string& text, StepValue& value, std::string& error) {
  const size_t second = text.find(',', text.find(',') + 1);
  const std::string mode = second == std::string::npos ? "fit" : text.substr(second + 1);
  if (parseNumberList(text.substr(0, second), 2, 1, kLargestResizeSide, value)) {
    for (int64_t i = 0; i < 3; ++i)
      if (mode == kResizeModes[i]) {
        value.numbers.push_back(i);
        return true;
      }
  }
  error = "expected W,H[,fit|fill|stretch]: W and H whole numbers 1..65535";
  return false;
}

// A number of hundredths written plainly: digits, then at most two after a point.
bool parseHundredths(const std::string& text, int64_t low, int64_t high, int64_t& hundredths) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole[0] == '-' || fraction.size() > 2 ||
      (point != std::string::npos && fraction.empty()) ||
      fraction.find_first_not_of("0123456789") != std::string::npos)
    return false;
  int64_t units = 0;
  if (!parseWholeNumber(whole, 0, high / 100, units)) return false;
  fraction.resize(2, '0');
  hundredths = units * 100 + (fraction[0] - '0') * 10 + (fraction[1] - '0');
  return hundredths >= low && hundredths <= high;
}

// B,C,G,S: brightness and contrast -100..100, gamma 0.20..5.00, saturation 0..200; the
// numbers become B, C, the gamma in hundredths, and S.
bool parseTone(const std::string& text, StepValue& value, std::string& error) {
  const std::vector<std::string> items = commaSeparated(text);
  int64_t brightness = 0, contrast = 0, gamma = 0, saturation = 0;
  if (items.size() == 4 && parseWholeNumber(items[0], -100, 100, brightness) &&
      parseWholeNumber(items[1], -100, 100, contrast) &&
      parseHundredths(items[2], 20, 500, gamma) && parseWholeNumber(items[3], 0, 200, saturation)) {
    value.numbers = {brightness, contrast, gamma, saturation};
    return true;
  }
  error =
      "expected B,C,G,S: brightness and contrast -100..100, gamma 0.20..5.00 (at most two "
      "decimals), saturation 0..200";
  return false;
}

// A file name; one that starts with "--" is an option given where the name belongs.
bool parseFileName(const std::string& text, StepValue& value, std::string& error) {
  if (text.empty() || text.rfind("--", 0) == 0) {
    error = "expected a file name, not \"" + text + "\"";
    return false;
  }
  value.text = text;
  return true;
}

// A picture file written as BMP or PNG by its name's ending, or "-" for standard output.
bool parsePictureOutput(const std::string& text, StepValue& value, std::string& error) {
  if (!parseFileName(text, value, error)) return false;
  if (text == "-" || pictureOutputOf(text) != PictureOutput::kNone) return true;
  error = "expected a name ending in .bmp or .png, or - for standard output, not \"" + text + "\"";
  return false;
}

// Handlers ----------------------------------------------------------------------------

ViewUpdate renderRepaint() {
  ViewUpdate update;
  update.render = update.repaint = true;
  return update;
}

ViewUpdate renderLayoutRepaint() {
  ViewUpdate update = renderRepaint();
  update.layout = true;
  return update;
}

ViewUpdate layoutRepaint() {
  ViewUpdate update;
  update.layout = update.repaint = true;
  return update;
}

// The file's name becomes the title's, and plain Save writes there from now on.
ViewUpdate nameSavedFile(AppState& state, const SaveTarget& target) {
  state.filePath = target.path;
  state.fileTitle = fileNameOf(target.path);
  state.saveTarget = target;
  markSaved(state);
  ViewUpdate update;
  update.titleChanged = true;
  return update;
}

CommandResult runSaveAs(CommandCall& call) {
  std::string path;
  if (call.value)
    path = call.value->text;
  else if (!call.host.editSaveOptions(call.state) || !call.host.chooseSaveFile(call.state, path))
    return {};
  // The writer reports its own failures; the title names only a file really saved.
  const Status saved = saveKepFile(call.state, path, call.host.prompts());
  if (!saved.ok()) return saved;
  return nameSavedFile(call.state, {path, call.state.saveOptions});
}

// Writes the file of the last Save as (or the KEP file opened) again, with the options
// it was written with and without a dialog; with no such file it is Save as.
CommandResult runSave(CommandCall& call) {
  const SaveTarget target = call.state.saveTarget;
  if (target.path.empty()) return runSaveAs(call);
  const Status saved =
      saveKepFile(call.state.document, target.options, target.path, call.host.prompts());
  if (!saved.ok()) return saved;
  return nameSavedFile(call.state, target);
}

// Before a command lets a changed picture go. A picture that can be a KEP file is
// offered to be saved: "Igen" saves it (as Save does) and the command goes on only
// when it was saved; "Nem" goes on; "Mégse" stops it. Any other picture cannot be saved
// here: the question is whether to discard it, "Igen" goes on and "Nem" stops.
bool mayLetPictureGo(CommandCall& call, const char* caption, ViewUpdate& update) {
  if (!pictureChanged(call.state)) return true;
  if (!commandEnabled(CommandId::kSave, call.state))
    return call.host.prompts().askYesNo(texts::kDiscardChanges, caption);
  switch (call.host.prompts().askYesNoCancel(texts::kPictureChanged, caption)) {
    case UserPrompts::Answer::kNo:
      return true;
    case UserPrompts::Answer::kCancel:
      return false;
    case UserPrompts::Answer::kYes:
      break;
  }
  CommandCall save{call.state, call.host, 0, nullptr};
  update.titleChanged = runSave(save).view.titleChanged || update.titleChanged;
  return !pictureChanged(call.state);
}

// Open from the menu asks for the file; a drop, the program's argument and vizorka-cli
// give its path.
CommandResult runOpen(CommandCall& call) {
  ViewUpdate update;
  if (!mayLetPictureGo(call, texts::kOpenCaption, update)) return update;
  std::string path;
  if (call.value)
    path = call.value->text;
  else if (!call.host.chooseOpenFile(call.state, path))
    return update;
  CommandResult result = openCommand(call.state, call.host.prompts(), path);
  result.view.titleChanged = result.view.titleChanged || update.titleChanged;
  return result;
}

CommandResult runExit(CommandCall& call) {
  ViewUpdate update;
  update.closeWindow = mayLetPictureGo(call, texts::kExitCaption, update);
  return update;
}

CommandResult runUndo(CommandCall& call) {
  return undoCommand(call.state);
}

CommandResult runRedo(CommandCall& call) {
  return redoCommand(call.state);
}

CommandResult runCopy(CommandCall& call) {
  call.host.copyToClipboard(call.state);
  return {};
}

CommandResult runPaste(CommandCall& call) {
  ViewUpdate update;
  if (call.host.clipboardHoldsPicture() && mayLetPictureGo(call, texts::kPasteCaption, update))
    call.host.pasteFromClipboard(call.state, update);
  return update;
}

CommandResult runScreenCrop(CommandCall& call) {
  ViewUpdate update;
  update.outlines = screenCropCommand(call.state);
  return update;
}

CommandResult runPalette(CommandCall& call) {
  return call.host.editPalette(call.state) ? renderRepaint() : ViewUpdate{};
}

CommandResult runSettings(CommandCall& call) {
  call.host.editEffectSettings(call.state);
  return {};
}

CommandResult runProperties(CommandCall& call) {
  return call.host.showPictureProperties(call.state) ? renderLayoutRepaint() : ViewUpdate{};
}

// The window tells of a conversion that ran out of memory, with its menu's caption.
CommandResult toldIfOutOfMemory(CommandCall& call, CommandResult result, const char* caption) {
  if (result.status == StatusCode::kOutOfMemory)
    call.host.prompts().showError(texts::kNoMemoryForCommand, caption);
  return result;
}

// The dialog shows its preview in the document and leaves the toned picture on OK, the
// opening one on Mégse; either way the screen shows the document anew.
CommandResult runTone(CommandCall& call) {
  if (!call.value) {
    call.host.editTone(call.state);
    return renderRepaint();
  }
  const std::vector<int64_t>& n = call.value->numbers;
  ToneSettings settings;
  settings.brightness = static_cast<int32_t>(n[0]);
  settings.contrast = static_cast<int32_t>(n[1]);
  settings.gammaHundredths = static_cast<int32_t>(n[2]);
  settings.saturation = static_cast<int32_t>(n[3]);
  return toneCommand(call.state, settings);
}

CommandResult runHalve(CommandCall& call) {
  return toldIfOutOfMemory(call, halveCommand(call.state, call.argument), texts::kResizeCaption);
}

CommandResult runDither(CommandCall& call) {
  return toldIfOutOfMemory(call, ditherCommand(call.state, call.argument), texts::kDitherCaption);
}

CommandResult runNearest(CommandCall& call) {
  return toldIfOutOfMemory(call, nearestCommand(call.state, call.argument), texts::kNearestCaption);
}

CommandResult runGrey(CommandCall& call) {
  return toldIfOutOfMemory(
      call,
      call.argument == 256 ? grey256Command(call.state) : greyCommand(call.state, call.argument),
      texts::kGreyCaption);
}

// The argument is the new zoom factor.
CommandResult runZoomHorizontally(CommandCall& call) {
  call.state.view.zoomX = static_cast<int8_t>(call.argument);
  return layoutRepaint();
}

CommandResult runZoomVertically(CommandCall& call) {
  call.state.view.zoomY = static_cast<int8_t>(call.argument);
  return layoutRepaint();
}

// A size of its own: the picture is no longer fitted to the window.
CommandResult runZoomBoth(CommandCall& call) {
  call.state.view.zoomX = call.state.view.zoomY = static_cast<int8_t>(call.argument);
  call.state.view.fitToWindow = false;
  return layoutRepaint();
}

// On and off; the zoom stays, and gives the fitted picture its shape.
CommandResult runFitToWindow(CommandCall& call) {
  call.state.view.fitToWindow = !call.state.view.fitToWindow;
  return layoutRepaint();
}

CommandResult runColourSwitch(CommandCall& call) {
  call.state.view.blackAndWhiteView = !call.state.view.blackAndWhiteView;
  return renderRepaint();
}

CommandResult runSetAlgorithm(CommandCall& call) {
  call.state.effects.ditherAlgorithm = static_cast<uint8_t>(call.argument);
  return {};
}

CommandResult runSetPreDistortion(CommandCall& call) {
  call.state.effects.preDistortion = call.value->numbers[0] != 0;
  return {};
}

CommandResult runSetInterlace(CommandCall& call) {
  call.state.effects.interlacedFourColour = call.value->numbers[0] != 0;
  return {};
}

CommandResult runSetColourChoices(CommandCall& call) {
  EffectSettings& effects = call.state.effects;
  for (size_t i = 0; i < effects.colourChoices.size(); ++i) {
    const int64_t choice = call.value->numbers[i];
    effects.autoColourSets[i < kFourColourSet ? 0 : (i < kEvenLineSet ? 1 : 2)] = choice < 0;
    if (choice >= 0) effects.colourChoices[i] = static_cast<uint8_t>(choice);
  }
  return {};
}

CommandResult runSetThreshold(CommandCall& call) {
  call.state.effects.threshold = static_cast<uint8_t>(call.value->numbers[0]);
  return {};
}

CommandResult runSetCoding(CommandCall& call) {
  call.state.saveOptions.saveCoding = static_cast<uint8_t>(call.argument);
  return {};
}

CommandResult runSetFormat(CommandCall& call) {
  call.state.saveOptions.saveFormat = static_cast<uint8_t>(call.argument);
  return {};
}

CommandResult runSetMaskColour(CommandCall& call) {
  call.state.saveOptions.maskColour = static_cast<uint8_t>(call.value->numbers[0]);
  return {};
}

CommandResult runSetPaletteFile(CommandCall& call) {
  call.state.saveOptions.makePaletteFile = call.value->numbers[0] != 0;
  return {};
}

CommandResult runCrop(CommandCall& call) {
  const std::vector<int64_t>& n = call.value->numbers;
  const auto toCoordinate = [](int64_t v) {
    return static_cast<int32_t>(v > kLargestCoordinate ? kLargestCoordinate : v);
  };
  if (!cropDocument(call.state.document, toCoordinate(n[0]), toCoordinate(n[1]),
                    toCoordinate(n[0] + n[2]), toCoordinate(n[1] + n[3])))
    return Status(StatusCode::kNotApplicable, "the rectangle does not overlap the picture");
  return {};
}

std::string infoJson(const AppState& state) {
  const ImageDocument& doc = state.document;
  std::ostringstream out;
  out << "{\"width\":" << doc.width << ",\"height\":" << doc.height
      << ",\"rowStride\":" << doc.rowStride << ",\"colourMode\":" << paletteEntries(doc.colourMode)
      << ",\"pictureSize\":" << doc.pictureSize() << ",\"tvcPicture\":" << (doc.tvcPicture ? 1 : 0)
      << ",\"interlaced\":" << (doc.interlaced ? 1 : 0)
      << ",\"zoomX\":" << static_cast<int>(state.view.zoomX)
      << ",\"zoomY\":" << static_cast<int>(state.view.zoomY) << ",\"palette\":[";
  const RenderDescription render = describeRender(doc, false);
  for (size_t i = 0; i < render.colourTable.size(); ++i)
    out << (i ? "," : "") << render.colourTable[i];
  out << "]}";
  return out.str();
}

CommandResult runInfo(CommandCall& call) {
  call.host.writeLine(infoJson(call.state));
  return {};
}

CommandResult runResize(CommandCall& call) {
  ResizeTarget target;
  if (call.value) {
    const std::vector<int64_t>& n = call.value->numbers;
    target = {static_cast<int32_t>(n[0]), static_cast<int32_t>(n[1]),
              static_cast<ResizeMode>(n[2])};
  } else if (!call.host.chooseResizeTarget(call.state, target)) {
    return {};
  }
  return resizeCommand(call.state, target, call.host.prompts());
}

// A picture with its colour table written as its name says: BMP or PNG, or to standard
// output in `standardOutputAs`. No code (no memory for it) is a failed write, never an
// empty file.
Status writePicture(const std::string& name, const ImageDocument& picture,
                    const std::vector<ColourValue>& colours, PictureOutput standardOutputAs) {
  const bool toStandardOutput = namesStandardOutput(name);
  const PictureOutput output = toStandardOutput ? standardOutputAs : pictureOutputOf(name);
  if (output == PictureOutput::kBmp && !toStandardOutput)
    return writeBmpFile(name, picture, colours);  // straight from the document
  const std::vector<uint8_t> bytes =
      output == PictureOutput::kBmp ? encodeBmp(picture, colours) : encodePng(picture, colours);
  if (bytes.empty()) return Status(StatusCode::kOutOfMemory, "out of memory");
  return toStandardOutput ? writeStandardOutput(bytes) : writeFileSafely(name, bytes);
}

// The document in its own bit depth.
CommandResult runExport(CommandCall& call) {
  const ImageDocument& doc = call.state.document;
  return writePicture(call.value->text, doc, describeRender(doc, false).colourTable,
                      PictureOutput::kBmp);
}

// The picture as the window shows it.
CommandResult runSavePreview(CommandCall& call) {
  std::string path;
  if (call.value)
    path = call.value->text;
  else if (!call.host.choosePreviewFile(call.state, path))
    return {};
  ImageDocument preview;
  std::vector<ColourValue> colours;
  Status status = buildPreview(call.state.document, call.state.view, preview, colours)
                      ? writePicture(path, preview, colours, PictureOutput::kPng)
                      : Status(StatusCode::kOutOfMemory, "out of memory");
  if (!status.ok()) call.host.prompts().showError(texts::kPreviewNotWritten, texts::kSaveCaption);
  return status;
}

// Enabling rules ----------------------------------------------------------------------

bool holdsTvcDepth(const AppState& state) {
  return isTvcColourMode(state.document.colourMode);
}

bool holdsFewColours(const AppState& state) {
  return state.document.colourMode == ColourMode::kColours2 ||
         state.document.colourMode == ColourMode::kColours4;
}

bool holdsTrueColour(const AppState& state) {
  return state.document.colourMode == ColourMode::kTrueColour;
}

bool holdsPicture(const AppState& state) {
  return state.document.holdsPicture();
}

// Tone works on true colour and on palettes, but not on the TVC's own depths.
bool holdsTonablePicture(const AppState& state) {
  return state.document.holdsPicture() && !isTvcColourMode(state.document.colourMode);
}

const EnablingRule kNeedsTvcDepth{holdsTvcDepth, "needs a 2-, 4- or 16-colour picture"};
const EnablingRule kNeedsFewColours{holdsFewColours, "needs a 2- or 4-colour picture"};
const EnablingRule kNeedsTrueColour{holdsTrueColour, "needs a true-colour picture"};
const EnablingRule kNeedsPicture{holdsPicture, "needs a picture"};
const EnablingRule kNeedsTonablePicture{
    holdsTonablePicture, "needs a true-colour picture or one of 8 or 32 to 256 colours"};
const EnablingRule kNeedsUndoStep{canUndo, "nothing to undo"};
const EnablingRule kNeedsRedoStep{canRedo, "nothing to redo"};

// The table ---------------------------------------------------------------------------

const char* const kFile = "FILE";
const char* const kOnOff = "on|off";
const char* const kPictureFile = "FILE.bmp|FILE.png|-";

std::vector<Command> makeTable() {
  using Id = CommandId;
  return {
      Command(Id::kOpen, runOpen),
      Command(Id::kSave, runSave).enabledWhen(kNeedsTvcDepth),
      Command(Id::kSaveAs, runSaveAs)
          .enabledWhen(kNeedsTvcDepth)
          .onCommandLine("--save", parseFileName, kFile)
          .explained("save as a KEP file with the save options (2, 4 or 16 colours)")
          .writingItsFile(),
      Command(Id::kSavePreview, runSavePreview)
          .enabledWhen(kNeedsPicture)
          .onCommandLine("--preview", parsePictureOutput, kPictureFile)
          .explained("the picture as the window shows it (zoom, view colours)")
          .writingItsFile(),
      Command(Id::kExit, runExit),
      Command(Id::kUndo, runUndo).enabledWhen(kNeedsUndoStep),
      Command(Id::kRedo, runRedo).enabledWhen(kNeedsRedoStep),
      Command(Id::kCopy, runCopy),
      Command(Id::kPaste, runPaste),
      Command(Id::kScreenCrop, runScreenCrop),
      Command(Id::kCrop, runCrop)
          .onCommandLine("--crop", parseRectangle, "X,Y,W,H")
          .explained("cut to a rectangle of document pixels"),

      Command(Id::kHalveVertically, runHalve)
          .withArgument(kHalveVertically)
          .enabledWhen(kNeedsTrueColour)
          .onCommandLine("--halve", "v")
          .explained("halve the height or the width (true colour)"),
      Command(Id::kHalveHorizontally, runHalve)
          .withArgument(kHalveHorizontally)
          .enabledWhen(kNeedsTrueColour)
          .onCommandLine("--halve", "h"),
      Command(Id::kResize, runResize)
          .enabledWhen(kNeedsPicture)
          .onCommandLine("--resize", parseResize, "W,H[,fit|fill|stretch]")
          .explained("resample to fit, fill or stretch to W x H (linear light)"),
      Command(Id::kDither2, runDither)
          .withArgument(kDitherTwoColours)
          .onCommandLine("--dither", "2")
          .explained("dither with the effect settings"),
      Command(Id::kDither4, runDither)
          .withArgument(kDitherFourColours)
          .onCommandLine("--dither", "4"),
      Command(Id::kDither16, runDither)
          .withArgument(kDitherSixteenColours)
          .onCommandLine("--dither", "16"),
      Command(Id::kNearest2, runNearest)
          .withArgument(2)
          .onCommandLine("--nearest", "2")
          .explained("nearest colours"),
      Command(Id::kNearest4, runNearest).withArgument(4).onCommandLine("--nearest", "4"),
      Command(Id::kNearest16, runNearest).withArgument(16).onCommandLine("--nearest", "16"),
      Command(Id::kGrey4, runGrey)
          .withArgument(kFourGreys)
          .onCommandLine("--grey", "4")
          .explained("grey levels"),
      Command(Id::kGrey16, runGrey).withArgument(kSixteenGreys).onCommandLine("--grey", "16"),
      Command(Id::kGrey256, runGrey).withArgument(256).onCommandLine("--grey", "256"),
      Command(Id::kPalette, runPalette).enabledWhen(kNeedsFewColours),
      Command(Id::kTone, runTone)
          .enabledWhen(kNeedsTonablePicture)
          .onCommandLine("--tone", parseTone, "B,C,G,S")
          .explained("brightness, contrast, gamma, saturation (true colour or palette)"),
      Command(Id::kSettings, runSettings),

      Command(Id::kZoomVertically, runZoomVertically).withArgument(2),
      Command(Id::kZoomHorizontally, runZoomHorizontally).withArgument(2),
      Command(Id::kUnzoomVertically, runZoomVertically).withArgument(1),
      Command(Id::kUnzoomHorizontally, runZoomHorizontally).withArgument(1),
      Command(Id::kFourfoldSize, runZoomBoth).withArgument(2),
      Command(Id::kNormalSize, runZoomBoth).withArgument(1),
      Command(Id::kFitToWindow, runFitToWindow),
      Command(Id::kColourSwitch, runColourSwitch).enabledWhen(kNeedsTvcDepth),
      Command(Id::kProperties, runProperties),

      // The effect settings and save options the window sets in its dialogs.
      Command(Id::kAlgorithmFloydSteinberg, runSetAlgorithm)
          .withArgument(kFloydSteinberg)
          .onCommandLine("--algorithm", "fs")
          .explained("dither algorithm: Floyd-Steinberg, ordered, perceptual or refined"),
      Command(Id::kAlgorithmOrdered, runSetAlgorithm)
          .withArgument(kOrdered)
          .onCommandLine("--algorithm", "ordered"),
      Command(Id::kAlgorithmPerceptual, runSetAlgorithm)
          .withArgument(kPerceptual)
          .onCommandLine("--algorithm", "perceptual"),
      Command(Id::kAlgorithmRefined, runSetAlgorithm)
          .withArgument(kRefined)
          .onCommandLine("--algorithm", "refined"),
      Command(Id::kPreDistortion, runSetPreDistortion)
          .onCommandLine("--predistort", parseOnOff, kOnOff)
          .explained("halve before 2- and 16-colour dithering and 16 greys"),
      Command(Id::kInterlace, runSetInterlace)
          .onCommandLine("--interlace", parseOnOff, kOnOff)
          .explained("interlaced 4-colour error diffusion"),
      Command(Id::kColourChoices, runSetColourChoices)
          .onCommandLine("--colours", parseColourChoices, "I0,...,I9|auto")
          .explained(
              "ten TVC colour indices: 2-colour, 4-colour, even-line sets; auto for all of a "
              "set's values (or auto alone for every set) chooses it for each picture"),
      Command(Id::kThreshold, runSetThreshold)
          .onCommandLine("--threshold", parseThreshold, "N")
          .explained("2-colour threshold, 0..255"),
      Command(Id::kCodingPlain, runSetCoding)
          .withArgument(kPlain)
          .onCommandLine("--coding", "plain")
          .explained("KEP data coding"),
      Command(Id::kCodingRle, runSetCoding).withArgument(kRle).onCommandLine("--coding", "rle"),
      Command(Id::kFormatKep, runSetFormat)
          .withArgument(kFullKepHeader)
          .onCommandLine("--format", "kep")
          .explained("KEP header or sprite export"),
      Command(Id::kFormatSprite, runSetFormat)
          .withArgument(kSpriteExport)
          .onCommandLine("--format", "sprite"),
      Command(Id::kFormatSpriteWithMask, runSetFormat)
          .withArgument(kSpriteWithMask)
          .onCommandLine("--format", "sprite-mask"),
      Command(Id::kMaskColour, runSetMaskColour)
          .onCommandLine("--mask-colour", parseTvcIndex, "I")
          .explained("the sprite mask's TVC colour"),
      Command(Id::kPaletteFile, runSetPaletteFile)
          .onCommandLine("--palette-file", parseOnOff, kOnOff)
          .explained("write a PAL file beside a sprite"),

      Command(Id::kInfo, runInfo)
          .onCommandLine("--info")
          .explained("one line of JSON describing the document"),
      Command(Id::kExport, runExport)
          .enabledWhen(kNeedsPicture)
          .onCommandLine("--export", parsePictureOutput, kPictureFile)
          .explained("the document in its own bit depth")
          .writingItsFile(),
  };
}

const std::vector<Command> kCommands = makeTable();

}  // namespace

const std::vector<Command>& commandTable() {
  return kCommands;
}

const Command& commandRow(CommandId id) {
  for (const Command& command : kCommands)
    if (command.id == id) return command;
  // Every identity has its row: the table test holds the two together.
  return kCommands.front();
}

bool commandEnabled(const Command& command, const AppState& state) {
  return !command.enabled.holds || command.enabled.holds(state);
}

bool commandEnabled(CommandId id, const AppState& state) {
  return commandEnabled(commandRow(id), state);
}

CommandResult runWindowCommand(AppState& state, CommandHost& host, CommandId id,
                               const StepValue* value) {
  const Command& command = commandRow(id);
  CommandCall call{state, host, command.argument, value};
  CommandResult result;
  result.view = recordChanges(state, [&call, &command, &result] {
    result = command.run(call);
    return result.view;
  });
  return result;
}

CommandResult runCommandStep(AppState& state, CommandHost& host, const Command& command,
                             const StepValue& value) {
  if (!commandEnabled(command, state))
    return Status(StatusCode::kNotApplicable, command.enabled.requirement);
  CommandCall call{state, host, command.argument, &value};
  return command.run(call);
}

}  // namespace vz
