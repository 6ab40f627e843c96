#include "files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace nyxel {

FileBytes ReadFileBytes(const std::filesystem::path& file, std::uintmax_t limit) {
  FileBytes result;
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return result;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    // A folder or a device is no image file; treat it as one that cannot be opened.
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
