#pragma once
// Whole-file reading for the image readers: they read everything before they change any state, so a
// refused or short file leaves the store as it was.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace nyxel {

struct FileBytes {
  bool opened = false;        // false: the file could not be opened
  std::uintmax_t length = 0;  // the file's length
  bool complete = false;      // every byte asked for was read
  std::vector<uint8_t> bytes;
};

// Opens the file, takes its length and reads its first bytes, at most `limit` of them (no image file
// the program reads is longer, so a huge file costs no memory). Anything but a regular file (a FIFO,
// a device, a folder) counts as a file that cannot be opened, and opening never blocks.
FileBytes ReadFileBytes(const std::filesystem::path& file, std::uintmax_t limit);

}  // namespace nyxel
