#include "telescope/sim/SimulatedMount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>

#include "telescope/Catalogue.h"

namespace nyxel {
namespace {

constexpr size_t kCommandLimit = 40;
constexpr double kFocusFastSteps = 100;  // focuser steps per second
constexpr double kFocusSlowSteps = 10;

int Sign(double v) {
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}

int DirectionIndex(char letter) {
  switch (letter) {
    case 'n':
      return 0;
    case 's':
      return 1;
    case 'e':
      return 2;
    case 'w':
      return 3;
    default:
      return -1;
  }
}

// "HH:MM.T" or "HH:MM:SS" (minutes of RA); false when it is not a valid time.
bool ParseRa(const std::string& text, int& minutes) {
  int h = 0, m = 0;
  char sep = 0;
  if (std::sscanf(text.c_str(), " %d:%d%c", &h, &m, &sep) < 2) return false;
  if (h < 0 || h > 23 || m < 0 || m > 59) return false;
  minutes = h * 60 + m;
  return true;
}

// "sDD*MM" (whole degrees kept).
bool ParseDec(const std::string& text, int& degrees) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos || (text[i] != '+' && text[i] != '-')) return false;
  const int sign = text[i] == '-' ? -1 : 1;
  int d = 0, m = 0;
  if (std::sscanf(text.c_str() + i + 1, "%d*%d", &d, &m) != 2) return false;
  if (d < 0 || d > 90 || m < 0 || m > 59) return false;
  degrees = sign * d;
  return true;
}

}  // namespace

SimulatedMount::SimulatedMount(SimulatedSky& sky, SimulatedMountOptions options)
    : sky_(sky), options_(options), last_update_(sky.clock().NowMs()) {
  if (options_.drift_x != 0 || options_.drift_y != 0) {
    const SkyOffset d = sky_.Drift();
    sky_.SetDrift(d.x + options_.drift_x, d.y + options_.drift_y);
  }
  if (options_.periodic_error != 0 && options_.periodic_period_s > 0) {
    const double w = 2 * std::numbers::pi / options_.periodic_period_s;
    const double t = last_update_ / 1000.0;
    periodic_rate_ = options_.periodic_error * w * std::cos(w * t);
    sky_.MovePointing(options_.periodic_error * std::sin(w * t), 0);
    const SkyOffset d = sky_.Drift();
    sky_.SetDrift(d.x + periodic_rate_, d.y);
  }
}

int SimulatedMount::Record(const std::string& text) {
  calls.push_back({sky_.clock().NowMs(), text});
  if (fail_call && text.compare(0, fail_call->size(), *fail_call) == 0 &&
      (text.size() == fail_call->size() || text[fail_call->size()] == ' ')) {
    return fail_code;
  }
  return 0;
}

int SimulatedMount::Reset(int port, int rx_queue, int tx_queue) {
  const int result = Record("Reset " + std::to_string(port) + " " + std::to_string(rx_queue) + " " +
                            std::to_string(tx_queue));
  if (result < 0) return result;
  if (port < 0 || port > 1) return kSerialNoDevice;
  open_ = true;
  port_ = port;
  answer_.clear();
  return 0;
}

int SimulatedMount::Baud(int code) {
  const int result = Record("Baud " + std::to_string(code));
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  if (code != kBaud300 && code != kBaud9600) return kSerialBadBaud;
  baud_ = code;
  return 0;
}

int SimulatedMount::Parms(int parity, int stop_bits, int data_bits) {
  const int result = Record("Parms " + std::to_string(parity) + " " + std::to_string(stop_bits) + " " +
                            std::to_string(data_bits));
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  return parity == 0 && stop_bits == 0 && data_bits == 8 ? 0 : kSerialBadParms;
}

int SimulatedMount::Dtr(char command) {
  const int result = Record(std::string("Dtr ") + command);
  if (result < 0) return result;
  return open_ ? 0 : kSerialNotOpen;
}

