#include "converter/commands/commands.h"

#include <algorithm>
#include <new>
#include <thread>

#include "converter/colour/colour_set_search.h"
#include "converter/colour/conversions.h"
#include "converter/colour/refined_dither.h"
#include "converter/formats/picture_formats.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/file_io.h"

namespace vz {

namespace {

ViewUpdate renderLayoutRepaint() {
  ViewUpdate update;
  update.render = update.layout = update.repaint = true;
  return update;
}

ViewUpdate renderRepaint() {
  ViewUpdate update;
  update.render = update.repaint = true;
  return update;
}

void setZoom(AppState& state, int8_t zoomX, int8_t zoomY) {
  state.view.zoomX = zoomX;
  state.view.zoomY = zoomY;
}

}  // namespace

int threadsOf(const AppState& state) {
  const unsigned threads =
      state.conversionThreads ? state.conversionThreads : std::thread::hardware_concurrency();
  return static_cast<int>(std::max(1u, threads));
}

std::string windowTitleForFile(const std::string& fileTitle) {
  return "Vizorka - [" + fileTitle + "]";
}

bool extensionOf(const std::string& fileTitle, std::string& upperExtension) {
  const size_t dot = fileTitle.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = fileTitle.substr(dot + 1);
  for (char& c : extension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (extension.size() != 3 && !formatOfExtension(extension)) return false;
  upperExtension = extension;
  return true;
}

std::string fileNameOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

void releaseForNewPicture(AppState& state) {
  releasePicture(state.document);
  state.document.tvcPicture = false;
  state.document.interlaced = false;
}

namespace {

// The format that reads a file: the one its content's signature names, else the one of
// its extension; an unknown extension is read as KEP when the user says so. Reports and
// returns false when none will read it.
bool chooseFormat(const std::string& fileTitle, const std::vector<uint8_t>& bytes,
                  UserPrompts& prompts, const PictureFormat*& format,
                  const PictureFormat*& byExtension, Status& refusal) {
  format = formatOfContent(bytes.size(), bytes.data());
  byExtension = nullptr;
  std::string extension;
  if (extensionOf(fileTitle, extension)) byExtension = formatOfExtension(extension);
  if (format) return true;
  if (!extensionOf(fileTitle, extension)) {
    prompts.showError(texts::kBadExtension, texts::kOpenCaption);
    refusal = Status(StatusCode::kUnsupported, "the file name has no extension to read it by");
    return false;
  }
  if (!byExtension && !prompts.askYesNo(texts::kUnknownFormat, texts::kOpenCaption)) {
    refusal = Status(StatusCode::kUnsupported, "unknown format ." + extension);
    return false;
  }
  format = byExtension ? byExtension : &kepFormat();
  return true;
}

void setZoomForPicture(AppState& state) {
  const ImageDocument& doc = state.document;
  setZoom(state, 1, 1);
  if (!doc.tvcPicture) return;
  if (doc.colourMode == ColourMode::kColours2)
    state.view.zoomY = 2;
  else if (doc.colourMode == ColourMode::kColours16 && !doc.interlaced)
    state.view.zoomX = 2;
}

}  // namespace

CommandResult openCommand(AppState& state, UserPrompts& prompts, const std::string& path) {
  const std::string title = fileNameOf(path);
  std::vector<uint8_t> bytes;
  const Status fileStatus = readPictureFile(path, bytes);
  const PictureFormat* format = nullptr;
  const PictureFormat* byExtension = nullptr;
  Status refusal;
  if (!chooseFormat(title, bytes, prompts, format, byExtension, refusal)) return refusal;
  if (!fileStatus.ok()) {
    prompts.showError(texts::kCannotOpen, texts::kOpenCaption);
    return fileStatus;
  }

  ImageDocument picture;
  Status status = readPicture(*format, bytes.size(), bytes.data(), picture, state.readOptions);
  // The TVC's formats carry no signature: raw video bytes that happen to start like
  // another format's file are still read by their extension when that reader fails.
  if (!givesPicture(status) && byExtension && byExtension != format && byExtension->tvcPicture) {
    ImageDocument second;
    const Status secondStatus =
        readPicture(*byExtension, bytes.size(), bytes.data(), second, state.readOptions);
    if (givesPicture(secondStatus)) {
      format = byExtension;
      status = secondStatus;
      picture = std::move(second);
    }
  }
  if (!givesPicture(status)) {
    prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
    return status;
  }
  if (status == StatusCode::kPartial && format->reportsBrokenOff)
    prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);

  picture.tvcPicture = format->tvcPicture;
  state.document = std::move(picture);
  state.filePath = path;
  state.fileTitle = title;
  // A KEP file in a form the writer makes is saved again as it is; any other picture
  // is saved only where Save as is told to.
  SaveOptions kepOptions;
  if (format == &kepFormat() && saveOptionsOfKepFile(bytes.size(), bytes.data(), kepOptions))
    state.saveTarget = {path, kepOptions};
  else
    state.saveTarget = {};
  if (format->tvcPicture)
    std::copy(state.document.palette.begin(), state.document.palette.begin() + 4,
              state.kepDecodeColours.begin());
  setZoomForPicture(state);
  state.view.blackAndWhiteView = false;
  ViewUpdate update;
  update.titleChanged = update.newPicture = true;
  update.newScreenBitmap = update.render = update.layout = update.repaint = true;
  return CommandResult(status, update);
}

CommandResult pasteCommand(AppState& state, UserPrompts& prompts,
                           const std::function<bool(ImageDocument&)>& readPicture) {
  state.fileTitle = texts::kUntitled;
  state.saveTarget = {};
  releaseForNewPicture(state);
  ImageDocument& doc = state.document;
  Status status;
  if (!readPicture(doc) || !doc.holdsPicture()) {
    releasePicture(doc);
    prompts.showError(texts::kPasteFailed, texts::kPasteCaption);
    status = Status(StatusCode::kDamaged, "the clipboard's bitmap cannot be read");
  }
  setZoom(state, 1, 1);
  state.view.blackAndWhiteView = false;
  ViewUpdate update = renderLayoutRepaint();
  update.titleChanged = update.newPicture = update.newScreenBitmap = true;
  return CommandResult(status, update);
}

namespace {

// Pre-distortion: a true-colour picture about to be dithered to 2 colours is halved
// downwards and shown 1 x 2, one about to be dithered to 16 colours halved across and
// shown 2 x 1.
// Only true-colour pictures are halved; the others are dithered as they are. False when
// there was no memory for the halving.
bool preDistort(ImageDocument& doc, ViewState& view, int kind, bool preDistortion, int threads) {
  if (!preDistortion) return true;
  if (kind == kDitherTwoColours) {
    if (halve(doc, kHalveVertically, threads) == StatusCode::kOutOfMemory) return false;
    view.zoomX = 1;
    view.zoomY = 2;
  } else if (kind == kDitherSixteenColours) {
    if (halve(doc, kHalveHorizontally, threads) == StatusCode::kOutOfMemory) return false;
    view.zoomX = 2;
    view.zoomY = 1;
  }
  return true;
}

// The sets marked auto that the conversion uses become the best for the picture as it
// is now, shown as the view shows it.
void chooseAutoColours(AppState& state, SetConversion conversion) {
  const std::array<bool, 3>& marked = state.effects.autoColourSets;
  if (!marked[0] && !marked[1] && !marked[2]) return;
  ColourSetTarget target;
  target.conversion = conversion;
  target.choose = marked;
  target.zoomX = state.view.zoomX;
  target.zoomY = state.view.zoomY;
  // A picture the search cannot take is one the conversion leaves alone too; without
  // memory for the search the sets stay as they were.
  chooseColourSets(state.document, state.effects, target, threadsOf(state));
}

}  // namespace

CommandResult ditherCommand(AppState& state, int kind) {
  ImageDocument& doc = state.document;
  const int threads = threadsOf(state);
  if (!preDistort(doc, state.view, kind, state.effects.preDistortion, threads))
    return Status(StatusCode::kOutOfMemory, "out of memory");
  if (kind == kDitherTwoColours)
    chooseAutoColours(state, SetConversion::kDitherTwoColours);
  else if (kind == kDitherFourColours)
    chooseAutoColours(state, SetConversion::kDitherFourColours);
  Status status(StatusCode::kNotApplicable, "no such dither algorithm");
  if (state.effects.ditherAlgorithm == kFloydSteinberg)
    status = floydSteinbergDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kOrdered)
    status = orderedDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kPerceptual)
    status = perceptualDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kRefined)
    status = refinedDither(doc, state.effects, kind, state.view.zoomX, state.view.zoomY, threads);
  if (status != StatusCode::kOutOfMemory) doc.tvcPicture = true;
  return CommandResult(status, renderLayoutRepaint());
}

