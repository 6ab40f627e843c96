#pragma once
// What a guiding run leaves behind for study: the samples the guiding graph plots (the star's offset from
// the reference and the pulses sent, against time) and a text log in the autosave folder with one line per
// guide frame, written as it goes so that a crash keeps everything guided until then.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>

#include "files/Session.h"
#include "files/Settings.h"

namespace nyxel {

struct GuideFrameReport;  // telescope/Guiding.h

// One guide frame.
struct GuideSample {
  uint32_t clock_ms = 0;
  double star_x = 0, star_y = 0;  // the centre found, pixels with tenths
  int drift_x = 0, drift_y = 0;   // DriftX, DriftY: thousandths of a pixel, reference minus star
  int ra_pulse_ms = 0;            // signed: east (or the letter sent for it) positive, west negative
  int dec_pulse_ms = 0;           // north positive, south negative
  std::string pulses;             // as sent, e.g. "e120 n40"; "-" for none
  // The star's offset from the reference in pixels (star minus reference).
  double OffsetX() const { return -drift_x / 1000.0; }
  double OffsetY() const { return -drift_y / 1000.0; }
};

GuideSample SampleOf(const GuideFrameReport& report);

// Root mean square offsets over a stretch of samples.
struct GuideRms {
  double x = 0, y = 0, both = 0;  // pixels; both = sqrt(mean(dx^2 + dy^2))
  int samples = 0;
};

// The samples of the guiding run under way, kept for the longest window the graph offers.
class GuideHistory {
 public:
  static constexpr uint32_t kKeepMs = 20u * 60u * 1000u;
  void Clear() { samples_.clear(); }
  void Add(const GuideSample& sample);
  const std::deque<GuideSample>& Samples() const { return samples_; }
  // Over the samples of the last `window_ms` before the newest one.
  GuideRms Rms(uint32_t window_ms) const;

 private:
  std::deque<GuideSample> samples_;
};

GuideRms RmsOf(const std::deque<GuideSample>& samples, uint32_t window_ms);

// "GUIDE-yyyymmdd-hhmmss.LOG" from the run's start in universal time.
std::string GuideLogName(std::time_t start, int ut_offset_hours);

// The log of one run: a header of '#' lines with the run's settings, a column heading, then one line per
// frame, each flushed as it is written. A log is appended to as it goes rather than written atomically:
// what matters is keeping every line guided so far.
class GuideLog {
 public:
  GuideLog() = default;
  ~GuideLog() { Close(); }
  GuideLog(const GuideLog&) = delete;
  GuideLog& operator=(const GuideLog&) = delete;

  // Creates the file (never over an existing one). False when it cannot be created.
  bool Open(const std::filesystem::path& file, const Settings& settings, int guiding_exposure_ms,
            std::time_t start);
  void Write(const GuideSample& sample);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  const std::filesystem::path& Path() const { return path_; }
  int Lines() const { return lines_; }

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  int lines_ = 0;
};

// One guiding run's samples and log together; the graph window listens to `changed`.
class GuideRecorder {
 public:
  // Starts a run: clears the samples and opens a log named from `start` in the autosave folder. False
  // when the log cannot be created (the run guides on without one).
  bool Begin(Session& session, int guiding_exposure_ms, std::time_t start);
  void Frame(const GuideFrameReport& report);
  // Ends the run and returns the log written ("" when none).
  std::filesystem::path End();

  GuideHistory history;
  GuideLog log;
  std::function<void()> changed;
  bool running = false;
  std::filesystem::path last_log;  // what the last run wrote ("" when it could not)
};

}  // namespace nyxel