int SimulatedMount::Rts(char command) {
  const int result = Record(std::string("Rts ") + command);
  if (result < 0) return result;
  return open_ ? 0 : kSerialNotOpen;
}

int SimulatedMount::Puts(const char* text, int n) {
  const int result = Record("Puts " + std::string(text, static_cast<size_t>(std::max(n, 0))));
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  Receive(text, static_cast<size_t>(std::max(n, 0)));
  return n;
}

int SimulatedMount::Putc(uint8_t byte) {
  const int result = Record("Putc " + std::to_string(byte));
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  const char c = static_cast<char>(byte);
  Receive(&c, 1);
  return 0;
}

int SimulatedMount::Gets(char* dest, int n) {
  const int result = Record("Gets " + std::to_string(n));
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  int count = 0;
  while (count < n && !answer_.empty()) {
    const char c = answer_.front();
    answer_.pop_front();
    dest[count++] = c;
    if (c == '#') break;
  }
  return count;
}

int SimulatedMount::RxClear() {
  const int result = Record("RxClear");
  if (result < 0) return result;
  if (!open_) return kSerialNotOpen;
  answer_.clear();
  return 0;
}

int SimulatedMount::Done() {
  Record("Done");
  open_ = false;
  return 0;
}

void SimulatedMount::Receive(const char* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    Update();
    const uint8_t b = static_cast<uint8_t>(data[i]);
    bytes.push_back({sky_.clock().NowMs(), b});
    Byte(b);
  }
}

std::string SimulatedMount::TakeAnswer() {
  std::string text(answer_.begin(), answer_.end());
  answer_.clear();
  return text;
}

std::string SimulatedMount::ReceivedText() const {
  std::string text;
  for (const auto& b : bytes) text.push_back(static_cast<char>(b.value));
  return text;
}

void SimulatedMount::Answer(std::string_view text) {
  if (answers) answer_.insert(answer_.end(), text.begin(), text.end());
}

void SimulatedMount::Update() {
  const uint32_t now = sky_.clock().NowMs();
  const int32_t elapsed = ElapsedMs(now, last_update_);
  if (elapsed <= 0) return;
  const double dt = elapsed / 1000.0;
  // North-south motion inside the dead band moves the drive but not the telescope: the sky gives
  // that much back.
  if (motion_y_ != 0) {
    const double moved = std::abs(motion_y_) * dt;
    const double room = motion_y_ > 0 ? options_.dec_backlash - dec_play_ : dec_play_;
    const double taken = std::clamp(std::min(room, moved), 0.0, moved);
    dec_play_ += Sign(motion_y_) * taken;
    sky_.MovePointing(0, -Sign(motion_y_) * taken);
  }
  // The periodic error is exact here and linear in between.
  if (options_.periodic_error != 0 && options_.periodic_period_s > 0) {
    const double w = 2 * std::numbers::pi / options_.periodic_period_s;
    const double t0 = last_update_ / 1000.0, t1 = now / 1000.0;
    const double a = options_.periodic_error;
    sky_.MovePointing(a * (std::sin(w * t1) - std::sin(w * t0)) - periodic_rate_ * dt, 0);
    const double rate = a * w * std::cos(w * t1);
    const SkyOffset d = sky_.Drift();
    sky_.SetDrift(d.x + rate - periodic_rate_, d.y);
    periodic_rate_ = rate;
  }
  focus_position_ += focus_direction_ * (focus_speed_ == 'F' ? kFocusFastSteps : kFocusSlowSteps) * dt;
  last_update_ = now;
}

void SimulatedMount::SetDrift(double x_pixels_per_s, double y_pixels_per_s) {
  Update();
  const SkyOffset d = sky_.Drift();
  sky_.SetDrift(d.x - options_.drift_x + x_pixels_per_s, d.y - options_.drift_y + y_pixels_per_s);
  options_.drift_x = x_pixels_per_s;
  options_.drift_y = y_pixels_per_s;
}

