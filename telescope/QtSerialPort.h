#pragma once
// A serial port on QSerialPort: port 0 or 1 is the drive's com1 or com2 link, else /dev/ttyUSB0/1,
// else /dev/ttyS0/1. Works without an event loop: every wait is a bounded blocking wait.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "core/Drive.h"
#include "telescope/SerialPort.h"

namespace nyxel {

class QtSerialPort : public SerialPort {
 public:
  // `peer` (may be null) is a far end in this process that needs its turn after each write.
  QtSerialPort(Drive drive, SerialPeer* peer = nullptr);
  // A port on this device, whichever port number is opened (the INDI driver's configured port).
  explicit QtSerialPort(std::filesystem::path device);
  ~QtSerialPort() override;

  int Reset(int port, int rx_queue, int tx_queue) override;
  int Baud(int code) override;
  int Parms(int parity, int stop_bits, int data_bits) override;
  int Dtr(char command) override;
  int Rts(char command) override;
  int Puts(const char* text, int n) override;
  int Putc(uint8_t byte) override;
  int Gets(char* dest, int n) override;
  int RxClear() override;
  int Done() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nyxel
