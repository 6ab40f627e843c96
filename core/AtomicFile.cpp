#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace nyxel {
namespace {
long long g_write_limit = -1;
}

void SetAtomicWriteLimitForTesting(long long bytes) { g_write_limit = bytes; }

AtomicFile::AtomicFile(std::filesystem::path target, bool sync)
    : target_(std::move(target)), sync_(sync) {}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
  }
}

bool AtomicFile::Open() {
  const auto folder = target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
  std::string pattern = (folder / ("." + target_.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) return false;
  temp_ = name.data();
  ::fchmod(fd_, 0644);
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
      (void)::write(fd_, p, left);
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
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) return false;
  committed_ = true;
  return true;
}

}  // namespace nyxel
