#pragma once
// The nyxel-batch command line: the options, then the steps with their arguments, all checked before
// anything runs. Also the argument helpers the steps use. No state and no I/O, so it can be fuzzed.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace nyxel::batch {

// How many arguments a step takes: the fixed ones, then up to `optional` more, where a word that
// names a step is never taken as one.
struct StepArity {
  int fixed = 0;
  int optional = 0;
};
using StepArities = std::map<std::string, StepArity>;

struct StepCall {
  std::string name;
  std::vector<std::string> args;
};

struct CommandLine {
  std::filesystem::path root;  // --drive; empty: the default drive folder
  bool help = false;           // --help: print the usage and stop
  bool version = false;        // --version: print the version and stop
  bool simulate = false;
  bool real_clock = false;
  long seed = 1;
  std::vector<StepCall> calls;
};

// Fills `line` from the words after the program name. Returns 0, or 2 with the text of the complaint
// in `error` (a bad option, an unknown step, missing arguments).
int ParseCommandLine(const std::vector<std::string>& words, const StepArities& steps, CommandLine& line,
                     std::string& error);

// Argument helpers; each returns false on a malformed value and leaves `value` alone.
bool ParseOnOff(const std::string& text, bool& value);
bool ParseInt(const std::string& text, long min, long max, long& value);
bool ParseDouble(const std::string& text, double& value);  // finite numbers only

}  // namespace nyxel::batch
