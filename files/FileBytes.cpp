#include "files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace nyxel {

FileBytes ReadFileBytes(const std::filesystem::path& file, std::uintmax_t limit) {
  FileBytes result;
  // Non-blocking, so that opening a FIFO or a device returns at once instead of waiting for a
  // writer; anything but a regular file is then refused before a byte is read.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return result;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return result;
  }
  result.opened = true;
  result.length = static_cast<std::uintmax_t>(st.st_size);
  result.bytes.resize(static_cast<size_t>(std::min(result.length, limit)));
  size_t got = 0;
  while (got < result.bytes.size()) {
    const ssize_t r = ::read(fd, result.bytes.data() + got, result.bytes.size() - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  result.complete = got == result.bytes.size();
  result.bytes.resize(got);
  ::close(fd);
  return result;
}

}  // namespace nyxel
