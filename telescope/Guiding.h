#pragma once
// Autoguiding with the camera as the guider: picking the guide star, placing the 128 x 128 guide window
// on it, training the mount's guide rates and backlash, the guide correction of one frame, stand-alone
// guiding, the self-guided main exposure with its half-time readout, and the matching dark.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "camera/ExposureRun.h"
#include "telescope/GuideLog.h"

namespace nyxel {

struct Observatory;

inline constexpr int kGuideHalfWindow = 64;
inline constexpr int kDirectionChangeDelayMs = 700;
inline constexpr int kMatchingDarkGuidingMs = 100;
// A frame whose drift exceeds this (thousandths of a pixel) on either axis is taken for a lost or
// mistaken star and gets no correction.
inline constexpr int kDriftTooLarge = 10000;
// An axis is corrected when its drift exceeds this: a whole pixel when the centre is rounded
// (ignore_small_drift on), a tenth of one when it keeps its tenths.
inline constexpr int kDriftThresholdRounded = 300;
inline constexpr int kDriftThresholdTenths = 30;

inline constexpr int kMessagePickGeometry = 35;
inline constexpr int kMessageGuidingTerminated = 51;
inline constexpr int kMessageNoControlBox = 52;
inline constexpr int kMessagePickStarFirst = 53;
inline constexpr int kMessageTelescopeFailed = 54;
inline constexpr int kMessageSelfGuidingFailed = 57;

// The Guiding Info window's captions.
inline constexpr std::string_view kInfoCaption = "Guiding Info";
inline constexpr std::string_view kInfoChecking = "Guiding Info - Checking Telescope";
inline constexpr std::string_view kInfoCreating = "Guiding Info - Creating Guiding Frame";
inline constexpr std::string_view kInfoStabilising = "Guiding Info - stabilising";
inline constexpr std::string_view kInfoDownloading = "Guiding Info - Downloading Image";
inline constexpr std::string_view kInfoSwitching = "Guiding Info - Switching Guiding Frame";
inline constexpr std::string_view kInfoDark = "Guiding Info - Darkframe in Progress";

// A star centre as guiding measures it: whole pixels and tenths (0..9).
struct GuidePosition {
  int x = 0, y = 0;
  int x_tenths = 0, y_tenths = 0;
};

// What the Guiding Info window shows after a frame; the guide bitmap "c:\nyxelf.bmp" has just been
// written.
struct GuidingInfoValues {
  double star_x = 0, star_y = 0;    // x + tenths x 0.1
  double drift_x = 0, drift_y = 0;  // DriftX, DriftY x 1/19
  int ref_x = 0, ref_y = 0;         // the reference the cross goes through
};

// The Guiding Info window (the main window implements it; without one nothing is shown).
class GuidingInfo {
 public:
  virtual ~GuidingInfo() = default;
  virtual void Open() = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void Show(const GuidingInfoValues& values) = 0;
  virtual void Close() = 0;
};

// One guide frame, as nyxel-batch prints it: the clock, the star, the drift and the pulses sent
// ("e120" is 120 ms east, by the letter actually sent).
struct GuideFrameReport {
  uint32_t clock_ms = 0;
  GuidePosition star;
  int drift_x = 0, drift_y = 0;
  std::string pulses;
};

// One axis's backlash bookkeeping from frame to frame (all distances in thousandths of a pixel).
struct AxisBacklash {
  char last_direction = 0;  // letter of the last correction (0: none yet)
  int travel = 0;           // driven in last_direction since it was taken up
  int owed = 0;             // compensation this reversal still owes
  int sent = 0;             // compensation sent since the reversal
  bool capped = false;      // the reversal's play was limited by the travel before it: it teaches nothing
  int judge = 0;            // sign of the last compensated pulse; the next frame judges it (0: none)
  int estimate = 0;         // the play guiding believes in, never above the setting
  int setting = -1;         // the backlash setting the estimate belongs to
};

// The guiding state of a running program.
struct GuideState {
  bool PickMode = false;           // clicks in the picture pick the guide star
  bool PickModeSuspended = false;  // a camera command runs: pick mode comes back at its end
  int SearchRadius = 8;
  GuidePosition Star;  // the last centre found in the guide window
  int GuideRefX = 0, GuideRefY = 0, GuideRefXTenths = 0, GuideRefYTenths = 0;
  int16_t DriftX = 0, DriftY = 0;  // thousandths of a pixel
  int GuideWindowStarX = 0, GuideWindowStarY = 0;
  int GuidingFrameCount = 0;
  int GuidingFramesForDark = 0;
  bool TrainedOnce = false;  // the control box's first-training pulses have been sent
  // Each axis's last correction and what guiding has learnt of its play.
  AxisBacklash AxisX, AxisY;
  // The picked star's centre, saved when the guide window is placed.
  bool CentreSaved = false;
  int SavedStarX = 0, SavedStarY = 0;
  bool SavedStarPicked = false;
  // The self-guided exposure under way.
  bool Armed = false;  // SelfGuideNext was armed for the run now under way
  bool MatchingDark = false;
  bool HalfTimeDone = false;
  int GuidingMs = 1000;
  bool InfoOpen = false;
};

// Window placement from the picked star (x, y): the window corner and the star inside the window.
struct GuideWindowPlacement {
  int window_x = 0, window_y = 0;
  int star_x = 0, star_y = 0;
  int offset = 0;  // the column phase added to star_x
};
GuideWindowPlacement PlaceGuideWindowFor(int x, int y);

// Training's results from the noted positions in tenths of a pixel (x0..x4 east-west, y0..y4
// north-south) and T seconds, each rounded to a whole pixel. Only the second pulse of each pair counts
// for the rate and the backlash: the gear's side before the first pulse is not known, and the
// difference of two equal pulses in one direction leaves a steady drift out.
struct TrainingResult {
  int ra_pixels_per_sec = 0, dec_pixels_per_sec = 0;
  int ra_backlash = 0, dec_backlash = 0;
};
TrainingResult TrainingResults(int training_time, const int (&x_tenths)[5], const int (&y_tenths)[5]);

// A compensation is first tried this far (a star that then moves past the reference shows the play
// to be smaller, before a whole wrong backlash is sent); a crossing by more than the noise counts.
inline constexpr int kBacklashFirstStep = 500;
inline constexpr int kOvershootNoise = 150;

// One axis of a guide correction: the direction letter (0: no correction) and the pulse length.
// `drift` is the axis's drift in thousandths; after a reversal the play (whole pixels of `backlash`
// at most, and never more than was driven the other way) is added to it in its own direction, once
// per reversal. The frame after a compensated pulse judges it: a star that crossed the reference
// lowers the estimate by as much. `threshold`: drifts up to it get no pulse.
struct AxisPulse {
  char letter = 0;
  int pulse_ms = 0;
  int drift = 0;         // with the compensation added
  int compensation = 0;  // thousandths added for the play
};
AxisPulse PlanAxisPulse(int drift, char positive_letter, char negative_letter, AxisBacklash& axis,
                        int backlash, int pixels_per_sec, int hysteresis, int threshold);

// Drift in thousandths of a pixel of `star` from the reference, kept to 16 bits.
int16_t DriftOf(int ref, int ref_tenths, int position, int tenths);

// The self-guided exposure and everything else guiding does, over one observatory.
class Guider : public SelfGuidedExposure {
 public:
  explicit Guider(Observatory& obs) : obs_(obs) {}

