#pragma once
// The exposure run: the camera command's settings and state, the run loop with its countdown, waits,
// readout, dark subtraction, summing, colour and autosave, focus mode and the focus-frame centre. Every
// wait pauses on the Clock and asks the Host for an abort between pauses.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "camera/Camera.h"
#include "camera/CameraLock.h"
#include "camera/FocusMeasure.h"
#include "files/Session.h"

namespace nyxel {

// The camera dialog's values. They keep their values between runs; ExposureCount is reset to 1 each
// time the camera command opens the dialog.
struct RunSettings {
  char ExposureUnit = 's';  // 'q' thousandths, 'h' hundredths, 't' tenths, 's' seconds, 'm' minutes
  int ExposureValue = 1;    // 1..ExposureMax
  int ExposureMax = 300;
  int ExposureCount = 1;  // exposures left in the run, 1..20 in the dialog
  int PauseMinutes = 0;   // 0..20
  bool DelayBeforeExposure = false;
  bool ContinuousMode = false;
  bool AverageExposures = false;
  bool AlternativeSlew = false;
  bool AutoSave = false;
  bool AutoRemoveDark = false;
  bool AutoColourConvert = false;
  bool AutoExposureMode = false;  // shown and toggled only
  bool PauseBetweenExposures = false;
  bool SelfGuideNext = false;
  bool TakeMatchingDark = false;
  // The guiding exposure chosen when self-guiding was armed.
  char GuidingUnit = 's';
  int GuidingValue = 1;
  std::string FlatFieldFile;  // "c:\flat.def" once the camera command has run
};

// What one run knows while it runs, and what the FITS header of its result takes from it.
struct RunState {
  bool ExposureAborted = false;
  bool ContinuousRun = false;
  int RunExposureTotal = 1;
  bool DarkFrameLoaded = false;
  double EXPTIME = 0;  // seconds, accumulated over a multiple run
  std::time_t RunStartTime = 0;
  std::time_t ImageTime = 0;
  bool ReadFailed = false;  // the last run ended on a failed readout
  bool Running = false;     // a run or focus loop is under way: nothing may start another
  int LastFocusMaximum = 0;
  StarSize LastFocusSize;  // the brightest star's size in the last focus frame
  FocusTrend FocusSizes;   // the last frames' sizes, for the trend plot
  bool FocusBitmapWritten = false;
  bool FocusCentreArmed = false;  // the next left click in the picture sets the focus window
};

// The guide star picked on an image: the guider's star, and the reference of slew-and-sum.
struct PickedStar {
  bool GuideStarPicked = false;
  int GuideStarX = 0;  // frame column
  int GuideStarY = 0;  // frame row
};

// The self-guided exposure as the run drives it. The guiding code (above this folder) implements it.
class SelfGuidedExposure {
 public:
  virtual ~SelfGuidedExposure() = default;
  // Guiding exposure in ms for the armed unit and value.
  virtual int GuidingExposureMs() = 0;
  // After the integration has started. False ends the camera command (the message is the guider's).
  virtual bool SetUp() = 0;
  // One turn of the exposure wait: a guide correction, and at half time the half-time readout into
  // SecondFrame, after which the guider moves `deadline_ms` on to half the exposure from then. False
  // when guiding failed: the run ends without a readout.
  virtual bool WaitTurn(uint32_t& deadline_ms, int exposure_ms) = 0;
  // The guiding window closes before the final readout.
  virtual void CloseGuidingWindow() = 0;
  // After the final readout and add.
  virtual void Finished() = 0;
  // After the result is shown, and before each new turn of a continuous run.
  virtual void Rearm() = 0;
  // Start and end of every camera command: pick mode is suspended meanwhile, and the picked star's
  // centre that placing the guide window saved is put back at the end.
  virtual void CommandStarted() {}
  virtual void CommandEnded() {}
};

// Summing of a multiple run with drift compensation. 0 success, 1 star lost, 2 no reference found.
class FrameSummer {
 public:
  virtual ~FrameSummer() = default;
  virtual int SlewAndSum(ImageStore& store, const RunSettings& settings, int run_exposure_total) = 0;
  // Start and end of every camera command.
  virtual void Clear() = 0;
};

// Everything the exposure run works with: the session, the camera on the transport chosen at start-up,
// and the dialog's settings. One per running program; tests build their own.
struct CameraRig {
  CameraRig(Host& host, Clock& clock, Drive drive, CameraTransport& transport)
      : session(host, clock, std::move(drive)), camera(transport, host, clock) {}
  virtual ~CameraRig() = default;
  CameraRig(const CameraRig&) = delete;
  CameraRig& operator=(const CameraRig&) = delete;

