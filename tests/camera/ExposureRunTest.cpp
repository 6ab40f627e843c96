#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "camera/CameraProtocol.h"
#include "camera/ExposureRun.h"
#include "camera/sim/SimulatedCamera.h"
#include "core/RecordingHost.h"
#include "files/FitsFile.h"
#include "files/SettingsFile.h"
#include "tests/support/PictureState.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::TempDir;

// The exposure run on the simulated camera and clock, on a drive folder of its own.
struct RunRig {
  RunRig() : sky(clock), sim(sky, Quiet()), rig(host, clock, Drive(dir.path()), sim) {
    StartSession(rig.session);
    rig.calendar = CalendarFromClock(clock, test::Utc(2026, 3, 5, 21, 30, 0));
    host.Clear();
  }
  static SimulatedCameraOptions Quiet() {
    SimulatedCameraOptions o;
    o.noise = false;
    return o;
  }
  // Opens the camera command and takes the photo with the dialog's values as they stand.
  void Photo() {
    ASSERT_TRUE(BeginCameraCommand(rig));
    TakePhoto(rig, [this](int n, int ms) { shown.push_back({n, ms}); });
    EndCameraCommand(rig);
  }
  // Commands the camera received from index `from` on, as (byte 0, byte 1, time).
  std::vector<SimulatedCamera::SentCommand> Since(size_t from) const {
    return {sim.commands.begin() + static_cast<std::ptrdiff_t>(from), sim.commands.end()};
  }
  // Aborts on the first pump at or after `ms` on the clock.
  void AbortAt(uint32_t ms) {
    host.on_pump = [this, ms] {
      if (ElapsedMs(clock.NowMs(), ms) >= 0 && host.abort_on_pump == 0) host.abort_on_pump = host.pumps;
    };
  }

  TempDir dir;
  SimulatedClock clock{100000};
  RecordingHost host;
  SimulatedSky sky;
  SimulatedCamera sim;
  CameraRig rig;
  std::vector<std::pair<int, int>> shown;
};

size_t IndexOf(const std::vector<SimulatedCamera::SentCommand>& c, uint8_t b0, uint8_t b1, size_t from = 0) {
  for (size_t i = from; i < c.size(); ++i) {
    if (c[i].bytes[0] == b0 && (b0 == 4 || c[i].bytes[1] == b1)) return i;
  }
  return c.size();
}

int Count(const std::vector<SimulatedCamera::SentCommand>& c, size_t from, size_t to, uint8_t code) {
  int n = 0;
  for (size_t i = from; i < to && i < c.size(); ++i) n += c[i].bytes[0] == 2 && c[i].bytes[1] == code;
  return n;
}

// The host and camera timing of one exposure, as the camera sees it in its command log.
TEST(ExposureRun, TimingAndClearsPerUnit) {
  struct Case {
    char unit;
    int value;
    int expected_ms;
    uint16_t read_ms;  // bytes 1-2 of the read command
    int min_clears_in_wait;
    int max_clears_in_wait;
  };
  const Case cases[] = {
      {'t', 4, 0, 400, 1, 1},       // timed by the camera: no host wait, one clear before the end code
      {'q', 499, 0, 499, 1, 1},     // still the camera's
      {'q', 500, 500, 0, 1, 1},     // the host's now, below 601 without clears
      {'t', 7, 700, 0, 30, 40},     // above 600: a clear on every turn
      {'s', 2, 2000, 0, 1, 1},      // seconds below 3001: no clears while waiting
      {'s', 4, 4000, 0, 190, 210},  // 4 s: a clear on every 20 ms turn
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.unit << c.value);
    RunRig r;
    r.rig.run.ExposureUnit = c.unit;
    r.rig.run.ExposureValue = c.value;
    ASSERT_TRUE(BeginCameraCommand(r.rig));
    const size_t from = r.sim.commands.size();
    TakePhoto(r.rig);
    const auto cmds = r.Since(from);
    const size_t start = IndexOf(cmds, 2, 1);
    const size_t end = IndexOf(cmds, 2, 3, start);
    const size_t read = IndexOf(cmds, 4, 0, end);
    ASSERT_LT(read, cmds.size());
    EXPECT_EQ(cmds[start - 1].bytes[1], 2);  // clear, then start
    const int waited = static_cast<int>(cmds[end].time_ms - cmds[start].time_ms);
    EXPECT_GE(waited, c.expected_ms);
    EXPECT_LE(waited, c.expected_ms + 20);
    EXPECT_EQ(cmds[read].bytes[1] | (cmds[read].bytes[2] << 8), c.read_ms);
    EXPECT_EQ(cmds[read].bytes[7], 0);  // full frame
    const int clears = Count(cmds, start, end, 2);
    EXPECT_GE(clears, c.min_clears_in_wait);
    EXPECT_LE(clears, c.max_clears_in_wait);
    EXPECT_EQ(r.rig.camera.ExposureMs, c.value * (c.unit == 'q' ? 1 : c.unit == 't' ? 100 : 1000));
    EXPECT_EQ(r.rig.session.store.CurrentFileName, "RV Camera Image");
    EXPECT_FALSE(r.rig.state.Running);
  }
}

