#pragma once
// Shared test fixtures: a fresh drive folder (and HOME) per test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace nyxel::test {

// A temporary folder removed when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::vector<unsigned char> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes);

}  // namespace nyxel::test
