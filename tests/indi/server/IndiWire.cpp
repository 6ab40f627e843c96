#include "tests/indi/server/IndiWire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace nyxel::test {
namespace {

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

int ConnectTo(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
  ::close(s);
  return -1;
}

std::string Attribute(const std::string& tag, const char* name) {
  const std::string key = std::string(" ") + name + "=\"";
  const size_t at = tag.find(key);
  if (at == std::string::npos) return {};
  const size_t start = at + key.size();
  const size_t end = tag.find('"', start);
  return end == std::string::npos ? std::string() : tag.substr(start, end - start);
}

}  // namespace

bool DriverServer::Start(const std::string& driver, const std::vector<std::string>& env,
                         const std::filesystem::path& dir) {
  port_ = FreePort();
  socket_ = (dir / "indiserver.sock").string();
  std::vector<std::string> args = {"indiserver", "-p",  std::to_string(port_), "-u", socket_, "-r",
                                   "0",          driver};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment(env);
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    bool replaced = false;
    for (const std::string& mine : env)
      replaced |= entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
    if (!replaced) environment.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string log = (dir / "indiserver.log").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  const int rc = posix_spawnp(&pid_, "indiserver", &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  // A real-time peer: poll its port briefly until it listens.
  for (int i = 0; i < 100; ++i) {
    const int s = ConnectTo(port_);
    if (s >= 0) {
      ::close(s);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void DriverServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  ::kill(-pid_, SIGKILL);
  pid_ = -1;
}

pid_t DriverServer::DriverPid() const {
  // The driver is the server's child.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
    if (!f) continue;
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    const char* after_name = read ? std::strrchr(line, ')') : nullptr;
    char state = 0;
    int ppid = 0;
    if (after_name && std::sscanf(after_name + 1, " %c %d", &state, &ppid) == 2 && ppid == pid_ &&
        state != 'Z')
      return static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
  }
  return 0;
}

int RunProgram(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> copy(args);
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  std::string text;
  char chunk[4096];
  ssize_t n;
  while (rc == 0 && (n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0)
    text.append(chunk, static_cast<size_t>(n));
  ::close(pipe_fds[0]);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IndiWire::Open(int port, const std::string& device) {
  Close();
  fd_ = ConnectTo(port);
  if (fd_ < 0) return false;
  return Send("<getProperties version=\"1.7\"/>\n<enableBLOB device=\"" + device + "\">Also</enableBLOB>\n");
}

void IndiWire::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool IndiWire::Send(const std::string& xml) {
  size_t sent = 0;
  while (sent < xml.size()) {
    const ssize_t n = ::send(fd_, xml.data() + sent, xml.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void IndiWire::Drain(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  char chunk[65536];
  while (fd_ >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left.count()))) <= 0) break;
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    buffer_.append(chunk, static_cast<size_t>(n));
    Parse();
    if (left.count() <= 0) break;
  }
}

bool IndiWire::WaitForBlobs(size_t count, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (blobs.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    Drain(std::min(left, std::chrono::milliseconds(100)));
  }
  return blobs.size() >= count;
}

bool IndiWire::WaitForMessage(const std::string& part, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!SawMessage(part) && std::chrono::steady_clock::now() < end) Drain(std::chrono::milliseconds(50));
  return SawMessage(part);
}

bool IndiWire::SawMessage(const std::string& part) const {
  for (const std::string& m : messages)
    if (m.find(part) != std::string::npos) return true;
  return false;
}

void IndiWire::Parse() {
  size_t consumed = 0;
  for (;;) {
    const size_t open = buffer_.find('<', consumed);
    if (open == std::string::npos) break;
    const size_t close = buffer_.find('>', open);
    if (close == std::string::npos) break;
    const std::string tag = buffer_.substr(open, close - open + 1);
    if (tag.rfind("<oneBLOB", 0) == 0) {
      const size_t end = buffer_.find("</oneBLOB>", close);
      if (end == std::string::npos) break;  // the rest of it is still on its way
      blobs.push_back({Attribute(tag, "format"), Base64Decode(buffer_.substr(close + 1, end - close - 1))});
      blob_times.push_back(std::chrono::steady_clock::now());
      consumed = end + 10;
      continue;
    }
    const std::string message = Attribute(tag, "message");
    if (!message.empty()) {
      messages.push_back(message);
      message_times.push_back(std::chrono::steady_clock::now());
    }
    consumed = close + 1;
  }
  buffer_.erase(0, consumed);
}

std::string Base64Decode(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else
      continue;  // line breaks and padding
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

}  // namespace nyxel::test
