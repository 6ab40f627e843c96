// CPU cost of waiting out an exposure on the real clock: a 10-second run on the simulated camera should
// keep a core busy for well under 5% of that time (the waits sleep between their 20 ms checks).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "camera/ExposureRun.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

void BM_TenSecondExposureOnRealClock(benchmark::State& state) {
  const auto drive = std::filesystem::temp_directory_path() / "nyxel-bench-exposure";
  RecordingHost host;
  RealClock clock;
  SimulatedSky sky(clock);
  SimulatedCamera sim(sky);
  CameraRig rig(host, clock, Drive(drive), sim);
  StartSession(rig.session);
  for (auto _ : state) {
    BeginCameraCommand(rig);
    rig.run.ExposureUnit = 's';
    rig.run.ExposureValue = 10;
    TakePhoto(rig);
    EndCameraCommand(rig);
  }
  std::filesystem::remove_all(drive);
}
// The CPU column is the figure that matters; the real time is the exposure itself.
BENCHMARK(BM_TenSecondExposureOnRealClock)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nyxel
