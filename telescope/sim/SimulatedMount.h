#pragma once
// An LX200 mount and a guider control box in one, at the far end of the serial layer: it parses the
// commands and relay bytes, answers as a mount does and moves the simulated sky the camera sees. East
// moves the star to +x on the chip and north to +y (the mirror option reverses x); guide pulses and
// relay closures move at the guide rate, manual moves at the four rates, declination has play in its
// gears (a reversal first crosses the dead band, as far as the drive has moved into it), and the mount
// may drift with a little periodic error.
//
// Reached in-process (it is a SerialPort itself: tests see every call with its clock time) or through
// a pseudo-terminal (PtyMount), where the program's real serial port talks to it.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "camera/sim/SimulatedSky.h"
#include "telescope/SerialPort.h"

namespace nyxel {

struct SimulatedMountOptions {
  double guide_rate_x = 8;  // pixels per second east-west at the guide rate
  double guide_rate_y = 8;  // north-south
  // The other rates as multiples of the guide rate.
  double centre_factor = 8;
  double find_factor = 64;
  double slew_factor = 512;
  double dec_backlash = 0;  // pixels of north-south motion lost after each reversal
  double drift_x = 0;       // pixels per second, the mount's tracking error
  double drift_y = 0;
  double periodic_error = 0;       // pixels, amplitude of the east-west periodic error
  double periodic_period_s = 480;  // its period
  bool mirror = false;             // east moves the star to -x
};

class SimulatedMount : public SerialPort {
 public:
  // Objects placed lower than this declination are below the mount's horizon.
  static constexpr int kHorizonDec = -35;
  static constexpr std::string_view kBelowHorizon = "Below the mount's horizon";

  SimulatedMount(SimulatedSky& sky, SimulatedMountOptions options = {});

  // The serial layer's calls, in-process.
  int Reset(int port, int rx_queue, int tx_queue) override;
  int Baud(int code) override;
  int Parms(int parity, int stop_bits, int data_bits) override;
  int Dtr(char command) override;
  int Rts(char command) override;
  int Puts(const char* text, int n) override;
  int Putc(uint8_t byte) override;
  int Gets(char* dest, int n) override;
  int RxClear() override;
  int Done() override;

  // The far end's two halves, for any transport: characters that came in, and the answer to send.
  void Receive(const char* data, size_t n);
  std::string TakeAnswer();

  // Brings the sky up to date (periodic error, backlash) at the clock's time.
  void Update();

  // Changes of the mount's behaviour from now on (nyxel-batch's sim-* steps, tests).
  const SimulatedMountOptions& options() const { return options_; }
  void SetDrift(double x_pixels_per_s, double y_pixels_per_s);
  void SetPeriodicError(double amplitude, double period_s);
  void SetGuideRates(double x_pixels_per_s, double y_pixels_per_s);
  void SetDecBacklash(double pixels);
  void SetMirror(bool on);

  // Where a catalogue object lies: RA in minutes 0..1439, Dec in degrees. Letter as the command's.
  static void Place(char letter, int number, int& ra_minutes, int& dec_degrees);

  // What happened. `calls` holds every in-process call ("Reset 0 1024 1024", "Baud 5", "Dtr S",
  // "Puts #:RG#", "Putc 17", "Gets 33", "RxClear", "Done", ...); `bytes` every character received.
  struct Call {
    uint32_t time_ms;
    std::string text;
  };
  struct Byte {
    uint32_t time_ms;
    uint8_t value;
  };
  std::vector<Call> calls;
  std::vector<Byte> bytes;
  // All received characters as one text.
  std::string ReceivedText() const;

  // State a test can look at.
  bool open() const { return open_; }
  int port() const { return port_; }
  int baud_code() const { return baud_; }
  char rate() const { return rate_; }  // 'S', 'M', 'C' or 'G'
  double focus_position() const { return focus_position_; }
  int target_ra_minutes() const { return target_ra_; }
  int target_dec_degrees() const { return target_dec_; }
  int slews() const { return slews_; }  // accepted go-tos

  // Faults: a call that fails with this code, and a mount that never answers.
  std::optional<std::string> fail_call;  // the call's name as in `calls`, e.g. "Baud" or "Putc"
  int fail_code = kSerialLineFailed;
  bool answers = true;

 private:
  int Record(const std::string& text);
  void Byte(uint8_t byte);
  void Command(const std::string& command);
  void Answer(std::string_view text);
  // The sky's velocity from the mount's motion, re-applied whenever a move starts or stops.
  void SetMotion();
  double RateFactor() const;

  SimulatedSky& sky_;
  SimulatedMountOptions options_;
  bool open_ = false;
  int port_ = -1;
  int baud_ = 0;
  std::deque<char> answer_;

  std::string command_;
  bool in_command_ = false;
  char rate_ = 'S';
  bool lx_moving_[4] = {};  // n, s, e, w
  uint8_t relays_ = 0;      // closed relay directions

  double motion_x_ = 0, motion_y_ = 0;  // the mount's own motion in the sky's drift
  // Declination play: the drive's position inside its gear's dead band, 0 against the southern flank,
  // dec_backlash against the northern one. The band is taken up only as far as the drive moves.
  double dec_play_ = 0;
  bool dec_engaged_ = false;  // the first motion finds the gear engaged
  int dec_last_ = 0;          // sign of the last north-south motion
  double periodic_rate_ = 0;  // the periodic error's part of the drift
  uint32_t last_update_ = 0;

  char focus_speed_ = 'S';
  int focus_direction_ = 0;
  double focus_position_ = 0;

  int target_ra_ = 0, target_dec_ = 0;
  bool have_target_ = false;
  std::string target_name_;
  int slews_ = 0;
};

}  // namespace nyxel
