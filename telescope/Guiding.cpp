#include "telescope/Guiding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "camera/CameraProtocol.h"
#include "camera/SavedPicture.h"
#include "core/Messages.h"
#include "files/SettingsFile.h"
#include "processing/StarCentre.h"
#include "telescope/Observatory.h"

namespace nyxel {
namespace {

// Guiding and training pump the window's events: while they run no other run or image command may start.
struct RunningGuard {
  explicit RunningGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningGuard() { flag_ = false; }
  RunningGuard(const RunningGuard&) = delete;
  RunningGuard& operator=(const RunningGuard&) = delete;
  bool& flag_;
};

constexpr int kMessageSettingsSave = 21;
constexpr int kFirstTrainingPulseMs = 50;
constexpr int kProgressMiddle = 50;  // percent
constexpr int kFarTravel = 1000000;  // thousandths: more than any gear's play

std::string Format(const char* format, int a, int b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// Self-guiding needs a guide exposure below 12 seconds.
bool ShortGuidingExposure(char unit, int value) {
  switch (unit) {
    case 'q':
      return value < 12000;
    case 'h':
      return value < 1200;
    case 't':
      return value < 120;
    case 's':
      return value < 12;
    default:
      return false;
  }
}

}  // namespace

GuideWindowPlacement PlaceGuideWindowFor(int x, int y) {
  constexpr int h = kGuideHalfWindow;
  GuideWindowPlacement p;
  if (h < x && x < 510 - h) {
    p.window_x = x - h;
    p.star_x = h;
  } else if (x <= h) {
    p.window_x = 0;
    p.star_x = x;
  } else {
    p.window_x = 510 - 2 * h;
    p.star_x = x - p.window_x;
  }
  // The camera's window lies right of and below the nominal one; these steps aim it back on the star.
  if (p.window_x > 3) p.window_x -= 4;
  if (h < y && y < 290 - h) {
    p.window_y = y - h;
    p.star_y = h;
  } else if (y <= h) {
    p.window_y = 0;
    p.star_y = y;
  } else {
    p.window_y = 290 - 2 * h;
    p.star_y = y - p.window_y;
  }
  if (p.window_y < 156) p.window_y += 6;
  // The window starts on a multiple of three columns.
  p.offset = p.window_x % 3;
  p.star_x += p.offset;
  return p;
}

namespace {

// The play from one axis's pulses out (1, 2) and back (3, 4), in tenths. The first pulse back fell
// short by the play and the second went the whole way: their difference leaves a steady drift out.
// A play larger than one pulse swallows the first pulse whole and part of the second: then the way
// back fell short of two clean pulses out by the play. Noise can make either a little negative.
int PlayTenths(const int (&p)[5]) {
  constexpr int kMoved = 5;  // half a pixel: the first pulse back moved the star
  const int out = std::abs(p[2] - p[1]);
  const int back1 = std::abs(p[3] - p[2]), back2 = std::abs(p[4] - p[3]);
  return std::max(back1 >= kMoved ? back2 - back1 : 2 * out - back1 - back2, 0);
}

}  // namespace

TrainingResult TrainingResults(int training_time, const int (&x)[5], const int (&y)[5]) {
  const int t = std::max(training_time, 1);
  // Tenths to whole pixels, to the nearest.
  auto whole = [](int tenths, int divisor) { return (tenths + 5 * divisor) / (10 * divisor); };
  TrainingResult r;
  r.ra_pixels_per_sec = whole(std::abs(x[3] - x[4]) + std::abs(x[1] - x[2]), 2 * t);
  r.dec_pixels_per_sec = whole(std::max(std::abs(y[3] - y[4]), std::abs(y[1] - y[2])), t);
  r.ra_backlash = whole(PlayTenths(x), 1);
  r.dec_backlash = whole(PlayTenths(y), 1);
  return r;
}

AxisPulse PlanAxisPulse(int drift, char positive_letter, char negative_letter, AxisBacklash& b, int backlash,
                        int pixels_per_sec, int hysteresis, int threshold) {
  const int setting = std::max(backlash, 0) * 1000;
  // A new setting (training, or typed) is believed again in full.
  if (b.setting != setting) {
    b.setting = setting;
    b.estimate = setting;
  }
  const int sign = drift > 0 ? 1 : drift < 0 ? -1 : 0;
  if (b.judge != 0) {
    if (sign == -b.judge) {
      // The star crossed the reference: the gear had engaged, and the play was smaller than what was
      // sent by the overshoot. Learn it only where the play was not limited by the travel before.
      if (std::abs(drift) > kOvershootNoise && !b.capped) b.estimate = std::max(b.sent - std::abs(drift), 0);
      b.owed = 0;
    } else if (b.owed == 0 && std::abs(drift) > kOvershootNoise && !b.capped) {
      // The whole compensation left the star short: more play than believed, up to the setting.
      b.estimate = std::min(b.estimate + std::abs(drift), b.setting);
    }
    // Not crossed with compensation still owed: the play swallowed that step; the rest goes next.
    b.judge = 0;
  }
  AxisPulse a;
  if (std::abs(drift) <= threshold) return a;
  a.letter = sign > 0 ? positive_letter : negative_letter;
  if (a.letter != b.last_direction) {
    // A reversal: the gear crosses its play first, but never more of it than it drove the other way.
    const bool known = b.last_direction != 0;
    b.owed = known ? std::min(b.estimate, b.travel) : b.estimate;
    b.capped = known && b.travel < b.estimate;
    b.sent = 0;
    b.travel = 0;
    b.last_direction = a.letter;
  }
  // The first pulse of a reversal carries at most a step of the play; once the star shows it did
  // not move, the rest follows.
  const int compensation = b.sent == 0 ? std::min(b.owed, kBacklashFirstStep) : b.owed;
  a.compensation = compensation;
  a.drift = drift + sign * compensation;
  // A rate of 0 (a settings file from elsewhere) would divide by zero; training never leaves one.
  const int rate = pixels_per_sec > 0 ? pixels_per_sec : 1;
  a.pulse_ms = std::abs(a.drift / rate) - hysteresis * 100;
  if (a.pulse_ms < 1) {
    a.compensation = 0;  // nothing is sent: the play is still owed
    return a;
  }
  b.owed -= compensation;
  b.sent += compensation;
  b.judge = compensation > 0 ? sign : 0;
  b.travel = std::min(b.travel + std::abs(a.drift), kFarTravel);
  return a;
}

int16_t DriftOf(int ref, int ref_tenths, int position, int tenths) {
  return static_cast<int16_t>((ref - position) * 1000 + (ref_tenths - tenths) * 100);
}

// ---- picking ----

bool Guider::TogglePickMode() {
  Session& s = obs_.session;
  if (s.store.RvGeometry || s.store.FitToWindow) ShowMessage(s.host, kMessagePickGeometry);
  state.PickMode = !state.PickMode;
  if (state.PickMode) {
    state.SearchRadius = s.settings.guide_mask_radius;
  } else {
    s.Refresh();
  }
  return state.PickMode;
}

std::string Guider::PickClick(int x, int y) {
  if (!state.PickMode) return {};
  Session& s = obs_.session;
  ImageStore& store = s.store;
  if (store.RvGeometry) y = y * kFrameHeight / kRvHeight;
  const int r = state.SearchRadius;
  if (x < r + 3 || x > 511 - r - 3 || y < r + 3 || y > 289 - r - 3) {
    const std::string text =
        Format("Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d", x, y);
    ShowMessage(s.host, kOwnTextMessage, text);
    return text;
  }
  const StarSearch search{false, s.settings.ignore_small_drift};
  int cx = x, cy = y, found = 0;
  for (; found < 3; ++found) {
    StarCentre c;
    if (!FindStarCentre(store, s.host, cx, cy, std::span<const uint16_t>(store.CurrentFrame), r, search, c))
      break;
    cx = c.column;
    cy = c.row;
    if (move_cursor) move_cursor(cx, cy);
  }
  // A star that could not be held three times running is no guide star, whatever was picked before.
  obs_.picked.GuideStarPicked = found == 3;
  obs_.picked.GuideStarX = cx;
  obs_.picked.GuideStarY = cy;
  state.PickMode = false;
  const std::string text = Format("x position = %5d\ny position = %5d", cx, cy);
  ShowMessage(s.host, kOwnTextMessage, text);
  return text;
}

// ---- the guide window ----

void Guider::PlaceGuideWindow() {
  Session& s = obs_.session;
  state.CentreSaved = true;
  state.SavedStarX = obs_.picked.GuideStarX;
  state.SavedStarY = obs_.picked.GuideStarY;
  state.SavedStarPicked = obs_.picked.GuideStarPicked;
  state.SearchRadius = s.settings.guide_mask_radius;
  const GuideWindowPlacement p = PlaceGuideWindowFor(obs_.picked.GuideStarX, obs_.picked.GuideStarY);
  obs_.camera.FocusWindowX = p.window_x;
  obs_.camera.FocusWindowY = p.window_y;
  state.GuideWindowStarX = p.star_x;
  state.GuideWindowStarY = p.star_y;
  if (s.settings.debug_mode) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "xcent=%5d, ycent = %5d, focus_x = %5d, focus_y = %5d,  xoffset = %5d, yoffset = %5d",
                  p.star_x, p.star_y, p.window_x, p.window_y, p.offset, 0);
    ShowMessage(s.host, kOwnTextMessage, text);
  }
}

