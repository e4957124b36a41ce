#include "converter/commands/history.h"

#include <new>
#include <optional>
#include <utility>

namespace vz {

namespace {

// The one place that knows what a step holds: the state's part and the snapshot trade
// places, so an undo or redo moves pictures without copying them.
void exchange(AppState& state, DocumentSnapshot& snapshot) {
  std::swap(state.document, snapshot.document);
  std::swap(state.view.zoomX, snapshot.zoomX);
  std::swap(state.view.zoomY, snapshot.zoomY);
  std::swap(state.view.blackAndWhiteView, snapshot.blackAndWhiteView);
  std::swap(state.filePath, snapshot.filePath);
  std::swap(state.fileTitle, snapshot.fileTitle);
  std::swap(state.saveTarget, snapshot.saveTarget);
  std::swap(state.history.revision, snapshot.revision);
}

// A copy of the state for an undo step; none when memory cannot be had for it.
std::optional<DocumentSnapshot> copySnapshot(AppState& state) {
  DocumentSnapshot shown;
  exchange(state, shown);
  std::optional<DocumentSnapshot> copy;
  try {
    copy = shown;
  } catch (const std::bad_alloc&) {
  }
  exchange(state, shown);
  return copy;
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

// Brings back the newest step of `from`; the state it replaces becomes the newest of `to`.
ViewUpdate stepThrough(AppState& state, std::deque<DocumentSnapshot>& from,
                       std::deque<DocumentSnapshot>& to) {
  if (from.empty()) return {};
  DocumentSnapshot step = std::move(from.back());
  from.pop_back();
  exchange(state, step);
  to.push_back(std::move(step));
  return showAnew();
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
    if (before && before->document != state.document) {
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
  return stepThrough(state, state.history.undoSteps, state.history.redoSteps);
}

ViewUpdate redoCommand(AppState& state) {
  return stepThrough(state, state.history.redoSteps, state.history.undoSteps);
}

size_t historyBytes(const DocumentHistory& history) {
  size_t bytes = 0;
  for (const DocumentSnapshot& step : history.undoSteps) bytes += step.document.pixels.size();
  for (const DocumentSnapshot& step : history.redoSteps) bytes += step.document.pixels.size();
  return bytes;
}

}  // namespace vz
