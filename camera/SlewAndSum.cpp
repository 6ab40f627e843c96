#include "camera/SlewAndSum.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Geometry.h"
#include "processing/StarCentre.h"

namespace nyxel {
namespace {

// Columns 510 and 511 are never read from the camera.
constexpr int kLitColumns = 510;
// The first frame's reference star is looked for this far from the borders at least, so it has room to
// drift before it leaves the frame.
constexpr int kStarBorder = 24;
// A reference must stand this many noise levels above the sky, and at least one display level (the
// picture shows the high byte), so a noise peak never becomes one.
constexpr int kBrightSigmas = 10;
constexpr int kMinBrightness = 256;
// The alternative method's profiles count light this many noise levels above the sky, so a starless
// region gives flat (zero) profiles however long the exposure.
constexpr int kProfileCutSigmas = 5;
constexpr int kHalfRegion = SlewAndSummer::kRegionSize / 2;
constexpr int kWideHalf = kHalfRegion + SlewAndSummer::kMaxShift;

// The centre searches of summing report their failure as a lost star (message 33 or 34), not in the
// centre search's own boxes as well.
class QuietHost : public Host {
 public:
  explicit QuietHost(Host& host) : host_(host) {}
  int MessageBox(std::string_view, std::string_view, MessageIcon, MessageButtons) override { return kIdOk; }
  void Beep(int kind) override { host_.Beep(kind); }
  void SetBusyCursor(bool busy) override { host_.SetBusyCursor(busy); }
  void ProgressOpen(std::string_view caption) override { host_.ProgressOpen(caption); }
  void ProgressSetCaption(std::string_view caption) override { host_.ProgressSetCaption(caption); }
  void ProgressSetPosition(int percent) override { host_.ProgressSetPosition(percent); }
  void ProgressClose() override { host_.ProgressClose(); }
  bool PumpMessages() override { return host_.PumpMessages(); }
  void SetCaption(std::string_view caption) override { host_.SetCaption(caption); }
  bool ShowBitmap(const std::filesystem::path& bitmap_file) override { return host_.ShowBitmap(bitmap_file); }

 private:
  Host& host_;
};

int BrightEnough(const FrameLevels& levels) {
  return std::max(kMinBrightness, kBrightSigmas * levels.noise);
}

// An intensity within 0.3 to 3 times the reference's.
bool IntensityInRange(int64_t value, int64_t reference) {
  return value * 10 >= reference * 3 && value <= reference * 3;
}

}  // namespace

FrameLevels MeasureFrameLevels(const Frame& frame, std::array<uint32_t, 65536>& histogram) {
  histogram.fill(0);
  for (int row = 0; row < kFrameHeight; ++row) {
    const uint16_t* p = &frame[static_cast<size_t>(PixelIndex(row, 0))];
    for (int column = 0; column < kLitColumns; ++column) ++histogram[p[column]];
  }
  const uint32_t count = kFrameHeight * kLitColumns;
  FrameLevels levels;
  int mode = 0;
  uint32_t cumulative = 0;
  int median = -1;
  for (int v = 0; v < 65536; ++v) {
    if (histogram[v] > histogram[mode]) mode = v;
    cumulative += histogram[v];
    if (median < 0 && 2 * cumulative >= count) median = v;
  }
  levels.background = mode;
  // Median absolute deviation: the smallest t with half the pixels within median +- t.
  uint32_t within = histogram[median];
  int t = 0;
  while (2 * within < count && t < 65535) {
    ++t;
    if (median - t >= 0) within += histogram[median - t];
    if (median + t <= 65535) within += histogram[median + t];
  }
  levels.noise = std::max(1, static_cast<int>(std::lround(1.4826 * t)));
  return levels;
}

FramePeak BrightestPeak(const Frame& frame, int left, int top, int right, int bottom) {
  FramePeak peak;
  top = std::max(top, 1);
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) {
      const int value = frame[static_cast<size_t>(PixelIndex(row, column))];
      const int above = frame[static_cast<size_t>(PixelIndex(row - 1, column))];
      if (value > peak.value && above > peak.value) peak = {column, row, value};
    }
  }
  return peak;
}

int EvenShift(int shift) {
  return shift >= -9 && shift <= 9 && (shift & 1) != 0 ? shift - 1 : shift;
}

void AddShifted(Frame& current, const Frame& sum, int dx, int dy, int divisor) {
  divisor = std::max(divisor, 1);
  for (int i = 0; i < kFrameHeight; ++i) {
    const int si = i - dy;
    const bool row_in = si > 0 && si < kFrameHeight;
    for (int j = 0; j < kFrameWidth; ++j) {
      const size_t at = static_cast<size_t>(PixelIndex(i, j));
      int value = current[at] / divisor;
      const int sj = j - dx;
      if (row_in && sj > 0 && sj < kLitColumns) value += sum[static_cast<size_t>(PixelIndex(si, sj))];
      current[at] = static_cast<uint16_t>(std::min(value, 65535));
    }
  }
}