TEST(ExposureRun, AbortBeforeTheWaitEndsAtOnce) {
  RunRig r;
  r.rig.run.ExposureUnit = 'm';
  r.rig.run.ExposureValue = 10;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  const uint32_t start = r.clock.NowMs();
  r.host.abort_on_pump = 1;  // the key press is waiting before the integration starts
  TakePhoto(r.rig);
  EXPECT_TRUE(r.rig.state.ExposureAborted);
  EXPECT_LT(ElapsedMs(r.clock.NowMs(), start), 100) << "no ten-minute wait for an exposure already aborted";
}

TEST(ExposureRun, AbortDuringLongExposureKeepsPictureAndEndsRun) {
  RunRig r;
  r.rig.run.ExposureUnit = 's';
  r.rig.run.ExposureValue = 30;
  r.rig.run.ContinuousMode = true;
  r.rig.run.AutoSave = true;
  const Frame before = r.rig.session.store.CurrentFrame;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  const size_t from = r.sim.commands.size();
  r.AbortAt(r.clock.NowMs() + 10000);
  TakePhoto(r.rig);
  const auto cmds = r.Since(from);
  EXPECT_EQ(IndexOf(cmds, 4, 0), cmds.size()) << "an aborted exposure is not read out";
  EXPECT_EQ(IndexOf(cmds, 2, 3), cmds.size());
  EXPECT_TRUE(r.rig.session.store.CurrentFrame == before);
  EXPECT_TRUE(r.rig.state.ExposureAborted);
  EXPECT_FALSE(r.rig.run.ContinuousMode);
  EXPECT_FALSE(r.rig.state.ContinuousRun);
  EXPECT_LT(ElapsedMs(r.clock.NowMs(), from == 0 ? 0 : cmds.front().time_ms), 11000);
  EXPECT_FALSE(std::filesystem::exists(r.dir.path() / "autosave" / "IMG1.FIT"));
  EXPECT_EQ(r.rig.camera.FocusWindowX, kDefaultFocusWindowX);
}

std::string Card(const std::vector<unsigned char>& file, const std::string& key) {
  const std::string text(file.begin(), file.end());
  const size_t at = text.find(key);
  return at == std::string::npos ? "" : text.substr(at, 80);
}

TEST(ExposureRun, ThreeExposuresWithDarkColourAndAutosave) {
  RunRig r;
  test::ScopedTimeZone utc("UTC");
  RunSettings& run = r.rig.run;
  run.ExposureUnit = 's';
  run.ExposureValue = 10;
  run.AutoRemoveDark = true;
  run.AutoColourConvert = true;
  run.AutoSave = true;
  // A dark frame of the wrong size: the loader says so and the run goes on.
  test::WriteBytes(r.dir.path() / "dark.def", std::vector<unsigned char>(1000, 0));
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  run.ExposureCount = 3;
  TakePhoto(r.rig, [&r](int n, int ms) { r.shown.push_back({n, ms}); });
  EndCameraCommand(r.rig);

  ASSERT_EQ(r.shown.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r.shown[i], std::make_pair(i + 1, 10000));
  const auto texts = r.host.Texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Sorry, chosen Darkframe is not an QK File"), 3);
  Settings saved;
  ASSERT_EQ(LoadSettings(saved, r.rig.session.drive, r.host), 0);
  EXPECT_EQ(saved.autosave_counter, 3);
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    const auto file = test::ReadBytes(r.dir.path() / "autosave" / ("IMG" + std::to_string(n) + ".FIT"));
    ASSERT_EQ(file.size(), 748160u) << "a colour FITS file";
    // Each exposure is one frame (no summing yet), so EXPTIME is one exposure's.
    EXPECT_NE(Card(file, "EXPTIME =").find("1.0000000000E+01"), std::string::npos) << Card(file, "EXPTIME =");
    // Dated from the middle of the run's first exposure to its display, in universal time.
    EXPECT_NE(Card(file, "DATE-OBS=").find("'5/3/26"), std::string::npos) << Card(file, "DATE-OBS=");
    EXPECT_NE(Card(file, "TIME-OBS=").find("'21:3"), std::string::npos) << Card(file, "TIME-OBS=");
  }
  EXPECT_EQ(r.rig.session.store.ColourConverted, 1);
  EXPECT_EQ(r.rig.session.store.History.Line(0), "Dark Frame Subtracted");
  EXPECT_EQ(r.rig.camera.FocusWindowX, kDefaultFocusWindowX);
}

