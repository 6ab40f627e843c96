// Speed of the simulated camera and of the frame readout it feeds.
#include <benchmark/benchmark.h>

#include "camera/CameraProtocol.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

struct Rig {
  Rig() : sky(clock), sim(sky), store(ImageStore::Create()), camera(sim, host, clock) {
    FindCamera(camera, false);
  }
  SimulatedClock clock;
  SimulatedSky sky;
  SimulatedCamera sim;
  RecordingHost host;
  std::unique_ptr<ImageStore> store;
  Camera camera;
};

// One camera-timed full frame: render 298 x 576 pixels, download, place 290 rows.
void BM_FullFrame(benchmark::State& state) {
  Rig rig;
  rig.camera.ExposureMs = 100;
  for (auto _ : state) {
    SendControl(rig.camera, kControlEndIntegration);
    ReadFullFrame(rig.camera, rig.store->CurrentFrame);
    benchmark::DoNotOptimize(rig.store->CurrentFrame[1000]);
  }
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMillisecond);

// A focus-mode frame: window exposure, readout, maximum and palette stretch.
void BM_FocusFrame(benchmark::State& state) {
  Rig rig;
  rig.store->PaletteBits = 12;
  for (auto _ : state) benchmark::DoNotOptimize(TakeFocusFrame(rig.camera, *rig.store, 'h', 10));
}
BENCHMARK(BM_FocusFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace nyxel
