// How the portable layers talk to the user: the window shows message boxes, vizorka-cli
// prints to stderr and answers questions from its options, tests record the calls.
#pragma once

#include <string>

namespace vz {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // An error message box (error icon, OK button).
  virtual void showError(const std::string& text, const std::string& caption) = 0;
  // A Yes/No question (question icon); true for Yes.
  virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
  // A Yes/No/Cancel question (question icon). A program that cannot ask (vizorka-cli)
  // cancels, so that nothing is lost.
  enum class Answer { kYes, kNo, kCancel };
  virtual Answer askYesNoCancel(const std::string& /*text*/, const std::string& /*caption*/) {
    return Answer::kCancel;
  }
};

// Message texts shared by the window and vizorka-cli (UTF-8).
namespace texts {
inline const char* const kOpenCaption = "Megnyitás";
inline const char* const kPasteCaption = "Beillesztés";
inline const char* const kSaveCaption = "Mentés";
inline const char* const kExitCaption = "Kilépés";
inline const char* const kBadExtension = "A fájl kiterjesztése nem azonosítható!";
inline const char* const kCannotOpen = "A fájlt nem lehet megnyitni!";
inline const char* const kUnknownFormat =
    "Ismeretlen formátumú fájl!\r\nFeldolgozzam mint 4-színű KEP fájlt?";
inline const char* const kPasteFailed = "Sikertelen lekérdezés!";
inline const char* const kDecodeFailed = "Hiba a dekódolás során!";
inline const char* const kUntitled = "nevtelen";
inline const char* const kPictureChanged = "A kép megváltozott!\r\nMentsem KEP fájlként?";
inline const char* const kDiscardChanges = "A kép megváltozott!\r\nElveted a változásokat?";
inline const char* const kNotTvcPicture = "Csak 2, 4 vagy 16 színű kép menthető KEP fájlként!";
inline const char* const kResizeCaption = "Átméretezés";
inline const char* const kBadResizeSize =
    "A szélesség és a magasság csak 1 és 65535 közötti egész szám lehet!";
inline const char* const kResizedTooLarge = "Az átméretezett kép nem fér el a memóriában!";
inline const char* const kPreviewNotWritten = "Az előnézetet nem sikerült létrehozni vagy kiírni!";
inline const char* const kNoMemoryForCommand = "Nincs elég memória a művelethez!";
inline const char* const kDitherCaption = "Dithering";
inline const char* const kNearestCaption = "Legközelebbi színek";
inline const char* const kGreyCaption = "Szürke árnyalat";
}  // namespace texts

}  // namespace vz
