#pragma once
// A serial peer that takes everything and never answers (a mount that is switched off, a port with
// something else on it): a pseudo-terminal whose slave is linked where the program looks for its port.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace nyxel::test {

class SilentPty {
 public:
  explicit SilentPty(const std::filesystem::path& link) : link_(link) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (!name) return;
    // Held open so the line never hangs up between the program's opens; raw, so nothing is echoed.
    slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    if (slave_ >= 0 && tcgetattr(slave_, &raw) == 0) {
      cfmakeraw(&raw);
      tcsetattr(slave_, TCSANOW, &raw);
    }
    std::error_code ec;
    std::filesystem::create_symlink(name, link, ec);
    ok_ = slave_ >= 0 && !ec;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~SilentPty() {
    std::error_code ec;
    std::filesystem::remove(link_, ec);
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  SilentPty(const SilentPty&) = delete;
  SilentPty& operator=(const SilentPty&) = delete;

  bool ok() const { return ok_; }
  // Everything the program has written since the last call.
  std::string Drain() {
    std::string out;
    char buffer[256];
    for (;;) {
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      out.append(buffer, static_cast<size_t>(n));
    }
    return out;
  }

 private:
  std::filesystem::path link_;
  int master_ = -1;
  int slave_ = -1;
  bool ok_ = false;
};

}  // namespace nyxel::test