void Guider::RestoreStarCentre() {
  if (!state.CentreSaved) return;
  obs_.picked.GuideStarX = state.SavedStarX;
  obs_.picked.GuideStarY = state.SavedStarY;
  state.CentreSaved = false;
}

bool Guider::FindCentre(int x, int y, GuidePosition& found) {
  Session& s = obs_.session;
  const StarSearch search{true, s.settings.ignore_small_drift};
  StarCentre c;
  if (!FindStarCentre(s.store, s.host, x, y, std::span<const uint16_t>(s.store.CurrentFrame),
                      state.SearchRadius, search, c)) {
    return false;
  }
  found = {c.column, c.row, c.column_tenths, c.row_tenths};
  state.Star = found;
  return true;
}

bool Guider::FindCentreTwice(int x, int y, GuidePosition& found) {
  GuidePosition first;
  return FindCentre(x, y, first) && FindCentre(first.x, first.y, found);
}

void Guider::SetReference(const GuidePosition& p) {
  state.GuideRefX = p.x;
  state.GuideRefY = p.y;
  state.GuideRefXTenths = p.x_tenths;
  state.GuideRefYTenths = p.y_tenths;
  state.DriftX = state.DriftY = 0;
}

void Guider::Render() {
  obs_.session.store.GuideFrameDisplay = 1;
  obs_.session.Refresh();
}

