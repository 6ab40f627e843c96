#include "telescope/GuideLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <sstream>

#include "files/UniversalTime.h"
#include "telescope/Guiding.h"

namespace nyxel {

GuideSample SampleOf(const GuideFrameReport& report) {
  GuideSample s;
  s.clock_ms = report.clock_ms;
  s.star_x = report.star.x + report.star.x_tenths * 0.1;
  s.star_y = report.star.y + report.star.y_tenths * 0.1;
  s.drift_x = report.drift_x;
  s.drift_y = report.drift_y;
  s.pulses = report.pulses.empty() ? "-" : report.pulses;
  // "e120 n40": each pulse is the letter sent and its length; east-west is the RA axis.
  std::istringstream in(s.pulses);
  for (std::string word; in >> word;) {
    if (word.size() < 2) continue;
    const int ms = std::atoi(word.c_str() + 1);
    switch (word[0]) {
      case 'e':
        s.ra_pulse_ms += ms;
        break;
      case 'w':
        s.ra_pulse_ms -= ms;
        break;
      case 'n':
        s.dec_pulse_ms += ms;
        break;
      case 's':
        s.dec_pulse_ms -= ms;
        break;
      default:
        break;
    }
  }
  return s;
}

GuideRms RmsOf(const std::deque<GuideSample>& samples, uint32_t window_ms) {
  GuideRms rms;
  if (samples.empty()) return rms;
  const uint32_t newest = samples.back().clock_ms;
  double sx = 0, sy = 0;
  for (auto it = samples.rbegin(); it != samples.rend(); ++it) {
    if (static_cast<uint32_t>(newest - it->clock_ms) > window_ms) break;
    sx += it->OffsetX() * it->OffsetX();
    sy += it->OffsetY() * it->OffsetY();
    ++rms.samples;
  }
  rms.x = std::sqrt(sx / rms.samples);
  rms.y = std::sqrt(sy / rms.samples);
  rms.both = std::sqrt((sx + sy) / rms.samples);
  return rms;
}

void GuideHistory::Add(const GuideSample& sample) {
  samples_.push_back(sample);
  while (!samples_.empty() && static_cast<uint32_t>(sample.clock_ms - samples_.front().clock_ms) > kKeepMs) {
    samples_.pop_front();
  }
}

GuideRms GuideHistory::Rms(uint32_t window_ms) const {
  return RmsOf(samples_, window_ms);
}

std::string GuideLogName(std::time_t start, int ut_offset_hours) {
  const CivilTime t = UniversalTime(start, ut_offset_hours);
  char name[64];
  std::snprintf(name, sizeof name, "GUIDE-%04d%02d%02d-%02d%02d%02d.LOG", t.year % 10000, t.month % 100,
                t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return name;
}

bool GuideLog::Open(const std::filesystem::path& file, const Settings& s, int guiding_exposure_ms,
                    std::time_t start) {
  Close();
  // O_EXCL: a log never replaces another (two runs started in the same second).
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  file_ = ::fdopen(fd, "w");
  if (file_ == nullptr) {
    ::close(fd);
    return false;
  }
  path_ = file;
  lines_ = 0;
  const CivilTime t = UniversalTime(start, s.ut_offset_hours);
  std::fprintf(file_, "# Nyxel guide log, started %04d-%02d-%02dT%02d:%02d:%02d UT\n", t.year, t.month, t.day,
               t.hour, t.minute, t.second);
  std::fprintf(file_, "# interface %c, guide rates %d %d px/s (ra dec), backlash %d %d, hysteresis %d %d\n",
               s.guide_interface, s.ra_pixels_per_sec, s.dec_pixels_per_sec, s.ra_backlash, s.dec_backlash,
               s.ra_hysteresis, s.dec_hysteresis);
  std::fprintf(file_,
               "# thresholds: no correction above 10000 thousandths; an axis is corrected above %d "
               "(ignore_small_drift %s); direction_change_delay %s; drive_directions %.4s\n",
               s.ignore_small_drift ? 300 : 30, s.ignore_small_drift ? "on" : "off",
               s.direction_change_delay ? "on" : "off", s.drive_directions.data());
  std::fprintf(file_, "# guiding exposure %d ms, search radius %d\n", guiding_exposure_ms,
               s.guide_mask_radius);
  std::fprintf(file_, "clock_ms\tstar_x\tstar_y\tdrift_x\tdrift_y\tra_pulse_ms\tdec_pulse_ms\tpulses\n");
  std::fflush(file_);
  return true;
}

void GuideLog::Write(const GuideSample& sample) {
  if (file_ == nullptr) return;
  std::fprintf(file_, "%u\t%.1f\t%.1f\t%d\t%d\t%d\t%d\t%s\n", sample.clock_ms, sample.star_x, sample.star_y,
               sample.drift_x, sample.drift_y, sample.ra_pulse_ms, sample.dec_pulse_ms,
               sample.pulses.c_str());
  std::fflush(file_);
  ++lines_;
}

void GuideLog::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool GuideRecorder::Begin(Session& session, int guiding_exposure_ms, std::time_t start) {
  history.Clear();
  last_log.clear();
  running = true;
  std::error_code ec;
  const std::filesystem::path folder = session.drive.Resolve(session.settings.autosave_dir);
  std::filesystem::create_directories(folder, ec);
  const bool opened = log.Open(folder / GuideLogName(start, session.settings.ut_offset_hours),
                               session.settings, guiding_exposure_ms, start);
  if (changed) changed();
  return opened;
}

void GuideRecorder::Frame(const GuideFrameReport& report) {
  const GuideSample sample = SampleOf(report);
  history.Add(sample);
  log.Write(sample);
  if (changed) changed();
}

std::filesystem::path GuideRecorder::End() {
  running = false;
  const std::filesystem::path written = log.IsOpen() ? log.Path() : std::filesystem::path();
  log.Close();
  last_log = written;
  if (changed) changed();
  return written;
}

}  // namespace nyxel
