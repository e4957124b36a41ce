#include <windows.h>

#include "base/utf16.h"
#include "converter/model/file_io.h"

namespace vz {

bool replaceFile(const std::string& utf8From, const std::string& utf8To) {
  return MoveFileExW(utf8ToWide(utf8From).c_str(), utf8ToWide(utf8To).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace vz
