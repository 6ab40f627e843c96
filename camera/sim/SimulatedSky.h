#pragma once
// The sky the simulated camera looks at: a seeded star field and where it lies on the chip over time.
// The simulated mount moves it (pointing moves, drift, guide pulses); the camera integrates it between
// the moments its integration starts and ends, so a star that moves during an exposure trails.
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "core/Clock.h"

namespace nyxel {

// A star at its sky position, in frame pixels (column x, row y) when the pointing offset is zero.
struct SkyStar {
  double x = 0;
  double y = 0;
  double flux = 0;  // ADU per second summed over the star image, through a filter of response 1
  // Relative colour; white is 1, 1, 1.
  double red = 1;
  double green = 1;
  double blue = 1;
};

struct SkyOffset {
  double x = 0;
  double y = 0;
};

class SimulatedSky {
 public:
  // Where the bright star sits: near the middle of the default 128 x 128 focus window.
  static constexpr double kBrightStarX = 250.3;
  static constexpr double kBrightStarY = 121.6;
  static constexpr double kBrightStarFlux = 200000;
  static constexpr int kFaintStars = 40;
  static constexpr double kIsolationRadius = 24;

  explicit SimulatedSky(Clock& clock, uint32_t seed = 20240611);

  // Stars()[0] is the bright, isolated star; the rest are fainter ones scattered over the frame.
  const std::vector<SkyStar>& Stars() const { return stars_; }
  const SkyStar& BrightStar() const { return stars_.front(); }
  // Replaces the field, e.g. with one star for a test. The first star is the "bright" one.
  void SetStars(std::vector<SkyStar> stars) { stars_ = std::move(stars); }

  // The pointing offset is how far, in frame pixels, the field has moved across the chip: a star at sky
  // position (x, y) is imaged at (x + offset.x, y + offset.y).
  SkyOffset OffsetAt(uint32_t time_ms) const;
  SkyOffset Offset() const { return OffsetAt(clock_.NowMs()); }
  // Moves the field at once by (dx, dy) pixels, as a slew or a guide pulse does.
  void MovePointing(double dx, double dy);
  void SetPointingOffset(double x, double y);
  // From now on the field drifts at this many pixels per second (a mis-aligned or badly tracking mount).
  void SetDrift(double x_pixels_per_s, double y_pixels_per_s);
  SkyOffset Drift() const;
  // Where a star is imaged at a given moment.
  SkyOffset StarPosition(const SkyStar& star, uint32_t time_ms) const;

  // Star image radius (Gaussian sigma, pixels): larger when out of focus.
  double psf_sigma = 1.2;
  // Sky glow, ADU per second per pixel through a filter of response 1.
  double sky_background = 20;

  Clock& clock() const { return clock_; }

  // A pointing the sky follows besides its own track (a mount on an INDI server): its offset, in frame
  // pixels, is added to every position. Null: none.
  std::function<SkyOffset()> external_pointing;

 private:
  // The offset from `time_ms` on: position then and drift rate after it.
  struct Segment {
    uint32_t time_ms;
    SkyOffset offset;
    SkyOffset drift;
  };
  void StartSegment(SkyOffset offset, SkyOffset drift);

  Clock& clock_;
  std::vector<SkyStar> stars_;
  std::vector<Segment> track_;
};

}  // namespace nyxel
