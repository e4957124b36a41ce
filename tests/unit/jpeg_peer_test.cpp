// Pictures made by libjpeg-turbo's cjpeg, decoded by us and by its djpeg.
//
// djpeg -dct fast -nosmooth uses the same family of fast 16-bit transform and the same
// chroma replication; its constants and rounding differ slightly from ours. Measured
// on these pictures: at most 3 levels apart per channel, mean below 0.2 (testorig.jpg:
// at most 2). A shifted chroma plane, interpolated chroma or a wrong colour
// conversion gives differences of 10 and more. The accurate integer transform is
// compared with djpeg -dct int -nosmooth in the same way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/unit/jpeg_test_support.h"

namespace vz {
namespace {

using jpegtest::Decoded;
using jpegtest::decodeMemory;

struct Difference {
  int maximum = 0;
  double mean = 0;
};

Difference compare(const Decoded& ours, const jpegtest::PnmImage& theirs) {
  Difference d;
  long long sum = 0;
  for (size_t i = 0; i < ours.pixels.size(); ++i) {
    const int delta = std::abs(ours.pixels[i] - theirs.pixels[i]);
    d.maximum = std::max(d.maximum, delta);
    sum += delta;
  }
  d.mean = ours.pixels.empty() ? 0 : static_cast<double>(sum) / ours.pixels.size();
  return d;
}

struct Variant {
  const char* name;
  const char* cjpegOptions;
  int width;
  int height;
  const char* scans = nullptr;  // cjpeg's scan script, one scan for each ';'
};

void PrintTo(const Variant& variant, std::ostream* out) {
  *out << variant.cjpegOptions;
  if (variant.scans != nullptr) *out << " -scans \"" << variant.scans << '"';
}

class CjpegVariant : public ::testing::TestWithParam<Variant> {};

// Makes the JPEG with cjpeg, decodes it with djpeg and with both of our paths.
TEST_P(CjpegVariant, DecodesCloseToDjpeg) {
  const Variant& v = GetParam();
  const std::string base = jpegtest::tempPath(v.name);
  ASSERT_TRUE(test::writeFileBytes(base + ".ppm", jpegtest::makeTestPpm(v.width, v.height, 7)));
  std::string options = v.cjpegOptions;
  if (v.scans != nullptr) {
    const std::string script(v.scans);
    ASSERT_TRUE(
        test::writeFileBytes(base + ".scans", std::vector<uint8_t>(script.begin(), script.end())));
    options += " -scans " + base + ".scans";
  }
  ASSERT_EQ(test::runCommand("cjpeg " + options + " -outfile " + base + ".jpg " + base + ".ppm"),
            0);
  const std::vector<uint8_t> file = test::readFileBytes(base + ".jpg");
  ASSERT_FALSE(file.empty());

  struct Path {
    bool fast;
    const char* dct;
    int maximum;
    double mean;
  };
  for (const Path& path : {Path{true, "fast", 3, 0.2}, Path{false, "int", 3, 0.2}}) {
    SCOPED_TRACE(path.dct);
    ASSERT_EQ(test::runCommand(std::string("djpeg -dct ") + path.dct + " -nosmooth -pnm -outfile " +
                               base + ".pnm " + base + ".jpg"),
              0);
    const jpegtest::PnmImage theirs = jpegtest::readPnm(base + ".pnm");
    const Decoded ours = decodeMemory(file, path.fast, 1000);
    ASSERT_EQ(ours.error, 0);
    ASSERT_EQ(ours.damage, 0);
    ASSERT_EQ(ours.lastRowResult, JpegRowResult::kEnd);
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    ASSERT_EQ(ours.components == 1 ? 1 : 3, theirs.channels);
    ASSERT_EQ(ours.pixels.size(), theirs.pixels.size());
    const Difference d = compare(ours, theirs);
    EXPECT_LE(d.maximum, path.maximum);
    EXPECT_LE(d.mean, path.mean);
    std::printf("%s %s: max %d mean %.3f\n", v.name, path.dct, d.maximum, d.mean);
  }
  for (const char* suffix : {".ppm", ".jpg", ".pnm", ".scans"})
    std::remove((base + suffix).c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, CjpegVariant,
    ::testing::Values(
        Variant{"s444", "-sample 1x1", 64, 48}, Variant{"s211", "-sample 2x1", 64, 48},
        Variant{"s121", "-sample 1x2", 64, 48}, Variant{"s420", "-sample 2x2", 64, 48},
        Variant{"grey", "-grayscale", 64, 48}, Variant{"odd444", "-sample 1x1", 37, 29},
        Variant{"odd211", "-sample 2x1", 37, 29}, Variant{"odd121", "-sample 1x2", 37, 29},
        Variant{"odd420", "-sample 2x2", 37, 29}, Variant{"oddgrey", "-grayscale", 13, 3},
        Variant{"restart1", "-sample 2x2 -restart 1B", 70, 50},
        Variant{"restart1grey", "-grayscale -restart 1B", 70, 50},
        Variant{"restartrows", "-sample 2x1 -restart 2", 70, 50},
        Variant{"optimized", "-optimize -sample 2x2", 64, 48},
        Variant{"quality1", "-quality 1", 40, 40}, Variant{"quality10", "-quality 10", 40, 40},
        Variant{"quality50", "-quality 50", 40, 40}, Variant{"quality100", "-quality 100", 40, 40},
        Variant{"prog420", "-progressive -sample 2x2", 64, 48},
        Variant{"prog444", "-progressive -sample 1x1", 37, 29},
        Variant{"prog211", "-progressive -sample 2x1", 37, 29},
        Variant{"prog121", "-progressive -sample 1x2", 37, 29},
        Variant{"proggrey", "-progressive -grayscale", 37, 29},
        Variant{"progrestart", "-progressive -restart 1B -sample 2x2", 50, 40},
        Variant{"progq100", "-progressive -quality 100", 40, 40},
        Variant{"progq1", "-progressive -quality 1", 40, 40},
        // Sampling beyond the four common layouts: any factors 1..4, mixed chroma, chroma
        // sampled more than luma.
        Variant{"s411", "-sample 4x1", 37, 29}, Variant{"s13", "-sample 1x3", 37, 29},
        Variant{"s31", "-sample 3x1", 37, 29}, Variant{"s32", "-sample 3x2", 37, 29},
        Variant{"mixed", "-sample 2x2,1x2,1x1", 37, 29},
        Variant{"chromaMore", "-sample 1x1,2x2,1x1", 37, 29},
        Variant{"s14mixed", "-sample 1x4,1x1,1x2", 37, 29},
        Variant{"s21same", "-sample 2x1,2x1,2x1 -progressive", 37, 29},
        Variant{"prog411", "-progressive -sample 4x1", 37, 29},
        Variant{"prog31restart", "-progressive -sample 3x1 -restart 1B", 37, 29},
        // Arithmetic coding, with and without restarts, and its conditioning tables.
        Variant{"arith", "-arithmetic", 64, 48},
        Variant{"arithgrey", "-arithmetic -grayscale", 37, 29},
        Variant{"arith444q100", "-arithmetic -sample 1x1 -quality 100", 40, 40},
        Variant{"arithrestart", "-arithmetic -restart 1B -sample 3x1", 70, 50},
        Variant{"arithprog", "-arithmetic -progressive", 64, 48},
        Variant{"arithproggrey", "-arithmetic -progressive -grayscale", 37, 29},
        Variant{"arithprogrestart", "-arithmetic -progressive -restart 1B", 50, 40},
        Variant{"arithprog411", "-arithmetic -progressive -sample 4x1 -quality 95", 37, 29},
        // RGB: Adobe's transform flag 0 and components named R, G, B.
        Variant{"rgb", "-rgb", 37, 29},
        Variant{"rgbarith", "-rgb -arithmetic -progressive", 37, 29},
        // Sequential pictures whose components come in separate scans: one each, luma and
        // then both chroma, restart intervals that change from scan to scan (in rows of
        // each scan's MCUs), chroma first, arithmetic coding.
        Variant{"sep444", "-sample 1x1", 37, 29, "0; 1; 2;"},
        Variant{"sep420", "-sample 2x2", 37, 29, "0; 1; 2;"},
        Variant{"sepLumaThenChroma", "-sample 2x2", 64, 48, "0; 1 2;"},
        Variant{"sepRestart", "-sample 2x1 -restart 1B", 70, 50, "2; 0; 1;"},
        Variant{"sepRestartRows", "-sample 2x2 -restart 1", 70, 50, "0; 1 2;"},
        Variant{"sepArith", "-arithmetic -sample 2x2", 64, 48, "0; 1; 2;"},
        Variant{"sepArithRestart", "-arithmetic -sample 1x2 -restart 1B", 37, 29, "1; 0 2;"},
        Variant{"sepRgb", "-rgb", 37, 29, "0; 1; 2;"},
        // Luma sampled 4x4: 18 blocks in the frame's MCU, more than an interleaved scan may
        // hold, so every scan has one component.
        Variant{"sep44", "-sample 4x4", 37, 29, "0; 1; 2;"},
        Variant{"prog44", "-sample 4x4", 37, 29,
                "0: 0-0, 0, 1; 1: 0-0, 0, 0; 2: 0-0, 0, 0; 0: 1-63, 0, 1; 0: 0-0, 1, 0;"
                "1: 1-63, 0, 0; 2: 1-63, 0, 0; 0: 1-63, 1, 0;"}),
    [](const ::testing::TestParamInfo<Variant>& variant) {
      return std::string(variant.param.name);
    });

}  // namespace
}  // namespace vz
