// libFuzzer target: the nyxel-batch command line. The input is the words, each ended by a zero byte;
// the step table has the shapes of the real one (fixed and optional arguments).
#include <cmath>
#include <string>
#include <vector>

#include "batch/CommandLine.h"

using namespace nyxel::batch;

namespace {

const StepArities kSteps = {
    {"open", {1, 0}},    {"save", {1, 0}},           {"export-fits", {1, 0}},   {"quick-save", {0, 0}},
    {"fits", {2, 0}},    {"setting", {2, 0}},        {"render", {1, 0}},        {"label", {1, 0}},
    {"merge", {6, 0}},   {"values", {2, 0}},         {"star-centre", {3, 0}},   {"expose", {2, 1}},
    {"focus", {3, 0}},   {"camera-option", {2, 0}},  {"power-stretch", {1, 0}}, {"undo", {0, 0}},
    {"history", {0, 0}}, {"colour-balance", {4, 0}}, {"abort-after", {1, 0}},   {"sum", {1, 2}},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i < size && words.size() < 64; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (!word.empty()) words.push_back(word);

  CommandLine line;
  std::string error;
  const int result = ParseCommandLine(words, kSteps, line, error);
  if (result != 0 && result != 2) __builtin_trap();
  if (result == 2 && error.empty()) __builtin_trap();
  if (result == 0 && !line.help) {
    // Every word after the options is a step or one of its arguments, in order.
    size_t consumed = 0;
    for (const StepCall& call : line.calls) {
      const auto it = kSteps.find(call.name);
      if (it == kSteps.end()) __builtin_trap();
      const size_t n = call.args.size();
      if (n < static_cast<size_t>(it->second.fixed) ||
          n > static_cast<size_t>(it->second.fixed + it->second.optional)) {
        __builtin_trap();
      }
      for (size_t k = static_cast<size_t>(it->second.fixed); k < n; ++k) {
        if (kSteps.count(call.args[k]) != 0) __builtin_trap();
      }
      consumed += 1 + n;
      for (const std::string& a : call.args) {
        long l = 7;
        double d = 7;
        bool b = false;
        if (ParseInt(a, -100, 100, l) && (l < -100 || l > 100)) __builtin_trap();
        if (ParseDouble(a, d) && !std::isfinite(d)) __builtin_trap();
        ParseOnOff(a, b);
      }
    }
    if (consumed > words.size()) __builtin_trap();
    if (line.seed < 0) __builtin_trap();
  }
  return 0;
}
