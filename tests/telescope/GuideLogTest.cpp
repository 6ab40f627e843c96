#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/RecordingHost.h"
#include "telescope/GuideLog.h"
#include "telescope/Guiding.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

GuideFrameReport Report(uint32_t ms, int x, int xt, int y, int yt, int dx, int dy, std::string pulses) {
  GuideFrameReport r;
  r.clock_ms = ms;
  r.star = {x, y, xt, yt};
  r.drift_x = dx;
  r.drift_y = dy;
  r.pulses = std::move(pulses);
  return r;
}

TEST(GuideLog, SamplesPulsesAndRms) {
  struct Case {
    std::string pulses;
    int ra, dec;
  };
  for (const Case& c : {Case{"-", 0, 0}, Case{"e120", 120, 0}, Case{"w35 n40", -35, 40}, Case{"s7", 0, -7},
                        Case{"e10 s20", 10, -20}}) {
    const GuideSample s = SampleOf(Report(5, 100, 3, 50, 9, 0, 0, c.pulses));
    EXPECT_EQ(s.ra_pulse_ms, c.ra) << c.pulses;
    EXPECT_EQ(s.dec_pulse_ms, c.dec) << c.pulses;
    EXPECT_DOUBLE_EQ(s.star_x, 100.3);
    EXPECT_DOUBLE_EQ(s.star_y, 50.9);
  }
  // Offsets are star minus reference: a positive drift (reference right of the star) is a negative offset.
  EXPECT_DOUBLE_EQ(SampleOf(Report(0, 0, 0, 0, 0, 1500, -200, "-")).OffsetX(), -1.5);
  EXPECT_DOUBLE_EQ(SampleOf(Report(0, 0, 0, 0, 0, 1500, -200, "-")).OffsetY(), 0.2);

  GuideHistory h;
  // Ten minutes at one frame every 3 s: x alternates +-300, y is 400 for the last minute only.
  for (uint32_t t = 0; t <= 600000; t += 3000) {
    const int dx = (t / 3000) % 2 ? 300 : -300;
    const int dy = t >= 540000 ? 400 : 0;
    h.Add(SampleOf(Report(t, 0, 0, 0, 0, dx, dy, "-")));
  }
  const GuideRms minute = h.Rms(60000);
  EXPECT_EQ(minute.samples, 21);
  EXPECT_NEAR(minute.x, 0.3, 1e-12);
  EXPECT_NEAR(minute.y, 0.4, 1e-12);
  EXPECT_NEAR(minute.both, 0.5, 1e-12);
  const GuideRms all = h.Rms(20 * 60000);
  EXPECT_EQ(all.samples, 201);
  EXPECT_NEAR(all.y, 0.4 * std::sqrt(21.0 / 201), 1e-12);
  // The history keeps twenty minutes only.
  h.Add(SampleOf(Report(600000 + 20 * 60000, 0, 0, 0, 0, 0, 0, "-")));
  EXPECT_EQ(h.Samples().front().clock_ms, 600000u);
}

TEST(GuideLog, FileParsesAsColumnsAndMatchesTheGraph) {
  test::TestSession t;
  Session& s = t.session;
  s.settings.ra_pixels_per_sec = 5;
  s.settings.dec_pixels_per_sec = 4;
  GuideRecorder recorder;
  int changes = 0;
  recorder.changed = [&] { ++changes; };
  const std::time_t start = test::Utc(2026, 12, 9, 1, 2, 3);
  ASSERT_TRUE(recorder.Begin(s, 1000, start));
  for (uint32_t i = 0; i < 200; ++i) {
    char pulses[32] = "-";
    if (i % 4) std::snprintf(pulses, sizeof pulses, "e%u s12", i);
    recorder.Frame(Report(1000 * i, 60 + int(i % 3), int(i % 10), 64, 5, int(i * 37 % 900) - 450,
                          int(i * 53 % 700) - 350, pulses));
  }
  const auto path = recorder.End();
  EXPECT_EQ(path.filename(), "GUIDE-20261209-010203.LOG");
  EXPECT_EQ(path.parent_path(), s.drive.Resolve("c:\\AUTOSAVE"));
  EXPECT_EQ(changes, 202);

  std::ifstream in(path);
  std::string line;
  int header = 0, rows = 0;
  double sx = 0, sy = 0;
  bool settings_seen = false;
  while (std::getline(in, line)) {
    if (line[0] == '#') {
      ++header;
      settings_seen |= line.find("guide rates 5 4 px/s") != std::string::npos;
      continue;
    }
    if (line.rfind("clock_ms\t", 0) == 0) continue;
    std::istringstream cols(line);
    uint32_t ms;
    double x, y;
    int dx, dy, ra, dec;
    std::string pulses;
    ASSERT_TRUE(cols >> ms >> x >> y >> dx >> dy >> ra >> dec >> pulses) << line;
    EXPECT_EQ(ms, 1000u * rows);
    sx += dx / 1000.0 * dx / 1000.0;
    sy += dy / 1000.0 * dy / 1000.0;
    ++rows;
  }
  EXPECT_EQ(rows, 200);
  EXPECT_GE(header, 3);
  EXPECT_TRUE(settings_seen);
  const GuideRms graph = recorder.history.Rms(20 * 60000);
  EXPECT_NEAR(std::sqrt(sx / rows), graph.x, 0.01);
  EXPECT_NEAR(std::sqrt(sy / rows), graph.y, 0.01);

  // A second run started in the same second never replaces the first log.
  EXPECT_FALSE(recorder.Begin(s, 1000, start));
  recorder.Frame(Report(0, 0, 0, 0, 0, 0, 0, "-"));  // guides on without a log
  EXPECT_TRUE(recorder.End().empty());
  EXPECT_EQ(std::filesystem::file_size(path) > 0, true);
}

}  // namespace
}  // namespace nyxel
