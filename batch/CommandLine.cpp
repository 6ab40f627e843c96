#include "batch/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace nyxel::batch {

int ParseCommandLine(const std::vector<std::string>& words, const StepArities& steps, CommandLine& line,
                     std::string& error) {
  size_t i = 0;
  while (i < words.size() && words[i].rfind("--", 0) == 0) {
    const std::string& option = words[i];
    if (option == "--help" || option == "--version") {
      (option == "--help" ? line.help : line.version) = true;
      return 0;
    }
    if (option == "--simulate" || option == "--real-clock") {
      (option == "--simulate" ? line.simulate : line.real_clock) = true;
      ++i;
      continue;
    }
    if ((option == "--drive" || option == "--seed") && i + 1 < words.size() &&
        (option == "--drive" || ParseInt(words[i + 1], 0, 0x7fffffff, line.seed))) {
      if (option == "--drive") line.root = words[i + 1];
      i += 2;
      continue;
    }
    error = "bad option '" + option + "'";
    return 2;
  }
  while (i < words.size()) {
    const auto it = steps.find(words[i]);
    if (it == steps.end() || words.size() - (i + 1) < static_cast<size_t>(it->second.fixed)) {
      error =
          std::string(it == steps.end() ? "unknown step" : "missing arguments for") + " '" + words[i] + "'";
      return 2;
    }
    size_t count = static_cast<size_t>(it->second.fixed);
    for (int extra = 0; extra < it->second.optional; ++extra) {
      const size_t next = i + 1 + count;
      if (next >= words.size() || steps.count(words[next]) != 0) break;
      ++count;
    }
    const auto first = words.begin() + static_cast<std::ptrdiff_t>(i + 1);
    line.calls.push_back(
        {words[i], std::vector<std::string>(first, first + static_cast<std::ptrdiff_t>(count))});
    i += 1 + count;
  }
  return 0;
}

bool ParseOnOff(const std::string& text, bool& value) {
  if (text == "on") {
    value = true;
    return true;
  }
  if (text == "off") {
    value = false;
    return true;
  }
  return false;
}

bool ParseInt(const std::string& text, long min, long max, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  value = v;
  return true;
}

bool ParseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  // "nan" and "inf" parse, but no dialog takes them and they would reach headers and tables.
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace nyxel::batch
