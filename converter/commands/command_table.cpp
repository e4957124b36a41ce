#include "converter/commands/command_table.h"

#include <algorithm>
#include <sstream>

#include "converter/colour/conversions.h"
#include "converter/commands/history.h"
#include "converter/commands/save.h"
#include "converter/formats/bmp_writer.h"
#include "converter/formats/png_writer.h"
#include "converter/model/file_io.h"
#include "converter/resources/resource.h"
#include "converter/view/crop.h"
#include "converter/view/preview.h"
#include "converter/view/render.h"

namespace vz {

namespace {

// Value checks ------------------------------------------------------------------------

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

// `count` comma-separated whole numbers, each within low..high.
bool parseNumberList(const std::string& text, size_t count, int64_t low, int64_t high,
                     StepValue& value) {
  std::vector<std::string> items(1);
  for (char c : text) {
    if (c == ',')
      items.emplace_back();
    else
      items.back() += c;
  }
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

// A file name; one that starts with "--" is an option given where the name belongs.
bool parseFileName(const std::string& text, StepValue& value, std::string& error) {
  if (text.empty() || text.rfind("--", 0) == 0) {
    error = "expected a file name, not \"" + text + "\"";
    return false;
  }
  value.text = text;
  return true;
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

void nameFile(AppState& state, const std::string& path) {
  state.filePath = path;
  state.fileTitle = fileNameOf(path);
}

ViewUpdate runSaveAs(CommandCall& call) {
  if (call.value)
    nameFile(call.state, call.value->text);
  else if (!call.host.editSaveOptions(call.state) || !call.host.chooseSaveFile(call.state))
    return {};
  ViewUpdate update;
  // The writer reports its own failures; the title names only a file really saved.
  if (saveKepFile(call.state, call.host.prompts())) {
    markSaved(call.state);
    update.titleChanged = true;
  } else {
    update.outcome = CommandOutcome::kWriteFailed;
  }
  return update;
}

// Before a command lets a changed picture go: "Igen" runs Save as, and the command
// goes on only when the picture was saved; "Nem" goes on; "Mégse" stops it.
bool mayLetPictureGo(CommandCall& call, const char* caption, ViewUpdate& update) {
  if (!pictureChanged(call.state)) return true;
  switch (call.host.prompts().askYesNoCancel(texts::kPictureChanged, caption)) {
    case UserPrompts::Answer::kNo:
      return true;
    case UserPrompts::Answer::kCancel:
      return false;
    case UserPrompts::Answer::kYes:
      break;
  }
  // Save as is greyed for this picture: say why instead of offering its dialogs.
  if (!commandEnabled(*menuCommand(ID_FILE_SAVE_AS), call.state)) {
    call.host.prompts().showError(texts::kNotTvcPicture, texts::kSaveCaption);
    return false;
  }
  CommandCall save{call.state, call.host, 0, nullptr};
  update.titleChanged = runSaveAs(save).titleChanged || update.titleChanged;
  return !pictureChanged(call.state);
}

ViewUpdate runOpen(CommandCall& call) {
  ViewUpdate update;
  if (!call.value && !mayLetPictureGo(call, texts::kOpenCaption, update)) return update;
  // The names a declined open gives back: those after any save the question led to.
  const std::string previousPath = call.state.filePath;
  const std::string previousTitle = call.state.fileTitle;
  if (call.value)
    nameFile(call.state, call.value->text);
  else if (!call.host.chooseOpenFile(call.state))
    return update;
  return openCommand(call.state, call.host.prompts(), previousPath, previousTitle);
}

ViewUpdate runExit(CommandCall& call) {
  ViewUpdate update;
  update.closeWindow = mayLetPictureGo(call, texts::kExitCaption, update);
  return update;
}

ViewUpdate runUndo(CommandCall& call) {
  return undoCommand(call.state);
}

ViewUpdate runRedo(CommandCall& call) {
  return redoCommand(call.state);
}

ViewUpdate runCopy(CommandCall& call) {
  call.host.copyToClipboard(call.state);
  return {};
}

ViewUpdate runPaste(CommandCall& call) {
  ViewUpdate update;
  if (call.host.clipboardHoldsPicture() && mayLetPictureGo(call, texts::kPasteCaption, update))
    call.host.pasteFromClipboard(call.state, update);
  return update;
}

ViewUpdate runScreenCrop(CommandCall& call) {
  ViewUpdate update;
  update.outlines = screenCropCommand(call.state);
  return update;
}

ViewUpdate runPalette(CommandCall& call) {
  return call.host.editPalette(call.state) ? renderRepaint() : ViewUpdate{};
}

ViewUpdate runSettings(CommandCall& call) {
  call.host.editEffectSettings(call.state);
  return {};
}

ViewUpdate runProperties(CommandCall& call) {
  return call.host.showPictureProperties(call.state) ? renderLayoutRepaint() : ViewUpdate{};
}

ViewUpdate runHalve(CommandCall& call) {
  return halveCommand(call.state, call.argument);
}

ViewUpdate runDither(CommandCall& call) {
  return ditherCommand(call.state, call.argument);
}

ViewUpdate runNearest(CommandCall& call) {
  return nearestCommand(call.state, call.argument);
}

ViewUpdate runGrey(CommandCall& call) {
  return call.argument == 256 ? grey256Command(call.state) : greyCommand(call.state, call.argument);
}

// The argument is the new zoom factor.
ViewUpdate runZoomHorizontally(CommandCall& call) {
  call.state.view.zoomX = static_cast<int8_t>(call.argument);
  return layoutRepaint();
}

ViewUpdate runZoomVertically(CommandCall& call) {
  call.state.view.zoomY = static_cast<int8_t>(call.argument);
  return layoutRepaint();
}

ViewUpdate runZoomBoth(CommandCall& call) {
  call.state.view.zoomX = call.state.view.zoomY = static_cast<int8_t>(call.argument);
  return layoutRepaint();
}

ViewUpdate runColourSwitch(CommandCall& call) {
  call.state.view.blackAndWhiteView = !call.state.view.blackAndWhiteView;
  return renderRepaint();
}

ViewUpdate runSetAlgorithm(CommandCall& call) {
  call.state.effects.ditherAlgorithm = static_cast<uint8_t>(call.argument);
  return {};
}

ViewUpdate runSetPreDistortion(CommandCall& call) {
  call.state.effects.preDistortion = call.value->numbers[0] != 0;
  return {};
}

ViewUpdate runSetInterlace(CommandCall& call) {
  call.state.effects.interlacedFourColour = call.value->numbers[0] != 0;
  return {};
}

ViewUpdate runSetColourChoices(CommandCall& call) {
  EffectSettings& effects = call.state.effects;
  for (size_t i = 0; i < effects.colourChoices.size(); ++i) {
    const int64_t choice = call.value->numbers[i];
    effects.autoColourSets[i < kFourColourSet ? 0 : (i < kEvenLineSet ? 1 : 2)] = choice < 0;
    if (choice >= 0) effects.colourChoices[i] = static_cast<uint8_t>(choice);
  }
  return {};
}

ViewUpdate runSetThreshold(CommandCall& call) {
  call.state.effects.threshold = static_cast<uint8_t>(call.value->numbers[0]);
  return {};
}

ViewUpdate runSetCoding(CommandCall& call) {
  call.state.saveOptions.saveCoding = static_cast<uint8_t>(call.argument);
  return {};
}

ViewUpdate runSetFormat(CommandCall& call) {
  call.state.saveOptions.saveFormat = static_cast<uint8_t>(call.argument);
  return {};
}

ViewUpdate runSetMaskColour(CommandCall& call) {
  call.state.saveOptions.maskColour = static_cast<uint8_t>(call.value->numbers[0]);
  return {};
}

ViewUpdate runSetPaletteFile(CommandCall& call) {
  call.state.saveOptions.makePaletteFile = call.value->numbers[0] != 0;
  return {};
}

ViewUpdate runCrop(CommandCall& call) {
  const std::vector<int64_t>& n = call.value->numbers;
  const auto toCoordinate = [](int64_t v) {
    return static_cast<int32_t>(v > kLargestCoordinate ? kLargestCoordinate : v);
  };
  if (!cropDocument(call.state.document, toCoordinate(n[0]), toCoordinate(n[1]),
                    toCoordinate(n[0] + n[2]), toCoordinate(n[1] + n[3])))
    call.host.prompts().showError("the rectangle does not overlap the picture; nothing cut",
                                  "--crop");
  return {};
}

std::string infoJson(const AppState& state) {
  const ImageDocument& doc = state.document;
  std::ostringstream out;
  out << "{\"width\":" << doc.width << ",\"height\":" << doc.height
      << ",\"rowStride\":" << doc.rowStride << ",\"colourMode\":" << doc.colourMode
      << ",\"pictureSize\":" << doc.pictureSize << ",\"tvcPicture\":" << (doc.tvcPicture ? 1 : 0)
      << ",\"interlaced\":" << (doc.interlaced ? 1 : 0)
      << ",\"zoomX\":" << static_cast<int>(state.view.zoomX)
      << ",\"zoomY\":" << static_cast<int>(state.view.zoomY) << ",\"palette\":[";
  const RenderDescription render = describeRender(doc, false);
  for (size_t i = 0; i < render.colourTable.size(); ++i)
    out << (i ? "," : "") << render.colourTable[i];
  out << "]}";
  return out.str();
}

ViewUpdate runInfo(CommandCall& call) {
  call.host.writeLine(infoJson(call.state));
  return {};
}

ViewUpdate runResize(CommandCall& call) {
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

bool namesPngFile(const std::string& path) {
  std::string extension;
  return extensionOf(fileNameOf(path), extension) && extension == "PNG";
}

// A file name ending in .png gets PNG, any other the BMP it always got.
ViewUpdate runExport(CommandCall& call) {
  ViewUpdate update;
  const ImageDocument& doc = call.state.document;
  if (!doc.holdsPicture()) {
    call.host.prompts().showError("the document holds no picture", "--export");
    update.outcome = CommandOutcome::kNoPicture;
    return update;
  }
  const std::vector<ColourValue> colours = describeRender(doc, false).colourTable;
  bool written = false;
  if (namesPngFile(call.value->text)) {
    // Coded whole first; no code (no memory for it) is a failed write, never an empty file.
    const std::vector<uint8_t> png = encodePng(doc, colours);
    written = !png.empty() && writeWholeFile(call.value->text, png);
  } else {
    written = writeBmpFile(call.value->text, doc, colours);  // straight from the document
  }
  if (!written) {
    call.host.prompts().showError("cannot write " + call.value->text, "--export");
    update.outcome = CommandOutcome::kWriteFailed;
  }
  return update;
}

// The picture as the window shows it, as PNG.
ViewUpdate runSavePreview(CommandCall& call) {
  std::string path;
  if (call.value)
    path = call.value->text;
  else if (!call.host.choosePreviewFile(call.state, path))
    return {};
  ViewUpdate update;
  ImageDocument preview;
  std::vector<ColourValue> colours;
  std::vector<uint8_t> png;
  if (buildPreview(call.state.document, call.state.view, preview, colours))
    png = encodePng(preview, colours);
  if (png.empty() || !writeWholeFile(path, png)) {
    call.host.prompts().showError(texts::kPreviewNotWritten, texts::kSaveCaption);
    update.outcome = CommandOutcome::kWriteFailed;
  }
  return update;
}

// Enabling rules ----------------------------------------------------------------------

bool holdsTvcDepth(const AppState& state) {
  const int32_t mode = state.document.colourMode;
  return mode == 2 || mode == 4 || mode == 16;
}

bool holdsFewColours(const AppState& state) {
  return state.document.colourMode == 2 || state.document.colourMode == 4;
}

bool holdsTrueColour(const AppState& state) {
  return state.document.colourMode == kTrueColour;
}

bool holdsPicture(const AppState& state) {
  return state.document.holdsPicture();
}

// The table ---------------------------------------------------------------------------

const char* const kFile = "FILE";
const char* const kOnOff = "on|off";

const std::vector<Command> kCommands = {
    // menu identifier, option, word, value parser, value hint, help,
    // handler, argument, enabled when
    {ID_FILE_OPEN, nullptr, nullptr, nullptr, nullptr, nullptr, runOpen, 0, nullptr},
    {ID_FILE_SAVE_AS, "--save", nullptr, parseFileName, kFile,
     "save as a KEP file with the save options (2, 4 or 16 colours)", runSaveAs, 0, holdsTvcDepth},
    {ID_FILE_SAVE_PREVIEW, "--preview", nullptr, parseFileName, "FILE.png",
     "the picture as the window shows it (zoom, view colours) as PNG", runSavePreview, 0,
     holdsPicture},
    {ID_FILE_EXIT, nullptr, nullptr, nullptr, nullptr, nullptr, runExit, 0, nullptr},
    {ID_EDIT_UNDO, nullptr, nullptr, nullptr, nullptr, nullptr, runUndo, 0, canUndo},
    {ID_EDIT_REDO, nullptr, nullptr, nullptr, nullptr, nullptr, runRedo, 0, canRedo},
    {ID_EDIT_COPY, nullptr, nullptr, nullptr, nullptr, nullptr, runCopy, 0, nullptr},
    {ID_PASTE, nullptr, nullptr, nullptr, nullptr, nullptr, runPaste, 0, nullptr},
    {ID_SCREEN_CROP, nullptr, nullptr, nullptr, nullptr, nullptr, runScreenCrop, 0, nullptr},
    {0, "--crop", nullptr, parseRectangle, "X,Y,W,H", "cut to a rectangle of document pixels",
     runCrop, 0, nullptr},

    {ID_HALVE_VERTICALLY, "--halve", "v", nullptr, nullptr, "halve the height or the width",
     runHalve, kHalveVertically, holdsTrueColour},
    {ID_HALVE_HORIZONTALLY, "--halve", "h", nullptr, nullptr, nullptr, runHalve, kHalveHorizontally,
     holdsTrueColour},
    {ID_RESIZE, "--resize", nullptr, parseResize, "W,H[,fit|fill|stretch]",
     "resample to fit, fill or stretch to W x H (linear light)", runResize, 0, holdsPicture},
    {ID_DITHER_2, "--dither", "2", nullptr, nullptr, "dither with the effect settings", runDither,
     kDitherTwoColours, nullptr},
    {ID_DITHER_4, "--dither", "4", nullptr, nullptr, nullptr, runDither, kDitherFourColours,
     nullptr},
    {ID_DITHER_16, "--dither", "16", nullptr, nullptr, nullptr, runDither, kDitherSixteenColours,
     nullptr},
    {ID_NEAREST_2, "--nearest", "2", nullptr, nullptr, "nearest colours", runNearest, 2, nullptr},
    {ID_NEAREST_4, "--nearest", "4", nullptr, nullptr, nullptr, runNearest, 4, nullptr},
    {ID_NEAREST_16, "--nearest", "16", nullptr, nullptr, nullptr, runNearest, 16, nullptr},
    {ID_GREY_4, "--grey", "4", nullptr, nullptr, "grey levels", runGrey, kFourGreys, nullptr},
    {ID_GREY_16, "--grey", "16", nullptr, nullptr, nullptr, runGrey, kSixteenGreys, nullptr},
    {ID_GREY_256, "--grey", "256", nullptr, nullptr, nullptr, runGrey, 256, nullptr},
    {ID_PALETTE, nullptr, nullptr, nullptr, nullptr, nullptr, runPalette, 0, holdsFewColours},
    {ID_SETTINGS, nullptr, nullptr, nullptr, nullptr, nullptr, runSettings, 0, nullptr},

    {ID_ZOOM_VERTICALLY, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomVertically, 2,
     nullptr},
    {ID_ZOOM_HORIZONTALLY, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomHorizontally, 2,
     nullptr},
    {ID_UNZOOM_VERTICALLY, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomVertically, 1,
     nullptr},
    {ID_UNZOOM_HORIZONTALLY, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomHorizontally, 1,
     nullptr},
    {ID_FOURFOLD_SIZE, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomBoth, 2, nullptr},
    {ID_NORMAL_SIZE, nullptr, nullptr, nullptr, nullptr, nullptr, runZoomBoth, 1, nullptr},
    {ID_COLOUR_SWITCH, nullptr, nullptr, nullptr, nullptr, nullptr, runColourSwitch, 0,
     holdsTvcDepth},
    {ID_VIEW_PROPERTIES, nullptr, nullptr, nullptr, nullptr, nullptr, runProperties, 0, nullptr},

    // The effect settings and save options the window sets in its dialogs.
    {0, "--algorithm", "fs", nullptr, nullptr,
     "dither algorithm: Floyd-Steinberg, ordered, perceptual or refined", runSetAlgorithm,
     kFloydSteinberg, nullptr},
    {0, "--algorithm", "ordered", nullptr, nullptr, nullptr, runSetAlgorithm, kOrdered, nullptr},
    {0, "--algorithm", "perceptual", nullptr, nullptr, nullptr, runSetAlgorithm, kPerceptual,
     nullptr},
    {0, "--algorithm", "refined", nullptr, nullptr, nullptr, runSetAlgorithm, kRefined, nullptr},
    {0, "--predistort", nullptr, parseOnOff, kOnOff,
     "halve before 2- and 16-colour dithering and 16 greys", runSetPreDistortion, 0, nullptr},
    {0, "--interlace", nullptr, parseOnOff, kOnOff, "interlaced 4-colour error diffusion",
     runSetInterlace, 0, nullptr},
    {0, "--colours", nullptr, parseColourChoices, "I0,...,I9|auto",
     "ten TVC colour indices: 2-colour, 4-colour, even-line sets; auto for all of a set's "
     "values (or auto alone for every set) chooses it for each picture",
     runSetColourChoices, 0, nullptr},
    {0, "--threshold", nullptr, parseThreshold, "N", "2-colour threshold, 0..255", runSetThreshold,
     0, nullptr},
    {0, "--coding", "plain", nullptr, nullptr, "KEP data coding", runSetCoding, kPlain, nullptr},
    {0, "--coding", "rle", nullptr, nullptr, nullptr, runSetCoding, kRle, nullptr},
    {0, "--format", "kep", nullptr, nullptr, "KEP header or sprite export", runSetFormat,
     kFullKepHeader, nullptr},
    {0, "--format", "sprite", nullptr, nullptr, nullptr, runSetFormat, kSpriteExport, nullptr},
    {0, "--format", "sprite-mask", nullptr, nullptr, nullptr, runSetFormat, kSpriteWithMask,
     nullptr},
    {0, "--mask-colour", nullptr, parseTvcIndex, "I", "the sprite mask's TVC colour",
     runSetMaskColour, 0, nullptr},
    {0, "--palette-file", nullptr, parseOnOff, kOnOff, "write a PAL file beside a sprite",
     runSetPaletteFile, 0, nullptr},

    {0, "--info", nullptr, nullptr, nullptr, "one line of JSON describing the document", runInfo, 0,
     nullptr},
    {0, "--export", nullptr, parseFileName, "FILE.bmp|FILE.png",
     "the document as an uncompressed BMP, or as PNG for a .png name", runExport, 0, nullptr},
};

}  // namespace

const std::vector<Command>& commandTable() {
  return kCommands;
}

const Command* menuCommand(int menuId) {
  for (const Command& command : kCommands)
    if (menuId != 0 && command.menuId == menuId) return &command;
  return nullptr;
}

bool writesNamedFile(const Command& command) {
  return command.parse == parseFileName;
}

bool commandEnabled(const Command& command, const AppState& state) {
  return !command.enabled || command.enabled(state);
}

ViewUpdate runMenuCommand(AppState& state, CommandHost& host, int menuId) {
  const Command* command = menuCommand(menuId);
  if (!command) return {};
  CommandCall call{state, host, command->argument, nullptr};
  return recordChanges(state, [&call, command] { return command->run(call); });
}

ViewUpdate runCommandStep(AppState& state, CommandHost& host, const Command& command,
                          const StepValue& value) {
  CommandCall call{state, host, command.argument, &value};
  return command.run(call);
}

}  // namespace vz
