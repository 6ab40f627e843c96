#include "telescope/IndiChoice.h"

#include <charconv>

namespace nyxel {

IndiChoice LoadIndiChoice(const ProgramPrefs& prefs) {
  IndiChoice c;
  c.enabled = prefs.GetBool("indi.enabled", false);
  c.host = prefs.Get("indi.host", "localhost");
  if (c.host.empty()) c.host = "localhost";
  c.port = static_cast<int>(prefs.GetInt("indi.port", kIndiDefaultPort, 1, 65535));
  c.mount = prefs.Get("indi.mount");
  c.focuser = prefs.Get("indi.focuser");
  c.focus_fast_steps =
      static_cast<int>(prefs.GetInt("indi.focus_fast_steps", kIndiFocusFastSteps, 1, 100000));
  c.focus_slow_steps =
      static_cast<int>(prefs.GetInt("indi.focus_slow_steps", kIndiFocusSlowSteps, 1, 100000));
  // Without a mount there is nothing to drive.
  if (c.mount.empty()) c.enabled = false;
  return c;
}

void StoreIndiChoice(ProgramPrefs& prefs, const IndiChoice& c) {
  prefs.SetBool("indi.enabled", c.enabled);
  prefs.Set("indi.host", c.host);
  prefs.SetInt("indi.port", c.port);
  prefs.Set("indi.mount", c.mount);
  prefs.Set("indi.focuser", c.focuser);
  prefs.SetInt("indi.focus_fast_steps", c.focus_fast_steps);
  prefs.SetInt("indi.focus_slow_steps", c.focus_slow_steps);
}

bool ParseHostPort(std::string_view text, std::string& host, int& port) {
  std::string_view h = text;
  int p = kIndiDefaultPort;
  const size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    h = text.substr(0, colon);
    const std::string_view digits = text.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), p);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || p < 1 || p > 65535)
      return false;
  }
  if (h.empty() || h.find_first_of(" \t\n") != std::string_view::npos) return false;
  host = std::string(h);
  port = p;
  return true;
}

bool MarkIndiInterface(Settings& settings) {
  if (settings.guide_interface == 'l') return false;
  settings.guide_interface = 'l';
  return true;
}

}  // namespace nyxel
