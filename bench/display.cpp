// The engine half of a display refresh (build the picture, write the bitmap file) for grey and colour
// frames, standard and RV geometry.
#include <benchmark/benchmark.h>

#include "core/Display.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

void Refresh(benchmark::State& state, bool colour, bool rv) {
  const auto dir = std::filesystem::temp_directory_path() / "nyxel-bench-display";
  std::filesystem::create_directories(dir);
  Drive drive(dir);
  auto store = ImageStore::Create();
  InitImageStore(*store);
  for (int i = 0; i < kFramePixels; ++i) {
    store->RedPlane[i] = static_cast<uint8_t>(i);
    store->GreenPlane[i] = static_cast<uint8_t>(i >> 3);
    store->BluePlane[i] = static_cast<uint8_t>(i >> 5);
  }
  store->ColourConverted = colour;
  store->RvGeometry = rv;
  RecordingHost host;
  for (auto _ : state) {
    host.progress_positions.clear();
    benchmark::DoNotOptimize(RefreshDisplay(*store, host, drive, 2));
  }
  std::filesystem::remove_all(dir);
}

void BM_RefreshGrey(benchmark::State& s) { Refresh(s, false, false); }
void BM_RefreshGreyRv(benchmark::State& s) { Refresh(s, false, true); }
void BM_RefreshColour(benchmark::State& s) { Refresh(s, true, false); }
void BM_RefreshColourRv(benchmark::State& s) { Refresh(s, true, true); }
BENCHMARK(BM_RefreshGrey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshGreyRv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshColourRv)->Unit(benchmark::kMillisecond);

void BM_EstimateBlackLevel(benchmark::State& state) {
  auto store = ImageStore::Create();
  InitImageStore(*store);
  for (auto _ : state) EstimateBlackLevel(*store);
}
BENCHMARK(BM_EstimateBlackLevel)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace nyxel