void Guider::Caption(std::string_view text) {
  if (info && state.InfoOpen) info->SetCaption(text);
}

void Guider::OpenInfo() {
  if (info && !state.InfoOpen) info->Open();
  state.InfoOpen = true;
}

void Guider::CloseInfo() {
  if (info && state.InfoOpen) info->Close();
  state.InfoOpen = false;
}

void Guider::ShowInfo() {
  if (!info || !state.InfoOpen) return;
  GuidingInfoValues v;
  v.star_x = state.Star.x + state.Star.x_tenths * 0.1;
  v.star_y = state.Star.y + state.Star.y_tenths * 0.1;
  v.drift_x = state.DriftX * (1.0 / 19);
  v.drift_y = state.DriftY * (1.0 / 19);
  v.ref_x = state.GuideRefX;
  v.ref_y = state.GuideRefY;
  info->Show(v);
}

bool Guider::Pulse(char compass_letter, int ms) {
  Session& s = obs_.session;
  obs_.link.GuideDirection = DriveLetter(s.settings, compass_letter);
  obs_.link.GuidePulseMs = std::max(ms, 0);
  const int result = GuidePulse(obs_.link, s.settings.guide_interface, s.host, s.clock);
  // Only an INDI mount reports a pulse it could not give (the serial link never hears back).
  return !(obs_.link.backend && result < 0);
}

void Guider::Report(const std::string& pulses) {
  if (!frame_done && !recorder.running) return;
  GuideFrameReport r;
  r.clock_ms = obs_.session.clock.NowMs();
  r.star = state.Star;
  r.drift_x = state.DriftX;
  r.drift_y = state.DriftY;
  r.pulses = pulses.empty() ? "-" : pulses;
  if (recorder.running) recorder.Frame(r);
  if (frame_done) frame_done(r);
}

