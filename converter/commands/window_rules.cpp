#include "converter/commands/window_rules.h"

#include "converter/commands/commands.h"

namespace vz {

std::string cutToCharacters(const std::string& utf8Text, size_t maxCharacters) {
  size_t characters = 0;
  for (size_t i = 0; i < utf8Text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(utf8Text[i]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == maxCharacters) return utf8Text.substr(0, i);
  }
  return utf8Text;
}

bool parseCommandLine(const std::string& utf8CommandLine, std::string& filePath,
                      std::string& fileTitle) {
  if (utf8CommandLine.empty()) return false;
  std::string path = utf8CommandLine;
  if (path.front() == '"') path.erase(0, 1);
  // The file-name field holds kFilePathCapacity characters with its terminator.
  path = cutToCharacters(path, kFilePathCapacity - 1);
  if (!path.empty() && path.back() == '"') path.pop_back();
  filePath = path;
  fileTitle = fileNameOf(path);
  return true;
}

std::string kepNameToPropose(const std::string& filePath, const std::string& fileTitle) {
  if (fileTitle.empty()) return "";
  const size_t separator = filePath.find_last_of("\\/");
  const std::string folder =
      separator == std::string::npos ? "" : filePath.substr(0, separator + 1);
  const size_t dot = fileTitle.rfind('.');
  return folder + (dot == std::string::npos ? fileTitle : fileTitle.substr(0, dot)) + ".KEP";
}

}  // namespace vz
