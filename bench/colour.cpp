// Colour synthesis and anti-alias on a full raw frame.
#include "processing/Colour.h"

#include <benchmark/benchmark.h>

#include <random>

#include "core/RecordingHost.h"

namespace nyxel {
namespace {

struct Fixture {
  Fixture() {
    InitImageStore(store);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> dist(500, 30000);
    for (int i = 0; i < kFramePixels; ++i) raw[i] = static_cast<uint16_t>(dist(rng));
  }
  void Reset() {
    CopyFrame(raw, store.CurrentFrame);
    store.ColourConverted = 0;
    ClearHistory(store.History);
  }
  std::unique_ptr<ImageStore> owner = ImageStore::Create();
  ImageStore& store = *owner;
  Frame raw{};
  RecordingHost host;
};

Settings NoOptions() {
  Settings s;
  s.anti_alias = false;
  s.light_pollution_correction = false;
  return s;
}

void Synthesize(benchmark::State& state, const Settings& settings) {
  Fixture f;
  for (auto _ : state) {
    state.PauseTiming();
    f.Reset();
    f.host.progress_positions.clear();
    state.ResumeTiming();
    SynthesizeColour(f.store, f.host, settings);
    benchmark::DoNotOptimize(f.store.RedPlane.data());
  }
  state.SetLabel(settings.anti_alias ? "target < 25 ms" : "target < 10 ms");
}

void BM_SynthesizeNoOptions(benchmark::State& state) {
  Synthesize(state, NoOptions());
}

void BM_SynthesizeWithAntiAlias(benchmark::State& state) {
  Settings s = NoOptions();
  s.anti_alias = true;
  Synthesize(state, s);
}

// The settings' defaults (anti-alias on).
void BM_SynthesizeDefaults(benchmark::State& state) {
  Synthesize(state, Settings{});
}

void BM_SynthesizeEveryOption(benchmark::State& state) {
  Settings s;
  s.anti_alias = true;
  s.light_pollution_correction = true;
  s.strong_stretch = true;
  s.remove_background = true;
  s.high_pass = true;
  s.unsharp_mask = true;
  Synthesize(state, s);
}

void BM_AntiAlias(benchmark::State& state) {
  Fixture f;
  f.Reset();
  SynthesizeColour(f.store, f.host, NoOptions());
  for (auto _ : state) {
    state.PauseTiming();
    UndoColourFilter(f.store);
    f.host.progress_positions.clear();
    state.ResumeTiming();
    AntiAlias(f.store, f.host);
    benchmark::DoNotOptimize(f.store.RedPlane.data());
  }
}

BENCHMARK(BM_SynthesizeNoOptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesizeDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesizeWithAntiAlias)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesizeEveryOption)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AntiAlias)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nyxel
