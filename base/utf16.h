// UTF-8 and UTF-16 text: file names and texts are UTF-8 inside both programs and
// UTF-16 (wchar_t) at the Windows API. Invalid input becomes U+FFFD, never a crash.
#pragma once

#include <string>

namespace vz {

std::wstring utf8ToWide(const std::string& text);
std::string wideToUtf8(const std::wstring& text);

}  // namespace vz