// Every shown result carries the start of its exposure (a multiple run's first) in universal time and
// its length, autosave or not; the native FITS save writes them into its fixed cards.
TEST(ExposureRun, ResultsCarryStartTimeAndExposure) {
  struct Case {
    const char* name;
    int count;
    bool continuous;
    int ut_offset;
    const char* date;
    const char* time;
    double exptime;
  };
  // The calendar starts at 21:30:00 on 5 March 2026; each exposure is 10 s.
  const Case cases[] = {
      {"single", 1, false, 0, "2026-03-05", "21:30:00", 10},
      {"offset crosses midnight", 1, false, 3, "2026-03-06", "00:30:00", 10},
      {"negative offset", 1, false, -11, "2026-03-05", "10:30:00", 10},
      // Three frames without summing: each shown, all dated from the first exposure's start.
      {"multiple", 3, false, 0, "2026-03-05", "21:30:00", 10},
      // A continuous run dates each turn from its own start: the third turn starts after two turns of
      // 10 s, a 1 s wait and the readouts.
      {"continuous", 3, true, 0, "2026-03-05", "21:30:2", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig r;
    test::ScopedTimeZone utc("UTC");
    FitsHeader& fits = r.rig.session.settings.fits;
    fits.fits_date_obs = "";
    fits.fits_time_obs = "";
    r.rig.run.ExposureUnit = 's';
    r.rig.run.ExposureValue = 10;
    r.rig.run.ContinuousMode = c.continuous;
    ASSERT_TRUE(BeginCameraCommand(r.rig));
    // After the command's first settings load, as the FITS dialog would set it.
    r.rig.session.settings.ut_offset_hours = c.ut_offset;
    r.rig.run.ExposureCount = c.count;
    if (c.continuous) {
      // Stop during the fourth turn's exposure: three results shown.
      r.host.on_pump = [&r] {
        if (r.shown.size() == 3 && r.host.abort_on_pump == 0) r.host.abort_on_pump = r.host.pumps;
      };
    }
    TakePhoto(r.rig, [&r](int n, int ms) { r.shown.push_back({n, ms}); });
    EndCameraCommand(r.rig);
    ASSERT_EQ(r.shown.size(), static_cast<size_t>(c.count));
    EXPECT_EQ(fits.fits_date_obs, c.date);
    EXPECT_EQ(fits.fits_time_obs.substr(0, std::string(c.time).size()), c.time) << fits.fits_time_obs;
    EXPECT_EQ(fits.fits_time_obs.size(), 8u);
    EXPECT_DOUBLE_EQ(fits.fits_exposure, c.exptime);
    EXPECT_FALSE(std::filesystem::exists(r.dir.path() / "autosave" / "IMG1.FIT"));
    // The program's own FITS file takes them in its fixed cards, its length unchanged.
    const auto file_path = r.dir.path() / "saved.fit";
    ASSERT_EQ(WriteFitsFile(file_path, r.rig.session.store.CurrentFrame, r.rig.session.store, fits, false),
              kFitsOk);
    const auto file = test::ReadBytes(file_path);
    EXPECT_EQ(file.size(), 303040u);
    EXPECT_EQ(Card(file, "DATE-OBS=").substr(0, 22), std::string("DATE-OBS= '") + c.date + "'");
    EXPECT_EQ(Card(file, "TIME-OBS=").substr(0, 11 + std::string(c.time).size()),
              std::string("TIME-OBS= '") + c.time);
  }
}

TEST(ExposureRun, DarkFrameIsReadOncePerCommandAndSubtracted) {
  RunRig r;
  Frame dark{};
  dark.fill(900);
  // A native monochrome raw file holds the 295,800-byte dark frame.
  std::vector<unsigned char> bytes(295800, 0);
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int c = 0; c < 510; ++c) {
      const size_t at = (static_cast<size_t>(row) * 510 + c) * 2;
      if (at + 1 < bytes.size()) {
        bytes[at] = 900 & 0xFF;
        bytes[at + 1] = 900 >> 8;
      }
    }
  }
  test::WriteBytes(r.dir.path() / "dark.def", bytes);
  r.rig.run.ExposureUnit = 't';
  r.rig.run.ExposureValue = 1;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  TakePhoto(r.rig);
  const Frame plain = r.rig.session.store.CurrentFrame;
  r.rig.run.AutoRemoveDark = true;
  TakePhoto(r.rig);
  EXPECT_TRUE(r.rig.state.DarkFrameLoaded);
  const Frame& subtracted = r.rig.session.store.CurrentFrame;
  // The quiet simulator gives the same 0.1 s frame twice (the sky stands still).
  int checked = 0;
  for (int row = 20; row < 280; row += 37) {
    for (int c = 20; c < 500; c += 41) {
      const int i = PixelIndex(row, c);
      EXPECT_EQ(subtracted[i], plain[i] > 900 ? plain[i] - 900 : 0);
      ++checked;
    }
  }
  EXPECT_GT(checked, 50);
  EXPECT_EQ(r.host.boxes.size(), 0u);
}

