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

Status saveKepFile(const ImageDocument& doc, const SaveOptions& options, const std::string& path,
                   UserPrompts& prompts) {
  KepEncoding encoding;
  switch (encodeKep(doc, options, encoding)) {
    case KepEncodeStatus::kOk:
      break;
    case KepEncodeStatus::kNotTvcPicture:
      prompts.showError(texts::kNotTvcPicture, texts::kSaveCaption);
      return Status(StatusCode::kNotApplicable, "only 2, 4 or 16 colour pictures are saved as KEP");
    case KepEncodeStatus::kTooLargeForHeader:
      prompts.showError(kTooLargeForHeader, texts::kSaveCaption);
      return Status(StatusCode::kTooLarge, "the KEP header holds at most 65535 x 65535 pixels");
    case KepEncodeStatus::kTooLargeForSprite:
      prompts.showError(kTooLargeForSprite, texts::kSaveCaption);
      return Status(StatusCode::kTooLarge, "a sprite holds at most 255 bytes across and 255 rows");
    case KepEncodeStatus::kOutOfMemory:
      // Nothing is written: the file that was there stays.
      prompts.showError("new fail", "EncodeBuff");
      return Status(StatusCode::kOutOfMemory, "out of memory");
  }
  // A picture named *.PAL would overwrite its own palette file (file names on Windows
  // ignore case).
  const std::string palettePath = palettePathFor(path);
  if (!encoding.palette.empty() && sameIgnoringAsciiCase(palettePath, path)) {
    prompts.showError(kPaletteWouldReplacePicture, texts::kSaveCaption);
    return Status(StatusCode::kCannotWrite, "its palette file would replace the picture");
  }
  Status written = writeFileSafely(path, encoding.picture);
  if (!written.ok()) {
    prompts.showError(kPictureNotWritten, texts::kSaveCaption);
    return written;
  }
  // The palette file follows the picture, so that a failed save leaves no new palette.
  if (!encoding.palette.empty()) {
    written = writeFileSafely(palettePath, encoding.palette);
    if (!written.ok()) {
      prompts.showError(kPaletteNotWritten, texts::kSaveCaption);
      return Status(written.code(), palettePath + ": " + written.reason());
    }
  }
  return StatusCode::kOk;
}

Status saveKepFile(const AppState& state, const std::string& path, UserPrompts& prompts) {
  return saveKepFile(state.document, state.saveOptions, path, prompts);
}

}  // namespace vz
