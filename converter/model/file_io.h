// Whole-file reading and writing by UTF-8 path (wide paths on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vz {

// Reads the whole file. False when it cannot be opened or read; data is then empty.
bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data);

// Writes the bytes as the whole file: first to a new temporary file in the same folder,
// which replaces the file only once it is complete. False on any failure; the file
// that was there then stays as it was, and no temporary file is left behind.
bool writeWholeFile(const std::string& utf8Path, const std::vector<uint8_t>& data);

// Renames a file over another, replacing it in one step (platform code).
bool replaceFile(const std::string& utf8From, const std::string& utf8To);

// Opens a file with a UTF-8 path the way fopen does (wide API on Windows).
std::FILE* openFile(const std::string& utf8Path, const char* mode);

}  // namespace vz
