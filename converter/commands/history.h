// Undo and redo of the commands that change the document, and whether the picture has
// changed since it was opened, pasted or last saved. The window runs its commands
// through recordChanges; vizorka-cli keeps no history.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "converter/commands/commands.h"
#include "converter/model/app_state.h"

namespace vz {

// A picture changed since it was opened, pasted or last saved; an empty document never is.
bool pictureChanged(const AppState& state);

bool canUndo(const AppState& state);
bool canRedo(const AppState& state);

// "Vizorka - [fileTitle]", with a trailing "*" while the picture is changed.
std::string windowTitle(const AppState& state);

// Runs a command and keeps its history: when the command changed the document (its
// pixels, size, colour mode, palette or flags), the state before it becomes the newest
// undo step and the redo steps go; when it brought a new picture, the history starts
// afresh. The title is asked for whenever the changed mark turns on or off.
ViewUpdate recordChanges(AppState& state, const std::function<ViewUpdate()>& command);

// No steps, and the document shown counts as unchanged.
void startHistory(AppState& state);

// The document has been written: it counts as unchanged until the next change.
void markSaved(AppState& state);

// Each brings back the whole state of the step (picture, zoom, grey view, file name)
// and keeps the state left for the opposite command. Nothing without a step.
ViewUpdate undoCommand(AppState& state);
ViewUpdate redoCommand(AppState& state);

// The pixel bytes the kept steps hold.
size_t historyBytes(const DocumentHistory& history);

}  // namespace vz