bool Guider::Preconditions(bool need_star) {
  Session& s = obs_.session;
  if (s.settings.guide_interface == 'n' || !obs_.camera.CameraPresent ||
      (need_star && !obs_.picked.GuideStarPicked)) {
    ShowMessage(s.host, kMessagePickStarFirst);
    return false;
  }
  if (!OpenTelescopeLink(obs_.link, s)) {
    ShowMessage(s.host, kMessageTelescopeFailed);
    return false;
  }
  return true;
}

// ---- the correction ----

bool Guider::Correct() {
  Session& s = obs_.session;
  const Settings& st = s.settings;
  GuidePosition p;
  if (!FindCentre(state.GuideRefX, state.GuideRefY, p)) {
    obs_.run.SelfGuideNext = false;
    s.store.SelfGuideNext = 0;
    return false;
  }
  state.DriftX = DriftOf(state.GuideRefX, state.GuideRefXTenths, p.x, p.x_tenths);
  state.DriftY = DriftOf(state.GuideRefY, state.GuideRefYTenths, p.y, p.y_tenths);
  std::string pulses;
  bool mount_lost = false;
  if (std::abs(state.DriftX) <= kDriftTooLarge && std::abs(state.DriftY) <= kDriftTooLarge) {
    const int threshold = st.ignore_small_drift ? kDriftThresholdRounded : kDriftThresholdTenths;
    auto axis = [&](int drift, char positive, char negative, AxisBacklash& b, int backlash, int rate,
                    int hysteresis) {
      const AxisPulse a = PlanAxisPulse(drift, DriveLetter(st, positive), DriveLetter(st, negative), b,
                                        backlash, rate, hysteresis, threshold);
      if (a.letter == 0 || a.pulse_ms < 1) return;
      s.host.Beep();
      obs_.link.GuideDirection = a.letter;
      obs_.link.GuidePulseMs = a.pulse_ms;
      if (GuidePulse(obs_.link, st.guide_interface, s.host, s.clock) < 0 && obs_.link.backend)
        mount_lost = true;
      s.host.Beep();
      if (!pulses.empty()) pulses += ' ';
      pulses += a.letter + std::to_string(a.pulse_ms);
    };
    axis(state.DriftX, 'e', 'w', state.AxisX, st.ra_backlash, st.ra_pixels_per_sec, st.ra_hysteresis);
    // Some mounts take the second axis's pulse only once the first has settled.
    if (st.direction_change_delay) s.clock.Pause(kDirectionChangeDelayMs);
    if (!mount_lost) {
      axis(state.DriftY, 'n', 's', state.AxisY, st.dec_backlash, st.dec_pixels_per_sec, st.dec_hysteresis);
    }
  }
  Report(pulses);
  // An INDI mount that is gone or stuck (already said) ends guiding as a lost star does.
  if (mount_lost) {
    obs_.run.SelfGuideNext = false;
    s.store.SelfGuideNext = 0;
    return false;
  }
  return true;
}

// ---- training ----

bool Guider::GuideFrame() {
  Session& s = obs_.session;
  if (!TakeGuideFrame(obs_.camera, s.store, obs_.run.ExposureUnit, obs_.run.ExposureValue)) return false;
  if (s.host.PumpMessages()) return false;
  Render();
  ShowInfo();
  return true;
}

