#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "converter/app/win32/menu_commands.h"
#include "converter/commands/command_table.h"
#include "converter/commands/window_rules.h"
#include "converter/formats/picture_formats.h"
#include "converter/resources/resource.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

// The menu of the resource script, the window's map of menu items and the command
// table name the same commands, each once: a menu item without a command, or a command
// without its row, fails here.
TEST(CommandTable, MatchesTheMenuOfTheResourceScript) {
  const std::string resources = std::string(VIZORKA_SOURCE_DIR) + "/converter/resources/";
  std::map<std::string, int> identifiers;
  std::ifstream header(resources + "resource.h");
  const std::regex define(R"(#define\s+(\w+)\s+(\d+))");
  for (std::string line; std::getline(header, line);)
    if (std::smatch m; std::regex_search(line, m, define)) identifiers[m[1]] = std::stoi(m[2]);

  std::multiset<int> menuItems;
  std::ifstream script(resources + "vizorka.rc");
  const std::regex item(R"(MENUITEM\s+"[^"]*"\s*,\s*(\w+))");
  for (std::string line; std::getline(script, line);)
    if (std::smatch m; std::regex_search(line, m, item)) menuItems.insert(identifiers.at(m[1]));

  std::multiset<int> mapped;
  for (const auto& [menuId, id] : menuCommands()) {
    mapped.insert(menuId);
    EXPECT_EQ(commandRow(id).id, id) << menuId;
  }
  EXPECT_EQ(mapped, menuItems);
  EXPECT_EQ(std::set<int>(mapped.begin(), mapped.end()).size(), mapped.size());
  std::set<CommandId> rows;
  for (const Command& command : commandTable()) EXPECT_TRUE(rows.insert(command.id).second);
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

TEST(OpenExtension, ThreeLettersAfterADotOrALongerSpellingOfAFormat) {
  std::string extension;
  for (const char* name : {"x.jpg", "x.Jpg", "x.JPG"}) {
    ASSERT_TRUE(extensionOf(name, extension)) << name;
    EXPECT_EQ(extension, "JPG");
  }
  for (const char* name : {"x.jpeg", "x.JPE", "x.jfif"}) {
    ASSERT_TRUE(extensionOf(name, extension)) << name;
    EXPECT_EQ(formatOfExtension(extension)->name, std::string("JPEG")) << name;
  }
  EXPECT_FALSE(extensionOf("x.webp", extension));
  EXPECT_FALSE(extensionOf("abc", extension));
  EXPECT_TRUE(extensionOf(".bmp", extension));
}

TEST(SaveName, ProposesTheTitlesFileAsKep) {
  struct Case {
    const char* path;
    const char* title;
    const char* proposed;
  };
  for (const Case& c : {Case{"C:\\kepek\\photo.jpg", "photo.jpg", "C:\\kepek\\photo.KEP"},
                        Case{"/tmp/a.b/kep", "kep", "/tmp/a.b/kep.KEP"},
                        Case{"C:\\kepek\\photo.jpg", "nevtelen", "C:\\kepek\\nevtelen.KEP"},
                        Case{"x.tar.gz", "x.tar.gz", "x.tar.KEP"}, Case{"", "", ""}})
    EXPECT_EQ(kepNameToPropose(c.path, c.title), c.proposed) << c.path;
}

}  // namespace
}  // namespace vz
