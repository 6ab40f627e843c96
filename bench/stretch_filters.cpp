// Every stretch (table build and application) and every spatial filter on a full 512 x 290 frame.
#include <benchmark/benchmark.h>

#include <functional>
#include <random>

#include "core/RecordingHost.h"
#include "processing/Filter.h"
#include "processing/Stretch.h"

namespace nyxel {
namespace {

// A star field's worth of variety: a sky with noise, some bright and saturated pixels.
void FillFrame(ImageStore& store) {
  std::mt19937 random(7);
  std::normal_distribution<double> sky(3000.0, 300.0);
  for (int i = 0; i < kFramePixels; ++i) {
    double v = sky(random);
    if (random() % 200 == 0) v = 20000 + random() % 45535;
    store.CurrentFrame[i] = static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
  }
  store.BlackLevel = 12;
}

void Run(benchmark::State& state, const std::function<void(ImageStore&, Host&, StretchTable&)>& op) {
  auto store = ImageStore::Create();
  InitImageStore(*store);
  FillFrame(*store);
  const Frame original = store->CurrentFrame;
  RecordingHost host;
  StretchTable table;
  for (auto _ : state) {
    state.PauseTiming();
    CopyFrame(original, store->CurrentFrame);
    ClearHistory(store->History);
    host.Clear();
    state.ResumeTiming();
    op(*store, host, table);
    benchmark::DoNotOptimize(store->CurrentFrame.data());
  }
}

void Register(const char* name, std::function<void(ImageStore&, Host&, StretchTable&)> op) {
  benchmark::RegisterBenchmark(name, [op](benchmark::State& s) {
    Run(s, op);
  })->Unit(benchmark::kMicrosecond);
}

const bool kRegistered = [] {
  Register("NormalStretch", [](ImageStore& s, Host& h, StretchTable& t) { NormalStretch(s, h, t, 10, 200); });
  Register("PowerStretch", [](ImageStore& s, Host& h, StretchTable& t) { PowerStretch(s, h, t, 0.7); });
  Register("SineStretch", SineStretch);
  Register("RemoveBackground", [](ImageStore& s, Host& h, StretchTable& t) { RemoveBackground(s, h, t); });
  Register("NonLinearStretch",
           [](ImageStore& s, Host& h, StretchTable& t) { NonLinearStretch(s, h, t, 25); });
  Register("LogStretch", LogStretch);
  Register("AntilogStretch", AntilogStretch);
  Register("InvertStretch", InvertStretch);
  Register("NonLinearTable14",
           [](ImageStore& s, Host&, StretchTable& t) { BuildNonLinearTable14(t, 18, s.History); });
  Register("HighPassLowPower3x3", [](ImageStore& s, Host&, StretchTable&) { HighPassLowPowerFilter(s); });
  Register("LowpassSmoother3x3", [](ImageStore& s, Host&, StretchTable&) { LowpassSmootherFilter(s); });
  Register("HighPassHighPower5x5", [](ImageStore& s, Host&, StretchTable&) { HighPassHighPowerFilter(s); });
  Register("SmootherSharper5x5", [](ImageStore& s, Host&, StretchTable&) { SmootherSharperFilter(s); });
  Register("Gaussian5x5", [](ImageStore& s, Host&, StretchTable&) { GaussianFilter(s); });
  Register("BasRelief5x5", [](ImageStore& s, Host&, StretchTable&) { BasReliefFilter(s); });
  Register("Gradient", [](ImageStore& s, Host&, StretchTable&) { GradientFilter(s); });
  for (int r : {1, 3, 7}) {
    const std::string name = "UnsharpMask/r" + std::to_string(r);
    Register(name.c_str(), [r](ImageStore& s, Host&, StretchTable&) { UnsharpMask(s, r, 3); });
  }
  for (int r : {1, 2, 3}) {
    const std::string name = "MedianFilter/r" + std::to_string(r);
    Register(name.c_str(), [r](ImageStore& s, Host&, StretchTable&) { MedianFilter(s, r, 6); });
  }
  return true;
}();

}  // namespace
}  // namespace nyxel