int Guider::Train() {
  if (obs_.state.Running) return 1;
  const RunningGuard running(obs_.state.Running);
  Session& s = obs_.session;
  Settings& st = s.settings;
  if (!Preconditions(true)) return 1;
  ResetControlBox(obs_.link, s.host, s.clock);
  if (st.guide_interface == 'b' && !state.TrainedOnce) {
    for (const char compass : {'n', 's', 'e', 'w'}) Pulse(compass, kFirstTrainingPulseMs);
    state.TrainedOnce = true;
  }
  // The guide frames are read into CurrentFrame: the photo comes back when training ends.
  const SavedPicture picture(s.store);
  PlaceGuideWindow();
  obs_.run.ContinuousMode = false;
  const int t = std::max<int>(st.guide_training_time, 1);
  const int ns_ms = t * 1000 - st.dec_hysteresis * 100;
  const int ew_ms = t * 1000 - st.ra_hysteresis * 100;
  // Positions in tenths of a pixel: a whole-pixel centre rounds a star sitting near a half into a
  // pixel of motion that never happened.
  int x[5] = {}, y[5] = {};
  GuidePosition p{state.GuideWindowStarX, state.GuideWindowStarY, 0, 0};
  auto tx = [&p] { return p.x * 10 + p.x_tenths; };
  auto ty = [&p] { return p.y * 10 + p.y_tenths; };
  y[0] = ty();
  auto step = [&](char compass, int ms) {
    return Pulse(compass, ms) && GuideFrame() && FindCentreTwice(p.x, p.y, p);
  };
  bool ok = step('n', ns_ms);
  if (ok) y[1] = ty();
  ok = ok && step('n', ns_ms);
  if (ok) y[2] = ty();
  ok = ok && step('s', ns_ms);
  if (ok) y[3] = ty();
  ok = ok && step('s', ns_ms);
  if (ok) {
    y[4] = ty();
    x[0] = tx();
  }
  ok = ok && step('e', ew_ms);
  if (ok) x[1] = tx();
  ok = ok && step('e', ew_ms);
  if (ok) x[2] = tx();
  ok = ok && step('w', ew_ms);
  if (ok) x[3] = tx();
  ok = ok && step('w', ew_ms);
  if (ok) x[4] = tx();
  picture.Restore(s.store);
  s.Refresh();
  DefaultFocusFrameCentre(obs_.camera);
  RestoreStarCentre();
  if (!ok) return 2;

  const TrainingResult r = TrainingResults(t, x, y);
  char text[128];
  std::snprintf(text, sizeof text, "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d",
                r.ra_pixels_per_sec, r.dec_pixels_per_sec, r.ra_backlash, r.dec_backlash);
  ShowMessage(s.host, kOwnTextMessage, text);
  st.ra_pixels_per_sec = static_cast<int16_t>(std::max(r.ra_pixels_per_sec, 1));
  st.dec_pixels_per_sec = static_cast<int16_t>(std::max(r.dec_pixels_per_sec, 1));
  st.ra_backlash = static_cast<int16_t>(r.ra_backlash);
  st.dec_backlash = static_cast<int16_t>(r.dec_backlash);
  // Training ended driving west and south with the gears engaged: guiding starts from there and
  // believes the new backlash in full.
  state.AxisX = {};
  state.AxisX.last_direction = DriveLetter(st, 'w');
  state.AxisX.travel = kFarTravel;
  state.AxisY = {};
  state.AxisY.last_direction = DriveLetter(st, 's');
  state.AxisY.travel = kFarTravel;
  if (SaveSettings(st, s.drive) != 0) ShowMessage(s.host, kMessageSettingsSave);
  obs_.picked.GuideStarPicked = false;
  return 0;
}

// ---- stand-alone guiding ----

bool Guider::Guide() {
  Session& s = obs_.session;
  if (obs_.state.Running) return false;
  if (!Preconditions(true)) return false;
  const RunningGuard running(obs_.state.Running);
  if (s.settings.guide_interface == 'b') ResetControlBox(obs_.link, s.host, s.clock);
  // The guide frames are read into CurrentFrame: the photo comes back when guiding ends.
  const SavedPicture picture(s.store);
  PlaceGuideWindow();
  recorder.Begin(s, ExposureFromUnit(obs_.run.ExposureUnit, obs_.run.ExposureValue, false), obs_.calendar());
  bool first = true;
  for (;;) {
    if (s.host.PumpMessages()) break;
    // A window that cannot be read has shown its error once; guiding on it would repeat it forever.
    if (!TakeGuideFrame(obs_.camera, s.store, obs_.run.ExposureUnit, obs_.run.ExposureValue)) break;
    if (first) {
      GuidePosition p;
      if (!FindCentreTwice(state.GuideWindowStarX, state.GuideWindowStarY, p)) break;
      SetReference(p);
      OpenInfo();
      Caption(kInfoCaption);
      first = false;
    }
    Render();
    if (!Correct()) break;
    ShowInfo();
  }
  recorder.End();
  ShowMessage(s.host, kMessageGuidingTerminated);
  CloseInfo();
  picture.Restore(s.store);
  s.Refresh();
  DefaultFocusFrameCentre(obs_.camera);
  RestoreStarCentre();
  return true;
}

// ---- the camera dialog's buttons ----

