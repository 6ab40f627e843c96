#pragma once
// The simulated mount on a pseudo-terminal: the program opens the slave side as its serial port
// (linked as <drive>/com1), the mount sits on the master side. It answers on the caller's thread when
// the serial port gives it the turn (SerialPeer), so the sky is only ever moved by one thread and the
// mount reads the clock at the moment the command was written.
#include <cstdint>
#include <filesystem>
#include <string>

#include "telescope/SerialPort.h"
#include "telescope/sim/SimulatedMount.h"

namespace nyxel {

class PtyMount : public SerialPeer {
 public:
  explicit PtyMount(SimulatedMount& mount);
  ~PtyMount() override;
  PtyMount(const PtyMount&) = delete;
  PtyMount& operator=(const PtyMount&) = delete;

  // Makes the pseudo-terminal and links `link` (e.g. <drive>/com1) to its slave, replacing a link an
  // earlier run left; false (and the user's link or file untouched) when `link` names anything else.
  bool Start(const std::filesystem::path& link);
  const std::string& SlavePath() const { return slave_path_; }
  // The line speed the program set on its side, in baud (0 when unknown).
  int LineBaud() const;

  uint64_t Serve(uint64_t written) override;
  void Restart() override;

 private:
  SimulatedMount& mount_;
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees the line hang up between opens
  std::string slave_path_;
  std::filesystem::path link_;
  uint64_t received_ = 0;
  uint64_t answered_ = 0;
};

}  // namespace nyxel
