#pragma once
// The choice of a telescope on an INDI server instead of the serial port, as the program's own
// settings file keeps it (keys "indi.*" beside the fixed record, which has no field for it).
#include <string>
#include <string_view>

#include "files/ProgramPrefs.h"
#include "files/Settings.h"

namespace nyxel {

inline constexpr int kIndiDefaultPort = 7624;
// Relative focusers move this many steps a second of a held focus button (fast / slow).
inline constexpr int kIndiFocusFastSteps = 200;
inline constexpr int kIndiFocusSlowSteps = 20;

struct IndiChoice {
  bool enabled = false;
  std::string host = "localhost";
  int port = kIndiDefaultPort;
  std::string mount;    // INDI device name, e.g. "Telescope Simulator"
  std::string focuser;  // empty: none
  int focus_fast_steps = kIndiFocusFastSteps;
  int focus_slow_steps = kIndiFocusSlowSteps;
};

IndiChoice LoadIndiChoice(const ProgramPrefs& prefs);
// Writes the keys into `prefs` (the caller saves the file, after loading it afresh).
void StoreIndiChoice(ProgramPrefs& prefs, const IndiChoice& choice);
// "HOST:PORT" or "HOST" (port 7624). False on an empty host or a port outside 1..65535; then `host`
// and `port` are unchanged.
bool ParseHostPort(std::string_view text, std::string& host, int& port);
// While INDI is chosen the fixed record says LX200 ('l'): the telescope and guiding commands are
// enabled and the telescope command opens the LX200 dialog. Returns true when it changed the record.
bool MarkIndiInterface(Settings& settings);

}  // namespace nyxel
