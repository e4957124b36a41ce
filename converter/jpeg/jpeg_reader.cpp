#include "converter/jpeg/jpeg_reader.h"

namespace vz {

int32_t readJpg(const std::string&, ImageDocument&, UserPrompts& prompts) {
  prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
  return 0;
}

}  // namespace vz
