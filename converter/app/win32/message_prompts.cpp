#include "converter/app/win32/message_prompts.h"

#include "base/utf16.h"
#include "converter/model/file_io.h"

namespace vz {

void MessageBoxPrompts::showError(const std::string& text, const std::string& caption) {
  MessageBoxW(owner_, utf8ToWide(text).c_str(), utf8ToWide(caption).c_str(), MB_ICONHAND);
}

bool MessageBoxPrompts::askYesNo(const std::string& text, const std::string& caption) {
  return MessageBoxW(owner_, utf8ToWide(text).c_str(), utf8ToWide(caption).c_str(),
                     MB_ICONQUESTION | MB_YESNO) == IDYES;
}

UserPrompts::Answer MessageBoxPrompts::askYesNoCancel(const std::string& text,
                                                      const std::string& caption) {
  switch (MessageBoxW(owner_, utf8ToWide(text).c_str(), utf8ToWide(caption).c_str(),
                      MB_ICONQUESTION | MB_YESNOCANCEL)) {
    case IDYES:
      return Answer::kYes;
    case IDNO:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

}  // namespace vz
