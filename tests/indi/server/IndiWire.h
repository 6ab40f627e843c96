#pragma once
// What the INDI server test needs besides the command-line clients: an indiserver of its own with the
// driver, running those clients, and a raw client that takes BLOBs and messages off the wire.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nyxel::test {

// indiserver on a free port with its own local socket, started in a process group of its own so the
// driver goes with it.
class DriverServer {
 public:
  ~DriverServer() { Stop(); }
  // `env`: extra NAME=value entries for the server and its driver.
  bool Start(const std::string& driver, const std::vector<std::string>& env,
             const std::filesystem::path& dir);
  void Stop();
  int port() const { return port_; }
  // The driver process is still there (indiserver runs with -r 0: a driver that died stays dead).
  bool DriverAlive() const { return DriverPid() > 0; }
  // The driver's process id, 0 when it is gone.
  pid_t DriverPid() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string socket_;
};

// Runs a program to its end; its exit status, its standard output in `out`.
int RunProgram(const std::vector<std::string>& argv, std::string* out = nullptr);

struct Blob {
  std::string format;
  std::string bytes;
};

class IndiWire {
 public:
  ~IndiWire() { Close(); }
  // Connects, asks for the device's properties and for its BLOBs.
  bool Open(int port, const std::string& device);
  void Close();
  bool Send(const std::string& xml);
  // Takes what the server sends until `count` BLOBs have come or the time is up.
  bool WaitForBlobs(size_t count, std::chrono::milliseconds limit);
  // Takes what has come so far, waiting at most this long.
  void Drain(std::chrono::milliseconds limit);
  bool SawMessage(const std::string& part) const;
  // Takes what comes until a message with `part` has come or the time is up.
  bool WaitForMessage(const std::string& part, std::chrono::milliseconds limit);

  using Time = std::chrono::steady_clock::time_point;
  std::vector<Blob> blobs;
  std::vector<Time> blob_times;  // when the last byte of each came in
  std::vector<std::string> messages;
  std::vector<Time> message_times;

 private:
  void Parse();
  int fd_ = -1;
  std::string buffer_;
};

std::string Base64Decode(const std::string& text);

}  // namespace nyxel::test
