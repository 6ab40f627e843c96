#include "camera/ExposureRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "camera/CameraProtocol.h"
#include "camera/SavedPicture.h"
#include "core/Display.h"
#include "core/Messages.h"
#include "files/FileCommands.h"
#include "files/RawFile.h"
#include "files/SettingsFile.h"
#include "processing/Colour.h"

namespace nyxel {
namespace {

// Every wait looks at its deadline and at the event queue at least this often, and sleeps in between.
constexpr uint32_t kTurnMs = 20;
// The progress window's bar runs from 0 to 256; the Host speaks percent.
constexpr int kProgressRange = 256;
constexpr const char* kDarkFrameSubtracted = "Dark Frame Subtracted";
constexpr const char* kNoCamera = "Sorry, No camera found on USB";
constexpr int kMessageSettingsLoad = 20;
constexpr int kMessageSumStarLost = 33;
constexpr int kMessageSumNoReference = 34;
constexpr int kMessageSelfGuidingFailed = 57;

std::string LeftText(const char* caption, int n) {
  return std::string(caption) + " (Left - " + std::to_string(n) + ")";
}

bool HostTimedUnit(char unit) {
  return unit == 's' || unit == 'm';
}

// One turn of a wait: sleeps on the clock until the deadline, at most kTurnMs.
void PauseUntil(Clock& clock, uint32_t deadline) {
  const int32_t left = ElapsedMs(deadline, clock.NowMs());
  if (left > 0) clock.Pause(std::min<uint32_t>(kTurnMs, static_cast<uint32_t>(left)));
}

// Waits `ms`, taking the window's events every turn; true when a key press or click cut it short.
bool WaitUnlessInterrupted(Session& s, uint32_t ms) {
  const uint32_t deadline = s.clock.NowMs() + ms;
  while (ElapsedMs(s.clock.NowMs(), deadline) < 0) {
    if (s.host.PumpMessages()) return true;
    PauseUntil(s.clock, deadline);
  }
  return false;
}

// One exposure run: the steps of "Take Photo" over the rig's state.
class ExposureRunner {
 public:
  ExposureRunner(CameraRig& rig, const ResultShown& shown)
      : rig_(rig), s_(rig.session), camera_(rig.camera), run_(rig.run), st_(rig.state), shown_(shown) {}

  void Run();

 private:
  uint32_t Now() { return s_.clock.NowMs(); }
  void PauseUntil(uint32_t deadline) { nyxel::PauseUntil(s_.clock, deadline); }
  void SetProgress(int position) {
    progress_ = position;
    s_.host.ProgressSetPosition(position * 100 / kProgressRange);
  }
  void OpenProgress(const std::string& caption) {
    if (progress_open_) {
      s_.host.ProgressSetCaption(caption);
    } else {
      s_.host.ProgressOpen(caption);
      progress_open_ = true;
    }
  }
  void CloseProgress() {
    if (progress_open_) s_.host.ProgressClose();
    progress_open_ = false;
  }
  void Busy(bool on) {
    if (busy_ != on) s_.host.SetBusyCursor(on);
    busy_ = on;
  }

  bool AbortCheck(uint32_t* deadline);
  bool InterruptibleWait(int seconds);
  bool Countdown();
  bool Expose();  // false ends the command at once
  void ShowResult();
  void ResetHistory();