Status chooseBestColours(const AppState& state, EffectSettings& settings, int setId) {
  if (setId < kTwoColourSetId || setId > kEvenLineSetId)
    return Status(StatusCode::kNotApplicable, "no such colour set");
  AppState trial;
  try {
    trial.document = state.document;
  } catch (const std::bad_alloc&) {
    return Status(StatusCode::kOutOfMemory, "no memory to choose the colours");
  }
  trial.view = state.view;
  trial.conversionThreads = state.conversionThreads;
  trial.effects = settings;
  ColourSetTarget target;
  target.choose[static_cast<size_t>(setId)] = true;
  if (setId == kTwoColourSetId) {
    target.conversion = SetConversion::kDitherTwoColours;
    if (!preDistort(trial.document, trial.view, kDitherTwoColours, settings.preDistortion,
                    threadsOf(state)))
      return Status(StatusCode::kOutOfMemory, "no memory to choose the colours");
  } else if (setId == kFourColourSetId) {
    // Interlaced pictures take the two sets as a pair.
    target.conversion = SetConversion::kDitherFourColours;
    target.choose[kEvenLineSetId] = settings.interlacedFourColour;
  } else {
    // The even-line set serves only interlaced error diffusion.
    target.conversion = SetConversion::kDitherFourColours;
    trial.effects.interlacedFourColour = true;
    if (trial.effects.ditherAlgorithm == kOrdered) trial.effects.ditherAlgorithm = kPerceptual;
  }
  target.zoomX = trial.view.zoomX;
  target.zoomY = trial.view.zoomY;
  const Status status = chooseColourSets(trial.document, trial.effects, target, threadsOf(state));
  if (status.ok()) settings.colourChoices = trial.effects.colourChoices;
  return status;
}

