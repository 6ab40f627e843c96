// indi_rv9_ccd under indiserver in simulation, measured from a client on loopback: the time from the
// end of a full-frame readout to the whole FITS BLOB at the client, and the driver's CPU while it
// waits out a 60 s exposure.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/indi/server/IndiWire.h"

namespace nyxel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Server {
  Server() {
    char pattern[] = "/tmp/nyxel-bench-indi-XXXXXX";
    dir = mkdtemp(pattern);
    ok = server.Start(NYXEL_INDI_DRIVER, {"HOME=" + dir, "NYXEL_SIM_READOUT_MS=0"}, dir) &&
         wire.Open(server.port(), "RV9 CCD") && Set("SIMULATION.ENABLE=On") && Set("CONNECTION.CONNECT=On") &&
         Eval("\"RV9 CCD.CONNECTION._STATE\"==1", 5) && Set("DEBUG.ENABLE=On") &&
         Set("DEBUG_LEVEL.DBG_DEBUG=On");
  }
  ~Server() {
    wire.Close();
    server.Stop();
    std::filesystem::remove_all(dir);
  }
  bool Set(const std::string& what) {
    return test::RunProgram({"indi_setprop", "-p", std::to_string(server.port()), "RV9 CCD." + what}) == 0;
  }
  bool Eval(const std::string& expression, int seconds) {
    return test::RunProgram({"indi_eval", "-p", std::to_string(server.port()), "-t", std::to_string(seconds),
                             "-w", expression}) == 0;
  }
  std::string dir;
  test::DriverServer server;
  test::IndiWire wire;
  bool ok = false;
};

Server& TheServer() {
  static Server server;
  return server;
}

// A 1 ms full frame (the simulated download takes no time): from the driver's "Frame read" debug
// message to the last byte of the BLOB, both as this client sees them arrive.
void BM_FullFrameBlobAfterReadout(benchmark::State& state) {
  Server& s = TheServer();
  if (!s.ok) return state.SkipWithError("indiserver with indi_rv9_ccd did not start");
  for (auto _ : state) {
    const size_t blobs = s.wire.blobs.size(), messages = s.wire.messages.size();
    if (!s.Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.001") || !s.wire.WaitForBlobs(blobs + 1, 10s))
      return state.SkipWithError("no frame");
    Clock::time_point read_at{};
    for (size_t i = messages; i < s.wire.messages.size(); ++i)
      if (s.wire.messages[i].find("Frame read from the camera") != std::string::npos)
        read_at = s.wire.message_times[i];
    if (read_at == Clock::time_point{}) return state.SkipWithError("no readout message (DEBUG off?)");
    state.SetIterationTime(std::chrono::duration<double>(s.wire.blob_times[blobs] - read_at).count());
    state.counters["blob_bytes"] = static_cast<double>(s.wire.blobs[blobs].bytes.size());
  }
}
BENCHMARK(BM_FullFrameBlobAfterReadout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The driver's CPU, as a share of one core, over the 60 s a 60 s exposure waits.
void BM_DriverCpuDuring60sExposure(benchmark::State& state) {
  Server& s = TheServer();
  if (!s.ok) return state.SkipWithError("indiserver with indi_rv9_ccd did not start");
  const pid_t driver = s.server.DriverPid();
  for (auto _ : state) {
    const size_t blobs = s.wire.blobs.size();
    if (!s.Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=60")) return state.SkipWithError("no exposure");
    const double cpu0 = CpuSeconds(driver);
    const auto t0 = Clock::now();
    // The client keeps reading (the seconds-left updates) while the exposure runs.
    while (Clock::now() - t0 < 59s) s.wire.Drain(500ms);
    const double cpu = CpuSeconds(driver) - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
    s.wire.WaitForBlobs(blobs + 1, 10s);
  }
}
BENCHMARK(BM_DriverCpuDuring60sExposure)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace nyxel