  Session session;
  Camera camera;
  RunSettings run;
  RunState state;
  PickedStar picked;
  bool simulated = false;  // the camera is SimulatedCamera (shown in the caption and About)
  // Held from the scan that finds the real camera on; the INDI driver honours it too.
  CameraLock camera_lock;
  // Set by the guiding and summing code once they exist; a run without them says so.
  SelfGuidedExposure* self_guide = nullptr;
  FrameSummer* summer = nullptr;
  // The autosave of each shown result: the engine's quick save unless the window puts its own (with the
  // "Saving Image" note) in place.
  std::function<void(Session&)> quick_save;
  // Calendar seconds for the FITS dates. The system clock by default; on the simulated clock the
  // programs count from a fixed moment, so a scripted run dates its files the same way every time.
  std::function<std::time_t()> calendar = [] { return std::time(nullptr); };
};

// Calendar time that moves with `clock` from `start` on (the simulated clock's calendar).
std::function<std::time_t()> CalendarFromClock(Clock& clock, std::time_t start);

// ---- the dialog's values ----

inline constexpr int kMaxExposureCount = 20;
inline constexpr int kMaxPauseMinutes = 20;
// ExposureMax for a unit letter ('q' 500, 'h' 500, 't' 100, 's' 300, 'm' 90).
int UnitMaximum(char unit);
// A unit radio button: the letter, its ExposureMax and the value set on selection.
void SelectExposureUnit(RunSettings& run, char unit);
// The unit's word in the guiding value edit: "thousandths", "hundredths", "tenths", "seconds", "minutes".
const char* UnitWord(char unit);

// ---- the camera command ----

// What the run reports after each result it shows: its number in the run (1, 2, ...) and ExposureMs.
using ResultShown = std::function<void(int exposure_number, int exposure_ms)>;

// Before the dialog: per-command state, the FITS pixel size, default file names, and the USB scan
// while no camera is open. False when there is still no camera ("Sorry, No camera found on USB" shown).
bool BeginCameraCommand(CameraRig& rig);
// Cancel: a focus-sized picture on display gives way to the full current image again.
void CancelCameraCommand(CameraRig& rig);
// "Take Photo": countdown, exposures, readout, dark, sum, colour, display and autosave.
void TakePhoto(CameraRig& rig, const ResultShown& shown = {});
// After the run or Cancel: the focus window back in the middle, the summing state cleared.
void EndCameraCommand(CameraRig& rig);

// ---- focus mode and the focus frame ----

struct FocusHooks {
  // After each frame: the dialog shows the "Max Value" and the focus picture. False ends focus mode.
  std::function<bool(int max_value)> frame_shown;
  // "Focus Frame Pause" between frames while PauseBetweenExposures is on: true for OK.
  std::function<bool()> ask_continue;
};
// Refused (false, nothing happens) for minutes or a value above 99. Runs until a key press or click,
// or a hook ends it.
bool RunFocusMode(CameraRig& rig, const FocusHooks& hooks);
// Writes the 128 x 128 window in CurrentFrame as the focus bitmap "c:\nyxelf.bmp". 0 or the bitmap
// code (its message has been shown).
int RenderFocusBitmap(Session& session);

// The focus window from a click at picture point (x, y): y is converted to raw rows in RV geometry.
// Shows and returns "x position = %5d\ny position = %5d" with the window's centre.
std::string FocusFrameCentreClick(CameraRig& rig, int x, int y);
void DefaultFocusFrameCentre(Camera& camera);

}  // namespace nyxel