void SlewAndSummer::Clear() {
  SumStarX = SumStarY = SumStarPeak = 0;
  frames_ = 0;
  reference_height_ = 0;
  reference_total_ = 0;
  residual_x_ = residual_y_ = 0;
  total_dx_ = total_dy_ = 0;
  cut_ = 0;
}

int SlewAndSummer::SlewAndSum(ImageStore& store, const RunSettings& settings, int run_exposure_total) {
  if (SumStarX == 0) {
    Clear();
    // The method and the weighting hold for the whole run, whatever the dialog's boxes do meanwhile.
    alternative_ = settings.AlternativeSlew;
    averaging_ = settings.AverageExposures;
    divisor_ = averaging_ ? std::max(run_exposure_total, 1) : 1;
    return alternative_ ? FirstProfileFrame(store) : FirstFrame(store);
  }
  return alternative_ ? NextProfileFrame(store) : NextStarFrame(store);
}

bool SlewAndSummer::CentreOn(const ImageStore& store, int x, int y, int& cx, int& cy) {
  QuietHost quiet(rig_.session.host);
  const StarSearch search{false, rig_.session.settings.ignore_small_drift};
  const int radius = rig_.session.settings.guide_mask_radius;
  StarCentre centre{x, y, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (!FindStarCentre(store, quiet, centre.column, centre.row, store.CurrentFrame, radius, search,
                        centre)) {
      return false;
    }
  }
  cx = centre.column;
  cy = centre.row;
  return true;
}

void SlewAndSummer::Register(int drift_x, int drift_y, int& dx, int& dy) {
  // The sum lags the newest frame by whatever the even rule kept back last time; measuring the drift
  // from where the reference sits in the sum keeps that lag from growing frame after frame.
  const int need_x = drift_x - residual_x_;
  const int need_y = drift_y - residual_y_;
  dx = EvenShift(need_x);
  dy = EvenShift(need_y);
  residual_x_ = dx - need_x;
  residual_y_ = dy - need_y;
}

void SlewAndSummer::ShowRunningSum(ImageStore& store) {
  // An average still short of its frames is shown at one exposure's scale as well.
  if (!averaging_ || frames_ < 1 || frames_ >= divisor_) return;
  for (int i = 0; i < kFramePixels; ++i) {
    store.CurrentFrame[i] = static_cast<uint16_t>(std::min(store.SecondFrame[i] * divisor_ / frames_, 65535));
  }
}

void SlewAndSummer::AddFrame(ImageStore& store, int dx, int dy) {
  AddShifted(store.CurrentFrame, store.SecondFrame, dx, dy, divisor_);
  total_dx_ += dx;
  total_dy_ += dy;
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  ++frames_;
  ShowRunningSum(store);
}

int SlewAndSummer::Lost(ImageStore& store) {
  CopyFrame(store.SecondFrame, store.CurrentFrame);
  ShowRunningSum(store);
  return kSumStarLost;
}

// ---- the star-centre method ----

int SlewAndSummer::FirstFrame(ImageStore& store) {
  const Frame& frame = store.CurrentFrame;
  const FrameLevels levels = MeasureFrameLevels(frame, histogram_);
  const int bright = BrightEnough(levels);
  const int radius = rig_.session.settings.guide_mask_radius;
  int cx = 0, cy = 0;
  bool found = false;
  // The guide star picked on an earlier image, when it is still there; else the brightest star.
  const PickedStar& picked = rig_.picked;
  if (picked.GuideStarPicked && CentreOn(store, picked.GuideStarX, picked.GuideStarY, cx, cy)) {
    found = frame[static_cast<size_t>(PixelIndex(cy, cx))] - levels.background >= bright;
  }
  if (!found) {
    const int border = std::max(kStarBorder, radius + 3);
    const FramePeak peak = BrightestPeak(frame, border, border, kLitColumns - border, kFrameHeight - border);
    if (peak.value - levels.background < bright || !CentreOn(store, peak.column, peak.row, cx, cy)) {
      return kSumNoReference;
    }
  }
  const int value = frame[static_cast<size_t>(PixelIndex(cy, cx))];
  if (value - levels.background < 1) return kSumNoReference;
  for (int i = 0; i < kFramePixels; ++i) store.SecondFrame[i] = static_cast<uint16_t>(frame[i] / divisor_);
  SumStarX = cx;
  SumStarY = cy;
  SumStarPeak = value;
  reference_height_ = value - levels.background;
  frames_ = 1;
  return kSumOk;
}

int SlewAndSummer::NextStarFrame(ImageStore& store) {
  const FrameLevels levels = MeasureFrameLevels(store.CurrentFrame, histogram_);
  int cx = 0, cy = 0;
  if (!CentreOn(store, SumStarX, SumStarY, cx, cy)) return Lost(store);
  // Compared above the sky, so the limits mean the same with or without dark subtraction.
  const int h = store.CurrentFrame[static_cast<size_t>(PixelIndex(cy, cx))] - levels.background;
  if (!IntensityInRange(h, reference_height_)) return Lost(store);
  int dx = 0, dy = 0;
  Register(cx - SumStarX, cy - SumStarY, dx, dy);
  SumStarX = cx;
  SumStarY = cy;
  AddFrame(store, dx, dy);
  return kSumOk;
}

