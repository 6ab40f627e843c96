#pragma once
// One program at a time drives the camera: the window and the INDI driver both take this advisory lock
// (flock on a file in the drive folder) before they scan USB, and hold it for as long as they keep the
// camera. The file names the holder, so the one that is refused can say who has the camera.
#include <filesystem>
#include <string>

#include "core/Drive.h"

namespace nyxel {

// <drive>/rv9.lock
std::filesystem::path CameraLockPath(const Drive& drive);
// "The camera is in use by HOLDER": what the refused program shows.
std::string CameraInUseText(const std::string& holder);

class CameraLock {
 public:
  CameraLock() = default;
  ~CameraLock() { Release(); }
  CameraLock(const CameraLock&) = delete;
  CameraLock& operator=(const CameraLock&) = delete;

  // True when this program holds the lock afterwards (taken now, or held already). Otherwise `holder`
  // says who has it ("nyxel, process 1234"), and nothing is held.
  bool Acquire(const std::filesystem::path& file, std::string& holder);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace nyxel
