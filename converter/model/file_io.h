// Whole-file reading and writing by UTF-8 path (wide paths on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vz {

// Reads the whole file. False when it cannot be opened or read; data is then empty.
bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data);

// Creates (or truncates) the file and writes the bytes. False on any failure.
bool writeWholeFile(const std::string& utf8Path, const std::vector<uint8_t>& data);

// Opens a file with a UTF-8 path the way fopen does (wide API on Windows).
std::FILE* openFile(const std::string& utf8Path, const char* mode);

}  // namespace vz
