#include "telescope/sim/PtyMount.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <system_error>

namespace nyxel {
namespace {

// Characters the program wrote are in the kernel's hands for a moment before the master sees them.
constexpr int kTransitLimitMs = 200;

int MsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PtyMount::PtyMount(SimulatedMount& mount) : mount_(mount) {}

PtyMount::~PtyMount() {
  std::error_code ec;
  if (!link_.empty() && std::filesystem::is_symlink(link_, ec) &&
      std::filesystem::read_symlink(link_, ec) == slave_path_) {
    std::filesystem::remove(link_, ec);
  }
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

bool PtyMount::Start(const std::filesystem::path& link) {
  if (master_ >= 0) return false;
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return false;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
  const char* name = ptsname(master_);
  if (!name) return false;
  slave_path_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slave_ = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) return false;
  termios raw{};
  if (tcgetattr(slave_, &raw) == 0) {
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
  }
  // A link left by an earlier simulated run (dangling, or to another pseudo-terminal) is replaced; the
  // user's own link to a real port, or a file, is left alone.
  std::error_code ec;
  if (std::filesystem::is_symlink(link, ec)) {
    const std::string target = std::filesystem::read_symlink(link, ec).string();
    if (std::filesystem::exists(link, ec) && target.rfind("/dev/pts/", 0) != 0) return false;
    std::filesystem::remove(link, ec);
  } else if (std::filesystem::exists(link, ec)) {
    return false;
  }
  std::filesystem::create_symlink(slave_path_, link, ec);
  if (ec) return false;
  link_ = link;
  return true;
}

uint64_t PtyMount::Serve(uint64_t written) {
  if (master_ < 0) return answered_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTransitLimitMs);
  char buffer[256];
  while (received_ < written) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      received_ += static_cast<uint64_t>(n);
      mount_.Receive(buffer, static_cast<size_t>(n));
      continue;
    }
    pollfd p{master_, POLLIN, 0};
    const int left = MsLeft(deadline);
    if (left == 0 || poll(&p, 1, left) <= 0) break;
  }
  const std::string answer = mount_.TakeAnswer();
  size_t sent = 0;
  while (sent < answer.size()) {
    const ssize_t n = write(master_, answer.data() + sent, answer.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    pollfd p{master_, POLLOUT, 0};
    const int left = MsLeft(deadline);
    if (left == 0 || poll(&p, 1, left) <= 0) break;
  }
  answered_ += sent;
  return answered_;
}

int PtyMount::LineBaud() const {
  termios line{};
  if (slave_ < 0 || tcgetattr(slave_, &line) != 0) return 0;
  switch (cfgetospeed(&line)) {
    case B300:
      return 300;
    case B9600:
      return 9600;
    default:
      return 0;
  }
}

void PtyMount::Restart() {
  if (master_ >= 0) {
    char buffer[256];
    while (read(master_, buffer, sizeof buffer) > 0) {
    }
  }
  mount_.TakeAnswer();
  received_ = 0;
  answered_ = 0;
}

}  // namespace nyxel
