// The window's way of asking and telling the user: message boxes owned by it.
#pragma once

#include <windows.h>

#include "converter/model/prompts.h"

namespace vz {

class MessageBoxPrompts : public UserPrompts {
 public:
  explicit MessageBoxPrompts(HWND owner) : owner_(owner) {}
  void showError(const std::string& text, const std::string& caption) override;
  bool askYesNo(const std::string& text, const std::string& caption) override;
  Answer askYesNoCancel(const std::string& text, const std::string& caption) override;

 private:
  HWND owner_;
};

}  // namespace vz
