#pragma once
// What the file commands remember between commands, and the exposure times the autosave dates from.
#include <ctime>
#include <filesystem>
#include <string>

namespace nyxel {

struct FileState {
  int LastFilterIndex = 1;  // 1 native files, 2 FITS, 3 all files
  std::filesystem::path LastFolder;
  std::string LastOpenName;  // lower-case title of the last opened file
  // Empty until the user selects a dark frame; the exposure run then uses "c:\dark.def".
  std::string DarkFrameFile;
  // Calendar seconds of the last exposure, set by the exposure run. The autosave replaces the start
  // by the middle of the exposure, which dates the FITS file.
  std::time_t ImageStartTime = 0;
  std::time_t ImageEndTime = 0;
};

}  // namespace nyxel
