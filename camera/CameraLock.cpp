#include "camera/CameraLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace nyxel {
namespace {

std::string ProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? std::string("another program") : name;
}

}  // namespace

std::filesystem::path CameraLockPath(const Drive& drive) {
  return drive.Root() / "rv9.lock";
}

std::string CameraInUseText(const std::string& holder) {
  return "The camera is in use by " + holder;
}

bool CameraLock::Acquire(const std::filesystem::path& file, std::string& holder) {
  if (fd_ >= 0) return true;
  holder.clear();
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  // Readable by everyone, so a program of another user can still read who holds it.
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    // A lock that cannot even be made (a read-only drive) must not keep the camera from its owner.
    return true;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    char text[128] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    ::close(fd);
    std::string who(text, n > 0 ? static_cast<size_t>(n) : 0);
    while (!who.empty() && (who.back() == '\n' || who.back() == ' ')) who.pop_back();
    holder = who.empty() ? std::string("another program") : who;
    return false;
  }
  char text[96];
  const int n = std::snprintf(text, sizeof text, "%s, process %d\n", ProgramName().c_str(),
                              static_cast<int>(::getpid()));
  if (::ftruncate(fd, 0) == 0 && n > 0) {
    [[maybe_unused]] const ssize_t put = ::pwrite(fd, text, static_cast<size_t>(n), 0);
  }
  fd_ = fd;
  return true;
}

void CameraLock::Release() {
  if (fd_ < 0) return;
  // Emptied first, so a reader never names a program that has let go.
  [[maybe_unused]] const int cut = ::ftruncate(fd_, 0);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace nyxel