TEST(ExposureRun, ContinuousRunUntilAbortSavesEveryFrame) {
  RunRig r;
  r.rig.run.ExposureUnit = 's';
  r.rig.run.ExposureValue = 5;
  r.rig.run.ContinuousMode = true;
  r.rig.run.AutoSave = true;
  r.rig.run.PauseMinutes = 1;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  const uint32_t start = r.clock.NowMs();
  // Each turn: 5 s exposure, 1 s wait, 60 s pause. Stop in the fourth turn's exposure.
  r.AbortAt(start + 3 * 66000 + 2000);
  TakePhoto(r.rig, [&r](int n, int ms) { r.shown.push_back({n, ms}); });
  EXPECT_EQ(r.shown.size(), 3u);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_TRUE(std::filesystem::exists(r.dir.path() / "autosave" / ("IMG" + std::to_string(n) + ".FIT")));
  }
  EXPECT_FALSE(std::filesystem::exists(r.dir.path() / "autosave" / "IMG4.FIT"));
  EXPECT_FALSE(r.rig.run.ContinuousMode);
  const auto& captions = r.host.progress_captions;
  EXPECT_EQ(std::count(captions.begin(), captions.end(), "Pause between exposures"), 3);
}

TEST(ExposureRun, CountdownCaptionsAndBeeps) {
  RunRig r;
  r.rig.run.ExposureUnit = 't';
  r.rig.run.ExposureValue = 1;
  r.rig.run.DelayBeforeExposure = true;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  const uint32_t start = r.clock.NowMs();
  TakePhoto(r.rig);
  std::vector<std::string> expected;
  for (int n = 10; n >= 1; --n) expected.push_back("EXPOSURE DELAY (Left - " + std::to_string(n) + ")");
  std::vector<std::string> delay;
  for (const auto& c : r.host.progress_captions) {
    if (c.rfind("EXPOSURE DELAY", 0) == 0) delay.push_back(c);
  }
  // The window opens with the first caption, then each step sets its own.
  ASSERT_EQ(delay.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(delay.begin() + 1, delay.end()), expected);
  EXPECT_EQ(r.host.beeps.size(), 10u);
  EXPECT_GE(ElapsedMs(r.clock.NowMs(), start), 10000);
}

