// Soak: 1,000 simulated exposures of a continuous run with autosave on the simulated clock. The
// resident memory must stay flat (within 1 MiB of its size after the first 50) and every exposure must
// land in a file of its own. Figures as counters: rss_after_50_kib, rss_peak_kib, growth_kib, files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "camera/ExposureRun.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

constexpr int kExposures = 1000;
constexpr int kSettled = 50;

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void BM_ContinuousAutosaveSoak(benchmark::State& state) {
  const auto drive = std::filesystem::temp_directory_path() / ("nyxel-soak-" + std::to_string(::getpid()));
  std::filesystem::remove_all(drive);
  RecordingHost host;
  SimulatedClock clock;
  SimulatedSky sky(clock);
  SimulatedCamera sim(sky);
  CameraRig rig(host, clock, Drive(drive), sim);
  StartSession(rig.session);
  long settled = 0, peak = 0;
  int shown = 0;
  for (auto _ : state) {
    BeginCameraCommand(rig);
    rig.run.ExposureUnit = 't';
    rig.run.ExposureValue = 1;
    rig.run.ContinuousMode = true;
    rig.run.AutoSave = true;
    TakePhoto(rig, [&](int number, int) {
      shown = number;
      // The store, the planes and the history are fixed; the host's record of boxes is not ours.
      host.Clear();
      const long rss = ResidentKib();
      if (number == kSettled) settled = rss;
      if (number > kSettled) peak = std::max(peak, rss);
      if (number == kExposures) host.abort_on_pump = host.pumps + 1;  // a key press ends the run
    });
    EndCameraCommand(rig);
  }
  std::set<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(drive / "autosave")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("IMG", 0) == 0) files.insert(name);
  }
  state.counters["exposures"] = shown;
  state.counters["files"] = static_cast<double>(files.size());
  state.counters["rss_after_50_kib"] = static_cast<double>(settled);
  state.counters["rss_peak_kib"] = static_cast<double>(peak);
  state.counters["growth_kib"] = static_cast<double>(peak - settled);
  if (shown != kExposures || files.size() != static_cast<size_t>(kExposures) || peak - settled > 1024) {
    state.SkipWithError("the soak's memory or files are not what they must be (see the counters)");
  }
  std::filesystem::remove_all(drive);
}
BENCHMARK(BM_ContinuousAutosaveSoak)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace nyxel
