#include "indi/Rv9Plans.h"

#include <cmath>
#include <cstring>

#include "camera/CameraProtocol.h"
#include "camera/ExposureRun.h"
#include "telescope/Guiding.h"

namespace nyxel {

bool PlanExposure(double seconds, ExposurePlan& plan) {
  // A hair of slack, so 0.001 and 5400 entered by hand are not refused for their binary rounding.
  if (!(seconds >= kShortestExposureS - 1e-9 && seconds <= kLongestExposureS + 1e-6)) return false;
  for (const char unit : {'q', 'h', 't', 's', 'm'}) {
    const int factor = ExposureFromUnit(unit, 1, true);
    const long value = std::lround(seconds * 1000.0 / factor);
    if (value < 1 || value > UnitMaximum(unit)) continue;
    plan.unit = unit;
    plan.value = static_cast<int>(value);
    plan.ms = ExposureFromUnit(unit, plan.value, true);
    plan.seconds = plan.ms / 1000.0;
    return true;
  }
  return false;
}

bool SubframeValid(int x, int y, int w, int h) {
  return x >= 0 && y >= 0 && w >= 1 && h >= 1 && x + w <= kRv9Columns && y + h <= kRv9Rows;
}

ReadoutPlan PlanReadout(int x, int y, int w, int h) {
  ReadoutPlan plan;
  if (w != kFocusSize || h != kFocusSize) return plan;
  plan.window = true;
  const GuideWindowPlacement p = PlaceGuideWindowFor(x + kFocusSize / 2, y + kFocusSize / 2);
  plan.focus_x = p.window_x;
  plan.focus_y = p.window_y;
  return plan;
}

void CopySubframe(const Frame& frame, const ReadoutPlan& plan, int x, int y, int w, int h, uint16_t* out) {
  if (plan.window) {
    std::memcpy(out, frame.data(), sizeof(uint16_t) * kFocusPixels);
    return;
  }
  for (int r = 0; r < h; ++r) {
    std::memcpy(out + static_cast<size_t>(r) * w, frame.data() + PixelIndex(y + r, x), sizeof(uint16_t) * w);
  }
}

void CopyColourCube(const ImageStore& store, int x, int y, int w, int h, uint8_t* out) {
  const size_t plane = static_cast<size_t>(w) * h;
  const Plane* planes[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < h; ++r) {
      std::memcpy(out + c * plane + static_cast<size_t>(r) * w, planes[c]->data() + PixelIndex(y + r, x), w);
    }
  }
}

}  // namespace nyxel
