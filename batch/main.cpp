// nyxel-batch [--drive DIR] STEP...: runs the engine's commands without a window.
#include <iostream>
#include <string>
#include <vector>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "core/Clock.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: nyxel-batch [--drive DIR] STEP...\nsteps:\n";
  for (const auto& [name, step] : nyxel::batch::Steps()) {
    out << "  " << name;
    if (!step.usage.empty()) out << ' ' << step.usage;
    out << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nyxel;
  using namespace nyxel::batch;
  std::vector<std::string> words(argv + 1, argv + argc);
  std::filesystem::path root = Drive::DefaultRoot();
  size_t i = 0;
  if (i < words.size() && words[i] == "--drive") {
    if (i + 1 >= words.size()) {
      PrintUsage(std::cerr);
      return 2;
    }
    root = words[i + 1];
    i += 2;
  }

  // Check the whole command line before anything runs.
  struct Call {
    const Step* step;
    Args args;
  };
  std::vector<Call> calls;
  const auto& steps = Steps();
  while (i < words.size()) {
    const auto it = steps.find(words[i]);
    if (it == steps.end() || i + 1 + it->second.arg_count > words.size()) {
      std::cerr << "nyxel-batch: " << (it == steps.end() ? "unknown step" : "missing arguments for")
                << " '" << words[i] << "'\n";
      PrintUsage(std::cerr);
      return 2;
    }
    const auto first = words.begin() + static_cast<std::ptrdiff_t>(i + 1);
    calls.push_back({&it->second, Args(first, first + it->second.arg_count)});
    i += 1 + it->second.arg_count;
  }

  BatchHost host(std::cerr);
  RealClock clock;
  Session session(host, clock, Drive(root));
  host.Attach(session.store);
  StartSession(session);
  // A start-up picture that could not be written fails the run as a failing step would.
  if (session.Refresh() != 0) return 1;

  for (const Call& call : calls) {
    StepContext context{session, std::cout};
    const int result = call.step->run(context, call.args);
    if (result == kStepUsage) {
      std::cerr << "nyxel-batch: bad arguments for '" << call.step->name << ' ' << call.step->usage
                << "'\n";
      PrintUsage(std::cerr);
      return 2;
    }
    if (result != kStepOk) return 1;
  }
  std::cout.flush();
  return 0;
}
