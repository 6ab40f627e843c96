#pragma once
// What one running program drives together: the camera rig (session, camera, run settings) and the
// telescope link and guiding state. Each program's main builds one; tests build their own.
#include "camera/ExposureRun.h"
#include "camera/SlewAndSum.h"
#include "telescope/Guiding.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {

struct Simulation;

struct Observatory : CameraRig {
  Observatory(Host& host, Clock& clock, Drive drive, CameraTransport& transport)
      : CameraRig(host, clock, std::move(drive), transport) {
    self_guide = &guider;
    summer = &summing;
  }
  // Summing of multiple runs with drift compensation.
  SlewAndSummer summing{*this};
  // The telescope link and the guiding state.
  TelescopeLink link;
  Guider guider{*this};
  // --simulate: the simulated sky, camera and mount (set by the program's main), else null.
  Simulation* simulation = nullptr;
};

}  // namespace nyxel
