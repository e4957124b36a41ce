// vizorka-cli --batch: many inputs, each converted exactly as a single run would.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/unit/test_support.h"

namespace vz {
namespace {

namespace fs = std::filesystem;

const std::string kCli = VIZORKA_CLI_PATH;
const std::string kSample = std::string(VIZORKA_SOURCE_DIR) + "/samples/sample.bmp";

std::string shellQuoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

int run(const std::string& arguments, std::string* errors = nullptr) {
  return test::runCommand(kCli + " " + arguments + (errors ? " 2>&1 >/dev/null" : " 2>/dev/null"),
                          errors);
}

// Mixed inputs, one of them broken: every output file equals the single run's, with
// one job or several.
TEST(CliBatch, EqualsTheSingleRuns) {
  const test::ScratchFolder scratch;
  const fs::path folder = scratch.path();
  fs::create_directories(folder / "in");
  fs::copy_file(kSample, folder / "in" / "a.bmp");
  ASSERT_EQ(run(shellQuoted(fs::path(kSample)) + " --crop 3,5,101,77 --export " +
                shellQuoted(folder / "in" / "b.bmp")),
            0);
  ASSERT_EQ(run(shellQuoted(fs::path(kSample)) + " --dither 4 --save " +
                shellQuoted(folder / "in" / "c.kep")),
            0);
  test::writeFileBytes((folder / "in" / "broken.bmp").string(), {'B', 'M', 0});
  const std::vector<std::string> names = {"a.bmp", "b.bmp", "c.kep", "broken.bmp"};
  const std::string steps = "--algorithm ordered --dither 16 --save ";

  for (const std::string& name : names) {
    const std::string stem = fs::path(name).stem().string();
    run(shellQuoted(folder / "in" / name) + " " + steps +
        shellQuoted(folder / ("single-" + stem + ".kep")));
  }
  for (const char* jobs : {"1", "3"}) {
    const fs::path out = folder / (std::string("jobs") + jobs);
    fs::create_directories(out);
    std::string inputs;
    for (const std::string& name : names) inputs += " " + shellQuoted(folder / "in" / name);
    EXPECT_EQ(run(std::string("--batch --jobs ") + jobs + " " + steps +
                  shellQuoted(out / "{name}.kep") + " --" + inputs),
              1)
        << jobs;
    for (const std::string& name : names) {
      const std::string stem = fs::path(name).stem().string();
      EXPECT_EQ(fs::exists(out / (stem + ".kep")), stem != "broken") << name;
      EXPECT_EQ(test::readFileBytes((out / (stem + ".kep")).string()),
                test::readFileBytes((folder / ("single-" + stem + ".kep")).string()))
          << name << " with " << jobs << " jobs";
    }
  }
}

TEST(CliBatch, ErrorsAndExitStatuses) {
  const test::ScratchFolder scratch;
  const fs::path folder = scratch.path();
  fs::copy_file(kSample, folder / "a.bmp");
  fs::copy_file(kSample, folder / "b.bmp");
  test::writeFileBytes((folder / "junk.bmp").string(), {1, 2, 3});
  ASSERT_EQ(run(shellQuoted(fs::path(kSample)) + " --export " + shellQuoted(folder / "whole.png")),
            0);
  std::vector<uint8_t> cut = test::readFileBytes((folder / "whole.png").string());
  cut.resize(cut.size() * 2 / 3);
  test::writeFileBytes((folder / "cut.png").string(), cut);
  const std::string a = shellQuoted(folder / "a.bmp"), b = shellQuoted(folder / "b.bmp");

  const struct {
    std::string arguments;
    int status;
    std::string reported;  // on standard error
  } cases[] = {
      {"--batch --dither 16 -- " + a + " " + shellQuoted(folder / "junk.bmp"), 1,
       (folder / "junk.bmp").string() + ": not a"},
      {"--batch --dither 16 --save " + shellQuoted(folder / "none" / "{name}.kep") + " -- " + a +
           " " + shellQuoted(folder / "junk.bmp"),
       3, (folder / "none" / "a.kep").string() + ": No such file or directory"},
      // The highest status wins whichever input fails first.
      {"--batch --dither 16 --save " + shellQuoted(folder / "none" / "{name}.kep") + " -- " +
           shellQuoted(folder / "junk.bmp") + " " + a,
       3, "status 1, no picture"},
      {"--batch --info -- " + shellQuoted(folder / "cut.png") + " " +
           shellQuoted(folder / "junk.bmp"),
       5, (folder / "cut.png").string() + ": status 5, damaged"},
      {"--batch --save " + shellQuoted(folder / "same.kep") + " -- " + a + " " + b, 2,
       "two inputs would write"},
      {"--batch --export " + shellQuoted(folder / "{name}.bmp") + " -- " + a, 2,
       "would overwrite the input"},
      {"--batch --jobs 0 -- " + a, 2, "--jobs: expected a positive number"},
      {"--batch --dither 16 " + a, 2, "the inputs follow"},
      {"--batch --dither 16 --", 2, "no inputs"},
      {"--batch --dither 9 -- " + a, 2, "--dither: expected 2|4|16"},
  };
  for (const auto& c : cases) {
    std::string errors;
    EXPECT_EQ(run(c.arguments, &errors), c.status) << c.arguments;
    EXPECT_NE(errors.find(c.reported), std::string::npos) << c.arguments << "\n" << errors;
  }
  // {name} is the name without its folder and its last extension only.
  fs::copy_file(kSample, folder / "x.y.bmp");
  EXPECT_EQ(run("--batch --export " + shellQuoted(folder / "out-{name}.bmp") + " -- " +
                shellQuoted(folder / "x.y.bmp")),
            0);
  EXPECT_TRUE(fs::exists(folder / "out-x.y.bmp"));
  // Nothing refused was written.
  EXPECT_FALSE(fs::exists(folder / "same.kep"));
  EXPECT_FALSE(fs::exists(folder / "none"));
}

}  // namespace
}  // namespace vz