TEST(ExposureRun, FailedReadoutKeepsPictureSavesNothingAndRescans) {
  RunRig r;
  r.rig.run.ExposureUnit = 's';
  r.rig.run.ExposureValue = 1;
  r.rig.run.ContinuousMode = true;
  r.rig.run.AutoSave = true;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  const Frame before = r.rig.session.store.CurrentFrame;
  r.sim.read_error = ENODEV;
  TakePhoto(r.rig);
  EXPECT_TRUE(r.rig.session.store.CurrentFrame == before);
  EXPECT_FALSE(std::filesystem::exists(r.dir.path() / "autosave" / "IMG1.FIT"));
  const auto texts = r.host.Texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Error 19 trying to read BlockIO data from USB\n"), 1);
  EXPECT_FALSE(r.rig.camera.CameraPresent);
  EXPECT_FALSE(r.rig.state.ContinuousRun);
  // Unplugged: the next camera command scans again and finds nothing.
  r.sim.read_error = 0;
  r.sim.connected = false;
  r.host.Clear();
  EXPECT_FALSE(BeginCameraCommand(r.rig));
  EXPECT_EQ(r.host.Texts().back(), "Sorry, No camera found on USB");
}

TEST(ExposureRun, NoCameraShowsMessage) {
  RunRig r;
  r.sim.connected = false;
  EXPECT_FALSE(BeginCameraCommand(r.rig));
  EXPECT_EQ(r.host.Texts().back(), "Sorry, No camera found on USB");
  EXPECT_EQ(r.rig.session.files.DarkFrameFile, "c:\\dark.def");
  EXPECT_EQ(r.rig.run.FlatFieldFile, "c:\\flat.def");
}

TEST(FocusMode, RefusalsFramesAndMaximum) {
  struct Case {
    char unit;
    int value;
    bool runs;
  };
  for (const Case c :
       {Case{'m', 1, false}, Case{'s', 100, false}, Case{'h', 10, true}, Case{'s', 99, true}}) {
    SCOPED_TRACE(testing::Message() << c.unit << c.value);
    RunRig r;
    r.rig.session.settings.focus_delay = false;
    ASSERT_TRUE(BeginCameraCommand(r.rig));
    r.rig.run.ExposureUnit = c.unit;
    r.rig.run.ExposureValue = c.value;
    const size_t from = r.sim.commands.size();
    std::vector<int> maxima;
    const bool ran = RunFocusMode(r.rig, {[&](int m) {
                                            maxima.push_back(m);
                                            return maxima.size() < 3;
                                          },
                                          {}});
    EXPECT_EQ(ran, c.runs);
    if (!c.runs) {
      EXPECT_EQ(r.sim.commands.size(), from);
      continue;
    }
    ASSERT_EQ(maxima.size(), 3u);
    // The bright star sits in the default window: its peak, not the hot pixel, is the maximum.
    EXPECT_GT(maxima[0], 100);
    const auto cmds = r.Since(from);
    int window_reads = 0;
    for (const auto& cmd : cmds) window_reads += cmd.bytes[0] == 4 && cmd.bytes[7] == 1;
    EXPECT_EQ(window_reads, 3);
    EXPECT_EQ(r.rig.session.store.FocusMode, 0);
    EXPECT_TRUE(std::filesystem::exists(r.dir.path() / "nyxelf.bmp"));
    EXPECT_EQ(std::filesystem::file_size(r.dir.path() / "nyxelf.bmp"), 17462u);
  }
}

TEST(FocusMode, PauseDialogAndClickEndIt) {
  RunRig r;
  r.rig.session.settings.focus_delay = true;
  r.rig.run.ExposureUnit = 'h';
  r.rig.run.ExposureValue = 10;
  r.rig.run.PauseBetweenExposures = true;
  ASSERT_TRUE(BeginCameraCommand(r.rig));
  int frames = 0, asked = 0;
  RunFocusMode(r.rig, {[&](int) { return ++frames < 10; }, [&] { return ++asked < 2; }});
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(asked, 2);
  // A click during the one-second delay ends focus mode too.
  frames = 0;
  r.rig.run.PauseBetweenExposures = false;
  r.AbortAt(r.clock.NowMs() + 1500);
  RunFocusMode(r.rig, {[&](int) { return ++frames < 10; }, {}});
  EXPECT_EQ(frames, 2);
}

