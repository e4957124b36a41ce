// A batch's memory: the budget its inputs reserve from, and the sizes their headers claim,
// by which they reserve before they are read.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/memory_budget.h"
#include "converter/formats/picture_formats.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

// Jobs on several threads reserve sizes from a fixed list, some larger than the budget:
// whatever the threads' timing, the bytes held at once never pass the budget unless one
// reservation holds them alone, and every job finishes (a deadlock would hang the test).
TEST(MemoryBudget, HoldsAtMostTheBudgetAndAnOversizedJobAlone) {
  struct Case {
    uint64_t budget;
    std::vector<uint64_t> sizes;
  };
  const Case cases[] = {
      {100, {60, 50, 40, 30, 20, 10, 100, 1, 99}},
      {100, {150, 10, 200, 20, 150}},  // larger than the budget: each runs alone
      {1, {0, 0, 1, 0, 2}},
  };
  for (const Case& c : cases) {
    MemoryBudget budget(c.budget);
    std::atomic<uint64_t> held{0};
    std::atomic<int> holders{0};
    std::atomic<bool> overdrawn{false};
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    const auto job = [&] {
      for (size_t i = next++; i < 8 * c.sizes.size(); i = next++) {
        const uint64_t size = c.sizes[i % c.sizes.size()];
        const MemoryReservation reservation(budget, size);
        const uint64_t now = held += size;
        const int together = ++holders;
        if (now > c.budget && together > 1) overdrawn = true;
        std::this_thread::yield();
        --holders;
        held -= size;
        ++done;
      }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(job);
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(overdrawn) << "budget " << c.budget;
    EXPECT_EQ(done, 8 * c.sizes.size());
  }
}

// The size every format's header claims, read from the file's first bytes, is the size of
// the picture its reader makes (for VID: the frames' buffer, of which the picture uses the
// first rows).
TEST(PictureClaims, AreTheSizesTheReadersMake) {
  const std::string tests = std::string(VIZORKA_SOURCE_DIR) + "/tests/";
  for (const char* name :
       {"data/bmpsuite/g/pal8.bmp", "data/bmpsuite/g/pal8topdown.bmp",
        "data/bmpsuite/g/pal8os2.bmp", "data/bmpsuite/g/rgb16-565.bmp",
        "data/pngsuite/png/basn2c08.png", "data/pngsuite/png/basi0g01.png",
        "fuzz/seeds/fuzz_gif/interlaced.gif", "fuzz/seeds/fuzz_gif/local.gif",
        "fuzz/seeds/fuzz_pcx/indexed.pcx", "fuzz/seeds/fuzz_pcx/true.pcx", "data/jpeg/testorig.jpg",
        "data/jpeg/testimgari.jpg", "fuzz/seeds/fuzz_kep/plain16.kep",
        "fuzz/seeds/fuzz_kep/headerless4.kep", "fuzz/seeds/fuzz_vid/two_frames.vid"}) {
    const std::vector<uint8_t> file = test::readFileBytes(tests + name);
    ASSERT_FALSE(file.empty()) << name;
    std::string extension = std::string(name).substr(std::string(name).rfind('.') + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
    const PictureFormat& format = *formatOfExtension(extension);
    ImageDocument doc;
    ReadOptions options;
    options.applyOrientation = false;
    ASSERT_TRUE(givesPicture(readPicture(format, file.size(), file.data(), doc, options))) << name;
    PictureClaim claim;
    ASSERT_TRUE(format.claim(std::min<size_t>(file.size(), 4096), file.data(), file.size(), claim))
        << name;
    EXPECT_EQ(claim.width, doc.width) << name;
    if (format.name == std::string("VID"))
      EXPECT_GE(claim.height, doc.height) << name;
    else
      EXPECT_EQ(claim.height, doc.height) << name;
  }
  PictureClaim claim;
  const uint8_t tooShort[] = {'B', 'M', 0};
  EXPECT_FALSE(formatOfExtension("BMP")->claim(sizeof tooShort, tooShort, 3, claim));
  EXPECT_TRUE(formatOfExtension("R16")->claim(0, tooShort, 1920, claim));
  EXPECT_EQ(claim.width * claim.height, 32 * 60);
}

}  // namespace
}  // namespace vz