CommandResult nearestCommand(AppState& state, int target) {
  ImageDocument& doc = state.document;
  if (target == 2) chooseAutoColours(state, SetConversion::kNearestTwoColours);
  if (target == 4 &&
      (doc.colourMode == ColourMode::kTrueColour || paletteEntries(doc.colourMode) > 16)) {
    const Status status = nearestColourConversion(doc, state.effects, 16, threadsOf(state));
    if (!status.ok()) return CommandResult(status, renderRepaint());
  }
  return CommandResult(nearestColourConversion(doc, state.effects, target, threadsOf(state)),
                       renderRepaint());
}

CommandResult greyCommand(AppState& state, int kind) {
  if (kind == kSixteenGreys && state.effects.preDistortion) {
    if (halve(state.document, kHalveHorizontally, threadsOf(state)) == StatusCode::kOutOfMemory)
      return Status(StatusCode::kOutOfMemory);
    setZoom(state, 2, 1);
  }
  const Status status = greyConversion(state.document, kind, threadsOf(state));
  if (status != StatusCode::kOutOfMemory) {
    state.document.tvcPicture = true;
    state.view.blackAndWhiteView = true;
  }
  return CommandResult(status, renderLayoutRepaint());
}

CommandResult grey256Command(AppState& state) {
  return CommandResult(grey256Conversion(state.document, threadsOf(state)), renderRepaint());
}

CommandResult halveCommand(AppState& state, int direction) {
  return CommandResult(halve(state.document, direction, threadsOf(state)), renderLayoutRepaint());
}

CommandResult toneCommand(AppState& state, const ToneSettings& settings) {
  applyTone(state.document, settings, threadsOf(state));
  return renderRepaint();
}

CommandResult resizeCommand(AppState& state, const ResizeTarget& target, UserPrompts& prompts) {
  ImageDocument& doc = state.document;
  if (!doc.holdsPicture()) return {};
  // Fit and fill by the shape the user sees.
  const int zoomX = state.view.zoomX;
  const int zoomY = state.view.zoomY;
  const ResizePlan plan = planShownResize(doc.width, doc.height, zoomX, zoomY, target);
  const Status status = plan.width > state.readOptions.maxPixels / plan.height
                            ? pictureOverTheLimit(plan.width, plan.height)
                            : resizePicture(doc, target, zoomX, zoomY);
  if (!status.ok()) {
    prompts.showError(texts::kResizedTooLarge, texts::kResizeCaption);
    return status;
  }
  setZoom(state, 1, 1);
  // The colour switch belongs to 2-, 4- and 16-colour pictures; a new true-colour
  // picture starts in colour, as an opened one does.
  state.view.blackAndWhiteView = false;
  ViewUpdate update = renderLayoutRepaint();
  update.newScreenBitmap = true;
  return update;
}

}  // namespace vz
