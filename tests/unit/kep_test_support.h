// Small helpers shared by the TVC picture file tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/model/document.h"

namespace vz {
namespace kep_test {

inline ImageDocument makePicture(ColourMode colourMode, int32_t width, int32_t height) {
  ImageDocument doc;
  allocatePicture(doc, width, height, colourMode);
  doc.tvcPicture = true;
  return doc;
}

// A fresh, empty folder for one test, named after it.
inline std::filesystem::path freshFolder() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) /
                                       ("vizorka_" + std::string(info->test_suite_name()) + "_" +
                                        std::string(info->name()) + "_" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Deterministic pseudo-random bytes (a linear congruential generator with a fixed seed).
class ByteSource {
 public:
  explicit ByteSource(uint32_t seed) : state_(seed) {}
  uint8_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state_ >> 24);
  }

 private:
  uint32_t state_;
};

}  // namespace kep_test
}  // namespace vz
