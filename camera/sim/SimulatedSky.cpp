#include "camera/sim/SimulatedSky.h"

#include <array>
#include <cmath>

#include "core/Geometry.h"

namespace nyxel {
namespace {

// The track keeps enough history for the longest exposure the camera integrates over; older segments
// are dropped in bulk so a guiding session's pulses do not grow it without bound.
constexpr size_t kTrackLimit = 4096;

// Star colours from hot to cool.
constexpr std::array<std::array<double, 3>, 5> kStarColours = {{
    {0.75, 0.85, 1.0},
    {1.0, 1.0, 1.0},
    {1.0, 0.95, 0.8},
    {1.0, 0.8, 0.6},
    {1.0, 0.65, 0.45},
}};

}  // namespace

SimulatedSky::SimulatedSky(Clock& clock, uint32_t seed) : clock_(clock) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> column(6, kFrameWidth - 8);
  std::uniform_real_distribution<double> row(6, kFrameHeight - 6);
  std::uniform_real_distribution<double> brightness(0, 1);
  std::uniform_int_distribution<size_t> colour(0, kStarColours.size() - 1);

  const auto& yellow = kStarColours[2];
  stars_.push_back({kBrightStarX, kBrightStarY, kBrightStarFlux, yellow[0], yellow[1], yellow[2]});
  while (stars_.size() < static_cast<size_t>(kFaintStars) + 1) {
    SkyStar star;
    star.x = column(random);
    star.y = row(random);
    // Faint stars are many, bright ones few: a steep fall-off between 1% and 15% of the bright star.
    const double b = brightness(random);
    star.flux = kBrightStarFlux * (0.01 + 0.14 * b * b * b);
    const auto& c = kStarColours[colour(random)];
    star.red = c[0];
    star.green = c[1];
    star.blue = c[2];
    if (std::hypot(star.x - kBrightStarX, star.y - kBrightStarY) < kIsolationRadius) continue;
    stars_.push_back(star);
  }
  track_.push_back({clock_.NowMs(), {}, {}});
}

SkyOffset SimulatedSky::OffsetAt(uint32_t time_ms) const {
  // The last segment that started at or before time_ms; an earlier time extrapolates the first one.
  const Segment* segment = &track_.front();
  for (auto it = track_.rbegin(); it != track_.rend(); ++it) {
    if (ElapsedMs(time_ms, it->time_ms) >= 0) {
      segment = &*it;
      break;
    }
  }
  const double seconds = ElapsedMs(time_ms, segment->time_ms) / 1000.0;
  const SkyOffset external = external_pointing ? external_pointing() : SkyOffset{};
  return {segment->offset.x + segment->drift.x * seconds + external.x,
          segment->offset.y + segment->drift.y * seconds + external.y};
}

void SimulatedSky::StartSegment(SkyOffset offset, SkyOffset drift) {
  if (track_.size() >= kTrackLimit) track_.erase(track_.begin(), track_.begin() + kTrackLimit / 2);
  const uint32_t now = clock_.NowMs();
  if (track_.back().time_ms == now) {
    track_.back() = {now, offset, drift};  // a second change at the same moment
  } else {
    track_.push_back({now, offset, drift});
  }
}

void SimulatedSky::MovePointing(double dx, double dy) {
  const SkyOffset now = Offset();
  StartSegment({now.x + dx, now.y + dy}, Drift());
}

void SimulatedSky::SetPointingOffset(double x, double y) {
  StartSegment({x, y}, Drift());
}

void SimulatedSky::SetDrift(double x_pixels_per_s, double y_pixels_per_s) {
  StartSegment(Offset(), {x_pixels_per_s, y_pixels_per_s});
}

SkyOffset SimulatedSky::Drift() const {
  return track_.back().drift;
}

SkyOffset SimulatedSky::StarPosition(const SkyStar& star, uint32_t time_ms) const {
  const SkyOffset offset = OffsetAt(time_ms);
  return {star.x + offset.x, star.y + offset.y};
}

}  // namespace nyxel
