#pragma once
// Runs the nyxel-batch program itself on a drive folder and collects what it said.
#include <filesystem>
#include <string>
#include <vector>

namespace nyxel::test {

struct BatchRun {
  int status;       // exit status, -1 when it did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

BatchRun RunBatch(const std::filesystem::path& drive, const std::string& steps);

// The lines of a program's output, without their newlines.
std::vector<std::string> OutputLines(const std::string& text);

}  // namespace nyxel::test
