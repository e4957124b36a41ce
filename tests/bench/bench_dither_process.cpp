// Times whole vizorka-cli runs that dither a 4000 x 3000 true-colour BMP (a plasma
// with noise, so that it has as many colours as a photo) to 16 colours and export the
// result:
//   vizorka-cli big.bmp --predistort off --algorithm A --dither 16 --export out.bmp
// for A = fs and perceptual, taking turns, and prints the best time of each and the
// ratio perceptual / fs.
// Usage: bench_dither_process [runs [vizorka-cli]]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_pictures.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/file_io.h"

namespace {

double secondsOf(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string cli = argc > 2 ? argv[2] : VIZORKA_CLI_PATH;
  char folder[] = "/tmp/vizorka-dither-process-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string picture = std::string(folder) + "/big.bmp";
  if (!vz::writeFileSafely(picture, vz::encodeBmp(bench::plasma(4000, 3000, 12), {})).ok())
    return 1;

  const char* const algorithms[] = {"fs", "perceptual"};
  double best[2] = {1e9, 1e9};
  for (int run = 0; run < runs; ++run)
    for (int a = 0; a < 2; ++a) {
      const std::string out = std::string(folder) + "/out-" + algorithms[a] + ".bmp";
      best[a] = std::min(best[a],
                         secondsOf("'" + cli + "' '" + picture + "' --predistort off --algorithm " +
                                   algorithms[a] + " --dither 16 --export '" + out + "'"));
    }
  std::printf("vizorka-cli, 4000 x 3000 true colour to 16 colours, best of %d runs:\n", runs);
  std::printf("  --algorithm fs          %.3f s\n", best[0]);
  std::printf("  --algorithm perceptual  %.3f s\n", best[1]);
  std::printf("  ratio perceptual / fs   %.2f (target <= 2)\n", best[1] / best[0]);
  std::remove(picture.c_str());
  for (const char* algorithm : algorithms)
    std::remove((std::string(folder) + "/out-" + algorithm + ".bmp").c_str());
  rmdir(folder);
  return 0;
}
