// The dither quality benchmark's colour difference, and the converter's own (computed
// without the maths library, the same on every machine), against the 34 test pairs
// published by Sharma, Wu and Dalal (2005), which exercise the hue wrap-around, the mean
// hue and the rotation term; and the converter's curves against the library's.
#include <gtest/gtest.h>

#include <random>

#include "converter/colour/perceptual_error.h"
#include "tests/bench/perceptual_metric.h"

namespace {

struct Pair {
  metric::Lab first, second;
  double difference;
};

const Pair kPairs[] = {
    {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
    {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
    {{50.0000, 2.8361, -74.0200}, {50.0000, 0.0000, -82.7485}, 3.4412},
    {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -1.1848, -84.8006}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -0.9009, -85.5211}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
    {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0010}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0012}, 7.2195},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0010, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 0.0000, -2.5000}, 4.3065},
    {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
    {{50.0000, 2.5000, 0.0000}, {61.0000, -5.0000, 29.0000}, 22.8977},
    {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
    {{50.0000, 2.5000, 0.0000}, {58.0000, 24.0000, 15.0000}, 19.4535},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.1736, 0.5854}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2972, 0.0000}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 1.8634, 0.5757}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2592, 0.3350}, 1.0000},
    {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    {{63.0109, -31.0961, -5.8663}, {62.8187, -29.7946, -4.0864}, 1.2630},
    {{61.2901, 3.7196, -5.3901}, {61.4292, 2.2480, -4.9620}, 1.8731},
    {{35.0831, -44.1164, 3.7933}, {35.0232, -40.0716, 1.5901}, 1.8645},
    {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
    {{36.4612, 47.8580, 18.3852}, {36.2715, 50.5065, 21.2231}, 1.4146},
    {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
    {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
    {{6.7747, -0.2908, -2.4247}, {5.8714, -0.0985, -2.2286}, 0.6377},
    {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
};

TEST(Ciede2000, MatchesThePublishedTestPairsBothWays) {
  int row = 1;
  for (const Pair& pair : kPairs) {
    // The published values are rounded to four decimals.
    EXPECT_NEAR(metric::ciede2000(pair.first, pair.second), pair.difference, 0.5e-4)
        << "pair " << row;
    EXPECT_NEAR(metric::ciede2000(pair.second, pair.first), pair.difference, 0.5e-4)
        << "pair " << row;
    const vz::Lab first{pair.first.lightness, pair.first.a, pair.first.b};
    const vz::Lab second{pair.second.lightness, pair.second.a, pair.second.b};
    EXPECT_NEAR(vz::ciede2000(first, second), metric::ciede2000(pair.first, pair.second), 1e-9)
        << "pair " << row;
    EXPECT_NEAR(vz::ciede2000(second, first), pair.difference, 0.5e-4) << "pair " << row;
    ++row;
  }
}

// The curves made without the maths library: the sRGB curve of every byte, the Lab of
// colours across the cube, and the differences of random pairs, as the library has them.
TEST(Ciede2000, PortableCurvesMatchTheLibrary) {
  for (int v = 0; v < 256; ++v)
    EXPECT_NEAR(vz::linearOfByteTable()[static_cast<size_t>(v)],
                metric::linearOfSrgb(static_cast<uint8_t>(v)), 1e-15)
        << v;
  std::mt19937 random(23);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 2000; ++i) {
    const double r = unit(random), g = unit(random) * unit(random), b = unit(random);
    const metric::Lab expected = metric::labOfLinear(r, g, b);
    const vz::Lab lab = vz::labOfLinear(r, g, b);
    EXPECT_NEAR(lab.lightness, expected.lightness, 1e-10);
    EXPECT_NEAR(lab.a, expected.a, 1e-10);
    EXPECT_NEAR(lab.b, expected.b, 1e-10);
    const double r2 = unit(random), g2 = unit(random), b2 = unit(random);
    EXPECT_NEAR(vz::ciede2000(lab, vz::labOfLinear(r2, g2, b2)),
                metric::ciede2000(expected, metric::labOfLinear(r2, g2, b2)), 1e-9);
  }
}

}  // namespace
