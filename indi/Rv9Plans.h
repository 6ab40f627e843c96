#pragma once
// What an INDI request asks of the camera: the exposure unit and value that take a requested time, the
// readout that serves a requested sub-frame, and the pixels a client is sent from what was read.
#include <cstdint>

#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kRv9Columns = 510;  // columns 510 and 511 of a frame are never read
inline constexpr int kRv9Rows = 290;
inline constexpr double kRv9PixelWidthUm = 9.8;
inline constexpr double kRv9PixelHeightUm = 12.6;
inline constexpr double kShortestExposureS = 0.001;
inline constexpr double kLongestExposureS = 90 * 60;

// An exposure in the camera dialog's terms: unit letter, value, and what that takes.
struct ExposurePlan {
  char unit = 's';
  int value = 1;
  int ms = 1000;
  double seconds = 1;  // what is taken: the FITS EXPTIME
};
// The finest unit whose range holds the request ('q' to 0.5 s, 'h' to 5 s, 't' to 10 s, 's' to 300 s,
// then minutes), the value rounded to the nearest that unit can take. False outside 0.001 s .. 90 min.
bool PlanExposure(double seconds, ExposurePlan& plan);

// How a sub-frame (x, y, w, h in frame pixels) is read: a 128 x 128 one with the camera's window readout,
// placed as guiding places its window on a star at the sub-frame's centre; any other the whole frame,
// cropped.
struct ReadoutPlan {
  bool window = false;
  int focus_x = 0, focus_y = 0;  // FocusWindowX, FocusWindowY of the window read
};
// False for a sub-frame that does not lie inside the 510 x 290 picture.
bool SubframeValid(int x, int y, int w, int h);
ReadoutPlan PlanReadout(int x, int y, int w, int h);

// The client's pixels, row by row (w x h, 16 bits): from the 128-wide window at the start of `frame`,
// or cropped out of the full frame.
void CopySubframe(const Frame& frame, const ReadoutPlan& plan, int x, int y, int w, int h, uint16_t* out);
// The colour planes of the sub-frame as a cube: red, then green, then blue, each w x h bytes.
void CopyColourCube(const ImageStore& store, int x, int y, int w, int h, uint8_t* out);

}  // namespace nyxel
