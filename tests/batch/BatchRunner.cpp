#include "tests/batch/BatchRunner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/TestSupport.h"

namespace nyxel::test {

BatchRun RunBatch(const std::filesystem::path& drive, const std::string& steps) {
  TempDir tmp;
  const auto out = tmp.path() / "out";
  const auto err = tmp.path() / "err";
  const std::string command = std::string(NYXEL_BATCH_EXE) + " --drive '" + drive.string() + "' " + steps +
                              " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  const auto o = ReadBytes(out);
  const auto e = ReadBytes(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(o.begin(), o.end()),
          std::string(e.begin(), e.end())};
}

std::vector<std::string> OutputLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace nyxel::test
