// The pictures kept for undo and redo, and the mark of the last saved one. Only the
// window keeps a history; commands/history.h holds its rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "converter/model/document.h"
#include "converter/model/settings.h"

namespace vz {

// A document as the window showed it: the picture with its zoom, its grey view, the
// file the title names and the file plain Save writes. `revision` tells the states of
// the picture apart.
struct DocumentSnapshot {
  ImageDocument document;
  int8_t zoomX = 1;
  int8_t zoomY = 1;
  bool blackAndWhiteView = false;
  std::string filePath;
  std::string fileTitle;
  SaveTarget saveTarget;
  uint64_t revision = 0;
};

struct DocumentHistory {
  std::deque<DocumentSnapshot> undoSteps;  // oldest first
  std::deque<DocumentSnapshot> redoSteps;  // the next redo last
  uint64_t revision = 0;                   // of the document shown now
  uint64_t savedRevision = 0;              // opened, pasted or saved as this revision
  uint64_t lastRevision = 0;               // the highest revision given out
  // Bounds of the kept steps, undo and redo together; the oldest go first.
  size_t stepLimit = 64;
  size_t byteLimit = size_t{512} << 20;
};

}  // namespace vz
