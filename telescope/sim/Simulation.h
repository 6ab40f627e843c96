#pragma once
// --simulate: the simulated camera (and the simulated mount) on one shared simulated sky. The programs'
// mains build one and hand its camera to the rig as the transport.
#include <cstdint>

#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"

namespace nyxel {

struct Simulation {
  Simulation(Clock& clock, uint32_t seed, SimulatedCameraOptions camera_options = {})
      : sky(clock, seed), camera(sky, WithSeed(camera_options, seed)) {}

  SimulatedSky sky;
  SimulatedCamera camera;

 private:
  static SimulatedCameraOptions WithSeed(SimulatedCameraOptions options, uint32_t seed) {
    options.seed = seed;
    return options;
  }
};

}  // namespace nyxel
