#pragma once
// --simulate: the simulated camera (and the simulated mount) on one shared simulated sky. The programs'
// mains build one and hand its camera to the rig as the transport.
#include <cstdint>
#include <filesystem>

#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "telescope/sim/PtyMount.h"
#include "telescope/sim/SimulatedMount.h"

namespace nyxel {

struct Simulation {
  Simulation(Clock& clock, uint32_t seed, SimulatedCameraOptions camera_options = {})
      : sky(clock, seed), camera(sky, WithSeed(camera_options, seed)) {}

  SimulatedSky sky;
  SimulatedCamera camera;
  SimulatedMount mount{sky};
  // The mount on a pseudo-terminal linked as <drive>/com1: after StartMount, set the telescope link's
  // peer to &mount_line so the serial port gives it its turns.
  PtyMount mount_line{mount};
  bool StartMount(const std::filesystem::path& drive_root) { return mount_line.Start(drive_root / "com1"); }

 private:
  static SimulatedCameraOptions WithSeed(SimulatedCameraOptions options, uint32_t seed) {
    options.seed = seed;
    return options;
  }
};

}  // namespace nyxel
