#include "converter/commands/commands.h"

#include <algorithm>
#include <new>
#include <thread>

#include "converter/colour/colour_set_search.h"
#include "converter/colour/conversions.h"
#include "converter/colour/refined_dither.h"
#include "converter/formats/bmp.h"
#include "converter/formats/gif.h"
#include "converter/formats/jpeg/jpeg_reader.h"
#include "converter/formats/pcx.h"
#include "converter/formats/png_reader.h"
#include "converter/formats/tvc/kep_reader.h"
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

int threadsOf(const AppState& state) {
  const unsigned threads =
      state.conversionThreads ? state.conversionThreads : std::thread::hardware_concurrency();
  return static_cast<int>(std::max(1u, threads));
}

}  // namespace

std::string windowTitleForFile(const std::string& fileTitle) {
  return "Vizorka - [" + fileTitle + "]";
}

bool extensionOf(const std::string& fileTitle, std::string& upperExtension) {
  if (fileTitle.size() < 4 || fileTitle[fileTitle.size() - 4] != '.') return false;
  upperExtension = fileTitle.substr(fileTitle.size() - 3);
  for (char& c : upperExtension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
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

bool knownExtension(const std::string& extension) {
  for (const char* known : {"BMP", "PCX", "GIF", "JPG", "PNG", "KEP", "VID", "R16"})
    if (extension == known) return true;
  return false;
}

// Reads the chosen file into the (empty) document by its extension, reporting what
// goes wrong. The unknown-extension question has been answered already.
ReadStatus readChosenFile(AppState& state, const std::string& extension, UserPrompts& prompts) {
  ImageDocument& doc = state.document;
  // Folders, pipes and files larger than any picture never reach a reader.
  if (checkPictureFile(state.filePath) != ReadStatus::kOk) {
    prompts.showError(texts::kCannotOpen, texts::kOpenCaption);
    return ReadStatus::kCannotOpen;
  }
  ReadStatus status = ReadStatus::kOk;
  if (extension == "JPG") {
    status = readJpg(state.filePath, doc);
  } else if (extension == "BMP") {
    status = readBmpFile(state.filePath, doc);
  } else {
    status = readPictureFile(state.filePath, state.fileData);
    if (status != ReadStatus::kOk) {
      prompts.showError(texts::kCannotOpen, texts::kOpenCaption);
      return ReadStatus::kCannotOpen;
    }
    const size_t size = state.fileData.size();
    const uint8_t* data = state.fileData.data();
    if (extension == "PCX") {
      status = readPcx(size, data, doc);
    } else if (extension == "GIF") {
      status = readGif(size, data, doc);
    } else if (extension == "PNG") {
      status = readPng(size, data, doc);
    } else {
      doc.tvcPicture = true;
      if (extension == "R16")
        status = readR16(size, data, doc, state.kepDecodeColours);
      else if (extension == "VID")
        status = readVid(size, data, doc, state.kepDecodeColours);
      else  // KEP, or an unknown extension read as one
        status = readKep(size, data, doc, state.kepDecodeColours);
    }
  }
  if (status == ReadStatus::kCannotOpen) {
    prompts.showError(texts::kCannotOpen, texts::kOpenCaption);
  } else if (!givesPicture(status) ||
             ((extension == "JPG" || extension == "PNG") && status == ReadStatus::kPartial)) {
    // A JPEG or PNG that broke off part-way keeps the rows it had, after the message.
    prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
  }
  return status;
}

}  // namespace

ViewUpdate openCommand(AppState& state, UserPrompts& prompts, const std::string& previousPath,
                       const std::string& previousTitle) {
  ViewUpdate update;
  update.titleChanged = true;
  std::string extension;
  if (!extensionOf(state.fileTitle, extension)) {
    prompts.showError(texts::kBadExtension, texts::kOpenCaption);
    update.repaint = true;
    return update;
  }
  // Asked before anything is released: declining keeps the picture, its name and view.
  if (!knownExtension(extension) && !prompts.askYesNo(texts::kUnknownFormat, texts::kOpenCaption)) {
    state.filePath = previousPath;
    state.fileTitle = previousTitle;
    update.repaint = true;
    return update;
  }
  releaseForNewPicture(state);
  state.fileData = std::vector<uint8_t>();
  ImageDocument& doc = state.document;
  if (!givesPicture(readChosenFile(state, extension, prompts))) {
    // A failed reader never leaves a half-built picture behind.
    releasePicture(doc);
    doc.interlaced = false;
  }

  setZoom(state, 1, 1);
  if (doc.tvcPicture) {
    if (doc.colourMode == 2)
      state.view.zoomY = 2;
    else if (doc.colourMode == 16 && !doc.interlaced)
      state.view.zoomX = 2;
  }
  state.view.blackAndWhiteView = false;
  update.newPicture = true;
  update.newScreenBitmap = update.render = update.layout = update.repaint = true;
  return update;
}

ViewUpdate pasteCommand(AppState& state, UserPrompts& prompts,
                        const std::function<int32_t(ImageDocument&)>& readPicture) {
  state.fileTitle = texts::kUntitled;
  releaseForNewPicture(state);
  ImageDocument& doc = state.document;
  doc.pictureSize = readPicture(doc);
  if (doc.pictureSize <= 0) {
    releasePicture(doc);
    prompts.showError(texts::kPasteFailed, texts::kPasteCaption);
  }
  setZoom(state, 1, 1);
  state.view.blackAndWhiteView = false;
  ViewUpdate update = renderLayoutRepaint();
  update.titleChanged = update.newPicture = update.newScreenBitmap = true;
  return update;
}

namespace {

// Pre-distortion: a true-colour picture about to be dithered to 2 colours is halved
// downwards and shown 1 x 2, one about to be dithered to 16 colours halved across and
// shown 2 x 1.
void preDistort(ImageDocument& doc, ViewState& view, int kind, bool preDistortion, int threads) {
  if (!preDistortion) return;
  if (kind == kDitherTwoColours) {
    halve(doc, kHalveVertically, threads);
    view.zoomX = 1;
    view.zoomY = 2;
  } else if (kind == kDitherSixteenColours) {
    halve(doc, kHalveHorizontally, threads);
    view.zoomX = 2;
    view.zoomY = 1;
  }
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

ViewUpdate ditherCommand(AppState& state, int kind) {
  ImageDocument& doc = state.document;
  const int threads = threadsOf(state);
  preDistort(doc, state.view, kind, state.effects.preDistortion, threads);
  if (kind == kDitherTwoColours)
    chooseAutoColours(state, SetConversion::kDitherTwoColours);
  else if (kind == kDitherFourColours)
    chooseAutoColours(state, SetConversion::kDitherFourColours);
  if (state.effects.ditherAlgorithm == kFloydSteinberg)
    floydSteinbergDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kOrdered)
    orderedDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kPerceptual)
    perceptualDither(doc, state.effects, kind, threads);
  else if (state.effects.ditherAlgorithm == kRefined)
    refinedDither(doc, state.effects, kind, state.view.zoomX, state.view.zoomY, threads);
  doc.tvcPicture = true;
  return renderLayoutRepaint();
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
    preDistort(trial.document, trial.view, kDitherTwoColours, settings.preDistortion,
               threadsOf(state));
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

ViewUpdate nearestCommand(AppState& state, int target) {
  ImageDocument& doc = state.document;
  if (target == 2) chooseAutoColours(state, SetConversion::kNearestTwoColours);
  if (target == 4 && (doc.colourMode == kTrueColour || doc.colourMode > 16))
    nearestColourConversion(doc, state.effects, 16, threadsOf(state));
  nearestColourConversion(doc, state.effects, target, threadsOf(state));
  return renderRepaint();
}

ViewUpdate greyCommand(AppState& state, int kind) {
  if (kind == kSixteenGreys && state.effects.preDistortion) {
    halve(state.document, kHalveHorizontally, threadsOf(state));
    setZoom(state, 2, 1);
  }
  state.document.tvcPicture = true;
  state.view.blackAndWhiteView = true;
  greyConversion(state.document, kind, threadsOf(state));
  return renderLayoutRepaint();
}

ViewUpdate grey256Command(AppState& state) {
  grey256Conversion(state.document, threadsOf(state));
  return renderRepaint();
}

ViewUpdate halveCommand(AppState& state, int direction) {
  halve(state.document, direction, threadsOf(state));
  return renderLayoutRepaint();
}

ViewUpdate resizeCommand(AppState& state, const ResizeTarget& target, UserPrompts& prompts) {
  ViewUpdate update;
  if (!state.document.holdsPicture()) return update;
  if (!resizePicture(state.document, target)) {
    prompts.showError(texts::kResizedTooLarge, texts::kResizeCaption);
    // vizorka-cli stops rather than carry on with the picture unresized.
    update.outcome = CommandOutcome::kNoPicture;
    return update;
  }
  setZoom(state, 1, 1);
  // The colour switch belongs to 2-, 4- and 16-colour pictures; a new true-colour
  // picture starts in colour, as an opened one does.
  state.view.blackAndWhiteView = false;
  update = renderLayoutRepaint();
  update.newScreenBitmap = true;
  return update;
}

}  // namespace vz