void SimulatedMount::SetPeriodicError(double amplitude, double period_s) {
  Update();
  const double t = sky_.clock().NowMs() / 1000.0;
  // Take the old error out where it stands now, then put the new one in at its phase of the moment.
  if (options_.periodic_error != 0 && options_.periodic_period_s > 0) {
    const double w = 2 * std::numbers::pi / options_.periodic_period_s;
    sky_.MovePointing(-options_.periodic_error * std::sin(w * t), 0);
  }
  double rate = 0;
  if (amplitude != 0 && period_s > 0) {
    const double w = 2 * std::numbers::pi / period_s;
    rate = amplitude * w * std::cos(w * t);
    sky_.MovePointing(amplitude * std::sin(w * t), 0);
  }
  const SkyOffset d = sky_.Drift();
  sky_.SetDrift(d.x - periodic_rate_ + rate, d.y);
  periodic_rate_ = rate;
  options_.periodic_error = amplitude;
  options_.periodic_period_s = period_s;
}

void SimulatedMount::SetGuideRates(double x_pixels_per_s, double y_pixels_per_s) {
  Update();
  options_.guide_rate_x = x_pixels_per_s;
  options_.guide_rate_y = y_pixels_per_s;
  SetMotion();
}

void SimulatedMount::SetDecBacklash(double pixels) {
  Update();
  // A drive against the northern flank stays there; elsewhere it keeps its place in the new band.
  const bool north = options_.dec_backlash > 0 ? dec_play_ >= options_.dec_backlash : dec_last_ > 0;
  options_.dec_backlash = std::max(pixels, 0.0);
  dec_play_ = north ? options_.dec_backlash : std::min(dec_play_, options_.dec_backlash);
}

void SimulatedMount::SetMirror(bool on) {
  Update();
  options_.mirror = on;
  SetMotion();
}

double SimulatedMount::RateFactor() const {
  switch (rate_) {
    case 'S':
      return options_.slew_factor;
    case 'M':
      return options_.find_factor;
    case 'C':
      return options_.centre_factor;
    default:
      return 1;
  }
}

void SimulatedMount::SetMotion() {
  const double f = RateFactor();
  double x = ((lx_moving_[2] ? 1 : 0) - (lx_moving_[3] ? 1 : 0)) * options_.guide_rate_x * f;
  double y = ((lx_moving_[0] ? 1 : 0) - (lx_moving_[1] ? 1 : 0)) * options_.guide_rate_y * f;
  x += (((relays_ & 1) ? 1 : 0) - ((relays_ & 8) ? 1 : 0)) * options_.guide_rate_x;
  y += (((relays_ & 2) ? 1 : 0) - ((relays_ & 4) ? 1 : 0)) * options_.guide_rate_y;
  if (options_.mirror) x = -x;
  if (y != 0) dec_last_ = Sign(y);
  if (y != 0 && !dec_engaged_) {
    dec_play_ = y > 0 ? options_.dec_backlash : 0;
    dec_engaged_ = true;
  }
  if (x == motion_x_ && y == motion_y_) return;
  const SkyOffset d = sky_.Drift();
  sky_.SetDrift(d.x + (x - motion_x_), d.y + (y - motion_y_));
  motion_x_ = x;
  motion_y_ = y;
}

void SimulatedMount::Byte(uint8_t byte) {
  if (byte < 0x20) {
    // The control box: a direction byte readies a relay, the same with 0x10 closes it, 0 (or the
    // reset byte 13) releases them all.
    if (byte & 0x10) {
      relays_ = byte & 0x0f;
    } else if (byte == 0 || byte == 13) {
      relays_ = 0;
    }
    SetMotion();
    return;
  }
  const char c = static_cast<char>(byte);
  if (c == ':' && !in_command_) {
    in_command_ = true;
    command_.clear();
  } else if (c == '#') {
    if (in_command_) Command(command_);
    in_command_ = false;
  } else if (in_command_ && command_.size() < kCommandLimit) {
    command_.push_back(c);
  }
}

