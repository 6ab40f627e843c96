#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace nyxel {
namespace {

long long g_write_limit = -1;

constexpr std::string_view kPartMarker = ".part-";
constexpr size_t kUniqueLength = 6;  // the XXXXXX of mkstemp

std::filesystem::path FolderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// ".<name>.part-": built with append, not operator+, which g++ 12 -O3 misreads as an overlapping copy.
std::string TempPrefix(const std::filesystem::path& target) {
  std::string prefix(1, '.');
  prefix.append(target.filename().string());
  prefix.append(kPartMarker);
  return prefix;
}

}  // namespace

void SetAtomicWriteLimitForTesting(long long bytes) {
  g_write_limit = bytes;
}

int RemoveStaleTemporaries(const std::filesystem::path& target) {
  const std::string prefix = TempPrefix(target);
  std::error_code ec;
  std::filesystem::directory_iterator it(FolderOf(target), ec);
  if (ec) return 0;
  int removed = 0;
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + kUniqueLength || name.compare(0, prefix.size(), prefix) != 0) {
      continue;
    }
    // A write in progress holds its lock; only a killed one's file can be locked here.
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale && ::unlink(entry.path().c_str()) == 0) ++removed;
    ::close(fd);
  }
  return removed;
}

AtomicFile::AtomicFile(std::filesystem::path target, bool sync) : target_(std::move(target)), sync_(sync) {}

AtomicFile::~AtomicFile() {
  if (!committed_ && !temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
  }
  if (fd_ >= 0) ::close(fd_);
}

bool AtomicFile::Open() {
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0) {
    // The rename would replace a file the user may not write; refuse as the writer's "not created".
    // A file with no write bit is write-protected for everybody, root included.
    if (::access(target_.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) return false;
    mode = st.st_mode & 07777;
  }
  RemoveStaleTemporaries(target_);
  std::string pattern = (FolderOf(target_) / TempPrefix(target_)).string();
  pattern.append(kUniqueLength, 'X');
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  temp_ = name.data();
  ::flock(fd_, LOCK_EX | LOCK_NB);
  ::fchmod(fd_, mode);
  return true;
}

bool AtomicFile::Write(const void* data, size_t n) {
  if (fd_ < 0) return false;
  const auto* p = static_cast<const char*>(data);
  size_t left = n;
  if (g_write_limit >= 0) {
    if (static_cast<long long>(n) > g_write_limit) {
      left = static_cast<size_t>(g_write_limit);
      g_write_limit = 0;
      // The short write is the point; its count does not matter (a cast to void does not
      // silence the fortified declaration's warning).
      [[maybe_unused]] const ssize_t written = ::write(fd_, p, left);
      return false;
    }
    g_write_limit -= static_cast<long long>(n);
  }
  while (left > 0) {
    const ssize_t w = ::write(fd_, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    left -= static_cast<size_t>(w);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) return false;
  const bool synced = !sync_ || ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed) return false;
  // Between the close (which drops the lock) and the rename a concurrent write of the same target
  // may take this file for a stale one; the rename then fails and the save reports it.
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) return false;
  committed_ = true;
  return true;
}

}  // namespace nyxel