// However focus mode ends, the photo it found comes back byte for byte and is on display again.
TEST(FocusMode, GivesThePhotoBack) {
  struct Case {
    const char* name;
    bool colour;
    int ends;  // 0 the dialog's hook, 1 a click, 2 "Stop" in the pause dialog
  };
  for (const Case c :
       {Case{"grey, hook", false, 0}, Case{"colour, click", true, 1}, Case{"grey, pause dialog", false, 2}}) {
    SCOPED_TRACE(c.name);
    RunRig r;
    ImageStore& store = r.rig.session.store;
    r.rig.session.settings.focus_delay = false;
    r.rig.run.AutoColourConvert = c.colour;
    r.Photo();
    ASSERT_EQ(store.ColourConverted, c.colour ? 1 : 0);
    const test::PictureState before(store);
    const auto display = r.dir.path() / "nyxel.bmp";
    const auto shown = test::ReadBytes(display);

    ASSERT_TRUE(BeginCameraCommand(r.rig));
    r.rig.run.ExposureUnit = 'h';
    r.rig.run.ExposureValue = 10;
    r.rig.run.PauseBetweenExposures = c.ends == 2;
    r.host.answers.clear();
    int frames = 0;
    bool spoiled = false;
    RunFocusMode(r.rig, {[&](int) {
                           spoiled = spoiled || !(store.CurrentFrame == before.current);
                           // A click after the third frame.
                           if (++frames == 3 && c.ends == 1) r.host.abort_on_pump = r.host.pumps + 1;
                           return frames < 3 || c.ends != 0;
                         },
                         [&] { return frames < 3; }});
    EndCameraCommand(r.rig);
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(spoiled) << "the focus windows were read into the photo's frame";
    before.ExpectSame(store);
    ASSERT_FALSE(r.host.shown_bitmaps.empty());
    EXPECT_EQ(r.host.shown_bitmaps.back(), display);
    EXPECT_EQ(test::ReadBytes(display), shown);
  }
}

TEST(FocusFrameCentre, ClickRuleAndMessage) {
  struct Case {
    bool rv;
    int x, y;
    int wx, wy;
  };
  const Case cases[] = {
      {false, 500, 10, 376, 1},   {false, 66, 64, 3, 1},           {false, 67, 65, 3, 1},
      {false, 200, 150, 136, 86}, {false, 431, 225, 367, 161 - 0}, {false, 432, 226, 376, 160},
      {true, 100, 373, 36, 160},  {true, 100, 100, 36, 13},        {true, 100, 200, 36, 91},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + (c.rv ? " rv" : ""));
    RunRig r;
    r.rig.session.store.RvGeometry = c.rv;
    const std::string text = FocusFrameCentreClick(r.rig, c.x, c.y);
    const int raw_y = c.rv ? c.y * 290 / 373 : c.y;
    const int wy = raw_y <= 64 ? 1 : raw_y < 226 ? raw_y - 64 : 160;
    EXPECT_EQ(r.rig.camera.FocusWindowX, c.wx);
    EXPECT_EQ(r.rig.camera.FocusWindowY, wy);
    if (!c.rv) {
      EXPECT_EQ(wy, c.wy);
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "x position = %5d\ny position = %5d", c.wx + 64, wy + 64);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(r.host.Texts().back(), expected);
  }
  RunRig r;
  FocusFrameCentreClick(r.rig, 500, 10);
  EXPECT_EQ(r.host.Texts().back(), "x position =   440\ny position =    65");
  DefaultFocusFrameCentre(r.rig.camera);
  EXPECT_EQ(r.rig.camera.FocusWindowX, 184);
  EXPECT_EQ(r.rig.camera.FocusWindowY, 65);
}

TEST(RunSettings, UnitTable) {
  struct Case {
    char unit;
    int max;
    int value;
    const char* word;
  };
  for (const Case c :
       {Case{'q', 500, 5, "thousandths"}, Case{'h', 500, 5, "hundredths"}, Case{'t', 100, 1, "tenths"},
        Case{'s', 300, 1, "seconds"}, Case{'m', 90, 1, "minutes"}}) {
    RunSettings run;
    run.ExposureValue = 77;
    SelectExposureUnit(run, c.unit);
    EXPECT_EQ(run.ExposureUnit, c.unit);
    EXPECT_EQ(run.ExposureMax, c.max);
    EXPECT_EQ(run.ExposureValue, c.value);
    EXPECT_STREQ(UnitWord(c.unit), c.word);
  }
}

}  // namespace
}  // namespace nyxel
