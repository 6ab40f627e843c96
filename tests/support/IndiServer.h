#pragma once
// A real indiserver with the telescope and focuser simulators, on a free port and its own local
// socket, for the INDI link's tests. Skips the test when indi-bin is not installed.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace nyxel::test {

// A TCP port nobody listens on right now.
inline int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

inline bool IndiServerInstalled() {
  return ::access("/usr/bin/indiserver", X_OK) == 0 &&
         ::access("/usr/bin/indi_simulator_telescope", X_OK) == 0;
}

class IndiServer {
 public:
  IndiServer() = default;
  ~IndiServer() { Stop(); }
  IndiServer(const IndiServer&) = delete;
  IndiServer& operator=(const IndiServer&) = delete;

  // Starts indiserver with the given drivers and waits (up to 5 s) until it accepts connections.
  bool Start(const std::vector<std::string>& drivers = {"indi_simulator_telescope", "indi_simulator_focus"}) {
    port_ = FreePort();
    socket_ = "/tmp/nyxel-indi-test-" + std::to_string(::getpid()) + "-" + std::to_string(port_);
    std::vector<std::string> args = {"indiserver", "-p", std::to_string(port_), "-u", socket_, "-r", "0"};
    args.insert(args.end(), drivers.begin(), drivers.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so the drivers it started go with it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int rc = posix_spawnp(&pid_, "indiserver", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
      pid_ = -1;
      return false;
    }
    for (int i = 0; i < 100; ++i) {
      const int s = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(port_));
      const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      ::close(s);
      if (up) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
    ::unlink(socket_.c_str());
  }

  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string socket_;
};

}  // namespace nyxel::test