// Both buttons need the control box: probe it once (a failed open has closed the port again).
bool Guider::ControlBoxReady() {
  Session& s = obs_.session;
  TelescopeLink& link = obs_.link;
  // An INDI mount takes timed guide pulses itself: no control box needed.
  if (link.backend) return true;
  if (!link.ControlBoxPresent && !link.TelescopeLinkOpen &&
      OpenControlBoxLink(link, s.settings, s.drive, s.host)) {
    ResetControlBox(link, s.host, s.clock);
  }
  if (link.ControlBoxPresent) return true;
  ShowMessage(s.host, kMessageNoControlBox);
  return false;
}

bool Guider::ToggleSelfGuide() {
  Session& s = obs_.session;
  RunSettings& run = obs_.run;
  if (run.SelfGuideNext) {
    run.SelfGuideNext = false;
    s.store.SelfGuideNext = 0;
    return true;
  }
  if (!ControlBoxReady()) return false;
  if (!ShortGuidingExposure(run.ExposureUnit, run.ExposureValue)) {
    s.host.Beep();
    return false;
  }
  run.SelfGuideNext = true;
  s.store.SelfGuideNext = 1;
  run.GuidingUnit = run.ExposureUnit;
  run.GuidingValue = run.ExposureValue;
  return true;
}

bool Guider::ToggleMatchingDark() {
  Session& s = obs_.session;
  RunSettings& run = obs_.run;
  if (run.TakeMatchingDark) {
    run.TakeMatchingDark = false;
    return true;
  }
  if (!ControlBoxReady()) return false;
  run.TakeMatchingDark = true;
  state.GuidingFramesForDark = state.GuidingFrameCount;
  if (!run.SelfGuideNext) {
    run.GuidingUnit = run.ExposureUnit;
    run.GuidingValue = run.ExposureValue;
  }
  run.SelfGuideNext = true;
  s.store.SelfGuideNext = 1;
  run.ContinuousMode = false;
  return true;
}

// ---- the self-guided exposure ----

int Guider::GuidingExposureMs() {
  const RunSettings& run = obs_.run;
  if (run.TakeMatchingDark) return kMatchingDarkGuidingMs;
  switch (run.GuidingUnit) {
    case 'h':
      return run.GuidingValue * 10;
    case 'q':
      return run.GuidingValue;
    case 't':
      return run.GuidingValue * 100;
    default:
      return run.GuidingValue * 1000;
  }
}

bool Guider::GuidingFrame() {
  Session& s = obs_.session;
  if (!TakeGuidingFrame(obs_.camera, s.store, state.GuidingMs)) return false;
  if (!state.MatchingDark) Render();
  return true;
}

bool Guider::SetUp() {
  Session& s = obs_.session;
  Camera& camera = obs_.camera;
  if (!obs_.picked.GuideStarPicked) {
    ShowMessage(s.host, kMessagePickStarFirst);
    return false;
  }
  state.Armed = true;
  state.MatchingDark = obs_.run.TakeMatchingDark;
  state.HalfTimeDone = false;
  camera.HalfTimeReadoutDone = false;
  state.GuidingFrameCount = 0;
  state.GuidingMs = GuidingExposureMs();
  // A matching dark guides on nothing, so it leaves no guide log.
  if (!state.MatchingDark) recorder.Begin(s, state.GuidingMs, obs_.calendar());
  OpenInfo();
  auto fail = [&] {
    CloseGuidingWindow();
    return false;
  };
  if (state.MatchingDark) {
    Caption(kInfoDark);
  } else {
    Caption(kInfoChecking);
    if (!Preconditions(true)) return fail();
    Caption(kInfoCreating);
    if (s.settings.guide_interface == 'b') ResetControlBox(obs_.link, s.host, s.clock);
    PlaceGuideWindow();
    Caption(kInfoStabilising);
    for (int i = 0; i < 3; ++i) {
      if (!GuidingFrame()) return fail();
      ShowInfo();
    }
    GuidePosition p;
    if (!FindCentre(state.GuideWindowStarX, state.GuideWindowStarY, p)) {
      ShowMessage(s.host, kMessageSelfGuidingFailed);
      return fail();
    }
    SetReference(p);
    Caption(kInfoCaption);
    if (!GuidingFrame()) return fail();
    if (!FindCentre(state.GuideRefX, state.GuideRefY, p)) {
      ShowMessage(s.host, kMessageSelfGuidingFailed);
      return fail();
    }
    SetReference(p);
    ShowInfo();
  }
  // The main integration starts again now that the guider holds the star.
  SendControl(camera, kControlStartIntegration);
  SendControl(camera, kControlClear);
  return true;
}

