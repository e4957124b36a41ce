// JPG files into the image document.
#pragma once

#include <cstdint>
#include <string>

#include "converter/model/document.h"
#include "converter/model/prompts.h"

namespace vz {

// Opens and decodes the file itself; reports failures through the prompts. Returns
// the picture size, 0 when there is no picture.
int32_t readJpg(const std::string& utf8Path, ImageDocument& doc, UserPrompts& prompts);

}  // namespace vz