// ---- the alternative method: row and column profiles ----
//
// The region is 100 x 100 pixels about the reference point. In the first frame that point is the
// brightest star (two rows tall) in the band where the region, widened by the largest shift, fits:
// centres 60..449 across and 60..229 down. Each pixel counts by how far it stands above the sky plus
// five noise levels. A later frame's profiles, widened by 10 on their own axis about the last reference
// point, are compared with the first frame's at shifts -10..10 (against one fixed reference the whole
// pixels found do not add up their rounding frame after frame); the smallest sum of absolute differences
// wins, the smaller shift on a tie and then the one toward minus. The region then follows the field. A frame
// is not added (1) when the region would leave the frame, when either profile's differences at -1, 0 and 1
// add up to 4999 or less (no structure to register on), or when its light in the region is outside 0.3 to 3
// times the first frame's.

bool SlewAndSummer::Profiles(const Frame& frame, int cx, int cy, int extra, Profile& rows,
                             Profile& columns) const {
  const int reach = kHalfRegion + extra;
  if (cx - reach < 0 || cx + reach > kLitColumns || cy - reach < 0 || cy + reach > kFrameHeight) return false;
  rows.fill(0);
  columns.fill(0);
  auto light = [&](int row, int column) -> int64_t {
    const int v = frame[static_cast<size_t>(PixelIndex(row, column))] - cut_;
    return v > 0 ? v : 0;
  };
  for (int k = 0; k < kRegionSize + 2 * extra; ++k) {
    const int row = cy - reach + k;
    for (int column = cx - kHalfRegion; column < cx + kHalfRegion; ++column) rows[k] += light(row, column);
    const int col = cx - reach + k;
    for (int r = cy - kHalfRegion; r < cy + kHalfRegion; ++r) columns[k] += light(r, col);
  }
  return true;
}

namespace {

struct Match {
  int shift = 0;
  int64_t near_zero = 0;  // the differences at -1, 0 and 1
};

template <typename Profile>
Match BestShift(const Profile& reference, const Profile& wide) {
  auto sad = [&](int s) {
    int64_t total = 0;
    for (int i = 0; i < SlewAndSummer::kRegionSize; ++i) {
      total += std::llabs(reference[i] - wide[i + SlewAndSummer::kMaxShift + s]);
    }
    return total;
  };
  Match match;
  int64_t best = sad(0);
  for (int step = 1; step <= SlewAndSummer::kMaxShift; ++step) {
    for (const int s : {-step, step}) {
      const int64_t d = sad(s);
      if (d < best) {
        best = d;
        match.shift = s;
      }
    }
  }
  match.near_zero = sad(-1) + sad(0) + sad(1);
  return match;
}

int64_t Total(const std::array<int64_t, SlewAndSummer::kRegionSize + 2 * SlewAndSummer::kMaxShift>& p,
              int from) {
  int64_t total = 0;
  for (int i = 0; i < SlewAndSummer::kRegionSize; ++i) total += p[from + i];
  return total;
}

}  // namespace

int SlewAndSummer::FirstProfileFrame(ImageStore& store) {
  const Frame& frame = store.CurrentFrame;
  const FrameLevels levels = MeasureFrameLevels(frame, histogram_);
  const FramePeak peak =
      BrightestPeak(frame, kWideHalf, kWideHalf, kLitColumns - kWideHalf + 1, kFrameHeight - kWideHalf + 1);
  if (peak.value - levels.background < BrightEnough(levels)) return kSumNoReference;
  cut_ = levels.background + kProfileCutSigmas * levels.noise;
  if (!Profiles(frame, peak.column, peak.row, 0, reference_rows_, reference_columns_)) return kSumNoReference;
  for (int i = 0; i < kFramePixels; ++i) store.SecondFrame[i] = static_cast<uint16_t>(frame[i] / divisor_);
  SumStarX = peak.column;
  SumStarY = peak.row;
  SumStarPeak = peak.value;
  reference_total_ = Total(reference_rows_, 0);
  frames_ = 1;
  return kSumOk;
}

int SlewAndSummer::NextProfileFrame(ImageStore& store) {
  const Frame& frame = store.CurrentFrame;
  const FrameLevels levels = MeasureFrameLevels(frame, histogram_);
  cut_ = levels.background + kProfileCutSigmas * levels.noise;
  Profile rows{}, columns{};
  if (!Profiles(frame, SumStarX, SumStarY, kMaxShift, rows, columns)) return Lost(store);
  const Match along = BestShift(reference_columns_, columns);  // x
  const Match down = BestShift(reference_rows_, rows);         // y
  if (along.near_zero <= kFlatProfiles || down.near_zero <= kFlatProfiles) return Lost(store);
  if (!IntensityInRange(Total(rows, kMaxShift + down.shift), reference_total_)) return Lost(store);
  int dx = 0, dy = 0;
  Register(along.shift, down.shift, dx, dy);
  SumStarX += along.shift;
  SumStarY += down.shift;
  AddFrame(store, dx, dy);
  return kSumOk;
}

}  // namespace nyxel
