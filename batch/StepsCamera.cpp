// The camera steps: the USB scan, exposures, the camera dialog's options, focus mode and the focus frame.
#include <cstdio>
#include <functional>
#include <map>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "camera/ExposureRun.h"
#include "core/Messages.h"

namespace nyxel::batch {
namespace {

bool ParseUnit(const std::string& text, char& unit) {
  if (text.size() != 1 || std::string("qhtsm").find(text[0]) == std::string::npos) return false;
  unit = text[0];
  return true;
}

// The dialog's radio button and scroll bar: the unit, then a value within its range.
bool SetExposure(Observatory& obs, const std::string& unit_text, const std::string& value_text) {
  char unit = 's';
  long value = 0;
  if (!ParseUnit(unit_text, unit) || !ParseInt(value_text, 1, UnitMaximum(unit), value)) return false;
  SelectExposureUnit(obs.run, unit);
  obs.run.ExposureValue = static_cast<int>(value);
  return true;
}

const RegisterStep kCamera{{"camera", 0, "", [](StepContext& c, const Args&) {
                              Camera& camera = c.obs.camera;
                              if (!camera.CameraPresent) {
                                if (!BeginCameraCommand(c.obs)) return kStepFailed;
                                EndCameraCommand(c.obs);
                              }
                              char line[96];
                              std::snprintf(line, sizeof line, "camera found: HID %d, BlockIO %d%s\n",
                                            camera.HidHandle, camera.BlockIOHandle,
                                            c.obs.simulated ? " (simulated)" : "");
                              c.out << line;
                              for (const UsbDeviceEntry& e : camera.UsbDeviceTable) {
                                if (e.VendorId == 0) continue;
                                std::snprintf(line, sizeof line, "%04x:%04x ", e.VendorId, e.ProductId);
                                c.out << line << e.Manufacturer << " / " << e.Product << '\n';
                              }
                              return kStepOk;
                            }}};

const RegisterStep kExpose{{"expose", 2, "UNIT VALUE [COUNT]",
                            [](StepContext& c, const Args& a) {
                              Observatory& obs = c.obs;
                              long count = 1;
                              if (a.size() > 2 && !ParseInt(a[2], 1, kMaxExposureCount, count))
                                return kStepUsage;
                              char unit = 's';
                              long value = 0;
                              if (!ParseUnit(a[0], unit) || !ParseInt(a[1], 1, UnitMaximum(unit), value))
                                return kStepUsage;
                              if (!BeginCameraCommand(obs)) return kStepFailed;
                              SetExposure(obs, a[0], a[1]);
                              obs.run.ExposureCount = static_cast<int>(count);
                              TakePhoto(obs, [&c](int n, int ms) {
                                c.out << n << ' ' << ms << ' ' << c.session.store.BlackLevel << '\n';
                              });
                              EndCameraCommand(obs);
                              return obs.state.ReadFailed ? kStepFailed : kStepOk;
                            },
                            1}};

// camera-option NAME on|off: the dialog's check boxes.
const RegisterStep kCameraOption{{"camera-option", 2,
                                  "auto-save|auto-dark|auto-colour|delay|continuous|average|alternative-slew|"
                                  "pause-between|stretch-all on|off",
                                  [](StepContext& c, const Args& a) {
                                    RunSettings& run = c.obs.run;
                                    const std::map<std::string, bool*> flags = {
                                        {"auto-save", &run.AutoSave},
                                        {"auto-dark", &run.AutoRemoveDark},
                                        {"auto-colour", &run.AutoColourConvert},
                                        {"delay", &run.DelayBeforeExposure},
                                        {"continuous", &run.ContinuousMode},
                                        {"average", &run.AverageExposures},
                                        {"alternative-slew", &run.AlternativeSlew},
                                        {"pause-between", &run.PauseBetweenExposures},
                                    };
                                    bool on = false;
                                    if (!ParseOnOff(a[1], on)) return kStepUsage;
                                    if (a[0] == "stretch-all") {
                                      c.session.store.MaxPaletteAll = on;
                                      return kStepOk;
                                    }
                                    const auto it = flags.find(a[0]);
                                    if (it == flags.end()) return kStepUsage;
                                    *it->second = on;
                                    return kStepOk;
                                  }}};

const RegisterStep kPauseMinutes{{"pause-minutes", 1, "N", [](StepContext& c, const Args& a) {
                                    long minutes = 0;
                                    if (!ParseInt(a[0], 0, kMaxPauseMinutes, minutes)) return kStepUsage;
                                    c.obs.run.PauseMinutes = static_cast<int>(minutes);
                                    return kStepOk;
                                  }}};

const RegisterStep kDarkFile{{"dark-file", 1, "PATH", [](StepContext& c, const Args& a) {
                                if (a[0].empty()) return kStepUsage;
                                c.session.files.DarkFrameFile = a[0];
                                return kStepOk;
                              }}};

// Focus mode for FRAMES frames from the dialog's unit and value, printing a line per frame; OK goes on
// between frames when the pause box is asked for.
int FocusFrames(StepContext& c, const Args& a, const std::function<void(int maximum)>& print) {
  Observatory& obs = c.obs;
  long frames = 0;
  char unit = 's';
  long value = 0;
  if (!ParseUnit(a[0], unit) || !ParseInt(a[1], 1, UnitMaximum(unit), value) ||
      !ParseInt(a[2], 1, 1000000, frames))
    return kStepUsage;
  if (!BeginCameraCommand(obs)) return kStepFailed;
  SetExposure(obs, a[0], a[1]);
  long taken = 0;
  RunFocusMode(obs, {[&](int maximum) {
                       print(maximum);
                       return ++taken < frames;
                     },
                     [] { return true; }});
  CancelCameraCommand(obs);
  EndCameraCommand(obs);
  return kStepOk;
}

// focus UNIT VALUE FRAMES: each frame's "Max Value".
const RegisterStep kFocus{{"focus", 3, "UNIT VALUE FRAMES", [](StepContext& c, const Args& a) {
                             return FocusFrames(c, a, [&c](int maximum) { c.out << maximum << '\n'; });
                           }}};

// focus-measure UNIT VALUE FRAMES: "MAX HFR FWHM" (pixels, one decimal; 0.0 without a star) a frame.
const RegisterStep kFocusMeasure{{"focus-measure", 3, "UNIT VALUE FRAMES", [](StepContext& c, const Args& a) {
                                    return FocusFrames(c, a, [&c](int maximum) {
                                      const StarSize& size = c.obs.state.LastFocusSize;
                                      char line[64];
                                      std::snprintf(line, sizeof line, "%d %.1f %.1f\n", maximum,
                                                    size.found ? size.hfr : 0.0,
                                                    size.found ? size.fwhm : 0.0);
                                      c.out << line;
                                    });
                                  }}};

const RegisterStep kFocusCentre{
    {"focus-centre", 2, "X Y", [](StepContext& c, const Args& a) {
       long x = 0, y = 0;
       if (!ParseInt(a[0], 0, 100000, x) || !ParseInt(a[1], 0, 100000, y)) return kStepUsage;
       c.out << FocusFrameCentreClick(c.obs, static_cast<int>(x), static_cast<int>(y)) << '\n';
       return kStepOk;
     }}};

const RegisterStep kFocusDefault{{"focus-default", 0, "", [](StepContext& c, const Args&) {
                                    DefaultFocusFrameCentre(c.obs.camera);
                                    return kStepOk;
                                  }}};

// abort-after MS: from now on plus MS of clock time, the next wait sees an abort, as a key press.
const RegisterStep kAbortAfter{{"abort-after", 1, "MS", [](StepContext& c, const Args& a) {
                                  long ms = 0;
                                  if (!ParseInt(a[0], 0, 0x7fffffff, ms)) return kStepUsage;
                                  c.host.AbortAfter(c.session.clock, static_cast<uint32_t>(ms));
                                  return kStepOk;
                                }}};

}  // namespace
}  // namespace nyxel::batch