  CameraRig& rig_;
  Session& s_;
  Camera& camera_;
  RunSettings& run_;
  RunState& st_;
  const ResultShown& shown_;
  bool progress_open_ = false;
  int progress_ = 0;
  bool busy_ = false;
  bool self_guided_ = false;
  bool multiple_ = false;
  bool summing_ = false;
  bool history_reset_ = false;  // step 13 already restarted the history of this result
  bool read_failed_ = false;
  int number_ = 0;
};

// A key press or click aborts the whole run; the exposure under way is not read out.
bool ExposureRunner::AbortCheck(uint32_t* deadline) {
  if (!s_.host.PumpMessages()) return false;
  run_.ExposureCount = 1;
  st_.ExposureAborted = true;
  st_.ContinuousRun = false;
  run_.ContinuousMode = false;
  if (deadline) *deadline = Now();
  s_.host.Beep();
  DefaultFocusFrameCentre(camera_);
  if (self_guided_ && rig_.self_guide) rig_.self_guide->CloseGuidingWindow();
  run_.SelfGuideNext = false;
  s_.store.SelfGuideNext = 0;
  run_.TakeMatchingDark = false;
  return true;
}

// True when a key press or click cut the wait short; it beeps.
bool ExposureRunner::InterruptibleWait(int seconds) {
  if (!WaitUnlessInterrupted(s_, static_cast<uint32_t>(seconds) * 1000u)) return false;
  s_.host.Beep();
  return true;
}

bool ExposureRunner::Countdown() {
  OpenProgress(LeftText("EXPOSURE DELAY", 10));
  SetProgress(0);
  for (int i = 0; i < 10; ++i) {
    s_.host.ProgressSetCaption(LeftText("EXPOSURE DELAY", 10 - i));
    InterruptibleWait(1);                // an interruption only shortens this second
    if (s_.host.StopRequested()) break;  // the window was closed: the abort check ends the run
    SetProgress(progress_ + 25);
    s_.host.Beep();
  }
  CloseProgress();
  return true;
}

bool ExposureRunner::Expose() {
  ImageStore& store = s_.store;
  const int ms = camera_.ExposureMs;
  // 1. The header's exposure time: a sum carries the time of its frames; without summing each picture is
  // one exposure, and its header must not claim more. An average has one exposure's scale and time.
  if (run_.ContinuousMode || !summing_ || run_.AverageExposures) {
    st_.EXPTIME = ms / 1000.0;
  } else {
    st_.EXPTIME += ms / 1000.0;
  }
  // 2. Caption and progress window.
  std::string caption = "EXPOSURE UNDERWAY";
  if (run_.ExposureCount >= 2) caption = LeftText(caption.c_str(), run_.ExposureCount);
  const bool host_timed = HostTimedUnit(run_.ExposureUnit);
  if (host_timed) OpenProgress(caption);
  progress_ = 0;
  if (progress_open_) SetProgress(0);
  // 3. Progress steps.
  const int seconds = ms / 1000;
  int f = 2;
  if (run_.ExposureUnit == 'm' || (run_.ExposureUnit == 's' && seconds >= 13)) {
    f = 20;
  } else if (run_.ExposureUnit == 's' && seconds >= 5) {
    f = 6;
  }
  // 4. Start the integration.
  AbortCheck(nullptr);
  SendControl(camera_, kControlClear);
  SendControl(camera_, kControlStartIntegration);
  // 5. Self-guiding set-up. Its guide windows are read into CurrentFrame: an exposure that ends
  // without its readout (aborted, star lost, failed read) gives back the picture it found.
  std::unique_ptr<SavedPicture> guided_over;
  if (self_guided_) guided_over = std::make_unique<SavedPicture>(store);
  struct GiveBack {
    Session& s;
    std::unique_ptr<SavedPicture>& kept;
    ~GiveBack() {
      if (!kept) return;
      kept->Restore(s.store);
      s.Refresh();
    }
  } give_back{s_, guided_over};
  if (self_guided_) {
    if (!rig_.self_guide || !rig_.self_guide->SetUp()) return false;
  }
  // 6. The wait. An abort before it leaves nothing to wait for.
  if (st_.ExposureAborted) {
  } else if (host_timed) {
    uint32_t deadline = Now() + static_cast<uint32_t>(ms);
    const uint32_t step_ms = std::max(1, ms / f);
    uint32_t next_step = Now() + step_ms;
    while (ElapsedMs(Now(), deadline) < 0) {
      if (ms >= 3001) SendControl(camera_, kControlClear);
      if (ElapsedMs(Now(), next_step) >= 0) {
        SetProgress(progress_ + kProgressRange / f);
        next_step += step_ms;
      }
      AbortCheck(&deadline);
      if (self_guided_ && !st_.ExposureAborted && !rig_.self_guide->WaitTurn(deadline, ms)) {
        CloseProgress();
        ShowMessage(s_.host, kMessageSelfGuidingFailed);
        return false;
      }
      PauseUntil(deadline);
    }
  } else if (ms >= kCameraTimedBelowMs) {
    uint32_t deadline = Now() + static_cast<uint32_t>(ms);
    while (ElapsedMs(Now(), deadline) < 0) {
      if (ms > kClearWhileWaitingAboveMs) SendControl(camera_, kControlClear);
      AbortCheck(&deadline);
      PauseUntil(deadline);
    }
  }
  // 7, 8.
  if (s_.settings.beep_after_exposure) {
    for (int i = 0; i < 3; ++i) s_.host.Beep();
  }
  if (ms >= 200) SendControl(camera_, kControlClear);
  // 9. Readout.
  if (!st_.ExposureAborted) {
    std::string read = "READ RV CAMERA";
    read = run_.ExposureCount >= 2 ? LeftText(read.c_str(), run_.ExposureCount)
                                   : read + " - takes 2 - 3 seconds";
    OpenProgress(read);
    if (self_guided_) {
      SendControl(camera_, kControlEndGuided);
      rig_.self_guide->CloseGuidingWindow();
    } else {
      SendControl(camera_, kControlEndIntegration);
    }
    if (s_.settings.debug_mode) s_.host.Beep();
    if (!ReadFullFrame(camera_, store.CurrentFrame)) {
      // The error has been shown; the previous picture stays and nothing is saved.
      read_failed_ = true;
      CloseProgress();
      return false;
    }
    if (self_guided_) {
      guided_over.reset();  // the summed picture replaces the one found
      for (int i = 0; i < kFramePixels; ++i) {
        store.CurrentFrame[i] =
            static_cast<uint16_t>(std::min(65535, store.CurrentFrame[i] + store.SecondFrame[i]));
      }
      rig_.self_guide->Finished();
    }
    run_.SelfGuideNext = false;
    store.SelfGuideNext = 0;
    AbortCheck(nullptr);
  }
  // 10. Dark frame.
  if (!st_.ExposureAborted && run_.AutoRemoveDark) {
    if (SubtractDarkFrameFile(s_.host, st_.DarkFrameLoaded, DarkFramePath(s_), store.UndoFrame,
                              store.CurrentFrame) == kDarkOk) {
      st_.DarkFrameLoaded = true;
    }
  }
  // 11. Slew and sum.
  if (!st_.ExposureAborted && summing_) {
    const int result = rig_.summer->SlewAndSum(store, run_, st_.RunExposureTotal);
    if (result == 1 || result == 2) {
      run_.ExposureCount = 1;
      // A lost star leaves the sum of the frames before this one on display.
      if (result == 1 && !run_.AverageExposures) st_.EXPTIME -= ms / 1000.0;
      ShowMessage(s_.host, result == 1 ? kMessageSumStarLost : kMessageSumNoReference);
    }
  }
  // 12, 13. An aborted exposure leaves the picture as it was, colour included.
  CloseProgress();
  --run_.ExposureCount;
  history_reset_ = false;
  if (!st_.ExposureAborted) {
    store.ColourConverted = 0;
    if (run_.AutoColourConvert) {
      ResetHistory();
      history_reset_ = true;
      SynthesizeColour(store, s_.host, s_.settings);
      store.ProgressCaptionPending = 1;
    }
  }
  return true;
}

void ExposureRunner::ResetHistory() {
  ClearHistory(s_.store.History);
  if (run_.AutoRemoveDark) AddHistoryLine(s_.store.History, kDarkFrameSubtracted);
}

void ExposureRunner::ShowResult() {
  s_.files.ImageStartTime = st_.RunStartTime;
  st_.ImageTime = rig_.calendar();
  s_.files.ImageEndTime = st_.ImageTime;
  // The run's start dates the picture (a multiple run's first exposure), whether it is saved or not.
  RecordExposureTimes(s_.settings.fits, st_.RunStartTime, st_.EXPTIME, s_.settings.ut_offset_hours);
  if (!history_reset_) ResetHistory();
  Busy(false);
  s_.Refresh();
  if (run_.AutoSave) {
    if (rig_.quick_save) {
      rig_.quick_save(s_);
    } else {
      QuickSave(s_);
    }
  }
  if (shown_) shown_(number_, camera_.ExposureMs);
}

void ExposureRunner::Run() {
  ImageStore& store = s_.store;
  store.ColourConverted = 0;
  camera_.ExposureMs = ExposureFromUnit(run_.ExposureUnit, run_.ExposureValue, true);
  st_.EXPTIME = 0;
  Busy(true);
  store.CurrentFileName = "RV Camera Image";
  // The dialog keeps the count within 1..20; a run always takes at least one exposure.
  run_.ExposureCount = std::clamp(run_.ExposureCount, 1, kMaxExposureCount);
  multiple_ = run_.ExposureCount >= 2;
  summing_ = multiple_ && !run_.ContinuousMode && !run_.SelfGuideNext && rig_.summer != nullptr;
  st_.Running = true;

  if (run_.DelayBeforeExposure) Countdown();

  self_guided_ = run_.SelfGuideNext && rig_.self_guide != nullptr;
  if (run_.SelfGuideNext) {
    st_.RunExposureTotal = 1;
    st_.ContinuousRun = false;
  } else {
    st_.RunExposureTotal = run_.ExposureCount;
    st_.ContinuousRun = run_.ContinuousMode;
  }

  st_.RunStartTime = rig_.calendar();
  bool shown_last = false;
  while (run_.ExposureCount > 0 || st_.ContinuousRun) {
    if (st_.ContinuousRun) st_.RunStartTime = rig_.calendar();
    ++number_;
    shown_last = false;
    if (!Expose()) break;
    if (multiple_ && run_.ContinuousMode && run_.ExposureCount <= 0) st_.ContinuousRun = false;
    if (st_.ContinuousRun) {
      ShowResult();
      shown_last = true;
      if (InterruptibleWait(1)) {
        run_.ExposureCount = 0;
        st_.ContinuousRun = false;
      } else if (run_.PauseMinutes >= 1) {
        OpenProgress("Pause between exposures");
        SetProgress(0);
        const uint32_t pause = static_cast<uint32_t>(run_.PauseMinutes) * 60000u;
        uint32_t deadline = Now() + pause;
        uint32_t next_step = Now() + pause / 16;
        while (ElapsedMs(Now(), deadline) < 0) {
          if (ElapsedMs(Now(), next_step) >= 0) {
            SetProgress(progress_ + 16);
            next_step += pause / 16;
          }
          AbortCheck(&deadline);
          PauseUntil(deadline);
        }
        CloseProgress();
      }
    } else if (run_.ExposureCount > 0) {
      ShowResult();
      shown_last = true;
    }
    if (self_guided_ && rig_.self_guide) rig_.self_guide->Rearm();
    if (st_.ExposureAborted) break;
  }
  if (!st_.ExposureAborted && !read_failed_ && !shown_last && number_ > 0) ShowResult();
  CloseProgress();
  Busy(false);
  // A failed readout ends a continuous run too, or an unplugged camera would report every second.
  if (read_failed_) st_.ContinuousRun = false;
  st_.ReadFailed = read_failed_;
  st_.Running = false;
}

}  // namespace

std::function<std::time_t()> CalendarFromClock(Clock& clock, std::time_t start) {
  const uint32_t base = clock.NowMs();
  return [&clock, start, base] { return start + static_cast<std::time_t>((clock.NowMs() - base) / 1000u); };
}

int UnitMaximum(char unit) {
  switch (unit) {
    case 'q':
    case 'h':
      return 500;
    case 't':
      return 100;
    case 'm':
      return 90;
    default:
      return 300;
  }
}

void SelectExposureUnit(RunSettings& run, char unit) {
  run.ExposureUnit = unit;
  run.ExposureMax = UnitMaximum(unit);
  run.ExposureValue = unit == 'q' || unit == 'h' ? 5 : 1;
}

const char* UnitWord(char unit) {
  switch (unit) {
    case 'q':
      return "thousandths";
    case 'h':
      return "hundredths";
    case 't':
      return "tenths";
    case 'm':
      return "minutes";
    default:
      return "seconds";
  }
}

bool BeginCameraCommand(CameraRig& rig) {
  Session& s = rig.session;
  rig.state.ExposureAborted = false;
  rig.camera.HalfTimeReadoutDone = false;
  rig.state.DarkFrameLoaded = false;
  s.settings.fits.fits_pixel_width = 0.0098;
  s.settings.fits.fits_pixel_height = 0.0126;
  if (s.files.DarkFrameFile.empty()) s.files.DarkFrameFile = std::string(kDarkFramePath);
  if (rig.run.FlatFieldFile.empty()) rig.run.FlatFieldFile = std::string(kFlatFieldPath);
  if (rig.self_guide) rig.self_guide->CommandStarted();
  if (!rig.camera.CameraPresent) {
    if (LoadSettings(s.settings, s.drive, s.host) != 0) ShowMessage(s.host, kMessageSettingsLoad);
    std::string holder;
    if (!rig.simulated && !rig.camera_lock.Acquire(CameraLockPath(s.drive), holder)) {
      ShowMessage(s.host, kOwnTextMessage, CameraInUseText(holder));
      if (rig.self_guide) rig.self_guide->CommandEnded();
      return false;
    }
    FindCamera(rig.camera, s.settings.debug_mode);
    SendControl(rig.camera, kControlEndIntegration);
    if (!rig.camera.CameraPresent) {
      rig.camera_lock.Release();
      ShowMessage(s.host, kOwnTextMessage, kNoCamera);
      if (rig.self_guide) rig.self_guide->CommandEnded();
      return false;
    }
  }
  if (rig.summer) rig.summer->Clear();
  rig.run.ExposureCount = 1;
  return true;
}

void CancelCameraCommand(CameraRig& rig) {
  Session& s = rig.session;
  if (s.store.FocusBitmapUsed && !s.store.ColourConverted) {
    BusyCursor busy(s.host);
    s.Refresh();
  }
}

void TakePhoto(CameraRig& rig, const ResultShown& shown) {
  if (rig.state.Running) return;
  ExposureRunner(rig, shown).Run();
}

void EndCameraCommand(CameraRig& rig) {
  DefaultFocusFrameCentre(rig.camera);
  if (rig.summer) rig.summer->Clear();
  if (rig.self_guide) rig.self_guide->CommandEnded();
}

int RenderFocusBitmap(Session& session) {
  ImageStore& store = session.store;
  BuildDisplayImage(store);
  BuildGreyPalette(store);
  const int result = WriteGreyBitmap(store, session.drive, store.FocusFrameDisplay != 0, false);
  if (result != kBitmapWritten) ShowMessage(session.host, 7 + result);
  return result;
}

bool RunFocusMode(CameraRig& rig, const FocusHooks& hooks) {
  RunSettings& run = rig.run;
  if (run.ExposureUnit == 'm' || run.ExposureValue > 99 || rig.state.Running) return false;
  Session& s = rig.session;
  ImageStore& store = s.store;
  // The windows are read into CurrentFrame: the photo comes back when focus mode ends.
  const SavedPicture picture(store);
  rig.state.Running = true;
  store.FocusMode = 1;
  store.FocusFrameDisplay = 0;
  rig.state.FocusSizes.Clear();
  for (;;) {
    if (s.host.PumpMessages()) break;
    int maximum;
    {
      BusyCursor busy(s.host);
      maximum =
          TakeFocusFrame(rig.camera, store, run.ExposureUnit, run.ExposureValue, &rig.state.LastFocusSize);
    }
    // A window that could not be read ends focus mode: its error would come back with every frame.
    if (maximum == kWindowReadFailed) break;
    rig.state.LastFocusMaximum = maximum;
    rig.state.FocusSizes.Add(rig.state.LastFocusSize);
    RenderFocusBitmap(s);
    rig.state.FocusBitmapWritten = true;
    if (hooks.frame_shown && !hooks.frame_shown(maximum)) break;
    s.host.Beep();
    if (run.PauseBetweenExposures && hooks.ask_continue && !hooks.ask_continue()) break;
    if (s.settings.focus_delay && WaitUnlessInterrupted(s, 1000)) break;
  }
  picture.Restore(store);
  s.Refresh();
  rig.state.Running = false;
  return true;
}

std::string FocusFrameCentreClick(CameraRig& rig, int x, int y) {
  Camera& camera = rig.camera;
  if (rig.session.store.RvGeometry) y = y * kFrameHeight / kRvHeight;
  camera.FocusWindowX = x <= 66 ? 3 : x < 432 ? x - 64 : 376;
  camera.FocusWindowY = y <= 64 ? 1 : y < 226 ? y - 64 : 160;
  char text[64];
  std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", camera.FocusWindowX + 64,
                camera.FocusWindowY + 64);
  ShowMessage(rig.session.host, kOwnTextMessage, text);
  return text;
}

void DefaultFocusFrameCentre(Camera& camera) {
  camera.FocusWindowX = kDefaultFocusWindowX;
  camera.FocusWindowY = kDefaultFocusWindowY;
}

}  // namespace nyxel
