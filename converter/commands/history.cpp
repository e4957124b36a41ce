#include "converter/commands/history.h"

#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace vz {

namespace {

bool sameDocument(const ImageDocument& a, const ImageDocument& b) {
  return a.width == b.width && a.height == b.height && a.rowStride == b.rowStride &&
         a.colourMode == b.colourMode && a.pictureSize == b.pictureSize &&
         a.tvcPicture == b.tvcPicture && a.interlaced == b.interlaced && a.palette == b.palette &&
         a.pixels == b.pixels;
}

// A copy of the state for an undo step; none when memory cannot be had for it.
std::optional<DocumentSnapshot> copySnapshot(const AppState& state) {
  try {
    return DocumentSnapshot{
        state.document, state.view.zoomX, state.view.zoomY,      state.view.blackAndWhiteView,
        state.filePath, state.fileTitle,  state.history.revision};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// Tells a document from its changed self without a copy: its fields and a 64-bit
// FNV-1a over its pixels, eight bytes at a time.
uint64_t fingerprint(const ImageDocument& doc) {
  uint64_t hash = 14695981039346656037u;
  const auto mix = [&hash](uint64_t value) { hash = (hash ^ value) * 1099511628211u; };
  for (int64_t field :
       {int64_t{doc.width}, int64_t{doc.height}, int64_t{doc.rowStride}, int64_t{doc.colourMode},
        int64_t{doc.pictureSize}, int64_t{doc.tvcPicture}, int64_t{doc.interlaced}})
    mix(static_cast<uint64_t>(field));
  for (ColourValue colour : doc.palette) mix(colour);
  const size_t whole = doc.pixels.size() / 8 * 8;
  for (size_t i = 0; i < whole; i += 8) {
    uint64_t word;
    std::memcpy(&word, doc.pixels.data() + i, 8);
    mix(word);
  }
  for (size_t i = whole; i < doc.pixels.size(); ++i) mix(doc.pixels[i]);
  return hash;
}

// The document leaves the state for the snapshot: an undo or redo swaps pictures
// without copying them.
DocumentSnapshot takeSnapshot(AppState& state) {
  DocumentSnapshot snapshot;
  snapshot.document = std::move(state.document);
  snapshot.zoomX = state.view.zoomX;
  snapshot.zoomY = state.view.zoomY;
  snapshot.blackAndWhiteView = state.view.blackAndWhiteView;
  snapshot.filePath = state.filePath;
  snapshot.fileTitle = state.fileTitle;
  snapshot.revision = state.history.revision;
  return snapshot;
}

void restoreSnapshot(AppState& state, DocumentSnapshot&& snapshot) {
  state.document = std::move(snapshot.document);
  state.view.zoomX = snapshot.zoomX;
  state.view.zoomY = snapshot.zoomY;
  state.view.blackAndWhiteView = snapshot.blackAndWhiteView;
  state.filePath = std::move(snapshot.filePath);
  state.fileTitle = std::move(snapshot.fileTitle);
  state.history.revision = snapshot.revision;
}

size_t stepCount(const DocumentHistory& history) {
  return history.undoSteps.size() + history.redoSteps.size();
}

// Drops the oldest undo steps (then the farthest redo steps) until the rest fit.
void keepWithinBounds(DocumentHistory& history) {
  size_t bytes = historyBytes(history);
  while (stepCount(history) > 0 &&
         (stepCount(history) > history.stepLimit || bytes > history.byteLimit)) {
    std::deque<DocumentSnapshot>& steps =
        history.undoSteps.empty() ? history.redoSteps : history.undoSteps;
    bytes -= steps.front().document.pixels.size();
    steps.pop_front();
  }
}

ViewUpdate showAnew() {
  ViewUpdate update;
  update.titleChanged = update.newScreenBitmap = update.render = update.layout = update.repaint =
      true;
  return update;
}

}  // namespace

bool pictureChanged(const AppState& state) {
  return state.document.holdsPicture() && state.history.revision != state.history.savedRevision;
}

bool canUndo(const AppState& state) {
  return !state.history.undoSteps.empty();
}

bool canRedo(const AppState& state) {
  return !state.history.redoSteps.empty();
}

std::string windowTitle(const AppState& state) {
  return windowTitleForFile(state.fileTitle) + (pictureChanged(state) ? "*" : "");
}

ViewUpdate recordChanges(AppState& state, const std::function<ViewUpdate()>& command) {
  DocumentHistory& history = state.history;
  const bool wasChanged = pictureChanged(state);
  const uint64_t revisionBefore = history.revision;
  const bool hadPicture = state.document.holdsPicture();
  // A picture larger than the history may hold, or one memory cannot copy, is only
  // fingerprinted: its change is then marked, but cannot be undone.
  std::optional<DocumentSnapshot> before;
  if (state.document.pixels.size() <= history.byteLimit) before = copySnapshot(state);
  const uint64_t fingerprintBefore = before ? 0 : fingerprint(state.document);

  ViewUpdate update = command();

  const bool undoOrRedo = history.revision != revisionBefore;
  if (update.newPicture) {
    startHistory(state);
  } else if (!undoOrRedo && (hadPicture || state.document.holdsPicture())) {
    if (before && !sameDocument(before->document, state.document)) {
      history.redoSteps.clear();
      history.undoSteps.push_back(std::move(*before));
      history.revision = ++history.lastRevision;
      keepWithinBounds(history);
    } else if (!before && fingerprint(state.document) != fingerprintBefore) {
      // No step bridges this change: the older steps would undo to a wrong picture.
      history.undoSteps.clear();
      history.redoSteps.clear();
      history.revision = ++history.lastRevision;
    }
  }
  if (pictureChanged(state) != wasChanged) update.titleChanged = true;
  return update;
}

void startHistory(AppState& state) {
  DocumentHistory& history = state.history;
  history.undoSteps.clear();
  history.redoSteps.clear();
  history.revision = history.savedRevision = ++history.lastRevision;
}

void markSaved(AppState& state) {
  state.history.savedRevision = state.history.revision;
}

ViewUpdate undoCommand(AppState& state) {
  DocumentHistory& history = state.history;
  if (history.undoSteps.empty()) return {};
  DocumentSnapshot previous = std::move(history.undoSteps.back());
  history.undoSteps.pop_back();
  history.redoSteps.push_back(takeSnapshot(state));
  restoreSnapshot(state, std::move(previous));
  return showAnew();
}

ViewUpdate redoCommand(AppState& state) {
  DocumentHistory& history = state.history;
  if (history.redoSteps.empty()) return {};
  DocumentSnapshot next = std::move(history.redoSteps.back());
  history.redoSteps.pop_back();
  history.undoSteps.push_back(takeSnapshot(state));
  restoreSnapshot(state, std::move(next));
  return showAnew();
}

size_t historyBytes(const DocumentHistory& history) {
  size_t bytes = 0;
  for (const DocumentSnapshot& step : history.undoSteps) bytes += step.document.pixels.size();
  for (const DocumentSnapshot& step : history.redoSteps) bytes += step.document.pixels.size();
  return bytes;
}

}  // namespace vz
