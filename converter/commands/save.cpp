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
const char* const kTooLargeForSprite =
    "A kép túl nagy a sprite fejléchez (legfeljebb 255 bájt széles és 255 sor magas)!";

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
  if (status == KepEncodeStatus::kTooLargeForSprite) {
    prompts.showError(kTooLargeForSprite, texts::kSaveCaption);
    return false;
  }
  if (status == KepEncodeStatus::kOutOfMemory) {
    // Nothing is written: the file that was there stays.
    prompts.showError("new fail", "EncodeBuff");
    return false;
  }
  // A picture named *.PAL would overwrite its own palette file (file names on Windows
  // ignore case).
  const std::string palettePath = palettePathFor(state.filePath);
  if (!encoding.palette.empty() && sameIgnoringAsciiCase(palettePath, state.filePath)) {
    prompts.showError(kPaletteWouldReplacePicture, texts::kSaveCaption);
    return false;
  }
  if (!writeFileSafely(state.filePath, encoding.picture).ok()) {
    prompts.showError(kPictureNotWritten, texts::kSaveCaption);
    return false;
  }
  // The palette file follows the picture, so that a failed save leaves no new palette.
  if (!encoding.palette.empty() && !writeFileSafely(palettePath, encoding.palette).ok()) {
    prompts.showError(kPaletteNotWritten, texts::kSaveCaption);
    return false;
  }
  return true;
}

}  // namespace vz
