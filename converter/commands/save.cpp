#include "converter/commands/save.h"

#include <algorithm>
#include <string>

#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/file_io.h"

namespace vz {

namespace {

const char* const kPictureNotWritten = "A képfájlt nem sikerült létrehozni vagy kiírni!";
const char* const kPaletteNotWritten = "A palettafájlt nem sikerült létrehozni vagy kiírni!";
const char* const kPaletteWouldReplacePicture =
    "A képfájl kiterjesztése nem lehet PAL, ha paletta fájl is készül!";
const char* const kTooLargeForHeader =
    "A kép túl nagy a KEP fejléchez (legfeljebb 65535 × 65535 képpont)!";

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

bool saveKepFile(AppState& state, UserPrompts& prompts) {
  KepEncoding encoding;
  const KepEncodeStatus status = encodeKep(state.document, state.saveOptions, encoding);
  if (status == KepEncodeStatus::kNotTvcPicture) {
    prompts.showError(texts::kNotTvcPicture, texts::kSaveCaption);
    return false;
  }
  if (status == KepEncodeStatus::kTooLargeForHeader) {
    prompts.showError(kTooLargeForHeader, texts::kSaveCaption);
    return false;
  }
  // A picture named *.PAL would overwrite its own palette file (file names on Windows
  // ignore case).
  const std::string palettePath = palettePathFor(state.filePath);
  if (!encoding.palette.empty() && sameIgnoringAsciiCase(palettePath, state.filePath)) {
    prompts.showError(kPaletteWouldReplacePicture, texts::kSaveCaption);
    return false;
  }
  // The palette file comes first, so that a picture never claims a palette it lacks.
  if (!encoding.palette.empty() && !writeWholeFile(palettePath, encoding.palette)) {
    prompts.showError(kPaletteNotWritten, texts::kSaveCaption);
    return false;
  }
  if (!writeWholeFile(state.filePath, encoding.picture)) {
    prompts.showError(kPictureNotWritten, texts::kSaveCaption);
    return false;
  }
  if (status == KepEncodeStatus::kOutOfMemory) {
    // The file keeps its header, as when the coding buffer could not be had.
    prompts.showError("new fail", "EncodeBuff");
    return false;
  }
  return true;
}

}  // namespace vz