void SimulatedMount::Place(char letter, int number, int& ra_minutes, int& dec_degrees) {
  // Messier objects (J2000, as the program ships them) and planets where the program's catalogue has
  // them; anything else lands somewhere of its own.
  std::optional<SkyPosition> known;
  if (letter == 'm') known = MessierJ2000(number);
  if (letter == 's') known = PlanetOfDate(number, JulianDay(std::time(nullptr)));
  if (known) {
    ra_minutes = static_cast<int>(std::lround(known->ra_hours * 60)) % 1440;
    dec_degrees = static_cast<int>(known->dec_degrees);
    return;
  }
  ra_minutes = (number * 97 + letter * 13) % 1440;
  dec_degrees = (number * 61 + letter * 7) % 131 - 50;
}

void SimulatedMount::Command(const std::string& command) {
  if (command.empty()) return;
  const char k = command[0];
  const char a = command.size() > 1 ? command[1] : 0;
  const std::string rest = command.size() > 2 ? command.substr(2) : std::string();
  if (k == 'R' && command.size() == 2 && std::string_view("SMCG").find(a) != std::string_view::npos) {
    rate_ = a;
  } else if (k == 'M' && a == 'S' && command.size() == 2) {
    if (!have_target_) {
      Answer("1No object selected#");
    } else if (target_dec_ < kHorizonDec) {
      Answer("1");
      Answer(kBelowHorizon);
      Answer("#");
    } else {
      Answer("0");
      ++slews_;
    }
  } else if ((k == 'M' || k == 'Q') && command.size() == 2 && DirectionIndex(a) >= 0) {
    lx_moving_[DirectionIndex(a)] = k == 'M';
    SetMotion();
  } else if (k == 'Q' && command.size() == 1) {
    std::fill(std::begin(lx_moving_), std::end(lx_moving_), false);
    SetMotion();
  } else if (k == 'F' && command.size() == 2) {
    if (a == 'F' || a == 'S') focus_speed_ = a;
    if (a == '+') focus_direction_ = 1;
    if (a == '-') focus_direction_ = -1;
    if (a == 'Q') focus_direction_ = 0;
  } else if (k == 'S' && a == 'r') {
    int ra = 0;
    const bool ok = ParseRa(rest, ra);
    if (ok) {
      target_ra_ = ra;
      have_target_ = true;
      target_name_.clear();
    }
    Answer(ok ? "1" : "0");
  } else if (k == 'S' && a == 'd') {
    int dec = 0;
    const bool ok = ParseDec(rest, dec);
    if (ok) {
      target_dec_ = dec;
      have_target_ = true;
      target_name_.clear();
    }
    Answer(ok ? "1" : "0");
  } else if (k == 'L' && (a == 'M' || a == 'S' || a == 'C') && !rest.empty()) {
    char* end = nullptr;
    const long number = std::strtol(rest.c_str(), &end, 10);
    if (end == rest.c_str() || number < 0 || number > 9999) return;
    Place(static_cast<char>(a == 'M'   ? 'm'
                            : a == 'S' ? 's'
                                       : 'c'),
          static_cast<int>(number), target_ra_, target_dec_);
    have_target_ = true;
    target_name_ = (a == 'M' ? "M" : a == 'S' ? "STAR" : "CNGC") + std::to_string(number);
  } else if (k == 'L' && a == 'I' && command.size() == 2) {
    if (!have_target_) {
      Answer("#");
      return;
    }
    char info[64];
    std::snprintf(info, sizeof info, "%s RA%02d:%02d DE%c%02d",
                  target_name_.empty() ? "OBJ" : target_name_.c_str(), target_ra_ / 60, target_ra_ % 60,
                  target_dec_ < 0 ? '-' : '+', std::abs(target_dec_));
    std::string text(info);
    text.resize(std::min<size_t>(text.size(), 31));
    Answer(text);
    Answer("#");
  }
}

}  // namespace nyxel
