// nyxel-batch [--drive DIR] [--simulate [--seed N] [--real-clock]] STEP...: runs the engine's commands
// without a window.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "batch/CommandLine.h"
#include "batch/IndiSetup.h"
#include "camera/LibusbTransport.h"
#include "core/Clock.h"
#include "telescope/Observatory.h"
#include "telescope/sim/Simulation.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: nyxel-batch [--drive DIR] [--simulate [--seed N] [--real-clock]] STEP...\n"
         "       nyxel-batch --help | --version\n"
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
  // Check the whole command line before anything runs (batch/CommandLine.cpp, also fuzzed).
  StepArities arities;
  for (const auto& [name, step] : Steps()) arities[name] = {step.arg_count, step.optional_args};
  CommandLine line;
  line.root = Drive::DefaultRoot();
  std::string error;
  if (ParseCommandLine(words, arities, line, error) != 0) {
    std::cerr << "nyxel-batch: " << error << '\n';
    PrintUsage(std::cerr);
    return 2;
  }
  if (line.help) {
    PrintUsage(std::cout);
    return 0;
  }
  if (line.version) {
    std::cout << "nyxel-batch " << NYXEL_VERSION << '\n';
    return 0;
  }
  const std::filesystem::path root = line.root;
  const bool simulate = line.simulate;
  // A mount on an INDI server moves in real time: a run that uses one keeps the real clock.
  const bool real_clock = line.real_clock || IndiInUse(line, Drive(line.root));
  const long seed = line.seed;

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
  StartSavedIndi(obs);
  // The simulated mount answers on a pseudo-terminal linked as <drive>/com1.
  if (simulation && simulation->StartMount(root)) obs.link.peer = &simulation->mount_line;
  // A start-up picture that could not be written fails the run as a failing step would.
  if (session.Refresh() != 0) return 1;

  for (const StepCall& call : line.calls) {
    const Step& step = Steps().at(call.name);
    StepContext context{session, std::cout, obs, host};
    const int result = step.run(context, call.args);
    if (result == kStepUsage) {
      std::cerr << "nyxel-batch: bad arguments for '" << step.name << ' ' << step.usage << "'\n";
      PrintUsage(std::cerr);
      return 2;
    }
    if (result != kStepOk) return 1;
  }
  std::cout.flush();
  return 0;
}
