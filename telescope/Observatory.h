#pragma once
// What one running program drives together: the camera rig (session, camera, run settings) and the
// telescope link and guiding state. Each program's main builds one; tests build their own.
#include "camera/ExposureRun.h"
#include "camera/SlewAndSum.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {

struct Observatory : CameraRig {
  Observatory(Host& host, Clock& clock, Drive drive, CameraTransport& transport)
      : CameraRig(host, clock, std::move(drive), transport) {
    summer = &summing;
  }
  // Summing of multiple runs with drift compensation.
  SlewAndSummer summing{*this};
  // The telescope link and the guiding state join here.
  TelescopeLink link;
};

}  // namespace nyxel