  GuideState state;
  GuidingInfo* info = nullptr;
  // Every guiding run's samples (for the graph) and its log in the autosave folder.
  GuideRecorder recorder;
  // After each guide frame of stand-alone guiding and of a self-guided exposure.
  std::function<void(const GuideFrameReport&)> frame_done;
  // The pick click moves the mouse cursor onto each centre found (frame pixels).
  std::function<void(int x, int y)> move_cursor;

  // ---- picking ----
  // The "Pick Guide Star" command: message 35 in RV geometry or fit to window, then the toggle.
  // Returns the new pick mode.
  bool TogglePickMode();
  // A left click in the picture while in pick mode. Returns the text shown (empty when not in pick mode).
  std::string PickClick(int x, int y);

  // ---- guiding ----
  // Places the guide window on the picked star (FocusWindowX/Y, GuideWindowStar), saving the star.
  void PlaceGuideWindow();
  // Puts the picked star saved by PlaceGuideWindow back.
  void RestoreStarCentre();
  // Training. 0 done, 1 refused (message shown), 2 a centre search failed or an abort (silent).
  int Train();
  // Stand-alone guiding until a key press or click. False when refused.
  bool Guide();
  // Internal command 890: one guide frame, the abort check, the display. False on a failed read
  // (shown) or an abort.
  bool GuideFrame();
  // The guide correction of the frame in CurrentFrame: false when the star was lost.
  bool Correct();

  // ---- the camera dialog's buttons ----
  // "Self-Guide Next Exposure": arms or disarms. False when refused (message or beep).
  bool ToggleSelfGuide();
  // "Take matching Darkframe".
  bool ToggleMatchingDark();

  // ---- SelfGuidedExposure ----
  int GuidingExposureMs() override;
  bool SetUp() override;
  bool WaitTurn(uint32_t& deadline_ms, int exposure_ms) override;
  void CloseGuidingWindow() override;
  void Finished() override;
  void Rearm() override;
  void CommandStarted() override;
  void CommandEnded() override;

 private:
  bool Preconditions(bool need_star);
  bool ControlBoxReady();
  bool FindCentre(int x, int y, GuidePosition& found);
  bool FindCentreTwice(int x, int y, GuidePosition& found);
  void SetReference(const GuidePosition& p);
  void Render();
  void Caption(std::string_view text);
  void OpenInfo();
  void CloseInfo();
  void ShowInfo();
  bool GuidingFrame();  // one TakeGuidingFrame, rendered and shown
  bool CorrectionStep();
  bool HalfTimeReadout();
  bool Pulse(char compass_letter, int ms);  // false: an INDI mount could not give it
  void Report(const std::string& pulses);

  Observatory& obs_;
};

}  // namespace nyxel
