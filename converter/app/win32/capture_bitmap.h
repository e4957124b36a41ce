// Device-dependent bitmaps (the clipboard's bitmap format) into the image document.
#pragma once

#include <windows.h>

#include "converter/model/document.h"

namespace vz {

// Reads the bitmap through a device context of the main window. 1-, 4- and 8-bit
// bitmaps become indexed pictures with their colour table; 24-bit ones true colour;
// 16- and 32-bit ones are turned into 24-bit true colour. Returns the picture size,
// or 0 when the device cannot give the bitmap (the document is then empty).
int32_t captureBitmap(HDC dc, HBITMAP bitmap, ImageDocument& doc);

}  // namespace vz
