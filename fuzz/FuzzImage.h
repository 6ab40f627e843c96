#pragma once
// What the image-file fuzzers share: the input format and one store reused by every run.
//
// An input is one selector byte, one flags byte, then the first bytes of a file. The loaders tell
// files apart by their length alone, so the selector picks one of the accepted lengths and the file
// is that long: the input's bytes at its start, zeros after them. A flags bit makes the read come
// up short, as a file cut while it is read does.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nyxel::fuzz {

struct FileImage {
  std::uintmax_t length = 0;  // the file's length as its directory entry gives it
  bool complete = true;       // every byte was read
  std::vector<uint8_t> bytes;
  uint8_t flags = 0;
  size_t used = 0;  // bytes of `bytes` that may be other than zero
};

// Builds the file from an input, choosing among `lengths`; false when the input is too short.
bool MakeFileImage(const uint8_t* data, size_t size, const std::vector<std::uintmax_t>& lengths,
                   std::uintmax_t read_limit, FileImage& file);

// The input that stands for a whole file: its length's selector, no flags, its first `keep` bytes.
std::vector<uint8_t> SeedFromFile(const std::vector<uint8_t>& file,
                                  const std::vector<std::uintmax_t>& lengths, size_t keep);

}  // namespace nyxel::fuzz
