#include "converter/model/file_io.h"

#include "base/utf16.h"
#include "converter/model/document.h"

#include <cstdio>
#include <memory>

namespace vz {

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
#ifdef _WIN32
  return _wfopen(utf8ToWide(utf8Path).c_str(), utf8ToWide(mode).c_str());
#else
  return std::fopen(utf8Path.c_str(), mode);
#endif
}

namespace {
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data) {
  data.clear();
  FileHandle file(openFile(utf8Path, "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  // The shared zeroing allocator: a file too large for memory fails here instead of
  // throwing, and a large one is read into huge pages.
  if (!allocateZeroed(data, static_cast<size_t>(size))) return false;
  const size_t read = size > 0 ? std::fread(data.data(), 1, data.size(), file.get()) : 0;
  data.resize(read);
  return !std::ferror(file.get());
}

bool writeWholeFile(const std::string& utf8Path, const std::vector<uint8_t>& data) {
  FileHandle file(openFile(utf8Path, "wb"));
  if (!file) return false;
  if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file.get()) != data.size())
    return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace vz
