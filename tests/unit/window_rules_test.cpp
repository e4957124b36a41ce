#include <gtest/gtest.h>

#include <map>

#include "converter/commands/commands.h"
#include "converter/commands/window_rules.h"

namespace vz {
namespace {

std::map<int, bool> enablingFor(int32_t colourMode) {
  std::map<int, bool> enabled;
  for (const MenuItemEnabling& item : menuEnabling(colourMode))
    enabled[item.commandId] = item.enabled;
  return enabled;
}

// Save as and the colour switch need 2, 4 or 16 colours, the palette 2 or 4, halving
// true colour; the window checks the same rules on its real menu.
TEST(MenuEnabling, EveryColourMode) {
  for (int32_t mode : {0, 2, 4, 8, 16, 32, 64, 128, 256}) {
    const auto enabled = enablingFor(mode);
    const bool tvcDepth = mode == 2 || mode == 4 || mode == 16;
    EXPECT_EQ(enabled.at(kCmdSaveAs), tvcDepth) << mode;
    EXPECT_EQ(enabled.at(kCmdColourSwitch), tvcDepth) << mode;
    EXPECT_EQ(enabled.at(kCmdPalette), mode == 2 || mode == 4) << mode;
    EXPECT_EQ(enabled.at(kCmdHalveVertically), mode == 0) << mode;
    EXPECT_EQ(enabled.at(kCmdHalveHorizontally), mode == 0) << mode;
  }
}

TEST(CommandLine, QuotedPathOpensWithItsNameAsTitle) {
  std::string path, title;
  ASSERT_TRUE(parseCommandLine("\"C:\\kepek\\a.bmp\"", path, title));
  EXPECT_EQ(path, "C:\\kepek\\a.bmp");
  EXPECT_EQ(title, "a.bmp");
}

TEST(CommandLine, SeparatorsAndSpaces) {
  std::string path, title;
  ASSERT_TRUE(parseCommandLine("kep.bmp", path, title));
  EXPECT_EQ(title, "kep.bmp");
  ASSERT_TRUE(parseCommandLine("/tmp/x y/árvíztűrő.bmp", path, title));
  EXPECT_EQ(path, "/tmp/x y/árvíztűrő.bmp");  // the whole text is one path
  EXPECT_EQ(title, "árvíztűrő.bmp");
  ASSERT_TRUE(parseCommandLine("C:\\a/b\\c.kep\"", path, title));  // no opening quote
  EXPECT_EQ(title, "c.kep");
  ASSERT_TRUE(parseCommandLine("\"C:\\dir\\\"", path, title));
  EXPECT_EQ(title, "");
}

TEST(CommandLine, EmptyLineOpensNothing) {
  std::string path = "keep", title = "keep";
  EXPECT_FALSE(parseCommandLine("", path, title));
  EXPECT_EQ(path, "keep");
  EXPECT_EQ(title, "keep");
}

TEST(CommandLine, OverlongPathIsCutBetweenCharacters) {
  std::string path, title;
  const std::string longName = "C:\\" + std::string(300, 'a') + ".bmp";
  ASSERT_TRUE(parseCommandLine("\"" + longName + "\"", path, title));
  EXPECT_EQ(path, longName.substr(0, 259));
  EXPECT_EQ(title, std::string(256, 'a'));

  std::string accented;
  for (int i = 0; i < 200; ++i) accented += "ő";  // two bytes each
  ASSERT_TRUE(parseCommandLine("C:\\" + accented + accented, path, title));
  EXPECT_EQ(path.size(), 3 + 256 * 2u);
  EXPECT_EQ(title.substr(0, 2), "ő");
  EXPECT_EQ(title.substr(title.size() - 2), "ő");  // no half character at the end
}

TEST(CommandLine, CutCountsCharactersNotBytes) {
  EXPECT_EQ(cutToCharacters("árvíz", 3), "árv");
  EXPECT_EQ(cutToCharacters("árvíz", 10), "árvíz");
  EXPECT_EQ(cutToCharacters("ab", 0), "");
}

TEST(WindowTitle, NamesTheFile) {
  EXPECT_EQ(windowTitleForFile("a.bmp"), "Vizorka - [a.bmp]");
  EXPECT_EQ(windowTitleForFile(texts::kUntitled), "Vizorka - [nevtelen]");
}

TEST(OpenExtension, ThreeLettersAfterADot) {
  std::string extension;
  for (const char* name : {"x.jpg", "x.Jpg", "x.JPG"}) {
    ASSERT_TRUE(extensionOf(name, extension)) << name;
    EXPECT_EQ(extension, "JPG");
  }
  EXPECT_FALSE(extensionOf("x.jpeg", extension));
  EXPECT_FALSE(extensionOf("abc", extension));
  EXPECT_TRUE(extensionOf(".bmp", extension));
}

}  // namespace
}  // namespace vz
