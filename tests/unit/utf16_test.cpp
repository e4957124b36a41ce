#include <gtest/gtest.h>

#include "base/utf16.h"

namespace vz {
namespace {

// File names and texts cross the Windows API as UTF-16: accented letters, characters
// beyond 16 bits and broken input all come through without a crash.
TEST(Utf16, ConvertsBothWays) {
  const struct {
    std::string utf8;
    std::wstring utf16;
  } cases[] = {
      {"", L""},
      {"\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91.bmp",
       {0xE1, 'r', 'v', 0xED, 'z', 't', 0x171, 'r', 0x151, '.', 'b', 'm', 'p'}},
      {"\xF0\x9F\x98\x80", {wchar_t(0xD83D), wchar_t(0xDE00)}},  // beyond 16 bits: a pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToWide(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(wideToUtf8(c.utf16), c.utf8) << c.utf8;
  }
  EXPECT_EQ(utf8ToWide("a\xC5"), (std::wstring{'a', 0xFFFD}));  // cut short
  EXPECT_EQ(utf8ToWide("\xFF"), std::wstring(1, 0xFFFD));
}

}  // namespace
}  // namespace vz
