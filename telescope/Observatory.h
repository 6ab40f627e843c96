#pragma once
// What one running program drives together: the camera rig (session, camera, run settings) and the
// telescope link and guiding state. Each program's main builds one; tests build their own.
#include "camera/ExposureRun.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {

struct Observatory : CameraRig {
  using CameraRig::CameraRig;
  // The telescope link and the guiding state join here.
  TelescopeLink link;
};

}  // namespace nyxel
