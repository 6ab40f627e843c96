// The guiding steps: picking the guide star, training, stand-alone guiding for a time, arming a
// self-guided exposure or its matching dark, and the simulated mount's behaviour under --simulate.
#include <cstdio>
#include <string>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "camera/ExposureRun.h"
#include "core/Messages.h"
#include "telescope/Guiding.h"
#include "telescope/sim/Simulation.h"

namespace nyxel::batch {
namespace {

constexpr long kGuideLimitSeconds = 24 * 3600;

// Every guide frame gives one line: clock ms, star x and y with tenths, DriftX, DriftY, the pulses.
// Under --simulate the mount's periodic error is brought up to date on each frame.
void PrintFrames(StepContext& c) {
  Observatory& obs = c.obs;
  std::ostream& out = c.out;
  obs.guider.frame_done = [&obs, &out](const GuideFrameReport& r) {
    if (obs.simulation) obs.simulation->mount.Update();
    char line[128];
    std::snprintf(line, sizeof line, "%u %d.%d %d.%d %d %d %s\n", static_cast<unsigned>(r.clock_ms), r.star.x,
                  r.star.x_tenths, r.star.y, r.star.y_tenths, r.drift_x, r.drift_y, r.pulses.c_str());
    out << line;
  };
}

// The camera is found as the camera command finds it.
bool CameraReady(StepContext& c) {
  if (c.obs.camera.CameraPresent) return true;
  if (!BeginCameraCommand(c.obs)) return false;
  EndCameraCommand(c.obs);
  return true;
}

SimulatedMount* Mount(StepContext& c) {
  if (c.obs.simulation) return &c.obs.simulation->mount;
  c.host.MessageBox("The simulated mount needs --simulate", kMessageCaption);
  return nullptr;
}

bool ParseTwo(const Args& a, double& x, double& y) {
  return ParseDouble(a[0], x) && ParseDouble(a[1], y);
}

const RegisterStep kPick{
    {"pick-guide-star", 2, "X Y", [](StepContext& c, const Args& a) {
       long x = 0, y = 0;
       if (!ParseInt(a[0], -99999, 99999, x) || !ParseInt(a[1], -99999, 99999, y)) return kStepUsage;
       Guider& guider = c.obs.guider;
       if (!guider.state.PickMode) guider.TogglePickMode();
       const std::string text = guider.PickClick(static_cast<int>(x), static_cast<int>(y));
       c.out << text << '\n';
       return c.obs.picked.GuideStarPicked && !guider.state.PickMode ? kStepOk : kStepFailed;
     }}};

const RegisterStep kTrain{
    {"train", 0, "", [](StepContext& c, const Args&) {
       if (!CameraReady(c)) return kStepFailed;
       const int result = c.obs.guider.Train();
       if (result != 0) {
         if (result == 2) c.host.MessageBox("Training stopped: the star was lost", kMessageCaption);
         return kStepFailed;
       }
       char line[128];
       const Settings& s = c.session.settings;
       std::snprintf(line, sizeof line, "slewx = %5d, slewy = %5d, backlashx = %5d, backlashy = %5d",
                     s.ra_pixels_per_sec, s.dec_pixels_per_sec, s.ra_backlash, s.dec_backlash);
       c.out << line << '\n';
       return kStepOk;
     }}};

const RegisterStep kGuide{{"guide", 1, "SECONDS", [](StepContext& c, const Args& a) {
                             long seconds = 0;
                             if (!ParseInt(a[0], 1, kGuideLimitSeconds, seconds)) return kStepUsage;
                             if (!CameraReady(c)) return kStepFailed;
                             PrintFrames(c);
                             Clock& clock = c.session.clock;
                             const uint32_t end = clock.NowMs() + static_cast<uint32_t>(seconds) * 1000u;
                             c.host.AbortAfter(clock, static_cast<uint32_t>(seconds) * 1000u);
                             const bool guided = c.obs.guider.Guide();
                             const auto& log = c.obs.guider.recorder.last_log;
                             if (!log.empty()) c.out << "log " << log.string() << '\n';
                             if (!guided) return kStepFailed;
                             // Guiding that ended before its time lost the star or the camera.
                             return ElapsedMs(clock.NowMs(), end) >= 0 ? kStepOk : kStepFailed;
                           }}};

const RegisterStep kSelfGuide{
    {"self-guide", 2, "UNIT VALUE", [](StepContext& c, const Args& a) {
       RunSettings& run = c.obs.run;
       long value = 0;
       if (a[0].size() != 1 || std::string("qhts").find(a[0][0]) == std::string::npos ||
           !ParseInt(a[1], 1, UnitMaximum(a[0][0]), value)) {
         return kStepUsage;
       }
       // The dialog's exposure at the moment of arming becomes the guiding one.
       const char unit = run.ExposureUnit;
       const int previous = run.ExposureValue;
       run.ExposureUnit = a[0][0];
       run.ExposureValue = static_cast<int>(value);
       if (run.SelfGuideNext) c.obs.guider.ToggleSelfGuide();
       c.host.messages_shown = 0;
       const bool armed = c.obs.guider.ToggleSelfGuide();
       run.ExposureUnit = unit;
       run.ExposureValue = previous;
       if (!armed) {
         if (c.host.messages_shown == 0)
           c.host.MessageBox("Self-guiding needs a guide exposure below 12 seconds", kMessageCaption);
         return kStepFailed;
       }
       PrintFrames(c);
       return kStepOk;
     }}};

const RegisterStep kMatchingDark{{"matching-dark", 1, "on|off", [](StepContext& c, const Args& a) {
                                    bool on = false;
                                    if (!ParseOnOff(a[0], on)) return kStepUsage;
                                    if (on == c.obs.run.TakeMatchingDark) return kStepOk;
                                    if (!c.obs.guider.ToggleMatchingDark()) return kStepFailed;
                                    if (on)
                                      c.out << "guiding frames " << c.obs.guider.state.GuidingFramesForDark
                                            << '\n';
                                    return kStepOk;
                                  }}};

const RegisterStep kSimDrift{{"sim-drift", 2, "X Y", [](StepContext& c, const Args& a) {
                                double x = 0, y = 0;
                                if (!ParseTwo(a, x, y)) return kStepUsage;
                                SimulatedMount* mount = Mount(c);
                                if (!mount) return kStepFailed;
                                mount->SetDrift(x, y);
                                return kStepOk;
                              }}};

const RegisterStep kSimPeriodic{{"sim-periodic", 2, "AMPLITUDE PERIOD_S", [](StepContext& c, const Args& a) {
                                   double amplitude = 0, period = 0;
                                   if (!ParseTwo(a, amplitude, period) || period < 0) return kStepUsage;
                                   SimulatedMount* mount = Mount(c);
                                   if (!mount) return kStepFailed;
                                   mount->SetPeriodicError(amplitude, period);
                                   return kStepOk;
                                 }}};

const RegisterStep kSimRate{{"sim-guide-rate", 2, "RA DEC", [](StepContext& c, const Args& a) {
                               double ra = 0, dec = 0;
                               if (!ParseTwo(a, ra, dec)) return kStepUsage;
                               SimulatedMount* mount = Mount(c);
                               if (!mount) return kStepFailed;
                               mount->SetGuideRates(ra, dec);
                               return kStepOk;
                             }}};

const RegisterStep kSimBacklash{{"sim-backlash", 1, "PIXELS", [](StepContext& c, const Args& a) {
                                   double pixels = 0;
                                   if (!ParseDouble(a[0], pixels) || pixels < 0) return kStepUsage;
                                   SimulatedMount* mount = Mount(c);
                                   if (!mount) return kStepFailed;
                                   mount->SetDecBacklash(pixels);
                                   return kStepOk;
                                 }}};

const RegisterStep kSimMirror{{"sim-mirror", 1, "on|off", [](StepContext& c, const Args& a) {
                                 bool on = false;
                                 if (!ParseOnOff(a[0], on)) return kStepUsage;
                                 SimulatedMount* mount = Mount(c);
                                 if (!mount) return kStepFailed;
                                 mount->SetMirror(on);
                                 return kStepOk;
                               }}};

}  // namespace
}  // namespace nyxel::batch
