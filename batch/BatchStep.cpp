#include "batch/BatchStep.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace nyxel::batch {
namespace {
std::map<std::string, Step>& Registry() {
  static std::map<std::string, Step> steps;
  return steps;
}
}  // namespace

const std::map<std::string, Step>& Steps() {
  return Registry();
}

RegisterStep::RegisterStep(Step step) {
  const std::string name = step.name;
  // A display refresh that failed during the step fails the step: its message is already shown, and
  // the bitmap on disk is an earlier one.
  step.run = [run = std::move(step.run)](StepContext& c, const Args& a) {
    const int failures = c.session.refresh_failures;
    const int result = run(c, a);
    return result == kStepOk && c.session.refresh_failures != failures ? kStepFailed : result;
  };
  Registry()[name] = std::move(step);
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