bool Guider::CorrectionStep() {
  if (state.MatchingDark) {
    // The dark takes as many window readouts as the exposure it matches, without guiding on them.
    if (state.GuidingFrameCount < state.GuidingFramesForDark / 2 && !GuidingFrame()) return false;
    ++state.GuidingFrameCount;
    return true;
  }
  if (!GuidingFrame()) return false;
  if (!Correct()) return false;
  ShowInfo();
  ++state.GuidingFrameCount;
  return true;
}

bool Guider::HalfTimeReadout() {
  Session& s = obs_.session;
  ImageStore& store = s.store;
  Camera& camera = obs_.camera;
  SendControl(camera, kControlClear);
  SendControl(camera, kControlEndGuidedSecondHalf);
  Caption(kInfoDownloading);
  if (!ReadFullFrame(camera, store.CurrentFrame)) return false;
  store.SecondFrame = store.CurrentFrame;
  CopyPlane(store.RedPlane, store.UndoRed);
  CopyPlane(store.BluePlane, store.UndoBlue);
  CopyPlane(store.GreenPlane, store.UndoGreen);
  camera.HalfTimeReadoutDone = true;
  state.HalfTimeDone = true;
  SendControl(camera, kControlStartIntegration);

  Caption(kInfoSwitching);
  for (int i = 0; i < 2; ++i) {
    if (!GuidingFrame()) return false;
  }
  GuidePosition p;
  // A dark has no star to hold: its frames are only taken.
  if (!state.MatchingDark) {
    if (!FindCentre(state.GuideRefX, state.GuideRefY, p)) return false;
    SetReference(p);
  }
  Caption(state.MatchingDark ? kInfoDark : kInfoCaption);
  if (!GuidingFrame()) return false;
  if (!state.MatchingDark) {
    if (!FindCentre(state.GuideRefX, state.GuideRefY, p)) return false;
    SetReference(p);
    ShowInfo();
  }
  s.host.ProgressSetPosition(kProgressMiddle);
  if (state.MatchingDark) state.GuidingFrameCount = 0;
  return true;
}

bool Guider::WaitTurn(uint32_t& deadline_ms, int exposure_ms) {
  const uint32_t half = deadline_ms - static_cast<uint32_t>(exposure_ms - exposure_ms / 2);
  Clock& clock = obs_.session.clock;
  bool ok = CorrectionStep();
  if (ok && !state.HalfTimeDone && ElapsedMs(clock.NowMs(), half) >= 0) {
    ok = HalfTimeReadout();
    if (ok) deadline_ms = clock.NowMs() + static_cast<uint32_t>(exposure_ms / 2);
  }
  // The run ends here without a readout: the guiding window goes with it.
  if (!ok) CloseGuidingWindow();
  return ok;
}

void Guider::CloseGuidingWindow() {
  if (recorder.running) recorder.End();
  CloseInfo();
  obs_.session.store.GuideFrameDisplay = 0;
}

void Guider::Finished() {
  if (state.MatchingDark) state.GuidingFrameCount = state.GuidingFramesForDark;
  DefaultFocusFrameCentre(obs_.camera);
}

void Guider::Rearm() {
  if (state.Armed && !obs_.state.ExposureAborted) {
    obs_.run.SelfGuideNext = true;
    obs_.session.store.SelfGuideNext = 1;
  }
  state.Armed = false;
  RestoreStarCentre();
}

void Guider::CommandStarted() {
  if (state.PickMode) {
    state.PickModeSuspended = true;
    state.PickMode = false;
  }
  obs_.camera.HalfTimeReadoutDone = false;
  state.HalfTimeDone = false;
}

void Guider::CommandEnded() {
  if (state.PickModeSuspended) {
    state.PickMode = true;
    state.PickModeSuspended = false;
  }
  state.Armed = false;
  RestoreStarCentre();
}

}  // namespace nyxel
