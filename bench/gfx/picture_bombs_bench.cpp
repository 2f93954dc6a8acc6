// What a hostile picture costs the client before and after its limits:
// progressive JPEGs of a growing number of scans (each scan a pass of the
// decoder over the whole 1024 x 1024 picture) up to the limit, which decode,
// and past it, which are refused unread; and a 40 KB PNG that claims
// 16384 x 16384 pixels, refused from its header. The load average is
// printed beside the figures: the machine is shared.
// Run: build/<dir>/bin/bench_picture_bombs
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/picture.h"
#include "test_pictures.h"

namespace {

using namespace tavrin::platform;

void jpeg_scans(benchmark::State& state) {
  const std::string jpeg = tavrin::test::jpeg_of_scans(1024, 1024, int(state.range(0)));
  const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data());
  bool decoded = false;
  for (auto _ : state) {
    auto image = decode_picture_memory(data, jpeg.size(), {480, 800});
    decoded = image.has_value();
    benchmark::DoNotOptimize(image);
  }
  state.SetLabel(decoded ? "decoded" : "refused");
}
BENCHMARK(jpeg_scans)->Arg(10)->Arg(kMaxJpegScans)->Arg(kMaxJpegScans + 1)->Arg(20000)
    ->Unit(benchmark::kMillisecond);

void png_bomb(benchmark::State& state) {
  const std::string path = "bench_png_bomb.png";
  if (!tavrin::test::write_png_bomb(path, 16384)) {
    state.SkipWithError("cannot write the PNG");
    return;
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  std::remove(path.c_str());
  bool decoded = false;
  for (auto _ : state) {
    auto image = decode_picture_memory(bytes.data(), bytes.size());
    decoded = image.has_value();
    benchmark::DoNotOptimize(image);
  }
  state.SetLabel(std::to_string(bytes.size() / 1024) + " KB, " +
                 (decoded ? "decoded" : "refused"));
}
BENCHMARK(png_bomb)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("load average %.2f %.2f %.2f (shared machine: figures are indicative)\n", load[0],
              load[1], load[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
