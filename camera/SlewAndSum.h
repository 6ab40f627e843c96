#pragma once
// Slew and sum: each frame of a multiple run is added to the running sum after shifting the sum by the
// drift since the last frame, measured on a reference star (or, with the alternative method, on the
// brightness profiles of a region of the field), so an unguided drive does not smear the result.
#include <array>
#include <cstdint>

#include "camera/ExposureRun.h"
#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kSumOk = 0;
inline constexpr int kSumStarLost = 1;     // intensity out of range, or the reference left the frame
inline constexpr int kSumNoReference = 2;  // the first frame has no star to register on

// The level of the sky in a frame (the histogram peak) and its noise (rms from the median absolute
// deviation), over the lit columns.
struct FrameLevels {
  int background = 0;
  int noise = 1;
};
FrameLevels MeasureFrameLevels(const Frame& frame, std::array<uint32_t, 65536>& histogram);

// The brightest point at least two rows tall (the point and the one above it both exceed the best so
// far, as the focus maximum is found), so a hot pixel never wins. Columns left..right - 1, rows
// top..bottom - 1; top is at least 1.
struct FramePeak {
  int column = 0;
  int row = 0;
  int value = 0;
};
FramePeak BrightestPeak(const Frame& frame, int left, int top, int right, int bottom);

// An odd shift between -9 and 9 loses one pixel toward minus (1 -> 0, 3 -> 2, -1 -> -2), so the colour
// mosaics of the frames stay in register; other shifts are used as they are.
int EvenShift(int shift);

// current[i][j] = current[i][j] / divisor + sum[i - dy][j - dx] for 0 < i - dy < 290 and
// 0 < j - dx < 510, saturating at 65535; elsewhere current[i][j] / divisor.
void AddShifted(Frame& current, const Frame& sum, int dx, int dy, int divisor);

class SlewAndSummer : public FrameSummer {
 public:
  explicit SlewAndSummer(CameraRig& rig) : rig_(rig) {}

  int SlewAndSum(ImageStore& store, const RunSettings& settings, int run_exposure_total) override;
  void Clear() override;

  // The reference in the newest frame (the star centre, or the centre of the alternative method's
  // region); zero while no frame has been summed.
  int SumStarX = 0;
  int SumStarY = 0;
  // The pixel value at the star centre in the first frame.
  int SumStarPeak = 0;

  int FramesSummed() const { return frames_; }
  // The shift applied to the sum so far, in all.
  int TotalShiftX() const { return total_dx_; }
  int TotalShiftY() const { return total_dy_; }

  // The alternative method's region and search.
  static constexpr int kRegionSize = 100;
  static constexpr int kMaxShift = 10;
  static constexpr int kFlatProfiles = 4999;  // differences at -1, 0, 1 this small: nothing to register

 private:
  using Profile = std::array<int64_t, kRegionSize + 2 * kMaxShift>;

  int FirstFrame(ImageStore& store);
  int NextStarFrame(ImageStore& store);
  int FirstProfileFrame(ImageStore& store);
  int NextProfileFrame(ImageStore& store);
  bool CentreOn(const ImageStore& store, int x, int y, int& cx, int& cy);
  // The shift the sum takes for a measured frame-to-frame drift, keeping what the even rule left over.
  void Register(int drift_x, int drift_y, int& dx, int& dy);
  void AddFrame(ImageStore& store, int dx, int dy);
  int Lost(ImageStore& store);
  void ShowRunningSum(ImageStore& store);
  // Row (vertical) and column profiles of the region about (cx, cy), widened by `extra` on the
  // profile's own axis. False when that leaves the frame.
  bool Profiles(const Frame& frame, int cx, int cy, int extra, Profile& rows, Profile& columns) const;

  CameraRig& rig_;
  bool alternative_ = false;
  bool averaging_ = false;
  int divisor_ = 1;
  int frames_ = 0;
  int reference_height_ = 0;  // the first frame's star centre above the sky
  int64_t reference_total_ = 0;
  int residual_x_ = 0, residual_y_ = 0;  // where the reference sits in the sum minus where it was last seen
  int total_dx_ = 0, total_dy_ = 0;
  int cut_ = 0;  // the profiles count light above this level
  Profile reference_rows_{}, reference_columns_{};
  std::array<uint32_t, 65536> histogram_{};
};

}  // namespace nyxel
