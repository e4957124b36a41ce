// The program state: one record owned by main (or the window) and passed by reference.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/model/document.h"
#include "converter/model/document_history.h"
#include "converter/model/read_options.h"
#include "converter/model/settings.h"

namespace vz {

struct ViewState {
  int8_t zoomX = 1;
  int8_t zoomY = 1;
  int32_t scrollX = 0;
  int32_t scrollY = 0;
  int32_t imageLeft = 0;
  int32_t imageTop = 0;
  int32_t visibleWidth = 0;
  int32_t visibleHeight = 0;
  int32_t displayWidth = 0;
  int32_t displayHeight = 0;
  int32_t horizontalMaximum = 0;  // scroll-bar ranges set by the layout
  int32_t verticalMaximum = 0;
  bool blackAndWhiteView = false;
  // Screen pixels per zoomed picture pixel: a whole factor suiting the monitor's DPI,
  // so that the picture stays sharp. The window sets it; 1 at 96 DPI.
  int8_t screenScale = 1;
  // The next layout at the picture's zoom shows it from its top-left corner instead of
  // its middle (a new picture).
  bool layoutFromTopLeft = false;
  // A picture larger than the window is shown whole, reduced to fit it (for display
  // only). The layout sets fittedWidth x fittedHeight, the size it is shown at, or
  // 0 x 0 while the picture is shown at its zoom.
  bool fitToWindow = false;
  int32_t fittedWidth = 0;
  int32_t fittedHeight = 0;
};

struct ClientRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

enum SelectionMode : int32_t { kSelectionIdle = 0, kSelectionFollowsMouse = 1 };

struct SelectionState {
  int32_t selectionState = kSelectionIdle;
  bool selectionShown = false;
  ClientRect selectionRect;
  int32_t selectionWidth = 0;
  int32_t selectionHeight = 0;
};

// File names are kept in UTF-8; the platform layer converts at its edge.
constexpr size_t kFilePathCapacity = 260;   // characters, terminator included
constexpr size_t kFileTitleCapacity = 512;  // characters, terminator included

struct AppState {
  ImageDocument document;
  EffectSettings effects;
  SaveOptions saveOptions;
  SaveTarget saveTarget;
  ViewState view;
  SelectionState selection;
  std::string filePath;
  std::string fileTitle;
  // How Open reads pictures: the picture limit, the photo's orientation.
  ReadOptions readOptions;
  // Threads a conversion shares its work among; 0: one per hardware thread.
  unsigned conversionThreads = 0;
  // Palette entries 0..3 after the last KEP, VID or R16 decode (the decode dialog's colours).
  std::array<ColourValue, 4> kepDecodeColours{};
  // Undo, redo and the unsaved-changes mark; only the window records steps.
  DocumentHistory history;
};

}  // namespace vz
