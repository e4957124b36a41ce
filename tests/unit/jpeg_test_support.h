// Helpers for the JPEG tests: decode from memory, build small streams by hand, and run
// libjpeg-turbo's cjpeg and djpeg as peers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "converter/formats/jpeg/jpeg_decoder.h"
#include "tests/unit/test_support.h"

namespace vz::jpegtest {

struct Decoded {
  int32_t constructError = 0;
  JpegError startResult = JpegError::kNone;
  JpegRowResult lastRowResult = JpegRowResult::kFailed;
  int32_t error = 0;
  int32_t damage = 0;  // what a progressive picture was decoded through
  int32_t width = 0;
  int32_t height = 0;
  int32_t components = 0;
  int32_t rowsRead = 0;
  std::vector<uint8_t> pixels;  // grey: 1 byte, colour: R, G, B per pixel
};

inline Decoded decodeMemory(const std::vector<uint8_t>& file, bool fastPath = true,
                            int chunk = 1 << 30) {
  Decoded result;
  JpegMemoryStream stream(file.data(), file.size(), chunk);
  auto decoder = std::make_unique<JpegDecoder>(&stream, fastPath);
  result.constructError = static_cast<int32_t>(decoder->errorCode());
  result.startResult = decoder->start();
  result.width = decoder->width();
  result.height = decoder->height();
  result.components = decoder->componentCount();
  if (result.startResult == JpegError::kNone) {
    const int channels = result.components == 1 ? 1 : 3;
    for (;;) {
      const uint8_t* row = nullptr;
      int32_t length = 0;
      result.lastRowResult = decoder->readRow(row, length);
      if (result.lastRowResult != JpegRowResult::kRow) break;
      ++result.rowsRead;
      for (int32_t x = 0; x < result.width; ++x)
        for (int c = 0; c < channels; ++c)
          result.pixels.push_back(row[x * decoder->bytesPerPixel() + c]);
    }
  }
  result.error = static_cast<int32_t>(decoder->errorCode());
  result.damage = static_cast<int32_t>(decoder->damage());
  return result;
}

// Builds marker segments and entropy-coded data.
class StreamBuilder {
 public:
  StreamBuilder& bytes(std::initializer_list<int> values) {
    for (int v : values) data.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  StreamBuilder& word(int value) { return bytes({value >> 8 & 0xFF, value & 0xFF}); }
  StreamBuilder& soi() { return bytes({0xFF, 0xD8}); }
  StreamBuilder& eoi() { return bytes({0xFF, 0xD9}); }
  // One 8-bit table of the given value everywhere.
  StreamBuilder& dqt(int number, int value = 1) {
    bytes({0xFF, 0xDB}).word(67).bytes({number});
    for (int i = 0; i < 64; ++i) bytes({value});
    return *this;
  }
  // Components as (id, h, v, tq).
  StreamBuilder& sof(int marker, int width, int height, std::vector<std::vector<int>> components,
                     int precision = 8) {
    bytes({0xFF, marker}).word(8 + 3 * static_cast<int>(components.size())).bytes({precision});
    word(height).word(width).bytes({static_cast<int>(components.size())});
    for (auto& c : components) bytes({c[0], c[1] << 4 | c[2], c[3]});
    return *this;
  }
  StreamBuilder& dht(int tableClass, int number, std::vector<int> counts,
                     std::vector<int> symbols) {
    bytes({0xFF, 0xC4}).word(2 + 17 + static_cast<int>(symbols.size()));
    bytes({tableClass << 4 | number});
    for (int i = 0; i < 16; ++i) bytes({i < static_cast<int>(counts.size()) ? counts[i] : 0});
    for (int s : symbols) bytes({s});
    return *this;
  }
  // Components as (id, td, ta).
  StreamBuilder& sos(std::vector<std::vector<int>> components, int ss = 0, int se = 63, int ah = 0,
                     int al = 0) {
    bytes({0xFF, 0xDA}).word(6 + 2 * static_cast<int>(components.size()));
    bytes({static_cast<int>(components.size())});
    for (auto& c : components) bytes({c[0], c[1] << 4 | c[2]});
    return bytes({ss, se, ah << 4 | al});
  }
  StreamBuilder& dri(int interval) { return bytes({0xFF, 0xDD}).word(4).word(interval); }
  // Entropy-coded bits given as a string of '0' and '1', padded with 1s, 0xFF stuffed.
  StreamBuilder& bits(const std::string& pattern) {
    std::string padded = pattern;
    while (padded.size() % 8 != 0) padded.push_back('1');
    for (size_t i = 0; i < padded.size(); i += 8) {
      const int byte = std::stoi(padded.substr(i, 8), nullptr, 2);
      bytes({byte});
      if (byte == 0xFF) bytes({0x00});
    }
    return *this;
  }
  std::vector<uint8_t> data;
};

// A one-component frame with simple tables: DC codes "0" = category 0, "10" = category
// 1, "110" = category 17; AC codes "00" = EOB, "01" = ZRL, "10" = (run 0, size 1),
// "110" = (run 15, size 1).
inline StreamBuilder greyHeaders(int width = 8, int height = 8, int marker = 0xC0) {
  StreamBuilder b;
  b.soi().dqt(0).sof(marker, width, height, {{1, 1, 1, 0}});
  b.dht(0, 0, {1, 1, 1}, {0, 1, 17});
  b.dht(1, 0, {0, 3, 1}, {0x00, 0xF0, 0x01, 0xF1});
  return b;
}

inline std::string tempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/vizorka_jpeg_test_" + name;
}

struct PnmImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> pixels;
};

// Binary PGM (P5) or PPM (P6) with maxval 255, as djpeg writes them.
inline PnmImage readPnm(const std::string& path) {
  PnmImage image;
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  if (!in || maxValue != 255 || (magic != "P5" && magic != "P6")) return PnmImage{};
  image.channels = magic == "P5" ? 1 : 3;
  image.pixels.resize(static_cast<size_t>(image.width) * image.height * image.channels);
  in.read(reinterpret_cast<char*>(image.pixels.data()),
          static_cast<std::streamsize>(image.pixels.size()));
  return in ? image : PnmImage{};
}

// A test picture with smooth gradients, hard edges and some noise (fixed seed).
inline std::vector<uint8_t> makeTestPpm(int width, int height, uint32_t seed) {
  std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<uint8_t> file(header.begin(), header.end());
  uint32_t state = seed;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 27) - 16;
      const bool edge = ((x / 7) + (y / 5)) % 3 == 0;
      int r = x * 255 / width + noise;
      int g = y * 255 / height + (edge ? 60 : -40);
      int b = ((x * y) & 0xFF) / 2 + (edge ? 100 : 0) - noise;
      for (int* c : {&r, &g, &b}) *c = *c < 0 ? 0 : *c > 255 ? 255 : *c;
      file.push_back(static_cast<uint8_t>(r));
      file.push_back(static_cast<uint8_t>(g));
      file.push_back(static_cast<uint8_t>(b));
    }
  }
  return file;
}

}  // namespace vz::jpegtest
