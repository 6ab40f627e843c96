#include "batch/BatchStep.h"

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

}  // namespace nyxel::batch
