// nyxel-batch [--drive DIR] [--simulate [--seed N] [--real-clock]] STEP...: runs the engine's commands
// without a window.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "camera/LibusbTransport.h"
#include "core/Clock.h"
#include "telescope/Observatory.h"
#include "telescope/sim/Simulation.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: nyxel-batch [--drive DIR] [--simulate [--seed N] [--real-clock]] STEP...\n"
         "  --simulate    the simulated camera and mount instead of the devices; the clock is simulated\n"
         "                (a 10-minute exposure takes no time) unless --real-clock is given\n"
         "  --seed N      the simulated sky (the same seed gives the same pixels)\n"
         "steps:\n";
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
  bool simulate = false;
  bool real_clock = false;
  long seed = 1;
  size_t i = 0;
  while (i < words.size() && words[i].rfind("--", 0) == 0) {
    const std::string& option = words[i];
    if (option == "--help") {
      PrintUsage(std::cout);
      return 0;
    }
    if (option == "--simulate" || option == "--real-clock") {
      (option == "--simulate" ? simulate : real_clock) = true;
      ++i;
      continue;
    }
    if ((option == "--drive" || option == "--seed") && i + 1 < words.size() &&
        (option == "--drive" || ParseInt(words[i + 1], 0, 0x7fffffff, seed))) {
      if (option == "--drive") root = words[i + 1];
      i += 2;
      continue;
    }
    std::cerr << "nyxel-batch: bad option '" << option << "'\n";
    PrintUsage(std::cerr);
    return 2;
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
    size_t count = static_cast<size_t>(it->second.arg_count);
    for (int extra = 0; extra < it->second.optional_args; ++extra) {
      const size_t next = i + 1 + count;
      if (next >= words.size() || steps.count(words[next]) != 0) break;
      ++count;
    }
    const auto first = words.begin() + static_cast<std::ptrdiff_t>(i + 1);
    calls.push_back({&it->second, Args(first, first + static_cast<std::ptrdiff_t>(count))});
    i += 1 + count;
  }

  BatchHost host(std::cerr);
  // The simulated clock makes a scripted run repeatable and instant; the devices need the real one.
  std::unique_ptr<Clock> clock;
  if (simulate && !real_clock) {
    clock = std::make_unique<SimulatedClock>();
  } else {
    clock = std::make_unique<RealClock>();
  }
  std::unique_ptr<Simulation> simulation;
  std::unique_ptr<CameraTransport> usb;
  CameraTransport* transport = nullptr;
  if (simulate) {
    simulation = std::make_unique<Simulation>(*clock, static_cast<uint32_t>(seed));
    transport = &simulation->camera;
  } else {
    usb = std::make_unique<LibusbTransport>();
    transport = usb.get();
  }
  Observatory obs(host, *clock, Drive(root), *transport);
  obs.simulated = simulate;
  obs.simulation = simulation.get();
  // On the simulated clock the calendar moves with it: a 10-minute exposure is dated 10 minutes on.
  if (simulate && !real_clock) obs.calendar = CalendarFromClock(*clock, std::time(nullptr));
  Session& session = obs.session;
  host.Attach(session.store);
  StartSession(session);
  // The simulated mount answers on a pseudo-terminal linked as <drive>/com1.
  if (simulation && simulation->StartMount(root)) obs.link.peer = &simulation->mount_line;
  // A start-up picture that could not be written fails the run as a failing step would.
  if (session.Refresh() != 0) return 1;

  for (const Call& call : calls) {
    StepContext context{session, std::cout, obs, host};
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
