#pragma once
// A nyxel-batch step: one menu command with its dialog's values given as arguments.
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "files/Session.h"
#include "telescope/Observatory.h"

namespace nyxel::batch {

inline constexpr int kStepOk = 0;
inline constexpr int kStepFailed = 1;  // the message box text has gone to stderr
inline constexpr int kStepUsage = 2;   // a wrong argument

using Args = std::vector<std::string>;

class BatchHost;

struct StepContext {
  Session& session;
  std::ostream& out;  // what a step prints (values, histograms, paths)
  Observatory& obs;   // the camera, its run settings and the telescope link (obs.session is `session`)
  BatchHost& host;
};

struct Step {
  std::string name;
  int arg_count = 0;
  std::string usage;  // the arguments as shown in the usage text, e.g. "PATH" or "on|off"
  std::function<int(StepContext&, const Args&)> run;
  // Up to this many further arguments may follow the fixed ones (`expose UNIT VALUE [COUNT]`); a word
  // that names a step is never taken as one.
  int optional_args = 0;
};

// Steps register themselves at start-up from their own files:
//   static const RegisterStep kOpen{{"open", 1, "PATH", [](StepContext& c, const Args& a) {...}}};
const std::map<std::string, Step>& Steps();
struct RegisterStep {
  explicit RegisterStep(Step step);
};

// Argument helpers (batch/CommandLine.cpp); each returns false on a malformed value.
bool ParseOnOff(const std::string& text, bool& value);
bool ParseInt(const std::string& text, long min, long max, long& value);
bool ParseDouble(const std::string& text, double& value);  // finite numbers only

}  // namespace nyxel::batch
